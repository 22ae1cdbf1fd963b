// Report list with per-cell colours: a small delegate paints every cell from its record with the selection
// rules, the list paints the empty-list text itself and hands clicks and keys on to its owner.
#include "controls/XListCtrl.h"

#include "controls/XHeaderCtrl.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

namespace lanwick {

QColor ColorFromRef(COLORREF cr) {
    return QColor(GetRValue(cr), GetGValue(cr), GetBValue(cr));
}

COLORREF RefFromColor(const QColor& color) {
    return RGB(color.red(), color.green(), color.blue());
}

// Paints a cell entirely from the list's records; nothing of the style's own item look is used.
class CXListDelegate final : public QStyledItemDelegate {
public:
    explicit CXListDelegate(CXListCtrl* pList) : QStyledItemDelegate(pList), m_pList(pList) {}

    void paint(QPainter* pPainter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        m_pList->DrawCell(*pPainter, option.rect, index.row(), index.column());
    }

private:
    CXListCtrl* m_pList;
};

CXListCtrl::CXListCtrl(QWidget* pParent)
    : QTableView(pParent), m_pModel(new CXListModel(this)), m_pHeader(new CXHeaderCtrl(this)) {
    ReadSysColors();
    setModel(m_pModel);
    setHorizontalHeader(m_pHeader);
    setItemDelegate(new CXListDelegate(this));
    verticalHeader()->hide();
    setCornerButtonEnabled(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setShowGrid(false);
    UpdateRowHeight();
    connect(m_pHeader, &QHeaderView::sectionClicked, this, &CXListCtrl::ColumnClick);
}

CXListCtrl::~CXListCtrl() = default;

void CXListCtrl::ReadSysColors() {
    const QPalette& pal = palette();
    m_sys.crBtnFace = RefFromColor(pal.color(QPalette::Active, QPalette::Button));
    m_sys.crBtnHighlight = RefFromColor(pal.color(QPalette::Active, QPalette::Light));
    m_sys.crBtnShadow = RefFromColor(pal.color(QPalette::Active, QPalette::Dark));
    m_sys.crBtnText = RefFromColor(pal.color(QPalette::Active, QPalette::ButtonText));
    m_sys.crGrayText = RefFromColor(pal.color(QPalette::Disabled, QPalette::Text));
    m_sys.crHighlight = RefFromColor(pal.color(QPalette::Active, QPalette::Highlight));
    m_sys.crHighlightText = RefFromColor(pal.color(QPalette::Active, QPalette::HighlightedText));
    m_sys.crWindow = RefFromColor(pal.color(QPalette::Active, QPalette::Base));
    m_sys.crWindowText = RefFromColor(pal.color(QPalette::Active, QPalette::Text));
    m_pModel->SetDefaultColors(m_sys.crWindowText, m_sys.crWindow);
}

void CXListCtrl::UpdateRowHeight() {
    QHeaderView* pRows = verticalHeader();
    pRows->setMinimumSectionSize(0);
    pRows->setSectionResizeMode(QHeaderView::Fixed);
    pRows->setDefaultSectionSize(fontMetrics().height() + 3);
}

bool CXListCtrl::IsValid(int nItem, int nSubItem) const {
    return nItem >= 0 && nItem < GetItemCount() && nSubItem >= 0 && nSubItem < GetColumns();
}

int CXListCtrl::InsertColumn(int nCol, const QString& strHeading, int nFormat, int nWidth) {
    if (nCol < 0) {
        return -1;
    }
    nCol = std::min(nCol, GetColumns());
    m_pModel->InsertColumn(nCol, strHeading, nFormat);
    if (nWidth >= 0) {
        m_pHeader->resizeSection(nCol, nWidth);
    }
    return nCol;
}

int CXListCtrl::GetColumns() const {
    return m_pHeader->count();
}

int CXListCtrl::GetColumnWidthFor(int nCol, const QStringList& texts) const {
    const QFontMetrics fm(font());
    int nText = 0;
    for (const QString& strText : texts) {
        nText = std::max(nText, fm.horizontalAdvance(strText));
    }
    // Cells are drawn without a margin; the grid line takes the column's last pixel, and two more keep the
    // text off it.
    nText += (showGrid() ? 1 : 0) + 2;
    const QString strHeading = m_pModel->headerData(nCol, Qt::Horizontal, Qt::DisplayRole).toString();
    const int nHeading =
        QFontMetrics(m_pHeader->font()).horizontalAdvance(strHeading) + 2 * m_pHeader->GetSpacing() + 1;
    return std::max(nText, nHeading);
}

int CXListCtrl::GetColumnWidth(int nCol) const {
    return nCol >= 0 && nCol < GetColumns() ? m_pHeader->sectionSize(nCol) : 0;
}

void CXListCtrl::SetColumnWidth(int nCol, int nWidth) {
    if (nCol >= 0 && nCol < GetColumns() && nWidth >= 0) {
        m_pHeader->resizeSection(nCol, nWidth);
    }
}

int CXListCtrl::InsertItem(int nItem, const QString& strText) {
    return InsertItem(nItem, strText, m_sys.crWindowText, m_sys.crWindow);
}

int CXListCtrl::InsertItem(int nItem, const QString& strText, COLORREF crText, COLORREF crBackground) {
    // A row needs at least one column to hold its text and records.
    if (nItem < 0 || GetColumns() == 0) {
        return -1;
    }
    nItem = std::min(nItem, GetItemCount());
    if (!m_pModel->InsertRow(nItem, strText)) {
        return -1;
    }
    CellData* pCell = m_pModel->Cell(nItem, 0);
    pCell->crText = crText;
    pCell->crBackground = crBackground;
    return nItem;
}

int CXListCtrl::GetItemCount() const {
    return m_pModel->rowCount();
}

QString CXListCtrl::GetItemText(int nItem, int nSubItem) const {
    return IsValid(nItem, nSubItem) ? m_pModel->Text(nItem, nSubItem) : QString();
}

int CXListCtrl::SetItemText(int nItem, int nSubItem, const QString& strText) {
    if (!IsValid(nItem, nSubItem)) {
        return 0;
    }
    m_pModel->SetText(nItem, nSubItem, strText);
    UpdateSubItem(nItem, nSubItem);
    return 1;
}

int CXListCtrl::SetItemText(int nItem, int nSubItem, const QString& strText, COLORREF crText, COLORREF crBackground) {
    if (!IsValid(nItem, nSubItem)) {
        return 0;
    }
    m_pModel->SetText(nItem, nSubItem, strText);
    return SetItemColors(nItem, nSubItem, crText, crBackground);
}

int CXListCtrl::SetItemColors(int nItem, int nSubItem, COLORREF crText, COLORREF crBackground) {
    if (!IsValid(nItem, nSubItem)) {
        return 0;
    }
    if (CellData* pCell = m_pModel->Cell(nItem, nSubItem)) {
        pCell->crText = crText == kDefaultColor ? m_sys.crWindowText : crText;
        pCell->crBackground = crBackground == kDefaultColor ? m_sys.crWindow : crBackground;
        m_pModel->CellChanged(nItem, nSubItem);
    }
    UpdateSubItem(nItem, nSubItem);
    return 1;
}

COLORREF CXListCtrl::GetItemTextColor(int nItem, int nSubItem) const {
    if (!IsValid(nItem, nSubItem)) {
        return kDefaultColor;
    }
    const CellData* pCell = m_pModel->Cell(nItem, nSubItem);
    return pCell != nullptr ? pCell->crText : m_sys.crWindowText;
}

COLORREF CXListCtrl::GetItemBkColor(int nItem, int nSubItem) const {
    if (!IsValid(nItem, nSubItem)) {
        return kDefaultColor;
    }
    const CellData* pCell = m_pModel->Cell(nItem, nSubItem);
    return pCell != nullptr ? pCell->crBackground : m_sys.crWindow;
}

int CXListCtrl::SetItemData(int nItem, void* pData) {
    CellData* pCell = m_pModel->Cell(nItem, 0);
    if (pCell == nullptr) {
        return 0;
    }
    pCell->pData = pData;
    return 1;
}

void* CXListCtrl::GetItemData(int nItem) const {
    const CellData* pCell = m_pModel->Cell(nItem, 0);
    return pCell != nullptr ? pCell->pData : nullptr;
}

int CXListCtrl::DeleteAllItems() {
    m_pModel->RemoveAll();
    return 1;
}

int CXListCtrl::GetSubItemRect(int nItem, int nSubItem, int nArea, QRect& rect) const {
    if (!IsValid(nItem, nSubItem) || nArea < LVIR_BOUNDS || nArea > LVIR_LABEL) {
        return 0;
    }
    rect = visualRect(m_pModel->index(nItem, nSubItem));
    return 1;
}

void CXListCtrl::UpdateSubItem(int nItem, int nSubItem) {
    if (IsValid(nItem, nSubItem)) {
        viewport()->update(visualRect(m_pModel->index(nItem, nSubItem)));
    }
}

void CXListCtrl::SortItems(const std::function<int(void*, void*)>& compare) {
    m_pModel->SortRows(compare);
}

void CXListCtrl::SetSingleSelection(bool bSingle) {
    setSelectionMode(bSingle ? QAbstractItemView::SingleSelection : QAbstractItemView::ExtendedSelection);
}

bool CXListCtrl::IsSingleSelection() const {
    return selectionMode() == QAbstractItemView::SingleSelection;
}

void CXListCtrl::SetShowSelAlways(bool bShow) {
    m_bShowSelAlways = bShow;
    viewport()->update();
}

void CXListCtrl::SetExtendedStyle(std::uint32_t dwExStyle) {
    m_dwExStyle = dwExStyle;
    setShowGrid((dwExStyle & LVS_EX_GRIDLINES) != 0);
    viewport()->update();
}

int CXListCtrl::GetFirstSelectedItem() const {
    const QList<int> rows = GetSelectedItems();
    return rows.isEmpty() ? -1 : rows.front();
}

QList<int> CXListCtrl::GetSelectedItems() const {
    QList<int> rows;
    for (int nItem = 0; nItem < GetItemCount(); ++nItem) {
        if (IsItemSelected(nItem)) {
            rows.append(nItem);
        }
    }
    return rows;
}

int CXListCtrl::GetSelectedCount() const {
    return static_cast<int>(GetSelectedItems().size());
}

bool CXListCtrl::IsItemSelected(int nItem) const {
    if (nItem < 0 || nItem >= GetItemCount() || selectionModel() == nullptr) {
        return false;
    }
    return selectionModel()->isSelected(m_pModel->index(nItem, 0));
}

void CXListCtrl::SetItemSelected(int nItem, bool bSelected) {
    if (nItem < 0 || nItem >= GetItemCount()) {
        return;
    }
    QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::Rows;
    if (!bSelected) {
        flags |= QItemSelectionModel::Deselect;
    } else if (IsSingleSelection()) {
        flags |= QItemSelectionModel::ClearAndSelect;
    } else {
        flags |= QItemSelectionModel::Select;
    }
    selectionModel()->select(m_pModel->index(nItem, 0), flags);
}

int CXListCtrl::GetTopIndex() const {
    if (GetItemCount() == 0) {
        return -1;
    }
    const int nItem = rowAt(0);
    return nItem < 0 ? 0 : nItem;
}

void CXListCtrl::SetTopIndex(int nItem) {
    if (nItem < 0 || nItem >= GetItemCount()) {
        return;
    }
    scrollTo(m_pModel->index(nItem, 0), QAbstractItemView::PositionAtTop);
}

void CXListCtrl::GetDrawColors(int nItem, int nSubItem, COLORREF& crText, COLORREF& crBackground) const {
    const bool bFullRow = (m_dwExStyle & LVS_EX_FULLROWSELECT) != 0;
    if (!IsItemSelected(nItem) || (!bFullRow && nSubItem != 0)) {
        return;
    }
    if (hasFocus()) {
        crText = m_sys.crHighlightText;
        crBackground = m_sys.crHighlight;
    } else if (m_bShowSelAlways) {
        crText = m_sys.crWindowText;
        crBackground = m_sys.crBtnFace;
    }
    // Without the focus and without "show selection always" the cells keep their own colours.
}

void CXListCtrl::GetCellDrawColors(int nItem, int nSubItem, COLORREF& crText, COLORREF& crBackground) const {
    crText = m_sys.crWindowText;
    crBackground = m_sys.crWindow;
    if (const CellData* pCell = m_pModel->Cell(nItem, nSubItem)) {
        crText = pCell->crText;
        crBackground = pCell->crBackground;
        if (!m_pModel->Cell(nItem, 0)->bEnabled) {
            crText = m_sys.crGrayText;
        }
    }
    GetDrawColors(nItem, nSubItem, crText, crBackground);
}

void CXListCtrl::DrawCell(QPainter& dc, const QRect& rc, int nItem, int nSubItem) const {
    COLORREF crText = 0;
    COLORREF crBackground = 0;
    GetCellDrawColors(nItem, nSubItem, crText, crBackground);
    dc.fillRect(rc, ColorFromRef(crBackground));
    const QString strText = m_pModel->Text(nItem, nSubItem);
    if (strText.isEmpty()) {
        return;
    }
    // No margin: the rows' texts carry their own leading space.
    const int nFormat = m_pModel->ColumnFormat(nSubItem);
    const Qt::Alignment align = nFormat == LVCFMT_CENTER  ? Qt::AlignHCenter
                                : nFormat == LVCFMT_RIGHT ? Qt::AlignRight
                                                          : Qt::AlignLeft;
    dc.save();
    const CellData* pCell = m_pModel->Cell(nItem, nSubItem);
    if (pCell != nullptr && pCell->bBold) {
        QFont font = dc.font();
        font.setWeight(QFont::Bold);
        dc.setFont(font);
    }
    dc.setClipRect(rc, Qt::IntersectClip);
    dc.setPen(ColorFromRef(crText));
    dc.drawText(rc, static_cast<int>(align | Qt::AlignVCenter) | Qt::TextSingleLine, strText);
    dc.restore();
}

void CXListCtrl::paintEvent(QPaintEvent* pEvent) {
    QTableView::paintEvent(pEvent);
    if (GetItemCount() == 0) {
        DrawEmptyText();
    }
}

void CXListCtrl::DrawEmptyText() {
    // The rows' area starts right under the header; the text goes 10 pixels lower, centred across the list.
    QPainter dc(viewport());
    const QRect rc = viewport()->rect().adjusted(0, 10, 0, 0);
    dc.fillRect(rc, ColorFromRef(m_sys.crWindow));
    dc.setPen(ColorFromRef(m_sys.crWindowText));
    dc.setFont(font());
    dc.drawText(rc, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, QString::fromLatin1(kEmptyListText));
}

void CXListCtrl::mousePressEvent(QMouseEvent* pEvent) {
    const QModelIndex index = indexAt(pEvent->position().toPoint());
    if (!index.isValid()) {
        // A press beside the rows clears the selection, as in any report list.
        if (pEvent->button() == Qt::LeftButton || pEvent->button() == Qt::RightButton) {
            clearSelection();
        }
        QTableView::mousePressEvent(pEvent);
        return;
    }
    if (pEvent->button() == Qt::LeftButton && !m_pModel->HasRecords(index.row())) {
        // A row whose records could not be made cannot be selected by the mouse.
        pEvent->accept();
        return;
    }
    QTableView::mousePressEvent(pEvent);
}

void CXListCtrl::mouseReleaseEvent(QMouseEvent* pEvent) {
    const QModelIndex index = indexAt(pEvent->position().toPoint());
    const int nItem = index.isValid() ? index.row() : -1;
    const int nSubItem = index.isValid() ? index.column() : -1;
    QTableView::mouseReleaseEvent(pEvent);
    if (pEvent->button() == Qt::LeftButton) {
        emit ItemClick(nItem, nSubItem);
    } else if (pEvent->button() == Qt::RightButton) {
        emit RightClick(nItem, nSubItem, pEvent->globalPosition().toPoint());
    }
}

void CXListCtrl::mouseDoubleClickEvent(QMouseEvent* pEvent) {
    const QModelIndex index = indexAt(pEvent->position().toPoint());
    QTableView::mouseDoubleClickEvent(pEvent);
    if (pEvent->button() == Qt::LeftButton) {
        emit ItemDoubleClick(index.isValid() ? index.row() : -1, index.isValid() ? index.column() : -1);
    }
}

void CXListCtrl::keyPressEvent(QKeyEvent* pEvent) {
    emit KeyDown(pEvent->key());
    QTableView::keyPressEvent(pEvent);
}

void CXListCtrl::focusInEvent(QFocusEvent* pEvent) {
    QTableView::focusInEvent(pEvent);
    viewport()->update();
}

void CXListCtrl::focusOutEvent(QFocusEvent* pEvent) {
    QTableView::focusOutEvent(pEvent);
    viewport()->update();
}

void CXListCtrl::contextMenuEvent(QContextMenuEvent* pEvent) {
    // The owner opens its menu on RightClick; the context-menu event must not reach it a second time.
    pEvent->accept();
}

void CXListCtrl::changeEvent(QEvent* pEvent) {
    QTableView::changeEvent(pEvent);
    if (pEvent->type() == QEvent::PaletteChange || pEvent->type() == QEvent::StyleChange) {
        ReadSysColors();
        viewport()->update();
    } else if (pEvent->type() == QEvent::FontChange) {
        UpdateRowHeight();
    }
}

} // namespace lanwick

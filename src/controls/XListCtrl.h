// The report list of the main window and the range scan: per-cell text and background colours, a user-data
// pointer per row, the program's own header, and "Nothing to show yet..." while it has no rows.
#pragma once

#include "controls/XListModel.h"
#include "platform/ColorRef.h"

#include <QTableView>

#include <cstdint>
#include <functional>

namespace lanwick {

class CXHeaderCtrl;

// Extended styles, as the list takes them in SetExtendedStyle.
inline constexpr std::uint32_t LVS_EX_GRIDLINES = 0x1;
inline constexpr std::uint32_t LVS_EX_FULLROWSELECT = 0x20;

// Areas of GetSubItemRect; without cell images all three give the cell's bounds.
inline constexpr int LVIR_BOUNDS = 0;
inline constexpr int LVIR_ICON = 1;
inline constexpr int LVIR_LABEL = 2;

inline constexpr const char* kEmptyListText = "Nothing to show yet...";

QColor ColorFromRef(COLORREF cr);
COLORREF RefFromColor(const QColor& color);

class CXListCtrl : public QTableView {
    Q_OBJECT
public:
    explicit CXListCtrl(QWidget* pParent = nullptr);
    ~CXListCtrl() override;

    // Columns: all are inserted before the first row. nWidth -1 keeps the default width.
    int InsertColumn(int nCol, const QString& strHeading, int nFormat = LVCFMT_LEFT, int nWidth = -1);
    int GetColumns() const;
    // The narrowest width at which the column shows each of the texts, and its heading, whole.
    int GetColumnWidthFor(int nCol, const QStringList& texts) const;
    int GetColumnWidth(int nCol) const;
    void SetColumnWidth(int nCol, int nWidth);
    CXHeaderCtrl* GetHeaderCtrl() const { return m_pHeader; }

    // Rows. A negative row gives -1; a row beyond the end is appended. Only the first cell takes the colours.
    int InsertItem(int nItem, const QString& strText);
    int InsertItem(int nItem, const QString& strText, COLORREF crText, COLORREF crBackground);
    int GetItemCount() const;
    QString GetItemText(int nItem, int nSubItem) const;
    // 0 for an invalid row or column, else 1.
    int SetItemText(int nItem, int nSubItem, const QString& strText);
    // Colour kDefaultColor (-1) stands for the system's window text or window colour.
    int SetItemText(int nItem, int nSubItem, const QString& strText, COLORREF crText, COLORREF crBackground);
    // The same without touching the text.
    int SetItemColors(int nItem, int nSubItem, COLORREF crText, COLORREF crBackground);
    // The cell's own colours (window text on window for a row without records); kDefaultColor when invalid.
    COLORREF GetItemTextColor(int nItem, int nSubItem) const;
    COLORREF GetItemBkColor(int nItem, int nSubItem) const;

    int SetItemData(int nItem, void* pData);
    void* GetItemData(int nItem) const;
    template <class T>
    T* GetItemData(int nItem) const {
        return static_cast<T*>(GetItemData(nItem));
    }

    int DeleteAllItems();
    // The cell's rectangle in the coordinates of the rows' area (the viewport); 0 when invalid.
    int GetSubItemRect(int nItem, int nSubItem, int nArea, QRect& rect) const;
    void UpdateSubItem(int nItem, int nSubItem);
    // Orders whole rows by compare(data of a, data of b) < 0, a row without records passing nullptr; stable.
    void SortItems(const std::function<int(void*, void*)>& compare);

    // Styles.
    void SetSingleSelection(bool bSingle);
    bool IsSingleSelection() const;
    void SetShowSelAlways(bool bShow);
    void SetExtendedStyle(std::uint32_t dwExStyle);
    std::uint32_t GetExtendedStyle() const { return m_dwExStyle; }

    // Selection.
    int GetFirstSelectedItem() const;
    QList<int> GetSelectedItems() const;
    int GetSelectedCount() const;
    bool IsItemSelected(int nItem) const;
    void SetItemSelected(int nItem, bool bSelected);
    // The first row in view (-1 without rows), and scrolling so that a row comes first in view.
    int GetTopIndex() const;
    void SetTopIndex(int nItem);

    // The colours the cell is drawn in right now: its own colours with the selection rules applied.
    void GetCellDrawColors(int nItem, int nSubItem, COLORREF& crText, COLORREF& crBackground) const;

signals:
    void ColumnClick(int nColumn);
    // nItem is -1 when the click was not on a row.
    void ItemClick(int nItem, int nSubItem);
    void ItemDoubleClick(int nItem, int nSubItem);
    void RightClick(int nItem, int nSubItem, const QPoint& ptScreen);
    // Sent before the list itself acts on the key; nKey is a Qt::Key.
    void KeyDown(int nKey);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    void focusInEvent(QFocusEvent* pEvent) override;
    void focusOutEvent(QFocusEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;

private:
    friend class CXListDelegate;

    struct SysColors {
        COLORREF crBtnFace = 0;
        COLORREF crBtnHighlight = 0;
        COLORREF crBtnShadow = 0;
        COLORREF crBtnText = 0;
        COLORREF crGrayText = 0;
        COLORREF crHighlight = 0;
        COLORREF crHighlightText = 0;
        COLORREF crWindow = 0;
        COLORREF crWindowText = 0;
    };

    bool IsValid(int nItem, int nSubItem) const;
    void ReadSysColors();
    void UpdateRowHeight();
    void GetDrawColors(int nItem, int nSubItem, COLORREF& crText, COLORREF& crBackground) const;
    void DrawCell(QPainter& dc, const QRect& rc, int nItem, int nSubItem) const;
    void DrawEmptyText();

    CXListModel* m_pModel;
    CXHeaderCtrl* m_pHeader;
    SysColors m_sys;
    std::uint32_t m_dwExStyle = 0;
    bool m_bShowSelAlways = false;
};

} // namespace lanwick

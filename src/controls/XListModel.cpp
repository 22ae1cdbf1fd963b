// Report-list rows with their cell records, reordered as whole rows by the owner's comparison.
#include "controls/XListModel.h"

#include <QColor>
#include <QFont>

#include <algorithm>
#include <new>
#include <numeric>

namespace lanwick {

namespace {

QColor ToColor(COLORREF c) {
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

// Stable bottom-up merge sort. Unlike the library's sorts it stays within bounds even when the owner's
// comparison is not a consistent order; such a comparison then merely gives some order.
template <class Less>
void MergeSort(std::vector<int>& items, Less less) {
    std::vector<int> buffer(items.size());
    for (size_t width = 1; width < items.size(); width *= 2) {
        for (size_t lo = 0; lo < items.size(); lo += 2 * width) {
            const size_t mid = std::min(lo + width, items.size());
            const size_t hi = std::min(lo + 2 * width, items.size());
            size_t a = lo;
            size_t b = mid;
            size_t out = lo;
            while (a < mid && b < hi) {
                buffer[out++] = less(items[b], items[a]) ? items[b++] : items[a++];
            }
            while (a < mid) {
                buffer[out++] = items[a++];
            }
            while (b < hi) {
                buffer[out++] = items[b++];
            }
        }
        items.swap(buffer);
    }
}

} // namespace

int CXListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CXListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant CXListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    const int nRow = index.row();
    const int nCol = index.column();
    const CellData* pCell = Cell(nRow, nCol);
    switch (role) {
    case Qt::DisplayRole:
        return Text(nRow, nCol);
    case Qt::ForegroundRole:
        return ToColor(pCell != nullptr ? pCell->crText : m_crDefaultText);
    case Qt::BackgroundRole:
        return ToColor(pCell != nullptr ? pCell->crBackground : m_crDefaultBackground);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(ColumnFormat(nCol) == LVCFMT_CENTER  ? Qt::AlignHCenter
                                                 : ColumnFormat(nCol) == LVCFMT_RIGHT ? Qt::AlignRight
                                                                                      : Qt::AlignLeft) |
                                   Qt::AlignVCenter);
    case Qt::FontRole:
        if (pCell != nullptr && pCell->bBold) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return {};
    default:
        return {};
    }
}

QVariant CXListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return m_columns[static_cast<size_t>(section)].strHeading;
    }
    return {};
}

Qt::ItemFlags CXListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void CXListModel::SetDefaultColors(COLORREF crText, COLORREF crBackground) {
    m_crDefaultText = crText;
    m_crDefaultBackground = crBackground;
}

void CXListModel::InsertColumn(int nCol, const QString& strHeading, int nFormat) {
    beginInsertColumns(QModelIndex(), nCol, nCol);
    m_columns.insert(m_columns.begin() + nCol, Column{strHeading, nFormat});
    // Rows that exist already get a record for the new column too, so that every cell has one.
    for (Row& row : m_rows) {
        row.texts.insert(nCol, QString());
        if (!row.cells.empty()) {
            row.cells.insert(row.cells.begin() + nCol,
                             CellData{true, false, -1, m_crDefaultText, m_crDefaultBackground, nullptr});
        }
    }
    endInsertColumns();
}

int CXListModel::ColumnFormat(int nCol) const {
    if (nCol < 0 || nCol >= columnCount()) {
        return LVCFMT_LEFT;
    }
    return m_columns[static_cast<size_t>(nCol)].nFormat;
}

bool CXListModel::InsertRow(int nRow, const QString& strText) {
    Row row;
    row.texts.resize(columnCount());
    row.texts[0] = strText;
    bool bRecords = true;
    try {
        row.cells.assign(m_columns.size(), CellData{true, false, -1, m_crDefaultText, m_crDefaultBackground, nullptr});
    } catch (const std::bad_alloc&) {
        bRecords = false;
    }
    beginInsertRows(QModelIndex(), nRow, nRow);
    m_rows.insert(m_rows.begin() + nRow, std::move(row));
    endInsertRows();
    return bRecords;
}

void CXListModel::SetText(int nRow, int nCol, const QString& strText) {
    m_rows[static_cast<size_t>(nRow)].texts[nCol] = strText;
    CellChanged(nRow, nCol);
}

QString CXListModel::Text(int nRow, int nCol) const {
    if (nRow < 0 || nRow >= rowCount() || nCol < 0) {
        return {};
    }
    const QStringList& texts = m_rows[static_cast<size_t>(nRow)].texts;
    return nCol < texts.size() ? texts[nCol] : QString();
}

bool CXListModel::HasRecords(int nRow) const {
    return nRow >= 0 && nRow < rowCount() && !m_rows[static_cast<size_t>(nRow)].cells.empty();
}

CellData* CXListModel::Cell(int nRow, int nCol) {
    return const_cast<CellData*>(static_cast<const CXListModel*>(this)->Cell(nRow, nCol));
}

const CellData* CXListModel::Cell(int nRow, int nCol) const {
    if (nRow < 0 || nRow >= rowCount() || nCol < 0) {
        return nullptr;
    }
    const std::vector<CellData>& cells = m_rows[static_cast<size_t>(nRow)].cells;
    return static_cast<size_t>(nCol) < cells.size() ? &cells[static_cast<size_t>(nCol)] : nullptr;
}

void CXListModel::CellChanged(int nRow, int nCol) {
    const QModelIndex idx = index(nRow, nCol);
    emit dataChanged(idx, idx);
}

void CXListModel::RemoveAll() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void CXListModel::SortRows(const std::function<int(void*, void*)>& compare) {
    if (!compare || m_rows.size() < 2) {
        return;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> order(m_rows.size());
    std::iota(order.begin(), order.end(), 0);
    auto dataOf = [this](int nRow) {
        const Row& row = m_rows[static_cast<size_t>(nRow)];
        return row.cells.empty() ? nullptr : row.cells.front().pData;
    };
    MergeSort(order, [&](int a, int b) { return compare(dataOf(a), dataOf(b)) < 0; });

    std::vector<Row> sorted;
    sorted.reserve(m_rows.size());
    std::vector<int> newRowOf(m_rows.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sorted.push_back(std::move(m_rows[static_cast<size_t>(order[i])]));
        newRowOf[static_cast<size_t>(order[i])] = static_cast<int>(i);
    }
    m_rows = std::move(sorted);

    // Selection and current row follow their rows.
    const QModelIndexList oldList = persistentIndexList();
    QModelIndexList newList;
    newList.reserve(oldList.size());
    for (const QModelIndex& old : oldList) {
        newList.append(index(newRowOf[static_cast<size_t>(old.row())], old.column()));
    }
    changePersistentIndexList(oldList, newList);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace lanwick

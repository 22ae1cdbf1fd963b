// Rows of the report list: per row the cell texts and, when they could be allocated, one CellData record per
// column with the cell's colours; the row's user data lives in the first record.
#pragma once

#include "platform/ColorRef.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <functional>
#include <vector>

namespace lanwick {

// Column formats, as the list's columns take them.
inline constexpr int LVCFMT_LEFT = 0;
inline constexpr int LVCFMT_RIGHT = 1;
inline constexpr int LVCFMT_CENTER = 2;

struct CellData {
    bool bEnabled = true; // read from the first cell only: a disabled row is drawn in grey text
    bool bBold = false;
    int nImage = -1;
    COLORREF crText = 0;
    COLORREF crBackground = 0;
    void* pData = nullptr; // the row's user data; meaningful in the first cell only
};

class CXListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Colours of cells that have no record, and of new records.
    void SetDefaultColors(COLORREF crText, COLORREF crBackground);

    void InsertColumn(int nCol, const QString& strHeading, int nFormat);
    int ColumnFormat(int nCol) const;

    // Inserts a row at nRow (0 <= nRow <= row count); false when its records could not be allocated, in
    // which case the row stays, without records.
    bool InsertRow(int nRow, const QString& strText);
    void SetText(int nRow, int nCol, const QString& strText);
    QString Text(int nRow, int nCol) const;
    bool HasRecords(int nRow) const;
    // The record of a cell; null for a row without records.
    CellData* Cell(int nRow, int nCol);
    const CellData* Cell(int nRow, int nCol) const;
    void CellChanged(int nRow, int nCol);
    void RemoveAll();

    // Reorders whole rows (texts, records, user data together) by compare(a data, b data) < 0; stable.
    void SortRows(const std::function<int(void*, void*)>& compare);

private:
    struct Column {
        QString strHeading;
        int nFormat = LVCFMT_LEFT;
    };
    struct Row {
        QStringList texts;
        std::vector<CellData> cells; // empty: the records could not be allocated
    };

    std::vector<Column> m_columns;
    std::vector<Row> m_rows;
    COLORREF m_crDefaultText = 0;
    COLORREF m_crDefaultBackground = 0xFFFFFF;
};

} // namespace lanwick

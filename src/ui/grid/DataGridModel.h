// Table model that presents a core DataSet to a grid: it reads and writes only through the
// data set, so the grid never queries the store per cell and every write runs the set's hooks.
#pragma once

#include "data/DataSet.h"
#include "data/Errors.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QItemSelectionModel>
#include <QPointer>
#include <exception>
#include <functional>
#include <optional>

namespace tenvora::ui {

// How the grids show figures, read like money as in a spreadsheet: grouped by thousands,
// prices with two decimals, amounts in whole yuan, quantities with the decimals they have (up to
// four), the same for every row of a column. The printed forms keep their own patterns.
namespace GridFormat {
inline QString price() {
    return QStringLiteral("#,##0.00");
}
inline QString amount() {
    return QStringLiteral("#,##0");
}
inline QString quantity() {
    return QStringLiteral("#,##0.####");
}
} // namespace GridFormat

struct DataGridColumn {
    enum class Kind { Text, Number };

    QString field;         // column of the data set; a missing one stays blank and read-only
    QString title;         // header text; empty shows the field name
    int width = 64;        // pixels; in a grid that fits its columns, the least width of the stretch column
    QColor color;          // cell background; invalid: the grid's background
    QString displayFormat; // empty: the data set's format for the field
    bool readOnly = false;
    bool visible = true;
    Kind kind = Kind::Text; // Number: typed text must be a number, stored exactly as typed
    bool stretch = false;   // in a grid that fits its columns: takes the width the others leave
};

// How the cells of one row are drawn instead of their column's colours.
struct DataGridRowStyle {
    QColor background;
    QColor text;
    // The current cell of the row keeps these colours and is marked by a frame instead of the
    // highlight, so the cursor stays visible without hiding what the colours say.
    bool noHighlight = false;
};

class DataGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Extra data roles of the model.
    // CopyTextRole: the cell as shown but without thousands separators, so that a copied figure
    // reads as a number in any spreadsheet, whatever its locale groups with.
    enum Role { NoHighlightRole = Qt::UserRole + 1, RawValueRole, CopyTextRole };
    using RowStyleHook = std::function<std::optional<DataGridRowStyle>(int row)>;
    // A background for one cell over its row's and column's; an invalid colour for none.
    using CellColourHook = std::function<QColor(int row, int column)>;
    // A note on one cell, shown as its tooltip (why it is marked); empty for none.
    using CellNoteHook = std::function<QString(int row, int column)>;

    explicit DataGridModel(QObject* parent = nullptr);

    void setDataSet(DataSet* dataSet);
    DataSet* dataSet() const { return m_set; }
    // The view's selection: the vertical header marks its current row.
    void setSelectionModel(QItemSelectionModel* selection);
    void setColumns(const QList<DataGridColumn>& columns);
    const QList<DataGridColumn>& columns() const { return m_columns; }
    const DataGridColumn& column(int index) const { return m_columns.at(index); }
    // Index of the data set column shown in this grid column; -1 when the set lacks it.
    int fieldIndex(int column) const;
    // Grid column showing a data set column; -1 when none does.
    int columnOfField(const QString& field) const;

    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_readOnly; }
    void setRowStyle(RowStyleHook hook);
    void setCellColour(CellColourHook hook) { m_cellColour = std::move(hook); }
    void setCellNote(CellNoteHook hook) { m_cellNote = std::move(hook); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // A cell is editable where the data set lets the user type into it (its column, and the
    // set's rule for the cell, e.g. no price on a price-locked line) and the grid's column allows it.
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Puts the value into the row's edit in the data set; nothing is written yet.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    // An operation of the data set was refused or failed: the exception, for the view to show.
    void failed(std::exception_ptr failure);

private:
    void remap();
    void rowValuesChanged(int row);
    void markerChanged(int row);
    template <typename F> bool guarded(F&& action);

    QPointer<DataSet> m_set;
    QPointer<QItemSelectionModel> m_selection;
    QList<DataGridColumn> m_columns;
    QList<int> m_fields;
    bool m_readOnly = false;
    RowStyleHook m_rowStyle;
    CellColourHook m_cellColour;
    CellNoteHook m_cellNote;
};

} // namespace tenvora::ui

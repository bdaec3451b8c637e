// DataGrid: the data-aware grid over a core DataSet: per-column width, title, colour, display
// format and read-only state, a read-only state for the whole grid. The grid owns the current row:
// leaving a row saves its edit (or keeps the row when that fails), Enter saves the row being
// edited and moves on where the window says.
#pragma once

#include "grid/DataGridModel.h"

#include <QHash>
#include <QTableView>

class QLineEdit;

namespace tenvora::ui {

class DataGridDelegate;

class DataGrid : public QTableView {
    Q_OBJECT
public:
    // Row operations the grid offers from the keyboard; all go through the data set's hooks.
    enum RowOperation {
        NoRowOperations = 0,
        InsertRows = 1, // Insert key: a new row before the current one
        DeleteRows = 2, // Ctrl+Delete: deletes the current row after a question
    };
    Q_DECLARE_FLAGS(RowOperations, RowOperation)

    // Where Enter goes once the row is saved: the row to make current (the column stays), or -1
    // to stay on the row.
    using EnterMoveHook = std::function<int(int row, int column)>;

    explicit DataGrid(QWidget* parent = nullptr);

    void setDataSet(DataSet* dataSet);
    DataSet* dataSet() const { return m_model->dataSet(); }
    DataGridModel* gridModel() const { return m_model; }
    void setColumns(const QList<DataGridColumn>& columns);
    // Sizes the columns to their content whenever rows are loaded (once the event loop comes
    // round, so a load and its display formats are measured once): a figure column is never
    // narrower than its widest figure, other columns as wide as their widest text (within
    // reason), and the stretch column takes the rest of the width. Widths the user sets by hand
    // are kept (a figure column still widens for a figure that would not fit).
    void setFitColumns(bool fit);
    bool fitsColumns() const { return m_fit; }
    // Where the widths the user set are kept between starts (grids/<key>/<field>); empty: not kept.
    void setSettingsKey(const QString& key);
    // The width the column's content asks for: header and widest cell text with their margins.
    int contentWidth(int column) const;
    void setRowStyle(DataGridModel::RowStyleHook hook) { m_model->setRowStyle(std::move(hook)); }
    void setCellColour(DataGridModel::CellColourHook hook) { m_model->setCellColour(std::move(hook)); }
    // The cell's tooltip says this note (beside the whole text of a cell too narrow for it).
    void setCellNote(DataGridModel::CellNoteHook hook) { m_model->setCellNote(std::move(hook)); }

    // While read-only no cell can be typed into and no row added or deleted; an editor that is
    // already open may still hand over its text.
    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_model->isReadOnly(); }
    void setRowOperations(RowOperations operations) { m_operations = operations; }
    // Without a hook Enter saves and stays on the row.
    void setEnterMove(EnterMoveHook hook) { m_enterMove = std::move(hook); }
    RowOperations rowOperations() const { return m_operations; }

    // Makes the row current in the column last worked in, as a move by key does (the row being
    // left is saved first); false when the row being left keeps the grid there.
    bool setCurrentRow(int row);
    // A new row before the current one, through the data set's before-insert hook; false when
    // refused (the reason has been shown).
    bool insertRow();

    // Hands the text of an open cell editor to the data set (nothing is written yet) and closes
    // the editor; false, with the hint shown, when the text was refused.
    bool commitEditor();
    // commitEditor, then saves a pending edit of the data set; false when refused or failed
    // (the message has been shown and the row stays in edit).
    bool savePending();
    bool isEditorOpen() const;
    // Closes an open cell editor without handing over its text.
    void discardEditor();

    // Up, Down, PageUp, PageDown in a cell editor: the grid moves, unless the text is refused.
    void editorNavigationKey(QKeyEvent* event);
    // Enter in a cell editor: the text goes into the row and the row is saved.
    void editorEnter(QLineEdit* editor);

    // The selected cells of the visible columns as tab-separated lines, as shown (for a
    // spreadsheet); within the rows and columns that hold a selected cell, others stay empty.
    QString selectionText() const;
    // selectionText() to the clipboard; the current cell when nothing is selected.
    void copySelection();

    // The grid's background: the tooltip colour of the workbench.
    static QColor background();

signals:
    void readOnlyChanged(bool readOnly);
    // Text refused in a number cell; the hint is also shown at the cell.
    void inputRefused(const QString& hint);
    // Text typed at a cell that cannot be typed into (a read-only grid or column).
    void typingRefused(int row, int column);
    // Several figures pasted into an open number editor; the editor has been closed, what was
    // typed into it dropped, and the paste is the owner's to make (the column paste).
    void columnPasteRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    // Esc in a cell editor drops the row's edit too, as Esc on the grid does.
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    // Reached when typed text could not open a cell editor: the grid never jumps to another row
    // on typing, it reports the refusal instead.
    void keyboardSearch(const QString& text) override;

private:
    friend class DataGridSelection;
    template <typename F> bool guarded(F&& action);
    // Whether the current cell may become this one: an open editor whose text is no number keeps
    // its cell, and leaving the row hands the editor's text to the row and saves it.
    bool mayMoveTo(const QModelIndex& to);
    // An open editor whose text is no number keeps its cell: the reason is shown, the editor
    // takes the focus again, and true is returned so that the caller does not move.
    bool refuseLeavingEditor();
    void showFailure(std::exception_ptr failure);
    void showHint(const QString& hint);
    int firstVisibleColumn() const;
    int lastVisibleColumn() const;
    void moveAfterEnter();
    struct ColumnContent {
        int width = 0;
        bool figures = false; // right-aligned numbers, which must never be cut
    };
    // Measures the shown texts; a text column stops once it is cap wide.
    ColumnContent measure(int column, int cap) const;
    void fitColumns();
    void scheduleFit();
    void fitStretchColumn();
    void widenForRow(int row);
    void columnResizedByUser(int column, int width);
    int textWidth(const QString& text) const;

    DataGridModel* m_model;
    DataGridDelegate* m_delegate;
    RowOperations m_operations = InsertRows;
    EnterMoveHook m_enterMove;
    bool m_fit = false;
    bool m_fitting = false;
    bool m_fitScheduled = false;
    int m_stretchLeast = 0;
    QString m_settingsKey;
    QHash<QString, int> m_userWidths; // by field, widths the user dragged
    EditTriggers m_triggers;
    int m_column = -1; // the column worked in, kept when code moves to another row
};

} // namespace tenvora::ui

Q_DECLARE_OPERATORS_FOR_FLAGS(tenvora::ui::DataGrid::RowOperations)

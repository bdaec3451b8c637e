// Cell editing of the data-aware grid: a line edit per cell; number columns take any number
// as typed (full-width forms and thousands separators included). Text that is no number is
// never cut as it is typed (a key filter would turn "1.5万" into 1.5): it stays in the cell
// whole, a hint says so at once, and saving or leaving the cell is refused with the reason.
#pragma once

#include <QPointer>
#include <QStyledItemDelegate>

#include <QLineEdit>

namespace tenvora::ui {

class DataGrid;

class DataGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit DataGridDelegate(DataGrid* grid);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // A cell too narrow for its text shows the whole text as a tooltip, and a cell with a note
    // the note.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // The open editor, if any, and whether its text may be stored.
    QLineEdit* openEditor() const { return m_editor; }
    bool editorTextAcceptable() const;
    // The index the open editor edits; invalid when none is open.
    QModelIndex editorIndex() const { return m_editor ? QModelIndex(m_editorIndex) : QModelIndex(); }

    // The refusal of a text that is no number, with the reason.
    static QString notANumberHint(const QString& text);
    // Shown as soon as the text typed into a number cell can no longer become a number.
    static QString rejectedKeyHint();

signals:
    void inputRefused(const QString& hint) const;
    void editorOpened() const;
    // Ctrl+V in an open number editor with several figures on the clipboard (lines or cells of
    // a spreadsheet): they are meant for the column, not for this one cell.
    void multiLinePasteRequested() const;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    bool isNumberColumn(const QModelIndex& index) const;

    DataGrid* m_grid;
    mutable QPointer<QLineEdit> m_editor;
    mutable QPersistentModelIndex m_editorIndex;
    mutable bool m_editorIsNumber = false;
};

} // namespace tenvora::ui

// Cell editing of the data-aware grid: a line edit per cell; number columns take any number
// as typed (full-width forms and thousands separators included) and refuse other text in the
// cell with a hint, storing nothing.
#pragma once

#include <QPointer>
#include <QStyledItemDelegate>
#include <QValidator>

#include <QLineEdit>

namespace tenvora::ui {

class DataGrid;

// Lets through what is or may become a number ("", "-", "1.", "1e", "１２", "1,23"); refuses
// everything else.
class NumberValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

class DataGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit DataGridDelegate(DataGrid* grid);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // A cell too narrow for its text shows the whole text as a tooltip.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // The open editor, if any, and whether its text may be stored.
    QLineEdit* openEditor() const { return m_editor; }
    bool editorTextAcceptable() const;

    static QString notANumberHint(const QString& text);
    static QString rejectedKeyHint();

signals:
    void inputRefused(const QString& hint) const;
    void editorOpened() const;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    bool isNumberColumn(const QModelIndex& index) const;

    DataGrid* m_grid;
    mutable QPointer<QLineEdit> m_editor;
    mutable bool m_editorIsNumber = false;
};

} // namespace tenvora::ui

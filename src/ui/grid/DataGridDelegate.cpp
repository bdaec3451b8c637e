#include "grid/DataGridDelegate.h"

#include "data/NumberInput.h"
#include "grid/DataGrid.h"
#include "grid/DataGridModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QToolTip>

namespace tenvora::ui {

DataGridDelegate::DataGridDelegate(DataGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

QString DataGridDelegate::notANumberHint(const QString& text) {
    return QStringLiteral("“%1”不是数字（%2），请输入数字，例如 12.35").arg(text.trimmed(), NumberInputProblem(text));
}

QString DataGridDelegate::rejectedKeyHint() {
    return QStringLiteral("这里只能输入数字，例如 12.35");
}

bool DataGridDelegate::isNumberColumn(const QModelIndex& index) const {
    const auto* model = qobject_cast<const DataGridModel*>(index.model());
    return model && index.column() < model->columnCount() &&
           model->column(index.column()).kind == DataGridColumn::Kind::Number;
}

QWidget* DataGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const {
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    m_editorIsNumber = isNumberColumn(index);
    if (m_editorIsNumber) {
        editor->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        // Keys and input-method commits alike: the text stays as typed, the hint comes at once.
        connect(editor, &QLineEdit::textEdited, this, [this](const QString& text) {
            if (!IsPartialNumberInput(text) && !ParseNumberInput(text))
                emit inputRefused(rejectedKeyHint());
        });
    }
    m_editor = editor;
    m_editorIndex = index;
    emit editorOpened();
    return editor;
}

void DataGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        line->setText(index.data(Qt::EditRole).toString());
}

bool DataGridDelegate::editorTextAcceptable() const {
    if (!m_editor || !m_editorIsNumber)
        return true;
    const QString text = m_editor->text();
    return text.trimmed().isEmpty() || ParseNumberInput(text).has_value();
}

void DataGridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line)
        return;
    const QString text = line->text();
    if (!isNumberColumn(index)) {
        model->setData(index, text);
        return;
    }
    if (text.trimmed().isEmpty()) {
        model->setData(index, QVariant());
        return;
    }
    // Stored exactly as typed: the parsed double, never a value rounded to the display.
    const std::optional<double> number = ParseNumberInput(text);
    if (!number) {
        emit inputRefused(notANumberHint(text));
        return;
    }
    model->setData(index, *number);
}

void DataGridDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const {
    if (m_editor == editor)
        m_editor = nullptr;
    QStyledItemDelegate::destroyEditor(editor, index);
}

void DataGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (!index.data(DataGridModel::NoHighlightRole).toBool()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem plain(option);
    plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    QStyledItemDelegate::paint(painter, plain, index);
    if (!(option.state & QStyle::State_Selected))
        return;
    painter->save();
    QPen pen(option.palette.color(QPalette::Active, QPalette::Highlight), 2);
    pen.setJoinStyle(Qt::MiterJoin);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(QRectF(option.rect).adjusted(1, 1, -1, -1));
    painter->restore();
}

bool DataGridDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString text = index.data(Qt::DisplayRole).toString();
    const QString note = index.data(Qt::ToolTipRole).toString();
    const int room = option.rect.width() - 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    const bool cut = !text.isEmpty() && option.fontMetrics.horizontalAdvance(text) > room;
    if (!cut && note.isEmpty()) {
        QToolTip::hideText();
        return true;
    }
    const QString tip = cut && !note.isEmpty() ? text + QLatin1Char('\n') + note : cut ? text : note;
    QToolTip::showText(event->globalPos(), tip, view->viewport(), option.rect);
    return true;
}

bool DataGridDelegate::eventFilter(QObject* object, QEvent* event) {
    auto* editor = qobject_cast<QLineEdit*>(object);
    if (!editor)
        return QStyledItemDelegate::eventFilter(object, event);
    if (event->type() == QEvent::FocusOut && editor == m_editor && !editorTextAcceptable()) {
        // Leaving the cell with text that is no number: the cell stays open with the text. A
        // window or menu taking the focus for a while is no leaving, and says nothing.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // A click into the grid is answered by the grid itself.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
            QApplication::focusWidget() != m_grid)
            emit inputRefused(notANumberHint(editor->text()));
        return false; // the editor's own handling only, without the commit and close
    }
    if (event->type() != QEvent::KeyPress)
        return QStyledItemDelegate::eventFilter(object, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::Paste) && editor == m_editor && m_editorIsNumber) {
        const QString text = QGuiApplication::clipboard()->text().trimmed();
        if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\t'))) {
            emit multiLinePasteRequested();
            return true;
        }
    }
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // A one-line editor has no use for them: the grid moves, which hands over the text.
        m_grid->editorNavigationKey(key);
        return true;
    default:
        break;
    }
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
    if ((enter || tab) && editor == m_editor && !editorTextAcceptable()) {
        emit inputRefused(notANumberHint(editor->text()));
        return true; // the editor stays open with the text; nothing is stored
    }
    if (enter) {
        // At once rather than queued, so the row is saved before the next key is handled.
        m_grid->editorEnter(editor);
        return true;
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

} // namespace tenvora::ui

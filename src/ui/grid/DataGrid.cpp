#include "grid/DataGrid.h"

#include "MessageBox.h"
#include "Settings.h"
#include "grid/DataGridDelegate.h"
#include "shell/UiStyle.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSet>
#include <QSettings>
#include <QToolTip>

#include <algorithm>
#include <limits>
#include <numeric>

namespace tenvora::ui {

namespace {

// The widest a text column grows on its own: beyond it a text is cut and shows whole in its tooltip.
constexpr int kTextCap = 240;

} // namespace

// The grid's selection model: the current index moves on only when the grid lets the cell go, so
// moves by key, by mouse, from code and from the navigator all keep one rule and none is undone.
class DataGridSelection : public QItemSelectionModel {
public:
    explicit DataGridSelection(DataGrid* grid) : QItemSelectionModel(grid->model(), grid), m_grid(grid) {}

    void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override {
        // A new row left untouched is dropped on leaving: the rows below it move up.
        const QPersistentModelIndex target(index);
        if (m_grid->mayMoveTo(index))
            QItemSelectionModel::setCurrentIndex(target, command);
    }

private:
    DataGrid* m_grid;
};

DataGrid::DataGrid(QWidget* parent)
    : QTableView(parent), m_model(new DataGridModel(this)), m_delegate(new DataGridDelegate(this)) {
    setModel(m_model);
    QItemSelectionModel* plain = selectionModel();
    setSelectionModel(new DataGridSelection(this));
    delete plain;
    m_model->setSelectionModel(selectionModel());
    // After a load the first row is current, in the column worked in.
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { setCurrentRow(0); });
    setItemDelegate(m_delegate);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    m_triggers = AnyKeyPressed | DoubleClicked | EditKeyPressed | SelectedClicked;
    setEditTriggers(m_triggers);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setFont(SongFont(12));
    // The current cell in navy with white text, as in the workbench's other lists: the thin
    // 宋体 strokes stay readable on it, also while another control has the focus.
    QPalette p = palette();
    p.setColor(QPalette::Base, background());
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Highlight, Navy());
        p.setColor(group, QPalette::HighlightedText, Qt::white);
    }
    setPalette(p);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 6);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    connect(m_model, &QAbstractItemModel::modelReset, this, &DataGrid::scheduleFit);
    connect(m_model, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex& from, const QModelIndex& to) {
        if (from.row() == to.row())
            widenForRow(from.row());
        else
            scheduleFit(); // new display formats: every text may have changed
    });
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (!m_fitting && m_fit)
            columnResizedByUser(column, width);
    });
    connect(m_model, &DataGridModel::failed, this, &DataGrid::showFailure);
    connect(m_delegate, &DataGridDelegate::inputRefused, this, &DataGrid::showHint);
    connect(
        m_delegate, &DataGridDelegate::multiLinePasteRequested, this,
        [this] {
            discardEditor();
            setFocus();
            emit columnPasteRequested();
        },
        Qt::QueuedConnection); // after the key event, once the editor is gone
    // Typing into a cell puts its row into edit at once, as the navigator shows.
    connect(m_delegate, &DataGridDelegate::editorOpened, this, [this] {
        DataSet* set = dataSet();
        const int row = m_delegate->editorIndex().row();
        if (set && set->canModify() && !set->isEditing(row))
            guarded([&] { set->edit(row); });
    });
}

QColor DataGrid::background() {
    return PaleYellow();
}

void DataGrid::setDataSet(DataSet* dataSet) {
    m_model->setDataSet(dataSet);
}

void DataGrid::setColumns(const QList<DataGridColumn>& columns) {
    m_model->setColumns(columns);
    m_fitting = true;
    for (int i = 0; i < columns.size(); ++i) {
        setColumnWidth(i, columns[i].width);
        setColumnHidden(i, !columns[i].visible);
    }
    m_fitting = false;
    fitColumns();
    m_column = firstVisibleColumn();
    setCurrentRow(std::max(currentIndex().row(), 0));
}

void DataGrid::setFitColumns(bool fit) {
    m_fit = fit;
    // The stretch column takes the rest; the header's own stretching would fight it.
    if (fit)
        horizontalHeader()->setStretchLastSection(false);
    fitColumns();
}

void DataGrid::setSettingsKey(const QString& key) {
    m_settingsKey = key;
    m_userWidths.clear();
    if (!key.isEmpty()) {
        const std::unique_ptr<QSettings> settings = OpenSettings();
        settings->beginGroup(QStringLiteral("grids/%1").arg(key));
        for (const QString& field : settings->childKeys())
            if (const int width = settings->value(field).toInt(); width > 0)
                m_userWidths.insert(field, width);
    }
    fitColumns();
}

int DataGrid::textWidth(const QString& text) const {
    // The delegate's text margins on both sides, and a little air so figures do not touch the rule.
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 6;
    return fontMetrics().horizontalAdvance(text) + margin;
}

DataGrid::ColumnContent DataGrid::measure(int column, int cap) const {
    const QHeaderView* header = horizontalHeader();
    const QString title = m_model->headerData(column, Qt::Horizontal).toString();
    ColumnContent content;
    content.width = header->fontMetrics().horizontalAdvance(title) +
                    2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) + 6;
    content.figures = m_model->column(column).kind == DataGridColumn::Kind::Number;
    // Laying out thousands of texts is what costs; figures need none: no figure is wider than its
    // length times the widest character a figure has, so the longest figure bounds them all.
    static const QString figureChars = QStringLiteral("0123456789.,-+E");
    int widestFigureChar = 0;
    for (QChar c : figureChars)
        widestFigureChar = std::max(widestFigureChar, fontMetrics().horizontalAdvance(c));
    const int margin = textWidth(QString());
    qsizetype longestFigure = 0;
    qsizetype longestText = 0;
    bool decided = content.figures;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const QModelIndex index = m_model->index(row, column);
        const QString text = index.data().toString();
        if (text.isEmpty())
            continue;
        if (!decided) {
            content.figures = index.data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight;
            decided = true;
        }
        const bool figure = std::all_of(text.cbegin(), text.cend(), [](QChar c) { return figureChars.contains(c); });
        if (figure) {
            if (text.size() > longestFigure) {
                longestFigure = text.size();
                content.width = std::max(content.width, static_cast<int>(longestFigure) * widestFigureChar + margin);
            }
            continue;
        }
        // Only a text longer than every one laid out so far can be wider (a wide character
        // counting twice); texts of a length already seen stay within the tooltip's reach.
        const qsizetype weight = std::accumulate(text.cbegin(), text.cend(), qsizetype(0), [](qsizetype sum, QChar c) {
            return sum + (c.unicode() >= 0x2E80 ? 2 : 1);
        });
        if (weight <= longestText)
            continue;
        longestText = weight;
        content.width = std::max(content.width, textWidth(text));
        if (!content.figures && content.width >= cap)
            break;
    }
    return content;
}

int DataGrid::contentWidth(int column) const {
    return measure(column, std::numeric_limits<int>::max()).width;
}

void DataGrid::fitColumns() {
    if (!m_fit || m_model->columnCount() == 0)
        return;
    m_fitting = true;
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const DataGridColumn& def = m_model->column(c);
        if (isColumnHidden(c))
            continue;
        const ColumnContent content = measure(c, def.stretch ? kTextCap : std::max(def.width, kTextCap));
        if (def.stretch) {
            // When the others leave no room, the descriptions still get a readable width.
            m_stretchLeast = std::max(def.width, std::min(content.width, kTextCap));
            continue;
        }
        const int user = m_userWidths.value(def.field, 0);
        // A figure is never cut; a long text may be, showing itself whole in the tooltip.
        if (content.figures)
            setColumnWidth(c, std::max(content.width, user));
        else
            setColumnWidth(c, user > 0 ? user : std::min(content.width, std::max(def.width, kTextCap)));
    }
    m_fitting = false;
    fitStretchColumn();
}

void DataGrid::scheduleFit() {
    // A load brings its rows and then its display formats: one measuring after both, queued
    // ahead of the repaint (which the view posts at low priority), so nothing is drawn twice.
    if (!m_fit || m_fitScheduled)
        return;
    m_fitScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_fitScheduled = false;
            fitColumns();
        },
        Qt::QueuedConnection);
}

void DataGrid::fitStretchColumn() {
    if (!m_fit)
        return;
    int stretch = -1;
    int used = 0;
    for (int c = 0; c < m_model->columnCount(); ++c) {
        if (isColumnHidden(c))
            continue;
        if (stretch < 0 && m_model->column(c).stretch)
            stretch = c;
        else
            used += columnWidth(c);
    }
    if (stretch < 0)
        return;
    const DataGridColumn& def = m_model->column(stretch);
    const int least = std::max({def.width, m_stretchLeast, m_userWidths.value(def.field, 0)});
    m_fitting = true;
    setColumnWidth(stretch, std::max(least, viewport()->width() - used));
    m_fitting = false;
}

void DataGrid::widenForRow(int row) {
    if (!m_fit || row < 0 || row >= m_model->rowCount())
        return;
    bool widened = false;
    m_fitting = true;
    for (int c = 0; c < m_model->columnCount(); ++c) {
        if (isColumnHidden(c) || m_model->column(c).stretch)
            continue;
        const QModelIndex index = m_model->index(row, c);
        if (!(index.data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight))
            continue;
        // A new figure (an amount computed on saving) may be wider than any before it.
        const int needed = textWidth(index.data().toString());
        if (needed > columnWidth(c)) {
            setColumnWidth(c, needed);
            widened = true;
        }
    }
    m_fitting = false;
    if (widened)
        fitStretchColumn();
}

void DataGrid::columnResizedByUser(int column, int width) {
    const QString field = m_model->column(column).field;
    m_userWidths.insert(field, width);
    if (!m_settingsKey.isEmpty())
        OpenSettings()->setValue(QStringLiteral("grids/%1/%2").arg(m_settingsKey, field), width);
    if (!m_model->column(column).stretch)
        fitStretchColumn();
}

bool DataGrid::viewportEvent(QEvent* event) {
    const bool handled = QTableView::viewportEvent(event);
    if (event->type() == QEvent::Resize)
        fitStretchColumn();
    return handled;
}

void DataGrid::setReadOnly(bool readOnly) {
    if (readOnly == isReadOnly())
        return;
    m_model->setReadOnly(readOnly);
    setEditTriggers(readOnly ? NoEditTriggers : m_triggers);
    emit readOnlyChanged(readOnly);
}

template <typename F> bool DataGrid::guarded(F&& action) {
    return Guarded(this, std::forward<F>(action));
}

void DataGrid::showFailure(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        ShowFailure(this, e);
    }
}

void DataGrid::showHint(const QString& hint) {
    const QRect cell = visualRect(currentIndex());
    QToolTip::showText(viewport()->mapToGlobal(cell.bottomLeft()), hint, this, QRect(), 4000);
    emit inputRefused(hint);
}

bool DataGrid::isEditorOpen() const {
    return m_delegate->openEditor() != nullptr;
}

bool DataGrid::refuseLeavingEditor() {
    QLineEdit* editor = m_delegate->openEditor();
    if (!editor || m_delegate->editorTextAcceptable())
        return false;
    showHint(DataGridDelegate::notANumberHint(editor->text()));
    editor->setFocus(Qt::OtherFocusReason);
    return true;
}

bool DataGrid::commitEditor() {
    QLineEdit* editor = m_delegate->openEditor();
    if (!editor)
        return true;
    if (refuseLeavingEditor())
        return false;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

void DataGrid::discardEditor() {
    if (QLineEdit* editor = m_delegate->openEditor())
        closeEditor(editor, QAbstractItemDelegate::NoHint);
}

bool DataGrid::savePending() {
    if (!commitEditor())
        return false;
    DataSet* set = dataSet();
    return !set || guarded([&] { set->savePending(); });
}

void DataGrid::editorEnter(QLineEdit* editor) {
    const int row = m_delegate->editorIndex().row();
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    if (DataSet* set = dataSet(); set && set->isEditing(row))
        guarded([&] { set->post(row); });
    moveAfterEnter();
}

void DataGrid::moveAfterEnter() {
    DataSet* set = dataSet();
    const QModelIndex current = currentIndex();
    // A row that could not be saved stays current, with what was typed.
    if (!m_enterMove || !set || !current.isValid() || set->isEditing(current.row()))
        return;
    const int target = m_enterMove(current.row(), current.column());
    if (target < 0 || target == current.row() || target >= m_model->rowCount())
        return;
    m_column = current.column();
    setCurrentRow(target);
}

bool DataGrid::setCurrentRow(int row) {
    if (m_model->rowCount() == 0)
        return false;
    row = std::clamp(row, 0, m_model->rowCount() - 1);
    int column = m_column;
    if (column < 0 || column >= m_model->columnCount() || isColumnHidden(column))
        column = firstVisibleColumn();
    const QModelIndex index = m_model->index(row, column);
    if (currentIndex() != index)
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    return currentIndex().row() == row;
}

bool DataGrid::mayMoveTo(const QModelIndex& to) {
    const QModelIndex from = currentIndex();
    if (!from.isValid() || to == from)
        return true;
    const QModelIndex editing = m_delegate->editorIndex();
    if (editing.isValid() && editing != to && refuseLeavingEditor())
        return false;
    if (to.row() == from.row())
        return true;
    // Leaving the row: what is typed goes into it, and the row is saved (an untouched one is
    // dropped); a row that cannot be saved stays current, with what was typed.
    if (!commitEditor())
        return false;
    DataSet* set = dataSet();
    return !set || !set->isEditing(from.row()) || guarded([&] { set->savePending(from.row()); });
}

bool DataGrid::insertRow() {
    DataSet* set = dataSet();
    if (!set)
        return false;
    const QModelIndex current = currentIndex();
    int at = std::max(current.row(), 0);
    if (current.isValid() && !mayMoveTo(QModelIndex()))
        return false;
    at = std::min(at, m_model->rowCount()); // an untouched new row left behind is gone
    int row = -1;
    if (!guarded([&] { row = set->insert(at); }))
        return false;
    setCurrentRow(row);
    return true;
}

void DataGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    const int row = m_delegate->editorIndex().row();
    QTableView::closeEditor(editor, hint);
    if (hint != QAbstractItemDelegate::RevertModelCache)
        return;
    if (DataSet* set = dataSet(); set && set->isEditing(row))
        guarded([&] { set->cancel(row); });
}

void DataGrid::editorNavigationKey(QKeyEvent* event) {
    if (!refuseLeavingEditor())
        keyPressEvent(event);
}

void DataGrid::mousePressEvent(QMouseEvent* event) {
    // A click on another cell is a move: when the cell being left keeps the grid, the click
    // selects nothing either.
    const QModelIndex target = indexAt(event->position().toPoint());
    if (target.isValid() && !mayMoveTo(target)) {
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void DataGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex target = indexAt(event->position().toPoint());
    if (target.isValid() && !mayMoveTo(target)) {
        event->accept();
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

void DataGrid::keyPressEvent(QKeyEvent* event) {
    DataSet* set = dataSet();
    const int key = event->key();
    const int row = currentIndex().row();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (enter && set && set->isEditing(row))
        guarded([&] { set->post(row); });
    if (event->matches(QKeySequence::Copy)) {
        copySelection(); // every selected cell, not only the current one
        event->accept();
        return;
    }
    if (enter && m_enterMove) {
        moveAfterEnter();
        event->accept();
        return;
    }
    const bool writable = set && set->canModify() && !isReadOnly();
    switch (key) {
    case Qt::Key_Insert:
        if (writable && (m_operations & InsertRows) && event->modifiers() == Qt::NoModifier)
            insertRow();
        event->accept();
        return;
    case Qt::Key_Delete:
        if (writable && (m_operations & DeleteRows) && (event->modifiers() & Qt::ControlModifier) && row >= 0 &&
            MessageBox::question(this, QStringLiteral("删除这条记录吗？")))
            guarded([&] { set->remove(row); });
        event->accept();
        return;
    case Qt::Key_Escape:
        if (set && set->isEditing(row)) {
            guarded([&] { set->cancel(row); });
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QTableView::keyPressEvent(event);
    // Tab stays in the grid, also at its last cell.
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
        event->accept();
}

void DataGrid::inputMethodEvent(QInputMethodEvent* event) {
    // An input method commits full-width digits at once, without a composition; the view would
    // open the cell editor for them but drop the committed text.
    if (isEditorOpen() || !event->preeditString().isEmpty() || event->commitString().isEmpty()) {
        QTableView::inputMethodEvent(event);
        return;
    }
    if (!edit(currentIndex(), AnyKeyPressed, event)) {
        keyboardSearch(event->commitString());
        event->ignore();
        return;
    }
    if (QLineEdit* editor = m_delegate->openEditor())
        QCoreApplication::sendEvent(editor, event);
}

void DataGrid::keyboardSearch(const QString& text) {
    if (!text.trimmed().isEmpty() && currentIndex().isValid())
        emit typingRefused(currentIndex().row(), currentIndex().column());
}

int DataGrid::firstVisibleColumn() const {
    for (int c = 0; c < m_model->columnCount(); ++c)
        if (!isColumnHidden(c))
            return c;
    return 0;
}

int DataGrid::lastVisibleColumn() const {
    for (int c = m_model->columnCount() - 1; c >= 0; --c)
        if (!isColumnHidden(c))
            return c;
    return 0;
}

QModelIndex DataGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    // Nothing lies beyond the last row: Down and Tab there stay put, and no row is added.
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.row() == m_model->rowCount() - 1 &&
        (action == MoveDown || (action == MoveNext && current.column() == lastVisibleColumn())))
        return current;
    return QTableView::moveCursor(action, modifiers);
}

void DataGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    // Commits the editor of a cell left within its row (the grid itself hands over the text of a
    // row being left, before the row is saved).
    QTableView::currentChanged(current, previous);
    if (current.isValid())
        m_column = current.column();
}

QString DataGrid::selectionText() const {
    QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty() && currentIndex().isValid())
        selected << currentIndex();
    QList<int> rows;
    QList<int> columns;
    QSet<QPair<int, int>> cells;
    for (const QModelIndex& index : selected) {
        if (isColumnHidden(index.column()) || isRowHidden(index.row()))
            continue;
        if (!rows.contains(index.row()))
            rows << index.row();
        if (!columns.contains(index.column()))
            columns << index.column();
        cells.insert({index.row(), index.column()});
    }
    std::sort(rows.begin(), rows.end());
    std::sort(columns.begin(), columns.end());
    QStringList lines;
    for (int row : rows) {
        QStringList texts;
        for (int column : columns)
            texts << (cells.contains({row, column})
                          ? m_model->index(row, column).data(DataGridModel::CopyTextRole).toString()
                          : QString());
        lines << texts.join(QLatin1Char('\t'));
    }
    return lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void DataGrid::copySelection() {
    QGuiApplication::clipboard()->setText(selectionText());
}

} // namespace tenvora::ui

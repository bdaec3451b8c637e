#include "boq/PricingTools.h"

#include "MessageBox.h"
#include "Modal.h"
#include "boq/BoqEditor.h"
#include "boq/BoqEditorWindow.h"
#include "boq/BoqFindBar.h"
#include "boq/BoqLineRules.h"
#include "boq/ChapterNames.h"
#include "boq/PriceAdjustmentDialog.h"
#include "data/Money.h"
#include "grid/DataGrid.h"
#include "shell/UiStyle.h"
#include "shell/UndoActions.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tenvora::ui {

namespace {

QString yuan(qint64 amount) {
    return FormatNumber(static_cast<double>(amount), QStringLiteral("#,##0"));
}

int depthOf(const QModelIndex& index) {
    int depth = 0;
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
        ++depth;
    return depth;
}

} // namespace

QString BoqTreeLabels::labelOf(const QModelIndex& index) {
    const QString text = index.data(Qt::DisplayRole).toString();
    return depthOf(index) == BoqChapterLevel ? BoqChapterLabel(text) : text;
}

void BoqTreeLabels::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->text = labelOf(index);
}

BoqPricingTools::BoqPricingTools(BoqEditorWindow& tool, BoqEditor& editor, DataModule& dm, QVBoxLayout* gridColumn)
    : QObject(&tool), m_tool(tool), m_editor(editor), m_dm(dm), m_grid(tool.grid()) {
    QWidget* panel = tool.contentPanel();
    m_findBar = new BoqFindBar(editor, panel);

    const UndoActions history = UndoActions::create(panel);
    m_undo = history.undo;
    m_redo = history.redo;
    m_find = new QAction(QStringLiteral("查找(&F)"), panel);
    m_find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    m_adjust = new QAction(QStringLiteral("调价(&T)…"), panel);
    m_adjust->setObjectName(QStringLiteral("AdjustAction"));
    m_adjust->setToolTip(QStringLiteral("按目标清单合计或百分比调整单价"));
    // Anywhere in the window that hosts the editor, but a text field with the focus keeps its
    // own undo.
    m_find->setShortcutContext(Qt::WindowShortcut);
    panel->addAction(m_find);
    // Copy and paste belong to the grid; an open cell editor copies and pastes its own text.
    m_copy = new QAction(QStringLiteral("复制(&C)"), m_grid);
    m_copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    m_paste = new QAction(QStringLiteral("粘贴单价(&V)"), m_grid);
    m_paste->setObjectName(QStringLiteral("PasteAction"));
    m_paste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    m_paste->setToolTip(QStringLiteral("把从电子表格复制的一列单价从当前行往下填入可录入的细目"));
    for (QAction* a : {m_copy, m_paste}) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        m_grid->addAction(a);
    }
    m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);

    m_findBar->addTrailing(ToolButtonFor(m_undo, m_findBar));
    m_findBar->addTrailing(ToolButtonFor(m_redo, m_findBar));
    m_findBar->addTrailing(ToolButtonFor(m_adjust, m_findBar));

    auto* bottom = new QWidget(panel);
    auto* bottomLayout = new QHBoxLayout(bottom);
    bottomLayout->setContentsMargins(2, 0, 2, 0);
    m_totals = new QLabel(bottom);
    m_totals->setObjectName(QStringLiteral("LiveTotals"));
    m_totals->setTextFormat(Qt::RichText);
    m_totals->setToolTip(QStringLiteral("按现在的单价重算的合计（与“章合计 和 保险费 计算”的算法相同），"
                                        "不是章行里存的数"));
    m_message = new QLabel(bottom);
    m_message->setObjectName(QStringLiteral("PricingMessage"));
    m_message->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QLabel* l : {m_totals, m_message})
        l->setFont(SongFont(12));
    // Long figures or a long message never widen the window past a 1024-pixel screen: the
    // totals go on to another line, the message takes its room only while there is room.
    m_totals->setWordWrap(true);
    m_message->setMinimumWidth(1);
    bottomLayout->addWidget(m_totals, 1);
    bottomLayout->addWidget(m_message);
    gridColumn->insertWidget(0, m_findBar);
    gridColumn->addWidget(bottom);

    QMenu* popup = tool.contextMenu();
    popup->addSeparator();
    popup->addActions({m_undo, m_redo, m_copy, m_paste, m_adjust});
    tool.tree()->setItemDelegate(new BoqTreeLabels(tool.tree()));
    // The amount of a chapter line whose stored total is out of date.
    m_grid->setCellColour([this](int row, int column) {
        const DataGridModel* model = m_grid->gridModel();
        if (column != model->columnOfField(BoqColumn::Amount))
            return QColor();
        // Painting is no place for a failure: the totals' label says why they cannot be read.
        try {
            return m_editor.isStaleChapterLine(row) ? staleColor() : QColor();
        } catch (const Error&) {
            return QColor();
        }
    });

    connect(m_undo, &QAction::triggered, this, &BoqPricingTools::undo);
    connect(m_redo, &QAction::triggered, this, &BoqPricingTools::redo);
    connect(m_find, &QAction::triggered, m_findBar, &BoqFindBar::focusSearch);
    connect(m_copy, &QAction::triggered, m_grid, &DataGrid::copySelection);
    connect(m_paste, &QAction::triggered, this, &BoqPricingTools::paste);
    // Ctrl+V in an open price editor with a column of figures: the same column paste.
    connect(m_grid, &DataGrid::columnPasteRequested, this, &BoqPricingTools::paste);
    connect(m_adjust, &QAction::triggered, this, &BoqPricingTools::adjust);
    connect(m_findBar, &BoqFindBar::lineWanted, this, &BoqPricingTools::showLine);
    connect(m_findBar, &BoqFindBar::unpricedToggled, this, [this](bool on) {
        if (!m_grid->savePending()) {
            const QSignalBlocker quiet(m_findBar->unpricedBox());
            m_findBar->unpricedBox()->setChecked(!on);
            return;
        }
        run([&] { m_editor.setUnpricedOnly(on); });
    });
    connect(m_findBar, &BoqFindBar::contractUnpricedToggled, this, [this](bool on) {
        // A typed price that cannot be saved keeps its list; whatever happens the window shows
        // what the editor now lists.
        if (m_grid->savePending())
            run([&] { m_editor.setContractUnpriced(on); });
        m_tool.followListing();
        if (on && m_editor.lines().rowCount() > 0)
            m_grid->setCurrentIndex(
                m_grid->gridModel()->index(0, m_grid->gridModel()->columnOfField(BoqColumn::Price)));
    });
    connect(&m_editor, &BoqEditor::totalsChanged, this, &BoqPricingTools::updateTotals);
    connect(&m_editor, &BoqEditor::historyChanged, this, &BoqPricingTools::updateHistory);
    connect(&m_editor.lines(), &DataSet::reset, this, &BoqPricingTools::updateTotals);
    connect(&m_editor.lines(), &DataSet::reset, this, [this] {
        const DataSet& lines = m_editor.lines();
        if (m_editor.contractUnpriced() && lines.isOpen())
            m_message->setText(lines.isEmpty() ? QStringLiteral("整个合同没有未报价的细目")
                                               : QStringLiteral("全部章节未报价的细目：%1 行").arg(lines.rowCount()));
        else if (m_editor.unpricedOnly() && lines.isOpen())
            m_message->setText(lines.isEmpty() ? QStringLiteral("这里没有未报价的细目")
                                               : QStringLiteral("只显示未报价的细目：%1 行").arg(lines.rowCount()));
        else if (!m_editor.unpricedOnly())
            m_message->clear();
    });
    // On the contract node the chapter total shown is the current line's chapter's.
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &BoqPricingTools::updateTotals);
    updateHistory();
    updateTotals();
}

bool BoqPricingTools::run(const std::function<void()>& action) {
    return Guarded(&m_tool, action);
}

void BoqPricingTools::updateHistory() {
    UndoActions{m_undo, m_redo}.follow(m_editor.history());
    m_findBar->markStale();
}

void BoqPricingTools::updateTotals() {
    // The label follows signals of the core, where no message box belongs: a store fault is said
    // in the label itself.
    try {
        showTotals();
    } catch (const Error& e) {
        m_totals->setText(WarningHtml(QStringLiteral("合计读不出：") + e.text()));
    }
}

void BoqPricingTools::showTotals() {
    const ContractFigures& totals = m_editor.liveTotals();
    const QString chapter = m_editor.totalsChapter(m_grid->currentIndex().row());
    QString text;
    if (!chapter.isEmpty())
        text += QStringLiteral("本章 %1 合计：<b>%2</b>　　")
                    .arg(BoqChapterLabel(chapter).toHtmlEscaped(), yuan(totals.storedChapterTotal(chapter)));
    text += QStringLiteral("合同清单合计：<b>%1</b>　　保险费：%2")
                .arg(yuan(totals.boqTotalAsRecomputed()), yuan(totals.insurance()));
    const DataSet& lines = m_editor.lines();
    const int itemColumn = lines.columnIndex(BoqColumn::Item);
    for (int row = 0; !chapter.isEmpty() && row < lines.rowCount(); ++row) {
        if (lines.storedValue(row, itemColumn).toString() != chapter)
            continue;
        if (m_editor.isStaleChapterLine(row)) {
            const QVariant stored = lines.storedValue(row, lines.columnIndex(BoqColumn::Amount));
            text +=
                QStringLiteral("　　") +
                WarningHtml(QStringLiteral("章行存的是 %1，已过期：请点“章合计 和 保险费 计算”")
                                .arg(stored.isNull() ? QStringLiteral("空") : yuan(RoundAmount(stored.toDouble()))));
        }
        break;
    }
    m_totals->setText(text);
    m_grid->viewport()->update(); // the chapter line's colour follows the totals
}

void BoqPricingTools::afterStep(bool undone, qint64 line) {
    const PriceHistory& history = m_editor.history();
    m_message->setText(undone ? QStringLiteral("已撤销：") + history.redoLabel()
                              : QStringLiteral("已重做：") + history.undoLabel());
    if (line > 0)
        m_tool.goToLine(line);
}

void BoqPricingTools::undo() {
    // A cell being typed into is dropped first, as Esc would.
    if (m_grid->isEditorOpen()) {
        m_grid->discardEditor();
        run([this] { m_editor.lines().cancel(m_grid->currentIndex().row()); });
        return;
    }
    const int steps = m_editor.history().undoCount();
    qint64 line = 0;
    if (run([&] { line = m_editor.undo(); }) && m_editor.history().undoCount() < steps)
        afterStep(true, line);
}

void BoqPricingTools::redo() {
    m_grid->discardEditor();
    const int steps = m_editor.history().redoCount();
    qint64 line = 0;
    if (run([&] { line = m_editor.redo(); }) && m_editor.history().redoCount() < steps)
        afterStep(false, line);
}

void BoqPricingTools::paste() {
    if (!m_grid->savePending())
        return;
    const QString text = QGuiApplication::clipboard()->text();
    const int first = m_grid->currentIndex().row();
    PasteResult result;
    if (!run([&] { result = m_editor.pastePrices(first, text); }))
        return;
    m_message->setText(PasteResultText(result));
    // The pasted cells are marked, as a spreadsheet marks them; the current line stays.
    const int column = m_grid->gridModel()->columnOfField(BoqColumn::Price);
    if (column >= 0 && first >= 0 && result.lastRow >= first)
        m_grid->selectionModel()->select(QItemSelection(m_grid->gridModel()->index(first, column),
                                                        m_grid->gridModel()->index(result.lastRow, column)),
                                         QItemSelectionModel::ClearAndSelect);
}

void BoqPricingTools::adjust() {
    if (!m_grid->savePending())
        return;
    PriceAdjustmentDialog dialog(m_editor, m_dm, &m_tool);
    if (ExecModal(dialog) == QDialog::Accepted)
        m_message->setText(QStringLiteral("已调价：清单合计 %1（可撤销）").arg(yuan(dialog.adjustment().totalAfter())));
}

void BoqPricingTools::showLine(const BoqFoundLine& line) {
    if (!m_grid->savePending())
        return;
    const bool searching = m_findBar->searchField()->hasFocus();
    const auto [level, text] = m_editor.nodeFor(line);
    bool shown = false;
    if (level == BoqChapterLevel) {
        shown = m_tool.showLine(text, QVariant::fromValue<qlonglong>(line.rowId));
    } else {
        QTreeWidget* tree = m_tool.tree();
        QTreeWidgetItem* contract = tree->topLevelItemCount() > 0 ? tree->topLevelItem(0)->child(0) : nullptr;
        if (contract && tree->currentItem() != contract)
            tree->setCurrentItem(contract); // the tool lists the whole contract
        shown = m_tool.goToLine(line.rowId);
    }
    // Enter in the search field goes on to the next line found.
    if (searching)
        m_findBar->searchField()->setFocus();
    if (shown)
        m_message->clear();
    else
        m_message->setText(QStringLiteral("细目“%1”不在当前列表中").arg(line.item));
}

} // namespace tenvora::ui

// BoqEditorWindow: the bill-of-quantities editor "配置合同清单", hosted in the main window.
#include "boq/BoqEditorWindow.h"

#include "MessageBox.h"
#include "Settings.h"
#include "boq/BoqFindBar.h"
#include "boq/BoqLineRules.h"
#include "boq/PricingCursor.h"
#include "boq/PricingTools.h"
#include "data/DataModule.h"
#include "grid/DataGrid.h"
#include "grid/DataNavigator.h"
#include "pricing/BuildUpPanel.h"
#include "shell/HelpWindow.h"
#include "shell/UiStyle.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tenvora::ui {

namespace {

const QColor kSkyBlue(166, 202, 240);

QList<DataGridColumn> gridColumns() {
    auto shown = [](const QString& field, int width) {
        DataGridColumn c;
        c.field = field;
        c.width = width;
        c.readOnly = true;
        return c;
    };
    auto hidden = [&](const QString& field, int width) {
        DataGridColumn c = shown(field, width);
        c.visible = false;
        return c;
    };
    DataGridColumn price = shown(BoqColumn::Price, 81);
    price.displayFormat = GridFormat::price();
    price.readOnly = false;
    price.color = kSkyBlue;
    price.kind = DataGridColumn::Kind::Number;
    DataGridColumn name = shown(BoqColumn::Name, 219);
    name.stretch = true; // long descriptions get every pixel the figures leave
    DataGridColumn quantity = shown(BoqColumn::Quantity, 66);
    quantity.displayFormat = GridFormat::quantity();
    DataGridColumn amount = shown(BoqColumn::Amount, 82);
    amount.displayFormat = GridFormat::amount();
    return {shown(BoqColumn::Item, 84), name, shown(BoqColumn::Unit, 98), quantity, price, amount,
            hidden(QStringLiteral("变更后单价"), 75), hidden(QStringLiteral("变更数量"), 80),
            hidden(QStringLiteral("变更后数量"), 73), hidden(QStringLiteral("变更后金额"), 81),
            // Shown first while the list holds several chapters (the contract node, the
            // whole-contract unpriced list).
            hidden(BoqColumn::Chapter, 44)};
}

int levelOf(const QTreeWidgetItem* item) {
    int level = 0;
    for (const QTreeWidgetItem* p = item->parent(); p; p = p->parent())
        ++level;
    return level;
}

void addNodes(QTreeWidgetItem* parent, QTreeWidget* tree, const std::vector<BoqTreeNode>& nodes) {
    for (const BoqTreeNode& n : nodes) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
        item->setText(0, n.text);
        item->setToolTip(0, n.text);
        addNodes(item, tree, n.children);
    }
}

} // namespace

BoqEditorWindow::BoqEditorWindow(DataModule& dm, QWidget* parent) : HostedTool(parent), m_dm(dm), m_editor(dm) {
    setWindowTitle(caption());
    m_images[0] = QIcon(QStringLiteral(":/boq/images/book-closed.svg"));
    m_images[1] = QIcon(QStringLiteral(":/boq/images/book-open.svg"));
    m_images[2] = QIcon(QStringLiteral(":/boq/images/list-page.svg"));
    m_images[3] = QIcon(QStringLiteral(":/boq/images/list-page-tick.svg"));
    buildLayout();

    m_grid->setDataSet(&m_editor.lines());
    m_grid->setColumns(gridColumns());
    m_grid->setFitColumns(true);
    m_grid->setSettingsKey(QStringLiteral("boq"));
    m_grid->horizontalHeader()->moveSection(m_grid->gridModel()->columnOfField(BoqColumn::Chapter), 0);
    m_grid->setRowStyle([this](int row) -> std::optional<DataGridRowStyle> {
        if (!IsDrawnLocked(m_editor.lines(), row))
            return std::nullopt;
        return DataGridRowStyle{DataGrid::background(), Qt::red, true};
    });
    m_navigator->setGrid(m_grid);
    m_pricing = new BoqPricingTools(*this, m_editor, dm, m_gridColumn);
    m_buildUp = new BuildUpPanel(*this, m_editor, dm, m_gridSplitter);
    m_gridSplitter->addWidget(m_buildUp);
    m_gridSplitter->setStretchFactor(0, 3);
    m_gridSplitter->setStretchFactor(1, 1);
    m_gridSplitter->setSizes({460, 190});
    KeepSplitterSizes(m_gridSplitter, QStringLiteral("boq-buildup"));
    // Pricing down the column: Enter saves the price and goes on to the next line that takes one.
    m_grid->setEnterMove(
        [this](int row, int column) { return column == priceColumn() ? NextPriceableRow(m_editor.lines(), row) : -1; });
    connect(m_grid, &DataGrid::typingRefused, this, [this](int row) { typingRefused(row); });
    connect(m_grid, &DataGrid::inputRefused, this, &HostedTool::statusHint);

    connect(m_tree, &QTreeWidget::currentItemChanged, this, &BoqEditorWindow::showNode);
    connect(m_tree, &QTreeWidget::itemExpanded, this, &BoqEditorWindow::updateTreeImages);
    connect(m_tree, &QTreeWidget::itemCollapsed, this, &BoqEditorWindow::updateTreeImages);
    connect(m_tree, &QTreeWidget::itemExpanded, this, &BoqEditorWindow::fitTreeColumn);
    connect(m_tree, &QTreeWidget::itemCollapsed, this, &BoqEditorWindow::fitTreeColumn);
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &BoqEditorWindow::updateTreeImages);
    connect(m_tree, &QTreeWidget::itemEntered, this, &BoqEditorWindow::hotTrack);
    connect(m_tree, &QTreeWidget::viewportEntered, this, [this] { hotTrack(nullptr); });
    connect(m_panel5, &QPushButton::clicked, this, &BoqEditorWindow::recomputeChapter);
    connect(m_exit, &QPushButton::clicked, this, &BoqEditorWindow::exitEditor);
    connect(m_nextUnpriced, &QPushButton::clicked, this, &BoqEditorWindow::gotoNextUnpriced);
    // The repeated commands have keys while the editor has the focus.
    auto addKey = [this](const QKeySequence& key, auto slot) {
        auto* action = new QAction(m_panel);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this, slot);
        m_panel->addAction(action);
    };
    addKey(QKeySequence(Qt::Key_F9), &BoqEditorWindow::recomputeChapter);
    addKey(QKeySequence(Qt::Key_F8), &BoqEditorWindow::gotoNextUnpriced);
    connect(m_excel, &QAction::triggered, this, &BoqEditorWindow::importWorkbook);
    connect(m_export, &QAction::triggered, this, &BoqEditorWindow::exportWorkbookFromEditor);
    connect(m_revise, &QAction::triggered, this, &BoqEditorWindow::importRevisionFromEditor);
    for (QWidget* source : {static_cast<QWidget*>(m_tree), static_cast<QWidget*>(m_grid)}) {
        source->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(source, &QWidget::customContextMenuRequested, this,
                [this, source](const QPoint& pos) { showPopup(source, pos); });
    }

    runAction([this] { initialise(); });
    m_buildUp->refresh();
}

void BoqEditorWindow::buildLayout() {
    m_panel = new QWidget(this);
    m_panel->setObjectName(QStringLiteral("htqdPanel"));
    SetHelpPage(m_panel, QStringLiteral("boq-editor.html"));
    m_panel->resize(1024, 702);
    auto* outer = new QVBoxLayout(m_panel);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    m_splitter = new QSplitter(Qt::Horizontal, m_panel);
    m_tree = new QTreeWidget(m_splitter);
    m_tree->setObjectName(QStringLiteral("XMTree"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tree->setAllColumnsShowFocus(true);
    m_tree->setMouseTracking(true);
    m_tree->setIconSize(QSize(16, 16));
    m_tree->setFont(SongFont(12));
    m_tree->setMinimumWidth(120);
    // Long contract names scroll instead of being cut short; the one column is kept at least as
    // wide as the tree so that the selection marks the whole row.
    m_tree->setTextElideMode(Qt::ElideNone);
    m_tree->header()->setStretchLastSection(false);
    m_tree->viewport()->installEventFilter(this);
    SetPaleYellow(m_tree);
    {
        // The selected node stays marked when the grid has the focus.
        QPalette p = m_tree->palette();
        for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
            p.setColor(QPalette::Inactive, role, p.color(QPalette::Active, role));
        m_tree->setPalette(p);
    }

    m_pages = new QTabWidget(m_splitter);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    auto* page = new QWidget(m_pages);
    auto* pageLayout = new QHBoxLayout(page);
    pageLayout->setContentsMargins(2, 2, 2, 2);
    pageLayout->setSpacing(2);
    // The grid over the current line's build-up.
    m_gridSplitter = new QSplitter(Qt::Vertical, page);
    m_gridSplitter->setObjectName(QStringLiteral("GridSplitter"));
    m_gridSplitter->setChildrenCollapsible(false);
    m_grid = new DataGrid(m_gridSplitter);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setMinimumWidth(300);
    m_grid->resize(697, m_grid->height());
    m_gridSplitter->addWidget(m_grid);
    m_gridColumn = new QVBoxLayout;
    m_gridColumn->setSpacing(2);
    m_gridColumn->addWidget(m_gridSplitter, 1);
    pageLayout->addLayout(m_gridColumn, 1);

    auto* memoPanel = new QWidget(page);
    memoPanel->setFixedWidth(130);
    auto* memoLayout = new QVBoxLayout(memoPanel);
    memoLayout->setContentsMargins(0, 0, 0, 0);
    m_memo = new QPlainTextEdit(memoPanel);
    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setReadOnly(true);
    m_memo->setFrameShape(QFrame::NoFrame);
    m_memo->setFont(SongFont(12));
    m_memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_memo->setFocusPolicy(Qt::NoFocus);
    {
        QPalette p = m_memo->palette();
        p.setColor(QPalette::Text, QColor(0, 128, 0));
        m_memo->setPalette(p);
    }
    memoLayout->addWidget(m_memo);
    pageLayout->addWidget(memoPanel);
    m_pages->addTab(page, QStringLiteral("原合同清单"));

    m_panel5 = new QPushButton(QStringLiteral("章合计 和 保险费 计算"), m_pages);
    m_panel5->setObjectName(QStringLiteral("Panel5"));
    m_panel5->setFont(SongFont(13));
    m_panel5->setCursor(Qt::PointingHandCursor);
    m_panel5->setFocusPolicy(Qt::NoFocus);
    m_panel5->setToolTip(QStringLiteral("章合计 和 保险费 计算（F9）"));
    {
        QPalette p = m_panel5->palette();
        p.setColor(QPalette::ButtonText, Qt::black);
        m_panel5->setPalette(p);
    }
    m_pages->setCornerWidget(m_panel5, Qt::TopRightCorner);

    m_splitter->addWidget(m_tree);
    m_splitter->addWidget(m_pages);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({185, 839});
    KeepSplitterSizes(m_splitter, QStringLiteral("boq"));
    outer->addWidget(m_splitter, 1);

    auto* bar = new QWidget(m_panel);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(6, 4, 6, 4);
    m_navigator = new DataNavigator(bar);
    m_navigator->setObjectName(QStringLiteral("DBNavigator1"));
    barLayout->addWidget(m_navigator);
    barLayout->addSpacing(12);
    m_nextUnpriced = new QPushButton(QStringLiteral("下一未填单价(&N)"), bar);
    m_nextUnpriced->setObjectName(QStringLiteral("nextUnpriced"));
    m_nextUnpriced->setFont(SongFont(12));
    m_nextUnpriced->setToolTip(QStringLiteral("转到下一条可录入而未填单价的细目（F8）"));
    m_nextUnpriced->setFocusPolicy(Qt::NoFocus);
    barLayout->addWidget(m_nextUnpriced);
    barLayout->addStretch(1);
    m_exit = new QPushButton(QIcon(QStringLiteral(":/boq/images/exit.svg")), QStringLiteral("退出(&X)"), bar);
    m_exit->setObjectName(QStringLiteral("BitBtn1"));
    m_exit->setFont(SongFont(12));
    barLayout->addWidget(m_exit);
    outer->addWidget(bar);

    m_popup = new QMenu(this);
    m_popup->setObjectName(QStringLiteral("PopupMenu1"));
    m_excel = m_popup->addAction(QStringLiteral("导入Excel文件(&I)"));
    m_excel->setObjectName(QStringLiteral("Excel1"));
    m_export = m_popup->addAction(QStringLiteral("导出Excel文件(&E)"));
    m_export->setObjectName(QStringLiteral("Excel2"));
    m_revise = m_popup->addAction(QStringLiteral("导入修订清单(&R)"));
    m_revise->setObjectName(QStringLiteral("Excel3"));
    for (QAction* a : {m_excel, m_export, m_revise})
        a->setVisible(false);

    // Insert is answered by the save hooks' "不允许增加"; nothing is ever appended.
    m_grid->setRowOperations(DataGrid::InsertRows);
}

QStringList BoqEditorWindow::helpLines() {
    const QString blank = QStringLiteral("  ");
    return {QStringLiteral("提示"),
            QStringLiteral("(1)保险费的计算：101-1-A=[100章至700章的合计(不包括101-1部分的保险)]  X  费率(0.003)"),
            blank,
            QStringLiteral("(2)只有蓝色的允许录入"),
            blank,
            QStringLiteral("(3) [合同数量]由业主提供，系统已经固定，不允许修,改保留2位, "),
            QStringLiteral("[合同单价] 保留2位，[合同金额]取整。"),
            blank,
            QStringLiteral("(4) 清单细目是有业主提供，系统已经固定，不允许修改每一条记录"),
            blank,
            QStringLiteral("(5) 只能修改\"合同单价\"即蓝色部分，修改后回车即可。\"合同金额\"自动计算并取整")};
}

template <typename F> void BoqEditorWindow::runAction(F&& action) {
    Guarded(this, std::forward<F>(action));
}

void BoqEditorWindow::initialise() {
    // A price typed before the re-initialisation is saved, or its failure shown, not dropped unseen.
    saveTypedPrice();
    m_pages->setCurrentIndex(0);
    m_grid->discardEditor();
    m_memo->clear();
    for (const QString& line : helpLines())
        m_memo->appendPlainText(line);
    m_memo->moveCursor(QTextCursor::Start);
    buildTree();
    if (m_buildUp)
        m_buildUp->refresh(); // an import brings other lines
}

void BoqEditorWindow::buildTree() {
    m_hot = nullptr;
    {
        const QSignalBlocker quiet(m_tree); // clearing the tree is no selection by the user
        m_tree->clear();
    }
    const std::vector<BoqTreeNode>& nodes = m_editor.initialise();
    {
        const QSignalBlocker quiet(m_tree);
        addNodes(nullptr, m_tree, nodes);
        m_tree->expandAll();
        m_tree->setCurrentItem(nullptr);
        m_tree->clearSelection();
    }
    followListing();
    fitTreeColumn();
}

void BoqEditorWindow::fitTreeColumn() {
    m_tree->resizeColumnToContents(0);
    if (m_tree->columnWidth(0) < m_tree->viewport()->width())
        m_tree->setColumnWidth(0, m_tree->viewport()->width());
}

bool BoqEditorWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_tree->viewport() && event->type() == QEvent::Resize)
        fitTreeColumn();
    return HostedTool::eventFilter(watched, event);
}

bool BoqEditorWindow::showLine(const QString& chapter, const QVariant& rowId) {
    QTreeWidgetItem* node = nullptr;
    for (QTreeWidgetItemIterator it(m_tree); *it && !node; ++it)
        if (levelOf(*it) == BoqChapterLevel && (*it)->text(0).compare(chapter, Qt::CaseInsensitive) == 0)
            node = *it;
    if (!node)
        return false;
    m_tree->setCurrentItem(node);
    const DataSet& lines = m_editor.lines();
    for (int row = 0; row < lines.rowCount(); ++row) {
        if (SameStoredValue(lines.value(row, lines.keyIndex()), rowId)) {
            m_grid->setCurrentIndex(
                m_grid->gridModel()->index(row, m_grid->gridModel()->columnOfField(BoqColumn::Price)));
            m_grid->setFocus();
            return true;
        }
    }
    return false;
}

void BoqEditorWindow::refreshFromFile() {
    DataSet& lines = m_editor.lines();
    const QModelIndex at = m_grid->currentIndex();
    const QVariant rowId = at.isValid() ? lines.keyOf(at.row()) : QVariant();
    runAction([&] {
        m_editor.reread();
        const int row = rowId.isValid() ? lines.rowOfKey(rowId) : -1;
        if (row >= 0)
            m_grid->setCurrentIndex(m_grid->gridModel()->index(row, at.column()));
    });
}

bool BoqEditorWindow::goToLine(qint64 rowId) {
    const int row = m_editor.lines().rowOfKey(QVariant::fromValue<qlonglong>(rowId));
    return row >= 0 && m_grid->setCurrentRow(row);
}

bool BoqEditorWindow::saveTypedPrice() {
    return m_grid->savePending();
}

void BoqEditorWindow::showNode(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    if (!current)
        return;
    if (!saveTypedPrice()) {
        // The typed price could not be saved: the list it belongs to stays on display.
        {
            const QSignalBlocker quiet(m_tree);
            m_tree->setCurrentItem(previous);
        }
        updateTreeImages();
        return;
    }
    runAction([&] { m_editor.selectNode(levelOf(current), current->text(0)); });
    followListing();
}

void BoqEditorWindow::followListing() {
    {
        const QSignalBlocker quiet(m_tree); // following the list is no selection by the user
        QTreeWidgetItem* node = nullptr;
        const int level = m_editor.selectedLevel();
        for (QTreeWidgetItemIterator it(m_tree); *it && !node && level >= 0; ++it)
            if (levelOf(*it) == level && (level == BoqContractLevel || (*it)->text(0) == m_editor.chapterText()))
                node = *it;
        if (node)
            m_tree->setCurrentItem(node);
        else
            m_tree->clearSelection();
    }
    updateTreeImages();
    m_grid->setColumnHidden(m_grid->gridModel()->columnOfField(BoqColumn::Chapter), !m_editor.listsSeveralChapters());
    if (m_pricing) {
        QCheckBox* box = m_pricing->findBar()->contractUnpricedBox();
        const QSignalBlocker quiet(box);
        box->setChecked(m_editor.contractUnpriced());
    }
}

void BoqEditorWindow::updateTreeImages() {
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        QTreeWidgetItem* item = *it;
        item->setIcon(0, m_images[BoqTreeImage(item->childCount() > 0, item->isExpanded(), item->isSelected())]);
    }
}

void BoqEditorWindow::hotTrack(QTreeWidgetItem* item) {
    if (item == m_hot)
        return;
    for (QTreeWidgetItem* i : {m_hot, item}) {
        if (!i)
            continue;
        QFont f = i->font(0);
        f.setUnderline(i == item);
        i->setFont(0, f);
        i->setForeground(0, i == item ? QBrush(QColor(0, 0, 255)) : QBrush());
    }
    m_hot = item;
}

void BoqEditorWindow::recomputeChapter() {
    if (m_editor.selectedLevel() != BoqChapterLevel)
        return;
    if (!saveTypedPrice())
        return;
    // The chapter is read again; its second line is shown, the first line after the chapter line.
    runAction([this] {
        if (m_editor.recompute())
            m_grid->setCurrentRow(1);
    });
}

void BoqEditorWindow::exitEditor() {
    emit closeRequested(); // the host closes the editor and releases its toolbar button
}

QString BoqEditorWindow::lockedLineHint() {
    return QStringLiteral("该行单价已锁定，不能修改");
}

QString BoqEditorWindow::priceColumnOnlyHint() {
    return QStringLiteral("只能修改“合同单价”（蓝色部分）");
}

QString BoqEditorWindow::allPricedHint() {
    return QStringLiteral("本清单中可录入的细目都已填写单价");
}

int BoqEditorWindow::priceColumn() const {
    return m_grid->gridModel()->columnOfField(BoqColumn::Price);
}

void BoqEditorWindow::typingRefused(int row) {
    emit statusHint(IsPriceLocked(m_editor.lines(), row) ? lockedLineHint() : priceColumnOnlyHint());
}

void BoqEditorWindow::gotoNextUnpriced() {
    const DataSet& lines = m_editor.lines();
    if (!lines.isOpen() || lines.isEmpty() || !saveTypedPrice())
        return;
    const int row = NextUnpricedRow(lines, m_grid->currentIndex().row());
    if (row < 0) {
        emit statusHint(allPricedHint());
        return;
    }
    // Through the grid, so leaving the line runs the grid's own save rule.
    m_grid->setCurrentIndex(m_grid->gridModel()->index(row, priceColumn()));
    m_grid->setFocus();
}

bool BoqEditorWindow::savePendingEdit() {
    return saveTypedPrice();
}

void BoqEditorWindow::setImportAvailable(bool available) {
    m_importAvailable = available;
    for (QAction* a : {m_excel, m_export, m_revise})
        a->setVisible(available);
}

void BoqEditorWindow::showPopup(QWidget* source, const QPoint& pos) {
    const QList<QAction*> actions = m_popup->actions();
    if (std::none_of(actions.begin(), actions.end(), [](QAction* a) { return a->isVisible() && !a->isSeparator(); }))
        return;
    QWidget* area = source == m_tree ? m_tree->viewport() : m_grid->viewport();
    m_popup->popup(area->mapToGlobal(pos));
}

void BoqEditorWindow::importWorkbook() {
    if (!m_importAvailable || !saveTypedPrice())
        return;
    emit importRequested();
    runAction([this] { initialise(); });
}

void BoqEditorWindow::exportWorkbookFromEditor() {
    if (!m_importAvailable || !saveTypedPrice())
        return;
    emit exportRequested();
}

void BoqEditorWindow::importRevisionFromEditor() {
    if (!m_importAvailable || !saveTypedPrice())
        return;
    emit revisionRequested();
    runAction([this] { initialise(); });
}

} // namespace tenvora::ui

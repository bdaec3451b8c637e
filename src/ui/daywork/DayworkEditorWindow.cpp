// DayworkEditorWindow: labour, material and machinery unit prices of the current contract.
#include "daywork/DayworkEditorWindow.h"

#include "MessageBox.h"
#include "data/DataModule.h"
#include "data/Errors.h"
#include "data/Money.h"
#include "grid/DataGrid.h"
#include "shell/HelpWindow.h"
#include "shell/UiStyle.h"
#include "shell/UndoActions.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace tenvora::ui {

namespace {

const QColor kSkyBlue(166, 202, 240);

QString yuan(qint64 amount) {
    return FormatNumber(static_cast<double>(amount), QStringLiteral("#,##0"));
}

QList<DataGridColumn> columnsFor(Schedule s) {
    using Kind = DataGridColumn::Kind;
    const bool machinery = s == Schedule::Machinery;
    QList<DataGridColumn> columns = {
        {QStringLiteral("ContractID"), QStringLiteral("合同编号"), 80, {}, {}, true, true, Kind::Text},
        {QStringLiteral("ItemCode"), QStringLiteral("细目编号"), 76, {}, {}, true, true, Kind::Text},
        {QStringLiteral("ItemName"), QStringLiteral("细目名称"), 132, {}, {}, true, true, Kind::Text, true},
        // On every page: a labour rate is per hour ("h"), and a day rate typed for it is eight times too high.
        {QStringLiteral("Unit"), QStringLiteral("单位"), 42, {}, {}, true, true, Kind::Text},
        {QStringLiteral("Amount"),
         QStringLiteral("估计数量"),
         95,
         {},
         GridFormat::quantity(),
         true,
         true,
         Kind::Number},
        {QStringLiteral("UnitPrice"), machinery ? QStringLiteral("租价(元/小时)") : QStringLiteral("单价"),
         machinery ? 109 : 60, kSkyBlue, GridFormat::price(), false, true, Kind::Number},
        {QStringLiteral("TotalMoney"),
         s == Schedule::Material ? QStringLiteral("合价") : QStringLiteral("合价（元）"),
         89,
         {},
         GridFormat::amount(),
         s != Schedule::Labour,
         true,
         Kind::Number},
    };
    return columns;
}

} // namespace

DayworkEditorWindow::DayworkEditorWindow(DataModule& dm, QWidget* parent) : HostedTool(parent), m_dm(dm), m_lists(dm) {
    setWindowTitle(caption());
    m_panelAll = new QWidget(this);
    m_panelAll->setObjectName(QStringLiteral("PanelAll"));
    SetHelpPage(m_panelAll, QStringLiteral("daywork.html"));

    m_pages = new QTabWidget(m_panelAll);
    for (Schedule s : {Schedule::Labour, Schedule::Material, Schedule::Machinery})
        m_pages->addTab(makeGrid(s), ScheduleCaption(s));

    m_save = new QPushButton(QStringLiteral("保存(&S)"), m_panelAll);
    m_close = new QPushButton(QStringLiteral("关闭(&C)"), m_panelAll);
    m_save->setAutoDefault(false);
    m_close->setAutoDefault(false);
    connect(m_save, &QPushButton::clicked, this, &DayworkEditorWindow::saveCurrentPage);
    connect(m_close, &QPushButton::clicked, this, &DayworkEditorWindow::closeEditor);

    const UndoActions history = UndoActions::create(m_panelAll);
    m_undo = history.undo;
    m_redo = history.redo;
    connect(m_undo, &QAction::triggered, this, &DayworkEditorWindow::undo);
    connect(m_redo, &QAction::triggered, this, &DayworkEditorWindow::redo);
    connect(&m_lists, &DayworkLists::historyChanged, this, [this] {
        UndoActions{m_undo, m_redo}.follow(m_lists.history());
    });
    connect(&m_lists, &DayworkLists::totalsChanged, this, &DayworkEditorWindow::updateTotals);
    connect(m_pages, &QTabWidget::currentChanged, this, &DayworkEditorWindow::updateTotals);

    m_totals = new QLabel(m_panelAll);
    m_totals->setObjectName(QStringLiteral("LiveTotals"));
    m_totals->setTextFormat(Qt::RichText);
    m_totals->setToolTip(QStringLiteral("按现在存的合价计算：本表合计为本表各行合价之和取整，"
                                        "计日工合计为三个表的合计之和（与计日工汇总表相同）"));
    m_message = new QLabel(m_panelAll);
    m_message->setObjectName(QStringLiteral("DayworkMessage"));
    m_message->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QLabel* l : {m_totals, m_message})
        l->setFont(SongFont(12));
    // A long message takes its room only while there is room, never widening the window.
    m_message->setMinimumWidth(1);

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_totals, 1);
    bar->addWidget(m_message);
    bar->addSpacing(12);
    for (QAction* a : {m_undo, m_redo}) {
        QToolButton* button = ToolButtonFor(a, m_panelAll);
        button->setFont(SongFont(12));
        bar->addWidget(button);
    }
    bar->addSpacing(24);
    bar->addWidget(m_save);
    bar->addSpacing(24);
    bar->addWidget(m_close);
    bar->addSpacing(24);
    auto* layout = new QVBoxLayout(m_panelAll);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_pages, 1);
    layout->addLayout(bar);

    // On a failure the schedules read before it stay on show.
    Guarded(this, [this] { m_lists.openAll(); });
    m_pages->setCurrentIndex(0);
    UndoActions{m_undo, m_redo}.follow(m_lists.history());
    updateTotals();
}

Schedule DayworkEditorWindow::currentSchedule() const {
    return static_cast<Schedule>(std::clamp(m_pages->currentIndex(), 0, 2) + 1);
}

void DayworkEditorWindow::updateTotals() {
    DayworkTotals totals;
    // The label follows signals of the core, where no message box belongs: a store fault is
    // said in the label itself.
    try {
        totals = m_lists.liveTotals().dayworkTotals();
    } catch (const Error& e) {
        m_totals->setText(WarningHtml(QStringLiteral("合计读不出：") + e.text()));
        return;
    }
    const Schedule s = currentSchedule();
    m_totals->setText(QStringLiteral("%1合计：<b>%2</b>　　计日工合计：<b>%3</b>")
                          .arg(ScheduleCaption(s), yuan(totals.whole[static_cast<size_t>(s) - 1]), yuan(totals.total)));
}

void DayworkEditorWindow::afterStep(bool undone, const std::optional<DayworkLists::Place>& place) {
    const PriceHistory& history = m_lists.history();
    m_message->setText(undone ? QStringLiteral("已撤销：") + history.redoLabel()
                              : QStringLiteral("已重做：") + history.undoLabel());
    if (place)
        showItem(place->schedule, QVariant::fromValue<qlonglong>(place->rowId));
}

void DayworkEditorWindow::undo() {
    DataGrid* g = grid(currentSchedule());
    if (g->isEditorOpen()) {
        g->discardEditor();
        const int row = g->currentIndex().row();
        if (row >= 0)
            Guarded(this, [&] { m_lists.schedule(currentSchedule()).cancel(row); });
        return;
    }
    const int steps = m_lists.history().undoCount();
    std::optional<DayworkLists::Place> place;
    if (Guarded(this, [&] { place = m_lists.undo(); }) && m_lists.history().undoCount() < steps)
        afterStep(true, place);
}

void DayworkEditorWindow::redo() {
    grid(currentSchedule())->discardEditor();
    const int steps = m_lists.history().redoCount();
    std::optional<DayworkLists::Place> place;
    if (Guarded(this, [&] { place = m_lists.redo(); }) && m_lists.history().redoCount() < steps)
        afterStep(false, place);
}

DataGrid* DayworkEditorWindow::makeGrid(Schedule s) {
    auto* grid = new DataGrid(m_panelAll);
    grid->setObjectName(QStringLiteral("DBGrid%1").arg(static_cast<int>(s)));
    grid->setFont(SongFont(13));
    grid->setDataSet(&m_lists.schedule(s));
    grid->setColumns(columnsFor(s));
    grid->setFitColumns(true);
    grid->setSettingsKey(QStringLiteral("daywork-%1").arg(static_cast<int>(s)));
    // The owner's rows come with the file, but the usual row operations stay available.
    grid->setRowOperations(DataGrid::InsertRows | DataGrid::DeleteRows);
    // Pricing down a column: Enter saves and goes to the next item; the last one stays put.
    grid->setEnterMove([grid](int row, int column) {
        const DataGridModel* model = grid->gridModel();
        return model->column(column).readOnly || row + 1 >= model->rowCount() ? -1 : row + 1;
    });
    // A total that its price and quantity do not give is marked, with the reason as its tooltip.
    const int total = grid->gridModel()->columnOfField(QStringLiteral("TotalMoney"));
    grid->setCellColour([this, s, total](int row, int column) {
        return column == total && !m_lists.totalProblem(s, row).isEmpty() ? MarkedFigure() : QColor();
    });
    grid->setCellNote(
        [this, s, total](int row, int column) { return column == total ? m_lists.totalProblem(s, row) : QString(); });
    connect(grid, &DataGrid::inputRefused, this, &HostedTool::statusHint);
    m_grids[static_cast<size_t>(s) - 1] = grid;
    return grid;
}

bool DayworkEditorWindow::showItem(Schedule s, const QVariant& rowId) {
    DataGrid* g = grid(s);
    m_pages->setCurrentWidget(g);
    const DataSet& set = m_lists.schedule(s);
    for (int row = 0; row < set.rowCount(); ++row) {
        if (SameStoredValue(set.value(row, set.keyIndex()), rowId)) {
            g->setCurrentIndex(g->gridModel()->index(row, g->gridModel()->columnOfField(QStringLiteral("UnitPrice"))));
            g->setFocus();
            return true;
        }
    }
    return false;
}

void DayworkEditorWindow::saveCurrentPage() {
    if (auto* grid = qobject_cast<DataGrid*>(m_pages->currentWidget()))
        grid->savePending();
}

void DayworkEditorWindow::closeEditor() {
    emit closeRequested(); // the host closes the editor and releases its toolbar button
}

bool DayworkEditorWindow::savePendingEdit() {
    // Every page is tried, so one failing row does not keep the others from being saved.
    bool saved = true;
    for (DataGrid* grid : m_grids)
        saved = grid->savePending() && saved;
    return saved;
}

} // namespace tenvora::ui

// DayworkEditorWindow: labour, material and machinery unit prices of the current contract.
#include "daywork/DayworkEditorWindow.h"

#include "MessageBox.h"
#include "data/DataModule.h"
#include "grid/DataGrid.h"
#include "shell/HelpWindow.h"
#include "shell/UiStyle.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tenvora::ui {

namespace {

const QColor kSkyBlue(166, 202, 240);

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

    auto* bar = new QHBoxLayout;
    bar->addStretch();
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

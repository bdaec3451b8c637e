#include "owner/OwnerDayworkPanel.h"

#include "MessageBox.h"
#include "Modal.h"
#include "data/DataModule.h"
#include "grid/DataGrid.h"
#include "owner/OwnerDayworkImport.h"
#include "owner/OwnerEntryDialog.h"
#include "shell/HelpWindow.h"
#include "shell/UiStyle.h"

#include <QAction>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace tenvora::ui {

namespace {

// White where the owner types, on the grid's pale yellow.
const QColor kEditable(Qt::white);
constexpr Schedule kSchedules[] = {Schedule::Labour, Schedule::Material, Schedule::Machinery};

QList<DataGridColumn> dayworkColumns() {
    using Kind = DataGridColumn::Kind;
    return {
        {QStringLiteral("ItemCode"), QStringLiteral("编号"), 80, {}, {}, true, true, Kind::Text},
        {QStringLiteral("ItemName"), QStringLiteral("名称"), 240, kEditable, {}, false, true, Kind::Text, true},
        {QStringLiteral("Unit"), QStringLiteral("单位"), 70, kEditable, {}, false, true, Kind::Text},
        {QStringLiteral("Amount"), QStringLiteral("估计数量"), 100, kEditable, GridFormat::quantity(), false, true,
         Kind::Number},
    };
}

} // namespace

OwnerDayworkPanel::OwnerDayworkPanel(DataModule& dm, QWidget* parent) : QWidget(parent), m_dm(dm), m_editor(dm) {
    SetHelpPage(this, QStringLiteral("owner-daywork.html"));
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageDaywork"));
    for (Schedule s : kSchedules) {
        auto* grid = new DataGrid(m_pages);
        grid->setObjectName(QStringLiteral("DBGridDaywork%1").arg(ScheduleCode(s)));
        grid->setDataSet(&m_editor.schedule(s));
        grid->setColumns(dayworkColumns());
        grid->setRowOperations(DataGrid::NoRowOperations);
        grid->setFitColumns(true);
        grid->setSettingsKey(QStringLiteral("owner-daywork-%1").arg(ScheduleCode(s)));
        m_grids[static_cast<size_t>(s) - 1] = grid;
        m_pages->addTab(grid, ScheduleCaption(s));
        connect(&m_editor.schedule(s), &DataSet::reset, this, &OwnerDayworkPanel::updateButtons);
    }
    connect(m_pages, &QTabWidget::currentChanged, this, &OwnerDayworkPanel::updateButtons);

    m_add = CommandButton(QStringLiteral("增加细目(&A)..."), QStringLiteral("BitBtnAddItem"), this);
    m_delete = CommandButton(QStringLiteral("删除细目(&D)"), QStringLiteral("BitBtnDeleteItem"), this);
    m_import = CommandButton(QStringLiteral("导入Excel(&I)..."), QStringLiteral("BitBtnImportDaywork"), this);
    m_undo = CommandButton(QStringLiteral("撤销(&U)"), QStringLiteral("BitBtnUndoDaywork"), this);
    m_redo = CommandButton(QStringLiteral("重做(&Y)"), QStringLiteral("BitBtnRedoDaywork"), this);
    connect(m_add, &QPushButton::clicked, this, &OwnerDayworkPanel::addItem);
    connect(m_delete, &QPushButton::clicked, this, &OwnerDayworkPanel::deleteItem);
    connect(m_import, &QPushButton::clicked, this, &OwnerDayworkPanel::importWorkbook);
    connect(m_undo, &QPushButton::clicked, this, &OwnerDayworkPanel::undo);
    connect(m_redo, &QPushButton::clicked, this, &OwnerDayworkPanel::redo);
    AddPanelShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { undo(); });
    AddPanelShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_Y), [this] { redo(); });
    AddPanelShortcut(this, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [this] { redo(); });
    AddPanelShortcut(this, QKeySequence(Qt::Key_Insert), [this] { addItem(); });
    AddPanelShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_Delete), [this] { deleteItem(); });

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_add, m_delete, m_import, m_undo, m_redo})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(buttons);
    layout->addWidget(m_pages, 1);
    connect(&m_editor, &OwnerDayworkEditor::historyChanged, this, &OwnerDayworkPanel::updateButtons);
    updateButtons();
}

Schedule OwnerDayworkPanel::currentSchedule() const {
    return kSchedules[std::max(0, m_pages->currentIndex())];
}

void OwnerDayworkPanel::setContract(const QString& contractId) {
    if (!savePending())
        return;
    Guarded(this, [&] { m_editor.open(contractId); });
    updateButtons();
}

bool OwnerDayworkPanel::savePending() {
    for (DataGrid* grid : m_grids)
        if (!grid->savePending())
            return false;
    return true;
}

void OwnerDayworkPanel::showRow(Schedule s, int row) {
    const int rows = m_editor.schedule(s).rowCount();
    m_pages->setCurrentIndex(static_cast<int>(s) - 1);
    if (rows == 0)
        return;
    grid(s)->setCurrentRow(std::clamp(row, 0, rows - 1));
    grid(s)->setFocus();
}

bool OwnerDayworkPanel::goToItem(Schedule s, const QString& code) {
    DataSet& set = m_editor.schedule(s);
    const int column = set.columnIndex(QStringLiteral("ItemCode"));
    for (int r = 0; r < set.rowCount(); ++r)
        if (set.storedValue(r, column).toString() == code) {
            m_pages->setCurrentIndex(static_cast<int>(s) - 1);
            const bool moved = grid(s)->setCurrentRow(r);
            grid(s)->setFocus();
            return moved;
        }
    return false;
}

void OwnerDayworkPanel::updateButtons() {
    const bool open = !m_editor.contractId().isEmpty();
    m_add->setEnabled(open);
    m_import->setEnabled(open);
    m_delete->setEnabled(open && !m_editor.schedule(currentSchedule()).isEmpty());
    RowHistory& h = m_editor.history();
    m_undo->setEnabled(h.canUndo());
    m_redo->setEnabled(h.canRedo());
    m_undo->setToolTip(h.canUndo() ? QStringLiteral("撤销：%1（Ctrl+Z）").arg(h.undoLabel()) : QString());
    m_redo->setToolTip(h.canRedo() ? QStringLiteral("重做：%1（Ctrl+Y）").arg(h.redoLabel()) : QString());
    for (Schedule s : kSchedules)
        m_pages->setTabText(static_cast<int>(s) - 1,
                            QStringLiteral("%1（%2）").arg(ScheduleCaption(s)).arg(m_editor.schedule(s).rowCount()));
}

void OwnerDayworkPanel::addItem() {
    if (m_editor.contractId().isEmpty() || !savePending())
        return;
    const Schedule s = currentSchedule();
    int added = -1;
    OwnerEntryDialog dialog(
        QStringLiteral("增加计日工细目（%1）").arg(ScheduleCaption(s)),
        {TextEntry(QStringLiteral("编号"), QStringLiteral("EditCode")),
         TextEntry(QStringLiteral("名称"), QStringLiteral("EditName")),
         TextEntry(QStringLiteral("单位"), QStringLiteral("EditUnit")),
         NumberEntry(QStringLiteral("估计数量"), QStringLiteral("EditQuantity"))},
        [this, s, &added](OwnerEntryDialog& d) {
            added = m_editor.addItem(s, NewDayworkItem{d.text(0), d.text(1), d.text(2), d.number(3)});
        },
        this);
    SetHelpPage(&dialog, QStringLiteral("owner-daywork.html"));
    if (ExecModal(dialog) == QDialog::Accepted) {
        showRow(s, added);
        emit itemsChanged();
    }
    updateButtons();
}

void OwnerDayworkPanel::deleteItem() {
    const Schedule s = currentSchedule();
    DataSet& set = m_editor.schedule(s);
    const int row = grid(s)->currentIndex().row();
    if (m_editor.contractId().isEmpty() || row < 0 || !savePending())
        return;
    const QString code = set.value(row, QStringLiteral("ItemCode")).toString();
    const QString name = set.value(row, QStringLiteral("ItemName")).toString();
    if (!MessageBox::question(this, QStringLiteral("删除计日工细目“%1 %2”吗？（可以撤销）").arg(code, name), QString(),
                              false))
        return;
    if (Guarded(this, [&] { m_editor.deleteItem(s, row); })) {
        showRow(s, row);
        emit itemsChanged();
    }
    updateButtons();
}

void OwnerDayworkPanel::importWorkbook() {
    const QString contract = m_editor.contractId();
    if (contract.isEmpty() || !savePending())
        return;
    const QString path = FileDialog::getOpenFileName(this, QStringLiteral("导入计日工"), QString(),
                                                     QStringLiteral("Excel 工作簿 (*.xls *.xlsx)"));
    if (path.isEmpty())
        return;
    Guarded(this, [&] {
        const OwnerDaywork daywork = ReadOwnerDaywork(path);
        qint64 held = 0;
        for (Schedule s : kSchedules)
            held += m_editor.schedule(s).rowCount();
        if (held > 0 && !MessageBox::question(this,
                                              QStringLiteral("合同段“%1”已有 %2 项计日工。导入的计日工将替换它们，"
                                                             "替换后不能撤销。仍然导入吗？")
                                                  .arg(contract)
                                                  .arg(held),
                                              QString(), false))
            return;
        const OwnerDayworkImportResult result =
            OwnerDayworkImport(m_dm.database()).importItems(contract, daywork, held > 0);
        m_editor.history().clear();
        m_editor.open(contract);
        MessageBox::information(this, QStringLiteral("已导入 %1 项计日工。").arg(result.items));
        emit itemsChanged();
    });
    updateButtons();
}

void OwnerDayworkPanel::undo() {
    if (!m_editor.history().canUndo() || !savePending())
        return;
    DayworkPlace place;
    if (Guarded(this, [&] { place = m_editor.undo(); })) {
        if (place.row >= 0)
            showRow(place.schedule, place.row);
        emit itemsChanged();
    }
    updateButtons();
}

void OwnerDayworkPanel::redo() {
    if (!m_editor.history().canRedo() || !savePending())
        return;
    DayworkPlace place;
    if (Guarded(this, [&] { place = m_editor.redo(); })) {
        if (place.row >= 0)
            showRow(place.schedule, place.row);
        emit itemsChanged();
    }
    updateButtons();
}

} // namespace tenvora::ui

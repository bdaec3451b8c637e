#include "owner/OwnerBillPanel.h"

#include "MessageBox.h"
#include "Modal.h"
#include "boq/BoqLineRules.h"
#include "data/DataModule.h"
#include "grid/DataGrid.h"
#include "owner/OwnerBoqImport.h"
#include "owner/OwnerEntryDialog.h"
#include "owner/TenderContracts.h"
#include "shell/HelpWindow.h"
#include "shell/UiStyle.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tenvora::ui {

namespace {

// White where the owner types, on the grid's pale yellow.
const QColor kEditable(Qt::white);

QList<DataGridColumn> billColumns() {
    using Kind = DataGridColumn::Kind;
    return {
        {QStringLiteral("细目编号"), QStringLiteral("细目编号"), 90, {}, {}, true, true, Kind::Text},
        {QStringLiteral("细目名称"), QStringLiteral("细目名称"), 260, kEditable, {}, false, true, Kind::Text, true},
        {QStringLiteral("单位"), QStringLiteral("单位"), 70, kEditable, {}, false, true, Kind::Text},
        {QStringLiteral("合同数量"), QStringLiteral("合同数量"), 100, kEditable, GridFormat::quantity(), false, true,
         Kind::Number},
        {QStringLiteral("合同金额"),
         QStringLiteral("合价（暂定金额）"),
         120,
         {},
         GridFormat::amount(),
         false,
         true,
         Kind::Number},
    };
}

} // namespace

OwnerBillPanel::OwnerBillPanel(DataModule& dm, QWidget* parent) : QWidget(parent), m_dm(dm), m_editor(dm) {
    SetHelpPage(this, QStringLiteral("owner-bill.html"));
    m_grid = new DataGrid(this);
    m_grid->setObjectName(QStringLiteral("DBGridBill"));
    m_grid->setDataSet(&m_editor.lines());
    m_grid->setColumns(billColumns());
    m_grid->setRowOperations(DataGrid::NoRowOperations);
    m_grid->setFitColumns(true);
    m_grid->setSettingsKey(QStringLiteral("owner-bill"));
    // The amount is the provisional sums' only: their cell is marked where it can be typed.
    m_grid->setCellColour([this](int row, int column) {
        if (m_grid->gridModel()->column(column).field != QLatin1String("合同金额"))
            return QColor();
        return m_editor.lines().value(row, QStringLiteral("单位")).toString() == kProvisionalSumUnit ? kEditable
                                                                                                     : QColor();
    });
    m_grid->setToolTip(QStringLiteral("细目名称、单位、合同数量可以修改；合价只用于单位为“暂定金总额”的细目"));

    m_add = CommandButton(QStringLiteral("增加细目(&A)..."), QStringLiteral("BitBtnAddLine"), this);
    m_delete = CommandButton(QStringLiteral("删除细目(&D)"), QStringLiteral("BitBtnDeleteLine"), this);
    m_import = CommandButton(QStringLiteral("导入Excel(&I)..."), QStringLiteral("BitBtnImportBill"), this);
    m_undo = CommandButton(QStringLiteral("撤销(&U)"), QStringLiteral("BitBtnUndo"), this);
    m_redo = CommandButton(QStringLiteral("重做(&Y)"), QStringLiteral("BitBtnRedo"), this);
    connect(m_add, &QPushButton::clicked, this, &OwnerBillPanel::addLine);
    connect(m_delete, &QPushButton::clicked, this, &OwnerBillPanel::deleteLine);
    connect(m_import, &QPushButton::clicked, this, &OwnerBillPanel::importWorkbook);
    connect(m_undo, &QPushButton::clicked, this, &OwnerBillPanel::undo);
    connect(m_redo, &QPushButton::clicked, this, &OwnerBillPanel::redo);

    AddPanelShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { undo(); });
    AddPanelShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_Y), [this] { redo(); });
    AddPanelShortcut(this, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [this] { redo(); });
    AddPanelShortcut(this, QKeySequence(Qt::Key_Insert), [this] { addLine(); });
    AddPanelShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_Delete), [this] { deleteLine(); });

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("LabelBillSummary"));
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_add, m_delete, m_import, m_undo, m_redo})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(m_summary);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(buttons);
    layout->addWidget(m_grid, 1);

    connect(&m_editor, &OwnerBillEditor::historyChanged, this, &OwnerBillPanel::updateButtons);
    connect(&m_editor.lines(), &DataSet::reset, this, &OwnerBillPanel::updateButtons);
    connect(&m_editor.lines(), &DataSet::rowRemoved, this, &OwnerBillPanel::updateButtons);
    updateButtons();
}

void OwnerBillPanel::setContract(const QString& contractId) {
    if (!savePending())
        return;
    Guarded(this, [&] { m_editor.open(contractId); });
    updateButtons();
}

bool OwnerBillPanel::savePending() {
    return m_grid->savePending();
}

int OwnerBillPanel::currentRow() const {
    return m_grid->currentIndex().row();
}

void OwnerBillPanel::showRow(int row) {
    const int rows = m_editor.lines().rowCount();
    if (rows == 0)
        return;
    m_grid->setCurrentRow(std::clamp(row, 0, rows - 1));
    m_grid->setFocus();
}

void OwnerBillPanel::refresh() {
    const QVariant key = currentRow() >= 0 ? m_editor.lines().keyOf(currentRow()) : QVariant();
    if (Guarded(this, [this] { m_editor.reload(); }) && key.isValid())
        showRow(m_editor.lines().rowOfKey(key));
}

bool OwnerBillPanel::goToItem(const QString& item) {
    const int row = m_editor.rowOfItem(item);
    if (row < 0)
        return false;
    const bool moved = m_grid->setCurrentRow(row);
    m_grid->setFocus();
    return moved;
}

void OwnerBillPanel::updateButtons() {
    const bool open = !m_editor.contractId().isEmpty();
    m_add->setEnabled(open);
    m_import->setEnabled(open);
    m_delete->setEnabled(open && !m_editor.lines().isEmpty());
    RowHistory& h = m_editor.history();
    m_undo->setEnabled(h.canUndo());
    m_redo->setEnabled(h.canRedo());
    m_undo->setToolTip(h.canUndo() ? QStringLiteral("撤销：%1（Ctrl+Z）").arg(h.undoLabel()) : QString());
    m_redo->setToolTip(h.canRedo() ? QStringLiteral("重做：%1（Ctrl+Y）").arg(h.redoLabel()) : QString());
    m_summary->setText(open ? QStringLiteral("共 %1 行").arg(m_editor.lines().rowCount()) : QString());
}

void OwnerBillPanel::addLine() {
    if (m_editor.contractId().isEmpty() || !savePending())
        return;
    int added = -1;
    OwnerEntryDialog dialog(
        QStringLiteral("增加细目"),
        {TextEntry(QStringLiteral("细目编号"), QStringLiteral("EditItem")),
         TextEntry(QStringLiteral("细目名称"), QStringLiteral("EditName")),
         TextEntry(QStringLiteral("单位"), QStringLiteral("EditUnit")),
         NumberEntry(QStringLiteral("合同数量"), QStringLiteral("EditQuantity")),
         NumberEntry(QStringLiteral("合价（暂定金额）"), QStringLiteral("EditAmount"))},
        [this, &added](OwnerEntryDialog& d) {
            NewBillLine line;
            line.item = d.text(0);
            line.name = d.text(1);
            line.unit = d.text(2);
            line.quantity = d.number(3).toDouble();
            line.amount = d.number(4);
            added = m_editor.addLine(line);
        },
        this);
    SetHelpPage(&dialog, QStringLiteral("owner-bill.html#add"));
    if (ExecModal(dialog) == QDialog::Accepted) {
        showRow(added);
        emit linesChanged();
    }
    updateButtons();
}

void OwnerBillPanel::deleteLine() {
    DataSet& lines = m_editor.lines();
    const int row = currentRow();
    if (m_editor.contractId().isEmpty() || row < 0 || !savePending())
        return;
    const QString item = lines.value(row, QStringLiteral("细目编号")).toString();
    const QString name = lines.value(row, QStringLiteral("细目名称")).toString();
    if (!MessageBox::question(this, QStringLiteral("删除细目“%1 %2”吗？（可以撤销）").arg(item, name), QString(),
                              false))
        return;
    if (Guarded(this, [&] { m_editor.deleteLine(row); })) {
        showRow(row);
        emit linesChanged();
    }
    updateButtons();
}

void OwnerBillPanel::importWorkbook() {
    const QString contract = m_editor.contractId();
    if (contract.isEmpty() || !savePending())
        return;
    const QString path = FileDialog::getOpenFileName(this, QStringLiteral("导入工程量清单"), QString(),
                                                     QStringLiteral("Excel 工作簿 (*.xls *.xlsx)"));
    if (path.isEmpty())
        return;
    Guarded(this, [&] {
        const OwnerBill bill = ReadOwnerBill(path);
        const qint64 held = m_editor.lines().rowCount();
        if (held > 0 && !MessageBox::question(this,
                                              QStringLiteral("合同段“%1”已有 %2 行工程量清单。导入的清单将替换它们，"
                                                             "替换后不能撤销。仍然导入吗？")
                                                  .arg(contract)
                                                  .arg(held),
                                              QString(), false))
            return;
        const OwnerBillImportResult result = OwnerBoqImport(m_dm.database()).importBill(contract, bill, held > 0);
        // The steps before the import name lines that are gone.
        m_editor.history().clear();
        m_editor.open(contract);
        QString text = QStringLiteral("已导入 %1 行工程量清单").arg(result.lines);
        if (result.replaced > 0)
            text += QStringLiteral("，替换了原有的 %1 行").arg(result.replaced);
        if (!result.addedChapters.isEmpty())
            text += QStringLiteral("；补上了章细目 %1").arg(result.addedChapters.join(QStringLiteral("、")));
        MessageBox::information(this, text + QStringLiteral("。"));
        emit linesChanged();
    });
    updateButtons();
}

void OwnerBillPanel::undo() {
    if (!m_editor.history().canUndo() || !savePending())
        return;
    int row = -1;
    if (Guarded(this, [&] { row = m_editor.undo(); })) {
        if (row >= 0)
            showRow(row);
        emit linesChanged();
    }
    updateButtons();
}

void OwnerBillPanel::redo() {
    if (!m_editor.history().canRedo() || !savePending())
        return;
    int row = -1;
    if (Guarded(this, [&] { row = m_editor.redo(); })) {
        if (row >= 0)
            showRow(row);
        emit linesChanged();
    }
    updateButtons();
}

} // namespace tenvora::ui

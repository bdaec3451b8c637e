// RevisionDialog: the changes of a revised owner bill, listed for the user to confirm or cancel.
#include "boq/RevisionDialog.h"

#include "Settings.h"
#include "grid/DataGrid.h"
#include "shell/HelpWindow.h"
#include "shell/UiStyle.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tenvora::ui {

namespace {

const QColor kAdded(0, 110, 0);
const QColor kDropped(180, 0, 0);

QList<DataGridColumn> gridColumns() {
    struct ColumnLayout {
        const char* field;
        int width;
        bool number;
        const char* format;
    };
    const ColumnLayout layouts[] = {
        {"变化", 44, false, ""},  {"细目编号", 80, false, ""}, {"细目名称", 200, false, ""}, {"单位", 60, false, ""},
        {"原数量", 80, true, ""}, {"新数量", 80, true, ""},    {"单价", 80, true, "0.00"},   {"原金额", 90, true, ""},
        {"新金额", 90, true, ""}, {"说明", 230, false, ""}};
    QList<DataGridColumn> columns;
    for (const ColumnLayout& s : layouts) {
        DataGridColumn c;
        c.field = QString::fromUtf8(s.field);
        c.width = s.width;
        c.readOnly = true;
        c.kind = s.number ? DataGridColumn::Kind::Number : DataGridColumn::Kind::Text;
        c.displayFormat = QString::fromUtf8(s.format);
        columns << c;
    }
    return columns;
}

} // namespace

QStringList RevisionDialog::columns() {
    QStringList names;
    for (const DataGridColumn& c : gridColumns())
        names << c.field;
    return names;
}

RevisionDialog::RevisionDialog(DataModule& dm, const BoqRevisionPlan& plan, QWidget* parent)
    : QDialog(parent), m_changes(dm, DataSetTable{QString(), QString(), {}}, this) {
    setWindowTitle(BoqRevision::title());
    setObjectName(QStringLiteral("FrmRevision"));
    SetHelpPage(this, QStringLiteral("boq-revision.html"));
    setFont(SongFont(12));

    std::vector<QVariantList> rows;
    std::vector<BoqRevisionLine::Change> kinds;
    for (const BoqRevisionLine& l : plan.lines) {
        const bool dropped = l.change == BoqRevisionLine::Change::Dropped;
        rows.push_back({l.changeText(), l.item, dropped ? l.oldName : l.newName, dropped ? l.oldUnit : l.newUnit,
                        l.oldQuantity, dropped ? QVariant() : l.newQuantity, l.price, l.oldAmount,
                        dropped ? QVariant() : l.newAmount, l.description()});
        kinds.push_back(l.change);
    }
    m_changes.openRows(columns(), std::move(rows));

    m_summary = new QLabel(plan.summaryText(), this);
    m_summary->setObjectName(QStringLiteral("Summary"));
    QFont bold = m_summary->font();
    bold.setBold(true);
    m_summary->setFont(bold);
    auto* detail =
        new QLabel(QStringLiteral("修订清单：%1\n当前合同：%2。确认后先备份数据文件，再按下表修订；单价保持不变。")
                       .arg(QDir::toNativeSeparators(plan.path), plan.contract),
                   this);
    detail->setWordWrap(true);

    m_grid = new DataGrid(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setDataSet(&m_changes);
    m_grid->setColumns(gridColumns());
    m_grid->setReadOnly(true);
    m_grid->setRowOperations(DataGrid::NoRowOperations);
    m_grid->setRowStyle([kinds](int row) -> std::optional<DataGridRowStyle> {
        if (row < 0 || static_cast<size_t>(row) >= kinds.size())
            return std::nullopt;
        switch (kinds[static_cast<size_t>(row)]) {
        case BoqRevisionLine::Change::Added:
            return DataGridRowStyle{DataGrid::background(), kAdded, false};
        case BoqRevisionLine::Change::Dropped:
            return DataGridRowStyle{DataGrid::background(), kDropped, false};
        case BoqRevisionLine::Change::Changed:
            break;
        }
        return std::nullopt;
    });

    m_confirm = new QPushButton(QStringLiteral("确认修订(&O)"), this);
    m_confirm->setObjectName(QStringLiteral("BitBtn1"));
    m_cancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    m_cancel->setObjectName(QStringLiteral("BitBtn2"));
    m_cancel->setDefault(true); // Enter does not change the bill by accident
    m_confirm->setEnabled(!plan.refused() && plan.hasChanges());
    connect(m_confirm, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_confirm);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(detail);
    layout->addWidget(m_summary);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buttons);
    FitToScreen(this, QSize(1100, 560));
}

} // namespace tenvora::ui

// FeeListDialog: "取费", the fees of the contract's unit-price analysis.
#include "pricing/FeeListDialog.h"

#include "MessageBox.h"
#include "Settings.h"
#include "data/DataModule.h"
#include "data/NumberInput.h"
#include "grid/DataGrid.h"
#include "pricing/EditorRepricing.h"
#include "pricing/LineBuildUps.h"
#include "pricing/ResourceLibraryWindow.h"
#include "shell/HelpWindow.h"
#include "shell/UiStyle.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tenvora::ui {

FeeListDialog::FeeListDialog(BoqEditor& editor, DataModule& dm, QWidget* parent)
    : QDialog(parent), m_editor(editor), m_dm(dm), m_sheet(dm, dm.session().CurContractID) {
    setObjectName(QStringLiteral("FeeListDialog"));
    setWindowTitle(QStringLiteral("取费"));
    SetHelpPage(this, QStringLiteral("fees.html"));
    setFont(SongFont(12));

    auto column = [](const QString& field, int width, bool stretch = false) {
        DataGridColumn c;
        c.field = field;
        c.width = width;
        c.readOnly = true;
        c.stretch = stretch;
        return c;
    };
    DataGridColumn percent = column(FeeColumn::Percent, 70);
    percent.title = QStringLiteral("费率（%）");
    percent.readOnly = false;
    percent.color = QColor(166, 202, 240);
    percent.kind = DataGridColumn::Kind::Number;
    m_grid = new DataGrid(this);
    m_grid->setObjectName(QStringLiteral("FeeGrid"));
    m_grid->setDataSet(&m_sheet.fees());
    m_grid->setColumns(
        {column(FeeColumn::Order, 40), column(FeeColumn::Name, 160, true), percent, column(FeeColumn::Base, 70)});
    m_grid->setFitColumns(true);
    m_grid->setSettingsKey(QStringLiteral("fees"));
    m_grid->setRowOperations(DataGrid::NoRowOperations);

    auto* hint = new QLabel(QStringLiteral("按顺序计取：“直接费”以直接费为基数，“累计”以直接费加前面各项费用为基数。"
                                           "单价在最后取到 0.01。"),
                            this);
    hint->setWordWrap(true);

    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("FeeName"));
    m_percent = new QLineEdit(this);
    m_percent->setObjectName(QStringLiteral("FeePercent"));
    m_percent->setMaximumWidth(80);
    m_base = new QComboBox(this);
    m_base->setObjectName(QStringLiteral("FeeBase"));
    m_base->addItem(FeeBaseText(FeeBase::Direct), FeeBaseCode(FeeBase::Direct));
    m_base->addItem(FeeBaseText(FeeBase::Running), FeeBaseCode(FeeBase::Running));
    m_base->setCurrentIndex(1);
    auto* nameLabel = new QLabel(QStringLiteral("名称(&N)："), this);
    nameLabel->setBuddy(m_name);
    auto* percentLabel = new QLabel(QStringLiteral("费率(&R)%："), this);
    percentLabel->setBuddy(m_percent);
    auto* baseLabel = new QLabel(QStringLiteral("基数(&B)："), this);
    baseLabel->setBuddy(m_base);
    m_add = new QPushButton(QStringLiteral("添加(&A)"), this);
    m_add->setObjectName(QStringLiteral("FeeAdd"));
    m_remove = new QPushButton(QStringLiteral("删除(&D)"), this);
    m_remove->setObjectName(QStringLiteral("FeeRemove"));
    m_close = new QPushButton(QStringLiteral("关闭(&C)"), this);
    m_close->setObjectName(QStringLiteral("FeeClose"));
    for (QPushButton* b : {m_add, m_remove, m_close})
        b->setAutoDefault(false);

    auto* fields = new QHBoxLayout;
    fields->addWidget(nameLabel);
    fields->addWidget(m_name, 1);
    fields->addWidget(percentLabel);
    fields->addWidget(m_percent);
    fields->addWidget(baseLabel);
    fields->addWidget(m_base);
    fields->addWidget(m_add);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_remove);
    buttons->addStretch(1);
    buttons->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addWidget(hint);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    FitToScreen(this, QSize(640, 420));
    KeepWindowGeometry(this, QStringLiteral("fees"));

    connect(m_add, &QPushButton::clicked, this, &FeeListDialog::addFee);
    connect(m_percent, &QLineEdit::returnPressed, this, &FeeListDialog::addFee);
    connect(m_remove, &QPushButton::clicked, this, &FeeListDialog::removeFee);
    connect(m_close, &QPushButton::clicked, this, &FeeListDialog::closeDialog);
    m_sheet.reload();
}

void FeeListDialog::addFee() {
    if (!m_grid->savePending())
        return;
    Guarded(this, [this] {
        Fee fee;
        fee.name = m_name->text().trimmed();
        const std::optional<double> percent = ParseNumberInput(m_percent->text());
        if (!percent)
            throw Refused(m_percent->text().trimmed().isEmpty()
                              ? QStringLiteral("请填写费率")
                              : QStringLiteral("费率：") + NumberInputProblem(m_percent->text()));
        fee.percent = *percent;
        fee.base = FeeBaseOf(m_base->currentData().toString()).value_or(FeeBase::Running);
        m_grid->setCurrentRow(m_sheet.add(fee));
        m_name->clear();
        m_percent->clear();
        m_name->setFocus();
    });
}

void FeeListDialog::removeFee() {
    m_grid->discardEditor();
    Guarded(this, [this] {
        m_sheet.fees().cancelPending();
        const QModelIndex at = m_grid->currentIndex();
        const int next = m_sheet.remove(at.isValid() ? at.row() : -1);
        if (next >= 0)
            m_grid->setCurrentRow(next);
    });
}

void FeeListDialog::reject() {
    closeDialog();
}

void FeeListDialog::closeDialog() {
    if (!m_grid->savePending())
        return;
    Guarded(this, [this] {
        if (!m_sheet.changed())
            return;
        const QStringList items = LineBuildUps(m_dm, m_sheet.contract()).items();
        const QString what = QStringLiteral("取费已改动。");
        if (items.isEmpty()) {
            m_lastMessage = what;
        } else if (!MessageBox::question(this, RepricingQuestion(what, static_cast<int>(items.size())), QString(),
                                         false)) {
            m_lastMessage = what + QStringLiteral("合同单价没有改动。");
        } else {
            const RepriceResult result =
                RepriceInEditor(m_editor, items, QStringLiteral("取费改动后重算 %1 个细目").arg(items.size()));
            m_lastMessage = what + result.text() + QStringLiteral("。");
        }
    });
    accept();
}

} // namespace tenvora::ui

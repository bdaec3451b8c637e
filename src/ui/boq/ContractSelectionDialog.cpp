// ContractSelectionDialog: picks the current contract section from all sections of all projects.
#include "boq/ContractSelectionDialog.h"

#include "MessageBox.h"
#include "data/DataModule.h"
#include "shell/HelpWindow.h"
#include "shell/UiStyle.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tenvora::ui {

ContractSelectionDialog::ContractSelectionDialog(DataModule& dm, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_dm(dm) {
    setWindowTitle(QStringLiteral("合同选择"));
    SetHelpPage(this, QStringLiteral("contract-selection.html"));
    setFont(SongFont(12));
    setFixedSize(345, 171);

    // Fixed pixel layout: the dialog keeps its size whatever the desktop's font scaling.
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setLineWidth(2);
    panel->setGeometry(8, 8, 329, 155);

    auto* label = new QLabel(QStringLiteral("选择项目："), panel);
    label->setGeometry(14, 18, 72, 22);
    m_project = new QLineEdit(panel);
    m_project->setObjectName(QStringLiteral("projectField"));
    m_project->setReadOnly(true);
    m_project->setGeometry(88, 16, 224, 24);
    SetPaleYellow(m_project);

    m_contracts = new QComboBox(panel);
    m_contracts->setObjectName(QStringLiteral("contractBox"));
    m_contracts->setEditable(false);
    m_contracts->setGeometry(88, 54, 224, 24);
    m_contracts->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    SetPaleYellow(m_contracts);
    QPalette navy = m_contracts->palette();
    navy.setColor(QPalette::Text, Navy());
    navy.setColor(QPalette::ButtonText, Navy());
    m_contracts->setPalette(navy);

    m_choose = new QPushButton(QStringLiteral("选择(&S)"), panel);
    m_choose->setObjectName(QStringLiteral("Button1"));
    m_choose->setGeometry(88, 104, 90, 30);
    m_cancel = new QPushButton(QStringLiteral("取消(&C)"), panel);
    m_cancel->setObjectName(QStringLiteral("Button2"));
    m_cancel->setGeometry(222, 104, 90, 30);

    connect(m_choose, &QPushButton::clicked, this, &ContractSelectionDialog::choose);
    connect(m_cancel, &QPushButton::clicked, this, &ContractSelectionDialog::cancel);
    connect(m_contracts, &QComboBox::activated, this, &ContractSelectionDialog::showRow);
    connect(m_contracts, &QComboBox::currentIndexChanged, this, [this](int row) {
        if (row >= 0)
            showRow(row);
    });
    fillContracts();
}

void ContractSelectionDialog::fillContracts() {
    if (!Guarded(this, [this] { m_rows = ContractSelection(m_dm).load(); }))
        m_rows.clear(); // the list stays empty
    for (const ContractChoiceRow& r : m_rows) {
        const QString text = ContractSelection::rowText(r);
        m_contracts->addItem(text, r.contractId);
        // A long name is cut in the box; whole in its tooltip and in the open list.
        m_contracts->setItemData(m_contracts->count() - 1, text, Qt::ToolTipRole);
    }
    if (m_contracts->count() > 0)
        m_contracts->view()->setMinimumWidth(m_contracts->view()->sizeHintForColumn(0) + 24);
    // The first row is the one "选择" takes unless another is picked: the box shows it.
    m_current = 0;
    m_contracts->setCurrentIndex(m_rows.empty() ? -1 : 0);
    showRow(m_current);
}

void ContractSelectionDialog::showRow(int row) {
    if (row < 0 || row >= static_cast<int>(m_rows.size()))
        return;
    m_current = row;
    const ContractChoiceRow& r = m_rows[static_cast<size_t>(row)];
    m_project->setText(r.projectName.toString());
    m_contracts->setToolTip(ContractSelection::rowText(r));
}

void ContractSelectionDialog::choose() {
    // A refusal or a failure keeps the dialog open.
    if (Guarded(this, [this] { ContractSelection(m_dm).choose(m_rows, m_current); }))
        accept();
}

void ContractSelectionDialog::cancel() {
    reject();
}

} // namespace tenvora::ui

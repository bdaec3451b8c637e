#include "owner/OwnerAccountsDialog.h"

#include "MessageBox.h"
#include "Modal.h"
#include "Settings.h"
#include "data/DataModule.h"
#include "owner/OwnerAccounts.h"
#include "owner/OwnerEntryDialog.h"
#include "shell/HelpWindow.h"
#include "shell/UiStyle.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tenvora::ui {

OwnerAccountsDialog::OwnerAccountsDialog(DataModule& dm, QWidget* parent) : QDialog(parent), m_dm(dm) {
    setWindowTitle(QStringLiteral("投标人帐户"));
    setFont(SongFont());
    SetHelpPage(this, QStringLiteral("owner-accounts.html"));
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("ListAccounts"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({QStringLiteral("单位"), QStringLiteral("类别"), QStringLiteral("已登录过")});
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_list->header()->setStretchLastSection(false);
    m_add = new QPushButton(QStringLiteral("增加投标单位(&A)..."), this);
    m_add->setObjectName(QStringLiteral("BitBtnAddUnit"));
    m_remove = new QPushButton(QStringLiteral("删除(&D)"), this);
    m_remove->setObjectName(QStringLiteral("BitBtnRemoveUnit"));
    m_password = new QPushButton(QStringLiteral("修改密码(&P)..."), this);
    m_password->setObjectName(QStringLiteral("BitBtnPassword"));
    auto* close = new QPushButton(QStringLiteral("关闭(&C)"), this);
    for (QPushButton* b : {m_add, m_remove, m_password, close})
        b->setAutoDefault(false);
    connect(m_add, &QPushButton::clicked, this, &OwnerAccountsDialog::addBidder);
    connect(m_remove, &QPushButton::clicked, this, &OwnerAccountsDialog::removeBidder);
    connect(m_password, &QPushButton::clicked, this, &OwnerAccountsDialog::changePassword);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &OwnerAccountsDialog::updateButtons);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {m_add, m_remove, m_password})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    refresh();
    FitToScreen(this, QSize(640, 420));
    KeepWindowGeometry(this, QStringLiteral("owner-accounts"));
}

void OwnerAccountsDialog::refresh() {
    const QString selected = selectedUnit();
    m_list->clear();
    Guarded(this, [this] {
        for (const TenderAccount& a : OwnerAccounts(m_dm.database()).list()) {
            const bool bidder = a.kind == kBidderAccountKind;
            auto* item = new QTreeWidgetItem(
                m_list, {a.unit, bidder ? QStringLiteral("投标单位（2）") : QStringLiteral("招标人（%1）").arg(a.kind),
                         a.loggedIn ? QStringLiteral("是") : QString()});
            item->setData(0, Qt::UserRole, bidder);
        }
    });
    m_list->resizeColumnToContents(1);
    m_list->resizeColumnToContents(2);
    if (!selectUnit(selected) && m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    updateButtons();
}

QString OwnerAccountsDialog::selectedUnit() const {
    const QTreeWidgetItem* item = m_list->currentItem();
    return item ? item->text(0) : QString();
}

bool OwnerAccountsDialog::selectUnit(const QString& unit) {
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        if (m_list->topLevelItem(i)->text(0) == unit) {
            m_list->setCurrentItem(m_list->topLevelItem(i));
            return true;
        }
    return false;
}

void OwnerAccountsDialog::updateButtons() {
    const QTreeWidgetItem* item = m_list->currentItem();
    m_remove->setEnabled(item && item->data(0, Qt::UserRole).toBool());
    m_password->setEnabled(item != nullptr);
}

void OwnerAccountsDialog::addBidder() {
    QString added;
    OwnerEntryDialog dialog(
        QStringLiteral("增加投标单位"),
        {TextEntry(QStringLiteral("投标单位"), QStringLiteral("EditUnit")),
         PasswordEntry(QStringLiteral("密码"), QStringLiteral("EditPassword")),
         PasswordEntry(QStringLiteral("再输一次密码"), QStringLiteral("EditPassword2"))},
        [this, &added](OwnerEntryDialog& d) {
            if (d.text(1) != d.text(2))
                throw Refused(QStringLiteral("两次输入的密码不一样"));
            OwnerAccounts(m_dm.database()).addBidder(d.text(0), d.text(1));
            added = d.text(0);
        },
        this);
    SetHelpPage(&dialog, QStringLiteral("owner-accounts.html"));
    if (ExecModal(dialog) == QDialog::Accepted) {
        refresh();
        selectUnit(added);
    }
}

void OwnerAccountsDialog::removeBidder() {
    const QString unit = selectedUnit();
    if (unit.isEmpty())
        return;
    if (!MessageBox::question(
            this, QStringLiteral("删除投标单位“%1”的帐户吗？以后发出的招标文件中不再有这个单位。").arg(unit), QString(),
            false))
        return;
    Guarded(this, [&] { OwnerAccounts(m_dm.database()).removeBidder(unit); });
    refresh();
}

void OwnerAccountsDialog::changePassword() {
    const QString unit = selectedUnit();
    if (unit.isEmpty())
        return;
    OwnerEntryDialog dialog(
        QStringLiteral("修改“%1”的密码").arg(unit),
        {PasswordEntry(QStringLiteral("新密码"), QStringLiteral("EditPassword")),
         PasswordEntry(QStringLiteral("再输一次"), QStringLiteral("EditPassword2"))},
        [this, &unit](OwnerEntryDialog& d) {
            if (d.text(0) != d.text(1))
                throw Refused(QStringLiteral("两次输入的密码不一样"));
            OwnerAccounts(m_dm.database()).setPassword(unit, d.text(0));
        },
        this);
    SetHelpPage(&dialog, QStringLiteral("owner-accounts.html"));
    if (ExecModal(dialog) == QDialog::Accepted)
        MessageBox::information(this, QStringLiteral("“%1”的密码已修改。").arg(unit));
}

} // namespace tenvora::ui

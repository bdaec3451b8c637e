// LoginDialog: the tendering unit and its password, before the main window appears.
#include "shell/LoginDialog.h"

#include "MessageBox.h"
#include "data/DataModule.h"
#include "shell/HelpWindow.h"
#include "shell/LoginRules.h"
#include "shell/UiStyle.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tenvora::ui {

LoginDialog::LoginDialog(DataModule& dm, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_dm(dm) {
    setWindowTitle(QStringLiteral("系统登录"));
    SetHelpPage(this, QStringLiteral("login.html"));
    setFont(SongFont());

    m_units = new QComboBox(this);
    m_units->setObjectName(QStringLiteral("ComboBox1"));
    m_units->setEditable(false);
    m_units->setMinimumWidth(260);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("Edit1"));
    m_password->setEchoMode(QLineEdit::Password);
    SetPaleYellow(m_units);
    SetPaleYellow(m_password);

    m_ok = new QPushButton(QStringLiteral("确定(&O)"), this);
    m_ok->setObjectName(QStringLiteral("BitBtn1"));
    m_ok->setDefault(true);
    m_ok->setAutoDefault(true);
    m_cancel = new QPushButton(QStringLiteral("放弃(&Q)"), this);
    m_cancel->setObjectName(QStringLiteral("BitBtn2"));
    m_cancel->setAutoDefault(false);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral(" 投标单位"), this), 0, 0);
    grid->addWidget(m_units, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("密   码:"), this), 1, 0);
    grid->addWidget(m_password, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->setSpacing(14);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(m_ok, &QPushButton::clicked, this, &LoginDialog::logIn);
    connect(m_cancel, &QPushButton::clicked, this, &LoginDialog::giveUp);
    fillUnits();
    setFixedSize(sizeHint());
}

void LoginDialog::fillUnits() {
    // On a failure the dialog still opens with whatever was listed; the user can only give up.
    Guarded(this, [this] {
        const QStringList units = LoginRules(m_dm).accountsOffered();
        m_units->addItems(units);
        if (!units.isEmpty())
            m_units->setCurrentIndex(0);
    });
    m_password->setFocus();
}

void LoginDialog::logIn() {
    bool ok = false;
    LoginRules rules(m_dm);
    if (!Guarded(this, [&] { ok = rules.login(m_units->currentText(), m_password->text()); }))
        return;
    if (ok) {
        if (!rules.notice().isEmpty())
            MessageBox::error(this, rules.notice());
        accept();
        return;
    }
    MessageBox::information(this, LoginRules::wrongPasswordText());
    // The password is typed again from scratch, never appended to the refused one.
    m_password->clear();
    m_password->setFocus();
}

void LoginDialog::giveUp() {
    reject();
}

void LoginDialog::closeEvent(QCloseEvent* e) {
    // No close box, but a window manager may still ask: that means giving up.
    e->accept();
    if (result() != QDialog::Accepted)
        setResult(QDialog::Rejected);
}

} // namespace tenvora::ui

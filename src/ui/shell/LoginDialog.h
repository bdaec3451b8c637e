// LoginDialog: the login dialog, "系统登录", of the bidder's workbench and of the owner's.
#pragma once

#include <QDialog>
#include <functional>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tenvora {
class DataModule;
}

namespace tenvora::ui {

// Whose login the dialog runs: the accounts it offers and how a password is checked.
struct LoginPolicy {
    QString unitLabel; // beside the list of units
    QString helpPage;
    std::function<QStringList()> units;
    // True when the login succeeded; false for a wrong password, which the dialog reports. A
    // refusal thrown is shown as it is. notice: what to tell after a login that succeeded.
    std::function<bool(const QString& unit, const QString& password, QString& notice)> login;
};

// The bidder's: the tendering units of kind "2" (LoginRules).
LoginPolicy BidderLogin(DataModule& dm);

class LoginDialog : public QDialog {
    Q_OBJECT
public:
    explicit LoginDialog(DataModule& dm, QWidget* parent = nullptr);
    explicit LoginDialog(LoginPolicy policy, QWidget* parent = nullptr);

    QComboBox* unitBox() const { return m_units; }
    QLineEdit* passwordField() const { return m_password; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

public slots:
    void logIn();
    void giveUp();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void fillUnits();

    LoginPolicy m_policy;
    QComboBox* m_units;
    QLineEdit* m_password;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};

} // namespace tenvora::ui

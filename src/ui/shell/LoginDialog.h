// LoginDialog: the login dialog, "系统登录".
#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tenvora {
class DataModule;
}

namespace tenvora::ui {

class LoginDialog : public QDialog {
    Q_OBJECT
public:
    explicit LoginDialog(DataModule& dm, QWidget* parent = nullptr);

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

    DataModule& m_dm;
    QComboBox* m_units;
    QLineEdit* m_password;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};

} // namespace tenvora::ui

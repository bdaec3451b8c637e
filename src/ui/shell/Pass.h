// TLoginForm: the login dialog, "系统登录".
#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tenvora {
class TDmMain;
}

namespace tenvora::ui {

class TLoginForm : public QDialog {
    Q_OBJECT
public:
    explicit TLoginForm(TDmMain& dm, QWidget* parent = nullptr);

    QComboBox* ComboBox1() const { return m_units; }
    QLineEdit* Edit1() const { return m_password; }
    QPushButton* BitBtn1() const { return m_ok; }
    QPushButton* BitBtn2() const { return m_cancel; }

public slots:
    void BitBtn1Click();
    void BitBtn2Click();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void FormCreate();

    TDmMain& m_dm;
    QComboBox* m_units;
    QLineEdit* m_password;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};

} // namespace tenvora::ui

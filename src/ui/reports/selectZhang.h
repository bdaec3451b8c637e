// TselectZhangForm: the chapter chooser of report B, "选择清单编号".
#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace tenvora::ui {

class ReportRunner;

class TselectZhangForm : public QDialog {
    Q_OBJECT
public:
    explicit TselectZhangForm(ReportRunner& runner, QWidget* parent = nullptr);

    QComboBox* ComboBox1() const { return m_combo; }
    QPushButton* Button1() const { return m_ok; }
    QPushButton* Button2() const { return m_cancel; }

public slots:
    // "确定": builds report B of the selected chapter and previews it; the chooser stays open.
    void Button1Click();
    // "取消".
    void Button2Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();

    ReportRunner& m_runner;
    QLabel* m_label;
    QComboBox* m_combo;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};

} // namespace tenvora::ui

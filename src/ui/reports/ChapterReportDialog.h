// ChapterReportDialog: the chapter chooser of report B, "选择清单编号".
#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace tenvora::ui {

class ReportRunner;

class ChapterReportDialog : public QDialog {
    Q_OBJECT
public:
    explicit ChapterReportDialog(ReportRunner& runner, QWidget* parent = nullptr);

    QComboBox* chapterBox() const { return m_combo; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

public slots:
    // "确定": builds report B of the selected chapter and previews it; the chooser stays open.
    void showReport();
    // "取消".
    void cancel();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillChapters();

    ReportRunner& m_runner;
    QLabel* m_label;
    QComboBox* m_combo;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};

} // namespace tenvora::ui

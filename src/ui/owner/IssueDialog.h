// IssueDialog: "发放", one verified copy of the tender file per bidder's account into a folder the
// owner chooses; shows the copies the issue would write and then those it wrote.
#pragma once

#include "owner/TenderIssue.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace tenvora {
class DataModule;
}

namespace tenvora::ui {

class IssueDialog : public QDialog {
    Q_OBJECT
public:
    explicit IssueDialog(DataModule& dm, QWidget* parent = nullptr);

    QLineEdit* folderField() const { return m_folder; }
    QTreeWidget* copies() const { return m_copies; }
    QLabel* summaryLabel() const { return m_summary; }
    QPushButton* issueButton() const { return m_issue; }
    // The record of the last issue made here; empty issueId when none was made.
    const IssueRecord& issued() const { return m_issued; }

    // The folder the tender file's copies go to by default: 发出 beside the tender file.
    static QString defaultFolder(const QString& tenderPath);

public slots:
    void chooseFolder();
    // Lists what an issue into the folder would write, and the tender check's summary.
    void preview();
    // Issues after the owner's consent to the check's findings and to replacing files there.
    void issue();

private:
    DataModule& m_dm;
    QLineEdit* m_folder;
    QTreeWidget* m_copies;
    QLabel* m_summary;
    QPushButton* m_issue;
    IssueRecord m_issued;
};

} // namespace tenvora::ui

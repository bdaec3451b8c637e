// DataCopyDialog: the backup dialog, serving "数据备份" and "生成投标盘".
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tenvora {
class DataModule;
enum class CopyKind;
} // namespace tenvora

namespace tenvora::ui {

class FolderChooser;
class PathLabel;

class DataCopyDialog : public QDialog {
    Q_OBJECT
public:
    // The file name proposed says what the copy is: the contract and the day for the bid disk,
    // the data file, the day and the time for a backup.
    DataCopyDialog(DataModule& dm, CopyKind kind, QWidget* parent = nullptr);

    FolderChooser* folderChooser() const { return m_chooser; }
    QLabel* promptLabel() const { return m_prompt; }
    QLineEdit* fileNameField() const { return m_fileName; }
    PathLabel* targetLabel() const { return m_target; }
    // Shown while a file of the chosen name lies in the chosen folder.
    QLabel* replaceNotice() const { return m_replaceNotice; }
    static QString replaceNoticeText();
    // The completion message of the copy and the file it wrote.
    static QString doneText(const QString& done, const QString& target);
    QPushButton* okButton() const { return m_ok; }
    QPushButton* closeButton() const { return m_close; }

private:
    void copy();
    // Where the settings keep the folder of the last copy of this kind.
    QString folderKey() const;
    void showTargetPath();

    DataModule& m_dm;
    CopyKind m_kind;
    FolderChooser* m_chooser = nullptr;
    QLabel* m_prompt = nullptr;
    QLineEdit* m_fileName = nullptr;
    PathLabel* m_target = nullptr;
    QLabel* m_replaceNotice = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_close = nullptr;
};

} // namespace tenvora::ui

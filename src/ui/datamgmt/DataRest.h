// TDataRestForm: the restore dialog of "数据恢复".
#pragma once

#include <QDialog>

class QFileSystemModel;
class QLabel;
class QListView;
class QPushButton;

namespace tenvora {
class TDmMain;
}

namespace tenvora::ui {

class FolderChooser;
class PathLabel;

class TDataRestForm : public QDialog {
    Q_OBJECT
public:
    explicit TDataRestForm(TDmMain& dm, QWidget* parent = nullptr);

    FolderChooser* folderChooser() const { return m_chooser; }
    QLabel* Label1() const { return m_prompt; }
    QListView* FileListBox1() const { return m_files; }
    PathLabel* Label2() const { return m_chosen; }
    QPushButton* BitBtn1() const { return m_restore; }
    QPushButton* BitBtn2() const { return m_close; }

    // The full path of the selected file; empty when none is selected.
    QString selectedFile() const;
    // Selects a file of the listed folder by name; false when the list does not hold it (yet).
    bool selectFile(const QString& fileName);

private:
    void DirectoryListBox1Change(const QString& folder);
    void FileListBox1Change();
    void BitBtn1Click();

    TDmMain& m_dm;
    FolderChooser* m_chooser = nullptr;
    QFileSystemModel* m_fileModel = nullptr;
    QListView* m_files = nullptr;
    QLabel* m_prompt = nullptr;
    PathLabel* m_chosen = nullptr;
    QPushButton* m_restore = nullptr;
    QPushButton* m_close = nullptr;
};

} // namespace tenvora::ui

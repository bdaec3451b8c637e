// RestoreDialog: the restore dialog of "数据恢复".
#pragma once

#include <QDialog>

class QFileSystemModel;
class QLabel;
class QTreeView;
class QSortFilterProxyModel;
class QPushButton;

namespace tenvora {
class DataModule;
}

namespace tenvora::ui {

class FolderChooser;
class PathLabel;

class RestoreDialog : public QDialog {
    Q_OBJECT
public:
    explicit RestoreDialog(DataModule& dm, QWidget* parent = nullptr);

    FolderChooser* folderChooser() const { return m_chooser; }
    QLabel* promptLabel() const { return m_prompt; }
    // The files of the folder: data files (".tr", as backups and bid disks are named) first, then
    // the others, each by name, with size and date.
    QTreeView* fileList() const { return m_files; }
    PathLabel* chosenLabel() const { return m_chosen; }
    QPushButton* restoreButton() const { return m_restore; }
    QPushButton* closeButton() const { return m_close; }

    // The full path of the selected file; empty when none is selected.
    QString selectedFile() const;
    // Selects a file of the listed folder by name; false when the list does not hold it (yet).
    bool selectFile(const QString& fileName);

private:
    void listFolder(const QString& folder);
    void showChosenFile();
    void restore();

    DataModule& m_dm;
    FolderChooser* m_chooser = nullptr;
    QFileSystemModel* m_fileModel = nullptr;
    QSortFilterProxyModel* m_order = nullptr;
    QTreeView* m_files = nullptr;
    QLabel* m_prompt = nullptr;
    PathLabel* m_chosen = nullptr;
    QPushButton* m_restore = nullptr;
    QPushButton* m_close = nullptr;
};

} // namespace tenvora::ui

// The drive list and folder tree shared by the backup and restore dialogs, and the blue path label.
#pragma once

#include <QLabel>
#include <QList>
#include <QString>
#include <QWidget>

class QComboBox;
class QFileSystemModel;
class QTreeView;

namespace tenvora::ui {

class DriveRootFilter;

// What the drive list offers on this machine: the home folder and the mounted volumes.
struct Drive {
    QString caption;
    QString rootPath;
};
QList<Drive> AvailableDrives();

// A drive list above a tree of the chosen drive's folders. The chosen folder is the widget's own;
// the process's working directory is left alone so relative paths elsewhere keep working.
class FolderChooser : public QWidget {
    Q_OBJECT
public:
    explicit FolderChooser(QWidget* parent = nullptr);

    QComboBox* driveBox() const { return m_drives; }
    QTreeView* folderTree() const { return m_tree; }

    QString folder() const { return m_folder; }
    // Chooses the drive that holds the folder and shows it in the tree; false when it is no folder.
    bool setFolder(const QString& path);

signals:
    void folderChanged(const QString& folder);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void driveChosen(int index);
    void showDrive(const QString& rootPath);
    void followFolder();
    void keepFolderInView(const QString& loadedFolder);
    int driveIndexFor(const QString& path) const;

    QComboBox* m_drives = nullptr;
    QTreeView* m_tree = nullptr;
    QFileSystemModel* m_model = nullptr;
    DriveRootFilter* m_filter = nullptr;
    QString m_folder;
};

// A full path shown in blue and wrapped at its separators (a path has no blanks to wrap at).
class PathLabel : public QLabel {
    Q_OBJECT
public:
    explicit PathLabel(QWidget* parent = nullptr);
    void setPath(const QString& path);
    const QString& path() const { return m_path; }

private:
    QString m_path;
};

} // namespace tenvora::ui

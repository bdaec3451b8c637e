#include "datamgmt/FolderChooser.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QSet>
#include <QSortFilterProxyModel>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace tenvora::ui {

namespace {

// Kernel and runtime file systems: nothing a bidder would back up to or restore from.
const QSet<QByteArray>& pseudoFileSystems() {
    static const QSet<QByteArray> types = {"proc",     "sysfs",    "devtmpfs",   "devpts",      "tmpfs",
                                           "ramfs",    "cgroup",   "cgroup2",    "pstore",      "debugfs",
                                           "tracefs",  "configfs", "securityfs", "fusectl",     "mqueue",
                                           "bpf",      "autofs",   "hugetlbfs",  "nsfs",        "binfmt_misc",
                                           "efivarfs", "squashfs", "rpc_pipefs", "fuse.portal", "fuse.gvfsd-fuse"};
    return types;
}

bool underSystemFolder(const QString& root) {
    for (const char* folder : {"/proc", "/sys", "/dev", "/snap", "/run"}) {
        const QString f = QString::fromLatin1(folder);
        if (root == f || root.startsWith(f + QLatin1Char('/')))
            return !root.startsWith(QLatin1String("/run/media/")); // removable media on some systems
    }
    return false;
}

// Whether path is folder itself or lies inside it.
bool isSameOrInside(const QString& path, const QString& folder) {
    if (path == folder)
        return true;
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    return path.startsWith(prefix);
}

} // namespace

QList<Drive> AvailableDrives() {
    QList<Drive> volumes;
    QSet<QString> seen;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        const QString root = v.rootPath();
        if (!v.isValid() || !v.isReady() || pseudoFileSystems().contains(v.fileSystemType()) ||
            underSystemFolder(root) || !QFileInfo(root).isDir() || seen.contains(root))
            continue;
        seen.insert(root);
        QString caption = QDir::toNativeSeparators(root);
        const QString name = v.name();
        if (!name.isEmpty() && name != root)
            caption += QStringLiteral("  (%1)").arg(name);
        volumes << Drive{caption, root};
    }
    std::sort(volumes.begin(), volumes.end(), [](const Drive& a, const Drive& b) { return a.rootPath < b.rootPath; });
    const QString home = QDir::homePath();
    volumes.prepend(Drive{QStringLiteral("主文件夹  %1").arg(QDir::toNativeSeparators(home)), home});
    return volumes;
}

// Shows one drive in the tree: the drive's root as the top item (so the root itself can be
// chosen) and everything beneath it, hiding the root's siblings.
class DriveRootFilter : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void setRoot(const QString& root) {
        m_root = root;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override {
        const auto* fs = static_cast<const QFileSystemModel*>(sourceModel());
        const QString path = fs->filePath(fs->index(sourceRow, 0, sourceParent));
        return isSameOrInside(path, m_root) || isSameOrInside(m_root, path);
    }

private:
    QString m_root;
};

FolderChooser::FolderChooser(QWidget* parent) : QWidget(parent) {
    m_drives = new QComboBox(this);
    m_drives->setObjectName(QStringLiteral("DriveComboBox1"));
    for (const Drive& d : AvailableDrives())
        m_drives->addItem(d.caption, d.rootPath);

    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_model->setReadOnly(true);
    m_filter = new DriveRootFilter(this);
    m_filter->setSourceModel(m_model);
    m_filter->setSortCaseSensitivity(Qt::CaseInsensitive);
    m_filter->setSortLocaleAware(true);
    m_filter->sort(0, Qt::AscendingOrder);

    m_tree = new QTreeView(this);
    m_tree->setObjectName(QStringLiteral("DirectoryListBox1"));
    m_tree->setModel(m_filter);
    m_tree->setHeaderHidden(true);
    m_tree->setUniformRowHeights(true);
    m_tree->setAnimated(false);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int column = 1; column < m_model->columnCount(); ++column)
        m_tree->hideColumn(column);
    m_tree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_drives);
    layout->addWidget(m_tree, 1);

    connect(m_drives, &QComboBox::activated, this, &FolderChooser::driveChosen);
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this, &FolderChooser::followFolder);
    connect(m_model, &QFileSystemModel::directoryLoaded, this, &FolderChooser::keepFolderInView);

    // Start where the process stands, as the user last left it in a shell or launcher.
    if (!setFolder(QDir::currentPath()) && m_drives->count() > 0)
        driveChosen(0);
}

int FolderChooser::driveIndexFor(const QString& path) const {
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < m_drives->count(); ++i) {
        const QString root = m_drives->itemData(i).toString();
        if (isSameOrInside(path, root) && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    return best;
}

void FolderChooser::showDrive(const QString& rootPath) {
    m_model->setRootPath(rootPath);
    m_filter->setRoot(rootPath);
    const QModelIndex root = m_model->index(rootPath);
    m_tree->setRootIndex(m_filter->mapFromSource(root.parent()));
    m_tree->expand(m_filter->mapFromSource(root));
}

bool FolderChooser::setFolder(const QString& path) {
    const QFileInfo info(path);
    if (!info.isDir())
        return false;
    const QString folder = QDir::cleanPath(info.absoluteFilePath());
    const int drive = driveIndexFor(folder);
    if (drive < 0)
        return false;
    if (drive != m_drives->currentIndex() || m_model->rootPath() != m_drives->itemData(drive).toString()) {
        m_drives->setCurrentIndex(drive);
        showDrive(m_drives->itemData(drive).toString());
    }
    const QModelIndex index = m_filter->mapFromSource(m_model->index(folder));
    if (index.isValid()) {
        m_tree->setCurrentIndex(index);
        m_tree->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
    // A hidden folder has no row in the tree but is still the chosen folder.
    if (m_folder != folder) {
        m_folder = folder;
        emit folderChanged(m_folder);
    }
    return true;
}

void FolderChooser::keepFolderInView(const QString& loadedFolder) {
    // Folders are read in the background; rows sorted in above the chosen one push it out of view.
    if (m_folder.isEmpty() || !isSameOrInside(m_folder, loadedFolder))
        return;
    const QModelIndex index = m_filter->mapFromSource(m_model->index(m_folder));
    if (!index.isValid())
        return;
    if (m_tree->currentIndex() != index)
        m_tree->setCurrentIndex(index);
    m_tree->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void FolderChooser::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Scrolling before the first layout has no effect; do it again once the tree has its size.
    if (m_tree->currentIndex().isValid())
        m_tree->scrollTo(m_tree->currentIndex(), QAbstractItemView::PositionAtCenter);
}

void FolderChooser::driveChosen(int index) {
    const QString root = m_drives->itemData(index).toString();
    showDrive(root);
    setFolder(root);
}

void FolderChooser::followFolder() {
    const QModelIndex current = m_tree->currentIndex();
    if (!current.isValid())
        return;
    const QString path = m_model->filePath(m_filter->mapToSource(current));
    m_tree->expand(current);
    if (path.isEmpty() || path == m_folder)
        return;
    m_folder = path;
    emit folderChanged(m_folder);
}

PathLabel::PathLabel(QWidget* parent) : QLabel(parent) {
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, Qt::blue);
    setPalette(p);
}

void PathLabel::setPath(const QString& path) {
    m_path = path;
    // A zero-width space after each separator gives the wrap somewhere to break.
    QString shown = QDir::toNativeSeparators(path);
    shown.replace(QDir::separator(), QString(QDir::separator()) + QChar(0x200B));
    setText(shown);
}

} // namespace tenvora::ui

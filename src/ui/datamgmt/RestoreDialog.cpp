// RestoreDialog: the restore dialog of "数据恢复".
#include "datamgmt/RestoreDialog.h"

#include "MessageBox.h"
#include "Settings.h"
#include "data/DataModule.h"
#include "datamgmt/DataFileCopies.h"
#include "datamgmt/FolderChooser.h"
#include "shell/HelpWindow.h"
#include "shell/UiStyle.h"

#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QVBoxLayout>

namespace tenvora::ui {

namespace {

// Data files first: a backup or bid disk carries ".tr", as the dialogs name them.
class DataFilesFirst : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override {
        const auto* files = static_cast<const QFileSystemModel*>(sourceModel());
        const bool leftData = files->fileName(left).endsWith(QStringLiteral(".tr"), Qt::CaseInsensitive);
        const bool rightData = files->fileName(right).endsWith(QStringLiteral(".tr"), Qt::CaseInsensitive);
        if (leftData != rightData)
            return leftData;
        return QString::localeAwareCompare(files->fileName(left), files->fileName(right)) < 0;
    }
};

} // namespace

RestoreDialog::RestoreDialog(DataModule& dm, QWidget* parent) : QDialog(parent), m_dm(dm) {
    setObjectName(QStringLiteral("DataRestForm"));
    setWindowTitle(QStringLiteral("数据恢复"));
    SetHelpPage(this, QStringLiteral("restore.html"));
    setFont(SongFont(16));

    m_prompt = new QLabel(QStringLiteral("请选择原数据的路径:"), this);
    m_chooser = new FolderChooser(this);

    // Ordinary files of any name; hidden and system files stay out of the list.
    m_fileModel = new QFileSystemModel(this);
    m_fileModel->setFilter(QDir::Files);
    m_fileModel->setReadOnly(true);
    m_order = new DataFilesFirst(this);
    m_order->setSourceModel(m_fileModel);
    m_order->sort(0, Qt::AscendingOrder);
    m_files = new QTreeView(this);
    m_files->setObjectName(QStringLiteral("FileListBox1"));
    m_files->setModel(m_order);
    m_files->setRootIsDecorated(false);
    m_files->setItemsExpandable(false);
    m_files->setUniformRowHeights(true);
    m_files->setSelectionMode(QAbstractItemView::SingleSelection);
    m_files->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_files->hideColumn(2); // the kind of file says nothing here
    m_files->header()->setStretchLastSection(false);
    m_files->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_files->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_files->header()->setSectionResizeMode(3, QHeaderView::ResizeToContents);

    m_chosen = new PathLabel(this);
    m_chosen->setObjectName(QStringLiteral("Label2"));
    m_chosen->setMinimumHeight(3 * fontMetrics().height());
    m_chosen->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_restore = new QPushButton(QStringLiteral("恢复(&R)"), this);
    m_restore->setObjectName(QStringLiteral("BitBtn1"));
    m_close = new QPushButton(QStringLiteral("关闭(&C)"), this);
    m_close->setObjectName(QStringLiteral("BitBtn2"));
    m_close->setAutoDefault(false);

    auto* lists = new QHBoxLayout;
    lists->addWidget(m_chooser, 2);
    lists->addWidget(m_files, 3);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_restore);
    buttons->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_prompt);
    layout->addLayout(lists, 1);
    layout->addWidget(new QLabel(QStringLiteral("选择的数据库备份文件："), this));
    layout->addWidget(m_chosen);
    layout->addLayout(buttons);
    FitToScreen(this, QSize(680, 560));
    KeepWindowGeometry(this, QStringLiteral("restore"));

    connect(m_chooser, &FolderChooser::folderChanged, this, &RestoreDialog::listFolder);
    connect(m_files->selectionModel(), &QItemSelectionModel::selectionChanged, this, &RestoreDialog::showChosenFile);
    connect(m_restore, &QPushButton::clicked, this, &RestoreDialog::restore);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    listFolder(m_chooser->folder());
}

QString RestoreDialog::selectedFile() const {
    const QModelIndexList selected = m_files->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QString() : m_fileModel->filePath(m_order->mapToSource(selected.first()));
}

bool RestoreDialog::selectFile(const QString& fileName) {
    const QModelIndex root = m_files->rootIndex();
    for (int row = 0; row < m_order->rowCount(root); ++row) {
        const QModelIndex index = m_order->index(row, 0, root);
        if (m_fileModel->fileName(m_order->mapToSource(index)) == fileName) {
            m_files->selectionModel()->setCurrentIndex(index,
                                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            return true;
        }
    }
    return false;
}

void RestoreDialog::listFolder(const QString& folder) {
    m_files->clearSelection();
    m_fileModel->setRootPath(folder);
    m_files->setRootIndex(m_order->mapFromSource(m_fileModel->index(folder)));
    showChosenFile();
}

void RestoreDialog::showChosenFile() {
    m_chosen->setPath(selectedFile());
}

void RestoreDialog::restore() {
    // Refused or failed, the current data file is unchanged; the user may pick another file.
    Guarded(this, [this] {
        // The file replaces all that was priced: the user sees what it holds first (default 否).
        const QString source = selectedFile();
        const RestoreSource facts = DataFileCopies(m_dm).describeRestoreSource(source);
        if (!MessageBox::question(this, DataFileCopies::confirmRestoreText(facts, m_dm.dataFilePath()), windowTitle(),
                                  false))
            return;
        const QString done = DataFileCopies(m_dm).restore(source);
        MessageBox::information(this, done);
        accept();
    });
}

} // namespace tenvora::ui

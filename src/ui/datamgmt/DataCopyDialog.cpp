// DataCopyDialog: the backup dialog, serving "数据备份" and "生成投标盘".
#include "datamgmt/DataCopyDialog.h"

#include "MessageBox.h"
#include "Settings.h"
#include "data/DataModule.h"
#include "data/FileNames.h"
#include "datamgmt/DataFileCopies.h"
#include "datamgmt/FolderChooser.h"
#include "shell/HelpWindow.h"
#include "shell/UiStyle.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>

namespace tenvora::ui {

DataCopyDialog::DataCopyDialog(DataModule& dm, CopyKind kind, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_kind(kind) {
    setObjectName(QStringLiteral("DataBakForm"));
    const bool bidDisk = kind == CopyKind::BidDisk;
    setWindowTitle(bidDisk ? QStringLiteral("生成投标盘") : QStringLiteral("数据备份"));
    SetHelpPage(this, bidDisk ? QStringLiteral("backup.html#biddisk") : QStringLiteral("backup.html"));
    setFont(SongFont(16));

    m_prompt =
        new QLabel(bidDisk ? QStringLiteral("请选择生成投标盘的路径:") : QStringLiteral("请选择数据备份的路径:"), this);
    m_chooser = new FolderChooser(this);
    m_fileName = new QLineEdit(this);
    m_fileName->setObjectName(QStringLiteral("Edit1"));
    m_target = new PathLabel(this);
    m_target->setObjectName(QStringLiteral("Label3"));
    m_ok = new QPushButton(QStringLiteral("确定(&O)"), this);
    m_ok->setObjectName(QStringLiteral("BitBtn1"));
    m_ok->setDefault(true);
    m_close = new QPushButton(QStringLiteral("关闭(&C)"), this);
    m_close->setObjectName(QStringLiteral("BitBtn2"));
    m_close->setAutoDefault(false);

    // Said before the copy, which replaces a file of that name as a copy always has.
    m_replaceNotice = new QLabel(replaceNoticeText(), this);
    m_replaceNotice->setObjectName(QStringLiteral("replaceNotice"));
    m_replaceNotice->setWordWrap(true);
    {
        QPalette p = m_replaceNotice->palette();
        p.setColor(QPalette::WindowText, QColor(192, 0, 0));
        m_replaceNotice->setPalette(p);
    }
    m_replaceNotice->hide();

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("文件名："), this), 0, 0);
    fields->addWidget(m_fileName, 0, 1);
    auto* chosen = new QLabel(QStringLiteral("选定的文件："), this);
    fields->addWidget(chosen, 1, 0, Qt::AlignTop);
    fields->addWidget(m_target, 1, 1);
    fields->addWidget(m_replaceNotice, 2, 1);
    fields->setColumnStretch(1, 1);
    // Room for a long path on two or three lines without the dialog jumping in size.
    m_target->setMinimumHeight(3 * fontMetrics().height());
    m_target->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_prompt);
    layout->addWidget(m_chooser, 1);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    FitToScreen(this, QSize(560, 600));
    KeepWindowGeometry(this, QStringLiteral("backup"));

    // The folder of the last copy of this kind, where the user keeps them; else where the
    // process stands.
    const QString last = OpenSettings()->value(folderKey()).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir())
        m_chooser->setFolder(last);

    connect(m_chooser, &FolderChooser::folderChanged, this, &DataCopyDialog::showTargetPath);
    connect(m_fileName, &QLineEdit::textChanged, this, &DataCopyDialog::showTargetPath);
    connect(m_ok, &QPushButton::clicked, this, &DataCopyDialog::copy);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);

    // A name that says what the copy is, selected so that typing replaces it.
    const SessionValues& session = m_dm.session();
    m_fileName->setText(bidDisk ? ProposedBidDiskName(session.CurContractID, QDate::currentDate())
                                : ProposedBackupName(m_dm.dataFilePath(), QDateTime::currentDateTime()));
    m_fileName->selectAll();
    m_fileName->setFocus();
}

QString DataCopyDialog::doneText(const QString& done, const QString& target) {
    return QStringLiteral("%1\n%2").arg(done, QDir::toNativeSeparators(target));
}

QString DataCopyDialog::folderKey() const {
    return m_kind == CopyKind::BidDisk ? QStringLiteral("folders/bidDisk") : QStringLiteral("folders/backup");
}

QString DataCopyDialog::replaceNoticeText() {
    return QStringLiteral("该文件已存在，确定后将被替换。");
}

void DataCopyDialog::showTargetPath() {
    const QString target = DataFileCopies::TargetPath(m_chooser->folder(), m_fileName->text());
    m_target->setPath(target);
    m_replaceNotice->setVisible(!m_fileName->text().isEmpty() && QFileInfo(target).isFile());
}

void DataCopyDialog::copy() {
    // A file that appeared after the name was given is announced first, not replaced unseen.
    const bool announced = !m_replaceNotice->isHidden();
    showTargetPath();
    if (!m_replaceNotice->isHidden() && !announced)
        return;
    // Refused or failed, the dialog stays: the user may fix the name or pick another folder.
    Guarded(this, [this] {
        const QString done = DataFileCopies(m_dm, m_kind).backup(m_chooser->folder(), m_fileName->text());
        OpenSettings()->setValue(folderKey(), m_chooser->folder());
        MessageBox::information(this,
                                doneText(done, DataFileCopies::TargetPath(m_chooser->folder(), m_fileName->text())));
        accept();
    });
}

} // namespace tenvora::ui

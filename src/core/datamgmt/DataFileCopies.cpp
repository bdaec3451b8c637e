#include "datamgmt/DataFileCopies.h"

#include "boq/BidCheck.h"
#include "data/AppPaths.h"
#include "data/DataFileLock.h"
#include "data/DataModule.h"
#include "data/Database.h"
#include "data/SystemErrorText.h"
#include "datamgmt/FileCopy.h"

#include <QDir>
#include <QFileInfo>

namespace tenvora {

namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

bool endsWithSeparator(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) || folder.endsWith(QDir::separator());
}

// Opens the file read-only and reads every page: the open alone no longer reads the whole file,
// and a copy is the place where a damaged page must be caught. Throws DataFileError.
void verifyWholeFile(const QString& path) {
    Database db = Database::open(path, DataFileKey(), Database::Mode::Verify);
    db.checkIntegrity();
}

// A restore source that is not even a file is refused before anything reads it.
void requireRestoreFile(const QString& source) {
    if (const QString kind = NotAFileKind(source); !kind.isEmpty())
        throw Refused(
            QStringLiteral("所选的 %1 是一个%2，不是数据库文件，当前数据文件没有被替换。").arg(native(source), kind));
    if (source.isEmpty() || !QFileInfo(source).isFile())
        throw Refused(DataFileCopies::missingRestoreFileText());
}

QString notADataFileText(const QString& reason) {
    return QStringLiteral("所选文件不是本系统可用的数据文件，当前数据文件没有被替换。\n%1").arg(reason);
}

QString sizeText(qint64 bytes) {
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(QString::number((bytes + 1023) / 1024));
    return QStringLiteral("%1 MB").arg(QString::number(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', 1));
}

} // namespace

// ---- ConnectionPause ----

ConnectionPause::ConnectionPause(DataModule& dm) : m_dm(dm) {
    m_dm.closeConnection();
}

ConnectionPause::~ConnectionPause() {
    if (m_reopened)
        return;
    try {
        m_dm.reopenConnection();
    } catch (const Error&) {
        // The error already on its way out matters more; the next reopen reports this one.
    }
}

void ConnectionPause::reopen() {
    m_reopened = true;
    m_dm.reopenConnection();
    m_dm.LoadCurrentContract();
}

// ---- DataFileCopies ----

DataFileCopies::DataFileCopies(DataModule& dm, CopyKind kind) : m_dm(dm), m_kind(kind) {}

QString DataFileCopies::TargetPath(const QString& folder, const QString& fileName) {
    // Without a folder the name stands alone, as it did when the folder text was too short.
    if (folder.isEmpty() || endsWithSeparator(folder))
        return folder + fileName;
    return folder + QLatin1Char('/') + fileName;
}

QString DataFileCopies::SafetyCopyPath(const QString& dataFilePath) {
    return dataFilePath + QStringLiteral(".before-restore");
}

QString DataFileCopies::emptyNameText() {
    return QStringLiteral("请输入备份文件名!!!");
}

QString DataFileCopies::backupDoneText() {
    return QStringLiteral("数据文件: 备份完毕!!!");
}

QString DataFileCopies::bidDiskDoneText() {
    return QStringLiteral("投标数据盘生成完毕!!!");
}

QString DataFileCopies::missingRestoreFileText() {
    return QStringLiteral("数据库文件 不存在，请检查路径是否正确!!!");
}

QString DataFileCopies::restoreDoneText() {
    return QStringLiteral("数据库 恢复完毕!!!");
}

void DataFileCopies::requireClosedConnection() const {
    // Copying a file the store holds open could catch it half-way through a write.
    if (m_dm.isConnected())
        throw Error(QStringLiteral("数据文件正在使用中，请先关闭数据库连接再复制"));
    // So could a copy while another program works on it; and a restore under it would leave that
    // program writing into the replaced file.
    if (const std::optional<DataFileHolder> holder = DataFileLock::otherHolder(m_dm.dataFilePath()))
        throw Refused(DataFileLock::busyText(m_dm.dataFilePath(), *holder));
}

QString DataFileCopies::backup(const QString& folder, const QString& fileName) {
    if (fileName.isEmpty())
        throw Refused(emptyNameText());
    return backupTo(TargetPath(folder, fileName));
}

QString DataFileCopies::backupTo(const QString& target) {
    requireClosedConnection();
    const QString source = m_dm.dataFilePath();
    if (!QFileInfo(source).isFile())
        throw Refused(QStringLiteral("数据文件 %1 不存在，无法备份").arg(native(source)));
    try {
        // A damaged copy would replace what may be the last sound backup of that name. The file is
        // checked before it is copied: the connection is closed and the lock keeps others out.
        try {
            verifyWholeFile(source);
        } catch (const DataFileError&) {
            throw Error(QStringLiteral("数据文件 %1 已损坏，没有复制；%2 没有被改动。请从完好的备份恢复数据文件。")
                            .arg(native(source), native(target)));
        }
        StagedFileCopy staged(source, target);
        staged.commit();
    } catch (const Error& e) {
        throw Error(QStringLiteral("备份没有完成：%1").arg(e.text()));
    }
    return bidDiskMode() ? bidDiskDoneText() : backupDoneText();
}

QString DataFileCopies::restore(const QString& source) {
    requireClosedConnection();
    if (const QString kind = NotAFileKind(source); !kind.isEmpty())
        throw Refused(
            QStringLiteral("所选的 %1 是一个%2，不是数据库文件，当前数据文件没有被替换。").arg(native(source), kind));
    if (source.isEmpty() || !QFileInfo(source).isFile())
        throw Refused(missingRestoreFileText());

    // Any file could be selected; only a sound data file of the system may replace the current one.
    try {
        verifyWholeFile(source);
    } catch (const DataFileError& e) {
        throw Refused(QStringLiteral("所选文件不是本系统可用的数据文件，当前数据文件没有被替换。\n%1").arg(e.text()));
    }

    const QString dataFile = m_dm.dataFilePath();
    try {
        // Staged before the safety copy is written, so restoring the safety copy itself still works.
        StagedFileCopy staged(source, dataFile);
        if (QFileInfo(dataFile).isFile())
            CopyFileReplacing(dataFile, SafetyCopyPath(dataFile));
        staged.commit();
    } catch (const Error& e) {
        throw Error(QStringLiteral("恢复没有完成，当前数据文件没有改变：%1").arg(e.text()));
    }
    return restoreDoneText();
}

RestoreSource DataFileCopies::describeRestoreSource(const QString& source) const {
    requireRestoreFile(source);
    RestoreSource facts;
    facts.path = source;
    const QFileInfo info(source);
    facts.size = info.size();
    facts.modified = info.lastModified();
    try {
        Database db = Database::open(source, DataFileKey(), Database::Mode::Verify);
        Statement projects = db.prepare(QStringLiteral("select 项目名称 from jd_xiangmu order by ID"));
        while (projects.next())
            facts.projects << projects.value(0).toString();
        Statement contracts =
            db.prepare(QStringLiteral("select coalesce(nullif(合同名称, ''), ID) from jd_hetong order by ID"));
        while (contracts.next())
            facts.contracts << contracts.value(0).toString();
    } catch (const DataFileError& e) {
        throw Refused(notADataFileText(e.text()));
    } catch (const DbError& e) {
        throw Refused(notADataFileText(e.text()));
    }
    return facts;
}

QString DataFileCopies::confirmRestoreText(const RestoreSource& source, const QString& dataFile) {
    const QString none = QStringLiteral("（没有）");
    return QStringLiteral("用所选文件替换当前数据文件吗？\n\n"
                          "所选文件：%1\n大小：%2，修改于 %3\n项目：%4\n合同段：%5\n\n"
                          "当前数据文件 %6 将保留为 %7。")
        .arg(native(source.path), sizeText(source.size), source.modified.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
             source.projects.isEmpty() ? none : source.projects.join(QStringLiteral("、")),
             source.contracts.isEmpty() ? none : source.contracts.join(QStringLiteral("、")), native(dataFile),
             native(SafetyCopyPath(dataFile)));
}

void WithDataFileClosed(DataModule& dm, const std::function<void()>& work) {
    ConnectionPause pause(dm);
    work();
    pause.reopen();
}

BidCheckResult CheckBeforeBidDisk(DataModule& dm) {
    return BidCheck(dm).run();
}

} // namespace tenvora

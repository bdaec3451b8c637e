#include "datamgmt/DataFileCopies.h"

#include "data/AppPaths.h"
#include "data/DataFileLock.h"
#include "data/DataModule.h"
#include "data/Database.h"
#include "datamgmt/FileCopy.h"
#include "pricing/PricingSchema.h"

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

// Drops the cost tables from the staged copy, rewrites it so that none of their pages stays in
// the file, and checks every page again.
void leaveOutCosts(const QString& stage) {
    Database db = Database::open(stage, DataFileKey());
    // No journal beside the stage: a kill would leave it where no later copy looks for stages.
    db.exec(QStringLiteral("PRAGMA journal_mode=MEMORY"));
    if (PricingSchema::drop(db))
        db.exec(QStringLiteral("VACUUM"));
    db.checkIntegrity();
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

DataFileCopies::DataFileCopies(DataModule& dm) : m_dm(dm) {}

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

bool DataFileCopies::bidDiskMode() const {
    return m_dm.session().BakMode == QLatin1String("2");
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
        if (bidDiskMode() && !m_withCosts)
            leaveOutCosts(staged.namedStage());
        staged.commit();
    } catch (const Error& e) {
        throw Error(QStringLiteral("备份没有完成：%1").arg(e.text()));
    }
    return bidDiskMode() ? bidDiskDoneText() : backupDoneText();
}

QString DataFileCopies::restore(const QString& source) {
    requireClosedConnection();
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

} // namespace tenvora

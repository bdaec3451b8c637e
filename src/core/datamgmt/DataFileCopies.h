// Backup, bid disk and restore: whole-file copies of the data file made with the connection closed.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

namespace tenvora {

class DataModule;
struct BidCheckResult;

// What a copy of the data file is for: a backup the bidder keeps, or the bid disk handed in.
enum class CopyKind { Backup, BidDisk };

// Closes the data module's connection for as long as the data file is being copied.
class ConnectionPause {
public:
    explicit ConnectionPause(DataModule& dm);
    ConnectionPause(const ConnectionPause&) = delete;
    ConnectionPause& operator=(const ConnectionPause&) = delete;
    // Reopens quietly when reopen() was not reached (the caller is already failing).
    ~ConnectionPause();

    // Opens the connection on whatever file now lies at the data file path and reloads the
    // current contract. Throws DataFileError when that file cannot be opened.
    void reopen();

private:
    DataModule& m_dm;
    bool m_reopened = false;
};

// What a restore would put in place of the data file, shown before it is done.
struct RestoreSource {
    QString path;
    QStringList projects;  // 项目名称 of jd_xiangmu
    QStringList contracts; // 合同名称 (or ID) of jd_hetong
    qint64 size = 0;
    QDateTime modified;
};

class DataFileCopies {
public:
    // The data module's connection must be closed while these copies run.
    explicit DataFileCopies(DataModule& dm, CopyKind kind = CopyKind::Backup);

    // The folder, a separator unless the folder already ends with one (a root such as "/"),
    // then the file name exactly as typed; no extension is added.
    static QString TargetPath(const QString& folder, const QString& fileName);
    // Where a restore keeps the data file it replaces, so that a wrong restore can be undone.
    static QString SafetyCopyPath(const QString& dataFilePath);

    static QString emptyNameText();
    static QString backupDoneText();
    static QString bidDiskDoneText();
    static QString missingRestoreFileText();
    static QString restoreDoneText();

    bool bidDiskMode() const { return m_kind == CopyKind::BidDisk; }

    // "确定" of the backup dialog: copies the data file to TargetPath(folder, fileName), replacing a
    // file of that name, and returns the completion message for the mode. Throws Refused for an
    // empty name or a missing data file, Error when the copy fails or reads back damaged (the
    // whole copy is checked before it replaces anything; nothing half-written is left).
    QString backup(const QString& folder, const QString& fileName);
    QString backupTo(const QString& target);

    // "恢复": checks that the file is a sound data file of the system (every page), keeps the current data file as
    // SafetyCopyPath(), then puts the chosen file in its place. Throws Refused (missing file, not a
    // data file) or Error (a copy failed); in both cases the current data file is unchanged.
    QString restore(const QString& source);
    // What the chosen file holds, for the question before the restore; throws Refused as restore()
    // does for a file that is missing, no file, or no data file of the system.
    RestoreSource describeRestoreSource(const QString& source) const;
    // "用所选文件替换当前数据文件吗？" with the file's projects, contracts, size and date.
    static QString confirmRestoreText(const RestoreSource& source, const QString& dataFile);

private:
    void requireClosedConnection() const;

    DataModule& m_dm;
    CopyKind m_kind;
};

// The steps every front end takes for 数据备份, 生成投标盘 and 数据恢复 once what was typed is
// saved: the connection closed, work done on the closed file (a copy, or the dialog that makes
// one), then the file opened again and the current contract reloaded, whatever work did. Throws
// what work throws, or DataFileError when the file cannot be opened again.
void WithDataFileClosed(DataModule& dm, const std::function<void()>& work);

// The bid check that comes before a bid disk, on the session's current contract.
BidCheckResult CheckBeforeBidDisk(DataModule& dm);

} // namespace tenvora

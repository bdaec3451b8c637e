// Backup, bid disk and restore: whole-file copies of the data file made with the connection closed.
#pragma once

#include <QString>

namespace tenvora {

class DataModule;

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

class DataFileCopies {
public:
    // The data module's connection must be closed while these copies run.
    explicit DataFileCopies(DataModule& dm);

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

    // BakMode "2" is the bid disk; any other value means backup.
    bool bidDiskMode() const;
    // The bid disk goes to the owner: it leaves the bidder's cost tables (the resource library,
    // the build-ups and the fees) out, unless they are asked for here. Backups keep everything.
    void setBidDiskWithCosts(bool withCosts) { m_withCosts = withCosts; }

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

private:
    void requireClosedConnection() const;

    DataModule& m_dm;
    bool m_withCosts = false;
};

} // namespace tenvora

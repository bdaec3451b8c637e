// Files written whole or not at all: copies and written files that never leave a half-written
// target, or a half-made file, behind.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

class QIODevice;

namespace tenvora {

// A file written beside its target and put in its place by commit() in one rename, so a failed
// or interrupted write leaves the target as it was. Every write is checked, the file is flushed
// to the disk before it takes the target's name, and every failure throws Error naming the
// target and the cause ("磁盘空间已满"). Where the system allows, the stage has no name until
// commit(), so even a kill leaves nothing; elsewhere it bears a short name that tells its owner,
// and the next write into that folder removes the stages of owners that are gone.
class StagedFile {
public:
    // Refuses (Refused) a target that is no file name (see CheckTargetFileName), and throws Error
    // when the folder is missing or no file can be made in it.
    explicit StagedFile(const QString& target);
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile();

    const QString& target() const { return m_target; }

    // Appends to the stage (buffered); throws Error when the disk refuses.
    void write(QByteArrayView bytes);
    // The stage as a device, for writers that take one (a PDF writer). Such writers do not look at
    // what their writes return: a failure is kept and reported by commit().
    QIODevice& device();
    // A path by which a library that opens files by name may write the stage (and only that:
    // it is valid until commit()). The stage keeps no name of its own where the system allows.
    QString pathForWriting();

    // Puts everything written on the disk; throws Error when any write failed. Several files that
    // must appear together are each flushed before the first is committed.
    void flush();
    // Flushes the stage and replaces the target (an existing file of that name included) with
    // it. Throws Error, the target untouched, when any write failed.
    void commit();

    // The permissions the file gets when it is put in place (by default those of a new file).
    void setMode(unsigned mode) { m_mode = mode; }

    // Used by StagedFileCopy: the descriptor of the stage and the text of a failed write.
    int descriptor() const { return m_fd; }
    [[noreturn]] void failWrite(int error) const;

private:
    class Device;
    void flushBuffer();
    void discard();

    QString m_target;
    QString m_stage; // the stage's name; an unnamed stage takes it only during commit()
    int m_fd = -1;
    bool m_unnamed = false;
    bool m_committed = false;
    int m_writeError = 0; // the first failed write, reported by commit()
    unsigned m_mode = 0644;
    QByteArray m_buffer;
    std::unique_ptr<Device> m_device;
};

// A copy of a file staged beside the target, flushed to the disk and read back before commit()
// puts it in place in one rename (see StagedFile).
class StagedFileCopy {
public:
    StagedFileCopy(const QString& source, const QString& target);
    StagedFileCopy(const StagedFileCopy&) = delete;
    StagedFileCopy& operator=(const StagedFileCopy&) = delete;
    ~StagedFileCopy();

    const QString& target() const { return m_file->target(); }
    // Replaces the target (an existing file of that name included) with the staged copy.
    void commit();

private:
    void copyFrom(const QString& source);

    std::unique_ptr<StagedFile> m_file;
};

// A new file built by its name before it takes the place of target: the stage bears the name a
// copy's stage bears (StageNameFor), so the next copy into that folder removes it should the process
// die first. The caller creates and fills the file at path() (a store opened on it may change it
// there); commit() puts it in place in one rename; without commit() the file is removed.
class NamedStage {
public:
    // Throws Error when the target's folder is missing or the target is a folder.
    explicit NamedStage(const QString& target);
    NamedStage(const NamedStage&) = delete;
    NamedStage& operator=(const NamedStage&) = delete;
    ~NamedStage();

    const QString& path() const { return m_stage; }
    const QString& target() const { return m_target; }
    // Replaces the target (an existing file of that name included) with the stage.
    void commit();

private:
    QString m_target;
    QString m_stage;
    bool m_committed = false;
};

// Copies source over target, replacing a file of that name without asking.
void CopyFileReplacing(const QString& source, const QString& target);
// Writes the bytes as the file target, replacing a file of that name only when all were written.
void WriteFileReplacing(const QString& target, QByteArrayView bytes);

// Refuses (Refused, naming it) what cannot be the name of a file to write: an empty name, a
// name ending in a separator or in "." or "..", a folder, and a path that names something that
// is not an ordinary file (a device, a pipe), which a rename would replace.
void CheckTargetFileName(const QString& path);

// The name a stage for target takes in its folder: hidden, short whatever the target's length,
// and naming its host and process.
QString StageNameFor(const QString& target);
// Removes the stages in the folder whose owner on this host is no longer running (the naming
// of StageNameFor and the earlier ".NAME.part-HOST-PID-XXXXXX"), and stages of the earliest
// naming (".NAME.XXXXXX") of `target` that are older than an hour. Returns how many it removed.
int RemoveAbandonedStages(const QString& folder, const QString& target = {});

} // namespace tenvora

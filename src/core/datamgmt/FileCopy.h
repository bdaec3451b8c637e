// Whole-file copies that never leave a half-written target behind.
#pragma once

#include <QByteArray>
#include <QString>

namespace tenvora {

// A copy of a file staged in a hidden temporary file beside the target. The bytes are flushed to
// the disk and read back before commit() renames the stage over the target in one step, so an
// interrupted or failed copy leaves the target as it was. The stage is removed unless committed.
// Every failure throws Error with the path and the system's reason.
class StagedFileCopy {
public:
    StagedFileCopy(const QString& source, const QString& target);
    StagedFileCopy(const StagedFileCopy&) = delete;
    StagedFileCopy& operator=(const StagedFileCopy&) = delete;
    ~StagedFileCopy();

    const QString& stagedPath() const { return m_stage; }
    const QString& target() const { return m_target; }
    // Replaces the target (an existing file of that name included) with the staged copy.
    void commit();

private:
    void copyInto(const QString& source);

    QString m_target;
    QString m_stage;
    QByteArray m_digest;
    bool m_committed = false;
};

// Copies source over target, replacing a file of that name without asking.
void CopyFileReplacing(const QString& source, const QString& target);

} // namespace tenvora

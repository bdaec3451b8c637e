// Whole-file copies that never leave a half-written target, or a half-made copy, behind.
#pragma once

#include <QByteArray>
#include <QString>

namespace tenvora {

// A copy of a file staged beside the target, flushed to the disk and read back before commit()
// puts it in place in one rename, so an interrupted or failed copy leaves the target as it was.
// Where the system allows, the stage has no name until commit(), so even a kill leaves nothing;
// elsewhere it bears a name that tells its owner, and the next copy into that folder removes
// the stages of owners that are gone. Every failure throws Error with the path and the reason.
class StagedFileCopy {
public:
    StagedFileCopy(const QString& source, const QString& target);
    StagedFileCopy(const StagedFileCopy&) = delete;
    StagedFileCopy& operator=(const StagedFileCopy&) = delete;
    ~StagedFileCopy();

    const QString& target() const { return m_target; }
    // Replaces the target (an existing file of that name included) with the staged copy.
    void commit();

private:
    void copyFrom(const QString& source);
    void discard();

    QString m_target;
    QString m_stage; // the stage's name; an unnamed stage takes it only during commit()
    int m_fd = -1;
    bool m_unnamed = false;
    bool m_committed = false;
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

// The name a stage for target takes in its folder: hidden, and naming its host and process.
QString StageNameFor(const QString& target);
// Removes the stages in the folder whose owner on this host is no longer running, and stages of
// the earlier naming (".NAME.XXXXXX") of `target` that are older than an hour.
// Returns how many it removed.
int RemoveAbandonedStages(const QString& folder, const QString& target = {});

} // namespace tenvora

// One program at a time on a data file: a lock file beside it naming the holder.
#pragma once

#include <QString>

#include <chrono>
#include <optional>

namespace tenvora {

// Who holds a data file, as its lock file says.
struct DataFileHolder {
    qint64 pid = 0;
    QString host;
    QString program;
};

// "<data file>.lock", held with the system's file lock for as long as this object holds it.
// The system lets go of that lock when the holder ends in any way (a kill included), so a lock
// file left behind by a program that is gone is stale and is simply taken over.
class DataFileLock {
public:
    explicit DataFileLock(QString dataFilePath);
    DataFileLock(const DataFileLock&) = delete;
    DataFileLock& operator=(const DataFileLock&) = delete;
    ~DataFileLock();

    // Takes the lock, trying again until `wait` has passed. Throws DataFileError with
    // busyText() while another program holds it, or naming the folder when no lock file can
    // be made there.
    void acquire(std::chrono::milliseconds wait = std::chrono::milliseconds(0));
    bool isHeld() const { return m_fd >= 0; }
    void release();

    static QString lockPathFor(const QString& dataFilePath);
    // The program that holds the data file now, unless it is free or held by this process.
    static std::optional<DataFileHolder> otherHolder(const QString& dataFilePath);
    static QString busyText(const QString& dataFilePath, const DataFileHolder& holder);

private:
    // One attempt: true when taken, false while another holds it; throws when no lock file can be made.
    bool tryTake();

    QString m_dataFile;
    QString m_lockFile;
    int m_fd = -1;
};

} // namespace tenvora

// Checks of a data file's shape and access made before the store is asked to open it, and the
// identity that tells whether the path still names the file a connection writes to.
#pragma once

#include <QByteArray>
#include <QString>

namespace tenvora {

// The store's pages are 1024 bytes long with the file's cipher settings; a file of another
// length was cut short (an interrupted copy, a full disk).
inline constexpr qint64 kDataFilePageSize = 1024;

// Refuses, with DataFileError naming the file and the cause, a data file that is missing,
// empty, unreadable, not a whole number of pages long, or, when forWriting, one the program
// could not save into (read-only file, read-only file system, folder without write access:
// the store writes its journal beside the file).
void ProbeDataFile(const QString& path, bool forWriting);

// The file a path named at one moment. A copy or restore that puts another file at the path
// (rename over it, delete and copy) changes the identity, while the connection would go on
// writing into the old, deleted file.
class DataFileIdentity {
public:
    static DataFileIdentity of(const QString& path);
    // True while the path still names the same file (always true where it cannot be told).
    bool stillAtPath() const;

private:
    QByteArray m_path;
    quint64 m_device = 0;
    quint64 m_inode = 0;
    bool m_known = false;
};

} // namespace tenvora

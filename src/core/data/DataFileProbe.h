// Checks of a data file's shape and access made before the store is asked to open it.
#pragma once

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

// The store's rollback journal beside a data file.
QString JournalPathFor(const QString& dataFile);
// True when a change to the file was interrupted (a kill, a crash, a power cut): its journal is
// still there, whole, and no program is in the middle of that change. Any open that may write
// undoes it; an open that may not cannot read the file until then.
bool HasHotJournal(const QString& dataFile);

} // namespace tenvora

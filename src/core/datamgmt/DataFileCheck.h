// "tenvora check-file": whether a data file is sound, every page read.
#pragma once

#include <QString>

namespace tenvora {

// Reads and checks every page of the file, its key and its tables, without logging in and
// without changing the file, but for this: a change that a kill or a crash interrupted (its
// journal left beside the file) is first undone, as any open that may write undoes it, and
// said so; where the file may not be written it is undone on a private copy instead, and the
// text says that the next open that may write will undo it. Returns the verdict ("数据文件 …
// 完好", with that note); throws DataFileError naming the file and what is wrong.
QString CheckDataFile(const QString& path);

} // namespace tenvora

// Where the program finds its data file.
#pragma once

#include <QByteArray>
#include <QString>

namespace tenvora {

// The program's own path with its extension replaced by ".tr" (or ".tr" appended when it has none).
QString DataFilePathFor(const QString& programPath);
// The data file of the workbench that lives in the given folder.
QString DefaultDataFileIn(const QString& folder);
// The key the data files are encrypted with.
QByteArray DataFileKey();

inline constexpr const char* kWorkbenchProgramName = "VORQEL";

} // namespace tenvora

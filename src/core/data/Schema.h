// The eight tables of the data file: the one place their definitions live.
#pragma once

#include <QString>
#include <QStringList>

namespace tenvora {

class Database;

namespace Schema {

// Table names in the order they are created and checked.
QStringList tableNames();
// Columns the program reads or writes in a table; a file must hold at least these.
QStringList requiredColumns(const QString& table);
// Creates every table of a new data file.
void create(Database& db);
// What a file lacks to be a data file of the system (a table of the model that is a view counts),
// as a readable list; empty when nothing.
QString missingParts(Database& db);
// The indexes the program's lists and sums rely on; harmless on a file that has them.
void ensureIndexes(Database& db);

} // namespace Schema
} // namespace tenvora

// The tables of the owner's own beside the eight of the data file. The bidder's side neither needs
// nor reads them, so a file that lacks them is still a data file; the owner's commands add them
// where they are missing.
//
//   tenvora_project    (项目ID TEXT, 建设单位 TEXT)          the builder of a project (tender file only)
//   tenvora_issue      (issue_id TEXT, issued_at TEXT, fingerprint_scheme INTEGER)
//   tenvora_issue_unit (issue_id TEXT, unit TEXT, file TEXT)
//   tenvora_issue_bill (issue_id TEXT, contract_id TEXT, lines INTEGER, bill_fingerprint TEXT,
//                       daywork_items INTEGER, daywork_fingerprint TEXT)
//
// The three issue tables are the issue record (IssueRecord.h); an issued copy holds them with its
// own issue and unit only, and no tenvora_project.
#pragma once

#include <QStringList>

namespace tenvora {

class Database;

namespace OwnerTables {

// The issue tables, in the order they are created.
QStringList issueTableNames();
// Creates whichever of the owner's tables the file lacks.
void ensure(Database& db);
// Creates the issue tables only (an issued copy carries nothing else of the owner's).
void ensureIssueTables(Database& db);

} // namespace OwnerTables
} // namespace tenvora

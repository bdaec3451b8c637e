// What an issue records, and where: the tender file keeps every issue made from it (each copy's
// unit and file name, and the bill of each contract as issued); each issued copy, and so every
// backup and bid disk written from it, keeps its own issue, the one unit it was made for and the
// same bills. The tables are listed in OwnerTables.h; a copy opened read-only
// (Database::Mode::Verify) is read the same way.
#pragma once

#include "owner/BillFingerprint.h"

#include <QList>
#include <QString>

namespace tenvora {

class Database;

struct IssuedUnit {
    QString unit; // the bidder's account (pass.unit) the copy holds
    QString file; // the copy's file name, without folder
};

struct IssueRecord {
    QString issueId;  // a random UUID, one per issue
    QString issuedAt; // UTC, ISO 8601 ("2026-12-08T07:30:00Z")
    int fingerprintScheme = kFingerprintScheme;
    QList<IssuedUnit> units;          // in a copy: exactly one
    QList<ContractFingerprint> bills; // every contract section as issued
};

// The issues the file records, oldest first (by issued_at, then issue_id); empty when it holds
// none (a file that no issue wrote, or one without the tables). Throws the store's error.
QList<IssueRecord> ReadIssueRecords(Database& db);
// Adds the record (its units and bills) to the file as one change; the tables are created where
// missing, which needs a connection that may write.
void WriteIssueRecord(Database& db, const IssueRecord& record);

} // namespace tenvora

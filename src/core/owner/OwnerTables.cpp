#include "owner/OwnerTables.h"

#include "data/Database.h"

namespace tenvora::OwnerTables {

namespace {

const char* const kProjectTable = "CREATE TABLE IF NOT EXISTS tenvora_project (项目ID TEXT, 建设单位 TEXT)";

const char* const kIssueTables[] = {
    "CREATE TABLE IF NOT EXISTS tenvora_issue (issue_id TEXT, issued_at TEXT, fingerprint_scheme INTEGER)",
    "CREATE TABLE IF NOT EXISTS tenvora_issue_unit (issue_id TEXT, unit TEXT, file TEXT)",
    "CREATE TABLE IF NOT EXISTS tenvora_issue_bill (issue_id TEXT, contract_id TEXT, lines INTEGER, "
    "bill_fingerprint TEXT, daywork_items INTEGER, daywork_fingerprint TEXT)",
};

} // namespace

QStringList issueTableNames() {
    return {QStringLiteral("tenvora_issue"), QStringLiteral("tenvora_issue_unit"),
            QStringLiteral("tenvora_issue_bill")};
}

void ensureIssueTables(Database& db) {
    Transaction tx(db);
    for (const char* ddl : kIssueTables)
        db.exec(QString::fromUtf8(ddl));
    tx.commit();
}

void ensure(Database& db) {
    Transaction tx(db);
    db.exec(QString::fromUtf8(kProjectTable));
    ensureIssueTables(db);
    tx.commit();
}

} // namespace tenvora::OwnerTables

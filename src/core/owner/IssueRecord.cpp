#include "owner/IssueRecord.h"

#include "data/Database.h"
#include "owner/OwnerTables.h"

#include <QHash>

namespace tenvora {

QList<IssueRecord> ReadIssueRecords(Database& db) {
    for (const QString& table : OwnerTables::issueTableNames())
        if (db.columnsOf(table).isEmpty())
            return {};
    QList<IssueRecord> records;
    QHash<QString, qsizetype> at;
    {
        Statement st = db.prepare(QStringLiteral(
            "select issue_id, issued_at, fingerprint_scheme from tenvora_issue order by issued_at, issue_id"));
        while (st.next()) {
            IssueRecord r;
            r.issueId = st.value(0).toString();
            r.issuedAt = st.value(1).toString();
            r.fingerprintScheme = st.value(2).toInt();
            at.insert(r.issueId, records.size());
            records << r;
        }
    }
    {
        Statement st = db.prepare(QStringLiteral("select issue_id, unit, file from tenvora_issue_unit order by rowid"));
        while (st.next())
            if (const auto found = at.constFind(st.value(0).toString()); found != at.cend())
                records[*found].units << IssuedUnit{st.value(1).toString(), st.value(2).toString()};
    }
    Statement st = db.prepare(QStringLiteral("select issue_id, contract_id, lines, bill_fingerprint, daywork_items, "
                                             "daywork_fingerprint from tenvora_issue_bill order by rowid"));
    while (st.next()) {
        const auto found = at.constFind(st.value(0).toString());
        if (found == at.cend())
            continue;
        ContractFingerprint f;
        f.contractId = st.value(1).toString();
        f.lines = st.value(2).toLongLong();
        f.bill = st.value(3).toString();
        f.dayworkItems = st.value(4).toLongLong();
        f.daywork = st.value(5).toString();
        records[*found].bills << f;
    }
    return records;
}

void WriteIssueRecord(Database& db, const IssueRecord& record) {
    Transaction tx(db);
    OwnerTables::ensureIssueTables(db);
    db.exec(QStringLiteral("insert into tenvora_issue (issue_id, issued_at, fingerprint_scheme) values (?, ?, ?)"),
            {record.issueId, record.issuedAt, record.fingerprintScheme});
    for (const IssuedUnit& u : record.units)
        db.exec(QStringLiteral("insert into tenvora_issue_unit (issue_id, unit, file) values (?, ?, ?)"),
                {record.issueId, u.unit, u.file});
    for (const ContractFingerprint& f : record.bills)
        db.exec(QStringLiteral("insert into tenvora_issue_bill (issue_id, contract_id, lines, bill_fingerprint, "
                               "daywork_items, daywork_fingerprint) values (?, ?, ?, ?, ?, ?)"),
                {record.issueId, f.contractId, f.lines, f.bill, f.dayworkItems, f.daywork});
    tx.commit();
}

} // namespace tenvora

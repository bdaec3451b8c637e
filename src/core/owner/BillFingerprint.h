// The fingerprint of what the owner fixes in a contract's bill and day work, so a returned bid
// disk can be told from the bill it was issued with without the bill at hand.
//
// Scheme 1. Each BoQ line of the contract (jd_htqd, 合同编号 = the contract, every line, main bill
// and supplementary) gives one record of five fields: 细目编号, 细目名称, 单位, 合同数量, and 合同金额 when
// 单位 is "暂定金总额" (a provisional sum; for any other line this field is null, as the bidder's
// prices and amounts are not the owner's). Each day-work item (Jl_ContractList, ContractID = the
// contract) gives bz, ItemCode, ItemName, Unit, Amount. A field is written as "N" for null, "T"
// and the UTF-8 text, "R" and the shortest decimal that reads back as the same double (a whole
// number stored as an integer gives the same text as its double), "B" and hex for bytes; fields are
// joined by 0x1F. The records are sorted bytewise (the store's row order plays no part) and
// joined by 0x1E; the fingerprint is the SHA-256 of that text, in lower-case hex. The chapter
// columns (章, 节, 段) are left out: the bidder's editor rewrites 节 on every save.
#pragma once

#include <QList>
#include <QString>

namespace tenvora {

class Database;

inline constexpr int kFingerprintScheme = 1;

struct ContractFingerprint {
    QString contractId;
    qint64 lines = 0;
    QString bill; // the fingerprint of the BoQ lines
    qint64 dayworkItems = 0;
    QString daywork; // the fingerprint of the day-work items
};

// Every contract section of the file (jd_hetong, each ID once, in natural order of the IDs).
// Throws the store's error (DbError, StorageError).
QList<ContractFingerprint> ComputeContractFingerprints(Database& db);
// One contract section; a contract without lines has the fingerprint of no records.
ContractFingerprint ComputeContractFingerprint(Database& db, const QString& contractId);

} // namespace tenvora

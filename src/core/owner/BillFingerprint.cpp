#include "owner/BillFingerprint.h"

#include "boq/BoqLineRules.h"
#include "data/Database.h"
#include "data/NaturalOrder.h"

#include <QCryptographicHash>
#include <QHash>

#include <algorithm>
#include <charconv>
#include <vector>

namespace tenvora {

namespace {

void appendField(QByteArray& record, const QVariant& value) {
    if (!record.isEmpty())
        record += '\x1f';
    if (!value.isValid() || value.isNull()) {
        record += 'N';
        return;
    }
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Double: {
        // Shortest round trip: exact, and the same for 12 stored as an integer or as 12.0.
        char digits[32];
        const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, value.toDouble());
        record += 'R';
        record.append(digits, written.ptr - digits);
        return;
    }
    case QMetaType::QByteArray:
        record += 'B' + value.toByteArray().toHex();
        return;
    default:
        record += 'T' + value.toString().toUtf8();
        return;
    }
}

struct Records {
    std::vector<QByteArray> bill;
    std::vector<QByteArray> daywork;
};

QString digest(std::vector<QByteArray>& records) {
    std::sort(records.begin(), records.end());
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (size_t i = 0; i < records.size(); ++i) {
        if (i > 0)
            hash.addData(QByteArrayView("\x1e", 1));
        hash.addData(records[i]);
    }
    return QString::fromLatin1(hash.result().toHex());
}

// Reads the records of one contract, or of every contract when contractId is null.
QHash<QString, Records> readRecords(Database& db, const QString& contractId) {
    const bool one = !contractId.isNull();
    QHash<QString, Records> byContract;
    {
        Statement lines = db.prepare(QStringLiteral("select 合同编号, 细目编号, 细目名称, 单位, 合同数量, "
                                                    "case when 单位 = ? then 合同金额 end from jd_htqd") +
                                     (one ? QStringLiteral(" where 合同编号 = ?") : QString()));
        lines.bind(1, kProvisionalSumUnit);
        if (one)
            lines.bind(2, contractId);
        while (lines.next()) {
            QByteArray record;
            for (int c = 1; c <= 5; ++c)
                appendField(record, lines.value(c));
            byContract[lines.value(0).toString()].bill.push_back(std::move(record));
        }
    }
    Statement items = db.prepare(QStringLiteral("select ContractID, bz, ItemCode, ItemName, Unit, Amount "
                                                "from Jl_ContractList") +
                                 (one ? QStringLiteral(" where ContractID = ?") : QString()));
    if (one)
        items.bind(1, contractId);
    while (items.next()) {
        QByteArray record;
        for (int c = 1; c <= 5; ++c)
            appendField(record, items.value(c));
        byContract[items.value(0).toString()].daywork.push_back(std::move(record));
    }
    return byContract;
}

ContractFingerprint fingerprintOf(const QString& contractId, Records& records) {
    ContractFingerprint f;
    f.contractId = contractId;
    f.lines = static_cast<qint64>(records.bill.size());
    f.bill = digest(records.bill);
    f.dayworkItems = static_cast<qint64>(records.daywork.size());
    f.daywork = digest(records.daywork);
    return f;
}

} // namespace

QList<ContractFingerprint> ComputeContractFingerprints(Database& db) {
    QStringList ids;
    {
        Statement st = db.prepare(QStringLiteral("select distinct ID from jd_hetong where ID is not null"));
        while (st.next())
            ids << st.value(0).toString();
    }
    std::sort(ids.begin(), ids.end(), [](const QString& a, const QString& b) { return CompareItemNumbers(a, b) < 0; });
    QHash<QString, Records> records = readRecords(db, QString());
    QList<ContractFingerprint> out;
    for (const QString& id : ids)
        out << fingerprintOf(id, records[id]);
    return out;
}

ContractFingerprint ComputeContractFingerprint(Database& db, const QString& contractId) {
    QHash<QString, Records> records = readRecords(db, contractId.isNull() ? QStringLiteral("") : contractId);
    return fingerprintOf(contractId, records[contractId]);
}

} // namespace tenvora

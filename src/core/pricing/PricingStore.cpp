#include "pricing/PricingStore.h"

namespace tenvora::PricingStore {

namespace {

[[noreturn]] void named(const QString& doing, const DbError& e) {
    throw Error(QStringLiteral("%1时数据库拒绝了语句：%2").arg(doing, e.text()));
}

} // namespace

void RunChange(Database& db, const QString& doing, const std::function<void()>& change) {
    try {
        Transaction tx(db);
        change();
        tx.commit();
    } catch (const DbError& e) {
        named(doing, e);
    }
}

void ForEachRow(Database& db, const QString& doing, const QString& sql, const QVariantList& values,
                const std::function<void(const Statement&)>& row) {
    try {
        Database::Lease st = db.cached(sql);
        st->bindAll(values);
        while (st->next())
            row(*st);
    } catch (const DbError& e) {
        named(doing, e);
    }
}

QString RequireContract(const QString& contract) {
    if (contract.isEmpty())
        throw Refused(QStringLiteral("没有当前合同段，请先选择合同段！"));
    return contract;
}

} // namespace tenvora::PricingStore

#include "pricing/FeeList.h"

#include "data/DataModule.h"
#include "data/Money.h"
#include "pricing/PricingSchema.h"
#include "pricing/PricingStore.h"

#include <cmath>

namespace tenvora {

namespace {

const QString kDoing = QStringLiteral("读写取费");

} // namespace

QString FeeBaseCode(FeeBase base) {
    return base == FeeBase::Direct ? QStringLiteral("direct") : QStringLiteral("running");
}

std::optional<FeeBase> FeeBaseOf(const QString& code) {
    if (code == QLatin1String("direct"))
        return FeeBase::Direct;
    if (code == QLatin1String("running"))
        return FeeBase::Running;
    return std::nullopt;
}

QString FeeBaseText(FeeBase base) {
    return base == FeeBase::Direct ? QStringLiteral("直接费") : QStringLiteral("累计");
}

FeeList::FeeList(DataModule& dm, const QString& contract)
    : m_dm(dm), m_contract(PricingStore::RequireContract(contract)) {}

void FeeList::check(const Fee& fee) {
    if (fee.name.trimmed().isEmpty())
        throw Refused(QStringLiteral("费用的名称不能为空"));
    if (!std::isfinite(fee.percent) || fee.percent <= -100)
        throw Refused(QStringLiteral("费用“%1”的费率必须是大于 -100 的百分数").arg(fee.name));
}

std::vector<Fee> FeeList::list() const {
    std::vector<Fee> fees;
    Database& db = m_dm.database();
    if (!PricingSchema::exists(db))
        return fees;
    PricingStore::ForEachRow(
        db, kDoing, QStringLiteral("select 名称, 费率, 基数 from pricing_fee where 合同编号=? order by 顺序, rowid"),
        {m_contract}, [&](const Statement& st) {
            fees.push_back({st.value(0).toString(), NumberOf(st.value(1)).value_or(0.0),
                            FeeBaseOf(st.value(2).toString()).value_or(FeeBase::Direct)});
        });
    return fees;
}

void FeeList::add(const Fee& fee) {
    check(fee);
    for (const Fee& f : list())
        if (f.name == fee.name)
            throw Refused(QStringLiteral("取费中已有“%1”").arg(fee.name));
    Database& db = m_dm.database();
    PricingStore::RunChange(db, kDoing, [&] {
        PricingSchema::ensure(db);
        const qlonglong order =
            db.scalar(QStringLiteral("select coalesce(max(顺序), 0) + 1 from pricing_fee where 合同编号=?"),
                      {m_contract})
                .toLongLong();
        db.exec(QStringLiteral("insert into pricing_fee (合同编号, 顺序, 名称, 费率, 基数) values (?, ?, ?, ?, ?)"),
                {m_contract, order, fee.name, fee.percent, FeeBaseCode(fee.base)});
    });
}

void FeeList::set(const Fee& fee) {
    check(fee);
    Database& db = m_dm.database();
    bool found = false;
    if (PricingSchema::exists(db))
        PricingStore::RunChange(db, kDoing, [&] {
            db.exec(QStringLiteral("update pricing_fee set 费率=?, 基数=? where 合同编号=? and 名称=?"),
                    {fee.percent, FeeBaseCode(fee.base), m_contract, fee.name});
            found = db.changes() > 0;
        });
    if (!found)
        throw Refused(QStringLiteral("取费中没有“%1”").arg(fee.name));
}

void FeeList::remove(const QString& name) {
    Database& db = m_dm.database();
    bool found = false;
    if (PricingSchema::exists(db))
        PricingStore::RunChange(db, kDoing, [&] {
            db.exec(QStringLiteral("delete from pricing_fee where 合同编号=? and 名称=?"), {m_contract, name});
            found = db.changes() > 0;
        });
    if (!found)
        throw Refused(QStringLiteral("取费中没有“%1”").arg(name));
}

} // namespace tenvora

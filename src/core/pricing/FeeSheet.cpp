// The fees (取费) of a contract as their dialog lists them.
#include "pricing/FeeSheet.h"

#include "data/DataModule.h"
#include "data/Money.h"
#include "pricing/PricingSchema.h"
#include "pricing/PricingStore.h"

namespace tenvora {

FeeSheet::FeeSheet(DataModule& dm, const QString& contract)
    : m_dm(dm), m_contract(PricingStore::RequireContract(contract)),
      m_fees(dm,
             DataSetTable{QString::fromLatin1(PricingSchema::kFees), QStringLiteral("rowid"), {FeeColumn::Percent}}) {
    m_fees.setBeforePost([](DataSet& set, int row) {
        Fee fee;
        fee.name = set.value(row, FeeColumn::Name).toString();
        fee.percent = NumberOf(set.value(row, FeeColumn::Percent)).value_or(-100);
        FeeList::check(fee);
        set.setValue(row, FeeColumn::Percent, fee.percent);
    });
    m_fees.setAfterPost([this](DataSet&, int, const QVariantList&) { m_changed = true; });
}

void FeeSheet::reload() {
    std::vector<QVariantList> rows;
    Database& db = m_dm.database();
    if (PricingSchema::exists(db))
        PricingStore::ForEachRow(
            db, QStringLiteral("读取取费"),
            QStringLiteral("select rowid, 顺序, 名称, 费率, 基数 from pricing_fee where 合同编号=? "
                           "order by 顺序, rowid"),
            {m_contract}, [&](const Statement& st) {
                const FeeBase base = FeeBaseOf(st.value(4).toString()).value_or(FeeBase::Direct);
                rows.push_back({st.value(0), st.value(1), st.value(2), st.value(3), FeeBaseText(base)});
            });
    m_fees.openRows({QStringLiteral("rowid"), FeeColumn::Order, FeeColumn::Name, FeeColumn::Percent, FeeColumn::Base},
                    std::move(rows));
}

int FeeSheet::add(const Fee& fee) {
    FeeList(m_dm, m_contract).add(fee);
    m_changed = true;
    reload();
    return m_fees.rowCount() - 1;
}

int FeeSheet::remove(int row) {
    if (row < 0 || row >= m_fees.rowCount())
        throw Refused(QStringLiteral("请先选择要删除的费用"));
    FeeList(m_dm, m_contract).remove(m_fees.storedValue(row, m_fees.columnIndex(FeeColumn::Name)).toString());
    m_changed = true;
    reload();
    return m_fees.rowCount() > 0 ? std::min(row, m_fees.rowCount() - 1) : -1;
}

} // namespace tenvora

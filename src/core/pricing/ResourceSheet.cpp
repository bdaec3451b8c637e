// The resource library (工料机) of a contract as its window lists it.
#include "pricing/ResourceSheet.h"

#include "data/DataModule.h"
#include "data/Money.h"
#include "pricing/PricingSchema.h"
#include "pricing/PricingStore.h"

namespace tenvora {

namespace {

const QString kDoing = QStringLiteral("读取工料机库");

} // namespace

ResourceSheet::ResourceSheet(DataModule& dm, const QString& contract)
    : m_dm(dm), m_contract(PricingStore::RequireContract(contract)),
      m_resources(dm, DataSetTable{QString::fromLatin1(PricingSchema::kResources),
                                   QStringLiteral("rowid"),
                                   {ResourceColumn::Price}}),
      m_uses(dm, DataSetTable{}) {
    m_resources.setDisplayFormat(ResourceColumn::Price, QStringLiteral("0.00"));
    m_resources.setBeforePost([](DataSet& set, int row) {
        Resource r;
        r.code = set.value(row, ResourceColumn::Code).toString();
        r.name = set.value(row, ResourceColumn::Name).toString();
        r.price = NumberOf(set.value(row, ResourceColumn::Price)).value_or(-1);
        ResourceLibrary::check(r);
        set.setValue(row, ResourceColumn::Price, r.price);
    });
    m_resources.setAfterPost([this](DataSet& set, int row, const QVariantList& before) {
        const int price = set.columnIndex(ResourceColumn::Price);
        if (!m_priceChanged || before.isEmpty() || SameStoredValue(before.value(price), set.storedValue(row, price)))
            return;
        m_priceChanged({set.value(row, ResourceColumn::Code).toString(),
                        set.value(row, ResourceColumn::Name).toString(), before.value(price),
                        NumberOf(set.storedValue(row, price)).value_or(0.0)});
    });
}

int ResourceSheet::reload(const QString& current) {
    std::vector<QVariantList> rows;
    Database& db = m_dm.database();
    if (PricingSchema::exists(db)) {
        const QHash<QString, int> counts = ResourceLibrary(m_dm, m_contract).useCounts();
        PricingStore::ForEachRow(db, kDoing,
                                 QStringLiteral("select rowid, 编号, 名称, 单位, 类别, 单价 from pricing_resource "
                                                "where 合同编号=? order by 编号 collate ITEMNO"),
                                 {m_contract}, [&](const Statement& st) {
                                     QVariantList row;
                                     for (int c = 0; c < 6; ++c)
                                         row << st.value(c);
                                     row << QVariant::fromValue<qlonglong>(counts.value(st.value(1).toString()));
                                     rows.push_back(std::move(row));
                                 });
    }
    m_resources.openRows({QStringLiteral("rowid"), ResourceColumn::Code, ResourceColumn::Name, ResourceColumn::Unit,
                          ResourceColumn::Kind, ResourceColumn::Price, ResourceColumn::Uses},
                         std::move(rows));
    const int code = m_resources.columnIndex(ResourceColumn::Code);
    for (int r = 0; !current.isEmpty() && r < m_resources.rowCount(); ++r)
        if (m_resources.storedValue(r, code).toString() == current)
            return r;
    return -1;
}

QString ResourceSheet::codeOf(int row) const {
    if (row < 0 || row >= m_resources.rowCount())
        return QString();
    return m_resources.storedValue(row, m_resources.columnIndex(ResourceColumn::Code)).toString();
}

void ResourceSheet::showUses(int row) {
    std::vector<QVariantList> rows;
    const QString code = codeOf(row);
    if (!code.isEmpty())
        for (const ResourceUse& use : ResourceLibrary(m_dm, m_contract).whereUsed(code))
            rows.push_back({use.item, use.name, use.unit, use.consumption});
    m_uses.openRows(
        {QStringLiteral("细目编号"), QStringLiteral("细目名称"), QStringLiteral("单位"), QStringLiteral("消耗量")},
        std::move(rows));
}

int ResourceSheet::add(const Resource& resource) {
    ResourceLibrary(m_dm, m_contract).add(resource);
    return reload(resource.code);
}

QStringList ResourceSheet::itemsUsing(const QString& code) const {
    return ResourceLibrary(m_dm, m_contract).itemsUsing({code});
}

} // namespace tenvora

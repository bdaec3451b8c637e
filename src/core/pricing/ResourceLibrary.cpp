#include "pricing/ResourceLibrary.h"

#include "boq/Workbook.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "data/NaturalOrder.h"
#include "pricing/HeadedSheet.h"
#include "pricing/PricingSchema.h"
#include "pricing/PricingStore.h"

#include <QSet>
#include <algorithm>
#include <cmath>

namespace tenvora {

namespace {

const QString kDoing = QStringLiteral("读写工料机库");

Resource resourceOf(const Statement& st) {
    Resource r;
    r.code = st.value(0).toString();
    r.name = st.value(1).toString();
    r.unit = st.value(2).toString();
    r.kind = ResourceKindOf(st.value(3).toString()).value_or(ResourceKind::Material);
    r.price = NumberOf(st.value(4)).value_or(0.0);
    return r;
}

bool sameResource(const Resource& a, const Resource& b) {
    return a.name == b.name && a.unit == b.unit && a.kind == b.kind && a.price == b.price;
}

} // namespace

QString ResourceKindText(ResourceKind kind) {
    switch (kind) {
    case ResourceKind::Labour:
        return QStringLiteral("人工");
    case ResourceKind::Material:
        break;
    case ResourceKind::Machinery:
        return QStringLiteral("机械");
    }
    return QStringLiteral("材料");
}

std::optional<ResourceKind> ResourceKindOf(const QString& text) {
    const QString t = text.trimmed();
    for (ResourceKind kind : {ResourceKind::Labour, ResourceKind::Material, ResourceKind::Machinery})
        if (t == ResourceKindText(kind))
            return kind;
    return std::nullopt;
}

ResourceLibrary::ResourceLibrary(DataModule& dm, const QString& contract)
    : m_dm(dm), m_contract(PricingStore::RequireContract(contract)) {}

void ResourceLibrary::check(const Resource& resource) {
    if (resource.code.trimmed().isEmpty())
        throw Refused(QStringLiteral("工料机的编号不能为空"));
    if (resource.name.trimmed().isEmpty())
        throw Refused(QStringLiteral("工料机“%1”没有名称").arg(resource.code));
    if (!std::isfinite(resource.price) || resource.price < 0)
        throw Refused(QStringLiteral("工料机“%1”的单价必须是不小于 0 的数").arg(resource.code));
}

std::vector<Resource> ResourceLibrary::list() const {
    std::vector<Resource> resources;
    Database& db = m_dm.database();
    if (!PricingSchema::exists(db))
        return resources;
    PricingStore::ForEachRow(
        db, kDoing,
        QStringLiteral("select 编号, 名称, 单位, 类别, 单价 from pricing_resource where 合同编号=? "
                       "order by 编号 collate ITEMNO"),
        {m_contract}, [&](const Statement& st) { resources.push_back(resourceOf(st)); });
    return resources;
}

QHash<QString, Resource> ResourceLibrary::byCode() const {
    QHash<QString, Resource> index;
    for (Resource& r : list())
        index.insert(r.code, std::move(r));
    return index;
}

std::optional<Resource> ResourceLibrary::find(const QString& code) const {
    Database& db = m_dm.database();
    if (!PricingSchema::exists(db))
        return std::nullopt;
    std::optional<Resource> found;
    PricingStore::ForEachRow(
        db, kDoing,
        QStringLiteral("select 编号, 名称, 单位, 类别, 单价 from pricing_resource where 合同编号=? and 编号=?"),
        {m_contract, code}, [&](const Statement& st) { found = resourceOf(st); });
    return found;
}

void ResourceLibrary::add(const Resource& resource) {
    check(resource);
    if (find(resource.code))
        throw Refused(QStringLiteral("工料机库中已有编号“%1”").arg(resource.code));
    Database& db = m_dm.database();
    PricingStore::RunChange(db, kDoing, [&] {
        PricingSchema::ensure(db);
        db.exec(
            QStringLiteral("insert into pricing_resource (合同编号, 编号, 名称, 单位, 类别, 单价) "
                           "values (?, ?, ?, ?, ?, ?)"),
            {m_contract, resource.code, resource.name, resource.unit, ResourceKindText(resource.kind), resource.price});
    });
}

void ResourceLibrary::setPrice(const QString& code, double price) {
    std::optional<Resource> found = find(code);
    if (!found)
        throw Refused(QStringLiteral("工料机库中没有编号“%1”").arg(code));
    found->price = price;
    check(*found);
    Database& db = m_dm.database();
    PricingStore::RunChange(db, kDoing, [&] {
        db.exec(QStringLiteral("update pricing_resource set 单价=? where 合同编号=? and 编号=?"),
                {price, m_contract, code});
    });
}

ResourceImportResult ResourceLibrary::import(const std::vector<Resource>& rows) {
    QSet<QString> seen;
    for (const Resource& r : rows) {
        check(r);
        if (seen.contains(r.code))
            throw Refused(QStringLiteral("编号“%1”出现了两次").arg(r.code));
        seen.insert(r.code);
    }
    const QHash<QString, Resource> held = byCode();
    ResourceImportResult result;
    Database& db = m_dm.database();
    PricingStore::RunChange(db, kDoing, [&] {
        PricingSchema::ensure(db);
        for (const Resource& r : rows) {
            const auto old = held.constFind(r.code);
            if (old == held.constEnd()) {
                db.exec(QStringLiteral("insert into pricing_resource (合同编号, 编号, 名称, 单位, 类别, 单价) "
                                       "values (?, ?, ?, ?, ?, ?)"),
                        {m_contract, r.code, r.name, r.unit, ResourceKindText(r.kind), r.price});
                ++result.added;
                continue;
            }
            if (sameResource(*old, r)) {
                ++result.unchanged;
                continue;
            }
            db.exec(QStringLiteral("update pricing_resource set 名称=?, 单位=?, 类别=?, 单价=? "
                                   "where 合同编号=? and 编号=?"),
                    {r.name, r.unit, ResourceKindText(r.kind), r.price, m_contract, r.code});
            ++result.changed;
            if (old->price != r.price)
                result.pricesChanged << r.code;
        }
    });
    return result;
}

std::vector<ResourceUse> ResourceLibrary::whereUsed(const QString& code) const {
    std::vector<ResourceUse> uses;
    Database& db = m_dm.database();
    if (!PricingSchema::exists(db))
        return uses;
    PricingStore::ForEachRow(
        db, kDoing,
        QStringLiteral("select b.细目编号, b.消耗量, h.细目名称, h.单位 from pricing_buildup b "
                       "left join jd_htqd h on h.rowid = (select min(rowid) from jd_htqd where 合同编号=b.合同编号 "
                       "and 细目编号=b.细目编号 and 是否补充=0) "
                       "where b.合同编号=? and b.编号=? order by b.细目编号 collate ITEMNO"),
        {m_contract, code}, [&](const Statement& st) {
            uses.push_back({st.value(0).toString(), st.value(2).toString(), st.value(3).toString(),
                            NumberOf(st.value(1)).value_or(0.0)});
        });
    return uses;
}

QStringList ResourceLibrary::itemsUsing(const QStringList& codes) const {
    QStringList items;
    Database& db = m_dm.database();
    if (!PricingSchema::exists(db) || codes.isEmpty())
        return items;
    // Each code's items come from the index alone, each once; several codes may share items.
    QSet<QString> seen;
    for (const QString& code : codes)
        PricingStore::ForEachRow(
            db, kDoing, QStringLiteral("select distinct 细目编号 from pricing_buildup where 合同编号=? and 编号=?"),
            {m_contract, code}, [&](const Statement& st) {
                const QString item = st.value(0).toString();
                if (codes.size() == 1)
                    items << item;
                else if (!seen.contains(item)) {
                    seen.insert(item);
                    items << item;
                }
            });
    return items;
}

QHash<QString, int> ResourceLibrary::useCounts() const {
    QHash<QString, int> counts;
    Database& db = m_dm.database();
    if (!PricingSchema::exists(db))
        return counts;
    PricingStore::ForEachRow(
        db, kDoing,
        QStringLiteral("select 编号, count(distinct 细目编号) from pricing_buildup where 合同编号=? group by 编号"),
        {m_contract}, [&](const Statement& st) {
            counts.insert(st.value(0).toString(), static_cast<int>(st.value(1).toLongLong()));
        });
    return counts;
}

std::vector<Resource> ResourcesFromWorkbook(const WorkbookContents& contents) {
    enum { Code, Name, Unit, Kind, Price };
    const HeadedSheet sheet(contents, {QStringLiteral("编号"), QStringLiteral("名称"), QStringLiteral("单位"),
                                       QStringLiteral("类别"), QStringLiteral("单价")});
    std::vector<Resource> rows;
    QHash<QString, int> seenAt;
    for (int r = 0; r < sheet.rows(); ++r) {
        Resource resource;
        resource.code = sheet.text(r, Code);
        if (resource.code.isEmpty())
            continue;
        if (const auto first = seenAt.constFind(resource.code); first != seenAt.constEnd())
            throw Refused(QStringLiteral("工作表“%1”中编号“%2”出现了两次（第 %3 行和第 %4 行）")
                              .arg(sheet.name(), resource.code)
                              .arg(*first + 2)
                              .arg(r + 2));
        seenAt.insert(resource.code, r);
        resource.name = sheet.text(r, Name);
        resource.unit = sheet.text(r, Unit);
        const std::optional<ResourceKind> kind = ResourceKindOf(sheet.text(r, Kind));
        if (!kind)
            throw Refused(
                QStringLiteral("%1的内容“%2”不是 人工、材料 或 机械").arg(sheet.where(r, Kind), sheet.text(r, Kind)));
        resource.kind = *kind;
        const std::optional<double> price = sheet.number(r, Price);
        if (!price)
            throw Refused(QStringLiteral("%1是空的：每个工料机都要有单价").arg(sheet.where(r, Price)));
        resource.price = *price;
        if (resource.name.isEmpty())
            throw Refused(QStringLiteral("%1是空的").arg(sheet.where(r, Name)));
        try {
            ResourceLibrary::check(resource);
        } catch (const Refused& e) {
            throw Refused(QStringLiteral("工作表“%1”第 %2 行：%3").arg(sheet.name()).arg(r + 2).arg(e.text()));
        }
        rows.push_back(std::move(resource));
    }
    return rows;
}

std::vector<Resource> ReadResourceWorkbook(const QString& path) {
    return ResourcesFromWorkbook(ReadPricingWorkbook(path));
}

} // namespace tenvora

#include "pricing/LineBuildUps.h"

#include "boq/Workbook.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "data/NaturalOrder.h"
#include "pricing/HeadedSheet.h"
#include "pricing/PricingSchema.h"
#include "pricing/PricingStore.h"

#include <QHash>
#include <QSet>
#include <cmath>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tenvora {

namespace {

const QString kDoing = QStringLiteral("读写细目的工料机组成");

} // namespace

void CheckConsumption(const QString& item, const QString& code, double consumption) {
    if (!std::isfinite(consumption) || consumption < 0)
        throw Refused(QStringLiteral("细目“%1”中工料机“%2”的消耗量必须是不小于 0 的数").arg(item, code));
}

LineBuildUps::LineBuildUps(DataModule& dm, const QString& contract)
    : m_dm(dm), m_contract(PricingStore::RequireContract(contract)) {}

std::vector<BuildUpRow> LineBuildUps::rows(const QString& item) const {
    std::vector<BuildUpRow> rows;
    Database& db = m_dm.database();
    if (!PricingSchema::exists(db))
        return rows;
    PricingStore::ForEachRow(
        db, kDoing,
        QStringLiteral("select 编号, 消耗量 from pricing_buildup where 合同编号=? and 细目编号=? order by rowid"),
        {m_contract, item}, [&](const Statement& st) {
            rows.push_back({item, st.value(0).toString(), st.number(1).value_or(0.0)});
        });
    return rows;
}

void LineBuildUps::forEachRow(const RowVisitor& visit) const {
    Database& db = m_dm.database();
    if (!PricingSchema::exists(db))
        return;
    // One pass over the table in store order (a large bill has hundreds of thousands of rows:
    // going through the index would look up every row on a page of its own), so each line's rows
    // come in the order they were added.
    // One copy of an item's text for its rows, decoded when the stored text changes.
    QString item;
    QByteArray itemText;
    bool itemIsText = false;
    // A library has a few hundred codes and a bill hundreds of thousands of rows: each code's text
    // is decoded once, and numbered, so that readers can look it up once.
    struct ViewHash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
    };
    std::unordered_map<std::string, int, ViewHash, std::equal_to<>> numbers;
    QStringList codes;
    PricingStore::ForEachRow(
        db, kDoing, QStringLiteral("select 细目编号, 编号, 消耗量 from pricing_buildup not indexed where 合同编号=?"),
        {m_contract}, [&](const Statement& st) {
            if (const std::optional<QByteArrayView> stored = st.text(0)) {
                if (!itemIsText || *stored != itemText) {
                    itemText = stored->toByteArray();
                    item = QString::fromUtf8(itemText);
                    itemIsText = true;
                }
            } else {
                item = st.value(0).toString();
                itemIsText = false;
            }
            const std::optional<QByteArrayView> text = st.text(1);
            const QByteArray other = text ? QByteArray() : st.value(1).toString().toUtf8();
            const std::string_view key = text ? std::string_view(text->data(), static_cast<size_t>(text->size()))
                                              : std::string_view(other.constData(), static_cast<size_t>(other.size()));
            auto found = numbers.find(key);
            if (found == numbers.end()) {
                found = numbers.emplace(std::string(key), static_cast<int>(codes.size())).first;
                codes << QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
            }
            visit(item, found->second, codes[found->second], st.number(2).value_or(0.0));
        });
}

QHash<QString, std::vector<BuildUpRow>> LineBuildUps::byItem() const {
    QHash<QString, std::vector<BuildUpRow>> lines;
    QString current;
    std::vector<BuildUpRow>* rows = nullptr; // the current item's; only a new item is inserted
    forEachRow([&](const QString& item, int, const QString& code, double consumption) {
        if (!rows || item != current) {
            current = item;
            rows = &lines[current];
        }
        rows->push_back({current, code, consumption});
    });
    return lines;
}

std::vector<BuildUpRow> LineBuildUps::all() const {
    QHash<QString, std::vector<BuildUpRow>> lines = byItem();
    QStringList items = lines.keys();
    std::sort(items.begin(), items.end(),
              [](const QString& a, const QString& b) { return CompareItemNumbers(a, b) < 0; });
    std::vector<BuildUpRow> rows;
    for (const QString& i : items)
        for (BuildUpRow& row : lines[i])
            rows.push_back(std::move(row));
    return rows;
}

QStringList LineBuildUps::items() const {
    QStringList items;
    Database& db = m_dm.database();
    if (!PricingSchema::exists(db))
        return items;
    PricingStore::ForEachRow(db, kDoing,
                             QStringLiteral("select distinct 细目编号 from pricing_buildup where 合同编号=? "
                                            "order by 细目编号 collate ITEMNO"),
                             {m_contract}, [&](const Statement& st) { items << st.value(0).toString(); });
    return items;
}

void LineBuildUps::requireLine(const QString& item) const {
    if (!m_dm.database()
             .scalar(QStringLiteral("select 1 from jd_htqd where 合同编号=? and 细目编号=? and 是否补充=0"),
                     {m_contract, item})
             .isValid())
        throw Refused(QStringLiteral("当前合同段的清单中没有细目“%1”").arg(item));
}

void LineBuildUps::requireResource(const QString& code) const {
    Database& db = m_dm.database();
    if (!PricingSchema::exists(db) ||
        !db.scalar(QStringLiteral("select 1 from pricing_resource where 合同编号=? and 编号=?"), {m_contract, code})
             .isValid())
        throw Refused(QStringLiteral("工料机库中没有编号“%1”").arg(code));
}

bool LineBuildUps::set(const QString& item, const QString& code, double consumption) {
    CheckConsumption(item, code, consumption);
    requireLine(item);
    requireResource(code);
    bool added = false;
    Database& db = m_dm.database();
    PricingStore::RunChange(db, kDoing, [&] {
        PricingSchema::ensure(db);
        db.exec(QStringLiteral("update pricing_buildup set 消耗量=? where 合同编号=? and 细目编号=? and 编号=?"),
                {consumption, m_contract, item, code});
        if (db.changes() == 0) {
            db.exec(
                QStringLiteral("insert into pricing_buildup (合同编号, 细目编号, 编号, 消耗量) values (?, ?, ?, ?)"),
                {m_contract, item, code, consumption});
            added = true;
        }
    });
    return added;
}

void LineBuildUps::remove(const QString& item, const QString& code) {
    Database& db = m_dm.database();
    bool removed = false;
    if (PricingSchema::exists(db))
        PricingStore::RunChange(db, kDoing, [&] {
            db.exec(QStringLiteral("delete from pricing_buildup where 合同编号=? and 细目编号=? and 编号=?"),
                    {m_contract, item, code});
            removed = db.changes() > 0;
        });
    if (!removed)
        throw Refused(QStringLiteral("细目“%1”的工料机组成中没有“%2”").arg(item, code));
}

int LineBuildUps::copy(const QString& from, const QStringList& to) {
    const std::vector<BuildUpRow> source = rows(from);
    if (source.empty())
        throw Refused(QStringLiteral("细目“%1”没有工料机组成，无从复制").arg(from));
    for (const QString& item : to)
        requireLine(item);
    int written = 0;
    Database& db = m_dm.database();
    PricingStore::RunChange(db, kDoing, [&] {
        for (const QString& item : to) {
            if (item == from)
                continue;
            db.exec(QStringLiteral("delete from pricing_buildup where 合同编号=? and 细目编号=?"), {m_contract, item});
            for (const BuildUpRow& row : source) {
                db.exec(QStringLiteral("insert into pricing_buildup (合同编号, 细目编号, 编号, 消耗量) "
                                       "values (?, ?, ?, ?)"),
                        {m_contract, item, row.code, row.consumption});
                ++written;
            }
        }
    });
    return written;
}

BuildUpImportResult LineBuildUps::import(const std::vector<BuildUpRow>& rows) {
    QSet<QString> items;
    QSet<QString> codes;
    QSet<QPair<QString, QString>> pairs;
    QStringList order;
    for (const BuildUpRow& row : rows) {
        CheckConsumption(row.item, row.code, row.consumption);
        if (pairs.contains({row.item, row.code}))
            throw Refused(QStringLiteral("细目“%1”的工料机“%2”出现了两次").arg(row.item, row.code));
        pairs.insert({row.item, row.code});
        if (!items.contains(row.item)) {
            items.insert(row.item);
            order << row.item;
        }
        codes.insert(row.code);
    }
    // Every name is checked before anything is written, and the missing ones are named together.
    QStringList unknownLines;
    for (const QString& item : order)
        try {
            requireLine(item);
        } catch (const Refused&) {
            unknownLines << item;
        }
    if (!unknownLines.isEmpty())
        throw Refused(QStringLiteral("当前合同段的清单中没有这些细目：%1；没有导入任何工料机组成")
                          .arg(unknownLines.join(QStringLiteral("、"))));
    QStringList unknownCodes;
    for (const QString& code : codes)
        try {
            requireResource(code);
        } catch (const Refused&) {
            unknownCodes << code;
        }
    if (!unknownCodes.isEmpty()) {
        std::sort(unknownCodes.begin(), unknownCodes.end(),
                  [](const QString& a, const QString& b) { return CompareItemNumbers(a, b) < 0; });
        throw Refused(QStringLiteral("工料机库中没有这些编号：%1；没有导入任何工料机组成")
                          .arg(unknownCodes.join(QStringLiteral("、"))));
    }
    BuildUpImportResult result;
    Database& db = m_dm.database();
    PricingStore::RunChange(db, kDoing, [&] {
        PricingSchema::ensure(db);
        for (const QString& item : order)
            db.exec(QStringLiteral("delete from pricing_buildup where 合同编号=? and 细目编号=?"), {m_contract, item});
        for (const BuildUpRow& row : rows) {
            db.exec(
                QStringLiteral("insert into pricing_buildup (合同编号, 细目编号, 编号, 消耗量) values (?, ?, ?, ?)"),
                {m_contract, row.item, row.code, row.consumption});
            ++result.rows;
        }
    });
    result.items = static_cast<int>(order.size());
    return result;
}

std::vector<BuildUpRow> BuildUpsFromWorkbook(const WorkbookContents& contents) {
    enum { Item, Code, Consumption };
    const HeadedSheet sheet(contents, {QStringLiteral("细目编号"), QStringLiteral("编号"), QStringLiteral("消耗量")});
    std::vector<BuildUpRow> rows;
    for (int r = 0; r < sheet.rows(); ++r) {
        BuildUpRow row{sheet.text(r, Item), sheet.text(r, Code), 0};
        const std::optional<double> consumption = sheet.number(r, Consumption);
        if (row.item.isEmpty() && row.code.isEmpty()) {
            if (consumption)
                throw Refused(QStringLiteral("%1有消耗量，却没有细目编号和编号").arg(sheet.where(r, Consumption)));
            continue;
        }
        if (row.item.isEmpty())
            throw Refused(QStringLiteral("%1是空的").arg(sheet.where(r, Item)));
        if (row.code.isEmpty())
            throw Refused(QStringLiteral("%1是空的").arg(sheet.where(r, Code)));
        if (!consumption)
            throw Refused(QStringLiteral("%1是空的").arg(sheet.where(r, Consumption)));
        row.consumption = *consumption;
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<BuildUpRow> ReadBuildUpWorkbook(const QString& path) {
    return BuildUpsFromWorkbook(ReadPricingWorkbook(path));
}

} // namespace tenvora

#include "pricing/PricingSchema.h"

#include "data/Database.h"

namespace tenvora::PricingSchema {

namespace {

struct TableDef {
    const char* name;
    const char* ddl;
};

// Declared types as the owner's tables use them; codes and item numbers compare exactly.
const QList<TableDef>& tables() {
    static const QList<TableDef> defs = {
        {kResources, "CREATE TABLE IF NOT EXISTS pricing_resource (合同编号 TEXT, 编号 TEXT, 名称 TEXT, 单位 TEXT, "
                     "类别 TEXT, 单价 REAL)"},
        {kBuildUps,
         "CREATE TABLE IF NOT EXISTS pricing_buildup (合同编号 TEXT, 细目编号 TEXT, 编号 TEXT, 消耗量 REAL)"},
        {kFees,
         "CREATE TABLE IF NOT EXISTS pricing_fee (合同编号 TEXT, 顺序 INTEGER, 名称 TEXT, 费率 REAL, 基数 TEXT)"},
    };
    return defs;
}

const QStringList& indexes() {
    static const QStringList ddl = {
        QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS pricing_resource_code ON pricing_resource (合同编号, 编号)"),
        QStringLiteral(
            "CREATE UNIQUE INDEX IF NOT EXISTS pricing_buildup_line ON pricing_buildup (合同编号, 细目编号, 编号)"),
        // Where-used reads the items from the index alone.
        QStringLiteral(
            "CREATE INDEX IF NOT EXISTS pricing_buildup_resource ON pricing_buildup (合同编号, 编号, 细目编号)"),
        QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS pricing_fee_name ON pricing_fee (合同编号, 名称)"),
    };
    return ddl;
}

} // namespace

QStringList tableNames() {
    QStringList names;
    for (const TableDef& t : tables())
        names << QString::fromLatin1(t.name);
    return names;
}

bool exists(Database& db) {
    for (const TableDef& t : tables())
        if (!db.scalar(QStringLiteral("select 1 from sqlite_master where type='table' and name=?"),
                       {QString::fromLatin1(t.name)})
                 .isValid())
            return false;
    return true;
}

void ensure(Database& db) {
    if (exists(db))
        return;
    Transaction tx(db);
    for (const TableDef& t : tables())
        db.exec(QString::fromUtf8(t.ddl));
    for (const QString& ddl : indexes())
        db.exec(ddl);
    tx.commit();
}

bool drop(Database& db) {
    bool any = false;
    Transaction tx(db);
    for (const TableDef& t : tables()) {
        const QString name = QString::fromLatin1(t.name);
        if (!db.scalar(QStringLiteral("select 1 from sqlite_master where type='table' and name=?"), {name}).isValid())
            continue;
        // Names are our own constants; identifiers cannot be bound.
        db.exec(QStringLiteral("DROP TABLE %1").arg(name));
        any = true;
    }
    tx.commit();
    return any;
}

} // namespace tenvora::PricingSchema

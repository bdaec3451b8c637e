#include "data/Schema.h"

#include "data/Database.h"

#include <QHash>

namespace tenvora::Schema {

namespace {

struct TableDef {
    const char* name;
    const char* ddl;
    QStringList required;
};

const QList<TableDef>& tables() {
    static const QList<TableDef> defs = {
        {"jd_xiangmu", "CREATE TABLE jd_xiangmu (ID TEXT, 项目名称 TEXT)", {"ID", "项目名称"}},
        {"jd_hetong",
         "CREATE TABLE jd_hetong (UPID TEXT, 合同编号 TEXT, 合同名称 TEXT, 承包单位 TEXT, 监理单位 TEXT, "
         "起始桩号 TEXT, 合同总金额 NUMERIC, 终止桩号 TEXT, 权值 INTEGER, 备注 TEXT, 开工日期 TEXT, 完工日期 TEXT, "
         "动员预付款总金额 NUMERIC, 材料预付款总金额 NUMERIC, 计日工 NUMERIC, 暂定金 NUMERIC, 保留金限额 NUMERIC, "
         "ID TEXT)",
         {"UPID", "合同名称", "起始桩号", "终止桩号", "ID"}},
        {"jd_htqd",
         "CREATE TABLE jd_htqd (合同编号 TEXT, 章 TEXT, 节 TEXT, 段 TEXT, 细目编号 TEXT, 细目名称 TEXT, 单位 TEXT, "
         "合同数量 REAL, 合同单价 REAL, 合同金额 REAL, 是否补充 INTEGER DEFAULT 0, bz TEXT, "
         "变更后单价 REAL, 变更数量 REAL, 变更后数量 REAL, 变更后金额 REAL)",
         {"合同编号", "章", "节", "段", "细目编号", "细目名称", "单位", "合同数量", "合同单价", "合同金额", "是否补充",
          "bz"}},
        {"Jl_ContractList",
         "CREATE TABLE Jl_ContractList (ID TEXT, ContractID TEXT, bz TEXT, ItemCode TEXT, ItemName TEXT, Unit TEXT, "
         "Amount REAL, UnitPrice REAL, TotalMoney REAL)",
         {"ID", "ContractID", "bz", "ItemCode", "ItemName", "Unit", "Amount", "UnitPrice", "TotalMoney"}},
        {"当前选择合同",
         "CREATE TABLE 当前选择合同 (项目ID TEXT, 合同ID TEXT, 期数ID TEXT)",
         {"项目ID", "合同ID", "期数ID"}},
        {"pass", "CREATE TABLE pass (unit TEXT, pass TEXT, bz TEXT, flag TEXT)", {"unit", "pass", "bz", "flag"}},
        {"zdj",
         "CREATE TABLE zdj (章 TEXT, 细目编号 TEXT, 细目名称 TEXT, 合同金额 REAL)",
         {"章", "细目编号", "细目名称", "合同金额"}},
        {"Reports", "CREATE TABLE Reports (ID TEXT, 报表 BLOB)", {"ID", "报表"}},
    };
    return defs;
}

} // namespace

QStringList tableNames() {
    QStringList names;
    for (const TableDef& t : tables())
        names << QString::fromUtf8(t.name);
    return names;
}

QStringList requiredColumns(const QString& table) {
    for (const TableDef& t : tables())
        if (table.compare(QString::fromUtf8(t.name), Qt::CaseInsensitive) == 0)
            return t.required;
    return {};
}

void create(Database& db) {
    Transaction tx(db);
    for (const TableDef& t : tables())
        db.exec(QString::fromUtf8(t.ddl));
    tx.commit();
}

QString missingParts(Database& db) {
    QStringList problems;
    for (const TableDef& t : tables()) {
        const QString name = QString::fromUtf8(t.name);
        const QStringList have = db.columnsOf(name);
        if (have.isEmpty()) {
            problems << QStringLiteral("缺少数据表 %1").arg(name);
            continue;
        }
        // A view reads like the table but takes no price, no index and no change.
        const QVariant type = db.scalar(QStringLiteral("SELECT type FROM sqlite_master WHERE type IN ('table','view') "
                                                       "AND name = ? COLLATE NOCASE"),
                                        {name});
        if (type.toString() == QLatin1String("view")) {
            problems << QStringLiteral("%1 是视图而不是数据表，修改无法保存在其中").arg(name);
            continue;
        }
        QStringList lacking;
        for (const QString& column : t.required)
            if (!have.contains(column, Qt::CaseInsensitive))
                lacking << column;
        if (!lacking.isEmpty())
            problems << QStringLiteral("数据表 %1 缺少列 %2").arg(name, lacking.join(QStringLiteral("、")));
    }
    return problems.join(QStringLiteral("；"));
}

void ensureIndexes(Database& db) {
    db.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS tenvora_htqd_contract_chapter ON jd_htqd (合同编号, 章)"));
    db.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS tenvora_htqd_contract_item ON jd_htqd (合同编号, 细目编号)"));
    db.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS tenvora_daywork_contract ON Jl_ContractList (ContractID, bz)"));
}

} // namespace tenvora::Schema

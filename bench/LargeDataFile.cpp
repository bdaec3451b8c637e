#include "LargeDataFile.h"

#include "data/AppPaths.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "demo/DemoData.h"

namespace tenvora::bench {

namespace {

// Seven chapters per contract, each led by its chapter line; items and sub-items under it.
void fill(Database& db, int contracts, int linesPerContract) {
    Transaction tx(db);
    db.exec(QStringLiteral("insert into jd_xiangmu (ID, 项目名称) values ('P1', '基准项目')"));
    Statement line = db.prepare(
        QStringLiteral("insert into jd_htqd (合同编号, 章, 细目编号, 细目名称, 单位, 合同数量, 合同单价, 合同金额, "
                       "是否补充) values (?, ?, ?, ?, ?, ?, ?, ?, 0)"));
    for (int c = 0; c < contracts; ++c) {
        const QString contract = QStringLiteral("C%1").arg(c, 2, 10, QLatin1Char('0'));
        db.exec(QStringLiteral("insert into jd_hetong (UPID, ID, 合同名称, 起始桩号, 终止桩号) values ('P1', ?, ?, "
                               "'K0+000', 'K12+500')"),
                {contract, contract + QStringLiteral("合同段")});
        for (int i = 0; i < linesPerContract; ++i) {
            const int chapter = 100 * (1 + i * 7 / linesPerContract);
            const int n = i % (linesPerContract / 7);
            QString item;
            QVariant quantity = 0.0;
            QVariant price;
            QVariant amount;
            if (n == 0) {
                item = QString::number(chapter);
            } else {
                item =
                    QStringLiteral("%1-%2-%3").arg(chapter + 1 + n / 100).arg(n / 4 % 25 + 1).arg(QChar(u'a' + n % 4));
                quantity = 100.0 + (i * 37) % 9000;
                price = 3.5 + (i * 13) % 400;
                amount = static_cast<qlonglong>(quantity.toDouble() * price.toDouble());
            }
            line.bindAll({contract, QString::number(chapter), item, QStringLiteral("基准细目名称第%1行").arg(i),
                          QStringLiteral("m3"), quantity, price, amount});
            line.run();
            line.reset();
        }
    }
    for (const DemoAccount& a : DemoAccounts())
        db.exec(QStringLiteral("insert into pass (unit, pass, bz, flag) values (?, ?, ?, NULL)"),
                {QString::fromUtf8(a.unit), QString::fromUtf8(a.password), QString::fromUtf8(a.kind)});
    db.exec(QStringLiteral("insert into 当前选择合同 (项目ID, 合同ID, 期数ID) values ('P1', ?, '0')"),
            {QString::fromLatin1(kContract)});
    tx.commit();
}

} // namespace

void CreateLargeDataFile(const QString& path, int contracts, int linesPerContract) {
    {
        Database db = Database::create(path, DataFileKey());
        Schema::create(db);
        fill(db, contracts, linesPerContract);
    }
    Database::open(path, DataFileKey());
}

QString PriceableItem() {
    return QStringLiteral("301-1-b");
}

} // namespace tenvora::bench

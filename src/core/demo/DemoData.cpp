#include "demo/DemoData.h"

#include "boq/AmountRules.h"
#include "data/AppPaths.h"
#include "data/DataModule.h"
#include "data/Database.h"
#include "data/Money.h"
#include "data/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTextStream>

#include <filesystem>

namespace tenvora {

namespace {

struct Contract {
    const char* project;
    const char* id;
    const char* number;
    const char* name;
    const char* contractor;
    const char* start;
    const char* end;
    bool hasBill;
};

const QList<Contract>& contracts() {
    static const QList<Contract> list = {
        {"P01", "A1", "YJGS-A1", "A1合同段（K0+000～K12+500 路基桥涵）", "", "K0+000", "K12+500", true},
        {"P01", "A2", "YJGS-A2", "A2合同段（K12+500～K25+300 路基隧道）", "", "K12+500", "K25+300", true},
        {"P02", "B1", "SQGL-B1", "B1合同段（K0+000～K8+760）", "", "K0+000", "K8+760", false},
    };
    return list;
}

// Plausible bid unit prices (yuan) for the priceable lines of the demo bill.
const QHash<QString, double>& unitPrices() {
    static const QHash<QString, double> prices = {
        {"102-1", 180000}, {"102-2", 650000},  {"102-4", 1200000}, {"103-1", 2800000}, {"103-2", 1650000},
        {"103-3", 420000}, {"103-4", 160000},  {"103-5", 230000},  {"104-1", 980000},  {"202-1-a", 2.85},
        {"202-1-b", 36.5}, {"202-2-b", 48.6},  {"203-1-a", 9.8},   {"203-1-b", 28.4},  {"203-1-c", 14.2},
        {"204-1-b", 7.6},  {"204-1-c", 12.35}, {"204-1-e", 31.2},  {"204-1-g", 58.4},  {"207-1-a", 368.5},
        {"208-1-a", 16.8}, {"304-1-a", 38.6},  {"304-3-a", 72.4},  {"307-1", 4.2},     {"307-2", 1.35},
        {"308-1-a", 62.8}, {"308-2-a", 71.5},  {"403-1-a", 5.12},  {"403-1-b", 4.98},  {"405-1-a", 1380},
        {"405-1-b", 1960}, {"410-2-b", 986},   {"411-2", 12.6},    {"411-5", 2150},    {"416-1", 168},
        {"417-2", 3280},   {"419-1-a", 1260},  {"503-1-b", 86.5},  {"503-4", 985},     {"504-1-a", 668},
        {"504-1-b", 5.06}, {"508-1", 1350000}, {"509-1", 980000},  {"602-3-a", 186},   {"602-3-b", 236},
        {"604-1", 6800},   {"605-1", 68.5},    {"607-2", 86},      {"702-1", 12.4},    {"703-1", 3.6},
        {"704-1-a", 420},  {"706-1", 1850},    {"101-1-b", 85000},
    };
    return prices;
}

// Day-work rates by item code: labour per hour, material per unit, machinery per hour.
const QHash<QString, double>& dayworkPrices() {
    static const QHash<QString, double> prices = {
        {"101", 46.5},  {"102", 31.25}, {"103", 52},    {"104", 50},   {"105", 42.8}, {"106", 45},
        {"107", 45},    {"108", 55},    {"201", 468},   {"202", 4260}, {"203", 6850}, {"204", 4980},
        {"205", 1850},  {"206", 128.5}, {"207", 112},   {"208", 86},   {"301", 285},  {"302", 268},
        {"303", 325.5}, {"304", 236},   {"305", 168.4}, {"306", 246},  {"307", 132},  {"308", 312},
    };
    return prices;
}

QList<QStringList> readCsv(const QString& resource) {
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("演示数据 %1 无法读取").arg(resource));
    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    QList<QStringList> rows;
    bool header = true;
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.trimmed().isEmpty())
            continue;
        if (header) {
            header = false;
            continue;
        }
        // The demo texts use full-width commas, so a plain split is exact.
        rows << line.split(QLatin1Char(','));
    }
    return rows;
}

QVariant numberOrNull(const QString& text) {
    const std::optional<double> v = ParseNumber(text);
    return v ? QVariant(*v) : QVariant();
}

QVariant textOrNull(const QString& text) {
    return text.isEmpty() ? QVariant() : QVariant(text);
}

// Section code up to the second "-", as the owner's files carry it.
QVariant sectionOf(const QString& item) {
    const qsizetype first = item.indexOf(QLatin1Char('-'));
    if (first < 0)
        return {};
    const qsizetype second = item.indexOf(QLatin1Char('-'), first + 1);
    return second < 0 ? item : item.left(second);
}

void fill(Database& db, bool priced) {
    Transaction tx(db);
    db.exec(QStringLiteral("insert into jd_xiangmu (ID, 项目名称) values (?, ?)"), {"P01", "沿江高速公路扩建工程"});
    db.exec(QStringLiteral("insert into jd_xiangmu (ID, 项目名称) values (?, ?)"), {"P02", "山区二级公路改建工程"});
    for (const Contract& c : contracts()) {
        db.exec(
            QStringLiteral("insert into jd_hetong (UPID, 合同编号, 合同名称, 承包单位, 监理单位, 起始桩号, 终止桩号, "
                           "权值, ID) values (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            {c.project, c.number, QString::fromUtf8(c.name), QVariant(), QStringLiteral("华通公路监理咨询有限公司"),
             c.start, c.end, 1, c.id});
    }

    const QList<QStringList> bill = readCsv(QStringLiteral(":/demo/demo-boq.csv"));
    const QList<QStringList> daywork = readCsv(QStringLiteral(":/demo/demo-daywork.csv"));
    for (const Contract& c : contracts()) {
        if (!c.hasBill)
            continue;
        for (const QStringList& r : bill) {
            const QString item = r.value(1);
            QVariant price;
            QVariant amount = numberOrNull(r.value(5));
            const std::optional<double> qty = ParseNumber(r.value(4));
            if (priced && unitPrices().contains(item) && qty) {
                price = unitPrices().value(item);
                amount = QVariant::fromValue<qlonglong>(*LineAmount(price, *qty));
            }
            const qsizetype dashes = item.count(QLatin1Char('-'));
            db.exec(QStringLiteral(
                        "insert into jd_htqd (合同编号, 章, 节, 段, 细目编号, 细目名称, 单位, 合同数量, 合同单价, "
                        "合同金额, 是否补充) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0)"),
                    {c.id, r.value(0), sectionOf(item), dashes == 2 ? QVariant(item) : QVariant(), item, r.value(2),
                     textOrNull(r.value(3)), numberOrNull(r.value(4)), price, amount});
        }
        for (const QStringList& r : daywork) {
            QVariant price;
            QVariant total;
            const std::optional<double> qty = ParseNumber(r.value(4));
            if (priced && dayworkPrices().contains(r.value(1)) && qty) {
                price = dayworkPrices().value(r.value(1));
                total = QVariant::fromValue<qlonglong>(*LineAmount(price, *qty));
            }
            db.exec(
                QStringLiteral("insert into Jl_ContractList (ID, ContractID, bz, ItemCode, ItemName, Unit, Amount, "
                               "UnitPrice, TotalMoney) values (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {c.id, c.id, r.value(0), r.value(1), r.value(2), r.value(3), numberOrNull(r.value(4)), price, total});
        }
    }
    for (const DemoAccount& a : DemoAccounts())
        db.exec(QStringLiteral("insert into pass (unit, pass, bz, flag) values (?, ?, ?, NULL)"),
                {QString::fromUtf8(a.unit), QString::fromUtf8(a.password), QString::fromUtf8(a.kind)});
    db.exec(QStringLiteral("insert into 当前选择合同 (项目ID, 合同ID, 期数ID) values (?, ?, ?)"), {"P01", "A1", "0"});
    db.exec(QStringLiteral("insert into Reports (ID, 报表) values (?, NULL)"), {"gclqd"});
    tx.commit();
}

} // namespace

const QList<DemoAccount>& DemoAccounts() {
    static const QList<DemoAccount> accounts = {
        {"华建路桥工程有限公司", "hj2026", "2"},
        {"东方交通建设集团有限公司", "df2026", "2"},
        {"业主招标办公室", "zb2026", "1"},
    };
    return accounts;
}

void CreateDemoDataFile(const QString& path, bool priced, bool force) {
    const QFileInfo target(path);
    if (target.exists() && !force)
        throw Refused(QStringLiteral("数据文件 %1 已经存在；要覆盖它请加 --force").arg(QDir::toNativeSeparators(path)));
    if (!target.absoluteDir().exists())
        throw Error(QStringLiteral("文件夹 %1 不存在").arg(QDir::toNativeSeparators(target.absolutePath())));

    const QString temp = target.absoluteFilePath() + QStringLiteral(".new");
    QFile::remove(temp);
    try {
        {
            Database db = Database::create(temp, DataFileKey());
            Schema::create(db);
            fill(db, priced);
        }
        if (priced) {
            // Chapter totals and the insurance line come from the same rule the editor applies.
            DataModule dm(temp);
            BoqTotals totals(dm);
            for (const Contract& c : contracts()) {
                if (!c.hasBill)
                    continue;
                for (const char* chapter : {"100", "200", "300", "400", "500", "600", "700"})
                    totals.recompute(QString::fromLatin1(c.id), QString::fromLatin1(chapter));
            }
        }
    } catch (...) {
        QFile::remove(temp);
        throw;
    }
    // rename replaces the old file in one step, so no reader ever sees a half-written one.
    std::error_code ec;
    std::filesystem::rename(QFile::encodeName(temp).toStdString(),
                            QFile::encodeName(target.absoluteFilePath()).toStdString(), ec);
    if (ec) {
        QFile::remove(temp);
        throw Error(QStringLiteral("无法写入 %1：%2")
                        .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(ec.message().c_str())));
    }
}

} // namespace tenvora

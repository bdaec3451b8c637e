// The owner's clearing of ten bid disks of a 100,000-line contract ("tenvora owner clear-bids":
// every disk opened read-only and checked page by page, whose bid, alterations, arithmetic,
// unpriced lines, the comparison of unit prices and the evaluation) beside the comparison of unit
// prices written as one SQL statement over the attached disks in the sqlcipher command-line tool,
// in the same run: within 2x. Then the command's peak memory for 1, 2, 5 and 10 disks, beside
// what the comparison table itself grows by (a price per priceable line per disk).
//
//   bench_clear_bids [--rounds N] [--keep DIR]
// --keep writes the tender file, the disks and the anchor's script into DIR (made when missing,
// reused when it holds them already) and leaves them there, for timing the two commands by hand.
#include "ProcessTiming.h"

#include "boq/AmountRules.h"
#include "data/AppPaths.h"
#include "data/DataModule.h"
#include "data/Database.h"
#include "data/KeyDerivation.h"
#include "data/Money.h"
#include "owner/OwnerAccounts.h"
#include "owner/TenderContracts.h"
#include "owner/TenderFile.h"
#include "owner/TenderIssue.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tenvora;

namespace {

constexpr int kLines = 100000;
constexpr int kBids = 10;
const QString kContract = QStringLiteral("BENCH");
const QString kOwner = QStringLiteral("基准招标办公室");
const QString kOwnerPassword = QStringLiteral("bench-owner");
// Lines per chapter 100 to 700, as in a real bill.
constexpr int kShare[] = {2, 38, 16, 22, 10, 8, 4};

QString bidderName(int i) {
    return QStringLiteral("基准投标单位%1").arg(i + 1, 2, 10, QLatin1Char('0'));
}

QString bidderPassword(int i) {
    return QStringLiteral("bid-%1").arg(i + 1);
}

// The owner's bill: chapter lines, the insurance lines, a provisional sum and 100,000 priceable
// lines, and eight day-work items per schedule.
void fillTender(Database& db) {
    Transaction tx(db);
    const QString insert =
        QStringLiteral("insert into jd_htqd (合同编号, 章, 节, 段, 细目编号, 细目名称, 单位, 合同数量, "
                       "合同金额, 是否补充) values (?, ?, ?, ?, ?, ?, ?, ?, ?, 0)");
    const QStringList works = {QStringLiteral("挖土方"),
                               QStringLiteral("利用土方填筑"),
                               QStringLiteral("C25混凝土排水沟"),
                               QStringLiteral("M7.5浆砌片石护坡"),
                               QStringLiteral("路基挖除非适用材料（不含淤泥），包括装运、弃置及弃土场的整理与防护"),
                               QStringLiteral("带肋钢筋（HRB400）"),
                               QStringLiteral("级配碎石垫层")};
    const auto line = [&](const QString& chapter, const QString& item, const QString& name, const QString& unit,
                          double quantity, const QVariant& amount) {
        db.exec(insert, {kContract, chapter, item, item, item, name, unit, quantity, amount});
    };
    line(QStringLiteral("100"), QStringLiteral("101-1-a"), QStringLiteral("建筑工程一切险"), QStringLiteral("总额"), 1,
         {});
    line(QStringLiteral("100"), QStringLiteral("101-1-b"), QStringLiteral("第三方责任险"), QStringLiteral("总额"), 1,
         {});
    line(QStringLiteral("100"), QStringLiteral("102-3"), QStringLiteral("安全生产费"), QStringLiteral("暂定金总额"), 1,
         4500000);
    int written = 0;
    for (int c = 0; c < 7; ++c) {
        const int chapter = 100 * (c + 1);
        const QString code = QString::number(chapter);
        line(code, code, QStringLiteral("第%1章").arg(code), {}, 0, {});
        const int count = c == 6 ? kLines - written : kLines * kShare[c] / 100;
        for (int i = 0; i < count; ++i, ++written) {
            const QString item = QStringLiteral("%1-%2-%3").arg(chapter + 1 + i / 400).arg(i / 4 % 100 + 1).arg(i % 4);
            line(code, item, works[i % works.size()], QStringLiteral("m3"), 100 + (i * 37) % 90000, {});
        }
    }
    for (int bz = 1; bz <= 3; ++bz)
        for (int i = 1; i <= 8; ++i)
            db.exec(QStringLiteral("insert into Jl_ContractList (ID, ContractID, bz, ItemCode, ItemName, Unit, Amount) "
                                   "values (?, ?, ?, ?, '项目', 'h', 100)"),
                    {kContract, kContract, QString::number(bz), QString::number(bz * 100 + i)});
    tx.commit();
}

// A bidder's prices: every priceable line and day-work item, each bid within +/-10% of a base
// price; bid 1 prices fifty lines five times over, so some findings are there to list. Then the
// insurance line and every chapter total, as "章合计 和 保险费 计算" stores them.
void priceCopy(const QString& path, int bid) {
    {
        Database db = Database::open(path, DataFileKey());
        Transaction tx(db);
        db.exec(
            QStringLiteral("update jd_htqd set 合同单价 = RoundDecimals((5 + (rowid * 13) % 400 + 0.25 * (rowid % 4)) "
                           "* (1 + ((rowid * ?) % 21 - 10) / 100.0) * (case when ? = 1 and rowid % 2000 = 7 "
                           "then 5 else 1 end), 2) where 合同编号 = ? and 细目编号 <> 章 and 单位 <> ? and "
                           "细目编号 not in ('101-1-a', '101-1-b')"),
            {bid + 7, bid, kContract, QStringLiteral("暂定金总额")});
        db.exec(QStringLiteral("update jd_htqd set 合同金额 = RoundAmount(合同单价 * 合同数量) where 合同编号 = ? and "
                               "合同单价 is not null"),
                {kContract});
        db.exec(QStringLiteral("update Jl_ContractList set UnitPrice = 40 + ?, TotalMoney = (40 + ?) * Amount "
                               "where ContractID = ?"),
                {bid, bid, kContract});
        tx.commit();
    }
    DataModule dm(path);
    BoqTotals(dm).recomputeAll(kContract);
}

struct Files {
    QString tender;
    QStringList bids;
    QString script; // the anchor's statement with its keys
};

// The raw key of a file as the store takes it ("x'…'"), so the tool does not derive it again.
QByteArray rawKey(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray salt = file.read(kFileSaltBytes);
    return "x'" + Pbkdf2HmacSha1(DataFileKey(), salt, kFileKdfIterations, kFileKeyBytes).toHex() + "'";
}

// The comparison as one statement: every priceable line of the tender's bill with the bids'
// unit prices (priced, not 0), their minimum, median (the middle one, or the mean of the middle
// two, by each price's rank within its line) and maximum, each bid's deviation from the median,
// whether it lies outside +/-30% and the amount at stake. Summed, so that every figure of every
// row is computed without the tool's printing counting against it.
QByteArray anchorScript(const Files& files) {
    QByteArray script = "PRAGMA key = \"" + rawKey(files.tender) + "\";\n";
    QStringList branches;
    for (int i = 0; i < files.bids.size(); ++i) {
        script += "ATTACH DATABASE '" + files.bids[i].toUtf8() + "' AS b" + QByteArray::number(i + 1) + " KEY \"" +
                  rawKey(files.bids[i]) + "\";\n";
        branches << QStringLiteral("SELECT %1 AS bid, 细目编号 AS item, 合同单价 AS price FROM b%1.jd_htqd "
                                   "WHERE 合同编号 = 'BENCH' AND 合同单价 IS NOT NULL AND 合同单价 <> 0")
                        .arg(i + 1);
    }
    script +=
        QStringLiteral(
            "SELECT count(*), sum(lo), sum(median), sum(hi), sum(deviation), sum(unbalanced), sum(at_stake) FROM (\n"
            "WITH m AS (SELECT 细目编号 AS item, 合同数量 AS qty FROM main.jd_htqd WHERE 合同编号 = 'BENCH' "
            "AND coalesce(是否补充, 0) = 0 AND coalesce(合同数量, 0) <> 0 AND length(细目编号) >= 3 "
            "AND 细目编号 NOT IN ('101-1-a', '101-1-b') AND 细目编号 <> 章 AND coalesce(单位, '') <> '暂定金总额'),\n"
            "p AS (%1),\n"
            "s AS (SELECT item, count(*) AS n, min(price) AS lo, max(price) AS hi FROM p GROUP BY item),\n"
            // The tool's store has no window functions: a price's rank within its line by a join.
            "r AS (SELECT a.item AS item, a.price AS price, count(*) AS k FROM p a JOIN p b ON b.item = a.item "
            "AND (b.price < a.price OR (b.price = a.price AND b.bid <= a.bid)) GROUP BY a.item, a.bid),\n"
            "md AS (SELECT r.item AS item, avg(r.price) AS median FROM r JOIN s ON s.item = r.item "
            "WHERE r.k IN ((s.n + 1) / 2, (s.n + 2) / 2) GROUP BY r.item),\n"
            "med AS (SELECT m.item, m.qty, s.lo, s.hi, md.median FROM m JOIN s ON s.item = m.item "
            "JOIN md ON md.item = m.item)\n"
            "SELECT med.item, p.bid, p.price, med.lo, med.median, med.hi, "
            "(p.price - med.median) / abs(med.median) AS deviation, "
            "abs(p.price - med.median) * 100 > 30 * abs(med.median) AS unbalanced, "
            "(p.price - med.median) * med.qty AS at_stake FROM med JOIN p ON p.item = med.item);\n")
            .arg(branches.join(QStringLiteral("\nUNION ALL ")))
            .toUtf8();
    return script;
}

Files prepare(const QString& dir) {
    Files files;
    files.tender = QDir(dir).filePath(QStringLiteral("tender.tr"));
    const QString out = QDir(dir).filePath(QStringLiteral("issued"));
    for (int i = 0; i < kBids; ++i)
        files.bids << QDir(out).filePath(bidderName(i) + QStringLiteral(".tr"));
    files.script = QDir(dir).filePath(QStringLiteral("anchor.sql"));
    const bool made =
        QFileInfo::exists(files.tender) &&
        std::all_of(files.bids.cbegin(), files.bids.cend(), [](const QString& f) { return QFileInfo::exists(f); });
    if (!made) {
        std::fprintf(stderr, "writing the tender file and %d priced bid disks of %d lines ...\n", kBids, kLines);
        QFile::remove(files.tender);
        QDir(out).removeRecursively();
        CreateTenderFile(files.tender,
                         {QStringLiteral("P"), QStringLiteral("基准测试项目"), {}, kOwner, kOwnerPassword});
        Database db = Database::open(files.tender, DataFileKey());
        TenderContracts(db).add({kContract, QStringLiteral("P"), QStringLiteral("N-BENCH"),
                                 QStringLiteral("基准合同段"), QStringLiteral("K0+000"), QStringLiteral("K96+400")});
        fillTender(db);
        OwnerAccounts accounts(db);
        for (int i = 0; i < kBids; ++i)
            accounts.addBidder(bidderName(i), bidderPassword(i));
        TenderIssue issue(db);
        issue.issue(issue.plan(out), false);
        for (int i = 0; i < kBids; ++i)
            priceCopy(files.bids[i], i);
    }
    QFile script(files.script);
    if (!script.open(QIODevice::WriteOnly) || script.write(anchorScript(files)) < 0)
        std::fprintf(stderr, "cannot write %s\n", qPrintable(files.script));
    return files;
}

struct Measured {
    double wallMs = -1;
    double cpuMs = 0;
    long peakKiB = 0;
};

// Runs the program to its end with stdin from a file (or nothing) and stdout thrown away; the
// kernel's account of the child gives its processor time and its peak resident memory.
Measured runMeasured(const QString& program, const QStringList& args, const QString& input = {}) {
    std::vector<QByteArray> argv8 = {QFile::encodeName(program)};
    for (const QString& a : args)
        argv8.push_back(a.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& a : argv8)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const QByteArray inputPath = input.isEmpty() ? QByteArray("/dev/null") : QFile::encodeName(input);
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0) {
        const int in = open(inputPath.constData(), O_RDONLY);
        const int nul = open("/dev/null", O_WRONLY);
        if (in < 0 || nul < 0)
            _exit(127);
        dup2(in, 0);
        dup2(nul, 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    Measured m;
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed (status %d)\n", qPrintable(program), status);
        return m;
    }
    m.wallMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    for (const timeval& t : {usage.ru_utime, usage.ru_stime})
        m.cpuMs += static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    m.peakKiB = usage.ru_maxrss;
    return m;
}

QStringList clearArgs(const Files& files, int bids) {
    return QStringList{
               QStringLiteral("--data"),     files.tender,   QStringLiteral("--unit"), kOwner,
               QStringLiteral("--password"), kOwnerPassword, QStringLiteral("owner"),  QStringLiteral("clear-bids"),
               QStringLiteral("--contract"), kContract} +
           files.bids.mid(0, bids);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = bench::RoundsArgument(argc, argv, 5);
    QString keep;
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--keep")
            keep = QString::fromLocal8Bit(argv[i + 1]);
    const QString tenvora = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tenvora"));
    const QString sqlcipher = QStandardPaths::findExecutable(QStringLiteral("sqlcipher"));
    if (sqlcipher.isEmpty()) {
        std::fprintf(stderr, "sqlcipher not found (Debian package sqlcipher, installed by scripts/setup)\n");
        return 1;
    }
    std::unique_ptr<QTemporaryDir> temporary;
    if (keep.isEmpty()) {
        temporary = std::make_unique<QTemporaryDir>();
        keep = temporary->path();
    } else {
        QDir().mkpath(keep);
    }
    const Files files = prepare(keep);

    std::vector<Measured> ours;
    std::vector<Measured> anchor;
    std::vector<bench::Side> sides = {
        {QStringLiteral("sqlcipher"),
         [&] {
             const Measured m = runMeasured(sqlcipher, {files.tender}, files.script);
             anchor.push_back(m);
             return m.wallMs;
         },
         {}},
        {QStringLiteral("clear-bids"),
         [&] {
             const Measured m = runMeasured(tenvora, clearArgs(files, kBids));
             ours.push_back(m);
             return m.wallMs;
         },
         {}},
    };
    if (!bench::RunInTurns(sides, rounds))
        return 1;
    const auto median = [](const std::vector<Measured>& runs, auto field) {
        std::vector<double> values;
        for (size_t i = 1; i < runs.size(); ++i) // the first run of each side warmed up
            values.push_back(static_cast<double>(runs[i].*field));
        return bench::Median(values);
    };
    std::vector<double> cpuRatios;
    for (size_t i = 1; i < ours.size() && i < anchor.size(); ++i)
        cpuRatios.push_back(ours[i].cpuMs / anchor[i].cpuMs);
    std::printf("Clearing %d bid disks of a %d-line contract, median of %d rounds:\n", kBids, kLines, rounds);
    std::printf("  owner clear-bids  wall %.0f ms, processor %.0f ms, peak %.1f MB\n", median(ours, &Measured::wallMs),
                median(ours, &Measured::cpuMs), median(ours, &Measured::peakKiB) / 1024);
    std::printf("  sqlcipher anchor  wall %.0f ms, processor %.0f ms, peak %.1f MB\n",
                median(anchor, &Measured::wallMs), median(anchor, &Measured::cpuMs),
                median(anchor, &Measured::peakKiB) / 1024);
    std::printf("  ratio wall %.2f, processor %.2f (limit 2.0)\n", bench::MedianRatio(sides[1], sides[0]),
                bench::Median(cpuRatios));

    // Memory against the number of disks: the comparison table grows by a price (8 bytes) per
    // priceable line per disk; anything beyond that would be held per disk.
    std::printf("Peak memory of owner clear-bids by number of disks (comparison table: %.2f MB per disk):\n",
                kLines * 8.0 / (1024 * 1024));
    long first = 0;
    int firstBids = 0;
    for (const int bids : {1, 2, 5, 10}) {
        std::vector<double> peaks;
        for (int r = 0; r < std::max(1, rounds / 2); ++r) {
            const Measured m = runMeasured(tenvora, clearArgs(files, bids));
            if (m.wallMs < 0)
                return 1;
            peaks.push_back(static_cast<double>(m.peakKiB));
        }
        const long peak = static_cast<long>(bench::Median(peaks));
        if (firstBids == 0) {
            first = peak;
            firstBids = bids;
        }
        const double growth = static_cast<double>(peak - first) / 1024;
        const double table = (bids - firstBids) * kLines * 8.0 / (1024 * 1024);
        std::printf("  %2d disks: peak %.1f MB, growth over %d disk %.1f MB, of it the comparison table %.1f MB\n",
                    bids, static_cast<double>(peak) / 1024, firstBids, growth, table);
    }
    if (temporary == nullptr) {
        std::printf("Kept in %s: the anchor is  %s %s < %s\n", qPrintable(keep), qPrintable(sqlcipher),
                    qPrintable(files.tender), qPrintable(files.script));
        std::printf("  ours is  %s %s\n", qPrintable(tenvora),
                    qPrintable(clearArgs(files, kBids).join(QLatin1Char(' '))));
    }
    return 0;
}

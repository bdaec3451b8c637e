// "tenvora owner clear-bids" end to end: a tender issued to three bidders, each copy priced by the
// bidder's own commands and written to a bid disk, one disk altered by hand afterwards; the
// clearing's findings, prices, ranking and scores checked against figures worked out here from
// the amount and evaluation rules, and its workbook and report written.
#include "CliSupport.h"
#include "data/AppPaths.h"
#include "data/BoqWorkbooks.h"
#include "data/Database.h"
#include "data/Money.h"
#include "support/TestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

using namespace tenvora;
using namespace tenvora::test;

namespace {

const QString kOwner = QStringLiteral("招标办公室");
const QString kOwnerPassword = QStringLiteral("owner-pw-9");
constexpr double kProvisionalSum = 50000;

// The owner's bill: priceable lines and their quantities.
const std::map<QString, double> kQuantities = {{QStringLiteral("102-1"), 1},
                                               {QStringLiteral("203-1-a"), 1000},
                                               {QStringLiteral("204-1-b"), 2500},
                                               {QStringLiteral("205-1"), 320}};
// Day work: schedule, code, quantity.
struct DayItem {
    int schedule;
    QString code;
    double quantity;
};
const QList<DayItem> kDaywork = {
    {1, QStringLiteral("101"), 200}, {2, QStringLiteral("201"), 20}, {3, QStringLiteral("301"), 50}};

struct Bidder {
    QString unit;
    QString password;
    std::map<QString, double> prices;
    QList<std::optional<double>> daywork; // per kDaywork item; none left unpriced
};

// 乙 changes 204-1-b's quantity in its copy and, after writing its disk, 205-1's amount in the
// disk; 丙 prices 205-1 at five times the median of the three (160) and leaves 301 unpriced.
const QList<Bidder> kBidders = {
    {QStringLiteral("甲路桥公司"),
     QStringLiteral("jia-1"),
     {{QStringLiteral("102-1"), 20500},
      {QStringLiteral("203-1-a"), 12.5},
      {QStringLiteral("204-1-b"), 8.4},
      {QStringLiteral("205-1"), 150}},
     {40, 450, 300}},
    {QStringLiteral("乙建设集团"),
     QStringLiteral("yi-2"),
     {{QStringLiteral("102-1"), 21000},
      {QStringLiteral("203-1-a"), 13},
      {QStringLiteral("204-1-b"), 8},
      {QStringLiteral("205-1"), 160}},
     {42, 460, 310}},
    {QStringLiteral("丙工程局"),
     QStringLiteral("bing-3"),
     {{QStringLiteral("102-1"), 19000},
      {QStringLiteral("203-1-a"), 12},
      {QStringLiteral("204-1-b"), 8.2},
      {QStringLiteral("205-1"), 800}},
     {38, 440, std::nullopt}},
};
const double kAlteredQuantity = 2000; // 乙's 204-1-b
const double kAlteredAmount = 52000;  // 乙's 205-1, where 160 x 320 = 51200

// The bid price by the rules: line amounts RoundAmount(price x quantity); the premium
// RoundAmount(0.003 x the sum of the other lines' amounts, provisional sum included); the BoQ total
// the lines plus the premium; the tenth RoundAmount((BoQ total - provisional sums) x 0.1); the
// day-work total each schedule's sum rounded; bid price = BoQ total + day work + tenth.
struct Figures {
    qint64 premium = 0;
    qint64 bidPrice = 0;
};

Figures bidPrice(const std::map<QString, qint64>& amounts, const QList<std::optional<double>>& daywork) {
    qint64 base = static_cast<qint64>(kProvisionalSum);
    for (const auto& [item, amount] : amounts)
        base += amount;
    Figures f;
    f.premium = RoundAmount(static_cast<double>(base) * 0.003);
    const qint64 boq = base + f.premium;
    const qint64 tenth = RoundAmount(static_cast<double>(boq - static_cast<qint64>(kProvisionalSum)) * 0.1);
    qint64 dw = 0;
    for (int i = 0; i < kDaywork.size(); ++i)
        if (daywork[i])
            dw += RoundAmount(*daywork[i] * kDaywork[i].quantity);
    f.bidPrice = boq + dw + tenth;
    return f;
}

std::map<QString, qint64> amountsAt(const Bidder& b, const std::map<QString, double>& quantities) {
    std::map<QString, qint64> amounts;
    for (const auto& [item, quantity] : quantities)
        amounts[item] = RoundAmount(b.prices.at(item) * quantity);
    return amounts;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

QByteArray digest(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// What/item pairs of a finding list, sorted.
QStringList findingKeys(const QJsonArray& list) {
    QStringList keys;
    for (const QJsonValue& v : list)
        keys << v.toObject().value(QStringLiteral("what")).toString() + QLatin1Char(' ') +
                    v.toObject().value(QStringLiteral("item")).toString();
    keys.sort();
    return keys;
}

QJsonObject findingOf(const QJsonArray& list, const QString& what, const QString& item) {
    for (const QJsonValue& v : list)
        if (v.toObject().value(QStringLiteral("what")).toString() == what &&
            v.toObject().value(QStringLiteral("item")).toString() == item)
            return v.toObject();
    ADD_FAILURE() << "no finding " << what.toStdString() << " " << item.toStdString();
    return {};
}

class CliClearBids : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new QTemporaryDir;
        ASSERT_TRUE(s_dir->isValid());
        prepare();
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }

    static QString path(const QString& name) { return QDir(s_dir->path()).filePath(name); }
    static QString tender() { return path(QStringLiteral("招标.tr")); }
    static QString disk(int bidder) { return path(kBidders[bidder].unit + QStringLiteral("-投标盘.tr")); }

    static CliRun run(const QStringList& args) {
        return RunCli(CliCall(args, QProcessEnvironment::systemEnvironment(), QString(), 120000));
    }
    static CliRun owner(const QStringList& args, const QString& file = tender()) {
        return run(QStringList{QStringLiteral("--data"), file, QStringLiteral("--unit"), kOwner,
                               QStringLiteral("--password"), kOwnerPassword, QStringLiteral("--json"),
                               QStringLiteral("owner")} +
                   args);
    }
    static CliRun bidder(const QString& file, const Bidder& b, const QStringList& args) {
        return run(QStringList{QStringLiteral("--data"), file, QStringLiteral("--unit"), b.unit,
                               QStringLiteral("--password"), b.password, QStringLiteral("--json")} +
                   args);
    }
    static CliRun clear(const QStringList& disks, const QStringList& options = {}) {
        return owner(QStringList{QStringLiteral("clear-bids")} + disks + options);
    }

    // A tender file with contract A1 and the three bidders, issued into DIR.
    static void issueTender(const QString& file, const QString& dir, const QList<Bidder>& bidders) {
        CliRun r = run({QStringLiteral("owner"), QStringLiteral("new"), file, QStringLiteral("--project"),
                        QStringLiteral("P1"), QStringLiteral("--name"), QStringLiteral("测试高速公路"),
                        QStringLiteral("--owner-unit"), kOwner, QStringLiteral("--owner-password"), kOwnerPassword});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        r = owner({QStringLiteral("contract"), QStringLiteral("add"), QStringLiteral("A1"), QStringLiteral("--project"),
                   QStringLiteral("P1"), QStringLiteral("--number"), QStringLiteral("N-A1"), QStringLiteral("--name"),
                   QStringLiteral("A1合同段"), QStringLiteral("--start"), QStringLiteral("K0+000"),
                   QStringLiteral("--end"), QStringLiteral("K9+000")},
                  file);
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QString workbook = path(QStringLiteral("招标清单.xlsx"));
        if (!QFileInfo::exists(workbook)) {
            const QJsonArray dayHead{QStringLiteral("编号"), QStringLiteral("名称"), QStringLiteral("单位"),
                                     QStringLiteral("数量")};
            const QString error = WriteWorkbook(
                workbook,
                QJsonArray{
                    Sheet(
                        QStringLiteral("工程量清单"),
                        QJsonArray{
                            QJsonArray{QStringLiteral("细目编号"), QStringLiteral("细目名称"), QStringLiteral("单位"),
                                       QStringLiteral("合同数量"), QStringLiteral("合价")},
                            QJsonArray{100, QStringLiteral("总则"), QJsonValue(), 0},
                            QJsonArray{QStringLiteral("101-1-a"),
                                       QStringLiteral("建筑工程一切险"), QStringLiteral("总额"), 1},
                            QJsonArray{QStringLiteral("102-1"), QStringLiteral("竣工文件"), QStringLiteral("总额"), 1},
                            QJsonArray{QStringLiteral("102-3"), QStringLiteral("安全生产费"),
                                       QStringLiteral("暂定金总额"), 1, kProvisionalSum},
                            QJsonArray{200, QStringLiteral("路基"), QJsonValue(), 0},
                            QJsonArray{QStringLiteral("203-1-a"), QStringLiteral("挖土方"), QStringLiteral("m3"), 1000},
                            QJsonArray{QStringLiteral("204-1-b"), QStringLiteral("利用土方"), QStringLiteral("m3"),
                                       2500},
                            QJsonArray{QStringLiteral("205-1"), QStringLiteral("浆砌片石边沟"), QStringLiteral("m"),
                                       320}}),
                    Sheet(QStringLiteral("计日工劳务"),
                          QJsonArray{dayHead, QJsonArray{101, QStringLiteral("普通工"), QStringLiteral("h"), 200}}),
                    Sheet(QStringLiteral("计日工材料"),
                          QJsonArray{dayHead, QJsonArray{201, QStringLiteral("水泥"), QStringLiteral("t"), 20}}),
                    Sheet(QStringLiteral("计日工施工机械"),
                          QJsonArray{dayHead, QJsonArray{301, QStringLiteral("装载机"), QStringLiteral("h"), 50}})});
            ASSERT_EQ(error, QString());
        }
        for (const QString& what : {QStringLiteral("import-boq"), QStringLiteral("import-daywork")}) {
            r = owner({what, QStringLiteral("A1"), workbook}, file);
            ASSERT_EQ(r.code, 0) << r.err.toStdString();
        }
        for (const Bidder& b : bidders) {
            r = owner({QStringLiteral("unit"), QStringLiteral("add"), b.unit, QStringLiteral("--password"), b.password},
                      file);
            ASSERT_EQ(r.code, 0) << r.err.toStdString();
        }
        r = owner({QStringLiteral("issue"), QStringLiteral("--dir"), dir}, file);
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
    }

    // The bidder's part: select, price every line and day-work item, recompute, write the disk.
    static void priceAndReturn(const QString& copy, const Bidder& b, const QString& target) {
        ASSERT_EQ(bidder(copy, b, {QStringLiteral("select"), QStringLiteral("A1")}).code, 0);
        for (const auto& [item, price] : b.prices) {
            const CliRun r =
                bidder(copy, b, {QStringLiteral("boq"), QStringLiteral("price"), item, GeneralText(price)});
            ASSERT_EQ(r.code, 0) << r.err.toStdString();
        }
        for (int i = 0; i < kDaywork.size(); ++i) {
            if (!b.daywork[i])
                continue;
            const CliRun r =
                bidder(copy, b,
                       {QStringLiteral("daywork"), QStringLiteral("price"), QStringLiteral("--schedule"),
                        QString::number(kDaywork[i].schedule), kDaywork[i].code, GeneralText(*b.daywork[i])});
            ASSERT_EQ(r.code, 0) << r.err.toStdString();
        }
        ASSERT_EQ(bidder(copy, b, {QStringLiteral("boq"), QStringLiteral("recompute"), QStringLiteral("--all")}).code,
                  0);
        const CliRun written = bidder(copy, b, {QStringLiteral("bid-disk"), target, QStringLiteral("--anyway")});
        ASSERT_EQ(written.code, 0) << written.err.toStdString();
    }

    static void prepare() {
        const QString issued = path(QStringLiteral("发出"));
        issueTender(tender(), issued, kBidders);
        for (int i = 0; i < kBidders.size(); ++i) {
            const Bidder& b = kBidders[i];
            const QString copy = QDir(issued).filePath(b.unit + QStringLiteral(".tr"));
            if (i == 1) {
                // The quantity changed in the copy, before pricing: its amounts follow it.
                Database db = Database::open(copy, DataFileKey());
                db.exec(QStringLiteral("update jd_htqd set 合同数量=? where 细目编号='204-1-b'"), {kAlteredQuantity});
            }
            priceAndReturn(copy, b, disk(i));
            if (i == 1) {
                Database db = Database::open(disk(i), DataFileKey());
                db.exec(QStringLiteral("update jd_htqd set 合同金额=? where 细目编号='205-1'"), {kAlteredAmount});
            }
        }
    }

    static QTemporaryDir* s_dir;
};

QTemporaryDir* CliClearBids::s_dir = nullptr;

TEST_F(CliClearBids, FindingsPricesRankingAndScoresFollowTheRules) {
    const QByteArray before = digest(tender());
    const QList<QByteArray> disksBefore = {digest(disk(0)), digest(disk(1)), digest(disk(2))};
    const QString xlsx = path(QStringLiteral("清标.xlsx"));
    const QString pdf = path(QStringLiteral("清标.pdf"));
    const CliRun r = clear({disk(0), disk(1), disk(2)}, {QStringLiteral("--xlsx"), xlsx, QStringLiteral("--pdf"), pdf});
    ASSERT_EQ(r.code, 0) << r.err.toStdString() << r.out.toStdString();
    const QJsonObject json = r.json();
    const QJsonArray bids = json.value(QStringLiteral("bids")).toArray();
    ASSERT_EQ(bids.size(), 3);

    // The figures by the rules.
    std::map<QString, double> owners = kQuantities;
    std::map<QString, double> yiQuantities = kQuantities;
    yiQuantities[QStringLiteral("204-1-b")] = kAlteredQuantity;
    std::vector<qint64> declared, corrected;
    for (int i = 0; i < kBidders.size(); ++i) {
        corrected.push_back(bidPrice(amountsAt(kBidders[i], owners), kBidders[i].daywork).bidPrice);
        std::map<QString, qint64> stored = amountsAt(kBidders[i], i == 1 ? yiQuantities : owners);
        if (i == 1)
            stored[QStringLiteral("205-1")] = static_cast<qint64>(kAlteredAmount);
        declared.push_back(bidPrice(stored, kBidders[i].daywork).bidPrice);
    }
    // Three valid bids: fewer than five, so none is left out of the mean.
    const double benchmark = static_cast<double>(corrected[0] + corrected[1] + corrected[2]) / 3;
    EXPECT_NEAR(json.value(QStringLiteral("benchmark")).toDouble(), benchmark, 1e-6);

    for (int i = 0; i < kBidders.size(); ++i) {
        const QJsonObject bid = bids[i].toObject();
        SCOPED_TRACE(kBidders[i].unit.toStdString());
        EXPECT_EQ(bid.value(QStringLiteral("unit")).toString(), kBidders[i].unit);
        EXPECT_EQ(bid.value(QStringLiteral("file")).toString(), QDir::toNativeSeparators(disk(i)));
        EXPECT_EQ(bid.value(QStringLiteral("status")).toString(), QStringLiteral("evaluated"));
        EXPECT_EQ(static_cast<qint64>(bid.value(QStringLiteral("declared")).toDouble()), declared[i]);
        EXPECT_EQ(static_cast<qint64>(bid.value(QStringLiteral("corrected")).toDouble()), corrected[i]);
        const int rank = 1 + static_cast<int>(std::count_if(corrected.begin(), corrected.end(),
                                                            [&](qint64 p) { return p < corrected[i]; }));
        EXPECT_EQ(bid.value(QStringLiteral("rank")).toInt(), rank);
        const double d = (static_cast<double>(corrected[i]) - benchmark) / benchmark;
        EXPECT_NEAR(bid.value(QStringLiteral("deviation")).toDouble(), d, 1e-12);
        EXPECT_NEAR(bid.value(QStringLiteral("score")).toDouble(), 100 - 100 * std::abs(d) * (d >= 0 ? 2 : 1), 1e-9);
    }
    // Only 甲 bid as issued and as the rules give, so only its declared price is the corrected one.
    EXPECT_EQ(declared[0], corrected[0]);
    EXPECT_NE(declared[1], corrected[1]);

    const QJsonObject jia = bids[0].toObject();
    const QJsonObject yi = bids[1].toObject();
    const QJsonObject bing = bids[2].toObject();
    for (const char* kind : {"altered", "arithmetic", "unpriced", "unbalanced"})
        EXPECT_EQ(jia.value(QLatin1String(kind)).toArray(), QJsonArray()) << kind;

    // 乙: the changed quantity; the amount changed in the file, with the premium and the totals of
    // both chapters it leaves stale.
    EXPECT_EQ(findingKeys(yi.value(QStringLiteral("altered")).toArray()),
              QStringList{QStringLiteral("quantity 204-1-b")});
    const QJsonObject quantity =
        findingOf(yi.value(QStringLiteral("altered")).toArray(), QStringLiteral("quantity"), QStringLiteral("204-1-b"));
    EXPECT_EQ(quantity.value(QStringLiteral("tender")).toDouble(), 2500);
    EXPECT_EQ(quantity.value(QStringLiteral("bid")).toDouble(), kAlteredQuantity);
    EXPECT_EQ(findingKeys(yi.value(QStringLiteral("arithmetic")).toArray()),
              (QStringList{QStringLiteral("amount 205-1"), QStringLiteral("chapter-total 100"),
                           QStringLiteral("chapter-total 200"), QStringLiteral("insurance 101-1-a")}));
    const QJsonArray yiArithmetic = yi.value(QStringLiteral("arithmetic")).toArray();
    const QJsonObject amount = findingOf(yiArithmetic, QStringLiteral("amount"), QStringLiteral("205-1"));
    EXPECT_EQ(amount.value(QStringLiteral("bid")).toDouble(), kAlteredAmount);
    EXPECT_EQ(amount.value(QStringLiteral("expected")).toDouble(), 160 * 320);
    std::map<QString, qint64> yiStored = amountsAt(kBidders[1], yiQuantities);
    yiStored[QStringLiteral("205-1")] = static_cast<qint64>(kAlteredAmount);
    const QJsonObject premium = findingOf(yiArithmetic, QStringLiteral("insurance"), QStringLiteral("101-1-a"));
    EXPECT_EQ(static_cast<qint64>(premium.value(QStringLiteral("expected")).toDouble()),
              bidPrice(yiStored, kBidders[1].daywork).premium);
    const QJsonObject chapter200 = findingOf(yiArithmetic, QStringLiteral("chapter-total"), QStringLiteral("200"));
    EXPECT_EQ(chapter200.value(QStringLiteral("expected")).toDouble(),
              yiStored[QStringLiteral("203-1-a")] + yiStored[QStringLiteral("204-1-b")] + kAlteredAmount);
    EXPECT_EQ(chapter200.value(QStringLiteral("bid")).toDouble(),
              yiStored[QStringLiteral("203-1-a")] + yiStored[QStringLiteral("204-1-b")] + 160 * 320);
    EXPECT_EQ(yi.value(QStringLiteral("unpriced")).toArray(), QJsonArray());
    EXPECT_EQ(yi.value(QStringLiteral("unbalanced")).toArray(), QJsonArray());

    // 丙: its unpriced machine hour and its price five times the median.
    EXPECT_EQ(findingKeys(bing.value(QStringLiteral("unpriced")).toArray()),
              QStringList{QStringLiteral("daywork-unpriced 301")});
    EXPECT_EQ(bing.value(QStringLiteral("altered")).toArray(), QJsonArray());
    EXPECT_EQ(bing.value(QStringLiteral("arithmetic")).toArray(), QJsonArray());
    EXPECT_EQ(findingKeys(bing.value(QStringLiteral("unbalanced")).toArray()),
              QStringList{QStringLiteral("unbalanced 205-1")});
    const double m = median({150, 160, 800});
    ASSERT_EQ(m * 5, 800);
    const QJsonObject unbalanced = findingOf(bing.value(QStringLiteral("unbalanced")).toArray(),
                                             QStringLiteral("unbalanced"), QStringLiteral("205-1"));
    EXPECT_EQ(unbalanced.value(QStringLiteral("median")).toDouble(), m);
    EXPECT_DOUBLE_EQ(unbalanced.value(QStringLiteral("deviation")).toDouble(), (800 - m) / m);
    EXPECT_DOUBLE_EQ(unbalanced.value(QStringLiteral("atStake")).toDouble(), (800 - m) * 320);

    // Nothing was written but the two outputs.
    EXPECT_EQ(digest(tender()), before);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(digest(disk(i)), disksBefore[i]);
    EXPECT_EQ(json.value(QStringLiteral("written")).toArray().size(), 2);
    EXPECT_GT(QFileInfo(xlsx).size(), 0);
    QFile report(pdf);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_TRUE(report.read(5) == "%PDF-");
    // For a person to look at.
    if (const QString grabs = qEnvironmentVariable("TENVORA_GRAB_DIR"); !grabs.isEmpty())
        for (const QString& file : {xlsx, pdf}) {
            QFile::remove(QDir(grabs).filePath(QFileInfo(file).fileName()));
            QFile::copy(file, QDir(grabs).filePath(QFileInfo(file).fileName()));
        }
}

TEST_F(CliClearBids, TheParametersChangeTheEvaluationAndAreRefusedWhenUnusable) {
    // A narrower range flags more, K lowers the benchmark, the extremes go from three bids on.
    const CliRun r =
        clear({disk(0), disk(1), disk(2)},
              {QStringLiteral("--deviation"), QStringLiteral("3"), QStringLiteral("--k"), QStringLiteral("0.05"),
               QStringLiteral("--drop-extremes"), QStringLiteral("3"), QStringLiteral("--e1"), QStringLiteral("3"),
               QStringLiteral("--score"), QStringLiteral("60")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonArray bids = r.json().value(QStringLiteral("bids")).toArray();
    std::vector<qint64> corrected;
    for (const QJsonValue& b : bids)
        corrected.push_back(static_cast<qint64>(b.toObject().value(QStringLiteral("corrected")).toDouble()));
    std::vector<qint64> sorted = corrected;
    std::sort(sorted.begin(), sorted.end());
    const double benchmark = static_cast<double>(sorted[1]) * 0.95; // the middle one of three
    EXPECT_NEAR(r.json().value(QStringLiteral("benchmark")).toDouble(), benchmark, 1e-6);
    EXPECT_TRUE(r.json().value(QStringLiteral("extremesDropped")).toBool());
    for (int i = 0; i < 3; ++i) {
        const double d = (static_cast<double>(corrected[static_cast<size_t>(i)]) - benchmark) / benchmark;
        EXPECT_NEAR(bids[i].toObject().value(QStringLiteral("score")).toDouble(),
                    60 - 100 * std::abs(d) * (d >= 0 ? 3 : 1), 1e-9);
    }
    // 甲's 205-1 at 150 lies 6.25% under the median 160.
    QStringList jia = findingKeys(bids[0].toObject().value(QStringLiteral("unbalanced")).toArray());
    EXPECT_TRUE(jia.contains(QStringLiteral("unbalanced 205-1"))) << jia.join(',').toStdString();

    for (const QStringList& bad : {QStringList{QStringLiteral("--k"), QStringLiteral("1")},
                                   QStringList{QStringLiteral("--deviation"), QStringLiteral("x")},
                                   QStringList{QStringLiteral("--drop-extremes"), QStringLiteral("2.5")},
                                   QStringList{QStringLiteral("--bogus")}}) {
        const CliRun refused = clear({disk(0)}, bad);
        EXPECT_EQ(refused.code, 2) << bad.join(' ').toStdString() << refused.err.toStdString();
    }
    EXPECT_EQ(clear({}).code, 2);
}

TEST_F(CliClearBids, DisksThatAreNotValidBidsAreSetAsideWithTheirReason) {
    // A disk of another tender: its own issue, its own file.
    const QString otherTender = path(QStringLiteral("另一招标.tr"));
    const QString otherIssued = path(QStringLiteral("另一发出"));
    if (!QFileInfo::exists(otherTender))
        issueTender(otherTender, otherIssued, {kBidders[0]});
    const QString otherCopy = QDir(otherIssued).filePath(kBidders[0].unit + QStringLiteral(".tr"));
    // Two disks of 乙, a damaged one and a file that is no data file.
    const QString second = path(QStringLiteral("乙-第二份.tr"));
    QFile::remove(second);
    ASSERT_TRUE(QFile::copy(disk(1), second));
    const QString damaged = path(QStringLiteral("损坏.tr"));
    {
        QFile::remove(damaged);
        ASSERT_TRUE(QFile::copy(disk(0), damaged));
        QFile f(damaged);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.seek(f.size() / 2));
        f.write(QByteArray(4096, '\x5a'));
    }
    const QString text = path(QStringLiteral("说明.tr"));
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a bid disk");
    }
    const QByteArray before = digest(tender());
    const CliRun r = clear({disk(0), disk(1), second, otherCopy, damaged, text, disk(0), tender(), disk(2)});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonArray bids = r.json().value(QStringLiteral("bids")).toArray();
    ASSERT_EQ(bids.size(), 9);
    const QStringList expected = {
        QStringLiteral("evaluated"),    QStringLiteral("duplicate"),  QStringLiteral("duplicate"),
        QStringLiteral("other-tender"), QStringLiteral("unreadable"), QStringLiteral("unreadable"),
        QStringLiteral("unreadable"),   QStringLiteral("unreadable"), QStringLiteral("evaluated")};
    for (int i = 0; i < bids.size(); ++i) {
        const QJsonObject bid = bids[i].toObject();
        EXPECT_EQ(bid.value(QStringLiteral("status")).toString(), expected[i]) << i;
        if (expected[i] == QStringLiteral("evaluated")) {
            EXPECT_EQ(bid.value(QStringLiteral("reason")).toString(), QString());
            EXPECT_GT(bid.value(QStringLiteral("rank")).toInt(), 0);
        } else {
            EXPECT_FALSE(bid.value(QStringLiteral("reason")).toString().isEmpty()) << i;
            EXPECT_TRUE(bid.value(QStringLiteral("rank")).isNull()) << i;
            EXPECT_TRUE(bid.value(QStringLiteral("score")).isNull()) << i;
        }
    }
    EXPECT_TRUE(bids[1].toObject().value(QStringLiteral("reason")).toString().contains(kBidders[1].unit));
    EXPECT_TRUE(bids[6].toObject().value(QStringLiteral("reason")).toString().contains(QStringLiteral("同一个文件")));
    EXPECT_TRUE(bids[7].toObject().value(QStringLiteral("reason")).toString().contains(QStringLiteral("招标文件本身")));
    // Two bids left: their benchmark is their mean.
    const double mean = (bids[0].toObject().value(QStringLiteral("corrected")).toDouble() +
                         bids[8].toObject().value(QStringLiteral("corrected")).toDouble()) /
                        2;
    EXPECT_NEAR(r.json().value(QStringLiteral("benchmark")).toDouble(), mean, 1e-6);
    EXPECT_EQ(digest(tender()), before);

    // Nothing valid at all: exit 1, and still each disk's reason.
    const CliRun none = clear({damaged, otherCopy});
    EXPECT_EQ(none.code, 1);
    EXPECT_EQ(none.json().value(QStringLiteral("bids")).toArray().size(), 2);
    EXPECT_EQ(digest(tender()), before);
}

TEST_F(CliClearBids, TheTextSummaryNamesTheRankingTheBenchmarkAndTheParameters) {
    const CliRun r = run({QStringLiteral("--data"), tender(), QStringLiteral("--unit"), kOwner,
                          QStringLiteral("--password"), kOwnerPassword, QStringLiteral("owner"),
                          QStringLiteral("clear-bids"), disk(0), disk(1), disk(2), disk(2)});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    for (const QString& unit : {kBidders[0].unit, kBidders[1].unit, kBidders[2].unit})
        EXPECT_TRUE(r.out.contains(unit)) << unit.toStdString();
    // The disk given twice has no rank: its row keeps the columns in line (the rank's blank).
    const QStringList lines = r.out.split(QLatin1Char('\n'));
    const auto setAside = std::find_if(lines.cbegin(), lines.cend(), [](const QString& l) {
        return l.endsWith(QStringLiteral("无法读取")) && !l.contains(QStringLiteral("："));
    });
    ASSERT_NE(setAside, lines.cend()) << r.out.toStdString();
    EXPECT_TRUE(setAside->startsWith(QStringLiteral("      "))) << setAside->toStdString();
    for (const char* text : {"评标基准价", "评标参数", "不平衡报价", "205-1", "204-1-b", "K = 0"})
        EXPECT_TRUE(r.out.contains(QString::fromUtf8(text))) << text << r.out.toStdString();
    // A bidder's account does not open the owner's clearing.
    const CliRun bidderLogin = run({QStringLiteral("--data"), tender(), QStringLiteral("--unit"), kBidders[0].unit,
                                    QStringLiteral("--password"), kBidders[0].password, QStringLiteral("owner"),
                                    QStringLiteral("clear-bids"), disk(0)});
    EXPECT_EQ(bidderLogin.code, 1);
}

} // namespace

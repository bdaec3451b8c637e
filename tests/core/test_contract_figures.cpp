// The figures of a bid agree on every form: random contracts with hostile content, checked
// against figures worked out here from the stored rows, and the cases that once disagreed.
#include "boq/AmountRules.h"
#include "boq/BidCheck.h"
#include "data/Money.h"
#include "reports/BidSet.h"
#include "reports/BoqChapterReport.h"
#include "reports/BoqSummaryReport.h"
#include "reports/DayworkReports.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <random>

using namespace tenvora;
using namespace tenvora::test;

namespace {

class FiguresTest : public testing::Test {
protected:
    void SetUp() override {
        dm = file.open();
        dm->LoadCurrentContract();
        ASSERT_EQ(dm->session().CurContractID, QStringLiteral("A1"));
        exec(QStringLiteral("delete from jd_htqd where 合同编号='A1'"));
        exec(QStringLiteral("delete from Jl_ContractList where ContractID='A1'"));
        context = std::make_unique<ReportContext>(*dm);
    }
    void exec(const QString& sql, const QVariantList& values = {}) { dm->database().exec(sql, values); }
    void line(const QString& chapter, const QString& item, const QVariant& quantity, const QVariant& price,
              const QVariant& amount, const QString& unit = QStringLiteral("m"), const QVariant& bz = QVariant(),
              int supplementary = 0) {
        exec(
            QStringLiteral("insert into jd_htqd (合同编号, 章, 细目编号, 细目名称, 单位, 合同数量, 合同单价, 合同金额, "
                           "bz, 是否补充) values ('A1', ?, ?, '细目', ?, ?, ?, ?, ?, ?)"),
            {chapter, item, unit, quantity, price, amount, bz, supplementary});
    }
    void daywork(const QVariant& bz, const QString& code, const QVariant& quantity, const QVariant& price,
                 const QVariant& total) {
        exec(QStringLiteral("insert into Jl_ContractList (ID, ContractID, bz, ItemCode, ItemName, Unit, Amount, "
                            "UnitPrice, TotalMoney) values ('A1', 'A1', ?, ?, '计日工', 'h', ?, ?, ?)"),
             {bz, code, quantity, price, total});
    }
    QString snapshot() {
        QString text;
        Statement st = dm->database().prepare(
            QStringLiteral("select quote(合同单价), quote(合同金额) from jd_htqd where 合同编号='A1' order by rowid"));
        while (st.next())
            text += st.value(0).toString() + QLatin1Char('/') + st.value(1).toString() + QLatin1Char(' ');
        return text;
    }
    QString figure(const char* name) {
        for (const auto& [n, text] : context->Report1.figures())
            if (n == QLatin1String(name))
                return text;
        return QStringLiteral("(none)");
    }
    QString object(const char* name) {
        return context->Report1.FindReportObject(QString::fromLatin1(name))->lineTexts().value(0);
    }
    qint64 number(const QString& text) { return text.toLongLong(); }

    TempDataFile file;
    std::unique_ptr<DataModule> dm;
    std::unique_ptr<ReportContext> context;
};

// The rules worked out once more, plainly, from the rows as stored.
struct Expected {
    qint64 premium = 0;
    QMap<QString, qint64> printed; // report B's total per chapter
    qint64 provisional = 0;        // in the chapters' printed totals
    qint64 daywork = 0;
};

Expected Work(Database& db) {
    struct Row {
        QString chapter, item, unit;
        bool remark;
        double amount;
    };
    QList<Row> rows;
    Statement st = db.prepare(QStringLiteral(
        "select 章, 细目编号, 单位, coalesce(bz, '') <> '', coalesce(合同金额, 0) from jd_htqd where 合同编号='A1'"));
    while (st.next())
        rows << Row{st.value(0).toString(), st.value(1).toString(), st.value(2).toString(), st.value(3).toBool(),
                    st.value(4).toDouble()};
    Expected e;
    double base = 0;
    for (const Row& r : rows)
        if (r.item.size() > 3 && r.item != QLatin1String("101-1-a") && r.item != QLatin1String("101-1-b") &&
            !(!r.chapter.isEmpty() && r.item == r.chapter))
            base += r.amount;
    e.premium = RoundAmount(static_cast<double>(static_cast<long double>(RoundAmount(base)) * 0.003L));
    QMap<QString, double> printed;
    double provisional = 0;
    for (const Row& r : rows) {
        if (r.chapter.isEmpty() || r.item == r.chapter || r.remark)
            continue;
        printed[r.chapter] += r.amount;
        if (r.unit == QStringLiteral("暂定金总额"))
            provisional += r.amount;
    }
    for (auto it = printed.cbegin(); it != printed.cend(); ++it)
        e.printed[it.key()] = RoundAmount(it.value());
    e.provisional = RoundAmount(provisional);
    Statement dw = db.prepare(QStringLiteral(
        "select bz, sum(coalesce(TotalMoney, 0)) from Jl_ContractList where ContractID='A1' group by bz"));
    while (dw.next())
        if (QStringList{"1", "2", "3"}.contains(dw.value(0).toString()))
            e.daywork += RoundAmount(dw.value(1).toDouble());
    return e;
}

} // namespace

TEST_F(FiguresTest, RandomContractsShowOneBidPriceOnEveryForm) {
    const QStringList chapters = {"100", "200", "300", "400", "500", "600", "700", "800", "1000", "90", ""};
    const QStringList units = {"m", "m3", "总额", "暂定金总额"};
    for (unsigned seed = 1; seed <= 16; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
        exec(QStringLiteral("delete from jd_htqd where 合同编号='A1'"));
        exec(QStringLiteral("delete from Jl_ContractList where ContractID='A1'"));
        const int chapterCount = 1 + pick(6);
        for (int c = 0; c < chapterCount; ++c) {
            const QString chapter = chapters[pick(static_cast<int>(chapters.size()))];
            if (!chapter.isEmpty())
                line(chapter, chapter, pick(3) == 0 ? QVariant(2) : QVariant(0), QVariant(), pick(1000));
            const QString stem = chapter.isEmpty() ? QStringLiteral("999") : chapter.left(chapter.size() - 2);
            if (chapter == QLatin1String("100") && pick(2) == 0) {
                line(chapter, QStringLiteral("101-1-a"), 1, pick(5000), pick(5000), QStringLiteral("总额"));
                line(chapter, QStringLiteral("101-1-b"), 1, 1000, 1000, QStringLiteral("总额"));
            }
            const int lines = 2 + pick(12);
            for (int l = 0; l < lines; ++l) {
                const QString unit = units[pick(static_cast<int>(units.size()))];
                const QString item = pick(8) == 0 ? stem + QString::number(pick(10))
                                                  : QStringLiteral("%1%2-%3").arg(stem).arg(1 + pick(9)).arg(l);
                const QVariant quantity = QList<QVariant>{0, QVariant(), -3, 0.5, 12.25, 1000, 123456.5}[pick(7)];
                const QVariant price = QList<QVariant>{QVariant(), 0, -2.5, 12.347, 38.6, 9999.99, 1e6}[pick(7)];
                QVariant amount = LineAmount(price, quantity) ? QVariant(*LineAmount(price, quantity)) : QVariant();
                if (unit == QLatin1String("暂定金总额"))
                    amount = 100000 * (1 + pick(20));
                else if (pick(6) == 0)
                    amount = pick(100000) + 0.5; // left over from an older price, not whole
                line(chapter, item, quantity, price, amount, unit, pick(7) == 0 ? QVariant("备") : QVariant(),
                     pick(9) == 0 ? 1 : 0);
            }
        }
        const QList<QVariant> codes = {"1", "2", "3", "4", "", 1, 2};
        for (int d = 0; d < 2 + pick(10); ++d) {
            const QVariant quantity = QList<QVariant>{QVariant(), 0, 8.5, 200}[pick(4)];
            const QVariant price = QList<QVariant>{QVariant(), 12.35, 0.125, 80}[pick(4)];
            const QVariant total =
                pick(4) == 0 ? QVariant(pick(1000) + 0.5)
                             : (LineAmount(price, quantity) ? QVariant(*LineAmount(price, quantity)) : QVariant());
            daywork(codes[pick(static_cast<int>(codes.size()))], QString::number(100 + d), quantity, price, total);
        }

        // Recomputing settles at once: the second run changes nothing and leaves no stale total.
        BoqTotals(*dm).recomputeAll(QStringLiteral("A1"));
        const QString once = snapshot();
        BoqTotals(*dm).recomputeAll(QStringLiteral("A1"));
        EXPECT_EQ(snapshot(), once);
        const BidCheckResult check = BidCheck(*dm).run();
        EXPECT_EQ(check.count(BidFindingKind::StaleTotal), 0) << check.summary().toStdString();

        const Expected expected = Work(dm->database());
        // Report B of every chapter prints the total worked out here.
        for (const QString& chapter : BoqTotals(*dm).chapters(QStringLiteral("A1"))) {
            BoqChapterReport b(*context, chapter);
            if (b.build())
                EXPECT_EQ(number(object("memo2")), expected.printed.value(chapter)) << chapter.toStdString();
            else
                EXPECT_EQ(expected.printed.value(chapter), 0) << chapter.toStdString();
        }
        // The bid-price form adds exactly those totals, with day work less provisional sums.
        AllChapterSummaryReport summary(*context);
        ASSERT_TRUE(summary.build());
        qint64 boq = 0;
        for (const qint64 total : expected.printed)
            boq += total;
        EXPECT_EQ(number(figure("qdhj")), boq);
        EXPECT_EQ(number(figure("zdje")), expected.provisional);
        EXPECT_EQ(number(figure("jrg")), expected.daywork);
        const qint64 tenth = RoundAmount(static_cast<double>((boq - expected.provisional) * 0.1L));
        const qint64 bidPrice = boq + expected.daywork + tenth;
        EXPECT_EQ(number(figure("tbbj")), bidPrice);

        // D and E carry the one day-work total.
        DayworkSummaryReport d(*context);
        ASSERT_TRUE(d.build());
        EXPECT_EQ(number(object("memo48")), expected.daywork);
        BoqSummaryReport e(*context);
        ASSERT_TRUE(e.build());
        EXPECT_EQ(number(object("memo51")), expected.daywork);
        const qint64 eBidPrice = number(object("memo53"));

        // The whole set shows one bid price: E only when it carries the form's.
        const BidSet set = BuildBidSet(*context);
        const bool withE = !set.forms.isEmpty() && set.forms.first().name == QLatin1String("E");
        EXPECT_EQ(withE, eBidPrice == bidPrice && set.notes.isEmpty()) << eBidPrice << " " << bidPrice;
        EXPECT_EQ(withE, ContractFigures::read(*dm, QStringLiteral("A1")).reportEAgrees());
    }
}

TEST_F(FiguresTest, AChapterOutsideOneToSevenHundredCountsWithItsProvisionalSums) {
    line(QStringLiteral("100"), QStringLiteral("100"), 0, QVariant(), QVariant());
    line(QStringLiteral("100"), QStringLiteral("102-1"), 1, 5000, 5000);
    line(QStringLiteral("800"), QStringLiteral("800"), 0, QVariant(), QVariant());
    line(QStringLiteral("800"), QStringLiteral("801-1"), 1, 1000000, 1000000);
    line(QStringLiteral("800"), QStringLiteral("802-1"), 1, QVariant(), 200000, QStringLiteral("暂定金总额"));
    BoqTotals(*dm).recomputeAll(QStringLiteral("A1"));
    AllChapterSummaryReport summary(*context);
    ASSERT_TRUE(summary.build());
    // 5000 + 1200000 in the BoQ total, 200000 of it provisional; no day work.
    EXPECT_EQ(figure("qdhj"), QStringLiteral("1205000"));
    EXPECT_EQ(figure("zdje"), QStringLiteral("200000"));
    EXPECT_EQ(figure("tbbj"), QStringLiteral("1305500")); // 1205000 + 0 + 100500
    EXPECT_EQ(figure("mc_qdhj"), QStringLiteral("第100章至800章清单合计"));
    EXPECT_EQ(figure("xh_qdhj"), QStringLiteral("9")) << "the rows after eight chapters";
    EXPECT_EQ(figure("mc_tbbj"), QStringLiteral("投标报价（9＋12＋13）"));
}

TEST_F(FiguresTest, ALongChapterCodeSettlesAfterOneRecompute) {
    line(QStringLiteral("100"), QStringLiteral("100"), 0, QVariant(), QVariant());
    line(QStringLiteral("100"), QStringLiteral("101-1-a"), 1, QVariant(), QVariant(), QStringLiteral("总额"));
    line(QStringLiteral("100"), QStringLiteral("102-1"), 1, 100000, 100000);
    line(QStringLiteral("1000"), QStringLiteral("1000"), 0, QVariant(), 777);
    line(QStringLiteral("1000"), QStringLiteral("1001-1"), 10, 5000, 50000);
    BoqTotals totals(*dm);
    totals.recomputeAll(QStringLiteral("A1"));
    const QString once = snapshot();
    totals.recomputeAll(QStringLiteral("A1"));
    EXPECT_EQ(snapshot(), once);
    EXPECT_TRUE(BidCheck(*dm).run().clean());
    // The base leaves every chapter line out: 100000 + 50000.
    EXPECT_EQ(dm->database()
                  .scalar(QStringLiteral("select 合同金额 from jd_htqd where 合同编号='A1' and 细目编号='101-1-a'"))
                  .toLongLong(),
              450);
    // Report B stores the same premium.
    BoqChapterReport b(*context, QStringLiteral("100"));
    ASSERT_TRUE(b.build());
    EXPECT_EQ(snapshot(), once);
}

TEST_F(FiguresTest, DayWorkIsOneTotalOnEveryForm) {
    daywork("1", QStringLiteral("101"), 1, 100.5, 100.5);
    daywork("2", QStringLiteral("201"), 1, 200.5, 200.5);
    daywork("3", QStringLiteral("301"), 1, 300.4, 300.4);
    daywork("4", QStringLiteral("401"), 1, 50, 50); // of no schedule: counts nowhere
    DayworkSummaryReport d(*context);
    ASSERT_TRUE(d.build());
    // Each schedule to the yuan, then added: 101 + 201 + 300, where rounding the sum once gave 601.
    EXPECT_EQ(object("memo48"), QStringLiteral("602"));
    BoqSummaryReport e(*context);
    ASSERT_TRUE(e.build());
    EXPECT_EQ(object("memo51"), QStringLiteral("602"));
    AllChapterSummaryReport summary(*context);
    ASSERT_TRUE(summary.build());
    EXPECT_EQ(figure("jrg"), QStringLiteral("602"));
    DayworkPriceTable labour(*context, DayworkSchedule::Labour);
    ASSERT_TRUE(labour.build());
    EXPECT_EQ(object("memo2"), QStringLiteral("100.5")) << "the labour table prints its schedule unrounded";
    const BidCheckResult check = BidCheck(*dm).run();
    EXPECT_EQ(check.count(BidFindingKind::DayworkUnscheduled), 1);
}

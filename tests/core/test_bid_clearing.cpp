// The owner's clearing in core: the evaluation's arithmetic, and disks that are no valid bid or
// that change the bill, against a tender issued in a temporary folder.
#include "OwnerTest.h"

#include "boq/AmountRules.h"
#include "data/DataModule.h"
#include "data/Errors.h"
#include "owner/BidClearing.h"
#include "owner/ClearingWorkbook.h"
#include "owner/TenderIssue.h"

#include <QFile>

#include <cmath>

using namespace tenvora;
using namespace tenvora::test;

namespace {

struct EvaluationCase {
    std::string name;
    std::vector<qint64> prices;
    EvaluationParameters parameters;
    double benchmark;
    bool dropped;
    std::vector<int> ranks;
};

EvaluationParameters withK(double k, int dropFrom = 5) {
    EvaluationParameters p;
    p.k = k;
    p.dropExtremesFrom = dropFrom;
    return p;
}

class Evaluation : public testing::TestWithParam<EvaluationCase> {};

TEST_P(Evaluation, BenchmarkRanksAndScores) {
    const EvaluationCase& c = GetParam();
    const tenvora::Evaluation e = Evaluate(c.prices, c.parameters);
    ASSERT_TRUE(e.benchmark.has_value());
    EXPECT_DOUBLE_EQ(*e.benchmark, c.benchmark);
    EXPECT_EQ(e.extremesDropped, c.dropped);
    EXPECT_EQ(e.ranks, c.ranks);
    for (size_t i = 0; i < c.prices.size(); ++i) {
        const double d = (static_cast<double>(c.prices[i]) - c.benchmark) / c.benchmark;
        EXPECT_DOUBLE_EQ(*e.deviations[i], d);
        EXPECT_DOUBLE_EQ(*e.scores[i],
                         c.parameters.fullScore - 100 * std::abs(d) * (d >= 0 ? c.parameters.e1 : c.parameters.e2));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Clearing, Evaluation,
    testing::Values(EvaluationCase{"one bid", {1000}, {}, 1000, false, {1}},
                    EvaluationCase{"four bids kept whole", {400, 100, 300, 200}, {}, 250, false, {4, 1, 3, 2}},
                    // From five on the highest and the lowest are left out: mean of 200, 300, 400.
                    EvaluationCase{
                        "five bids drop extremes", {100, 200, 300, 400, 10000}, {}, 300, true, {1, 2, 3, 4, 5}},
                    // Equal prices share a rank; only one of two equal extremes is left out.
                    EvaluationCase{"ties", {100, 100, 200, 300, 300}, {}, 200, true, {1, 1, 3, 4, 4}},
                    EvaluationCase{"k lowers the benchmark", {900, 1100}, withK(0.1), 900, false, {1, 2}},
                    EvaluationCase{"drop from three", {100, 200, 900}, withK(0, 3), 200, true, {1, 2, 3}}),
    CaseName<EvaluationCase>);

TEST(ClearingEvaluation, ScoresFallBelowZeroAndParametersAreChecked) {
    EvaluationParameters p;
    const tenvora::Evaluation e = Evaluate({100, 300}, p); // B = 200; D = -0.5 and +0.5
    EXPECT_DOUBLE_EQ(*e.scores[0], 100 - 50 * 1.0);
    EXPECT_DOUBLE_EQ(*e.scores[1], 100 - 50 * 2.0);
    EXPECT_DOUBLE_EQ(*Evaluate({100, 10000}, p).scores[1], 100 - 100 * (4950.0 / 5050) * 2);
    EXPECT_FALSE(Evaluate({}, p).benchmark.has_value());

    // The range: outside strictly more than the percentage.
    EXPECT_FALSE(p.unbalanced(130, 100));
    EXPECT_TRUE(p.unbalanced(130.01, 100));
    EXPECT_FALSE(p.unbalanced(70, 100));
    EXPECT_TRUE(p.unbalanced(69.99, 100));

    for (const auto& change : std::vector<std::function<void(EvaluationParameters&)>>{
             [](EvaluationParameters& q) { q.k = 1; }, [](EvaluationParameters& q) { q.k = -0.1; },
             [](EvaluationParameters& q) { q.deviationPercent = 0; }, [](EvaluationParameters& q) { q.e1 = -1; },
             [](EvaluationParameters& q) { q.fullScore = 0; }, [](EvaluationParameters& q) { q.dropExtremesFrom = 2; },
             [](EvaluationParameters& q) { q.e2 = std::nan(""); }}) {
        EvaluationParameters q;
        change(q);
        EXPECT_FALSE(q.problem().isEmpty());
    }
    EXPECT_TRUE(EvaluationParameters().problem().isEmpty());
}

TEST(ClearingEvaluation, TheMedianOfAnEvenCountIsTheMeanOfTheMiddleTwo) {
    std::vector<double> odd = {5, 1, 3};
    EXPECT_EQ(SpreadOf(odd).median, 3);
    std::vector<double> even = {8, 1, 4, 2};
    const PriceSpread s = SpreadOf(even);
    EXPECT_EQ(s.median, 3);
    EXPECT_EQ(s.min, 1);
    EXPECT_EQ(s.max, 8);
}

// The good bill issued to 甲 and 乙; each copy priced (every priceable line 10 + its row number,
// day work 40) and recomputed as the bidder's own "章合计 和 保险费 计算" would.
class ClearingDisks : public TenderFixture {
protected:
    void SetUp() override {
        TenderFixture::SetUp();
        fill();
        m_issued = path(QStringLiteral("issued"));
        TenderIssue issue(m_db);
        issue.issue(issue.plan(m_issued), false);
    }

    QString copy(const QString& unit) const { return QDir(m_issued).filePath(unit + QStringLiteral(".tr")); }

    static void price(const QString& file) {
        {
            Database db = Database::open(file, DataFileKey());
            db.exec(QStringLiteral("update jd_htqd set 合同单价 = 10 + rowid, 合同金额 = RoundAmount((10 + rowid) * "
                                   "合同数量) where 细目编号 in ('102-1', '203-1-a', '204-1-b')"));
            db.exec(QStringLiteral("update Jl_ContractList set UnitPrice = 40, TotalMoney = 40 * Amount"));
        }
        DataModule dm(file);
        BoqTotals(dm).recomputeAll(QStringLiteral("A1"));
    }

    ClearingResult clear(const QStringList& files) {
        return BidClearing(m_db).run(files, QStringLiteral("A1"), EvaluationParameters());
    }

    QString m_issued;
};

TEST_F(ClearingDisks, ABidderChangingTheBillIsNamedItemByItem) {
    const QString jia = copy(QStringLiteral("甲路桥公司"));
    const QString yi = copy(QStringLiteral("乙建设集团"));
    price(jia);
    price(yi);
    {
        Database db = Database::open(yi, DataFileKey());
        db.exec(QStringLiteral("update jd_htqd set 细目名称='挖石方', 单位='m2' where 细目编号='203-1-a'"));
        db.exec(QStringLiteral("update jd_htqd set 合同金额=900000, 合同单价=null where 细目编号='102-3'"));
        db.exec(QStringLiteral("delete from jd_htqd where 细目编号='102-1'"));
        db.exec(
            QStringLiteral("insert into jd_htqd (合同编号, 章, 节, 段, 细目编号, 细目名称, 单位, 合同数量, 合同单价, "
                           "合同金额) values ('A1', '200', '209', '209', '209-1', '新增挡墙', 'm3', 10, 5, 50)"));
        db.exec(QStringLiteral("update Jl_ContractList set Amount = 999 where ItemCode = '201'"));
    }
    const ClearingResult r = clear({jia, yi});
    ASSERT_EQ(r.evaluatedCount(), 2);
    QStringList altered;
    for (const ClearingFinding& f : r.bids[1].altered)
        altered << f.what + QLatin1Char(' ') + f.item;
    altered.sort();
    EXPECT_EQ(altered, (QStringList{QStringLiteral("added 209-1"), QStringLiteral("name 203-1-a"),
                                    QStringLiteral("provisional-sum 102-3"), QStringLiteral("quantity 201"),
                                    QStringLiteral("removed 102-1"), QStringLiteral("unit 203-1-a")}));
    EXPECT_TRUE(r.bids[0].altered.isEmpty());
    // The corrected price is the owner's bill at 乙's prices: the removed line counts unpriced, the
    // added one and the changed provisional sum not at all.
    const ClearedBid& b = r.bids[1];
    ASSERT_TRUE(b.corrected && b.declared);
    EXPECT_NE(*b.corrected, *b.declared);
    EXPECT_LT(*b.corrected, *r.bids[0].corrected);
    EXPECT_EQ(b.pricedLines, b.priceableLines - 1);
}

TEST_F(ClearingDisks, DisksOfNoValidBidAreSetAsideAndTheTenderIsNeverWritten) {
    const QString jia = copy(QStringLiteral("甲路桥公司"));
    const QString yi = copy(QStringLiteral("乙建设集团"));
    price(jia);
    // 乙's copy carrying 甲's account too: a copy made for one, handed in by another.
    const QString mixed = path(QStringLiteral("mixed.tr"));
    ASSERT_TRUE(QFile::copy(yi, mixed));
    price(mixed);
    {
        Database db = Database::open(mixed, DataFileKey());
        db.exec(QStringLiteral("insert into pass (unit, pass, bz) values ('甲路桥公司', 'x', '2')"));
    }
    // A data file that was never issued, and 乙's copy left unpriced.
    const QString plain = path(QStringLiteral("plain.tr"));
    CreateTenderFile(plain, {QStringLiteral("P1"), QStringLiteral("别的"), {}, kOwnerUnit, kOwnerPassword});
    m_db.close();
    const QByteArray before = [&] {
        QFile f(m_path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    Database readOnly = Database::open(m_path, DataFileKey(), Database::Mode::Verify);
    const ClearingResult r =
        BidClearing(readOnly).run({jia, mixed, plain, yi}, QStringLiteral("A1"), EvaluationParameters());
    ASSERT_EQ(r.bids.size(), 4);
    EXPECT_EQ(r.bids[0].status, ClearedBidStatus::Evaluated);
    EXPECT_EQ(r.bids[1].status, ClearedBidStatus::OtherBidder);
    EXPECT_TRUE(r.bids[1].reason.contains(QStringLiteral("甲路桥公司")));
    EXPECT_EQ(r.bids[2].status, ClearedBidStatus::NotIssued);
    EXPECT_EQ(r.bids[3].status, ClearedBidStatus::NotPriced);
    EXPECT_EQ(r.columns, QList<int>{0});
    EXPECT_EQ(r.bids[0].rank, 1);
    EXPECT_EQ(*r.benchmark, static_cast<double>(*r.bids[0].corrected));
    readOnly.close();
    QFile f(m_path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

TEST_F(ClearingDisks, UnusableRequestsAreRefused) {
    const QString jia = copy(QStringLiteral("甲路桥公司"));
    BidClearing clearing(m_db);
    EXPECT_EQ(clearing.contracts(), QStringList{QStringLiteral("A1")});
    EXPECT_THROW(clearing.run({jia}, QStringLiteral("B9"), {}), Refused);
    EXPECT_THROW(clearing.run({}, QStringLiteral("A1"), {}), Refused);
    EvaluationParameters bad;
    bad.k = 2;
    EXPECT_THROW(clearing.run({jia}, QStringLiteral("A1"), bad), Refused);

    // A tender file that never issued cannot tell whose a disk is.
    const QString fresh = path(QStringLiteral("fresh.tr"));
    CreateTenderFile(fresh, {QStringLiteral("P1"), QStringLiteral("新"), {}, kOwnerUnit, kOwnerPassword});
    Database db = Database::open(fresh, DataFileKey());
    TenderContracts(db).add({QStringLiteral("A1"), QStringLiteral("P1"), QStringLiteral("N"), QStringLiteral("A1"),
                             QStringLiteral("K0"), QStringLiteral("K1")});
    EXPECT_THROW(BidClearing(db).run({jia}, QStringLiteral("A1"), {}), Refused);
}

TEST_F(ClearingDisks, TheWorkbookIsWrittenOrFailsAsAnError) {
    const QString jia = copy(QStringLiteral("甲路桥公司"));
    price(jia);
    const ClearingResult r = clear({jia});
    const QString out = path(QStringLiteral("out.xlsx"));
    ClearingWorkbook::write(r, out);
    // Read back as the import reads: the sheets in their order, figures as number cells.
    const WorkbookContents book = ReadWorkbook(out);
    EXPECT_EQ(book.sheetNames, ClearingWorkbook::sheetNames());
    const WorksheetCells& ranking = book.sheets.front();
    ASSERT_EQ(ranking.rows, 2);
    EXPECT_EQ(ranking.at(0, 5).text, QStringLiteral("修正报价"));
    EXPECT_EQ(ranking.at(1, 5).kind, WorkbookCell::Kind::Number);
    EXPECT_EQ(ranking.at(1, 5).number, static_cast<double>(*r.bids[0].corrected));
    const WorksheetCells& comparison = book.sheets.back();
    EXPECT_EQ(comparison.rows, 1 + static_cast<int>(r.lines.size()));
    EXPECT_EQ(comparison.at(1, 5).kind, WorkbookCell::Kind::Number); // 甲's first unit price
    EXPECT_EQ(comparison.at(1, 5).number, *r.price(0, 0));
    // A place that cannot be written to (under a file) fails as an error; the file stays whole.
    const qint64 size = QFileInfo(out).size();
    EXPECT_THROW(ClearingWorkbook::write(r, QDir(out).filePath(QStringLiteral("inner.xlsx"))), Error);
    EXPECT_EQ(QFileInfo(out).size(), size);
}

} // namespace

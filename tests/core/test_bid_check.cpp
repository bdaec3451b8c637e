// The bid check on files made for each kind of finding, and its absence on a clean priced bid
// (the priced demo cut down to the chapters report E covers, so that E carries the bid price).
#include "boq/AmountRules.h"
#include "boq/BidCheck.h"
#include "boq/BoqEditor.h"
#include "data/Money.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tenvora;
using namespace tenvora::test;

namespace {

class BidCheckTest : public testing::Test {
protected:
    void SetUp() override {
        dm = file.open();
        dm->LoadCurrentContract();
        exec(QStringLiteral("delete from jd_htqd where 合同编号='A1' and 章 in ('200', '400', '500', '700')"));
        BoqTotals(*dm).recomputeAll(QStringLiteral("A1"));
    }
    void exec(const QString& sql, const QVariantList& values = {}) { dm->database().exec(sql, values); }
    QStringList found(const BidCheckResult& r, BidFindingKind kind) {
        QStringList items;
        for (const BidFinding& f : r.findings)
            if (f.kind == kind)
                items << f.item;
        return items;
    }
    // Every row of both tables, to see that the check changes nothing.
    QString content() {
        QString text;
        for (const char* table : {"jd_htqd", "Jl_ContractList"}) {
            Statement st = dm->database().prepare(QStringLiteral("select * from %1 order by rowid").arg(table));
            while (st.next())
                for (int c = 0; c < st.columnCount(); ++c)
                    text += st.value(c).toString() + QLatin1Char('|');
        }
        return text;
    }

    TempDataFile file{true};
    std::unique_ptr<DataModule> dm;
};

} // namespace

TEST_F(BidCheckTest, ACleanPricedBidHasNoFinding) {
    const BidCheckResult r = BidCheck(*dm).run();
    EXPECT_TRUE(r.clean()) << r.summary().toStdString();
    EXPECT_TRUE(r.summary().isEmpty());
}

struct FindingCase {
    const char* name;
    const char* sql; // makes the fault on the clean priced demo, contract A1
    BidFindingKind kind;
    const char* item;
};

void PrintTo(const FindingCase& c, std::ostream* os) {
    *os << c.name;
}

class BidFindings : public BidCheckTest, public testing::WithParamInterface<FindingCase> {};

TEST_P(BidFindings, EachFaultIsFoundAndNothingChanges) {
    exec(QString::fromUtf8(GetParam().sql));
    const QString before = content();
    const BidCheckResult r = BidCheck(*dm).run();
    EXPECT_TRUE(found(r, GetParam().kind).contains(QString::fromUtf8(GetParam().item)))
        << r.summary().toStdString() << " / " << found(r, GetParam().kind).join(' ').toStdString();
    EXPECT_EQ(content(), before) << "the check reads only";
}

INSTANTIATE_TEST_SUITE_P(
    BidCheck, BidFindings,
    testing::Values(
        FindingCase{"no price",
                    "update jd_htqd set 合同单价=null, 合同金额=null where 合同编号='A1' and 细目编号='304-1-a'",
                    BidFindingKind::Unpriced, "304-1-a"},
        FindingCase{"price 0", "update jd_htqd set 合同单价=0, 合同金额=0 where 合同编号='A1' and 细目编号='304-1-a'",
                    BidFindingKind::Unpriced, "304-1-a"},
        FindingCase{"amount off", "update jd_htqd set 合同金额=合同金额+1 where 合同编号='A1' and 细目编号='304-1-a'",
                    BidFindingKind::Amount, "304-1-a"},
        FindingCase{"amount without price",
                    "update jd_htqd set 合同单价=null where 合同编号='A1' and 细目编号='304-1-a'",
                    BidFindingKind::Amount, "304-1-a"},
        FindingCase{"stale chapter", "update jd_htqd set 合同金额=1 where 合同编号='A1' and 细目编号='300'",
                    BidFindingKind::StaleTotal, "300"},
        FindingCase{"stale insurance", "update jd_htqd set 合同单价=1 where 合同编号='A1' and 细目编号='101-1-a'",
                    BidFindingKind::StaleTotal, "101-1-a"},
        FindingCase{"day work", "update Jl_ContractList set UnitPrice=null where ContractID='A1' and ItemCode='101'",
                    BidFindingKind::DayworkUnpriced, "101"},
        FindingCase{"negative price", "update jd_htqd set 合同单价=-3 where 合同编号='A1' and 细目编号='304-1-a'",
                    BidFindingKind::Negative, "304-1-a"},
        FindingCase{"negative quantity",
                    "update Jl_ContractList set Amount=-1 where ContractID='A1' and ItemCode='101'",
                    BidFindingKind::Negative, "101"},
        FindingCase{"three decimals", "update jd_htqd set 合同单价=38.605 where 合同编号='A1' and 细目编号='304-1-a'",
                    BidFindingKind::Decimals, "304-1-a"},
        FindingCase{
            "day-work total without a price",
            "update Jl_ContractList set UnitPrice=null, TotalMoney=1200 where ContractID='A1' and ItemCode='101'",
            BidFindingKind::DayworkTotal, "101"},
        FindingCase{"day-work total off",
                    "update Jl_ContractList set TotalMoney=TotalMoney+1 where ContractID='A1' and ItemCode='101'",
                    BidFindingKind::DayworkTotal, "101"},
        FindingCase{"day work of no schedule",
                    "update Jl_ContractList set bz='4' where ContractID='A1' and ItemCode='101'",
                    BidFindingKind::DayworkUnscheduled, "101"},
        FindingCase{"remark on a priced line",
                    "update jd_htqd set bz='备注' where 合同编号='A1' and 细目编号='304-1-a'",
                    BidFindingKind::NotCounted, "304-1-a"},
        FindingCase{"line without a chapter", "update jd_htqd set 章='' where 合同编号='A1' and 细目编号='304-1-a'",
                    BidFindingKind::NotCounted, "304-1-a"},
        FindingCase{"item number twice",
                    "insert into jd_htqd (合同编号, 章, 细目编号, 细目名称, 单位, 合同数量, 是否补充) "
                    "values ('A1', '100', '101-1-a', '保险费', '总额', 1, 0)",
                    BidFindingKind::Duplicate, "101-1-a"},
        FindingCase{
            "a chapter report E leaves out",
            "insert into jd_htqd (合同编号, 章, 细目编号, 细目名称, 单位, 合同数量, 合同单价, 合同金额, 是否补充) "
            "values ('A1', '800', '801-1', '其他', 'm', 10, 100, 1000, 0)",
            BidFindingKind::ReportE, "800"}));

TEST_F(BidCheckTest, ReportEOnTheWholeDemoNamesEveryChapterItLeavesOut) {
    TempDataFile whole(true);
    auto demo = whole.open();
    demo->LoadCurrentContract();
    const BidCheckResult r = BidCheck(*demo).run();
    EXPECT_EQ(found(r, BidFindingKind::ReportE), (QStringList{"200", "400", "500", "700"}));
    EXPECT_EQ(r.count(BidFindingKind::ReportE), static_cast<int>(r.findings.size())) << r.summary().toStdString();
    EXPECT_TRUE(r.clean()) << "a notice, nothing to mend";
    EXPECT_EQ(r.noticeSummary(), QStringLiteral("E 表与汇总表不一致 4 条"));
    EXPECT_TRUE(r.findings.first().figures.startsWith(QStringLiteral("E 不含第 200 章")))
        << r.findings.first().figures.toStdString();
}

TEST_F(BidCheckTest, StoredFiguresAreShownExactlyAsStored) {
    exec(QStringLiteral("update jd_htqd set 合同金额=1234.5 where 合同编号='A1' and 细目编号='304-1-a'"));
    exec(QStringLiteral("update jd_htqd set 合同金额=99.25 where 合同编号='A1' and 细目编号='300'"));
    const BidCheckResult r = BidCheck(*dm).run();
    QStringList texts;
    for (const BidFinding& f : r.findings)
        texts << f.figures;
    EXPECT_TRUE(texts.join('|').contains(QStringLiteral("已存金额 1234.5，"))) << texts.join('|').toStdString();
    EXPECT_TRUE(texts.join('|').contains(QStringLiteral("章合计已存 99.25，"))) << texts.join('|').toStdString();
}

TEST_F(BidCheckTest, APriceTypedAfterTheRecomputeMakesItsChapterStaleUntilRecomputed) {
    BoqEditor editor(*dm);
    editor.initialise();
    editor.selectNode(BoqChapterLevel, QStringLiteral("300"));
    editor.priceLine(editor.findItem(QStringLiteral("304-1-a")), 40.25);

    BidCheck check(*dm);
    BidCheckResult r = check.run();
    // The chapter line is stale, and so is the insurance (its base moved), and chapter 100 holds it.
    EXPECT_EQ(found(r, BidFindingKind::StaleTotal), (QStringList{"100", "101-1-a", "300"}));
    EXPECT_EQ(r.staleChapters, (QStringList{"100", "300"}));
    const BidFinding& chapter = r.findings.at(2);
    const qint64 now = ContractFigures::read(*dm, QStringLiteral("A1")).storedChapterTotal(QStringLiteral("300"));
    EXPECT_TRUE(chapter.figures.contains(WholeYuanText(now))) << chapter.figures.toStdString();

    r = check.recomputeStale(r);
    EXPECT_TRUE(r.clean()) << r.summary().toStdString();
    EXPECT_EQ(dm->database()
                  .scalar(QStringLiteral("select 合同金额 from jd_htqd where 合同编号='A1' and 细目编号='300'"))
                  .toLongLong(),
              now);
}

TEST_F(BidCheckTest, ThreeDecimalsShowBothFigures) {
    exec(QStringLiteral(
        "update jd_htqd set 合同单价=1.005, 合同金额=100500 where 合同编号='A1' and 细目编号='304-1-a'"));
    exec(QStringLiteral("update jd_htqd set 合同数量=100000 where 合同编号='A1' and 细目编号='304-1-a'"));
    const BidCheckResult r = BidCheck(*dm).run();
    const auto it = std::find_if(r.findings.cbegin(), r.findings.cend(),
                                 [](const BidFinding& f) { return f.kind == BidFindingKind::Decimals; });
    ASSERT_NE(it, r.findings.cend());
    EXPECT_EQ(it->figures, QStringLiteral("单价 1.005 打印为 1.01；金额按 1.005 计为 100500，按 1.01 计为 101000"));
}

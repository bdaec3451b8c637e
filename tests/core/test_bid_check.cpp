// The bid check on files made for each kind of finding, and its absence on a clean priced demo.
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
    }
    void exec(const QString& sql, const QVariantList& values = {}) { dm->ADOCon().exec(sql, values); }
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
            Statement st = dm->ADOCon().prepare(QStringLiteral("select * from %1 order by rowid").arg(table));
            while (st.next())
                for (int c = 0; c < st.columnCount(); ++c)
                    text += st.value(c).toString() + QLatin1Char('|');
        }
        return text;
    }

    TempDataFile file{true};
    std::unique_ptr<TDmMain> dm;
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
                    BidFindingKind::Decimals, "304-1-a"}));

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
    const qint64 now = BoqTotals(*dm).chapterTotalAfterRecompute(QStringLiteral("A1"), QStringLiteral("300"));
    EXPECT_TRUE(chapter.figures.contains(WholeYuanText(now))) << chapter.figures.toStdString();

    r = check.recomputeStale(r);
    EXPECT_TRUE(r.clean()) << r.summary().toStdString();
    EXPECT_EQ(dm->ADOCon()
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

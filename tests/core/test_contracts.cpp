#include "boq/AmountRules.h"
#include "boq/ContractSelection.h"
#include "data/DataModule.h"
#include "reports/ReportTexts.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tenvora;
using namespace tenvora::test;

TEST(ContractSelection, ListsEverySectionByProjectKeyAndProjectsWithoutSectionsOnce) {
    TempDataFile file;
    auto dm = file.open();
    dm->database().exec(QStringLiteral("INSERT INTO jd_xiangmu (ID, 项目名称) VALUES ('P00', '空项目')"));
    const auto rows = ContractSelection(*dm).load();
    QStringList seen;
    for (const ContractChoiceRow& r : rows)
        seen << r.projectId.toString() + QLatin1Char('/') + r.contractId.toString();
    EXPECT_EQ(seen, (QStringList{"P00/", "P01/A1", "P01/A2", "P02/B1"}));
    EXPECT_TRUE(rows.front().contractId.isNull());
}

TEST(ContractSelection, ChoosingStoresTheRowAndReloads) {
    TempDataFile file;
    auto dm = file.open();
    ContractSelection selection(*dm);
    const auto rows = selection.load();
    selection.choose(rows, 2);
    EXPECT_EQ(dm->session().CurContractID, QStringLiteral("B1"));
    EXPECT_EQ(dm->session().CurChainage, QStringLiteral("K0+000~K8+760"));

    auto reopened = file.open();
    reopened->LoadCurrentContract();
    EXPECT_EQ(reopened->session().CurContractID, QStringLiteral("B1")) << "the choice survives a restart";
}

TEST(ContractSelection, AProjectWithoutSectionsIsRefusedAndTheSessionKept) {
    TempDataFile file;
    auto dm = file.open();
    dm->database().exec(QStringLiteral("DELETE FROM jd_xiangmu"));
    dm->database().exec(QStringLiteral("INSERT INTO jd_xiangmu (ID, 项目名称) VALUES ('P00', '空项目')"));
    const QString before = dm->session().CurContractID;
    ContractSelection selection(*dm);
    try {
        selection.choose(selection.load(), 0);
        FAIL() << "a project without sections must be refused";
    } catch (const Refused& e) {
        EXPECT_EQ(e.text(), ContractSelection::noSectionText(QStringLiteral("空项目")));
    }
    EXPECT_EQ(dm->session().CurContractID, before);
}

TEST(ContractSelection, AnEmptyListIsRefused) {
    TempDataFile file;
    auto dm = file.open();
    dm->database().exec(QStringLiteral("DELETE FROM jd_xiangmu"));
    ContractSelection selection(*dm);
    const auto rows = selection.load();
    ASSERT_TRUE(rows.empty());
    try {
        selection.choose(rows, 0);
        FAIL() << "an empty list must be refused";
    } catch (const Refused& e) {
        EXPECT_EQ(e.text(), QStringLiteral("请先增加合同"));
    }
}

TEST(ContractSelection, KeysWithQuotesAreStoredAndFoundLiterally) {
    TempDataFile file;
    auto dm = file.open();
    dm->database().exec(QStringLiteral("INSERT INTO jd_xiangmu (ID, 项目名称) VALUES (?, ?)"),
                        {QStringLiteral("Q'1"), QStringLiteral("引号'项目")});
    dm->database().exec(
        QStringLiteral("INSERT INTO jd_hetong (UPID, ID, 合同名称, 起始桩号, 终止桩号) VALUES (?, ?, ?, ?, ?)"),
        {QStringLiteral("Q'1"), QStringLiteral("C'); --"), QStringLiteral("名'称"), QStringLiteral("K0'"),
         QStringLiteral("K1")});
    ContractSelection selection(*dm);
    const auto rows = selection.load();
    selection.choose(rows, static_cast<int>(rows.size()) - 1);
    EXPECT_EQ(dm->session().CurContractID, QStringLiteral("C'); --"));
    EXPECT_EQ(dm->session().CurContractName, QStringLiteral("名'称"));
    EXPECT_EQ(ContractHeading(dm->session()), QStringLiteral("C'); --合同段：K0'~K1"));
}

TEST(ContractHeading, JoinsContractAndChainage) {
    SessionValues s;
    s.CurContractID = QStringLiteral("A3");
    s.CurChainage = QStringLiteral("K10+000~K20+500");
    EXPECT_EQ(ContractHeading(s), QStringLiteral("A3合同段：K10+000~K20+500"));
}

TEST(BoqTotals, InsuranceAndChapterTotalFollowTheStoredLines) {
    TempDataFile file;
    auto dm = file.open();
    Database& db = dm->database();
    db.exec(QStringLiteral("DELETE FROM jd_htqd"));
    const QList<QVariantList> lines = {
        {"100", "100", QVariant()},   {"100", "101-1-a", 7},     {"100", "101-1-b", 1000000},
        {"100", "102-1", 100000},     {"100", "101-1-A", 50000}, {"200", "200", 999},
        {"200", "202-1-a", 233333.0}, {"200", "20", 5000},       {"100", "103-1", QVariant()},
    };
    for (const QVariantList& l : lines)
        db.exec(QStringLiteral("INSERT INTO jd_htqd (合同编号, 章, 细目编号, 合同金额) VALUES ('A1', ?, ?, ?)"), l);
    db.exec(
        QStringLiteral("INSERT INTO jd_htqd (合同编号, 章, 细目编号, 合同金额) VALUES ('A2', '100', '102-1', 9e9)"));

    BoqTotals totals(*dm);
    // 100000 + 50000 + 233333 = 383333; x 0.003 = 1149.999 -> 1150
    EXPECT_EQ(ContractFigures::read(*dm, QStringLiteral("A1")).insuranceBase(), 383333);
    const ChapterRecompute r = totals.recompute(QStringLiteral("A1"), QStringLiteral("100"));
    EXPECT_EQ(r.insurance, 1150);
    EXPECT_EQ(r.chapterTotal, 1150 + 1000000 + 100000 + 50000);
    EXPECT_EQ(
        db.scalar(QStringLiteral("SELECT 合同金额 FROM jd_htqd WHERE 合同编号='A1' AND 细目编号='100'")).toLongLong(),
        r.chapterTotal);
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT 合同单价 FROM jd_htqd WHERE 合同编号='A1' AND 细目编号='101-1-a'"))
                  .toLongLong(),
              1150);
    EXPECT_EQ(ContractFigures::read(*dm, QStringLiteral("A1")).storedChapterTotal(QStringLiteral("300")), 0)
        << "no lines: 0";
}

// The stored chapter total and report B's printed total count different lines, on purpose.
TEST(BoqTotals, StoredAndPrintedChapterTotalsDifferAsStated) {
    TempDataFile file;
    auto dm = file.open();
    Database& db = dm->database();
    db.exec(QStringLiteral("DELETE FROM jd_htqd"));
    const QList<QVariantList> lines = {
        {"300", QVariant(), 999},    // the chapter line: in neither
        {"301-1", QVariant(), 1000}, // in both
        {"301-2", "甲", 200},        // a remark: stored total only
        {"301-3", "", 30},           // an empty remark is none: in both
        {"30", QVariant(), 4},       // a short heading: printed total only
    };
    for (const QVariantList& l : lines)
        db.exec(
            QStringLiteral("INSERT INTO jd_htqd (合同编号, 章, 细目编号, bz, 合同金额) VALUES ('A1', '300', ?, ?, ?)"),
            l);
    const ContractFigures figures = ContractFigures::read(*dm, QStringLiteral("A1"));
    EXPECT_EQ(figures.storedChapterTotal(QStringLiteral("300")), 1000 + 200 + 30);
    EXPECT_EQ(figures.printedChapterTotal(QStringLiteral("300")), 1000 + 30 + 4);
}

TEST(BoqTotals, LineAmountNeedsBothFigures) {
    EXPECT_EQ(LineAmount(10.5, 3), 32);
    EXPECT_EQ(LineAmount(-2.5, 1), -2);
    EXPECT_EQ(LineAmount(QStringLiteral("2.25"), 2), 5);
    EXPECT_EQ(LineAmount(QVariant(), 3), std::nullopt);
    EXPECT_EQ(LineAmount(2.0, QVariant()), std::nullopt);
    EXPECT_EQ(LineAmount(2.0, QStringLiteral("甲")), std::nullopt);
}

TEST(BoqTotals, InsuranceRateUsesExtendedPrecision) {
    struct Case {
        qint64 base;
        qint64 expected;
    };
    for (const Case c : {Case{0, 0}, Case{166, 0}, Case{167, 1}, Case{500, 2}, Case{383333, 1150}, Case{-1000, -3},
                         Case{1000000000000, 3000000000}})
        EXPECT_EQ(ContractFigures::insuranceAmount(c.base), c.expected) << c.base;
}

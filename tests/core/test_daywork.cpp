#include "data/DataModule.h"
#include "daywork/DayworkLists.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tenvora;
using namespace tenvora::test;

namespace {

QVariant storedTotal(DataModule& dm, const QString& code) {
    return dm.database().scalar(
        QStringLiteral("SELECT TotalMoney FROM Jl_ContractList WHERE ContractID='A1' AND ItemCode=?"), {code});
}

} // namespace

TEST(Daywork, SaveHookComputesWholeYuanTotals) {
    struct Case {
        QVariant price;
        QVariant amount;
        QVariant before;
        QVariant expected;
    };
    const QVariant null;
    const QList<Case> cases = {
        {12.35, 100, null, 1235}, {0.125, 4, null, 1}, {1234.49, 1, null, 1234},
        {1234.5, 1, null, 1235},  {-2.7, 1, null, -2}, {-0.5, 3, 77, -1},
        {null, 10, 77, 77},       {5.0, null, 77, 77}, {QStringLiteral("2.5"), 2, null, 5},
    };
    TempDataFile file;
    auto dm = file.open();
    dm->LoadCurrentContract();
    DayworkLists lists(*dm);
    lists.openAll();
    DataSet& labour = lists.schedule(Schedule::Labour);
    for (const Case& c : cases) {
        labour.setValue(0, QStringLiteral("Amount"), c.amount);
        labour.setValue(0, QStringLiteral("TotalMoney"), c.before);
        labour.setValue(0, QStringLiteral("UnitPrice"), c.price);
        labour.post(0);
        EXPECT_EQ(storedTotal(*dm, QStringLiteral("101")).toLongLong(), c.expected.toLongLong())
            << c.price.toString().toStdString() << " x " << c.amount.toString().toStdString();
    }
}

TEST(Daywork, AClearedPriceTakesItsTotalWithItOnEveryPage) {
    TempDataFile file;
    auto dm = file.open();
    dm->LoadCurrentContract();
    DayworkLists lists(*dm);
    lists.openAll();
    for (Schedule s : {Schedule::Labour, Schedule::Material, Schedule::Machinery}) {
        DataSet& set = lists.schedule(s);
        const QString code = set.value(0, QStringLiteral("ItemCode")).toString();
        lists.priceItem(s, 0, 5.0);
        ASSERT_FALSE(storedTotal(*dm, code).isNull()) << code.toStdString();
        lists.priceItem(s, 0, QVariant());
        EXPECT_TRUE(storedTotal(*dm, code).isNull()) << code.toStdString() << ": no price, no total";
    }
    // On the labour page a total typed together with clearing the price is what the bidder meant.
    DataSet& labour = lists.schedule(Schedule::Labour);
    lists.priceItem(Schedule::Labour, 0, 5.0);
    labour.setValue(0, QStringLiteral("UnitPrice"), QVariant());
    labour.setValue(0, QStringLiteral("TotalMoney"), 900);
    labour.post(0);
    EXPECT_EQ(storedTotal(*dm, labour.value(0, QStringLiteral("ItemCode")).toString()).toLongLong(), 900);
}

TEST(Daywork, SaveHookFilesTheRowUnderItsPageAndTheCurrentContract) {
    TempDataFile file;
    auto dm = file.open();
    dm->LoadCurrentContract();
    dm->database().exec(
        QStringLiteral("UPDATE Jl_ContractList SET ID='old', bz='3' WHERE ContractID='A1' AND ItemCode='201'"));
    DayworkLists lists(*dm);
    lists.openAll();
    // The row now belongs to the machinery page; saving it there files it as machinery.
    const int row = lists.findItem(Schedule::Machinery, QStringLiteral("201"));
    ASSERT_GE(row, 0);
    lists.priceItem(Schedule::Machinery, row, 468.0);
    const QVariantList stored = {dm->database().scalar(QStringLiteral(
                                     "SELECT ID FROM Jl_ContractList WHERE ContractID='A1' AND ItemCode='201'")),
                                 dm->database().scalar(QStringLiteral(
                                     "SELECT bz FROM Jl_ContractList WHERE ContractID='A1' AND ItemCode='201'")),
                                 storedTotal(*dm, QStringLiteral("201"))};
    EXPECT_EQ(stored, (QVariantList{QStringLiteral("A1"), QStringLiteral("3"), qlonglong{23400}}));
}

TEST(Daywork, SchedulesAreFilteredByContractAndSchedule) {
    TempDataFile file;
    auto dm = file.open();
    struct Case {
        const char* contract;
        int labour, material, machinery;
    };
    for (const Case c : {Case{"A1", 8, 8, 8}, Case{"B1", 0, 0, 0}, Case{"", 0, 0, 0}}) {
        dm->session().CurContractID = QString::fromUtf8(c.contract);
        DayworkLists lists(*dm);
        lists.openAll();
        EXPECT_EQ(lists.schedule(Schedule::Labour).rowCount(), c.labour) << c.contract;
        EXPECT_EQ(lists.schedule(Schedule::Material).rowCount(), c.material) << c.contract;
        EXPECT_EQ(lists.schedule(Schedule::Machinery).rowCount(), c.machinery) << c.contract;
        // An empty schedule shows quantities with two decimals, a filled one as they are.
        EXPECT_EQ(
            lists.schedule(Schedule::Labour).displayFormat(lists.schedule(Schedule::Labour).columnIndex("Amount")),
            c.labour ? QString() : QStringLiteral("0.00"));
    }
}

TEST(Daywork, PendingEditsAreSavedNotDropped) {
    TempDataFile file;
    auto dm = file.open();
    dm->LoadCurrentContract();
    {
        DayworkLists lists(*dm);
        lists.openAll();
        DataSet& material = lists.schedule(Schedule::Material);
        material.setUserValue(lists.findItem(Schedule::Material, QStringLiteral("202")),
                              material.columnIndex(QStringLiteral("UnitPrice")), 4260.5);
        EXPECT_TRUE(lists.savePending());
        EXPECT_FALSE(lists.savePending()) << "nothing left to save";
    }
    EXPECT_EQ(storedTotal(*dm, QStringLiteral("202")).toLongLong(), 85210);
}

TEST(Daywork, OnlyThePriceAndTheLabourTotalCanBeTyped) {
    TempDataFile file;
    auto dm = file.open();
    dm->LoadCurrentContract();
    DayworkLists lists(*dm);
    lists.openAll();
    for (Schedule s : {Schedule::Labour, Schedule::Material, Schedule::Machinery}) {
        const DataSet& set = lists.schedule(s);
        QStringList editable;
        for (int c = 0; c < set.columnCount(); ++c)
            if (set.isColumnEditable(c))
                editable << set.columns().at(c);
        EXPECT_EQ(editable,
                  s == Schedule::Labour ? QStringList({"UnitPrice", "TotalMoney"}) : QStringList{"UnitPrice"});
    }
}

TEST(Daywork, AFailingListLeavesItAndTheLaterOnesEmpty) {
    TempDataFile file;
    auto dm = file.open();
    dm->LoadCurrentContract();
    DayworkLists lists(*dm);
    dm->database().exec(QStringLiteral("ALTER TABLE Jl_ContractList RENAME TO gone"));
    EXPECT_THROW(lists.openAll(), StatementError);
    EXPECT_FALSE(lists.schedule(Schedule::Machinery).isOpen());
}

TEST(Daywork, AStoredTotalThatPriceAndQuantityDoNotGiveIsNamed) {
    const QVariant null;
    struct Case {
        const char* name;
        QVariant price, quantity, total;
        const char* problem; // empty: the total follows, or none is stored
    };
    const QList<Case> cases = {
        {"follows", 12.35, 100, QVariant::fromValue<qlonglong>(1235), ""},
        {"half a yuan rounds up", 0.125, 4, 1.0, ""},
        {"negative only truncated", -2.7, 1, -2, ""},
        {"no total stored", null, 10, null, ""},
        {"no price, no total", null, null, null, ""},
        {"no price and a nought", null, 10, 0, ""},
        {"a total typed without a price", null, 10, QVariant::fromValue<qlonglong>(1200), "没有单价，却存有合价 1200"},
        {"an empty price text", QStringLiteral(" "), 10, 1200, "没有单价，却存有合价 1200"},
        {"differs", 12.5, 100, 1200, "已存合价 1200，单价 × 数量应为 1250"},
        // Stored figures exactly as stored: 1234.5 is not shown as the 1235 it would round to.
        {"stored with a fraction", 1234.5, 1, 1234.5, "已存合价 1234.5，单价 × 数量应为 1235"},
        {"a total without a quantity", 5.0, null, 40, "没有估计数量，却存有合价 40"},
        {"price as a number text", QStringLiteral("2.5"), 2, QStringLiteral("5"), ""},
        {"price that is no number", QStringLiteral("面议"), 2, 5, "单价“面议”不是数字，却存有合价 5"},
        {"total that is no number", 2.0, 2, QStringLiteral("四"), "已存合价“四”不是数字"},
        {"beyond whole-yuan range", 1e300, 1e10, 7, "单价 × 数量超出了金额的范围，却存有合价 7"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DayworkTotalProblem(c.price, c.quantity, c.total), QString::fromUtf8(c.problem)) << c.name;
}

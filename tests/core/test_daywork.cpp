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

namespace {

// A row's unit price and total as stored, types included.
QVariantList storedFigures(DataModule& dm, const QString& code) {
    const QString where = QStringLiteral(" FROM Jl_ContractList WHERE ContractID='A1' AND ItemCode=?");
    return {dm.database().scalar(QStringLiteral("SELECT UnitPrice") + where, {code}),
            dm.database().scalar(QStringLiteral("SELECT TotalMoney") + where, {code})};
}

bool sameFigures(const QVariantList& a, const QVariantList& b) {
    return a.size() == b.size() && SameStoredValue(a[0], b[0]) && SameStoredValue(a[1], b[1]) &&
           a[0].typeId() == b[0].typeId() && a[1].typeId() == b[1].typeId();
}

std::string text(const QVariantList& figures) {
    QStringList parts;
    for (const QVariant& v : figures)
        parts << (v.isNull() ? QStringLiteral("null") : QStringLiteral("%1(%2)").arg(v.toString(), v.typeName()));
    return parts.join(QLatin1Char(' ')).toStdString();
}

void expectLiveTotalsAsStored(DataModule& dm, const DayworkLists& lists, const std::string& when) {
    const DayworkTotals live = lists.liveTotals().dayworkTotals();
    const DayworkTotals read =
        ContractFigures::read(dm, QStringLiteral("A1"), ContractFigures::Parts::Daywork).dayworkTotals();
    EXPECT_EQ(live.raw, read.raw) << when;
    EXPECT_EQ(live.whole, read.whole) << when;
    EXPECT_EQ(live.total, read.total) << when;
}

} // namespace

// Prices and a typed total saved one by one, then all undone and redone: the live totals always
// equal the totals read afresh, and each undo puts back the figures exactly as they were stored,
// also those the save hook would now work out otherwise.
TEST(Daywork, UndoAndRedoPutBackExactFiguresAndTheTotalsFollow) {
    TempDataFile file;
    auto dm = file.open();
    dm->LoadCurrentContract();
    // Figures as an owner's file or an older version left them.
    dm->database().exec(QStringLiteral(
        "UPDATE Jl_ContractList SET UnitPrice=NULL, TotalMoney=1234.5 WHERE ContractID='A1' AND ItemCode='101'"));
    dm->database().exec(QStringLiteral(
        "UPDATE Jl_ContractList SET UnitPrice=10.0, TotalMoney=999 WHERE ContractID='A1' AND ItemCode='201'"));
    DayworkLists lists(*dm);
    lists.openAll();
    expectLiveTotalsAsStored(*dm, lists, "at opening");
    const qint64 opening = lists.liveTotals().dayworkTotals().total;
    EXPECT_EQ(opening, 1235 + 999);

    struct Step {
        Schedule schedule;
        const char* code;
        const char* column;
        QVariant value;
        qint64 total; // the day-work total after the step
    };
    const std::vector<Step> steps = {
        {Schedule::Labour, "101", "UnitPrice", 12.35, 2470 + 999},
        {Schedule::Material, "201", "UnitPrice", 450.0, 2470 + 22500},
        {Schedule::Labour, "102", "TotalMoney", 5000, 2470 + 5000 + 22500},
        {Schedule::Machinery, "301", "UnitPrice", 300.0, 2470 + 5000 + 22500 + 30000},
        {Schedule::Material, "201", "UnitPrice", QVariant(), 2470 + 5000 + 30000},
    };
    std::vector<QVariantList> before, after;
    for (const Step& s : steps) {
        const QString code = QString::fromLatin1(s.code);
        before.push_back(storedFigures(*dm, code));
        DataSet& set = lists.schedule(s.schedule);
        const int row = lists.findItem(s.schedule, code);
        ASSERT_GE(row, 0) << s.code;
        set.setValue(row, QString::fromLatin1(s.column), s.value);
        set.post(row);
        after.push_back(storedFigures(*dm, code));
        EXPECT_EQ(lists.liveTotals().dayworkTotals().total, s.total) << s.code;
        expectLiveTotalsAsStored(*dm, lists, std::string("after ") + s.code);
    }
    EXPECT_EQ(lists.history().undoCount(), static_cast<int>(steps.size()));
    EXPECT_EQ(lists.history().undoLabel(), QStringLiteral("录入 201 的单价"));

    for (auto i = steps.size(); i-- > 0;) {
        const QString code = QString::fromLatin1(steps[i].code);
        const std::optional<DayworkLists::Place> place = lists.undo();
        ASSERT_TRUE(place) << steps[i].code;
        EXPECT_EQ(place->schedule, steps[i].schedule);
        EXPECT_TRUE(sameFigures(storedFigures(*dm, code), before[i]))
            << "undo " << steps[i].code << ": " << text(storedFigures(*dm, code)) << " wanted " << text(before[i]);
        // The list shows what is stored.
        const DataSet& set = lists.schedule(steps[i].schedule);
        const int row = lists.findItem(steps[i].schedule, code);
        EXPECT_TRUE(SameStoredValue(set.value(row, QStringLiteral("TotalMoney")), before[i][1])) << steps[i].code;
        expectLiveTotalsAsStored(*dm, lists, std::string("undo ") + steps[i].code);
    }
    EXPECT_FALSE(lists.history().canUndo());
    EXPECT_EQ(lists.liveTotals().dayworkTotals().total, opening);

    for (size_t i = 0; i < steps.size(); ++i) {
        const QString code = QString::fromLatin1(steps[i].code);
        ASSERT_TRUE(lists.redo()) << steps[i].code;
        EXPECT_TRUE(sameFigures(storedFigures(*dm, code), after[i]))
            << "redo " << steps[i].code << ": " << text(storedFigures(*dm, code)) << " wanted " << text(after[i]);
        EXPECT_EQ(lists.liveTotals().dayworkTotals().total, steps[i].total) << steps[i].code;
    }
    EXPECT_FALSE(lists.history().canRedo());
}

TEST(Daywork, UndoDropsATypedEditFirstAndRefusesARowChangedElsewhere) {
    TempDataFile file;
    auto dm = file.open();
    dm->LoadCurrentContract();
    DayworkLists lists(*dm);
    lists.openAll();
    DataSet& labour = lists.schedule(Schedule::Labour);
    lists.priceItem(Schedule::Labour, 0, 5.0);
    const QString code = labour.value(0, QStringLiteral("ItemCode")).toString();
    const QVariantList priced = storedFigures(*dm, code);

    // Typed, not saved: undo drops the typing and nothing else.
    labour.setValue(0, QStringLiteral("UnitPrice"), 7.0);
    EXPECT_FALSE(lists.undo());
    EXPECT_FALSE(labour.hasPendingEdits());
    EXPECT_TRUE(lists.history().canUndo());
    EXPECT_TRUE(sameFigures(storedFigures(*dm, code), priced));

    // Another program changed the row: nothing is written, the step stays to undo.
    dm->database().exec(QStringLiteral("UPDATE Jl_ContractList SET UnitPrice=6.0 WHERE rowid=?"), {labour.keyOf(0)});
    EXPECT_THROW(lists.undo(), Refused);
    EXPECT_TRUE(lists.history().canUndo());
    EXPECT_EQ(storedFigures(*dm, code).value(0).toDouble(), 6.0);
}

#include "boq/BoqEditor.h"
#include "boq/BoqLineRules.h"
#include "data/DataModule.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tenvora;
using namespace tenvora::test;

namespace {

const QString kContract = QStringLiteral("A1");

class BoqEditorTest : public testing::Test {
protected:
    void SetUp() override {
        dm = file.open();
        dm->LoadCurrentContract();
        ASSERT_EQ(dm->session().CurContractID, kContract);
    }
    Database& db() { return dm->database(); }
    void addLine(const QString& chapter, const QString& item, const QVariant& quantity, const QString& unit = "m",
                 const QVariant& amount = QVariant(), int supplementary = 0, const QVariant& bz = QVariant()) {
        db().exec(
            QStringLiteral("INSERT INTO jd_htqd (合同编号, 章, 细目编号, 细目名称, 单位, 合同数量, 合同金额, 是否补充, "
                           "bz) VALUES (?, ?, ?, '测试', ?, ?, ?, ?, ?)"),
            {kContract, chapter, item, unit, quantity, amount, supplementary, bz});
    }
    QVariant stored(const QString& item, const QString& column) {
        return db().scalar(QStringLiteral("SELECT %1 FROM jd_htqd WHERE 合同编号=? AND 细目编号=?").arg(column),
                           {kContract, item});
    }
    static QStringList listedItems(const BoqEditor& editor) {
        QStringList items;
        for (int r = 0; r < editor.lines().rowCount(); ++r)
            items << editor.lines().value(r, BoqColumn::Item).toString();
        return items;
    }

    TempDataFile file;
    std::unique_ptr<DataModule> dm;
};

} // namespace

TEST(BoqLineRules, PriceLockAndDrawnAsLocked) {
    struct Case {
        QVariant quantity;
        const char* item;
        const char* unit;
        bool locked;
        bool drawnLocked;
        const char* chapter = "100";
    };
    const QList<Case> cases = {
        {1, "102-1", "总额", false, false},
        // A chapter line takes the chapter total: a typed price would never reach the bid.
        {2, "200", "m", true, true, "200"},
        {2, "1000", "m", true, true, "1000"},
        {2, "200", "m", false, false, "100"},
        {0, "102-1", "总额", true, true},
        {QVariant(), "102-1", "m3", true, true},
        {QStringLiteral("abc"), "102-1", "m3", true, true},
        {1, "101-1-a", "总额", true, true},
        {1, "101-1-b", "总额", true, true},
        {1, "101-1-A", "总额", false, false},
        {1, "102-3", "暂定金总额", true, true},
        {5, "20", "m", true, false},
        {5, "2", "m", true, false},
        {5, "", "m", true, false},
        {5, "203", "m", false, false},
        {-3, "203-1", "m", false, false},
    };
    for (const Case& c : cases) {
        const QString item = QString::fromUtf8(c.item);
        const QString unit = QString::fromUtf8(c.unit);
        const QString chapter = QString::fromUtf8(c.chapter);
        EXPECT_EQ(IsPriceLocked(c.quantity, item, unit, chapter), c.locked) << c.item;
        EXPECT_EQ(IsDrawnLocked(c.quantity, item, unit, chapter), c.drawnLocked) << c.item;
        EXPECT_EQ(PriceLockReason(c.quantity, item, unit, chapter).isEmpty(), !c.locked) << c.item;
    }
}

TEST_F(BoqEditorTest, SavingALinePricesItExactlyAndRoundsTheAmount) {
    BoqEditor ed(*dm);
    db().exec(QStringLiteral("DELETE FROM jd_htqd"));
    struct Case {
        const char* item;
        double quantity;
        QVariant price;
        qint64 amount;
        const char* shown;
    };
    const QList<Case> cases = {
        {"901-1", 3, 10.5, 32, "10.50"},       {"901-2", 2, 2.25, 5, "2.25"},   {"901-3", 2, 2.2, 4, "2.20"},
        {"901-4", 100, 12.347, 1235, "12.35"}, {"901-5", 1, -2.7, -2, "-2.70"}, {"901-6", 4, 0.125, 1, "0.13"},
    };
    for (const Case& c : cases)
        addLine(QStringLiteral("900"), QString::fromLatin1(c.item), c.quantity);
    ed.initialise();
    ed.selectNode(BoqChapterLevel, QStringLiteral("900"));
    for (const Case& c : cases) {
        const QString item = QString::fromLatin1(c.item);
        const int r = ed.findItem(item);
        ed.priceLine(r, c.price);
        EXPECT_EQ(stored(item, BoqColumn::Amount).toLongLong(), c.amount) << c.item;
        EXPECT_EQ(stored(item, BoqColumn::Price).toDouble(), c.price.toDouble()) << c.item;
        EXPECT_EQ(stored(item, BoqColumn::Section).toString(), item) << "节 takes the item number";
        EXPECT_EQ(ed.lines().displayText(r, ed.lines().columnIndex(BoqColumn::Price)), QString::fromLatin1(c.shown));
    }
}

// The save hook itself, reached through the data set as any path reaches it (grid, command
// line, paste): the lock, the amount rule and 节.
TEST_F(BoqEditorTest, TheSaveHookRulesEveryPath) {
    struct Case {
        const char* item;
        const char* unit;
        QVariant quantity;
        QVariant price;  // stored before
        QVariant amount; // stored before
        bool setPrice;   // false: only another column is changed
        QVariant newPrice;
        bool refused;
        QVariant expectedAmount;
    };
    const QVariant none;
    const QList<Case> cases = {
        {"901-1", "m", 2, 5.0, 10, true, none, false, none},               // a cleared price clears the amount
        {"901-2", "m", 2, none, 77, true, none, false, 77},                // no price before or after: as it was
        {"901-3", "m", none, 5.0, 88, false, none, false, 88},             // a missing quantity keeps the amount
        {"901-4", "m", none, 5.0, 88, true, 6.0, true, 88},                // no quantity: locked
        {"901-5", "暂定金总额", 1, none, 300000, true, 1.0, true, 300000}, // provisional sum: locked
        {"101-1-a", "总额", 1, 3704, 3704, true, 5.0, true, 3704},         // the insurance line: locked
        {"101-1-b", "总额", 1, none, none, true, 5.0, true, none},
        {"90", "m", 5, none, none, true, 5.0, true, none},       // a two-character item: locked
        {"101-1-A", "总额", 1, none, none, true, 5.0, false, 5}, // an ordinary line
    };
    db().exec(QStringLiteral("DELETE FROM jd_htqd"));
    for (const Case& c : cases) {
        addLine(QStringLiteral("900"), QString::fromUtf8(c.item), c.quantity, QString::fromUtf8(c.unit), c.amount);
        db().exec(QStringLiteral("UPDATE jd_htqd SET 合同单价=? WHERE 细目编号=?"),
                  {c.price, QString::fromUtf8(c.item)});
    }
    BoqEditor ed(*dm);
    ed.initialise();
    ed.selectNode(BoqChapterLevel, QStringLiteral("900"));
    DataSet& lines = ed.lines();
    for (const Case& c : cases) {
        const QString item = QString::fromUtf8(c.item);
        const int row = ed.findItem(item);
        if (c.setPrice)
            lines.setValue(row, BoqColumn::Price, c.newPrice);
        else
            lines.setValue(row, BoqColumn::Section, QStringLiteral("x"));
        if (c.refused) {
            EXPECT_THROW(lines.post(row), Refused) << c.item;
            EXPECT_TRUE(lines.isEditing(row)) << c.item << " keeps what was typed";
            lines.cancel(row);
            EXPECT_TRUE(SameStoredValue(stored(item, BoqColumn::Price), c.price)) << c.item << " keeps its price";
            EXPECT_TRUE(stored(item, BoqColumn::Section).isNull()) << c.item << " is not written at all";
        } else {
            lines.post(row);
            EXPECT_EQ(stored(item, BoqColumn::Section).toString(), item) << c.item;
        }
        EXPECT_TRUE(SameStoredValue(stored(item, BoqColumn::Amount), c.expectedAmount))
            << c.item << ": " << stored(item, BoqColumn::Amount).toString().toStdString();
    }
}

TEST_F(BoqEditorTest, LockedLinesAreRefusedWithTheReasonAndNothingIsWritten) {
    BoqEditor ed(*dm);
    ed.initialise();
    ed.selectNode(BoqChapterLevel, QStringLiteral("100"));
    for (const char* item : {"101-1-a", "102-3", "100"}) {
        const int r = ed.findItem(QString::fromLatin1(item));
        try {
            ed.priceLine(r, 5.0);
            FAIL() << item << " must be refused";
        } catch (const Refused& e) {
            EXPECT_TRUE(e.text().startsWith(QStringLiteral("细目“%1”不允许录入单价：").arg(item)))
                << e.text().toStdString();
        }
        EXPECT_FALSE(ed.lines().isEditing(r));
        EXPECT_TRUE(stored(QString::fromLatin1(item), BoqColumn::Price).isNull()) << item;
    }
    for (int at : {0, ed.lines().rowCount()}) {
        try {
            ed.lines().insert(at);
            FAIL() << "no line may be added";
        } catch (const Refused& e) {
            EXPECT_EQ(e.text(), QStringLiteral("不允许增加"));
        }
    }
    EXPECT_THROW(ed.lines().remove(1), Refused);
    EXPECT_EQ(ed.lines().rowCount(), 15);
    EXPECT_EQ(
        db().scalar(QStringLiteral("SELECT count(*) FROM jd_htqd WHERE 章='100' AND 合同编号=?"), {kContract}).toInt(),
        15);
}

// The lock is a rule of each price cell, whatever line is current: the grid asks it per cell and
// typing through the list is refused where it says no.
TEST_F(BoqEditorTest, OnlyThePriceCellOfALineThatMayBePricedTakesTyping) {
    struct Case {
        const char* item;
        bool priceable;
    };
    const QList<Case> cases = {
        {"100", false},     // the chapter line
        {"101-1", false},   // no quantity
        {"101-1-a", false}, // insurance
        {"101-1-b", false}, // liability insurance
        {"102-3", false},   // provisional sum
        {"102-1", true},    {"104-1", true},
    };
    BoqEditor ed(*dm);
    ed.initialise();
    ed.selectNode(BoqChapterLevel, QStringLiteral("100"));
    DataSet& lines = ed.lines();
    const int price = lines.columnIndex(BoqColumn::Price);
    for (const Case& c : cases) {
        const int row = ed.findItem(QString::fromLatin1(c.item));
        ASSERT_GE(row, 0) << c.item;
        EXPECT_EQ(lines.isCellEditable(row, price), c.priceable) << c.item;
        EXPECT_FALSE(lines.isCellEditable(row, lines.columnIndex(BoqColumn::Quantity))) << c.item;
        if (c.priceable) {
            lines.setUserValue(row, price, 1.0);
            EXPECT_TRUE(lines.isModified(row)) << c.item;
            lines.cancel(row);
        } else {
            EXPECT_THROW(lines.setUserValue(row, price, 1.0), Refused) << c.item;
            EXPECT_FALSE(lines.isEditing(row)) << c.item;
        }
    }
    // A two-character item with a quantity is drawn as priceable yet locked all the same.
    db().exec(QStringLiteral("UPDATE jd_htqd SET 细目编号='10' WHERE 细目编号='104-1'"));
    ed.selectNode(BoqChapterLevel, QStringLiteral("100"));
    const int shortItem = ed.findItem(QStringLiteral("10"));
    EXPECT_FALSE(IsDrawnLocked(lines, shortItem));
    EXPECT_FALSE(lines.isCellEditable(shortItem, price));
}

TEST_F(BoqEditorTest, InsuranceAndChapterTotalOnTheWorkedFigures) {
    BoqEditor ed(*dm);
    db().exec(QStringLiteral("UPDATE jd_htqd SET 合同金额 = NULL"));
    ed.initialise();
    ed.selectNode(BoqChapterLevel, QStringLiteral("100"));
    std::optional<ChapterRecompute> r = ed.recompute();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->insurance, 0) << "no amounts at all";
    EXPECT_EQ(r->chapterTotal, 0);
    EXPECT_EQ(stored(QStringLiteral("100"), BoqColumn::Amount).toLongLong(), 0);
    EXPECT_EQ(stored(QStringLiteral("101-1-a"), BoqColumn::Price).toLongLong(), 0);

    db().exec(QStringLiteral("UPDATE jd_htqd SET 合同金额 = 100000 WHERE 细目编号 = '102-1'"));
    db().exec(QStringLiteral("UPDATE jd_htqd SET 合同金额 = 1134567 WHERE 细目编号 = '202-1-a'"));
    db().exec(QStringLiteral("UPDATE jd_htqd SET 合同金额 = 999999 WHERE 细目编号 = '101-1-b'"));
    r = ed.recompute();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->insurance, 3704) << "base 1234567";
    EXPECT_EQ(stored(QStringLiteral("101-1-a"), BoqColumn::Price).toLongLong(), 3704);
    EXPECT_EQ(stored(QStringLiteral("101-1-a"), BoqColumn::Amount).toLongLong(), 3704);
    EXPECT_EQ(r->chapterTotal, 100000 + 3704 + 999999) << "the chapter counts the new premium";
    EXPECT_EQ(stored(QStringLiteral("100"), BoqColumn::Amount).toLongLong(), r->chapterTotal);
    const DataSet& lines = ed.lines();
    EXPECT_EQ(lines.storedValue(ed.findItem(QStringLiteral("100")), lines.columnIndex(BoqColumn::Amount)).toLongLong(),
              r->chapterTotal)
        << "the list is read again";
}

TEST_F(BoqEditorTest, RecomputeDoesNothingUnlessAChapterIsSelected) {
    BoqEditor ed(*dm);
    const QVariant before = stored(QStringLiteral("101-1-a"), BoqColumn::Amount);
    const std::vector<BoqTreeNode>& tree = ed.initialise();
    EXPECT_FALSE(ed.recompute()) << "nothing selected";
    ed.selectNode(BoqContractLevel, tree.at(0).children.at(0).text);
    EXPECT_FALSE(ed.recompute());
    ed.selectNode(BoqProjectLevel, tree.at(0).text);
    EXPECT_FALSE(ed.recompute());
    db().exec(QStringLiteral("UPDATE jd_htqd SET 合同金额 = 5000000 WHERE 细目编号 = '102-1'"));
    EXPECT_FALSE(ed.recompute());
    EXPECT_EQ(stored(QStringLiteral("101-1-a"), BoqColumn::Amount), before);
}

TEST_F(BoqEditorTest, APriceTypedButNotSavedIsSavedBeforeTheListChanges) {
    BoqEditor ed(*dm);
    ed.initialise();
    ed.selectNode(BoqChapterLevel, QStringLiteral("200"));
    const int price = ed.lines().columnIndex(BoqColumn::Price);
    ed.lines().setUserValue(ed.findItem(QStringLiteral("202-1-a")), price, 2.5);
    ed.selectNode(BoqChapterLevel, QStringLiteral("300"));
    EXPECT_EQ(stored(QStringLiteral("202-1-a"), BoqColumn::Price).toDouble(), 2.5);
    EXPECT_EQ(stored(QStringLiteral("202-1-a"), BoqColumn::Amount).toLongLong(), 466250) << "186500 x 2.5";

    ed.selectNode(BoqChapterLevel, QStringLiteral("100"));
    ed.lines().setUserValue(ed.findItem(QStringLiteral("102-1")), price, 1000.0);
    const std::optional<ChapterRecompute> r = ed.recompute();
    ASSERT_TRUE(r);
    EXPECT_EQ(stored(QStringLiteral("102-1"), BoqColumn::Amount).toLongLong(), 1000);
    // The owner's provisional sums (102-3, 103-6, 401-1, 509-2) are in the base too.
    EXPECT_EQ(r->insurance, ContractFigures::insuranceAmount(466250 + 1000 + 4500000 + 1500000 + 300000 + 2000000));
    EXPECT_EQ(r->chapterTotal, 1000 + 4500000 + 1500000 + r->insurance);
}

TEST_F(BoqEditorTest, ListsAreMainBillLinesInNaturalItemOrder) {
    BoqEditor ed(*dm);
    db().exec(QStringLiteral("DELETE FROM jd_htqd"));
    addLine(QStringLiteral("100"), QStringLiteral("101-10"), 1);
    addLine(QStringLiteral("100"), QStringLiteral("101-2"), 0);
    addLine(QStringLiteral("100"), QStringLiteral("101-1-a"), 1);
    addLine(QStringLiteral("100"), QStringLiteral("101-1"), 1);
    addLine(QStringLiteral("100"), QStringLiteral("100"), 0);
    addLine(QStringLiteral("100"), QStringLiteral("101-3"), 1, QStringLiteral("m"), QVariant(), 1);
    addLine(QStringLiteral("100"), QStringLiteral("101-0"), 1, QStringLiteral("m"), QVariant(), 0, QStringLiteral("x"));
    addLine(QStringLiteral("200"), QStringLiteral("201-1"), 1);
    const std::vector<BoqTreeNode>& tree = ed.initialise();
    ed.selectNode(BoqChapterLevel, QStringLiteral("100"));
    EXPECT_EQ(listedItems(ed), (QStringList{"100", "101-1", "101-1-a", "101-2", "101-10", "101-0"}));
    EXPECT_EQ(ed.lines().displayFormat(ed.lines().columnIndex(BoqColumn::Quantity)), QStringLiteral("0.00"))
        << "the first line has no quantity";
    ed.selectNode(BoqContractLevel, tree.at(0).children.at(0).text);
    EXPECT_EQ(listedItems(ed), (QStringList{"100", "101-1", "101-1-a", "101-2", "101-10", "201-1", "101-0"}));
    ed.selectNode(BoqChapterLevel, QStringLiteral("200"));
    EXPECT_EQ(ed.lines().displayFormat(ed.lines().columnIndex(BoqColumn::Quantity)), QString());
    EXPECT_EQ(ed.lines().displayFormat(ed.lines().columnIndex(BoqColumn::Price)), QStringLiteral("0.00"));
    ed.selectNode(BoqProjectLevel, tree.at(0).text);
    EXPECT_TRUE(ed.lines().isEmpty()) << "the project node lists nothing";
}

TEST_F(BoqEditorTest, TreeOfTheCurrentContract) {
    BoqEditor ed(*dm);
    const std::vector<BoqTreeNode>& tree = ed.initialise();
    ASSERT_EQ(tree.size(), 1u);
    EXPECT_EQ(tree[0].text, QStringLiteral("沿江高速公路扩建工程"));
    ASSERT_EQ(tree[0].children.size(), 1u);
    QStringList chapters;
    for (const BoqTreeNode& n : tree[0].children[0].children)
        chapters << n.text;
    EXPECT_EQ(chapters, (QStringList{"100", "200", "300", "400", "500", "600", "700"}));

    dm->session().CurContractID = QStringLiteral("B1"); // a contract without lines
    const std::vector<BoqTreeNode>& bare = ed.initialise();
    ASSERT_EQ(bare.size(), 1u);
    ASSERT_EQ(bare[0].children.size(), 1u);
    EXPECT_TRUE(bare[0].children[0].children.empty());

    dm->session().CurContractID = QStringLiteral("nowhere");
    EXPECT_TRUE(ed.initialise().empty());
}

TEST(BoqTree, PathsMergeIgnoringCaseKeepNamesWholeAndSortNaturally) {
    std::vector<BoqTreeNode> roots;
    InsertBoqTreePath(roots, {"项目\\一", "合同:A", "a00"});
    InsertBoqTreePath(roots, {"项目\\一", "合同:a", "A00"});
    InsertBoqTreePath(roots, {"项目\\一", "合同:A", "1000"});
    InsertBoqTreePath(roots, {"项目\\一", "合同:A", "900"});
    InsertBoqTreePath(roots, {"项目\\一", "合同:A", ""});
    InsertBoqTreePath(roots, {"项目\\一", "空合同", ""});
    SortBoqTree(roots);
    ASSERT_EQ(roots.size(), 1u);
    EXPECT_EQ(roots[0].text, QStringLiteral("项目\\一"));
    ASSERT_EQ(roots[0].children.size(), 2u);
    const BoqTreeNode& contract = roots[0].children[0];
    EXPECT_EQ(contract.text, QStringLiteral("合同:A")) << "the first spelling names the node";
    QStringList chapters;
    for (const BoqTreeNode& n : contract.children)
        chapters << n.text;
    EXPECT_EQ(chapters, (QStringList{"900", "1000", "a00"}));
    EXPECT_TRUE(roots[0].children[1].children.empty());
}

TEST(BoqTree, Images) {
    struct Case {
        bool children, expanded, selected;
        int image;
    };
    for (const Case c : {Case{true, false, false, 0}, Case{true, false, true, 0}, Case{true, true, false, 1},
                         Case{true, true, true, 1}, Case{false, false, false, 2}, Case{false, true, true, 3}})
        EXPECT_EQ(BoqTreeImage(c.children, c.expanded, c.selected), c.image);
}

// The owner's edits of a bill and of day work: the save hooks' rules, lines and items added and
// deleted, and undo and redo by row identity.
#include "OwnerTest.h"

#include "data/DataModule.h"
#include "data/RowHistory.h"
#include "owner/OwnerBillEditor.h"
#include "owner/OwnerDayworkEditor.h"

#include <memory>

namespace tenvora::test {
namespace {

class OwnerEdits : public TenderFixture {
protected:
    void SetUp() override {
        TenderFixture::SetUp();
        fill();
        m_dm = std::make_unique<DataModule>(m_path);
        m_bill = std::make_unique<OwnerBillEditor>(*m_dm);
        m_bill->open(QStringLiteral("A1"));
    }

    QVariant lineValue(const QString& item, const QString& column) {
        return m_dm->database().scalar(
            QStringLiteral("select \"%1\" from jd_htqd where 合同编号 = 'A1' and 细目编号 = ?").arg(column), {item});
    }
    QVariantList wholeLine(const QString& item) {
        const qint64 rowId =
            m_dm->database()
                .scalar(QStringLiteral("select rowid from jd_htqd where 合同编号 = 'A1' and 细目编号 = ?"), {item})
                .toLongLong();
        QVariantList row{rowId};
        row += ReadRowValues(m_dm->database(), QStringLiteral("jd_htqd"), rowId,
                             m_dm->database().columnsOf(QStringLiteral("jd_htqd")));
        return row;
    }
    // Types the value into the line's column and saves it through the save hook.
    void type(const QString& item, const QString& column, const QVariant& value) {
        DataSet& lines = m_bill->lines();
        const int row = m_bill->rowOfItem(item);
        lines.setUserValue(row, lines.columnIndex(column), value);
        lines.post(row);
    }

    std::unique_ptr<DataModule> m_dm;
    std::unique_ptr<OwnerBillEditor> m_bill;
};

struct EditCase {
    std::string name;
    QString item;
    QString column;
    QVariant typed;
    QVariant stored; // what the line then holds, when it is taken
    QString refusal; // a part of the refusal, when it is not
};

class OwnerBillEdit : public OwnerEdits, public testing::WithParamInterface<EditCase> {};

TEST_P(OwnerBillEdit, IsStoredAndUndoneOrRefusedWithNothingWritten) {
    const EditCase& c = GetParam();
    const QVariantList before = wholeLine(c.item);
    if (!c.refusal.isEmpty()) {
        try {
            type(c.item, c.column, c.typed);
            FAIL() << "taken";
        } catch (const Refused& e) {
            EXPECT_TRUE(e.text().contains(c.refusal)) << e.text().toStdString();
        }
        m_bill->lines().cancelPending();
        EXPECT_EQ(wholeLine(c.item), before);
        EXPECT_FALSE(m_bill->history().canUndo());
        return;
    }
    type(c.item, c.column, c.typed);
    EXPECT_TRUE(SameStoredValue(lineValue(c.item, c.column), c.stored))
        << lineValue(c.item, c.column).toString().toStdString();
    const QVariantList after = wholeLine(c.item);
    m_bill->undo();
    EXPECT_EQ(wholeLine(c.item), before);
    EXPECT_TRUE(SameStoredValue(m_bill->lines().value(m_bill->rowOfItem(c.item), c.column),
                                before.at(m_bill->lines().columnIndex(c.column))));
    m_bill->redo();
    EXPECT_EQ(wholeLine(c.item), after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OwnerBillEdit,
    testing::Values(
        EditCase{"quantity", QStringLiteral("203-1-a"), QStringLiteral("合同数量"), 90000.25, 90000.25, {}},
        EditCase{
            "cleared quantity is nought", QStringLiteral("203-1-a"), QStringLiteral("合同数量"), QVariant(), 0.0, {}},
        EditCase{"description",
                 QStringLiteral("102-1"),
                 QStringLiteral("细目名称"),
                 QStringLiteral("竣工文件（含电子版）"),
                 QStringLiteral("竣工文件（含电子版）"),
                 {}},
        EditCase{"unit",
                 QStringLiteral("204-1-b"),
                 QStringLiteral("单位"),
                 QStringLiteral("立方米"),
                 QStringLiteral("立方米"),
                 {}},
        EditCase{"provisional sum", QStringLiteral("102-3"), QStringLiteral("合同金额"), 480000, 480000.0, {}},
        EditCase{
            "negative quantity", QStringLiteral("203-1-a"), QStringLiteral("合同数量"), -1, {}, QStringLiteral("负数")},
        EditCase{"amount on a priced line",
                 QStringLiteral("203-1-a"),
                 QStringLiteral("合同金额"),
                 100,
                 {},
                 QStringLiteral("不允许修改")},
        EditCase{"negative provisional sum",
                 QStringLiteral("102-3"),
                 QStringLiteral("合同金额"),
                 -5,
                 {},
                 QStringLiteral("负数")}),
    CaseName<EditCase>);

TEST_F(OwnerEdits, TheSaveHookRefusesAnAmountOnALineThatIsNoProvisionalSumWhoeverSetsIt) {
    DataSet& lines = m_bill->lines();
    const int row = m_bill->rowOfItem(QStringLiteral("203-1-a"));
    lines.setValue(row, QStringLiteral("合同金额"), 100);
    try {
        lines.post(row);
        FAIL() << "posted";
    } catch (const Refused& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("暂定金总额"))) << e.text().toStdString();
    }
    lines.cancelPending();
    EXPECT_TRUE(lineValue(QStringLiteral("203-1-a"), QStringLiteral("合同金额")).isNull());
}

TEST_F(OwnerEdits, ALineThatStopsBeingAProvisionalSumLosesItsAmountAndUndoGivesItBack) {
    type(QStringLiteral("102-3"), QStringLiteral("单位"), QStringLiteral("总额"));
    EXPECT_TRUE(lineValue(QStringLiteral("102-3"), QStringLiteral("合同金额")).isNull());
    m_bill->undo();
    EXPECT_EQ(lineValue(QStringLiteral("102-3"), QStringLiteral("单位")).toString(), QStringLiteral("暂定金总额"));
    EXPECT_EQ(lineValue(QStringLiteral("102-3"), QStringLiteral("合同金额")).toDouble(), 450000.0);
}

TEST_F(OwnerEdits, APricedLineKeepsTheAmountItsPriceAndNewQuantityGive) {
    m_dm->database().exec(
        QStringLiteral("update jd_htqd set 合同单价 = 12.35, 合同金额 = 1068275 where 细目编号 = '203-1-a'"));
    m_bill->reload();
    type(QStringLiteral("203-1-a"), QStringLiteral("合同数量"), 1000.5);
    EXPECT_EQ(lineValue(QStringLiteral("203-1-a"), QStringLiteral("合同金额")).toDouble(), 12356.0);
    m_bill->undo();
    EXPECT_EQ(lineValue(QStringLiteral("203-1-a"), QStringLiteral("合同金额")).toDouble(), 1068275.0);
}

struct NewLineCase {
    std::string name;
    NewBillLine line;
    QString refusal;
};

class OwnerNewLine : public OwnerEdits, public testing::WithParamInterface<NewLineCase> {};

TEST_P(OwnerNewLine, IsRefusedNamingTheRule) {
    const qint64 lines = m_bill->lines().rowCount();
    try {
        m_bill->addLine(GetParam().line);
        FAIL() << "added";
    } catch (const Refused& e) {
        EXPECT_TRUE(e.text().contains(GetParam().refusal)) << e.text().toStdString();
    }
    EXPECT_EQ(
        m_dm->database().scalar(QStringLiteral("select count(*) from jd_htqd where 合同编号 = 'A1'")).toLongLong(),
        lines);
    EXPECT_FALSE(m_bill->history().canUndo());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OwnerNewLine,
    testing::Values(NewLineCase{"empty", {QString(), QStringLiteral("x"), {}, 1, {}}, QStringLiteral("不能为空")},
                    NewLineCase{"blank at the end", {QStringLiteral("203-2 "), {}, {}, 1, {}}, QStringLiteral("空格")},
                    NewLineCase{"no digit first", {QStringLiteral("A-1"), {}, {}, 1, {}}, QStringLiteral("数字开头")},
                    NewLineCase{"held", {QStringLiteral("203-1-a"), {}, {}, 1, {}}, QStringLiteral("已有细目")},
                    NewLineCase{"negative quantity", {QStringLiteral("203-2"), {}, {}, -2, {}}, QStringLiteral("负数")},
                    NewLineCase{"amount on a priced line",
                                {QStringLiteral("203-2"), {}, QStringLiteral("m3"), 1, 100},
                                QStringLiteral("暂定金总额")}),
    CaseName<NewLineCase>);

TEST_F(OwnerEdits, AnAddedLineIsFiledUnderItsChapterAndUndoAndRedoKeepItsIdentity) {
    const int row =
        m_bill->addLine({QStringLiteral("204-3-c"), QStringLiteral("填方"), QStringLiteral("m3"), 1200, {}});
    EXPECT_EQ(m_bill->lines().value(row, QStringLiteral("细目编号")).toString(), QStringLiteral("204-3-c"));
    const QVariantList added = wholeLine(QStringLiteral("204-3-c"));
    EXPECT_EQ(lineValue(QStringLiteral("204-3-c"), QStringLiteral("章")).toString(), QStringLiteral("200"));
    EXPECT_EQ(lineValue(QStringLiteral("204-3-c"), QStringLiteral("节")).toString(), QStringLiteral("204-3"));
    EXPECT_EQ(lineValue(QStringLiteral("204-3-c"), QStringLiteral("段")).toString(), QStringLiteral("204-3-c"));
    EXPECT_TRUE(lineValue(QStringLiteral("204-3-c"), QStringLiteral("合同单价")).isNull());
    // Natural order: after 204-1-b.
    EXPECT_EQ(row, m_bill->rowOfItem(QStringLiteral("204-1-b")) + 1);
    m_bill->undo();
    EXPECT_FALSE(lineValue(QStringLiteral("204-3-c"), QStringLiteral("细目编号")).isValid());
    EXPECT_EQ(m_bill->rowOfItem(QStringLiteral("204-3-c")), -1);
    m_bill->redo();
    EXPECT_EQ(wholeLine(QStringLiteral("204-3-c")), added);
}

TEST_F(OwnerEdits, ADeletedLineComesBackWholeWithItsIdentity) {
    const QVariantList before = wholeLine(QStringLiteral("102-3"));
    m_bill->deleteLine(m_bill->rowOfItem(QStringLiteral("102-3")));
    EXPECT_FALSE(lineValue(QStringLiteral("102-3"), QStringLiteral("细目编号")).isValid());
    EXPECT_EQ(m_bill->rowOfItem(QStringLiteral("102-3")), -1);
    m_bill->undo();
    EXPECT_EQ(wholeLine(QStringLiteral("102-3")), before);
    EXPECT_GE(m_bill->rowOfItem(QStringLiteral("102-3")), 0);
    m_bill->redo();
    EXPECT_FALSE(lineValue(QStringLiteral("102-3"), QStringLiteral("细目编号")).isValid());
}

TEST_F(OwnerEdits, AStepIsRefusedWhenItsLineWasChangedElsewhereAndNothingIsWritten) {
    type(QStringLiteral("203-1-a"), QStringLiteral("合同数量"), 1.0);
    m_bill->deleteLine(m_bill->rowOfItem(QStringLiteral("102-1")));
    // Something else on the connection (another command) changes the line of the older step.
    m_dm->database().exec(QStringLiteral("update jd_htqd set 合同数量 = 7 where 细目编号 = '203-1-a'"));
    m_bill->undo(); // the deletion: its line is untouched
    EXPECT_TRUE(lineValue(QStringLiteral("102-1"), QStringLiteral("细目编号")).isValid());
    try {
        m_bill->undo();
        FAIL() << "undone over another change";
    } catch (const Refused& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("203-1-a"))) << e.text().toStdString();
    }
    EXPECT_EQ(lineValue(QStringLiteral("203-1-a"), QStringLiteral("合同数量")).toDouble(), 7.0);
    EXPECT_TRUE(m_bill->history().canUndo());
}

TEST_F(OwnerEdits, AnotherSectionStartsAFreshHistory) {
    type(QStringLiteral("203-1-a"), QStringLiteral("合同数量"), 1.0);
    ASSERT_TRUE(m_bill->history().canUndo());
    m_bill->open(QStringLiteral("A1"));
    EXPECT_TRUE(m_bill->history().canUndo());
    m_bill->open(QString());
    EXPECT_FALSE(m_bill->history().canUndo());
}

TEST_F(OwnerEdits, DayworkItemsAreAddedEditedDeletedAndUndone) {
    OwnerDayworkEditor daywork(*m_dm);
    daywork.open(QStringLiteral("A1"));
    DataSet& labour = daywork.schedule(Schedule::Labour);
    ASSERT_EQ(labour.rowCount(), 1);
    const auto refusal = [&](const NewDayworkItem& item) {
        try {
            daywork.addItem(Schedule::Labour, item);
        } catch (const Refused& e) {
            return e.text();
        }
        return QString();
    };
    EXPECT_TRUE(refusal({QString(), {}, {}, {}}).contains(QStringLiteral("不能为空")));
    EXPECT_TRUE(refusal({QStringLiteral("101"), {}, {}, {}}).contains(QStringLiteral("已有编号")));
    EXPECT_TRUE(refusal({QStringLiteral("102"), {}, {}, -1}).contains(QStringLiteral("负数")));
    // The same code in another schedule is another item.
    daywork.addItem(Schedule::Material, {QStringLiteral("101"), QStringLiteral("砂"), QStringLiteral("m3"), 30});
    const int row =
        daywork.addItem(Schedule::Labour, {QStringLiteral("102"), QStringLiteral("技工"), QStringLiteral("h"), {}});
    EXPECT_EQ(labour.rowCount(), 2);
    EXPECT_EQ(labour.value(row, QStringLiteral("ContractID")).toString(), QStringLiteral("A1"));
    EXPECT_EQ(labour.value(row, QStringLiteral("bz")).toString(), QStringLiteral("1"));
    EXPECT_TRUE(labour.value(row, QStringLiteral("Amount")).isNull());

    labour.setUserValue(row, labour.columnIndex(QStringLiteral("Amount")), 800);
    labour.post(row);
    labour.setUserValue(row, labour.columnIndex(QStringLiteral("Amount")), -3);
    EXPECT_THROW(labour.post(row), Refused);
    labour.cancel(row);
    daywork.deleteItem(Schedule::Labour, 0);
    EXPECT_EQ(labour.rowCount(), 1);

    daywork.undo(); // the deletion
    daywork.undo(); // the quantity
    EXPECT_EQ(labour.rowCount(), 2);
    EXPECT_TRUE(labour.value(1, QStringLiteral("Amount")).isNull());
    daywork.undo(); // the labour item
    daywork.undo(); // the material item
    EXPECT_EQ(labour.rowCount(), 1);
    EXPECT_EQ(daywork.schedule(Schedule::Material).rowCount(), 1);
    EXPECT_FALSE(daywork.history().canUndo());
}

} // namespace
} // namespace tenvora::test

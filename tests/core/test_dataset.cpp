#include "data/DataModule.h"
#include "data/DataSet.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tenvora;
using namespace tenvora::test;

namespace {

// A small table of our own, so the data set is tested apart from any one window's rules.
class DataSetTest : public testing::Test {
protected:
    void SetUp() override {
        dm = file.open();
        db().exec(
            QStringLiteral("CREATE TABLE t (code TEXT, name TEXT, qty REAL, price REAL, flag INTEGER DEFAULT 0)"));
        for (const QVariantList& r : {QVariantList{"a", "甲", 1.0, QVariant()}, QVariantList{"b", "乙", 2.0, 3.5},
                                      QVariantList{"c", "丙", 0.0, QVariant()}})
            db().exec(QStringLiteral("INSERT INTO t (code, name, qty, price) VALUES (?, ?, ?, ?)"), r);
    }
    Database& db() { return dm->database(); }
    std::unique_ptr<DataSet> openSet(const QStringList& editable = {QStringLiteral("price")}) {
        auto set = std::make_unique<DataSet>(*dm, DataSetTable{QStringLiteral("t"), QStringLiteral("rowid"), editable});
        set->open(QStringLiteral("select rowid, * from t order by code"));
        return set;
    }
    QVariant stored(const QString& code, const QString& column) {
        return db().scalar(QStringLiteral("SELECT %1 FROM t WHERE code=?").arg(column), {code});
    }

    TempDataFile file;
    std::unique_ptr<DataModule> dm;
};

} // namespace

TEST_F(DataSetTest, OpenKeepsRowsAndRunsTheOpenAndScrollHooks) {
    DataSet set(*dm, DataSetTable{QStringLiteral("t"), QStringLiteral("rowid"), {}});
    QStringList calls;
    set.setAfterOpen([&](DataSet& s) { calls << QStringLiteral("open %1").arg(s.rowCount()); });
    set.setAfterScroll([&](DataSet& s) { calls << QStringLiteral("scroll %1").arg(s.current()); });
    set.open(QStringLiteral("select rowid, * from t where code > ? order by code"), {QStringLiteral("a")});
    EXPECT_EQ(set.rowCount(), 2);
    EXPECT_EQ(set.field(QStringLiteral("NAME")).toString(), QStringLiteral("乙")) << "names match ignoring case";
    set.next();
    set.next(); // already on the last row: no scroll
    set.open(QStringLiteral("select rowid, * from t where code = 'none'"));
    EXPECT_EQ(set.current(), -1);
    EXPECT_EQ(calls, (QStringList{"open 2", "scroll 0", "scroll 1", "open 0"}));
}

TEST_F(DataSetTest, AFailingSelectShowsOneMessageAndLeavesTheSetClosed) {
    auto set = openSet();
    EXPECT_THROW(set->open(QStringLiteral("select * from no_such_table")), StatementError);
    EXPECT_FALSE(set->isOpen());
}

TEST_F(DataSetTest, PostRunsTheHookAndWritesOnlyThatRowAsTheStoreHoldsIt) {
    auto set = openSet();
    set->setBeforePost([](DataSet& s) {
        s.setField(QStringLiteral("name"), s.field(QStringLiteral("code")).toString() + QStringLiteral("!"));
    });
    set->moveTo(1);
    set->setUserValue(1, set->columnIndex(QStringLiteral("price")), QStringLiteral("12.5"));
    EXPECT_EQ(set->state(), DataSet::State::Edit);
    EXPECT_TRUE(set->isModified());
    EXPECT_EQ(stored(QStringLiteral("b"), QStringLiteral("price")).toDouble(), 3.5) << "nothing written before post";
    set->post();
    EXPECT_EQ(set->state(), DataSet::State::Browse);
    EXPECT_EQ(stored(QStringLiteral("b"), QStringLiteral("name")).toString(), QStringLiteral("b!"));
    // The text went in as text and the store's REAL column made it a number; the set shows that.
    EXPECT_EQ(set->field(QStringLiteral("price")).typeId(), QMetaType::Double);
    EXPECT_EQ(stored(QStringLiteral("a"), QStringLiteral("name")).toString(), QStringLiteral("甲"));
    EXPECT_EQ(stored(QStringLiteral("c"), QStringLiteral("name")).toString(), QStringLiteral("丙"));
}

TEST_F(DataSetTest, ColumnsTheUserMayNotChangeAreRefused) {
    auto set = openSet();
    EXPECT_THROW(set->setUserValue(0, set->columnIndex(QStringLiteral("name")), QStringLiteral("x")), Refused);
    EXPECT_EQ(set->state(), DataSet::State::Browse);

    DataSet shown(*dm, DataSetTable{QString(), QString(), {QStringLiteral("price")}});
    shown.openRows({QStringLiteral("price")}, {{1.0}});
    EXPECT_FALSE(shown.canModify());
    EXPECT_THROW(shown.edit(), Refused);
}

TEST_F(DataSetTest, AFailingSaveKeepsTheRowInEditWithWhatWasTyped) {
    auto set = openSet();
    bool refuse = true;
    set->setBeforePost([&](DataSet&) {
        if (refuse)
            throw Refused(QStringLiteral("不行"));
    });
    set->setUserValue(0, set->columnIndex(QStringLiteral("price")), 7.25);
    EXPECT_THROW(set->moveTo(2), Refused);
    EXPECT_EQ(set->current(), 0);
    EXPECT_TRUE(set->isEditing());
    EXPECT_EQ(set->field(QStringLiteral("price")).toDouble(), 7.25);

    // A store failure: one message, the action abandoned, the buffer still there.
    refuse = false;
    db().exec(QStringLiteral("CREATE TRIGGER no_update BEFORE UPDATE ON t BEGIN SELECT RAISE(ABORT, 'locked'); END"));
    EXPECT_THROW(set->post(), StatementError);
    EXPECT_TRUE(set->isEditing());
    EXPECT_TRUE(stored(QStringLiteral("a"), QStringLiteral("price")).isNull());

    db().exec(QStringLiteral("DROP TRIGGER no_update"));
    set->moveTo(2);
    EXPECT_EQ(stored(QStringLiteral("a"), QStringLiteral("price")).toDouble(), 7.25);
}

TEST_F(DataSetTest, LeavingARowSavesItOnlyWhenSomethingChanged) {
    auto set = openSet();
    int posts = 0;
    set->setBeforePost([&](DataSet&) { ++posts; });
    set->edit();
    set->next();
    EXPECT_EQ(posts, 0) << "an unchanged row is not written";
    set->setField(QStringLiteral("price"), 1.5);
    set->next();
    EXPECT_EQ(posts, 1);
    EXPECT_FALSE(set->savePending()) << "nothing pending";
    set->setField(QStringLiteral("price"), 5.0);
    EXPECT_TRUE(set->savePending());
    EXPECT_EQ(stored(QStringLiteral("c"), QStringLiteral("price")).toDouble(), 5.0);
    EXPECT_EQ(stored(QStringLiteral("b"), QStringLiteral("price")).toDouble(), 1.5);
}

TEST_F(DataSetTest, ARowRemovedBehindTheSetsBackIsReportedNotSilentlyLost) {
    auto set = openSet();
    db().exec(QStringLiteral("DELETE FROM t WHERE code='a'"));
    set->setField(QStringLiteral("price"), 9.0);
    try {
        set->post();
        FAIL() << "posting a vanished row must fail";
    } catch (const Error& e) {
        EXPECT_EQ(e.text(), QStringLiteral("这一行已不在数据表中，没有保存"));
    }
    EXPECT_TRUE(set->isEditing());
}

TEST_F(DataSetTest, InsertAppendAndDeleteGoThroughTheirHooks) {
    auto set = openSet({QStringLiteral("code"), QStringLiteral("price")});
    bool allowInsert = false;
    set->setBeforeInsert([&](DataSet&) {
        if (!allowInsert)
            throw Refused(QStringLiteral("不允许增加"));
    });
    EXPECT_THROW(set->append(), Refused);
    EXPECT_EQ(set->rowCount(), 3);

    allowInsert = true;
    set->append();
    EXPECT_EQ(set->state(), DataSet::State::Insert);
    EXPECT_EQ(set->current(), 3);
    set->first(); // an untouched new row disappears when left
    EXPECT_EQ(set->rowCount(), 3);

    set->moveTo(1);
    set->insert();
    EXPECT_EQ(set->current(), 1);
    set->setField(QStringLiteral("code"), QStringLiteral("ab"));
    set->setField(QStringLiteral("price"), 4.0);
    set->post();
    EXPECT_EQ(db().scalar(QStringLiteral("SELECT count(*) FROM t")).toInt(), 4);
    EXPECT_EQ(set->field(QStringLiteral("flag")).toInt(), 0) << "the store's default is read back";
    EXPECT_EQ(set->field(QStringLiteral("rowid")), db().scalar(QStringLiteral("SELECT rowid FROM t WHERE code='ab'")));

    bool allowDelete = false;
    set->setBeforeDelete([&](DataSet&) {
        if (!allowDelete)
            throw Refused(QStringLiteral("不允许删除"));
    });
    EXPECT_THROW(set->remove(), Refused);
    allowDelete = true;
    set->remove();
    EXPECT_EQ(set->rowCount(), 3);
    EXPECT_EQ(set->current(), 1);
    EXPECT_FALSE(stored(QStringLiteral("ab"), QStringLiteral("code")).isValid());
}

TEST_F(DataSetTest, ARowCanBePostedInsideTheCallersTransaction) {
    auto set = openSet();
    {
        Transaction tx(db());
        set->setField(QStringLiteral("price"), 2.0);
        set->post();
        // Left uncommitted: the caller's rollback takes the row back too.
    }
    EXPECT_TRUE(stored(QStringLiteral("a"), QStringLiteral("price")).isNull());
    {
        Transaction tx(db());
        set->setField(QStringLiteral("price"), 3.0);
        set->post();
        tx.commit();
    }
    EXPECT_EQ(stored(QStringLiteral("a"), QStringLiteral("price")).toDouble(), 3.0);
}

// A batch write does not read every row back: the set predicts how the store keeps each value
// from the column's declared type. Whatever it predicts must be what a fresh read finds.
TEST_F(DataSetTest, ABatchWriteHoldsEachValueAsTheStoreKeepsIt) {
    db().exec(
        QStringLiteral("CREATE TABLE kinds (i INTEGER, r REAL, s TEXT, n NUMERIC, v VARCHAR(10), b, d DECIMAL(10,2))"));
    const QVariantList values = {QVariant(5),
                                 QVariant(5.0),
                                 QVariant(2.5),
                                 QVariant(QStringLiteral("12")),
                                 QVariant(QStringLiteral("1.50")),
                                 QVariant(QStringLiteral("abc")),
                                 QVariant(),
                                 QVariant(1e17),
                                 QVariant(true),
                                 QVariant(qlonglong(9007199254740993LL))};
    for (int i = 0; i < values.size(); ++i)
        db().exec(QStringLiteral("INSERT INTO kinds (i) VALUES (NULL)"));
    const QStringList columns = {"i", "r", "s", "n", "v", "b", "d"};
    DataSet set(*dm, DataSetTable{QStringLiteral("kinds"), QStringLiteral("rowid"), columns});
    const QString select = QStringLiteral("select rowid, * from kinds order by rowid");
    set.open(select);
    for (const QString& name : columns) {
        std::vector<std::pair<int, QVariant>> batch;
        for (int row = 0; row < values.size(); ++row)
            batch.push_back({row, values[row]});
        set.postValues(set.columnIndex(name), batch);
    }
    DataSet fresh(*dm, DataSetTable{QStringLiteral("kinds"), QStringLiteral("rowid"), {}});
    fresh.open(select);
    for (const QString& name : columns)
        for (int row = 0; row < values.size(); ++row) {
            const QVariant held = set.storedValue(row, set.columnIndex(name));
            const QVariant read = fresh.storedValue(row, fresh.columnIndex(name));
            EXPECT_EQ(held.typeId(), read.typeId()) << name.toStdString() << " row " << row;
            EXPECT_EQ(held, read) << name.toStdString() << " row " << row;
        }
}

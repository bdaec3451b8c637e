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

TEST_F(DataSetTest, OpenKeepsRowsAndRunsTheOpenHook) {
    DataSet set(*dm, DataSetTable{QStringLiteral("t"), QStringLiteral("rowid"), {}});
    QStringList calls;
    set.setAfterOpen([&](DataSet& s) { calls << QStringLiteral("open %1").arg(s.rowCount()); });
    set.open(QStringLiteral("select rowid, * from t where code > ? order by code"), {QStringLiteral("a")});
    EXPECT_EQ(set.rowCount(), 2);
    EXPECT_EQ(set.value(0, QStringLiteral("NAME")).toString(), QStringLiteral("乙")) << "names match ignoring case";
    set.open(QStringLiteral("select rowid, * from t where code = 'none'"));
    EXPECT_TRUE(set.isEmpty());
    EXPECT_EQ(calls, (QStringList{"open 2", "open 0"}));
}

TEST_F(DataSetTest, AFailingSelectShowsOneMessageAndLeavesTheSetClosed) {
    auto set = openSet();
    EXPECT_THROW(set->open(QStringLiteral("select * from no_such_table")), StatementError);
    EXPECT_FALSE(set->isOpen());
}

TEST_F(DataSetTest, PostRunsTheHookAndWritesOnlyThatRowAsTheStoreHoldsIt) {
    auto set = openSet();
    QList<int> hooked;
    set->setBeforePost([&](DataSet& s, int row) {
        hooked << row;
        s.setValue(row, QStringLiteral("name"), s.value(row, QStringLiteral("code")).toString() + QStringLiteral("!"));
    });
    set->setUserValue(1, set->columnIndex(QStringLiteral("price")), QStringLiteral("12.5"));
    EXPECT_EQ(set->state(1), DataSet::State::Edit);
    EXPECT_TRUE(set->isModified(1));
    EXPECT_EQ(stored(QStringLiteral("b"), QStringLiteral("price")).toDouble(), 3.5) << "nothing written before post";
    set->post(1);
    EXPECT_EQ(hooked, QList<int>{1});
    EXPECT_EQ(set->state(1), DataSet::State::Browse);
    EXPECT_EQ(stored(QStringLiteral("b"), QStringLiteral("name")).toString(), QStringLiteral("b!"));
    // The text went in as text and the store's REAL column made it a number; the set shows that.
    EXPECT_EQ(set->value(1, QStringLiteral("price")).typeId(), QMetaType::Double);
    EXPECT_EQ(stored(QStringLiteral("a"), QStringLiteral("name")).toString(), QStringLiteral("甲"));
    EXPECT_EQ(stored(QStringLiteral("c"), QStringLiteral("name")).toString(), QStringLiteral("丙"));
}

TEST_F(DataSetTest, ColumnsAndCellsTheUserMayNotChangeAreRefused) {
    auto set = openSet();
    const int price = set->columnIndex(QStringLiteral("price"));
    EXPECT_THROW(set->setUserValue(0, set->columnIndex(QStringLiteral("name")), QStringLiteral("x")), Refused);
    EXPECT_EQ(set->state(0), DataSet::State::Browse);
    // A rule per cell: here no price on a row without a quantity (row 2, "c").
    set->setCellRule(
        [](const DataSet& s, int row, int) { return s.value(row, QStringLiteral("qty")).toDouble() != 0; });
    EXPECT_TRUE(set->isCellEditable(0, price));
    EXPECT_FALSE(set->isCellEditable(2, price));
    EXPECT_FALSE(set->isCellEditable(0, set->columnIndex(QStringLiteral("name")))) << "the column comes first";
    EXPECT_THROW(set->setUserValue(2, price, 1.0), Refused);
    EXPECT_FALSE(set->isEditing(2));

    DataSet shown(*dm, DataSetTable{QString(), QString(), {QStringLiteral("price")}});
    shown.openRows({QStringLiteral("price")}, {{1.0}});
    EXPECT_FALSE(shown.canModify());
    EXPECT_FALSE(shown.isCellEditable(0, 0));
    EXPECT_THROW(shown.edit(0), Refused);
}

TEST_F(DataSetTest, AFailingSaveKeepsTheRowInEditWithWhatWasTyped) {
    auto set = openSet();
    bool refuse = true;
    set->setBeforePost([&](DataSet&, int) {
        if (refuse)
            throw Refused(QStringLiteral("不行"));
    });
    set->setUserValue(0, set->columnIndex(QStringLiteral("price")), 7.25);
    EXPECT_THROW(set->savePending(0), Refused);
    EXPECT_TRUE(set->isEditing(0));
    EXPECT_EQ(set->value(0, QStringLiteral("price")).toDouble(), 7.25);

    // A store failure: one message, the action abandoned, the edit still there.
    refuse = false;
    db().exec(QStringLiteral("CREATE TRIGGER no_update BEFORE UPDATE ON t BEGIN SELECT RAISE(ABORT, 'locked'); END"));
    EXPECT_THROW(set->post(0), StatementError);
    EXPECT_TRUE(set->isEditing(0));
    EXPECT_TRUE(stored(QStringLiteral("a"), QStringLiteral("price")).isNull());

    db().exec(QStringLiteral("DROP TRIGGER no_update"));
    EXPECT_TRUE(set->savePending());
    EXPECT_EQ(stored(QStringLiteral("a"), QStringLiteral("price")).toDouble(), 7.25);
}

TEST_F(DataSetTest, SavingWritesOnlyRowsWhoseEditChangedSomething) {
    auto set = openSet();
    QList<int> posts;
    set->setBeforePost([&](DataSet&, int row) { posts << row; });
    set->edit(0);
    EXPECT_TRUE(set->isEditing(0));
    EXPECT_FALSE(set->savePending(0)) << "an unchanged row is not written";
    EXPECT_FALSE(set->isEditing(0));
    set->setValue(1, QStringLiteral("price"), 1.5);
    set->setValue(2, QStringLiteral("price"), 5.0);
    set->edit(0);
    EXPECT_TRUE(set->savePending());
    EXPECT_EQ(posts, (QList<int>{1, 2})) << "top to bottom, the unchanged row dropped";
    EXPECT_FALSE(set->hasPendingEdits());
    EXPECT_FALSE(set->savePending()) << "nothing pending";
    EXPECT_EQ(stored(QStringLiteral("b"), QStringLiteral("price")).toDouble(), 1.5);
    EXPECT_EQ(stored(QStringLiteral("c"), QStringLiteral("price")).toDouble(), 5.0);
}

TEST_F(DataSetTest, ARowRemovedBehindTheSetsBackIsReportedNotSilentlyLost) {
    auto set = openSet();
    db().exec(QStringLiteral("DELETE FROM t WHERE code='a'"));
    set->setValue(0, QStringLiteral("price"), 9.0);
    try {
        set->post(0);
        FAIL() << "posting a vanished row must fail";
    } catch (const Error& e) {
        EXPECT_EQ(e.text(), QStringLiteral("这一行已不在数据表中，没有保存"));
    }
    EXPECT_TRUE(set->isEditing(0));
}

TEST_F(DataSetTest, InsertAndDeleteGoThroughTheirHooks) {
    auto set = openSet({QStringLiteral("code"), QStringLiteral("price")});
    bool allowInsert = false;
    QList<int> inserts;
    set->setBeforeInsert([&](DataSet&, int row) {
        inserts << row;
        if (!allowInsert)
            throw Refused(QStringLiteral("不允许增加"));
    });
    EXPECT_THROW(set->insert(3), Refused);
    EXPECT_EQ(set->rowCount(), 3);

    allowInsert = true;
    EXPECT_EQ(set->insert(3), 3);
    EXPECT_EQ(set->state(3), DataSet::State::Insert);
    // One new row at a time: the untouched one goes before the next is made.
    EXPECT_EQ(set->insert(0), 0);
    EXPECT_EQ(set->rowCount(), 4);
    EXPECT_FALSE(set->savePending(0)) << "an untouched new row is dropped";
    EXPECT_EQ(set->rowCount(), 3);

    EXPECT_EQ(set->insert(1), 1);
    set->setValue(1, QStringLiteral("code"), QStringLiteral("ab"));
    set->setValue(1, QStringLiteral("price"), 4.0);
    set->post(1);
    EXPECT_EQ(inserts, (QList<int>{3, 3, 0, 1}));
    EXPECT_EQ(set->state(1), DataSet::State::Browse);
    EXPECT_EQ(db().scalar(QStringLiteral("SELECT count(*) FROM t")).toInt(), 4);
    EXPECT_EQ(set->value(1, QStringLiteral("flag")).toInt(), 0) << "the store's default is read back";
    EXPECT_EQ(set->keyOf(1), db().scalar(QStringLiteral("SELECT rowid FROM t WHERE code='ab'")));
    EXPECT_EQ(set->rowOfKey(set->keyOf(1)), 1);

    bool allowDelete = false;
    set->setBeforeDelete([&](DataSet&, int) {
        if (!allowDelete)
            throw Refused(QStringLiteral("不允许删除"));
    });
    EXPECT_THROW(set->remove(1), Refused);
    allowDelete = true;
    set->remove(1);
    EXPECT_EQ(set->rowCount(), 3);
    EXPECT_EQ(set->value(1, QStringLiteral("code")).toString(), QStringLiteral("b"));
    EXPECT_FALSE(stored(QStringLiteral("ab"), QStringLiteral("code")).isValid());
}

TEST_F(DataSetTest, ARowCanBePostedInsideTheCallersTransaction) {
    auto set = openSet();
    {
        Transaction tx(db());
        set->setValue(0, QStringLiteral("price"), 2.0);
        set->post(0);
        // Left uncommitted: the caller's rollback takes the row back too.
    }
    EXPECT_TRUE(stored(QStringLiteral("a"), QStringLiteral("price")).isNull());
    {
        Transaction tx(db());
        set->setValue(0, QStringLiteral("price"), 3.0);
        set->post(0);
        tx.commit();
    }
    EXPECT_EQ(stored(QStringLiteral("a"), QStringLiteral("price")).toDouble(), 3.0);
}

TEST_F(DataSetTest, PostingOneRowLeavesTheEditsOfOthers) {
    auto set = openSet();
    QList<int> posted;
    set->setAfterPost([&](DataSet& s, int row, const QVariantList& before) {
        posted << row;
        EXPECT_EQ(before.value(s.columnIndex(QStringLiteral("price"))).toDouble(), 3.5);
    });
    set->setValue(0, QStringLiteral("price"), 1.0);
    set->setValue(1, QStringLiteral("price"), 2.0);
    set->post(1);
    EXPECT_EQ(posted, QList<int>{1});
    EXPECT_EQ(stored(QStringLiteral("b"), QStringLiteral("price")).toDouble(), 2.0);
    EXPECT_TRUE(stored(QStringLiteral("a"), QStringLiteral("price")).isNull());
    EXPECT_TRUE(set->isModified(0));
    EXPECT_EQ(set->value(0, QStringLiteral("price")).toDouble(), 1.0);
    // A batch may not run over a row with an edit; it leaves everything as it was.
    EXPECT_THROW(set->postValues(set->columnIndex(QStringLiteral("price")), {{2, 4.0}, {0, 5.0}}), Error);
    EXPECT_TRUE(stored(QStringLiteral("c"), QStringLiteral("price")).isNull());
    EXPECT_EQ(set->value(0, QStringLiteral("price")).toDouble(), 1.0);
    set->cancelPending();
    EXPECT_FALSE(set->hasPendingEdits());
    EXPECT_TRUE(set->value(0, QStringLiteral("price")).isNull());
}

// Edits are kept by the row's identity: whatever moves the rows (a reload, a filter, another
// order), each typed price stays with its row and is written to it, and what the store changed
// meanwhile in other columns is not written over.
struct RowsMove {
    const char* name;
    std::function<void(DataSet&, Database&)> move;
    bool cKept; // the edit of row "c" is still there
};

class EditsByIdentity : public DataSetTest, public testing::WithParamInterface<RowsMove> {};

TEST_P(EditsByIdentity, StayWithTheirRows) {
    auto set = openSet();
    const int price = set->columnIndex(QStringLiteral("price"));
    set->setUserValue(0, price, 11.0); // a
    set->setUserValue(2, price, 33.0); // c
    db().exec(QStringLiteral("UPDATE t SET name = name || '*'"));
    GetParam().move(*set, db());
    const auto rowOf = [&](const char* code) {
        for (int r = 0; r < set->rowCount(); ++r)
            if (set->value(r, QStringLiteral("code")).toString() == QLatin1String(code))
                return r;
        return -1;
    };
    ASSERT_GE(rowOf("a"), 0);
    EXPECT_EQ(set->value(rowOf("a"), price).toDouble(), 11.0);
    EXPECT_TRUE(set->isModified(rowOf("a")));
    if (rowOf("b") >= 0) {
        EXPECT_FALSE(set->isEditing(rowOf("b")));
    }
    if (GetParam().cKept) {
        ASSERT_GE(rowOf("c"), 0);
        EXPECT_EQ(set->value(rowOf("c"), price).toDouble(), 33.0);
    } else if (rowOf("c") >= 0) {
        EXPECT_FALSE(set->isEditing(rowOf("c")));
    }
    EXPECT_TRUE(set->savePending());
    EXPECT_EQ(stored(QStringLiteral("a"), QStringLiteral("price")).toDouble(), 11.0);
    EXPECT_EQ(stored(QStringLiteral("b"), QStringLiteral("price")).toDouble(), 3.5);
    if (GetParam().cKept) {
        EXPECT_EQ(stored(QStringLiteral("c"), QStringLiteral("price")).toDouble(), 33.0);
    } else {
        EXPECT_TRUE(stored(QStringLiteral("c"), QStringLiteral("price")).isNull()) << "its edit went with it";
    }
    EXPECT_EQ(stored(QStringLiteral("a"), QStringLiteral("name")).toString(), QStringLiteral("甲*"));
    EXPECT_EQ(stored(QStringLiteral("c"), QStringLiteral("name")).toString(), QStringLiteral("丙*"));
}

INSTANTIATE_TEST_SUITE_P(
    Moves, EditsByIdentity,
    testing::Values(
        RowsMove{"reload_of_the_edited_rows",
                 [](DataSet& s, Database&) {
                     s.reloadRows({s.keyOf(2), s.keyOf(0)});
                 },
                 true},
        RowsMove{"reload_of_the_row_between", [](DataSet& s, Database&) { s.reloadRows({s.keyOf(1)}); }, true},
        RowsMove{"filter_drops_the_row_between",
                 [](DataSet& s, Database&) {
                     s.setRowFilter(
                         [](const DataSet& d, int r) { return d.value(r, 1).toString() != QLatin1String("b"); });
                     s.open(QStringLiteral("select rowid, * from t order by code"));
                 },
                 true},
        RowsMove{"read_again_in_another_order",
                 [](DataSet& s, Database&) { s.open(QStringLiteral("select rowid, * from t order by code desc")); },
                 true},
        RowsMove{"filter_drops_an_edited_row",
                 [](DataSet& s, Database&) {
                     s.setRowFilter(
                         [](const DataSet& d, int r) { return d.value(r, 1).toString() != QLatin1String("c"); });
                     s.open(QStringLiteral("select rowid, * from t order by code"));
                 },
                 false},
        RowsMove{"a_row_before_them_deleted",
                 [](DataSet& s, Database& db) {
                     db.exec(QStringLiteral("INSERT INTO t (code, name) VALUES ('0', '零')"));
                     s.open(QStringLiteral("select rowid, * from t order by code"));
                     s.remove(0);
                 },
                 true}),
    [](const testing::TestParamInfo<RowsMove>& p) { return std::string(p.param.name); });

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

// Constant names are known by their storage after the first look-up; another open with other
// columns must not find them where the last one had them, and a name made at run time finds the
// same column as its constant.
TEST_F(DataSetTest, ColumnNamesFollowEachOpen) {
    static const QString price = QStringLiteral("price");
    static const QString code = QStringLiteral("code");
    auto set = openSet();
    const int at = set->columnIndex(price);
    EXPECT_EQ(at, set->columnIndex(QString::fromUtf8("pri") + QStringLiteral("ce")));
    EXPECT_EQ(set->columnIndex(price), at);
    EXPECT_EQ(set->columnIndex(code), 1);
    set->open(QStringLiteral("select rowid, price, code from t order by code"));
    EXPECT_EQ(set->columnIndex(price), 1);
    EXPECT_EQ(set->columnIndex(code), 2);
    EXPECT_EQ(set->value(0, code).toString(), QStringLiteral("a"));
    set->open(QStringLiteral("select rowid, name from t"));
    EXPECT_EQ(set->columnIndex(price), -1);
}

// A batch writes every row with one statement, and a second batch of other columns (or a failing
// one) does not run the first one's statement.
TEST_F(DataSetTest, BatchesOfDifferentColumnsWriteWhatEachChanges) {
    auto set = openSet({QStringLiteral("price"), QStringLiteral("qty")});
    set->postValues(set->columnIndex(QStringLiteral("price")), {{0, 1.25}, {1, 2.5}, {2, 4.0}});
    set->postValues(set->columnIndex(QStringLiteral("qty")), {{0, 7.0}, {2, 9.0}});
    EXPECT_EQ(stored(QStringLiteral("a"), QStringLiteral("price")).toDouble(), 1.25);
    EXPECT_EQ(stored(QStringLiteral("c"), QStringLiteral("price")).toDouble(), 4.0);
    EXPECT_EQ(stored(QStringLiteral("a"), QStringLiteral("qty")).toDouble(), 7.0);
    EXPECT_EQ(stored(QStringLiteral("b"), QStringLiteral("qty")).toDouble(), 2.0);
    db().exec(QStringLiteral("UPDATE t SET price = 99 WHERE code = 'c'"));
    EXPECT_THROW(set->postValues(set->columnIndex(QStringLiteral("price")), {{0, 5.0}, {2, 6.0}}), RowChangedElsewhere);
    EXPECT_EQ(stored(QStringLiteral("a"), QStringLiteral("price")).toDouble(), 1.25) << "none of the batch is written";
    set->reloadRows({set->keyOf(2)});
    set->postValues(set->columnIndex(QStringLiteral("price")), {{0, 5.0}, {2, 6.0}});
    EXPECT_EQ(stored(QStringLiteral("c"), QStringLiteral("price")).toDouble(), 6.0);
}

TEST_F(DataSetTest, AKeyFindsItsRowAsTheTextItIsStoredAs) {
    for (const char* code : {"5", "05", "-3", "5.5"})
        db().exec(QStringLiteral("INSERT INTO t (code) VALUES (?)"), {QString::fromLatin1(code)});
    DataSet set(*dm, DataSetTable{QStringLiteral("t"), QStringLiteral("code"), {}});
    set.open(QStringLiteral("select code from t order by rowid"));
    const auto rowOf = [&](const char* code) {
        for (int r = 0; r < set.rowCount(); ++r)
            if (set.storedValue(r, 0).toString() == QLatin1String(code))
                return r;
        return -1;
    };
    const struct {
        QVariant key;
        int row;
    } cases[] = {
        {QStringLiteral("a"), rowOf("a")},
        {QStringLiteral("5"), rowOf("5")},
        {QVariant(5), rowOf("5")},
        {QVariant(qlonglong(5)), rowOf("5")},
        {QVariant(5.0), rowOf("5")},
        {QStringLiteral("05"), rowOf("05")},
        {QVariant(-3), rowOf("-3")},
        {QVariant(5.5), rowOf("5.5")},
        {QStringLiteral("5.0"), -1},
        {QVariant(6), -1},
        {QVariant(), -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(set.rowOfKey(c.key), c.row) << c.key.toString().toStdString();
    EXPECT_NE(rowOf("05"), rowOf("5"));
}

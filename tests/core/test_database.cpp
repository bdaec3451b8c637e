#include "boq/BoqEditor.h"
#include "data/AppPaths.h"
#include "data/Database.h"
#include "data/KeyDerivation.h"
#include "data/Schema.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace tenvora;
using namespace tenvora::test;

namespace {

QString openError(const QString& path, const QByteArray& key = DataFileKey()) {
    try {
        Database::open(path, key);
    } catch (const DataFileError& e) {
        return e.text();
    }
    return {};
}

// Runs SQL through the store's own command-line shell, as an owner's tool would.
void runSqlcipherShell(const QString& path, const QString& sql) {
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlcipher"));
    ASSERT_FALSE(shell.isEmpty()) << "the sqlcipher shell is installed by scripts/setup";
    QProcess p;
    p.start(shell, {path});
    ASSERT_TRUE(p.waitForStarted());
    p.write((QStringLiteral("PRAGMA key='%1';\n").arg(QString::fromLatin1(DataFileKey())) + sql).toUtf8());
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(20000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
}

} // namespace

TEST(Database, RefusesFilesThatAreNotDataFilesNamingFileAndReason) {
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("none.tr"));
    const QString empty = dir.filePath(QStringLiteral("zero.tr"));
    const QString text = dir.filePath(QStringLiteral("notes.tr"));
    ASSERT_TRUE(test::WriteBytes(empty, {}));
    ASSERT_TRUE(test::WriteBytes(text, QByteArray("这不是数据库\n").repeated(500)));
    TempDataFile good;

    struct Case {
        QString path;
        QByteArray key;
        QString reason;
    };
    const QList<Case> cases = {
        {missing, DataFileKey(), QStringLiteral("不存在")},
        {empty, DataFileKey(), QStringLiteral("空的")},
        {text, DataFileKey(), QStringLiteral("不是完整的数据文件")},
        {good.path(), QByteArray("wrong-key-123456"), QStringLiteral("密码不符")},
        {dir.path(), DataFileKey(), QStringLiteral("不是一个文件")},
    };
    for (const Case& c : cases) {
        const QString error = openError(c.path, c.key);
        EXPECT_TRUE(error.contains(QDir::toNativeSeparators(c.path))) << error.toStdString();
        EXPECT_TRUE(error.contains(c.reason)) << error.toStdString();
    }
    EXPECT_FALSE(QFile::exists(missing)) << "opening must never create a data file";
}

TEST(KeyDerivation, MatchesThePublishedPbkdf2Vectors) {
    struct Case {
        QByteArray passphrase;
        QByteArray salt;
        int iterations;
        int length;
        const char* hex;
    };
    const Case cases[] = {
        {"password", "salt", 1, 20, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
        {"password", "salt", 2, 20, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
        {"password", "salt", 4096, 20, "4b007901b765489abead49d926f721d065a429c1"},
        {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 25,
         "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
        {QByteArray("pass\0word", 9), QByteArray("sa\0lt", 5), 4096, 16, "56fa6aa75548099dcc37d7f03425e0c3"},
        // A passphrase longer than a hash block is hashed first.
        {QByteArray(80, 'k'), "salt", 3, 32, "6fcaa29d60751059573c47dcec3c8cb92a90fdb8fc0950357d20f87c3f7f3d87"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Pbkdf2HmacSha1(c.passphrase, c.salt, c.iterations, c.length).toHex(), QByteArray(c.hex))
            << c.passphrase.toStdString() << " x " << c.iterations;
}

TEST(Database, ADamagedPageIsReportedClearlyWhenItIsRead) {
    TempDataFile sound;
    EXPECT_NO_THROW(Database::open(sound.path(), DataFileKey()).checkIntegrity());

    QTemporaryDir dir;
    const QString path = CreateDataFileWithDamagedLines(dir.path());
    ASSERT_FALSE(path.isEmpty());
    // The open reads only the catalogue, so the file opens and its small tables still work.
    DataModule dm(path);
    dm.LoadCurrentContract();
    EXPECT_EQ(dm.session().CurContractID, QStringLiteral("A1"));

    // The editor's list of the contract meets the damaged page: the user is told what happened
    // and what to do, naming the file, instead of "SQL语句错误!".
    Query list(&dm.database());
    QString damaged;
    try {
        dm.RunSql(list, BoqEditor::contractListSql(), {QStringLiteral("A1")}, true);
    } catch (const StorageError& e) {
        damaged = e.text();
    }
    EXPECT_TRUE(damaged.contains(QStringLiteral("已损坏"))) << damaged.toStdString();
    EXPECT_TRUE(damaged.contains(QStringLiteral("数据恢复"))) << damaged.toStdString();
    EXPECT_TRUE(damaged.contains(QDir::toNativeSeparators(path))) << damaged.toStdString();
    EXPECT_FALSE(list.isOpen());
    EXPECT_THROW(dm.database().scalar(QStringLiteral("SELECT group_concat(细目名称) FROM jd_htqd")), StorageError);

    // An ordinary statement error keeps its own message.
    EXPECT_THROW(dm.RunSql(list, QStringLiteral("SELECT nothing FROM jd_htqd"), {}, true), StatementError);

    QString failure;
    try {
        dm.database().checkIntegrity();
    } catch (const DataFileError& e) {
        failure = e.text();
    }
    EXPECT_TRUE(failure.contains(QStringLiteral("已损坏"))) << failure.toStdString();
    EXPECT_TRUE(failure.contains(QDir::toNativeSeparators(path))) << failure.toStdString();
}

TEST(Database, RefusesAPlainUnencryptedDatabase) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plain.tr"));
    {
        Database db = Database::create(path, QByteArray()); // empty key: no encryption
        Schema::create(db);
    }
    EXPECT_TRUE(openError(path).contains(QStringLiteral("密码不符")));
}

TEST(Database, RefusesATruncatedFile) {
    TempDataFile file;
    QFile f(file.path());
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    const qint64 size = f.size();
    ASSERT_GT(size, 8192);
    ASSERT_TRUE(f.resize(size / 2));
    f.close();
    EXPECT_FALSE(openError(file.path()).isEmpty());
}

TEST(Database, RefusesFilesWithoutTheTablesOrColumnsItNeeds) {
    QTemporaryDir dir;
    struct Case {
        const char* change;
        const char* reason;
    };
    const Case cases[] = {
        {"DROP TABLE zdj", "缺少数据表 zdj"},
        {"DROP TABLE pass; CREATE TABLE pass (unit TEXT, pass TEXT, bz TEXT)", "数据表 pass 缺少列 flag"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString path = CreateEmptyDataFile(dir.path(), QStringLiteral("f%1.tr").arg(n++));
        {
            Database db = Database::open(path, DataFileKey());
            for (const QString& sql : QString::fromUtf8(c.change).split(QLatin1Char(';')))
                db.exec(sql);
        }
        EXPECT_TRUE(openError(path).contains(QString::fromUtf8(c.reason))) << openError(path).toStdString();
    }
}

TEST(Database, OpensAFileMadeByTheStoreShellWithOtherTypesAndExtraColumns) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("owner.tr"));
    runSqlcipherShell(
        path, QStringLiteral("CREATE TABLE JD_XIANGMU (id VARCHAR(20), 项目名称 VARCHAR(50), 备注 MEMO);\n"
                             "CREATE TABLE jd_hetong (UPID CHAR(20), ID CHAR(20), 合同名称 NVARCHAR, 起始桩号 TEXT, "
                             "终止桩号 TEXT, 额外 INT);\n"
                             "CREATE TABLE jd_htqd (合同编号, 章, 节, 段, 细目编号, 细目名称, 单位, 合同数量 DOUBLE, "
                             "合同单价 DOUBLE, 合同金额 CURRENCY, 是否补充 BIT, bz, 设计数量 DOUBLE);\n"
                             "CREATE TABLE Jl_ContractList (ID, ContractID, bz, ItemCode, ItemName, Unit, Amount, "
                             "UnitPrice, TotalMoney);\n"
                             "CREATE TABLE 当前选择合同 (项目ID, 合同ID, 期数ID);\n"
                             "CREATE TABLE pass (unit, pass, bz, flag);\n"
                             "CREATE TABLE zdj (章, 细目编号, 细目名称, 合同金额);\n"
                             "CREATE TABLE Reports (ID, 报表);\n"
                             "CREATE TABLE 其他 (x);\n"
                             "INSERT INTO jd_xiangmu VALUES ('P', '工程', NULL);\n"));
    Database db = Database::open(path, DataFileKey());
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT 项目名称 FROM jd_xiangmu")).toString(), QStringLiteral("工程"));
    // The program's own indexes are the only change made to an owner's file.
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='index'")).toInt(), 3);
}

TEST(Database, VerifyModeChangesNothingWhileTheWorkingConnectionAddsIndexes) {
    QTemporaryDir dir;
    const QString path = CreateEmptyDataFile(dir.path());
    const QString countIndexes = QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='index'");
    {
        Database look = Database::open(path, DataFileKey(), Database::Mode::Verify);
        EXPECT_EQ(look.scalar(countIndexes).toInt(), 0);
        EXPECT_THROW(look.exec(QStringLiteral("DELETE FROM pass")), StorageError);
    }
    Database work = Database::open(path, DataFileKey());
    EXPECT_EQ(work.scalar(countIndexes).toInt(), 3);
}

TEST(Database, ValuesAreBoundLiterally) {
    QTemporaryDir dir;
    Database db = Database::open(CreateEmptyDataFile(dir.path()), DataFileKey());
    const QStringList nasty = {QStringLiteral("O'Brien"),
                               QStringLiteral("x' OR '1'='1"),
                               QStringLiteral("a\"; DROP TABLE pass; --"),
                               QStringLiteral("%s"),
                               QString(),
                               QStringLiteral("行'）")};
    for (const QString& v : nasty)
        db.exec(QStringLiteral("INSERT INTO pass (unit, pass, bz, flag) VALUES (?, ?, '2', NULL)"), {v, v});
    for (const QString& v : nasty)
        EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM pass WHERE unit=? AND pass=?"), {v, v}).toInt(), 1)
            << v.toStdString();
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM pass WHERE unit=?"), {QStringLiteral("x")}).toInt(), 0);
}

TEST(Database, TransactionRollsBackUnlessCommitted) {
    QTemporaryDir dir;
    Database db = Database::open(CreateEmptyDataFile(dir.path()), DataFileKey());
    {
        Transaction tx(db);
        db.exec(QStringLiteral("INSERT INTO zdj (章) VALUES ('100')"));
    }
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM zdj")).toInt(), 0);
    {
        Transaction tx(db);
        db.exec(QStringLiteral("INSERT INTO zdj (章) VALUES ('100')"));
        tx.commit();
    }
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM zdj")).toInt(), 1);
}

TEST(Database, ANestedChangeJoinsTheOuterOne) {
    QTemporaryDir dir;
    Database db = Database::open(CreateEmptyDataFile(dir.path()), DataFileKey());
    const auto count = [&] { return db.scalar(QStringLiteral("SELECT count(*) FROM zdj")).toInt(); };
    const auto add = [&](const char* chapter) {
        db.exec(QStringLiteral("INSERT INTO zdj (章) VALUES (?)"), {QString::fromLatin1(chapter)});
    };
    {
        // The inner rollback undoes only its own steps.
        Transaction outer(db);
        add("100");
        {
            Transaction inner(db);
            EXPECT_FALSE(inner.isOutermost());
            add("200");
        }
        add("300");
        outer.commit();
    }
    EXPECT_EQ(count(), 2);
    {
        // A committed inner change is still undone when the outer one fails later.
        Transaction outer(db);
        add("400");
        {
            Transaction inner(db);
            add("500");
            {
                Transaction innermost(db);
                add("600");
                innermost.commit();
            }
            inner.commit();
        }
    }
    EXPECT_EQ(count(), 2);
    EXPECT_FALSE(db.inTransaction());
    {
        Transaction again(db); // the connection is usable again after all that
        EXPECT_TRUE(again.isOutermost());
        add("700");
        again.commit();
    }
    EXPECT_EQ(count(), 3);
}

TEST(Database, RunChangeRollsBackTheWholeChangeOnAStoreError) {
    TempDataFile file;
    auto dm = file.open();
    Database& db = dm->database();
    const auto count = [&] { return db.scalar(QStringLiteral("SELECT count(*) FROM zdj")).toInt(); };
    const int before = count();
    EXPECT_THROW(dm->RunChange([&] {
        db.exec(QStringLiteral("INSERT INTO zdj (章) VALUES ('100')"));
        dm->RunChange([&] { db.exec(QStringLiteral("INSERT INTO zdj (章) VALUES ('200')")); });
        db.exec(QStringLiteral("INSERT INTO no_such_table VALUES (1)"));
    }),
                 StatementError);
    EXPECT_EQ(count(), before);
    EXPECT_FALSE(db.inTransaction());
}

TEST(Database, ItemNumberCollationOrdersListings) {
    QTemporaryDir dir;
    Database db = Database::open(CreateEmptyDataFile(dir.path()), DataFileKey());
    // Plain ASCII numbers are compared on the stack, others through decoded text: both in one order.
    for (const char* item : {"101-10", "101-1-乙", "101-1-a", "101-2", "100", "101-1", "101-1-甲"})
        db.exec(QStringLiteral("INSERT INTO jd_htqd (细目编号) VALUES (?)"), {QString::fromUtf8(item)});
    Statement st = db.prepare(QStringLiteral("SELECT 细目编号 FROM jd_htqd ORDER BY 细目编号 COLLATE ITEMNO"));
    QStringList order;
    while (st.next())
        order << st.value(0).toString();
    EXPECT_EQ(order.join(QLatin1Char(' ')), QStringLiteral("100 101-1 101-1-a 101-1-乙 101-1-甲 101-2 101-10"));
}

TEST(AppPaths, DataFileSitsBesideTheProgramWithItsBaseName) {
    EXPECT_EQ(DataFilePathFor(QStringLiteral("/opt/t/bin/VORQEL")), QStringLiteral("/opt/t/bin/VORQEL.tr"));
    EXPECT_EQ(DataFilePathFor(QStringLiteral("/opt/t/bin/VORQEL.exe")), QStringLiteral("/opt/t/bin/VORQEL.tr"));
    EXPECT_EQ(DataFilePathFor(QStringLiteral("/opt/t.d/bin/Work.Bench.exe")),
              QStringLiteral("/opt/t.d/bin/Work.Bench.tr"));
}

// What the commands write (PDF, the bid set, the Excel export, copies) on a full disk, under
// hostile names and when killed; and the messages of files that are not what they should be.
#include "CliSupport.h"
#include "data/AppPaths.h"
#include "data/DataFileProbe.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "demo/DemoData.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tenvora;
using namespace tenvora::test;

namespace {

QStringList everythingIn(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

class CliWrites : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_data = m_dir.filePath(QStringLiteral("VORQEL.tr"));
        ASSERT_EQ(run({QStringLiteral("create-demo"), QStringLiteral("--priced")}, false).code, 0);
    }

    CliRun run(const QStringList& args, bool login = true, const QProcessEnvironment& extra = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("TENVORA_UNIT"));
        env.remove(QStringLiteral("TENVORA_PASSWORD"));
        env.insert(extra);
        return RunCli(
            CliCall(QStringList{QStringLiteral("--data"), m_data} + (login ? DemoLogin() : QStringList()) + args, env,
                    m_dir.path()));
    }

    // The command as a shell line, for arguments a QString cannot carry (bytes that are not UTF-8).
    CliRun runShell(const QString& line) {
        QProcess p;
        p.setWorkingDirectory(m_dir.path());
        p.start(QStringLiteral("bash"), {QStringLiteral("-c"), line});
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    QTemporaryDir m_dir;
    QString m_data;
};

} // namespace

// Every path that writes a PDF, and the export, on a disk with a few kilobytes free: exit code 1,
// the file and the cause named, nothing left of the new file, the older file as it was.
TEST_F(CliWrites, AFullDiskIsReportedByEveryWriterAndLeavesNothingBehind) {
    SmallFileSystem disk(2 * 1024 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << disk.why().toStdString();
    const QString out = disk.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    const QString older = QDir(out).filePath(QStringLiteral("E.pdf"));
    ASSERT_TRUE(WriteBytes(older, "an earlier report"));
    struct Case {
        const char* name;
        QStringList args;
        QString names;   // the file the message names
        qint64 size = 0; // the size of what the command writes, when a few kilobytes
    };
    const QList<Case> cases = {
        {"report", {QStringLiteral("report"), QStringLiteral("E"), QStringLiteral("--pdf"), older}, older},
        {"report of every chapter",
         {QStringLiteral("report"), QStringLiteral("B"), QStringLiteral("--all-chapters"), QStringLiteral("--out"),
          out},
         out},
        {"whole set", {QStringLiteral("print-all"), QStringLiteral("--dir"), out}, out},
        {"export", {QStringLiteral("export-xlsx"), QDir(out).filePath(QStringLiteral("bill.xlsx"))}, out, 16 * 1024},
    };
    for (const qint64 free : {8 * 1024, 32 * 1024}) {
        disk.empty();
        ASSERT_TRUE(disk.fill(free));
        for (const Case& c : cases) {
            if (c.size != 0 && c.size <= free)
                continue; // the demo's workbook fits there
            SCOPED_TRACE(std::string(c.name) + " with " + std::to_string(free / 1024) + " KB free");
            const CliRun r = run(c.args);
            EXPECT_EQ(r.code, 1) << r.out.toStdString();
            EXPECT_TRUE(r.err.contains(c.names)) << r.err.toStdString();
            EXPECT_TRUE(r.err.contains(QStringLiteral("磁盘空间已满"))) << r.err.toStdString();
            EXPECT_FALSE(r.err.contains(QStringLiteral("[ERROR]")) || r.err.contains(QStringLiteral("ZIP")))
                << "no words of the writer's library: " << r.err.toStdString();
            EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1) << "one message: " << r.err.toStdString();
            EXPECT_EQ(everythingIn(out), QStringList{QStringLiteral("E.pdf")});
            EXPECT_TRUE(ReadBytes(older) == "an earlier report");
        }
    }
}

// The export writes beside its target: a full temporary folder stops nothing, and a kill leaves
// neither a file there nor in the temporary folder.
TEST_F(CliWrites, TheExportNeedsNoTemporaryFolderAndAKillLeavesNothing) {
    SmallFileSystem temp(256 * 1024);
    if (!temp.mounted())
        GTEST_SKIP() << temp.why().toStdString();
    ASSERT_TRUE(temp.fill());
    QProcessEnvironment env;
    env.insert(QStringLiteral("TMPDIR"), temp.path());
    const QString target = m_dir.filePath(QStringLiteral("bill.xlsx"));
    const CliRun r = run({QStringLiteral("export-xlsx"), target}, true, env);
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(ReadBytes(target).startsWith("PK"));
    EXPECT_EQ(everythingIn(temp.path()), QStringList{QStringLiteral(".filler")});

    // A bill large enough that the export is still writing when it is killed.
    const QString large = m_dir.filePath(QStringLiteral("large.tr"));
    {
        Database db = Database::create(large, DataFileKey());
        Schema::create(db);
        Transaction tx(db);
        db.exec(QStringLiteral("insert into jd_xiangmu (ID, 项目名称) values ('P1', '项目')"));
        db.exec(QStringLiteral("insert into jd_hetong (UPID, ID, 合同名称) values ('P1', 'L1', 'L1合同段')"));
        db.exec(QStringLiteral("insert into 当前选择合同 (项目ID, 合同ID, 期数ID) values ('P1', 'L1', '0')"));
        for (const DemoAccount& a : DemoAccounts())
            db.exec(QStringLiteral("insert into pass (unit, pass, bz) values (?, ?, ?)"),
                    {QString::fromUtf8(a.unit), QString::fromUtf8(a.password), QString::fromUtf8(a.kind)});
        Statement line =
            db.prepare(QStringLiteral("insert into jd_htqd (合同编号, 章, 细目编号, 细目名称, 单位, 合同数量, "
                                      "合同单价, 是否补充) values ('L1', '200', ?, ?, 'm3', 10, 2.5, 0)"));
        for (int i = 0; i < 80000; ++i) {
            line.bindAll({QStringLiteral("201-%1").arg(i), QStringLiteral("挖土方第%1项").arg(i)});
            line.run();
            line.reset();
        }
        tx.commit();
    }
    const QString folder = m_dir.filePath(QStringLiteral("killed"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString ownTemp = m_dir.filePath(QStringLiteral("temp"));
    ASSERT_TRUE(QDir().mkpath(ownTemp));
    for (const int afterMs : {300, 900, 1500}) {
        SCOPED_TRACE(afterMs);
        QProcess p;
        QProcessEnvironment childEnv = QProcessEnvironment::systemEnvironment();
        childEnv.insert(QStringLiteral("TMPDIR"), ownTemp);
        p.setProcessEnvironment(childEnv);
        p.start(QStringLiteral(TENVORA_CLI_PATH),
                QStringList{QStringLiteral("--data"), large} + DemoLogin() +
                    QStringList{QStringLiteral("export-xlsx"), QDir(folder).filePath(QStringLiteral("big.xlsx"))});
        ASSERT_TRUE(p.waitForStarted());
        QThread::msleep(afterMs);
        p.kill();
        p.waitForFinished();
        const QStringList left = everythingIn(folder);
        EXPECT_TRUE(left.isEmpty() || left == QStringList{QStringLiteral("big.xlsx")}) << left.join(' ').toStdString();
        QFile::remove(QDir(folder).filePath(QStringLiteral("big.xlsx")));
        EXPECT_EQ(everythingIn(ownTemp), QStringList());
    }
}

TEST_F(CliWrites, FileNamesAreWrittenExactlyAsGivenOrRefused) {
    const QString out = m_dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    struct Case {
        const char* name;
        QStringList args;
        QString says;
    };
    const QList<Case> refused = {
        {"empty export name", {QStringLiteral("export-xlsx"), QString()}, QStringLiteral("没有给出文件名")},
        {"export into '.'", {QStringLiteral("export-xlsx"), QStringLiteral("out/.")}, QStringLiteral("指的是文件夹")},
        {"export over a folder",
         {QStringLiteral("export-xlsx"), QStringLiteral("out")},
         QStringLiteral("是一个文件夹")},
        {"report over a folder",
         {QStringLiteral("report"), QStringLiteral("E"), QStringLiteral("--pdf"), QStringLiteral("out/")},
         QStringLiteral("指的是文件夹")},
        {"backup over a device", {QStringLiteral("backup"), QStringLiteral("/dev/null")}, QStringLiteral("是一个设备")},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.name);
        const CliRun r = run(c.args);
        EXPECT_EQ(r.code, 1) << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
    }
    EXPECT_TRUE(everythingIn(out).isEmpty());
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("out.xlsx"))));
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("..xlsx"))));

    // The longest legal name goes through every writer.
    const QString longName = QString(249, QLatin1Char('n'));
    for (const QStringList& args :
         {QStringList{QStringLiteral("export-xlsx"), QStringLiteral("out/") + longName + QStringLiteral(".xlsx")},
          QStringList{QStringLiteral("report"), QStringLiteral("E"), QStringLiteral("--pdf"),
                      QStringLiteral("out/") + longName + QStringLiteral(".pdf")},
          QStringList{QStringLiteral("backup"), QStringLiteral("out/") + longName + QStringLiteral(".tr")}}) {
        SCOPED_TRACE(args.first().toStdString());
        const CliRun r = run(args);
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_TRUE(QFile::exists(m_dir.filePath(args.last()))) << r.err.toStdString();
    }
    EXPECT_EQ(everythingIn(out).size(), 3);

    // Bytes that are no UTF-8 cannot be kept in a name: refused, and nothing written under another.
    const CliRun bad = runShell(QStringLiteral("'%1' --data '%2' --unit 华建路桥工程有限公司 --password hj2026 backup "
                                               "$'out/bad\\xffname.tr'")
                                    .arg(QStringLiteral(TENVORA_CLI_PATH), m_data));
    EXPECT_EQ(bad.code, 2) << bad.out.toStdString();
    EXPECT_TRUE(bad.err.contains(QStringLiteral("不是 UTF-8 编码"))) << bad.err.toStdString();
    EXPECT_FALSE(bad.out.contains(QStringLiteral("备份完毕")));
    EXPECT_EQ(everythingIn(out).size(), 3);

    // A leading U+FEFF is part of what was typed: a password with it is another password.
    EXPECT_EQ(run({QStringLiteral("--unit"), QStringLiteral("华建路桥工程有限公司"), QStringLiteral("--password"),
                   QStringLiteral("\uFEFFhj2026"), QStringLiteral("current")},
                  false)
                  .code,
              1);
    const CliRun typed =
        runShell(QStringLiteral("TENVORA_UNIT=华建路桥工程有限公司 TENVORA_PASSWORD=$'\\xef\\xbb\\xbfhj2026' "
                                "'%1' --data '%2' current")
                     .arg(QStringLiteral(TENVORA_CLI_PATH), m_data));
    EXPECT_EQ(typed.code, 1);
    EXPECT_TRUE(typed.err.contains(QStringLiteral("密码不正确"))) << typed.err.toStdString();
}

// A path that names a folder, a pipe or a device is said to be that, never "missing"; a pipe
// does not hold the command.
TEST_F(CliWrites, APathThatIsNoFileIsNamedForWhatItIs) {
    const QString folder = m_dir.filePath(QStringLiteral("folder.xls"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString fifo = m_dir.filePath(QStringLiteral("pipe.xls"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString deviceLink = m_dir.filePath(QStringLiteral("device.xls"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), deviceLink));
    struct Case {
        QString path;
        QString kind;
    };
    const Case cases[] = {
        {folder, QStringLiteral("文件夹")}, {fifo, QStringLiteral("命名管道")}, {deviceLink, QStringLiteral("设备")}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        for (const QString& command : {QStringLiteral("import-xls"), QStringLiteral("read-workbook")}) {
            const CliRun r = run({command, c.path}, command == QLatin1String("import-xls"));
            EXPECT_EQ(r.code, 1);
            EXPECT_TRUE(r.err.contains(QStringLiteral("“%1”是一个%2").arg(c.path, c.kind))) << r.err.toStdString();
            EXPECT_FALSE(r.err.contains(QStringLiteral("不存在"))) << r.err.toStdString();
        }
        const CliRun restore = run({QStringLiteral("restore"), c.path});
        EXPECT_EQ(restore.code, 1);
        EXPECT_TRUE(restore.err.contains(QStringLiteral("所选的 %1 是一个%2").arg(c.path, c.kind)))
            << restore.err.toStdString();
    }
}

TEST_F(CliWrites, CheckFileUndoesAnInterruptedChangeAndRefusesAViewForTheBill) {
    const QString hot = m_dir.filePath(QStringLiteral("hot.tr"));
    {
        Database db = Database::open(m_data, DataFileKey());
        db.exec(QStringLiteral("PRAGMA cache_size=2"));
        db.exec(QStringLiteral("BEGIN IMMEDIATE"));
        db.exec(QStringLiteral("update jd_htqd set 合同单价 = 1, 细目名称 = 细目名称 || '（改）'"));
        ASSERT_TRUE(QFile::copy(m_data, hot));
        ASSERT_TRUE(QFile::copy(JournalPathFor(m_data), JournalPathFor(hot)));
        db.exec(QStringLiteral("ROLLBACK"));
    }
    const CliRun checked = run({QStringLiteral("check-file"), hot}, false);
    EXPECT_EQ(checked.code, 0) << checked.err.toStdString();
    EXPECT_TRUE(checked.out.contains(QStringLiteral("完好"))) << checked.out.toStdString();
    EXPECT_TRUE(checked.out.contains(QStringLiteral("中断的修改已经撤销"))) << checked.out.toStdString();
    EXPECT_FALSE(QFile::exists(JournalPathFor(hot)));

    const QString view = m_dir.filePath(QStringLiteral("view.tr"));
    ASSERT_TRUE(QFile::copy(m_data, view));
    {
        Database db = Database::open(view, DataFileKey());
        db.exec(QStringLiteral("ALTER TABLE jd_htqd RENAME TO lines"));
        db.exec(QStringLiteral("CREATE VIEW jd_htqd AS SELECT * FROM lines"));
    }
    const CliRun refused = run({QStringLiteral("check-file"), view}, false);
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("jd_htqd 是视图而不是数据表"))) << refused.err.toStdString();
    EXPECT_FALSE(refused.out.contains(QStringLiteral("完好")));
}

// A full disk under the data file: the login's marker cannot be written, which is said once and
// as what it is; a unit already marked writes nothing at all.
TEST_F(CliWrites, TheLoginOnAFullDiskSaysOnceThatItsMarkerWasNotSaved) {
    SmallFileSystem disk(512 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << disk.why().toStdString();
    m_data = disk.filePath(QStringLiteral("VORQEL.tr"));
    ASSERT_EQ(run({QStringLiteral("create-demo")}, false).code, 0);
    ASSERT_TRUE(disk.fill());
    const CliRun first = run({QStringLiteral("current")});
    EXPECT_EQ(first.code, 0) << first.err.toStdString();
    EXPECT_EQ(first.err.trimmed().count(QLatin1Char('\n')), 0) << first.err.toStdString();
    EXPECT_TRUE(first.err.contains(QStringLiteral("登录记录没有保存"))) << first.err.toStdString();
    EXPECT_TRUE(first.err.contains(QStringLiteral("磁盘空间已满"))) << first.err.toStdString();
    EXPECT_FALSE(first.err.contains(QStringLiteral("刚才的修改没有保存"))) << first.err.toStdString();

    disk.empty();
    ASSERT_EQ(run({QStringLiteral("current")}).code, 0); // now marked
    ASSERT_TRUE(disk.fill());
    const CliRun again = run({QStringLiteral("current")});
    EXPECT_EQ(again.code, 0);
    EXPECT_EQ(again.err.trimmed(), QString());
}

#include "data/AppPaths.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "datamgmt/DataFileCopies.h"
#include "datamgmt/FileCopy.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace tenvora;
using namespace tenvora::test;

namespace {

// Everything in a folder, hidden files included, so a left-over stage would show.
QStringList everythingIn(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

const QString kFirstPricedLine = QStringLiteral("rowid = (SELECT min(rowid) FROM jd_htqd WHERE 合同单价 > 0)");

double firstPrice(Database& db) {
    return db.scalar(QStringLiteral("SELECT 合同单价 FROM jd_htqd WHERE ") + kFirstPricedLine).toDouble();
}

} // namespace

TEST(DataFileCopies, TargetPathPutsExactlyOneSeparatorBetweenFolderAndName) {
    struct Case {
        const char* folder;
        const char* name;
        const char* expected;
    };
    const Case cases[] = {
        {"/", "bid", "/bid"},
        {"/media/usb", "备份 1.tr", "/media/usb/备份 1.tr"},
        {"/media/usb/", "bid", "/media/usb/bid"},
        {"C:/", "bid", "C:/bid"},
        {"/data", "", "/data/"},
        {"", "bid", "bid"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DataFileCopies::TargetPath(QString::fromUtf8(c.folder), QString::fromUtf8(c.name)),
                  QString::fromUtf8(c.expected))
            << c.folder << " + " << c.name;
}

TEST(DataFileCopies, BackupReplacesAFileOfThatNameAndAnswersByMode) {
    TempDataFile file;
    auto dm = file.open();
    dm->closeConnection();
    const QByteArray original = test::ReadBytes(file.path());
    QTemporaryDir target;

    struct Case {
        CopyKind kind;
        QString message;
    };
    const Case cases[] = {{CopyKind::Backup, QStringLiteral("数据文件: 备份完毕!!!")},
                          {CopyKind::BidDisk, QStringLiteral("投标数据盘生成完毕!!!")}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        ASSERT_TRUE(test::WriteBytes(target.filePath(QStringLiteral("bid")), "an older file of the same name"));
        EXPECT_EQ(DataFileCopies(*dm, c.kind).backup(target.path(), QStringLiteral("bid")), c.message);
        EXPECT_EQ(test::ReadBytes(target.filePath(QStringLiteral("bid"))), original);
        EXPECT_EQ(everythingIn(target.path()), QStringList{QStringLiteral("bid")});
    }
    EXPECT_EQ(test::ReadBytes(file.path()), original) << "a backup never touches the data file";
}

TEST(DataFileCopies, BackupRefusesWithoutANameADataFileOrAClosedConnection) {
    TempDataFile file;
    auto dm = file.open();
    QTemporaryDir target;

    EXPECT_EQ(failureOf<Error>([&] { DataFileCopies(*dm).backup(target.path(), QStringLiteral("x")); }),
              QStringLiteral("数据文件正在使用中，请先关闭数据库连接再复制"));
    dm->closeConnection();
    EXPECT_EQ(failureOf<Refused>([&] { DataFileCopies(*dm).backup(target.path(), QString()); }),
              QStringLiteral("请输入备份文件名!!!"));

    ASSERT_TRUE(QFile::remove(file.path()));
    const QString missing = failureOf<Refused>([&] { DataFileCopies(*dm).backup(target.path(), QStringLiteral("x")); });
    EXPECT_TRUE(missing.contains(QStringLiteral("不存在"))) << missing.toStdString();
    EXPECT_TRUE(everythingIn(target.path()).isEmpty());
}

TEST(DataFileCopies, AFailedBackupLeavesNoPartialFileAndKeepsTheOldOne) {
    TempDataFile file;
    auto dm = file.open();
    dm->closeConnection();
    QTemporaryDir target;
    const QString folder = target.filePath(QStringLiteral("sub"));
    ASSERT_TRUE(QDir().mkpath(folder));

    // Unwritable folder: root ignores permission bits, so it gets a folder no one may write to.
    QString unwritable = folder;
#ifdef Q_OS_UNIX
    if (::geteuid() == 0)
        unwritable = QStringLiteral("/proc");
    else
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
#endif
    const QString denied = failureOf<Error>([&] { DataFileCopies(*dm).backup(unwritable, QStringLiteral("bid")); });
    EXPECT_TRUE(denied.startsWith(QStringLiteral("备份没有完成："))) << denied.toStdString();
    EXPECT_FALSE(QFileInfo::exists(QDir(unwritable).filePath(QStringLiteral("bid"))));
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    const QString noFolder = failureOf<Error>(
        [&] { DataFileCopies(*dm).backup(target.filePath(QStringLiteral("gone")), QStringLiteral("bid")); });
    EXPECT_TRUE(noFolder.contains(QStringLiteral("不存在"))) << noFolder.toStdString();
    const QString isFolder =
        failureOf<Error>([&] { DataFileCopies(*dm).backup(target.path(), QStringLiteral("sub")); });
    EXPECT_TRUE(isFolder.contains(QStringLiteral("文件夹"))) << isFolder.toStdString();
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

#ifdef Q_OS_UNIX
// A copy that dies half-way (here: the file size limit, as a full disk would) must leave the old
// target and no stage behind.
TEST(FileCopy, AnInterruptedCopyLeavesTheTargetAsItWas) {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("big"));
    const QString target = dir.filePath(QStringLiteral("target"));
    ASSERT_TRUE(test::WriteBytes(source, QByteArray(256 * 1024, 'x')));
    ASSERT_TRUE(test::WriteBytes(target, "the previous backup"));

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString failure = failureOf<Error>([&] { CopyFileReplacing(source, target); });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(failure.contains(QStringLiteral("失败"))) << failure.toStdString();
    EXPECT_EQ(test::ReadBytes(target), QByteArray("the previous backup"));
    EXPECT_EQ(everythingIn(dir.path()), (QStringList{QStringLiteral("big"), QStringLiteral("target")}));
}
#endif

TEST(DataFileCopies, RestoreRefusesAnythingButADataFileAndLeavesTheCurrentOneUntouched) {
    TempDataFile file;
    auto dm = file.open();
    dm->closeConnection();
    const QByteArray current = test::ReadBytes(file.path());
    QTemporaryDir dir;

    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    ASSERT_TRUE(test::WriteBytes(text, QByteArray("这不是数据库\n").repeated(300)));
    const QString zero = dir.filePath(QStringLiteral("zero.tr"));
    ASSERT_TRUE(test::WriteBytes(zero, {}));
    const QString otherKey = dir.filePath(QStringLiteral("other-key.tr"));
    {
        Database db = Database::create(otherKey, QByteArrayLiteral("another-password"));
        Schema::create(db);
    }
    const QString foreign = dir.filePath(QStringLiteral("foreign.tr"));
    {
        Database db = Database::create(foreign, DataFileKey());
        db.exec(QStringLiteral("CREATE TABLE notes (body TEXT)"));
    }
    const QString notThere = QStringLiteral("数据库文件 不存在，请检查路径是否正确!!!");
    const QString notOurs = QStringLiteral("所选文件不是本系统可用的数据文件");

    struct Case {
        QString source;
        QString expected;
    };
    const Case cases[] = {{QString(), notThere},
                          {dir.filePath(QStringLiteral("missing.tr")), notThere},
                          {dir.path(), QStringLiteral("所选的 %1 是一个文件夹，不是数据库文件").arg(dir.path())},
                          {QStringLiteral("/dev/null"), QStringLiteral("所选的 /dev/null 是一个设备，不是数据库文件")},
                          {text, notOurs},
                          {zero, notOurs},
                          {otherKey, notOurs},
                          {foreign, notOurs}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source.toStdString());
        const QString refusal = failureOf<Refused>([&] { DataFileCopies(*dm).restore(c.source); });
        EXPECT_TRUE(refusal.startsWith(c.expected)) << refusal.toStdString();
        EXPECT_EQ(test::ReadBytes(file.path()), current);
        EXPECT_FALSE(QFileInfo::exists(DataFileCopies::SafetyCopyPath(file.path())));
    }
}

TEST(DataFileCopies, ADamagedDataFileIsNeitherBackedUpNorRestored) {
    QTemporaryDir dir;
    const QString damaged = CreateDataFileWithDamagedLines(dir.path(), QStringLiteral("VORQEL.tr"));
    ASSERT_FALSE(damaged.isEmpty());
    const QString target = dir.filePath(QStringLiteral("backup.tr"));
    ASSERT_TRUE(test::WriteBytes(target, "the previous backup"));
    {
        DataModule dm(damaged);
        dm.closeConnection();
        for (const CopyKind kind : {CopyKind::Backup, CopyKind::BidDisk}) {
            const QString failure = failureOf<Error>([&] { DataFileCopies(dm, kind).backupTo(target); });
            EXPECT_TRUE(failure.contains(QStringLiteral("已损坏"))) << failure.toStdString();
            EXPECT_EQ(test::ReadBytes(target), QByteArray("the previous backup")) << "a good old backup stays";
            EXPECT_EQ(everythingIn(dir.path()),
                      (QStringList{QStringLiteral("VORQEL.tr"), QStringLiteral("backup.tr")}));
        }
    }

    TempDataFile file;
    auto dm = file.open();
    dm->closeConnection();
    const QByteArray current = test::ReadBytes(file.path());
    const QString refusal = failureOf<Refused>([&] { DataFileCopies(*dm).restore(damaged); });
    EXPECT_TRUE(refusal.startsWith(QStringLiteral("所选文件不是本系统可用的数据文件"))) << refusal.toStdString();
    EXPECT_TRUE(refusal.contains(QStringLiteral("已损坏"))) << refusal.toStdString();
    EXPECT_EQ(test::ReadBytes(file.path()), current);
    EXPECT_FALSE(QFileInfo::exists(DataFileCopies::SafetyCopyPath(file.path())));
}

TEST(DataFileCopies, RestoreBringsBackTheBackedUpPricesAndTheSafetyCopyUndoesIt) {
    TempDataFile file(true);
    auto dm = file.open();
    const double before = firstPrice(dm->database());
    ASSERT_GT(before, 0);
    QTemporaryDir dir;
    const QString backup = dir.filePath(QStringLiteral("before-pricing")); // no extension, as typed
    {
        ConnectionPause pause(*dm);
        DataFileCopies(*dm).backup(dir.path(), QStringLiteral("before-pricing"));
        pause.reopen();
    }
    dm->database().exec(QStringLiteral("UPDATE jd_htqd SET 合同单价 = ? WHERE ") + kFirstPricedLine, {before + 111});
    dm->database().exec(QStringLiteral("DELETE FROM 当前选择合同"));
    dm->LoadCurrentContract();
    ASSERT_TRUE(dm->session().CurContractID.isEmpty());

    {
        ConnectionPause pause(*dm);
        EXPECT_EQ(DataFileCopies(*dm).restore(backup), QStringLiteral("数据库 恢复完毕!!!"));
        pause.reopen();
    }
    EXPECT_DOUBLE_EQ(firstPrice(dm->database()), before);
    EXPECT_EQ(dm->session().CurContractID, QStringLiteral("A1")) << "the session is reloaded from the restored file";

    const QString safety = DataFileCopies::SafetyCopyPath(file.path());
    EXPECT_EQ(safety, file.path() + QStringLiteral(".before-restore"));
    {
        Database kept = Database::open(safety, DataFileKey(), Database::Mode::Verify);
        EXPECT_DOUBLE_EQ(firstPrice(kept), before + 111);
    }

    // Restoring the safety copy itself undoes the restore; the new safety copy holds the undone state.
    {
        ConnectionPause pause(*dm);
        DataFileCopies(*dm).restore(safety);
        pause.reopen();
    }
    EXPECT_DOUBLE_EQ(firstPrice(dm->database()), before + 111);
    Database kept = Database::open(safety, DataFileKey(), Database::Mode::Verify);
    EXPECT_DOUBLE_EQ(firstPrice(kept), before);
}

TEST(DataFileCopies, AFileRestoredFromReadOnlyMediaStaysWritable) {
    TempDataFile file;
    auto dm = file.open();
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("disk.tr"));
    ASSERT_TRUE(QFile::copy(file.path(), source));
    ASSERT_TRUE(QFile::setPermissions(source, QFileDevice::ReadOwner | QFileDevice::ReadGroup));

    ConnectionPause pause(*dm);
    DataFileCopies(*dm).restore(source);
    pause.reopen();
    EXPECT_TRUE(QFile::permissions(file.path()) & QFileDevice::WriteOwner);
    EXPECT_NO_THROW(dm->database().exec(QStringLiteral("UPDATE jd_htqd SET 合同单价 = 1 WHERE ") + kFirstPricedLine));
}

TEST(ConnectionPause, ReopensWhenLeftEarlyAndReportsAFileThatNoLongerOpens) {
    TempDataFile file;
    auto dm = file.open();
    {
        ConnectionPause pause(*dm);
        EXPECT_FALSE(dm->isConnected());
    }
    EXPECT_TRUE(dm->isConnected()) << "an action that fails half-way still gets its connection back";

    ConnectionPause pause(*dm);
    ASSERT_TRUE(test::WriteBytes(file.path(), "not a data file any more"));
    EXPECT_THROW(pause.reopen(), DataFileError);
    EXPECT_FALSE(dm->isConnected());
}

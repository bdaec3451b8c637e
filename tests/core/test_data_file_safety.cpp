// The data file against what happens around it: cut-short copies, a replaced file, a second
// program, and copies that die half-way.
#include "boq/BoqEditor.h"
#include "boq/BoqLineRules.h"
#include "data/AppPaths.h"
#include "data/DataFileLock.h"
#include "data/DataModule.h"
#include "datamgmt/DataFileCopies.h"
#include "datamgmt/FileCopy.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>

using namespace tenvora;
using namespace tenvora::test;

namespace {

QStringList everythingIn(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A process of the machine that holds the data file's lock, as a workbench would, until killed.
class ForeignHolder {
public:
    explicit ForeignHolder(const QString& dataFile) {
        const QString flock = QStandardPaths::findExecutable(QStringLiteral("flock"));
        if (flock.isEmpty())
            return;
        m_process.start(flock, {DataFileLock::lockPathFor(dataFile), QStringLiteral("sleep"), QStringLiteral("60")});
        m_process.waitForStarted();
        // Held once the lock file exists and nobody here can take it.
        for (int i = 0; i < 100 && !DataFileLock::otherHolder(dataFile); ++i)
            QThread::msleep(20);
    }
    ~ForeignHolder() {
        m_process.kill();
        m_process.waitForFinished();
    }
    bool holds(const QString& dataFile) const { return DataFileLock::otherHolder(dataFile).has_value(); }

private:
    QProcess m_process;
};

// The pid of a process that has ended, for lock files and stages left by a killed program.
qint64 endedProcessId() {
    QProcess p;
    p.start(QStringLiteral("true"), {});
    p.waitForFinished();
    return p.processId() > 0 ? p.processId() : 999999;
}

} // namespace

TEST(DataFileShape, ACutShortFileIsNamedIncompleteNeverAWrongKey) {
    TempDataFile good;
    const QByteArray whole = ReadBytes(good.path());
    ASSERT_EQ(whole.size() % 1024, 0);
    QTemporaryDir dir;
    struct Case {
        qsizetype cut;
        const char* reason;
    };
    const Case cases[] = {{1, "最后一页缺少 1 字节"},
                          {500, "最后一页缺少 500 字节"},
                          {1024, "不完整"},
                          {whole.size() / 2048 * 1024, "不完整"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cut);
        const QString path = dir.filePath(QStringLiteral("cut-%1.tr").arg(c.cut));
        ASSERT_TRUE(WriteBytes(path, whole.left(whole.size() - c.cut)));
        const QString error = failureOf<DataFileError>([&] { Database::open(path, DataFileKey()); });
        EXPECT_TRUE(error.contains(QDir::toNativeSeparators(path))) << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.reason))) << error.toStdString();
        EXPECT_FALSE(error.contains(QStringLiteral("密码不符"))) << error.toStdString();
    }
}

// A restore made by hand under a running program: the program must not go on writing into the
// file that is no longer there, and what the user typed must stay in the grid.
TEST(DataFileReplaced, TheNextWriteIsRefusedAndTheTypedPriceStaysInTheEdit) {
    TempDataFile file(true);
    QTemporaryDir dir;
    const QString backup = dir.filePath(QStringLiteral("backup.tr"));
    ASSERT_TRUE(QFile::copy(file.path(), backup));
    auto dm = file.open();
    dm->LoadCurrentContract();
    BoqEditor editor(*dm);
    editor.initialise();
    editor.selectNode(BoqChapterLevel, QStringLiteral("100"));
    DataSet& lines = editor.lines();
    int row = -1;
    for (int r = 0; r < lines.rowCount() && row < 0; ++r)
        if (!IsPriceLocked(lines, r))
            row = r;
    ASSERT_GE(row, 0);
    const QString item = lines.value(row, BoqColumn::Item).toString();

    struct Case {
        const char* how;
        std::function<void()> replace;
    };
    const Case cases[] = {
        {"copied over", [&] { CopyFileReplacing(backup, file.path()); }},
        {"deleted", [&] { QFile::remove(file.path()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        c.replace();
        lines.setValue(row, BoqColumn::Price, 4321.5);
        const QString error = failureOf<StorageError>([&] { lines.post(row); });
        EXPECT_TRUE(error.contains(QStringLiteral("已被替换或删除"))) << error.toStdString();
        EXPECT_TRUE(lines.isEditing(row));
        EXPECT_DOUBLE_EQ(lines.value(row, BoqColumn::Price).toDouble(), 4321.5);
        lines.cancel(row);
    }
    // The file put there by the copy never received the price.
    dm->closeConnection();
    ASSERT_TRUE(QFile::copy(backup, file.path()));
    dm->reopenConnection();
    EXPECT_NE(dm->database()
                  .scalar(QStringLiteral("SELECT 合同单价 FROM jd_htqd WHERE 合同编号='A1' AND 细目编号=?"), {item})
                  .toDouble(),
              4321.5);
}

// Content copied into the data file (the same inode, so the path still names it) under a running
// program: an older copy of the file itself and another data file are both noticed before the
// next write, while the program's own writes and a reader beside it are not taken for either.
TEST(DataFileReplaced, ContentCopiedIntoTheSameFileIsRefusedBeforeTheNextWrite) {
    QTemporaryDir dir;
    TempDataFile other(true);
    struct Case {
        const char* how;
        bool olderCopy; // else another data file
    };
    for (const Case c : {Case{"an older copy of itself", true}, Case{"another data file", false}}) {
        SCOPED_TRACE(c.how);
        TempDataFile file(true);
        auto dm = file.open();
        const QString older = dir.filePath(QStringLiteral("older.tr"));
        QFile::remove(older);
        ASSERT_TRUE(QFile::copy(file.path(), older));
        const QString update = QStringLiteral("update jd_htqd set 合同单价=? where 合同编号='A1' and 细目编号='102-1'");
        dm->database().exec(update, {11.0});
        {
            Transaction tx(dm->database());
            dm->database().exec(update, {12.0});
            tx.commit();
        }
        {
            auto reader = file.open(); // a reading command beside the program
            EXPECT_EQ(reader->database().scalar(QStringLiteral("select count(*) from pass")).toInt(), 3);
        }
        EXPECT_NO_THROW(dm->database().exec(update, {13.0})) << "own writes and a reader are no replacement";

        const QByteArray copied = ReadBytes(c.olderCopy ? older : other.path());
        const auto inode = [&] {
            struct stat st {};
            ::stat(QFile::encodeName(file.path()).constData(), &st);
            return st.st_ino;
        };
        const ino_t before = inode();
        {
            QFile into(file.path());
            ASSERT_TRUE(into.open(QIODevice::ReadWrite | QIODevice::Truncate));
            ASSERT_EQ(into.write(copied), copied.size());
        }
        ASSERT_EQ(inode(), before) << "the same file, other content";
        for (const bool inChange : {false, true}) {
            const QString error = failureOf<StorageError>([&] {
                if (!inChange)
                    return dm->database().exec(update, {14.0});
                Transaction tx(dm->database());
                dm->database().exec(update, {14.0});
                tx.commit();
            });
            EXPECT_TRUE(error.contains(QStringLiteral("已被替换或删除"))) << error.toStdString();
            EXPECT_TRUE(error.contains(QDir::toNativeSeparators(file.path()))) << error.toStdString();
        }
        EXPECT_TRUE(ReadBytes(file.path()) == copied) << "nothing was written into the copy";
    }
}

TEST(DataFileLock, OneHolderAtATimeAndALeftLockIsTakenOver) {
    TempDataFile file;
    const QString lockFile = DataFileLock::lockPathFor(file.path());

    // What a killed holder leaves: the file with its text, no system lock on it.
    ASSERT_TRUE(WriteBytes(lockFile, QByteArray::number(endedProcessId()) + "\nsomewhere\nVORQEL\n"));
    EXPECT_FALSE(DataFileLock::otherHolder(file.path()));
    {
        DataFileLock lock(file.path());
        lock.acquire();
        EXPECT_TRUE(lock.isHeld());
        const QList<QByteArray> text = ReadBytes(lockFile).split('\n');
        EXPECT_EQ(text.value(0).toLongLong(), QCoreApplication::applicationPid());
        EXPECT_EQ(QString::fromUtf8(text.value(1)), QSysInfo::machineHostName());
        EXPECT_FALSE(DataFileLock::otherHolder(file.path())) << "this process's own lock is no other holder";
    }
    EXPECT_FALSE(QFile::exists(lockFile)) << "the holder removes its lock file on leaving";

    ForeignHolder other(file.path());
    if (!other.holds(file.path()))
        GTEST_SKIP() << "the flock tool is needed to hold a lock from another process";
    DataFileLock lock(file.path());
    QElapsedTimer waited;
    waited.start();
    const QString busy = failureOf<DataFileError>([&] { lock.acquire(std::chrono::milliseconds(400)); });
    EXPECT_GE(waited.elapsed(), 400);
    EXPECT_TRUE(busy.contains(QStringLiteral("正在使用中"))) << busy.toStdString();
    EXPECT_TRUE(busy.contains(QDir::toNativeSeparators(file.path()))) << busy.toStdString();
    EXPECT_FALSE(lock.isHeld());
}

TEST(DataFileLock, BackupAndRestoreRefuseWhileAnotherProgramHoldsTheFile) {
    TempDataFile file(true);
    QTemporaryDir dir;
    const QString other = CreateEmptyDataFile(dir.path(), QStringLiteral("other.tr"));
    auto dm = file.open();
    dm->closeConnection();
    const QByteArray before = ReadBytes(file.path());

    ForeignHolder holder(file.path());
    if (!holder.holds(file.path()))
        GTEST_SKIP() << "the flock tool is needed to hold a lock from another process";
    const QString restore = failureOf<Refused>([&] { DataFileCopies(*dm).restore(other); });
    EXPECT_TRUE(restore.contains(QStringLiteral("正在使用中"))) << restore.toStdString();
    const QString backup =
        failureOf<Refused>([&] { DataFileCopies(*dm).backup(dir.path(), QStringLiteral("bak.tr")); });
    EXPECT_TRUE(backup.contains(QStringLiteral("正在使用中"))) << backup.toStdString();
    EXPECT_EQ(ReadBytes(file.path()), before);
    EXPECT_FALSE(QFile::exists(DataFileCopies::SafetyCopyPath(file.path())));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("bak.tr"))));
}

#ifdef Q_OS_LINUX
// A kill can come at any moment of a copy: until it is put in place the copy has no name at all.
TEST(FileCopy, TheStageHasNoNameUntilItIsPutInPlace) {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source"));
    const QString target = dir.filePath(QStringLiteral("target"));
    ASSERT_TRUE(WriteBytes(source, QByteArray(300 * 1024, 's')));
    {
        StagedFileCopy staged(source, target);
        EXPECT_EQ(everythingIn(dir.path()), QStringList{QStringLiteral("source")});
        staged.commit();
    }
    EXPECT_EQ(everythingIn(dir.path()), (QStringList{QStringLiteral("source"), QStringLiteral("target")}));
    EXPECT_EQ(ReadBytes(target), ReadBytes(source));
}
#endif

TEST(FileCopy, ACopyRemovesTheStagesOfOwnersThatAreGone) {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source"));
    ASSERT_TRUE(WriteBytes(source, "data"));
    const QString target = dir.filePath(QStringLiteral("bak"));
    const QString host = QFileInfo(StageNameFor(target)).fileName().section(QLatin1Char('-'), 1, -3);
    ASSERT_FALSE(host.isEmpty());
    const qint64 gone = endedProcessId();
    const qint64 alive = QCoreApplication::applicationPid();

    struct Case {
        QString name;
        int hoursOld;
        bool kept;
    };
    const QList<Case> cases = {
        {QStringLiteral(".bak.part-%1-%2-aB3dE9").arg(host).arg(gone), 0, false},
        {QStringLiteral(".other.part-%1-%2-aB3dE9").arg(host).arg(gone), 0, false},
        {QStringLiteral(".bak.part-%1-%2-aB3dE9").arg(host).arg(alive), 0, true},
        {QStringLiteral(".bak.part-elsewhere-%1-aB3dE9").arg(gone), 0, true},         // another host may still copy
        {QStringLiteral(".tenvora-%1-%2-aB3dE9.part").arg(host).arg(gone), 0, false}, // this version's naming
        {QStringLiteral(".tenvora-%1-%2-aB3dE9.part").arg(host).arg(alive), 0, true},
        {QStringLiteral(".tenvora-elsewhere-%1-aB3dE9.part").arg(gone), 0, true},
        {QStringLiteral(".bak.Xy12Zq"), 2, false},  // the earlier naming, old
        {QStringLiteral(".bak.Xy12Zr"), 0, true},   // ... and recent
        {QStringLiteral(".other.Xy12Zq"), 2, true}, // another target's
        {QStringLiteral(".bak.notes"), 2, true},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(c.name);
        ASSERT_TRUE(WriteBytes(path, "left behind"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.setFileTime(QDateTime::currentDateTime().addSecs(-3600 * c.hoursOld), QFileDevice::FileModificationTime);
    }
    CopyFileReplacing(source, target);
    const QStringList left = everythingIn(dir.path());
    for (const Case& c : cases)
        EXPECT_EQ(left.contains(c.name), c.kept) << c.name.toStdString();
    EXPECT_EQ(ReadBytes(target), QByteArray("data"));
}

// Starting the workbench program on a data file it cannot use, or that another program holds.
#ifdef TENVORA_GUI_PATH

#include "data/DataFileLock.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// Starts the copy of the program in its own folder (the data file sits beside the program).
void startWorkbench(QProcess& p, const QString& dir) {
    const QString program = QDir(dir).filePath(QStringLiteral("VORQEL"));
    if (!QFile::exists(program)) {
        EXPECT_TRUE(QFile::copy(QStringLiteral(TENVORA_GUI_PATH), program));
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.setReadChannel(QProcess::StandardError);
    p.start(program, {});
}

// Runs the program and returns what it printed on stderr before it showed its message box.
QString startupError(const QString& dir) {
    QProcess p;
    startWorkbench(p, dir);
    QString err;
    // The box waits for a person; stderr names the file first, which is all this needs.
    for (int i = 0; i < 100 && !err.contains(QStringLiteral("VORQEL.tr")); ++i) {
        if (p.waitForReadyRead(200))
            err += QString::fromLocal8Bit(p.readAllStandardError());
        if (p.state() == QProcess::NotRunning)
            break;
    }
    p.kill();
    p.waitForFinished();
    return err;
}

struct CliOutcome {
    int code = -1;
    QString err;
    qint64 ms = 0;
};

CliOutcome runCli(const QString& data, const QStringList& args) {
    QProcess p;
    QElapsedTimer timer;
    timer.start();
    p.start(QStringLiteral(TENVORA_CLI_PATH), QStringList{QStringLiteral("--data"), data, QStringLiteral("--unit"),
                                                          QStringLiteral("华建路桥工程有限公司"),
                                                          QStringLiteral("--password"), QStringLiteral("hj2026")} +
                                                  args);
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardError()), timer.elapsed()};
}

} // namespace

// The first workbench holds the data file while it runs; a second one, a restore and the
// commands that write are refused with its name; once it is killed the file is free at once.
TEST(WorkbenchStart, ASecondProgramOnTheDataFileIsRefusedWithTheHolderNamed) {
    QTemporaryDir dir;
    const QString data = QDir(dir.path()).filePath(QStringLiteral("VORQEL.tr"));
    const QString spare = QDir(dir.path()).filePath(QStringLiteral("spare.tr"));
    ASSERT_EQ(runCli(data, {QStringLiteral("create-demo")}).code, 0);
    ASSERT_TRUE(QFile::copy(data, spare));

    QProcess first; // waits at its login dialog, holding the file
    startWorkbench(first, dir.path());
    ASSERT_TRUE(first.waitForStarted());
    for (int i = 0; i < 100 && !tenvora::DataFileLock::otherHolder(data); ++i)
        QThread::msleep(100);
    ASSERT_TRUE(tenvora::DataFileLock::otherHolder(data).has_value());
    const QString holder = QStringLiteral("进程号 %1").arg(first.processId());

    const QString second = startupError(dir.path());
    EXPECT_TRUE(second.contains(QStringLiteral("正在使用中"))) << second.toStdString();
    EXPECT_TRUE(second.contains(holder)) << second.toStdString();

    const CliOutcome restore = runCli(data, {QStringLiteral("restore"), spare});
    EXPECT_EQ(restore.code, 1);
    EXPECT_TRUE(restore.err.contains(holder)) << restore.err.toStdString();
    EXPECT_GE(restore.ms, 4000) << "a writing command waits a few seconds first";
    const CliOutcome look = runCli(data, {QStringLiteral("current")});
    EXPECT_EQ(look.code, 0) << "reading commands run beside the workbench: " << look.err.toStdString();

    first.kill(); // as kill -9: no chance to clean up
    first.waitForFinished();
    const CliOutcome price =
        runCli(data, {QStringLiteral("boq"), QStringLiteral("price"), QStringLiteral("102-1"), QStringLiteral("9")});
    EXPECT_EQ(price.code, 0) << price.err.toStdString();
    EXPECT_FALSE(QFile::exists(tenvora::DataFileLock::lockPathFor(data)));
}

TEST(WorkbenchStart, AnUnusableDataFileIsNamedWithTheReason) {
    struct Case {
        const char* name;
        QByteArray content; // empty: no file at all
        const char* reason;
    };
    const Case cases[] = {{"missing", {}, "不存在"}, {"foreign", QByteArray(8192, 'z'), "不是本系统的数据文件"}};
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString data = QDir(dir.path()).filePath(QStringLiteral("VORQEL.tr"));
        if (!c.content.isEmpty()) {
            QFile f(data);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.content);
        }
        const QString err = startupError(dir.path());
        EXPECT_TRUE(err.contains(data)) << c.name << ": " << err.toStdString();
        EXPECT_TRUE(err.contains(QString::fromUtf8(c.reason))) << c.name << ": " << err.toStdString();
        EXPECT_EQ(QFile::exists(data), !c.content.isEmpty()) << "no data file is ever created";
    }
}

#endif

// The tenvora command on data files it cannot write: another user's read-only file, a folder
// without write access, a full disk. Each refusal names the file and the cause and exits 1.
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

struct Outcome {
    int code = -1;
    QString err;
};

const QString kStatementError = QStringLiteral("SQL语句错误!");

QString cli() {
    return QStringLiteral(TENVORA_CLI_PATH);
}

QStringList login() {
    return {QStringLiteral("--unit"), QStringLiteral("华建路桥工程有限公司"), QStringLiteral("--password"),
            QStringLiteral("hj2026")};
}

Outcome runProgram(const QString& program, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("TENVORA_UNIT"));
    env.remove(QStringLiteral("TENVORA_PASSWORD"));
    p.setProcessEnvironment(env);
    p.start(program, args);
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardError())};
}

// Permission bits do not bind root: as root the command runs as the unprivileged "nobody".
QStringList asOrdinaryUser(const QStringList& command) {
    if (::geteuid() != 0)
        return command;
    return QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                       QStringLiteral("--clear-groups"), QStringLiteral("--")} +
           command;
}

class CliFileTrouble : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        // Reachable by the ordinary user the root-run cases switch to.
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                                QFileDevice::ReadOther | QFileDevice::WriteOther |
                                                QFileDevice::ExeOther);
        m_data = m_dir.filePath(QStringLiteral("VORQEL.tr"));
        ASSERT_EQ(runProgram(cli(), {QStringLiteral("--data"), m_data, QStringLiteral("create-demo")}).code, 0);
        m_workbook = QDir(QFileInfo(cli()).absolutePath()).filePath(QStringLiteral("Data/合同清单范本.xls"));
    }

    QTemporaryDir m_dir;
    QString m_data;
    QString m_workbook;
};

} // namespace

TEST_F(CliFileTrouble, AFileThatCannotBeWrittenIsRefusedByNameNeverAsAStatementError) {
    if (::geteuid() == 0 && QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        GTEST_SKIP() << "setpriv is needed to run as an ordinary user";
    const QString folder = m_dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(folder));
    struct Case {
        const char* name;
        QFileDevice::Permissions file;
        QFileDevice::Permissions folder;
        const char* reason;
    };
    const auto all = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther |
                     QFileDevice::WriteOther | QFileDevice::ExeOwner | QFileDevice::ExeOther;
    const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ReadOther;
    const Case cases[] = {
        {"read-only.tr", readOnly, all, "数据文件是只读的"},
        {"unreadable.tr", QFileDevice::Permissions(), all, "没有读取这个文件的权限"},
        {"in-locked-folder.tr", all, readOnly | QFileDevice::ExeOwner | QFileDevice::ExeOther, "不允许写入"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool inFolder = c.folder != all;
        const QString path = QDir(inFolder ? folder : m_dir.path()).filePath(QString::fromLatin1(c.name));
        QFile::remove(path);
        ASSERT_TRUE(QFile::copy(m_data, path));
        ASSERT_TRUE(QFile::setPermissions(path, c.file));
        QFile::setPermissions(folder, c.folder);
        for (const QStringList& command :
             {QStringList{QStringLiteral("current")}, QStringList{QStringLiteral("boq"), QStringLiteral("price"),
                                                                  QStringLiteral("102-1"), QStringLiteral("9")}}) {
            const QStringList args =
                asOrdinaryUser(QStringList{cli(), QStringLiteral("--data"), path} + login() + command);
            const Outcome r = runProgram(args.first(), args.mid(1));
            EXPECT_EQ(r.code, 1) << r.err.toStdString();
            EXPECT_TRUE(r.err.contains(path)) << r.err.toStdString();
            EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.reason))) << r.err.toStdString();
            EXPECT_FALSE(r.err.contains(kStatementError)) << r.err.toStdString();
        }
        QFile::setPermissions(folder, all);
    }
}

#ifdef Q_OS_LINUX
// A disk that fills up: a small file system of its own, mounted in a private mount namespace so
// nothing outlives the test.
TEST_F(CliFileTrouble, AFullDiskIsNamedAndLeavesTheDataFileAsItWas) {
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    // Root makes the namespace itself; anyone else in a user namespace of their own.
    QStringList namespaceArgs{QStringLiteral("-m")};
    if (::geteuid() != 0)
        namespaceArgs.prepend(QStringLiteral("-r"));
    if (unshare.isEmpty() || runProgram(unshare, namespaceArgs + QStringList{QStringLiteral("true")}).code != 0)
        GTEST_SKIP() << "a private mount namespace is needed for a small file system";
    const QString mount = m_dir.filePath(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(mount));
    const QString full = QDir(mount).filePath(QStringLiteral("VORQEL.tr"));
    const QString spare = m_dir.filePath(QStringLiteral("spare.tr"));
    ASSERT_TRUE(QFile::copy(m_data, spare));

    struct Case {
        const char* name;
        QStringList args; // run with --data on the full disk unless the data file is given
        const char* reason;
    };
    const Case cases[] = {
        {"price",
         {QStringLiteral("--data"), full, QStringLiteral("boq"), QStringLiteral("price"), QStringLiteral("102-1"),
          QStringLiteral("9")},
         "磁盘空间已满"},
        {"import",
         {QStringLiteral("--data"), full, QStringLiteral("import-xls"), m_workbook, QStringLiteral("--append")},
         "导入没有完成，没有导入任何行"},
        {"backup",
         {QStringLiteral("--data"), spare, QStringLiteral("backup"), QDir(mount).filePath(QStringLiteral("bak.tr"))},
         "备份没有完成"},
        {"restore", {QStringLiteral("--data"), full, QStringLiteral("restore"), spare}, "恢复没有完成"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Mount, put the data file there, fill what is left, run the command, list the folder.
        QStringList command{cli()};
        command << c.args << login();
        QString quoted;
        for (const QString& a : command)
            quoted += QLatin1Char('\'') + a + QStringLiteral("' ");
        const QString script =
            QStringLiteral("mount -t tmpfs -o size=200k tmpfs '%1' && cp '%2' '%3' && cp '%3' '%4.before' && "
                           "(dd if=/dev/zero of='%1/fill' bs=1k count=1000 2>/dev/null; true) && %5; rc=$?; "
                           "cmp -s '%3' '%4.before' || echo 'data file changed' >&2; ls -A '%1' >&2; exit $rc")
                .arg(mount, m_data, full, m_dir.filePath(c.name), quoted);
        const Outcome r =
            runProgram(unshare, namespaceArgs + QStringList{QStringLiteral("sh"), QStringLiteral("-c"), script});
        EXPECT_EQ(r.code, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.reason))) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(kStatementError)) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(QStringLiteral("data file changed"))) << r.err.toStdString();
        // Only the data file and the filler: no stage, no journal, no lock file left.
        EXPECT_TRUE(r.err.trimmed().endsWith(QStringLiteral("VORQEL.tr\nfill"))) << r.err.toStdString();
    }
}
#endif

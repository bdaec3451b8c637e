// The backup, bid-disk, restore and check-file commands, run as a user would run them.
#include "CliSupport.h"
#include "support/TestSupport.h"
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <utility>

namespace {

using CommandRun = tenvora::test::CliRun;

class CliDataManagement : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_data = m_dir.filePath(QStringLiteral("VORQEL.tr"));
        ASSERT_EQ(run({QStringLiteral("create-demo"), QStringLiteral("--priced")}, false).code, 0);
    }

    CommandRun run(const QStringList& args, bool login = true) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("TENVORA_UNIT"));
        env.remove(QStringLiteral("TENVORA_PASSWORD"));
        CommandRun r = tenvora::test::RunCli(tenvora::test::CliCall(
            QStringList{QStringLiteral("--data"), m_data} + (login ? tenvora::test::DemoLogin() : QStringList()) + args,
            env, m_dir.path()));
        r.out = r.out.trimmed();
        r.err = r.err.trimmed();
        return r;
    }

    QString currentContract(QString dataFile) {
        const QString saved = std::exchange(m_data, std::move(dataFile));
        const CommandRun r = run({QStringLiteral("--json"), QStringLiteral("current")});
        m_data = saved;
        return QJsonDocument::fromJson(r.out.toUtf8()).object()[QStringLiteral("CurContractID")].toString();
    }

    QTemporaryDir m_dir;
    QString m_data;
};

} // namespace

TEST_F(CliDataManagement, BackupAndBidDiskCopyTheDataFileWithTheirOwnMessage) {
    struct Case {
        const char* command;
        const char* target;
        QString message;
    };
    const Case cases[] = {{"backup", "backup-1", QStringLiteral("数据文件: 备份完毕!!!")},
                          {"bid-disk", "投标盘.tr", QStringLiteral("投标数据盘生成完毕!!!")}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        // A relative target lands in the working folder; an existing file of that name is replaced.
        const QString target = m_dir.filePath(QString::fromUtf8(c.target));
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("older");
        old.close();
        const CommandRun r = run({QString::fromLatin1(c.command), QString::fromUtf8(c.target)});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, c.message);
        EXPECT_EQ(tenvora::test::ReadBytes(target), tenvora::test::ReadBytes(m_data));
    }
}

TEST_F(CliDataManagement, RestoreReplacesTheDataFileAndKeepsTheOldOneBesideIt) {
    const QString backup = m_dir.filePath(QStringLiteral("saved"));
    ASSERT_EQ(run({QStringLiteral("backup"), backup}).code, 0);
    ASSERT_EQ(run({QStringLiteral("select"), QStringLiteral("B1")}).code, 0);

    const CommandRun r = run({QStringLiteral("--json"), QStringLiteral("restore"), backup});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(o[QStringLiteral("message")].toString(), QStringLiteral("数据库 恢复完毕!!!"));
    const QString safety = m_data + QStringLiteral(".before-restore");
    EXPECT_EQ(o[QStringLiteral("safetyCopy")].toString(), safety);

    EXPECT_EQ(currentContract(m_data), QStringLiteral("A1"));
    EXPECT_EQ(currentContract(safety), QStringLiteral("B1")) << "the replaced file is kept as it was";
}

TEST_F(CliDataManagement, RefusalsExitWithOneAndChangeNothing) {
    const QString notes = m_dir.filePath(QStringLiteral("notes.txt"));
    QFile f(notes);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("just some notes\n");
    f.close();

    struct Case {
        QStringList args;
        QString message;
    };
    const Case cases[] = {
        {{QStringLiteral("restore"), QStringLiteral("nowhere.tr")},
         QStringLiteral("数据库文件 不存在，请检查路径是否正确!!!")},
        {{QStringLiteral("restore"), notes}, QStringLiteral("所选文件不是本系统可用的数据文件")},
        {{QStringLiteral("backup"), QString()}, QStringLiteral("请输入备份文件名!!!")},
        {{QStringLiteral("backup"), m_dir.filePath(QStringLiteral("no/such/folder/x"))},
         QStringLiteral("备份没有完成")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        const CommandRun r = run(c.args);
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(m_data + QStringLiteral(".before-restore")));

    // Without a login nothing is copied at all.
    EXPECT_EQ(run({QStringLiteral("backup"), QStringLiteral("anon")}, false).code, 2);
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("anon"))));
}

TEST_F(CliDataManagement, CheckFileReadsTheWholeFileAndADamagedPageIsNamedWhereverItIsMet) {
    const QString damaged = tenvora::test::CreateDataFileWithDamagedLines(m_dir.path());
    ASSERT_FALSE(damaged.isEmpty());
    const QString notes = m_dir.filePath(QStringLiteral("notes.txt"));
    ASSERT_TRUE(tenvora::test::WriteBytes(notes, "just some notes\n"));

    struct Case {
        QString dataFile;
        QStringList args;
        bool login;
        int code;
        QString message; // on stdout for success, else on stderr
    };
    const QString sound = QStringLiteral("完好");
    const QString broken = QStringLiteral("已损坏");
    const Case cases[] = {
        {m_data, {QStringLiteral("check-file")}, false, 0, sound},
        {m_data, {QStringLiteral("check-file"), damaged}, false, 1, broken},
        {damaged, {QStringLiteral("check-file")}, false, 1, broken},
        {m_data, {QStringLiteral("check-file"), notes}, false, 1, QStringLiteral("不是本系统的数据文件")},
        // The open does not read the lines; listing them meets the damaged page.
        {damaged, {QStringLiteral("boq"), QStringLiteral("list")}, true, 1, broken},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        const QString saved = std::exchange(m_data, c.dataFile);
        const CommandRun r = run(c.args, c.login);
        m_data = saved;
        EXPECT_EQ(r.code, c.code) << r.err.toStdString();
        EXPECT_TRUE((c.code == 0 ? r.out : r.err).contains(c.message)) << r.out.toStdString() << r.err.toStdString();
    }
    EXPECT_EQ(run({QStringLiteral("check-file"), QStringLiteral("a"), QStringLiteral("b")}, false).code, 2);
}

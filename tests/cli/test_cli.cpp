// End-to-end runs of the tenvora command on temporary data files.
#include "CliSupport.h"
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using tenvora::test::CliRun;

const QString kUnit = QStringLiteral("华建路桥工程有限公司");

class Cli : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_data = QDir(m_dir.path()).filePath(QStringLiteral("VORQEL.tr"));
    }

    CliRun run(const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        return tenvora::test::RunCli(tenvora::test::CliCall(args, env));
    }
    CliRun data(QStringList args) { return run(QStringList{QStringLiteral("--data"), m_data} + args); }
    CliRun loggedIn(QStringList args) {
        return data(QStringList{QStringLiteral("--unit"), kUnit, QStringLiteral("--password"), QStringLiteral("hj2026"),
                                QStringLiteral("--json")} +
                    args);
    }

    QTemporaryDir m_dir;
    QString m_data;
};

} // namespace

TEST_F(Cli, CreateDemoRefusesToOverwriteWithoutForce) {
    EXPECT_EQ(data({QStringLiteral("create-demo")}).code, 0);
    const CliRun again = data({QStringLiteral("create-demo")});
    EXPECT_EQ(again.code, 1);
    EXPECT_TRUE(again.err.contains(QStringLiteral("已经存在"))) << again.err.toStdString();
    EXPECT_EQ(data({QStringLiteral("create-demo"), QStringLiteral("--priced"), QStringLiteral("--force")}).code, 0);
    EXPECT_FALSE(QFile::exists(m_data + QStringLiteral(".new")));
}

TEST_F(Cli, AccountsFollowTheLoginMarker) {
    ASSERT_EQ(data({QStringLiteral("create-demo")}).code, 0);
    EXPECT_EQ(
        data({QStringLiteral("--json"), QStringLiteral("accounts")}).json()[QStringLiteral("units")].toArray().size(),
        2);
    ASSERT_EQ(loggedIn({QStringLiteral("current")}).code, 0);
    const QJsonArray units =
        data({QStringLiteral("--json"), QStringLiteral("accounts")}).json()[QStringLiteral("units")].toArray();
    ASSERT_EQ(units.size(), 1);
    EXPECT_EQ(units[0].toString(), kUnit);
}

TEST_F(Cli, LoginIsRequiredAndChecked) {
    ASSERT_EQ(data({QStringLiteral("create-demo")}).code, 0);
    QProcessEnvironment clean = QProcessEnvironment::systemEnvironment();
    clean.remove(QStringLiteral("TENVORA_UNIT"));
    clean.remove(QStringLiteral("TENVORA_PASSWORD"));
    EXPECT_EQ(run({QStringLiteral("--data"), m_data, QStringLiteral("current")}, clean).code, 2);

    const CliRun wrong = data({QStringLiteral("--unit"), kUnit, QStringLiteral("--password"), QStringLiteral("HJ2026"),
                               QStringLiteral("current")});
    EXPECT_EQ(wrong.code, 1);
    EXPECT_EQ(wrong.err.trimmed(), QStringLiteral("密码不正确,请重新输入"));

    const CliRun unlisted = data({QStringLiteral("--unit"), QStringLiteral("业主招标办公室"),
                                  QStringLiteral("--password"), QStringLiteral("zb2026"), QStringLiteral("current")});
    EXPECT_EQ(unlisted.code, 1) << "a unit the login would not offer cannot log in";

    QProcessEnvironment env = clean;
    env.insert(QStringLiteral("TENVORA_UNIT"), kUnit);
    env.insert(QStringLiteral("TENVORA_PASSWORD"), QStringLiteral("hj2026"));
    const CliRun viaEnv =
        run({QStringLiteral("--data"), m_data, QStringLiteral("--json"), QStringLiteral("current")}, env);
    EXPECT_EQ(viaEnv.code, 0) << viaEnv.err.toStdString();
    EXPECT_EQ(viaEnv.json()[QStringLiteral("CurUnitName")].toString(), kUnit);
}

TEST_F(Cli, ContractsSelectAndCurrent) {
    ASSERT_EQ(data({QStringLiteral("create-demo")}).code, 0);
    const QJsonArray rows = loggedIn({QStringLiteral("contracts")}).json()[QStringLiteral("rows")].toArray();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[1].toObject()[QStringLiteral("ID")].toString(), QStringLiteral("A2"));
    EXPECT_EQ(rows[1].toObject()[QStringLiteral("起始桩号")].toString(), QStringLiteral("K12+500"));

    const QJsonObject current = loggedIn({QStringLiteral("current")}).json();
    EXPECT_EQ(current[QStringLiteral("CurContractID")].toString(), QStringLiteral("A1"));
    EXPECT_EQ(current[QStringLiteral("CurChainage")].toString(), QStringLiteral("K0+000~K12+500"));

    const CliRun select = loggedIn({QStringLiteral("select"), QStringLiteral("B1")});
    ASSERT_EQ(select.code, 0) << select.err.toStdString();
    EXPECT_EQ(select.json()[QStringLiteral("CurProjectName")].toString(), QStringLiteral("山区二级公路改建工程"));
    EXPECT_EQ(loggedIn({QStringLiteral("current")}).json()[QStringLiteral("CurContractID")].toString(),
              QStringLiteral("B1"));

    EXPECT_EQ(loggedIn({QStringLiteral("select"), QStringLiteral("ZZ")}).code, 1);
    EXPECT_EQ(
        loggedIn({QStringLiteral("select"), QStringLiteral("A1"), QStringLiteral("--project"), QStringLiteral("P02")})
            .code,
        1);
    EXPECT_EQ(
        loggedIn({QStringLiteral("select"), QStringLiteral("A1"), QStringLiteral("--project"), QStringLiteral("P01")})
            .code,
        0);
}

TEST_F(Cli, HumanOutputIsAlignedChinese) {
    ASSERT_EQ(data({QStringLiteral("create-demo")}).code, 0);
    const CliRun r = data({QStringLiteral("--unit"), kUnit, QStringLiteral("--password"), QStringLiteral("hj2026"),
                           QStringLiteral("current")});
    ASSERT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("合同ID:   A1"))) << r.out.toStdString();
}

TEST_F(Cli, UsageErrorsAndHelp) {
    struct Case {
        QStringList args;
        int code;
    };
    const QList<Case> cases = {
        {{}, 2},
        {{QStringLiteral("--help")}, 0},
        {{QStringLiteral("select"), QStringLiteral("--help")}, 0},
        {{QStringLiteral("frobnicate")}, 2},
        {{QStringLiteral("accounts"), QStringLiteral("extra")}, 2},
        {{QStringLiteral("create-demo"), QStringLiteral("--bogus")}, 2},
        {{QStringLiteral("--data")}, 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(data(c.args).code, c.code) << c.args.join(QLatin1Char(' ')).toStdString();
}

TEST_F(Cli, AMissingOrForeignDataFileIsNamedWithTheReason) {
    const CliRun missing = data({QStringLiteral("accounts")});
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(missing.err.contains(m_data) && missing.err.contains(QStringLiteral("不存在")))
        << missing.err.toStdString();
    EXPECT_FALSE(QFile::exists(m_data));

    QFile f(m_data);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    const CliRun foreign = data({QStringLiteral("accounts")});
    EXPECT_EQ(foreign.code, 1);
    EXPECT_TRUE(foreign.err.contains(QStringLiteral("不是本系统的数据文件"))) << foreign.err.toStdString();
}

// tenvora check, boq recompute --all and the check in front of bid-disk.
#include "CliSupport.h"
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using CheckRun = tenvora::test::CliRun;

class CliCheck : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(run({QStringLiteral("create-demo"), QStringLiteral("--priced")}, false).code, 0);
    }
    CheckRun run(const QStringList& args, bool login = true) {
        return tenvora::test::RunCliHere(QStringList{QStringLiteral("--data"), m_data} +
                                         (login ? tenvora::test::DemoLogin() : QStringList()) + args);
    }

    QTemporaryDir m_dir;
    QString m_data = QDir(m_dir.path()).filePath(QStringLiteral("VORQEL.tr"));
};

} // namespace

TEST_F(CliCheck, ExitCodeTellsCleanFromFindingsAndRecomputeAllClearsStaleTotals) {
    CheckRun r = run({QStringLiteral("check")});
    EXPECT_EQ(r.code, 0) << r.out.toStdString() << r.err.toStdString();

    // A price typed after the recompute leaves chapter 300 (and the insurance in 100) stale.
    ASSERT_EQ(
        run({QStringLiteral("boq"), QStringLiteral("price"), QStringLiteral("304-1-a"), QStringLiteral("40.25")}).code,
        0);
    r = run({QStringLiteral("--json"), QStringLiteral("check")});
    EXPECT_EQ(r.code, 1);
    const QJsonObject o = r.json();
    EXPECT_FALSE(o.value(QStringLiteral("clean")).toBool());
    QStringList stale;
    for (const QJsonValue& f : o.value(QStringLiteral("findings")).toArray())
        if (f.toObject().value(QStringLiteral("kind")).toString() == QLatin1String("stale-total"))
            stale << f.toObject().value(QStringLiteral("item")).toString();
    EXPECT_EQ(stale, (QStringList{"100", "101-1-a", "300"}));

    r = run({QStringLiteral("--json"), QStringLiteral("boq"), QStringLiteral("recompute"), QStringLiteral("--all")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.json().value(QStringLiteral("chapters")).toArray().size(), 7);
    EXPECT_EQ(run({QStringLiteral("check")}).code, 0);
}

TEST_F(CliCheck, BidDiskRefusesWithFindingsUnlessAskedAnyway) {
    ASSERT_EQ(run({QStringLiteral("boq"), QStringLiteral("price"), QStringLiteral("304-1-a"), QString()}).code, 0);
    const QString target = QDir(m_dir.path()).filePath(QStringLiteral("bid.tr"));
    CheckRun r = run({QStringLiteral("bid-disk"), target});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("未报价 1 条"))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(target));
    r = run({QStringLiteral("bid-disk"), target, QStringLiteral("--anyway")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(target));
    // A backup is not held up.
    EXPECT_EQ(run({QStringLiteral("backup"), QDir(m_dir.path()).filePath(QStringLiteral("b.tr"))}).code, 0);
}

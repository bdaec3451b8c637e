// tenvora boq find|paste|adjust and the chapter names of boq tree, on temporary demo data files.
#include "CliSupport.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using tenvora::test::CliCall;
using tenvora::test::RunCli;
using CommandRun = tenvora::test::CliRun;

class CliPricing : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_data = QDir(m_dir.path()).filePath(QStringLiteral("VORQEL.tr"));
        ASSERT_EQ(
            RunCli({QStringLiteral("--data"), m_data, QStringLiteral("create-demo"), QStringLiteral("--priced")}).code,
            0);
    }
    CommandRun run(const QStringList& args, const QByteArray& input = {}) {
        CliCall call{QStringList{QStringLiteral("--data"), m_data} + tenvora::test::DemoLogin() +
                     QStringList{QStringLiteral("--json"), QStringLiteral("boq")} + args};
        call.input = input;
        return RunCli(call);
    }
    // The chapter's lines as listed: item number -> price.
    QHash<QString, QJsonValue> prices(const QString& chapter) {
        QHash<QString, QJsonValue> byItem;
        const CommandRun r = run({QStringLiteral("list"), QStringLiteral("--chapter"), chapter});
        for (const QJsonValue& row : r.json().value(QStringLiteral("rows")).toArray())
            byItem.insert(row.toObject().value(QStringLiteral("细目编号")).toString(),
                          row.toObject().value(QStringLiteral("合同单价")));
        return byItem;
    }

    QTemporaryDir m_dir;
    QString m_data;
};

} // namespace

TEST_F(CliPricing, TreeKeepsTheCodeAsTextAndAddsTheName) {
    const CommandRun r = run({QStringLiteral("tree")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonArray chapters = r.json()
                                    .value(QStringLiteral("nodes"))
                                    .toArray()[0]
                                    .toObject()
                                    .value(QStringLiteral("children"))
                                    .toArray()[0]
                                    .toObject()
                                    .value(QStringLiteral("children"))
                                    .toArray();
    ASSERT_EQ(chapters.size(), 7);
    EXPECT_EQ(chapters[3].toObject().value(QStringLiteral("text")).toString(), QStringLiteral("400"));
    EXPECT_EQ(chapters[3].toObject().value(QStringLiteral("name")).toString(), QStringLiteral("桥梁、涵洞"));
}

TEST_F(CliPricing, FindSearchesEveryChapter) {
    const CommandRun r = run({QStringLiteral("find"), QStringLiteral("厚")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QStringList items;
    for (const QJsonValue& line : r.json().value(QStringLiteral("lines")).toArray())
        items << line.toObject().value(QStringLiteral("细目编号")).toString();
    EXPECT_EQ(items, (QStringList{"304-1-a", "304-3-a", "308-1-a", "308-2-a"}));
    EXPECT_EQ(run({QStringLiteral("find"), QStringLiteral("厚"), QStringLiteral("--unpriced")})
                  .json()
                  .value(QStringLiteral("lines"))
                  .toArray()
                  .size(),
              0)
        << "the priced demo has nothing left to price";
}

TEST_F(CliPricing, PasteFromAFileOrStandardInputAndNothingOnABadCell) {
    const QString file = QDir(m_dir.path()).filePath(QStringLiteral("prices.txt"));
    ASSERT_TRUE(tenvora::test::WriteBytes(file, "12.5\r\n1,234.50\r\n"));
    CommandRun r = run({QStringLiteral("paste"), QStringLiteral("--from-line"), QStringLiteral("202-1-a"), file});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.json().value(QStringLiteral("pasted")).toInt(), 2);
    EXPECT_EQ(r.json().value(QStringLiteral("lastItem")).toString(), QStringLiteral("202-1-b"));
    QHash<QString, QJsonValue> listed = prices(QStringLiteral("200"));
    EXPECT_EQ(listed.value(QStringLiteral("202-1-a")).toDouble(), 12.5);
    EXPECT_EQ(listed.value(QStringLiteral("202-1-b")).toDouble(), 1234.5);

    r = run({QStringLiteral("paste"), QStringLiteral("--from-line"), QStringLiteral("202-1-a"), QStringLiteral("-")},
            "7\n8\n9\n");
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.json().value(QStringLiteral("skippedLocked")).toInt(), 1) << "202-2 is a heading";
    EXPECT_EQ(prices(QStringLiteral("200")).value(QStringLiteral("202-2-b")).toDouble(), 9.0);

    listed = prices(QStringLiteral("200"));
    r = run({QStringLiteral("paste"), QStringLiteral("--from-line"), QStringLiteral("202-1-a"), QStringLiteral("-")},
            "1\n二\n3\n");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("第 2 行“二”不是数字"))) << r.err.toStdString();
    EXPECT_EQ(prices(QStringLiteral("200")), listed) << "nothing of the paste was written";
    r = run({QStringLiteral("paste"), QStringLiteral("-")}, "1\n");
    EXPECT_EQ(r.code, 2) << "--from-line is needed";
}

TEST_F(CliPricing, AdjustShowsTheProposalAndWritesItUnlessDryRun) {
    const QHash<QString, QJsonValue> before = prices(QStringLiteral("300"));
    CommandRun r = run({QStringLiteral("adjust"), QStringLiteral("--target"), QStringLiteral("150,000,000"),
                        QStringLiteral("--dry-run")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.json().value(QStringLiteral("target")).toInteger(), 150000000);
    EXPECT_FALSE(r.json().value(QStringLiteral("applied")).toBool());
    EXPECT_EQ(prices(QStringLiteral("300")), before);

    r = run({QStringLiteral("adjust"), QStringLiteral("--target"), QStringLiteral("150000000")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const qint64 after = r.json().value(QStringLiteral("totalAfter")).toInteger();
    // Each price keeps the coefficient to the cent; the demo's lines come that close.
    EXPECT_LE(std::llabs(after - 150000000), 10) << r.out.toStdString();
    EXPECT_NE(prices(QStringLiteral("300")), before);
    // The proposal's total is what the recomputed chapters now hold.
    qint64 chapters = 0;
    for (const char* c : {"100", "200", "300", "400", "500", "600", "700"})
        chapters += run({QStringLiteral("recompute"), QString::fromLatin1(c)})
                        .json()
                        .value(QStringLiteral("chapterTotal"))
                        .toInteger();
    EXPECT_EQ(chapters, after);

    struct Refusal {
        QStringList args;
        int code;
        const char* says;
    };
    const QList<Refusal> refusals = {
        {{"adjust"}, 2, "--target"},
        {{"adjust", "--target", "1", "--percent", "2"}, 2, "--target"},
        {{"adjust", "--percent", "abc"}, 2, "不是数字"},
        {{"adjust", "--percent", "2", "--chapter", "900"}, 1, "900"},
    };
    for (const Refusal& f : refusals) {
        r = run(f.args);
        EXPECT_EQ(r.code, f.code) << f.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(f.says))) << r.err.toStdString();
    }
}

// tenvora boq tree|list|price|recompute on temporary demo data files.
#include "CliSupport.h"
#include "data/DataFileLock.h"
#include "data/DataModule.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using BoqRun = tenvora::test::CliRun;

class CliBoq : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_data = QDir(m_dir.path()).filePath(QStringLiteral("VORQEL.tr"));
        ASSERT_EQ(run({QStringLiteral("create-demo")}, false).code, 0);
    }
    BoqRun run(const QStringList& args, bool logIn = true, const QStringList& environment = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& setting : environment)
            env.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));
        QStringList login{tenvora::test::DemoLogin()};
        login << QStringLiteral("--json");
        const QStringList all = QStringList{QStringLiteral("--data"), m_data} + (logIn ? login : QStringList()) + args;
        // The commands run in this process unless a test sets their environment.
        if (environment.isEmpty())
            return tenvora::test::RunCliHere(all);
        return tenvora::test::RunCli(tenvora::test::CliCall(all, env));
    }
    QJsonObject line(const QJsonArray& rows, const QString& item) {
        for (const QJsonValue& r : rows)
            if (r.toObject().value(QStringLiteral("细目编号")).toString() == item)
                return r.toObject();
        ADD_FAILURE() << "no line " << item.toStdString();
        return {};
    }

    QTemporaryDir m_dir;
    QString m_data;
};

} // namespace

TEST_F(CliBoq, TreeHasTheThreeLevels) {
    const BoqRun r = run({QStringLiteral("boq"), QStringLiteral("tree")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonArray nodes = r.json().value(QStringLiteral("nodes")).toArray();
    ASSERT_EQ(nodes.size(), 1);
    const QJsonObject project = nodes[0].toObject();
    EXPECT_EQ(project.value(QStringLiteral("level")).toInt(), 0);
    const QJsonObject contract = project.value(QStringLiteral("children")).toArray().at(0).toObject();
    EXPECT_EQ(contract.value(QStringLiteral("level")).toInt(), 1);
    const QJsonArray chapters = contract.value(QStringLiteral("children")).toArray();
    ASSERT_EQ(chapters.size(), 7);
    EXPECT_EQ(chapters[0].toObject().value(QStringLiteral("text")).toString(), QStringLiteral("100"));
    EXPECT_EQ(chapters[0].toObject().value(QStringLiteral("level")).toInt(), 2);
    EXPECT_TRUE(chapters[0].toObject().value(QStringLiteral("children")).toArray().isEmpty());
}

TEST_F(CliBoq, ListGivesEveryColumnAndBothLocks) {
    BoqRun r = run({QStringLiteral("boq"), QStringLiteral("list"), QStringLiteral("--chapter"), QStringLiteral("100")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonArray rows = r.json().value(QStringLiteral("rows")).toArray();
    ASSERT_EQ(rows.size(), 15);
    const QJsonObject insurance = line(rows, QStringLiteral("101-1-a"));
    EXPECT_TRUE(insurance.value(QStringLiteral("locked")).toBool());
    EXPECT_TRUE(insurance.value(QStringLiteral("drawnLocked")).toBool());
    const QJsonObject priceable = line(rows, QStringLiteral("102-1"));
    EXPECT_FALSE(priceable.value(QStringLiteral("locked")).toBool());
    for (const char* column : {"合同编号", "章", "节", "段", "细目编号", "细目名称", "单位", "合同数量", "合同单价",
                               "合同金额", "是否补充", "bz", "变更后单价"})
        EXPECT_TRUE(priceable.contains(QString::fromUtf8(column))) << column;
    EXPECT_FALSE(priceable.contains(QStringLiteral("rowid")));
    EXPECT_TRUE(priceable.value(QStringLiteral("合同单价")).isNull());

    r = run({QStringLiteral("boq"), QStringLiteral("list")});
    EXPECT_EQ(r.json().value(QStringLiteral("rows")).toArray().size(), 84) << "the contract node lists every chapter";
    r = run({QStringLiteral("boq"), QStringLiteral("list"), QStringLiteral("--chapter"), QStringLiteral("900")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("900"))) << r.err.toStdString();
}

TEST_F(CliBoq, FiguresReadTheSameUnderACommaDecimalLocale) {
    ASSERT_EQ(
        run({QStringLiteral("boq"), QStringLiteral("price"), QStringLiteral("304-1-a"), QStringLiteral("2.85")}).code,
        0);
    const QStringList args{QStringLiteral("boq"), QStringLiteral("list"), QStringLiteral("--chapter"),
                           QStringLiteral("300")};
    tenvora::test::CommaDecimalLocale comma;
    ASSERT_TRUE(comma.active());
    QStringList all{QStringLiteral("--data"),     m_data,
                    QStringLiteral("--unit"),     QStringLiteral("华建路桥工程有限公司"),
                    QStringLiteral("--password"), QStringLiteral("hj2026")};
    const auto listed = [&](const QStringList& environment) {
        QProcess p;
        p.setEnvironment(QProcess::systemEnvironment() + environment);
        p.start(QStringLiteral(TENVORA_CLI_PATH), all + args);
        EXPECT_TRUE(p.waitForFinished(30000));
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    const QString c = listed({QStringLiteral("LC_ALL=C")});
    const QString german = listed(comma.environment());
    EXPECT_EQ(german, c);
    EXPECT_TRUE(german.contains(QStringLiteral("2.85")) && german.contains(QStringLiteral("355680")))
        << german.toStdString();
    EXPECT_FALSE(german.contains(QStringLiteral("2.,")) || german.contains(QStringLiteral(",0")))
        << german.toStdString();
}

TEST_F(CliBoq, PriceSavesThroughTheHookAndRefusesLockedLines) {
    // Typed as a Chinese input method in full-width mode gives it.
    BoqRun r =
        run({QStringLiteral("boq"), QStringLiteral("price"), QStringLiteral("202-1-a"), QStringLiteral("２．８５７")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonObject saved = r.json().value(QStringLiteral("row")).toObject();
    EXPECT_EQ(saved.value(QStringLiteral("合同单价")).toDouble(), 2.857);
    EXPECT_EQ(saved.value(QStringLiteral("合同金额")).toInteger(), 532831);
    EXPECT_EQ(saved.value(QStringLiteral("节")).toString(), QStringLiteral("202-1-a"));

    r = run({QStringLiteral("boq"), QStringLiteral("list"), QStringLiteral("--chapter"), QStringLiteral("200")});
    EXPECT_EQ(line(r.json().value(QStringLiteral("rows")).toArray(), QStringLiteral("202-1-a"))
                  .value(QStringLiteral("合同金额"))
                  .toInteger(),
              532831)
        << "stored";

    struct Refusal {
        QStringList args;
        int code;
        const char* says;
    };
    const QList<Refusal> refusals = {
        {{"101-1-a", "5"}, 1, "不允许录入单价"},
        {{"102-3", "5", "--chapter", "100"}, 1, "不允许录入单价"},
        {{"999-9", "5"}, 1, "999-9"},
        {{"102-1", "12,5"}, 2, "不是数字"},
        {{"102-1"}, 2, "用法"},
    };
    for (const Refusal& f : refusals) {
        r = run(QStringList{QStringLiteral("boq"), QStringLiteral("price")} + f.args);
        EXPECT_EQ(r.code, f.code) << f.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(f.says))) << r.err.toStdString();
    }
    r = run({QStringLiteral("boq"), QStringLiteral("list"), QStringLiteral("--chapter"), QStringLiteral("100")});
    EXPECT_TRUE(line(r.json().value(QStringLiteral("rows")).toArray(), QStringLiteral("101-1-a"))
                    .value(QStringLiteral("合同单价"))
                    .isNull());
}

TEST_F(CliBoq, RecomputeStoresTheInsuranceAndTheChapterTotal) {
    ASSERT_EQ(
        run({QStringLiteral("boq"), QStringLiteral("price"), QStringLiteral("102-1"), QStringLiteral("1000")}).code, 0);
    BoqRun r = run({QStringLiteral("boq"), QStringLiteral("recompute"), QStringLiteral("100")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    // 1000 + the owner's provisional sums 4500000, 1500000, 300000 and 2000000.
    const qint64 insurance = r.json().value(QStringLiteral("insurance")).toInteger();
    EXPECT_EQ(insurance, 24903); // 8301000 x 0.003
    EXPECT_EQ(r.json().value(QStringLiteral("chapterTotal")).toInteger(), 1000 + 4500000 + 1500000 + insurance);

    r = run({QStringLiteral("boq"), QStringLiteral("recompute"), QStringLiteral("沿江高速公路扩建工程")});
    EXPECT_EQ(r.code, 1);
    r = run({QStringLiteral("boq"), QStringLiteral("recompute")});
    EXPECT_EQ(r.code, 2);
}

// An item number that the contract holds twice (in two chapters) is priced where the whole
// contract list has it first, as the editor's contract node shows it; the other stays as it was.
TEST_F(CliBoq, PriceWithoutChapterTakesTheFirstOfTheContractList) {
    struct Case {
        const char* originalOrder; // bz of the line in chapter 200 and of its copy in chapter 300
        const char* copyOrder;
        const char* pricedChapter;
    };
    for (const Case& c : {Case{"a", "b", "200"}, Case{"b", "a", "300"}}) {
        QFile::remove(m_data); // a fresh demo file per case
        SetUp();
        {
            tenvora::DataModule dm(m_data);
            tenvora::Database& db = dm.database();
            db.exec(QStringLiteral("update jd_htqd set bz = ? where 细目编号 = '202-1-a'"), {c.originalOrder});
            db.exec(QStringLiteral(
                        "insert into jd_htqd (合同编号, 章, 节, 细目编号, 细目名称, 单位, 合同数量, 是否补充, bz) "
                        "select 合同编号, '300', 节, 细目编号, 细目名称, 单位, 合同数量, 0, ? from jd_htqd "
                        "where 细目编号 = '202-1-a'"),
                    {c.copyOrder});
        }
        BoqRun r =
            run({QStringLiteral("boq"), QStringLiteral("price"), QStringLiteral("202-1-a"), QStringLiteral("7")});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.json().value(QStringLiteral("row")).toObject().value(QStringLiteral("章")).toString(),
                  QString::fromLatin1(c.pricedChapter));
        for (const char* chapter : {"200", "300"}) {
            r = run({QStringLiteral("boq"), QStringLiteral("list"), QStringLiteral("--chapter"),
                     QString::fromLatin1(chapter)});
            const QJsonValue price = line(r.json().value(QStringLiteral("rows")).toArray(), QStringLiteral("202-1-a"))
                                         .value(QStringLiteral("合同单价"));
            if (qstrcmp(chapter, c.pricedChapter) == 0)
                EXPECT_EQ(price.toDouble(), 7.0) << chapter;
            else
                EXPECT_TRUE(price.isNull()) << chapter << " keeps no price";
        }
    }
}

// Every command that changes the data file waits for its lock and then refuses, naming the
// holder, and leaves the file as it was (commands that only read run beside the holder).
TEST_F(CliBoq, CommandsThatWriteRefuseWhileAnotherProgramHoldsTheFile) {
    const QString prices = m_dir.filePath(QStringLiteral("prices.txt"));
    QFile file(prices);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("12.5\n");
    file.close();
    const auto bytes = [&] {
        QFile f(m_data);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray before = bytes();

    tenvora::DataFileLock held(m_data);
    held.acquire();
    struct Case {
        QStringList args;
        int code;
    };
    const QList<Case> cases = {
        {{"boq", "recompute", "--all"}, 1},
        {{"boq", "paste", "--from-line", "202-1-a", prices}, 1},
        {{"boq", "adjust", "--percent", "1"}, 1},
        {{"reimport", m_dir.filePath(QStringLiteral("revised.xlsx"))}, 1},
        {{"print-all", "--dir", m_dir.filePath(QStringLiteral("pdf"))}, 1},
    };
    std::vector<std::unique_ptr<QProcess>> running;
    for (const Case& c : cases) {
        auto p = std::make_unique<QProcess>();
        p->start(QStringLiteral(TENVORA_CLI_PATH),
                 QStringList{QStringLiteral("--data"), m_data, QStringLiteral("--unit"),
                             QStringLiteral("华建路桥工程有限公司"), QStringLiteral("--password"),
                             QStringLiteral("hj2026")} +
                     c.args);
        running.push_back(std::move(p));
    }
    for (size_t i = 0; i < running.size(); ++i) {
        QProcess& p = *running[i];
        ASSERT_TRUE(p.waitForFinished(30000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        const std::string what = cases[static_cast<int>(i)].args.join(' ').toStdString();
        EXPECT_EQ(p.exitCode(), cases[static_cast<int>(i)].code) << what << ": " << err.toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("进程号 %1").arg(QCoreApplication::applicationPid())))
            << what << ": " << err.toStdString();
    }
    held.release();
    EXPECT_EQ(bytes(), before) << "nothing was written while the file was held";
}

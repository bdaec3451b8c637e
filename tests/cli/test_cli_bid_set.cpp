// End-to-end runs of the reports besides B and of "tenvora print-all".
#include "CliSupport.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tenvora;

namespace {

using CommandRun = tenvora::test::CliRun;

class CliBidSet : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new QTemporaryDir;
        s_data = QDir(s_dir->path()).filePath(QStringLiteral("VORQEL.tr"));
        ASSERT_EQ(tenvora({QStringLiteral("create-demo"), QStringLiteral("--priced")}).code, 0);
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }

    static CommandRun tenvora(const QStringList& args) {
        // A later --data wins, so a test may point a run at a file of its own.
        return tenvora::test::RunCli(tenvora::test::CliCall(QStringList{QStringLiteral("--data"), s_data} + args,
                                                            tenvora::test::DemoLoginEnvironment(), QString(), 120000));
    }
    static QString pdfText(const QString& pdf) {
        QProcess p;
        p.start(QStandardPaths::findExecutable(QStringLiteral("pdftotext")), {pdf, QStringLiteral("-")});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
    }
    static QString nfkc(const QString& text) { return text.normalized(QString::NormalizationForm_KC); }

    static QTemporaryDir* s_dir;
    static QString s_data;
};

QTemporaryDir* CliBidSet::s_dir = nullptr;
QString CliBidSet::s_data;

struct JsonCase {
    const char* report;
    const char* dataset; // empty: the template reads none
    int rows;
    const char* object;
    const char* text;
};

void PrintTo(const JsonCase& c, std::ostream* os) {
    *os << c.report;
}

class CliReportJson : public CliBidSet, public testing::WithParamInterface<JsonCase> {};

} // namespace

TEST_P(CliReportJson, HasReportBsShapeWithTheReportsOwnDataSets) {
    const JsonCase& c = GetParam();
    const CommandRun r = tenvora({QStringLiteral("--json"), QStringLiteral("report"), QString::fromLatin1(c.report)});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonObject json = r.json();
    EXPECT_EQ(json[QStringLiteral("pages")].toInt(), 1);
    const QJsonObject datasets = json[QStringLiteral("datasets")].toObject();
    if (*c.dataset) {
        EXPECT_EQ(datasets.keys(), QStringList{QString::fromLatin1(c.dataset)});
        EXPECT_EQ(datasets[QString::fromLatin1(c.dataset)].toArray().size(), c.rows);
    } else {
        EXPECT_TRUE(datasets.isEmpty());
    }
    const QJsonObject objects = json[QStringLiteral("objects")].toObject();
    const QJsonObject figures = json[QStringLiteral("figures")].toObject();
    const QString name = QString::fromLatin1(c.object);
    const QJsonValue value = objects.contains(name) ? objects[name].toArray().first() : figures[name];
    EXPECT_EQ(value.toString(), QString::fromUtf8(c.text)) << c.object;
}

INSTANTIATE_TEST_SUITE_P(CliBidSet, CliReportJson,
                         testing::Values(JsonCase{"C", "ReportDataSet2", 4, "memo9", "8300000"},
                                         JsonCase{"labour", "ReportDataSet_jrg", 8, "memo8", "计日工劳务单价表"},
                                         JsonCase{"material", "ReportDataSet_jrg", 8, "memo2", "337450"},
                                         JsonCase{"D", "", 0, "memo48", "714715"},
                                         JsonCase{"e", "", 0, "grand", "57824082"},
                                         JsonCase{"summary", "ReportDataSet_hz", 7, "tbbj", "185702861"}));

TEST_F(CliBidSet, ProvisionalSumsAreCopiedWithTheirFixedDescriptions) {
    const CommandRun r = tenvora({QStringLiteral("--json"), QStringLiteral("report"), QStringLiteral("C")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonArray rows = r.json()[QStringLiteral("datasets")].toObject()[QStringLiteral("ReportDataSet2")].toArray();
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0].toObject()[QStringLiteral("细目名称")].toString(), QStringLiteral("计算机信息化管理系统"));
    EXPECT_EQ(rows[1].toObject()[QStringLiteral("细目名称")].toString(), QStringLiteral("地方道路使用维修"));
    // Figures read as a bidder writes them, never in exponent form.
    EXPECT_EQ(rows[3].toObject()[QStringLiteral("合同金额")].toString(), QStringLiteral("2000000"));
}

TEST_F(CliBidSet, PrintAllWritesEveryFormAndTheWholeSet) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "poppler-utils is not installed";
    QTemporaryDir out;
    const QString dir = QDir(out.path()).filePath(QStringLiteral("投标"));
    const CommandRun r = tenvora({QStringLiteral("--json"), QStringLiteral("print-all"), QStringLiteral("--dir"), dir});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonArray files = r.json()[QStringLiteral("files")].toArray();
    // The summary, seven chapters, C, D, three tables and the whole set: the demo prices chapters
    // that E leaves out, so E would show another bid price and stays out, saying why.
    ASSERT_EQ(files.size(), 14);
    EXPECT_TRUE(r.err.contains(
        QStringLiteral("全套投标报表不含“E.工程量清单汇总表”：它不含第 200 章、第 400 章、第 500 章、第 700 章")))
        << r.err.toStdString();
    int pages = 0;
    for (const QJsonValue& f : files) {
        const QJsonObject file = f.toObject();
        EXPECT_TRUE(QFile::exists(file[QStringLiteral("file")].toString()))
            << file[QStringLiteral("file")].toString().toStdString();
        if (file[QStringLiteral("report")].toString() != QLatin1String("all"))
            pages += file[QStringLiteral("pages")].toInt();
    }
    EXPECT_EQ(files.last().toObject()[QStringLiteral("pages")].toInt(), pages + 1) << "one contents page";

    const QString whole = pdfText(QDir(dir).filePath(QStringLiteral("投标报表.pdf")));
    for (const QString& expected :
         {nfkc(QStringLiteral("投标单位：华建路桥工程有限公司")), QStringLiteral("投标报价汇总表"),
          QStringLiteral("清单 第700章 合计 人民币"), QStringLiteral("计算机信息化管理系统"),
          nfkc(QStringLiteral("柒拾壹万肆仟柒佰壹拾伍元整")), QStringLiteral("计日工施工机械单价表"),
          QStringLiteral("185702861")})
        EXPECT_TRUE(whole.contains(expected)) << expected.toStdString();
    EXPECT_FALSE(whole.contains(QStringLiteral("E.工程量清单汇总表"))) << "neither the form nor its contents line";
    EXPECT_FALSE(whole.contains(QStringLiteral("57824082")));
    EXPECT_TRUE(pdfText(QDir(dir).filePath(QStringLiteral("计日工劳务单价表.pdf"))).contains(QStringLiteral("158020")));
}

TEST_F(CliBidSet, WithoutAContractTheSummariesAndTheSetAreRefused) {
    test::TempDataFile file(true);
    file.open()->database().exec(QStringLiteral("delete from 当前选择合同"));
    for (const QStringList& args : {QStringList{QStringLiteral("report"), QStringLiteral("E")},
                                    QStringList{QStringLiteral("report"), QStringLiteral("summary")},
                                    QStringList{QStringLiteral("print-all"), QStringLiteral("--dir"), file.dir()}}) {
        const CommandRun r = tenvora(QStringList{QStringLiteral("--data"), file.path()} + args);
        EXPECT_EQ(r.code, 1) << args.join(' ').toStdString();
        EXPECT_EQ(r.err.trimmed(), QStringLiteral("请先选择合同")) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(QDir(file.dir()).filePath(QStringLiteral("投标报表.pdf"))));
}

TEST_F(CliBidSet, UsageErrorsExitTwo) {
    const QList<QStringList> usage = {
        {QStringLiteral("report"), QStringLiteral("F")},
        {QStringLiteral("report"), QStringLiteral("C"), QStringLiteral("--chapter"), QStringLiteral("100")},
        {QStringLiteral("report"), QStringLiteral("summary"), QStringLiteral("--all-chapters")},
        {QStringLiteral("print-all")},
        {QStringLiteral("print-all"), QStringLiteral("--dir"), QStringLiteral("x"), QStringLiteral("y")},
    };
    for (const QStringList& args : usage)
        EXPECT_EQ(tenvora(args).code, 2) << args.join(' ').toStdString();
}

// End-to-end runs of "tenvora report B".
#include "CliSupport.h"
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using ReportRun = tenvora::test::CliRun;

class CliReport : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new QTemporaryDir;
        s_data = QDir(s_dir->path()).filePath(QStringLiteral("VORQEL.tr"));
        ASSERT_EQ(
            run({QStringLiteral("--data"), s_data, QStringLiteral("create-demo"), QStringLiteral("--priced")}).code, 0);
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }

    static ReportRun run(const QStringList& args, const QString& workingDir = QString()) {
        return tenvora::test::RunCli(tenvora::test::CliCall(args, tenvora::test::DemoLoginEnvironment(), workingDir));
    }
    static ReportRun report(const QStringList& args, const QString& workingDir = QString()) {
        return run(QStringList{QStringLiteral("--data"), s_data, QStringLiteral("report"), QStringLiteral("B")} + args,
                   workingDir);
    }
    static QString pdfText(const QString& pdf) {
        QProcess p;
        p.start(QStandardPaths::findExecutable(QStringLiteral("pdftotext")), {pdf, QStringLiteral("-")});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
    }

    static QTemporaryDir* s_dir;
    static QString s_data;
};

QTemporaryDir* CliReport::s_dir = nullptr;
QString CliReport::s_data;

} // namespace

TEST_F(CliReport, JsonShowsTheFilledObjectsTheLinesAndThePages) {
    const ReportRun r = report({QStringLiteral("--chapter"), QStringLiteral("100"), QStringLiteral("--json")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonObject json = r.json();
    EXPECT_EQ(json[QStringLiteral("template")].toString(), QStringLiteral("Report/gclqd.xml"));
    EXPECT_EQ(json[QStringLiteral("pages")].toInt(), 1);
    const QJsonObject objects = json[QStringLiteral("objects")].toObject();
    EXPECT_EQ(objects[QStringLiteral("memo1")].toArray(), QJsonArray{QStringLiteral("A1合同段：K0+000~K12+500")});
    EXPECT_EQ(objects[QStringLiteral("memo5")].toArray(),
              (QJsonArray{QString(), QStringLiteral("   清单 第100章 合计 人民币 ")}));
    EXPECT_EQ(objects[QStringLiteral("memo3")].toArray(), QJsonArray{QStringLiteral("工 程 量 清 单")});

    const QJsonArray rows = json[QStringLiteral("datasets")].toObject()[QStringLiteral("ReportDataSet1")].toArray();
    ASSERT_EQ(rows.size(), 14);
    qint64 sum = 0;
    for (const QJsonValue& v : rows) {
        const QJsonObject row = v.toObject();
        EXPECT_NE(row[QStringLiteral("细目编号")].toString(), QStringLiteral("100"));
        sum += row[QStringLiteral("hj")].toString().toLongLong();
    }
    EXPECT_EQ(rows[1].toObject()[QStringLiteral("细目编号")].toString(), QStringLiteral("101-1-a"));
    EXPECT_EQ(objects[QStringLiteral("memo2")].toArray(), QJsonArray{QString::number(sum)});
}

TEST_F(CliReport, ChapterWithoutLinesExitsOne) {
    const ReportRun r = report({QStringLiteral("--chapter"), QStringLiteral("900")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("没有纪录"))) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
}

TEST_F(CliReport, PdfIsWrittenWhateverTheWorkingDirectory) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "poppler-utils is not installed";
    QTemporaryDir elsewhere;
    const ReportRun r = report(
        {QStringLiteral("--chapter"), QStringLiteral("200"), QStringLiteral("--pdf"), QStringLiteral("b200.pdf")},
        elsewhere.path());
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString text = pdfText(QDir(elsewhere.path()).filePath(QStringLiteral("b200.pdf")));
    EXPECT_TRUE(text.contains(QStringLiteral("清单 第200章 合计 人民币"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("202-1-a")));
    EXPECT_TRUE(text.contains(QStringLiteral("186500")));
}

TEST_F(CliReport, AllChaptersGoToOnePdfEach) {
    QTemporaryDir out;
    const ReportRun r =
        run({QStringLiteral("--data"), s_data, QStringLiteral("--json"), QStringLiteral("report"), QStringLiteral("B"),
             QStringLiteral("--all-chapters"), QStringLiteral("--out"), out.path()});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonArray files = r.json()[QStringLiteral("files")].toArray();
    ASSERT_EQ(files.size(), 7);
    for (const QJsonValue& f : files)
        EXPECT_TRUE(QFile::exists(f.toObject()[QStringLiteral("file")].toString()));
    EXPECT_TRUE(QFile::exists(QDir(out.path()).filePath(QStringLiteral("B-A1-700.pdf"))));
}

TEST_F(CliReport, UsageErrorsExitTwo) {
    const QList<QStringList> cases = {
        {},
        {QStringLiteral("--chapter"), QStringLiteral("100"), QStringLiteral("--all-chapters"), QStringLiteral("--out"),
         QStringLiteral("x")},
        {QStringLiteral("--all-chapters")},
        {QStringLiteral("--chapter"), QStringLiteral("100"), QStringLiteral("--out"), QStringLiteral("x")},
        {QStringLiteral("--chapter"), QStringLiteral("100"), QStringLiteral("--landscape")},
    };
    for (const QStringList& args : cases)
        EXPECT_EQ(report(args).code, 2) << args.join(' ').toStdString();
    EXPECT_EQ(run({QStringLiteral("--data"), s_data, QStringLiteral("report"), QStringLiteral("C"),
                   QStringLiteral("--chapter"), QStringLiteral("100")})
                  .code,
              2);
}

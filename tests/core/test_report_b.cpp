// Report B end to end on demo data files: insurance store, lines, total, texts, PDF output.
#include "ReportTest.h"
#include "report_engine/PageRenderer.h"
#include "reports/BoqChapterReport.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tenvora;

namespace {

class ReportB : public test::ReportTest {
protected:
    QVariant insurance(const char* column) {
        return scalar(QStringLiteral("select %1 from jd_htqd where 合同编号='A1' and 细目编号='101-1-a'")
                          .arg(QString::fromUtf8(column)));
    }
    QStringList items() {
        QStringList result;
        for (int r = 0; r < m_context->gcl_ADOQuery.recordCount(); ++r)
            result << m_context->gcl_ADOQuery.text(r, QStringLiteral("细目编号"));
        return result;
    }
};

} // namespace

class ReportBInsurance : public ReportB, public testing::WithParamInterface<std::pair<qint64, qint64>> {};

TEST_P(ReportBInsurance, StoredFromTheWholeYuanBaseBeforeEveryReport) {
    const auto [base, premium] = GetParam();
    // The whole contract's priced lines make the base, across chapters and whatever their bz.
    exec(QStringLiteral("update jd_htqd set 合同金额=NULL where 合同编号='A1'"));
    exec(QStringLiteral("update jd_htqd set 合同金额=?, bz='备' where 合同编号='A1' and 细目编号='202-1-a'"),
         {base - base / 3});
    exec(QStringLiteral("update jd_htqd set 合同金额=? where 合同编号='A1' and 细目编号='102-1'"), {base / 3});
    exec(QStringLiteral("update jd_htqd set 合同金额=99999 where 合同编号='A1' and 细目编号 in ('101-1-b', '100')"));
    BoqChapterReport request(*m_context);
    ASSERT_TRUE(request.build(QStringLiteral("300")));
    EXPECT_EQ(insurance("合同金额").toLongLong(), premium);
    EXPECT_EQ(insurance("合同单价").toLongLong(), premium);
}

INSTANTIATE_TEST_SUITE_P(ReportB, ReportBInsurance,
                         testing::Values(std::make_pair(1234567LL, 3704LL), std::make_pair(1000LL, 3LL),
                                         std::make_pair(166LL, 0LL), std::make_pair(167LL, 1LL),
                                         std::make_pair(0LL, 0LL)));

TEST_F(ReportB, ListsTheChapterWithoutItsOwnLineAndTotalsOnlyUnremarkedLines) {
    exec(QStringLiteral("update jd_htqd set bz='甲' where 合同编号='A1' and 细目编号='102-1'"));
    exec(QStringLiteral("update jd_htqd set bz='' where 合同编号='A1' and 细目编号='102-2'"));
    BoqChapterReport request(*m_context);
    ASSERT_TRUE(request.build(QStringLiteral("100")));

    const QStringList listed = items();
    EXPECT_FALSE(listed.contains(QStringLiteral("100")));
    EXPECT_EQ(listed.first(), QStringLiteral("101-1"));
    EXPECT_EQ(listed.last(), QStringLiteral("102-1")) << "a line with bz comes after the others";
    EXPECT_EQ(listed.size(), 14);

    const qint64 expected =
        scalar(QStringLiteral("select sum(合同金额) from jd_htqd where 合同编号='A1' and 章='100' and 细目编号<>'100' "
                              "and 细目编号<>'102-1'"))
            .toLongLong();
    EXPECT_EQ(lines("memo2"), QStringList{QString::number(expected)});
    EXPECT_EQ(lines("memo5"), (QStringList{QString(), QStringLiteral("   清单 第100章 合计 人民币 ")}));
    EXPECT_EQ(lines("memo1"), QStringList{QStringLiteral("A1合同段：K0+000~K12+500")});

    // hj and dj come rounded by the store, as the template reads them.
    const Query& q = m_context->gcl_ADOQuery;
    EXPECT_EQ(q.columns().mid(0, 2), (QStringList{"hj", "dj"}));
    EXPECT_TRUE(q.columns().contains(QStringLiteral("细目名称")));
}

TEST_F(ReportB, PrintedFiguresAreTheStoredOnesByTheSameRounding) {
    // Amounts the owner stored with a fraction: the form shows what RoundAmount makes of them,
    // as every whole-yuan figure of the program; prices round as the grid shows them.
    exec(QStringLiteral("update jd_htqd set 合同金额=-2.5, 合同单价=2.675 where 合同编号='A1' and 细目编号='102-1'"));
    exec(QStringLiteral("update jd_htqd set 合同金额=1234.5, 合同单价=1.005 where 合同编号='A1' and 细目编号='102-2'"));
    BoqChapterReport request(*m_context);
    ASSERT_TRUE(request.build(QStringLiteral("100")));
    const QString dump = report::TextDump(m_context->prepare());
    EXPECT_TRUE(dump.contains(QStringLiteral("| 2.68 | -2\n"))) << dump.toStdString();
    EXPECT_TRUE(dump.contains(QStringLiteral("| 1.01 | 1235\n"))) << dump.toStdString();
}

TEST_F(ReportB, ChapterWithoutLinesIsRefusedAfterStoringTheInsurance) {
    exec(QStringLiteral("update jd_htqd set 合同金额=1, 合同单价=1 where 合同编号='A1' and 细目编号='101-1-a'"));
    BoqChapterReport request(*m_context);
    EXPECT_EQ(request.build(QStringLiteral("800")).refusal, QStringLiteral("没有纪录"));
    EXPECT_NE(insurance("合同金额").toLongLong(), 1);
}

TEST_F(ReportB, ChaptersAreListedOnceInNaturalOrderAndEmptyChaptersMakeNone) {
    exec(QStringLiteral("insert into jd_htqd (合同编号, 章, 细目编号, 细目名称) values ('A1', '', '999-1', '无章')"));
    exec(QStringLiteral("insert into jd_htqd (合同编号, 章, 细目编号, 细目名称) values ('A1', NULL, '999-2', '无章')"));
    BoqChapterReport request(*m_context);
    EXPECT_EQ(request.chapters(), (QStringList{"100", "200", "300", "400", "500", "600", "700"}));
    EXPECT_EQ(BoqChapterReport::chapterName(QStringLiteral("400")), QStringLiteral("桥梁、涵洞"));

    // A contract without a bill has no chapters; "确定" then finds no lines of the empty code.
    m_dm->session().CurContractID = QStringLiteral("B1");
    EXPECT_TRUE(request.chapters().isEmpty());
    EXPECT_EQ(request.build(QString()).refusal, QStringLiteral("没有纪录"));
}

TEST_F(ReportB, RepeatedRequestsEachCarryOneInsertedLine) {
    BoqChapterReport request(*m_context);
    ASSERT_TRUE(request.build(QStringLiteral("100")));
    const QString firstDump = report::TextDump(m_context->prepare());
    ASSERT_TRUE(request.build(QStringLiteral("200")));
    EXPECT_EQ(lines("memo5").size(), 2);
    EXPECT_EQ(lines("memo5").last(), QStringLiteral("   清单 第200章 合计 人民币 "));
    ASSERT_TRUE(request.build(QStringLiteral("100")));
    EXPECT_EQ(lines("memo1").size(), 1);
    EXPECT_EQ(report::TextDump(m_context->prepare()), firstDump);
}

TEST_F(ReportB, WorksWithoutAnInsuranceLine) {
    exec(QStringLiteral("delete from jd_htqd where 细目编号='101-1-a'"));
    BoqChapterReport request(*m_context);
    ASSERT_TRUE(request.build(QStringLiteral("100")));
    EXPECT_FALSE(items().contains(QStringLiteral("101-1-a")));
    EXPECT_EQ(m_context->prepare().pageCount(), 1);
}

TEST_F(ReportB, StoreErrorShowsTheOneMessageAndAbandons) {
    exec(QStringLiteral("alter table jd_htqd rename to jd_htqd_old"));
    BoqChapterReport request(*m_context);
    EXPECT_THROW(request.chapters(), StatementError);
}

struct TemplateFault {
    const char* content; // null: no file at all
    const char* expected;
};

class ReportBTemplateFaults : public ReportB, public testing::WithParamInterface<TemplateFault> {};

TEST_P(ReportBTemplateFaults, AreReportedByNameBeforeAnythingChanges) {
    QTemporaryDir program;
    ASSERT_TRUE(QDir(program.path()).mkpath(QStringLiteral("Report")));
    if (GetParam().content) {
        QFile file(program.filePath(QStringLiteral("Report/gclqd.xml")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(GetParam().content);
    }
    exec(QStringLiteral("update jd_htqd set 合同金额=7 where 合同编号='A1' and 细目编号='101-1-a'"));
    ReportContext context(*m_dm, program.path());
    BoqChapterReport request(context);
    QString message;
    try {
        request.build(QStringLiteral("100"));
        ADD_FAILURE() << "a template fault ends the request";
    } catch (const Error& e) {
        message = e.text();
    }
    EXPECT_TRUE(message.contains(QString::fromUtf8(GetParam().expected))) << message.toStdString();
    EXPECT_TRUE(message.contains(QDir::toNativeSeparators(program.filePath(QStringLiteral("Report/gclqd.xml")))));
    EXPECT_EQ(insurance("合同金额").toLongLong(), 7);
}

INSTANTIATE_TEST_SUITE_P(ReportB, ReportBTemplateFaults,
                         testing::Values(TemplateFault{nullptr, "找不到报表模板文件"},
                                         TemplateFault{"<report><page>", "第 1 行"},
                                         TemplateFault{R"(<report><font id="default" families="AR PL UMing CN"/><page>
                        <band kind="title" height="9"><memo name="memo1" width="9" height="9"/>
                        <memo name="memo2" width="9" height="9"/></band></page></report>)",
                                                       "memo5"}));

TEST_F(ReportB, TemplatesAreFoundBesideTheProgramWhateverTheWorkingDirectory) {
    QTemporaryDir elsewhere;
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    BoqChapterReport request(*m_context);
    const bool built = request.build(QStringLiteral("100")).ok();
    QDir::setCurrent(before);
    EXPECT_TRUE(built);
}

TEST_F(ReportB, PdfCarriesTheFiguresAsExtractableTextInEmbeddedFonts) {
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    const QString pdffonts = QStandardPaths::findExecutable(QStringLiteral("pdffonts"));
    if (pdftotext.isEmpty() || pdffonts.isEmpty())
        GTEST_SKIP() << "poppler-utils is not installed";
    BoqChapterReport request(*m_context);
    ASSERT_TRUE(request.build(QStringLiteral("100")));
    const report::RenderedDocument doc = m_context->prepare();
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("b.pdf"));
    report::WritePdf(doc, pdf);

    QProcess text;
    text.start(pdftotext, {pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString extracted = QString::fromUtf8(text.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
    auto nfkc = [](const QString& s) { return s.normalized(QString::NormalizationForm_KC); };
    const QString total = lines("memo2").first();
    for (const QString& expected :
         {nfkc(QStringLiteral("A1合同段：K0+000~K12+500")), QStringLiteral("清单 第100章 合计 人民币"), total,
          QStringLiteral("101-1-a"), nfkc(QStringLiteral("临时道路修建、养护与拆除")), QStringLiteral("子目名称"),
          QStringLiteral("第 1 页")})
        EXPECT_TRUE(extracted.contains(expected)) << expected.toStdString() << "\n" << extracted.toStdString();

    QProcess fonts;
    fonts.start(pdffonts, {pdf});
    ASSERT_TRUE(fonts.waitForFinished(30000));
    const QStringList rows = QString::fromUtf8(fonts.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts).mid(2);
    ASSERT_FALSE(rows.isEmpty());
    for (const QString& row : rows) {
        EXPECT_FALSE(row.contains(QStringLiteral("Noto"))) << row.toStdString();
        EXPECT_TRUE(row.contains(QStringLiteral(" yes "))) << "not embedded: " << row.toStdString();
    }
}

// The report engine: templates, filling, pagination, number formats, the prepared-report file.
#include "data/Money.h"
#include "report_engine/PreparedReportFile.h"
#include "report_engine/Report.h"
#include "report_engine/ReportLayout.h"
#include "reports/ReportTexts.h"

#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tenvora;
using namespace tenvora::report;

namespace {

// A 100 x 100 mm page with 10 mm margins: 80 mm of body, of which header, column header and
// footer take 30, leaving 50 mm, exactly five 10 mm rows.
QByteArray pagedTemplate(const QString& dataMemo = QStringLiteral("<line>[no]</line>"), bool summary = true) {
    QString xml = QStringLiteral(R"(<report title="测试">
  <font id="default" families="宋体, SimSun, AR PL UMing CN" size="10"/>
  <page width="100" height="100" margins="10 10 10 10">
    <band kind="page-header" height="10"><memo name="Memo1" width="80" height="10"><line>表头</line></memo></band>
    <band kind="column-header" height="10"><memo width="80" height="10" border="all"><line>栏目</line></memo></band>
    <band kind="data" dataset="Rows" height="10"><memo width="40" height="10" border="all">%1</memo>
      <memo name="text" x="40" width="40" height="10" wrap="true" grow="true"><line>[text]</line></memo></band>
    %2
    <band kind="page-footer" height="10"><memo width="80" height="10"><line>第 [PAGE] 页 共 [PAGES] 页</line></memo></band>
  </page>
</report>)");
    const QString summaryBand = summary ? QStringLiteral(R"(<band kind="summary" height="10">
      <memo name="memo5" width="80" height="10"><line>合计</line></memo></band>)")
                                        : QString();
    return xml.arg(dataMemo, summaryBand).toUtf8();
}

TableDataSource rows(int count, const QString& text = QString()) {
    TableDataSource source({QStringLiteral("no"), QStringLiteral("text")});
    for (int i = 1; i <= count; ++i)
        source.addRow({QStringLiteral("行%1").arg(i), text});
    return source;
}

RenderedDocument layout(const QByteArray& xml, const ReportDataSource& source) {
    TextMeasure measure;
    return LayoutReport(ParseTemplate(xml, QStringLiteral("test.xml")), {{QStringLiteral("rows"), &source}}, measure);
}

int dataRowsOn(const RenderedPage& page) {
    int n = 0;
    for (const QString& row : PageTextRows(page))
        n += row.startsWith(QStringLiteral("行")) ? 1 : 0;
    return n;
}

} // namespace

struct PaginationCase {
    int rows;
    QList<int> rowsPerPage;
};

class Pagination : public testing::TestWithParam<PaginationCase> {};

TEST_P(Pagination, RowsHeaderSummaryAndPageNumbers) {
    const PaginationCase& c = GetParam();
    const TableDataSource source = rows(c.rows);
    const RenderedDocument doc = layout(pagedTemplate(), source);
    ASSERT_EQ(doc.pageCount(), c.rowsPerPage.size());
    for (int p = 0; p < doc.pageCount(); ++p) {
        const QStringList text = PageTextRows(doc.pages[p]);
        SCOPED_TRACE(TextDump(doc).toStdString());
        EXPECT_EQ(dataRowsOn(doc.pages[p]), c.rowsPerPage[p]);
        EXPECT_EQ(text.value(0), QStringLiteral("表头"));
        EXPECT_EQ(text.value(1), QStringLiteral("栏目"));
        EXPECT_EQ(text.last(), QStringLiteral("第 %1 页 共 %2 页").arg(p + 1).arg(doc.pageCount()));
        const bool last = p == doc.pageCount() - 1;
        EXPECT_EQ(text.contains(QStringLiteral("合计")), last);
        if (last && c.rows > 0) { // the summary never stands alone: the last row comes with it
            EXPECT_EQ(text.value(text.size() - 3), QStringLiteral("行%1").arg(c.rows));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ReportEngine, Pagination,
                         testing::Values(PaginationCase{0, {0}}, PaginationCase{1, {1}}, PaginationCase{4, {4}},
                                         PaginationCase{5, {4, 1}}, PaginationCase{9, {5, 4}},
                                         PaginationCase{10, {5, 4, 1}}, PaginationCase{11, {5, 5, 1}}));

TEST(ReportEngine, ExactFitWithoutSummaryMakesNoEmptyPage) {
    const TableDataSource source = rows(10);
    const RenderedDocument doc = layout(pagedTemplate(QStringLiteral("<line>[no]</line>"), false), source);
    ASSERT_EQ(doc.pageCount(), 2);
    EXPECT_EQ(dataRowsOn(doc.pages[0]), 5);
    EXPECT_EQ(dataRowsOn(doc.pages[1]), 5);
}

TEST(ReportEngine, LongTextWrapsGrowsItsRowAndIsNeverSplit) {
    const QString text = QStringLiteral("沥青混凝土路面施工包括透层、粘层与封层的全部工作内容以及养护和交通管制");
    const TableDataSource source = rows(12, text);
    const RenderedDocument doc = layout(pagedTemplate(), source);
    int total = 0;
    for (const RenderedPage& page : doc.pages) {
        for (const TextBox& box : page.texts) {
            if (box.runs.isEmpty() || box.runs.first().text != text.left(box.runs.first().text.size()) ||
                box.runs.size() < 2)
                continue;
            ++total;
            // Every line fits the 38 mm inside the cell, and the cell grew to hold them all.
            for (const TextRun& run : box.runs)
                EXPECT_LE(run.width, 38.0 + 1e-6);
            EXPECT_GT(box.clip.height(), 10.0);
            EXPECT_FALSE(box.overflows);
            EXPECT_LE(box.clip.bottom(), 80.0 + 1e-6) << "the row crosses into the footer";
            QString joined;
            for (const TextRun& run : box.runs)
                joined += run.text;
            EXPECT_EQ(joined, text);
        }
        EXPECT_LT(dataRowsOn(page), 5);
    }
    EXPECT_EQ(total, 12);
}

TEST(ReportEngine, NumberCellsFormatAlignAndBlankZero) {
    const QByteArray xml =
        pagedTemplate(QStringLiteral("<line>[no]</line>"))
            .replace("<line>[text]</line>",
                     "<line>[text]</line></memo><memo x=\"40\" width=\"40\" height=\"10\" align=\"right\" "
                     "format=\"#,##0.00\" blank-zero=\"true\" padding=\"1\"><line>[amount]</line>");
    TableDataSource source({QStringLiteral("no"), QStringLiteral("text"), QStringLiteral("amount")});
    source.addRow({QStringLiteral("行1"), QString(), 1234567.5});
    source.addRow({QStringLiteral("行2"), QString(), 0.0});
    source.addRow({QStringLiteral("行3"), QString(), QVariant()});
    source.addRow({QStringLiteral("行4"), QString(), QStringLiteral("2.675")});
    const RenderedDocument doc = layout(xml, source);
    const QStringList text = PageTextRows(doc.pages[0]);
    EXPECT_TRUE(text.contains(QStringLiteral("行1 | 1,234,567.50")));
    EXPECT_TRUE(text.contains(QStringLiteral("行2")));
    EXPECT_TRUE(text.contains(QStringLiteral("行3")));
    EXPECT_TRUE(text.contains(QStringLiteral("行4 | 2.68"))) << text.join('\n').toStdString();
    for (const TextBox& box : doc.pages[0].texts)
        for (const TextRun& run : box.runs)
            if (run.text.contains(QLatin1Char(','))) {
                EXPECT_NEAR(run.origin.x() + run.width, 10 + 80 - 1, 1e-6) << "right edge less the padding";
            }
}

TEST(ReportEngine, InsertedLinesAreLiteralAndTemplatePlaceholdersAreNot) {
    Report report;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.xml"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(pagedTemplate());
    file.close();
    ASSERT_TRUE(report.LoadTemplate(path));
    ReportObject* memo = report.FindReportObject(QStringLiteral("MEMO5"));
    ASSERT_NE(memo, nullptr);
    memo->insertLine(1, QStringLiteral("A[1]合同段"));
    memo->insertLine(0, QStringLiteral("首"));
    memo->insertLine(99, QStringLiteral("尾"));
    EXPECT_EQ(memo->lineTexts(), (QStringList{"首", "合计", "A[1]合同段", "尾"}));
    const TableDataSource source = rows(1);
    report.bindDataSet(QStringLiteral("ROWS"), &source);
    EXPECT_TRUE(TextDump(report.prepare()).contains(QStringLiteral("首 / 合计 / A[1]合同段")));

    // Loading again starts from the template's own lines.
    ASSERT_TRUE(report.LoadTemplate(path));
    EXPECT_EQ(report.FindReportObject(QStringLiteral("memo5"))->lineTexts(), QStringList{"合计"});
    EXPECT_FALSE(report.LoadTemplate(dir.filePath(QStringLiteral("missing.xml"))));
    EXPECT_FALSE(report.isLoaded());
    EXPECT_EQ(report.FindReportObject(QStringLiteral("memo5")), nullptr);
}

TEST(ReportEngine, FindReportObjectTakesTheFirstPageFirst) {
    const QByteArray xml = R"(<report><font id="default" families="AR PL UMing CN"/>
      <page><band kind="title" height="10"><memo width="10" height="5"/><memo name="memo2" width="10" height="5"><line>一</line></memo></band></page>
      <page><band kind="title" height="10"><memo name="Memo2" width="10" height="5"><line>二</line></memo></band></page>
    </report>)";
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("p.xml")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(xml);
    file.close();
    Report report;
    ASSERT_TRUE(report.LoadTemplate(file.fileName()));
    EXPECT_EQ(report.FindReportObject(QStringLiteral("MEMO2"))->lineTexts(), QStringList{"一"});
    EXPECT_EQ(report.namedObjects().size(), 1);
    EXPECT_EQ(report.prepare().pageCount(), 2);
}

struct BadTemplate {
    const char* xml;
    const char* expected;
};

class TemplateErrors : public testing::TestWithParam<BadTemplate> {};

TEST_P(TemplateErrors, NameTheFileAndThePlace) {
    try {
        ParseTemplate(QByteArray(GetParam().xml), QStringLiteral("/tmp/Report/bad.xml"));
        FAIL() << "accepted";
    } catch (const TemplateError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("/tmp/Report/bad.xml"))) << e.text().toStdString();
        EXPECT_TRUE(e.text().contains(QStringLiteral("行"))) << e.text().toStdString();
        EXPECT_TRUE(e.text().contains(QString::fromUtf8(GetParam().expected))) << e.text().toStdString();
    }
}

#define FONT R"(<font id="default" families="AR PL UMing CN"/>)"
INSTANTIATE_TEST_SUITE_P(
    ReportEngine, TemplateErrors,
    testing::Values(BadTemplate{"<report><page>", "第 1 行"}, BadTemplate{"<reprot/>", "<report>"},
                    BadTemplate{"<report>" FONT "</report>", "没有 <page>"},
                    BadTemplate{"<report>" FONT "<page><band kind=\"data\" height=\"5\"/></page></report>", "dataset"},
                    BadTemplate{"<report>" FONT "<page><band kind=\"head\" height=\"5\"/></page></report>", "head"},
                    BadTemplate{"<report>" FONT "<page><band kind=\"title\"/></page></report>", "height"},
                    BadTemplate{"<report>" FONT "<page><band kind=\"title\" height=\"5\">\n<memo width=\"5\" "
                                "height=\"5\" colour=\"red\"/></band></page></report>",
                                "第 2 行"},
                    BadTemplate{"<report>" FONT "<page><band kind=\"title\" height=\"5\"><memo width=\"5\" "
                                "height=\"5\" format=\"0,00\"/></band></page></report>",
                                "0,00"},
                    BadTemplate{"<report>" FONT "<page><band kind=\"title\" height=\"5\"><memo width=\"5\" "
                                "height=\"5\" font=\"bold\"/></band></page></report>",
                                "bold"},
                    BadTemplate{"<report>" FONT "<page><band kind=\"title\" height=\"5\"><memo width=\"5\" "
                                "height=\"5\"><line>[hj]</line></memo></band></page></report>",
                                "[hj]"},
                    BadTemplate{"<report>" FONT "<page><band kind=\"data\" dataset=\"d\" height=\"5\"><memo "
                                "width=\"5\" height=\"5\"><line>[hj</line></memo></band></page></report>",
                                "[["},
                    BadTemplate{"<report>" FONT "<page margins=\"110 0 110 0\"/></report>", "页边距"}));
#undef FONT

TEST(ReportEngine, UnknownColumnAndUnboundDataSetAreNamed) {
    const TableDataSource source = rows(1);
    TextMeasure measure;
    const ReportTemplate tpl = ParseTemplate(pagedTemplate(QStringLiteral("<line>[细目编号]</line>")), "t.xml");
    try {
        LayoutReport(tpl, {{QStringLiteral("rows"), &source}}, measure);
        FAIL();
    } catch (const TemplateError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("[细目编号]"))) << e.text().toStdString();
    }
    try {
        LayoutReport(tpl, {}, measure);
        FAIL();
    } catch (const TemplateError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("Rows"))) << e.text().toStdString();
    }
}

TEST(ReportEngine, FontsResolveToTheNamedTrueTypeFaces) {
    FontSpec song{
        {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("AR PL UMing CN")}, 10, false, false};
    FontSpec hei{
        {QStringLiteral("黑体"), QStringLiteral("SimHei"), QStringLiteral("WenQuanYi Zen Hei")}, 18, true, false};
    for (const FontSpec& face : {song, hei})
        EXPECT_TRUE(face.families.contains(QFontInfo(MakeFont(face)).family()))
            << QFontInfo(MakeFont(face)).family().toStdString();
}

TEST(ReportEngine, PreparedReportRoundTripsAndRejectsDamage) {
    const TableDataSource source = rows(12, QStringLiteral("很长的说明文字会折行很长的说明文字会折行很长的说明"));
    const RenderedDocument doc = layout(pagedTemplate(), source);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.tvr"));
    SavePreparedReport(doc, path);
    const RenderedDocument back = LoadPreparedReport(path);
    EXPECT_EQ(back.pageCount(), doc.pageCount());
    EXPECT_EQ(TextDump(back), TextDump(doc));
    EXPECT_EQ(back.pages[1].rules.size(), doc.pages[1].rules.size());
    EXPECT_EQ(back.fonts.first().face, doc.fonts.first().face);

    QByteArray damaged = PreparedReportXml(doc);
    damaged.replace("font=\"0\"", "font=\"7\"");
    try {
        ParsePreparedReport(damaged, QStringLiteral("r.tvr"));
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("r.tvr"))) << e.text().toStdString();
    }
    EXPECT_THROW(LoadPreparedReport(dir.filePath(QStringLiteral("none.tvr"))), Error);
}

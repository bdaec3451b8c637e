// The report engine's figures bound by name, row numbers, and forms appended into one document.
#include "report_engine/Report.h"
#include "report_engine/ReportLayout.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tenvora;
using namespace tenvora::report;

namespace {

// Five 10 mm rows per 100 x 100 mm page; the summary row binds two figures by name.
QByteArray figureTemplate(const char* summaryLine = "合计 [=Total] / [=capital]") {
    return QStringLiteral(R"(<report title="测试">
  <font id="default" families="宋体, SimSun, AR PL UMing CN" size="10"/>
  <font id="bold" families="黑体, SimHei, WenQuanYi Zen Hei" size="10"/>
  <page width="100" height="100" margins="10 10 10 10">
    <band kind="page-header" height="10"><memo width="80" height="10"><line>表头 [=heading]</line></memo></band>
    <band kind="data" dataset="Rows" height="10"><memo width="20" height="10"><line>[ROW]</line></memo>
      <memo x="20" width="60" height="10"><line>[name]</line></memo></band>
    <band kind="summary" height="10"><memo font="bold" width="80" height="10"><line>%1</line></memo></band>
    <band kind="page-footer" height="10"><memo width="80" height="10"><line>第 [PAGE] 页 共 [PAGES] 页</line></memo></band>
  </page>
</report>)")
        .arg(QString::fromUtf8(summaryLine))
        .toUtf8();
}

TableDataSource names(int count) {
    const QString stems = QStringLiteral("甲乙丙丁戊己庚辛");
    TableDataSource source({QStringLiteral("name")});
    for (int i = 0; i < count; ++i)
        source.addRow({QStringLiteral("项") + stems.at(i)});
    return source;
}

QString writeTemplate(const QTemporaryDir& dir, const QByteArray& xml) {
    const QString path = dir.filePath(QStringLiteral("t.xml"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(xml);
    return path;
}

} // namespace

TEST(ReportFigures, AreBoundByNameInAnyBandAndForgottenWithTheTemplate) {
    QTemporaryDir dir;
    const QString path = writeTemplate(dir, figureTemplate());
    Report report;
    ASSERT_TRUE(report.LoadTemplate(path));
    const TableDataSource rows = names(2);
    report.bindDataSet(QStringLiteral("rows"), &rows);
    report.setFigure(QStringLiteral("heading"), QStringLiteral("A1合同段"));
    report.setFigure(QStringLiteral("total"), QStringLiteral("0"));
    report.setFigure(QStringLiteral("TOTAL"), QStringLiteral("5812345")); // replaces, letter case ignored
    report.setFigure(QStringLiteral("capital"), QStringLiteral("伍佰捌拾壹万贰仟叁佰肆拾伍元整"));
    EXPECT_EQ(report.figures().size(), 3);
    const QStringList text = PageTextRows(report.prepare().pages.first());
    EXPECT_EQ(text, (QStringList{"表头 A1合同段", "1 | 项甲", "2 | 项乙",
                                 "合计 5812345 / 伍佰捌拾壹万贰仟叁佰肆拾伍元整", "第 1 页 共 1 页"}));

    ASSERT_TRUE(report.LoadTemplate(path));
    EXPECT_TRUE(report.figures().isEmpty());
    try {
        report.prepare();
        FAIL() << "a figure the request did not give was printed as nothing";
    } catch (const TemplateError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("[=heading]"))) << e.text().toStdString();
    }
}

TEST(ReportFigures, RowNumbersCountAcrossPagesAndYieldToAColumnOfThatName) {
    TextMeasure measure;
    const ReportTemplate tpl = ParseTemplate(figureTemplate("合计"), QStringLiteral("t.xml"));
    const QHash<QString, QString> figures = {{QStringLiteral("heading"), QString()}};
    const TableDataSource rows = names(7);
    const RenderedDocument doc = LayoutReport(tpl, {{QStringLiteral("rows"), &rows}}, measure, figures);
    ASSERT_EQ(doc.pageCount(), 2);
    EXPECT_EQ(PageTextRows(doc.pages[1]).value(1), QStringLiteral("7 | 项庚"));

    TableDataSource own({QStringLiteral("ROW"), QStringLiteral("name")});
    own.addRow({QStringLiteral("第一"), QStringLiteral("项")});
    const RenderedDocument withColumn = LayoutReport(tpl, {{QStringLiteral("rows"), &own}}, measure, figures);
    EXPECT_EQ(PageTextRows(withColumn.pages[0]).value(1), QStringLiteral("第一 | 项"));
}

struct FigureSyntax {
    const char* line;
    bool accepted;
};

void PrintTo(const FigureSyntax& s, std::ostream* os) {
    *os << s.line;
}

class FigurePlaceholders : public testing::TestWithParam<FigureSyntax> {};

TEST_P(FigurePlaceholders, OutsideDataBands) {
    const QByteArray xml = QStringLiteral(R"(<report><font id="default" families="AR PL UMing CN"/><page>
      <band kind="title" height="10"><memo width="10" height="5"><line>%1</line></memo></band></page></report>)")
                               .arg(QString::fromUtf8(GetParam().line))
                               .toUtf8();
    if (GetParam().accepted)
        EXPECT_NO_THROW(ParseTemplate(xml, QStringLiteral("t.xml")));
    else
        EXPECT_THROW(ParseTemplate(xml, QStringLiteral("t.xml")), TemplateError);
}

INSTANTIATE_TEST_SUITE_P(ReportFigures, FigurePlaceholders,
                         testing::Values(FigureSyntax{"[=tbbj] 元", true}, FigureSyntax{"[ = tbbj ]", true},
                                         FigureSyntax{"[=]", false}, FigureSyntax{"[= ]", false},
                                         FigureSyntax{"[ROW]", false}, FigureSyntax{"[tbbj]", false}));

TEST(ReportFigures, AppendedFormsKeepTheirOwnPageNumbersAndFonts) {
    TextMeasure first;
    TextMeasure second; // another component: its font table is ordered differently
    const ReportTemplate tpl = ParseTemplate(figureTemplate("合计"), QStringLiteral("t.xml"));
    const QHash<QString, QString> figures = {{QStringLiteral("heading"), QStringLiteral("甲")}};
    const TableDataSource three = names(3);
    const TableDataSource seven = names(7);
    second.fontIndex(FontSpec{{QStringLiteral("WenQuanYi Zen Hei")}, 14, false, false});
    const RenderedDocument a = LayoutReport(tpl, {{QStringLiteral("rows"), &three}}, first, figures);
    const RenderedDocument b = LayoutReport(tpl, {{QStringLiteral("rows"), &seven}}, second, figures);

    RenderedDocument whole;
    AppendDocument(whole, a, QStringLiteral("甲表"));
    AppendDocument(whole, b, QStringLiteral("乙表"));
    ASSERT_EQ(whole.pageCount(), 3);
    ASSERT_EQ(whole.parts.size(), 2);
    EXPECT_EQ(whole.parts[1].title, QStringLiteral("乙表"));
    EXPECT_EQ(whole.parts[1].firstPage, 1);
    EXPECT_EQ(whole.parts[1].pageCount, 2);
    EXPECT_EQ(PageTextRows(whole.pages[0]).last(), QStringLiteral("第 1 页 共 1 页"));
    EXPECT_EQ(PageTextRows(whole.pages[2]).last(), QStringLiteral("第 2 页 共 2 页"));
    // Every box still names the face it was laid out in.
    for (int p = 0; p < whole.pageCount(); ++p) {
        const RenderedDocument& source = p == 0 ? a : b;
        const RenderedPage& original = source.pages[p == 0 ? 0 : p - 1];
        ASSERT_EQ(whole.pages[p].texts.size(), original.texts.size());
        for (int i = 0; i < original.texts.size(); ++i)
            EXPECT_EQ(whole.fonts[whole.pages[p].texts[i].font].face, source.fonts[original.texts[i].font].face);
    }
}

// Group bands of the report engine: a header before each run of rows with one value in the group
// column (printed again on a sheet the run goes on to), a footer after its last row.
#include "report_engine/ReportLayout.h"

#include <gtest/gtest.h>

using namespace tenvora;
using namespace tenvora::report;

namespace {

// 100 mm high, 10 mm margins, page header and footer 10 each: 60 mm of body for 10 mm rows.
QByteArray groupedTemplate(const QString& bands) {
    return QStringLiteral(R"(<report title="分组">
  <font id="default" families="宋体, SimSun, AR PL UMing CN" size="10"/>
  <page width="100" height="100" margins="10 10 10 10">
    <band kind="page-header" height="10"><memo width="80" height="10"><line>表头</line></memo></band>
    %1
    <band kind="data" dataset="Rows" height="10"><memo width="80" height="10"><line>[no]</line></memo></band>
    <band kind="page-footer" height="10"><memo width="80" height="10"><line>第 [PAGE] 页</line></memo></band>
  </page>
</report>)")
        .arg(bands)
        .toUtf8();
}

const QString kBands = QStringLiteral(
    R"(<band kind="group-header" group="g" height="10"><memo width="80" height="10"><line>组 [g] 起</line></memo></band>
    <band kind="group-footer" group="g" height="10"><memo width="80" height="10"><line>组 [g] 止 [no]</line></memo></band>)");

QStringList dump(const QByteArray& xml, const std::vector<std::pair<QString, QString>>& data) {
    TableDataSource source({QStringLiteral("g"), QStringLiteral("no")});
    for (const auto& [group, no] : data)
        source.addRow({group, no});
    TextMeasure measure;
    const RenderedDocument doc =
        LayoutReport(ParseTemplate(xml, QStringLiteral("g.xml")), {{QStringLiteral("rows"), &source}}, measure);
    return TextDump(doc).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

TEST(ReportGroups, HeaderAndFooterFrameEachRun) {
    const QStringList rows = dump(groupedTemplate(kBands), {{QStringLiteral("A"), QStringLiteral("1")},
                                                            {QStringLiteral("A"), QStringLiteral("2")},
                                                            {QStringLiteral("B"), QStringLiteral("3")}});
    // Run B's header and its one row would end page 1 without the footer: they go over together.
    EXPECT_EQ(rows, (QStringList{QStringLiteral("--- 第 1 页 ---"), QStringLiteral("表头"), QStringLiteral("组 A 起"),
                                 QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("组 A 止 2"),
                                 QStringLiteral("第 1 页"), QStringLiteral("--- 第 2 页 ---"), QStringLiteral("表头"),
                                 QStringLiteral("组 B 起"), QStringLiteral("3"), QStringLiteral("组 B 止 3"),
                                 QStringLiteral("第 2 页")}))
        << rows.join('\n').toStdString();
}

TEST(ReportGroups, ARunGoingOnToASheetTakesItsHeaderAlong) {
    std::vector<std::pair<QString, QString>> data;
    for (int i = 1; i <= 8; ++i)
        data.emplace_back(QStringLiteral("A"), QString::number(i));
    const QStringList rows = dump(groupedTemplate(kBands), data);
    // Page 1: header and five rows; page 2: the header again, the last three rows and the footer.
    const qsizetype second = rows.indexOf(QStringLiteral("--- 第 2 页 ---"));
    ASSERT_GT(second, 0) << rows.join('\n').toStdString();
    EXPECT_EQ(rows.mid(1, 7),
              (QStringList{QStringLiteral("表头"), QStringLiteral("组 A 起"), QStringLiteral("1"), QStringLiteral("2"),
                           QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5")}));
    EXPECT_EQ(rows.mid(second + 1, 6),
              (QStringList{QStringLiteral("表头"), QStringLiteral("组 A 起"), QStringLiteral("6"), QStringLiteral("7"),
                           QStringLiteral("8"), QStringLiteral("组 A 止 8")}));
}

TEST(ReportGroups, AHeaderNeverEndsASheetAlone) {
    // Five rows fill the body but one: the next run's header goes over with its first row.
    std::vector<std::pair<QString, QString>> data;
    for (int i = 1; i <= 4; ++i)
        data.emplace_back(QStringLiteral("A"), QString::number(i));
    data.emplace_back(QStringLiteral("B"), QStringLiteral("5"));
    const QByteArray xml = groupedTemplate(QStringLiteral(
        R"(<band kind="group-header" group="g" height="10"><memo width="80" height="10"><line>组 [g] 起</line></memo></band>)"));
    const QStringList rows = dump(xml, data);
    const qsizetype second = rows.indexOf(QStringLiteral("--- 第 2 页 ---"));
    ASSERT_GT(second, 0) << rows.join('\n').toStdString();
    EXPECT_EQ(rows.mid(second + 1, 3),
              (QStringList{QStringLiteral("表头"), QStringLiteral("组 B 起"), QStringLiteral("5")}));
}

TEST(ReportGroups, TemplateFaultsAreNamed) {
    EXPECT_THROW(ParseTemplate(groupedTemplate(QStringLiteral(
                                   R"(<band kind="group-header" height="10"><memo width="80" height="10"/></band>)")),
                               QStringLiteral("g.xml")),
                 TemplateError);
    const QByteArray unknownColumn = groupedTemplate(
        QStringLiteral(R"(<band kind="group-footer" group="nope" height="10"><memo width="80" height="10"/></band>)"));
    try {
        dump(unknownColumn, {{QStringLiteral("A"), QStringLiteral("1")}});
        ADD_FAILURE() << "a group column the data set lacks";
    } catch (const TemplateError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("nope"))) << e.text().toStdString();
    }
}

} // namespace

// Reports C, D, E, the day-work tables, the all-chapter summary and the whole bid set, on demo
// data files whose bill is replaced where a case needs its own figures.
#include "ReportTest.h"
#include "boq/AmountRules.h"
#include "data/Money.h"
#include "report_engine/RenderedDocument.h"
#include "reports/BidSet.h"
#include "reports/BoqChapterReport.h"
#include "reports/BoqSummaryReport.h"
#include "reports/DayworkReports.h"
#include "reports/ProvisionalSumsReport.h"
#include "support/TestSupport.h"

#include <QMap>
#include <gtest/gtest.h>

using namespace tenvora;

namespace {

struct Line {
    const char* chapter;
    const char* item;
    const char* unit;
    QVariant amount;
};

class BidReports : public test::ReportTest {
protected:
    QString line(const char* object) { return lines(object).value(0); }

    // Replaces contract A1's bill and day work.
    void bill(const QList<Line>& rows) {
        exec(QStringLiteral("delete from jd_htqd where 合同编号='A1'"));
        for (const Line& l : rows)
            exec(QStringLiteral("insert into jd_htqd (合同编号, 章, 细目编号, 细目名称, 单位, 合同金额) "
                                "values ('A1', ?, ?, '子目', ?, ?)"),
                 {l.chapter, l.item, QString::fromUtf8(l.unit), l.amount});
    }
    void daywork(const QList<std::pair<const char*, double>>& totals) {
        exec(QStringLiteral("delete from Jl_ContractList where ContractID='A1'"));
        int code = 0;
        for (const auto& [schedule, total] : totals)
            exec(QStringLiteral("insert into Jl_ContractList (ID, ContractID, bz, ItemCode, ItemName, Amount, "
                                "UnitPrice, TotalMoney) values ('A1', 'A1', ?, ?, '项', 1, ?, ?)"),
                 {schedule, QString::number(++code), total, total});
    }
};

struct SummaryCase {
    const char* name;
    QList<Line> bill;
    QList<std::pair<const char*, double>> daywork;
    QMap<QString, QString> printed; // object -> the line inserted into it
};

class ReportE : public BidReports, public testing::WithParamInterface<SummaryCase> {};

} // namespace

TEST_P(ReportE, PrintsEveryFigureAsComputedFromTheTextsBefore) {
    bill(GetParam().bill);
    daywork(GetParam().daywork);
    BoqSummaryReport request(*m_context);
    ASSERT_TRUE(request.build());
    for (auto it = GetParam().printed.cbegin(); it != GetParam().printed.cend(); ++it)
        EXPECT_EQ(lines(qPrintable(it.key())), QStringList{it.value()}) << it.key().toStdString();
    EXPECT_EQ(line("memo2"), QStringLiteral("A1合同段：K0+000~K12+500"));
}

INSTANTIATE_TEST_SUITE_P(
    BidReports, ReportE,
    testing::Values(
        // Chapter lines carry stored totals that no figure may count.
        SummaryCase{"ChapterTotalsProvisionalSumsAndDayWork",
                    {{"100", "100", "", 999999},
                     {"100", "102-1", "总额", 100000},
                     {"300", "300", "", 888888},
                     {"300", "304-1-a", "m2", 4700000},
                     {"300", "305-1", "暂定金总额", 300000},
                     {"600", "600", "", 777},
                     {"600", "602-3-a", "m", 200000}},
                    {{"1", 12345}},
                    {{"memo41", "100000"},
                     {"memo47", "5000000"},
                     {"memo43", "200000"},
                     {"memo48", "5300000"},
                     {"memo49", "300000"},
                     {"memo50", "5000000"},
                     {"memo51", "12345"},
                     {"memo52", "500000"},
                     {"memo53", "5812345"},
                     {"dxje", "伍佰捌拾壹万贰仟叁佰肆拾伍元整"}}},
        SummaryCase{"TheTenthKeepsItsDecimalAndAddsRounded",
                    {{"100", "102-1", "总额", 1234567}},
                    {},
                    {{"memo48", "1234567"},
                     {"memo49", "0"},
                     {"memo50", "1234567"},
                     {"memo51", "0"},
                     {"memo52", "123456.7"},
                     {"memo53", "1358024"}}},
        SummaryCase{
            "Chapter200CountsOnlyThroughProvisionalSums",
            {{"100", "102-1", "总额", 1000}, {"200", "202-1-a", "m2", 50000}, {"200", "209-1", "暂定金总额", 400}},
            {},
            {{"memo48", "1000"}, {"memo49", "400"}, {"memo50", "600"}, {"memo52", "60"}, {"memo53", "1060"}}},
        SummaryCase{
            "ShortItemNumbersCountOutsideChapter100",
            {{"100", "101", "", 50}, {"100", "102-1", "总额", 1000}, {"300", "301", "", 70}, {"600", "601", "", 30}},
            {},
            {{"memo41", "1000"}, {"memo47", "70"}, {"memo43", "30"}, {"memo48", "1100"}}},
        // Chapters 100 and 300 enter the BoQ total unrounded, 600 rounded; the grand total adds
        // the rounded BoQ total and the rounded tenth.
        SummaryCase{"UnroundedChaptersAndRoundedGrandTotal",
                    {{"100", "102-1", "总额", 100.4}, {"300", "304-1-a", "m2", 200.3}, {"600", "602-1", "m", 50.5}},
                    {{"2", 9.5}},
                    {{"memo41", "100"},
                     {"memo47", "200"},
                     {"memo43", "51"},
                     {"memo48", "351.7"},
                     {"memo50", "351.7"},
                     {"memo51", "10"},
                     {"memo52", "35.17"},
                     {"memo53", "397"},
                     {"dxje", "叁佰玖拾柒元整"}}}),
    [](const testing::TestParamInfo<SummaryCase>& param) { return std::string(param.param.name); });

TEST_F(BidReports, ReportEAndTheSummaryAreRefusedWithoutAContract) {
    m_dm->session().CurContractID.clear();
    BoqSummaryReport e(*m_context);
    AllChapterSummaryReport all(*m_context);
    EXPECT_EQ(e.build().refusal, QStringLiteral("请先选择合同"));
    EXPECT_EQ(all.build().refusal, QStringLiteral("请先选择合同"));
    EXPECT_FALSE(m_context->Report1.isLoaded()) << "no template is loaded before the refusal";
}

TEST_F(BidReports, TheAllChapterSummaryPrintsReportBsChapterTotals) {
    // A remark takes a line out of B's printed total; the summary must follow B, not the stored total.
    exec(QStringLiteral("update jd_htqd set bz='备' where 合同编号='A1' and 细目编号='203-1-a'"));
    exec(QStringLiteral("delete from jd_htqd where 合同编号='A1' and 章='700' and 细目编号<>'700'"));
    AllChapterSummaryReport all(*m_context);
    ASSERT_TRUE(all.build());
    const report::ReportDataSource* rows = m_context->dataSet(QString::fromLatin1(kReportDataSetHz), &all);
    ASSERT_NE(rows, nullptr);
    ASSERT_EQ(rows->rowCount(), 7);
    QMap<QString, QString> figures;
    for (const auto& [name, text] : m_context->Report1.figures())
        figures.insert(name, text);

    qint64 sum = 0;
    BoqChapterReport b(*m_context);
    for (int r = 0; r < rows->rowCount(); ++r) {
        const QString chapter = rows->value(r, 1).toString();
        const qint64 printed = rows->value(r, 3).toLongLong();
        sum += printed;
        if (b.build(chapter))
            EXPECT_EQ(QString::number(printed), line("memo2")) << chapter.toStdString();
        else
            EXPECT_EQ(printed, 0) << chapter.toStdString();
    }
    EXPECT_EQ(rows->value(6, 2).toString(), QStringLiteral("绿化及环境保护"));
    const qint64 ps = 8300000;
    const qint64 dw = 714715;
    const qint64 tenth = RoundAmount((sum - ps) * 0.1);
    EXPECT_EQ(figures.value(QStringLiteral("qdhj")), QString::number(sum));
    EXPECT_EQ(figures.value(QStringLiteral("zdje")), QString::number(ps));
    EXPECT_EQ(figures.value(QStringLiteral("qdjz")), QString::number(sum - ps));
    EXPECT_EQ(figures.value(QStringLiteral("jrg")), QString::number(dw));
    EXPECT_EQ(figures.value(QStringLiteral("bkyj")), QString::number(tenth));
    EXPECT_EQ(figures.value(QStringLiteral("tbbj")), QString::number(sum + dw + tenth));
    EXPECT_TRUE(figures.value(QStringLiteral("tbbjdx")).endsWith(QStringLiteral("元整")));
}

TEST_F(BidReports, ReportCCopiesTheProvisionalSumsWithTheFixedDescriptions) {
    // Another unit under a reserved item number stays out; an empty amount is copied empty.
    exec(QStringLiteral("insert into jd_htqd (合同编号, 章, 细目编号, 细目名称, 单位, 合同金额) "
                        "values ('A1', '100', '103-6', '另一子目', '总额', 5)"));
    exec(QStringLiteral("update jd_htqd set 合同金额=NULL where 合同编号='A1' and 细目编号='401-1'"));
    ProvisionalSumsReport request(*m_context);
    ASSERT_TRUE(request.build());
    const Query& rows = m_context->zxzdj_ADOQuery;
    QStringList copied;
    for (int r = 0; r < rows.recordCount(); ++r)
        copied << rows.text(r, QStringLiteral("细目编号")) + QLatin1Char(' ') +
                      rows.text(r, QStringLiteral("细目名称")) + QLatin1Char(' ') +
                      DisplayText(rows.value(r, QStringLiteral("合同金额")), QString());
    EXPECT_EQ(copied, (QStringList{"102-3 计算机信息化管理系统 4500000", "103-6 地方道路使用维修 1500000",
                                   "401-1 桥梁荷载试验 ", "509-2 不良地质段处治 2000000"}));
    EXPECT_EQ(line("memo9"), QStringLiteral("8000000"));
    EXPECT_EQ(line("memo1"), QStringLiteral("A1合同段：K0+000~K12+500"));
    EXPECT_EQ(scalar(QStringLiteral("select 细目名称 from jd_htqd where 合同编号='A1' and 细目编号='102-3'")),
              QStringLiteral("安全生产费"));
    const QString dump = report::TextDump(request.prepare());
    EXPECT_TRUE(dump.contains(QStringLiteral("1 | 102-3 | 计算机信息化管理系统 | 4500000\n"))) << dump.toStdString();
}

TEST_F(BidReports, ReportCRefillsAsOneChangeAndPrintsAnEmptyFormWithoutProvisionalSums) {
    ProvisionalSumsReport request(*m_context);
    ASSERT_TRUE(request.build());
    exec(QStringLiteral("delete from jd_htqd where 合同编号='A2' and 细目编号='509-2'"));
    m_dm->session().CurContractID = QStringLiteral("A2");
    ASSERT_TRUE(request.build());
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from zdj")).toInt(), 3) << "only the second request's rows";

    // A copy that fails half-way leaves the copy before it.
    exec(QStringLiteral("create trigger refuse before insert on zdj when new.细目编号='401-1' "
                        "begin select raise(abort, 'refused'); end"));
    m_dm->session().CurContractID = QStringLiteral("A1");
    EXPECT_THROW(request.build(), StatementError);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from zdj")).toInt(), 3);

    m_dm->session().CurContractID = QStringLiteral("B1");
    ASSERT_TRUE(request.build());
    EXPECT_EQ(m_context->zxzdj_ADOQuery.recordCount(), 0);
    EXPECT_EQ(line("memo9"), QStringLiteral("0"));
    EXPECT_TRUE(report::TextDump(request.prepare()).contains(QStringLiteral("合    计 | 0\n")));
}

TEST_F(BidReports, DayWorkTablesPrintRawOrWholeTotalsAndDSumsThePrintedOnes) {
    daywork({{"1", 1234.5}, {"1", 0}, {"2", 1234.5}, {"3", 1000}, {"3", 234.5}});
    struct Expected {
        DayworkSchedule schedule;
        const char* total;
        const char* caption; // memo5, empty for the material template that has none to fill
        const char* title;   // memo8
    };
    const Expected tables[] = {
        {DayworkSchedule::Labour, "1234.5", "计日工劳务(转结计日工汇总表)", "计日工劳务单价表"},
        {DayworkSchedule::Material, "1235", "", ""},
        {DayworkSchedule::Machinery, "1234.5", "计日工施工机械小计(转结计日工汇总表)", "计日工施工机械单价表"},
    };
    for (const Expected& t : tables) {
        DayworkPriceTable request(*m_context, t.schedule);
        ASSERT_TRUE(request.build());
        SCOPED_TRACE(request.name().toStdString());
        EXPECT_EQ(m_context->templateName(), t.schedule == DayworkSchedule::Material
                                                 ? QStringLiteral("Report/jrglcldj.xml")
                                                 : QStringLiteral("Report/jrglwdj.xml"));
        EXPECT_EQ(line("memo2"), QString::fromUtf8(t.total));
        if (*t.caption) {
            EXPECT_EQ(lines("memo5"), QStringList{QString::fromUtf8(t.caption)});
            EXPECT_EQ(lines("memo8"), QStringList{QString::fromUtf8(t.title)});
        }
    }

    DayworkSummaryReport d(*m_context);
    ASSERT_TRUE(d.build());
    EXPECT_EQ(line("memo42"), QStringLiteral("1235"));
    EXPECT_EQ(line("memo47"), QStringLiteral("1235"));
    EXPECT_EQ(line("memo46"), QStringLiteral("1235"));
    EXPECT_EQ(line("memo48"), QStringLiteral("3705"));
    EXPECT_EQ(line("dxje"), QStringLiteral("叁仟柒佰零伍元整"));
    EXPECT_EQ(line("memo2"), QStringLiteral("A1合同段：K0+000~K12+500"));
}

TEST_F(BidReports, EmptySchedulesPrintZeroAndLargeTotalsAreNotWrapped) {
    daywork({{"2", 2000000000}, {"2", 2000000000}, {"3", 7}});
    DayworkPriceTable labour(*m_context, DayworkSchedule::Labour);
    ASSERT_TRUE(labour.build());
    EXPECT_EQ(m_context->ADOQuery_jrg.recordCount(), 0);
    EXPECT_EQ(line("memo2"), QStringLiteral("0"));

    DayworkSummaryReport d(*m_context);
    ASSERT_TRUE(d.build());
    EXPECT_EQ(line("memo42"), QStringLiteral("0"));
    EXPECT_EQ(line("memo47"), QStringLiteral("4000000000"));
    EXPECT_EQ(line("memo48"), QStringLiteral("4000000007"));
    EXPECT_EQ(line("dxje"), QStringLiteral("肆拾亿零柒元整"));
}

TEST_F(BidReports, TheWholeSetHoldsEveryFormWithItsOwnPagesBehindAContentsPage) {
    exec(QStringLiteral("delete from jd_htqd where 合同编号='A1' and 章='700' and 细目编号<>'700'"));
    exec(QStringLiteral("update jd_htqd set 合同金额=1, 合同单价=1 where 合同编号='A1' and 细目编号='101-1-a'"));
    const BidSet set = BuildBidSet(*m_context);
    ASSERT_TRUE(set.refusal.isEmpty());
    QStringList names;
    int pages = 0;
    for (const BidSetForm& form : set.forms) {
        names << form.name;
        pages += form.document.pageCount();
    }
    // The demo prices chapters E leaves out: E would carry another bid price, so it stays out.
    EXPECT_EQ(names, (QStringList{"summary", "B-100", "B-200", "B-300", "B-400", "B-500", "B-600", "C", "D", "labour",
                                  "material", "machinery"}));
    ASSERT_EQ(set.notes.size(), 1);
    EXPECT_TRUE(set.notes.first().contains(QStringLiteral("不含第 200 章、第 400 章、第 500 章")))
        << set.notes.first().toStdString();
    ASSERT_EQ(set.document.pageCount(), pages + 1);
    ASSERT_EQ(set.document.parts.size(), set.forms.size() + 1);

    // The insurance was stored before the bid-price form read chapter 100.
    const qint64 premium =
        scalar(QStringLiteral("select 合同金额 from jd_htqd where 合同编号='A1' and 细目编号='101-1-a'")).toLongLong();
    const ContractFigures now = ContractFigures::read(*m_dm, QStringLiteral("A1"));
    EXPECT_EQ(premium, now.insurance());
    EXPECT_TRUE(report::TextDump(set.forms[0].document)
                    .contains(QStringLiteral("| 100 | 总则 | ") + WholeYuanText(now.printedChapterTotal("100"))));

    // Each form keeps its own numbering inside the whole document, and the contents names its pages.
    for (int i = 1; i < set.document.parts.size(); ++i) {
        const report::DocumentPart& part = set.document.parts[i];
        EXPECT_EQ(part.title, set.forms[i - 1].title);
        EXPECT_EQ(report::PageTextRows(set.document.pages[part.firstPage]).last(),
                  QStringLiteral("第 1 页  共 %1 页").arg(part.pageCount));
        const QString range =
            part.pageCount > 1 ? QStringLiteral("%1～%2").arg(part.firstPage + 1).arg(part.firstPage + part.pageCount)
                               : QString::number(part.firstPage + 1);
        EXPECT_TRUE(
            report::PageTextRows(set.document.pages[0])
                .contains(QStringLiteral("%1 | %2 | %3 | %4").arg(i).arg(part.title, range).arg(part.pageCount)))
            << part.title.toStdString();
    }

    // The set's chapter forms are those report B prints on its own.
    exec(QStringLiteral("update jd_htqd set bz='备' where 合同编号='A1' and 细目编号='203-1-a'"));
    const BidSet again = BuildBidSet(*m_context);
    BoqChapterReport alone(*m_context, QStringLiteral("200"));
    ASSERT_TRUE(alone.build());
    EXPECT_EQ(report::TextDump(again.forms[2].document), report::TextDump(alone.prepare()));
}

TEST_F(BidReports, AContractOfTheChaptersEPrintsHasEInTheSetWithTheSameBidPrice) {
    exec(QStringLiteral("delete from jd_htqd where 合同编号='A1' and 章 in ('200', '400', '500', '700')"));
    const BidSet set = BuildBidSet(*m_context);
    ASSERT_FALSE(set.forms.isEmpty());
    EXPECT_EQ(set.forms.first().name, QStringLiteral("E"));
    EXPECT_TRUE(set.notes.isEmpty());
    const ContractFigures figures = ContractFigures::read(*m_dm, QStringLiteral("A1"));
    const QString price = WholeYuanText(figures.bidPriceForm().bidPrice);
    EXPECT_EQ(figures.reportE().grand, price);
    for (const int form : {0, 1})
        EXPECT_TRUE(report::TextDump(set.forms[form].document).contains(price)) << form;
}

TEST_F(BidReports, TheWholeSetIsRefusedWithoutAContractBeforeAnythingIsStored) {
    exec(QStringLiteral("update jd_htqd set 合同金额=1 where 细目编号='101-1-a'"));
    m_dm->session().CurContractID.clear();
    const BidSet set = BuildBidSet(*m_context);
    EXPECT_EQ(set.refusal, QStringLiteral("请先选择合同"));
    EXPECT_TRUE(set.forms.isEmpty());
    EXPECT_EQ(scalar(QStringLiteral("select sum(合同金额) from jd_htqd where 细目编号='101-1-a'")).toInt(), 2);
}

namespace {

class BidReportPages : public testing::TestWithParam<const char*> {};

TEST_P(BidReportPages, MatchTheCheckedInDump) {
    test::TempDataFile file(true);
    auto dm = file.open();
    dm->LoadCurrentContract();
    ReportContext context(*dm);
    const std::unique_ptr<ReportRequest> request = MakeReportRequest(context, QString::fromLatin1(GetParam()));
    ASSERT_NE(request, nullptr);
    ASSERT_TRUE(request->build());
    const QString diff = test::CompareWithGolden(QStringLiteral("report-%1-A1.txt").arg(request->name()),
                                                 report::TextDump(request->prepare()));
    EXPECT_TRUE(diff.isEmpty()) << diff.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Golden, BidReportPages,
                         testing::Values("C", "D", "E", "labour", "material", "machinery", "summary"));

} // namespace

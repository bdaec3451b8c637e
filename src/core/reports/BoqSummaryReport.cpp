#include "reports/BoqSummaryReport.h"

#include "boq/AmountRules.h"
#include "data/Money.h"
#include "reports/ChineseAmount.h"

namespace tenvora {

BuildResult BoqSummaryReport::build() {
    DataModule& dm = m_context.dm();
    const QString contract = dm.session().CurContractID;
    if (contract.isEmpty())
        return BuildResult::refused(QString::fromUtf8(kNoContractText));

    m_context.LoadTemplate(templateName());
    m_context.requireObjects({QStringLiteral("memo51"), QStringLiteral("memo41"), QStringLiteral("memo47"),
                              QStringLiteral("memo43"), QStringLiteral("memo48"), QStringLiteral("memo49"),
                              QStringLiteral("memo50"), QStringLiteral("memo52"), QStringLiteral("memo53"),
                              QStringLiteral("memo2"), QStringLiteral("dxje")});
    const BoqSummaryFigures e = contractFigures(ContractFigures::Parts::All).reportE();

    m_context.insertLine(QStringLiteral("memo51"), 0, e.dw);
    m_context.insertLine(QStringLiteral("memo41"), 0, e.t100);
    m_context.insertLine(QStringLiteral("memo47"), 0, e.t300);
    m_context.insertLine(QStringLiteral("memo43"), 0, e.t600);
    m_context.insertLine(QStringLiteral("memo48"), 0, e.total);
    m_context.insertLine(QStringLiteral("memo49"), 0, e.ps);
    m_context.insertLine(QStringLiteral("memo50"), 0, e.net);
    m_context.insertLine(QStringLiteral("memo52"), 0, e.tenth);
    m_context.insertLine(QStringLiteral("memo53"), 0, e.grand);
    m_context.insertLine(QStringLiteral("memo2"), 0, ContractHeading(dm.session()));
    m_context.insertLine(QStringLiteral("dxje"), 0, ChineseCapitalAmount(e.grand.toLongLong()));
    for (const auto& [figure, text] : e.named())
        m_context.Report1.setFigure(figure, text);
    return {};
}

AllChapterSummaryReport::AllChapterSummaryReport(ReportContext& context)
    : ReportRequest(context),
      m_rows({QStringLiteral("xh"), QStringLiteral("zh"), QStringLiteral("mc"), QStringLiteral("je")}) {}

QHash<QString, const report::ReportDataSource*> AllChapterSummaryReport::ownDataSets() const {
    return {{QString::fromLatin1(kReportDataSetHz), &m_rows}};
}

BuildResult AllChapterSummaryReport::build() {
    DataModule& dm = m_context.dm();
    const QString contract = dm.session().CurContractID;
    if (contract.isEmpty())
        return BuildResult::refused(QString::fromUtf8(kNoContractText));

    m_context.LoadTemplate(templateName());
    m_context.requireObjects({QStringLiteral("memo2")});
    // Its chapter rows are report B's totals, so it stores the insurance first as B does (the
    // whole set has stored it once already).
    const AllChapterFigures all = contractFigures(ContractFigures::Parts::All, true).bidPriceForm();

    m_rows = report::TableDataSource(m_rows.columns());
    for (int i = 0; i < all.chapters.size(); ++i) {
        const ChapterTotal& c = all.chapters[i];
        m_rows.addRow({i + 1, c.code, c.name, c.total});
    }
    // The rows after the chapters are numbered on from them, and their labels name the rows.
    const int first = static_cast<int>(all.chapters.size()) + 1;
    const auto row = [first](int offset) { return QString::number(first + offset); };
    const QList<QPair<QString, QString>> figures = {
        {QStringLiteral("xh_qdhj"), row(0)},
        {QStringLiteral("xh_zdje"), row(1)},
        {QStringLiteral("xh_qdjz"), row(2)},
        {QStringLiteral("xh_jrg"), row(3)},
        {QStringLiteral("xh_bkyj"), row(4)},
        {QStringLiteral("xh_tbbj"), row(5)},
        {QStringLiteral("mc_qdhj"), all.boqTotalLabel()},
        {QStringLiteral("mc_qdjz"), QStringLiteral("清单合计减去专项暂定金额（%1－%2）").arg(row(0), row(1))},
        {QStringLiteral("mc_bkyj"), QStringLiteral("不可预见费（%1×10%）").arg(row(2))},
        {QStringLiteral("mc_tbbj"), QStringLiteral("投标报价（%1＋%2＋%3）").arg(row(0), row(3), row(4))},
        {QStringLiteral("qdhj"), WholeYuanText(all.boqTotal)},
        {QStringLiteral("zdje"), WholeYuanText(all.provisionalSums)},
        {QStringLiteral("qdjz"), WholeYuanText(all.net)},
        {QStringLiteral("jrg"), WholeYuanText(all.daywork)},
        {QStringLiteral("bkyj"), WholeYuanText(all.tenth)},
        {QStringLiteral("tbbj"), WholeYuanText(all.bidPrice)},
        {QStringLiteral("tbbjdx"), ChineseCapitalAmount(all.bidPrice)},
    };
    for (const auto& [figure, text] : figures)
        m_context.Report1.setFigure(figure, text);
    m_context.insertLine(QStringLiteral("memo2"), 0, ContractHeading(dm.session()));
    return {};
}

} // namespace tenvora

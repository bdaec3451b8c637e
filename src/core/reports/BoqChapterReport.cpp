#include "reports/BoqChapterReport.h"

#include "boq/AmountRules.h"
#include "data/Money.h"

namespace tenvora {

BoqChapterReport::BoqChapterReport(ReportContext& context, QString chapter)
    : ReportRequest(context), m_chapter(std::move(chapter)) {}

QStringList BoqChapterReport::chapters() {
    return BoqTotals(m_context.dm()).chapters(m_context.dm().session().CurContractID);
}

QString BoqChapterReport::title() const {
    return QStringLiteral("B.工程量清单报表（第%1章）").arg(m_chapter);
}

QString BoqChapterReport::chapterCaption(const QString& chapter) {
    return QStringLiteral("   清单 第") + chapter + QStringLiteral("章 合计 人民币 ");
}

BuildResult BoqChapterReport::build(const QString& chapter) {
    m_chapter = chapter;
    return build();
}

BuildResult BoqChapterReport::build() {
    DataModule& dm = m_context.dm();
    const QString contract = dm.session().CurContractID;
    const QString& chapter = m_chapter;

    m_context.LoadTemplate(QString::fromLatin1(kTemplate));
    m_context.requireObjects({QStringLiteral("memo2"), QStringLiteral("memo5"), QStringLiteral("memo1")});

    const ContractFigures& figures = contractFigures(ContractFigures::Parts::Boq, true);

    dm.RunSql(
        m_context.gcl_ADOQuery,
        QStringLiteral("select RoundAmount(合同金额) as hj,RoundDecimals(合同单价,2) as dj, * from jd_htqd "
                       "where 合同编号=? and 章=? and 细目编号<>? order by nullif(bz, ''), 细目编号 collate ITEMNO"),
        {contract, chapter, chapter}, true);
    if (m_context.gcl_ADOQuery.isEmpty())
        return BuildResult::refused(QStringLiteral("没有纪录"));

    // Lines carrying a remark (bz) are listed but not totalled (the printed chapter total).
    m_context.insertLine(QStringLiteral("memo2"), 0, WholeYuanText(figures.printedChapterTotal(chapter)));
    m_context.insertLine(QStringLiteral("memo5"), 1, chapterCaption(chapter));
    m_context.insertLine(QStringLiteral("memo1"), 0, ContractHeading(dm.session()));
    return {};
}

} // namespace tenvora

#include "reports/UnitPriceAnalysisReport.h"

#include "boq/BoqLineRules.h"
#include "data/DataSet.h"
#include "data/Money.h"
#include "pricing/PricingStore.h"
#include "pricing/UnitPriceAnalysis.h"
#include "reports/BoqSummaryReport.h"

namespace tenvora {

namespace {

QString percentText(double percent) {
    return GeneralText(percent) + QLatin1Char('%');
}

} // namespace

UnitPriceAnalysisReport::UnitPriceAnalysisReport(ReportContext& context) : ReportRequest(context), m_rows(columns()) {}

QStringList UnitPriceAnalysisReport::columns() {
    return {QStringLiteral("xh"),   QStringLiteral("xmbh"), QStringLiteral("xmmc"), QStringLiteral("xmdw"),
            QStringLiteral("zhdj"), QStringLiteral("bh"),   QStringLiteral("mc"),   QStringLiteral("dw"),
            QStringLiteral("xhl"),  QStringLiteral("dj"),   QStringLiteral("hj")};
}

QHash<QString, const report::ReportDataSource*> UnitPriceAnalysisReport::ownDataSets() const {
    return {{QString::fromLatin1(kReportDataSetFx), &m_rows}};
}

BuildResult UnitPriceAnalysisReport::build() {
    DataModule& dm = m_context.dm();
    const QString contract = dm.session().CurContractID;
    m_rows = report::TableDataSource(columns());
    m_notes.clear();
    m_blocks = 0;
    if (contract.isEmpty())
        return BuildResult::refused(QString::fromUtf8(kNoContractText));

    const UnitPriceAnalysis analysis(dm, contract);
    m_context.LoadTemplate(templateName());
    m_context.requireObjects({QStringLiteral("memo1")});

    // The lines in the editor's order, chapter by chapter.
    QStringList mismatched;
    PricingStore::ForEachRow(
        dm.database(), QStringLiteral("读出单价分析的细目"),
        QStringLiteral("select 章, 细目编号, 细目名称, 单位, 合同数量, 合同单价 from jd_htqd where 合同编号=? and "
                       "是否补充=0 order by 章 collate ITEMNO, bz, 细目编号 collate ITEMNO"),
        {contract}, [&](const Statement& st) {
            const QString item = st.value(1).toString();
            if (!analysis.hasBuildUp(item) ||
                IsPriceLocked(st.value(4), item, st.value(3).toString(), st.value(0).toString()))
                return;
            const LineAnalysis a = analysis.analyse(item);
            if (!a.priced()) {
                m_notes << a.problem + QStringLiteral("，未列入单价分析表");
                return;
            }
            const QString price = a.total.text(2);
            if (!SameStoredValue(st.value(5), a.unitPrice()))
                mismatched << item;
            ++m_blocks;
            const QVariantList line{m_blocks, item, st.value(2).toString(), st.value(3).toString(), price};
            const auto add = [&](const QVariantList& cells) { m_rows.addRow(line + cells); };
            for (int k = 0; k < kResourceKinds; ++k) {
                const auto kind = static_cast<ResourceKind>(k);
                bool any = false;
                for (const AnalysedResource& r : a.resources) {
                    if (r.kind != kind)
                        continue;
                    any = true;
                    add({r.code, r.name, r.unit, GeneralText(r.consumption),
                         FormatNumber(r.price, QStringLiteral("0.00##")), r.amount.text(2)});
                }
                if (any)
                    add({QString(), QStringLiteral("%1费小计").arg(ResourceKindText(kind)), QString(), QString(),
                         QString(), a.byKind[static_cast<size_t>(k)].text(2)});
            }
            add({QString(), QStringLiteral("直接费"), QString(), QString(), QString(), a.direct.text(2)});
            for (const AnalysedFee& f : a.fees)
                add({QString(), QStringLiteral("%1（按%2）").arg(f.name, FeeBaseText(f.base)), QString(),
                     percentText(f.percent), f.baseAmount.text(2), f.amount.text(2)});
        });
    if (m_blocks == 0)
        return BuildResult::refused(QStringLiteral("当前合同段没有可以分析的细目：可录入单价的细目都还没有工料机组成"));
    if (!mismatched.isEmpty())
        m_notes.prepend(QStringLiteral("单价分析表中有 %1 个细目的综合单价与清单中的单价不同（%2%3）；"
                                       "要使二者一致，请把分析单价写入清单")
                            .arg(mismatched.size())
                            .arg(mismatched.mid(0, 5).join(QStringLiteral("、")),
                                 mismatched.size() > 5 ? QStringLiteral(" 等") : QString()));
    m_context.insertLine(QStringLiteral("memo1"), 0, ContractHeading(dm.session()));
    return {};
}

} // namespace tenvora

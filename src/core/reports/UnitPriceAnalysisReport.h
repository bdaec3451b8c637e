// "单价分析表": the unit-price analysis of every priceable main-bill line that has a build-up, one
// block per line (its resources with consumption, price and amount, the subtotal of each kind,
// the direct cost, each fee and the analysed unit price), the figures exact to the cent.
#pragma once

#include "report_engine/ReportLayout.h"
#include "reports/ReportRequest.h"

#include <QStringList>

namespace tenvora {

inline constexpr const char* kReportDataSetFx = "ReportDataSet_fx"; // the rows of the analysis blocks

class UnitPriceAnalysisReport : public ReportRequest {
public:
    static constexpr const char* kTemplate = "Report/djfxb.xml";

    explicit UnitPriceAnalysisReport(ReportContext& context);

    QString name() const override { return QStringLiteral("analysis"); }
    QString title() const override { return QStringLiteral("单价分析表"); }
    QString templateName() const override { return QString::fromLatin1(kTemplate); }
    // Refused with "请先选择合同" without a current contract, and when no priceable line has a
    // build-up that can be analysed.
    BuildResult build() override;
    QHash<QString, const report::ReportDataSource*> ownDataSets() const override;

    // After build(): what a bidder should know before handing the form in: lines whose unit
    // price in the bill is not their analysed price, and lines whose build-up cannot be analysed.
    const QStringList& notes() const { return m_notes; }
    int blocks() const { return m_blocks; }

    // The rows' columns: the block's line (xh, xmbh, xmmc, xmdw, zhdj) on every row, then the
    // row itself (bh, mc, dw, xhl, dj, hj), every figure as the text it prints.
    static QStringList columns();

private:
    report::TableDataSource m_rows;
    QStringList m_notes;
    int m_blocks = 0;
};

} // namespace tenvora

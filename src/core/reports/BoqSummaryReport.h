// Report E (the BoQ summary of chapters 100, 300 and 600) and the bid-price form beside it,
// both printing the contract's figures (ContractFigures).
#pragma once

#include "report_engine/ReportLayout.h"
#include "reports/ReportRequest.h"

namespace tenvora {

inline constexpr const char* kNoContractText = "请先选择合同";
inline constexpr const char* kReportDataSetHz = "ReportDataSet_hz"; // chapter rows of the all-chapter summary

class BoqSummaryReport : public ReportRequest {
public:
    static constexpr const char* kTemplate = "Report/gclqdhz.xml";

    using ReportRequest::ReportRequest;

    QString name() const override { return QStringLiteral("E"); }
    QString title() const override { return QStringLiteral("E.工程量清单汇总表"); }
    QString templateName() const override { return QString::fromLatin1(kTemplate); }
    // Refused with "请先选择合同" without a current contract, before any template is loaded.
    BuildResult build() override;
};

// "投标报价汇总表", the bid-price form: the total report B prints for every chapter 100 to 700
// and any other chapter of the contract, then the BoQ total, the provisional sums, the day work,
// the tenth and the bid price, all whole yuan, the bid price also in capitals. Like report B it
// stores the insurance line before it reads the chapters.
class AllChapterSummaryReport : public ReportRequest {
public:
    static constexpr const char* kTemplate = "Report/qdhz_all.xml";

    explicit AllChapterSummaryReport(ReportContext& context);

    QString name() const override { return QStringLiteral("summary"); }
    QString title() const override { return QStringLiteral("投标报价汇总表"); }
    QString templateName() const override { return QString::fromLatin1(kTemplate); }
    BuildResult build() override;
    QHash<QString, const report::ReportDataSource*> ownDataSets() const override;

private:
    report::TableDataSource m_rows;
};

} // namespace tenvora

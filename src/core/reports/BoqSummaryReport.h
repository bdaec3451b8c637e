// Report E (the BoQ summary of chapters 100, 300 and 600) and the all-chapter summary beside
// it, both printing the figures of BidSummary.
#pragma once

#include "report_engine/ReportLayout.h"
#include "reports/BidSummary.h"
#include "reports/ReportRequest.h"

#include <optional>

namespace tenvora {

inline constexpr const char* kNoContractText = "请先选择合同";
inline constexpr const char* kReportDataSetHz = "ReportDataSet_hz"; // chapter rows of the all-chapter summary

class BoqSummaryReport : public ReportRequest {
public:
    static constexpr const char* kTemplate = "Report/gclqdhz.xml";

    using ReportRequest::ReportRequest;

    // Figures computed already for this contract (the whole set computes them once); without
    // them build() computes its own.
    void setSummary(const BidSummary& summary) { m_given = summary; }

    QString name() const override { return QStringLiteral("E"); }
    QString title() const override { return QStringLiteral("E.工程量清单汇总表"); }
    QString templateName() const override { return QString::fromLatin1(kTemplate); }
    // Refused with "请先选择合同" without a current contract, before any template is loaded.
    BuildResult build() override;

private:
    std::optional<BidSummary> m_given;
};

// "投标报价汇总表": the total report B prints for every chapter 100 to 700, then the BoQ total,
// the provisional sums, the day work, the tenth and the bid price, all whole yuan, the bid price
// also in capitals. Like report B it stores the insurance line before it reads the chapters.
class AllChapterSummaryReport : public ReportRequest {
public:
    static constexpr const char* kTemplate = "Report/qdhz_all.xml";

    explicit AllChapterSummaryReport(ReportContext& context);

    void setSummary(const BidSummary& summary) { m_given = summary; }

    QString name() const override { return QStringLiteral("summary"); }
    QString title() const override { return QStringLiteral("投标报价汇总表"); }
    QString templateName() const override { return QString::fromLatin1(kTemplate); }
    BuildResult build() override;
    QHash<QString, const report::ReportDataSource*> ownDataSets() const override;

private:
    std::optional<BidSummary> m_given;
    report::TableDataSource m_rows;
};

} // namespace tenvora

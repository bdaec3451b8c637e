// The day-work reports: the unit-price tables of the three schedules and summary D.
#pragma once

#include "reports/ReportRequest.h"

namespace tenvora {

enum class DayworkSchedule { Labour = 1, Material = 2, Machinery = 3 };

// The schedule code stored in Jl_ContractList.bz ("1", "2", "3").
QString ScheduleCode(DayworkSchedule schedule);

// One schedule's items with their prices and the schedule total. Labour and machinery share a
// template and print the stored total unrounded; material has its own and prints whole yuan.
class DayworkPriceTable : public ReportRequest {
public:
    static constexpr const char* kTemplate = "Report/jrglwdj.xml";
    static constexpr const char* kMaterialTemplate = "Report/jrglcldj.xml";

    DayworkPriceTable(ReportContext& context, DayworkSchedule schedule);

    DayworkSchedule schedule() const { return m_schedule; }
    QString name() const override;
    QString title() const override;
    QString templateName() const override;
    BuildResult build() override;

private:
    DayworkSchedule m_schedule;
};

// D: the three schedule totals in whole yuan and their sum, in figures and in capitals.
class DayworkSummaryReport : public ReportRequest {
public:
    static constexpr const char* kTemplate = "Report/jrghz.xml";

    using ReportRequest::ReportRequest;

    QString name() const override { return QStringLiteral("D"); }
    QString title() const override { return QStringLiteral("D.计日工汇总表"); }
    QString templateName() const override { return QString::fromLatin1(kTemplate); }
    BuildResult build() override;
};

} // namespace tenvora

#include "reports/DayworkReports.h"

#include "data/Money.h"
#include "reports/ChineseAmount.h"

namespace tenvora {

QString ScheduleCode(DayworkSchedule schedule) {
    return QString::number(static_cast<int>(schedule));
}

DayworkPriceTable::DayworkPriceTable(ReportContext& context, DayworkSchedule schedule)
    : ReportRequest(context), m_schedule(schedule) {}

QString DayworkPriceTable::name() const {
    switch (m_schedule) {
    case DayworkSchedule::Labour:
        return QStringLiteral("labour");
    case DayworkSchedule::Material:
        return QStringLiteral("material");
    case DayworkSchedule::Machinery:
        break;
    }
    return QStringLiteral("machinery");
}

QString DayworkPriceTable::title() const {
    switch (m_schedule) {
    case DayworkSchedule::Labour:
        return QStringLiteral("计日工劳务单价表");
    case DayworkSchedule::Material:
        return QStringLiteral("计日工材料单价表");
    case DayworkSchedule::Machinery:
        break;
    }
    return QStringLiteral("计日工施工机械单价表");
}

QString DayworkPriceTable::templateName() const {
    return QString::fromLatin1(m_schedule == DayworkSchedule::Material ? kMaterialTemplate : kTemplate);
}

BuildResult DayworkPriceTable::build() {
    DataModule& dm = m_context.dm();
    const QString contract = dm.session().CurContractID;
    const QString code = ScheduleCode(m_schedule);
    const bool material = m_schedule == DayworkSchedule::Material;

    m_context.LoadTemplate(templateName());
    QStringList objects = {QStringLiteral("memo2"), QStringLiteral("memo1")};
    if (!material)
        objects << QStringLiteral("memo5") << QStringLiteral("memo8");
    m_context.requireObjects(objects);

    // The editor's order, so the table reads as the bidder priced it.
    dm.RunSql(m_context.ADOQuery_jrg,
              QStringLiteral("select * from Jl_ContractList where bz=? and ContractID=? order by rowid"),
              {code, contract}, true);
    const DayworkTotals totals = contractFigures(ContractFigures::Parts::Daywork).dayworkTotals();
    const auto s = static_cast<size_t>(m_schedule) - 1;
    m_context.insertLine(QStringLiteral("memo2"), 0,
                         material ? WholeYuanText(totals.whole[s]) : GeneralText(totals.raw[s]));
    m_context.insertLine(QStringLiteral("memo1"), 0, ContractHeading(dm.session()));
    if (!material) {
        const bool labour = m_schedule == DayworkSchedule::Labour;
        m_context.insertLine(QStringLiteral("memo5"), 0,
                             labour ? QStringLiteral("计日工劳务(转结计日工汇总表)")
                                    : QStringLiteral("计日工施工机械小计(转结计日工汇总表)"));
        m_context.insertLine(QStringLiteral("memo8"), 0, title());
    }
    return {};
}

BuildResult DayworkSummaryReport::build() {
    DataModule& dm = m_context.dm();

    m_context.LoadTemplate(templateName());
    m_context.requireObjects({QStringLiteral("memo42"), QStringLiteral("memo47"), QStringLiteral("memo46"),
                              QStringLiteral("memo48"), QStringLiteral("memo2"), QStringLiteral("dxje")});

    // The one day-work total, which E and the bid-price form carry as well; in 64 bits, so a
    // day-work bill above 2147483647 yuan does not wrap to a negative sum.
    const DayworkTotals totals = contractFigures(ContractFigures::Parts::Daywork).dayworkTotals();
    m_context.insertLine(QStringLiteral("memo42"), 0, WholeYuanText(totals.whole[0]));
    m_context.insertLine(QStringLiteral("memo47"), 0, WholeYuanText(totals.whole[1]));
    m_context.insertLine(QStringLiteral("memo46"), 0, WholeYuanText(totals.whole[2]));
    m_context.insertLine(QStringLiteral("memo48"), 0, WholeYuanText(totals.total));
    m_context.insertLine(QStringLiteral("memo2"), 0, ContractHeading(dm.session()));
    m_context.insertLine(QStringLiteral("dxje"), 0, ChineseCapitalAmount(totals.total));
    return {};
}

} // namespace tenvora

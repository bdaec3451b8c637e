#include "reports/ProvisionalSumsReport.h"

#include "boq/BoqLineRules.h"
#include "data/Money.h"

namespace tenvora {

QString ProvisionalSumsReport::fixedDescription(const QString& item) {
    if (item == QLatin1String("102-3"))
        return QStringLiteral("计算机信息化管理系统");
    if (item == QLatin1String("103-6"))
        return QStringLiteral("地方道路使用维修");
    return {};
}

BuildResult ProvisionalSumsReport::build() {
    DataModule& dm = m_context.dm();
    const QString contract = dm.session().CurContractID;
    const QString& unit = kProvisionalSumUnit;

    m_context.LoadTemplate(templateName());
    m_context.requireObjects({QStringLiteral("memo9"), QStringLiteral("memo1")});

    Query& source = m_context.ADOQuery2;
    dm.RunChange([&] {
        dm.RunSql(source, QStringLiteral("delete from zdj"), {}, false);
        dm.RunSql(source,
                  QStringLiteral("select 章, 细目编号, 细目名称, 合同金额 from jd_htqd where 合同编号=? and 单位=? "
                                 "order by 章 collate ITEMNO, 细目编号 collate ITEMNO"),
                  {contract, unit}, true);
        auto append = dm.NewQuery();
        for (int r = 0; r < source.recordCount(); ++r) {
            const QString fixed = fixedDescription(source.text(r, QStringLiteral("细目编号")));
            dm.RunSql(*append, QStringLiteral("insert into zdj (章, 细目编号, 细目名称, 合同金额) values (?, ?, ?, ?)"),
                      {source.value(r, QStringLiteral("章")), source.value(r, QStringLiteral("细目编号")),
                       fixed.isEmpty() ? source.value(r, QStringLiteral("细目名称")) : QVariant(fixed),
                       source.value(r, QStringLiteral("合同金额"))},
                      false);
        }
    });
    dm.RunSql(m_context.zxzdj_ADOQuery, QStringLiteral("select * from zdj order by rowid"), {}, true);

    // The total comes from the source lines, not from the copy.
    m_context.insertLine(QStringLiteral("memo9"), 0,
                         WholeYuanText(contractFigures(ContractFigures::Parts::Boq).provisionalSumsListed()));
    m_context.insertLine(QStringLiteral("memo1"), 0, ContractHeading(dm.session()));
    return {};
}

} // namespace tenvora

#include "boq/ContractSelection.h"

#include "data/DataModule.h"

namespace tenvora {

std::vector<ContractChoiceRow> ContractSelection::load() {
    // rowid keeps the order within a project stable: the order the sections were stored in.
    auto q = m_dm.NewQuery(QStringLiteral("select a.ID as 项目ID,a.项目名称, b.ID, b.合同名称,b.起始桩号,b.终止桩号 "
                                          "from jd_xiangmu a left outer join jd_hetong b on b.upid = a.id "
                                          "order by a.id, b.rowid"));
    m_dm.RunSql(*q, q->sql(), {}, true);
    std::vector<ContractChoiceRow> rows;
    rows.reserve(static_cast<size_t>(q->recordCount()));
    for (int i = 0; i < q->recordCount(); ++i) {
        const QVariantList& r = q->row(i);
        rows.push_back({r[0], r[1], r[2], r[3], r[4], r[5]});
    }
    return rows;
}

void ContractSelection::choose(const std::vector<ContractChoiceRow>& rows, int index) {
    if (rows.empty())
        throw Refused(noContractText());
    const ContractChoiceRow& row = rows.at(static_cast<size_t>(index));
    if (row.contractId.isNull())
        throw Refused(noSectionText(row.projectName.toString()));
    SessionValues& s = m_dm.session();
    s.CurContractID = row.contractId.toString();
    s.CurProjectID = row.projectId.toString();
    s.CurProjectName = row.projectName.toString();
    s.CurContractName = row.contractName.toString();
    m_dm.SaveCurrentContract();
}

QString ContractSelection::noSectionText(const QString& project) {
    return QStringLiteral("项目“%1”还没有合同段，请选择其他项目的合同段").arg(project);
}

QString ContractSelection::rowText(const ContractChoiceRow& row) {
    return row.contractId.isNull() ? QStringLiteral("（%1：没有合同段）").arg(row.projectName.toString())
                                   : row.contractName.toString();
}

} // namespace tenvora

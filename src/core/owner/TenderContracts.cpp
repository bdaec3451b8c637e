#include "owner/TenderContracts.h"

#include "data/Database.h"
#include "data/NaturalOrder.h"
#include "owner/TenderProjects.h"

#include <algorithm>

namespace tenvora {

void RequireContract(Database& db, const QString& contractId) {
    if (!db.scalar(QStringLiteral("select 1 from jd_hetong where ID = ?"), {contractId}).isValid())
        throw Refused(QStringLiteral("合同段“%1”不存在").arg(contractId));
}

QList<TenderContract> TenderContracts::list(const QString& projectId) {
    QList<TenderContract> contracts;
    Statement st = m_db.prepare(
        QStringLiteral("select c.ID, c.UPID, c.合同编号, c.合同名称, c.起始桩号, c.终止桩号, "
                       "(select count(*) from jd_htqd l where l.合同编号 = c.ID), "
                       "(select count(*) from Jl_ContractList d where d.ContractID = c.ID) from jd_hetong c") +
        (projectId.isEmpty() ? QString() : QStringLiteral(" where c.UPID = ?")));
    if (!projectId.isEmpty())
        st.bind(1, projectId);
    while (st.next()) {
        TenderContract c;
        c.id = st.value(0).toString();
        c.projectId = st.value(1).toString();
        c.number = st.value(2).toString();
        c.name = st.value(3).toString();
        c.start = st.value(4).toString();
        c.end = st.value(5).toString();
        c.lines = st.value(6).toLongLong();
        c.dayworkItems = st.value(7).toLongLong();
        contracts << c;
    }
    std::stable_sort(contracts.begin(), contracts.end(), [](const TenderContract& a, const TenderContract& b) {
        if (const int p = CompareItemNumbers(a.projectId, b.projectId); p != 0)
            return p < 0;
        return CompareItemNumbers(a.id, b.id) < 0;
    });
    return contracts;
}

std::optional<TenderContract> TenderContracts::find(const QString& id) {
    for (const TenderContract& c : list())
        if (c.id == id)
            return c;
    return std::nullopt;
}

void TenderContracts::requireProject(const QString& projectId) {
    if (!m_db.scalar(QStringLiteral("select 1 from jd_xiangmu where ID = ?"), {projectId}).isValid())
        throw Refused(QStringLiteral("没有项目“%1”，请先添加该项目").arg(projectId));
}

namespace {

void checkTexts(const ContractChanges& c) {
    if (c.number)
        RequireFieldText(QStringLiteral("合同编号"), *c.number, TenderContracts::kNumberLength, false);
    if (c.name)
        RequireFieldText(QStringLiteral("合同名称"), *c.name, TenderContracts::kNameLength, true);
    if (c.start)
        RequireFieldText(QStringLiteral("起始桩号"), *c.start, TenderContracts::kChainageLength, false);
    if (c.end)
        RequireFieldText(QStringLiteral("终止桩号"), *c.end, TenderContracts::kChainageLength, false);
}

} // namespace

void TenderContracts::add(const TenderContract& contract) {
    RequireKeyText(QStringLiteral("合同ID"), contract.id, kIdLength);
    checkTexts({contract.projectId, contract.number, contract.name, contract.start, contract.end});
    Transaction tx(m_db);
    requireProject(contract.projectId);
    // Two sections of one ID would share one bill.
    if (m_db.scalar(QStringLiteral("select 1 from jd_hetong where ID = ?"), {contract.id}).isValid())
        throw Refused(QStringLiteral("合同段“%1”已经存在").arg(contract.id));
    m_db.exec(QStringLiteral("insert into jd_hetong (UPID, 合同编号, 合同名称, 起始桩号, 终止桩号, ID) "
                             "values (?, ?, ?, ?, ?, ?)"),
              {contract.projectId, contract.number, contract.name, contract.start, contract.end, contract.id});
    tx.commit();
}

void TenderContracts::edit(const QString& id, const ContractChanges& changes) {
    checkTexts(changes);
    Transaction tx(m_db);
    RequireContract(m_db, id);
    if (changes.projectId) {
        requireProject(*changes.projectId);
        m_db.exec(QStringLiteral("update jd_hetong set UPID = ? where ID = ?"), {*changes.projectId, id});
        // A stored selection names the project too; it follows the section.
        m_db.exec(QStringLiteral("update 当前选择合同 set 项目ID = ? where 合同ID = ?"), {*changes.projectId, id});
    }
    const QList<QPair<const char*, const std::optional<QString>*>> texts = {
        {"update jd_hetong set 合同编号 = ? where ID = ?", &changes.number},
        {"update jd_hetong set 合同名称 = ? where ID = ?", &changes.name},
        {"update jd_hetong set 起始桩号 = ? where ID = ?", &changes.start},
        {"update jd_hetong set 终止桩号 = ? where ID = ?", &changes.end},
    };
    for (const auto& [sql, value] : texts)
        if (*value)
            m_db.exec(QString::fromUtf8(sql), {**value, id});
    tx.commit();
}

QString TenderContracts::linesHeldText(const QString& id, const RemovedContract& held) {
    return QStringLiteral("合同段“%1”有 %2 行工程量清单和 %3 项计日工，没有删除。")
        .arg(id)
        .arg(held.lines)
        .arg(held.dayworkItems);
}

RemovedContract TenderContracts::remove(const QString& id, bool withLines) {
    Transaction tx(m_db);
    RequireContract(m_db, id);
    RemovedContract removed;
    removed.lines = m_db.scalar(QStringLiteral("select count(*) from jd_htqd where 合同编号 = ?"), {id}).toLongLong();
    removed.dayworkItems =
        m_db.scalar(QStringLiteral("select count(*) from Jl_ContractList where ContractID = ?"), {id}).toLongLong();
    if ((removed.lines > 0 || removed.dayworkItems > 0) && !withLines)
        throw HeldContentRefused(linesHeldText(id, removed));
    m_db.exec(QStringLiteral("delete from jd_htqd where 合同编号 = ?"), {id});
    m_db.exec(QStringLiteral("delete from Jl_ContractList where ContractID = ?"), {id});
    m_db.exec(QStringLiteral("delete from jd_hetong where ID = ?"), {id});
    m_db.exec(QStringLiteral("delete from 当前选择合同 where 合同ID = ?"), {id});
    tx.commit();
    return removed;
}

} // namespace tenvora

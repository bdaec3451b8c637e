#include "owner/TenderCheck.h"

#include "boq/BoqLineRules.h"
#include "data/Database.h"
#include "owner/OwnerAccounts.h"

#include <functional>

namespace tenvora {

namespace {

struct KindInfo {
    TenderFindingKind kind;
    const char* name;
    const char* text;
};

const KindInfo kKinds[] = {
    {TenderFindingKind::DuplicateProject, "duplicate-project", "项目ID重复"},
    {TenderFindingKind::ProjectWithoutContracts, "project-without-contracts", "项目没有合同段"},
    {TenderFindingKind::DuplicateContract, "duplicate-contract", "合同ID重复"},
    {TenderFindingKind::ContractOfNoProject, "contract-of-no-project", "合同段不属于任何项目"},
    {TenderFindingKind::ContractWithoutLines, "contract-without-lines", "合同段没有工程量清单"},
    {TenderFindingKind::ContractWithoutDaywork, "contract-without-daywork", "合同段没有计日工"},
    {TenderFindingKind::RowsOfNoContract, "rows-of-no-contract", "清单不属于任何合同段"},
    {TenderFindingKind::DuplicateItem, "duplicate-item", "细目编号重复"},
    {TenderFindingKind::NoChapter, "no-chapter", "细目没有章号"},
    {TenderFindingKind::NoChapterLine, "no-chapter-line", "章没有章行"},
    {TenderFindingKind::NoInsuranceLine, "no-insurance-line", "缺少保险费细目 101-1-a"},
    {TenderFindingKind::ProvisionalSumWithoutAmount, "provisional-sum-without-amount", "暂定金额没有金额"},
    {TenderFindingKind::NegativeQuantity, "negative-quantity", "数量为负"},
    {TenderFindingKind::DuplicateDayworkItem, "duplicate-daywork-item", "计日工编号重复"},
    {TenderFindingKind::NoBidder, "no-bidder", "没有投标单位的帐户"},
};

const KindInfo& info(TenderFindingKind kind) {
    for (const KindInfo& k : kKinds)
        if (k.kind == kind)
            return k;
    return kKinds[0];
}

// The project of a contract ID, for findings that start from a line.
const char* const kProjectOf = "(select c.UPID from jd_hetong c where c.ID = %1 limit 1)";

QString projectOf(const char* column) {
    return QString::fromUtf8(kProjectOf).arg(QString::fromUtf8(column));
}

} // namespace

int TenderCheckResult::count(TenderFindingKind kind) const {
    int n = 0;
    for (const TenderFinding& f : findings)
        n += f.kind == kind ? 1 : 0;
    return n;
}

QString TenderCheckResult::summary() const {
    QStringList parts;
    for (const KindInfo& k : kKinds)
        if (const int n = count(k.kind); n > 0)
            parts << QStringLiteral("%1 %2 条").arg(QString::fromUtf8(k.text)).arg(n);
    return parts.join(QStringLiteral("，"));
}

QString TenderFindingKindText(TenderFindingKind kind) {
    return QString::fromUtf8(info(kind).text);
}

QString TenderFindingKindName(TenderFindingKind kind) {
    return QString::fromUtf8(info(kind).name);
}

TenderCheckResult TenderCheck::run() {
    TenderCheckResult result;
    // Each select gives project, contract, item and detail, in that order.
    const auto collect = [&](TenderFindingKind kind, const QString& sql, const QVariantList& values,
                             const std::function<QString(const Statement&)>& detail = {}, int scheduleAt = -1) {
        Statement st = m_db.prepare(sql);
        st.bindAll(values);
        while (st.next())
            result.findings << TenderFinding{kind,
                                             st.value(0).toString(),
                                             st.value(1).toString(),
                                             st.value(2).toString(),
                                             detail ? detail(st) : QString(),
                                             scheduleAt >= 0 ? st.value(scheduleAt).toString() : QString()};
    };
    const auto times = [](const Statement& st) { return QStringLiteral("出现 %1 次").arg(st.value(3).toLongLong()); };

    collect(TenderFindingKind::DuplicateProject,
            QStringLiteral("select ID, NULL, NULL, count(*) from jd_xiangmu group by ID having count(*) > 1 "
                           "order by ID collate ITEMNO"),
            {}, times);
    collect(TenderFindingKind::ProjectWithoutContracts,
            QStringLiteral("select distinct p.ID, NULL, NULL from jd_xiangmu p where not exists "
                           "(select 1 from jd_hetong c where c.UPID = p.ID) order by p.ID collate ITEMNO"),
            {});
    collect(TenderFindingKind::DuplicateContract,
            QStringLiteral("select min(UPID), ID, NULL, count(*) from jd_hetong group by ID having count(*) > 1 "
                           "order by ID collate ITEMNO"),
            {}, times);
    collect(TenderFindingKind::ContractOfNoProject,
            QStringLiteral("select distinct c.UPID, c.ID, NULL from jd_hetong c where not exists "
                           "(select 1 from jd_xiangmu p where p.ID = c.UPID) order by c.ID collate ITEMNO"),
            {});
    collect(TenderFindingKind::ContractWithoutLines,
            QStringLiteral("select distinct c.UPID, c.ID, NULL from jd_hetong c where not exists "
                           "(select 1 from jd_htqd l where l.合同编号 = c.ID) order by c.UPID collate ITEMNO, "
                           "c.ID collate ITEMNO"),
            {});
    collect(TenderFindingKind::ContractWithoutDaywork,
            QStringLiteral("select distinct c.UPID, c.ID, NULL from jd_hetong c where not exists "
                           "(select 1 from Jl_ContractList d where d.ContractID = c.ID) order by c.UPID collate "
                           "ITEMNO, c.ID collate ITEMNO"),
            {});
    collect(TenderFindingKind::RowsOfNoContract,
            QStringLiteral("select NULL, 合同编号, NULL, count(*) from jd_htqd l where not exists "
                           "(select 1 from jd_hetong c where c.ID = l.合同编号) group by 合同编号 "
                           "order by 合同编号 collate ITEMNO"),
            {}, [](const Statement& st) { return QStringLiteral("工程量清单 %1 行").arg(st.value(3).toLongLong()); });
    collect(TenderFindingKind::RowsOfNoContract,
            QStringLiteral("select NULL, ContractID, NULL, count(*) from Jl_ContractList d where not exists "
                           "(select 1 from jd_hetong c where c.ID = d.ContractID) group by ContractID "
                           "order by ContractID collate ITEMNO"),
            {}, [](const Statement& st) { return QStringLiteral("计日工 %1 项").arg(st.value(3).toLongLong()); });
    collect(TenderFindingKind::DuplicateItem,
            QStringLiteral("select %1, 合同编号, 细目编号, count(*) from jd_htqd where 细目编号 is not null "
                           "group by 合同编号, 细目编号 having count(*) > 1 "
                           "order by 合同编号 collate ITEMNO, 细目编号 collate ITEMNO")
                .arg(projectOf("合同编号")),
            {}, times);
    collect(TenderFindingKind::NoChapter,
            QStringLiteral("select %1, 合同编号, 细目编号 from jd_htqd where 章 is null or trim(章) = '' "
                           "order by 合同编号 collate ITEMNO, 细目编号 collate ITEMNO")
                .arg(projectOf("合同编号")),
            {});
    collect(TenderFindingKind::NoChapterLine,
            QStringLiteral("select distinct %1, l.合同编号, l.章 from jd_htqd l where trim(l.章) <> '' and not exists "
                           "(select 1 from jd_htqd h where h.合同编号 = l.合同编号 and h.细目编号 = l.章) "
                           "order by l.合同编号 collate ITEMNO, l.章 collate ITEMNO")
                .arg(projectOf("l.合同编号")),
            {});
    collect(TenderFindingKind::NoInsuranceLine,
            QStringLiteral("select distinct c.UPID, c.ID, ? from jd_hetong c where exists "
                           "(select 1 from jd_htqd l where l.合同编号 = c.ID) and not exists "
                           "(select 1 from jd_htqd l where l.合同编号 = c.ID and l.细目编号 = ?) "
                           "order by c.UPID collate ITEMNO, c.ID collate ITEMNO"),
            {QStringLiteral("101-1-a"), QStringLiteral("101-1-a")});
    collect(
        TenderFindingKind::ProvisionalSumWithoutAmount,
        QStringLiteral("select %1, 合同编号, 细目编号 from jd_htqd where 单位 = ? and "
                       "(合同金额 is null or 合同金额 = 0) order by 合同编号 collate ITEMNO, 细目编号 collate ITEMNO")
            .arg(projectOf("合同编号")),
        {kProvisionalSumUnit});
    collect(TenderFindingKind::NegativeQuantity,
            QStringLiteral("select %1, 合同编号, 细目编号, 合同数量 from jd_htqd where 合同数量 < 0 "
                           "order by 合同编号 collate ITEMNO, 细目编号 collate ITEMNO")
                .arg(projectOf("合同编号")),
            {}, [](const Statement& st) { return QStringLiteral("合同数量 %1").arg(st.value(3).toString()); });
    collect(
        TenderFindingKind::NegativeQuantity,
        QStringLiteral("select %1, ContractID, ItemCode, Amount, bz from Jl_ContractList where Amount < 0 "
                       "order by ContractID collate ITEMNO, bz, ItemCode collate ITEMNO")
            .arg(projectOf("ContractID")),
        {},
        [](const Statement& st) {
            return QStringLiteral("计日工（表 %1）数量 %2").arg(st.value(4).toString(), st.value(3).toString());
        },
        4);
    collect(
        TenderFindingKind::DuplicateDayworkItem,
        QStringLiteral("select %1, ContractID, ItemCode, count(*), bz from Jl_ContractList "
                       "where ItemCode is not null group by ContractID, bz, ItemCode having count(*) > 1 "
                       "order by ContractID collate ITEMNO, bz, ItemCode collate ITEMNO")
            .arg(projectOf("ContractID")),
        {},
        [](const Statement& st) {
            return QStringLiteral("计日工（表 %1）出现 %2 次")
                .arg(st.value(4).toString())
                .arg(st.value(3).toLongLong());
        },
        4);
    if (m_db.scalar(QStringLiteral("select count(*) from pass where bz = ?"), {kBidderAccountKind}).toLongLong() == 0)
        result.findings << TenderFinding{TenderFindingKind::NoBidder, {}, {}, {}, {}, {}};
    return result;
}

} // namespace tenvora

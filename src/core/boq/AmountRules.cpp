#include "boq/AmountRules.h"

#include "data/DataModule.h"
#include "data/Money.h"

namespace tenvora {

namespace {

// A sum over no rows is NULL and counts as 0.
qint64 wholeSum(TDmMain& dm, const QString& sql, const QVariantList& values) {
    auto q = dm.NewQuery();
    dm.RunSql(*q, sql, values, true);
    const std::optional<double> sum = NumberOf(q->value(QStringLiteral("htje")));
    return sum ? RoundAmount(*sum) : 0;
}

} // namespace

std::optional<qint64> LineAmount(const QVariant& price, const QVariant& quantity) {
    const std::optional<double> p = NumberOf(price);
    const std::optional<double> q = NumberOf(quantity);
    if (!p || !q)
        return std::nullopt;
    return RoundAmount(*p * *q);
}

qint64 BoqTotals::insuranceBase(const QString& contract, const QString& chapter) {
    return wholeSum(m_dm,
                    QStringLiteral("select sum(合同金额) as htje from jd_htqd where 细目编号<>? and length(细目编号)>3 "
                                   "and 细目编号<>? and 细目编号<>? and 合同编号=?"),
                    {chapter, QString::fromLatin1(kInsuranceItem), QString::fromLatin1(kLiabilityItem), contract});
}

qint64 BoqTotals::insuranceAmount(qint64 base) {
    const long double product = static_cast<long double>(base) * static_cast<long double>(kInsuranceRate);
    return RoundAmount(static_cast<double>(product));
}

qint64 BoqTotals::storeInsurance(const QString& contract, const QString& chapter) {
    const qint64 amount = insuranceAmount(insuranceBase(contract, chapter));
    auto q = m_dm.NewQuery();
    m_dm.RunSql(*q, QStringLiteral("update jd_htqd set 合同金额=?,合同单价=? where 合同编号=? and 细目编号=?"),
                {amount, amount, contract, QString::fromLatin1(kInsuranceItem)}, false);
    return amount;
}

qint64 BoqTotals::chapterTotal(const QString& contract, const QString& chapter) {
    return wholeSum(m_dm,
                    QStringLiteral("select sum(合同金额) as htje from jd_htqd where 细目编号<>? and length(细目编号)>3 "
                                   "and 合同编号=? and 章=?"),
                    {chapter, contract, chapter});
}

QString BoqTotals::printedChapterTotalSql() {
    return QStringLiteral("select sum(合同金额) as htje from jd_htqd where 合同编号=? and 章=? and 细目编号<>? "
                          "and (bz is null or bz='')");
}

qint64 BoqTotals::printedChapterTotal(const QString& contract, const QString& chapter) {
    return wholeSum(m_dm, printedChapterTotalSql(), {contract, chapter, chapter});
}

qint64 BoqTotals::chapterTotalAfterRecompute(const QString& contract, const QString& chapter) {
    const qint64 insurance = insuranceAmount(insuranceBase(contract));
    auto q = m_dm.NewQuery();
    m_dm.RunSql(*q,
                QStringLiteral("select sum(case when 细目编号=? then 0 else 合同金额 end) as others, "
                               "sum(case when 细目编号=? then 1 else 0 end) as insured from jd_htqd "
                               "where 细目编号<>? and length(细目编号)>3 and 合同编号=? and 章=?"),
                {QString::fromLatin1(kInsuranceItem), QString::fromLatin1(kInsuranceItem), chapter, contract, chapter},
                true);
    const double others = NumberOf(q->value(QStringLiteral("others"))).value_or(0);
    const double insured = NumberOf(q->value(QStringLiteral("insured"))).value_or(0);
    return RoundAmount(others + insured * static_cast<double>(insurance));
}

QStringList BoqTotals::chapters(const QString& contract) {
    auto q = m_dm.NewQuery();
    m_dm.RunSql(*q,
                QStringLiteral("select distinct 章 as zhang from jd_htqd where 合同编号=? and 章<>'' "
                               "order by 章 collate ITEMNO"),
                {contract}, true);
    QStringList codes;
    for (int r = 0; r < q->recordCount(); ++r)
        codes << q->text(r, QStringLiteral("zhang"));
    return codes;
}

QList<QPair<QString, ChapterRecompute>> BoqTotals::recomputeAll(const QString& contract) {
    QList<QPair<QString, ChapterRecompute>> results;
    m_dm.RunChange([&] {
        for (const QString& chapter : chapters(contract))
            results.append({chapter, recompute(contract, chapter)});
    });
    return results;
}

ChapterRecompute BoqTotals::recompute(const QString& contract, const QString& chapter) {
    // One change for the user: either both figures are stored or neither is.
    ChapterRecompute result;
    m_dm.RunChange([&] {
        result.insurance = storeInsurance(contract, chapter);
        result.chapterTotal = chapterTotal(contract, chapter);
        auto q = m_dm.NewQuery();
        m_dm.RunSql(*q, QStringLiteral("update jd_htqd set 合同金额=? where 合同编号=? and 细目编号=?"),
                    {result.chapterTotal, contract, chapter}, false);
    });
    return result;
}

} // namespace tenvora

#include "boq/AmountRules.h"

#include "data/DataModule.h"
#include "data/Money.h"

#include <cmath>

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
    writeInsurance(contract, amount);
    return amount;
}

void BoqTotals::writeInsurance(const QString& contract, qint64 amount) {
    auto q = m_dm.NewQuery();
    m_dm.RunSql(*q, QStringLiteral("update jd_htqd set 合同金额=?,合同单价=? where 合同编号=? and 细目编号=?"),
                {amount, amount, contract, QString::fromLatin1(kInsuranceItem)}, false);
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

std::vector<StoredLineFigures> BoqTotals::recomputedLines(const QString& contract, const QStringList& chapters) {
    QStringList marks;
    QVariantList values{contract, QString::fromLatin1(kInsuranceItem)};
    for (const QString& chapter : chapters) {
        marks << QStringLiteral("?");
        values << chapter;
    }
    auto q = m_dm.NewQuery();
    m_dm.RunSql(*q,
                QStringLiteral("select rowid, 章, 细目编号, 合同单价, 合同金额 from jd_htqd where 合同编号=? and "
                               "(细目编号=?%1) order by rowid")
                    .arg(marks.isEmpty() ? QString()
                                         : QStringLiteral(" or 细目编号 in (%1)").arg(marks.join(QLatin1Char(',')))),
                values, true);
    std::vector<StoredLineFigures> lines;
    for (int r = 0; r < q->recordCount(); ++r)
        lines.push_back({q->value(r, QStringLiteral("rowid")).toLongLong(), q->text(r, QStringLiteral("章")),
                         q->text(r, QStringLiteral("细目编号")), q->value(r, QStringLiteral("合同单价")),
                         q->value(r, QStringLiteral("合同金额"))});
    return lines;
}

QList<QPair<QString, ChapterRecompute>> BoqTotals::recomputeChapters(const QString& contract,
                                                                     const QStringList& chapters) {
    QList<QPair<QString, ChapterRecompute>> results;
    m_dm.RunChange([&] {
        // A code of at most 3 characters excludes nothing from the base that the length test has
        // not excluded already, so one reading of the sums serves all such chapters: the live
        // totals are the figures the recomputation stores, and storing them changes no sum (the
        // insurance lines count at the premium, the chapter lines not at all).
        std::optional<BoqLiveTotals> now;
        for (const QString& chapter : chapters) {
            if (chapter.toUcs4().size() > 3) {
                results.append({chapter, recompute(contract, chapter)});
                now.reset();
                continue;
            }
            if (!now) {
                now.emplace();
                now->load(m_dm, contract);
                writeInsurance(contract, now->insurance());
            }
            const qint64 total = now->chapterTotal(chapter);
            auto q = m_dm.NewQuery();
            m_dm.RunSql(*q, QStringLiteral("update jd_htqd set 合同金额=? where 合同编号=? and 细目编号=?"),
                        {total, contract, chapter}, false);
            results.append({chapter, ChapterRecompute{now->insurance(), total}});
        }
    });
    return results;
}

qint64 BoqTotals::contractTotal(const QString& contract) {
    BoqLiveTotals totals;
    totals.load(m_dm, contract);
    return totals.contractTotal();
}

void BoqTotals::restoreAmount(qint64 rowId, const QVariant& amount) {
    auto q = m_dm.NewQuery();
    m_dm.RunSql(*q, QStringLiteral("update jd_htqd set 合同金额=? where rowid=?"), {amount, rowId}, false);
}

void BoqTotals::restoreInsuranceLine(qint64 rowId, const QVariant& price, const QVariant& amount) {
    auto q = m_dm.NewQuery();
    m_dm.RunSql(*q, QStringLiteral("update jd_htqd set 合同金额=?,合同单价=? where rowid=? and 细目编号=?"),
                {amount, price, rowId, QString::fromLatin1(kInsuranceItem)}, false);
}

namespace {

// Characters as the store's length() counts them (code points, not UTF-16 units).
qsizetype storeLength(const QString& text) {
    qsizetype n = 0;
    for (const QChar c : text)
        if (!c.isLowSurrogate())
            ++n;
    return n;
}

bool isWhole(double value) {
    return std::trunc(value) == value && std::fabs(value) < 9007199254740992.0; // 2^53
}

} // namespace

bool BoqLiveTotals::countsInChapter(const QString& chapter, const QString& item) {
    return !chapter.isEmpty() && item != chapter && storeLength(item) > 3 && item != QLatin1String(kInsuranceItem);
}

bool BoqLiveTotals::countsInBase(const QString& item) {
    return storeLength(item) > 3 && item != QLatin1String(kInsuranceItem) && item != QLatin1String(kLiabilityItem);
}

void BoqLiveTotals::Sum::add(double amount) {
    if (isWhole(amount))
        whole += static_cast<qint64>(amount);
    else
        fraction += amount;
}

void BoqLiveTotals::clear() {
    m_chapters.clear();
    m_base = Sum();
}

void BoqLiveTotals::load(TDmMain& dm, const QString& contract) {
    clear();
    // The sums are made by the same tests as the line-by-line changes (countsInChapter,
    // countsInBase), so that the two can never count differently.
    dm.RunSelect(QStringLiteral("select 章, 细目编号, 合同金额 from jd_htqd where 合同编号=?"), {contract},
                 [this](const Statement& st) { addLine(st.value(0).toString(), st.value(1).toString(), st.value(2)); });
}

void BoqLiveTotals::addLine(const QString& chapter, const QString& item, const QVariant& amount) {
    const double value = NumberOf(amount).value_or(0.0);
    if (countsInChapter(chapter, item))
        m_chapters[chapter].others.stored += value;
    else if (item == QLatin1String(kInsuranceItem) && !chapter.isEmpty() && chapter != item)
        ++m_chapters[chapter].insuranceLines; // counted at the premium, whatever it holds now
    if (countsInBase(item))
        m_base.stored += value;
}

void BoqLiveTotals::lineChanged(const QString& chapter, const QString& item, const QVariant& before,
                                const QVariant& after) {
    const double b = NumberOf(before).value_or(0.0);
    const double a = NumberOf(after).value_or(0.0);
    if (a == b)
        return;
    for (Sum* sum : {countsInChapter(chapter, item) ? &m_chapters[chapter].others : nullptr,
                     countsInBase(item) ? &m_base : nullptr}) {
        if (!sum)
            continue;
        sum->add(-b);
        sum->add(a);
    }
}

qint64 BoqLiveTotals::insurance() const {
    return BoqTotals::insuranceAmount(RoundAmount(m_base.value()));
}

qint64 BoqLiveTotals::chapterTotal(const QString& chapter) const {
    const auto found = m_chapters.constFind(chapter);
    if (found == m_chapters.constEnd())
        return 0;
    return RoundAmount(found->others.value() + static_cast<double>(found->insuranceLines * insurance()));
}

qint64 BoqLiveTotals::contractTotal() const {
    qint64 total = 0;
    for (auto it = m_chapters.constBegin(); it != m_chapters.constEnd(); ++it)
        total += chapterTotal(it.key());
    return total;
}

} // namespace tenvora

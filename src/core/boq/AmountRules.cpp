#include "boq/AmountRules.h"

#include <optional>

#include "data/DataModule.h"

namespace tenvora {

qint64 BoqTotals::storeInsurance(const QString& contract) {
    ContractFigures figures = ContractFigures::read(m_dm, contract, ContractFigures::Parts::Boq);
    return storeInsurance(contract, figures);
}

qint64 BoqTotals::storeInsurance(const QString& contract, ContractFigures& figures) {
    const qint64 amount = figures.insurance();
    writeInsurance(contract, amount);
    figures.storeInsurance();
    return amount;
}

void BoqTotals::writeInsurance(const QString& contract, qint64 amount) {
    auto q = m_dm.NewQuery();
    m_dm.RunSql(*q, QStringLiteral("update jd_htqd set 合同金额=?,合同单价=? where 合同编号=? and 细目编号=?"),
                {amount, amount, contract, QString::fromLatin1(kInsuranceItem)}, false);
}

void BoqTotals::writeChapterTotal(const QString& contract, const QString& chapter, qint64 total) {
    auto q = m_dm.NewQuery();
    m_dm.RunSql(*q, QStringLiteral("update jd_htqd set 合同金额=? where 合同编号=? and 细目编号=? and 章=?"),
                {total, contract, chapter, chapter}, false);
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

ChapterRecompute BoqTotals::recompute(const QString& contract, const QString& chapter) {
    return recomputeChapters(contract, {chapter}).value(0).second;
}

QList<QPair<QString, ChapterRecompute>> BoqTotals::recomputeAll(const QString& contract) {
    QList<QPair<QString, ChapterRecompute>> results;
    m_dm.RunChange([&] {
        ContractFigures figures = ContractFigures::read(m_dm, contract, ContractFigures::Parts::Boq);
        const qint64 insurance = storeInsurance(contract, figures);
        for (const QString& chapter : figures.chapters()) {
            const qint64 total = figures.storedChapterTotal(chapter);
            writeChapterTotal(contract, chapter, total);
            figures.storeChapterTotal(chapter);
            results.append({chapter, ChapterRecompute{insurance, total}});
        }
    });
    return results;
}

QList<QPair<QString, ChapterRecompute>>
BoqTotals::recomputeChapters(const QString& contract, const QStringList& chapters, ContractFigures* known) {
    QList<QPair<QString, ChapterRecompute>> results;
    // One change for the user: either every figure is stored or none is.
    m_dm.RunChange([&] {
        // Figures handed in are used in place (they follow what is stored), not copied.
        std::optional<ContractFigures> read;
        if (!known)
            read = ContractFigures::read(m_dm, contract, ContractFigures::Parts::Boq);
        ContractFigures& figures = known ? *known : *read;
        const qint64 insurance = storeInsurance(contract, figures);
        for (const QString& chapter : chapters) {
            const qint64 total = figures.storedChapterTotal(chapter);
            writeChapterTotal(contract, chapter, total);
            figures.storeChapterTotal(chapter);
            results.append({chapter, ChapterRecompute{insurance, total}});
        }
    });
    return results;
}

std::vector<StoredLineFigures> BoqTotals::recomputedLines(const QString& contract, const QStringList& chapters,
                                                          const ContractFigures* known) {
    std::vector<StoredLineFigures> lines;
    if (known) {
        for (const FigureLine& line : known->lines()) {
            if (!ContractFigures::isInsuranceLine(line.item) &&
                !(line.item == line.chapter && !line.chapter.isEmpty() && chapters.contains(line.item)))
                continue;
            m_dm.RunSelect(QStringLiteral("select rowid, 章, 细目编号, 合同单价, 合同金额 from jd_htqd where rowid=?"),
                           {line.rowId}, [&](const Statement& st) {
                               lines.push_back({st.value(0).toLongLong(), st.value(1).toString(),
                                                st.value(2).toString(), st.value(3), st.value(4)});
                           });
        }
        return lines;
    }
    QStringList marks;
    QVariantList values{contract, QString::fromLatin1(kInsuranceItem)};
    for (const QString& chapter : chapters) {
        marks << QStringLiteral("?");
        values << chapter;
    }
    m_dm.RunSelect(
        QStringLiteral("select rowid, 章, 细目编号, 合同单价, 合同金额 from jd_htqd where 合同编号=? and "
                       "(细目编号=?%1) order by rowid")
            .arg(marks.isEmpty()
                     ? QString()
                     : QStringLiteral(" or (细目编号=章 and 细目编号 in (%1))").arg(marks.join(QLatin1Char(',')))),
        values, [&](const Statement& st) {
            lines.push_back(
                {st.value(0).toLongLong(), st.value(1).toString(), st.value(2).toString(), st.value(3), st.value(4)});
        });
    return lines;
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

} // namespace tenvora

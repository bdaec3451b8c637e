#include "pricing/UnitPriceAnalysis.h"

#include "data/DataModule.h"
#include "data/NaturalOrder.h"

namespace tenvora {

LineAnalysis AnalyseBuildUp(const QString& item, const std::vector<BuildUpRow>& rows,
                            const QHash<QString, Resource>& library, const std::vector<Fee>& fees) {
    LineAnalysis a;
    a.item = item;
    QStringList missing;
    for (const BuildUpRow& row : rows) {
        const auto found = library.constFind(row.code);
        if (found == library.constEnd()) {
            missing << row.code;
            continue;
        }
        AnalysedResource r{found->code, found->name, found->unit, found->kind, row.consumption, found->price, {}};
        r.amount = ExactDecimal::fromDouble(row.consumption) * ExactDecimal::fromDouble(found->price);
        a.byKind[static_cast<size_t>(r.kind)] += r.amount;
        a.direct += r.amount;
        a.resources.push_back(std::move(r));
    }
    if (!missing.isEmpty()) {
        a.problem =
            QStringLiteral("细目“%1”的工料机组成中的 %2 不在工料机库中").arg(item, missing.join(QStringLiteral("、")));
        return a;
    }
    ExactDecimal running = a.direct;
    for (const Fee& fee : fees) {
        AnalysedFee f{fee.name, fee.percent, fee.base, fee.base == FeeBase::Direct ? a.direct : running, {}};
        f.amount = f.baseAmount.percent(ExactDecimal::fromDouble(fee.percent));
        running += f.amount;
        a.fees.push_back(std::move(f));
    }
    a.total = running;
    return a;
}

UnitPriceAnalysis::UnitPriceAnalysis(DataModule& dm, const QString& contract)
    : m_library(ResourceLibrary(dm, contract).byCode()), m_fees(FeeList(dm, contract).list()),
      m_rows(LineBuildUps(dm, contract).byItem()) {}

QStringList UnitPriceAnalysis::items() const {
    QStringList items = m_rows.keys();
    std::sort(items.begin(), items.end(),
              [](const QString& a, const QString& b) { return CompareItemNumbers(a, b) < 0; });
    return items;
}

LineAnalysis UnitPriceAnalysis::analyse(const QString& item) const {
    static const std::vector<BuildUpRow> none;
    const auto found = m_rows.constFind(item);
    return AnalyseBuildUp(item, found == m_rows.constEnd() ? none : *found, m_library, m_fees);
}

} // namespace tenvora

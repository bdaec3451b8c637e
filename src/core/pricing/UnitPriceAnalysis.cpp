#include "pricing/UnitPriceAnalysis.h"

#include "data/DataModule.h"
#include "data/NaturalOrder.h"

namespace tenvora {

namespace {

QHash<QString, ExactDecimal> pricesOf(const QHash<QString, Resource>& library) {
    QHash<QString, ExactDecimal> prices;
    for (auto it = library.cbegin(); it != library.cend(); ++it)
        prices.insert(it.key(), ExactDecimal::fromDouble(it->price));
    return prices;
}

std::vector<ExactDecimal> percentsOf(const std::vector<Fee>& fees) {
    std::vector<ExactDecimal> percents;
    for (const Fee& fee : fees)
        percents.push_back(ExactDecimal::fromDouble(fee.percent));
    return percents;
}

// The one computation, the library's prices and the fees' percentages already read as decimals.
LineAnalysis analyseRows(const QString& item, const std::vector<BuildUpRow>& rows,
                         const QHash<QString, Resource>& library, const QHash<QString, ExactDecimal>& prices,
                         const std::vector<Fee>& fees, const std::vector<ExactDecimal>& percents, bool detail) {
    LineAnalysis a;
    a.item = item;
    QStringList missing;
    for (const BuildUpRow& row : rows) {
        const auto found = library.constFind(row.code);
        if (found == library.constEnd()) {
            missing << row.code;
            continue;
        }
        const ExactDecimal amount = ExactDecimal::fromDouble(row.consumption) * prices.value(row.code);
        a.byKind[static_cast<size_t>(found->kind)] += amount;
        a.direct += amount;
        if (detail)
            a.resources.push_back(
                {found->code, found->name, found->unit, found->kind, row.consumption, found->price, amount});
    }
    if (!missing.isEmpty()) {
        a.problem =
            QStringLiteral("细目“%1”的工料机组成中的 %2 不在工料机库中").arg(item, missing.join(QStringLiteral("、")));
        return a;
    }
    ExactDecimal running = a.direct;
    for (size_t i = 0; i < fees.size(); ++i) {
        const ExactDecimal& base = fees[i].base == FeeBase::Direct ? a.direct : running;
        const ExactDecimal amount = base.percent(percents[i]);
        if (detail)
            a.fees.push_back({fees[i].name, fees[i].percent, fees[i].base, base, amount});
        running += amount;
    }
    a.total = running;
    return a;
}

} // namespace

LineAnalysis AnalyseBuildUp(const QString& item, const std::vector<BuildUpRow>& rows,
                            const QHash<QString, Resource>& library, const std::vector<Fee>& fees) {
    return analyseRows(item, rows, library, pricesOf(library), fees, percentsOf(fees), true);
}

UnitPriceAnalysis::UnitPriceAnalysis(DataModule& dm, const QString& contract)
    : m_library(ResourceLibrary(dm, contract).byCode()), m_prices(pricesOf(m_library)),
      m_fees(FeeList(dm, contract).list()), m_percents(percentsOf(m_fees)),
      m_rows(LineBuildUps(dm, contract).byItem()) {}

QStringList UnitPriceAnalysis::items() const {
    QStringList items = m_rows.keys();
    std::sort(items.begin(), items.end(),
              [](const QString& a, const QString& b) { return CompareItemNumbers(a, b) < 0; });
    return items;
}

LineAnalysis UnitPriceAnalysis::analyse(const QString& item, bool detail) const {
    static const std::vector<BuildUpRow> none;
    const auto found = m_rows.constFind(item);
    return analyseRows(item, found == m_rows.constEnd() ? none : *found, m_library, m_prices, m_fees, m_percents,
                       detail);
}

} // namespace tenvora

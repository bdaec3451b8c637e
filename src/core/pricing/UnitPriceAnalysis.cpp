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

// What one row of a build-up brings into the computation.
struct RowTerms {
    const Resource* resource = nullptr; // null: the code is not in the library
    const ExactDecimal* price = nullptr;
    const ExactDecimal* consumption = nullptr;
    double consumptionValue = 0;
    const QString* code = nullptr;
};

// The one computation, the library's prices and the fees' percentages already read as decimals.
template <typename Row, typename Terms>
LineAnalysis analyseRows(const QString& item, const std::vector<Row>& rows, const Terms& termsOf,
                         const std::vector<Fee>& fees, const std::vector<ExactDecimal>& percents, bool detail) {
    LineAnalysis a;
    a.item = item;
    QStringList missing;
    for (const Row& row : rows) {
        const RowTerms t = termsOf(row);
        if (!t.resource) {
            missing << *t.code;
            continue;
        }
        const ExactDecimal amount = *t.consumption * *t.price;
        a.byKind[static_cast<size_t>(t.resource->kind)] += amount;
        a.direct += amount;
        if (detail)
            a.resources.push_back({t.resource->code, t.resource->name, t.resource->unit, t.resource->kind,
                                   t.consumptionValue, t.resource->price, amount});
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
    const QHash<QString, ExactDecimal> prices = pricesOf(library);
    std::vector<ExactDecimal> consumptions;
    consumptions.reserve(rows.size());
    for (const BuildUpRow& row : rows)
        consumptions.push_back(ExactDecimal::fromDouble(row.consumption));
    const auto termsOf = [&](const BuildUpRow& row) {
        RowTerms t;
        t.code = &row.code;
        t.consumptionValue = row.consumption;
        t.consumption = &consumptions[static_cast<size_t>(&row - rows.data())];
        if (const auto found = library.constFind(row.code); found != library.constEnd()) {
            t.resource = &*found;
            t.price = &*prices.constFind(row.code);
        }
        return t;
    };
    return analyseRows(item, rows, termsOf, fees, percentsOf(fees), true);
}

UnitPriceAnalysis::UnitPriceAnalysis(DataModule& dm, const QString& contract)
    : m_library(ResourceLibrary(dm, contract).byCode()), m_fees(FeeList(dm, contract).list()),
      m_percents(percentsOf(m_fees)) {
    QHash<QString, int> indexOf;
    for (auto it = m_library.cbegin(); it != m_library.cend(); ++it) {
        indexOf.insert(it.key(), static_cast<int>(m_resources.size()));
        m_resources.push_back(&*it);
        m_prices.push_back(ExactDecimal::fromDouble(it->price));
    }
    // Each code of the build-ups is looked up in the library once, each consumption read as a
    // decimal once (norms repeat them across many lines).
    std::vector<int> resourceOf; // by the code's number in the pass
    QHash<double, int> consumptionIndex;
    // The rows come in runs of one item (a line's rows added later make a run of their own): the
    // runs first, then the index made once at its size.
    std::vector<std::pair<QString, std::vector<Row>>> runs;
    LineBuildUps(dm, contract).forEachRow([&](const QVariant& item, int number, const QString& code, double value) {
        if (runs.empty() || item.toString() != runs.back().first)
            runs.emplace_back(item.toString(), std::vector<Row>());
        std::vector<Row>* rows = &runs.back().second;
        if (number >= static_cast<int>(resourceOf.size())) {
            int index = indexOf.value(code, -1);
            if (index < 0) {
                index = -1 - static_cast<int>(m_unknown.size());
                m_unknown << code;
            }
            resourceOf.push_back(index);
        }
        auto found = consumptionIndex.constFind(value);
        if (found == consumptionIndex.constEnd()) {
            found = consumptionIndex.insert(value, static_cast<int>(m_consumptions.size()));
            m_consumptions.push_back(ExactDecimal::fromDouble(value));
        }
        rows->push_back({resourceOf[static_cast<size_t>(number)], *found, value});
    });
    m_rows.reserve(static_cast<qsizetype>(runs.size()));
    for (auto& [item, rows] : runs) {
        std::vector<Row>& into = m_rows[item];
        if (into.empty())
            into = std::move(rows);
        else
            into.insert(into.end(), rows.begin(), rows.end());
    }
}

QStringList UnitPriceAnalysis::items() const {
    QStringList items = m_rows.keys();
    std::sort(items.begin(), items.end(),
              [](const QString& a, const QString& b) { return CompareItemNumbers(a, b) < 0; });
    return items;
}

LineAnalysis UnitPriceAnalysis::analyse(const QString& item, bool detail) const {
    static const std::vector<Row> none;
    const auto found = m_rows.constFind(item);
    const auto termsOf = [this](const Row& row) {
        RowTerms t;
        t.consumptionValue = row.value;
        t.consumption = &m_consumptions[static_cast<size_t>(row.consumption)];
        if (row.resource >= 0) {
            t.resource = m_resources[static_cast<size_t>(row.resource)];
            t.price = &m_prices[static_cast<size_t>(row.resource)];
        } else {
            t.code = &m_unknown[-1 - row.resource];
        }
        return t;
    };
    return analyseRows(item, found == m_rows.constEnd() ? none : *found, termsOf, m_fees, m_percents, detail);
}

} // namespace tenvora

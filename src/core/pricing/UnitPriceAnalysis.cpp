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
LineAnalysis analyseTerms(const QString& item, const std::vector<Row>& rows, const Terms& termsOf,
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
    return analyseTerms(item, rows, termsOf, fees, percentsOf(fees), true);
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
    // rows and runs first, then each build-up made once at its size.
    struct Run {
        QString item;
        size_t begin;
    };
    std::vector<Run> runs;
    std::vector<Row> pass;
    LineBuildUps(dm, contract).forEachRow([&](const QString& item, int number, const QString& code, double value) {
        if (runs.empty() || item != runs.back().item)
            runs.push_back({item, pass.size()});
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
        pass.push_back({resourceOf[static_cast<size_t>(number)], *found, value});
    });
    m_indexOf.reserve(static_cast<qsizetype>(runs.size()));
    m_buildUps.reserve(runs.size());
    for (size_t r = 0; r < runs.size(); ++r) {
        const auto begin = pass.begin() + static_cast<std::ptrdiff_t>(runs[r].begin);
        const auto end =
            r + 1 < runs.size() ? pass.begin() + static_cast<std::ptrdiff_t>(runs[r + 1].begin) : pass.end();
        // One look-up a run: a new item's slot holds 0 until it is given its number + 1.
        int& slot = m_indexOf[runs[r].item];
        if (slot == 0) {
            slot = static_cast<int>(m_buildUps.size()) + 1;
            m_buildUps.emplace_back(std::move(runs[r].item), std::vector<Row>(begin, end));
        } else {
            std::vector<Row>& into = m_buildUps[static_cast<size_t>(slot - 1)].second;
            into.insert(into.end(), begin, end);
        }
    }
}

QStringList UnitPriceAnalysis::items() const {
    QStringList items;
    items.reserve(static_cast<qsizetype>(m_buildUps.size()));
    for (const auto& buildUp : m_buildUps)
        items << buildUp.first;
    std::sort(items.begin(), items.end(),
              [](const QString& a, const QString& b) { return CompareItemNumbers(a, b) < 0; });
    return items;
}

LineAnalysis UnitPriceAnalysis::analyse(const QString& item, bool detail) const {
    const int buildUp = buildUpOf(item);
    return buildUp < 0 ? analyseRows(item, {}, detail) : analyse(buildUp, detail);
}

LineAnalysis UnitPriceAnalysis::analyse(int buildUp, bool detail) const {
    const auto& [item, rows] = m_buildUps.at(static_cast<size_t>(buildUp));
    return analyseRows(item, rows, detail);
}

std::vector<char> UnitPriceAnalysis::buildUpsUsing(const QStringList& codes) const {
    // The codes as the rows name them: a resource's place in the library, or in the unknown codes.
    std::vector<char> named(m_resources.size(), 0);
    std::vector<char> unknown(static_cast<size_t>(m_unknown.size()), 0);
    for (size_t r = 0; r < m_resources.size(); ++r)
        named[r] = codes.contains(m_resources[r]->code) ? 1 : 0;
    for (qsizetype u = 0; u < m_unknown.size(); ++u)
        unknown[static_cast<size_t>(u)] = codes.contains(m_unknown[u]) ? 1 : 0;
    std::vector<char> using_(m_buildUps.size(), 0);
    for (size_t b = 0; b < m_buildUps.size(); ++b)
        for (const Row& row : m_buildUps[b].second)
            if (row.resource >= 0 ? named[static_cast<size_t>(row.resource)]
                                  : unknown[static_cast<size_t>(-1 - row.resource)]) {
                using_[b] = 1;
                break;
            }
    return using_;
}

LineAnalysis UnitPriceAnalysis::analyseRows(const QString& item, const std::vector<Row>& rows, bool detail) const {
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
    return analyseTerms(item, rows, termsOf, m_fees, m_percents, detail);
}

} // namespace tenvora

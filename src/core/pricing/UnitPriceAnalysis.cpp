#include "pricing/UnitPriceAnalysis.h"

#include "data/DataModule.h"

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
    : m_library(ResourceLibrary(dm, contract).byCode()), m_fees(FeeList(dm, contract).list()) {
    for (BuildUpRow& row : LineBuildUps(dm, contract).all()) {
        auto found = m_rows.find(row.item);
        if (found == m_rows.end()) {
            m_items << row.item;
            found = m_rows.insert(row.item, {});
        }
        found->push_back(std::move(row));
    }
}

LineAnalysis UnitPriceAnalysis::analyse(const QString& item) const {
    return AnalyseBuildUp(item, m_rows.value(item), m_library, m_fees);
}

} // namespace tenvora

// The unit-price analysis (综合单价分析) of a BoQ line from its build-up:
//   amount of a row    consumption x the resource's unit price
//   subtotal by kind   the amounts of the 人工, 材料 and 机械 rows
//   direct cost        the sum of every row's amount
//   fee                its percentage of the direct cost, or of the running total (the direct
//                      cost and the fees before it), in the fees' order
//   unit price         the direct cost and every fee, rounded to 0.01 (half away from zero)
// All of it in exact decimals (ExactDecimal: each stored figure read as its 15 significant
// digits), rounded only at the end; a figure the form prints is the exact one rounded to 0.01.
#pragma once

#include "pricing/ExactDecimal.h"
#include "pricing/FeeList.h"
#include "pricing/LineBuildUps.h"
#include "pricing/ResourceLibrary.h"

#include <QHash>
#include <array>
#include <vector>

namespace tenvora {

class DataModule;

struct AnalysedResource {
    QString code;
    QString name;
    QString unit;
    ResourceKind kind = ResourceKind::Material;
    double consumption = 0;
    double price = 0;
    ExactDecimal amount;
};

struct AnalysedFee {
    QString name;
    double percent = 0;
    FeeBase base = FeeBase::Direct;
    ExactDecimal baseAmount;
    ExactDecimal amount;
};

struct LineAnalysis {
    QString item;
    std::vector<AnalysedResource> resources;         // in the build-up's order
    std::array<ExactDecimal, kResourceKinds> byKind; // 人工, 材料, 机械
    ExactDecimal direct;
    std::vector<AnalysedFee> fees;
    ExactDecimal total; // not rounded
    // Why the line has no analysed price (a resource of its build-up is not in the library);
    // empty when it has one.
    QString problem;

    bool priced() const { return problem.isEmpty(); }
    // The unit price in cents and as the price column stores it (the double nearest to it).
    qint64 cents() const { return total.units(2); }
    double unitPrice() const { return static_cast<double>(cents()) / 100.0; }
};

// The analysis of one build-up against a library and the fees.
LineAnalysis AnalyseBuildUp(const QString& item, const std::vector<BuildUpRow>& rows,
                            const QHash<QString, Resource>& library, const std::vector<Fee>& fees);

// A contract's library, fees and build-ups, read once, for analysing many lines.
class UnitPriceAnalysis {
public:
    // Refused without a current contract.
    UnitPriceAnalysis(DataModule& dm, const QString& contract);
    // It points into its own library.
    UnitPriceAnalysis(const UnitPriceAnalysis&) = delete;
    UnitPriceAnalysis& operator=(const UnitPriceAnalysis&) = delete;

    // The items that have a build-up, in the order item numbers are listed.
    QStringList items() const;
    bool hasBuildUp(const QString& item) const { return m_indexOf.contains(item); }
    // The analysis of a line with a build-up (an empty one for an item without). Without detail
    // only the figures are worked out (direct cost, subtotals, total, problem), not the rows and
    // fees, for re-pricing many lines.
    LineAnalysis analyse(const QString& item, bool detail = true) const;
    // The build-ups by number (0 .. buildUpCount() - 1), so that a caller going through many
    // lines looks each item up once: the number of an item's build-up, or -1 for none.
    int buildUpCount() const { return static_cast<int>(m_buildUps.size()); }
    int buildUpOf(const QString& item) const { return m_indexOf.value(item) - 1; }
    // The same, trying the build-up numbered `likely` first: a bill's lines usually come in the
    // order their build-ups were made, so a caller going through them passes the one after the
    // last it found and rarely needs the index.
    int buildUpOf(const QString& item, int likely) const {
        if (likely >= 0 && likely < buildUpCount() && m_buildUps[static_cast<size_t>(likely)].first == item)
            return likely;
        return buildUpOf(item);
    }
    LineAnalysis analyse(int buildUp, bool detail) const;
    const QString& itemOf(int buildUp) const { return m_buildUps.at(static_cast<size_t>(buildUp)).first; }
    // Which build-ups use one of these resource codes, by number.
    std::vector<char> buildUpsUsing(const QStringList& codes) const;
    const std::vector<Fee>& fees() const { return m_fees; }
    const QHash<QString, Resource>& library() const { return m_library; }

private:
    // A row of a build-up as the analysis keeps it: the resource (its place in m_resources, or
    // -1 - its place in m_unknown for a code not in the library) and the consumption (its place
    // in m_consumptions, and as stored).
    struct Row {
        int resource;
        int consumption;
        double value;
    };
    LineAnalysis analyseRows(const QString& item, const std::vector<Row>& rows, bool detail) const;

    QHash<QString, Resource> m_library;
    std::vector<const Resource*> m_resources; // into m_library, which does not change
    std::vector<ExactDecimal> m_prices;       // each resource's price, read once
    QStringList m_unknown;
    std::vector<ExactDecimal> m_consumptions;
    std::vector<Fee> m_fees;
    std::vector<ExactDecimal> m_percents;
    std::vector<std::pair<QString, std::vector<Row>>> m_buildUps; // in the order first stored
    QHash<QString, int> m_indexOf;                                // an item's build-up number + 1
};

} // namespace tenvora

// Putting the analysed unit prices into the bill: each line's price goes through the BoQ save
// hook (the price lock and the amount rule hold there), all lines as one change, followed by
// "章合计 和 保险费 计算" of the chapters it touched and of the insurance line's chapter, as 调价
// does. The proposal lists every line with its old and new price and the bid price before and
// after (ContractFigures) before anything is written; apply() returns the changes, so that the
// editor's history takes them as one step (BoqEditor::takeWrittenStep).
#pragma once

#include "boq/ContractFigures.h"
#include "boq/PriceHistory.h"
#include "data/DataSet.h"

#include <QSet>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace tenvora {

class DataModule;

struct AnalysedLine {
    enum class Outcome {
        Change,   // the analysed price differs from the stored one and is written
        Same,     // the line holds the analysed price already
        Locked,   // a price-locked line: reported, never written
        Unpriced, // its build-up cannot be analysed (a resource not in the library)
    };
    int row = -1; // in the proposal's list
    qint64 rowId = 0;
    QString chapter;
    QString item;
    QVariant oldPrice;
    QVariant oldAmount;
    std::optional<double> newPrice;  // the analysed price; none for an unpriced line
    std::optional<qint64> newAmount; // the amount rule's, for a line that is not locked
    Outcome outcome = Outcome::Same;
    QString reason; // why a line is locked or unpriced
};

class AnalysedPriceApply {
public:
    explicit AnalysedPriceApply(DataModule& dm);

    // Every main-bill line of the contract that has a build-up. Nothing is written.
    void proposeAll(const QString& contract);
    // The lines of these items; Refused for an item without a build-up or without a main-bill line.
    void proposeFor(const QString& contract, const QStringList& items);
    // The lines of these items that have a build-up and a line, the others passed over (the
    // lines a change of a resource price or of the fees touches).
    void proposeTouched(const QString& contract, const QStringList& items);
    // The lines whose build-up uses one of these resources (a change of their prices).
    void proposeUsing(const QString& contract, const QStringList& resources);
    // The items with a build-up that the last proposal covered.
    const QStringList& proposedItems() const { return m_items; }

    bool hasProposal() const { return m_proposed; }
    const std::vector<AnalysedLine>& lines() const { return m_plan; }
    // The lines, taken out: the proposal has none afterwards.
    std::vector<AnalysedLine> takeLines() {
        m_proposed = false;
        m_bidPrices.reset();
        return std::exchange(m_plan, {});
    }
    int count(AnalysedLine::Outcome outcome) const;
    // The bid price ("投标报价汇总表") with the insurance line stored, before and after.
    qint64 bidPriceBefore() const { return bidPrices().first; }
    qint64 bidPriceAfter() const { return bidPrices().second; }
    // A few lines of text for the window and the command.
    QString summary() const;

    // Writes the proposal as one change and returns the changes for the history (empty when no
    // price changes). A line changed since the proposal was read refuses all of it (Refused).
    std::vector<PriceChange> apply();
    // The proposal's list; after apply() its changed lines read as now stored.
    const DataSet& written() const { return m_lines; }

private:
    // What a proposal covers: every line with a build-up, the items named (strict: each must
    // have a build-up and a line), or the lines whose build-up uses one of the resources named.
    enum class Scope { All, Items, StrictItems, Resources };
    void propose(const QString& contract, Scope scope, const QStringList& names);

    DataModule& m_dm;
    QString m_contract;
    DataSet m_lines;
    std::vector<AnalysedLine> m_plan;
    QStringList m_items;
    const std::pair<qint64, qint64>& bidPrices() const;

    ProposalFigures m_figures; // as read for the proposal
    mutable std::optional<std::pair<qint64, qint64>> m_bidPrices;
    bool m_proposed = false;
};

// What a change of the cost data came to (RepriceAfterChange).
struct RepriceOutcome {
    QStringList items; // the items whose analysis the change touches
    bool repriced = false;
    std::vector<AnalysedLine> lines;  // with reprice: the proposal applied
    std::vector<PriceChange> changes; // with reprice: for the editor's history
};

// Runs a change of the cost data (a resource's price, an import, the fees), which returns the
// items it touches, and with reprice puts their analysed prices into the bill, all as one change.
RepriceOutcome RepriceAfterChange(DataModule& dm, const QString& contract, const std::function<QStringList()>& change,
                                  bool reprice);
// The same for a change of resource prices, which returns the codes whose price changed: the
// items touched are those whose build-up uses one of them, found in the build-ups as they are
// read for the analysis rather than asked of the store first.
RepriceOutcome RepriceAfterPriceChange(DataModule& dm, const QString& contract,
                                       const std::function<QStringList()>& change, bool reprice);

} // namespace tenvora

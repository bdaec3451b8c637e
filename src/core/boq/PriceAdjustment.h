// "调价": scaling the unit prices of a contract (or of chosen chapters) so that the contract BoQ
// total (AmountRules: as it would be recomputed now) meets a target, or by a percentage. The
// proposal is worked out on the figures as stored and shown before anything is written.
#pragma once

#include "boq/ContractFigures.h"
#include "boq/PriceHistory.h"
#include "data/DataSet.h"

#include <QStringList>
#include <optional>
#include <vector>

namespace tenvora {

class DataModule;

struct AdjustmentRequest {
    QStringList chapters; // chapter codes as stored in 章; empty: the whole contract
    // Exactly one of the two: the contract BoQ total to reach (yuan), or a change of the prices
    // in per cent (-3 lowers them by 3 %).
    std::optional<double> target;
    std::optional<double> percent;
};

struct AdjustedLine {
    int row = -1; // in the proposal's list
    qint64 rowId = 0;
    QString chapter;
    QString item;
    QVariant oldPrice;
    double newPrice = 0;
    QVariant oldAmount;
    qint64 newAmount = 0;
};

struct AdjustedChapter {
    QString chapter;
    qint64 before = 0;
    qint64 after = 0;
};

// Which lines are adjusted: priceable main-bill lines (no price lock, so neither provisional sums
// nor the insurance lines) of the chosen chapters that hold a price other than 0. Each new price
// is the old one times one factor, rounded to 0.01, and never further than 0.01 from it: the
// nearest cent, except that lines take the other neighbouring cent (largest quantities first)
// while that brings the total nearer the target. No line is moved further to close what is
// left, so every line keeps the one coefficient and the distance to the target is shown.
class PriceAdjustment {
public:
    explicit PriceAdjustment(DataModule& dm);

    // Reads the contract's lines and works out the proposal; nothing is written. Refused when
    // the request is not one of the two forms, no line can be adjusted, or the target cannot be
    // reached with a factor above 0.
    void propose(const QString& contract, const AdjustmentRequest& request);

    bool hasProposal() const { return m_proposed; }
    qint64 totalBefore() const { return m_totalBefore; }
    qint64 totalAfter() const { return m_totalAfter; }
    qint64 target() const { return m_target; }
    qint64 distance() const { return m_totalAfter - m_target; }
    double factor() const { return m_factor; }
    qint64 insuranceBefore() const { return m_insuranceBefore; }
    qint64 insuranceAfter() const { return m_insuranceAfter; }
    int adjustableCount() const { return static_cast<int>(m_candidates.size()); }
    // The changed line whose new price lies furthest from its old price times the factor, and
    // how far (yuan); 0 and empty when no price changed.
    double largestDeviation() const { return m_largestDeviation; }
    const QString& largestDeviationItem() const { return m_largestDeviationItem; }
    // Lines whose price changes.
    const std::vector<AdjustedLine>& changedLines() const { return m_changed; }
    // Every chapter whose total changes, and the insurance line's chapters, in code order.
    const std::vector<AdjustedChapter>& chapters() const { return m_chapters; }
    // The lines read for the proposal; after apply(), the adjusted ones as now stored.
    const DataSet& lines() const { return m_lines; }
    // A few lines of text for the window and the command.
    QString summary() const;

    // Writes the proposal as one change: the new prices through the save hook (a line changed
    // since the proposal was read refuses all of it), then "章合计 和 保险费 计算" for every
    // chapter it changed and the insurance line's. Returns the changes for the history.
    std::vector<PriceChange> apply();

private:
    struct Candidate {
        int row;
        int chapter; // index into m_sums; -1 when it counts in no chapter total
        bool inBase;
        double price;
        double quantity;
        double amount; // as stored, 0 when empty
    };
    // The contract total with the chapters' and the base's sums moved by these changes.
    qint64 totalOf(const std::vector<double>& chapterDelta, double baseDelta, std::vector<qint64>* perChapter = nullptr,
                   qint64* insurance = nullptr) const;
    // The contract total when each candidate has the amount in amounts (index as candidates).
    qint64 totalWith(const std::vector<double>& amounts, std::vector<qint64>* perChapter = nullptr,
                     qint64* insurance = nullptr) const;
    qint64 totalWithFactor(double factor) const;

    DataModule& m_dm;
    QString m_contract;
    DataSet m_lines;
    std::vector<Candidate> m_candidates;
    std::vector<StoredTotalTerms> m_sums;
    ProposalFigures m_figures; // as read for the proposal
    double m_base = 0;
    bool m_proposed = false;
    qint64 m_totalBefore = 0;
    qint64 m_totalAfter = 0;
    qint64 m_target = 0;
    qint64 m_insuranceBefore = 0;
    qint64 m_insuranceAfter = 0;
    double m_factor = 1;
    double m_largestDeviation = 0;
    QString m_largestDeviationItem;
    std::vector<AdjustedLine> m_changed;
    std::vector<AdjustedChapter> m_chapters;
};

} // namespace tenvora

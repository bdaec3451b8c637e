// Undo and redo of the bill-of-quantities editor's price changes. A step is what the bidder did
// in one go (a price posted, a paste, an adjustment, a chapter recomputation); it keeps every
// line it changed by row identity with the figures before and after, so that it can be undone
// whatever chapter is on display, and refused when a line no longer holds what the step left.
#pragma once

#include "boq/AmountRules.h"

#include <QString>
#include <QVariant>
#include <deque>
#include <vector>

namespace tenvora {

class DataSet;
class TDmMain;

struct PriceChange {
    qint64 rowId = 0;
    QString chapter;
    QString item;
    QVariant priceBefore;
    QVariant amountBefore;
    QVariant priceAfter;
    QVariant amountAfter;
    // Written by the recomputation's statements (insurance and chapter lines), and put back the
    // same way; otherwise a bidder's price, put back through the save hook.
    bool computed = false;
};

struct PriceStep {
    QString label; // what the bidder did, e.g. "粘贴 25 个单价"
    std::vector<PriceChange> changes;
};

// A line's amount that a write changed, for the live totals.
struct AmountChange {
    QString chapter;
    QString item;
    QVariant before;
    QVariant after;
};

class PriceHistory {
public:
    // How much the history keeps: the oldest steps go first.
    static constexpr int kMaxSteps = 100;
    static constexpr size_t kMaxChanges = 1'000'000;

    // A new step; the steps that could be redone are dropped. A step without changes is ignored.
    void push(PriceStep step);
    void clear();

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    const PriceStep& nextUndo() const { return m_undo.back(); }
    const PriceStep& nextRedo() const { return m_redo.front(); }
    // The step was undone (it moves to the redo side) or redone (back to the undo side).
    void undone();
    void redone();
    int undoCount() const { return static_cast<int>(m_undo.size()); }
    int redoCount() const { return static_cast<int>(m_redo.size()); }

private:
    void trim();

    std::deque<PriceStep> m_undo; // oldest first
    std::deque<PriceStep> m_redo; // next to redo first
    size_t m_changes = 0;
};

// The changes a batch of posted rows made: each row of the list as now stored against the same
// row as it was before; rows whose price and amount stayed are left out.
std::vector<PriceChange> PostedChanges(const DataSet& lines, const std::vector<int>& rows,
                                       const std::vector<QVariantList>& before);

// "章合计 和 保险费 计算" for one chapter (BoqTotals::recompute, as one change), with the stored
// figures it changed as computed changes.
std::vector<PriceChange> RecordedRecompute(TDmMain& dm, const QString& contract, const QString& chapter,
                                           ChapterRecompute* result = nullptr);
// Changes of one step made of several writes, one per line: the first figures before and the
// last after of each line; lines that end as they began are left out.
std::vector<PriceChange> MergedChanges(std::vector<PriceChange> changes);

// Undoes (or redoes) a step as one change. Every line must hold what the step left (or, to
// redo, what it found): otherwise Refused names the line and nothing is written. Bidder prices
// go back through the save hook, into the editor's list when it holds the line (so the grid
// shows it at once) and through a list of their own otherwise; an amount the amount rule would
// now give differently is then put back as it was, and computed figures go back through the
// recomputation's own statements. Returns the amounts that changed.
std::vector<AmountChange> ApplyPriceStep(TDmMain& dm, DataSet& list, const PriceStep& step, bool undo);

} // namespace tenvora

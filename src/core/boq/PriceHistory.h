// Undo and redo of the pricing editors' price changes (the bill of quantities and the day-work
// schedules). A step is what the bidder did in one go (a price posted, a paste, an adjustment, a
// chapter recomputation); it keeps every line it changed by row identity with the figures before
// and after, so that it can be undone whatever chapter or schedule is on display, and refused
// when a line no longer holds what the step left.
#pragma once

#include "boq/AmountRules.h"

#include <QString>
#include <QVariant>
#include <deque>
#include <functional>
#include <vector>

namespace tenvora {

class DataSet;
class DataModule;

struct PriceChange {
    qint64 rowId = 0;
    QString chapter; // a BoQ line's 章; a day-work row's schedule code
    QString item;    // 细目编号 or ItemCode
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

// A line's figures as a write left them, for the live totals.
struct AmountChange {
    qint64 rowId = 0;
    QVariant price;
    QVariant amount;
};

class PriceHistory {
public:
    // How much the history keeps: the oldest steps go first.
    static constexpr int kMaxSteps = 100;
    static constexpr size_t kMaxChanges = 400'000;

    // A new step; the steps that could be redone are dropped. A step without changes is ignored.
    void push(PriceStep step);
    void clear();

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    QString undoLabel() const { return canUndo() ? m_undo.back().label : QString(); }
    QString redoLabel() const { return canRedo() ? m_redo.front().label : QString(); }
    // The step undo (redo) would apply, whole.
    PriceStep nextUndo() const { return unpacked(m_undo.back()); }
    PriceStep nextRedo() const { return unpacked(m_redo.front()); }
    // The step was undone (it moves to the redo side) or redone (back to the undo side).
    void undone();
    void redone();
    int undoCount() const { return static_cast<int>(m_undo.size()); }
    int redoCount() const { return static_cast<int>(m_redo.size()); }

private:
    // A step as kept: its texts in one string, so that a step of many lines is a few blocks of
    // memory rather than two strings per line.
    struct Packed {
        QString label;
        QString texts;
        struct Entry {
            qint64 rowId;
            QVariant priceBefore;
            QVariant amountBefore;
            QVariant priceAfter;
            QVariant amountAfter;
            quint32 chapterAt;
            quint32 itemAt;
            quint16 chapterLength;
            quint16 itemLength;
            bool computed;
        };
        std::vector<Entry> entries;
    };
    static Packed packed(PriceStep step);
    static PriceStep unpacked(const Packed& step);
    void trim();

    std::deque<Packed> m_undo; // oldest first
    std::deque<Packed> m_redo; // next to redo first
    size_t m_changes = 0;
};

// The row identity and the columns of jd_htqd that the save hook reads and writes, for lists
// that only take prices ("select " + this + " from jd_htqd ...").
QString PricedLineColumns();

// The columns of a priced list that a step records: the price, the amount it gives, and the two
// texts that name a line in messages.
struct PricedColumns {
    QString price;
    QString amount;
    QString chapter;
    QString item;
    // 合同单价, 合同金额, 章, 细目编号 of jd_htqd.
    static PricedColumns boq();
};

// The changes a batch of posted rows made: each row of the list as now stored against the same
// row as it was before; rows whose price and amount stayed are left out.
std::vector<PriceChange> PostedChanges(const DataSet& lines, const std::vector<int>& rows,
                                       const std::vector<QVariantList>& before,
                                       const PricedColumns& columns = PricedColumns::boq());

// "章合计 和 保险费 计算" for these chapters (BoqTotals::recomputeChapters, as one change), with
// the stored figures it changed as computed changes; result gets the last chapter's figures.
// A caller that holds the contract's figures as the store now does passes them as `known`
// (used in place, not copied).
std::vector<PriceChange> RecordedRecompute(DataModule& dm, const QString& contract, const QStringList& chapters,
                                           ChapterRecompute* result = nullptr, ContractFigures* known = nullptr);

// The figures a proposal read, and what the store had written then: they stand for the store's
// as long as nothing has been written since (on this connection or another).
struct ProposalFigures {
    ContractFigures figures;
    QString mark;
    void take(DataModule& dm, ContractFigures read);
    bool current(DataModule& dm) const;
};

// A proposal's prices written as one change: the rows of `lines` through its save hook, all or
// nothing (a row changed in the store since the proposal was read refuses all of it with the
// text `changedElsewhere` gives for its item), then "章合计 和 保险费 计算" of the chapters written
// and those of the insurance line. While
// the proposal's figures are current, the recomputation takes them with what was just written
// instead of reading the contract again. Returns the changes for the history.
std::vector<PriceChange> PostProposedPrices(DataModule& dm, const QString& contract, DataSet& lines,
                                            const std::vector<std::pair<int, QVariant>>& writes,
                                            const ProposalFigures& proposal,
                                            const std::function<QString(const QString& item)>& changedElsewhere);

// Undoes (or redoes) a step as one change. Every line must hold what the step left (or, to
// redo, what it found): otherwise Refused names the line and nothing is written. Bidder prices
// go back through the save hook, into the editor's list when it holds the line (so the grid
// shows it at once) and through a list of their own otherwise; an amount the amount rule would
// now give differently is then put back as it was, and computed figures go back through the
// recomputation's own statements. Returns the lines' figures as now stored.
std::vector<AmountChange> ApplyPriceStep(DataModule& dm, DataSet& list, const PriceStep& step, bool undo);

} // namespace tenvora

// What the bill-of-quantities editor does, without its widgets: the tree, the list of lines
// of the selected node with the price lock and save hook, the chapter recomputation, and the
// pricing aids (undo and redo, find, paste, live totals, price adjustment).
// The window, the tenvora command and the tests all work through this class.
#pragma once

#include "boq/AmountRules.h"
#include "boq/BoqFind.h"
#include "boq/BoqTree.h"
#include "boq/PriceHistory.h"
#include "boq/PricePaste.h"
#include "data/DataSet.h"

#include <QObject>
#include <optional>

namespace tenvora {

class PriceAdjustment;
struct AdjustmentRequest;
class DataModule;

class BoqEditor : public QObject {
    Q_OBJECT
public:
    explicit BoqEditor(DataModule& dm, QObject* parent = nullptr);

    DataModule& dataModule() const { return m_dm; }

    // The list of lines on display (jd_htqd, only 合同单价 can be typed into).
    DataSet& lines() { return m_lines; }
    const DataSet& lines() const { return m_lines; }

    // The listing statements; bound values: the contract, or the chapter then the contract.
    static QString contractListSql();
    static QString chapterListSql();

    // Empties the list, forgets the selected node and rebuilds the tree from the table; the
    // undo history starts afresh (an import or a restore leaves nothing to undo) and the live
    // totals are read again.
    const std::vector<BoqTreeNode>& initialise();
    const std::vector<BoqTreeNode>& tree() const { return m_tree; }
    // The chapter node with this text (letter case ignored, as the tree merges nodes); null when absent.
    const BoqTreeNode* chapterNode(const QString& text) const;

    // Lists the lines of a node: the whole contract for the contract node, the chapter's lines
    // otherwise (none for the project node). A price typed but not saved is saved first; when
    // that fails the exception reaches the caller and nothing else changes.
    void selectNode(int level, const QString& text);
    int selectedLevel() const { return m_level; }
    const QString& chapterText() const { return m_chapterText; }

    // Stores the insurance line and the selected chapter's total and re-reads the chapter (the
    // window then shows its second line). Does nothing (empty) unless a chapter node is selected.
    // A pending price is saved first, so it counts.
    std::optional<ChapterRecompute> recompute();

    // Saves a price typed but not yet saved, through the save hook; true when a line was written.
    bool savePending();
    // Reads the list of the selected node and, when next asked for, the live totals again: for
    // after something else wrote into the file (a report stores the insurance line).
    void reread();

    // First row whose 细目编号 equals item exactly; -1 when none.
    int findItem(const QString& item) const;
    // Sets the row's price (null clears it) and saves the line through the save hook, which
    // refuses a price-locked line (Refused with the reason; the edit is dropped). Edits of other
    // lines are left as they are.
    void priceLine(int row, const QVariant& price);

    // Undo and redo. Every posted price, paste, adjustment and recomputation is one step. A
    // price typed but not saved is what undo drops first. A step whose lines changed elsewhere
    // is refused (Refused) and nothing is written.
    const PriceHistory& history() const { return m_history; }
    // Both return the row identity of the step's first bidder line (0 when none), for the
    // window to show it.
    qint64 undo();
    qint64 redo();

    // Pastes a column of prices copied from a spreadsheet into the list from that row down:
    // price-locked lines are passed over (and counted), each price goes through the save hook,
    // all as one change and one step. A cell that is not a number, more prices than lines
    // below, or a line changed elsewhere refuses the whole paste (Refused, nothing written).
    PasteResult pastePrices(int fromRow, const QString& text);

    // The live totals (the contract's figures, ContractFigures): read from the contract when
    // first asked for (a command that prices one line never needs them), then kept as lines are
    // priced without reading again.
    const ContractFigures& liveTotals() const;
    // The chapter the live chapter total is shown for while the row is current: the selected
    // chapter, or the row's chapter while the contract node is selected; empty otherwise.
    QString totalsChapter(int row) const;
    // A chapter line (item number equal to its chapter) whose stored total (empty counts as 0)
    // is not the one the recomputation would store now.
    bool isStaleChapterLine(int row) const;

    // Lists only the lines still to price (IsUnpriced); the list is read again.
    void setUnpricedOnly(bool on);
    bool unpricedOnly() const { return m_unpricedOnly; }
    // The chapter nodes' texts in the tree's order.
    QStringList chapterCodes() const;
    // FindBoqLines over the current contract, following the "unpriced only" choice.
    std::vector<BoqFoundLine> find(const QString& text) const;
    // The node that shows a found line: the contract node stays when it is selected, else the
    // line's chapter node (the contract node for a line of no chapter node).
    std::pair<int, QString> nodeFor(const BoqFoundLine& line) const;

    // Works out an adjustment on the current contract (a pending price is saved first).
    void proposeAdjustment(PriceAdjustment& adjustment, const AdjustmentRequest& request);
    // Writes it as one change and one step; the list shows the new figures.
    void applyAdjustment(PriceAdjustment& adjustment);

signals:
    // The undo history changed (a step added, undone, redone, or the history cleared).
    void historyChanged();
    // The live totals changed.
    void totalsChanged();

private:
    void applyDisplayFormats();
    void openList();
    void recordPosted(int row, const QVariantList& before);
    void noteAmounts(const std::vector<PriceChange>& changes);
    void noteAmount(qint64 rowId, const QVariant& price, const QVariant& amount);
    void pushStep(QString label, std::vector<PriceChange> changes);

    DataModule& m_dm;
    DataSet m_lines;
    std::vector<BoqTreeNode> m_tree;
    int m_level = -1;
    QString m_chapterText;
    bool m_unpricedOnly = false;
    PriceHistory m_history;
    mutable ContractFigures m_totals;
    mutable bool m_totalsLoaded = false;
};

} // namespace tenvora

// What the bill-of-quantities editor does, without its widgets: the tree, the list of lines
// of the selected node with the price lock and save hook, and the chapter recomputation.
// The window, the tenvora command and the tests all work through this class.
#pragma once

#include "boq/AmountRules.h"
#include "boq/BoqTree.h"
#include "data/DataSet.h"

#include <QObject>
#include <optional>

namespace tenvora {

class TDmMain;

class BoqEditor : public QObject {
    Q_OBJECT
public:
    explicit BoqEditor(TDmMain& dm, QObject* parent = nullptr);

    // The list of lines on display (jd_htqd, only 合同单价 can be typed into).
    DataSet& lines() { return m_lines; }
    const DataSet& lines() const { return m_lines; }

    // The listing statements; bound values: the contract, or the chapter then the contract.
    static QString contractListSql();
    static QString chapterListSql();

    // Empties the list, forgets the selected node and rebuilds the tree from the table.
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

    // Stores the insurance line and the selected chapter's total, re-reads the chapter and
    // makes its second line current. Does nothing (empty) unless a chapter node is selected.
    // A pending price is saved first, so it counts.
    std::optional<ChapterRecompute> recompute();

    // Saves a price typed but not yet saved, through the save hook; true when a line was written.
    bool savePending();

    // Price lock of the current line, as last applied (false without lines).
    bool currentLocked() const { return m_locked; }
    // First row whose 细目编号 equals item exactly; -1 when none.
    int findItem(const QString& item) const;
    // Makes the row current, sets the price (null clears it) and saves the line through the
    // save hook, which refuses a price-locked line (Refused with the reason; the edit is dropped).
    void priceLine(int row, const QVariant& price);

signals:
    // After the current line changed, and after a load that returned lines: whether the
    // current line is price-locked. The grid follows it with its read-only state.
    void priceLockApplied(bool locked);

private:
    void applyDisplayFormats();
    void applyPriceLock();

    TDmMain& m_dm;
    DataSet m_lines;
    std::vector<BoqTreeNode> m_tree;
    int m_level = -1;
    QString m_chapterText;
    bool m_locked = false;
};

} // namespace tenvora

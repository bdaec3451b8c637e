// The project / contract / chapter tree of the current contract's bill of quantities.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace tenvora {

class DataModule;

enum BoqTreeLevel { BoqProjectLevel = 0, BoqContractLevel = 1, BoqChapterLevel = 2 };

struct BoqTreeNode {
    QString text;
    std::vector<BoqTreeNode> children;
};

// Inserts a path of node texts below roots and returns its last node. At each level the first
// node whose text equals the name ignoring letter case is taken, otherwise a node is added.
// One empty trailing name is dropped, so a contract without lines ends at the contract node.
// Names are kept whole: "\" or ":" inside a name never splits it, so the tree keeps its levels.
BoqTreeNode* InsertBoqTreePath(std::vector<BoqTreeNode>& roots, QStringList path);

// Sorts every node's children by text (natural order, letter case ignored).
void SortBoqTree(std::vector<BoqTreeNode>& roots);

// The tree of one contract: its project, the contract and one node per distinct chapter of its
// lines. Empty when the contract or its project does not exist. Statement errors go through
// RunSql (a rejected statement throws StatementError).
std::vector<BoqTreeNode> BuildBoqTree(DataModule& dm, const QString& contract);

// Image of a node in the tree's list of four: a closed (0) or open (1) book for a node with
// children, kept when selected; a list page (2), with a red tick (3) when selected.
int BoqTreeImage(bool hasChildren, bool expanded, bool selected);

} // namespace tenvora

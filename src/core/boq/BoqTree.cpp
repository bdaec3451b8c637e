#include "boq/BoqTree.h"

#include "data/DataModule.h"
#include "data/NaturalOrder.h"

#include <algorithm>

namespace tenvora {

BoqTreeNode* InsertBoqTreePath(std::vector<BoqTreeNode>& roots, QStringList path) {
    if (!path.isEmpty() && path.last().isEmpty())
        path.removeLast();
    std::vector<BoqTreeNode>* siblings = &roots;
    BoqTreeNode* node = nullptr;
    for (const QString& name : path) {
        auto found = std::find_if(siblings->begin(), siblings->end(),
                                  [&](const BoqTreeNode& n) { return n.text.compare(name, Qt::CaseInsensitive) == 0; });
        if (found == siblings->end()) {
            siblings->push_back(BoqTreeNode{name, {}});
            found = siblings->end() - 1;
        }
        node = &*found;
        siblings = &node->children;
    }
    return node;
}

void SortBoqTree(std::vector<BoqTreeNode>& roots) {
    std::stable_sort(roots.begin(), roots.end(), [](const BoqTreeNode& a, const BoqTreeNode& b) {
        const int folded = CompareItemNumbers(a.text.toCaseFolded(), b.text.toCaseFolded());
        return folded != 0 ? folded < 0 : CompareItemNumbers(a.text, b.text) < 0;
    });
    for (BoqTreeNode& n : roots)
        SortBoqTree(n.children);
}

std::vector<BoqTreeNode> BuildBoqTree(DataModule& dm, const QString& contract) {
    // One row per distinct chapter; a contract without lines still gives its one row with an
    // empty chapter through the outer join. The contract is joined first and its lines are
    // reached through the (合同编号, 章) index, so only this contract's lines are read (joining
    // the lines of every contract before filtering read the whole table).
    auto q = dm.NewQuery();
    dm.RunSql(*q,
              QStringLiteral("select distinct a.项目名称, b.合同名称, c.章 from jd_hetong b join jd_xiangmu a "
                             "on b.UPID = a.ID left join jd_htqd c on c.合同编号 = b.ID "
                             "where b.ID = ? order by c.章"),
              {contract}, true);
    std::vector<BoqTreeNode> roots;
    for (int row = 0; row < q->recordCount(); ++row)
        InsertBoqTreePath(roots, {q->text(row, QStringLiteral("项目名称")), q->text(row, QStringLiteral("合同名称")),
                                  q->text(row, QStringLiteral("章"))});
    SortBoqTree(roots);
    return roots;
}

int BoqTreeImage(bool hasChildren, bool expanded, bool selected) {
    if (hasChildren)
        return expanded ? 1 : 0;
    return selected ? 3 : 2;
}

} // namespace tenvora

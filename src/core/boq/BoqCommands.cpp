#include "boq/BoqCommands.h"

#include "boq/BoqEditor.h"
#include "boq/BoqLineRules.h"
#include "data/DataModule.h"

namespace tenvora {

namespace {

const BoqTreeNode& chapterNode(const BoqEditor& editor, const QString& chapter) {
    const BoqTreeNode* node = editor.chapterNode(chapter);
    if (!node)
        throw Refused(QStringLiteral("当前合同没有“%1”章").arg(chapter));
    return *node;
}

// The chapter of the only main-bill line with that item number; nothing when none or several.
std::optional<QString> onlyChapterOf(DataModule& dm, const QString& item) {
    QStringList chapters;
    dm.RunSelect(QStringLiteral("select 章 from jd_htqd where 是否补充 = 0 and 合同编号 = ? and 细目编号 = ? limit 2"),
                 {dm.session().CurContractID, item}, [&](const Statement& st) { chapters << st.value(0).toString(); });
    if (chapters.size() != 1)
        return std::nullopt;
    return chapters.front();
}

} // namespace

void ListLinesFor(BoqEditor& editor, const std::optional<QString>& chapter, const std::optional<QString>& item) {
    const std::vector<BoqTreeNode>& tree = editor.initialise();
    if (chapter) {
        editor.selectNode(BoqChapterLevel, chapterNode(editor, *chapter).text);
        return;
    }
    if (item)
        if (const std::optional<QString> holding = onlyChapterOf(editor.dataModule(), *item))
            if (const BoqTreeNode* node = editor.chapterNode(*holding); node && node->text == *holding) {
                editor.selectNode(BoqChapterLevel, node->text);
                return;
            }
    if (tree.empty() || tree.front().children.empty())
        throw Refused(QStringLiteral("没有当前合同，请先选择合同段"));
    editor.selectNode(BoqContractLevel, tree.front().children.front().text);
}

int ListedRowOf(const BoqEditor& editor, const QString& item) {
    const int row = editor.findItem(item);
    if (row < 0)
        throw Refused(QStringLiteral("列表中没有细目“%1”").arg(item));
    return row;
}

int PriceItem(BoqEditor& editor, const QString& item, const QVariant& price, const std::optional<QString>& chapter) {
    ListLinesFor(editor, chapter, item);
    const int row = ListedRowOf(editor, item);
    editor.priceLine(row, price);
    return row;
}

PasteResult PasteFromItem(BoqEditor& editor, const QString& item, const std::optional<QString>& chapter,
                          const QString& text) {
    ListLinesFor(editor, chapter);
    return editor.pastePrices(ListedRowOf(editor, item), text);
}

QStringList ContractChapters(BoqEditor& editor, const QStringList& codes) {
    editor.initialise();
    QStringList spelt;
    for (const QString& code : codes)
        spelt << chapterNode(editor, code).text;
    return spelt;
}

} // namespace tenvora

// The bill of quantities of the current contract: boq tree|list|price|recompute. Runs the
// editor's own code, so a price set here is saved through the same hook as one typed in the grid.
#include "Cli.h"

#include "boq/AmountRules.h"
#include "boq/BoqEditor.h"
#include "boq/BoqLineRules.h"
#include "data/Money.h"

#include <QJsonArray>

namespace tenvora::cli {

namespace {

const QString kUsage = QStringLiteral("tenvora boq tree | list [--chapter 章] | price 细目编号 单价 [--chapter 章] | "
                                      "recompute 章|--all");

QJsonArray treeJson(const std::vector<BoqTreeNode>& nodes, int level) {
    QJsonArray list;
    for (const BoqTreeNode& n : nodes)
        list.append(QJsonObject{{QStringLiteral("text"), n.text},
                                {QStringLiteral("level"), level},
                                {QStringLiteral("children"), treeJson(n.children, level + 1)}});
    return list;
}

void printTree(const std::vector<BoqTreeNode>& nodes, int level) {
    for (const BoqTreeNode& n : nodes) {
        out() << QString(level * 2, QLatin1Char(' ')) << n.text << Qt::endl;
        printTree(n.children, level + 1);
    }
}

// Every column of the line by its name (not the row identity), with the two lock flags.
QJsonObject rowJson(const DataSet& lines, int row) {
    QJsonObject o = DataSetRowJson(lines, row);
    o.insert(QStringLiteral("locked"), IsPriceLocked(lines, row));
    o.insert(QStringLiteral("drawnLocked"), IsDrawnLocked(lines, row));
    return o;
}

const QStringList& shownColumns() {
    static const QStringList columns = {BoqColumn::Item,     BoqColumn::Name,  BoqColumn::Unit,
                                        BoqColumn::Quantity, BoqColumn::Price, BoqColumn::Amount};
    return columns;
}

QStringList rowTexts(const DataSet& lines, int row) {
    QStringList cells;
    for (const QString& name : shownColumns())
        cells << lines.displayText(row, lines.columnIndex(name));
    cells << (IsPriceLocked(lines, row) ? QStringLiteral("是") : QString());
    return cells;
}

// Builds the tree as the window does and selects the chapter node, or the contract node.
void selectList(BoqEditor& editor, const std::optional<QString>& chapter) {
    const std::vector<BoqTreeNode>& tree = editor.initialise();
    if (chapter) {
        const BoqTreeNode* node = editor.chapterNode(*chapter);
        if (!node)
            throw Refused(QStringLiteral("当前合同没有“%1”章").arg(*chapter));
        editor.selectNode(BoqChapterLevel, node->text);
        return;
    }
    if (tree.empty() || tree.front().children.empty())
        throw Refused(QStringLiteral("没有当前合同，请先选择合同段"));
    editor.selectNode(BoqContractLevel, tree.front().children.front().text);
}

std::unique_ptr<TDmMain> openContract(Context& ctx, Access access = Access::Read) {
    auto dm = ctx.openAndLogin(access);
    dm->LoadCurrentContract();
    return dm;
}

int runTree(Context& ctx) {
    ctx.expectArguments(0, kUsage);
    auto dm = openContract(ctx);
    BoqEditor editor(*dm);
    const std::vector<BoqTreeNode>& tree = editor.initialise();
    if (ctx.json)
        printJson({{QStringLiteral("nodes"), treeJson(tree, 0)}});
    else
        printTree(tree, 0);
    return 0;
}

int runList(Context& ctx) {
    const std::optional<QString> chapter = ctx.takeOption(QStringLiteral("--chapter"));
    ctx.expectArguments(0, kUsage);
    auto dm = openContract(ctx);
    BoqEditor editor(*dm);
    selectList(editor, chapter);
    const DataSet& lines = editor.lines();
    if (ctx.json) {
        QJsonArray rows;
        for (int r = 0; r < lines.rowCount(); ++r)
            rows.append(rowJson(lines, r));
        printJson({{QStringLiteral("rows"), rows}});
        return 0;
    }
    QList<QStringList> table;
    for (int r = 0; r < lines.rowCount(); ++r)
        table << rowTexts(lines, r);
    printTable(shownColumns() + QStringList{QStringLiteral("锁定")}, table);
    return 0;
}

int runPrice(Context& ctx) {
    const std::optional<QString> chapter = ctx.takeOption(QStringLiteral("--chapter"));
    ctx.expectArguments(2, kUsage);
    const QString item = ctx.args.at(0);
    const QString priceText = ctx.args.at(1);
    const QVariant price = PriceArgument(priceText);
    auto dm = openContract(ctx, Access::Write);
    BoqEditor editor(*dm);
    selectList(editor, chapter);
    const int row = editor.findItem(item);
    if (row < 0)
        throw Refused(QStringLiteral("列表中没有细目“%1”").arg(item));
    editor.priceLine(row, price);
    const DataSet& lines = editor.lines();
    if (ctx.json) {
        printJson({{QStringLiteral("row"), rowJson(lines, row)}});
        return 0;
    }
    QList<QPair<QString, QString>> pairs;
    const QStringList texts = rowTexts(lines, row);
    for (int i = 0; i < shownColumns().size(); ++i)
        pairs << qMakePair(shownColumns().at(i), texts.at(i));
    printKeyValues(pairs);
    return 0;
}

int runRecomputeAll(Context& ctx) {
    auto dm = openContract(ctx);
    const auto results = BoqTotals(*dm).recomputeAll(dm->session().CurContractID);
    if (ctx.json) {
        QJsonArray chapters;
        for (const auto& [chapter, r] : results)
            chapters.append(QJsonObject{{QStringLiteral("chapter"), chapter},
                                        {QStringLiteral("insurance"), r.insurance},
                                        {QStringLiteral("chapterTotal"), r.chapterTotal}});
        printJson({{QStringLiteral("chapters"), chapters}});
        return 0;
    }
    QList<QStringList> rows;
    for (const auto& [chapter, r] : results)
        rows << QStringList{chapter, WholeYuanText(r.chapterTotal)};
    printTable({QStringLiteral("章"), QStringLiteral("章合计")}, rows);
    if (!results.isEmpty())
        out() << QStringLiteral("保险费：%1").arg(WholeYuanText(results.last().second.insurance)) << Qt::endl;
    return 0;
}

int runRecompute(Context& ctx) {
    if (ctx.takeFlag(QStringLiteral("--all"))) {
        ctx.expectArguments(0, kUsage);
        return runRecomputeAll(ctx);
    }
    ctx.expectArguments(1, kUsage);
    const QString chapter = ctx.args.at(0);
    auto dm = openContract(ctx, Access::Write);
    BoqEditor editor(*dm);
    selectList(editor, chapter);
    const std::optional<ChapterRecompute> result = editor.recompute();
    if (!result)
        throw Refused(QStringLiteral("“%1”不是章节点").arg(chapter));
    if (ctx.json) {
        printJson({{QStringLiteral("chapter"), editor.chapterText()},
                   {QStringLiteral("insurance"), result->insurance},
                   {QStringLiteral("chapterTotal"), result->chapterTotal}});
        return 0;
    }
    printKeyValues({{QStringLiteral("章"), editor.chapterText()},
                    {QStringLiteral("保险费"), WholeYuanText(result->insurance)},
                    {QStringLiteral("章合计"), WholeYuanText(result->chapterTotal)}});
    return 0;
}

Command BoqCommand() {
    return {QStringLiteral("boq"),
            QStringLiteral("tree | list [--chapter 章] | price 细目编号 单价 [--chapter 章] | recompute 章|--all"),
            QStringLiteral("当前合同的工程量清单"),
            QStringLiteral(
                "与“配置合同清单”窗口相同的操作：\n"
                "  tree                       项目 / 合同 / 章 的树\n"
                "  list [--chapter 章]        该章（不给出时为整个合同）的主清单细目\n"
                "  price 细目编号 单价 [--chapter 章]\n"
                "                             在该列表中给第一个该编号的细目录入合同单价并保存\n"
                "                             （合同金额按单价 x 数量取整，节取细目编号）；锁定的细目不能录入；\n"
                "                             单价为空文本时清除单价\n"
                "  recompute 章               “章合计 和 保险费 计算”：保险费写入 101-1-a，章合计写入章行\n"
                "  recompute --all            对每一章做同样的计算，作为一次更改"),
            [](Context& ctx) {
                return RunSubcommand(ctx, kUsage,
                                     {{QStringLiteral("tree"), runTree},
                                      {QStringLiteral("list"), runList},
                                      {QStringLiteral("price"), runPrice},
                                      {QStringLiteral("recompute"), runRecompute}});
            }};
}

} // namespace

const CommandRegistration registerBoq(BoqCommand);

} // namespace tenvora::cli

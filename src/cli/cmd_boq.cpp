// The bill of quantities of the current contract: boq tree|list|price|recompute|find|paste|adjust.
// Runs the editor's own code, so a price set here is saved through the same hook as one typed in
// the grid.
#include "Cli.h"

#include "boq/AmountRules.h"
#include "boq/BoqCommands.h"
#include "boq/BoqEditor.h"
#include "boq/BoqLineRules.h"
#include "boq/ChapterNames.h"
#include "boq/PriceAdjustment.h"
#include "data/Money.h"

#include <QFile>
#include <QJsonArray>

namespace tenvora::cli {

namespace {

const QString kUsage =
    QStringLiteral("tenvora boq tree | list [--chapter 章] | price 细目编号 单价 [--chapter 章] | recompute 章|--all | "
                   "find 文字 [--unpriced] | paste --from-line 细目编号 [--chapter 章] 文件|- | "
                   "adjust (--target 金额 | --percent 百分比) [--chapter 章 ...] [--dry-run]");

// Chapter nodes also carry the chapter's name; "text" stays the code the statements use.
QJsonArray treeJson(const std::vector<BoqTreeNode>& nodes, int level) {
    QJsonArray list;
    for (const BoqTreeNode& n : nodes) {
        QJsonObject node{{QStringLiteral("text"), n.text},
                         {QStringLiteral("level"), level},
                         {QStringLiteral("children"), treeJson(n.children, level + 1)}};
        if (level == BoqChapterLevel)
            node.insert(QStringLiteral("name"), BoqChapterName(n.text));
        list.append(node);
    }
    return list;
}

void printTree(const std::vector<BoqTreeNode>& nodes, int level) {
    for (const BoqTreeNode& n : nodes) {
        out() << QString(level * 2, QLatin1Char(' ')) << (level == BoqChapterLevel ? BoqChapterLabel(n.text) : n.text)
              << Qt::endl;
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

std::unique_ptr<DataModule> openContract(Context& ctx, Access access = Access::Read) {
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
    ListLinesFor(editor, chapter);
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
    const int row = PriceItem(editor, item, price, chapter);
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
    auto dm = openContract(ctx, Access::Write);
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
    ListLinesFor(editor, chapter);
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

int runFind(Context& ctx) {
    const bool unpriced = ctx.takeFlag(QStringLiteral("--unpriced"));
    ctx.expectArguments(1, kUsage);
    auto dm = openContract(ctx);
    BoqEditor editor(*dm);
    editor.initialise();
    editor.setUnpricedOnly(unpriced);
    const std::vector<BoqFoundLine> found = editor.find(ctx.args.at(0));
    if (ctx.json) {
        QJsonArray lines;
        for (const BoqFoundLine& f : found)
            lines.append(
                QJsonObject{{BoqColumn::Chapter, f.chapter}, {BoqColumn::Item, f.item}, {BoqColumn::Name, f.name}});
        printJson({{QStringLiteral("lines"), lines}});
        return 0;
    }
    QList<QStringList> table;
    for (const BoqFoundLine& f : found)
        table << QStringList{f.chapter, f.item, f.name};
    printTable({BoqColumn::Chapter, BoqColumn::Item, BoqColumn::Name}, table);
    return 0;
}

QString readPasteText(const QString& source) {
    QFile file;
    const bool opened = source == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                     : (file.setFileName(source), file.open(QIODevice::ReadOnly));
    if (!opened)
        throw Refused(QStringLiteral("无法读取 %1：%2").arg(source, file.errorString()));
    return QString::fromUtf8(file.readAll());
}

int runPaste(Context& ctx) {
    const std::optional<QString> from = ctx.takeOption(QStringLiteral("--from-line"));
    const std::optional<QString> chapter = ctx.takeOption(QStringLiteral("--chapter"));
    ctx.expectArguments(1, kUsage);
    if (!from)
        throw UsageError(QStringLiteral("需要 --from-line 细目编号\n用法：%1").arg(kUsage));
    const QString text = readPasteText(ctx.args.at(0));
    auto dm = openContract(ctx, Access::Write);
    BoqEditor editor(*dm);
    const PasteResult result = PasteFromItem(editor, *from, chapter, text);
    if (ctx.json) {
        printJson({{QStringLiteral("pasted"), result.pasted},
                   {QStringLiteral("skippedLocked"), result.skippedLocked},
                   {QStringLiteral("changed"), result.changed},
                   {QStringLiteral("lastItem"), editor.lines().value(result.lastRow, BoqColumn::Item).toString()}});
        return 0;
    }
    out() << PasteResultText(result) << Qt::endl;
    return 0;
}

// A figure on the command line, written as a bidder writes it ("12,345,678.50" too).
double FigureArgument(const QString& option, const QString& text) {
    const std::optional<QVariant> value = PastedPrice(text);
    if (!value || value->isNull())
        throw UsageError(QStringLiteral("%1 的值“%2”不是数字").arg(option, text));
    return value->toDouble();
}

int runAdjust(Context& ctx) {
    AdjustmentRequest request;
    if (const std::optional<QString> target = ctx.takeOption(QStringLiteral("--target")))
        request.target = FigureArgument(QStringLiteral("--target"), *target);
    if (const std::optional<QString> percent = ctx.takeOption(QStringLiteral("--percent")))
        request.percent = FigureArgument(QStringLiteral("--percent"), *percent);
    QStringList chapters;
    while (const std::optional<QString> chapter = ctx.takeOption(QStringLiteral("--chapter")))
        chapters << *chapter;
    const bool dryRun = ctx.takeFlag(QStringLiteral("--dry-run"));
    ctx.expectArguments(0, kUsage);
    if (request.target.has_value() == request.percent.has_value())
        throw UsageError(QStringLiteral("请给出 --target 或 --percent 之一\n用法：%1").arg(kUsage));
    auto dm = openContract(ctx, dryRun ? Access::Read : Access::Write);
    BoqEditor editor(*dm);
    request.chapters = ContractChapters(editor, chapters);
    PriceAdjustment adjustment(*dm);
    editor.proposeAdjustment(adjustment, request);
    const int changed = static_cast<int>(adjustment.changedLines().size());
    if (!dryRun)
        editor.applyAdjustment(adjustment);
    if (ctx.json) {
        QJsonArray figures;
        for (const AdjustedChapter& c : adjustment.chapters())
            figures.append(QJsonObject{{QStringLiteral("chapter"), c.chapter},
                                       {QStringLiteral("name"), BoqChapterName(c.chapter)},
                                       {QStringLiteral("before"), c.before},
                                       {QStringLiteral("after"), c.after}});
        printJson({{QStringLiteral("target"), adjustment.target()},
                   {QStringLiteral("totalBefore"), adjustment.totalBefore()},
                   {QStringLiteral("totalAfter"), adjustment.totalAfter()},
                   {QStringLiteral("distance"), adjustment.distance()},
                   {QStringLiteral("factor"), adjustment.factor()},
                   {QStringLiteral("adjustable"), adjustment.adjustableCount()},
                   {QStringLiteral("changed"), changed},
                   {QStringLiteral("insuranceBefore"), adjustment.insuranceBefore()},
                   {QStringLiteral("insuranceAfter"), adjustment.insuranceAfter()},
                   {QStringLiteral("chapters"), figures},
                   {QStringLiteral("applied"), !dryRun}});
        return 0;
    }
    out() << adjustment.summary() << Qt::endl;
    QList<QStringList> table;
    for (const AdjustedChapter& c : adjustment.chapters())
        table << QStringList{BoqChapterLabel(c.chapter), WholeYuanText(c.before), WholeYuanText(c.after)};
    printTable({QStringLiteral("章"), QStringLiteral("调价前"), QStringLiteral("调价后")}, table);
    out() << (dryRun ? QStringLiteral("试算：没有写入任何单价") : QStringLiteral("已调价并重算了有关的章合计和保险费"))
          << Qt::endl;
    return 0;
}

Command BoqCommand() {
    return {QStringLiteral("boq"), QStringLiteral("tree | list | price | recompute | find | paste | adjust"),
            QStringLiteral("当前合同的工程量清单"),
            QStringLiteral(
                "与“配置合同清单”窗口相同的操作：\n"
                "  tree                       项目 / 合同 / 章 的树（章节点另有章名 name）\n"
                "  list [--chapter 章]        该章（不给出时为整个合同）的主清单细目\n"
                "  price 细目编号 单价 [--chapter 章]\n"
                "                             在该列表中给第一个该编号的细目录入合同单价并保存\n"
                "                             （合同金额按单价 x 数量取整，节取细目编号）；锁定的细目不能录入；\n"
                "                             单价为空文本时清除单价\n"
                "  recompute 章               “章合计 和 保险费 计算”：保险费写入 101-1-a，章合计写入章行\n"
                "  recompute --all            对每一章做同样的计算，作为一次更改\n"
                "  find 文字 [--unpriced]      各章中细目编号以该文字开头、或细目名称含其中每个词的细目\n"
                "                             （不分大小写）；--unpriced 只找还没有单价的可录入细目\n"
                "  paste --from-line 细目编号 [--chapter 章] 文件|-\n"
                "                             把一列单价（从电子表格复制的文本，可带千位分隔符）从该细目起\n"
                "                             往下填入可录入的细目，锁定的细目跳过；有一个不是数字就都不填\n"
                "  adjust (--target 金额 | --percent 百分比) [--chapter 章 ...] [--dry-run]\n"
                "                             调价：按同一系数调整已报价可录入细目的单价（取到 0.01），使清单\n"
                "                             合计（按现在重算的各章合计之和）达到目标，或按百分比升降；不给\n"
                "                             --chapter 时为整个合同；写入后重算有关的章合计和保险费；\n"
                "                             --dry-run 只显示方案"),
            [](Context& ctx) {
                return RunSubcommand(ctx, kUsage,
                                     {{QStringLiteral("tree"), runTree},
                                      {QStringLiteral("list"), runList},
                                      {QStringLiteral("price"), runPrice},
                                      {QStringLiteral("recompute"), runRecompute},
                                      {QStringLiteral("find"), runFind},
                                      {QStringLiteral("paste"), runPaste},
                                      {QStringLiteral("adjust"), runAdjust}});
            }};
}

} // namespace

const CommandRegistration registerBoq(BoqCommand);

} // namespace tenvora::cli

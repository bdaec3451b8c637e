// The build-ups of the current contract's lines and their analysed prices: boq buildup ...
#include "PricingOutput.h"

#include "data/Money.h"
#include "pricing/LineBuildUps.h"
#include "pricing/UnitPriceAnalysis.h"

#include <QDir>

namespace tenvora::cli {

namespace {

const QString kUsage = QStringLiteral(
    "tenvora boq buildup 细目编号 (--add 编号 消耗量 | --remove 编号 | --list | --copy-to 细目编号 ...) [--apply]\n"
    "      tenvora boq buildup import 工作簿 [--apply]\n"
    "      tenvora boq buildup apply (细目编号 ... | --all) [--dry-run]");

// "--add CODE QTY": the two values after the option.
std::optional<QPair<QString, QString>> takePair(Context& ctx, const QString& name) {
    const qsizetype i = ctx.args.indexOf(name);
    if (i < 0)
        return std::nullopt;
    if (i + 2 >= ctx.args.size())
        throw UsageError(QStringLiteral("%1 需要编号和消耗量\n用法：%2").arg(name, kUsage));
    const QPair<QString, QString> values{ctx.args.at(i + 1), ctx.args.at(i + 2)};
    ctx.args.remove(i, 3);
    return values;
}

// "--copy-to ITEM ...": every plain argument after the option.
std::optional<QStringList> takeList(Context& ctx, const QString& name) {
    const qsizetype i = ctx.args.indexOf(name);
    if (i < 0)
        return std::nullopt;
    QStringList items;
    qsizetype end = i + 1;
    while (end < ctx.args.size() && !ctx.args.at(end).startsWith(QLatin1String("--")))
        items << ctx.args.at(end++);
    ctx.args.remove(i, end - i);
    if (items.isEmpty())
        throw UsageError(QStringLiteral("%1 需要至少一个细目编号\n用法：%2").arg(name, kUsage));
    return items;
}

QJsonValue storedNumber(const QVariant& v) {
    if (const std::optional<double> n = NumberOf(v))
        return *n;
    return QJsonValue();
}

void printAnalysis(const Context& ctx, const QString& item, const LineAnalysis& a, const QVariant& storedPrice) {
    if (ctx.json) {
        QJsonArray rows;
        for (const AnalysedResource& r : a.resources)
            rows.append(QJsonObject{{QStringLiteral("code"), r.code},
                                    {QStringLiteral("name"), r.name},
                                    {QStringLiteral("unit"), r.unit},
                                    {QStringLiteral("kind"), ResourceKindText(r.kind)},
                                    {QStringLiteral("consumption"), r.consumption},
                                    {QStringLiteral("price"), r.price},
                                    {QStringLiteral("amount"), r.amount.text()}});
        QJsonObject byKind;
        for (int k = 0; k < kResourceKinds; ++k)
            byKind.insert(ResourceKindText(static_cast<ResourceKind>(k)), a.byKind[static_cast<size_t>(k)].text());
        QJsonArray fees;
        for (const AnalysedFee& f : a.fees)
            fees.append(QJsonObject{{QStringLiteral("name"), f.name},
                                    {QStringLiteral("percent"), f.percent},
                                    {QStringLiteral("on"), FeeBaseCode(f.base)},
                                    {QStringLiteral("base"), f.baseAmount.text()},
                                    {QStringLiteral("amount"), f.amount.text()}});
        QJsonObject o{{QStringLiteral("item"), item},     {QStringLiteral("rows"), rows},
                      {QStringLiteral("byKind"), byKind}, {QStringLiteral("direct"), a.direct.text()},
                      {QStringLiteral("fees"), fees},     {QStringLiteral("storedPrice"), storedNumber(storedPrice)}};
        if (a.priced())
            o.insert(QStringLiteral("unitPrice"), a.total.text(2));
        else
            o.insert(QStringLiteral("problem"), a.problem);
        printJson(o);
        return;
    }
    QList<QStringList> rows;
    for (const AnalysedResource& r : a.resources)
        rows << QStringList{r.code,
                            r.name,
                            r.unit,
                            ResourceKindText(r.kind),
                            GeneralText(r.consumption),
                            FormatNumber(r.price, QStringLiteral("0.00##")),
                            r.amount.text(2)};
    printTable({QStringLiteral("编号"), QStringLiteral("名称"), QStringLiteral("单位"), QStringLiteral("类别"),
                QStringLiteral("消耗量"), QStringLiteral("单价"), QStringLiteral("合价")},
               rows);
    if (!a.priced()) {
        out() << a.problem << Qt::endl;
        return;
    }
    QList<QPair<QString, QString>> figures;
    for (int k = 0; k < kResourceKinds; ++k)
        figures << qMakePair(ResourceKindText(static_cast<ResourceKind>(k)) + QStringLiteral("费"),
                             a.byKind[static_cast<size_t>(k)].text(2));
    figures << qMakePair(QStringLiteral("直接费"), a.direct.text(2));
    for (const AnalysedFee& f : a.fees)
        figures << qMakePair(QStringLiteral("%1（%2 × %3%）").arg(f.name, FeeBaseText(f.base), GeneralText(f.percent)),
                             f.amount.text(2));
    figures << qMakePair(QStringLiteral("分析单价"), a.total.text(2))
            << qMakePair(QStringLiteral("清单单价"), DisplayText(storedPrice, QStringLiteral("0.00")));
    printKeyValues(figures);
}

int runList(Context& ctx, const QString& item) {
    auto dm = OpenCurrentContract(ctx, Access::Read);
    const QString contract = dm->session().CurContractID;
    const QVariant found = dm->database().scalar(
        QStringLiteral("select coalesce(合同单价, '') from jd_htqd where 合同编号=? and 细目编号=? and 是否补充=0 "
                       "order by rowid limit 1"),
        {contract, item});
    if (!found.isValid())
        throw Refused(QStringLiteral("当前合同段的清单中没有细目“%1”").arg(item));
    const UnitPriceAnalysis analysis(*dm, contract);
    printAnalysis(ctx, item, analysis.analyse(item), found.toString().isEmpty() ? QVariant() : found);
    return 0;
}

int runLine(Context& ctx) {
    const QString item = ctx.args.takeFirst();
    const bool apply = ctx.takeFlag(QStringLiteral("--apply"));
    const bool list = ctx.takeFlag(QStringLiteral("--list"));
    const std::optional<QPair<QString, QString>> add = takePair(ctx, QStringLiteral("--add"));
    const std::optional<QString> remove = ctx.takeOption(QStringLiteral("--remove"));
    const std::optional<QStringList> copyTo = takeList(ctx, QStringLiteral("--copy-to"));
    ctx.expectArguments(0, kUsage);
    if (int(list) + int(add.has_value()) + int(remove.has_value()) + int(copyTo.has_value()) != 1)
        throw UsageError(QStringLiteral("请给出 --add、--remove、--list、--copy-to 之一\n用法：%1").arg(kUsage));
    if (list) {
        if (apply)
            throw UsageError(QStringLiteral("--list 不与 --apply 同用\n用法：%1").arg(kUsage));
        return runList(ctx, item);
    }
    const double consumption = add ? NumberArgument(QStringLiteral("消耗量"), add->second) : 0;
    auto dm = OpenCurrentContract(ctx, Access::Write);
    const QString contract = dm->session().CurContractID;
    LineBuildUps buildUps(*dm, contract);
    QString done;
    const RepriceOutcome outcome = RepriceAfterChange(
        *dm, contract,
        [&]() -> QStringList {
            if (add) {
                const bool added = buildUps.set(item, add->first, consumption);
                done = QStringLiteral("细目 %1：工料机 %2 的消耗量%3 %4")
                           .arg(item, add->first, added ? QStringLiteral("加入为") : QStringLiteral("改为"),
                                GeneralText(consumption));
                return {item};
            }
            if (remove) {
                buildUps.remove(item, *remove);
                done = QStringLiteral("细目 %1：去掉了工料机 %2").arg(item, *remove);
                return {item};
            }
            const int rows = buildUps.copy(item, *copyTo);
            done = QStringLiteral("细目 %1 的工料机组成已复制到 %2（共写入 %3 行）")
                       .arg(item, copyTo->join(QStringLiteral("、")))
                       .arg(rows);
            return *copyTo;
        },
        apply);
    if (!ctx.json)
        out() << done << Qt::endl;
    PrintRepriceOutcome(ctx, outcome, {{QStringLiteral("item"), item}});
    return 0;
}

int runImport(Context& ctx) {
    const bool apply = ctx.takeFlag(QStringLiteral("--apply"));
    ctx.expectArguments(1, kUsage);
    const std::vector<BuildUpRow> rows = ReadBuildUpWorkbook(QDir::current().absoluteFilePath(ctx.args.first()));
    auto dm = OpenCurrentContract(ctx, Access::Write);
    const QString contract = dm->session().CurContractID;
    BuildUpImportResult result;
    QStringList items;
    for (const BuildUpRow& row : rows)
        if (!items.contains(row.item))
            items << row.item;
    const RepriceOutcome outcome = RepriceAfterChange(
        *dm, contract,
        [&] {
            result = LineBuildUps(*dm, contract).import(rows);
            return items;
        },
        apply);
    if (!ctx.json)
        out() << QStringLiteral("已导入 %1 个细目的工料机组成（%2 行）").arg(result.items).arg(result.rows) << Qt::endl;
    PrintRepriceOutcome(ctx, outcome, {{QStringLiteral("rows"), result.rows}});
    return 0;
}

int runApply(Context& ctx) {
    const bool all = ctx.takeFlag(QStringLiteral("--all"));
    const bool dryRun = ctx.takeFlag(QStringLiteral("--dry-run"));
    for (const QString& a : ctx.args)
        if (a.startsWith(QLatin1String("--")))
            throw UsageError(QStringLiteral("未知的选项 %1\n用法：%2").arg(a, kUsage));
    if (all == !ctx.args.isEmpty())
        throw UsageError(
            QStringLiteral("请给出细目编号，或 --all（全部有工料机组成的细目）之一\n用法：%1").arg(kUsage));
    auto dm = OpenCurrentContract(ctx, dryRun ? Access::Read : Access::Write);
    const QString contract = dm->session().CurContractID;
    AnalysedPriceApply apply(*dm);
    if (all)
        apply.proposeAll(contract);
    else
        apply.proposeFor(contract, ctx.args);
    const std::vector<AnalysedLine> lines = apply.lines();
    const int changed = apply.count(AnalysedLine::Outcome::Change);
    if (!dryRun)
        apply.apply();
    if (ctx.json) {
        printJson({{QStringLiteral("lines"), AnalysedLinesJson(lines)},
                   {QStringLiteral("changed"), changed},
                   {QStringLiteral("locked"), apply.count(AnalysedLine::Outcome::Locked)},
                   {QStringLiteral("unpriced"), apply.count(AnalysedLine::Outcome::Unpriced)},
                   {QStringLiteral("bidPriceBefore"), apply.bidPriceBefore()},
                   {QStringLiteral("bidPriceAfter"), apply.bidPriceAfter()},
                   {QStringLiteral("applied"), !dryRun}});
        return 0;
    }
    PrintAnalysedLines(lines);
    out() << apply.summary() << Qt::endl;
    out() << (dryRun ? QStringLiteral("试算：没有写入任何单价")
                     : QStringLiteral("已写入 %1 个细目的分析单价，并重算了有关的章合计和保险费").arg(changed))
          << Qt::endl;
    return 0;
}

} // namespace

int RunBoqBuildup(Context& ctx) {
    if (ctx.args.isEmpty() || ctx.args.first().startsWith(QLatin1String("--")))
        throw UsageError(QStringLiteral("缺少细目编号、import 或 apply\n用法：%1").arg(kUsage));
    if (ctx.args.first() == QLatin1String("import")) {
        ctx.args.removeFirst();
        return runImport(ctx);
    }
    if (ctx.args.first() == QLatin1String("apply")) {
        ctx.args.removeFirst();
        return runApply(ctx);
    }
    return runLine(ctx);
}

} // namespace tenvora::cli

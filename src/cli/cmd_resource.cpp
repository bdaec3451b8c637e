// The resource library (工料机) of the current contract: resource add|price|list|import|where-used.
#include "PricingOutput.h"

#include "data/Money.h"
#include "pricing/ResourceLibrary.h"

#include <QDir>

namespace tenvora::cli {

namespace {

const QString kUsage =
    QStringLiteral("tenvora resource add 编号 名称 单位 类别 单价 | price 编号 单价 [--apply] | list | "
                   "import 工作簿 [--apply] | where-used 编号");

QJsonObject resourceJson(const Resource& r, int uses) {
    return {{QStringLiteral("code"), r.code},   {QStringLiteral("name"), r.name},
            {QStringLiteral("unit"), r.unit},   {QStringLiteral("kind"), ResourceKindText(r.kind)},
            {QStringLiteral("price"), r.price}, {QStringLiteral("usedBy"), uses}};
}

QString priceText(double price) {
    return FormatNumber(price, QStringLiteral("0.00##"));
}

int runAdd(Context& ctx) {
    const QString usage = QStringLiteral("tenvora resource add 编号 名称 单位 类别 单价");
    ctx.expectArguments(5, usage);
    Resource r;
    r.code = ctx.args.at(0).trimmed();
    r.name = ctx.args.at(1).trimmed();
    r.unit = ctx.args.at(2).trimmed();
    const std::optional<ResourceKind> kind = ResourceKindOf(ctx.args.at(3));
    if (!kind)
        throw UsageError(QStringLiteral("类别“%1”不对：应为 人工、材料 或 机械\n用法：%2").arg(ctx.args.at(3), usage));
    r.kind = *kind;
    r.price = NumberArgument(QStringLiteral("单价"), ctx.args.at(4));
    auto dm = OpenCurrentContract(ctx, Access::Write);
    ResourceLibrary(*dm, dm->session().CurContractID).add(r);
    if (ctx.json)
        printJson({{QStringLiteral("resource"), resourceJson(r, 0)}});
    else
        out() << QStringLiteral("已加入工料机 %1 %2（%3，%4/%5）")
                     .arg(r.code, r.name, ResourceKindText(r.kind), priceText(r.price), r.unit)
              << Qt::endl;
    return 0;
}

int runPrice(Context& ctx) {
    const bool apply = ctx.takeFlag(QStringLiteral("--apply"));
    ctx.expectArguments(2, QStringLiteral("tenvora resource price 编号 单价 [--apply]"));
    const QString code = ctx.args.at(0);
    const double price = NumberArgument(QStringLiteral("单价"), ctx.args.at(1));
    auto dm = OpenCurrentContract(ctx, Access::Write);
    const QString contract = dm->session().CurContractID;
    ResourceLibrary library(*dm, contract);
    const std::optional<Resource> before = library.find(code);
    if (!before)
        throw Refused(QStringLiteral("工料机库中没有编号“%1”").arg(code));
    const RepriceOutcome outcome = RepriceAfterPriceChange(
        *dm, contract,
        [&] {
            library.setPrice(code, price);
            return QStringList{code};
        },
        apply);
    if (!ctx.json)
        out() << QStringLiteral("工料机 %1 %2 的单价：%3 → %4")
                     .arg(code, before->name, priceText(before->price), priceText(price))
              << Qt::endl;
    PrintRepriceOutcome(ctx, outcome,
                        {{QStringLiteral("code"), code},
                         {QStringLiteral("oldPrice"), before->price},
                         {QStringLiteral("price"), price}});
    return 0;
}

int runList(Context& ctx) {
    ctx.expectArguments(0, QStringLiteral("tenvora resource list"));
    auto dm = OpenCurrentContract(ctx, Access::Read);
    const ResourceLibrary library(*dm, dm->session().CurContractID);
    const std::vector<Resource> resources = library.list();
    const QHash<QString, int> uses = library.useCounts();
    if (ctx.json) {
        QJsonArray list;
        for (const Resource& r : resources)
            list.append(resourceJson(r, uses.value(r.code)));
        printJson({{QStringLiteral("resources"), list}});
        return 0;
    }
    QList<QStringList> rows;
    for (const Resource& r : resources)
        rows << QStringList{
            r.code, r.name, r.unit, ResourceKindText(r.kind), priceText(r.price), QString::number(uses.value(r.code))};
    printTable({QStringLiteral("编号"), QStringLiteral("名称"), QStringLiteral("单位"), QStringLiteral("类别"),
                QStringLiteral("单价"), QStringLiteral("使用的细目")},
               rows);
    return 0;
}

int runImport(Context& ctx) {
    const bool apply = ctx.takeFlag(QStringLiteral("--apply"));
    ctx.expectArguments(1, QStringLiteral("tenvora resource import 工作簿 [--apply]"));
    const std::vector<Resource> rows = ReadResourceWorkbook(QDir::current().absoluteFilePath(ctx.args.first()));
    auto dm = OpenCurrentContract(ctx, Access::Write);
    const QString contract = dm->session().CurContractID;
    ResourceLibrary library(*dm, contract);
    ResourceImportResult result;
    const RepriceOutcome outcome = RepriceAfterPriceChange(
        *dm, contract,
        [&] {
            result = library.import(rows);
            return result.pricesChanged;
        },
        apply);
    if (!ctx.json)
        out() << QStringLiteral("已导入工料机：新增 %1 个，改动 %2 个（其中单价改动 %3 个），不变 %4 个")
                     .arg(result.added)
                     .arg(result.changed)
                     .arg(result.pricesChanged.size())
                     .arg(result.unchanged)
              << Qt::endl;
    PrintRepriceOutcome(ctx, outcome,
                        {{QStringLiteral("added"), result.added},
                         {QStringLiteral("changedResources"), result.changed},
                         {QStringLiteral("unchanged"), result.unchanged},
                         {QStringLiteral("pricesChanged"), QJsonArray::fromStringList(result.pricesChanged)}});
    return 0;
}

int runWhereUsed(Context& ctx) {
    ctx.expectArguments(1, QStringLiteral("tenvora resource where-used 编号"));
    const QString code = ctx.args.first();
    auto dm = OpenCurrentContract(ctx, Access::Read);
    const ResourceLibrary library(*dm, dm->session().CurContractID);
    if (!library.find(code))
        throw Refused(QStringLiteral("工料机库中没有编号“%1”").arg(code));
    const std::vector<ResourceUse> uses = library.whereUsed(code);
    if (ctx.json) {
        QJsonArray list;
        for (const ResourceUse& u : uses)
            list.append(QJsonObject{{QStringLiteral("item"), u.item},
                                    {QStringLiteral("name"), u.name},
                                    {QStringLiteral("unit"), u.unit},
                                    {QStringLiteral("consumption"), u.consumption}});
        printJson({{QStringLiteral("code"), code}, {QStringLiteral("lines"), list}});
        return 0;
    }
    QList<QStringList> rows;
    for (const ResourceUse& u : uses)
        rows << QStringList{u.item, u.name, u.unit, GeneralText(u.consumption)};
    printTable(
        {QStringLiteral("细目编号"), QStringLiteral("细目名称"), QStringLiteral("单位"), QStringLiteral("消耗量")},
        rows);
    out() << QStringLiteral("共 %1 个细目使用工料机 %2").arg(uses.size()).arg(code) << Qt::endl;
    return 0;
}

Command ResourceCommand() {
    return {
        QStringLiteral("resource"), QStringLiteral("add | price | list | import | where-used"),
        QStringLiteral("当前合同段的工料机库（人工、材料、机械及其单价）"),
        QStringLiteral("投标单位自己的工料机库（每个合同段一份），单价分析按它计算细目的综合单价：\n"
                       "  add 编号 名称 单位 类别 单价\n"
                       "                         加入一个工料机；类别为 人工、材料 或 机械，单价不小于 0\n"
                       "  price 编号 单价 [--apply]\n"
                       "                         改工料机的单价，并说明有多少个细目的工料机组成用到它；\n"
                       "                         加 --apply 时在同一次更改中按新的分析单价重新计价这些细目\n"
                       "                         （经清单的保存规则写入，锁定的细目只列出、不写入），并重算\n"
                       "                         有关的章合计和保险费\n"
                       "  list                   列出工料机及使用它的细目数（--json 同样）\n"
                       "  import 工作簿 [--apply]\n"
                       "                         从 Excel 工作簿（.xls 或 .xlsx）导入：取第一行有 编号、名称、单位、\n"
                       "                         类别、单价 的第一个工作表；新编号加入，已有的编号按工作簿改名称、\n"
                       "                         单位、类别和单价；有一行不对就都不导入。--apply 同上，重新计价\n"
                       "                         单价改动了的工料机所用到的细目\n"
                       "  where-used 编号        列出工料机组成用到该工料机的细目及消耗量\n"
                       "工作簿由单独的读取程序 tenvora-xls 读出，与清单导入相同。"),
        [](Context& ctx) {
            return RunSubcommand(ctx, kUsage,
                                 {{QStringLiteral("add"), runAdd},
                                  {QStringLiteral("price"), runPrice},
                                  {QStringLiteral("list"), runList},
                                  {QStringLiteral("import"), runImport},
                                  {QStringLiteral("where-used"), runWhereUsed}});
        }};
}

} // namespace

const CommandRegistration registerResource(ResourceCommand);

} // namespace tenvora::cli

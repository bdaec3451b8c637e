// The fees of the current contract's unit-price analysis: pricing fee add|set|list|remove.
#include "PricingOutput.h"

#include "data/Money.h"
#include "pricing/FeeList.h"
#include "pricing/LineBuildUps.h"

namespace tenvora::cli {

namespace {

const QString kUsage = QStringLiteral("tenvora pricing fee add 名称 费率 [--on direct|running] [--apply] | "
                                      "set 名称 费率 [--on direct|running] [--apply] | list | remove 名称 [--apply]");

FeeBase baseArgument(Context& ctx) {
    const QString on = ctx.takeOption(QStringLiteral("--on")).value_or(QStringLiteral("direct"));
    const std::optional<FeeBase> base = FeeBaseOf(on);
    if (!base)
        throw UsageError(
            QStringLiteral("--on 的值应为 direct（直接费）或 running（累计），却是“%1”\n用法：%2").arg(on, kUsage));
    return *base;
}

QString percentText(double percent) {
    return GeneralText(percent) + QLatin1Char('%');
}

// Every line with a build-up carries the fees.
int runChange(Context& ctx, const std::function<void(FeeList&, const Fee&)>& change, bool needsPercent) {
    const bool apply = ctx.takeFlag(QStringLiteral("--apply"));
    Fee fee;
    if (needsPercent)
        fee.base = baseArgument(ctx);
    ctx.expectArguments(needsPercent ? 2 : 1, kUsage);
    fee.name = ctx.args.at(0).trimmed();
    if (needsPercent)
        fee.percent = NumberArgument(QStringLiteral("费率"), ctx.args.at(1));
    auto dm = OpenCurrentContract(ctx, Access::Write);
    const QString contract = dm->session().CurContractID;
    FeeList fees(*dm, contract);
    const RepriceOutcome outcome = RepriceAfterChange(
        *dm, contract,
        [&] {
            change(fees, fee);
            return LineBuildUps(*dm, contract).items();
        },
        apply);
    if (!ctx.json) {
        QList<QStringList> rows;
        int n = 0;
        for (const Fee& f : fees.list())
            rows << QStringList{QString::number(++n), f.name, percentText(f.percent), FeeBaseText(f.base)};
        printTable({QStringLiteral("顺序"), QStringLiteral("名称"), QStringLiteral("费率"), QStringLiteral("计费基数")},
                   rows);
    }
    PrintRepriceOutcome(ctx, outcome, {{QStringLiteral("fee"), fee.name}});
    return 0;
}

int runList(Context& ctx) {
    ctx.expectArguments(0, kUsage);
    auto dm = OpenCurrentContract(ctx, Access::Read);
    const std::vector<Fee> fees = FeeList(*dm, dm->session().CurContractID).list();
    if (ctx.json) {
        QJsonArray list;
        for (const Fee& f : fees)
            list.append(QJsonObject{{QStringLiteral("name"), f.name},
                                    {QStringLiteral("percent"), f.percent},
                                    {QStringLiteral("on"), FeeBaseCode(f.base)}});
        printJson({{QStringLiteral("fees"), list}});
        return 0;
    }
    QList<QStringList> rows;
    int n = 0;
    for (const Fee& f : fees)
        rows << QStringList{QString::number(++n), f.name, percentText(f.percent), FeeBaseText(f.base)};
    printTable({QStringLiteral("顺序"), QStringLiteral("名称"), QStringLiteral("费率"), QStringLiteral("计费基数")},
               rows);
    return 0;
}

int runFee(Context& ctx) {
    return RunSubcommand(ctx, kUsage,
                         {{QStringLiteral("add"),
                           [](Context& c) {
                               return runChange(
                                   c, [](FeeList& fees, const Fee& fee) { fees.add(fee); }, true);
                           }},
                          {QStringLiteral("set"),
                           [](Context& c) {
                               return runChange(
                                   c, [](FeeList& fees, const Fee& fee) { fees.set(fee); }, true);
                           }},
                          {QStringLiteral("remove"),
                           [](Context& c) {
                               return runChange(
                                   c, [](FeeList& fees, const Fee& fee) { fees.remove(fee.name); }, false);
                           }},
                          {QStringLiteral("list"), runList}});
}

Command PricingCommand() {
    return {QStringLiteral("pricing"), QStringLiteral("fee add | set | list | remove"),
            QStringLiteral("单价分析的取费（按顺序计取的各项费率）"),
            QStringLiteral("单价分析的取费：一组有顺序的费用，每项按费率计取，计费基数为直接费或累计\n"
                           "（直接费加上排在它前面的各项费用）。细目的综合单价 = 直接费 + 各项费用，最后取到 0.01。\n"
                           "  fee add 名称 费率 [--on direct|running] [--apply]\n"
                           "                         在最后加一项费用，费率为百分数（8.5 即 8.5%）；--on 默认 direct\n"
                           "  fee set 名称 费率 [--on direct|running] [--apply]\n"
                           "                         改一项费用的费率和计费基数，顺序不变\n"
                           "  fee list               按顺序列出各项费用（--json 同样）\n"
                           "  fee remove 名称 [--apply]\n"
                           "                         去掉一项费用\n"
                           "改动取费后说明有多少个细目有工料机组成（取费用于所有这些细目）；加 --apply 时在同一次\n"
                           "更改中按新的分析单价重新计价这些细目（经清单的保存规则写入，锁定的细目只列出、不写入），\n"
                           "并重算有关的章合计和保险费。"),
            [](Context& ctx) {
                return RunSubcommand(ctx, kUsage, {{QStringLiteral("fee"), runFee}});
            }};
}

} // namespace

const CommandRegistration registerPricing(PricingCommand);

} // namespace tenvora::cli

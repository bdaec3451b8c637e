// The bid check of the current contract: check [--json]. The same check the window
// "投标检查" and "生成投标盘" run.
#include "Cli.h"

#include "boq/BidCheck.h"

#include <QJsonArray>

namespace tenvora::cli {

namespace {

QJsonObject findingJson(const BidFinding& f) {
    return {{QStringLiteral("kind"), BidFindingKindName(f.kind)},
            {QStringLiteral("kindText"), BidFindingKindText(f.kind)},
            {QStringLiteral("chapter"), f.chapter},
            {QStringLiteral("place"), BidFindingPlace(f)},
            {QStringLiteral("daywork"), f.daywork},
            {QStringLiteral("item"), f.item},
            {QStringLiteral("name"), f.name},
            {QStringLiteral("figures"), f.figures}};
}

Command CheckCommand() {
    return {QStringLiteral("check"), QString(), QStringLiteral("投标检查：找出未报价、金额不符和未重算的合计"),
            QStringLiteral("像“投标检查”窗口一样检查当前合同段，只读不改：\n"
                           "  未报价          可以报价的细目没有单价，或单价为 0\n"
                           "  金额不符        合同金额不等于 单价 x 数量 取整，或没有单价却有金额\n"
                           "  合计未重算      章行或保险费 101-1-a 与“章合计 和 保险费 计算”现在会存的不同\n"
                           "  计日工未报价    有估计数量而没有单价的计日工细目\n"
                           "  负数            单价或数量为负\n"
                           "  单价超过两位小数 打印为两位小数，金额却按原单价计算\n"
                           "没有问题时退出码 0，有问题时逐条列出，退出码 1。--json 打印全部问题。\n"
                           "重算全部章合计：tenvora boq recompute --all"),
            [](Context& ctx) {
                ctx.expectArguments(0, QStringLiteral("tenvora check [--json]"));
                auto dm = ctx.openAndLogin();
                dm->LoadCurrentContract();
                const BidCheckResult result = BidCheck(*dm).run();
                if (ctx.json) {
                    QJsonArray findings;
                    for (const BidFinding& f : result.findings)
                        findings.append(findingJson(f));
                    printJson({{QStringLiteral("contract"), dm->session().CurContractID},
                               {QStringLiteral("clean"), result.clean()},
                               {QStringLiteral("summary"), result.summary()},
                               {QStringLiteral("findings"), findings}});
                } else if (result.clean()) {
                    out() << QStringLiteral("合同段 %1 没有发现问题").arg(dm->session().CurContractID) << Qt::endl;
                } else {
                    QList<QStringList> rows;
                    for (const BidFinding& f : result.findings)
                        rows << QStringList{BidFindingKindText(f.kind), BidFindingPlace(f), f.item, f.name, f.figures};
                    printTable({QStringLiteral("问题"), QStringLiteral("章或表"), QStringLiteral("编号"),
                                QStringLiteral("名称"), QStringLiteral("数字")},
                               rows);
                    out() << result.summary() << Qt::endl;
                }
                return result.clean() ? 0 : 1;
            }};
}

} // namespace

const CommandRegistration registerCheck(CheckCommand);

} // namespace tenvora::cli

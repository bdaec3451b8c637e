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
            {QStringLiteral("notice"), IsNoticeKind(f.kind)},
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
                           "  未报价            可以报价的细目没有单价，或单价为 0\n"
                           "  金额不符          合同金额不等于 单价 x 数量 取整，或没有单价却有金额\n"
                           "  合计未重算        章行或保险费 101-1-a 与“章合计 和 保险费 计算”现在会存的不同\n"
                           "  计日工未报价      有估计数量而没有单价的计日工细目\n"
                           "  计日工合价不符    合价不等于 单价 x 数量 取整，或没有单价却有合价\n"
                           "  计日工不属于任何表 表别 bz 不是 1、2、3 的计日工细目，其合价不计入计日工合计\n"
                           "  负数              单价或数量为负\n"
                           "  单价超过两位小数  打印为两位小数，金额却按原单价计算\n"
                           "  打印与合计不一致  有备注的细目印在清单上却不计入章合计；没有章号的细目不印在任何表上\n"
                           "  细目编号重复      同一合同中一个细目编号出现多次\n"
                           "另列提示（不算问题）：\n"
                           "  E 表与汇总表不一致 E.工程量清单汇总表只含第100、300、600章，其投标报价与投标报价汇总表\n"
                           "                    不同（“E 不含第 N 章”），全套投标报表因此不含 E\n"
                           "没有问题时退出码 0（提示照样列出），有问题时逐条列出，退出码 1。--json 打印全部问题和提示\n"
                           "（提示的 notice 为 true）。\n"
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
                               {QStringLiteral("notices"), result.noticeSummary()},
                               {QStringLiteral("findings"), findings}});
                } else if (result.findings.isEmpty()) {
                    out() << QStringLiteral("合同段 %1 没有发现问题").arg(dm->session().CurContractID) << Qt::endl;
                } else {
                    QList<QStringList> rows;
                    for (const BidFinding& f : result.findings)
                        rows << QStringList{BidFindingKindText(f.kind), BidFindingPlace(f), f.item, f.name, f.figures};
                    printTable({QStringLiteral("问题"), QStringLiteral("章或表"), QStringLiteral("编号"),
                                QStringLiteral("名称"), QStringLiteral("数字")},
                               rows);
                    if (result.clean())
                        out() << QStringLiteral("合同段 %1 没有发现问题").arg(dm->session().CurContractID) << Qt::endl;
                    else
                        out() << result.summary() << Qt::endl;
                    if (!result.noticeSummary().isEmpty())
                        out() << QStringLiteral("提示：%1").arg(result.noticeSummary()) << Qt::endl;
                }
                return result.clean() ? 0 : 1;
            }};
}

} // namespace

const CommandRegistration registerCheck(CheckCommand);

} // namespace tenvora::cli

// Commands of the current contract: contracts, select, current.
#include "Cli.h"

#include "boq/ContractSelection.h"

#include <QJsonArray>

namespace tenvora::cli {

namespace {

Command ContractsCommand() {
    return {QStringLiteral("contracts"), QString(), QStringLiteral("列出可选择的合同段"),
            QStringLiteral("按项目ID的顺序列出所有项目及其合同段（没有合同段的项目列出一行）。"), [](Context& ctx) {
                ctx.expectArguments(0, QStringLiteral("tenvora contracts"));
                auto dm = ctx.openAndLogin();
                const std::vector<ContractChoiceRow> rows = ContractSelection(*dm).load();
                if (ctx.json) {
                    QJsonArray list;
                    for (const ContractChoiceRow& r : rows)
                        list.append(QJsonObject{{QStringLiteral("项目ID"), r.projectId.toString()},
                                                {QStringLiteral("项目名称"), r.projectName.toString()},
                                                {QStringLiteral("ID"), r.contractId.toString()},
                                                {QStringLiteral("合同名称"), r.contractName.toString()},
                                                {QStringLiteral("起始桩号"), r.startChainage.toString()},
                                                {QStringLiteral("终止桩号"), r.endChainage.toString()}});
                    printJson({{QStringLiteral("rows"), list}});
                    return 0;
                }
                QList<QStringList> table;
                for (const ContractChoiceRow& r : rows)
                    table << QStringList{r.projectId.toString(),     r.projectName.toString(),
                                         r.contractId.toString(),    r.contractName.toString(),
                                         r.startChainage.toString(), r.endChainage.toString()};
                printTable({QStringLiteral("项目ID"), QStringLiteral("项目名称"), QStringLiteral("合同ID"),
                            QStringLiteral("合同名称"), QStringLiteral("起始桩号"), QStringLiteral("终止桩号")},
                           table);
                return 0;
            }};
}

Command SelectCommand() {
    return {QStringLiteral("select"), QStringLiteral("CONTRACT_ID [--project PROJECT_ID]"),
            QStringLiteral("选择当前合同段"),
            QStringLiteral("像“合同选择”对话框的“选择”一样，把列表中第一个合同ID为 CONTRACT_ID（给出\n"
                           "--project 时还要项目ID相同）的合同段设为当前合同并保存，然后显示会话。"),
            [](Context& ctx) {
                const std::optional<QString> project = ctx.takeOption(QStringLiteral("--project"));
                ctx.expectArguments(1, QStringLiteral("tenvora select CONTRACT_ID [--project PROJECT_ID]"));
                const QString contract = ctx.args.first();
                auto dm = ctx.openAndLogin(Access::Write);
                dm->LoadCurrentContract();
                ContractSelection selection(*dm);
                const std::vector<ContractChoiceRow> rows = selection.load();
                if (rows.empty())
                    throw Refused(ContractSelection::noContractText());
                for (size_t i = 0; i < rows.size(); ++i) {
                    if (rows[i].contractId.isNull() || rows[i].contractId.toString() != contract)
                        continue;
                    if (project && rows[i].projectId.toString() != *project)
                        continue;
                    selection.choose(rows, static_cast<int>(i));
                    printSession(ctx, dm->session());
                    return 0;
                }
                throw Refused(project ? QStringLiteral("没有项目ID为“%1”、合同ID为“%2”的合同段").arg(*project, contract)
                                      : QStringLiteral("没有合同ID为“%1”的合同段").arg(contract));
            }};
}

Command CurrentCommand() {
    return {QStringLiteral("current"), QString(), QStringLiteral("显示当前合同段"),
            QStringLiteral("读出保存的当前合同段并显示会话值。"), [](Context& ctx) {
                ctx.expectArguments(0, QStringLiteral("tenvora current"));
                auto dm = ctx.openAndLogin();
                dm->LoadCurrentContract();
                printSession(ctx, dm->session());
                return 0;
            }};
}

} // namespace

const CommandRegistration registerContracts(ContractsCommand);
const CommandRegistration registerSelect(SelectCommand);
const CommandRegistration registerCurrent(CurrentCommand);

} // namespace tenvora::cli

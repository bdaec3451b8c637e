// owner project and owner contract: the projects and contract sections of the tender file.
#include "OwnerCli.h"

#include "owner/TenderContracts.h"
#include "owner/TenderProjects.h"

#include <QJsonArray>

namespace tenvora::cli {

namespace {

QString projectUsage() {
    return QStringLiteral("owner project add ID 名称 [--builder 建设单位]\n"
                          "owner project list\n"
                          "owner project edit ID [--name 名称] [--builder 建设单位]\n"
                          "owner project remove ID");
}

QString contractUsage() {
    return QStringLiteral("owner contract add ID --project 项目ID --number 合同编号 --name 合同名称 [--start 起始桩号] "
                          "[--end 终止桩号]\n"
                          "owner contract list [--project 项目ID]\n"
                          "owner contract edit ID [--project 项目ID] [--number 合同编号] [--name 合同名称] "
                          "[--start 起始桩号] [--end 终止桩号]\n"
                          "owner contract remove ID [--with-lines]");
}

void done(const Context& ctx, const QString& message, const QJsonObject& json) {
    if (ctx.json)
        printJson(json);
    else
        out() << message << Qt::endl;
}

int projectAdd(Context& ctx) {
    const QString builder = ctx.takeOption(QStringLiteral("--builder")).value_or(QString());
    ctx.expectArguments(2, projectUsage());
    auto dm = OpenAsOwner(ctx, Access::Write);
    TenderProjects(dm->database()).add({ctx.args[0], ctx.args[1], builder, 0});
    done(ctx, QStringLiteral("已添加项目 %1").arg(ctx.args[0]),
         {{QStringLiteral("added"), ctx.args[0]}, {QStringLiteral("name"), ctx.args[1]}});
    return 0;
}

int projectList(Context& ctx) {
    ctx.expectArguments(0, QStringLiteral("tenvora owner project list"));
    auto dm = OpenAsOwner(ctx, Access::Read);
    const QList<TenderProject> projects = TenderProjects(dm->database()).list();
    if (ctx.json) {
        QJsonArray list;
        for (const TenderProject& p : projects)
            list.append(QJsonObject{{QStringLiteral("ID"), p.id},
                                    {QStringLiteral("项目名称"), p.name},
                                    {QStringLiteral("建设单位"), p.builder},
                                    {QStringLiteral("contracts"), p.contracts}});
        printJson({{QStringLiteral("projects"), list}});
        return 0;
    }
    QList<QStringList> rows;
    for (const TenderProject& p : projects)
        rows << QStringList{p.id, p.name, p.builder, QString::number(p.contracts)};
    printTable(
        {QStringLiteral("项目ID"), QStringLiteral("项目名称"), QStringLiteral("建设单位"), QStringLiteral("合同段")},
        rows);
    return 0;
}

int projectEdit(Context& ctx) {
    const std::optional<QString> name = ctx.takeOption(QStringLiteral("--name"));
    const std::optional<QString> builder = ctx.takeOption(QStringLiteral("--builder"));
    ctx.expectArguments(1, projectUsage());
    if (!name && !builder)
        throw UsageError(QStringLiteral("没有要改的内容：请给出 --name 或 --builder"));
    auto dm = OpenAsOwner(ctx, Access::Write);
    TenderProjects(dm->database()).edit(ctx.args[0], name, builder);
    done(ctx, QStringLiteral("已修改项目 %1").arg(ctx.args[0]), {{QStringLiteral("edited"), ctx.args[0]}});
    return 0;
}

int projectRemove(Context& ctx) {
    ctx.expectArguments(1, QStringLiteral("tenvora owner project remove ID"));
    auto dm = OpenAsOwner(ctx, Access::Write);
    TenderProjects(dm->database()).remove(ctx.args[0]);
    done(ctx, QStringLiteral("已删除项目 %1").arg(ctx.args[0]), {{QStringLiteral("removed"), ctx.args[0]}});
    return 0;
}

ContractChanges takeChanges(Context& ctx) {
    ContractChanges c;
    c.projectId = ctx.takeOption(QStringLiteral("--project"));
    c.number = ctx.takeOption(QStringLiteral("--number"));
    c.name = ctx.takeOption(QStringLiteral("--name"));
    c.start = ctx.takeOption(QStringLiteral("--start"));
    c.end = ctx.takeOption(QStringLiteral("--end"));
    return c;
}

int contractAdd(Context& ctx) {
    const ContractChanges given = takeChanges(ctx);
    ctx.expectArguments(1, contractUsage());
    for (const auto& [option, value] :
         {qMakePair(QStringLiteral("--project"), given.projectId), qMakePair(QStringLiteral("--number"), given.number),
          qMakePair(QStringLiteral("--name"), given.name)})
        if (!value)
            throw UsageError(QStringLiteral("需要 %1\n用法：%2").arg(option, contractUsage()));
    TenderContract c;
    c.id = ctx.args[0];
    c.projectId = *given.projectId;
    c.number = *given.number;
    c.name = *given.name;
    c.start = given.start.value_or(QString());
    c.end = given.end.value_or(QString());
    auto dm = OpenAsOwner(ctx, Access::Write);
    TenderContracts(dm->database()).add(c);
    done(ctx, QStringLiteral("已添加合同段 %1").arg(c.id),
         {{QStringLiteral("added"), c.id}, {QStringLiteral("project"), c.projectId}});
    return 0;
}

int contractList(Context& ctx) {
    const QString project = ctx.takeOption(QStringLiteral("--project")).value_or(QString());
    ctx.expectArguments(0, QStringLiteral("tenvora owner contract list [--project 项目ID]"));
    auto dm = OpenAsOwner(ctx, Access::Read);
    const QList<TenderContract> contracts = TenderContracts(dm->database()).list(project);
    if (ctx.json) {
        QJsonArray list;
        for (const TenderContract& c : contracts)
            list.append(QJsonObject{{QStringLiteral("ID"), c.id},
                                    {QStringLiteral("项目ID"), c.projectId},
                                    {QStringLiteral("合同编号"), c.number},
                                    {QStringLiteral("合同名称"), c.name},
                                    {QStringLiteral("起始桩号"), c.start},
                                    {QStringLiteral("终止桩号"), c.end},
                                    {QStringLiteral("lines"), c.lines},
                                    {QStringLiteral("dayworkItems"), c.dayworkItems}});
        printJson({{QStringLiteral("contracts"), list}});
        return 0;
    }
    QList<QStringList> rows;
    for (const TenderContract& c : contracts)
        rows << QStringList{c.projectId,
                            c.id,
                            c.number,
                            c.name,
                            c.start,
                            c.end,
                            QString::number(c.lines),
                            QString::number(c.dayworkItems)};
    printTable({QStringLiteral("项目ID"), QStringLiteral("合同ID"), QStringLiteral("合同编号"),
                QStringLiteral("合同名称"), QStringLiteral("起始桩号"), QStringLiteral("终止桩号"),
                QStringLiteral("清单行数"), QStringLiteral("计日工项数")},
               rows);
    return 0;
}

int contractEdit(Context& ctx) {
    const ContractChanges changes = takeChanges(ctx);
    ctx.expectArguments(1, contractUsage());
    if (!changes.projectId && !changes.number && !changes.name && !changes.start && !changes.end)
        throw UsageError(QStringLiteral("没有要改的内容：请给出 --project、--number、--name、--start 或 --end"));
    auto dm = OpenAsOwner(ctx, Access::Write);
    TenderContracts(dm->database()).edit(ctx.args[0], changes);
    done(ctx, QStringLiteral("已修改合同段 %1").arg(ctx.args[0]), {{QStringLiteral("edited"), ctx.args[0]}});
    return 0;
}

int contractRemove(Context& ctx) {
    const bool withLines = ctx.takeFlag(QStringLiteral("--with-lines"));
    ctx.expectArguments(1, QStringLiteral("tenvora owner contract remove ID [--with-lines]"));
    auto dm = OpenAsOwner(ctx, Access::Write);
    const RemovedContract removed =
        WithConsentOption(QStringLiteral("要连同清单和计日工一起删除，请加上 --with-lines。"),
                          [&] { return TenderContracts(dm->database()).remove(ctx.args[0], withLines); });
    done(ctx,
         QStringLiteral("已删除合同段 %1（连同 %2 行工程量清单和 %3 项计日工）")
             .arg(ctx.args[0])
             .arg(removed.lines)
             .arg(removed.dayworkItems),
         {{QStringLiteral("removed"), ctx.args[0]},
          {QStringLiteral("lines"), removed.lines},
          {QStringLiteral("dayworkItems"), removed.dayworkItems}});
    return 0;
}

} // namespace

OwnerSubcommand OwnerProjectSubcommand() {
    return {QStringLiteral("project"), projectUsage(),
            QStringLiteral("项目：添加（ID 不能重复，最多 20 个字符）、列出、修改名称或建设单位、删除（还有合同段\n"
                           "的项目不能删除）。"),
            [](Context& ctx) {
                return RunSubcommand(ctx, projectUsage(),
                                     {{QStringLiteral("add"), projectAdd},
                                      {QStringLiteral("list"), projectList},
                                      {QStringLiteral("edit"), projectEdit},
                                      {QStringLiteral("remove"), projectRemove}});
            }};
}

OwnerSubcommand OwnerContractSubcommand() {
    return {QStringLiteral("contract"), contractUsage(),
            QStringLiteral("合同段：添加（合同ID 即清单和计日工所属的编号，不能重复；合同ID、合同编号、桩号最多 20\n"
                           "个字符，合同名称最多 50 个）、列出（含清单行数和计日工项数）、修改、删除。有工程量清单\n"
                           "或计日工的合同段只有加 --with-lines 才删除，清单和计日工随之删除。"),
            [](Context& ctx) {
                return RunSubcommand(ctx, contractUsage(),
                                     {{QStringLiteral("add"), contractAdd},
                                      {QStringLiteral("list"), contractList},
                                      {QStringLiteral("edit"), contractEdit},
                                      {QStringLiteral("remove"), contractRemove}});
            }};
}

} // namespace tenvora::cli

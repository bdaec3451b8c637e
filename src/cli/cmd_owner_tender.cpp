// owner new, owner check and owner issue: the tender file from its making to the issued copies.
#include "OwnerCli.h"

#include "owner/TenderCheck.h"
#include "owner/TenderFile.h"
#include "owner/TenderIssue.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

namespace tenvora::cli {

namespace {

QString required(Context& ctx, const QString& option, const QString& usage) {
    const std::optional<QString> value = ctx.takeOption(option);
    if (!value)
        throw UsageError(QStringLiteral("需要 %1\n用法：%2").arg(option, usage));
    return *value;
}

QJsonObject findingJson(const TenderFinding& f) {
    return {{QStringLiteral("kind"), TenderFindingKindName(f.kind)},
            {QStringLiteral("kindText"), TenderFindingKindText(f.kind)},
            {QStringLiteral("project"), f.project},
            {QStringLiteral("contract"), f.contract},
            {QStringLiteral("item"), f.item},
            {QStringLiteral("detail"), f.detail}};
}

QJsonArray findingsJson(const TenderCheckResult& result) {
    QJsonArray list;
    for (const TenderFinding& f : result.findings)
        list.append(findingJson(f));
    return list;
}

void printFindings(const TenderCheckResult& result) {
    QList<QStringList> rows;
    for (const TenderFinding& f : result.findings)
        rows << QStringList{TenderFindingKindText(f.kind), f.project, f.contract, f.item, f.detail};
    printTable({QStringLiteral("问题"), QStringLiteral("项目"), QStringLiteral("合同段"), QStringLiteral("编号"),
                QStringLiteral("说明")},
               rows);
}

// A function, not a global: the group's help is built while the program's globals are made.
QString newUsage() {
    return QStringLiteral(
        "owner new FILE --project ID --name 项目名称 [--builder 建设单位] --owner-unit 名称 --owner-password 密码");
}

int runNew(Context& ctx) {
    NewTender tender;
    tender.projectId = required(ctx, QStringLiteral("--project"), newUsage());
    tender.projectName = required(ctx, QStringLiteral("--name"), newUsage());
    tender.builder = ctx.takeOption(QStringLiteral("--builder")).value_or(QString());
    tender.ownerUnit = required(ctx, QStringLiteral("--owner-unit"), newUsage());
    tender.ownerPassword = required(ctx, QStringLiteral("--owner-password"), newUsage());
    ctx.expectArguments(1, QStringLiteral("tenvora ") + newUsage());
    const QString file = QDir::current().absoluteFilePath(ctx.args.first());
    CreateTenderFile(file, tender);
    if (ctx.json)
        printJson({{QStringLiteral("created"), QDir::toNativeSeparators(file)},
                   {QStringLiteral("project"), tender.projectId},
                   {QStringLiteral("ownerUnit"), tender.ownerUnit}});
    else
        out() << QStringLiteral("招标文件已写出：%1").arg(QDir::toNativeSeparators(file)) << Qt::endl;
    return 0;
}

int runCheck(Context& ctx) {
    ctx.expectArguments(0, QStringLiteral("tenvora owner check [--json]"));
    auto dm = OpenAsOwner(ctx, Access::Read);
    const TenderCheckResult result = TenderCheck(dm->database()).run();
    if (ctx.json) {
        printJson({{QStringLiteral("clean"), result.clean()},
                   {QStringLiteral("summary"), result.summary()},
                   {QStringLiteral("findings"), findingsJson(result)}});
    } else if (result.clean()) {
        out() << QStringLiteral("招标文件没有发现问题") << Qt::endl;
    } else {
        printFindings(result);
        out() << result.summary() << Qt::endl;
    }
    return result.clean() ? 0 : 1;
}

int runIssue(Context& ctx) {
    const QString usage = QStringLiteral("tenvora owner issue --dir DIR [--replace] [--anyway]");
    const QString dir = required(ctx, QStringLiteral("--dir"), usage);
    const bool replace = ctx.takeFlag(QStringLiteral("--replace"));
    const bool anyway = ctx.takeFlag(QStringLiteral("--anyway"));
    ctx.expectArguments(0, usage);
    auto dm = OpenAsOwner(ctx, Access::Write);
    TenderIssue issue(dm->database());
    const IssuePlan plan = issue.plan(QDir::current().absoluteFilePath(dir));
    if (!plan.check.clean()) {
        if (!anyway)
            throw Refused(QStringLiteral("招标文件检查发现问题：%1。\n没有发出任何文件；要照样发出请加 --anyway"
                                         "（问题见 tenvora owner check）")
                              .arg(plan.check.summary()));
        err() << QStringLiteral("招标文件检查：%1").arg(plan.check.summary()) << Qt::endl;
    }
    const IssueRecord record = WithConsentOption(QStringLiteral("要替换这些文件，请加上 --replace。"),
                                                 [&] { return issue.issue(plan, replace); });
    if (ctx.json) {
        QJsonArray copies;
        for (qsizetype i = 0; i < record.units.size(); ++i)
            copies.append(QJsonObject{{QStringLiteral("unit"), record.units[i].unit},
                                      {QStringLiteral("file"), QDir::toNativeSeparators(plan.targets[i].path)}});
        QJsonArray bills;
        for (const ContractFingerprint& f : record.bills)
            bills.append(QJsonObject{{QStringLiteral("contract"), f.contractId},
                                     {QStringLiteral("lines"), f.lines},
                                     {QStringLiteral("billFingerprint"), f.bill},
                                     {QStringLiteral("dayworkItems"), f.dayworkItems},
                                     {QStringLiteral("dayworkFingerprint"), f.daywork}});
        printJson({{QStringLiteral("issue"), record.issueId},
                   {QStringLiteral("issuedAt"), record.issuedAt},
                   {QStringLiteral("copies"), copies},
                   {QStringLiteral("contracts"), bills},
                   {QStringLiteral("findings"), findingsJson(plan.check)}});
        return 0;
    }
    out() << QStringLiteral("已发出 %1 个文件（发出编号 %2）：").arg(record.units.size()).arg(record.issueId)
          << Qt::endl;
    for (const IssueTarget& t : plan.targets)
        out() << QStringLiteral("  %1  %2").arg(t.unit, QDir::toNativeSeparators(t.path)) << Qt::endl;
    return 0;
}

} // namespace

OwnerSubcommand OwnerNewSubcommand() {
    return {QStringLiteral("new"), newUsage(),
            QStringLiteral("在 FILE 写出一个新的招标文件：投标人一方要用的全部数据表、第一个项目和招标人的帐户\n"
                           "（类别 1，投标人登录时不会列出）。FILE 已经存在时不写。不需要登录。"),
            runNew};
}

OwnerSubcommand OwnerCheckSubcommand() {
    return {QStringLiteral("check"), QStringLiteral("owner check [--json]"),
            QStringLiteral("检查招标文件，只读不改：项目ID重复、项目没有合同段、合同ID重复、合同段不属于任何项目、\n"
                           "合同段没有工程量清单或计日工、清单不属于任何合同段、细目编号重复、细目没有章号、章没有\n"
                           "章行、缺少保险费细目 101-1-a、暂定金额没有金额、数量为负、计日工编号重复、没有投标单位的\n"
                           "帐户。没有问题时退出码 0，有问题时逐条列出，退出码 1。"),
            runCheck};
}

OwnerSubcommand OwnerIssueSubcommand() {
    return {QStringLiteral("issue"), QStringLiteral("owner issue --dir DIR [--replace] [--anyway]"),
            QStringLiteral("为每个投标单位的帐户在文件夹 DIR 中写出 <单位>.tr：全部项目、合同段、工程量清单和计日工，\n"
                           "除暂定金额外没有单价和金额，没有当前合同，只带该单位自己的帐户（没有招标人的帐户和别的\n"
                           "单位的密码），并记下发出编号、单位和各合同段清单的指纹；招标文件也记下这次发出。\n"
                           "每个文件先写在同一文件夹的临时文件中，逐页检查并读回核对，全部无误后才换上正式的名字。\n"
                           "先做 owner check：有问题时不发出，退出码 1，加 --anyway 照样发出。DIR 中已有同名文件\n"
                           "时不发出，加 --replace 替换它们。"),
            runIssue};
}

} // namespace tenvora::cli

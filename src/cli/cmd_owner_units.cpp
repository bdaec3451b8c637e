// owner unit: the bidders' accounts of the tender file (and the owner's password).
#include "OwnerCli.h"

#include "owner/OwnerAccounts.h"

#include <QJsonArray>

namespace tenvora::cli {

namespace {

QString unitUsage() {
    return QStringLiteral("owner unit add 名称 --password 密码\n"
                          "owner unit list\n"
                          "owner unit remove 名称\n"
                          "owner unit password 名称 --password 密码");
}

QString kindText(const QString& kind) {
    if (kind == kOwnerAccountKind)
        return QStringLiteral("招标人");
    if (kind == kBidderAccountKind)
        return QStringLiteral("投标单位");
    return QStringLiteral("其他（%1）").arg(kind);
}

QString takePassword(Context& ctx) {
    const std::optional<QString> password = ctx.takeOption(QStringLiteral("--password"));
    if (!password)
        throw UsageError(QStringLiteral("需要 --password\n用法：%1").arg(unitUsage()));
    return *password;
}

int unitAdd(Context& ctx) {
    const QString password = takePassword(ctx);
    ctx.expectArguments(1, QStringLiteral("tenvora owner unit add 名称 --password 密码"));
    auto dm = OpenAsOwner(ctx, Access::Write);
    OwnerAccounts(dm->database()).addBidder(ctx.args[0], password);
    if (ctx.json)
        printJson({{QStringLiteral("added"), ctx.args[0]}, {QStringLiteral("kind"), kBidderAccountKind}});
    else
        out() << QStringLiteral("已添加投标单位 %1").arg(ctx.args[0]) << Qt::endl;
    return 0;
}

int unitList(Context& ctx) {
    ctx.expectArguments(0, QStringLiteral("tenvora owner unit list"));
    auto dm = OpenAsOwner(ctx, Access::Read);
    const QList<TenderAccount> accounts = OwnerAccounts(dm->database()).list();
    if (ctx.json) {
        QJsonArray list;
        for (const TenderAccount& a : accounts)
            list.append(QJsonObject{{QStringLiteral("unit"), a.unit},
                                    {QStringLiteral("kind"), a.kind},
                                    {QStringLiteral("loggedIn"), a.loggedIn}});
        printJson({{QStringLiteral("units"), list}});
        return 0;
    }
    QList<QStringList> rows;
    for (const TenderAccount& a : accounts)
        rows << QStringList{a.unit, kindText(a.kind), a.loggedIn ? QStringLiteral("是") : QStringLiteral("否")};
    printTable({QStringLiteral("单位"), QStringLiteral("类别"), QStringLiteral("登录过")}, rows);
    return 0;
}

int unitRemove(Context& ctx) {
    ctx.expectArguments(1, QStringLiteral("tenvora owner unit remove 名称"));
    auto dm = OpenAsOwner(ctx, Access::Write);
    OwnerAccounts(dm->database()).removeBidder(ctx.args[0]);
    if (ctx.json)
        printJson({{QStringLiteral("removed"), ctx.args[0]}});
    else
        out() << QStringLiteral("已删除投标单位 %1").arg(ctx.args[0]) << Qt::endl;
    return 0;
}

int unitPassword(Context& ctx) {
    const QString password = takePassword(ctx);
    ctx.expectArguments(1, QStringLiteral("tenvora owner unit password 名称 --password 密码"));
    auto dm = OpenAsOwner(ctx, Access::Write);
    OwnerAccounts(dm->database()).setPassword(ctx.args[0], password);
    if (ctx.json)
        printJson({{QStringLiteral("changed"), ctx.args[0]}});
    else
        out() << QStringLiteral("已修改 %1 的密码").arg(ctx.args[0]) << Qt::endl;
    return 0;
}

} // namespace

OwnerSubcommand OwnerUnitSubcommand() {
    OwnerSubcommand s{
        QStringLiteral("unit"), unitUsage(),
        QStringLiteral("帐户：添加投标单位（类别 2；名称将是发给它的文件名，不能含 / \\ : * ? \" < > |，不能与已有\n"
                       "帐户同名，字母大小写不同也不行；密码不能为空）、列出全部帐户（不列密码）、删除投标单位、\n"
                       "修改某个帐户（投标单位或招标人）的密码。"),
        [](Context& ctx) {
            return RunSubcommand(ctx, unitUsage(),
                                 {{QStringLiteral("add"), unitAdd},
                                  {QStringLiteral("list"), unitList},
                                  {QStringLiteral("remove"), unitRemove},
                                  {QStringLiteral("password"), unitPassword}});
        }};
    s.passwordOption = true;
    return s;
}

} // namespace tenvora::cli

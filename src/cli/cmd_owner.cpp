// tenvora owner: the owner's side of the tender, from a new tender file to the issued copies.
#include "OwnerCli.h"

#include "data/AppPaths.h"
#include "owner/OwnerAccounts.h"

namespace tenvora::cli {

namespace {

const QList<OwnerSubcommand>& subcommands() {
    static const QList<OwnerSubcommand> list = {
        OwnerNewSubcommand(),       OwnerProjectSubcommand(),       OwnerContractSubcommand(),
        OwnerImportBoqSubcommand(), OwnerImportDayworkSubcommand(), OwnerUnitSubcommand(),
        OwnerCheckSubcommand(),     OwnerIssueSubcommand(),         OwnerClearBidsSubcommand(),
    };
    return list;
}

QString usage() {
    QStringList forms;
    for (const OwnerSubcommand& s : subcommands())
        forms << s.usage;
    return forms.join(QLatin1Char('\n'));
}

QString help() {
    QString text = QStringLiteral(
        "招标人准备招标文件并向各投标单位发出：新建招标文件，添加项目、合同段、工程量清单、计日工和\n"
        "投标单位的帐户，检查，然后为每个投标单位发出一个只带该单位帐户的文件；投标盘交回后清标。\n\n"
        "除 owner new 外，每个命令都用招标人的帐户（类别 1）登录：--data 招标文件、--unit 和 --password\n"
        "（或 TENVORA_UNIT、TENVORA_PASSWORD）要写在 owner 之前；投标单位的帐户不能登录。\n"
        "owner 之后的 --password 是子命令自己的选项（如投标单位的密码）。\n");
    for (const OwnerSubcommand& s : subcommands()) {
        text += QLatin1Char('\n') + s.usage + QLatin1Char('\n');
        for (const QString& line : s.help.split(QLatin1Char('\n')))
            text += QStringLiteral("    ") + line + QLatin1Char('\n');
    }
    text +=
        QStringLiteral("\n退出码：0 成功，1 被拒绝或失败（owner check 有问题时、owner clear-bids 没有可以评审的投标时\n"
                       "也是 1），2 命令行用法错误。");
    return text;
}

Command OwnerCommand() {
    Command c{QStringLiteral("owner"), QStringLiteral("子命令 [参数]"),
              QStringLiteral("招标人：新建招标文件、导入清单、管理帐户、检查并发出、清标"), help(), [](Context& ctx) {
                  if (ctx.args.isEmpty())
                      throw UsageError(QStringLiteral("缺少子命令\n用法：\n%1").arg(usage()));
                  const QString name = ctx.args.takeFirst();
                  for (const OwnerSubcommand& s : subcommands()) {
                      if (s.name != name)
                          continue;
                      for (const QString& a : ctx.args)
                          if (a == QLatin1String("--unit") || a == QLatin1String("--data") ||
                              (a == QLatin1String("--password") && !s.passwordOption))
                              throw UsageError(QStringLiteral("登录选项 %1 要写在 owner 之前：tenvora --data 招标文件 "
                                                              "--unit 单位 --password 密码 owner %2 …")
                                                   .arg(a, name));
                      return s.run(ctx);
                  }
                  throw UsageError(QStringLiteral("未知的子命令 %1\n用法：\n%2").arg(name, usage()));
              }};
    c.ownOptionsAfterName = true;
    return c;
}

} // namespace

namespace {

void requireLogin(const Context& ctx) {
    if (ctx.unit.isEmpty())
        throw UsageError(QStringLiteral("需要登录：请在 owner 之前给出招标人的 --unit 和 --password（或设置 "
                                        "TENVORA_UNIT、TENVORA_PASSWORD）"));
}

} // namespace

std::unique_ptr<DataModule> OpenAsOwner(Context& ctx, Access access) {
    requireLogin(ctx);
    auto dm = ctx.open(access);
    OwnerAccounts(dm->database()).login(ctx.unit, ctx.password);
    dm->session().CurUnitName = ctx.unit;
    return dm;
}

Database OpenTenderReadOnly(Context& ctx) {
    requireLogin(ctx);
    Database db = Database::open(ctx.dataPath, DataFileKey(), Database::Mode::Verify);
    OwnerAccounts(db).login(ctx.unit, ctx.password);
    return db;
}

const CommandRegistration registerOwner(OwnerCommand);

} // namespace tenvora::cli

// Commands that need no login: create-demo and accounts.
#include "Cli.h"

#include "demo/DemoData.h"
#include "shell/LoginRules.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

namespace tenvora::cli {

namespace {

Command CreateDemoCommand() {
    return {QStringLiteral("create-demo"), QStringLiteral("[--priced] [--force]"), QStringLiteral("写出演示数据文件"),
            QStringLiteral("在数据文件的位置写出一个新的演示数据文件：两个项目、三个合同段、工程量清单、\n"
                           "计日工清单和登录帐户。\n"
                           "  --priced  同时填入单价、金额、保险费和章合计，使每张报表都有数字\n"
                           "  --force   覆盖已有的数据文件（原文件在新文件写好之后才被替换）"),
            [](Context& ctx) {
                const bool priced = ctx.takeFlag(QStringLiteral("--priced"));
                const bool force = ctx.takeFlag(QStringLiteral("--force"));
                ctx.expectArguments(0, QStringLiteral("tenvora create-demo [--priced] [--force]"));
                // Replacing a file that a workbench has open would leave it writing into the old one.
                if (QFileInfo::exists(ctx.dataPath))
                    ctx.lockForWriting();
                CreateDemoDataFile(ctx.dataPath, priced, force);
                if (ctx.json)
                    printJson({{QStringLiteral("created"), QDir::toNativeSeparators(ctx.dataPath)}});
                else
                    out() << QStringLiteral("演示数据文件已写出：%1").arg(QDir::toNativeSeparators(ctx.dataPath))
                          << Qt::endl;
                return 0;
            }};
}

Command AccountsCommand() {
    return {QStringLiteral("accounts"), QString(), QStringLiteral("列出登录时可选的投标单位"),
            QStringLiteral("列出登录对话框会提供的投标单位：只要有类别为 2 的单位登录过，\n"
                           "就只列出登录过的单位；否则列出所有类别为 2 的单位。"),
            [](Context& ctx) {
                ctx.expectArguments(0, QStringLiteral("tenvora accounts"));
                auto dm = ctx.open();
                const QStringList units = LoginRules(*dm).accountsOffered();
                if (ctx.json) {
                    printJson({{QStringLiteral("units"), QJsonArray::fromStringList(units)}});
                } else {
                    for (const QString& u : units)
                        out() << u << Qt::endl;
                }
                return 0;
            }};
}

} // namespace

const CommandRegistration registerCreateDemo(CreateDemoCommand);
const CommandRegistration registerAccounts(AccountsCommand);

} // namespace tenvora::cli

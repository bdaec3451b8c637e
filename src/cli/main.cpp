// tenvora: the command-line front end over the workbench's operations.
#include "Cli.h"

#include "data/AppPaths.h"

#include <QDir>
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <memory>

using namespace tenvora;
using namespace tenvora::cli;

namespace {

QString overview() {
    QString text =
        QStringLiteral("用法：tenvora [--data 文件] [--unit 投标单位 --password 密码] [--json] 命令 [参数]\n\n"
                       "  --data 文件      数据文件；默认为本程序所在文件夹中的 VORQEL.tr\n"
                       "  --unit 名称      登录的投标单位（也可用环境变量 TENVORA_UNIT）\n"
                       "  --password 密码  该单位的密码（也可用环境变量 TENVORA_PASSWORD）\n"
                       "  --json           以 JSON 输出\n"
                       "  --help           显示本说明；“tenvora 命令 --help”显示该命令的说明\n\n"
                       "除 create-demo、accounts、check-file 与 owner 外，每个命令都先像登录对话框一样登录；\n"
                       "owner 的命令用招标人的帐户登录（见 tenvora owner --help）。\n"
                       "退出码：0 成功，1 操作被拒绝或失败，2 命令行用法错误。\n\n命令：\n");
    int width = 0;
    for (const Command& c : Commands())
        width = std::max(width, static_cast<int>(c.name.size()));
    for (const Command& c : Commands())
        text += QStringLiteral("  %1  %2\n").arg(c.name.leftJustified(width), c.summary);
    return text;
}

int runCommand(const Command& command, Context& ctx) {
    try {
        return command.run(ctx);
    } catch (const UsageError& e) {
        err() << e.text() << Qt::endl;
        return 2;
    } catch (const Error& e) {
        err() << e.text() << Qt::endl;
        return 1;
    } catch (const std::exception& e) {
        err() << QString::fromLocal8Bit(e.what()) << Qt::endl;
        return 1;
    }
}

// The report commands lay text out with real fonts, which needs a GUI application; so does the
// owner's clearing when it prints its report.
bool needsFonts(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--data" || a == "--unit" || a == "--password")
            ++i;
        else if (a == "owner")
            return std::any_of(argv + i + 1, argv + argc, [](const char* s) { return QByteArray(s) == "--pdf"; });
        else if (!a.startsWith("--"))
            return a == "report" || a == "print-all";
    }
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    // Qt's own notices (runtime folders, fonts) would mix with the command's messages on stderr.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    });
    std::unique_ptr<QCoreApplication> app;
    if (needsFonts(argc, argv)) {
        // Offscreen: the command never shows a window, so it never needs a display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QStringList args = app->arguments().mid(1);

    Context ctx;
    ctx.dataPath = DefaultDataFileIn(QCoreApplication::applicationDirPath());
    ctx.unit = qEnvironmentVariable("TENVORA_UNIT");
    ctx.password = qEnvironmentVariable("TENVORA_PASSWORD");

    QString commandName;
    bool ownOptions = false; // the command takes the login options after its name as its own
    bool help = false;
    QStringList rest;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        if (a == QLatin1String("--json")) {
            ctx.json = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            help = true;
        } else if (!ownOptions &&
                   (a == QLatin1String("--data") || a == QLatin1String("--unit") || a == QLatin1String("--password"))) {
            const std::optional<QString> v = value();
            if (!v) {
                err() << QStringLiteral("%1 需要一个值").arg(a) << Qt::endl;
                return 2;
            }
            if (a == QLatin1String("--data"))
                ctx.dataPath = QDir::current().absoluteFilePath(*v);
            else if (a == QLatin1String("--unit"))
                ctx.unit = *v;
            else
                ctx.password = *v;
        } else if (commandName.isEmpty() && !a.startsWith(QLatin1String("--"))) {
            commandName = a;
            for (const Command& c : Commands())
                if (c.name == commandName)
                    ownOptions = c.ownOptionsAfterName;
        } else {
            rest << a;
        }
    }

    if (commandName.isEmpty()) {
        (help ? out() : err()) << overview();
        return help ? 0 : 2;
    }
    for (const Command& c : Commands()) {
        if (c.name != commandName)
            continue;
        if (help) {
            out() << QStringLiteral("用法：tenvora [全局选项] %1 %2\n\n%3\n").arg(c.name, c.usage, c.help);
            return 0;
        }
        ctx.args = rest;
        return runCommand(c, ctx);
    }
    err() << QStringLiteral("未知的命令 %1\n\n").arg(commandName) << overview();
    return 2;
}

// tenvora: the command-line front end over the workbench's operations.
#include "Cli.h"

#include "data/AppPaths.h"

#include <QDir>
#include <QGuiApplication>
#include <QStringDecoder>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>

using namespace tenvora;
using namespace tenvora::cli;

namespace {

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

// A text exactly as given: a leading U+FEFF stays part of it (a password may begin with one), and
// bytes that are not UTF-8 give nothing, since no QString could carry them back to the same
// file name.
std::optional<QString> exactText(const char* bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder(QByteArrayView(bytes));
    if (decoder.hasError())
        return std::nullopt;
    return text;
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
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        const std::optional<QString> arg = exactText(argv[i]);
        if (!arg) {
            err() << QStringLiteral("第 %1 个参数不是 UTF-8 编码的文字，无法照原样使用（文件名也是一样），"
                                    "请改用 UTF-8 编码的名称")
                         .arg(i)
                  << Qt::endl;
            return 2;
        }
        args << *arg;
    }

    Context ctx;
    ctx.dataPath = DefaultDataFileIn(QCoreApplication::applicationDirPath());
    for (const auto& [name, value] :
         {std::pair{"TENVORA_UNIT", &ctx.unit}, std::pair{"TENVORA_PASSWORD", &ctx.password}}) {
        const char* raw = std::getenv(name);
        const std::optional<QString> text = exactText(raw ? raw : "");
        if (!text) {
            err() << QStringLiteral("环境变量 %1 不是 UTF-8 编码的文字").arg(QLatin1String(name)) << Qt::endl;
            return 2;
        }
        *value = *text;
    }

    return RunCommandLine(args, std::move(ctx));
}

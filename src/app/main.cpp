// VORQEL: the Tenvora workbench.
#include "MessageBox.h"
#include "data/AppPaths.h"
#include "data/DataFileLock.h"
#include "data/DataModule.h"
#include "shell/Application.h"
#include "shell/DtMain1.h"

#include <QCommandLineParser>
#include <QIcon>
#include <QScreen>
#include <cstdio>

using namespace tenvora;
using namespace tenvora::ui;

int main(int argc, char* argv[]) {
    TenvoraApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/shell/images/app.svg")));
    app.installChinese();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Tenvora 投标报价工作台。数据文件是本程序所在文件夹中与程序同名、扩展名为 .tr 的文件。"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);

    const QString dataFile = DataFilePathFor(QCoreApplication::applicationFilePath());
    GuiMessageSink sink;
    // Held until the program ends: a second workbench, or a restore, on this file is refused.
    DataFileLock lock(dataFile);
    std::unique_ptr<TDmMain> dm;
    try {
        lock.acquire();
        dm = std::make_unique<TDmMain>(dataFile, sink);
    } catch (const DataFileError& e) {
        // Say which file and why before ending, rather than vanishing.
        std::fprintf(stderr, "%s\n", e.text().toLocal8Bit().constData());
        MessageBox::information(nullptr, e.text(), QStringLiteral("Tenvora"));
        return 1;
    }

    TFormMain1 window(*dm);
    if (!window.FormCreate())
        return 0;
    // Fill the screen even where no window manager honours the maximized state.
    window.setGeometry(window.screen()->availableGeometry());
    window.showMaximized();
    return app.exec();
}

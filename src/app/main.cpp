// VORQEL: the Tenvora workbench.
#include "MessageBox.h"
#include "Settings.h"
#include "data/AppPaths.h"
#include "data/DataFileLock.h"
#include "data/DataModule.h"
#include "shell/Application.h"
#include "shell/MainWindow.h"

#include <QCommandLineParser>
#include <QDir>
#include <QIcon>
#include <QScreen>
#include <cstdio>
#include <future>

using namespace tenvora;
using namespace tenvora::ui;

int main(int argc, char* argv[]) {
    TenvoraApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/shell/images/app.svg")));
    app.installChinese();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Tenvora 投标报价工作台。数据文件是本程序所在文件夹中与程序同名、扩展名为 .tr 的文件。\n"
                       "用户指南在本程序所在文件夹的 help 文件夹中（程序中按 F1 打开）。\n"
                       "窗口大小和列宽保存在设置文件 %1 中。")
            .arg(QDir::toNativeSeparators(SettingsFilePath())));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);

    const QString dataFile = DataFilePathFor(QCoreApplication::applicationFilePath());
    const auto refuse = [](const DataFileError& e) {
        // Say which file and why before ending, rather than vanishing.
        std::fprintf(stderr, "%s\n", e.text().toLocal8Bit().constData());
        MessageBox::error(nullptr, e.text(), QStringLiteral("Tenvora"));
        return 1;
    };
    // Held until the program ends: a second workbench, or a restore, on this file is refused.
    DataFileLock lock(dataFile);
    try {
        lock.acquire();
    } catch (const DataFileError& e) {
        return refuse(e);
    }
    // Deriving the key and reading the catalogue take about as long as building the main window,
    // which does not touch the file: the two run side by side, and the login waits for both.
    std::future<Database> opening =
        std::async(std::launch::async, [dataFile] { return Database::open(dataFile, DataFileKey()); });
    DataModule dm(dataFile, DataModule::OpenLater{});
    MainWindow window(dm);
    try {
        dm.adoptConnection(opening.get());
    } catch (const DataFileError& e) {
        return refuse(e);
    }

    if (!window.start())
        return 0;
    if (window.hasSavedGeometry()) {
        window.show(); // as the last run left it, maximized or not
    } else {
        // Fill the screen even where no window manager honours the maximized state.
        window.setGeometry(window.screen()->availableGeometry());
        window.showMaximized();
    }
    return app.exec();
}

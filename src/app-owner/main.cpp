// tenvora-owner: the owner's workbench, in which a tender file is prepared and issued.
#include "MessageBox.h"
#include "Modal.h"
#include "Settings.h"
#include "data/AppPaths.h"
#include "data/DataFileLock.h"
#include "data/DataModule.h"
#include "owner/OwnerMainWindow.h"
#include "owner/TenderFileChooser.h"
#include "shell/Application.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QScreen>
#include <cstdio>
#include <memory>

using namespace tenvora;
using namespace tenvora::ui;

int main(int argc, char* argv[]) {
    TenvoraApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/shell/images/app.svg")));
    app.installChinese();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Tenvora 招标人工作台：准备招标文件（项目、合同段、工程量清单、计日工、投标单位的帐户），"
                       "检查后为每个投标单位发放一个文件。\n"
                       "不给出招标文件时，程序先请您打开一个，或新建一个（也可以用 tenvora owner new 建立）。\n"
                       "用户指南在本程序所在文件夹的 help 文件夹中（程序中按 F1 打开）。\n"
                       "窗口大小和列宽保存在设置文件 %1 中。")
            .arg(QDir::toNativeSeparators(SettingsFilePath())));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("招标文件"), QStringLiteral("要打开的招标文件（.tr）"),
                                 QStringLiteral("[招标文件]"));
    parser.process(app);

    QString path = parser.positionalArguments().value(0);
    QString madeBy; // the owner's account of a tender file made just now
    if (path.isEmpty()) {
        TenderFileChooser chooser;
        if (ExecModal(chooser) != QDialog::Accepted)
            return 0;
        path = chooser.path();
        madeBy = chooser.ownerUnit();
    }
    path = QFileInfo(path).absoluteFilePath();

    const auto refuse = [](const Error& e) {
        std::fprintf(stderr, "%s\n", e.text().toLocal8Bit().constData());
        MessageBox::error(nullptr, e.text(), QStringLiteral("Tenvora 招标人"));
        return 1;
    };
    // Held until the program ends: no second program writes the tender file meanwhile.
    DataFileLock lock(path);
    std::unique_ptr<DataModule> dm;
    try {
        lock.acquire();
        dm = std::make_unique<DataModule>(path);
    } catch (const DataFileError& e) {
        return refuse(e);
    }

    OwnerMainWindow window(*dm);
    // Who has just made the file and its account is not asked for the password again.
    OwnerMainWindow::LoginRunner login;
    if (!madeBy.isEmpty())
        login = [madeBy](DataModule& d) {
            d.session().CurUnitName = madeBy;
            return true;
        };
    if (!window.start(login))
        return 0;
    if (window.hasSavedGeometry()) {
        window.show();
    } else {
        window.setGeometry(window.screen()->availableGeometry());
        window.showMaximized();
    }
    return app.exec();
}

// Resident memory of the workbench with the BoQ editor listing a whole contract of 5,000 lines
// (of the large data file, 20 contracts x 5,000 lines), beside a minimal Qt window plus the data
// file's size, in turns in the same run: both as the memory held once the window is painted and
// as the peak. Each side runs in a process of its own, offscreen, at the same window size.
// Usage: bench_workbench_memory [--rounds N]
#include "LargeDataFile.h"
#include "ProcessMemory.h"
#include "ProcessTiming.h"

#include "boq/BoqEditorWindow.h"
#include "data/DataModule.h"
#include "shell/Application.h"
#include "shell/LoginRules.h"
#include "shell/MainWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

using namespace tenvora;
using namespace tenvora::bench;
using namespace tenvora::ui;

namespace {

// The workbench as its program starts it, logged in, with the contract node's list shown.
int runWorkbench(int argc, char** argv, const QString& dataFile) {
    TenvoraApplication app(argc, argv);
    app.installChinese();
    DataModule dm(dataFile);
    MainWindow window(dm);
    const bool loggedIn = window.start(
        [](DataModule& d) { return LoginRules(d).login(QString::fromUtf8(kUnit), QString::fromLatin1(kPassword)); });
    if (!loggedIn)
        return 1;
    window.setGeometry(0, 0, 1600, 1000);
    window.show();
    window.showBoqEditor();
    auto* editor = dynamic_cast<BoqEditorWindow*>(window.hostedTool());
    if (!editor || editor->tree()->topLevelItemCount() == 0)
        return 1;
    editor->tree()->setCurrentItem(editor->tree()->topLevelItem(0)->child(0));
    if (editor->editor().lines().rowCount() != kLinesPerContract)
        return 1;
    QTimer::singleShot(300, [] {
        PrintResidentMemory();
        QCoreApplication::exit(0); // not quit(): that would close the window, and the workbench asks first
    });
    return app.exec();
}

// Runs a child that prints its resident memory; false when it failed.
bool measure(const QString& program, const QStringList& args, ResidentMemory& m) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return false;
    const QList<QByteArray> words = p.readAllStandardOutput().simplified().split(' ');
    if (words.size() < 4 || words[0] != "resident-kib")
        return false;
    m.currentKiB = words[1].toLongLong();
    m.peakKiB = words[3].toLongLong();
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && QByteArray(argv[1]) == "--workbench")
        return runWorkbench(argc, argv, QString::fromLocal8Bit(argv[2]));

    QCoreApplication app(argc, argv);
    const int rounds = RoundsArgument(argc, argv, 7);
    QTemporaryDir dir;
    const QString dataFile = dir.filePath(QStringLiteral("VORQEL.tr"));
    CreateLargeDataFile(dataFile);
    const double fileKiB = static_cast<double>(QFileInfo(dataFile).size()) / 1024;
    const QString self = QCoreApplication::applicationFilePath();
    const QString anchor =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("bench_anchor_MinimalWindow"));

    std::vector<double> ours, oursPeak, base, basePeak, ratio, ratioPeak;
    for (int r = 0; r <= rounds; ++r) {
        ResidentMemory w, a;
        if (!measure(self, {QStringLiteral("--workbench"), dataFile}, w) || !measure(anchor, {}, a)) {
            std::fprintf(stderr, "a measured program failed\n");
            return 1;
        }
        if (r == 0)
            continue; // the first round only warms the caches
        ours.push_back(static_cast<double>(w.currentKiB));
        oursPeak.push_back(static_cast<double>(w.peakKiB));
        base.push_back(static_cast<double>(a.currentKiB) + fileKiB);
        basePeak.push_back(static_cast<double>(a.peakKiB) + fileKiB);
        ratio.push_back(ours.back() / base.back());
        ratioPeak.push_back(oursPeak.back() / basePeak.back());
    }
    std::printf("data file %.0f KiB; medians of %d rounds\n", fileKiB, rounds);
    std::printf("workbench with the BoQ editor on %d lines: %.0f KiB resident against minimal window + file %.0f KiB, "
                "ratio %.2f (limit 1.3)\n",
                kLinesPerContract, Median(ours), Median(base), Median(ratio));
    std::printf("peak: %.0f KiB against %.0f KiB, ratio %.2f (limit 1.3); highest peak ratio %.2f\n", Median(oursPeak),
                Median(basePeak), Median(ratioPeak), Max(ratioPeak));
    return 0;
}

// One `tenvora boq price` on the large data file (20 contracts x 5,000 lines) beside the same
// command on the demo data file, in turns in the same run: an edit should cost what it changes,
// not what the file holds. Usage: bench_boq_price [--rounds N]
#include "LargeDataFile.h"
#include "ProcessTiming.h"

#include "demo/DemoData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace tenvora;
using namespace tenvora::bench;

namespace {

struct PricedFile {
    QString path;
    QString item;
    int runs = 0;
};

double priceOnce(const QString& tenvora, PricedFile& file, bool chapter) {
    // A different price each time, so every run really writes the line.
    const QString price = QString::number(100 + (file.runs++ % 50)) + QStringLiteral(".25");
    QStringList args = {QStringLiteral("--data"),
                        file.path,
                        QStringLiteral("--unit"),
                        QString::fromUtf8(kUnit),
                        QStringLiteral("--password"),
                        QString::fromLatin1(kPassword),
                        QStringLiteral("boq"),
                        QStringLiteral("price"),
                        file.item,
                        price};
    if (chapter)
        args << QStringLiteral("--chapter") << QStringLiteral("300");
    return TimeToExit(tenvora, args);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = RoundsArgument(argc, argv, 15);
    const QString tenvora = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tenvora"));
    QTemporaryDir dir;
    PricedFile demo{dir.filePath(QStringLiteral("demo.tr")), QStringLiteral("304-1-a")};
    PricedFile large{dir.filePath(QStringLiteral("large.tr")), PriceableItem()};
    CreateDemoDataFile(demo.path, false, false);
    CreateLargeDataFile(large.path);
    std::printf("demo file %lld bytes, large file %lld bytes (%d x %d lines)\n",
                static_cast<long long>(QFileInfo(demo.path).size()),
                static_cast<long long>(QFileInfo(large.path).size()), kContracts, kLinesPerContract);

    for (const bool chapter : {true, false}) {
        std::vector<Side> sides = {{QStringLiteral("demo"), [&] { return priceOnce(tenvora, demo, chapter); }, {}},
                                   {QStringLiteral("large"), [&] { return priceOnce(tenvora, large, chapter); }, {}}};
        if (!RunInTurns(sides, rounds))
            return 1;
        std::printf("boq price %s: large file %.1f ms, demo file %.1f ms (medians of %d), ratio %.2f (limit 1.3)\n",
                    chapter ? "--chapter 300" : "(whole contract list)", Median(sides[1].times), Median(sides[0].times),
                    rounds, MedianRatio(sides[1], sides[0]));
    }
    return 0;
}

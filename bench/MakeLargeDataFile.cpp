// tenvora-bench-data FILE: writes the benchmarks' large data file (20 contracts x 5,000 lines),
// for timing the programs by hand.
#include "LargeDataFile.h"

#include "data/Errors.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: tenvora-bench-data FILE\n");
        return 2;
    }
    try {
        tenvora::bench::CreateLargeDataFile(args[1]);
    } catch (const tenvora::Error& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 1;
    }
    std::printf("%s: %lld bytes\n", qPrintable(args[1]), static_cast<long long>(QFileInfo(args[1]).size()));
    return 0;
}

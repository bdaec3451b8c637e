// tenvora-xls FILE [--sheet NAME]: writes the cells of a workbook to stdout for the import.
#include "boq/Workbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    // Qt's own notices would only get in the way of the reader's caller.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QStringList args = app.arguments().mid(1);
    QString sheet;
    const qsizetype at = args.indexOf(QStringLiteral("--sheet"));
    if (at >= 0 && at + 1 < args.size()) {
        sheet = args.at(at + 1);
        args.remove(at, 2);
    }
    if (args.size() != 1) {
        std::fprintf(stderr, "用法：tenvora-xls FILE [--sheet NAME]\n");
        return 2;
    }
    const tenvora::WorkbookHelperOutput output =
        tenvora::WorkbookHelperRun(QDir::current().absoluteFilePath(args.first()), sheet);
    QFile stream;
    if (!stream.open(stdout, QIODevice::WriteOnly) || stream.write(output.bytes) != output.bytes.size() ||
        !stream.flush())
        return 3;
    return output.ok ? 0 : 1;
}

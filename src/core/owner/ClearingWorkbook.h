// The clearing as an .xlsx workbook: the ranking with the benchmark and its parameters, a sheet
// per kind of finding and the line-by-line comparison of unit prices, every figure a number cell.
#pragma once

#include <QString>
#include <QStringList>

namespace tenvora {

struct ClearingResult;

class ClearingWorkbook {
public:
    // Sheet names in the order written.
    static QString rankingSheetName() { return QStringLiteral("评审结果"); }
    static QString parametersSheetName() { return QStringLiteral("评标参数"); }
    static QString comparisonSheetName() { return QStringLiteral("单价比较"); }
    // The sheet of a kind of finding: its kind's text ("清单改动" ...).
    static QStringList sheetNames();

    // Writes the workbook in place of path in one step (staged, like every written workbook);
    // throws Error when it cannot be written.
    static void write(const ClearingResult& result, const QString& path);
};

} // namespace tenvora

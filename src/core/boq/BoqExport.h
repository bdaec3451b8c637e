// The current contract's priced bill as an .xlsx workbook: the sheet "工程量清单" in the import's
// format (the five headings first, so the file imports again as it is) with 合价 and 章 beside
// them, a sheet per day-work schedule, and the sheet "汇总" with the chapter totals and the
// figures of the bid price (those of the all-chapter summary).
#pragma once

#include "daywork/DayworkLists.h"

#include <QString>
#include <QStringList>

namespace tenvora {

class DataModule;

struct BoqExportResult {
    QString path;
    int lines = 0;        // lines of the bill
    int dayworkItems = 0; // items of the three schedules together
};

class BoqExport {
public:
    explicit BoqExport(DataModule& dm) : m_dm(dm) {}

    // Writes the workbook beside its target, without a name until it is whole on the disk, and
    // then puts it in place of path in one step (StagedFile), so a failed or killed export leaves
    // no file behind (and an older file of that name as it was). Throws Refused without a
    // current contract or for a path that is no file name, Error naming the file and the cause
    // when it cannot be written, StatementError or StorageError when the store cannot be read.
    BoqExportResult write(const QString& path);

    static QString billSheetName() { return QStringLiteral("工程量清单"); }
    static QString dayworkSheetName(Schedule s);
    static QString summarySheetName() { return QStringLiteral("汇总"); }
    // The import's five headings, then 合价 and 章.
    static QStringList billHeadings();
    static QString fileFilter() { return QStringLiteral("Excel 工作簿 (*.xlsx)"); }
    // The path with ".xlsx" added when it has no suffix of that name; refuses (Refused) an empty
    // name and one that names a folder.
    static QString withSuffix(const QString& path);
    static QString doneText(const BoqExportResult& result);

private:
    DataModule& m_dm;
};

} // namespace tenvora

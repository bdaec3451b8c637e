// What the owner's imports share: reading the workbook through the reader process, and the refusal
// that names every row of the workbook that stands in the way, so the owner mends them in one go.
#pragma once

#include "data/Errors.h"

#include <QList>
#include <QString>

namespace tenvora {

struct WorkbookContents;
class Database;

struct SheetProblem {
    QString sheet;
    int row = 0; // as Excel numbers it; 0 for the sheet as a whole
    QString text;
};

// Nothing of the workbook was imported. text() names the workbook and the problems (the first
// kNamed of them, then how many there are in all); problems() holds all of them.
class OwnerWorkbookRefused : public Refused {
public:
    OwnerWorkbookRefused(const QString& path, QList<SheetProblem> problems);
    const QList<SheetProblem>& problems() const { return m_problems; }
    static constexpr int kNamed = 20;

private:
    QList<SheetProblem> m_problems;
};

// "工作表“工程量清单”第 5 行：…", or without the row for the sheet as a whole.
QString SheetProblemText(const SheetProblem& problem);

// Reads the sheets (all of them when sheet is empty) in the reader process. A workbook that cannot
// be read (missing, not a workbook, damaged) is an Error naming the file and the reason.
WorkbookContents ReadOwnerWorkbook(const QString& path, const QString& sheet = {});

// A contract's rows of one table before an import: refused (Refused) when the section is missing,
// and (HeldContentRefused) when it holds rows and replace is not set; `what` says what they are
// ("行工程量清单").
void RequireImportTarget(Database& db, const QString& contractId, qint64 held, const QString& what, bool replace);

} // namespace tenvora

// Cells of an Excel workbook (.xls with FreeXL, .xlsx with minizip and QXmlStreamReader), read in a
// helper process of our own.
#pragma once

#include "data/Errors.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace tenvora {

struct WorkbookCell {
    enum class Kind : quint8 { Empty, Number, Text };
    Kind kind = Kind::Empty;
    double number = 0;
    QString text; // dates and times arrive as text too ("2024-05-01")

    static WorkbookCell ofNumber(double value) { return {Kind::Number, value, {}}; }
    static WorkbookCell ofText(QString value) { return {Kind::Text, 0, std::move(value)}; }
};

struct WorksheetCells {
    QString name;
    int rows = 0;
    int columns = 0;
    std::vector<WorkbookCell> cells; // row by row

    const WorkbookCell& at(int row, int column) const {
        return cells[static_cast<size_t>(row) * static_cast<size_t>(columns) + static_cast<size_t>(column)];
    }
};

struct WorkbookContents {
    QStringList sheetNames;             // every sheet of the workbook, in the workbook's order
    std::vector<WorksheetCells> sheets; // the sheets whose cells were read

    // The sheet read under that exact name, or nullptr.
    const WorksheetCells* sheet(const QString& name) const;
};

// The workbook cannot be read (missing, not a workbook, damaged, over a cap); the text says why.
class WorkbookError : public Error {
public:
    using Error::Error;
};

// Reads the workbook in the calling process: the cells of the named sheet only, or of every
// sheet when onlySheet is empty. The format is told by the file's first bytes, not its name.
// FreeXL can crash on a damaged file, so only the helper command and tests call this; the
// workbench and the import use ReadWorkbook.
WorkbookContents ReadWorkbookInProcess(const QString& path, const QString& onlySheet = {});

// The helper's output: a line-based text that ParseWorkbookDump reads back exactly
// (numbers keep every bit; a missing end line marks output cut short by a crash).
QByteArray WorkbookDump(const WorkbookContents& contents);
WorkbookContents ParseWorkbookDump(const QByteArray& dump);

// What the helper command writes to stdout: the dump, or one line with the reason the file
// cannot be read (ok false). Qt may print warnings on stderr, so the reason travels here.
struct WorkbookHelperOutput {
    QByteArray bytes;
    bool ok = false;
};
WorkbookHelperOutput WorkbookHelperRun(const QString& path, const QString& onlySheet);

// Runs "tenvora-xls FILE --sheet NAME" beside the running program and reads its
// output, so a crash of the reader costs only the helper. Throws WorkbookError when the
// helper reports a reason, crashes, hangs or writes something unreadable.
WorkbookContents ReadWorkbook(const QString& path, const QString& onlySheet = {});

// The helper program: "tenvora-xls" in the folder of the running program.
QString WorkbookHelperProgram();

} // namespace tenvora

// Reading the cells of an imported sheet the same way in every import: texts, numbers through
// their general text, column letters and headings for the messages.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace tenvora {

struct WorkbookCell;
struct WorksheetCells;

// "A", "B", … "AA" for a 0-based column, as Excel heads its columns.
QString SheetColumnLetters(int column);
// The cell as text: a number through its general text, an empty cell as empty text.
QString SheetCellText(const WorkbookCell& cell);
// The cell as a text value: null when it holds nothing but blanks. An owner often types the
// chapter line "100" as a number: it is taken as its general text.
QVariant SheetTextValue(const WorkbookCell& cell);

// A cell read as a number: null for an empty cell; valid is false for a text that is no number.
struct SheetNumber {
    bool valid = true;
    QVariant value;
};
// Numbers go through their general text, so a figure the sheet computed as 12.300000000000001
// arrives as 12.3, as the owner saw it; number texts are read as typed.
SheetNumber SheetNumberOf(const WorkbookCell& cell);

// Where each heading stands in the first row of the sheet (-1 where it is missing). A heading that
// heads two columns leaves it open which one is meant: problem then names it and both columns.
struct SheetHeadings {
    std::vector<int> at;
    QString problem;
};
SheetHeadings FindSheetHeadings(const WorksheetCells& sheet, const QString& sheetName, const QStringList& headings);

} // namespace tenvora

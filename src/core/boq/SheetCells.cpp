#include "boq/SheetCells.h"

#include "boq/Workbook.h"
#include "data/Money.h"

#include <charconv>
#include <cmath>

namespace tenvora {

namespace {

double generalNumber(double value) {
    // The digits GeneralText writes ("%.14e": 15 significant), read back; without building the
    // text, as a large sheet has tens of thousands of numbers.
    char digits[48];
    const std::to_chars_result written =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::scientific, 14);
    double rounded = 0;
    // Only the very largest doubles round past the range; they keep their own value.
    if (written.ec != std::errc() || std::from_chars(digits, written.ptr, rounded).ec != std::errc() ||
        !std::isfinite(rounded))
        return value;
    return rounded == 0 ? 0.0 : rounded; // GeneralText writes -0 as "0"
}

} // namespace

QString SheetColumnLetters(int column) {
    QString letters;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters;
}

QString SheetCellText(const WorkbookCell& cell) {
    switch (cell.kind) {
    case WorkbookCell::Kind::Number:
        return GeneralText(cell.number);
    case WorkbookCell::Kind::Text:
        return cell.text;
    case WorkbookCell::Kind::Empty:
        break;
    }
    return {};
}

QVariant SheetTextValue(const WorkbookCell& cell) {
    const QString text = SheetCellText(cell);
    return text.trimmed().isEmpty() ? QVariant() : QVariant(text);
}

SheetNumber SheetNumberOf(const WorkbookCell& cell) {
    if (cell.kind == WorkbookCell::Kind::Empty)
        return {};
    if (cell.kind == WorkbookCell::Kind::Number)
        return {true, generalNumber(cell.number)};
    if (cell.text.trimmed().isEmpty())
        return {};
    const std::optional<double> typed = ParseNumber(cell.text);
    return typed ? SheetNumber{true, generalNumber(*typed)} : SheetNumber{false, {}};
}

SheetHeadings FindSheetHeadings(const WorksheetCells& sheet, const QString& sheetName, const QStringList& headings) {
    SheetHeadings found;
    found.at.assign(static_cast<size_t>(headings.size()), -1);
    if (sheet.rows == 0)
        return found;
    for (int c = 0; c < sheet.columns; ++c) {
        const qsizetype h = headings.indexOf(SheetCellText(sheet.at(0, c)).trimmed());
        if (h < 0)
            continue;
        int& at = found.at[static_cast<size_t>(h)];
        if (at >= 0) {
            found.problem = QStringLiteral("工作表“%1”的标题“%2”出现了两次（%3 列和 %4 列）")
                                .arg(sheetName, headings[h], SheetColumnLetters(at), SheetColumnLetters(c));
            return found;
        }
        at = c;
    }
    return found;
}

} // namespace tenvora

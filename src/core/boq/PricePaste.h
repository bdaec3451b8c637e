// Reading a block of prices copied from a spreadsheet: lines separated by line breaks (CRLF, LF
// or CR), cells by tabs, figures with or without thousands separators.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace tenvora {

// The one column of a copied block, a cell per line; line breaks at the end close the block and
// make no cell. Refused when the block is empty or holds figures in more than one column.
QStringList PastedPriceColumn(const QString& text);

// A pasted cell as a price: an empty cell clears the price (a null value); a number is read as
// written ("1234.5", "1,234.50", "-3", surrounding blanks and quotes allowed), the same in every
// locale. Nothing when the cell is not a number; commas that do not group the whole part in
// threes ("1,5", "1.234,50") make no number.
std::optional<QVariant> PastedPrice(const QString& cell);

// What a paste did: prices written, locked lines passed over, lines whose figures changed.
struct PasteResult {
    int pasted = 0;
    int skippedLocked = 0;
    int changed = 0;
    int lastRow = -1; // the list row that took the last price
};

// "粘贴了 N 个单价" with the locked lines passed over, for the window and the command.
QString PasteResultText(const PasteResult& result);

} // namespace tenvora

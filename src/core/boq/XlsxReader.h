// Cells of an Office Open XML workbook (.xlsx): a zip archive of XML parts, read with minizip and
// QXmlStreamReader in the reader process. Every part is expanded under fixed caps and no part may
// carry a document type definition, so a hostile file is refused before it can exhaust memory
// or time; nothing is written to the disk.
#pragma once

#include "boq/CellSink.h"

#include <QString>

namespace tenvora {

// What the archive may expand to. None is taken from what the archive declares: every byte is
// counted as it expands. The bounds let the export of the largest bill (200,000 lines, with long
// descriptions) read back, while an archive built to expand (a "zip bomb") stops at the ratio.
// One XML part, uncompressed.
inline constexpr qint64 kXlsxMaxPartBytes = qint64{512} << 20;
// Every part read from one workbook, together.
inline constexpr qint64 kXlsxMaxWorkbookBytes = qint64{768} << 20;
// ... and at most this many times the size of the file itself (spreadsheets compress some ten to
// thirty times; a built bomb a thousand), with an allowance for small files.
inline constexpr qint64 kXlsxMaxExpansion = 200;
inline constexpr qint64 kXlsxExpansionAllowance = qint64{1} << 20;
// The longest stretch of a part without markup: one text or one attribute. A cell holds at most
// 32,767 characters, so this bounds what any one token of the XML reader may hold.
inline constexpr qint64 kXlsxMaxTokenBytes = qint64{1} << 20;
// A sheet's used range (the rows and columns up to its last cell that holds a value), and the
// cells and shared texts a workbook may hold. The dimension a sheet declares is not trusted.
inline constexpr qint64 kXlsxMaxCells = 2'000'000;
// The format's own limits of a sheet.
inline constexpr int kXlsxMaxRows = 1'048'576;
inline constexpr int kXlsxMaxColumns = 16'384;
// Entries of the archive's directory.
inline constexpr int kXlsxMaxEntries = 10'000;

// Reads the named sheet (every sheet when onlySheet is empty) into the sink: texts (shared and
// inline), numbers, booleans as the numbers 1 and 0 (as the .xls reader gives them), error
// values as their texts ("#N/A"), empty cells; a formula gives the value last stored with it. Throws WorkbookError with
// the reason when the file cannot be read.
void ReadXlsxCells(const QString& path, const QString& onlySheet, CellSink& sink);

} // namespace tenvora

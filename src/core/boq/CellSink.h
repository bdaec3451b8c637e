// What a workbook reader hands over, sheet by sheet and cell by cell (row by row), so the reader
// process can write its output straight from the file's texts without building every cell first.
#pragma once

#include <QByteArrayView>
#include <QStringList>

namespace tenvora {

class CellSink {
public:
    virtual ~CellSink() = default;
    virtual void sheetNames(const QStringList& names) = 0;
    // rows x columns cells follow, row by row.
    virtual void beginSheet(int index, int rows, int columns) = 0;
    virtual void emptyCell() = 0;
    virtual void numberCell(double value) = 0;
    virtual void textCell(QByteArrayView utf8) = 0;
};

} // namespace tenvora

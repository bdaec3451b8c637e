// The parser of the reader process's output on mutated output: a reader that dies half-way or
// writes garbage must give a clear refusal, never a crash or a runaway allocation.
#include "boq/Workbook.h"

#include <QByteArray>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        tenvora::ParseWorkbookDump(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    } catch (const tenvora::WorkbookError&) {
    }
    return 0;
}

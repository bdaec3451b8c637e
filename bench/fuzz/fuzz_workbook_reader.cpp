// The workbook reader on mutated workbooks (.xls seeds for one target, .xlsx seeds for the other;
// the reader tells the format by the first bytes), as the reader process runs it: the cells are
// read and written as the reader's output, and that output must read back in full.
#include "boq/Workbook.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// The reader takes a path: one in-memory file, rewritten for every input, saves the disk.
struct MemoryFile {
    MemoryFile() : fd(::memfd_create("workbook", 0)), path(QStringLiteral("/proc/self/fd/%1").arg(fd)) {}
    int fd;
    QString path;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MemoryFile file;
    if (::ftruncate(file.fd, 0) != 0 || ::pwrite(file.fd, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();
    const tenvora::WorkbookHelperOutput output = tenvora::WorkbookHelperRun(file.path, QString());
    if (output.ok) {
        try {
            tenvora::ParseWorkbookDump(output.bytes);
        } catch (const tenvora::WorkbookError&) {
            std::abort(); // the reader wrote something its own caller cannot read
        }
    }
    return 0;
}

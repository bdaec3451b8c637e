// The report template parser on mutated templates: a bad template is refused with a clear
// message, never a crash.
#include "report_engine/ReportTemplate.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        tenvora::report::ParseTemplate(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
                                       QStringLiteral("fuzz.xml"));
    } catch (const tenvora::report::TemplateError&) {
    }
    return 0;
}

// The engine's own file of a prepared report: the laid-out pages, so that the preview can show
// a saved report again exactly as it was built, without the data file or the template.
#pragma once

#include "report_engine/RenderedDocument.h"

namespace tenvora::report {

inline constexpr const char* kPreparedReportSuffix = "tvr";

// Replaces the file only when everything was written; throws Error naming the file.
void SavePreparedReport(const RenderedDocument& doc, const QString& path);
// Throws Error naming the file, and for a damaged file the line and column.
RenderedDocument LoadPreparedReport(const QString& path);

QByteArray PreparedReportXml(const RenderedDocument& doc);
RenderedDocument ParsePreparedReport(const QByteArray& xml, const QString& sourceName);

} // namespace tenvora::report

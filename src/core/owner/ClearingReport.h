// The printed clearing report, from the report templates of the engine: a page of the ranking
// with the benchmark and its parameters ("评审结果", Report/qbpb.xml), the check of every disk
// ("投标盘核对", Report/qbhd.xml), then one form per kind of finding that has any
// (Report/qbwt.xml), each form with its own page numbers and, in the PDF, its own bookmark.
#pragma once

#include "report_engine/RenderedDocument.h"

#include <QString>

namespace tenvora {

struct ClearingResult;

inline constexpr const char* kClearingReportTitle = "清标报告";

// Lays the report out. programFolder holds the "Report" folder (empty: the running program's).
// Throws Error naming a template that is missing or wrong; shows nothing.
report::RenderedDocument BuildClearingReport(const ClearingResult& result, const QString& programFolder = {});

// Writes the report as one PDF with a bookmark per form, replacing path only when the whole file
// was written (as every PDF of the program). Throws Error.
void WriteClearingPdf(const ClearingResult& result, const QString& path, const QString& programFolder = {});

} // namespace tenvora

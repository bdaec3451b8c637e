// The whole bid set in one step: every form of the current contract, each laid out on its own
// (so each keeps its own page numbering), and one document with a contents page and all forms.
#pragma once

#include "reports/ReportRequest.h"

#include <memory>

namespace tenvora {

inline constexpr const char* kBidSetTitle = "投标报表";
inline constexpr const char* kContentsTemplate = "Report/tbbbml.xml";
inline constexpr const char* kReportDataSetMl = "ReportDataSet_ml"; // the rows of the contents page

struct BidSetForm {
    QString name;  // as the command line names it: "E", "summary", "B-100", "C", "labour", ...
    QString title; // the form's title, which files are named after
    report::RenderedDocument document;
};

struct BidSet {
    QString refusal; // "请先选择合同"; nothing was built then
    QList<BidSetForm> forms;
    report::RenderedDocument document; // the contents page, then every form in order
};

// Stores the insurance line once, computes the summary figures once, then builds E, the
// all-chapter summary, B of every chapter that has lines, C, D and the labour, material and
// machinery tables, in this order. Refusals of single forms (a chapter without lines) leave the
// form out without a message; store and template faults are shown once and abandon the set.
BidSet BuildBidSet(ReportContext& context);

struct WrittenPdf {
    QString name; // the form's name, "all" for the whole set
    QString title;
    QString path;
    int pages = 0;
};

// Writes every form into the folder as its own PDF named after its title, then the whole set as
// "投标报表.pdf", joined from the forms' files with a bookmark per form, so that no page is
// painted twice. Throws Error naming a file that cannot be written.
QList<WrittenPdf> WriteBidSetPdfs(const BidSet& set, const QString& folder);

// The reports the command line names besides B.
QStringList ReportNames();
// The request of that name (letter case ignored); null for a name not in ReportNames().
std::unique_ptr<ReportRequest> MakeReportRequest(ReportContext& context, const QString& name);

} // namespace tenvora

// The whole bid set in one step: every form of the current contract, each laid out on its own
// (so each keeps its own page numbering), and one document with a contents page and all forms.
#pragma once

#include "reports/ReportRequest.h"

#include <functional>
#include <memory>

namespace tenvora {

inline constexpr const char* kBidSetTitle = "投标报表";
inline constexpr const char* kContentsTemplate = "Report/tbbbml.xml";
inline constexpr const char* kReportDataSetMl = "ReportDataSet_ml"; // the rows of the contents page

struct BidSetForm {
    QString name;  // as the command line names it: "E", "summary", "B-100", "C", "labour", ...
    QString title; // the form's title, which files are named after
    int pages = 0;
    report::RenderedDocument document; // empty when the set handed the form on as it came
};

struct BidSet {
    QString refusal; // "请先选择合同"; nothing was built then
    QList<BidSetForm> forms;
    report::RenderedDocument contents; // the contents page
    report::RenderedDocument document; // the contents page, then every form in order
};

// Called with each form as soon as it is laid out.
using BidSetFormSink = std::function<void(const BidSetForm&)>;

// Stores the insurance line once, computes the summary figures once, then builds E, the
// all-chapter summary, B of every chapter that has lines, C, D and the labour, material and
// machinery tables, in this order. Refusals of single forms (a chapter without lines) leave the
// form out without a message; store and template faults are shown once and abandon the set.
// With a sink each form goes to it as it comes and the set keeps only the forms' names, titles
// and page counts (no whole document), so a long bill is never held in memory all at once.
BidSet BuildBidSet(ReportContext& context, const BidSetFormSink& sink = {});

struct WrittenPdf {
    QString name; // the form's name, "all" for the whole set
    QString title;
    QString path;
    int pages = 0;
};

struct PrintedBidSet {
    QString refusal;
    QList<WrittenPdf> files;
};

// "tenvora print-all": builds the set and writes every form into the folder (made when missing)
// as its own PDF named after its title as it is laid out, then the whole set as "投标报表.pdf",
// joined from those files with a bookmark per form, so that no page is painted twice. Throws
// Error naming a file that cannot be written.
PrintedBidSet PrintBidSet(ReportContext& context, const QString& folder);

// The reports the command line names besides B.
QStringList ReportNames();
// The request of that name (letter case ignored); null for a name not in ReportNames().
std::unique_ptr<ReportRequest> MakeReportRequest(ReportContext& context, const QString& name);

} // namespace tenvora

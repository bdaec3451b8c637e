// The whole bid set in one step: every form of the current contract, each laid out on its own
// (so each keeps its own page numbering), and one document with a contents page and all forms.
#pragma once

#include "reports/ReportRequest.h"

#include <QStringList>
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
    // Why a form of the set was left out (report E when its bid price is not the set's).
    QStringList notes;
    QList<BidSetForm> forms;
    report::RenderedDocument contents; // the contents page
    report::RenderedDocument document; // the contents page, then every form in order
};

// Called with each form as soon as it is laid out.
using BidSetFormSink = std::function<void(const BidSetForm&)>;

// Stores the insurance line once, reads the contract's figures once, then builds E, the
// bid-price form ("投标报价汇总表"), B of every chapter that has lines, C, D and the labour,
// material and machinery tables, in this order, every form from the same figures. The set
// carries one bid price: E goes in only when its bid price and BoQ total are those of the
// bid-price form (the contract has priced lines in no other chapter); otherwise it is left out
// and a note says why. Refusals of single forms (a chapter without lines) leave the form out
// without a message; store and template faults are thrown and end the set.
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
    QStringList notes; // as BidSet's
    QList<WrittenPdf> files;
};

// "tenvora print-all": builds the set and writes every form into the folder (made when missing)
// as its own PDF named after its title as it is laid out, then the whole set as "投标报表.pdf",
// joined from those files with a bookmark per form, so that no page is painted twice. Throws
// Error naming a file that cannot be written.
PrintedBidSet PrintBidSet(ReportContext& context, const QString& folder);

// Why the whole set leaves report E out, naming the chapters it does not carry; empty when E
// carries the set's bid price.
QString ReportEOmittedNote(const ContractFigures& figures);

// The reports the command line names besides B.
QStringList ReportNames();
// The request of that name (letter case ignored); null for a name not in ReportNames().
std::unique_ptr<ReportRequest> MakeReportRequest(ReportContext& context, const QString& name);

} // namespace tenvora

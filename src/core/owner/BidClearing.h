// Clearing the returned bid disks of one contract section against the tender file (清标): whose
// bid each disk is, what of the owner's bill it altered, its arithmetic, what it left unpriced,
// its unit prices beside the other bids', and the evaluation of the valid bids.
//
// Every disk is opened read-only (and every page of it checked); neither the tender file nor a
// disk is ever written. A disk that cannot be read is refused with the reason and the others are
// still cleared.
//
// Whose bid. An issued copy, and every backup and bid disk written from it, records its issue and
// the one unit it was made for (IssueRecord.h). A disk without that record, of an issue the tender
// file did not make, whose record does not agree with the tender file's record of that issue, or
// holding an account other than the unit it was made for (a copy made for another bidder) is set
// aside with the reason; so are all disks of a unit that handed in more than one, and a disk that
// prices nothing of the contract section. A disk set aside is listed with its findings but takes
// no part in the comparison of unit prices or the evaluation.
//
// Lines are matched by item number (the n-th line of an item number in the disk with the n-th in
// the tender file), day-work items by schedule and item code.
//
// Figures, all from ContractFigures:
//   declared   the bid price the disk's own bid-price form prints (its rows as stored, the
//              insurance line stored first as the form does);
//   corrected  the bid price of the owner's bill (the tender file's lines and day-work items, so
//              an altered quantity or provisional sum does not carry over) at the disk's unit
//              prices, every amount by the line amount rule (the unit price prevails), the
//              insurance premium worked out from those amounts.
// Lines the bidder added take no part in the corrected price; lines it removed count unpriced.
#pragma once

#include "owner/BidEvaluation.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace tenvora {

class Database;

enum class ClearedBidStatus {
    Evaluated,      // takes part in the evaluation
    Unreadable,     // damaged, not a data file, the same file twice, the tender file itself
    NotIssued,      // no issue record
    OtherTender,    // an issue the tender file did not make
    RecordMismatch, // the record does not agree with the tender file's
    OtherBidder,    // holds an account other than the unit it was made for
    Duplicate,      // one of several disks of one unit
    NotPriced,      // prices nothing of the contract section
};

// "参加评审", "无法读取" ...
QString ClearedBidStatusText(ClearedBidStatus status);
// Stable names for the command line's JSON ("evaluated", "unreadable" ...).
QString ClearedBidStatusName(ClearedBidStatus status);

enum class ClearingFindingKind { Altered, Arithmetic, Unpriced, Unbalanced };

inline constexpr ClearingFindingKind kClearingFindingKinds[] = {
    ClearingFindingKind::Altered, ClearingFindingKind::Arithmetic, ClearingFindingKind::Unpriced,
    ClearingFindingKind::Unbalanced};

// "清单改动", "算术性修正", "未报价", "不平衡报价".
QString ClearingFindingKindText(ClearingFindingKind kind);
// "altered", "arithmetic", "unpriced", "unbalanced".
QString ClearingFindingKindName(ClearingFindingKind kind);

struct ClearingFinding {
    ClearingFindingKind kind = ClearingFindingKind::Altered;
    QString what;     // the finding within its kind, a stable name ("quantity", "amount" ...)
    QString whatText; // the same in words ("合同数量")
    bool daywork = false;
    QString chapter; // 章; for day work the schedule code "1".."3"
    QString item;    // 细目编号 or ItemCode
    QString name;    // 细目名称 or ItemName (the tender file's where it has the line)
    QString detail;  // the figures in words
    // The figures, where the finding has them.
    std::optional<double> tender;    // what the tender file holds (a quantity, a provisional sum)
    std::optional<double> bid;       // what the disk holds (the stored amount or total too)
    std::optional<double> expected;  // what the arithmetic gives
    std::optional<double> quantity;  // the tender file's quantity (unpriced, unbalanced)
    std::optional<double> price;     // the disk's unit price (unbalanced)
    std::optional<double> median;    // of the line's unit prices (unbalanced)
    std::optional<double> deviation; // (price - median) / median (unbalanced)
    std::optional<double> atStake;   // (price - median) x quantity (unbalanced)
};

// Where a finding stands as the owner reads the bill: the chapter ("200"), or the day-work
// schedule ("计日工劳务单价表").
QString ClearingFindingPlace(const ClearingFinding& finding);

struct ClearedBid {
    QString file; // absolute
    ClearedBidStatus status = ClearedBidStatus::Evaluated;
    QString reason;   // why the disk takes no part in the evaluation; empty when it does
    QString unit;     // whose bid its record says; empty when unknown
    QString issueId;  // the issue its record names
    QString issuedAt; // as recorded
    std::optional<qint64> declared;
    std::optional<qint64> corrected;
    int rank = 0; // 0 outside the evaluation
    std::optional<double> deviation;
    std::optional<double> score;
    int pricedLines = 0;    // priceable lines of the tender's bill the disk prices
    int priceableLines = 0; // priceable lines of the tender's bill
    QList<ClearingFinding> altered;
    QList<ClearingFinding> arithmetic;
    QList<ClearingFinding> unpriced;
    QList<ClearingFinding> unbalanced;

    bool evaluated() const { return status == ClearedBidStatus::Evaluated; }
    const QList<ClearingFinding>& findings(ClearingFindingKind kind) const;
    // "赵公司" or, without a unit, the file's name.
    QString label() const;
};

// A priceable line of the tender's bill (main bill, not price-locked) in the comparison.
struct PriceComparisonLine {
    QString chapter;
    QString item;
    QString name;
    QString unit;
    double quantity = 0;
    std::optional<double> min; // of the evaluated bids' unit prices; none when no bid prices it
    std::optional<double> median;
    std::optional<double> max;
};

struct ClearingResult {
    QString tenderFile;
    QString contractId;
    QString contractName;
    QString heading; // "A1合同段：K0+000~K5+000", as every report heads its pages
    EvaluationParameters parameters;
    QList<ClearedBid> bids; // in the order given
    QStringList notes;      // about the tender file itself (its bill changed after the issue)

    std::optional<double> benchmark;
    double mean = 0;       // the mean the benchmark is taken from
    int benchmarkBids = 0; // bids in that mean
    bool extremesDropped = false;
    QString evaluationRefusal; // why there is no benchmark

    // The comparison of unit prices: a row per priceable line, a column per evaluated bid (its
    // index in bids); a unit price of NaN where the bid does not price the line (empty or 0).
    std::vector<PriceComparisonLine> lines;
    QList<int> columns;
    std::vector<std::vector<double>> prices; // by column, then by line

    int evaluatedCount() const;
    // How the benchmark was found ("3 家参加评审的投标修正报价的平均值 1234567.00 × (1 − K)，K = 0"),
    // or why there is none.
    QString benchmarkText() const;
    // The bids' indexes as a ranking lists them: the evaluated by rank (then as given), then the
    // others as given.
    QList<int> rankingOrder() const;
    std::optional<double> price(int column, size_t line) const;
    // (price - median) / median of that bid's price on the line, where both are known.
    std::optional<double> deviation(int column, size_t line) const;
};

class BidClearing {
public:
    // tender: the tender file (opened read-only is enough: nothing is written).
    explicit BidClearing(Database& tender) : m_tender(tender) {}

    // The tender file's contract sections (jd_hetong IDs, natural order).
    QStringList contracts();

    // Clears the disks against the contract section. Throws Refused for unusable parameters, an
    // unknown contract or a tender file that issued nothing; a disk that cannot be read is
    // refused in its entry and the others are cleared. progress(done, total) follows the disks.
    ClearingResult run(const QStringList& files, const QString& contract, const EvaluationParameters& parameters,
                       const std::function<void(int, int)>& progress = {});

private:
    Database& m_tender;
};

} // namespace tenvora

// The bid check of the current contract: what a careful bidder looks for by hand before the bid
// disk leaves. It reads only; no finding changes data. Its rules:
//
//  1. Unpriced: a main-bill line the bidder may price (not price-locked by the editor's rules)
//     whose unit price is empty, or 0.
//  2. Amount: a main-bill line the editor computes (priceable, with a price and a quantity)
//     whose stored amount differs from LineAmount(price, quantity); and a priceable line without
//     a price that still carries an amount other than 0: it would count without a price.
//  3. Stale chapter total: a chapter line whose stored amount differs from what
//     "章合计 和 保险费 计算" would store now; and the insurance line "101-1-a" when its price or
//     amount differs from the premium of now (ContractFigures).
//  4. Day work: an item with a quantity (not empty, not 0) and no unit price; a stored total
//     that stands without a price or differs from RoundAmount(price x quantity); a row of no
//     schedule, whose total counts nowhere.
//  5. Negative: a BoQ line or day-work item with a negative unit price or quantity.
//  6. Decimals: a unit price with more than two decimals: it prints rounded to two but the
//     amount is computed from the unrounded price; both prices and both amounts are shown.
//  7. Lines that print but do not count, or count but do not print: a line with a bz remark and
//     an amount (report B lists it but leaves it out of the chapter total), and a line without a
//     chapter (it counts in the insurance base but no form prints it).
//  8. Duplicate item numbers within the contract (the insurance would be written into each).
//  9. Report E leaves out chapters that hold amounts, so its bid price differs from the
//     bid-price form's ("E 不含第 N 章"); the whole set then leaves E out. This is a notice:
//     listed with the findings, but nothing the bidder could mend, so it leaves the bid clean
//     (the bid disk does not ask, the command exits 0).
// Rules 1, 2, 5 and 6 look at the main bill (是否补充 = 0), which the editor lists; the others
// at every line of the contract.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace tenvora {

class ContractFigures;
class DataModule;

enum class BidFindingKind {
    Unpriced,
    Amount,
    StaleTotal,
    DayworkUnpriced,
    DayworkTotal,
    DayworkUnscheduled,
    Negative,
    Decimals,
    NotCounted,
    Duplicate,
    ReportE,
};

struct BidFinding {
    BidFindingKind kind = BidFindingKind::Unpriced;
    QString chapter;      // BoQ chapter; the schedule code ("1".."3") for day work
    QString item;         // 细目编号 or ItemCode
    QString name;         // 细目名称 or ItemName
    QVariant rowId;       // the row in jd_htqd or Jl_ContractList, to show it
    QString figures;      // the figures involved, in words ("已存 12000，应为 12345")
    bool daywork = false; // a day-work item (chapter holds its schedule code)
};

struct BidCheckResult {
    QList<BidFinding> findings;
    // Chapters whose chapter line (or the insurance line in them) is stale: what "全部重算" redoes.
    QStringList staleChapters;
    bool insuranceStale = false;
    // No finding other than notices.
    bool clean() const;
    int count(BidFindingKind kind) const;
    // "未报价 3 条，金额不符 1 条" in the order of the kinds, notices left out; empty when clean.
    QString summary() const;
    // The same for the notices only.
    QString noticeSummary() const;
};

// Findings of this kind tell the bidder something without making the bid unclean.
bool IsNoticeKind(BidFindingKind kind);
// The kind's caption as the window and the command line show it ("未报价").
QString BidFindingKindText(BidFindingKind kind);
// Stable names for the command line's JSON ("unpriced").
QString BidFindingKindName(BidFindingKind kind);

// Where a finding stands as the user knows it: the chapter, or the day-work page ("劳务单价表").
QString BidFindingPlace(const BidFinding& finding);
// The question "生成投标盘" asks when the check found something: the counts, then whether to
// write the bid disk anyway.
QString BidCheckQuestion(const BidCheckResult& result);

class BidCheck {
public:
    explicit BidCheck(DataModule& dm) : m_dm(dm) {}

    // Checks the current contract; store errors are thrown (RunSql).
    BidCheckResult run();
    // Recomputes every stale chapter (insurance and chapter total) as one change, then checks
    // again. Returns the new result.
    BidCheckResult recomputeStale(const BidCheckResult& result);

private:
    void checkLines(BidCheckResult& result);
    void checkTotals(BidCheckResult& result, const ContractFigures& figures);
    void checkDaywork(BidCheckResult& result, const ContractFigures& figures);
    void checkReportE(BidCheckResult& result, const ContractFigures& figures);

    DataModule& m_dm;
};

} // namespace tenvora

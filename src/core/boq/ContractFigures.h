// Every figure of a contract's bid, each rule stated once. The figures are worked out from the
// contract's lines and day-work rows as read (ContractFigures::read); statements only read and
// write rows, so a figure cannot come out differently depending on which path computed it.
//
// Line amount. Saving a line with both a unit price and a quantity stores
//   合同金额 = RoundAmount(合同单价 x 合同数量), the product in double precision (LineAmount).
//
// Special lines (exact, case-sensitive comparisons):
//   chapter line      item number equal to the line's 章 ("100" in chapter 100, "1000" in 1000)
//   insurance line    "101-1-a";  liability line "101-1-b";  provisional sum: unit "暂定金总额"
//
// Insurance. Base: the whole-yuan sum of every line of the contract (all chapters, main bill and
// supplementary lines, lines without a chapter too) whose item number is longer than 3
// characters, except the two insurance lines and the chapter lines. Premium: RoundAmount(base x
// 0.003), the product in extended precision. The recomputation stores it in both 合同单价 and
// 合同金额 of the insurance line, and so does every print of report B and of the whole set.
// Writing the premium or a chapter total changes no base, so recomputing twice changes nothing.
//
// Two chapter totals of chapter C, on purpose not the same:
//   stored  ("章合计 和 保险费 计算", into the chapter line): C's lines other than the chapter line
//           whose item number is longer than 3 characters, any bz, the insurance lines at the
//           premium of now;
//   printed (report B): C's lines other than the chapter line whose bz is empty, any item
//           number length, at their stored amounts.
// So a line with a bz remark counts in the stored total but not in the printed one (the bid
// check names it), and a heading with a short item number counts in the printed total only.
// The contract BoQ total "as it would be recomputed now" is the sum of the stored totals.
//
// Day work. A schedule's total is the sum of its rows' TotalMoney; the day-work total is the
// sum of the three schedule totals each rounded to whole yuan. Rows of no schedule (bz not 1, 2
// or 3) count nowhere (the bid check names them).
//
// The bid price ("投标报价汇总表", the bid-price form of the whole set): every chapter 100 to 700
// and every other chapter the contract has, in natural order, each at its printed total; their
// sum is the BoQ total; the provisional sums it contains are those of the lines counted in it;
// the tenth is RoundAmount((BoQ total - provisional sums) x 0.1); the bid price is the BoQ total
// plus the day-work total plus the tenth.
//
// Report E keeps its own figures (chapters 100, 300 and 600 only, see BoqSummaryFigures) with
// the one day-work total; it agrees with the bid price only when the contract has priced lines
// in no other chapter.
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace tenvora {

class Statement;
class DataModule;

inline constexpr double kInsuranceRate = 0.003;
inline constexpr const char* kInsuranceItem = "101-1-a";
inline constexpr const char* kLiabilityItem = "101-1-b";

// RoundAmount(price x quantity) when both are numbers; nothing otherwise.
std::optional<qint64> LineAmount(const QVariant& price, const QVariant& quantity);
// The same on figures read already.
std::optional<qint64> LineAmountOf(std::optional<double> price, std::optional<double> quantity);

// One BoQ line as the figures read it.
struct FigureLine {
    qint64 rowId = 0;
    QString chapter; // 章
    QString item;    // 细目编号
    QString unit;
    QString name;               // 细目名称, kept for chapter lines only (the name of a chapter without a fixed one)
    bool remark = false;        // bz holds something: listed in report B, not totalled there
    bool supplementary = false; // 是否补充 is not 0
    std::optional<double> quantity;
    std::optional<double> price;
    std::optional<double> amount;
};

// One day-work row.
struct DayworkFigureLine {
    qint64 rowId = 0;
    int schedule = 0; // 1 labour, 2 material, 3 machinery; 0 for a bz of no schedule
    QString bz;       // as stored
    QString code;     // ItemCode
    QString name;     // ItemName
    std::optional<double> quantity;
    std::optional<double> price;
    std::optional<double> total;
};

struct DayworkTotals {
    std::array<double, 3> raw{};   // each schedule's sum as stored (the labour and machinery tables print it)
    std::array<qint64, 3> whole{}; // each rounded to whole yuan (material table, D)
    qint64 total = 0;              // the day-work total: the sum of the three whole figures
    int unscheduled = 0;           // rows of no schedule, counted nowhere
};

// Report E, each figure as the text it is printed and passed on with. Every figure that is used
// again is read back from its text, so an unrounded figure carries at most 15 significant digits
// into the next step, and the additions run in extended precision:
//   t100, a100  chapter 100 (lines with item numbers longer than 3 characters), whole / raw
//   t300, a300  chapter 300 without its chapter line, whole / raw
//   t600, a600  chapter 600 without its chapter line, both whole
//   totalR      RoundAmount(a100 + a300 + a600)        total  the same sum unrounded
//   ps          the provisional sums of every chapter, raw
//   net         total - ps, unrounded
//   tenthR      RoundAmount(net x 0.1)                 tenth  net x 0.1 unrounded
//   dw          the day-work total
//   grand       RoundAmount(dw + totalR + tenthR)
struct BoqSummaryFigures {
    QString t100 = QStringLiteral("0"), a100 = QStringLiteral("0");
    QString t300 = QStringLiteral("0"), a300 = QStringLiteral("0");
    QString t600 = QStringLiteral("0"), a600 = QStringLiteral("0");
    QString totalR = QStringLiteral("0"), total = QStringLiteral("0");
    QString ps = QStringLiteral("0"), net = QStringLiteral("0");
    QString tenthR = QStringLiteral("0"), tenth = QStringLiteral("0");
    QString dw = QStringLiteral("0"), grand = QStringLiteral("0");

    // Every figure by its name above, in the order of computing.
    QList<QPair<QString, QString>> named() const;
    qint64 bidPrice() const { return grand.toLongLong(); }
    qint64 boqTotal() const { return totalR.toLongLong(); }
};

// One chapter row of the bid-price form: the total report B prints for that chapter.
struct ChapterTotal {
    QString code;
    QString name;
    qint64 total = 0;
};

// The bid-price form ("投标报价汇总表"), all whole yuan.
struct AllChapterFigures {
    QList<ChapterTotal> chapters; // 100 to 700 whether they have lines or not, then any other
    qint64 boqTotal = 0;          // the sum of the chapter rows
    qint64 provisionalSums = 0;   // the provisional sums the BoQ total contains
    qint64 net = 0;               // boqTotal - provisionalSums
    qint64 daywork = 0;
    qint64 tenth = 0;    // RoundAmount(net x 0.1)
    qint64 bidPrice = 0; // boqTotal + daywork + tenth

    // "第100章至700章清单合计", with the first and last chapter the form lists.
    QString boqTotalLabel() const;
};

// The terms of the stored chapter totals, for working out the BoQ total of changes not made
// yet (调价): what a chapter counts besides its insurance lines, and how many insurance lines.
struct StoredTotalTerms {
    QString chapter;
    double others = 0;
    int insuranceLines = 0;
};

class ContractFigures {
public:
    enum class Parts { Boq = 1, Daywork = 2, All = 3 };

    // Each BoQ line as read, beside the statement's row, whose first kPricedColumns columns are
    // PricedLineColumns() (rowid, 章, 节, 细目编号, 单位, 合同数量, 合同单价, 合同金额), for a
    // caller that keeps some rows as they are.
    using LineVisitor = std::function<void(const Statement&, const FigureLine&)>;
    static constexpr int kPricedColumns = 8;

    ContractFigures() = default;
    ContractFigures(std::vector<FigureLine> lines, std::vector<DayworkFigureLine> daywork);
    // The contract's lines in store order (rowid) and, unless only the BoQ is asked for, its
    // day-work rows, read through RunSelect (a store fault is thrown).
    static ContractFigures read(DataModule& dm, const QString& contract, Parts parts = Parts::All,
                                const LineVisitor& visit = {});

    // The rules of a line.
    static bool isChapterLine(const QString& chapter, const QString& item);
    static bool isInsuranceLine(const QString& item);
    static bool isProvisionalSum(const QString& unit);
    static bool countsInBase(const QString& chapter, const QString& item);
    // In its chapter's stored total at its own amount (the insurance line counts at the premium).
    static bool countsInStoredTotal(const QString& chapter, const QString& item);
    static bool countsInPrintedTotal(const QString& chapter, const QString& item, bool remark);
    // RoundAmount(base x 0.003), the product in extended precision.
    static qint64 insuranceAmount(qint64 base);
    // The premium of a base sum not yet rounded.
    static qint64 premiumOf(double baseSum);
    // A stored chapter total from its terms and the premium.
    static qint64 storedChapterTotal(double others, int insuranceLines, qint64 premium);

    const std::vector<FigureLine>& lines() const { return m_lines; }
    const std::vector<DayworkFigureLine>& dayworkLines() const { return m_daywork; }
    bool empty() const { return m_lines.empty(); }

    qint64 insuranceBase() const;
    double insuranceBaseSum() const;
    qint64 insurance() const;
    // The chapter codes of the lines (each once, natural order; empty codes left out).
    QStringList chapters() const;
    qint64 storedChapterTotal(const QString& chapter) const;
    qint64 printedChapterTotal(const QString& chapter) const;
    // The sum of the stored chapter totals.
    qint64 boqTotalAsRecomputed() const;
    std::vector<StoredTotalTerms> storedTotalTerms() const;
    // Every provisional sum of the contract as stored (report C's total), unrounded.
    double provisionalSumsListed() const;

    DayworkTotals dayworkTotals() const;
    BoqSummaryFigures reportE() const;
    AllChapterFigures bidPriceForm() const;
    // Whether report E carries the bid price of the bid-price form; otherwise the chapters it
    // leaves out that hold an amount.
    bool reportEAgrees() const;
    QStringList chaptersOutsideReportE() const;

    // What the recomputation writes, on these figures too: the insurance lines take the
    // premium (price and amount), a chapter line its stored total.
    void storeInsurance();
    void storeChapterTotal(const QString& chapter);
    // A line's figures as they are now stored (a saved price, a paste, an undo).
    void setLine(qint64 rowId, const QVariant& price, const QVariant& amount);

private:
    struct Chapter {
        QString code;
        double storedOthers = 0;
        int insuranceLines = 0;
        double printed = 0;
    };
    struct Sums {
        std::vector<Chapter> chapters; // natural order
        double base = 0;
        double provisionalListed = 0;
        double provisionalCounted = 0;
    };
    const Sums& sums() const;
    const Chapter* chapter(const QString& code) const;
    void changed() { m_sumsValid = false; }

    std::vector<FigureLine> m_lines;
    std::vector<DayworkFigureLine> m_daywork;
    mutable Sums m_sums;
    mutable bool m_sumsValid = false;
};

} // namespace tenvora

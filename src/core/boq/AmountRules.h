// The amount rules of the bill of quantities, each stated once:
//
// Line amount. Saving a line with both a unit price and a quantity stores
//   合同金额 = RoundAmount(合同单价 x 合同数量), the product in double precision.
// A price cleared by the bidder clears the amount; a missing quantity leaves it as it is. Day-work
// items follow the same rule (TotalMoney from UnitPrice x Amount).
//
// Insurance line "101-1-a". Base: the whole-yuan sum of every line of the contract (all chapters,
// main bill and supplementary lines) whose item number is longer than 3 characters, except
// "101-1-a" and "101-1-b". Amount: RoundAmount(base x 0.003), the product in extended precision.
// It is stored in both 合同单价 and 合同金额 of the line; "章合计 和 保险费 计算" stores it, and
// so does every request of report B.
//
// Two chapter totals, on purpose not the same:
//   stored chapter total ("章合计 和 保险费 计算", into the chapter line whose item number is the
//   chapter code): the chapter's lines whose item number is longer than 3 characters, any bz;
//   printed chapter total (report B's memo2): the chapter's lines other than the chapter line
//   itself whose bz is null (an empty bz counts as null), any item number length.
// So a line with a bz remark counts in the stored total but not in the printed one, and a
// heading with a two- or three-character item number other than the chapter code counts in the
// printed total but not in the stored one.
//
// Contract BoQ total, "as it would be recomputed now": the sum, over the contract's chapters
// (every non-empty 章), of the stored chapter total "章合计 和 保险费 计算" would store for that
// chapter if it ran now. So it counts each chapter's lines (main bill and supplementary, any bz)
// whose item number is longer than 3 characters and is not the chapter code, every insurance
// line "101-1-a" at the premium that would be stored now (from the insurance base as it stands)
// rather than at its stored amount, and each chapter rounded to whole yuan. Lines without a
// chapter count in no chapter total (they still count in the insurance base).
#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <vector>

namespace tenvora {

class TDmMain;

inline constexpr double kInsuranceRate = 0.003;
inline constexpr const char* kInsuranceItem = "101-1-a";
inline constexpr const char* kLiabilityItem = "101-1-b";

// RoundAmount(price x quantity) when both are numbers; nothing otherwise.
std::optional<qint64> LineAmount(const QVariant& price, const QVariant& quantity);

struct ChapterRecompute {
    qint64 insurance = 0;
    qint64 chapterTotal = 0;
};

// The two figures of one stored line, by its row identity.
struct StoredLineFigures {
    qint64 rowId = 0;
    QString chapter;
    QString item;
    QVariant price;
    QVariant amount;
};

// The live chapter totals, the premium and the contract BoQ total of one contract (see above),
// read in one pass and then kept up to date line by line as amounts change, so that pricing a
// line does not read the contract again.
class BoqLiveTotals {
public:
    // One pass over the contract's lines (addLine for each).
    void load(TDmMain& dm, const QString& contract);
    void clear();
    // One line of the contract as stored: its chapter, item number and amount.
    void addLine(const QString& chapter, const QString& item, const QVariant& amount);
    // A line's stored amount went from before to after (chapter and item as stored).
    void lineChanged(const QString& chapter, const QString& item, const QVariant& before, const QVariant& after);

    qint64 insurance() const;
    qint64 chapterTotal(const QString& chapter) const;
    qint64 contractTotal() const;
    // The chapter codes that have counted lines (exact codes, as 章 is stored).
    QStringList chapters() const { return m_chapters.keys(); }

    // The sums behind the totals, for working out totals of changes not made yet: the counted
    // lines of a chapter other than the insurance line, its insurance lines, the insurance base.
    double chapterOthers(const QString& chapter) const { return m_chapters.value(chapter).others.value(); }
    int insuranceLines(const QString& chapter) const { return m_chapters.value(chapter).insuranceLines; }
    double base() const { return m_base.value(); }

    // Which totals a line's amount counts in.
    static bool countsInChapter(const QString& chapter, const QString& item);
    static bool countsInBase(const QString& item);

private:
    // A sum read from the store plus the whole-yuan changes since, kept apart so that changes
    // add exactly whatever the order.
    struct Sum {
        double stored = 0;
        qint64 whole = 0;
        double fraction = 0; // changes by amounts that are not whole numbers (owner-delivered)
        double value() const { return stored + static_cast<double>(whole) + fraction; }
        void add(double amount);
    };
    struct Chapter {
        Sum others; // counted lines other than the insurance line
        int insuranceLines = 0;
    };
    QHash<QString, Chapter> m_chapters;
    Sum m_base;
};

class BoqTotals {
public:
    explicit BoqTotals(TDmMain& dm) : m_dm(dm) {}

    // Whole-yuan base of the insurance (the chapter line C is excluded by name as well).
    qint64 insuranceBase(const QString& contract, const QString& chapter = QString());
    // RoundAmount(base x 0.003), the product taken in extended precision.
    static qint64 insuranceAmount(qint64 base);
    // Stores the insurance amount into line 101-1-a (price and amount); returns it.
    qint64 storeInsurance(const QString& contract, const QString& chapter = QString());
    // The stored chapter total, as the recomputation would store it now.
    qint64 chapterTotal(const QString& contract, const QString& chapter);
    // The printed chapter total of report B; its statement, with contract, chapter, chapter bound.
    qint64 printedChapterTotal(const QString& contract, const QString& chapter);
    static QString printedChapterTotalSql();
    // What the recomputation would store into the chapter line now: the stored chapter total
    // with the insurance lines of the chapter at the insurance amount of now.
    qint64 chapterTotalAfterRecompute(const QString& contract, const QString& chapter);
    // Insurance first, then the chapter total into the chapter line, as one change.
    ChapterRecompute recompute(const QString& contract, const QString& chapter);
    // The chapter codes of the contract's lines (each once, natural order, empty codes left out).
    QStringList chapters(const QString& contract);
    // recompute for every chapter of the contract, as one change; the totals by chapter.
    QList<QPair<QString, ChapterRecompute>> recomputeAll(const QString& contract);
    // recompute for each of these chapters in turn, as one change, reading the contract's lines
    // once in all rather than twice per chapter (codes of more than 3 characters, which the
    // insurance base excludes by name, go one by one); the results by chapter.
    QList<QPair<QString, ChapterRecompute>> recomputeChapters(const QString& contract, const QStringList& chapters);
    // The lines whose figures recomputing these chapters writes: every insurance line and every
    // line whose item number is one of the chapter codes.
    std::vector<StoredLineFigures> recomputedLines(const QString& contract, const QStringList& chapters);
    // Contract BoQ total as it would be recomputed now (see above).
    qint64 contractTotal(const QString& contract);

    // Put back figures the recomputation (or the amount rule) stored, by row identity, the way
    // they were written: the amount of a line; price and amount of an insurance line.
    void restoreAmount(qint64 rowId, const QVariant& amount);
    void restoreInsuranceLine(qint64 rowId, const QVariant& price, const QVariant& amount);

private:
    // The insurance amount into line 101-1-a, price and amount.
    void writeInsurance(const QString& contract, qint64 amount);

    TDmMain& m_dm;
};

} // namespace tenvora

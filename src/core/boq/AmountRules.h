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
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

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

private:
    TDmMain& m_dm;
};

} // namespace tenvora

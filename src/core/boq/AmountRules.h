// The insurance line and the chapter total of a contract's bill of quantities.
#pragma once

#include <QString>

namespace tenvora {

class TDmMain;

inline constexpr double kInsuranceRate = 0.003;
inline constexpr const char* kInsuranceItem = "101-1-a";
inline constexpr const char* kLiabilityItem = "101-1-b";

struct ChapterRecompute {
    qint64 insurance = 0;
    qint64 chapterTotal = 0;
};

class BoqTotals {
public:
    explicit BoqTotals(TDmMain& dm) : m_dm(dm) {}

    // Whole-yuan base of the insurance: every line of the contract with an item number longer
    // than 3 characters except the chapter C itself and the two insurance lines.
    qint64 insuranceBase(const QString& contract, const QString& chapter);
    // RoundAmount(base x 0.003), the product taken in extended precision.
    static qint64 insuranceAmount(qint64 base);
    // Stores the insurance amount into line 101-1-a (price and amount); returns it.
    qint64 storeInsurance(const QString& contract, const QString& chapter);
    // Sum of the chapter's lines with item numbers longer than 3 characters, whole yuan.
    qint64 chapterTotal(const QString& contract, const QString& chapter);
    // Insurance first, then the chapter total into the chapter line, as one change.
    ChapterRecompute recompute(const QString& contract, const QString& chapter);

private:
    TDmMain& m_dm;
};

} // namespace tenvora

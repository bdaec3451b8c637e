// The analysed unit price of every line of a contract that has a build-up.
#include "pricing/AnalysedPriceMarks.h"

#include "data/DataModule.h"
#include "data/Money.h"
#include "pricing/BuildUpSheet.h"
#include "pricing/PricingSchema.h"
#include "pricing/UnitPriceAnalysis.h"

namespace tenvora {

namespace {

AnalysedMark markOf(const LineAnalysis& a) {
    AnalysedMark mark;
    if (a.priced())
        mark.price = a.unitPrice();
    else
        mark.problem = a.problem;
    return mark;
}

} // namespace

void AnalysedPriceMarks::read(DataModule& dm, const QString& contract) {
    m_marks.clear();
    if (contract.isEmpty() || !PricingSchema::exists(dm.database()))
        return;
    const UnitPriceAnalysis analysis(dm, contract);
    for (const QString& item : analysis.items())
        m_marks.insert(item, markOf(analysis.analyse(item, false)));
}

void AnalysedPriceMarks::update(const QString& item, const LineAnalysis& analysis, bool hasBuildUp) {
    if (hasBuildUp)
        m_marks.insert(item, markOf(analysis));
    else
        m_marks.remove(item);
}

const AnalysedMark* AnalysedPriceMarks::of(const QString& item) const {
    const auto found = m_marks.constFind(item);
    return found == m_marks.constEnd() ? nullptr : &*found;
}

QString AnalysedPriceMarks::note(const QString& item, const QVariant& typed) const {
    const AnalysedMark* mark = of(item);
    if (!mark)
        return QString();
    if (!mark->price)
        return mark->problem;
    if (!DiffersFromAnalysed(typed, *mark->price))
        return QString();
    return QStringLiteral("合同单价与分析单价 %1 不同").arg(FormatNumber(*mark->price, QStringLiteral("0.00")));
}

} // namespace tenvora

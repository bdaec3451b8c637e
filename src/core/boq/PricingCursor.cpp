#include "boq/PricingCursor.h"

#include "boq/BoqLineRules.h"
#include "data/DataSet.h"
#include "data/Money.h"

namespace tenvora {

int NextPriceableRow(const DataSet& lines, int row) {
    for (int r = row + 1; r < lines.rowCount(); ++r)
        if (!IsPriceLocked(lines, r))
            return r;
    return -1;
}

int NextUnpricedRow(const DataSet& lines, int row) {
    const int count = lines.rowCount();
    if (count == 0)
        return -1;
    const int price = lines.columnIndex(BoqColumn::Price);
    const int start = row < 0 || row >= count ? count - 1 : row;
    for (int step = 1; step <= count; ++step) {
        const int r = (start + step) % count;
        // As the bid check counts it: no price, or a price of 0.
        const bool unpriced = NumberOf(lines.value(r, price)).value_or(0.0) == 0.0;
        if (unpriced && !IsPriceLocked(lines, r))
            return r;
    }
    return -1;
}

} // namespace tenvora

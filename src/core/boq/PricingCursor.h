// Where the cursor goes next while the bidder prices down a bill: the window's Enter and "next
// unpriced line", and the tests, use these, so the rule lives in one place.
#pragma once

namespace tenvora {

class DataSet;

// The first line after row that the bidder may price (not price-locked); -1 when none follows.
int NextPriceableRow(const DataSet& lines, int row);

// The first line after row, going round to the top, that may be priced and has no price yet
// (empty or 0, as the bid check counts unpriced lines); row itself comes last, so a lone
// unpriced line is found again. -1 when every priceable line holds a price.
int NextUnpricedRow(const DataSet& lines, int row);

} // namespace tenvora

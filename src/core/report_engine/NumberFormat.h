// Display formats of numbers in report cells.
#pragma once

#include <QString>

namespace tenvora::report {

// Patterns: "0" whole numbers, "0.00" fixed decimals, "0.###" up to three decimals without
// trailing zeros, "#,##0.00" with thousands grouping. The empty pattern means general text.
bool IsValidNumberFormat(const QString& pattern);

// Rounds half away from zero on the value's 15 significant decimal digits, so a stored 2.675
// prints as 2.68 although its binary double lies just below. Throws Error for a bad pattern.
QString FormatNumber(double value, const QString& pattern);

} // namespace tenvora::report

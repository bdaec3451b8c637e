// Whole-yuan rounding and every number text the program shows or prints: amounts, prices,
// totals and the display formats of grids and report cells. Nothing else formats a figure, and
// nothing here follows the process locale, so "." is always the point and nothing is grouped
// unless a pattern asks for it.
#pragma once

#include <QString>
#include <QVariant>
#include <optional>

namespace tenvora {

// Truncates toward zero and adds 1 when the remaining fraction is at least 0.5, so a negative
// value is only truncated (-2.5 gives -2). Throws Error for NaN, infinities and values that
// do not fit a 64-bit whole number, instead of producing an arbitrary figure.
qint64 RoundAmount(double value);

// Decimal digits with a leading "-" when negative; no grouping, no point.
QString WholeYuanText(qint64 amount);
// RoundAmount then WholeYuanText.
QString WholeYuanText(double value);

// Shortest decimal form with at most 15 significant digits; exponent form from 1E15 up and
// below 0.00001 ("1E15", "1.5E-6"); no trailing zeros or point.
QString GeneralText(double value);

// Display patterns: an integer part "0" (or more zeros: digits always shown), "#" (no digit for
// zero), "#,##0" or "#,###" (thousands grouped), then optionally '.' with required '0's and
// optional '#'s: "0", "#,##0", "0.00", "#,##0.00", "0.0#", "#.##". Empty means the default text.
bool IsValidNumberFormat(const QString& pattern);

// A number in a pattern. Patterns with decimals round half away from zero on the value's 15
// significant digits, so a stored 2.675 shows as 2.68 although its binary double lies just
// below. Patterns without decimals print a whole-yuan amount: RoundAmount, so a printed amount
// never differs from the stored one (-2.5 prints "-2"). The empty pattern gives GeneralText.
// Throws Error for a bad pattern.
QString FormatNumber(double value, const QString& pattern);

// A stored value as shown in a grid or a report cell: null is empty; numbers and number texts
// go through FormatNumber when a pattern is given; without a pattern whole numbers show their
// digits and other numbers their general text; other texts are shown as they are.
QString DisplayText(const QVariant& value, const QString& pattern);

// The value rounded to that many decimals as FormatNumber rounds it, read back as a number.
double RoundToDecimals(double value, int decimals);

// Reads a typed or stored text as a number: optional sign, digits, one point, optional
// exponent, surrounding blanks allowed. Anything else (and non-finite results) gives nothing.
std::optional<double> ParseNumber(const QString& text);

// A stored value as a number: numbers pass, texts are read with ParseNumber, null and
// unreadable values give nothing.
std::optional<double> NumberOf(const QVariant& value);

} // namespace tenvora

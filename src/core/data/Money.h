// Whole-yuan rounding and the number texts printed in amounts and totals.
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

// Reads a typed or stored text as a number: optional sign, digits, one point, optional
// exponent, surrounding blanks allowed. Anything else (and non-finite results) gives nothing.
std::optional<double> ParseNumber(const QString& text);

// A stored value as a number: numbers pass, texts are read with ParseNumber, null and
// unreadable values give nothing.
std::optional<double> NumberOf(const QVariant& value);

} // namespace tenvora

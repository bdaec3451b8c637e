// Figures as a bidder types them: a Chinese input method in full-width mode gives "１２３．５",
// and large amounts are often typed with thousands separators ("1,234,567.50"). Everything typed
// into a figure goes through here before it reaches a save hook, in the grid and in the command.
#pragma once

#include <QString>
#include <optional>

namespace tenvora {

// The plain form of a typed figure: full-width digits, point, signs, letters and blanks become
// their ASCII forms ("。" and "−" count as point and minus), and thousands separators ("," or
// "，") are removed. Nothing when the separators do not group the whole part in threes ("1,5",
// "12,34", "1.234,5", "0.123,4"), so a decimal comma is never taken for grouping.
std::optional<QString> NormaliseNumberInput(const QString& text);

// NormaliseNumberInput, then ParseNumber.
std::optional<double> ParseNumberInput(const QString& text);

// Why the text is not a figure, in words for the one who typed it: the first character that has
// no place in a figure ("“万”不能写在数字里", so "1.5万" is never read as 1.5), separators that do
// not group in threes, or a figure left unfinished. Empty when ParseNumberInput reads the text.
QString NumberInputProblem(const QString& text);

// Whether the text can still become a figure as typing goes on: "", "-", "1.", "1e", "1,23",
// "１２．". Letters other than an exponent and a second point are not.
bool IsPartialNumberInput(const QString& text);

} // namespace tenvora

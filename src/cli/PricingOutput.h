// What the pricing commands print of an analysed price put into the bill, and the arguments
// they share.
#pragma once

#include "Cli.h"

#include "pricing/AnalysedPriceApply.h"

#include <QJsonArray>

namespace tenvora::cli {

// The current contract's data module, logged in.
std::unique_ptr<DataModule> OpenCurrentContract(Context& ctx, Access access);
// A figure argument: a number as the grid takes it; anything else is a usage error.
double NumberArgument(const QString& what, const QString& text);

QJsonArray AnalysedLinesJson(const std::vector<AnalysedLine>& lines);
// The lines as a table: item, old and new price and amount, and what happens to the line.
void PrintAnalysedLines(const std::vector<AnalysedLine>& lines);
// After a change of the cost data: how many lines it touches, and the re-pricing when asked for.
// JSON keys: items, repriced, lines (as AnalysedLinesJson), changed.
void PrintRepriceOutcome(const Context& ctx, const RepriceOutcome& outcome, QJsonObject json);

} // namespace tenvora::cli

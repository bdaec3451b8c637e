// The benchmarks' large data file: 20 contracts x 5,000 BoQ lines (100,000 lines), the demo
// accounts, and contract C07 current, so the workbench and the command can log in and work on it.
#pragma once

#include <QString>

namespace tenvora::bench {

inline constexpr int kContracts = 20;
inline constexpr int kLinesPerContract = 5000;
inline constexpr const char* kContract = "C07";
inline constexpr const char* kUnit = "华建路桥工程有限公司";
inline constexpr const char* kPassword = "hj2026";

// Writes a new data file at path (which must not exist) and opens it once, so the program's
// indexes are there before anything is timed.
void CreateLargeDataFile(const QString& path, int contracts = kContracts, int linesPerContract = kLinesPerContract);

// The item number of a priceable line of chapter 300 in every contract of that file.
QString PriceableItem();

} // namespace tenvora::bench

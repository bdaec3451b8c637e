// The bidder's cost tables beside the owner's: the resource library (工料机), the build-up rows of
// the BoQ lines and the fees, per contract. The one place their definitions live.
#pragma once

#include <QStringList>

namespace tenvora {

class Database;

namespace PricingSchema {

inline constexpr const char* kResources = "pricing_resource";
inline constexpr const char* kBuildUps = "pricing_buildup";
inline constexpr const char* kFees = "pricing_fee";

// The tables in the order they are created.
QStringList tableNames();
// Whether the file holds them. A file the owner delivered does not: it opens and lists as before
// (no resources, no build-ups, no fees) and gets the tables with the first write.
bool exists(Database& db);
// Creates whatever of the tables and their indexes is missing; harmless when they are there.
// Runs inside the caller's change.
void ensure(Database& db);
// Drops the tables, for a copy that leaves the costs out; true when there were any.
bool drop(Database& db);

} // namespace PricingSchema
} // namespace tenvora

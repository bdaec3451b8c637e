// What the pricing units share to reach the store: one change at a time, the store's refusals
// named, and the contract they work on.
#pragma once

#include "data/Database.h"

#include <functional>

namespace tenvora::PricingStore {

// Runs the statements of one change in one transaction (joining an outer change). A statement
// the store refuses becomes an Error naming what was being done; failures of the file itself
// (StorageError) pass as they are.
void RunChange(Database& db, const QString& doing, const std::function<void()>& change);
// Reads a select row by row under the same rule.
void ForEachRow(Database& db, const QString& doing, const QString& sql, const QVariantList& values,
                const std::function<void(const Statement&)>& row);
// The contract, or Refused when none is current.
QString RequireContract(const QString& contract);

} // namespace tenvora::PricingStore

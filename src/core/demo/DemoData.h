// The demonstration data file: two projects, three contract sections, the demo bill of
// quantities and day-work schedules, and the login accounts.
#pragma once

#include <QString>

namespace tenvora {

struct DemoAccount {
    const char* unit;
    const char* password;
    const char* kind;
};

// Accounts written into the demo file (documented in the README).
const QList<DemoAccount>& DemoAccounts();

// Writes a new demo data file. Refuses an existing path unless force is set; with force the
// new file is built beside it and renamed over it, so a failure leaves the old file intact.
// priced also fills unit prices, line amounts, the insurance line and the chapter totals.
void CreateDemoDataFile(const QString& path, bool priced, bool force);

} // namespace tenvora

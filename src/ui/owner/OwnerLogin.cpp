#include "owner/OwnerLogin.h"

#include "data/DataModule.h"
#include "owner/OwnerAccounts.h"

namespace tenvora::ui {

LoginPolicy OwnerLogin(DataModule& dm) {
    LoginPolicy policy;
    policy.unitLabel = QStringLiteral(" 招标单位");
    policy.helpPage = QStringLiteral("owner.html#login");
    policy.units = [&dm] { return OwnerAccounts(dm.database()).ownerUnits(); };
    // Every refusal (a wrong password, a bidder's account) is shown as the core words it.
    policy.login = [&dm](const QString& unit, const QString& password, QString&) {
        OwnerAccounts(dm.database()).login(unit, password);
        dm.session().CurUnitName = unit;
        return true;
    };
    return policy;
}

} // namespace tenvora::ui

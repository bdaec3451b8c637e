#include "owner/OwnerLogin.h"

#include "data/DataModule.h"
#include "data/Errors.h"
#include "owner/OwnerAccounts.h"

namespace tenvora::ui {

LoginPolicy OwnerLogin(DataModule& dm) {
    LoginPolicy policy;
    policy.unitLabel = QStringLiteral(" 招标单位");
    policy.helpPage = QStringLiteral("owner.html#login");
    policy.units = [&dm] {
        const QStringList units = OwnerAccounts(dm.database()).ownerUnits();
        // A bidder's issued copy holds no owner's account: say so rather than offer nothing.
        if (units.isEmpty())
            throw Refused(QStringLiteral("这个文件中没有招标人的帐户（类别 1），不能在招标人工作台中登录；"
                                         "投标单位的文件请用投标报价工作台打开。"));
        return units;
    };
    // Every refusal (a wrong password, a bidder's account) is shown as the core words it.
    policy.login = [&dm](const QString& unit, const QString& password, QString&) {
        OwnerAccounts(dm.database()).login(unit, password);
        dm.session().CurUnitName = unit;
        return true;
    };
    return policy;
}

} // namespace tenvora::ui

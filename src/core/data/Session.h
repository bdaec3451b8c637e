// The session values of one run of the program.
#pragma once

#include <QString>

namespace tenvora {

struct SessionValues {
    QString CurProjectID;
    QString CurContractID;
    QString CurProjectName;
    QString CurContractName;
    QString CurPeriodID;
    QString CurChainage;
    QString MainTitle;
    QString CurUnitName;
};

} // namespace tenvora

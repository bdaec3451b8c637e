#include "reports/ReportTexts.h"

#include "data/Session.h"

namespace tenvora {

QString ContractHeading(const SessionValues& session) {
    return session.CurContractID + QStringLiteral("合同段：") + session.CurChainage;
}

} // namespace tenvora

// Texts every report prints.
#pragma once

#include <QString>

namespace tenvora {

struct SessionValues;

// CurContractID + "合同段：" + CurChainage, the heading line of every report.
QString ContractHeading(const SessionValues& session);

} // namespace tenvora

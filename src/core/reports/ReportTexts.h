// The text every report prints at its head.
#pragma once

#include <QString>
#include <QVariant>

namespace tenvora {

struct SessionValues;

// CurContractID + "合同段：" + CurChainage, the heading line of every report.
QString ContractHeading(const SessionValues& session);

} // namespace tenvora

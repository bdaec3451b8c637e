#include "reports/ReportTexts.h"

#include "data/Money.h"
#include "data/Session.h"

namespace tenvora {

QString ContractHeading(const SessionValues& session) {
    return session.CurContractID + QStringLiteral("合同段：") + session.CurChainage;
}

QString TotalFormText(const QVariant& sum, TotalForm form) {
    const std::optional<double> value = NumberOf(sum);
    if (!value)
        return QStringLiteral("0");
    return form == TotalForm::WholeYuan ? WholeYuanText(*value) : GeneralText(*value);
}

} // namespace tenvora

#include "reports/ReportRequest.h"

#include "boq/AmountRules.h"

namespace tenvora {

const ContractFigures& ReportRequest::contractFigures(ContractFigures::Parts parts, bool storeInsurance) {
    if (m_givenFigures)
        return *m_givenFigures;
    DataModule& dm = m_context.dm();
    const QString contract = dm.session().CurContractID;
    m_ownFigures = ContractFigures::read(dm, contract, parts);
    if (storeInsurance)
        BoqTotals(dm).storeInsurance(contract, m_ownFigures);
    return m_ownFigures;
}

} // namespace tenvora

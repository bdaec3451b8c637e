// The fees (取费) of a contract as their dialog lists them: in the order they are applied, each
// with its base; the percentage typed into the list (checked by a before-post hook), fees added
// and removed through FeeList.
#pragma once

#include "data/DataSet.h"
#include "pricing/FeeList.h"

namespace tenvora {

class DataModule;

namespace FeeColumn {
inline const QString Order = QStringLiteral("顺序");
inline const QString Name = QStringLiteral("名称");
inline const QString Percent = QStringLiteral("费率");
inline const QString Base = QStringLiteral("计算基数");
} // namespace FeeColumn

class FeeSheet {
public:
    // Refused without a current contract.
    FeeSheet(DataModule& dm, const QString& contract);

    // pricing_fee by row identity; only 费率 (a percentage) may be typed.
    DataSet& fees() { return m_fees; }
    void reload();

    int add(const Fee& fee);
    // Removes the fee of that row; Refused without one.
    int remove(int row);
    // Whether a fee was added, removed or changed since the sheet was made.
    bool changed() const { return m_changed; }
    const QString& contract() const { return m_contract; }

private:
    DataModule& m_dm;
    QString m_contract;
    DataSet m_fees;
    bool m_changed = false;
};

} // namespace tenvora

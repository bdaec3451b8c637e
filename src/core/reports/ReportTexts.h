// Texts every report prints: the contract heading and the number texts of totals.
#pragma once

#include <QString>
#include <QVariant>

namespace tenvora {

struct SessionValues;

// CurContractID + "合同段：" + CurChainage, the heading line of every report.
QString ContractHeading(const SessionValues& session);

// How a total reaches a text object.
enum class TotalForm {
    WholeYuan, // RoundAmount, then decimal digits with a leading "-" when negative
    Raw,       // the value as stored, in general text without rounding
};

// The text of a sum's result: "0" when the sum is null (no row, or only null amounts) or not a
// number at all; otherwise the value in the requested form.
QString TotalFormText(const QVariant& sum, TotalForm form);

} // namespace tenvora

#include "boq/BoqLineRules.h"

#include "boq/BoqTotals.h"
#include "data/DataSet.h"
#include "data/Errors.h"
#include "data/Money.h"

namespace tenvora {

namespace {

bool zeroQuantity(const QVariant& quantity) {
    return NumberOf(quantity).value_or(0.0) == 0.0;
}

bool insuranceItem(const QString& item) {
    return item == QLatin1String(kInsuranceItem) || item == QLatin1String(kLiabilityItem);
}

} // namespace

QString PriceLockReason(const QVariant& quantity, const QString& item, const QString& unit) {
    if (insuranceItem(item))
        return QStringLiteral("保险费由“章合计 和 保险费 计算”得出");
    if (unit == kProvisionalSumUnit)
        return QStringLiteral("暂定金额由业主给定");
    if (zeroQuantity(quantity))
        return QStringLiteral("没有合同数量");
    if (item.size() < 3)
        return QStringLiteral("细目编号不足 3 个字符");
    return {};
}

bool IsPriceLocked(const QVariant& quantity, const QString& item, const QString& unit) {
    return !PriceLockReason(quantity, item, unit).isEmpty();
}

bool IsDrawnLocked(const QVariant& quantity, const QString& item, const QString& unit) {
    return zeroQuantity(quantity) || insuranceItem(item) || unit == kProvisionalSumUnit;
}

bool IsPriceLocked(const DataSet& lines, int row) {
    return IsPriceLocked(lines.value(row, BoqColumn::Quantity), lines.value(row, BoqColumn::Item).toString(),
                         lines.value(row, BoqColumn::Unit).toString());
}

bool IsDrawnLocked(const DataSet& lines, int row) {
    return IsDrawnLocked(lines.value(row, BoqColumn::Quantity), lines.value(row, BoqColumn::Item).toString(),
                         lines.value(row, BoqColumn::Unit).toString());
}

QString PriceLockReason(const DataSet& lines, int row) {
    return PriceLockReason(lines.value(row, BoqColumn::Quantity), lines.value(row, BoqColumn::Item).toString(),
                           lines.value(row, BoqColumn::Unit).toString());
}

void BoqBeforePost(DataSet& lines) {
    const std::optional<double> price = NumberOf(lines.field(BoqColumn::Price));
    const std::optional<double> quantity = NumberOf(lines.field(BoqColumn::Quantity));
    if (price && quantity)
        lines.setField(BoqColumn::Amount, QVariant::fromValue<qlonglong>(RoundAmount(*price * *quantity)));
    lines.setField(BoqColumn::Section, lines.field(BoqColumn::Item));
}

void BoqBeforeInsert(DataSet&) {
    throw Refused(QStringLiteral("不允许增加"));
}

void BoqBeforeDelete(DataSet&) {
    throw Refused(QStringLiteral("不允许删除"));
}

} // namespace tenvora

#include "boq/BoqLineRules.h"

#include "boq/AmountRules.h"
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

QString PriceLockReason(const QVariant& quantity, const QString& item, const QString& unit, const QString& chapter) {
    if (insuranceItem(item))
        return QStringLiteral("保险费由“章合计 和 保险费 计算”得出");
    if (ContractFigures::isChapterLine(chapter, item))
        return QStringLiteral("章合计由“章合计 和 保险费 计算”得出");
    if (unit == kProvisionalSumUnit)
        return QStringLiteral("暂定金额由业主给定");
    if (zeroQuantity(quantity))
        return QStringLiteral("没有合同数量");
    if (item.size() < 3)
        return QStringLiteral("细目编号不足 3 个字符");
    return {};
}

bool IsPriceLocked(const QVariant& quantity, const QString& item, const QString& unit, const QString& chapter) {
    return !PriceLockReason(quantity, item, unit, chapter).isEmpty();
}

bool IsDrawnLocked(const QVariant& quantity, const QString& item, const QString& unit, const QString& chapter) {
    return zeroQuantity(quantity) || insuranceItem(item) || unit == kProvisionalSumUnit ||
           ContractFigures::isChapterLine(chapter, item);
}

bool IsPriceLocked(const DataSet& lines, int row) {
    return IsPriceLocked(lines.value(row, BoqColumn::Quantity), lines.value(row, BoqColumn::Item).toString(),
                         lines.value(row, BoqColumn::Unit).toString(), lines.value(row, BoqColumn::Chapter).toString());
}

bool IsDrawnLocked(const DataSet& lines, int row) {
    return IsDrawnLocked(lines.value(row, BoqColumn::Quantity), lines.value(row, BoqColumn::Item).toString(),
                         lines.value(row, BoqColumn::Unit).toString(), lines.value(row, BoqColumn::Chapter).toString());
}

QString PriceLockReason(const DataSet& lines, int row) {
    return PriceLockReason(lines.value(row, BoqColumn::Quantity), lines.value(row, BoqColumn::Item).toString(),
                           lines.value(row, BoqColumn::Unit).toString(),
                           lines.value(row, BoqColumn::Chapter).toString());
}

void BoqBeforePost(DataSet& lines, int row) {
    const int priceColumn = lines.columnIndex(BoqColumn::Price);
    const QVariant& storedPrice = lines.storedValue(row, priceColumn);
    const QVariant price = lines.value(row, priceColumn);
    const bool priceChanged = !SameStoredValue(storedPrice, price);
    // The lock is judged on the line as stored, so that no path (the grid, the command line,
    // a paste, code setting fields) can unlock a line by changing its other columns first.
    if (priceChanged) {
        const QString reason =
            PriceLockReason(lines.storedValue(row, lines.columnIndex(BoqColumn::Quantity)),
                            lines.storedValue(row, lines.columnIndex(BoqColumn::Item)).toString(),
                            lines.storedValue(row, lines.columnIndex(BoqColumn::Unit)).toString(),
                            lines.storedValue(row, lines.columnIndex(BoqColumn::Chapter)).toString());
        if (!reason.isEmpty())
            throw Refused(
                PriceLockMessage(lines.storedValue(row, lines.columnIndex(BoqColumn::Item)).toString(), reason));
    }
    const bool priceCleared = priceChanged && !NumberOf(price) && NumberOf(storedPrice);
    if (const std::optional<qint64> amount = LineAmount(price, lines.value(row, BoqColumn::Quantity)))
        lines.setValue(row, BoqColumn::Amount, QVariant::fromValue<qlonglong>(*amount));
    else if (priceCleared)
        lines.setValue(row, BoqColumn::Amount, QVariant()); // no price, no amount: it must not count in a total
    lines.setValue(row, BoqColumn::Section, lines.value(row, BoqColumn::Item));
}

QString PriceLockMessage(const QString& item, const QString& reason) {
    return QStringLiteral("细目“%1”不允许录入单价：%2").arg(item, reason);
}

void BoqBeforeInsert(DataSet&, int) {
    throw Refused(QStringLiteral("不允许增加"));
}

void BoqBeforeDelete(DataSet&, int) {
    throw Refused(QStringLiteral("不允许删除"));
}

} // namespace tenvora

// Which bill-of-quantities lines the bidder may price, how they are drawn, and what saving a
// line computes. Item numbers compare exactly: "101-1-A" is an ordinary item.
#pragma once

#include <QString>
#include <QVariant>

namespace tenvora {

class DataSet;

namespace BoqColumn {
inline const QString Chapter = QStringLiteral("章");
inline const QString Section = QStringLiteral("节");
inline const QString Item = QStringLiteral("细目编号");
inline const QString Name = QStringLiteral("细目名称");
inline const QString Unit = QStringLiteral("单位");
inline const QString Quantity = QStringLiteral("合同数量");
inline const QString Price = QStringLiteral("合同单价");
inline const QString Amount = QStringLiteral("合同金额");
} // namespace BoqColumn

// The unit that marks a provisional sum fixed by the owner.
inline const QString kProvisionalSumUnit = QStringLiteral("暂定金总额");

// The price may be typed only when the quantity is not 0 (empty reads as 0), the line is
// neither insurance line nor its chapter's line (the recomputation writes the chapter total
// into it, so a typed price would never reach the bid), the unit is not a provisional sum and
// the item number has at least 3 characters.
bool IsPriceLocked(const QVariant& quantity, const QString& item, const QString& unit, const QString& chapter);
// Why a line is price-locked, for the user; empty when it is not.
QString PriceLockReason(const QVariant& quantity, const QString& item, const QString& unit, const QString& chapter);
// The price lock without the length condition: a two-character item with a quantity is
// locked yet drawn as priceable.
bool IsDrawnLocked(const QVariant& quantity, const QString& item, const QString& unit, const QString& chapter);

// The same rules for a row of a list of jd_htqd lines.
bool IsPriceLocked(const DataSet& lines, int row);
bool IsDrawnLocked(const DataSet& lines, int row);
QString PriceLockReason(const DataSet& lines, int row);

// Before every save of a line, whatever path it comes from: a changed price on a price-locked
// line (judged on the line as stored) is refused (Refused, the row keeps its edit); the amount
// follows LineAmount, a cleared price clears it, a missing quantity leaves it; 节 takes the
// item number.
void BoqBeforePost(DataSet& lines, int row);
// "细目“101-1-a”不允许录入单价：" + the reason.
QString PriceLockMessage(const QString& item, const QString& reason);
// Lines come from the owner: none is added ("不允许增加") and none is deleted here.
void BoqBeforeInsert(DataSet& lines, int row);
void BoqBeforeDelete(DataSet& lines, int row);

} // namespace tenvora

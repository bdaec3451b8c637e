#include "boq/BidCheck.h"

#include "boq/AmountRules.h"
#include "boq/BoqLineRules.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "daywork/DayworkLists.h"

#include <algorithm>
#include <array>

namespace tenvora {

namespace {

constexpr std::array kKinds = {BidFindingKind::Unpriced,        BidFindingKind::Amount,   BidFindingKind::StaleTotal,
                               BidFindingKind::DayworkUnpriced, BidFindingKind::Negative, BidFindingKind::Decimals};

QString number(double value) {
    return GeneralText(value);
}

QString amountText(const std::optional<double>& amount) {
    return amount ? WholeYuanText(*amount) : QStringLiteral("空");
}

bool hasMoreThanTwoDecimals(double price) {
    return RoundToDecimals(price, 2) != price;
}

} // namespace

int BidCheckResult::count(BidFindingKind kind) const {
    return static_cast<int>(
        std::count_if(findings.cbegin(), findings.cend(), [kind](const BidFinding& f) { return f.kind == kind; }));
}

QString BidCheckResult::summary() const {
    QStringList parts;
    for (BidFindingKind kind : kKinds)
        if (const int n = count(kind))
            parts << QStringLiteral("%1 %2 条").arg(BidFindingKindText(kind)).arg(n);
    return parts.join(QStringLiteral("，"));
}

QString BidFindingKindText(BidFindingKind kind) {
    switch (kind) {
    case BidFindingKind::Unpriced:
        return QStringLiteral("未报价");
    case BidFindingKind::Amount:
        return QStringLiteral("金额不符");
    case BidFindingKind::StaleTotal:
        return QStringLiteral("合计未重算");
    case BidFindingKind::DayworkUnpriced:
        return QStringLiteral("计日工未报价");
    case BidFindingKind::Negative:
        return QStringLiteral("负数");
    case BidFindingKind::Decimals:
        return QStringLiteral("单价超过两位小数");
    }
    return {};
}

QString BidFindingKindName(BidFindingKind kind) {
    switch (kind) {
    case BidFindingKind::Unpriced:
        return QStringLiteral("unpriced");
    case BidFindingKind::Amount:
        return QStringLiteral("amount");
    case BidFindingKind::StaleTotal:
        return QStringLiteral("stale-total");
    case BidFindingKind::DayworkUnpriced:
        return QStringLiteral("daywork-unpriced");
    case BidFindingKind::Negative:
        return QStringLiteral("negative");
    case BidFindingKind::Decimals:
        return QStringLiteral("decimals");
    }
    return {};
}

QString BidFindingPlace(const BidFinding& finding) {
    if (!finding.daywork)
        return finding.chapter;
    const std::optional<Schedule> s = ScheduleFromCode(finding.chapter);
    return s ? ScheduleCaption(*s) : finding.chapter;
}

QString BidCheckQuestion(const BidCheckResult& result) {
    return QStringLiteral("投标检查发现问题：%1。\n仍然生成投标盘吗？").arg(result.summary());
}

BidCheckResult BidCheck::run() {
    BidCheckResult result;
    checkLines(result);
    checkTotals(result);
    checkDaywork(result);
    // Grouped by kind, each group in the order the lines were read.
    std::stable_sort(result.findings.begin(), result.findings.end(),
                     [](const BidFinding& a, const BidFinding& b) { return a.kind < b.kind; });
    return result;
}

void BidCheck::checkLines(BidCheckResult& result) {
    auto q = m_dm.NewQuery();
    m_dm.RunSql(
        *q,
        QStringLiteral("select rowid, 章, 细目编号, 细目名称, 单位, 合同数量, 合同单价, 合同金额 from jd_htqd "
                       "where 合同编号=? and 是否补充=0 order by 章 collate ITEMNO, bz, 细目编号 collate ITEMNO"),
        {m_dm.session().CurContractID}, true);
    for (int r = 0; r < q->recordCount(); ++r) {
        const QVariant quantityValue = q->value(r, BoqColumn::Quantity);
        const QVariant priceValue = q->value(r, BoqColumn::Price);
        const std::optional<double> quantity = NumberOf(quantityValue);
        const std::optional<double> price = NumberOf(priceValue);
        const std::optional<double> amount = NumberOf(q->value(r, BoqColumn::Amount));
        const QString item = q->text(r, BoqColumn::Item);
        const auto add = [&](BidFindingKind kind, const QString& figures) {
            result.findings << BidFinding{kind,
                                          q->text(r, BoqColumn::Chapter),
                                          item,
                                          q->text(r, BoqColumn::Name),
                                          q->value(r, QStringLiteral("rowid")),
                                          figures};
        };

        if (price && *price < 0)
            add(BidFindingKind::Negative, QStringLiteral("单价 %1").arg(number(*price)));
        if (quantity && *quantity < 0)
            add(BidFindingKind::Negative, QStringLiteral("合同数量 %1").arg(number(*quantity)));
        if (IsPriceLocked(quantityValue, item, q->text(r, BoqColumn::Unit)))
            continue;

        if (!price)
            add(BidFindingKind::Unpriced, QStringLiteral("单价为空"));
        else if (*price == 0)
            add(BidFindingKind::Unpriced, QStringLiteral("单价为 0"));

        if (const std::optional<qint64> expected = LineAmount(priceValue, quantityValue)) {
            if (!amount || *amount != static_cast<double>(*expected))
                add(BidFindingKind::Amount, QStringLiteral("已存金额 %1，单价 × 数量应为 %2")
                                                .arg(amountText(amount), WholeYuanText(*expected)));
        } else if (!price && amount && *amount != 0) {
            add(BidFindingKind::Amount, QStringLiteral("没有单价，却存有金额 %1").arg(amountText(amount)));
        }

        if (price && hasMoreThanTwoDecimals(*price)) {
            const double printed = RoundToDecimals(*price, 2);
            QString figures =
                QStringLiteral("单价 %1 打印为 %2").arg(number(*price), FormatNumber(printed, QStringLiteral("0.00")));
            if (quantity)
                figures += QStringLiteral("；金额按 %1 计为 %2，按 %3 计为 %4")
                               .arg(number(*price), WholeYuanText(*LineAmount(*price, *quantity)),
                                    FormatNumber(printed, QStringLiteral("0.00")),
                                    WholeYuanText(*LineAmount(printed, *quantity)));
            add(BidFindingKind::Decimals, figures);
        }
    }
}

void BidCheck::checkTotals(BidCheckResult& result) {
    const QString contract = m_dm.session().CurContractID;
    BoqTotals totals(m_dm);
    const qint64 insurance = BoqTotals::insuranceAmount(totals.insuranceBase(contract));

    auto q = m_dm.NewQuery();
    m_dm.RunSql(*q,
                QStringLiteral("select rowid, 章, 细目编号, 细目名称, 合同单价, 合同金额 from jd_htqd where 合同编号=? "
                               "and (细目编号=? or 细目编号=章) order by 章 collate ITEMNO, 细目编号 collate ITEMNO"),
                {contract, QString::fromLatin1(kInsuranceItem)}, true);
    for (int r = 0; r < q->recordCount(); ++r) {
        const QString chapter = q->text(r, BoqColumn::Chapter);
        const QString item = q->text(r, BoqColumn::Item);
        const std::optional<double> stored = NumberOf(q->value(r, BoqColumn::Amount));
        QString figures;
        if (item == QLatin1String(kInsuranceItem)) {
            const std::optional<double> price = NumberOf(q->value(r, BoqColumn::Price));
            const bool current = stored && price && *stored == static_cast<double>(insurance) &&
                                 *price == static_cast<double>(insurance);
            if (!current) {
                figures = QStringLiteral("保险费已存 %1，按现在的金额应为 %2")
                              .arg(amountText(stored), WholeYuanText(insurance));
                result.insuranceStale = true;
            }
        } else {
            const qint64 now = totals.chapterTotalAfterRecompute(contract, chapter);
            if (!stored || *stored != static_cast<double>(now))
                figures = QStringLiteral("章合计已存 %1，重算后为 %2").arg(amountText(stored), WholeYuanText(now));
        }
        if (figures.isEmpty())
            continue;
        result.findings << BidFinding{BidFindingKind::StaleTotal,           chapter, item, q->text(r, BoqColumn::Name),
                                      q->value(r, QStringLiteral("rowid")), figures};
        if (!chapter.isEmpty() && !result.staleChapters.contains(chapter))
            result.staleChapters << chapter;
    }
}

void BidCheck::checkDaywork(BidCheckResult& result) {
    auto q = m_dm.NewQuery();
    m_dm.RunSql(*q,
                QStringLiteral("select rowid, bz, ItemCode, ItemName, Amount, UnitPrice from Jl_ContractList "
                               "where ContractID=? order by bz, rowid"),
                {m_dm.session().CurContractID}, true);
    for (int r = 0; r < q->recordCount(); ++r) {
        const std::optional<double> quantity = NumberOf(q->value(r, QStringLiteral("Amount")));
        const std::optional<double> price = NumberOf(q->value(r, QStringLiteral("UnitPrice")));
        const QString schedule = q->text(r, QStringLiteral("bz"));
        const auto add = [&](BidFindingKind kind, const QString& figures) {
            result.findings << BidFinding{kind,
                                          schedule,
                                          q->text(r, QStringLiteral("ItemCode")),
                                          q->text(r, QStringLiteral("ItemName")),
                                          q->value(r, QStringLiteral("rowid")),
                                          figures,
                                          true};
        };
        if (quantity && *quantity != 0 && (!price || *price == 0))
            add(BidFindingKind::DayworkUnpriced,
                QStringLiteral("估计数量 %1，单价为%2")
                    .arg(number(*quantity), price ? QStringLiteral(" 0") : QStringLiteral("空")));
        if (price && *price < 0)
            add(BidFindingKind::Negative, QStringLiteral("单价 %1").arg(number(*price)));
        if (quantity && *quantity < 0)
            add(BidFindingKind::Negative, QStringLiteral("估计数量 %1").arg(number(*quantity)));
        if (price && hasMoreThanTwoDecimals(*price))
            add(BidFindingKind::Decimals,
                QStringLiteral("单价 %1 打印为 %2").arg(number(*price), FormatNumber(*price, QStringLiteral("0.00"))));
    }
}

BidCheckResult BidCheck::recomputeStale(const BidCheckResult& result) {
    const QString contract = m_dm.session().CurContractID;
    BoqTotals totals(m_dm);
    m_dm.RunChange([&] {
        // The insurance line may stand in no chapter of its own; storing it needs none.
        if (result.insuranceStale)
            totals.storeInsurance(contract);
        for (const QString& chapter : result.staleChapters)
            totals.recompute(contract, chapter);
    });
    return run();
}

} // namespace tenvora

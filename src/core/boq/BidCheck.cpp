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

constexpr std::array kKinds = {
    BidFindingKind::Unpriced,        BidFindingKind::Amount,       BidFindingKind::StaleTotal,
    BidFindingKind::DayworkUnpriced, BidFindingKind::DayworkTotal, BidFindingKind::DayworkUnscheduled,
    BidFindingKind::Negative,        BidFindingKind::Decimals,     BidFindingKind::NotCounted,
    BidFindingKind::Duplicate,       BidFindingKind::ReportE};

QString number(double value) {
    return GeneralText(value);
}

// A stored figure exactly as it is stored: 1234.5 is not shown as 1235.
QString storedText(const std::optional<double>& amount) {
    return amount ? GeneralText(*amount) : QStringLiteral("空");
}

bool hasMoreThanTwoDecimals(double price) {
    return RoundToDecimals(price, 2) != price;
}

} // namespace

int BidCheckResult::count(BidFindingKind kind) const {
    return static_cast<int>(
        std::count_if(findings.cbegin(), findings.cend(), [kind](const BidFinding& f) { return f.kind == kind; }));
}

bool BidCheckResult::clean() const {
    return std::all_of(findings.cbegin(), findings.cend(), [](const BidFinding& f) { return IsNoticeKind(f.kind); });
}

namespace {

QString counts(const BidCheckResult& result, bool notices) {
    QStringList parts;
    for (BidFindingKind kind : kKinds)
        if (IsNoticeKind(kind) == notices)
            if (const int n = result.count(kind))
                parts << QStringLiteral("%1 %2 条").arg(BidFindingKindText(kind)).arg(n);
    return parts.join(QStringLiteral("，"));
}

} // namespace

QString BidCheckResult::summary() const {
    return counts(*this, false);
}

QString BidCheckResult::noticeSummary() const {
    return counts(*this, true);
}

bool IsNoticeKind(BidFindingKind kind) {
    return kind == BidFindingKind::ReportE;
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
    case BidFindingKind::DayworkTotal:
        return QStringLiteral("计日工合价不符");
    case BidFindingKind::DayworkUnscheduled:
        return QStringLiteral("计日工不属于任何表");
    case BidFindingKind::Negative:
        return QStringLiteral("负数");
    case BidFindingKind::Decimals:
        return QStringLiteral("单价超过两位小数");
    case BidFindingKind::NotCounted:
        return QStringLiteral("打印与合计不一致");
    case BidFindingKind::Duplicate:
        return QStringLiteral("细目编号重复");
    case BidFindingKind::ReportE:
        return QStringLiteral("E 表与汇总表不一致");
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
    case BidFindingKind::DayworkTotal:
        return QStringLiteral("daywork-total");
    case BidFindingKind::DayworkUnscheduled:
        return QStringLiteral("daywork-unscheduled");
    case BidFindingKind::Negative:
        return QStringLiteral("negative");
    case BidFindingKind::Decimals:
        return QStringLiteral("decimals");
    case BidFindingKind::NotCounted:
        return QStringLiteral("not-counted");
    case BidFindingKind::Duplicate:
        return QStringLiteral("duplicate");
    case BidFindingKind::ReportE:
        return QStringLiteral("report-e");
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
    const ContractFigures figures = ContractFigures::read(m_dm, m_dm.session().CurContractID);
    checkLines(result);
    checkTotals(result, figures);
    checkDaywork(result, figures);
    checkReportE(result, figures);
    // Grouped by kind, each group in the order the lines were read.
    std::stable_sort(result.findings.begin(), result.findings.end(),
                     [](const BidFinding& a, const BidFinding& b) { return a.kind < b.kind; });
    return result;
}

void BidCheck::checkLines(BidCheckResult& result) {
    auto q = m_dm.NewQuery();
    m_dm.RunSql(*q,
                QStringLiteral("select rowid, 章, 细目编号, 细目名称, 单位, 合同数量, 合同单价, 合同金额, "
                               "bz is not null and bz<>'' as remark, 是否补充 from jd_htqd where 合同编号=? "
                               "order by 章 collate ITEMNO, bz, 细目编号 collate ITEMNO"),
                {m_dm.session().CurContractID}, true);
    QHash<QString, QList<int>> rowsOfItem;
    QStringList items; // in the order first met
    for (int r = 0; r < q->recordCount(); ++r) {
        const QVariant quantityValue = q->value(r, BoqColumn::Quantity);
        const QVariant priceValue = q->value(r, BoqColumn::Price);
        const std::optional<double> quantity = NumberOf(quantityValue);
        const std::optional<double> price = NumberOf(priceValue);
        const std::optional<double> amount = NumberOf(q->value(r, BoqColumn::Amount));
        const QString chapter = q->text(r, BoqColumn::Chapter);
        const QString item = q->text(r, BoqColumn::Item);
        const auto add = [&](BidFindingKind kind, const QString& figures) {
            result.findings << BidFinding{
                kind, chapter, item, q->text(r, BoqColumn::Name), q->value(r, QStringLiteral("rowid")), figures};
        };
        auto& rows = rowsOfItem[item];
        if (rows.isEmpty())
            items << item;
        rows << r;

        if (chapter.isEmpty())
            add(BidFindingKind::NotCounted,
                QStringLiteral("没有章号：金额 %1 计入保险费的基数，却不印在任何一章的清单上").arg(storedText(amount)));
        else if (q->value(r, QStringLiteral("remark")).toLongLong() != 0 && amount && *amount != 0 &&
                 !ContractFigures::isChapterLine(chapter, item))
            add(BidFindingKind::NotCounted, QStringLiteral("有备注（bz）：金额 %1 印在第%2章的清单上，却不计入本章合计")
                                                .arg(storedText(amount), chapter));

        if (NumberOf(q->value(r, QStringLiteral("是否补充"))).value_or(0.0) != 0)
            continue;
        if (price && *price < 0)
            add(BidFindingKind::Negative, QStringLiteral("单价 %1").arg(number(*price)));
        if (quantity && *quantity < 0)
            add(BidFindingKind::Negative, QStringLiteral("合同数量 %1").arg(number(*quantity)));
        if (IsPriceLocked(quantityValue, item, q->text(r, BoqColumn::Unit), chapter))
            continue;

        if (!price)
            add(BidFindingKind::Unpriced, QStringLiteral("单价为空"));
        else if (*price == 0)
            add(BidFindingKind::Unpriced, QStringLiteral("单价为 0"));

        if (const std::optional<qint64> expected = LineAmountOf(price, quantity)) {
            if (!amount || *amount != static_cast<double>(*expected))
                add(BidFindingKind::Amount, QStringLiteral("已存金额 %1，单价 × 数量应为 %2")
                                                .arg(storedText(amount), WholeYuanText(*expected)));
        } else if (!price && amount && *amount != 0) {
            add(BidFindingKind::Amount, QStringLiteral("没有单价，却存有金额 %1").arg(storedText(amount)));
        }

        if (price && hasMoreThanTwoDecimals(*price)) {
            const double printed = RoundToDecimals(*price, 2);
            QString figures =
                QStringLiteral("单价 %1 打印为 %2").arg(number(*price), FormatNumber(printed, QStringLiteral("0.00")));
            if (quantity)
                figures += QStringLiteral("；金额按 %1 计为 %2，按 %3 计为 %4")
                               .arg(number(*price), WholeYuanText(*LineAmountOf(price, quantity)),
                                    FormatNumber(printed, QStringLiteral("0.00")),
                                    WholeYuanText(*LineAmountOf(printed, quantity)));
            add(BidFindingKind::Decimals, figures);
        }
    }
    for (const QString& item : items) {
        const QList<int>& rows = rowsOfItem.value(item);
        if (rows.size() < 2)
            continue;
        QStringList places;
        for (const int r : rows) {
            const QString chapter = q->text(r, BoqColumn::Chapter);
            places << (chapter.isEmpty() ? QStringLiteral("无章号") : QStringLiteral("第%1章").arg(chapter));
        }
        const int first = rows.first();
        result.findings << BidFinding{
            BidFindingKind::Duplicate,
            q->text(first, BoqColumn::Chapter),
            item,
            q->text(first, BoqColumn::Name),
            q->value(first, QStringLiteral("rowid")),
            QStringLiteral("本合同中出现 %1 次（%2）").arg(rows.size()).arg(places.join(QStringLiteral("、")))};
    }
}

void BidCheck::checkTotals(BidCheckResult& result, const ContractFigures& figures) {
    const qint64 insurance = figures.insurance();
    auto q = m_dm.NewQuery();
    m_dm.RunSql(*q,
                QStringLiteral("select rowid, 章, 细目编号, 细目名称, 合同单价, 合同金额 from jd_htqd where 合同编号=? "
                               "and (细目编号=? or 细目编号=章) order by 章 collate ITEMNO, 细目编号 collate ITEMNO"),
                {m_dm.session().CurContractID, QString::fromLatin1(kInsuranceItem)}, true);
    for (int r = 0; r < q->recordCount(); ++r) {
        const QString chapter = q->text(r, BoqColumn::Chapter);
        const QString item = q->text(r, BoqColumn::Item);
        const std::optional<double> stored = NumberOf(q->value(r, BoqColumn::Amount));
        QString text;
        if (ContractFigures::isInsuranceLine(item)) {
            const std::optional<double> price = NumberOf(q->value(r, BoqColumn::Price));
            const bool current = stored && price && *stored == static_cast<double>(insurance) &&
                                 *price == static_cast<double>(insurance);
            if (!current) {
                text = QStringLiteral("保险费已存 %1，按现在的金额应为 %2")
                           .arg(storedText(stored), WholeYuanText(insurance));
                result.insuranceStale = true;
            }
        } else {
            const qint64 now = figures.storedChapterTotal(chapter);
            if (!stored || *stored != static_cast<double>(now))
                text = QStringLiteral("章合计已存 %1，重算后为 %2").arg(storedText(stored), WholeYuanText(now));
        }
        if (text.isEmpty())
            continue;
        result.findings << BidFinding{BidFindingKind::StaleTotal,           chapter, item, q->text(r, BoqColumn::Name),
                                      q->value(r, QStringLiteral("rowid")), text};
        if (!chapter.isEmpty() && !result.staleChapters.contains(chapter))
            result.staleChapters << chapter;
    }
}

void BidCheck::checkDaywork(BidCheckResult& result, const ContractFigures& figures) {
    std::vector<const DayworkFigureLine*> rows;
    for (const DayworkFigureLine& row : figures.dayworkLines())
        rows.push_back(&row);
    // By schedule, as the pages show them; rows of no schedule last.
    std::stable_sort(rows.begin(), rows.end(), [](const DayworkFigureLine* a, const DayworkFigureLine* b) {
        return (a->schedule == 0 ? 4 : a->schedule) < (b->schedule == 0 ? 4 : b->schedule);
    });
    for (const DayworkFigureLine* row : rows) {
        const auto add = [&](BidFindingKind kind, const QString& text) {
            result.findings << BidFinding{kind,
                                          row->schedule == 0 ? row->bz : QString::number(row->schedule),
                                          row->code,
                                          row->name,
                                          QVariant::fromValue<qlonglong>(row->rowId),
                                          text,
                                          true};
        };
        const std::optional<double>& quantity = row->quantity;
        const std::optional<double>& price = row->price;
        if (row->schedule == 0) {
            add(BidFindingKind::DayworkUnscheduled,
                QStringLiteral("表别（bz）为“%1”，不是 1、2、3：合价 %2 不计入计日工合计")
                    .arg(row->bz, storedText(row->total)));
            continue;
        }
        if (quantity && *quantity != 0 && (!price || *price == 0))
            add(BidFindingKind::DayworkUnpriced,
                QStringLiteral("估计数量 %1，单价为%2")
                    .arg(number(*quantity), price ? QStringLiteral(" 0") : QStringLiteral("空")));
        if (const QString problem =
                DayworkTotalProblem(price ? QVariant(*price) : QVariant(), quantity ? QVariant(*quantity) : QVariant(),
                                    row->total ? QVariant(*row->total) : QVariant());
            !problem.isEmpty())
            add(BidFindingKind::DayworkTotal, problem);
        if (price && *price < 0)
            add(BidFindingKind::Negative, QStringLiteral("单价 %1").arg(number(*price)));
        if (quantity && *quantity < 0)
            add(BidFindingKind::Negative, QStringLiteral("估计数量 %1").arg(number(*quantity)));
        if (price && hasMoreThanTwoDecimals(*price))
            add(BidFindingKind::Decimals,
                QStringLiteral("单价 %1 打印为 %2").arg(number(*price), FormatNumber(*price, QStringLiteral("0.00"))));
    }
}

void BidCheck::checkReportE(BidCheckResult& result, const ContractFigures& figures) {
    // The forms are printed with the insurance line stored; so are the figures compared here.
    ContractFigures printed = figures;
    printed.storeInsurance();
    if (printed.reportEAgrees())
        return;
    const QString prices =
        QStringLiteral("E 的投标报价 %1，投标报价汇总表 %2；全套投标报表不含 E")
            .arg(WholeYuanText(printed.reportE().bidPrice()), WholeYuanText(printed.bidPriceForm().bidPrice));
    const QStringList outside = printed.chaptersOutsideReportE();
    if (outside.isEmpty()) {
        result.findings << BidFinding{BidFindingKind::ReportE, {}, {}, {}, {}, prices};
        return;
    }
    for (const QString& chapter : outside) {
        QVariant rowId;
        QString name;
        for (const FigureLine& line : printed.lines())
            if (ContractFigures::isChapterLine(line.chapter, line.item) && line.chapter == chapter) {
                rowId = QVariant::fromValue<qlonglong>(line.rowId);
                name = line.name;
                break;
            }
        result.findings << BidFinding{BidFindingKind::ReportE,
                                      chapter,
                                      chapter,
                                      name,
                                      rowId,
                                      QStringLiteral("E 不含第 %1 章（本章合计 %2）；%3")
                                          .arg(chapter, WholeYuanText(printed.printedChapterTotal(chapter)), prices)};
    }
}

BidCheckResult BidCheck::recomputeStale(const BidCheckResult& result) {
    const QString contract = m_dm.session().CurContractID;
    BoqTotals totals(m_dm);
    m_dm.RunChange([&] {
        // The recomputation stores the insurance with the chapters; the insurance line may stand
        // in no chapter of its own, and storing it needs none.
        if (!result.staleChapters.isEmpty())
            totals.recomputeChapters(contract, result.staleChapters);
        else if (result.insuranceStale)
            totals.storeInsurance(contract);
    });
    return run();
}

} // namespace tenvora

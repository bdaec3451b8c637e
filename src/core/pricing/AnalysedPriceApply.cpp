#include "pricing/AnalysedPriceApply.h"

#include "boq/BoqLineRules.h"
#include "boq/ContractFigures.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "pricing/PricingStore.h"
#include "pricing/ResourceLibrary.h"
#include "pricing/UnitPriceAnalysis.h"

#include <QHash>

namespace tenvora {

namespace {

QString yuan(qint64 amount) {
    return FormatNumber(static_cast<double>(amount), QStringLiteral("#,##0"));
}

QString signedYuan(qint64 amount) {
    return amount > 0 ? QLatin1Char('+') + yuan(amount) : yuan(amount);
}

} // namespace

AnalysedPriceApply::AnalysedPriceApply(DataModule& dm)
    : m_dm(dm), m_lines(dm, DataSetTable{QStringLiteral("jd_htqd"), QStringLiteral("rowid"), {BoqColumn::Price}}) {
    m_lines.setBeforePost(BoqBeforePost);
}

void AnalysedPriceApply::proposeAll(const QString& contract) {
    propose(contract, Scope::All, {});
}

void AnalysedPriceApply::proposeFor(const QString& contract, const QStringList& items) {
    propose(contract, Scope::StrictItems, items);
}

void AnalysedPriceApply::proposeTouched(const QString& contract, const QStringList& items) {
    propose(contract, Scope::Items, items);
}

void AnalysedPriceApply::proposeUsing(const QString& contract, const QStringList& resources) {
    propose(contract, Scope::Resources, resources);
}

void AnalysedPriceApply::propose(const QString& contract, Scope scope, const QStringList& names) {
    m_proposed = false;
    m_plan.clear();
    m_items.clear();
    m_contract = PricingStore::RequireContract(contract);
    const UnitPriceAnalysis analysis(m_dm, m_contract);
    const bool strict = scope == Scope::StrictItems;
    if (strict)
        for (const QString& item : names)
            if (!analysis.hasBuildUp(item))
                throw Refused(QStringLiteral("细目“%1”没有工料机组成").arg(item));

    // The build-ups asked for, by number: each item is looked up once, and each line read once.
    std::vector<char> wanted;
    if (scope == Scope::Items || scope == Scope::StrictItems) {
        wanted.assign(static_cast<size_t>(analysis.buildUpCount()), 0);
        for (const QString& item : names)
            if (const int buildUp = analysis.buildUpOf(item); buildUp >= 0)
                wanted[static_cast<size_t>(buildUp)] = 1;
    } else if (scope == Scope::Resources) {
        wanted = analysis.buildUpsUsing(names);
    }
    for (int b = 0; b < analysis.buildUpCount(); ++b)
        if (wanted.empty() || wanted[static_cast<size_t>(b)])
            m_items << analysis.itemOf(b);
    // One pass over the contract's lines: every line counts in the figures, the lines to price
    // are kept for the proposal's list with the number of their build-up.
    QStringList columns;
    std::vector<QVariantList> kept;
    std::vector<int> buildUps;
    int lastBuildUp = -1;
    QSet<QString> found;
    ContractFigures figures = ContractFigures::read(
        m_dm, m_contract, ContractFigures::Parts::All, [&](const Statement& st, const FigureLine& line) {
            if (columns.isEmpty())
                for (int c = 0; c < ContractFigures::kPricedColumns; ++c)
                    columns << st.columnName(c);
            if (line.supplementary)
                return;
            const int buildUp = analysis.buildUpOf(line.item, lastBuildUp + 1);
            if (buildUp < 0)
                return;
            lastBuildUp = buildUp;
            if (!wanted.empty() && !wanted[static_cast<size_t>(buildUp)])
                return;
            if (strict)
                found.insert(line.item);
            buildUps.push_back(buildUp);
            // 章, 细目编号 and 单位 held as text are the very texts the figures decoded: shared, not
            // read out of the row again; 节 is usually the item. A value of another type is read
            // as the store holds it.
            QVariantList row;
            row.reserve(ContractFigures::kPricedColumns);
            for (int c = 0; c < ContractFigures::kPricedColumns; ++c) {
                const QString* decoded = c == 1 ? &line.chapter : c == 3 ? &line.item : c == 4 ? &line.unit : nullptr;
                if (decoded && st.text(c))
                    row << QVariant(*decoded);
                else
                    row << (c == 2 ? st.value(c, QVariant(line.item)) : st.value(c));
            }
            kept.push_back(std::move(row));
        });
    if (strict)
        for (const QString& item : names)
            if (!found.contains(item))
                throw Refused(QStringLiteral("当前合同段的清单中没有细目“%1”").arg(item));
    m_lines.openRows(columns, std::move(kept));

    const int priceColumn = m_lines.columnIndex(BoqColumn::Price);
    const int amountColumn = m_lines.columnIndex(BoqColumn::Amount);
    const int quantityColumn = m_lines.columnIndex(BoqColumn::Quantity);
    const int chapterColumn = m_lines.columnIndex(BoqColumn::Chapter);
    const int itemColumn = m_lines.columnIndex(BoqColumn::Item);
    const int unitColumn = m_lines.columnIndex(BoqColumn::Unit);
    m_plan.reserve(static_cast<size_t>(m_lines.rowCount()));
    for (int r = 0; r < m_lines.rowCount(); ++r) {
        AnalysedLine line;
        line.row = r;
        line.rowId = m_lines.keyOf(r).toLongLong();
        line.chapter = m_lines.storedValue(r, chapterColumn).toString();
        line.item = m_lines.storedValue(r, itemColumn).toString();
        line.oldPrice = m_lines.storedValue(r, priceColumn);
        line.oldAmount = m_lines.storedValue(r, amountColumn);
        const LineAnalysis analysed = analysis.analyse(buildUps[static_cast<size_t>(r)], false);
        const LineAnalysis* a = &analysed;
        if (!a->priced()) {
            line.outcome = AnalysedLine::Outcome::Unpriced;
            line.reason = a->problem;
        } else {
            line.newPrice = a->unitPrice();
            // The list was just read: nothing is being edited, the stored values are the values.
            if (const QString reason = PriceLockReason(m_lines.storedValue(r, quantityColumn), line.item,
                                                       m_lines.storedValue(r, unitColumn).toString(), line.chapter);
                !reason.isEmpty()) {
                line.outcome = AnalysedLine::Outcome::Locked;
                line.reason = reason;
                m_plan.push_back(std::move(line));
                continue;
            }
            line.newAmount = LineAmount(*line.newPrice, m_lines.storedValue(r, quantityColumn));
            line.outcome = SameStoredValue(line.oldPrice, *line.newPrice) ? AnalysedLine::Outcome::Same
                                                                          : AnalysedLine::Outcome::Change;
        }
        m_plan.push_back(std::move(line));
    }
    m_figures.take(m_dm, std::move(figures));
    m_bidPrices.reset();
    m_proposed = true;
}

const std::pair<qint64, qint64>& AnalysedPriceApply::bidPrices() const {
    // Worked out when asked for: re-pricing after a change of the cost data does not need them.
    if (!m_bidPrices) {
        ContractFigures before = m_figures.figures;
        ContractFigures after = m_figures.figures;
        for (const AnalysedLine& line : m_plan)
            if (line.outcome == AnalysedLine::Outcome::Change)
                after.setLine(line.rowId, *line.newPrice,
                              line.newAmount ? QVariant::fromValue<qlonglong>(*line.newAmount) : QVariant());
        // As a printed set shows it: the insurance line stored first.
        before.storeInsurance();
        after.storeInsurance();
        m_bidPrices = std::pair<qint64, qint64>(before.bidPriceForm().bidPrice, after.bidPriceForm().bidPrice);
    }
    return *m_bidPrices;
}

int AnalysedPriceApply::count(AnalysedLine::Outcome outcome) const {
    return static_cast<int>(
        std::count_if(m_plan.begin(), m_plan.end(), [outcome](const AnalysedLine& l) { return l.outcome == outcome; }));
}

QString AnalysedPriceApply::summary() const {
    QStringList lines;
    lines << QStringLiteral("有工料机组成的细目：%1 行").arg(m_plan.size())
          << QStringLiteral("单价改变：%1 行；单价不变：%2 行")
                 .arg(count(AnalysedLine::Outcome::Change))
                 .arg(count(AnalysedLine::Outcome::Same))
          << QStringLiteral("锁定、不写入：%1 行；无法分析：%2 行")
                 .arg(count(AnalysedLine::Outcome::Locked))
                 .arg(count(AnalysedLine::Outcome::Unpriced))
          << QStringLiteral("投标报价：%1 → %2（%3）")
                 .arg(yuan(bidPriceBefore()), yuan(bidPriceAfter()), signedYuan(bidPriceAfter() - bidPriceBefore()));
    return lines.join(QLatin1Char('\n'));
}

std::vector<PriceChange> AnalysedPriceApply::apply() {
    if (!m_proposed)
        throw Refused(QStringLiteral("还没有算出单价分析的结果"));
    std::vector<std::pair<int, QVariant>> writes;
    for (const AnalysedLine& line : m_plan)
        if (line.outcome == AnalysedLine::Outcome::Change)
            writes.emplace_back(line.row, *line.newPrice);
    m_proposed = false;
    std::vector<PriceChange> changes;
    if (writes.empty())
        return changes;
    PricingStore::RunChange(m_dm.database(), QStringLiteral("写入分析单价"), [&] {
        changes = PostProposedPrices(m_dm, m_contract, m_lines, writes, m_figures, [](const QString& item) {
            return QStringLiteral("细目“%1”在算出分析单价之后已被改动，没有写入任何单价；请重新计算").arg(item);
        });
    });
    return changes;
}

namespace {

// A proposal's prices written, and what the outcome reports of them.
void WriteProposal(AnalysedPriceApply& apply, RepriceOutcome& outcome) {
    outcome.changes = apply.apply();
    outcome.lines = apply.takeLines();
    outcome.repriced = true;
}

} // namespace

RepriceOutcome RepriceAfterChange(DataModule& dm, const QString& contract, const std::function<QStringList()>& change,
                                  bool reprice) {
    RepriceOutcome outcome;
    PricingStore::RunChange(dm.database(), QStringLiteral("改动单价分析的数据"), [&] {
        outcome.items = change();
        if (!reprice || outcome.items.isEmpty())
            return;
        AnalysedPriceApply apply(dm);
        apply.proposeTouched(contract, outcome.items);
        WriteProposal(apply, outcome);
    });
    return outcome;
}

RepriceOutcome RepriceAfterPriceChange(DataModule& dm, const QString& contract,
                                       const std::function<QStringList()>& change, bool reprice) {
    RepriceOutcome outcome;
    PricingStore::RunChange(dm.database(), QStringLiteral("改动单价分析的数据"), [&] {
        const QStringList codes = change();
        if (codes.isEmpty())
            return;
        if (!reprice) {
            outcome.items = ResourceLibrary(dm, contract).itemsUsing(codes);
            return;
        }
        AnalysedPriceApply apply(dm);
        apply.proposeUsing(contract, codes);
        outcome.items = apply.proposedItems();
        if (outcome.items.isEmpty())
            return;
        WriteProposal(apply, outcome);
    });
    return outcome;
}

} // namespace tenvora

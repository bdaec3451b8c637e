#include "boq/PriceAdjustment.h"

#include "boq/BoqLineRules.h"
#include "data/DataModule.h"
#include "data/Money.h"

#include <QSet>
#include <algorithm>
#include <cmath>

namespace tenvora {

namespace {

// A scaled price in cents. Scaling leaves noise in the last binary digits (12.35 x 1 x 100 =
// 1234.9999...): it is taken off, so a whole number of cents stays whole.
double exactCents(double price) {
    return std::round(price * 100.0 * 1e6) / 1e6;
}

double priceOf(qint64 cents) {
    // The nearest double to the decimal, as reading "12.35" gives it.
    return static_cast<double>(cents) / 100.0;
}

QString yuan(qint64 amount) {
    return FormatNumber(static_cast<double>(amount), QStringLiteral("#,##0"));
}

QString signedYuan(qint64 amount) {
    return amount > 0 ? QLatin1Char('+') + yuan(amount) : yuan(amount);
}

} // namespace

PriceAdjustment::PriceAdjustment(DataModule& dm)
    : m_dm(dm), m_lines(dm, DataSetTable{QStringLiteral("jd_htqd"), QStringLiteral("rowid"), {BoqColumn::Price}}) {
    m_lines.setBeforePost(BoqBeforePost);
}

qint64 PriceAdjustment::totalOf(const std::vector<double>& chapterDelta, double baseDelta,
                                std::vector<qint64>* perChapter, qint64* insurance) const {
    const qint64 premium = ContractFigures::premiumOf(m_base + baseDelta);
    if (insurance)
        *insurance = premium;
    if (perChapter)
        perChapter->assign(m_sums.size(), 0);
    qint64 total = 0;
    for (size_t s = 0; s < m_sums.size(); ++s) {
        const qint64 chapter =
            ContractFigures::storedChapterTotal(m_sums[s].others + chapterDelta[s], m_sums[s].insuranceLines, premium);
        if (perChapter)
            (*perChapter)[s] = chapter;
        total += chapter;
    }
    return total;
}

qint64 PriceAdjustment::totalWith(const std::vector<double>& amounts, std::vector<qint64>* perChapter,
                                  qint64* insurance) const {
    std::vector<double> delta(m_sums.size(), 0.0);
    double baseDelta = 0;
    for (size_t i = 0; i < m_candidates.size(); ++i) {
        const Candidate& c = m_candidates[i];
        const double change = amounts[i] - c.amount;
        if (c.chapter >= 0)
            delta[static_cast<size_t>(c.chapter)] += change;
        if (c.inBase)
            baseDelta += change;
    }
    return totalOf(delta, baseDelta, perChapter, insurance);
}

qint64 PriceAdjustment::totalWithFactor(double factor) const {
    std::vector<double> amounts;
    amounts.reserve(m_candidates.size());
    for (const Candidate& c : m_candidates)
        amounts.push_back(c.price * c.quantity * factor);
    return totalWith(amounts);
}

void PriceAdjustment::propose(const QString& contract, const AdjustmentRequest& request) {
    m_proposed = false;
    m_changed.clear();
    m_chapters.clear();
    m_candidates.clear();
    m_sums.clear();
    m_largestDeviation = 0;
    m_largestDeviationItem.clear();
    if (request.target.has_value() == request.percent.has_value())
        throw Refused(QStringLiteral("请给出目标清单合计或调整的百分比，二者取一"));
    if (request.target && (!std::isfinite(*request.target) || *request.target < 0))
        throw Refused(QStringLiteral("目标清单合计必须是不小于 0 的金额"));
    if (request.percent && (!std::isfinite(*request.percent) || *request.percent <= -100))
        throw Refused(QStringLiteral("调整的百分比必须大于 -100"));
    m_contract = contract;

    // One pass over the contract's lines: every line counts in the figures, the lines that can
    // be adjusted are kept for the proposal's list.
    const QSet<QString> scope(request.chapters.begin(), request.chapters.end());
    QStringList columns;
    std::vector<QVariantList> kept;
    ContractFigures figures = ContractFigures::read(
        m_dm, contract, ContractFigures::Parts::Boq, [&](const Statement& st, const FigureLine& line) {
            if (columns.isEmpty())
                for (int c = 0; c < ContractFigures::kPricedColumns; ++c)
                    columns << st.columnName(c);
            if (!line.price || *line.price == 0 || line.supplementary ||
                (!scope.isEmpty() && !scope.contains(line.chapter)))
                return;
            if (IsPriceLocked(st.value(5), line.item, line.unit, line.chapter))
                return;
            QVariantList row;
            row.reserve(ContractFigures::kPricedColumns);
            for (int c = 0; c < ContractFigures::kPricedColumns; ++c)
                row << st.value(c);
            kept.push_back(std::move(row));
        });
    m_totalBefore = figures.boqTotalAsRecomputed();
    m_insuranceBefore = figures.insurance();
    m_base = figures.insuranceBaseSum();
    m_sums = figures.storedTotalTerms();
    m_figures.take(m_dm, std::move(figures));
    QHash<QString, int> sumIndex;
    for (size_t s = 0; s < m_sums.size(); ++s)
        sumIndex.insert(m_sums[s].chapter, static_cast<int>(s));
    m_lines.openRows(columns, std::move(kept));
    const int chapterColumn = m_lines.columnIndex(BoqColumn::Chapter);
    const int itemColumn = m_lines.columnIndex(BoqColumn::Item);
    const int priceColumn = m_lines.columnIndex(BoqColumn::Price);
    const int quantityColumn = m_lines.columnIndex(BoqColumn::Quantity);
    const int amountColumn = m_lines.columnIndex(BoqColumn::Amount);
    for (int r = 0; r < m_lines.rowCount(); ++r) {
        const QString chapter = m_lines.storedValue(r, chapterColumn).toString();
        const QString item = m_lines.storedValue(r, itemColumn).toString();
        const int index = ContractFigures::countsInStoredTotal(chapter, item) ? sumIndex.value(chapter, -1) : -1;
        m_candidates.push_back({r, index, ContractFigures::countsInBase(chapter, item),
                                NumberOf(m_lines.storedValue(r, priceColumn)).value_or(0.0),
                                NumberOf(m_lines.storedValue(r, quantityColumn)).value_or(0.0),
                                NumberOf(m_lines.storedValue(r, amountColumn)).value_or(0.0)});
    }
    if (m_candidates.empty())
        throw Refused(QStringLiteral("所选范围内没有可以调价的细目（只调整已录入单价、且单价不为 0 的可录入细目）"));

    // The factor: given, or the one that meets the target with prices left unrounded. The total
    // rises with the factor and nearly in proportion, so a secant inside a shrinking bracket
    // finds it in a few rounds; every fourth round halves the bracket so that it cannot stall.
    if (request.percent) {
        m_factor = 1.0 + *request.percent / 100.0;
        m_target = totalWithFactor(m_factor);
    } else {
        m_target = RoundAmount(*request.target);
        double low = 0.0;
        qint64 atLow = totalWithFactor(0.0);
        if (m_target <= atLow)
            throw Refused(
                QStringLiteral("目标清单合计 %1 不高于不调价部分的合计 %2，达不到").arg(yuan(m_target), yuan(atLow)));
        double high = 1.0;
        qint64 atHigh = totalWithFactor(high);
        while (atHigh < m_target) {
            low = high;
            atLow = atHigh;
            high *= 2.0;
            if (high > 1e6)
                throw Refused(QStringLiteral("目标清单合计 %1 太高，达不到").arg(yuan(m_target)));
            atHigh = totalWithFactor(high);
        }
        for (int round = 0; round < 100 && atHigh != m_target && high - low > 1e-15 * high; ++round) {
            double next =
                low + (high - low) * static_cast<double>(m_target - atLow) / static_cast<double>(atHigh - atLow);
            if (round % 4 == 3 || !(next > low && next < high))
                next = (low + high) / 2.0;
            const qint64 at = totalWithFactor(next);
            if (at < m_target) {
                low = next;
                atLow = at;
            } else {
                high = next;
                atHigh = at;
            }
        }
        m_factor = high;
    }

    // Each price to the nearest cent of its scaled price; a line may instead take the other
    // cent on the side of its scaled price (either side when it falls on a cent), which keeps
    // it within 0.01 of old price x factor.
    std::vector<qint64> cents;
    std::vector<double> scaled;
    std::vector<double> amounts;
    cents.reserve(m_candidates.size());
    scaled.reserve(m_candidates.size());
    amounts.reserve(m_candidates.size());
    for (const Candidate& c : m_candidates) {
        const double exact = exactCents(c.price * m_factor);
        const auto nearest = static_cast<qint64>(std::round(exact));
        scaled.push_back(exact);
        cents.push_back(nearest);
        amounts.push_back(static_cast<double>(RoundAmount(priceOf(nearest) * c.quantity)));
    }
    std::vector<double> delta(m_sums.size(), 0.0);
    double baseDelta = 0;
    const auto move = [&](size_t i, double change) {
        const Candidate& c = m_candidates[i];
        if (c.chapter >= 0)
            delta[static_cast<size_t>(c.chapter)] += change;
        if (c.inBase)
            baseDelta += change;
    };
    for (size_t i = 0; i < m_candidates.size(); ++i)
        move(i, amounts[i] - m_candidates[i].amount);
    qint64 total = totalOf(delta, baseDelta);

    // What is left to the target is spread by single cents, largest quantities first, each
    // taken only when it brings the total nearer.
    std::vector<size_t> order(m_candidates.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return std::fabs(m_candidates[a].quantity) > std::fabs(m_candidates[b].quantity);
    });
    std::vector<bool> moved(m_candidates.size(), false);
    for (const size_t i : order) {
        const qint64 missing = m_target - total;
        if (missing == 0)
            break;
        const Candidate& c = m_candidates[i];
        // A cent up raises the amount when the quantity is positive.
        const int up = (missing > 0) == (c.quantity > 0) ? 1 : -1;
        const bool allowed = up > 0 ? scaled[i] >= static_cast<double>(cents[i])
                                    : scaled[i] <= static_cast<double>(cents[i]) && cents[i] > 1;
        if (!allowed || moved[i] || c.quantity == 0)
            continue;
        const qint64 tryCents = cents[i] + up;
        const double amount = static_cast<double>(RoundAmount(priceOf(tryCents) * c.quantity));
        const double change = amount - amounts[i];
        if (change == 0)
            continue;
        move(i, change);
        const qint64 tried = totalOf(delta, baseDelta);
        if (std::llabs(m_target - tried) < std::llabs(missing)) {
            total = tried;
            cents[i] = tryCents;
            amounts[i] = amount;
            moved[i] = true;
        } else {
            move(i, -change);
        }
    }

    std::vector<qint64> perChapter;
    m_totalAfter = totalWith(amounts, &perChapter, &m_insuranceAfter);
    for (size_t i = 0; i < m_candidates.size(); ++i) {
        const Candidate& c = m_candidates[i];
        const double price = priceOf(cents[i]);
        const QVariant oldPrice = m_lines.storedValue(c.row, priceColumn);
        if (SameStoredValue(oldPrice, price) &&
            SameStoredValue(m_lines.storedValue(c.row, amountColumn), static_cast<qlonglong>(amounts[i])))
            continue;
        const QString item = m_lines.storedValue(c.row, itemColumn).toString();
        const double deviation = std::fabs(price - c.price * m_factor);
        if (deviation > m_largestDeviation || m_largestDeviationItem.isEmpty()) {
            m_largestDeviation = deviation;
            m_largestDeviationItem = item;
        }
        m_changed.push_back({c.row, m_lines.keyOf(c.row).toLongLong(),
                             m_lines.storedValue(c.row, chapterColumn).toString(), item, oldPrice, price,
                             m_lines.storedValue(c.row, amountColumn), static_cast<qint64>(amounts[i])});
    }
    for (size_t s = 0; s < m_sums.size(); ++s) {
        const qint64 before = m_figures.figures.storedChapterTotal(m_sums[s].chapter);
        if (before != perChapter[s] || m_sums[s].insuranceLines > 0)
            m_chapters.push_back({m_sums[s].chapter, before, perChapter[s]});
    }
    m_proposed = true;
}

QString PriceAdjustment::summary() const {
    QStringList lines;
    lines << QStringLiteral("目标清单合计：%1").arg(yuan(m_target))
          << QStringLiteral("调价后清单合计：%1（与目标相差 %2）").arg(yuan(m_totalAfter), signedYuan(distance()))
          << QStringLiteral("调价前清单合计：%1").arg(yuan(m_totalBefore))
          << QStringLiteral("单价系数：%1").arg(FormatNumber(m_factor, QStringLiteral("0.000000")))
          << QStringLiteral("单价偏离系数最多：%1 元%2")
                 .arg(FormatNumber(m_largestDeviation, QStringLiteral("0.00##")),
                      m_largestDeviationItem.isEmpty() ? QString()
                                                       : QStringLiteral("（细目 %1）").arg(m_largestDeviationItem))
          << QStringLiteral("调整的细目：%1 行（可调价的细目 %2 行）").arg(m_changed.size()).arg(adjustableCount())
          << QStringLiteral("保险费：%1 → %2").arg(yuan(m_insuranceBefore), yuan(m_insuranceAfter));
    return lines.join(QLatin1Char('\n'));
}

std::vector<PriceChange> PriceAdjustment::apply() {
    if (!m_proposed)
        throw Refused(QStringLiteral("还没有调价方案"));
    std::vector<std::pair<int, QVariant>> writes;
    for (const AdjustedLine& line : m_changed)
        writes.emplace_back(line.row, line.newPrice);
    std::vector<PriceChange> changes =
        PostProposedPrices(m_dm, m_contract, m_lines, writes, m_figures, [](const QString& item) {
            return QStringLiteral("细目“%1”在算出调价方案之后已被改动，没有调价；请重新计算方案").arg(item);
        });
    m_proposed = false;
    return changes;
}

} // namespace tenvora

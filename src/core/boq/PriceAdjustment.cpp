#include "boq/PriceAdjustment.h"

#include "boq/BoqLineRules.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "data/NaturalOrder.h"

#include <QSet>
#include <algorithm>
#include <cmath>

namespace tenvora {

namespace {

// Cents of a scaled price, the nearest and the other neighbour (the same when it is whole).
struct Cents {
    qint64 nearest;
    qint64 other;
};

Cents centsOf(double price) {
    // Scaling leaves noise in the last binary digits (12.35 x 1 x 100 = 1234.9999...): it is
    // taken off before rounding, so a whole number of cents stays whole.
    const double cents = std::round(price * 100.0 * 1e6) / 1e6;
    const auto nearest = static_cast<qint64>(std::round(cents));
    const double rest = cents - static_cast<double>(nearest);
    return {nearest, rest > 0 ? nearest + 1 : rest < 0 ? nearest - 1 : nearest};
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

PriceAdjustment::PriceAdjustment(TDmMain& dm)
    : m_dm(dm), m_lines(dm, DataSetTable{QStringLiteral("jd_htqd"), QStringLiteral("rowid"), {BoqColumn::Price}}) {
    m_lines.setBeforePost(BoqBeforePost);
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
    const qint64 premium = BoqTotals::insuranceAmount(RoundAmount(m_base + baseDelta));
    if (insurance)
        *insurance = premium;
    qint64 total = 0;
    if (perChapter)
        perChapter->assign(m_sums.size(), 0);
    for (size_t s = 0; s < m_sums.size(); ++s) {
        const qint64 chapter = RoundAmount(
            m_sums[s].others + delta[s] + static_cast<double>(static_cast<qint64>(m_sums[s].insuranceLines) * premium));
        if (perChapter)
            (*perChapter)[s] = chapter;
        total += chapter;
    }
    return total;
}

qint64 PriceAdjustment::totalWithFactor(double factor) const {
    std::vector<double> delta(m_sums.size(), 0.0);
    double baseDelta = 0;
    for (const Candidate& c : m_candidates) {
        const double change = c.price * c.quantity * factor - c.amount;
        if (c.chapter >= 0)
            delta[static_cast<size_t>(c.chapter)] += change;
        if (c.inBase)
            baseDelta += change;
    }
    const qint64 premium = BoqTotals::insuranceAmount(RoundAmount(m_base + baseDelta));
    qint64 total = 0;
    for (size_t s = 0; s < m_sums.size(); ++s)
        total += RoundAmount(m_sums[s].others + delta[s] +
                             static_cast<double>(static_cast<qint64>(m_sums[s].insuranceLines) * premium));
    return total;
}

void PriceAdjustment::propose(const QString& contract, const AdjustmentRequest& request) {
    m_proposed = false;
    m_changed.clear();
    m_chapters.clear();
    m_candidates.clear();
    m_sums.clear();
    if (request.target.has_value() == request.percent.has_value())
        throw Refused(QStringLiteral("请给出目标清单合计或调整的百分比，二者取一"));
    if (request.target && (!std::isfinite(*request.target) || *request.target < 0))
        throw Refused(QStringLiteral("目标清单合计必须是不小于 0 的金额"));
    if (request.percent && (!std::isfinite(*request.percent) || *request.percent <= -100))
        throw Refused(QStringLiteral("调整的百分比必须大于 -100"));
    m_contract = contract;

    // One pass over the contract's lines: every line counts in the totals, the lines that can
    // be adjusted are kept for the proposal's list.
    const QSet<QString> scope(request.chapters.begin(), request.chapters.end());
    BoqLiveTotals totals;
    QStringList columns;
    std::vector<QVariantList> kept;
    enum { Key, Chapter, Section, Item, Unit, Quantity, Price, Amount, Supplementary, Count };
    int columnAt[Count] = {};
    m_dm.RunSelect(
        QStringLiteral("select %1, 是否补充 from jd_htqd where 合同编号 = ? order by rowid").arg(PricedLineColumns()),
        {contract}, [&](const Statement& st) {
            if (columns.isEmpty()) {
                for (int c = 0; c < st.columnCount(); ++c)
                    columns << st.columnName(c);
                const QStringList named = {QStringLiteral("rowid"), BoqColumn::Chapter, BoqColumn::Section,
                                           BoqColumn::Item,         BoqColumn::Unit,    BoqColumn::Quantity,
                                           BoqColumn::Price,        BoqColumn::Amount,  QStringLiteral("是否补充")};
                for (int i = 0; i < Count; ++i)
                    columnAt[i] = static_cast<int>(columns.indexOf(named[i]));
            }
            const QString chapter = st.value(columnAt[Chapter]).toString();
            const QString item = st.value(columnAt[Item]).toString();
            const QVariant amount = st.value(columnAt[Amount]);
            totals.addLine(chapter, item, amount);
            const QVariant price = st.value(columnAt[Price]);
            const std::optional<double> number = NumberOf(price);
            if (!number || *number == 0 || NumberOf(st.value(columnAt[Supplementary])).value_or(0.0) != 0 ||
                (!scope.isEmpty() && !scope.contains(chapter)))
                return;
            const QVariant quantity = st.value(columnAt[Quantity]);
            const QVariant unit = st.value(columnAt[Unit]);
            if (IsPriceLocked(quantity, item, unit.toString()))
                return;
            QVariantList row;
            row.reserve(Count);
            for (int c = 0; c < st.columnCount(); ++c)
                row << st.value(c);
            kept.push_back(std::move(row));
        });
    m_totalBefore = totals.contractTotal();
    m_insuranceBefore = totals.insurance();
    m_base = totals.base();
    QStringList codes = totals.chapters();
    std::sort(codes.begin(), codes.end(),
              [](const QString& a, const QString& b) { return CompareItemNumbers(a, b) < 0; });
    QHash<QString, int> sumIndex;
    for (const QString& code : codes) {
        sumIndex.insert(code, static_cast<int>(m_sums.size()));
        m_sums.push_back({code, totals.chapterOthers(code), totals.insuranceLines(code)});
    }
    m_lines.openRows(columns, std::move(kept));
    const int chapterColumn = m_lines.columnIndex(BoqColumn::Chapter);
    const int itemColumn = m_lines.columnIndex(BoqColumn::Item);
    const int priceColumn = m_lines.columnIndex(BoqColumn::Price);
    const int quantityColumn = m_lines.columnIndex(BoqColumn::Quantity);
    const int amountColumn = m_lines.columnIndex(BoqColumn::Amount);
    for (int r = 0; r < m_lines.rowCount(); ++r) {
        const QString chapter = m_lines.storedValue(r, chapterColumn).toString();
        const QString item = m_lines.storedValue(r, itemColumn).toString();
        int index = -1;
        if (BoqLiveTotals::countsInChapter(chapter, item)) {
            index = sumIndex.value(chapter, -1);
            if (index < 0) {
                index = static_cast<int>(m_sums.size());
                sumIndex.insert(chapter, index);
                m_sums.push_back({chapter, 0.0, 0});
            }
        }
        m_candidates.push_back({r, index, BoqLiveTotals::countsInBase(item),
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

    // Each price to the nearest cent; then, biggest steps first, lines take the other
    // neighbouring cent while that brings the total nearer the target.
    std::vector<qint64> cents;
    std::vector<qint64> others;
    std::vector<double> amounts;
    cents.reserve(m_candidates.size());
    others.reserve(m_candidates.size());
    amounts.reserve(m_candidates.size());
    for (const Candidate& c : m_candidates) {
        const Cents scaled = centsOf(c.price * m_factor);
        cents.push_back(scaled.nearest);
        others.push_back(scaled.other);
        amounts.push_back(static_cast<double>(RoundAmount(priceOf(scaled.nearest) * c.quantity)));
    }
    qint64 total = totalWith(amounts);
    struct Step {
        size_t candidate;
        double change;
    };
    std::vector<Step> steps;
    for (size_t i = 0; i < m_candidates.size(); ++i) {
        if (others[i] == cents[i])
            continue;
        const double change =
            static_cast<double>(RoundAmount(priceOf(others[i]) * m_candidates[i].quantity)) - amounts[i];
        if (change != 0)
            steps.push_back({i, change});
    }
    std::stable_sort(steps.begin(), steps.end(),
                     [](const Step& a, const Step& b) { return std::fabs(a.change) > std::fabs(b.change); });
    // Chapter and base sums kept as the steps go, so that each try costs one pass over the chapters.
    std::vector<double> delta(m_sums.size(), 0.0);
    double baseDelta = 0;
    for (size_t i = 0; i < m_candidates.size(); ++i) {
        const double change = amounts[i] - m_candidates[i].amount;
        if (m_candidates[i].chapter >= 0)
            delta[static_cast<size_t>(m_candidates[i].chapter)] += change;
        if (m_candidates[i].inBase)
            baseDelta += change;
    }
    const auto evaluate = [&] {
        const qint64 premium = BoqTotals::insuranceAmount(RoundAmount(m_base + baseDelta));
        qint64 sum = 0;
        for (size_t s = 0; s < m_sums.size(); ++s)
            sum += RoundAmount(m_sums[s].others + delta[s] +
                               static_cast<double>(static_cast<qint64>(m_sums[s].insuranceLines) * premium));
        return sum;
    };
    for (const Step& step : steps) {
        const qint64 missing = m_target - total;
        if (missing == 0)
            break;
        if ((step.change > 0) != (missing > 0) ||
            std::fabs(static_cast<double>(missing) - step.change) >= std::fabs(static_cast<double>(missing)))
            continue;
        const Candidate& c = m_candidates[step.candidate];
        const auto move = [&](double change) {
            if (c.chapter >= 0)
                delta[static_cast<size_t>(c.chapter)] += change;
            if (c.inBase)
                baseDelta += change;
        };
        move(step.change);
        const qint64 tried = evaluate();
        if (std::llabs(m_target - tried) < std::llabs(missing)) {
            total = tried;
            std::swap(cents[step.candidate], others[step.candidate]);
            amounts[step.candidate] += step.change;
        } else {
            move(-step.change);
        }
    }

    // What is left goes to one line: one whose quantity lets every whole yuan be reached (a cent
    // moves it by at most one yuan), the one with the largest amount so that its price moves
    // least; without such a line, the one with the smallest quantity (the finest step).
    if (total != m_target) {
        std::optional<size_t> taker;
        const auto better = [&](size_t i, size_t than) {
            const double q = std::fabs(m_candidates[i].quantity);
            const double qThan = std::fabs(m_candidates[than].quantity);
            if ((q <= 100) != (qThan <= 100))
                return q <= 100;
            return q <= 100 ? std::fabs(amounts[i]) > std::fabs(amounts[than]) : q < qThan;
        };
        for (size_t i = 0; i < m_candidates.size(); ++i)
            if (m_candidates[i].quantity != 0 && cents[i] > 0 && (!taker || better(i, *taker)))
                taker = i;
        for (int round = 0; taker && round < 4 && total != m_target; ++round) {
            const size_t i = *taker;
            const Candidate& c = m_candidates[i];
            const auto guess =
                static_cast<qint64>(std::llround(static_cast<double>(m_target - total) * 100.0 / c.quantity));
            qint64 bestCents = cents[i];
            double bestAmount = amounts[i];
            qint64 best = total;
            for (qint64 tryCents = cents[i] + guess - 2; tryCents <= cents[i] + guess + 2; ++tryCents) {
                if (tryCents <= 0)
                    continue;
                const double amount = static_cast<double>(RoundAmount(priceOf(tryCents) * c.quantity));
                const double change = amount - amounts[i];
                if (c.chapter >= 0)
                    delta[static_cast<size_t>(c.chapter)] += change;
                if (c.inBase)
                    baseDelta += change;
                const qint64 tried = evaluate();
                if (std::llabs(m_target - tried) < std::llabs(m_target - best)) {
                    best = tried;
                    bestCents = tryCents;
                    bestAmount = amount;
                }
                if (c.chapter >= 0)
                    delta[static_cast<size_t>(c.chapter)] -= change;
                if (c.inBase)
                    baseDelta -= change;
            }
            if (bestCents == cents[i])
                break;
            const double change = bestAmount - amounts[i];
            if (c.chapter >= 0)
                delta[static_cast<size_t>(c.chapter)] += change;
            if (c.inBase)
                baseDelta += change;
            cents[i] = bestCents;
            amounts[i] = bestAmount;
            total = best;
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
        m_changed.push_back({c.row, m_lines.keyOf(c.row).toLongLong(),
                             m_lines.storedValue(c.row, chapterColumn).toString(),
                             m_lines.storedValue(c.row, itemColumn).toString(), oldPrice, price,
                             m_lines.storedValue(c.row, amountColumn), static_cast<qint64>(amounts[i])});
    }
    for (size_t s = 0; s < m_sums.size(); ++s) {
        const qint64 before = totals.chapterTotal(m_sums[s].chapter);
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
          << QStringLiteral("调整的细目：%1 行（可调价的细目 %2 行）").arg(m_changed.size()).arg(adjustableCount())
          << QStringLiteral("保险费：%1 → %2").arg(yuan(m_insuranceBefore), yuan(m_insuranceAfter));
    return lines.join(QLatin1Char('\n'));
}

std::vector<PriceChange> PriceAdjustment::apply() {
    if (!m_proposed)
        throw Refused(QStringLiteral("还没有调价方案"));
    std::vector<std::pair<int, QVariant>> writes;
    std::vector<int> rows;
    QStringList recompute;
    for (const AdjustedLine& line : m_changed) {
        writes.emplace_back(line.row, line.newPrice);
        rows.push_back(line.row);
        if (!recompute.contains(line.chapter))
            recompute << line.chapter;
    }
    for (const ChapterSum& sum : m_sums)
        if (sum.insuranceLines > 0 && !recompute.contains(sum.chapter))
            recompute << sum.chapter;
    std::vector<PriceChange> changes;
    m_dm.RunChange([&] {
        std::vector<QVariantList> before;
        try {
            before = m_lines.postValues(m_lines.columnIndex(BoqColumn::Price), writes);
        } catch (const RowChangedElsewhere& e) {
            throw Refused(QStringLiteral("细目“%1”在算出调价方案之后已被改动，没有调价；请重新计算方案")
                              .arg(m_lines.storedValue(e.row(), m_lines.columnIndex(BoqColumn::Item)).toString()));
        }
        changes = PostedChanges(m_lines, rows, before);
        std::vector<PriceChange> computed = RecordedRecompute(m_dm, m_contract, recompute);
        changes.insert(changes.end(), computed.begin(), computed.end());
    });
    m_proposed = false;
    return changes;
}

} // namespace tenvora

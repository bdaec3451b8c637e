#include "owner/BidEvaluation.h"

#include "data/Money.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tenvora {

QString EvaluationParameters::problem() const {
    for (const double v : {deviationPercent, k, e1, e2, fullScore})
        if (!std::isfinite(v))
            return QStringLiteral("评标参数必须是数字");
    if (deviationPercent <= 0)
        return QStringLiteral("不平衡报价的偏差范围必须大于 0%");
    if (k < 0 || k >= 1)
        return QStringLiteral("下浮系数 K 必须在 0 到 1 之间（可以是 0，不能是 1）");
    if (e1 < 0 || e2 < 0)
        return QStringLiteral("扣分系数 E1、E2 不能是负数");
    if (fullScore <= 0)
        return QStringLiteral("满分 F 必须大于 0");
    // Leaving out the highest and the lowest of fewer than three would leave nothing to average.
    if (dropExtremesFrom < 3)
        return QStringLiteral("去掉最高和最低报价的家数至少为 3");
    return {};
}

QString EvaluationParameters::text() const {
    return QStringLiteral("不平衡报价的偏差范围 ±%1%，下浮系数 K = %2，E1 = %3，E2 = %4，满分 F = %5，"
                          "%6 家及以上时去掉一个最高和一个最低报价")
        .arg(GeneralText(deviationPercent), GeneralText(k), GeneralText(e1), GeneralText(e2), GeneralText(fullScore))
        .arg(dropExtremesFrom);
}

bool EvaluationParameters::unbalanced(double price, double median) const {
    return std::abs(price - median) * 100 > deviationPercent * std::abs(median);
}

Evaluation Evaluate(const std::vector<qint64>& correctedPrices, const EvaluationParameters& parameters) {
    Evaluation e;
    const size_t n = correctedPrices.size();
    e.ranks.assign(n, 0);
    e.deviations.assign(n, std::nullopt);
    e.scores.assign(n, std::nullopt);
    if (n == 0) {
        e.refusal = QStringLiteral("没有可以评审的投标");
        return e;
    }
    for (size_t i = 0; i < n; ++i)
        e.ranks[i] = 1 + static_cast<int>(std::count_if(correctedPrices.begin(), correctedPrices.end(),
                                                        [&](qint64 p) { return p < correctedPrices[i]; }));

    std::vector<qint64> counted = correctedPrices;
    std::sort(counted.begin(), counted.end());
    if (static_cast<int>(n) >= parameters.dropExtremesFrom) {
        counted.erase(counted.begin());
        counted.pop_back();
        e.extremesDropped = true;
    }
    e.counted = static_cast<int>(counted.size());
    // Whole yuan summed exactly, divided once.
    const long double sum = std::accumulate(counted.begin(), counted.end(), 0.0L,
                                            [](long double s, qint64 p) { return s + static_cast<long double>(p); });
    e.mean = static_cast<double>(sum / static_cast<long double>(counted.size()));
    const double benchmark = e.mean * (1 - parameters.k);
    if (!(benchmark > 0)) {
        e.refusal = QStringLiteral("评标基准价不大于 0，无法计算偏差率和得分");
        return e;
    }
    e.benchmark = benchmark;
    for (size_t i = 0; i < n; ++i) {
        const double d = (static_cast<double>(correctedPrices[i]) - benchmark) / benchmark;
        e.deviations[i] = d;
        e.scores[i] = parameters.fullScore - 100 * std::abs(d) * (d >= 0 ? parameters.e1 : parameters.e2);
    }
    return e;
}

QString DeviationText(double fraction) {
    const QString text = FormatNumber(fraction * 100, QStringLiteral("0.00")) + QLatin1Char('%');
    return fraction > 0 && text != QLatin1String("0.00%") ? QLatin1Char('+') + text : text;
}

PriceSpread SpreadOf(std::vector<double>& prices) {
    std::sort(prices.begin(), prices.end());
    const size_t n = prices.size();
    const double median = n % 2 ? prices[n / 2] : (prices[n / 2 - 1] + prices[n / 2]) / 2;
    return {prices.front(), median, prices.back()};
}

} // namespace tenvora

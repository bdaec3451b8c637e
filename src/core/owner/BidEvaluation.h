// The evaluation of the valid bids' corrected prices, and the spread of the unit prices of one
// line across the bids. Pure arithmetic on figures already worked out (BidClearing).
//
// Benchmark. B = the mean of the valid bids' corrected prices, leaving out the highest and the
// lowest (one each) when at least dropExtremesFrom bids are valid, times (1 - K).
// Deviation rate D = (price - B) / B. Price score F - 100 x |D| x E1 when D >= 0, and
// F - 100 x |D| x E2 when D < 0 (a score may fall below 0; it is not cut off). Ranks follow the
// corrected price, lowest first; equal prices share a rank (1, 1, 3).
// Unbalanced: a unit price p outside +/- deviationPercent of the median m of its line, that is
// |p - m| x 100 > deviationPercent x |m|; the amount at stake is (p - m) x quantity.
#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace tenvora {

struct EvaluationParameters {
    double deviationPercent = 30;
    double k = 0;
    double e1 = 2;
    double e2 = 1;
    double fullScore = 100;
    int dropExtremesFrom = 5;

    // Why these cannot be used ("K 必须在 0 到 1 之间（不含 1）"), or an empty text.
    QString problem() const;
    // "偏差范围 ±30%，K = 0，E1 = 2，E2 = 1，F = 100，5 家及以上去掉最高和最低"
    QString text() const;
    // Whether a unit price lies outside the range around its line's median.
    bool unbalanced(double price, double median) const;
};

struct Evaluation {
    std::optional<double> benchmark; // none when refused
    double mean = 0;                 // of the prices counted
    int counted = 0;                 // prices in the mean
    bool extremesDropped = false;
    QString refusal; // why there is no benchmark ("没有可以评审的投标")
    // Per price given, in the order given; rank 0 and no deviation or score without a benchmark.
    std::vector<int> ranks;
    std::vector<std::optional<double>> deviations;
    std::vector<std::optional<double>> scores;
};

// The evaluation of these corrected prices (one per valid bid).
Evaluation Evaluate(const std::vector<qint64>& correctedPrices, const EvaluationParameters& parameters);

struct PriceSpread {
    double min = 0;
    double median = 0;
    double max = 0;
};

// A deviation rate as printed: "+12.34%", "-5.00%", "0.00%".
QString DeviationText(double fraction);

// The spread of a line's unit prices (not empty); the median of an even count is the mean of
// the middle two. Reorders the values.
PriceSpread SpreadOf(std::vector<double>& prices);

} // namespace tenvora

// Exact decimals of the unit-price analysis: stored doubles read as their 15 significant digits,
// exact products, sums and percentages, and one rounding half away from zero.
#include "pricing/ExactDecimal.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tenvora;

namespace {

ExactDecimal dec(const char* text) {
    const std::optional<ExactDecimal> d = ExactDecimal::fromText(QString::fromLatin1(text));
    EXPECT_TRUE(d.has_value()) << text;
    return d.value_or(ExactDecimal());
}

struct ReadCase {
    double value;
    const char* exact;
};

class DoubleReading : public testing::TestWithParam<ReadCase> {};

TEST_P(DoubleReading, TakesTheFifteenDigitsTheMoneyCodeShows) {
    EXPECT_EQ(ExactDecimal::fromDouble(GetParam().value).text(), QString::fromLatin1(GetParam().exact));
}

INSTANTIATE_TEST_SUITE_P(Values, DoubleReading,
                         testing::Values(ReadCase{0.35, "0.35"}, ReadCase{2.675, "2.675"}, ReadCase{1.005, "1.005"},
                                         ReadCase{0.1 + 0.2, "0.3"}, ReadCase{1200, "1200"}, ReadCase{-12.5, "-12.5"},
                                         ReadCase{0, "0"}, ReadCase{1e-7, "0.0000001"},
                                         ReadCase{123456789012345.0, "123456789012345"},
                                         ReadCase{1.23456789012345e20, "123456789012345000000"}));

struct ArithmeticCase {
    const char* a;
    const char* b;
    const char* sum;
    const char* product;
};

class Arithmetic : public testing::TestWithParam<ArithmeticCase> {};

TEST_P(Arithmetic, IsExact) {
    const ArithmeticCase& c = GetParam();
    EXPECT_EQ((dec(c.a) + dec(c.b)).text(), QString::fromLatin1(c.sum));
    EXPECT_EQ((dec(c.a) * dec(c.b)).text(), QString::fromLatin1(c.product));
    EXPECT_EQ((dec(c.a) + dec(c.b) - dec(c.b)).text(), dec(c.a).text());
}

INSTANTIATE_TEST_SUITE_P(
    Values, Arithmetic,
    testing::Values(ArithmeticCase{"0.1", "0.2", "0.3", "0.02"}, ArithmeticCase{"-1.5", "0.25", "-1.25", "-0.375"},
                    ArithmeticCase{"999999999", "1", "1000000000", "999999999"},
                    // Across the limbs of 10^9 and far beyond 64 bits.
                    ArithmeticCase{"123456789.123456789", "987654321.987654321", "1111111111.11111111",
                                   "121932631356500531.347203169112635269"},
                    ArithmeticCase{"0.000000000000001", "1000000000000000", "1000000000000000.000000000000001", "1"},
                    ArithmeticCase{"5", "-5", "0", "-25"}));

struct RoundCase {
    const char* exact;
    const char* cents;
    qint64 units;
};

class Rounding : public testing::TestWithParam<RoundCase> {};

TEST_P(Rounding, IsHalfAwayFromZeroOnTheExactValue) {
    const ExactDecimal d = dec(GetParam().exact);
    EXPECT_EQ(d.text(2), QString::fromLatin1(GetParam().cents));
    EXPECT_EQ(d.units(2), GetParam().units);
}

INSTANTIATE_TEST_SUITE_P(Values, Rounding,
                         testing::Values(RoundCase{"1.005", "1.01", 101}, RoundCase{"2.675", "2.68", 268},
                                         RoundCase{"1.0049999999999999999", "1.00", 100},
                                         RoundCase{"-1.005", "-1.01", -101}, RoundCase{"-0.004", "0.00", 0},
                                         RoundCase{"0.995", "1.00", 100},
                                         RoundCase{"999999.995", "1000000.00", 100000000},
                                         RoundCase{"12", "12.00", 1200}, RoundCase{"0.5", "0.50", 50}));

TEST(ExactDecimal, PercentagesAreExact) {
    // 8.5 % of 10.480875 is 0.890874375; a double product gives 0.89087437499999...
    EXPECT_EQ(dec("10.480875").percent(dec("8.5")).text(), QStringLiteral("0.890874375"));
    EXPECT_EQ(ExactDecimal::fromDouble(1.005).toDouble(), 1.005);
}

TEST(ExactDecimal, RefusesWhatItCannotHold) {
    EXPECT_FALSE(ExactDecimal::fromText(QStringLiteral("1e5")).has_value());
    EXPECT_FALSE(ExactDecimal::fromText(QStringLiteral(".")).has_value());
    EXPECT_THROW(ExactDecimal::fromDouble(std::numeric_limits<double>::infinity()), Error);
    EXPECT_THROW(dec("100000000000000000000").units(2), Error);
    EXPECT_EQ(dec("92233720368547758.07").units(2), std::numeric_limits<qint64>::max());
}

} // namespace

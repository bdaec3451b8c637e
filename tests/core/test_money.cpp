#include "data/Errors.h"
#include "data/Money.h"
#include "data/NaturalOrder.h"
#include "support/TestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace tenvora;

struct RoundCase {
    double value;
    qint64 expected;
};

void PrintTo(const RoundCase& c, std::ostream* os) {
    *os << c.value;
}

class RoundAmountTest : public testing::TestWithParam<RoundCase> {};

TEST_P(RoundAmountTest, RoundsHalfUpForPositivesAndTruncatesNegatives) {
    EXPECT_EQ(RoundAmount(GetParam().value), GetParam().expected) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Money, RoundAmountTest,
                         testing::Values(RoundCase{0, 0}, RoundCase{2.5, 3}, RoundCase{2.4999, 2}, RoundCase{-2.5, -2},
                                         RoundCase{-2.7, -2}, RoundCase{-0.4, 0}, RoundCase{12.35 * 100, 1235},
                                         RoundCase{0.125 * 4, 1}, RoundCase{1.005 * 1000, 1005},
                                         RoundCase{186500 * 2.85, 531525},
                                         RoundCase{4503599627370495.5, 4503599627370496},
                                         RoundCase{-9223372036854775808.0, std::numeric_limits<qint64>::min()}));

TEST(Money, RoundAmountRefusesValuesWithoutAWholeNumber) {
    for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                       9.3e18, -9.3e18, 9223372036854775808.0})
        EXPECT_THROW(RoundAmount(bad), Error) << bad;
}

TEST(Money, WholeYuanTextHasNoGroupingOrPoint) {
    EXPECT_EQ(WholeYuanText(qint64{0}), "0");
    EXPECT_EQ(WholeYuanText(qint64{-1234567}), "-1234567");
    EXPECT_EQ(WholeYuanText(1234567.5), "1234568");
    EXPECT_EQ(WholeYuanText(-2.5), "-2");
}

struct GeneralCase {
    double value;
    const char* text;
};

void PrintTo(const GeneralCase& c, std::ostream* os) {
    *os << c.text;
}

class GeneralTextTest : public testing::TestWithParam<GeneralCase> {};

TEST_P(GeneralTextTest, ShortestFormWithFifteenDigits) {
    EXPECT_EQ(GeneralText(GetParam().value).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Money, GeneralTextTest,
                         testing::Values(GeneralCase{1234.5, "1234.5"}, GeneralCase{1200, "1200"}, GeneralCase{0, "0"},
                                         GeneralCase{-0.5, "-0.5"}, GeneralCase{0.1 + 0.2, "0.3"},
                                         GeneralCase{2.675, "2.675"}, GeneralCase{123456789012345, "123456789012345"},
                                         GeneralCase{999999999999999, "999999999999999"}, GeneralCase{1e15, "1E15"},
                                         GeneralCase{1.5e20, "1.5E20"}, GeneralCase{0.00001, "0.00001"},
                                         GeneralCase{0.0000015, "1.5E-6"}, GeneralCase{-1234567.125, "-1234567.125"},
                                         GeneralCase{1.0 / 3, "0.333333333333333"},
                                         GeneralCase{9999999999999999.0, "1E16"}));

struct ParseCase {
    const char* text;
    bool ok;
    double value;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.text;
}

class ParseNumberTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseNumberTest, ReadsOnlyWholeNumbers) {
    const auto parsed = ParseNumber(QString::fromUtf8(GetParam().text));
    ASSERT_EQ(parsed.has_value(), GetParam().ok) << GetParam().text;
    if (parsed) {
        EXPECT_DOUBLE_EQ(*parsed, GetParam().value);
    }
}

INSTANTIATE_TEST_SUITE_P(Money, ParseNumberTest,
                         testing::Values(ParseCase{"12.35", true, 12.35}, ParseCase{" -3 ", true, -3},
                                         ParseCase{"+.5", true, 0.5}, ParseCase{"1e3", true, 1000},
                                         ParseCase{"7.", true, 7}, ParseCase{"", false, 0}, ParseCase{"abc", false, 0},
                                         ParseCase{"1,000", false, 0}, ParseCase{"12.3.4", false, 0},
                                         ParseCase{"inf", false, 0}, ParseCase{"nan", false, 0},
                                         ParseCase{"1e999", false, 0}, ParseCase{"１２", false, 0},
                                         ParseCase{"0x10", false, 0}));

TEST(Money, NumberOfReadsStoredValuesOfAnyType) {
    EXPECT_EQ(NumberOf(QVariant()), std::nullopt);
    EXPECT_EQ(NumberOf(QVariant(qlonglong{42})), 42.0);
    EXPECT_EQ(NumberOf(QVariant(QStringLiteral("12.5"))), 12.5);
    EXPECT_EQ(NumberOf(QVariant(QStringLiteral("十二"))), std::nullopt);
}

struct OrderCase {
    const char* before;
    const char* after;
};

void PrintTo(const OrderCase& c, std::ostream* os) {
    *os << c.before << " < " << c.after;
}

class ItemNumberOrderTest : public testing::TestWithParam<OrderCase> {};

TEST_P(ItemNumberOrderTest, OrdersNaturally) {
    const QString a = QString::fromUtf8(GetParam().before);
    const QString b = QString::fromUtf8(GetParam().after);
    EXPECT_LT(CompareItemNumbers(a, b), 0) << GetParam().before << " < " << GetParam().after;
    EXPECT_GT(CompareItemNumbers(b, a), 0);
}

INSTANTIATE_TEST_SUITE_P(Order, ItemNumberOrderTest,
                         testing::Values(OrderCase{"101-2", "101-10"}, OrderCase{"101-1", "101-1-a"},
                                         OrderCase{"100", "101-1"}, OrderCase{"101-1-a", "101-1-b"},
                                         OrderCase{"99", "100"}, OrderCase{"202-1-b", "202-2"},
                                         OrderCase{"101-1-A", "101-1-a"}, OrderCase{"1", "01-1"}, OrderCase{"", "100"},
                                         OrderCase{"101-9", "101-a"},
                                         OrderCase{"101-99999999999999999999", "101-100000000000000000000"}));

TEST(Order, EqualOnlyForEqualTexts) {
    EXPECT_EQ(CompareItemNumbers(u"101-1-a", u"101-1-a"), 0);
    EXPECT_NE(CompareItemNumbers(u"101-01", u"101-1"), 0);
}

struct DisplayCase {
    QVariant value;
    const char* pattern;
    const char* expected;
};

void PrintTo(const DisplayCase& c, std::ostream* os) {
    *os << c.value.toString().toStdString() << " in \"" << c.pattern << '"';
}

// Every figure the grid, the command line and the report cells show comes from here.
const std::vector<DisplayCase>& displayCases() {
    static const std::vector<DisplayCase> cases = {
        // Decimals: half away from zero on the 15 significant digits.
        {12.347, "0.00", "12.35"},
        {2.675, "0.00", "2.68"},
        {1.005, "0.00", "1.01"},
        {2.85, "0.00", "2.85"},
        {10.5, "0.00", "10.50"},
        {999.995, "0.00", "1000.00"},
        {-0.001, "0.00", "0.00"},
        {1e-7, "0.00", "0.00"},
        {1234567.891, "#,##0.00", "1,234,567.89"},
        {0.5, "#.##", ".5"},
        {2.2, "0.0#", "2.2"},
        {2.255, "0.0#", "2.26"},
        {12.3, "0.###", "12.3"},
        {12.0, "0.###", "12"},
        // No decimals: a whole-yuan amount, rounded as it is stored.
        {186500.0, "0", "186500"},
        {-2.5, "0", "-2"},
        {-2.7, "0", "-2"},
        {0.5, "0", "1"},
        {-1234.5, "#,##0", "-1,234"},
        {100.0, "#,##0", "100"},
        {123456789012.5, "0", "123456789013"},
        {1e20, "0", "100000000000000000000"},
        {QVariant::fromValue<qlonglong>(123456789012), "#,##0", "123,456,789,012"},
        // Default text.
        {QVariant::fromValue<qlonglong>(32), "", "32"},
        {QVariant::fromValue<qlonglong>(1234567890123456789), "", "1234567890123456789"},
        {32.0, "", "32"},
        {186500.0, "", "186500"},
        {2.85, "", "2.85"},
        {0.1 + 0.2, "", "0.3"},
        // Texts and nulls.
        {QStringLiteral("3.5"), "0.00", "3.50"},
        {QStringLiteral("甲"), "0.00", "甲"},
        {QStringLiteral("101-1"), "", "101-1"},
        {QVariant(), "0.00", ""},
    };
    return cases;
}

class DisplayTextTest : public testing::TestWithParam<DisplayCase> {};

TEST_P(DisplayTextTest, OneTextForEveryFigure) {
    EXPECT_EQ(DisplayText(GetParam().value, QString::fromLatin1(GetParam().pattern)),
              QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Money, DisplayTextTest, testing::ValuesIn(displayCases()));

TEST(Money, PatternsAreCheckedBeforeUse) {
    for (const char* good : {"", "0", "0.00", "#,##0.00", "0.###", "#.##", "00"})
        EXPECT_TRUE(IsValidNumberFormat(QString::fromLatin1(good))) << good;
    for (const char* bad : {"x", "0.0.0", ".00", "0.#0", "0.0000000000000000", "0.00%", "0,00"})
        EXPECT_FALSE(IsValidNumberFormat(QString::fromLatin1(bad))) << bad;
    EXPECT_THROW(FormatNumber(1.0, QStringLiteral("abc")), Error);
}

TEST(Money, RoundToDecimalsAgreesWithTheDisplay) {
    for (double v : {2.675, 1.005, 12.347, -2.675, 999.995, 0.0, 3.0})
        EXPECT_EQ(FormatNumber(RoundToDecimals(v, 2), QStringLiteral("0.00")), FormatNumber(v, QStringLiteral("0.00")))
            << v;
    EXPECT_EQ(RoundToDecimals(2.675, 2), 2.68);
    EXPECT_EQ(RoundToDecimals(-0.001, 2), 0.0);
}

TEST(Money, TextsIgnoreACommaDecimalLocale) {
    test::CommaDecimalLocale locale;
    ASSERT_TRUE(locale.active()) << "the locale really uses a decimal comma";
    for (const DisplayCase& c : displayCases())
        EXPECT_EQ(DisplayText(c.value, QString::fromLatin1(c.pattern)), QString::fromUtf8(c.expected))
            << c.value.toString().toStdString() << " in " << c.pattern;
    EXPECT_EQ(GeneralText(1234.5), QStringLiteral("1234.5"));
    EXPECT_EQ(GeneralText(0.0000015), QStringLiteral("1.5E-6"));
    EXPECT_EQ(ParseNumber(QStringLiteral("2.85")), 2.85);
}

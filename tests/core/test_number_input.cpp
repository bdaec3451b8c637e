#include "data/NumberInput.h"

#include <gtest/gtest.h>

using namespace tenvora;

namespace {

struct InputCase {
    const char* typed;
    std::optional<double> value; // nothing: refused
    bool partial;                // may still become a figure while typing
};

void PrintTo(const InputCase& c, std::ostream* os) {
    *os << c.typed;
}

class NumberInputTest : public testing::TestWithParam<InputCase> {};

} // namespace

TEST_P(NumberInputTest, ReadsWhatABidderTypes) {
    const InputCase& c = GetParam();
    const QString typed = QString::fromUtf8(c.typed);
    EXPECT_EQ(ParseNumberInput(typed), c.value);
    EXPECT_EQ(IsPartialNumberInput(typed), c.partial);
}

INSTANTIATE_TEST_SUITE_P(
    NumberInput, NumberInputTest,
    testing::Values(InputCase{"12.35", 12.35, true}, InputCase{"１２３．５", 123.5, true},
                    InputCase{"－１２．５", -12.5, true}, InputCase{"＋７", 7.0, true}, InputCase{"−3", -3.0, true},
                    InputCase{"123。5", 123.5, true}, InputCase{"\u3000１２\u3000", 12.0, true},
                    InputCase{"１Ｅ３", 1000.0, true}, InputCase{"1,234,567.50", 1234567.5, true},
                    InputCase{"１，２３４．５", 1234.5, true}, InputCase{"-1,000", -1000.0, true},
                    InputCase{"123,456,789,012", 123456789012.0, true},
                    // A decimal comma or loose separators are refused rather than read as grouping.
                    InputCase{"12,5", std::nullopt, true}, InputCase{"1,2345", std::nullopt, true},
                    InputCase{",123", std::nullopt, true}, InputCase{"1.234,5", std::nullopt, false},
                    InputCase{"0.123,4", std::nullopt, false}, InputCase{"1,234e,3", std::nullopt, false},
                    // Look-alikes that are no plain digits stay refused.
                    InputCase{"10²", std::nullopt, false}, InputCase{"①", std::nullopt, false},
                    InputCase{"١٢", std::nullopt, false}, InputCase{"１２元", std::nullopt, false},
                    InputCase{"1.2.3", std::nullopt, false}, InputCase{"1 234", std::nullopt, false},
                    // Half-typed figures.
                    InputCase{"－", std::nullopt, true}, InputCase{"１２．", 12.0, true},
                    InputCase{"1e", std::nullopt, true}, InputCase{"", std::nullopt, true}));

TEST(NumberInput, NormalisedTextKeepsThePlainFigure) {
    EXPECT_EQ(NormaliseNumberInput(QStringLiteral("１，２３４．５０")), QStringLiteral("1234.50"));
    EXPECT_EQ(NormaliseNumberInput(QStringLiteral(" -1,000e2 ")), QStringLiteral(" -1000e2 "));
    EXPECT_EQ(NormaliseNumberInput(QStringLiteral("12,5")), std::nullopt);
}

TEST(NumberInput, AFigureThatCannotBeReadSaysWhy) {
    struct Case {
        const char* typed;
        const char* problem; // empty: read as a figure
    };
    const Case cases[] = {
        {"12.35", ""},
        {"１２．５", ""},
        {"1,234.5", ""},
        // The first character that has no place in a figure is named, so "1.5万" is never 1.5.
        {"1.5万", "“万”不能写在数字里"},
        {"12元", "“元”不能写在数字里"},
        {"１２元", "“元”不能写在数字里"},
        {"7x.2", "“x”不能写在数字里"},
        {"10²", "“²”不能写在数字里"},
        {"1\xF0\x9F\x98\x80", "“\xF0\x9F\x98\x80”不能写在数字里"}, // a character outside the basic plane, whole
        {"12,5", "千位分隔符要把整数部分每三位分开，例如 1,234.5"},
        {"1 234", "数字中间不能有空格"},
        {"1e", "不是一个完整的数字"},
        {"1.2.3", "不是一个完整的数字"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NumberInputProblem(QString::fromUtf8(c.typed)), QString::fromUtf8(c.problem)) << c.typed;
}

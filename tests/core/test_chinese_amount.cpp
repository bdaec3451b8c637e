// Amounts in capital figures, as bank documents write them.
#include "reports/ChineseAmount.h"

#include <gtest/gtest.h>
#include <limits>
#include <ostream>

using namespace tenvora;

struct CapitalCase {
    qint64 yuan;
    const char* text;
};

void PrintTo(const CapitalCase& c, std::ostream* os) {
    *os << c.yuan;
}

class CapitalFigures : public testing::TestWithParam<CapitalCase> {};

TEST_P(CapitalFigures, ReadAsOnBankDocuments) {
    EXPECT_EQ(ChineseCapitalAmount(GetParam().yuan), QString::fromUtf8(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    ChineseAmount, CapitalFigures,
    testing::Values(CapitalCase{0, "零元整"}, CapitalCase{7, "柒元整"}, CapitalCase{10, "壹拾元整"},
                    CapitalCase{15, "壹拾伍元整"}, CapitalCase{1010, "壹仟零壹拾元整"},
                    CapitalCase{20304, "贰万零叁佰零肆元整"}, CapitalCase{100000, "壹拾万元整"},
                    CapitalCase{110010, "壹拾壹万零壹拾元整"}, CapitalCase{1000001, "壹佰万零壹元整"},
                    CapitalCase{5812345, "伍佰捌拾壹万贰仟叁佰肆拾伍元整"}, CapitalCase{10001000, "壹仟万壹仟元整"},
                    CapitalCase{100000000, "壹亿元整"}, CapitalCase{100010000, "壹亿零壹万元整"},
                    CapitalCase{1000000001, "壹拾亿零壹元整"},
                    CapitalCase{123456789012, "壹仟贰佰叁拾肆亿伍仟陆佰柒拾捌万玖仟零壹拾贰元整"},
                    CapitalCase{1000000000000, "壹万亿元整"}, CapitalCase{1000100000000, "壹万零壹亿元整"},
                    CapitalCase{-2500, "负贰仟伍佰元整"}, CapitalCase{-10, "负壹拾元整"}));

TEST(ChineseAmount, TheWholeRangeHasATextAndNoStrayZero) {
    for (qint64 yuan : {std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min()}) {
        const QString text = ChineseCapitalAmount(yuan);
        EXPECT_TRUE(text.endsWith(QStringLiteral("元整"))) << text.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("零零"))) << text.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("零元"))) << text.toStdString();
        EXPECT_EQ(text.startsWith(QStringLiteral("负")), yuan < 0);
    }
}

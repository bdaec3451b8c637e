#include "boq/BoqLineRules.h"
#include "boq/PricingCursor.h"
#include "data/DataSet.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tenvora;

namespace {

// A chapter as the editor lists it: heading, insurance, a provisional sum, priced and unpriced lines.
class PricingCursorTest : public testing::Test {
protected:
    void SetUp() override {
        dm = file.open();
        lines = std::make_unique<DataSet>(*dm, DataSetTable{});
        show(rows());
    }
    static std::vector<QVariantList> rows() {
        return {
            {"100", "", QVariant(), QVariant()},   // 0 chapter line: no quantity
            {"101-1-a", "总额", 1, QVariant()},    // 1 insurance
            {"102-1", "总额", 1, 1000.0},          // 2 priced
            {"102-3", "暂定金总额", 1, 4500000.0}, // 3 provisional sum
            {"103-1", "m", 120, QVariant()},       // 4 unpriced
            {"103-2", "m", 0, QVariant()},         // 5 no quantity
            {"20", "m", 5, QVariant()},            // 6 item too short
            {"104-1", "m2", 30, QString()},        // 7 unpriced (empty text)
            {"104-2", "m2", 30, 12.5},             // 8 priced
        };
    }
    void show(std::vector<QVariantList> rows) {
        lines->openRows({BoqColumn::Item, BoqColumn::Unit, BoqColumn::Quantity, BoqColumn::Price}, std::move(rows));
    }

    test::TempDataFile file;
    std::unique_ptr<DataModule> dm;
    std::unique_ptr<DataSet> lines;
};

} // namespace

TEST_F(PricingCursorTest, EnterGoesToTheNextLineThatMayBePriced) {
    const QList<QPair<int, int>> moves = {{-1, 2}, {0, 2}, {2, 4}, {4, 7}, {7, 8}, {8, -1}};
    for (const auto& [from, to] : moves)
        EXPECT_EQ(NextPriceableRow(*lines, from), to) << "from " << from;
}

TEST_F(PricingCursorTest, NextUnpricedGoesRoundAndSkipsLockedAndPricedLines) {
    const QList<QPair<int, int>> moves = {{-1, 4}, {0, 4}, {4, 7}, {7, 4}, {8, 4}};
    for (const auto& [from, to] : moves)
        EXPECT_EQ(NextUnpricedRow(*lines, from), to) << "from " << from;

    std::vector<QVariantList> lone = rows();
    lone[4][3] = 3.0;
    show(lone);
    EXPECT_EQ(NextUnpricedRow(*lines, 4), 7);
    EXPECT_EQ(NextUnpricedRow(*lines, 7), 7) << "a lone unpriced line is found again";
    lone[7][3] = 0.0;
    show(lone);
    EXPECT_EQ(NextUnpricedRow(*lines, 0), 7) << "a price of 0 is no price";
    lone[7][3] = 0.01;
    show(lone);
    EXPECT_EQ(NextUnpricedRow(*lines, 0), -1);
}

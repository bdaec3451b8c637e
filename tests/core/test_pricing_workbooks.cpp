// The resource and build-up workbooks as the imports read them: the sheet found by its headings,
// cells read as the BoQ import reads them, and every bad row named before anything is taken.
#include "boq/Workbook.h"
#include "pricing/LineBuildUps.h"
#include "pricing/ResourceLibrary.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tenvora;

namespace {

using Cells = std::vector<std::vector<WorkbookCell>>;

WorkbookCell txt(const char* text) {
    return WorkbookCell::ofText(QString::fromUtf8(text));
}
WorkbookCell num(double value) {
    return WorkbookCell::ofNumber(value);
}
const WorkbookCell blank{};

WorkbookContents book(const std::vector<std::pair<const char*, Cells>>& sheets) {
    WorkbookContents contents;
    for (const auto& [name, rows] : sheets) {
        WorksheetCells sheet;
        sheet.name = QString::fromUtf8(name);
        sheet.rows = static_cast<int>(rows.size());
        for (const auto& row : rows)
            sheet.columns = std::max(sheet.columns, static_cast<int>(row.size()));
        for (const auto& row : rows)
            for (int c = 0; c < sheet.columns; ++c)
                sheet.cells.push_back(c < static_cast<int>(row.size()) ? row[static_cast<size_t>(c)] : WorkbookCell{});
        contents.sheetNames << sheet.name;
        contents.sheets.push_back(std::move(sheet));
    }
    return contents;
}

QString refusal(const std::function<void()>& read) {
    try {
        read();
    } catch (const Refused& r) {
        return r.text();
    }
    return {};
}

TEST(PricingWorkbooks, ResourcesComeFromTheFirstSheetWithTheHeadings) {
    const WorkbookContents contents = book({
        {"说明", {{txt("本工作簿为工料机单价")}}},
        {"工料机",
         {{txt("类别"), txt("编号"), txt("备注"), txt("名称"), txt("单价"), txt("单位")},
          {txt("人工"), num(1001), txt("x"), txt("普工"), num(135.5), txt("工日")},
          {blank, blank, blank, blank, blank, blank},
          {txt(" 材料 "), txt("M-2"), blank, txt("碎石"), txt("92.80"), txt("m3")},
          {txt("机械"), txt("J1"), blank, txt("挖掘机"), num(0.1 + 0.2), txt("台班")}}},
    });
    const std::vector<Resource> rows = ResourcesFromWorkbook(contents);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].code, QStringLiteral("1001"));
    EXPECT_EQ(rows[0].kind, ResourceKind::Labour);
    EXPECT_EQ(rows[0].price, 135.5);
    EXPECT_EQ(rows[1].kind, ResourceKind::Material);
    EXPECT_EQ(rows[1].price, 92.8);
    EXPECT_EQ(rows[2].price, 0.3) << "a computed figure is taken as the sheet shows it";
}

struct BadSheet {
    const char* name;
    Cells rows;
    const char* mentions; // the refusal names this
};

class BadResourceSheet : public testing::TestWithParam<BadSheet> {};

TEST_P(BadResourceSheet, IsRefusedWithThePlace) {
    const QString text = refusal([&] { ResourcesFromWorkbook(book({{"工料机", GetParam().rows}})); });
    EXPECT_TRUE(text.contains(QString::fromUtf8(GetParam().mentions))) << GetParam().name << ": " << text.toStdString();
}

const std::vector<WorkbookCell> kHeadings{txt("编号"), txt("名称"), txt("单位"), txt("类别"), txt("单价")};

INSTANTIATE_TEST_SUITE_P(
    Sheets, BadResourceSheet,
    testing::Values(
        BadSheet{"missing heading", {{txt("编号"), txt("名称"), txt("单位"), txt("单价")}}, "缺少 类别"},
        BadSheet{"unknown kind", {kHeadings, {txt("R1"), txt("普工"), txt("工日"), txt("劳务"), num(1)}}, "第 2 行"},
        BadSheet{"price not a number",
                 {kHeadings, {txt("R1"), txt("普工"), txt("工日"), txt("人工"), txt("一百")}},
                 "不是数字"},
        BadSheet{"price missing", {kHeadings, {txt("R1"), txt("普工"), txt("工日"), txt("人工"), blank}}, "单价"},
        BadSheet{
            "negative price", {kHeadings, {txt("R1"), txt("普工"), txt("工日"), txt("人工"), num(-1)}}, "不小于 0"},
        BadSheet{"code twice",
                 {kHeadings,
                  {txt("R1"), txt("普工"), txt("工日"), txt("人工"), num(1)},
                  {txt("R1"), txt("技工"), txt("工日"), txt("人工"), num(2)}},
                 "第 2 行和第 3 行"},
        BadSheet{
            "heading twice", {{txt("编号"), txt("编号"), txt("名称"), txt("单位"), txt("类别"), txt("单价")}}, "两次"}),
    [](const testing::TestParamInfo<BadSheet>& param) {
        std::string name = param.param.name;
        for (char& ch : name)
            if (ch == ' ')
                ch = '_';
        return name;
    });

TEST(PricingWorkbooks, BuildUpRowsNeedTheLineTheResourceAndTheConsumption) {
    const Cells headings{{txt("细目编号"), txt("编号"), txt("消耗量")}};
    Cells good = headings;
    good.push_back({txt("203-1-a"), txt("R01"), num(0.012)});
    good.push_back({blank, blank, blank});
    good.push_back({txt("203-1-a"), num(1001), txt("0")});
    const std::vector<BuildUpRow> rows = BuildUpsFromWorkbook(book({{"组成", good}}));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].code, QStringLiteral("1001"));
    EXPECT_EQ(rows[1].consumption, 0.0);

    for (const std::vector<WorkbookCell>& bad : {std::vector<WorkbookCell>{txt("203-1-a"), blank, num(1)},
                                                 std::vector<WorkbookCell>{blank, txt("R01"), num(1)},
                                                 std::vector<WorkbookCell>{txt("203-1-a"), txt("R01"), blank},
                                                 std::vector<WorkbookCell>{blank, blank, num(1)}}) {
        Cells sheet = headings;
        sheet.push_back(bad);
        EXPECT_TRUE(refusal([&] {
                        BuildUpsFromWorkbook(book({{"组成", sheet}}));
                    }).contains(QStringLiteral("第 2 行")));
    }
}

} // namespace

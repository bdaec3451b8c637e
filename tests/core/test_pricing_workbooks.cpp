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

WorkbookCell t(const char* text) {
    return WorkbookCell::ofText(QString::fromUtf8(text));
}
WorkbookCell n(double value) {
    return WorkbookCell::ofNumber(value);
}
const WorkbookCell e{};

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
        {"说明", {{t("本工作簿为工料机单价")}}},
        {"工料机",
         {{t("类别"), t("编号"), t("备注"), t("名称"), t("单价"), t("单位")},
          {t("人工"), n(1001), t("x"), t("普工"), n(135.5), t("工日")},
          {e, e, e, e, e, e},
          {t(" 材料 "), t("M-2"), e, t("碎石"), t("92.80"), t("m3")},
          {t("机械"), t("J1"), e, t("挖掘机"), n(0.1 + 0.2), t("台班")}}},
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

const std::vector<WorkbookCell> kHeadings{t("编号"), t("名称"), t("单位"), t("类别"), t("单价")};

INSTANTIATE_TEST_SUITE_P(
    Sheets, BadResourceSheet,
    testing::Values(BadSheet{"missing heading", {{t("编号"), t("名称"), t("单位"), t("单价")}}, "缺少 类别"},
                    BadSheet{"unknown kind", {kHeadings, {t("R1"), t("普工"), t("工日"), t("劳务"), n(1)}}, "第 2 行"},
                    BadSheet{"price not a number",
                             {kHeadings, {t("R1"), t("普工"), t("工日"), t("人工"), t("一百")}},
                             "不是数字"},
                    BadSheet{"price missing", {kHeadings, {t("R1"), t("普工"), t("工日"), t("人工"), e}}, "单价"},
                    BadSheet{"negative price", {kHeadings, {t("R1"), t("普工"), t("工日"), t("人工"), n(-1)}}, "不小于 0"},
                    BadSheet{"code twice",
                             {kHeadings,
                              {t("R1"), t("普工"), t("工日"), t("人工"), n(1)},
                              {t("R1"), t("技工"), t("工日"), t("人工"), n(2)}},
                             "第 2 行和第 3 行"},
                    BadSheet{"heading twice", {{t("编号"), t("编号"), t("名称"), t("单位"), t("类别"), t("单价")}}, "两次"}),
    [](const testing::TestParamInfo<BadSheet>& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (ch == ' ')
                ch = '_';
        return name;
    });

TEST(PricingWorkbooks, BuildUpRowsNeedTheLineTheResourceAndTheConsumption) {
    const Cells headings{{t("细目编号"), t("编号"), t("消耗量")}};
    Cells good = headings;
    good.push_back({t("203-1-a"), t("R01"), n(0.012)});
    good.push_back({e, e, e});
    good.push_back({t("203-1-a"), n(1001), t("0")});
    const std::vector<BuildUpRow> rows = BuildUpsFromWorkbook(book({{"组成", good}}));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].code, QStringLiteral("1001"));
    EXPECT_EQ(rows[1].consumption, 0.0);

    for (const std::vector<WorkbookCell>& bad : {std::vector<WorkbookCell>{t("203-1-a"), e, n(1)},
                                                 std::vector<WorkbookCell>{e, t("R01"), n(1)},
                                                 std::vector<WorkbookCell>{t("203-1-a"), t("R01"), e},
                                                 std::vector<WorkbookCell>{e, e, n(1)}}) {
        Cells sheet = headings;
        sheet.push_back(bad);
        EXPECT_TRUE(refusal([&] { BuildUpsFromWorkbook(book({{"组成", sheet}})); }).contains(QStringLiteral("第 2 行")));
    }
}

} // namespace

// The owner's bill and day work from workbooks: what is derived and completed, and the workbooks
// refused with the rows named.
#include "OwnerTest.h"

#include "owner/OwnerWorkbook.h"

using namespace tenvora;
using namespace tenvora::test;

namespace {

const QString kBill = QStringLiteral("工程量清单");

struct BadBill {
    const char* name;
    QList<QVariantList> rows;
    QString named; // a text the refusal must hold (the row and the cause)
};

void PrintTo(const BadBill& c, std::ostream* os) {
    *os << c.name;
}

class OwnerBillRefusal : public testing::TestWithParam<BadBill> {};

TEST_P(OwnerBillRefusal, NamesTheRow) {
    const BadBill& c = GetParam();
    try {
        OwnerBillFromWorkbook(WorkbookOf({SheetOf(kBill, c.rows)}), QStringLiteral("/tmp/bill.xlsx"));
        FAIL() << "not refused";
    } catch (const OwnerWorkbookRefused& e) {
        EXPECT_TRUE(e.text().contains(c.named)) << e.text().toStdString();
        EXPECT_TRUE(e.text().contains(QStringLiteral("没有导入任何内容"))) << e.text().toStdString();
    }
}

const QVariantList kHead = BillHeadings();
QVariantList line(const char* item, const QVariant& quantity, const char* unit = "m3", const QVariant& amount = {}) {
    return {QString::fromUtf8(item), QStringLiteral("某细目"), QString::fromUtf8(unit), quantity, amount};
}

INSTANTIATE_TEST_SUITE_P(
    Workbooks, OwnerBillRefusal,
    testing::Values(
        BadBill{"duplicate",
                {kHead, line("203-1-a", 1), line("203-1-b", 2), line("203-1-a", 3)},
                QStringLiteral("第 4 行：细目编号“203-1-a”与第 2 行重复")},
        BadBill{"negative",
                {kHead, line("203-1-a", 1), line("203-1-b", -2.5)},
                QStringLiteral("第 3 行：合同数量 -2.5 是负数")},
        BadBill{"not a number",
                {kHead, line("203-1-a", QStringLiteral("约100"))},
                QStringLiteral("第 2 行：合同数量“约100”不是数字")},
        BadBill{
            "no item number",
            {kHead, line("203-1-a", 1), {QVariant(), QStringLiteral("说明：以下为第300章"), QVariant(), QVariant()}},
            QStringLiteral("第 3 行：有内容却没有细目编号")},
        BadBill{"blank at the end",
                {kHead, line("203-1-a ", 1)},
                QStringLiteral("第 2 行：细目编号“203-1-a ”的前后有空格")},
        BadBill{"not a digit first", {kHead, line("合计", 1)}, QStringLiteral("第 2 行：细目编号“合计”不以数字开头")},
        BadBill{"provisional sum not a number",
                {kHead, line("102-3", 1, "暂定金总额", QStringLiteral("另计"))},
                QStringLiteral("第 2 行：暂定金额的合价“另计”不是数字")},
        BadBill{"provisional sum negative",
                {kHead, line("102-3", 1, "暂定金总额", -5)},
                QStringLiteral("第 2 行：暂定金额的合价 -5 是负数")},
        BadBill{
            "missing heading",
            {{QStringLiteral("细目编号"), QStringLiteral("细目名称"), QStringLiteral("单位")}, {QStringLiteral("1")}},
            QStringLiteral("工作表“工程量清单”：第一行缺少标题：合同数量")},
        BadBill{"heading twice",
                {{QStringLiteral("细目编号"), QStringLiteral("细目名称"), QStringLiteral("单位"),
                  QStringLiteral("合同数量"), QStringLiteral("细目编号")}},
                QStringLiteral("“细目编号”出现了两次（A 列和 E 列）")}),
    CaseName<BadBill>);

TEST(OwnerBill, EveryRowInTheWayIsNamedAtOnce) {
    try {
        OwnerBillFromWorkbook(WorkbookOf({SheetOf(kBill, {kHead, line("203-1-a", -1), line("203-1-b", 1),
                                                          line("203-1-b", QStringLiteral("x"))})}),
                              {});
        FAIL() << "not refused";
    } catch (const OwnerWorkbookRefused& e) {
        ASSERT_EQ(e.problems().size(), 3);
        EXPECT_EQ(e.problems()[0].row, 2);
        EXPECT_EQ(e.problems()[1].row, 4);
        EXPECT_EQ(e.problems()[2].row, 4);
    }
}

TEST(OwnerBill, MissingSheetIsNamedWithTheSheetsThere) {
    try {
        OwnerBillFromWorkbook(WorkbookOf({SheetOf(QStringLiteral("Sheet1"), {kHead})}), {});
        FAIL() << "not refused";
    } catch (const OwnerWorkbookRefused& e) {
        EXPECT_TRUE(
            e.text().contains(QStringLiteral("工作表“工程量清单”：工作簿中没有这张工作表（现有工作表：Sheet1）")))
            << e.text().toStdString();
    }
}

TEST(OwnerBill, ChaptersGetTheirLinesAndPricesStayEmpty) {
    const QList<QVariantList> rows = {
        {QStringLiteral("合同单价"), QStringLiteral("细目编号"), QStringLiteral("细目名称"), QStringLiteral("单位"),
         QStringLiteral("合同数量"), QStringLiteral("合价")},
        {12.5, QStringLiteral("304-1-a"), QStringLiteral("厚200mm"), QStringLiteral("m2"), 124800, 1560000},
        {QVariant(), QStringLiteral("101-1-a"), QStringLiteral("一切险"), QStringLiteral("总额"), 1},
        {QVariant(), 100, QStringLiteral("总则")},
        {QVariant(), QStringLiteral("102-3"), QStringLiteral("安全生产费"), QStringLiteral("暂定金总额"), 1, 4500000},
        {QVariant(), QStringLiteral("801-1"), QStringLiteral("附属工程"), QStringLiteral("项"), QVariant()},
        {},
        {QVariant(), QStringLiteral("304-1"), QStringLiteral("底基层"), QVariant(), QVariant()},
    };
    const OwnerBill bill = OwnerBillFromWorkbook(WorkbookOf({SheetOf(kBill, rows)}), {});
    EXPECT_EQ(bill.addedChapters, (QStringList{QStringLiteral("300"), QStringLiteral("800")}));
    QStringList items;
    for (const OwnerBillLine& l : bill.lines)
        items << l.item;
    EXPECT_EQ(items, (QStringList{QStringLiteral("100"), QStringLiteral("101-1-a"), QStringLiteral("102-3"),
                                  QStringLiteral("300"), QStringLiteral("304-1"), QStringLiteral("304-1-a"),
                                  QStringLiteral("800"), QStringLiteral("801-1")}));

    QTemporaryDir dir;
    const QString file = QDir(dir.path()).filePath(QStringLiteral("t.tr"));
    CreateTenderFile(file, {QStringLiteral("P"), QStringLiteral("项目"), QString(), kOwnerUnit, kOwnerPassword});
    Database db = Database::open(file, DataFileKey());
    TenderContracts(db).add({QStringLiteral("A1"), QStringLiteral("P"), {}, QStringLiteral("A1"), {}, {}});
    const OwnerBillImportResult result = OwnerBoqImport(db).importBill(QStringLiteral("A1"), bill, false);
    EXPECT_EQ(result.lines, 8);

    Statement st =
        db.prepare(QStringLiteral("select 细目编号, 章, 节, 段, 细目名称, 合同数量, 合同单价, 合同金额, 是否补充 "
                                  "from jd_htqd where 合同编号 = 'A1' order by rowid"));
    QStringList got;
    while (st.next()) {
        QStringList cells;
        for (int c = 0; c < 9; ++c)
            cells << (st.value(c).isNull() ? QStringLiteral("∅") : st.value(c).toString());
        got << cells.join(QLatin1Char('|'));
    }
    EXPECT_EQ(got, (QStringList{
                       QStringLiteral("100|100|∅|∅|总则|0|∅|∅|0"),
                       QStringLiteral("101-1-a|100|101-1|101-1-a|一切险|1|∅|∅|0"),
                       QStringLiteral("102-3|100|102-3|∅|安全生产费|1|∅|4500000|0"),
                       QStringLiteral("300|300|∅|∅|路面|0|∅|∅|0"),
                       QStringLiteral("304-1|300|304-1|∅|底基层|0|∅|∅|0"),
                       QStringLiteral("304-1-a|300|304-1|304-1-a|厚200mm|124800|∅|∅|0"),
                       QStringLiteral("800|800|∅|∅|第800章|0|∅|∅|0"),
                       QStringLiteral("801-1|800|801-1|∅|附属工程|0|∅|∅|0"),
                   }));
}

class OwnerImportTarget : public TenderFixture {};

TEST_F(OwnerImportTarget, AHeldBillIsReplacedOnlyWithConsent) {
    fill();
    const OwnerBill bill = OwnerBillFromWorkbook(
        WorkbookOf({SheetOf(kBill, {kHead, line("101-1-a", 1, "总额"), line("203-1-a", 7)})}), {});
    EXPECT_THROW(OwnerBoqImport(m_db).importBill(QStringLiteral("A1"), bill, false), HeldContentRefused);
    EXPECT_EQ(column(QStringLiteral("select count(*) from jd_htqd")).value(0).toInt(), 7);

    const OwnerBillImportResult r = OwnerBoqImport(m_db).importBill(QStringLiteral("A1"), bill, true);
    EXPECT_EQ(r.replaced, 7);
    EXPECT_EQ(column(QStringLiteral("select 细目编号 from jd_htqd order by rowid")),
              (QVariantList{QStringLiteral("100"), QStringLiteral("101-1-a"), QStringLiteral("200"),
                            QStringLiteral("203-1-a")}));

    try {
        OwnerBoqImport(m_db).importBill(QStringLiteral("B9"), bill, true);
        FAIL() << "imported into a section that does not exist";
    } catch (const Refused& e) {
        EXPECT_EQ(e.text(), QStringLiteral("合同段“B9”不存在"));
    }
}

TEST_F(OwnerImportTarget, DayworkGoesIntoItsSchedulesUnderTheContract) {
    fill();
    EXPECT_EQ(column(QStringLiteral("select ID || '/' || ContractID || '/' || bz || '/' || ItemCode || '/' || "
                                    "coalesce(UnitPrice, '∅') || '/' || coalesce(TotalMoney, '∅') from Jl_ContractList "
                                    "order by rowid")),
              (QVariantList{QStringLiteral("A1/A1/1/101/∅/∅"), QStringLiteral("A1/A1/2/201/∅/∅"),
                            QStringLiteral("A1/A1/3/301/∅/∅")}));
    EXPECT_THROW(OwnerDayworkImport(m_db).importItems(QStringLiteral("A1"),
                                                      OwnerDayworkFromWorkbook(GoodDayworkWorkbook(), {}), false),
                 HeldContentRefused);
}

struct BadDaywork {
    const char* name;
    QString sheet;
    QList<QVariantList> rows;
    QString named;
};

void PrintTo(const BadDaywork& c, std::ostream* os) {
    *os << c.name;
}

class OwnerDayworkRefusal : public testing::TestWithParam<BadDaywork> {};

TEST_P(OwnerDayworkRefusal, NamesTheSheetAndRow) {
    const BadDaywork& c = GetParam();
    WorkbookContents book = GoodDayworkWorkbook();
    std::vector<WorksheetCells> sheets;
    for (const WorksheetCells& s : book.sheets)
        if (s.name != c.sheet)
            sheets.push_back(s);
    if (!c.rows.isEmpty())
        sheets.push_back(SheetOf(c.sheet, c.rows));
    try {
        OwnerDayworkFromWorkbook(WorkbookOf(sheets), {});
        FAIL() << "not refused";
    } catch (const OwnerWorkbookRefused& e) {
        EXPECT_TRUE(e.text().contains(c.named)) << e.text().toStdString();
    }
}

const QVariantList kDayHead = {QStringLiteral("编号"), QStringLiteral("名称"), QStringLiteral("单位"),
                               QStringLiteral("数量")};

INSTANTIATE_TEST_SUITE_P(
    Workbooks, OwnerDayworkRefusal,
    testing::Values(BadDaywork{"missing sheet",
                               QStringLiteral("计日工材料"),
                               {},
                               QStringLiteral("工作表“计日工材料”：工作簿中没有这张工作表")},
                    BadDaywork{"code twice",
                               QStringLiteral("计日工劳务"),
                               {kDayHead,
                                {QStringLiteral("101"), QStringLiteral("班长"), QStringLiteral("h"), 200},
                                {101, QStringLiteral("普通工"), QStringLiteral("h"), 2000}},
                               QStringLiteral("工作表“计日工劳务”第 3 行：编号“101”与第 2 行重复")},
                    BadDaywork{"negative",
                               QStringLiteral("计日工施工机械"),
                               {kDayHead, {QStringLiteral("301"), QStringLiteral("装载机"), QStringLiteral("h"), -100}},
                               QStringLiteral("工作表“计日工施工机械”第 2 行：数量 -100 是负数")},
                    BadDaywork{
                        "not a number",
                        QStringLiteral("计日工材料"),
                        {kDayHead,
                         {QStringLiteral("201"), QStringLiteral("水泥"), QStringLiteral("t"), QStringLiteral("五十")}},
                        QStringLiteral("工作表“计日工材料”第 2 行：数量“五十”不是数字")},
                    BadDaywork{"no code",
                               QStringLiteral("计日工劳务"),
                               {kDayHead, {QVariant(), QStringLiteral("普通工"), QStringLiteral("h"), 2000}},
                               QStringLiteral("工作表“计日工劳务”第 2 行：有内容却没有编号")},
                    BadDaywork{"missing heading",
                               QStringLiteral("计日工劳务"),
                               {{QStringLiteral("编号"), QStringLiteral("名称"), QStringLiteral("数量")}},
                               QStringLiteral("工作表“计日工劳务”：第一行缺少标题：单位")}),
    CaseName<BadDaywork>);

// The demo workbook in examples/ is what the README issues from: it must pass as it is.
TEST(OwnerExampleWorkbook, ReadsWholeWithTheChapterLinesItHas) {
    const QString workbook =
        QDir(QStringLiteral(TENVORA_TEST_DATA_DIR)).filePath(QStringLiteral("../../examples/owner-tender.xlsx"));
    const OwnerBill bill = ReadOwnerBill(workbook);
    const OwnerDaywork daywork = ReadOwnerDaywork(workbook);
    EXPECT_EQ(bill.lines.size(), 84u);
    EXPECT_TRUE(bill.addedChapters.isEmpty());
    EXPECT_EQ(daywork.items.size(), 24u);
}

} // namespace

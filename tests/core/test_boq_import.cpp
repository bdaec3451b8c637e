// Source rules, derived columns, the append and the emptying of the BoQ import.
#include "boq/BoqImport.h"
#include "boq/Workbook.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tenvora;
using tenvora::test::TempDataFile;

namespace {

using Cells = std::initializer_list<std::initializer_list<QVariant>>;

// A workbook as the reader delivers it: QString cells are texts, numbers are numbers.
WorkbookContents workbook(const Cells& rows, const QString& name = BoqImport::sheetName()) {
    WorksheetCells sheet;
    sheet.name = name;
    for (const auto& row : rows) {
        sheet.columns = std::max(sheet.columns, static_cast<int>(row.size()));
        ++sheet.rows;
    }
    sheet.cells.resize(static_cast<size_t>(sheet.rows * sheet.columns));
    int r = 0;
    for (const auto& row : rows) {
        int c = 0;
        for (const QVariant& v : row) {
            WorkbookCell& cell = sheet.cells[static_cast<size_t>(r * sheet.columns + c++)];
            if (v.typeId() == QMetaType::QString)
                cell = WorkbookCell::ofText(v.toString());
            else if (v.isValid())
                cell = WorkbookCell::ofNumber(v.toDouble());
        }
        ++r;
    }
    WorkbookContents contents;
    contents.sheetNames << name;
    contents.sheets.push_back(std::move(sheet));
    return contents;
}

const QVariant null;
QVariant t(const char* text) {
    return QString::fromUtf8(text);
}

BoqSource source(const Cells& rows) {
    return BoqSourceFromWorkbook(workbook(rows), QStringLiteral("test.xls"));
}

QStringList itemNumbers(const BoqSource& s) {
    QStringList items;
    for (const BoqSourceRow& r : s.rows)
        items << (r.itemNumber.isNull() ? QStringLiteral("<null>") : r.itemNumber.toString());
    return items;
}

// The detail of the rejection, or "accepted".
QString rejection(const WorkbookContents& contents) {
    try {
        BoqSourceFromWorkbook(contents, QStringLiteral("test.xls"));
    } catch (const BoqFormatError& e) {
        EXPECT_TRUE(e.text().startsWith(BoqImport::formatMessage()));
        return e.detail();
    }
    return QStringLiteral("accepted");
}

struct StoredLine {
    QVariant chapter, section, segment, item, name, unit, price, quantity, amount, supplementary;
};

std::vector<StoredLine> storedLines(DataModule& dm, const QString& contract) {
    Statement st = dm.database().prepare(
        QStringLiteral("select 章,节,段,细目编号,细目名称,单位,合同单价,合同数量,合同金额,是否补充 from jd_htqd "
                       "where 合同编号=? order by rowid"));
    st.bind(1, contract);
    std::vector<StoredLine> lines;
    while (st.next())
        lines.push_back({st.value(0), st.value(1), st.value(2), st.value(3), st.value(4), st.value(5), st.value(6),
                         st.value(7), st.value(8), st.value(9)});
    return lines;
}

class BoqImportTest : public testing::Test {
protected:
    void SetUp() override {
        m_dm = m_file.open();
        m_dm->session().CurContractID = QStringLiteral("B1"); // the demo contract without a bill
    }
    TempDataFile m_file;
    std::unique_ptr<DataModule> m_dm;
};

} // namespace

TEST(BoqDerivedColumns, FollowTheItemNumber) {
    struct Case {
        const char* item;
        const char* chapter;
        const char* section; // nullptr: not set
        const char* segment;
    };
    const Case cases[] = {
        {"101-1-a", "100", "101-1", "101-1-a"}, {"102-1", "100", "102-1", nullptr}, {"100", "100", nullptr, nullptr},
        {"203-1-a-2", "200", "203-1", nullptr}, {"7", "700", nullptr, nullptr},     {"a--b", "a00", "a-", "a--b"},
    };
    for (const Case& c : cases) {
        const QString item = QString::fromUtf8(c.item);
        SCOPED_TRACE(c.item);
        EXPECT_EQ(ChapterOf(item), QString::fromUtf8(c.chapter));
        EXPECT_EQ(SectionOf(item), c.section ? std::optional<QString>(QString::fromUtf8(c.section)) : std::nullopt);
        EXPECT_EQ(SegmentOf(item), c.segment ? std::optional<QString>(QString::fromUtf8(c.segment)) : std::nullopt);
    }
}

TEST(BoqDerivedColumns, AmountIsNotRoundedAndNeedsOneValue) {
    EXPECT_EQ(ImportedAmountOf(1.5, 3), 5.0) << "whole yuan, so the bid check finds the import's own amounts right";
    EXPECT_EQ(ImportedAmountOf(null, 120), 0.0);
    EXPECT_EQ(ImportedAmountOf(88.5, null), 0.0);
    EXPECT_EQ(ImportedAmountOf(null, null), std::nullopt);
}

TEST(BoqSourceRules, ColumnsAreFoundByHeadingInAnyOrder) {
    const BoqSource s = source({
        {t("备注"), t(" 合同数量 "), t("单位"), t("细目名称"), t("合同单价"), t("细目编号")},
        {t("甲"), 3, t("m3"), t("挖土方"), 1.5, t("203-1-a")},
    });
    ASSERT_EQ(s.rows.size(), 1u);
    const BoqSourceRow& r = s.rows[0];
    EXPECT_EQ(r.itemNumber, t("203-1-a"));
    EXPECT_EQ(r.itemName, t("挖土方"));
    EXPECT_EQ(r.unit, t("m3"));
    EXPECT_EQ(r.price, 1.5);
    EXPECT_EQ(r.quantity, 3.0);
    EXPECT_EQ(r.sheetRow, 2);
}

TEST(BoqSourceRules, CellsBecomeTextsNumbersOrNull) {
    const BoqSource s = source({
        {t("细目编号"), t("细目名称"), t("单位"), t("合同单价"), t("合同数量")},
        {100, t("总则"), null, null, null},               // chapter line typed as a number
        {t("101-1"), 2024, t(""), t(" 12.50 "), t("  ")}, // numbers typed as text, blanks
        {t("102-1"), t("竣工文件"), t("总额"), 0.1 + 0.2, 1234567.891234567891},
        {101.5, null, null, 1e20, -3},
    });
    ASSERT_EQ(s.rows.size(), 4u);
    EXPECT_EQ(s.rows[0].itemNumber, t("100"));
    EXPECT_EQ(s.rows[1].itemNumber, t("101-1"));
    EXPECT_EQ(s.rows[1].itemName, t("2024"));
    EXPECT_TRUE(s.rows[1].unit.isNull());
    EXPECT_EQ(s.rows[1].price, 12.5);
    EXPECT_TRUE(s.rows[1].quantity.isNull());
    // Through the general text of 15 significant digits: 0.30000000000000004 arrives as 0.3.
    EXPECT_EQ(s.rows[2].price, 0.3);
    EXPECT_EQ(s.rows[2].quantity, 1234567.89123457);
    EXPECT_EQ(s.rows[3].itemNumber, t("101.5"));
    EXPECT_EQ(s.rows[3].price, 1e20);
    EXPECT_EQ(s.rows[3].quantity, -3.0);

    // Rounded to 15 digits the largest double is out of range: it keeps its own value.
    const BoqSource largest = source({{t("细目编号"), t("细目名称"), t("单位"), t("合同单价"), t("合同数量")},
                                      {t("1-1"), null, null, 1.7976931348623157e308, null}});
    EXPECT_EQ(largest.rows.at(0).price, 1.7976931348623157e308);
}

TEST(BoqSourceRules, NumbersTakeTheValueOfTheirGeneralText) {
    // Values of every magnitude, including ones whose 15th digit rounds up or that sit at the
    // switch to the exponent form.
    std::vector<double> values = {0.1 + 0.2, 1e15 - 0.5, 999999999999999.5,  1e-5,   9.999999999999995e-6,
                                  -2.675,    1.0 / 3,    123456.78901234567, 5e-324, -1e300};
    quint64 seed = 12345;
    for (int i = 0; i < 2000; ++i) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        const double mantissa = static_cast<double>(seed >> 11) / static_cast<double>(1ULL << 53);
        values.push_back((i % 2 ? -1 : 1) * mantissa * std::pow(10.0, i % 40 - 20));
    }
    WorkbookContents contents = workbook({{t("细目编号"), t("细目名称"), t("单位"), t("合同单价"), t("合同数量")}});
    WorksheetCells& sheet = contents.sheets[0];
    for (const double v : values) {
        sheet.cells.insert(sheet.cells.end(),
                           {WorkbookCell::ofText(QStringLiteral("1-1")), {}, {}, WorkbookCell::ofNumber(v), {}});
        ++sheet.rows;
    }
    const BoqSource s = BoqSourceFromWorkbook(contents, QStringLiteral("test.xls"));
    ASSERT_EQ(s.rows.size(), values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        const std::optional<double> expected = ParseNumber(GeneralText(values[i]));
        ASSERT_TRUE(expected) << values[i];
        EXPECT_EQ(s.rows[i].price.toDouble(), *expected) << GeneralText(values[i]).toStdString();
    }
}

TEST(BoqSourceRules, RowsFollowTheItemNumbersNaturally) {
    const BoqSource s = source({
        {t("细目编号"), t("细目名称"), t("单位"), t("合同单价"), t("合同数量")},
        {t("203-1-a"), null, null, null, 1},
        {t("101-10"), null, null, null, 1},
        {null, t("注：单价含税"), null, t("见说明"), null}, // comment row: shown, never imported
        {t("101-2"), null, null, null, 1},
        {null, null, null, null, null}, // blank row inside the sheet
        {100, null, null, null, null},
        {t("101-1-a"), null, null, null, 1},
        {t("101-1"), null, null, null, 1},
    });
    EXPECT_EQ(itemNumbers(s), (QStringList{"<null>", "100", "101-1", "101-1-a", "101-2", "101-10", "203-1-a"}));
}

TEST(BoqSourceRules, WorkbooksOutsideTheFormatAreRejectedWithWhere) {
    struct Case {
        const char* name;
        WorkbookContents contents;
        QStringList detailParts; // each must appear in the detail
    };
    const std::vector<Case> cases = {
        {"missing sheet", workbook({{t("细目编号")}}, QStringLiteral("Sheet1")), {"工程量清单", "Sheet1"}},
        {"empty sheet", workbook({}), {"工程量清单", "空"}},
        {"missing headings",
         workbook({{t("细目编号"), t("细目名称"), t("单位"), t("单价"), t("数量")}}),
         {"合同单价", "合同数量"}},
        {"heading twice",
         workbook({{t("细目编号"), t("细目名称"), t("单位"), t("合同单价"), t("合同数量"), t("合同单价")}}),
         {"合同单价", "D", "F"}},
        {"text in the price column",
         workbook({{t("细目编号"), t("细目名称"), t("单位"), t("合同单价"), t("合同数量")},
                   {t("101-1"), null, null, 1, 1},
                   {t("102-1"), null, null, t("十二元"), 1}}),
         {"工程量清单", "第 3 行", "合同单价", "D 列", "十二元"}},
        {"thousands separator in the quantity column",
         workbook({{t("合同数量"), t("细目编号"), t("细目名称"), t("单位"), t("合同单价")},
                   {t("1,200"), t("102-1"), null, null, null}}),
         {"第 2 行", "合同数量", "A 列", "1,200"}},
        {"date in the price column",
         workbook({{t("细目编号"), t("细目名称"), t("单位"), t("合同单价"), t("合同数量")},
                   {t("102-1"), null, null, t("2024-05-01"), null}}),
         {"第 2 行", "合同单价"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString detail = rejection(c.contents);
        for (const QString& part : c.detailParts)
            EXPECT_TRUE(detail.contains(part)) << detail.toStdString() << " lacks " << part.toStdString();
    }
}

TEST_F(BoqImportTest, LinesGetTheDerivedColumnsAndTheContract) {
    const BoqImportResult result = BoqImport(*m_dm).importLines(source({
        {t("细目编号"), t("细目名称"), t("单位"), t("合同单价"), t("合同数量")},
        {t("203-1-a-2"), t("挖石方"), t("m3"), null, null},
        {t("101-1-a"), t("建筑工程一切险"), t("总额"), 1.5, 3},
        {100, t("总则"), null, null, null},
        {t("102-1"), t("竣工文件"), t("总额"), null, 120},
        {null, t("小计"), null, null, 999},
    }));
    EXPECT_EQ(result.imported, 4);
    EXPECT_EQ(result.skipped, 1);
    EXPECT_TRUE(result.failure.isEmpty());

    const std::vector<StoredLine> lines = storedLines(*m_dm, QStringLiteral("B1"));
    ASSERT_EQ(lines.size(), 4u);
    const StoredLine& chapter = lines[0];
    EXPECT_EQ(chapter.item, t("100"));
    EXPECT_EQ(chapter.chapter, t("100"));
    EXPECT_TRUE(chapter.section.isNull());
    EXPECT_TRUE(chapter.segment.isNull());
    EXPECT_TRUE(chapter.amount.isNull());
    EXPECT_EQ(chapter.supplementary.toInt(), 0); // the table's default: listed as a main-bill line
    EXPECT_FALSE(chapter.supplementary.isNull());

    const StoredLine& insurance = lines[1];
    EXPECT_EQ(insurance.item, t("101-1-a"));
    EXPECT_EQ(insurance.section, t("101-1"));
    EXPECT_EQ(insurance.segment, t("101-1-a"));
    EXPECT_EQ(insurance.amount.toDouble(), 5); // the line amount, whole yuan
    EXPECT_EQ(insurance.name, t("建筑工程一切险"));
    EXPECT_EQ(insurance.unit, t("总额"));

    EXPECT_EQ(lines[2].item, t("102-1"));
    EXPECT_TRUE(lines[2].price.isNull());
    EXPECT_EQ(lines[2].amount.toDouble(), 0.0);
    EXPECT_FALSE(lines[2].amount.isNull());
    EXPECT_TRUE(lines[2].segment.isNull());

    EXPECT_EQ(lines[3].chapter, t("200"));
    EXPECT_EQ(lines[3].section, t("203-1"));
    EXPECT_TRUE(lines[3].segment.isNull());
    EXPECT_TRUE(lines[3].amount.isNull());
}

TEST_F(BoqImportTest, ImportAppendsAndClearEmptiesOnlyTheCurrentContract) {
    const BoqSource s = source({
        {t("细目编号"), t("细目名称"), t("单位"), t("合同单价"), t("合同数量")},
        {t("101-1"), null, null, null, 1},
        {t("102-1"), null, null, null, 2},
    });
    const qint64 a1Lines = storedLines(*m_dm, QStringLiteral("A1")).size();
    ASSERT_GT(a1Lines, 0);
    BoqImport import(*m_dm);
    import.importLines(s);
    import.importLines(s);
    EXPECT_EQ(storedLines(*m_dm, QStringLiteral("B1")).size(), 4u); // twice gives every line twice

    m_dm->database().exec(QStringLiteral("insert into jd_htqd (合同编号, 细目编号, 是否补充) values ('B1', '补1', 1)"));
    EXPECT_EQ(import.clear(), 5); // supplementary lines go too
    EXPECT_TRUE(storedLines(*m_dm, QStringLiteral("B1")).empty());
    EXPECT_EQ(storedLines(*m_dm, QStringLiteral("A1")).size(), static_cast<size_t>(a1Lines));

    import.importLines(s);
    const std::vector<StoredLine> lines = storedLines(*m_dm, QStringLiteral("B1"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].item, t("101-1"));
    EXPECT_EQ(lines[1].item, t("102-1"));
}

TEST_F(BoqImportTest, ARefusedLineStopsTheImportAndKeepsTheLinesBefore) {
    // An owner's file may carry its own rules; here one that refuses a particular line.
    m_dm->database().exec(QStringLiteral("create trigger refuse_line before insert on jd_htqd when "
                                         "new.细目编号 = '102-1' begin select raise(abort, '细目不允许'); end"));
    BoqImportResult result = BoqImport(*m_dm).importLines(source({
        {t("细目编号"), t("细目名称"), t("单位"), t("合同单价"), t("合同数量")},
        {t("103-1"), null, null, null, 1},
        {t("102-1"), null, null, null, 1},
        {t("101-1"), null, null, null, 1},
    }));
    EXPECT_EQ(result.imported, 1);
    EXPECT_TRUE(result.failure.contains(QStringLiteral("102-1"))) << result.failure.toStdString();
    EXPECT_TRUE(result.failure.contains(QStringLiteral("第 3 行")));
    EXPECT_TRUE(result.failure.contains(QStringLiteral("细目不允许")));
    const std::vector<StoredLine> lines = storedLines(*m_dm, QStringLiteral("B1"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].item, t("101-1"));

    // A rule that throws the whole transaction away leaves nothing, and says so.
    m_dm->database().exec(QStringLiteral("drop trigger refuse_line"));
    m_dm->database().exec(QStringLiteral("create trigger undo_all before insert on jd_htqd when "
                                         "new.细目编号 = '102-1' begin select raise(rollback, '全部撤销'); end"));
    result = BoqImport(*m_dm).importLines(source({
        {t("细目编号"), t("细目名称"), t("单位"), t("合同单价"), t("合同数量")},
        {t("101-2"), null, null, null, 1},
        {t("102-1"), null, null, null, 1},
    }));
    EXPECT_EQ(result.imported, 0);
    EXPECT_TRUE(result.failure.contains(QStringLiteral("没有导入任何行"))) << result.failure.toStdString();
    EXPECT_EQ(storedLines(*m_dm, QStringLiteral("B1")).size(), 1u);
}

TEST_F(BoqImportTest, WithoutACurrentContractNothingIsWrittenOrDeleted) {
    m_dm->session().CurContractID.clear();
    m_dm->database().exec(QStringLiteral("insert into jd_htqd (合同编号, 细目编号) values ('', '101-1')"));
    BoqImport import(*m_dm);
    EXPECT_THROW(import.importLines(source({{t("细目编号"), t("细目名称"), t("单位"), t("合同单价"), t("合同数量")},
                                            {t("101-1"), null, null, null, 1}})),
                 Refused);
    EXPECT_THROW(import.clear(), Refused);
    EXPECT_EQ(storedLines(*m_dm, QString()).size(), 1u);
}

TEST(WorkbookDumpFormat, RoundTripsEveryCellExactly) {
    WorkbookContents contents = workbook({
        {t("细目编号"), t("a\tb\nc\\d\re"), null},
        {0.1, 1e300, -0.0},
        {5e-324, 123456789012345678.0, t("")},
    });
    contents.sheetNames.prepend(QStringLiteral("说明\t页"));
    const WorkbookContents back = ParseWorkbookDump(WorkbookDump(contents));
    EXPECT_EQ(back.sheetNames, contents.sheetNames);
    ASSERT_EQ(back.sheets.size(), 1u);
    const WorksheetCells& a = contents.sheets[0];
    const WorksheetCells& b = back.sheets[0];
    ASSERT_EQ(b.rows, a.rows);
    ASSERT_EQ(b.columns, a.columns);
    EXPECT_EQ(b.name, a.name);
    for (int r = 0; r < a.rows; ++r) {
        for (int c = 0; c < a.columns; ++c) {
            SCOPED_TRACE(testing::Message() << r << "," << c);
            EXPECT_EQ(b.at(r, c).kind, a.at(r, c).kind);
            EXPECT_EQ(b.at(r, c).text, a.at(r, c).text);
            EXPECT_EQ(std::signbit(b.at(r, c).number), std::signbit(a.at(r, c).number));
            EXPECT_EQ(b.at(r, c).number, a.at(r, c).number);
        }
    }
}

TEST(WorkbookDumpFormat, OutputCutShortAnywhereIsRejected) {
    const QByteArray dump = WorkbookDump(workbook({{t("细目编号"), t("单位")}, {t("101-1"), 2.5}}));
    for (qsizetype n = 0; n < dump.size(); ++n)
        EXPECT_THROW(ParseWorkbookDump(dump.left(n)), WorkbookError) << n;
    EXPECT_THROW(ParseWorkbookDump(dump + "sheet\tX\n"), WorkbookError);
    QByteArray wrongCount = dump;
    wrongCount.replace("cells\t0\t2\t2", "cells\t0\t2\t3");
    EXPECT_THROW(ParseWorkbookDump(wrongCount), WorkbookError);
}

TEST_F(BoqImportTest, AnAmountColumnGivesAmountsOnlyWhereNoPriceContradictsIt) {
    struct Case {
        const char* item;
        QVariant price, quantity, given;
        QVariant stored; // 合同金额 after the import
    };
    const Case cases[] = {
        {"100", null, null, 14860007, 14860007}, // a chapter total: no price behind it
        {"101-1", null, 0, null, null},          // nothing given, nothing priced: stays empty
        {"102-3", null, 1, 4500000, 4500000},    // a provisional sum
        {"202-1-a", 1.5, 3, 5, 5},               // the whole-yuan amount of its price
        {"202-1-b", 2.5, 3, 5, 8},               // written before the price changed: derived
        {"202-1-c", 2.5, 3, null, 8},            // priced, no amount given: derived
        {"202-1-d", null, 10, t("包干"), 0.0},   // not a figure: derived
    };
    WorkbookContents contents =
        workbook({{t("细目编号"), t("细目名称"), t("单位"), t("合同单价"), t("合同数量"), t("合价")}});
    WorksheetCells& sheet = contents.sheets.front();
    for (const Case& c : cases) {
        for (const QVariant& v :
             {QVariant(QString::fromUtf8(c.item)), t("名称"), t("m"), c.price, c.quantity, c.given}) {
            if (v.typeId() == QMetaType::QString)
                sheet.cells.push_back(WorkbookCell::ofText(v.toString()));
            else if (v.isValid())
                sheet.cells.push_back(WorkbookCell::ofNumber(v.toDouble()));
            else
                sheet.cells.emplace_back();
        }
        ++sheet.rows;
    }
    ASSERT_EQ(BoqImport(*m_dm).importLines(BoqSourceFromWorkbook(contents, QStringLiteral("t.xlsx"))).imported, 7);
    const std::vector<StoredLine> lines = storedLines(*m_dm, QStringLiteral("B1"));
    ASSERT_EQ(lines.size(), std::size(cases));
    for (size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(cases[i].item);
        EXPECT_EQ(lines[i].item.toString(), QString::fromUtf8(cases[i].item));
        EXPECT_TRUE(SameStoredValue(lines[i].amount, cases[i].stored)) << lines[i].amount.toString().toStdString();
    }
}

TEST_F(BoqImportTest, ItemNumbersTheContractHoldsAreFoundExactly) {
    Database& db = m_dm->database();
    for (const QVariantList& line :
         {QVariantList{QStringLiteral("101-1-a"), 0}, QVariantList{QStringLiteral("102-1"), 0}, QVariantList{100, 0},
          QVariantList{QStringLiteral("补1"), 1}})
        db.exec(QStringLiteral("insert into jd_htqd (合同编号, 细目编号, 是否补充) values ('B1', ?, ?)"), line);
    db.exec(QStringLiteral("insert into jd_htqd (合同编号, 细目编号) values ('A2', '103-1')"));
    const BoqSource s = source({
        {t("细目编号"), t("细目名称"), t("单位"), t("合同单价"), t("合同数量")},
        {t("101-1-A"), null, null, null, 1}, // another case is another item
        {t("102-1 "), null, null, null, 1},  // so is a trailing blank
        {t("102-1"), null, null, null, 1},
        {t("102-1"), null, null, null, 2}, // named once
        {100, t("总则")},                  // the owner's number cell meets the stored chapter line
        {t("补1"), null, null, null, 1},   // supplementary lines hold their numbers too
        {t("103-1"), null, null, null, 1}, // held by another contract only
        {null, t("说明")},
    });
    BoqImport import(*m_dm);
    EXPECT_EQ(import.heldItems(s), (QStringList{"100", "102-1", "补1"}));

    m_dm->session().CurContractID = QStringLiteral("B2");
    EXPECT_TRUE(import.heldItems(s).isEmpty());
    m_dm->session().CurContractID.clear();
    EXPECT_THROW(import.heldItems(s), Refused);
}

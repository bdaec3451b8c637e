// The priced bill written to .xlsx: read back by another tool, re-imported line for line, written
// the same under a decimal-comma locale, and never left half-written.
#include "boq/BoqExport.h"
#include "boq/BoqImport.h"
#include "boq/ContractFigures.h"
#include "data/AppPaths.h"
#include "data/BoqWorkbooks.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "data/Schema.h"
#include "reports/ChineseAmount.h"
#include "support/TestSupport.h"

#include <QHash>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tenvora;
using namespace tenvora::test;

namespace {

class BoqExportTest : public testing::Test {
protected:
    void SetUp() override {
        dm = file.open();
        dm->LoadCurrentContract();
        ASSERT_EQ(dm->session().CurContractID, QStringLiteral("A1"));
    }
    QString path(const QString& name) const { return QDir(file.dir()).filePath(name); }

    // The lines of a contract's main bill in item order, as the export writes them.
    std::vector<QVariantList> lines(const QString& contract) {
        Statement st = dm->database().prepare(
            QStringLiteral("select 细目编号,细目名称,单位,合同单价,合同数量,合同金额,章 from jd_htqd where 合同编号=? "
                           "and 是否补充=0 order by 细目编号 collate ITEMNO"));
        st.bind(1, contract);
        std::vector<QVariantList> rows;
        while (st.next()) {
            QVariantList row;
            for (int c = 0; c < st.columnCount(); ++c)
                row << st.value(c);
            rows.push_back(row);
        }
        return rows;
    }

    QJsonObject sheet(const QJsonObject& book, const QString& name) {
        for (const QJsonValue& s : book.value(QStringLiteral("sheets")).toArray())
            if (s.toObject().value(QStringLiteral("name")).toString() == name)
                return s.toObject();
        return {};
    }

    TempDataFile file{true};
    std::unique_ptr<DataModule> dm;
};

QJsonValue cellValue(const QJsonObject& sheet, int row, int column) {
    return sheet.value(QStringLiteral("cells"))
        .toArray()
        .at(row)
        .toArray()
        .at(column)
        .toObject()
        .value(QStringLiteral("value"));
}

QString cellType(const QJsonObject& sheet, int row, int column) {
    return sheet.value(QStringLiteral("cells"))
        .toArray()
        .at(row)
        .toArray()
        .at(column)
        .toObject()
        .value(QStringLiteral("type"))
        .toString();
}

// What the other tool should find for a stored value: nothing for null, a number for a number.
bool sameAsStored(const QJsonValue& read, const QVariant& stored, bool number) {
    if (stored.isNull())
        return read.isNull();
    if (number)
        return read.isDouble() && read.toDouble() == stored.toDouble();
    return read.toString() == stored.toString();
}

} // namespace

TEST_F(BoqExportTest, AnotherToolFindsTheBillWithNumbersWhereNumbersBelong) {
    const QString target = path(QStringLiteral("出口.xlsx"));
    const BoqExportResult result = BoqExport(*dm).write(target);
    const std::vector<QVariantList> stored = lines(QStringLiteral("A1"));
    EXPECT_EQ(result.lines, static_cast<int>(stored.size()));
    EXPECT_EQ(result.dayworkItems, 24);

    QString failure;
    const QJsonObject book = ReadWithOpenpyxl(target, &failure);
    ASSERT_EQ(failure, QString());
    QStringList names;
    for (const QJsonValue& s : book.value(QStringLiteral("sheets")).toArray())
        names << s.toObject().value(QStringLiteral("name")).toString();
    EXPECT_EQ(names.mid(0, 4),
              (QStringList{BoqExport::billSheetName(), QStringLiteral("计日工劳务单价表"),
                           QStringLiteral("计日工材料单价表"), QStringLiteral("计日工施工机械单价表")}));

    const QJsonObject bill = sheet(book, BoqExport::billSheetName());
    const QStringList headings = BoqExport::billHeadings();
    for (int c = 0; c < headings.size(); ++c)
        EXPECT_EQ(cellValue(bill, 0, c).toString(), headings[c]);
    EXPECT_EQ(bill.value(QStringLiteral("freeze")).toString(), QStringLiteral("A2"));
    EXPECT_EQ(bill.value(QStringLiteral("paper")).toVariant().toString(), QStringLiteral("9")); // A4
    EXPECT_EQ(bill.value(QStringLiteral("titleRows")).toString(), QStringLiteral("$1:$1"));
    EXPECT_TRUE(bill.value(QStringLiteral("printArea"))
                    .toString()
                    .endsWith(QStringLiteral("$A$1:$G$%1").arg(stored.size() + 1)));
    EXPECT_GT(bill.value(QStringLiteral("widths")).toObject().value(QStringLiteral("B")).toDouble(), 30);

    ASSERT_EQ(bill.value(QStringLiteral("cells")).toArray().size(), static_cast<qsizetype>(stored.size() + 1));
    int priced = 0;
    for (size_t r = 0; r < stored.size(); ++r) {
        const int row = static_cast<int>(r) + 1;
        SCOPED_TRACE(stored[r][0].toString().toStdString());
        EXPECT_EQ(cellType(bill, row, 0), QStringLiteral("str")); // "100" stays an item number, not a figure
        for (int c = 0; c < 7; ++c) {
            const bool number = c >= 3 && c <= 5;
            EXPECT_TRUE(sameAsStored(cellValue(bill, row, c), stored[r][c], number)) << c;
            if (number && !stored[r][c].isNull()) {
                EXPECT_NE(cellType(bill, row, c), QStringLiteral("str")) << c;
            }
        }
        priced += stored[r][3].isNull() ? 0 : 1;
    }
    EXPECT_GT(priced, 40);
    const QJsonArray firstPriced = bill.value(QStringLiteral("cells")).toArray().at(3).toArray();
    EXPECT_EQ(firstPriced.at(3).toObject().value(QStringLiteral("format")).toString(), QStringLiteral("0.00"));
    EXPECT_EQ(firstPriced.at(5).toObject().value(QStringLiteral("format")).toString(), QStringLiteral("#,##0"));

    const QJsonObject labour = sheet(book, QStringLiteral("计日工劳务单价表"));
    EXPECT_EQ(cellValue(labour, 0, 3).toString(), QStringLiteral("估计数量"));
    for (int row = 1; row < labour.value(QStringLiteral("cells")).toArray().size(); ++row)
        for (int c = 3; c < 6; ++c)
            EXPECT_TRUE(cellValue(labour, row, c).isDouble() || cellValue(labour, row, c).isNull()) << row << c;
}

TEST_F(BoqExportTest, TheSummarySheetCarriesTheFiguresTheSummaryReportPrints) {
    const QString target = path(QStringLiteral("汇总.xlsx"));
    BoqExport(*dm).write(target);
    QString failure;
    const QJsonObject book = ReadWithOpenpyxl(target, &failure);
    ASSERT_EQ(failure, QString());
    const QJsonObject summary = sheet(book, BoqExport::summarySheetName());
    ASSERT_FALSE(summary.isEmpty());
    ContractFigures contract = ContractFigures::read(*dm, QStringLiteral("A1"));
    contract.storeInsurance();
    const AllChapterFigures all = contract.bidPriceForm();
    ASSERT_EQ(all.chapters.size(), 7);
    for (int i = 0; i < all.chapters.size(); ++i) {
        EXPECT_EQ(cellValue(summary, i + 1, 1).toString(), all.chapters[i].code);
        EXPECT_EQ(cellValue(summary, i + 1, 3).toDouble(), static_cast<double>(all.chapters[i].total)) << i;
    }
    const qint64 figures[] = {all.boqTotal, all.provisionalSums, all.net, all.daywork, all.tenth, all.bidPrice};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(cellValue(summary, 8 + i, 3).toDouble(), static_cast<double>(figures[i])) << i;
    EXPECT_EQ(cellValue(summary, 13, 2).toString(), QStringLiteral("投标报价（8＋11＋12）"));
    EXPECT_EQ(cellValue(summary, 14, 3).toString(), ChineseCapitalAmount(all.bidPrice));
    EXPECT_GT(all.bidPrice, 0);
}

TEST_F(BoqExportTest, ReimportsToTheSameLinesPricesAndAmounts) {
    // A price that needs every digit, and a provisional sum whose amount has no price behind it.
    dm->database().exec(QStringLiteral("update jd_htqd set 合同单价=12.34, 合同金额=RoundAmount(12.34*合同数量) "
                                       "where 合同编号='A1' and 细目编号='202-1-a'"));
    const QString target = path(QStringLiteral("bill.xlsx"));
    BoqExport(*dm).write(target);

    dm->session().CurContractID = QStringLiteral("B1");
    const BoqImportResult imported = BoqImport(*dm).importLines(ReadBoqSource(target));
    EXPECT_EQ(imported.failure, QString());
    const std::vector<QVariantList> before = lines(QStringLiteral("A1"));
    const std::vector<QVariantList> after = lines(QStringLiteral("B1"));
    ASSERT_EQ(after.size(), before.size());
    for (size_t r = 0; r < before.size(); ++r) {
        SCOPED_TRACE(before[r][0].toString().toStdString());
        for (int c = 0; c < 7; ++c)
            EXPECT_TRUE(SameStoredValue(after[r][c], before[r][c]))
                << c << ": " << after[r][c].toString().toStdString() << " vs " << before[r][c].toString().toStdString();
    }
}

TEST_F(BoqExportTest, ADecimalCommaDesktopStillWritesReadableNumbers) {
    CommaDecimalLocale comma;
    if (!comma.active())
        GTEST_SKIP() << "no decimal-comma locale could be made";
    const QString target = path(QStringLiteral("komma.xlsx"));
    BoqExport(*dm).write(target);
    const QJsonObject bill = sheet(ReadWithOpenpyxl(target), BoqExport::billSheetName());
    const std::vector<QVariantList> stored = lines(QStringLiteral("A1"));
    int fractional = 0;
    for (size_t r = 0; r < stored.size(); ++r) {
        for (int c = 3; c <= 5; ++c) {
            EXPECT_TRUE(sameAsStored(cellValue(bill, static_cast<int>(r) + 1, c), stored[r][c], true))
                << stored[r][0].toString().toStdString() << " " << c;
            const double v = stored[r][c].toDouble();
            fractional += v != static_cast<double>(static_cast<qint64>(v)) ? 1 : 0;
        }
    }
    EXPECT_GT(fractional, 0); // the comma would have shown on these
}

TEST_F(BoqExportTest, AFailedExportLeavesNoHalfFileAndTheOldOneAsItWas) {
    const QString target = path(QStringLiteral("old.xlsx"));
    ASSERT_TRUE(WriteBytes(target, "the older export"));
    // No spreadsheet cell holds more than 32,767 characters: the writer refuses this line.
    dm->database().exec(QStringLiteral("update jd_htqd set 细目名称=? where 合同编号='A1' and 细目编号='202-1-a'"),
                        {QString(40000, QLatin1Char('x'))});
    try {
        BoqExport(*dm).write(target);
        ADD_FAILURE() << "a cell of 40,000 characters was written";
    } catch (const Error& e) {
        // In the user's words, not the writer's library's.
        EXPECT_TRUE(e.text().contains(QStringLiteral("32767 个字符"))) << e.text().toStdString();
        EXPECT_TRUE(e.text().contains(QStringLiteral("工程量清单"))) << e.text().toStdString();
    }
    EXPECT_EQ(ReadBytes(target), QByteArray("the older export"));
    const QStringList left = QDir(file.dir()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left.filter(QStringLiteral("xlsx")), QStringList{QStringLiteral("old.xlsx")});

    EXPECT_THROW(BoqExport(*dm).write(path(QStringLiteral("missing/folder.xlsx"))), Error);
    dm->session().CurContractID.clear();
    EXPECT_THROW(BoqExport(*dm).write(path(QStringLiteral("none.xlsx"))), Refused);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("none.xlsx"))));
}

// A bill of 100,000 lines (half the largest one supported) goes out and comes back as it was: the
// reader's caps hold for what the export itself writes.
TEST(BoqExportLarge, AHundredThousandLinesComeBackAsTheyWent) {
    constexpr int kLines = 100000;
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("large.tr"));
    {
        Database db = Database::create(data, DataFileKey());
        Schema::create(db);
        Transaction tx(db);
        db.exec(QStringLiteral("insert into jd_xiangmu (ID, 项目名称) values ('P1', '项目')"));
        db.exec(QStringLiteral("insert into jd_hetong (UPID, ID, 合同名称, 起始桩号, 终止桩号) "
                               "values ('P1', 'L1', 'L1合同段', 'K0+000', 'K90+000')"));
        db.exec(QStringLiteral("insert into 当前选择合同 (项目ID, 合同ID, 期数ID) values ('P1', 'L1', '0')"));
        Statement line =
            db.prepare(QStringLiteral("insert into jd_htqd (合同编号, 章, 细目编号, 细目名称, 单位, 合同数量, "
                                      "合同单价, 合同金额, 是否补充) values ('L1', ?, ?, ?, ?, ?, ?, ?, 0)"));
        const QString longText = QStringLiteral("包括材料采购、运输、堆放、施工、养护及检验等全部工作；").repeated(12);
        for (int i = 0; i < kLines; ++i) {
            constexpr int kPerChapter = kLines / 7 + 1;
            const int chapter = 100 * (1 + i / kPerChapter);
            const int n = i % kPerChapter;
            if (n == 0) {
                line.bindAll({QString::number(chapter), QString::number(chapter), QStringLiteral("第%1章").arg(chapter),
                              QVariant(), QVariant(), QVariant(), static_cast<qlonglong>(i) * 1000});
            } else {
                const double quantity = (i * 37 % 90001) / 1000.0;
                const QVariant price = i % 9 == 0 ? QVariant() : QVariant((i * 13 % 40000 + 1) / 100.0);
                const QString name = i % 50 == 0  ? longText
                                     : i % 7 == 0 ? QStringLiteral("钢筋 <Φ%1> & \"混凝土\" '预制'").arg(i)
                                                  : QStringLiteral("挖土方（含运输）第%1项").arg(i);
                line.bindAll({QString::number(chapter),
                              QStringLiteral("%1-%2-%3").arg(chapter + 1 + n / 1000).arg(n % 1000 + 1).arg(i % 3), name,
                              i % 2 ? QStringLiteral("m3") : QStringLiteral("吨"), quantity, price,
                              price.isNull() ? QVariant() : QVariant(RoundAmount(price.toDouble() * quantity))});
            }
            line.run();
            line.reset();
        }
        tx.commit();
    }
    DataModule dm(data);
    dm.LoadCurrentContract();
    const QString target = dir.filePath(QStringLiteral("large.xlsx"));
    ASSERT_EQ(BoqExport(dm).write(target).lines, kLines);

    const BoqSource source = ReadBoqSource(target);
    ASSERT_EQ(source.rows.size(), static_cast<size_t>(kLines));
    QHash<QString, const BoqSourceRow*> byItem;
    for (const BoqSourceRow& row : source.rows)
        byItem.insert(row.itemNumber.toString(), &row);
    ASSERT_EQ(byItem.size(), kLines) << "item numbers are unique";
    const auto sameNumber = [](const QVariant& a, const QVariant& b) {
        return a.isNull() || b.isNull() ? a.isNull() == b.isNull() : a.toDouble() == b.toDouble();
    };
    int checked = 0;
    dm.RunSelect(QStringLiteral("select 细目编号, 细目名称, 单位, 合同单价, 合同数量, 合同金额 from jd_htqd"), {},
                 [&](const Statement& st) {
                     const BoqSourceRow* row = byItem.value(st.value(0).toString());
                     ASSERT_TRUE(row) << st.value(0).toString().toStdString();
                     EXPECT_EQ(row->itemName.toString(), st.value(1).toString());
                     EXPECT_EQ(row->unit.toString(), st.value(2).toString());
                     EXPECT_TRUE(sameNumber(row->price, st.value(3))) << st.value(0).toString().toStdString();
                     EXPECT_TRUE(sameNumber(row->quantity, st.value(4))) << st.value(0).toString().toStdString();
                     ASSERT_TRUE(row->amount.has_value());
                     EXPECT_TRUE(sameNumber(*row->amount, st.value(5))) << st.value(0).toString().toStdString();
                     ++checked;
                 });
    EXPECT_EQ(checked, kLines);
}

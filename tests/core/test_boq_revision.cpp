// A revised owner bill over the priced one: the resulting lines, prices kept and amounts
// recomputed, the backup copy, and the refusals that leave the file as it was.
#include "boq/BoqRevision.h"
#include "boq/Workbook.h"
#include "data/AppPaths.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "support/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

#include <map>

using namespace tenvora;
using namespace tenvora::test;

namespace {

// One row of the revised sheet: item, name, unit, price, quantity (a null QVariant is an empty cell).
using SheetRow = std::array<QVariant, 5>;

BoqSource revisedSource(const std::vector<SheetRow>& rows) {
    WorkbookContents contents;
    contents.sheetNames << BoqImport::sheetName();
    WorksheetCells sheet;
    sheet.name = BoqImport::sheetName();
    sheet.columns = 5;
    for (const QString& h : BoqImport::headings())
        sheet.cells.push_back(WorkbookCell::ofText(h));
    for (const SheetRow& row : rows)
        for (const QVariant& v : row)
            sheet.cells.push_back(v.isNull()                         ? WorkbookCell()
                                  : v.typeId() == QMetaType::QString ? WorkbookCell::ofText(v.toString())
                                                                     : WorkbookCell::ofNumber(v.toDouble()));
    sheet.rows = static_cast<int>(rows.size()) + 1;
    contents.sheets.push_back(std::move(sheet));
    return BoqSourceFromWorkbook(contents, QStringLiteral("修订.xlsx"));
}

struct Line {
    QVariant name, unit, quantity, price, amount, chapter;
};

class BoqRevisionTest : public testing::Test {
protected:
    void SetUp() override {
        dm = file.open();
        dm->LoadCurrentContract();
        ASSERT_EQ(dm->session().CurContractID, QStringLiteral("A1"));
    }

    std::map<QString, Line> lines(const QString& contract) {
        Statement st =
            dm->database().prepare(QStringLiteral("select 细目编号,细目名称,单位,合同数量,合同单价,合同金额,章 from "
                                                  "jd_htqd where 合同编号=? and 是否补充=0"));
        st.bind(1, contract);
        std::map<QString, Line> out;
        while (st.next())
            out[st.value(0).toString()] = {st.value(1), st.value(2), st.value(3),
                                           st.value(4), st.value(5), st.value(6)};
        return out;
    }

    // The owner's sheet of the stored bill, every line as it is now.
    std::vector<SheetRow> unchangedSheet() {
        std::vector<SheetRow> rows;
        for (const auto& [item, l] : lines(QStringLiteral("A1")))
            rows.push_back({item, l.name, l.unit, QVariant(), l.quantity});
        return rows;
    }

    QStringList backups() const {
        return QDir(file.dir()).entryList({QStringLiteral("*.before-revision-*")}, QDir::Files);
    }

    TempDataFile file{true};
    std::unique_ptr<DataModule> dm;
};

SheetRow* find(std::vector<SheetRow>& rows, const char* item) {
    for (SheetRow& r : rows)
        if (r[0].toString() == QString::fromUtf8(item))
            return &r;
    return nullptr;
}

bool same(const Line& a, const Line& b) {
    return SameStoredValue(a.name, b.name) && SameStoredValue(a.unit, b.unit) &&
           SameStoredValue(a.quantity, b.quantity) && SameStoredValue(a.price, b.price) &&
           SameStoredValue(a.amount, b.amount) && SameStoredValue(a.chapter, b.chapter);
}

QVariant whole(double x) {
    return QVariant::fromValue<qlonglong>(RoundAmount(x));
}

} // namespace

TEST_F(BoqRevisionTest, GivesExactlyTheRevisedBillWithPricesKept) {
    const std::map<QString, Line> before = lines(QStringLiteral("A1"));
    const std::map<QString, Line> otherBefore = lines(QStringLiteral("A2"));
    ASSERT_FALSE(before.at(QStringLiteral("203-1-a")).price.isNull());

    std::vector<SheetRow> rows = unchangedSheet();
    std::erase_if(rows, [](const SheetRow& r) {
        return r[0].toString() == QLatin1String("102-4") || r[0].toString() == QLatin1String("202-2-b");
    });
    (*find(rows, "203-1-a"))[4] = 420000.0;
    (*find(rows, "204-1-b"))[1] = QStringLiteral("利用土方（修订）");
    (*find(rows, "202-1-b"))[2] = QStringLiteral("株");
    (*find(rows, "202-1-a"))[4] = QVariant(); // the owner took the quantity out
    // New lines come in unpriced, whatever the sheet says.
    rows.push_back({QStringLiteral("102-5"), QStringLiteral("新增文明施工"), QStringLiteral("总额"), 999.0, 1.0});
    rows.push_back({QStringLiteral("209-1-a"), QStringLiteral("新增挡土墙"), QStringLiteral("m3"), QVariant(), 500.0});
    std::reverse(rows.begin(), rows.end());
    const BoqSource source = revisedSource(rows);

    BoqRevision revision(*dm);
    const BoqRevisionPlan plan = revision.plan(source);
    EXPECT_FALSE(plan.refused());
    EXPECT_EQ(plan.added, 2);
    EXPECT_EQ(plan.dropped, 2);
    EXPECT_EQ(plan.changed, 4);
    EXPECT_EQ(plan.unchanged, static_cast<int>(before.size()) - 6);
    QStringList order;
    for (const BoqRevisionLine& l : plan.lines)
        order << l.changeText() + l.item;
    EXPECT_EQ(order,
              (QStringList{QStringLiteral("删除102-4"), QStringLiteral("新增102-5"), QStringLiteral("修改202-1-a"),
                           QStringLiteral("修改202-1-b"), QStringLiteral("删除202-2-b"), QStringLiteral("修改203-1-a"),
                           QStringLiteral("修改204-1-b"), QStringLiteral("新增209-1-a")}));

    std::map<QString, Line> expected = before;
    expected.erase(QStringLiteral("102-4"));
    expected.erase(QStringLiteral("202-2-b"));
    Line& requantified = expected.at(QStringLiteral("203-1-a"));
    requantified.quantity = 420000.0;
    requantified.amount = whole(requantified.price.toDouble() * 420000.0);
    expected.at(QStringLiteral("204-1-b")).name = QStringLiteral("利用土方（修订）");
    expected.at(QStringLiteral("202-1-b")).unit = QStringLiteral("株");
    expected.at(QStringLiteral("202-1-a")).quantity = QVariant();
    expected.at(QStringLiteral("202-1-a")).amount = QVariant(); // no quantity, no amount in any total
    expected[QStringLiteral("102-5")] = {QStringLiteral("新增文明施工"), QStringLiteral("总额"), 1.0, {}, 0.0,
                                         QStringLiteral("100")};
    expected[QStringLiteral("209-1-a")] = {QStringLiteral("新增挡土墙"), QStringLiteral("m3"), 500.0, {}, 0.0,
                                           QStringLiteral("200")};
    for (const BoqRevisionLine& l : plan.lines)
        if (l.item == QLatin1String("203-1-a")) {
            EXPECT_TRUE(SameStoredValue(l.oldAmount, before.at(l.item).amount));
            EXPECT_TRUE(SameStoredValue(l.newAmount, requantified.amount));
            EXPECT_EQ(l.description(), QStringLiteral("数量 412600 → 420000"));
        }

    const BoqRevisionOutcome outcome = revision.apply(plan, source);
    EXPECT_EQ(dm->session().CurContractID, QStringLiteral("A1"));
    const std::map<QString, Line> after = lines(QStringLiteral("A1"));
    EXPECT_EQ(after.size(), expected.size());
    for (const auto& [item, line] : expected) {
        SCOPED_TRACE(item.toStdString());
        ASSERT_TRUE(after.count(item));
        const Line& got = after.at(item);
        EXPECT_TRUE(same(got, line)) << got.name.toString().toStdString() << " "
                                     << got.quantity.toString().toStdString() << " "
                                     << got.price.toString().toStdString() << " "
                                     << got.amount.toString().toStdString();
    }
    const std::map<QString, Line> otherAfter = lines(QStringLiteral("A2"));
    EXPECT_EQ(otherAfter.size(), otherBefore.size());
    for (const auto& [item, line] : otherBefore)
        EXPECT_TRUE(same(otherAfter.at(item), line)) << item.toStdString();

    // The copy beside the data file holds the bill as it was.
    EXPECT_EQ(QFileInfo(outcome.backupPath).absolutePath(), QFileInfo(file.path()).absolutePath());
    EXPECT_EQ(backups().size(), 1);
    Database old = Database::open(outcome.backupPath, DataFileKey(), Database::Mode::Verify);
    EXPECT_EQ(
        old.scalar(QStringLiteral("select count(*) from jd_htqd where 合同编号='A1' and 细目编号='102-4'")).toInt(), 1);
}

TEST_F(BoqRevisionTest, ADryRunWritesNothing) {
    std::vector<SheetRow> rows = unchangedSheet();
    (*find(rows, "203-1-a"))[4] = 1.0;
    rows.pop_back();
    const QByteArray bytes = ReadBytes(file.path());
    const BoqRevisionPlan plan = BoqRevision(*dm).plan(revisedSource(rows));
    EXPECT_EQ(plan.changed, 1);
    EXPECT_EQ(plan.dropped, 1);
    EXPECT_EQ(ReadBytes(file.path()), bytes);
    EXPECT_TRUE(backups().isEmpty());

    // A sheet the same as the bill changes nothing and takes no copy either.
    const BoqSource same = revisedSource(unchangedSheet());
    const BoqRevisionPlan none = BoqRevision(*dm).plan(same);
    EXPECT_FALSE(none.hasChanges());
    EXPECT_TRUE(BoqRevision(*dm).apply(none, same).backupPath.isEmpty());
    EXPECT_EQ(ReadBytes(file.path()), bytes);
    EXPECT_TRUE(backups().isEmpty());
}

TEST_F(BoqRevisionTest, RefusesRatherThanGuessAndLeavesTheFileAsItWas) {
    struct Case {
        const char* name;
        std::function<void(std::vector<SheetRow>&)> sheet;
        std::function<void(Database&)> store;
        const char* reason;
    };
    const Case cases[] = {
        {"twice in the workbook",
         [](std::vector<SheetRow>& rows) {
             rows.push_back({QStringLiteral("203-1-a"), QStringLiteral("挖土方"), QStringLiteral("m3"), {}, 5.0});
         },
         {},
         "细目编号“203-1-a”在工作簿中出现 2 次"},
        {"twice in the store",
         {},
         [](Database& db) {
             db.exec(QStringLiteral("insert into jd_htqd (合同编号,章,细目编号,细目名称,是否补充) values "
                                    "('A1','200','202-1-b','重复',0)"));
         },
         "细目编号“202-1-b”在当前合同的清单中有 2 行"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDataFile fresh(true);
        auto freshDm = fresh.open();
        freshDm->LoadCurrentContract();
        if (c.store)
            c.store(freshDm->database());
        std::vector<SheetRow> rows = unchangedSheet();
        (*find(rows, "204-1-b"))[4] = 1.0;
        if (c.sheet)
            c.sheet(rows);
        const BoqSource source = revisedSource(rows);
        const QByteArray bytes = ReadBytes(fresh.path());
        BoqRevision revision(*freshDm);
        const BoqRevisionPlan plan = revision.plan(source);
        EXPECT_TRUE(plan.refused());
        EXPECT_TRUE(plan.refusalText().contains(QString::fromUtf8(c.reason))) << plan.refusalText().toStdString();
        EXPECT_THROW(revision.apply(plan, source), Refused);
        EXPECT_EQ(ReadBytes(fresh.path()), bytes);
        EXPECT_TRUE(QDir(fresh.dir()).entryList({QStringLiteral("*.before-revision-*")}).isEmpty());
    }

    // A line the revision changes was priced anew after the changes were shown: its new amount
    // would be figured from the old price, so nothing of the revision is applied.
    std::vector<SheetRow> rows = unchangedSheet();
    (*find(rows, "204-1-b"))[4] = 1.0;
    (*find(rows, "203-1-a"))[1] = QStringLiteral("挖土方（修订）");
    const BoqSource source = revisedSource(rows);
    BoqRevision revision(*dm);
    const BoqRevisionPlan plan = revision.plan(source);
    ASSERT_EQ(plan.changed, 2);
    dm->database().exec(QStringLiteral("update jd_htqd set 合同单价=99 where 合同编号='A1' and 细目编号='204-1-b'"));
    const std::map<QString, Line> before = lines(QStringLiteral("A1"));
    EXPECT_THROW(revision.apply(plan, source), Refused);
    const std::map<QString, Line> after = lines(QStringLiteral("A1"));
    EXPECT_EQ(after.size(), before.size());
    for (const char* item : {"203-1-a", "204-1-b"})
        EXPECT_TRUE(same(after.at(QString::fromUtf8(item)), before.at(QString::fromUtf8(item)))) << item;
}

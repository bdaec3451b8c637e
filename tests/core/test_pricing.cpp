// Undo and redo, paste, live totals, price adjustment and find of the BoQ editor, on the demo.
#include "boq/BoqEditor.h"
#include "boq/BoqLineRules.h"
#include "boq/ChapterNames.h"
#include "boq/PriceAdjustment.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace tenvora;
using namespace tenvora::test;

namespace {

class PricingTest : public testing::Test {
protected:
    explicit PricingTest(bool priced = true) : file(priced) {}
    void SetUp() override {
        dm = file.open();
        dm->LoadCurrentContract();
        editor = std::make_unique<BoqEditor>(*dm);
        editor->initialise();
    }
    Database& db() { return dm->database(); }
    // Every line's price and amount exactly as stored (quote() keeps the storage type).
    QStringList snapshot() {
        QStringList rows;
        Statement st = db().prepare(
            QStringLiteral("select rowid, 细目编号, quote(合同单价), quote(合同金额) from jd_htqd order by rowid"));
        while (st.next())
            rows << QStringLiteral("%1 %2 %3 %4")
                        .arg(st.value(0).toString(), st.value(1).toString(), st.value(2).toString(),
                             st.value(3).toString());
        return rows;
    }
    QVariant stored(const QString& item, const QString& column) {
        return db().scalar(QStringLiteral("select %1 from jd_htqd where 合同编号='A1' and 细目编号=?").arg(column),
                           {item});
    }
    void select(const QString& chapter) { editor->selectNode(BoqChapterLevel, chapter); }
    void price(const QString& item, const QVariant& value) {
        const int row = editor->findItem(item);
        ASSERT_GE(row, 0) << item.toStdString();
        editor->priceLine(row, value);
    }
    void paste(const QString& from, const QString& text) { editor->pastePrices(editor->findItem(from), text); }
    void adjust(const AdjustmentRequest& request) {
        PriceAdjustment adjustment(*dm);
        editor->proposeAdjustment(adjustment, request);
        editor->applyAdjustment(adjustment);
    }
    // The locked lines whose figures no bidder path may touch (the insurance line and the
    // chapter lines take the recomputation's figures): price, amount and 节.
    QStringList lockedLines() {
        QStringList rows;
        Statement st = db().prepare(QStringLiteral(
            "select 细目编号, 单位, 合同数量, quote(合同单价), quote(合同金额), quote(节), 章 from jd_htqd "
            "where 合同编号='A1' order by rowid"));
        while (st.next()) {
            const QString item = st.value(0).toString();
            if (!IsPriceLocked(st.value(2), item, st.value(1).toString(), st.value(6).toString()) ||
                item == QLatin1String(kInsuranceItem) || item == st.value(6).toString())
                continue;
            rows << item + QLatin1Char(' ') + st.value(3).toString() + QLatin1Char(' ') + st.value(4).toString() +
                        QLatin1Char(' ') + st.value(5).toString();
        }
        return rows;
    }

    TempDataFile file;
    std::unique_ptr<DataModule> dm;
    std::unique_ptr<BoqEditor> editor;
};

class UnpricedTest : public PricingTest {
protected:
    UnpricedTest() : PricingTest(false) {}
};

// ---- Undo and redo ----

struct Action {
    enum Kind { Select, Price, Paste, Adjust, Percent, Recompute };
    Action(Kind k, const char* first, const char* second = "")
        : kind(k), a(QString::fromUtf8(first)), b(QString::fromUtf8(second)) {}
    Kind kind;
    QString a;
    QString b;
};

struct HistoryCase {
    const char* name;
    QList<Action> actions;
};

class UndoRedo : public PricingTest, public testing::WithParamInterface<HistoryCase> {};

TEST_P(UndoRedo, EveryStepComesBackExactlyAndGoesAgain) {
    QList<QStringList> states{snapshot()};
    for (const Action& action : GetParam().actions) {
        const int steps = editor->history().undoCount();
        switch (action.kind) {
        case Action::Select:
            select(action.a);
            break;
        case Action::Price:
            price(action.a, action.b.isEmpty() ? QVariant() : QVariant(action.b.toDouble()));
            break;
        case Action::Paste:
            paste(action.a, action.b);
            break;
        case Action::Adjust: {
            AdjustmentRequest request;
            request.target = action.b.toDouble();
            if (!action.a.isEmpty())
                request.chapters = action.a.split(QLatin1Char(','));
            adjust(request);
            break;
        }
        case Action::Percent: {
            AdjustmentRequest request;
            request.percent = action.b.toDouble();
            adjust(request);
            break;
        }
        case Action::Recompute:
            select(action.a);
            editor->recompute();
            break;
        }
        if (editor->history().undoCount() > steps)
            states << snapshot();
    }
    ASSERT_GT(states.size(), 1) << "the case makes steps";
    // Another chapter on display: undo goes by row identity, not by what is listed.
    select(QStringLiteral("700"));
    for (qsizetype i = states.size() - 2; i >= 0; --i) {
        editor->undo();
        EXPECT_EQ(snapshot(), states[i]) << "after undoing to state " << i;
    }
    EXPECT_FALSE(editor->history().canUndo());
    for (qsizetype i = 1; i < states.size(); ++i) {
        editor->redo();
        EXPECT_EQ(snapshot(), states[i]) << "after redoing to state " << i;
    }
    EXPECT_FALSE(editor->history().canRedo());
    const ContractFigures fresh = ContractFigures::read(*dm, QStringLiteral("A1"));
    EXPECT_EQ(editor->liveTotals().boqTotalAsRecomputed(), fresh.boqTotalAsRecomputed())
        << "live totals follow every step";
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, UndoRedo,
    testing::Values(
        HistoryCase{"prices",
                    {{Action::Select, "200"}, {Action::Price, "202-1-a", "3.5"}, {Action::Price, "203-1-a", "7.25"}}},
        HistoryCase{"cleared_price", {{Action::Select, "200"}, {Action::Price, "203-1-b", ""}}},
        HistoryCase{"across_chapters",
                    {{Action::Select, "200"},
                     {Action::Price, "202-1-a", "3.5"},
                     {Action::Select, "300"},
                     {Action::Price, "304-1-a", "20.125"},
                     {Action::Recompute, "300"},
                     {Action::Recompute, "100"}}},
        HistoryCase{
            "paste_then_recompute",
            {{Action::Select, "200"}, {Action::Paste, "202-1-a", "1\n2,000.5\n\n4\n"}, {Action::Recompute, "200"}}},
        HistoryCase{"adjust_price_recompute",
                    {{Action::Adjust, "", "150000000"},
                     {Action::Select, "100"},
                     {Action::Price, "102-1", "88888"},
                     {Action::Recompute, "100"}}},
        HistoryCase{"chapters_percent_paste",
                    {{Action::Adjust, "200,300", "160000000"},
                     {Action::Percent, "", "2.5"},
                     {Action::Select, "300"},
                     {Action::Paste, "304-1-a", "5\n6\n"}}}),
    [](const testing::TestParamInfo<HistoryCase>& p) { return std::string(p.param.name); });

TEST_F(PricingTest, AnAmountTheOwnerDeliveredComesBackExactly) {
    db().exec(QStringLiteral("update jd_htqd set 合同单价=null, 合同金额=77 where 细目编号='202-1-b'"));
    select(QStringLiteral("200"));
    const QStringList before = snapshot();
    price(QStringLiteral("202-1-b"), 5.0);
    EXPECT_EQ(stored(QStringLiteral("202-1-b"), BoqColumn::Amount).toLongLong(), 6200);
    editor->undo();
    EXPECT_EQ(snapshot(), before) << "77 without a price, although the amount rule would clear it";
}

struct ElsewhereCase {
    const char* name;
    bool otherChapterShown;
    const char* change;
};

class ChangedElsewhere : public PricingTest, public testing::WithParamInterface<ElsewhereCase> {};

TEST_P(ChangedElsewhere, TheStepIsRefusedAndNothingIsWritten) {
    select(QStringLiteral("200"));
    paste(QStringLiteral("202-1-a"), QStringLiteral("1\n2\n3\n"));
    if (GetParam().otherChapterShown)
        select(QStringLiteral("300"));
    db().exec(QString::fromUtf8(GetParam().change));
    const QStringList changed = snapshot();
    try {
        editor->undo();
        FAIL() << "the undo must be refused";
    } catch (const Refused& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("202-1-b"))) << e.text().toStdString();
    }
    EXPECT_EQ(snapshot(), changed) << "the other pasted lines keep their prices";
    EXPECT_TRUE(editor->history().canUndo());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ChangedElsewhere,
    testing::Values(ElsewhereCase{"price_listed", false, "update jd_htqd set 合同单价=99 where 细目编号='202-1-b'"},
                    ElsewhereCase{"amount_unlisted", true, "update jd_htqd set 合同金额=1 where 细目编号='202-1-b'"},
                    ElsewhereCase{"gone_unlisted", true, "delete from jd_htqd where 细目编号='202-1-b'"}),
    [](const testing::TestParamInfo<ElsewhereCase>& p) { return std::string(p.param.name); });

TEST_F(PricingTest, NoPathWritesALockedLine) {
    const QStringList locked = lockedLines();
    select(QStringLiteral("100"));
    EXPECT_THROW(price(QStringLiteral("102-3"), 1.0), Refused);
    // From 102-1 down: 102-2, then the provisional 102-3 is passed over, then 102-4.
    paste(QStringLiteral("102-1"), QStringLiteral("10\n20\n30\n"));
    EXPECT_EQ(stored(QStringLiteral("102-4"), BoqColumn::Price).toDouble(), 30.0);
    AdjustmentRequest request;
    request.percent = -7;
    adjust(request);
    EXPECT_EQ(lockedLines(), locked);
    while (editor->history().canUndo())
        editor->undo();
    while (editor->history().canRedo())
        editor->redo();
    EXPECT_EQ(lockedLines(), locked);
}

// ---- Paste ----

struct BadPaste {
    const char* name;
    const char* text;
    const char* from;
    const char* message;
};

class PasteRefused : public PricingTest, public testing::WithParamInterface<BadPaste> {};

TEST_P(PasteRefused, NothingIsWritten) {
    select(QStringLiteral("200"));
    const QStringList before = snapshot();
    try {
        editor->pastePrices(editor->findItem(QString::fromUtf8(GetParam().from)), QString::fromUtf8(GetParam().text));
        FAIL() << "the paste must be refused";
    } catch (const Refused& e) {
        EXPECT_TRUE(e.text().contains(QString::fromUtf8(GetParam().message))) << e.text().toStdString();
    }
    EXPECT_EQ(snapshot(), before);
    EXPECT_FALSE(editor->history().canUndo());
}

INSTANTIATE_TEST_SUITE_P(Blocks, PasteRefused,
                         testing::Values(BadPaste{"not_a_number", "1\n2\nabc\n4\n", "202-1-a",
                                                  "第 3 行“abc”不是数字（“a”不能写在数字里，对应细目“202-2-b”）"},
                                         BadPaste{"decimal_comma", "1,5\n", "202-1-a", "第 1 行“1,5”"},
                                         BadPaste{"two_columns", "1\t2\n3\t4\n", "202-1-a", "2 列"},
                                         BadPaste{"more_than_lines", "1\n2\n3\n", "208-1-a", "要粘贴 3 个单价"},
                                         BadPaste{"empty", "\r\n\r\n", "202-1-a", "没有可粘贴"}),
                         [](const testing::TestParamInfo<BadPaste>& p) { return std::string(p.param.name); });

TEST(PricePaste, CellsAreReadAsWrittenInEveryLocale) {
    struct Case {
        const char* cell;
        std::optional<double> value; // nullopt: not a number; NAN: an empty cell
    };
    const QList<Case> cases = {
        {" 1,234.50 ", 1234.5},  {"\"12\"", 12.0},      {"12,345,678", 12345678.0}, {"-3", -3.0},
        {"1e3", 1000.0},         {"", std::nan("")},    {"1,5", std::nullopt},      {"1.234,50", std::nullopt},
        {"12,34", std::nullopt}, {"¥12", std::nullopt}, {"1,234,5", std::nullopt},
    };
    CommaDecimalLocale comma;
    for (bool locale : {false, true}) {
        if (locale && !comma.active())
            continue;
        for (const Case& c : cases) {
            const std::optional<QVariant> read = PastedPrice(QString::fromUtf8(c.cell));
            if (!c.value) {
                EXPECT_FALSE(read) << c.cell;
            } else if (std::isnan(*c.value)) {
                ASSERT_TRUE(read) << c.cell;
                EXPECT_TRUE(read->isNull()) << c.cell;
            } else {
                ASSERT_TRUE(read) << c.cell;
                EXPECT_EQ(read->toDouble(), *c.value) << c.cell << (locale ? " (comma locale)" : "");
            }
        }
    }
    EXPECT_EQ(PastedPriceColumn(QStringLiteral("1\r\n2\r\n")), (QStringList{"1", "2"}));
    EXPECT_EQ(PastedPriceColumn(QStringLiteral("\t5\t\n\t6\n")), (QStringList{"5", "6"})) << "the one filled column";
    EXPECT_EQ(PastedPriceColumn(QStringLiteral("1\n\n3\n\n\n")), (QStringList{"1", "", "3"}));
}

TEST_F(PricingTest, APasteSkipsLockedLinesAndReportsThem) {
    select(QStringLiteral("200"));
    const PasteResult r = editor->pastePrices(editor->findItem(QStringLiteral("202-1-b")), QStringLiteral("1\n2\n3\n"));
    EXPECT_EQ(r.pasted, 3);
    EXPECT_EQ(r.skippedLocked, 2) << "202-2 and 203-1 are headings";
    EXPECT_EQ(editor->lines().value(r.lastRow, BoqColumn::Item).toString(), QStringLiteral("203-1-a"));
    EXPECT_EQ(stored(QStringLiteral("202-2-b"), BoqColumn::Amount).toLongLong(), 3720) << "2 x 1860";
    EXPECT_EQ(editor->history().undoLabel(), QStringLiteral("粘贴 3 个单价"));
    EXPECT_EQ(editor->history().undoCount(), 1) << "one paste, one step";
}

// ---- Live totals ----

TEST_F(PricingTest, LiveTotalsFollowEachPriceWithoutReadingTheListAgain) {
    select(QStringLiteral("200"));
    int resets = 0;
    QObject::connect(&editor->lines(), &DataSet::reset, [&] { ++resets; });
    const int chapterLine = editor->findItem(QStringLiteral("200"));
    EXPECT_FALSE(editor->isStaleChapterLine(chapterLine)) << "the priced demo holds its totals";
    const qint64 before = editor->liveTotals().storedChapterTotal(QStringLiteral("200"));
    price(QStringLiteral("202-1-a"), 10.0);
    price(QStringLiteral("203-1-b"), 33.3);
    EXPECT_EQ(resets, 0) << "pricing a line does not read the chapter again";
    const ContractFigures fresh = ContractFigures::read(*dm, QStringLiteral("A1"));
    for (const QString& chapter : fresh.chapters())
        EXPECT_EQ(editor->liveTotals().storedChapterTotal(chapter), fresh.storedChapterTotal(chapter))
            << chapter.toStdString();
    EXPECT_EQ(editor->liveTotals().insurance(), fresh.insurance());
    EXPECT_EQ(editor->liveTotals().boqTotalAsRecomputed(), fresh.boqTotalAsRecomputed());
    EXPECT_NE(editor->liveTotals().storedChapterTotal(QStringLiteral("200")), before);
    EXPECT_TRUE(editor->isStaleChapterLine(chapterLine));
    EXPECT_FALSE(editor->isStaleChapterLine(editor->findItem(QStringLiteral("202-1-a"))));
    const std::optional<ChapterRecompute> r = editor->recompute();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->chapterTotal, editor->liveTotals().storedChapterTotal(QStringLiteral("200")))
        << "the live figure is what the recomputation stores";
    EXPECT_FALSE(editor->isStaleChapterLine(editor->findItem(QStringLiteral("200"))));
}

// ---- Adjustment ----

struct AdjustCase {
    const char* name;
    QStringList chapters;
    std::optional<double> target; // as a share of the total before
    std::optional<double> percent;
};

class Adjustment : public PricingTest, public testing::WithParamInterface<AdjustCase> {};

TEST_P(Adjustment, LandsOnTheTargetAndStoresWhatItShowed) {
    const QStringList locked = lockedLines();
    const QStringList before = snapshot();
    AdjustmentRequest request;
    request.chapters = GetParam().chapters;
    request.percent = GetParam().percent;
    const ContractFigures figuresBefore = ContractFigures::read(*dm, QStringLiteral("A1"));
    const qint64 totalBefore = figuresBefore.boqTotalAsRecomputed();
    if (GetParam().target)
        request.target = std::round(static_cast<double>(totalBefore) * *GetParam().target);
    PriceAdjustment adjustment(*dm);
    editor->proposeAdjustment(adjustment, request);
    EXPECT_EQ(snapshot(), before) << "a proposal writes nothing";
    EXPECT_EQ(adjustment.totalBefore(), totalBefore);
    // Every price keeps the one coefficient to the cent, whatever is left to the target; what
    // is left is less than the coarsest single-cent step of a changed line.
    double coarsest = 1;
    double deviation = 0;
    for (const AdjustedLine& line : adjustment.changedLines()) {
        const double scaled = NumberOf(line.oldPrice).value_or(0) * adjustment.factor();
        EXPECT_LE(std::fabs(line.newPrice - scaled), 0.01 + 1e-9)
            << line.item.toStdString() << " " << NumberOf(line.oldPrice).value_or(0) << " -> " << line.newPrice;
        deviation = std::max(deviation, std::fabs(line.newPrice - scaled));
        const double quantity = std::fabs(NumberOf(stored(line.item, BoqColumn::Quantity)).value_or(0));
        coarsest = std::max(coarsest, std::ceil(quantity * 0.01) + 1);
        EXPECT_EQ(RoundToDecimals(line.newPrice, 2), line.newPrice) << line.item.toStdString();
        if (!GetParam().chapters.isEmpty()) {
            EXPECT_TRUE(GetParam().chapters.contains(line.chapter)) << line.item.toStdString();
        }
    }
    EXPECT_NEAR(adjustment.largestDeviation(), deviation, 1e-9);
    EXPECT_LE(static_cast<double>(std::llabs(adjustment.distance())), coarsest) << adjustment.summary().toStdString();
    EXPECT_LT(std::llabs(adjustment.distance()), std::max<qint64>(1, std::llabs(adjustment.target() - totalBefore)));
    const qint64 shown = adjustment.totalAfter();
    editor->applyAdjustment(adjustment);
    EXPECT_EQ(ContractFigures::read(*dm, QStringLiteral("A1")).boqTotalAsRecomputed(), shown);
    EXPECT_EQ(editor->liveTotals().boqTotalAsRecomputed(), shown);
    EXPECT_EQ(lockedLines(), locked);
    EXPECT_FALSE(adjustment.chapters().empty());
    for (const AdjustedChapter& c : adjustment.chapters()) {
        EXPECT_EQ(c.before, figuresBefore.storedChapterTotal(c.chapter)) << "chapter " << c.chapter.toStdString();
        EXPECT_EQ(stored(c.chapter, BoqColumn::Amount).toLongLong(), c.after)
            << "chapter line " << c.chapter.toStdString();
    }
    EXPECT_EQ(stored(QStringLiteral("101-1-a"), BoqColumn::Price).toLongLong(), adjustment.insuranceAfter());
    EXPECT_EQ(editor->history().undoCount(), 1) << "one adjustment, one step";
    editor->undo();
    EXPECT_EQ(snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(Requests, Adjustment,
                         testing::Values(AdjustCase{"lower_whole", {}, 0.9, std::nullopt},
                                         AdjustCase{"raise_whole", {}, 1.07, std::nullopt},
                                         AdjustCase{"percent", {}, std::nullopt, -3.0},
                                         AdjustCase{"chapters", {"100", "500"}, 0.97, std::nullopt}),
                         [](const testing::TestParamInfo<AdjustCase>& p) { return std::string(p.param.name); });

TEST_F(PricingTest, AdjustmentRefusesWhatItCannotDo) {
    struct Case {
        AdjustmentRequest request;
        const char* message;
    };
    const QList<Case> cases = {
        {{{}, 1.0, std::nullopt}, "不高于不调价部分的合计"},
        {{{}, std::nullopt, -100.0}, "大于 -100"},
        {{{}, 1.0, 1.0}, "二者取一"},
        {{{"800"}, 1e8, std::nullopt}, "没有可以调价的细目"},
    };
    const QStringList before = snapshot();
    for (const Case& c : cases) {
        PriceAdjustment adjustment(*dm);
        try {
            editor->proposeAdjustment(adjustment, c.request);
            ADD_FAILURE() << c.message;
        } catch (const Refused& e) {
            EXPECT_TRUE(e.text().contains(QString::fromUtf8(c.message))) << e.text().toStdString();
        }
        EXPECT_FALSE(adjustment.hasProposal());
    }
    EXPECT_EQ(snapshot(), before);
}

TEST_F(PricingTest, AdjustmentRefusesLinesChangedAfterTheProposal) {
    AdjustmentRequest request;
    request.percent = 5;
    PriceAdjustment adjustment(*dm);
    editor->proposeAdjustment(adjustment, request);
    db().exec(QStringLiteral("update jd_htqd set 合同单价=1 where 细目编号='304-1-a'"));
    const QStringList changed = snapshot();
    EXPECT_THROW(editor->applyAdjustment(adjustment), Refused);
    EXPECT_EQ(snapshot(), changed);
    EXPECT_FALSE(editor->history().canUndo());
}

TEST_F(PricingTest, AdjustmentAfterAnotherWriteRecomputesFromTheStoreAsItIsThen) {
    AdjustmentRequest request;
    request.chapters = {QStringLiteral("100"), QStringLiteral("500")};
    request.percent = 5;
    PriceAdjustment adjustment(*dm);
    editor->proposeAdjustment(adjustment, request);
    // A line outside the adjusted chapters still counts in the insurance base.
    db().exec(QStringLiteral("update jd_htqd set 合同单价=合同单价*3, 合同金额=合同金额*3 where 细目编号='202-1-a'"));
    editor->applyAdjustment(adjustment);
    const ContractFigures now = ContractFigures::read(*dm, QStringLiteral("A1"));
    EXPECT_EQ(stored(QStringLiteral("101-1-a"), BoqColumn::Price).toLongLong(), now.insurance());
    for (const QString& chapter : {QStringLiteral("100"), QStringLiteral("500")})
        EXPECT_EQ(stored(chapter, BoqColumn::Amount).toLongLong(), now.storedChapterTotal(chapter))
            << chapter.toStdString();
}

TEST_F(PricingTest, AdjustmentOfTenThousandLinesLandsNearTheTargetWithEveryLineOnTheCoefficient) {
    {
        Transaction tx(db());
        Statement line = db().prepare(
            QStringLiteral("insert into jd_htqd (合同编号, 章, 细目编号, 细目名称, 单位, 合同数量, 合同单价, 是否补充) "
                           "values ('A1', '800', ?, '细目', 'm3', ?, ?, 0)"));
        for (int i = 0; i < 10000; ++i) {
            line.bindAll({QStringLiteral("801-%1").arg(i), 50.0 + (i * 37) % 20000, 1.0 + (i * 13) % 500 / 7.0});
            line.run();
            line.reset();
        }
        tx.commit();
    }
    editor->initialise();
    AdjustmentRequest request;
    request.chapters = {QStringLiteral("800")};
    request.target = std::round(
        static_cast<double>(ContractFigures::read(*dm, QStringLiteral("A1")).boqTotalAsRecomputed()) * 1.031);
    PriceAdjustment adjustment(*dm);
    editor->proposeAdjustment(adjustment, request);
    ASSERT_GT(adjustment.changedLines().size(), 9000u);
    // Many lines of small quantities leave room to land to the yuan by single cents.
    EXPECT_LE(std::llabs(adjustment.distance()), 1) << adjustment.summary().toStdString();
    EXPECT_LE(adjustment.largestDeviation(), 0.01 + 1e-9);
    editor->applyAdjustment(adjustment);
    EXPECT_EQ(ContractFigures::read(*dm, QStringLiteral("A1")).boqTotalAsRecomputed(), adjustment.totalAfter());
}

TEST(PriceAdjustmentLocale, TheCommaLocaleGivesTheSameFigures) {
    auto figures = [] {
        TempDataFile file(true);
        auto dm = file.open();
        dm->LoadCurrentContract();
        BoqEditor editor(*dm);
        editor.initialise();
        editor.selectNode(BoqChapterLevel, QStringLiteral("200"));
        editor.pastePrices(editor.findItem(QStringLiteral("202-1-a")), QStringLiteral("1,234.56\n0.5\n"));
        AdjustmentRequest request;
        request.target = 150000000.0;
        PriceAdjustment adjustment(*dm);
        editor.proposeAdjustment(adjustment, request);
        editor.applyAdjustment(adjustment);
        QStringList out{adjustment.summary()};
        Statement st = dm->database().prepare(QStringLiteral("select quote(合同单价), quote(合同金额) from jd_htqd"));
        while (st.next())
            out << st.value(0).toString() + QLatin1Char(' ') + st.value(1).toString();
        return out;
    };
    const QStringList plain = figures();
    CommaDecimalLocale comma;
    if (!comma.active())
        GTEST_SKIP() << "no comma locale";
    EXPECT_EQ(figures(), plain);
}

// ---- Find and the lines still to price ----

struct FindCase {
    const char* text;
    bool unpriced;
    QStringList items;
};

class Find : public UnpricedTest, public testing::WithParamInterface<FindCase> {};

TEST_P(Find, AcrossTheChaptersInTheirOrder) {
    select(QStringLiteral("300"));
    price(QStringLiteral("304-1-a"), 5.0);
    if (GetParam().unpriced)
        editor->setUnpricedOnly(true);
    QStringList items;
    for (const BoqFoundLine& line : editor->find(QString::fromUtf8(GetParam().text)))
        items << line.item;
    EXPECT_EQ(items, GetParam().items) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, Find,
                         testing::Values(FindCase{"203-1", false, {"203-1", "203-1-a", "203-1-b", "203-1-c"}},
                                         FindCase{"土方", false, {"203-1-a", "204-1-b"}},
                                         FindCase{"挖 石", false, {"203-1-b"}}, FindCase{"m7.5", false, {"207-1-a"}},
                                         FindCase{"厚", false, {"304-1-a", "304-3-a", "308-1-a", "308-2-a"}},
                                         FindCase{"厚", true, {"304-3-a", "308-1-a", "308-2-a"}},
                                         FindCase{"203-1", true, {"203-1-a", "203-1-b", "203-1-c"}},
                                         FindCase{"  ", false, {}}));

TEST_F(UnpricedTest, TheUnpricedFilterListsOnlyLinesStillToPrice) {
    select(QStringLiteral("200"));
    price(QStringLiteral("202-1-a"), 5.0);
    editor->setUnpricedOnly(true);
    const DataSet& lines = editor->lines();
    ASSERT_GT(lines.rowCount(), 0);
    for (int r = 0; r < lines.rowCount(); ++r)
        EXPECT_TRUE(IsUnpriced(lines, r)) << lines.value(r, BoqColumn::Item).toString().toStdString();
    EXPECT_LT(editor->findItem(QStringLiteral("202-1-a")), 0);
    const std::vector<BoqFoundLine> found = editor->find(QStringLiteral("203-1-b"));
    ASSERT_EQ(found.size(), 1u);
    editor->selectNode(BoqContractLevel, QString());
    const int row = editor->lines().rowOfKey(QVariant::fromValue<qlonglong>(found.front().rowId));
    ASSERT_GE(row, 0) << "the contract node lists the found line";
    EXPECT_EQ(editor->lines().value(row, BoqColumn::Item).toString(), QStringLiteral("203-1-b"));
}

// The lines of the contract still to price, worked out apart from the editor's list.
std::set<qint64> unpricedOfContract(Database& db) {
    std::set<qint64> ids;
    Statement st = db.prepare(QStringLiteral("select rowid, 合同数量, 细目编号, 单位, 章, 合同单价 from jd_htqd "
                                             "where 合同编号='A1' and 是否补充=0"));
    while (st.next())
        if (IsUnpriced(st.value(1), st.value(2).toString(), st.value(3).toString(), st.value(4).toString(),
                       st.value(5)))
            ids.insert(st.value(0).toLongLong());
    return ids;
}

std::set<qint64> listed(const DataSet& lines) {
    std::set<qint64> ids;
    for (int r = 0; r < lines.rowCount(); ++r)
        ids.insert(lines.keyOf(r).toLongLong());
    return ids;
}

TEST_F(UnpricedTest, TheWholeContractListHoldsTheUnpricedLinesOfEveryChapterAndTakesPrices) {
    select(QStringLiteral("200"));
    price(QStringLiteral("202-1-a"), 5.0);
    editor->setContractUnpriced(true);
    const DataSet& lines = editor->lines();
    EXPECT_TRUE(editor->listsSeveralChapters());
    EXPECT_EQ(editor->selectedLevel(), BoqContractLevel);
    EXPECT_EQ(listed(lines), unpricedOfContract(db()));
    QSet<QString> chapters;
    for (int r = 0; r < lines.rowCount(); ++r)
        chapters.insert(lines.value(r, BoqColumn::Chapter).toString());
    EXPECT_GE(chapters.size(), 5) << "lines of every chapter";
    EXPECT_LT(editor->findItem(QStringLiteral("202-1-a")), 0) << "a priced line is not listed";

    // A price typed there is saved through the hook and counts at once; the line stays listed,
    // priced, so the list does not jump under the cursor.
    const qint64 before = editor->liveTotals().boqTotalAsRecomputed();
    const int rows = lines.rowCount();
    price(QStringLiteral("304-1-a"), 12.5);
    const int row = editor->findItem(QStringLiteral("304-1-a"));
    ASSERT_GE(row, 0);
    EXPECT_EQ(lines.rowCount(), rows);
    EXPECT_EQ(stored(QStringLiteral("304-1-a"), QStringLiteral("合同单价")).toDouble(), 12.5);
    EXPECT_EQ(lines.value(row, BoqColumn::Amount), stored(QStringLiteral("304-1-a"), QStringLiteral("合同金额")));
    EXPECT_GT(editor->liveTotals().boqTotalAsRecomputed(), before);
    EXPECT_EQ(editor->liveTotals().boqTotalAsRecomputed(),
              ContractFigures::read(*dm, QStringLiteral("A1"), ContractFigures::Parts::Boq).boqTotalAsRecomputed());
    EXPECT_LT(editor->findItem(QString::fromLatin1(kInsuranceItem)), 0) << "a locked line is no line to price";
    EXPECT_EQ(editor->undo(), lines.keyOf(row).toLongLong());
    EXPECT_TRUE(stored(QStringLiteral("304-1-a"), QStringLiteral("合同单价")).isNull());
    EXPECT_EQ(editor->liveTotals().boqTotalAsRecomputed(), before);
    editor->redo();

    // Listed again, the priced line is gone; a node selected ends the whole-contract list.
    editor->setContractUnpriced(false);
    editor->setContractUnpriced(true);
    EXPECT_LT(editor->findItem(QStringLiteral("304-1-a")), 0);
    EXPECT_EQ(listed(lines), unpricedOfContract(db()));
    select(QStringLiteral("300"));
    EXPECT_FALSE(editor->contractUnpriced());
    EXPECT_GE(editor->findItem(QStringLiteral("304-1-a")), 0) << "the chapter lists every line";
}

// Leaving the whole-contract list lists again what was listed before it.
TEST_F(UnpricedTest, LeavingTheWholeContractListGoesBackToTheNodeBefore) {
    struct Case {
        const char* name;
        int level;
        const char* chapter;
        bool unpricedOnly;
    };
    for (const Case& c : {Case{"nothing selected", -1, "", false}, Case{"a chapter", BoqChapterLevel, "300", false},
                          Case{"a chapter, unpriced only", BoqChapterLevel, "300", true},
                          Case{"the contract", BoqContractLevel, "A1", false}}) {
        editor->initialise();
        editor->setUnpricedOnly(c.unpricedOnly);
        if (c.level >= 0)
            editor->selectNode(c.level, QString::fromLatin1(c.chapter));
        const std::set<qint64> before = listed(editor->lines());
        editor->setContractUnpriced(true);
        EXPECT_EQ(listed(editor->lines()), unpricedOfContract(db())) << c.name;
        editor->setContractUnpriced(false);
        EXPECT_EQ(editor->selectedLevel(), c.level) << c.name;
        EXPECT_EQ(editor->lines().isOpen(), c.level >= 0) << c.name;
        EXPECT_EQ(listed(editor->lines()), before) << c.name;
        editor->setUnpricedOnly(false);
    }
}

TEST(ChapterNames, BesideTheCodes) {
    EXPECT_EQ(BoqChapterLabel(QStringLiteral("100")), QStringLiteral("100 总则"));
    EXPECT_EQ(BoqChapterLabel(QStringLiteral("700")), QStringLiteral("700 绿化及环境保护"));
    EXPECT_EQ(BoqChapterLabel(QStringLiteral("800")), QStringLiteral("800"));
}

} // namespace

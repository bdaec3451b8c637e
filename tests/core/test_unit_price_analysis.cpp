// The unit-price analysis: analysed prices to the cent against figures worked out here, the
// analysed prices put into the bill through the save hook and undone, a resource price change
// re-pricing exactly the lines that use it, and the tables of our own beside the owner's.
#include "PricingFixture.h"

#include "boq/BoqEditor.h"
#include "boq/ContractFigures.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "pricing/AnalysedPriceApply.h"
#include "pricing/PricingSchema.h"
#include "pricing/UnitPriceAnalysis.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tenvora;
using namespace tenvora::test;

namespace {

// Decimal figures worked out here on 128-bit integers, apart from the code under test.
__extension__ typedef __int128 Wide;

struct Fixed {
    Wide units = 0;
    int scale = 0;
};

Fixed fixed(const char* text) {
    Fixed f;
    bool point = false;
    for (const char* p = text; *p; ++p) {
        if (*p == '.') {
            point = true;
            continue;
        }
        f.units = f.units * 10 + (*p - '0');
        if (point)
            ++f.scale;
    }
    return f;
}

Fixed times(Fixed a, Fixed b) {
    return {a.units * b.units, a.scale + b.scale};
}

Fixed plus(Fixed a, Fixed b) {
    while (a.scale < b.scale) {
        a.units *= 10;
        ++a.scale;
    }
    while (b.scale < a.scale) {
        b.units *= 10;
        ++b.scale;
    }
    return {a.units + b.units, a.scale};
}

qint64 cents(Fixed f) {
    Wide v = f.units;
    int scale = f.scale;
    if (scale <= 2) {
        for (; scale < 2; ++scale)
            v *= 10;
        return static_cast<qint64>(v);
    }
    Wide divisor = 1;
    for (int i = 0; i < scale - 2; ++i)
        divisor *= 10;
    const Wide whole = v / divisor;
    return static_cast<qint64>(whole + ((v % divisor) * 2 >= divisor ? 1 : 0));
}

struct Row {
    const char* code;
    const char* consumption;
};
struct Price {
    const char* code;
    ResourceKind kind;
    const char* price;
};
struct FeeCase {
    const char* percent;
    FeeBase base;
};
struct AnalysisCase {
    const char* name;
    std::vector<Row> rows;
    std::vector<Price> prices;
    std::vector<FeeCase> fees;
};

class AnalysedPrice : public testing::TestWithParam<AnalysisCase> {};

TEST_P(AnalysedPrice, IsExactToTheCent) {
    const AnalysisCase& c = GetParam();
    QHash<QString, Resource> library;
    QHash<QString, Fixed> prices;
    for (const Price& p : c.prices) {
        library.insert(QString::fromLatin1(p.code), Resource{QString::fromLatin1(p.code), QStringLiteral("名称"),
                                                             QStringLiteral("t"), p.kind, std::atof(p.price)});
        prices.insert(QString::fromLatin1(p.code), fixed(p.price));
    }
    std::vector<BuildUpRow> rows;
    Fixed direct;
    std::array<Fixed, kResourceKinds> byKind;
    for (const Row& r : c.rows) {
        rows.push_back({QStringLiteral("X"), QString::fromLatin1(r.code), std::atof(r.consumption)});
        const Fixed amount = times(fixed(r.consumption), prices.value(QString::fromLatin1(r.code)));
        direct = plus(direct, amount);
        const auto kind = static_cast<size_t>(library.value(QString::fromLatin1(r.code)).kind);
        byKind[kind] = plus(byKind[kind], amount);
    }
    std::vector<Fee> fees;
    Fixed running = direct;
    for (const FeeCase& f : c.fees) {
        fees.push_back({QStringLiteral("费"), std::atof(f.percent), f.base});
        Fixed amount = times(f.base == FeeBase::Direct ? direct : running, fixed(f.percent));
        amount.scale += 2;
        running = plus(running, amount);
    }

    const LineAnalysis a = AnalyseBuildUp(QStringLiteral("X"), rows, library, fees);
    ASSERT_TRUE(a.priced()) << a.problem.toStdString();
    EXPECT_EQ(a.cents(), cents(running)) << c.name;
    EXPECT_EQ(a.unitPrice(), static_cast<double>(cents(running)) / 100.0);
    EXPECT_EQ(a.direct.units(2), cents(direct));
    for (size_t k = 0; k < byKind.size(); ++k)
        EXPECT_EQ(a.byKind[k].units(2), cents(byKind[k])) << c.name << " kind " << k;
    EXPECT_EQ(a.fees.size(), c.fees.size());
}

INSTANTIATE_TEST_SUITE_P(
    BuildUps, AnalysedPrice,
    testing::Values(
        AnalysisCase{"fees on the direct cost",
                     {{"R", "0.05"}, {"J", "0.0035"}},
                     {{"R", ResourceKind::Labour, "120"}, {"J", ResourceKind::Machinery, "1280.25"}},
                     {{"5", FeeBase::Direct}, {"3", FeeBase::Direct}}},
        AnalysisCase{
            "fees on the running total",
            {{"R", "0.05"}, {"J", "0.0035"}, {"M", "1.02"}},
            {{"R", ResourceKind::Labour, "120"},
             {"J", ResourceKind::Machinery, "1280.25"},
             {"M", ResourceKind::Material, "3.85"}},
            {{"3.2", FeeBase::Direct}, {"8.5", FeeBase::Running}, {"7", FeeBase::Running}, {"9", FeeBase::Running}}},
        AnalysisCase{"a zero consumption",
                     {{"R", "0"}, {"M", "0.5"}},
                     {{"R", ResourceKind::Labour, "182"}, {"M", ResourceKind::Material, "468.35"}},
                     {{"10", FeeBase::Running}}},
        AnalysisCase{"fractional consumptions",
                     {{"R", "0.333"}, {"M", "0.0125"}, {"N", "2.675"}},
                     {{"R", ResourceKind::Labour, "135.5"},
                      {"M", ResourceKind::Material, "92.8"},
                      {"N", ResourceKind::Material, "1.001"}},
                     {{"6.35", FeeBase::Direct}, {"4.75", FeeBase::Running}}},
        // Exactly on half a cent: binary doubles give 1.00, the exact rule 1.01.
        AnalysisCase{"half a cent", {{"M", "1"}}, {{"M", ResourceKind::Material, "1.005"}}, {}},
        AnalysisCase{"half a cent after a fee",
                     {{"M", "1"}},
                     {{"M", ResourceKind::Material, "10"}},
                     {{"0.05", FeeBase::Direct}}},
        AnalysisCase{
            "nothing consumed", {{"M", "0"}}, {{"M", ResourceKind::Material, "10"}}, {{"8", FeeBase::Direct}}}),
    [](const testing::TestParamInfo<AnalysisCase>& param) {
        std::string name = param.param.name;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST(AnalyseBuildUp, NamesAResourceMissingFromTheLibrary) {
    const LineAnalysis a =
        AnalyseBuildUp(QStringLiteral("203-1-a"), {{QStringLiteral("203-1-a"), QStringLiteral("Z9"), 1}}, {}, {});
    EXPECT_FALSE(a.priced());
    EXPECT_TRUE(a.problem.contains(QStringLiteral("Z9"))) << a.problem.toStdString();
}

class UnitPriceApply : public testing::Test {
protected:
    void SetUp() override {
        dm = file.open();
        dm->LoadCurrentContract();
        ASSERT_EQ(dm->session().CurContractID, QStringLiteral("A1"));
    }
    Database& db() { return dm->database(); }
    // Every line's price and amount exactly as stored (quote() keeps the storage type), the
    // history's figures.
    QStringList snapshot() { return snapshot(db()); }
    static QStringList snapshot(Database& db) {
        QStringList rows;
        Statement st = db.prepare(
            QStringLiteral("select rowid, 细目编号, quote(合同单价), quote(合同金额), '' from jd_htqd order by rowid"));
        while (st.next())
            rows << QStringLiteral("%1 %2 %3 %4 %5")
                        .arg(st.value(0).toString(), st.value(1).toString(), st.value(2).toString(),
                             st.value(3).toString(), st.value(4).toString());
        return rows;
    }
    // The item numbers of the rows that differ between two snapshots.
    static QSet<QString> changedItems(const QStringList& before, const QStringList& after) {
        QSet<QString> items;
        for (qsizetype i = 0; i < before.size() && i < after.size(); ++i)
            if (before[i] != after[i])
                items.insert(before[i].section(QLatin1Char(' '), 1, 1));
        return items;
    }
    QVariant stored(const QString& item, const QString& column) {
        return db().scalar(QStringLiteral("select %1 from jd_htqd where 合同编号='A1' and 细目编号=?").arg(column),
                           {item});
    }
    double analysed(const QString& item) {
        return UnitPriceAnalysis(*dm, QStringLiteral("A1")).analyse(item).unitPrice();
    }

    TempDataFile file{true};
    std::unique_ptr<DataModule> dm;
};

TEST_F(UnitPriceApply, TablesOfOurOwnComeWithTheFirstWriteAndLeaveTheOwnersAlone) {
    const auto ownerSchema = [&] {
        QStringList sql;
        Statement st = db().prepare(
            QStringLiteral("select name, sql from sqlite_master where name not like 'pricing%' order by name"));
        while (st.next())
            sql << st.value(0).toString() + QLatin1Char(':') + st.value(1).toString();
        return sql;
    };
    const QStringList before = ownerSchema();
    ASSERT_FALSE(PricingSchema::exists(db()));
    EXPECT_TRUE(ResourceLibrary(*dm, QStringLiteral("A1")).list().empty());
    EXPECT_TRUE(LineBuildUps(*dm, QStringLiteral("A1")).items().isEmpty());
    EXPECT_TRUE(FeeList(*dm, QStringLiteral("A1")).list().empty());
    EXPECT_FALSE(PricingSchema::exists(db())) << "reading must not create the tables";

    AddDemoCosts(*dm);
    EXPECT_TRUE(PricingSchema::exists(db()));
    EXPECT_EQ(ownerSchema(), before);
    dm.reset();
    dm = file.open(); // a file with our tables opens as the owner's does
    EXPECT_EQ(ResourceLibrary(*dm, QStringLiteral("A1")).list().size(), 7u);
    // Another contract has a library of its own.
    EXPECT_TRUE(ResourceLibrary(*dm, QStringLiteral("A2")).list().empty());
}

TEST_F(UnitPriceApply, WritesThroughTheSaveHookAndReportsTheLockedLine) {
    AddDemoCosts(*dm);
    const QString provisionalAmount = stored(QStringLiteral("102-3"), QStringLiteral("quote(合同金额)")).toString();
    AnalysedPriceApply apply(*dm);
    apply.proposeAll(QStringLiteral("A1"));
    ASSERT_EQ(apply.lines().size(), 5u);
    EXPECT_EQ(apply.count(AnalysedLine::Outcome::Locked), 1);
    EXPECT_EQ(apply.count(AnalysedLine::Outcome::Change), 4);
    for (const AnalysedLine& l : apply.lines())
        if (l.item == QStringLiteral("102-3")) {
            EXPECT_EQ(l.outcome, AnalysedLine::Outcome::Locked);
            EXPECT_FALSE(l.reason.isEmpty());
        }
    const QStringList before = snapshot();
    const qint64 bidAfter = apply.bidPriceAfter();
    const std::vector<PriceChange> changes = apply.apply();
    EXPECT_FALSE(changes.empty());

    for (const char* item : {"203-1-a", "203-1-b", "207-1-a", "304-1-a"}) {
        const QString i = QString::fromLatin1(item);
        EXPECT_EQ(stored(i, QStringLiteral("合同单价")).toDouble(), analysed(i)) << item;
        const double quantity = stored(i, QStringLiteral("合同数量")).toDouble();
        EXPECT_EQ(stored(i, QStringLiteral("合同金额")).toLongLong(), RoundAmount(analysed(i) * quantity)) << item;
        EXPECT_EQ(stored(i, QStringLiteral("节")).toString(), i) << "the save hook ran";
    }
    EXPECT_EQ(stored(QStringLiteral("102-3"), QStringLiteral("quote(合同金额)")).toString(), provisionalAmount);
    const QSet<QString> touched = changedItems(before, snapshot());
    EXPECT_FALSE(touched.contains(QStringLiteral("102-3")));
    // The chapter totals and the insurance line follow, as the recomputation stores them.
    const ContractFigures figures = ContractFigures::read(*dm, QStringLiteral("A1"));
    for (const char* chapter : {"100", "200", "300"})
        EXPECT_EQ(stored(QString::fromLatin1(chapter), QStringLiteral("合同金额")).toLongLong(),
                  figures.storedChapterTotal(QString::fromLatin1(chapter)))
            << chapter;
    EXPECT_EQ(stored(QStringLiteral("101-1-a"), QStringLiteral("合同金额")).toLongLong(), figures.insurance());
    EXPECT_EQ(figures.bidPriceForm().bidPrice, bidAfter);

    // Applied again, nothing changes and nothing is written.
    AnalysedPriceApply again(*dm);
    again.proposeAll(QStringLiteral("A1"));
    EXPECT_EQ(again.count(AnalysedLine::Outcome::Change), 0);
    EXPECT_EQ(again.bidPriceAfter(), again.bidPriceBefore());
    const QStringList applied = snapshot();
    EXPECT_TRUE(again.apply().empty());
    EXPECT_EQ(snapshot(), applied);
}

TEST_F(UnitPriceApply, ADryRunWritesNothingAndALineChangedMeanwhileRefusesAll) {
    AddDemoCosts(*dm);
    const QStringList before = snapshot();
    AnalysedPriceApply apply(*dm);
    apply.proposeFor(QStringLiteral("A1"), {QStringLiteral("203-1-a"), QStringLiteral("304-1-a")});
    EXPECT_EQ(apply.lines().size(), 2u);
    EXPECT_NE(apply.bidPriceAfter(), apply.bidPriceBefore());
    EXPECT_EQ(snapshot(), before);
    db().exec(QStringLiteral("update jd_htqd set 合同单价=1 where 合同编号='A1' and 细目编号='304-1-a'"));
    const QStringList changedElsewhere = snapshot();
    EXPECT_THROW(apply.apply(), Refused);
    EXPECT_EQ(snapshot(), changedElsewhere);
    EXPECT_THROW(apply.proposeFor(QStringLiteral("A1"), {QStringLiteral("202-1-a")}), Refused) << "no build-up";

    // Another line written after the proposal: the chapter totals still count it.
    apply.proposeFor(QStringLiteral("A1"), {QStringLiteral("203-1-a")});
    db().exec(QStringLiteral("update jd_htqd set 合同金额=合同金额+1000 where 合同编号='A1' and 细目编号='202-1-a'"));
    apply.apply();
    const ContractFigures figures = ContractFigures::read(*dm, QStringLiteral("A1"));
    EXPECT_EQ(stored(QStringLiteral("200"), QStringLiteral("合同金额")).toLongLong(),
              figures.storedChapterTotal(QStringLiteral("200")));
}

TEST_F(UnitPriceApply, UndoRestoresTheExactStoredValuesAndRedoTheAnalysedOnes) {
    AddDemoCosts(*dm);
    const QStringList before = snapshot();
    AnalysedPriceApply apply(*dm);
    apply.proposeAll(QStringLiteral("A1"));
    const PriceStep step{QStringLiteral("写入分析单价"), apply.apply()};
    const QStringList after = snapshot();
    ASSERT_NE(after, before);

    DataSet none(*dm, DataSetTable{QStringLiteral("jd_htqd"), QStringLiteral("rowid"), {}});
    ApplyPriceStep(*dm, none, step, true);
    EXPECT_EQ(snapshot(), before);
    ApplyPriceStep(*dm, none, step, false);
    EXPECT_EQ(snapshot(), after);

    // The editor takes the same change as one step of its history, its list showing the figures.
    ApplyPriceStep(*dm, none, step, true);
    BoqEditor editor(*dm);
    editor.initialise();
    editor.selectNode(BoqChapterLevel, QStringLiteral("200"));
    editor.savePending();
    AnalysedPriceApply again(*dm);
    again.proposeAll(QStringLiteral("A1"));
    editor.takeWrittenStep(QStringLiteral("写入分析单价"), again.apply(), again.written());
    EXPECT_EQ(editor.history().undoCount(), 1);
    const int row = editor.findItem(QStringLiteral("203-1-a"));
    EXPECT_EQ(editor.lines().value(row, QStringLiteral("合同单价")).toDouble(), analysed(QStringLiteral("203-1-a")));
    editor.undo();
    EXPECT_EQ(snapshot(), before);
}

TEST_F(UnitPriceApply, AResourcePriceChangeRepricesExactlyTheLinesThatUseIt) {
    AddDemoCosts(*dm);
    AnalysedPriceApply first(*dm);
    first.proposeAll(QStringLiteral("A1"));
    first.apply();
    ResourceLibrary library(*dm, QStringLiteral("A1"));
    ASSERT_EQ(library.whereUsed(QStringLiteral("M02")).size(), 1u);

    QStringList before = snapshot();
    RepriceOutcome outcome = RepriceAfterChange(
        *dm, QStringLiteral("A1"),
        [&] {
            library.setPrice(QStringLiteral("M02"), 101.4);
            return library.itemsUsing({QStringLiteral("M02")});
        },
        true);
    EXPECT_EQ(outcome.items, QStringList{QStringLiteral("304-1-a")});
    QSet<QString> touched = changedItems(before, snapshot());
    EXPECT_TRUE(touched.contains(QStringLiteral("304-1-a")));
    touched -= QSet<QString>{QStringLiteral("304-1-a"), QStringLiteral("101-1-a"), QStringLiteral("100"),
                             QStringLiteral("300")};
    EXPECT_TRUE(touched.isEmpty()) << QStringList(touched.values()).join(' ').toStdString();
    EXPECT_EQ(stored(QStringLiteral("304-1-a"), QStringLiteral("合同单价")).toDouble(),
              analysed(QStringLiteral("304-1-a")));

    // A resource many lines use: every one of them but the locked line is re-priced.
    before = snapshot();
    outcome = RepriceAfterChange(
        *dm, QStringLiteral("A1"),
        [&] {
            library.setPrice(QStringLiteral("R01"), 146.25);
            return library.itemsUsing({QStringLiteral("R01")});
        },
        true);
    EXPECT_EQ(outcome.items.size(), 5);
    touched = changedItems(before, snapshot());
    for (const char* item : {"203-1-a", "203-1-b", "207-1-a", "304-1-a"})
        EXPECT_TRUE(touched.contains(QString::fromLatin1(item))) << item;
    EXPECT_FALSE(touched.contains(QStringLiteral("102-3")));
    EXPECT_FALSE(touched.contains(QStringLiteral("202-1-a")));

    // Without re-pricing only the library changes.
    before = snapshot();
    outcome = RepriceAfterChange(
        *dm, QStringLiteral("A1"),
        [&] {
            library.setPrice(QStringLiteral("R01"), 150);
            return library.itemsUsing({QStringLiteral("R01")});
        },
        false);
    EXPECT_FALSE(outcome.repriced);
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(library.find(QStringLiteral("R01"))->price, 150.0);
}

// Re-pricing from the codes whose price changed finds in the build-ups the very lines the store
// names for those codes, and writes the same figures.
TEST_F(UnitPriceApply, RepricingByChangedCodesMatchesRepricingByTheItemsUsingThem) {
    TempDataFile otherFile{true};
    std::unique_ptr<DataModule> other = otherFile.open();
    other->LoadCurrentContract();
    for (DataModule* m : {dm.get(), other.get()}) {
        AddDemoCosts(*m);
        AnalysedPriceApply first(*m);
        first.proposeAll(QStringLiteral("A1"));
        first.apply();
    }
    struct Change {
        QStringList codes;
        double price;
    };
    const std::vector<Change> changes = {
        {{QStringLiteral("M02")}, 101.4},                       // one line
        {{QStringLiteral("R01")}, 146.25},                      // many lines, one of them locked
        {{QStringLiteral("J01"), QStringLiteral("M01")}, 1500}, // two codes sharing lines
        {{QStringLiteral("R01")}, 146.25},                      // the same price again: nothing moves
        {{QStringLiteral("Z9")}, 1},                            // a code no build-up uses
    };
    for (const Change& c : changes) {
        const auto run = [&](DataModule& m, bool byCodes) {
            ResourceLibrary library(m, QStringLiteral("A1"));
            const auto change = [&] {
                for (const QString& code : c.codes)
                    if (library.find(code))
                        library.setPrice(code, c.price);
                return byCodes ? c.codes : library.itemsUsing(c.codes);
            };
            RepriceOutcome outcome = byCodes ? RepriceAfterPriceChange(m, QStringLiteral("A1"), change, true)
                                             : RepriceAfterChange(m, QStringLiteral("A1"), change, true);
            outcome.items.sort();
            return outcome;
        };
        const RepriceOutcome byCodes = run(*dm, true);
        const RepriceOutcome byItems = run(*other, false);
        const QString what = c.codes.join(QLatin1Char(','));
        EXPECT_EQ(byCodes.items, byItems.items) << what.toStdString();
        EXPECT_EQ(byCodes.repriced, byItems.repriced) << what.toStdString();
        EXPECT_EQ(byCodes.changes.size(), byItems.changes.size()) << what.toStdString();
        EXPECT_EQ(snapshot(), snapshot(other->database())) << what.toStdString();
    }
    // Without re-pricing it still says which items the change touches, and writes no price.
    const QStringList before = snapshot();
    ResourceLibrary library(*dm, QStringLiteral("A1"));
    const RepriceOutcome asked = RepriceAfterPriceChange(
        *dm, QStringLiteral("A1"),
        [&] {
            library.setPrice(QStringLiteral("M02"), 99);
            return QStringList{QStringLiteral("M02")};
        },
        false);
    EXPECT_FALSE(asked.repriced);
    EXPECT_EQ(asked.items, QStringList{QStringLiteral("304-1-a")});
    EXPECT_EQ(snapshot(), before);
}

TEST_F(UnitPriceApply, BuildUpRulesRefuseWhatCannotBeAnalysed) {
    AddDemoCosts(*dm);
    LineBuildUps buildUps(*dm, QStringLiteral("A1"));
    EXPECT_THROW(buildUps.set(QStringLiteral("999-9"), QStringLiteral("R01"), 1), Refused);
    EXPECT_THROW(buildUps.set(QStringLiteral("202-1-a"), QStringLiteral("Z9"), 1), Refused);
    EXPECT_THROW(buildUps.set(QStringLiteral("202-1-a"), QStringLiteral("R01"), -1), Refused);
    EXPECT_THROW(buildUps.remove(QStringLiteral("202-1-a"), QStringLiteral("R01")), Refused);
    EXPECT_TRUE(buildUps.set(QStringLiteral("202-1-a"), QStringLiteral("R01"), 0.02));
    EXPECT_FALSE(buildUps.set(QStringLiteral("202-1-a"), QStringLiteral("R01"), 0.03));
    ASSERT_EQ(buildUps.rows(QStringLiteral("202-1-a")).size(), 1u);
    EXPECT_EQ(buildUps.rows(QStringLiteral("202-1-a")).front().consumption, 0.03);

    // A copy replaces the targets' build-ups with the source's.
    EXPECT_EQ(buildUps.copy(QStringLiteral("203-1-a"), {QStringLiteral("202-1-a"), QStringLiteral("202-1-b")}), 6);
    EXPECT_EQ(buildUps.rows(QStringLiteral("202-1-a")).size(), 3u);
    EXPECT_EQ(analysed(QStringLiteral("202-1-b")), analysed(QStringLiteral("203-1-a")));
    EXPECT_THROW(buildUps.copy(QStringLiteral("203-1-a"), {QStringLiteral("999-9")}), Refused);

    // An import naming a line the bill lacks writes nothing.
    const std::vector<BuildUpRow> before = buildUps.all();
    try {
        buildUps.import({{QStringLiteral("203-1-a"), QStringLiteral("R02"), 1},
                         {QStringLiteral("999-1"), QStringLiteral("R01"), 1}});
        ADD_FAILURE() << "import of an unknown line";
    } catch (const Refused& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("999-1"))) << e.text().toStdString();
    }
    EXPECT_EQ(buildUps.all().size(), before.size());

    // A resource that left the library (a file edited elsewhere) leaves its lines unpriced.
    db().exec(QStringLiteral("delete from pricing_resource where 编号='J02'"));
    AnalysedPriceApply apply(*dm);
    apply.proposeFor(QStringLiteral("A1"), {QStringLiteral("203-1-a")});
    ASSERT_EQ(apply.lines().size(), 1u);
    EXPECT_EQ(apply.lines().front().outcome, AnalysedLine::Outcome::Unpriced);
    EXPECT_TRUE(apply.apply().empty());
}

TEST_F(UnitPriceApply, LibraryAndFeesRefuseBadEntries) {
    ResourceLibrary library(*dm, QStringLiteral("A1"));
    library.add({QStringLiteral("R1"), QStringLiteral("普工"), QStringLiteral("工日"), ResourceKind::Labour, 120});
    EXPECT_THROW(
        library.add({QStringLiteral("R1"), QStringLiteral("普工"), QStringLiteral("工日"), ResourceKind::Labour, 1}),
        Refused);
    EXPECT_THROW(library.add({QStringLiteral("R2"), QStringLiteral("x"), QString(), ResourceKind::Labour, -1}),
                 Refused);
    EXPECT_THROW(library.setPrice(QStringLiteral("R9"), 1), Refused);
    // An import checks every row before it writes one.
    EXPECT_THROW(library.import({{QStringLiteral("R3"), QStringLiteral("x"), QString(), ResourceKind::Labour, 1},
                                 {QStringLiteral("R3"), QStringLiteral("y"), QString(), ResourceKind::Labour, 2}}),
                 Refused);
    EXPECT_EQ(library.list().size(), 1u);
    const ResourceImportResult r = library.import(
        {{QStringLiteral("R1"), QStringLiteral("普工"), QStringLiteral("工日"), ResourceKind::Labour, 125},
         {QStringLiteral("R10"), QStringLiteral("技工"), QStringLiteral("工日"), ResourceKind::Labour, 180},
         {QStringLiteral("R2"), QStringLiteral("杂工"), QStringLiteral("工日"), ResourceKind::Labour, 100}});
    EXPECT_EQ(r.added, 2);
    EXPECT_EQ(r.changed, 1);
    EXPECT_EQ(r.pricesChanged, QStringList{QStringLiteral("R1")});
    EXPECT_EQ(library.list().size(), 3u);
    EXPECT_EQ(library.find(QStringLiteral("R1"))->price, 125.0);
    EXPECT_EQ(library.find(QStringLiteral("R10"))->name, QStringLiteral("技工"));

    FeeList fees(*dm, QStringLiteral("A1"));
    fees.add({QStringLiteral("管理费"), 5, FeeBase::Direct});
    fees.add({QStringLiteral("利润"), 7, FeeBase::Running});
    EXPECT_THROW(fees.add({QStringLiteral("管理费"), 6, FeeBase::Direct}), Refused);
    EXPECT_THROW(fees.add({QStringLiteral("让利"), -100, FeeBase::Running}), Refused);
    fees.set({QStringLiteral("管理费"), 6, FeeBase::Running});
    std::vector<Fee> list = fees.list();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, QStringLiteral("管理费")) << "a changed fee keeps its place";
    EXPECT_EQ(list[0].percent, 6.0);
    EXPECT_EQ(list[0].base, FeeBase::Running);
    fees.remove(QStringLiteral("管理费"));
    EXPECT_THROW(fees.remove(QStringLiteral("管理费")), Refused);
    EXPECT_EQ(fees.list().size(), 1u);
}

} // namespace

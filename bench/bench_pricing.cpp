// Pricing at speed on a data file whose one contract holds 20 chapters of 5,000 priced lines
// (100,000 lines): a paste of 5,000 prices into one chapter, an adjustment of the whole contract
// to a target, and one undo of each, each beside the bare one-transaction update of the same
// rows in the same run; and one typed price saved, beside the bare update of its row.
#include "boq/BoqEditor.h"
#include "boq/BoqLineRules.h"
#include "boq/PriceAdjustment.h"
#include "data/AppPaths.h"
#include "data/DataModule.h"
#include "data/Database.h"
#include "data/Money.h"
#include "data/Schema.h"

#include "RatioReporter.h"
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>

using namespace tenvora;

namespace {

constexpr int kChapters = 20;
constexpr int kLinesPerChapter = 5000;
const QString kContract = QStringLiteral("C01");
const QString kChapter = QStringLiteral("300");

QString chapterCode(int c) {
    // Three characters, as chapter codes are: 100 ... 900, then A00 ... K00.
    return c < 9 ? QString::number(100 * (c + 1)) : QChar(u'A' + (c - 9)) + QStringLiteral("00");
}

double quantityOf(int i) {
    return 10.0 + (i * 37) % 9000;
}

double priceOf(int i, int set) {
    return (350 + (i * 13) % 40000 + set * 7) / 100.0;
}

void fill(Database& db) {
    Transaction tx(db);
    db.exec(QStringLiteral("insert into jd_xiangmu (ID, 项目名称) values ('P1', '基准项目')"));
    db.exec(QStringLiteral("insert into jd_hetong (UPID, ID, 合同名称) values ('P1', ?, '基准合同段')"), {kContract});
    Statement line = db.prepare(
        QStringLiteral("insert into jd_htqd (合同编号, 章, 细目编号, 细目名称, 单位, 合同数量, 合同单价, 合同金额, "
                       "是否补充) values (?, ?, ?, ?, ?, ?, ?, ?, 0)"));
    auto add = [&](const QVariantList& values) {
        line.bindAll(values);
        line.run();
        line.reset();
    };
    for (int c = 0; c < kChapters; ++c) {
        const QString chapter = chapterCode(c);
        add({kContract, chapter, chapter, QStringLiteral("章"), QString(), 0.0, QVariant(), QVariant()});
        if (c == 0) {
            add({kContract, chapter, QStringLiteral("101-1-a"), QStringLiteral("保险费"), QStringLiteral("总额"), 1.0,
                 QVariant(), QVariant()});
            add({kContract, chapter, QStringLiteral("102-3"), QStringLiteral("暂定金"), kProvisionalSumUnit, 1.0,
                 QVariant(), 4500000});
        }
        for (int i = 0; i < kLinesPerChapter; ++i) {
            const double q = quantityOf(i);
            const double p = priceOf(i + c, 0);
            add({kContract, chapter, QStringLiteral("%1-%2-%3").arg(chapter).arg(i / 26 + 1).arg(QChar(u'a' + i % 26)),
                 QStringLiteral("基准细目第%1行").arg(i), QStringLiteral("m3"), q, p,
                 static_cast<qlonglong>(RoundAmount(p * q))});
        }
    }
    tx.commit();
}

struct Fixture {
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<DataModule> dm;
    std::unique_ptr<BoqEditor> editor;
    std::vector<qint64> chapterRows; // rowids of the chapter's priceable lines, in list order
    std::vector<double> chapterQuantities;
    std::vector<qint64> allRows; // every priceable line of the contract
    std::vector<double> allQuantities;
};

Fixture& fixture() {
    static Fixture f = [] {
        Fixture made;
        made.path = QDir(made.dir.path()).filePath(QStringLiteral("VORQEL.tr"));
        {
            Database db = Database::create(made.path, DataFileKey());
            Schema::create(db);
            fill(db);
        }
        made.dm = std::make_unique<DataModule>(made.path);
        made.dm->session().CurContractID = kContract;
        made.editor = std::make_unique<BoqEditor>(*made.dm);
        made.editor->initialise();
        made.editor->selectNode(BoqChapterLevel, kChapter);
        const DataSet& lines = made.editor->lines();
        for (int r = 0; r < lines.rowCount(); ++r)
            if (!IsPriceLocked(lines, r)) {
                made.chapterRows.push_back(lines.keyOf(r).toLongLong());
                made.chapterQuantities.push_back(NumberOf(lines.value(r, BoqColumn::Quantity)).value_or(0));
            }
        Statement st = made.dm->database().prepare(
            QStringLiteral("select rowid, 合同数量 from jd_htqd where 合同编号=? and 合同数量<>0 and 单位<>? "
                           "and 细目编号<>'101-1-a' order by rowid"));
        st.bindAll({kContract, kProvisionalSumUnit});
        while (st.next()) {
            made.allRows.push_back(st.value(0).toLongLong());
            made.allQuantities.push_back(st.value(1).toDouble());
        }
        return made;
    }();
    return f;
}

QString pasteText(int set) {
    QString text;
    for (size_t i = 0; i < fixture().chapterRows.size(); ++i)
        text += FormatNumber(priceOf(static_cast<int>(i), set), QStringLiteral("#,##0.00")) + QStringLiteral("\r\n");
    return text;
}

// The same rows written as plainly as the store allows: one transaction, one prepared statement.
void bareUpdate(const std::vector<qint64>& rows, const std::vector<double>& quantities, int set) {
    Database& db = fixture().dm->database();
    Transaction tx(db);
    Statement st = db.prepare(QStringLiteral("update jd_htqd set 合同单价=?, 合同金额=? where rowid=?"));
    for (size_t i = 0; i < rows.size(); ++i) {
        const double p = priceOf(static_cast<int>(i), set);
        st.bindAll({p, static_cast<qlonglong>(RoundAmount(p * quantities[i])), rows[i]});
        st.run();
        st.reset();
    }
    tx.commit();
}

void pasteOnce(int set) {
    fixture().editor->pastePrices(1, pasteText(set)); // from the first line after the chapter line
}

void BM_Paste_Editor(benchmark::State& state) {
    const QString texts[2] = {pasteText(1), pasteText(2)};
    BoqEditor& editor = *fixture().editor;
    int set = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(editor.pastePrices(1, texts[set++ % 2]));
    state.counters["lines"] = static_cast<double>(fixture().chapterRows.size());
}

void BM_PasteUndo_Editor(benchmark::State& state) {
    int set = 0;
    for (auto _ : state) {
        state.PauseTiming();
        pasteOnce(1 + set++ % 2);
        state.ResumeTiming();
        fixture().editor->undo();
    }
}

void BM_Paste_Bare(benchmark::State& state) {
    int set = 0;
    for (auto _ : state)
        bareUpdate(fixture().chapterRows, fixture().chapterQuantities, 1 + set++ % 2);
}

void adjustOnce(int n) {
    BoqEditor& editor = *fixture().editor;
    AdjustmentRequest request;
    request.target = static_cast<double>(editor.liveTotals().boqTotalAsRecomputed()) * (n % 2 ? 1.0 / 0.97 : 0.97);
    PriceAdjustment adjustment(*fixture().dm);
    editor.proposeAdjustment(adjustment, request);
    editor.applyAdjustment(adjustment);
}

void BM_Adjust_Editor(benchmark::State& state) {
    int n = 0;
    for (auto _ : state)
        adjustOnce(n++);
    state.counters["lines"] = static_cast<double>(fixture().allRows.size());
}

// The write alone, the proposal made beforehand (as "计算方案" makes it before "应用").
void BM_AdjustApply_Editor(benchmark::State& state) {
    BoqEditor& editor = *fixture().editor;
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        AdjustmentRequest request;
        request.target =
            static_cast<double>(editor.liveTotals().boqTotalAsRecomputed()) * (n++ % 2 ? 1.0 / 0.97 : 0.97);
        PriceAdjustment adjustment(*fixture().dm);
        editor.proposeAdjustment(adjustment, request);
        state.ResumeTiming();
        editor.applyAdjustment(adjustment);
    }
}

void BM_AdjustUndo_Editor(benchmark::State& state) {
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        adjustOnce(n++);
        state.ResumeTiming();
        fixture().editor->undo();
    }
}

void BM_Adjust_Bare(benchmark::State& state) {
    int set = 0;
    for (auto _ : state)
        bareUpdate(fixture().allRows, fixture().allQuantities, 1 + set++ % 2);
}

void BM_TypedPrice_Editor(benchmark::State& state) {
    BoqEditor& editor = *fixture().editor;
    int n = 0;
    for (auto _ : state)
        editor.priceLine(2, priceOf(n++ % 2, 3));
}

void BM_TypedPrice_Bare(benchmark::State& state) {
    Database& db = fixture().dm->database();
    const qint64 row = fixture().editor->lines().keyOf(2).toLongLong();
    int n = 0;
    for (auto _ : state) {
        Transaction tx(db);
        const double p = priceOf(n++ % 2, 3);
        db.exec(QStringLiteral("update jd_htqd set 合同单价=?, 合同金额=? where rowid=?"),
                {p, static_cast<qlonglong>(RoundAmount(p * fixture().chapterQuantities[1])), row});
        tx.commit();
    }
}

BENCHMARK(BM_Paste_Editor)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_PasteUndo_Editor)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Paste_Bare)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Adjust_Editor)->Unit(benchmark::kMillisecond)->MinTime(4);
BENCHMARK(BM_AdjustApply_Editor)->Unit(benchmark::kMillisecond)->MinTime(4);
BENCHMARK(BM_AdjustUndo_Editor)->Unit(benchmark::kMillisecond)->MinTime(4);
BENCHMARK(BM_Adjust_Bare)->Unit(benchmark::kMillisecond)->MinTime(4);
BENCHMARK(BM_TypedPrice_Editor)->Unit(benchmark::kMicrosecond)->MinTime(1);
BENCHMARK(BM_TypedPrice_Bare)->Unit(benchmark::kMicrosecond)->MinTime(1);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    fixture(); // the data file is made before any timing
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // Real time is what the bidder waits; CPU time shows the same when other work shares the machine.
    auto ratio = [&](const char* what, const std::string& ours, const std::string& bare) {
        const double o = reporter.timeOf(ours);
        const double b = reporter.timeOf(bare);
        const double oc = reporter.cpuTimeOf(ours);
        const double bc = reporter.cpuTimeOf(bare);
        if (o > 0 && b > 0 && oc > 0 && bc > 0)
            std::printf("%s: editor %.3g, bare update %.3g, ratio %.2f real, %.2f CPU (target 3)\n", what, o, b, o / b,
                        oc / bc);
    };
    ratio("Paste of 5,000 prices", "BM_Paste_Editor", "BM_Paste_Bare");
    ratio("Undo of that paste", "BM_PasteUndo_Editor", "BM_Paste_Bare");
    ratio("Adjustment of 100,000 lines", "BM_Adjust_Editor", "BM_Adjust_Bare");
    ratio("Its write alone (the proposal made before)", "BM_AdjustApply_Editor", "BM_Adjust_Bare");
    ratio("Undo of that adjustment", "BM_AdjustUndo_Editor", "BM_Adjust_Bare");
    ratio("One typed price saved", "BM_TypedPrice_Editor", "BM_TypedPrice_Bare");
    benchmark::Shutdown();
    return 0;
}

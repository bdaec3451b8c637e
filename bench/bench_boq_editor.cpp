// The BoQ editor on a data file of 20 contracts x 5,000 lines: loading the contract node's list
// and the chapter recomputation, each beside the bare statements they run, in the same run; and
// what the grid asks of the list when every cell of it is drawn once (no statement per cell).
#include "boq/BoqEditor.h"
#include "boq/BoqLineRules.h"
#include "data/DataModule.h"
#include "data/Database.h"

#include "LargeDataFile.h"
#include "RatioReporter.h"
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>

using namespace tenvora;

namespace {

const QString kContract = QString::fromLatin1(bench::kContract);
const QString kChapter = QStringLiteral("300");

struct Fixture {
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<DataModule> dm;
};

Fixture& fixture() {
    static Fixture f = [] {
        Fixture made;
        made.path = QDir(made.dir.path()).filePath(QStringLiteral("VORQEL.tr"));
        bench::CreateLargeDataFile(made.path);
        made.dm = std::make_unique<DataModule>(made.path);
        made.dm->session().CurContractID = kContract;
        return made;
    }();
    return f;
}

// The statement as the store runs it, every value of every row read, nothing kept.
int readAll(Database& db, const QString& sql, const QVariantList& values) {
    Statement st = db.prepare(sql);
    st.bindAll(values);
    int rows = 0;
    const int columns = st.columnCount();
    while (st.next()) {
        for (int c = 0; c < columns; ++c)
            benchmark::DoNotOptimize(st.value(c));
        ++rows;
    }
    return rows;
}

void BM_ContractList_Editor(benchmark::State& state) {
    BoqEditor editor(*fixture().dm);
    for (auto _ : state) {
        editor.selectNode(BoqContractLevel, QStringLiteral("C07合同段"));
        benchmark::DoNotOptimize(editor.lines().rowCount());
    }
    state.counters["lines"] = editor.lines().rowCount();
}

void BM_ContractList_BareSql(benchmark::State& state) {
    Database& db = fixture().dm->database();
    int rows = 0;
    for (auto _ : state)
        rows = readAll(db, BoqEditor::contractListSql(), {kContract});
    state.counters["lines"] = rows;
}

void BM_Recompute_Editor(benchmark::State& state) {
    BoqEditor editor(*fixture().dm);
    editor.selectNode(BoqChapterLevel, kChapter);
    for (auto _ : state)
        benchmark::DoNotOptimize(editor.recompute());
}

// The same four statements and the re-read, in one transaction as the editor runs them.
void BM_Recompute_BareSql(benchmark::State& state) {
    Database& db = fixture().dm->database();
    for (auto _ : state) {
        Transaction tx(db);
        const QVariant base =
            db.scalar(QStringLiteral("select sum(合同金额) as htje from jd_htqd where 细目编号<>? and "
                                     "length(细目编号)>3 and 细目编号<>? and 细目编号<>? and 合同编号=?"),
                      {kChapter, QStringLiteral("101-1-a"), QStringLiteral("101-1-b"), kContract});
        const qlonglong premium = static_cast<qlonglong>(base.toDouble() * 0.003 + 0.5);
        db.exec(QStringLiteral("update jd_htqd set 合同金额=?,合同单价=? where 合同编号=? and 细目编号=?"),
                {premium, premium, kContract, QStringLiteral("101-1-a")});
        const QVariant total =
            db.scalar(QStringLiteral("select sum(合同金额) as htje from jd_htqd where 细目编号<>? and "
                                     "length(细目编号)>3 and 合同编号=? and 章=?"),
                      {kChapter, kContract, kChapter});
        db.exec(QStringLiteral("update jd_htqd set 合同金额=? where 合同编号=? and 细目编号=?"),
                {static_cast<qlonglong>(total.toDouble()), kContract, kChapter});
        tx.commit();
        benchmark::DoNotOptimize(readAll(db, BoqEditor::chapterListSql(), {kChapter, kContract}));
    }
}

// Every visible cell's text and lock, as the grid's model produces them, for the whole list.
void BM_GridCells_WholeList(benchmark::State& state) {
    BoqEditor editor(*fixture().dm);
    editor.selectNode(BoqContractLevel, QStringLiteral("C07合同段"));
    const DataSet& lines = editor.lines();
    QList<int> columns;
    for (const QString& name :
         {BoqColumn::Item, BoqColumn::Name, BoqColumn::Unit, BoqColumn::Quantity, BoqColumn::Price, BoqColumn::Amount})
        columns << lines.columnIndex(name);
    for (auto _ : state) {
        for (int r = 0; r < lines.rowCount(); ++r) {
            benchmark::DoNotOptimize(IsDrawnLocked(lines, r));
            for (int c : columns)
                benchmark::DoNotOptimize(lines.displayText(r, c));
        }
    }
    state.counters["cells"] = lines.rowCount() * columns.size();
}

BENCHMARK(BM_ContractList_Editor)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ContractList_BareSql)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Recompute_Editor)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Recompute_BareSql)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_GridCells_WholeList)->Unit(benchmark::kMillisecond)->MinTime(2);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    fixture(); // the data file is made before any timing
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* what, const std::string& editor, const std::string& bare) {
        const double e = reporter.timeOf(editor);
        const double b = reporter.timeOf(bare);
        if (e > 0 && b > 0)
            std::printf("%s: editor %.2f ms, bare SQL %.2f ms, ratio %.2f (limit 3)\n", what, e, b, e / b);
    };
    ratio("Contract list (5,000 lines)", "BM_ContractList_Editor", "BM_ContractList_BareSql");
    ratio("Chapter recomputation", "BM_Recompute_Editor", "BM_Recompute_BareSql");
    benchmark::Shutdown();
    return 0;
}

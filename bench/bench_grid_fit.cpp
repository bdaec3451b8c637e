// The BoQ editor's grid on one contract of 5,000 lines: listing the contract node with the columns
// fitted to their content (every figure measured, so none is cut) beside the same listing with
// fixed widths, in the same run; and reading typed figures with their full-width forms and
// thousands separators beside the plain number parser.
#include "boq/BoqEditorWindow.h"
#include "boq/BoqTree.h"
#include "data/AppPaths.h"
#include "data/DataModule.h"
#include "data/Database.h"
#include "data/Money.h"
#include "data/NumberInput.h"
#include "data/Schema.h"
#include "grid/DataGrid.h"

#include "RatioReporter.h"
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <benchmark/benchmark.h>
#include <cstdio>

using namespace tenvora;
using namespace tenvora::ui;

namespace {

constexpr int kLines = 5000;

void fill(Database& db) {
    Transaction tx(db);
    db.exec(QStringLiteral("insert into jd_xiangmu (ID, 项目名称) values ('P1', '基准项目')"));
    db.exec(QStringLiteral("insert into jd_hetong (UPID, ID, 合同名称) values ('P1', 'C1', 'C1合同段')"));
    Statement line = db.prepare(
        QStringLiteral("insert into jd_htqd (合同编号, 章, 细目编号, 细目名称, 单位, 合同数量, 合同单价, 合同金额, "
                       "是否补充) values ('C1', ?, ?, ?, 'm3', ?, ?, ?, 0)"));
    for (int i = 0; i < kLines; ++i) {
        const int chapter = 100 * (1 + i * 7 / kLines);
        const double quantity = 100.0 + (i * 37) % 90000;
        const double price = 3.5 + (i * 13) % 40000;
        line.bindAll({QString::number(chapter), QStringLiteral("%1-%2-%3").arg(chapter + 1).arg(i / 4).arg(i % 4),
                      QStringLiteral("基准细目名称第%1行，含较长的说明文字").arg(i), quantity, price,
                      static_cast<qlonglong>(quantity * price)});
        line.run();
        line.reset();
    }
    tx.commit();
}

struct Fixture {
    QTemporaryDir dir;
    std::unique_ptr<DataModule> dm;
};

Fixture& fixture() {
    static Fixture f = [] {
        Fixture made;
        const QString path = QDir(made.dir.path()).filePath(QStringLiteral("VORQEL.tr"));
        {
            Database db = Database::create(path, DataFileKey());
            Schema::create(db);
            fill(db);
        }
        made.dm = std::make_unique<DataModule>(path);
        made.dm->session().CurContractID = QStringLiteral("C1");
        return made;
    }();
    return f;
}

// Selecting the contract node lists all its lines; the project node empties the list between.
void listContract(benchmark::State& state, bool fit) {
    BoqEditorWindow editor(*fixture().dm);
    editor.contentPanel()->resize(1600, 900);
    editor.grid()->setFitColumns(fit);
    QTreeWidgetItem* project = editor.tree()->topLevelItem(0);
    QTreeWidgetItem* contract = project->child(0);
    for (auto _ : state) {
        editor.tree()->setCurrentItem(project);
        editor.tree()->setCurrentItem(contract);
        QCoreApplication::processEvents(); // the columns are fitted once the loop comes round
        benchmark::DoNotOptimize(editor.grid()->columnWidth(5));
    }
    state.counters["lines"] = editor.editor().lines().rowCount();
}

void BM_ContractList_FittedColumns(benchmark::State& state) {
    listContract(state, true);
}

void BM_ContractList_FixedColumns(benchmark::State& state) {
    listContract(state, false);
}

const QStringList& typed() {
    static const QStringList texts = {QStringLiteral("12.35"),        QStringLiteral("１２３．５"),
                                      QStringLiteral("1,234,567.50"), QStringLiteral("－２．２５"),
                                      QStringLiteral("987654.321"),   QStringLiteral("12,5")};
    return texts;
}

void BM_TypedFigures_NumberInput(benchmark::State& state) {
    for (auto _ : state)
        for (const QString& text : typed())
            benchmark::DoNotOptimize(ParseNumberInput(text));
}

void BM_TypedFigures_PlainParser(benchmark::State& state) {
    for (auto _ : state)
        for (const QString& text : typed())
            benchmark::DoNotOptimize(ParseNumber(text));
}

BENCHMARK(BM_ContractList_FittedColumns)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ContractList_FixedColumns)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_TypedFigures_NumberInput)->Unit(benchmark::kMicrosecond)->MinTime(1);
BENCHMARK(BM_TypedFigures_PlainParser)->Unit(benchmark::kMicrosecond)->MinTime(1);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    fixture(); // the data file is made before any timing
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* what, const std::string& ours, const std::string& anchor) {
        const double o = reporter.timeOf(ours);
        const double a = reporter.timeOf(anchor);
        if (o > 0 && a > 0)
            std::printf("%s: %.3f against %.3f, ratio %.2f\n", what, o, a, o / a);
    };
    ratio("Contract list of 5,000 lines, fitted / fixed columns", "BM_ContractList_FittedColumns",
          "BM_ContractList_FixedColumns");
    ratio("Typed figures, full-width and separators / plain parser", "BM_TypedFigures_NumberInput",
          "BM_TypedFigures_PlainParser");
    benchmark::Shutdown();
    return 0;
}

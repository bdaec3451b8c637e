// The spreadsheet round trip on a 10,000-line bill, each figure beside its anchor in the same run:
// the .xlsx import (reader process, source rules, insert) against reading the file here with the
// same zip and XML code plus one plain insert transaction; the export of the priced bill and a
// revision (read, compare, backup copy, change) against the .xls import of the same bill.
#include "boq/BoqExport.h"
#include "boq/BoqImport.h"
#include "boq/BoqRevision.h"
#include "boq/Workbook.h"
#include "data/AppPaths.h"
#include "data/DataModule.h"
#include "data/Database.h"
#include "datamgmt/FileCopy.h"
#include "demo/DemoData.h"

#include "RatioReporter.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>

#include <sys/resource.h>

using namespace tenvora;

namespace {

constexpr int kLines = 10000;

struct Files {
    QTemporaryDir dir;
    QString xls, xlsx, revision, revisionXls;
    QString empty;  // the demo file, B1 without a bill
    QString priced; // the same with the 10,000 lines imported (priced) into B1
};

QString generate(const QString& what, const QString& out) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(TENVORA_FIXTURE_SCRIPT), what, QString::number(kLines), out});
    p.waitForFinished(300000);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "workbooks.py %s failed: %s\n", qPrintable(what), p.readAllStandardError().constData());
        std::exit(1);
    }
    return out;
}

Files& files() {
    static Files f = [] {
        Files made;
        made.xls = generate(QStringLiteral("large"), made.dir.filePath(QStringLiteral("bill.xls")));
        made.xlsx = generate(QStringLiteral("large"), made.dir.filePath(QStringLiteral("bill.xlsx")));
        made.revision = generate(QStringLiteral("revised"), made.dir.filePath(QStringLiteral("revised.xlsx")));
        made.revisionXls = generate(QStringLiteral("revised"), made.dir.filePath(QStringLiteral("revised.xls")));
        made.empty = made.dir.filePath(QStringLiteral("empty.tr"));
        CreateDemoDataFile(made.empty, false, false);
        made.priced = made.dir.filePath(QStringLiteral("priced.tr"));
        CopyFileReplacing(made.empty, made.priced);
        DataModule dm(made.priced);
        dm.session().CurContractID = QStringLiteral("B1");
        BoqImport(dm).importLines(ReadBoqSource(made.xls));
        return made;
    }();
    return f;
}

QVariant plain(const WorkbookCell& cell) {
    switch (cell.kind) {
    case WorkbookCell::Kind::Number:
        return cell.number;
    case WorkbookCell::Kind::Text:
        return cell.text;
    case WorkbookCell::Kind::Empty:
        break;
    }
    return {};
}

// Processor time of this process and of the reader processes it waited for. The machine may be
// busy with other work, so the figures are taken in processor time (the work itself); the wall
// time of each run is kept beside it.
double processorSeconds() {
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        for (const timeval& t : {usage.ru_utime, usage.ru_stime})
            total += static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    }
    return total;
}

// Times one run of the work: processor time as the benchmark's time, wall time as a counter.
template <typename F> void timed(benchmark::State& state, double& wall, F&& work) {
    const double cpu = processorSeconds();
    const auto start = std::chrono::steady_clock::now();
    work();
    wall += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(processorSeconds() - cpu);
}

// A fresh copy of a data file for one round, opened on contract B1.
struct Round {
    explicit Round(const QString& from) {
        path = QDir(dir.path()).filePath(QStringLiteral("VORQEL.tr"));
        CopyFileReplacing(from, path);
        dm = std::make_unique<DataModule>(path);
        dm->session().CurContractID = QStringLiteral("B1");
    }
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<DataModule> dm;
};

void BM_XlsxImport_Whole(benchmark::State& state) {
    double wall = 0;
    for (auto _ : state) {
        Round round(files().empty);
        timed(state, wall, [&] {
            const BoqImportResult r = BoqImport(*round.dm).importLines(ReadBoqSource(files().xlsx));
            if (r.imported != kLines)
                state.SkipWithError("not every line was imported");
        });
    }
    state.counters["wall_ms"] = benchmark::Counter(wall, benchmark::Counter::kAvgIterations);
}

// The cells read here with the same reader (minizip and QXmlStreamReader), and one transaction
// inserting the five columns of every row.
void BM_XlsxImport_ReadAndInsert(benchmark::State& state) {
    double wall = 0;
    for (auto _ : state) {
        Round round(files().empty);
        timed(state, wall, [&] {
            const WorkbookContents contents = ReadWorkbookInProcess(files().xlsx, BoqImport::sheetName());
            const WorksheetCells& sheet = contents.sheets.at(0);
            Database& db = round.dm->database();
            Transaction tx(db);
            Statement insert = db.prepare(QStringLiteral(
                "insert into jd_htqd (合同编号,细目编号,细目名称,单位,合同单价,合同数量) values (?,?,?,?,?,?)"));
            for (int r = 1; r < sheet.rows; ++r) {
                insert.bind(1, QStringLiteral("B1"));
                for (int c = 0; c < 5; ++c)
                    insert.bind(c + 2, plain(sheet.at(r, c)));
                insert.run();
                insert.reset();
            }
            tx.commit();
        });
    }
    state.counters["wall_ms"] = benchmark::Counter(wall, benchmark::Counter::kAvgIterations);
}

void BM_XlsImport_Whole(benchmark::State& state) {
    double wall = 0;
    for (auto _ : state) {
        Round round(files().empty);
        timed(state, wall, [&] { BoqImport(*round.dm).importLines(ReadBoqSource(files().xls)); });
    }
    state.counters["wall_ms"] = benchmark::Counter(wall, benchmark::Counter::kAvgIterations);
}

void BM_Export_PricedBill(benchmark::State& state) {
    Round round(files().priced);
    const QString target = QDir(round.dir.path()).filePath(QStringLiteral("bill.xlsx"));
    double wall = 0;
    for (auto _ : state) {
        timed(state, wall, [&] {
            const BoqExportResult r = BoqExport(*round.dm).write(target);
            if (r.lines != kLines)
                state.SkipWithError("not every line was exported");
        });
    }
    state.counters["wall_ms"] = benchmark::Counter(wall, benchmark::Counter::kAvgIterations);
}

void revise(benchmark::State& state, const QString& workbook) {
    double wall = 0;
    for (auto _ : state) {
        Round round(files().priced);
        timed(state, wall, [&] {
            const BoqSource source = ReadBoqSource(workbook);
            BoqRevision revision(*round.dm);
            const BoqRevisionPlan plan = revision.plan(source);
            revision.apply(plan, source);
            state.counters["changes"] = plan.added + plan.dropped + plan.changed;
        });
    }
    state.counters["wall_ms"] = benchmark::Counter(wall, benchmark::Counter::kAvgIterations);
}

// Read, compared, the backup copy taken and the bill changed, from an .xlsx and from an .xls.
void BM_Revision_Whole(benchmark::State& state) {
    revise(state, files().revision);
}

void BM_Revision_XlsWorkbook(benchmark::State& state) {
    revise(state, files().revisionXls);
}

BENCHMARK(BM_XlsxImport_Whole)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();
BENCHMARK(BM_XlsxImport_ReadAndInsert)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();
BENCHMARK(BM_XlsImport_Whole)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();
BENCHMARK(BM_Export_PricedBill)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();
BENCHMARK(BM_Revision_Whole)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();
BENCHMARK(BM_Revision_XlsWorkbook)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    files(); // the workbooks and data files are made before any timing
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto wallOf = [&](const std::string& prefix) {
        for (const auto& [name, wall] : reporter.walls)
            if (name.rfind(prefix, 0) == 0)
                return wall;
        return 0.0;
    };
    auto ratio = [&](const char* what, const std::string& ours, const std::string& anchor, const char* anchorName,
                     double limit) {
        const double o = reporter.timeOf(ours);
        const double a = reporter.timeOf(anchor);
        if (o > 0 && a > 0)
            std::printf("%s: processor %.1f ms, %s %.1f ms, ratio %.2f (limit %.1f); wall %.1f / %.1f ms, ratio %.2f\n",
                        what, o, anchorName, a, o / a, limit, wallOf(ours), wallOf(anchor),
                        wallOf(ours) / wallOf(anchor));
    };
    ratio("Import of a 10,000-line .xlsx", "BM_XlsxImport_Whole", "BM_XlsxImport_ReadAndInsert",
          "read with the same zip and XML code + one insert transaction", 2);
    ratio("Export of the 10,000-line priced bill", "BM_Export_PricedBill", "BM_XlsImport_Whole",
          ".xls import of the same bill", 1);
    ratio("Revision of the 10,000-line bill (.xlsx)", "BM_Revision_Whole", "BM_XlsImport_Whole",
          ".xls import of the same bill", 1);
    ratio("Revision of the 10,000-line bill (.xls)", "BM_Revision_XlsWorkbook", "BM_XlsImport_Whole",
          ".xls import of the same bill", 1);
    benchmark::Shutdown();
    return 0;
}

// Benchmark, not a timed test (disabled by default): the whole import of a 10,000-line workbook
// against reading it with FreeXL here plus one plain transaction inserting the same rows.
// Run a Release build with: tenvora_core_tests --gtest_also_run_disabled_tests --gtest_filter='*BoqImportBenchmark*'
#include "boq/BoqImport.h"
#include "boq/Workbook.h"
#include "data/BoqWorkbooks.h"
#include "data/DataModule.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

#include <sys/resource.h>

using namespace tenvora;

namespace {

constexpr int kLines = 10000;
constexpr int kRounds = 5;

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

// Wall time and processor time, the helper process's included: the machine running the
// benchmark may be busy, and processor time shows the work itself.
struct Cost {
    double wallMs = 0;
    double cpuMs = 0;
};

double cpuMs() {
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        for (const timeval& t : {usage.ru_utime, usage.ru_stime})
            total += static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    }
    return total;
}

template <typename F> Cost measure(F&& work) {
    const double cpu = cpuMs();
    QElapsedTimer timer;
    timer.start();
    work();
    return {static_cast<double>(timer.nsecsElapsed()) / 1e6, cpuMs() - cpu};
}

void baseline(DataModule& dm, const QString& file) {
    const WorkbookContents contents = ReadWorkbookInProcess(file, BoqImport::sheetName());
    const WorksheetCells& sheet = contents.sheets.at(0);
    Transaction tx(dm.database());
    Statement insert = dm.database().prepare(
        QStringLiteral("insert into jd_htqd (合同编号,细目编号,细目名称,单位,合同单价,合同数量) values (?,?,?,?,?,?)"));
    for (int r = 1; r < sheet.rows; ++r) {
        insert.bind(1, QStringLiteral("B1"));
        for (int c = 0; c < 5; ++c)
            insert.bind(c + 2, plain(sheet.at(r, c)));
        insert.run();
        insert.reset();
    }
    tx.commit();
}

void wholeImport(DataModule& dm, const QString& file) {
    EXPECT_EQ(BoqImport(dm).importLines(ReadBoqSource(file)).imported, kLines);
}

double best(const std::vector<Cost>& runs, double Cost::*field) {
    double b = runs.front().*field;
    for (const Cost& c : runs)
        b = std::min(b, c.*field);
    return b;
}

} // namespace

TEST(BoqImportBenchmark, DISABLED_TenThousandLines) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("large.xls"));
    ASSERT_EQ(test::RunWorkbookScript({QStringLiteral("large"), QString::number(kLines), file}), QString());

    std::vector<Cost> plainRuns;
    std::vector<Cost> importRuns;
    for (int round = 0; round < kRounds; ++round) {
        test::TempDataFile a;
        test::TempDataFile b;
        auto dmA = a.open();
        auto dmB = b.open();
        dmB->session().CurContractID = QStringLiteral("B1");
        plainRuns.push_back(measure([&] { baseline(*dmA, file); }));
        importRuns.push_back(measure([&] { wholeImport(*dmB, file); }));
    }
    for (const auto& [name, field] : {std::pair{"wall", &Cost::wallMs}, std::pair{"processor", &Cost::cpuMs}}) {
        const double plainMs = best(plainRuns, field);
        const double importMs = best(importRuns, field);
        std::cout << name << " time, best of " << kRounds << ", " << kLines << " lines: FreeXL + one insert "
                  << "transaction " << plainMs << " ms, whole import " << importMs << " ms, ratio "
                  << importMs / plainMs << std::endl;
    }
}

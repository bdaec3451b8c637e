// The whole bid set of a 100,000-line contract ("tenvora print-all": every form as its own PDF
// and the whole set as one), beside report B of its largest chapter alone and beside every form
// requested on its own, as a bidder would print them one by one, in the same run.
#include "data/AppPaths.h"
#include "data/DataModule.h"
#include "data/Database.h"
#include "data/Money.h"
#include "data/Schema.h"
#include "report_engine/PageRenderer.h"
#include "reports/BidSet.h"
#include "reports/BoqChapterReport.h"

#include "RatioReporter.h"
#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>

using namespace tenvora;

namespace {

constexpr int kLines = 100000;
// Lines per chapter 100 to 700; chapter 200 (earthworks) is the largest, as in a real bill.
constexpr int kShare[] = {2, 38, 16, 22, 10, 8, 4};
const QString kLargest = QStringLiteral("200");

QString createDataFile(const QString& dir) {
    const QString path = QDir(dir).filePath(QStringLiteral("VORQEL.tr"));
    Database db = Database::create(path, DataFileKey());
    Schema::create(db);
    Transaction tx(db);
    db.exec(QStringLiteral("insert into jd_xiangmu (ID, 项目名称) values ('P', '基准测试项目')"));
    db.exec(QStringLiteral("insert into jd_hetong (UPID, 合同名称, 起始桩号, 终止桩号, ID) "
                           "values ('P', '基准合同段', 'K0+000', 'K96+400', 'BENCH')"));
    db.exec(QStringLiteral("insert into 当前选择合同 (项目ID, 合同ID, 期数ID) values ('P', 'BENCH', '0')"));
    db.exec(QStringLiteral("insert into pass (unit, pass, bz) values ('基准投标单位', 'bench', '2')"));
    const QString insert = QStringLiteral("insert into jd_htqd (合同编号, 章, 节, 细目编号, 细目名称, 单位, 合同数量, "
                                          "合同单价, 合同金额) values ('BENCH', ?, ?, ?, ?, ?, ?, ?, ?)");
    const QStringList works = {QStringLiteral("挖土方"),
                               QStringLiteral("利用土方填筑"),
                               QStringLiteral("C25混凝土排水沟"),
                               QStringLiteral("M7.5浆砌片石护坡"),
                               QStringLiteral("路基挖除非适用材料（不含淤泥），包括装运、弃置及弃土场的整理与防护"),
                               QStringLiteral("带肋钢筋（HRB400）"),
                               QStringLiteral("级配碎石垫层")};
    db.exec(insert, {QStringLiteral("100"), QVariant(), QStringLiteral("101-1-a"), QStringLiteral("建筑工程一切险"),
                     QStringLiteral("总额"), 1, QVariant(), QVariant()});
    db.exec(insert, {QStringLiteral("100"), QVariant(), QStringLiteral("102-3"), QStringLiteral("安全生产费"),
                     QStringLiteral("暂定金总额"), 1, QVariant(), 4500000});
    int written = 2;
    for (int c = 0; c < 7; ++c) {
        const int chapter = 100 * (c + 1);
        const QString code = QString::number(chapter);
        db.exec(insert,
                {code, QVariant(), code, QStringLiteral("第%1章").arg(code), QVariant(), 0, QVariant(), QVariant()});
        const int count = c == 6 ? kLines - written : kLines * kShare[c] / 100;
        for (int i = 0; i < count; ++i, ++written) {
            const QString item = QStringLiteral("%1-%2-%3").arg(chapter + 1 + i / 400).arg(i / 4 % 100 + 1).arg(i % 4);
            const double quantity = 100 + (i * 37) % 90000;
            const double price = 5 + (i * 13) % 400 + 0.25 * (i % 4);
            db.exec(insert, {code, item, item, works[i % works.size()], QStringLiteral("m3"), quantity, price,
                             QVariant::fromValue<qlonglong>(RoundAmount(price * quantity))});
        }
    }
    for (int bz = 1; bz <= 3; ++bz)
        for (int i = 1; i <= 8; ++i)
            db.exec(
                QStringLiteral("insert into Jl_ContractList (ID, ContractID, bz, ItemCode, ItemName, Unit, Amount, "
                               "UnitPrice, TotalMoney) values ('BENCH', 'BENCH', ?, ?, '项目', 'h', 100, 50, 5000)"),
                {QString::number(bz), QString::number(bz * 100 + i)});
    tx.commit();
    return path;
}

struct Fixture {
    QTemporaryDir dir;
    QString data;
    Fixture() : data(createDataFile(dir.path())) {}
    QString out(const QString& name) const { return dir.filePath(name + QStringLiteral(".pdf")); }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// One request as the command runs it: open the file, build, lay out and write the PDF.
int printAlone(const std::function<std::unique_ptr<ReportRequest>(ReportContext&)>& make, const QString& pdf) {
    Fixture& f = fixture();
    DataModule dm(f.data);
    dm.LoadCurrentContract();
    ReportContext context(dm);
    const std::unique_ptr<ReportRequest> request = make(context);
    if (!request->build())
        return 0;
    const report::RenderedDocument doc = request->prepare();
    report::WritePdf(doc, pdf);
    return doc.pageCount();
}

void BM_PrintAll(benchmark::State& state) {
    Fixture& f = fixture();
    int pages = 0;
    for (auto _ : state) {
        DataModule dm(f.data);
        dm.LoadCurrentContract();
        ReportContext context(dm);
        pages = PrintBidSet(context, f.dir.filePath(QStringLiteral("set"))).files.last().pages;
    }
    state.counters["pages"] = pages;
}

// The sum of the parts: every form of the set requested on its own, each opening the file.
void BM_EachFormAlone(benchmark::State& state) {
    Fixture& f = fixture();
    QStringList chapters;
    {
        DataModule dm(f.data);
        dm.LoadCurrentContract();
        ReportContext context(dm);
        chapters = BoqChapterReport(context).chapters();
    }
    int pages = 0;
    for (auto _ : state) {
        pages = 0;
        for (const QString& name : {QStringLiteral("E"), QStringLiteral("summary")})
            pages += printAlone([&](ReportContext& c) { return MakeReportRequest(c, name); }, f.out(name));
        for (const QString& chapter : chapters)
            pages += printAlone([&](ReportContext& c) { return std::make_unique<BoqChapterReport>(c, chapter); },
                                f.out(QStringLiteral("B-") + chapter));
        for (const QString& name : {QStringLiteral("C"), QStringLiteral("D"), QStringLiteral("labour"),
                                    QStringLiteral("material"), QStringLiteral("machinery")})
            pages += printAlone([&](ReportContext& c) { return MakeReportRequest(c, name); }, f.out(name));
    }
    state.counters["pages"] = pages;
}

void BM_ReportB_LargestChapter(benchmark::State& state) {
    Fixture& f = fixture();
    int pages = 0;
    for (auto _ : state)
        pages = printAlone([](ReportContext& c) { return std::make_unique<BoqChapterReport>(c, kLargest); },
                           f.out(QStringLiteral("B-largest")));
    state.counters["pages"] = pages;
}

BENCHMARK(BM_PrintAll)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_EachFormAlone)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReportB_LargestChapter)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // "--write-data FOLDER" only writes the data file (unit 基准投标单位, password bench), so the
    // commands can be timed as whole processes, e.g. with /usr/bin/time -v:
    //   tenvora --data FOLDER/VORQEL.tr print-all --dir OUT
    //   tenvora --data FOLDER/VORQEL.tr report B --chapter 200 --pdf OUT/B-200.pdf
    if (const QStringList args = app.arguments(); args.size() == 3 && args[1] == QLatin1String("--write-data")) {
        const QString data = createDataFile(args[2]);
        std::printf("%s\n", qPrintable(data));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    fixture(); // the data file is written before any timing
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double all = reporter.timeOf("BM_PrintAll");
    const double parts = reporter.timeOf("BM_EachFormAlone");
    const double largest = reporter.timeOf("BM_ReportB_LargestChapter");
    if (all > 0 && parts > 0 && largest > 0)
        std::printf("print-all takes %.2f times as long as every form alone (%.0f ms against %.0f ms) and %.2f times "
                    "as long as report B of the largest chapter (%.0f ms)\n",
                    all / parts, all, parts, all / largest, largest);
    benchmark::Shutdown();
    return 0;
}

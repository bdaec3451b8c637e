// Report B of a 2,000-line chapter: the whole request to PDF, and beside it what a bidder would
// otherwise do with the same table (an .xls converted by LibreOffice), in the same run. Also the
// whole bid set of the large data file (20 contracts x 5,000 lines) by the tenvora command:
// report B of every chapter of the current contract, and the whole-set print (print-all) once
// the command has it, each beside LibreOffice's time for the one chapter.
#include "data/AppPaths.h"
#include "data/DataModule.h"
#include "data/Database.h"
#include "data/Money.h"
#include "data/Schema.h"
#include "report_engine/PageRenderer.h"
#include "reports/BoqChapterReport.h"

#include "LargeDataFile.h"
#include "ProcessTiming.h"
#include "RatioReporter.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>

using namespace tenvora;

namespace {

constexpr int kLines = 2000;
const QString kChapter = QStringLiteral("200");

struct BillLine {
    QString item;
    QString name;
    QString unit;
    double quantity;
    double price;
};

// Descriptions of realistic length; about one line in six is long enough to wrap.
std::vector<BillLine> benchLines() {
    const QStringList works = {QStringLiteral("挖土方"),
                               QStringLiteral("挖石方"),
                               QStringLiteral("利用土方填筑"),
                               QStringLiteral("借土填方"),
                               QStringLiteral("浆砌片石边沟"),
                               QStringLiteral("C25混凝土排水沟"),
                               QStringLiteral("级配碎石垫层"),
                               QStringLiteral("M7.5浆砌片石护坡"),
                               QStringLiteral("路基挖除非适用材料（不含淤泥），包括装运、弃置及弃土场的整理与防护"),
                               QStringLiteral("结构物台背回填"),
                               QStringLiteral("土工格栅"),
                               QStringLiteral("抗滑桩（包括钻孔、钢筋制作安装、混凝土浇筑及桩头处理）")};
    const QStringList units = {QStringLiteral("m3"), QStringLiteral("m3"), QStringLiteral("m3"), QStringLiteral("m3"),
                               QStringLiteral("m"),  QStringLiteral("m"),  QStringLiteral("m3"), QStringLiteral("m3"),
                               QStringLiteral("m3"), QStringLiteral("m3"), QStringLiteral("m2"), QStringLiteral("m")};
    std::vector<BillLine> lines;
    for (int i = 0; static_cast<int>(lines.size()) < kLines; ++i) {
        const int section = 201 + i / 40;
        const int item = i % 40 / 4 + 1;
        const int sub = i % 4;
        const QString code = QStringLiteral("%1-%2").arg(section).arg(item);
        if (sub == 0) {
            lines.push_back({code, works[i % works.size()], QString(), 0, 0});
            continue;
        }
        const int w = (i * 7) % static_cast<int>(works.size());
        lines.push_back({code + QLatin1Char('-') + QChar(u'a' + sub - 1),
                         works[w] + QStringLiteral("（第%1段）").arg(section), units[w],
                         static_cast<double>(1000 + (i * 37) % 90000), 5 + (i * 13) % 400 + 0.25 * (i % 4)});
    }
    return lines;
}

QString createDataFile(const QString& dir) {
    const QString path = QDir(dir).filePath(QStringLiteral("VORQEL.tr"));
    Database db = Database::create(path, DataFileKey());
    Schema::create(db);
    Transaction tx(db);
    db.exec(QStringLiteral("insert into jd_xiangmu (ID, 项目名称) values ('P', '基准测试项目')"));
    db.exec(QStringLiteral("insert into jd_hetong (UPID, 合同名称, 起始桩号, 终止桩号, ID) "
                           "values ('P', '基准合同段', 'K0+000', 'K48+200', 'BENCH')"));
    db.exec(QStringLiteral("insert into 当前选择合同 (项目ID, 合同ID, 期数ID) values ('P', 'BENCH', '0')"));
    const QString insert = QStringLiteral("insert into jd_htqd (合同编号, 章, 节, 细目编号, 细目名称, 单位, 合同数量, "
                                          "合同单价, 合同金额) values ('BENCH', ?, ?, ?, ?, ?, ?, ?, ?)");
    db.exec(insert, {QStringLiteral("100"), QVariant(), QStringLiteral("101-1-a"), QStringLiteral("建筑工程一切险"),
                     QStringLiteral("总额"), 1, QVariant(), QVariant()});
    db.exec(insert, {kChapter, QVariant(), kChapter, QStringLiteral("路基"), QVariant(), 0, QVariant(), QVariant()});
    for (const BillLine& l : benchLines()) {
        const QVariant price = l.quantity > 0 ? QVariant(l.price) : QVariant();
        const QVariant amount =
            l.quantity > 0 ? QVariant::fromValue<qlonglong>(RoundAmount(l.price * l.quantity)) : QVariant();
        db.exec(insert, {kChapter, l.item, l.item, l.name, l.unit.isEmpty() ? QVariant() : QVariant(l.unit), l.quantity,
                         price, amount});
    }
    tx.commit();
    return path;
}

// The same table as an .xls workbook, written with python3-xlwt in a form close to report B.
bool writeWorkbook(const QString& path) {
    // Debian's own interpreter is the one python3-xlwt installs into.
    QString python = QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
    if (python.isEmpty())
        python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        return false;
    const QString script = QStringLiteral(R"(import sys, xlwt
rows = [line.rstrip('\n').split('\t') for line in sys.stdin]
book = xlwt.Workbook(encoding='utf-8')
sheet = book.add_sheet('工程量清单')
thin = 'borders: left thin, right thin, top thin, bottom thin; font: name SimSun, height 200;'
text = xlwt.easyxf(thin + ' align: wrap on, vert centre')
num = xlwt.easyxf(thin + ' align: horiz right, vert centre', num_format_str='0.00')
whole = xlwt.easyxf(thin + ' align: horiz right, vert centre', num_format_str='0')
head = xlwt.easyxf(thin + ' align: horiz centre, vert centre; font: bold on')
sheet.write_merge(0, 0, 0, 5, '工程量清单', xlwt.easyxf('font: name SimHei, height 360; align: horiz centre'))
sheet.write(1, 0, 'BENCH合同段：K0+000~K48+200')
for c, (title, width) in enumerate(zip(['子目号', '子目名称', '单位', '数量', '单价', '合价'],
                                       [22, 63, 14, 24, 24, 28])):
    sheet.write(2, c, title, head)
    sheet.col(c).width = width * 150
total = 0
for r, (item, name, unit, qty, price, amount) in enumerate(rows, start=3):
    sheet.write(r, 0, item, text); sheet.write(r, 1, name, text); sheet.write(r, 2, unit, text)
    sheet.write(r, 3, float(qty) if float(qty) else '', whole)
    sheet.write(r, 4, float(price) if price else '', num)
    sheet.write(r, 5, int(amount) if amount else '', whole)
    total += int(amount) if amount else 0
sheet.write_merge(len(rows) + 3, len(rows) + 3, 0, 4, '   清单 第200章 合计 人民币 ', head)
sheet.write(len(rows) + 3, 5, total, whole)
sheet.paper_size_code = 9
book.save(sys.argv[1])
)");
    QProcess p;
    p.start(python, {QStringLiteral("-c"), script, path});
    if (!p.waitForStarted())
        return false;
    QByteArray input;
    for (const BillLine& l : benchLines()) {
        const bool priced = l.quantity > 0;
        input += QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\n")
                     .arg(l.item, l.name, l.unit, GeneralText(l.quantity), priced ? GeneralText(l.price) : QString(),
                          priced ? WholeYuanText(l.price * l.quantity) : QString())
                     .toUtf8();
    }
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(120000);
    if (p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 && QFile::exists(path))
        return true;
    std::fprintf(stderr, "the workbook could not be written: %s\n", p.readAllStandardError().constData());
    return false;
}

struct Fixture {
    QTemporaryDir dir;
    QString largeFile;
    std::unique_ptr<DataModule> dm;
    std::unique_ptr<ReportContext> context;
    QString workbook;
    QString office;

    Fixture() {
        dm = std::make_unique<DataModule>(createDataFile(dir.path()));
        dm->LoadCurrentContract();
        context = std::make_unique<ReportContext>(*dm);
        largeFile = dir.filePath(QStringLiteral("large.tr"));
        bench::CreateLargeDataFile(largeFile);
        office = QStandardPaths::findExecutable(QStringLiteral("libreoffice"));
        const QString xls = dir.filePath(QStringLiteral("B-200.xls"));
        if (!office.isEmpty() && writeWorkbook(xls)) {
            workbook = xls;
            convertWorkbook(); // the first start builds the office profile; that is not timed
        }
    }

    QStringList officeArguments() const {
        // A profile of its own, so that a running office or a first-start wizard does not interfere.
        const QString profile = QUrl::fromLocalFile(dir.filePath(QStringLiteral("office-profile"))).toString();
        return {QStringLiteral("-env:UserInstallation=") + profile,
                QStringLiteral("--headless"),
                QStringLiteral("--convert-to"),
                QStringLiteral("pdf"),
                QStringLiteral("--outdir"),
                dir.filePath(QStringLiteral("office")),
                workbook};
    }

    bool convertWorkbook() const {
        QProcess p;
        p.start(office, officeArguments());
        return p.waitForFinished(300000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_ReportB_ToPdf(benchmark::State& state) {
    Fixture& f = fixture();
    const QString pdf = f.dir.filePath(QStringLiteral("B-200.pdf"));
    int pages = 0;
    for (auto _ : state) {
        BoqChapterReport request(*f.context);
        if (!request.build(kChapter)) {
            state.SkipWithError("report B found no lines");
            return;
        }
        const report::RenderedDocument doc = f.context->prepare();
        report::WritePdf(doc, pdf);
        pages = doc.pageCount();
    }
    state.counters["pages"] = pages;
    state.counters["lines"] = f.context->gcl_ADOQuery.recordCount();
}

// The same request without the PDF: store, query, fill and lay out.
void BM_ReportB_Layout(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        BoqChapterReport request(*f.context);
        request.build(kChapter);
        benchmark::DoNotOptimize(f.context->prepare());
    }
}

void BM_Xls_LibreOfficeToPdf(benchmark::State& state) {
    Fixture& f = fixture();
    if (f.workbook.isEmpty()) {
        state.SkipWithError("LibreOffice (or python3-xlwt) is not installed");
        return;
    }
    for (auto _ : state) {
        if (!f.convertWorkbook()) {
            state.SkipWithError("LibreOffice failed to convert the workbook");
            return;
        }
    }
}

QString tenvoraProgram() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tenvora"));
}

// A command of the tenvora program on the large file, logged in; false when it failed.
bool runOnLargeFile(const QStringList& command) {
    Fixture& f = fixture();
    return bench::TimeToExit(tenvoraProgram(),
                             QStringList{QStringLiteral("--data"), f.largeFile, QStringLiteral("--unit"),
                                         QString::fromUtf8(bench::kUnit), QStringLiteral("--password"),
                                         QString::fromLatin1(bench::kPassword)} +
                                 command) >= 0;
}

void BM_LargeFile_AllChaptersReportB(benchmark::State& state) {
    const QString out = fixture().dir.filePath(QStringLiteral("all-chapters"));
    QDir().mkpath(out);
    for (auto _ : state)
        if (!runOnLargeFile({QStringLiteral("report"), QStringLiteral("B"), QStringLiteral("--all-chapters"),
                             QStringLiteral("--out"), out})) {
            state.SkipWithError("tenvora report B --all-chapters failed");
            return;
        }
}

void BM_LargeFile_PrintAll(benchmark::State& state) {
    QProcess help;
    help.start(tenvoraProgram(), {QStringLiteral("--help")});
    help.waitForFinished();
    if (!QString::fromUtf8(help.readAllStandardOutput()).contains(QStringLiteral("print-all"))) {
        state.SkipWithError("this tenvora has no print-all command yet");
        return;
    }
    const QString out = fixture().dir.filePath(QStringLiteral("print-all"));
    QDir().mkpath(out);
    for (auto _ : state)
        if (!runOnLargeFile({QStringLiteral("print-all"), QStringLiteral("--out"), out})) {
            state.SkipWithError("tenvora print-all --out DIR failed");
            return;
        }
}

BENCHMARK(BM_ReportB_ToPdf)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_ReportB_Layout)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_Xls_LibreOfficeToPdf)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LargeFile_AllChaptersReportB)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LargeFile_PrintAll)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    fixture(); // the data file and the workbook are made before any timing
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double ours = reporter.timeOf("BM_ReportB_ToPdf");
    const double office = reporter.timeOf("BM_Xls_LibreOfficeToPdf");
    if (ours > 0 && office > 0)
        std::printf("LibreOffice .xls -> PDF takes %.1f times as long as report B -> PDF (%.0f ms against %.0f ms; "
                    "target 10)\n",
                    office / ours, office, ours);
    for (const auto& [name, what] : {std::pair{"BM_LargeFile_AllChaptersReportB", "report B of every chapter"},
                                     std::pair{"BM_LargeFile_PrintAll", "the whole bid set (print-all)"}}) {
        const double whole = reporter.timeOf(name);
        if (whole > 0 && office > 0)
            std::printf("large file, %s: %.0f ms, %.2f of LibreOffice's time for the one chapter (target at most 1)\n",
                        what, whole, whole / office);
    }
    benchmark::Shutdown();
    return 0;
}

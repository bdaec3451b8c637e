// One resource price change re-pricing the 100,000 lines that use it (the library updated, every
// line's analysis worked out again, the prices put through the save hook and the chapter totals
// and insurance recomputed, as one change), beside the bare one-transaction update of those
// rows' prices and amounts in the same run.
#include "boq/BoqLineRules.h"
#include "data/AppPaths.h"
#include "data/DataModule.h"
#include "data/Database.h"
#include "data/Money.h"
#include "data/Schema.h"
#include "pricing/AnalysedPriceApply.h"
#include "pricing/PricingSchema.h"
#include "pricing/ResourceLibrary.h"

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

QString chapterCode(int c) {
    return c < 9 ? QString::number(100 * (c + 1)) : QChar(u'A' + (c - 9)) + QStringLiteral("00");
}

double quantityOf(int i) {
    return 10.0 + (i * 37) % 9000;
}

// Each line consumes the common labour R1 and one of a few materials and machines.
void fill(Database& db) {
    Transaction tx(db);
    db.exec(QStringLiteral("insert into jd_xiangmu (ID, 项目名称) values ('P1', '基准项目')"));
    db.exec(QStringLiteral("insert into jd_hetong (UPID, ID, 合同名称) values ('P1', ?, '基准合同段')"), {kContract});
    PricingSchema::ensure(db);
    const auto resource = [&](const QString& code, const QString& kind, double price) {
        db.exec(QStringLiteral("insert into pricing_resource (合同编号, 编号, 名称, 单位, 类别, 单价) "
                               "values (?, ?, ?, 't', ?, ?)"),
                {kContract, code, code, kind, price});
    };
    resource(QStringLiteral("R1"), QStringLiteral("人工"), 135.5);
    for (int m = 0; m < 10; ++m) {
        resource(QStringLiteral("M%1").arg(m), QStringLiteral("材料"), 40.0 + m * 13.35);
        resource(QStringLiteral("J%1").arg(m), QStringLiteral("机械"), 900.0 + m * 61.2);
    }
    db.exec(QStringLiteral("insert into pricing_fee (合同编号, 顺序, 名称, 费率, 基数) values "
                           "(?, 1, '其他工程费', 3.2, 'direct'), (?, 2, '间接费', 8.5, 'running'), "
                           "(?, 3, '利润', 7, 'running')"),
            {kContract, kContract, kContract});
    Statement line = db.prepare(
        QStringLiteral("insert into jd_htqd (合同编号, 章, 细目编号, 细目名称, 单位, 合同数量, 合同单价, 合同金额, "
                       "是否补充) values (?, ?, ?, ?, ?, ?, ?, ?, 0)"));
    Statement row = db.prepare(
        QStringLiteral("insert into pricing_buildup (合同编号, 细目编号, 编号, 消耗量) values (?, ?, ?, ?)"));
    const auto add = [](Statement& st, const QVariantList& values) {
        st.bindAll(values);
        st.run();
        st.reset();
    };
    for (int c = 0; c < kChapters; ++c) {
        const QString chapter = chapterCode(c);
        add(line, {kContract, chapter, chapter, QStringLiteral("章"), QString(), 0.0, QVariant(), QVariant()});
        if (c == 0)
            add(line, {kContract, chapter, QStringLiteral("101-1-a"), QStringLiteral("保险费"), QStringLiteral("总额"),
                       1.0, QVariant(), QVariant()});
        for (int i = 0; i < kLinesPerChapter; ++i) {
            const QString item = QStringLiteral("%1-%2-%3").arg(chapter).arg(i / 26 + 1).arg(QChar(u'a' + i % 26));
            add(line, {kContract, chapter, item, QStringLiteral("基准细目第%1行").arg(i), QStringLiteral("m3"),
                       quantityOf(i), 10.0, static_cast<qlonglong>(RoundAmount(10.0 * quantityOf(i)))});
            add(row, {kContract, item, QStringLiteral("R1"), 0.01 + (i % 97) / 1000.0});
            add(row, {kContract, item, QStringLiteral("M%1").arg(i % 10), 0.2 + (i % 31) / 100.0});
            add(row, {kContract, item, QStringLiteral("J%1").arg((i / 10) % 10), 0.001 + (i % 7) / 1000.0});
        }
    }
    tx.commit();
}

struct Fixture {
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<DataModule> dm;
    std::vector<qint64> rows; // every line that uses R1
    std::vector<double> quantities;
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
        Statement st = made.dm->database().prepare(QStringLiteral(
            "select rowid, 合同数量 from jd_htqd where 合同编号=? and 合同数量<>0 and 细目编号<>'101-1-a' "
            "order by rowid"));
        st.bindAll({kContract});
        while (st.next()) {
            made.rows.push_back(st.value(0).toLongLong());
            made.quantities.push_back(st.value(1).toDouble());
        }
        // Every line starts at its analysed price, so each timed change re-prices all of them.
        AnalysedPriceApply apply(*made.dm);
        apply.proposeAll(kContract);
        apply.apply();
        return made;
    }();
    return f;
}

void BM_ResourcePrice_Reprice(benchmark::State& state) {
    Fixture& f = fixture();
    ResourceLibrary library(*f.dm, kContract);
    int n = 0;
    for (auto _ : state) {
        const double price = n++ % 2 ? 135.5 : 142.25;
        const RepriceOutcome outcome = RepriceAfterPriceChange(
            *f.dm, kContract,
            [&] {
                library.setPrice(QStringLiteral("R1"), price);
                return QStringList{QStringLiteral("R1")};
            },
            true);
        benchmark::DoNotOptimize(outcome.changes.size());
    }
    state.counters["lines"] = static_cast<double>(f.rows.size());
}

// The same rows written as plainly as the store allows: one transaction, one prepared statement.
void BM_ResourcePrice_Bare(benchmark::State& state) {
    Fixture& f = fixture();
    Database& db = f.dm->database();
    int n = 0;
    for (auto _ : state) {
        const double shift = n++ % 2 ? 0.37 : 0.0;
        Transaction tx(db);
        Statement st = db.prepare(QStringLiteral("update jd_htqd set 合同单价=?, 合同金额=? where rowid=?"));
        for (size_t i = 0; i < f.rows.size(); ++i) {
            const double p = 10.0 + shift + static_cast<double>(i % 89) / 100.0;
            st.bindAll({p, static_cast<qlonglong>(RoundAmount(p * f.quantities[i])), f.rows[i]});
            st.run();
            st.reset();
        }
        tx.commit();
    }
}

BENCHMARK(BM_ResourcePrice_Reprice)->Unit(benchmark::kMillisecond)->MinTime(4);
BENCHMARK(BM_ResourcePrice_Bare)->Unit(benchmark::kMillisecond)->MinTime(4);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    fixture(); // the data file is made and priced before any timing
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double o = reporter.timeOf("BM_ResourcePrice_Reprice");
    const double b = reporter.timeOf("BM_ResourcePrice_Bare");
    const double oc = reporter.cpuTimeOf("BM_ResourcePrice_Reprice");
    const double bc = reporter.cpuTimeOf("BM_ResourcePrice_Bare");
    if (o > 0 && b > 0 && oc > 0 && bc > 0)
        std::printf("One resource price re-pricing %zu lines: %.3g ms, bare update %.3g ms, ratio %.2f real, "
                    "%.2f CPU (target 3)\n",
                    fixture().rows.size(), o, b, o / b, oc / bc);
    benchmark::Shutdown();
    return 0;
}

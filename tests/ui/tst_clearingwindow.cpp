// The owner's clearing window "清标": disks chosen, ranking shown, findings grouped, a line across
// the bids on a double click, the workbook and the report exported.
#include "MessageBox.h"
#include "boq/AmountRules.h"
#include "data/AppPaths.h"
#include "data/DataModule.h"
#include "data/DataSet.h"
#include "data/Database.h"
#include "grid/DataGrid.h"
#include "owner/ClearingWindow.h"
#include "owner/OwnerAccounts.h"
#include "owner/TenderContracts.h"
#include "owner/TenderFile.h"
#include "owner/TenderIssue.h"

#include <QAbstractItemModelTester>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace tenvora;
using namespace tenvora::ui;

namespace {

const QString kOwner = QStringLiteral("招标办公室");
const QString kOwnerPassword = QStringLiteral("owner-pw");
const QStringList kUnits = {QStringLiteral("甲路桥公司"), QStringLiteral("乙建设集团"), QStringLiteral("丙工程局")};

QByteArray digest(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// A tender with forty priceable lines and three day-work items, issued to three bidders whose
// copies are priced: 丙 at four times the others on 203-1-5; 乙 leaves 203-1-7 unpriced.
class Tender {
public:
    Tender() {
        path = QDir(dir.path()).filePath(QStringLiteral("tender.tr"));
        CreateTenderFile(path, {QStringLiteral("P1"), QStringLiteral("测试公路"), {}, kOwner, kOwnerPassword});
        Database db = Database::open(path, DataFileKey());
        TenderContracts(db).add({QStringLiteral("A1"), QStringLiteral("P1"), QStringLiteral("N-A1"),
                                 QStringLiteral("A1合同段"), QStringLiteral("K0+000"), QStringLiteral("K5+000")});
        const QString insert = QStringLiteral("insert into jd_htqd (合同编号, 章, 节, 段, 细目编号, 细目名称, 单位, "
                                              "合同数量, 合同金额, 是否补充) values ('A1', ?, ?, ?, ?, ?, ?, ?, ?, 0)");
        db.exec(insert, {QStringLiteral("100"), QStringLiteral("100"), QStringLiteral("100"), QStringLiteral("100"),
                         QStringLiteral("总则"), QVariant(), 0, QVariant()});
        db.exec(insert, {QStringLiteral("100"), QStringLiteral("101"), QStringLiteral("101"), QStringLiteral("101-1-a"),
                         QStringLiteral("建筑工程一切险"), QStringLiteral("总额"), 1, QVariant()});
        db.exec(insert, {QStringLiteral("200"), QStringLiteral("200"), QStringLiteral("200"), QStringLiteral("200"),
                         QStringLiteral("路基"), QVariant(), 0, QVariant()});
        for (int i = 1; i <= 40; ++i)
            db.exec(insert, {QStringLiteral("200"), QStringLiteral("203"), QStringLiteral("203-1"),
                             QStringLiteral("203-1-%1").arg(i), QStringLiteral("路基土方%1").arg(i),
                             QStringLiteral("m3"), 100 * i, QVariant()});
        for (int bz = 1; bz <= 3; ++bz)
            db.exec(QStringLiteral("insert into Jl_ContractList (ID, ContractID, bz, ItemCode, ItemName, Unit, Amount) "
                                   "values ('A1', 'A1', ?, ?, '项目', 'h', 10)"),
                    {QString::number(bz), QString::number(bz * 100 + 1)});
        OwnerAccounts accounts(db);
        for (const QString& unit : kUnits)
            accounts.addBidder(unit, unit + QStringLiteral("-pw"));
        TenderIssue issue(db);
        const QString out = QDir(dir.path()).filePath(QStringLiteral("issued"));
        issue.issue(issue.plan(out), false);
        for (int b = 0; b < kUnits.size(); ++b) {
            disks << QDir(out).filePath(kUnits[b] + QStringLiteral(".tr"));
            {
                Database copy = Database::open(disks.last(), DataFileKey());
                copy.exec(
                    QStringLiteral("update jd_htqd set 合同单价 = 10 + rowid % 7 + ? where 细目编号 like '203-%'"),
                    {b});
                if (b == 2)
                    copy.exec(QStringLiteral("update jd_htqd set 合同单价 = 合同单价 * 4 where 细目编号 = '203-1-5'"));
                if (b == 1)
                    copy.exec(QStringLiteral("update jd_htqd set 合同单价 = null where 细目编号 = '203-1-7'"));
                copy.exec(QStringLiteral("update jd_htqd set 合同金额 = RoundAmount(合同单价 * 合同数量) where "
                                         "合同单价 is not null"));
                copy.exec(QStringLiteral("update Jl_ContractList set UnitPrice = 50, TotalMoney = 500"));
            }
            DataModule dm(disks.last());
            BoqTotals(dm).recomputeAll(QStringLiteral("A1"));
        }
    }

    std::unique_ptr<DataModule> openAsOwner() const {
        auto dm = std::make_unique<DataModule>(path);
        OwnerAccounts(dm->database()).login(kOwner, kOwnerPassword);
        dm->session().CurUnitName = kOwner;
        return dm;
    }

    QTemporaryDir dir;
    QString path;
    QStringList disks;
};

QStringList column(DataSet* set, const QString& name) {
    QStringList values;
    for (int r = 0; r < set->rowCount(); ++r)
        values << set->value(r, name).toString();
    return values;
}

void doubleClick(QAbstractItemView* view, const QModelIndex& index) {
    view->scrollTo(index);
    const QPoint at = view->visualRect(index).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

class TestClearingWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { MessageBox::setTestMode(true); }
    void cleanup() {
        QCOMPARE(MessageBox::takeUnanswered(), 0);
        MessageBox::takeShown();
    }

    void chosenDisksAreClearedAndRanked() {
        Tender tender;
        auto dm = tender.openAsOwner();
        const QByteArray before = digest(tender.path);
        ClearingWindow window(*dm);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.contract(), QStringLiteral("A1"));

        // Chosen through the file dialog, several at once; the same file is listed once.
        for (const QString& disk : tender.disks)
            FileDialog::queueFile(disk);
        window.chooseDisks();
        window.addDisks({tender.disks.first()});
        QCOMPARE(window.disks().size(), 3);
        QVERIFY(window.clearDisks());
        QVERIFY(MessageBox::takeErrors().isEmpty());

        const ClearingResult& r = window.result();
        QCOMPARE(r.evaluatedCount(), 3);
        DataSet* ranking = window.rankingGrid()->dataSet();
        QCOMPARE(ranking->rowCount(), 3);
        // Ranked by the corrected price: 甲 prices lowest, 丙 highest.
        QCOMPARE(column(ranking, QStringLiteral("排名")), (QStringList{"1", "2", "3"}));
        QCOMPARE(column(ranking, QStringLiteral("投标单位")), (QStringList{kUnits[0], kUnits[1], kUnits[2]}));
        QCOMPARE(ranking->value(0, QStringLiteral("修正报价")).toDouble(), static_cast<double>(*r.bids[0].corrected));
        QVERIFY(window.summaryLabel()->text().contains(QStringLiteral("评标基准价")));

        QTableView* comparison = window.comparisonView();
        QAbstractItemModelTester tester(comparison->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(comparison->model()->rowCount(), 40);
        QCOMPARE(comparison->model()->columnCount(), 8 + 3);
        QCOMPARE(comparison->model()->headerData(8 + 2, Qt::Horizontal).toString(), kUnits[2]);

        // Findings by kind, then by bidder.
        DataSet* findings = window.findingsGrid()->dataSet();
        const QStringList kinds = column(findings, QStringLiteral("投标单位"));
        QVERIFY(kinds.contains(QStringLiteral("未报价（1 条）")));
        QVERIFY(kinds.contains(QStringLiteral("不平衡报价（1 条）")));
        window.setGrouping(ClearingWindow::Grouping::ByBidder);
        QVERIFY(column(findings, QStringLiteral("投标单位")).contains(kUnits[0] + QStringLiteral("（0 条）")));
        const int unbalanced =
            static_cast<int>(column(findings, QStringLiteral("问题")).indexOf(QStringLiteral("不平衡报价")));
        QVERIFY(unbalanced > 0);
        QCOMPARE(findings->value(unbalanced, QStringLiteral("编号")).toString(), QStringLiteral("203-1-5"));

        // A double click on the finding shows its line across the three bids.
        window.tabs()->setCurrentIndex(1);
        doubleClick(window.findingsGrid(), window.findingsGrid()->model()->index(unbalanced, 3));
        QVERIFY(window.lineWindow() && window.lineWindow()->isVisible());
        QVERIFY(window.lineHeading()->text().contains(QStringLiteral("203-1-5")));
        DataSet* line = window.lineGrid()->dataSet();
        QCOMPARE(line->rowCount(), 3);
        QCOMPARE(column(line, QStringLiteral("判断")),
                 (QStringList{QString(), QString(), QStringLiteral("不平衡报价")}));

        // And on a row of the comparison: 203-1-7, which 乙 left unpriced.
        window.tabs()->setCurrentIndex(2);
        doubleClick(comparison, comparison->model()->index(6, 1));
        QVERIFY(window.lineHeading()->text().contains(QStringLiteral("203-1-7")));
        QCOMPARE(column(line, QStringLiteral("判断")), (QStringList{QString(), QStringLiteral("未报价"), QString()}));

        // Exports: the file dialog's answer, the files written, one message each.
        const QString xlsx = QDir(tender.dir.path()).filePath(QStringLiteral("清标结果"));
        FileDialog::queueFile(xlsx);
        QVERIFY(window.exportWorkbook());
        QVERIFY(QFileInfo(xlsx + QStringLiteral(".xlsx")).size() > 0);
        const QString pdf = QDir(tender.dir.path()).filePath(QStringLiteral("清标报告.pdf"));
        QVERIFY(window.exportPdf(pdf));
        QVERIFY(QFileInfo(pdf).size() > 0);
        QCOMPARE(MessageBox::takeShown().size(), 2);
        QVERIFY(MessageBox::takeErrors().isEmpty());

        const QString shots = qEnvironmentVariable("TENVORA_GRAB_DIR");
        if (!shots.isEmpty()) {
            const auto settle = [] { QTest::qWait(200); };
            window.tabs()->setCurrentIndex(0);
            settle();
            window.grab().save(QDir(shots).filePath(QStringLiteral("clearing-ranking.png")));
            window.tabs()->setCurrentIndex(1);
            settle();
            window.grab().save(QDir(shots).filePath(QStringLiteral("clearing-findings.png")));
            window.tabs()->setCurrentIndex(2);
            settle();
            window.grab().save(QDir(shots).filePath(QStringLiteral("clearing-comparison.png")));
            window.lineWindow()->grab().save(QDir(shots).filePath(QStringLiteral("clearing-line.png")));
        }
        dm.reset();
        QCOMPARE(digest(tender.path), before);
    }

    void aFailingClearingIsOneBoxAndShowsNothing() {
        Tender tender;
        auto dm = tender.openAsOwner();
        ClearingWindow window(*dm);
        // Nothing chosen: said so, nothing cleared.
        QVERIFY(!window.clearDisks());
        QCOMPARE(MessageBox::takeShown().size(), 1);
        // A damaged disk alone: listed with its reason, and no benchmark.
        const QString bad = QDir(tender.dir.path()).filePath(QStringLiteral("bad.tr"));
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("no data file");
        f.close();
        window.addDisks({bad});
        QVERIFY(window.clearDisks());
        QCOMPARE(window.result().evaluatedCount(), 0);
        QVERIFY(window.rankingGrid()
                    ->dataSet()
                    ->value(0, QStringLiteral("核对结果"))
                    .toString()
                    .startsWith(QStringLiteral("无法读取")));
        QVERIFY(window.summaryLabel()->text().contains(QStringLiteral("没有评标基准价")));
        // The parameters set are the ones the clearing reads.
        EvaluationParameters p;
        p.dropExtremesFrom = 3;
        window.setParameters(p);
        QCOMPARE(window.parameters().dropExtremesFrom, 3);
        window.setContract(QStringLiteral("A1"));
        // An export that is cancelled writes nothing and says nothing.
        QVERIFY(!window.exportWorkbook());
        QVERIFY(MessageBox::takeShown().isEmpty());
    }
};

QTEST_MAIN(TestClearingWindow)
#include "tst_clearingwindow.moc"

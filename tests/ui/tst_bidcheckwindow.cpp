// The bid check window "投标检查" and the check in front of "生成投标盘".
#include "MessageBox.h"
#include "Modal.h"
#include "WindowTest.h"
#include "boq/BidCheckWindow.h"
#include "boq/BoqEditorWindow.h"
#include "data/DataModule.h"
#include "datamgmt/DataCopyDialog.h"
#include "datamgmt/FolderChooser.h"
#include "daywork/DayworkEditorWindow.h"
#include "grid/DataGrid.h"
#include "shell/LoginRules.h"
#include "shell/MainWindow.h"
#include "support/TestSupport.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using namespace tenvora;
using namespace tenvora::ui;

namespace {

bool login(DataModule& dm) {
    return LoginRules(dm).login(QStringLiteral("华建路桥工程有限公司"), QStringLiteral("hj2026"));
}

// Twelve findings of four kinds on a priced demo.
void spoil(DataModule& dm) {
    Database& db = dm.database();
    for (const char* item : {"304-1-a", "304-3-a", "307-1", "308-1-a"})
        db.exec(QStringLiteral("update jd_htqd set 合同单价=null, 合同金额=null where 合同编号='A1' and 细目编号=?"),
                {QString::fromLatin1(item)});
    db.exec(QStringLiteral("update jd_htqd set 合同单价=12.347 where 合同编号='A1' and 细目编号='102-1'"));
    for (const char* code : {"101", "102", "103", "201"})
        db.exec(QStringLiteral("update Jl_ContractList set UnitPrice=null where ContractID='A1' and ItemCode=?"),
                {QString::fromLatin1(code)});
}

} // namespace

class TestBidCheckWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { test::BeginWindowTest(); }
    void cleanup() { QCOMPARE(test::EndWindowTest(), QString()); }

    void findingsAreGroupedByKindWithCounts() {
        test::TempDataFile file(true);
        auto dm = file.open();
        dm->LoadCurrentContract();
        BidCheckWindow clean(*dm);
        // The demo prices chapters report E leaves out: a notice, listed, not a problem.
        QVERIFY(clean.summaryLabel()->text().startsWith(BidCheckWindow::cleanText()));
        QVERIFY(clean.summaryLabel()->text().contains(QStringLiteral("提示：E 表与汇总表不一致 4 条")));
        QCOMPARE(clean.grid()->gridModel()->rowCount(), 5);
        QVERIFY(!clean.recomputeButton()->isEnabled());

        spoil(*dm);
        BidCheckWindow check(*dm);
        QAbstractItemModelTester tester(check.grid()->gridModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        const BidCheckResult& r = check.result();
        QVERIFY(!r.clean());
        QVERIFY2(check.summaryLabel()->text().contains(r.summary()), qPrintable(check.summaryLabel()->text()));
        // One heading per kind, then its findings.
        QStringList firstColumn;
        const DataGridModel* model = check.grid()->gridModel();
        for (int row = 0; row < model->rowCount(); ++row)
            firstColumn << model->index(row, 0).data().toString();
        QCOMPARE(firstColumn.first(), QStringLiteral("未报价（4 条）"));
        QVERIFY(firstColumn.contains(QStringLiteral("计日工未报价（4 条）")));
        QVERIFY(firstColumn.contains(QStringLiteral("单价超过两位小数（1 条）")));
        QCOMPARE(model->rowCount(), r.findings.size() + firstColumn.filter(QStringLiteral("条）")).size());
        QVERIFY2(check.recomputeButton()->isEnabled(), "the cleared prices made chapter 300 stale");

        check.recomputeButton()->click();
        QCOMPARE(check.result().count(BidFindingKind::StaleTotal), 0);
        QVERIFY(!check.recomputeButton()->isEnabled());
        QCOMPARE(check.result().count(BidFindingKind::Unpriced), 4);
    }

    void aDoubleClickOpensTheLine_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("daywork");
        QTest::newRow("BoQ line") << QStringLiteral("307-1") << false;
        QTest::newRow("day-work item") << QStringLiteral("201") << true;
    }
    void aDoubleClickOpensTheLine() {
        QFETCH(QString, item);
        QFETCH(bool, daywork);
        test::TempDataFile file(true);
        auto dm = file.open();
        spoil(*dm);
        MainWindow window(*dm);
        QVERIFY(window.start(login));
        window.show();
        dm->LoadCurrentContract();
        window.showBidCheck();
        auto* check = qobject_cast<BidCheckWindow*>(window.hostedTool());
        QVERIFY(check);
        QVERIFY(window.toolAction(QStringLiteral("投标检查"))->isChecked());
        int row = -1;
        const DataGridModel* model = check->grid()->gridModel();
        for (int r = 0; r < model->rowCount() && row < 0; ++r)
            if (model->index(r, 2).data().toString() == item)
                row = r;
        QVERIFY(row >= 0);
        // From the keyboard: Enter opens it, as a double click does.
        check->grid()->setCurrentIndex(model->index(row, 0));
        check->grid()->setFocus();
        QTest::keyClick(check->grid(), Qt::Key_Return);
        if (daywork) {
            QTRY_VERIFY(qobject_cast<DayworkEditorWindow*>(window.hostedTool()));
            auto* editor = qobject_cast<DayworkEditorWindow*>(window.hostedTool());
            QCOMPARE(editor->pages()->currentIndex(), 1); // 201 is a material item
            const DataSet& set = editor->lists().schedule(Schedule::Material);
            const int current = editor->grid(Schedule::Material)->currentIndex().row();
            QCOMPARE(set.value(current, QStringLiteral("ItemCode")).toString(), item);
        } else {
            QTRY_VERIFY(qobject_cast<BoqEditorWindow*>(window.hostedTool()));
            auto* editor = qobject_cast<BoqEditorWindow*>(window.hostedTool());
            QCOMPARE(editor->editor().chapterText(), QStringLiteral("300"));
            const DataSet& lines = editor->editor().lines();
            QCOMPARE(lines.value(editor->grid()->currentIndex().row(), QStringLiteral("细目编号")).toString(), item);
            QVERIFY(window.toolAction(QStringLiteral("合同清单"))->isChecked());
        }
    }

    void theBidDiskAsksFirstWhenTheCheckFindsSomething_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("No writes nothing") << false;
        QTest::newRow("Yes writes the copy") << true;
    }
    void theBidDiskAsksFirstWhenTheCheckFindsSomething() {
        QFETCH(bool, yes);
        test::TempDataFile file(true);
        auto dm = file.open();
        spoil(*dm);
        MainWindow window(*dm);
        QVERIFY(window.start(login));
        dm->LoadCurrentContract();
        QTemporaryDir target;
        int dialogs = 0;
        SetModalHandler([&](QDialog& dialog) {
            ++dialogs;
            auto* form = qobject_cast<DataCopyDialog*>(&dialog);
            form->folderChooser()->setFolder(target.path());
            form->fileNameField()->setText(QStringLiteral("bid.tr"));
            form->okButton()->click();
            return dialog.result();
        });
        MessageBox::queueAnswer(yes);
        window.writeBidDisk();
        const QStringList shown = MessageBox::takeShown();
        QVERIFY(!shown.isEmpty());
        QVERIFY2(shown.first().startsWith(QStringLiteral("投标检查发现问题：未报价 4 条")), qPrintable(shown.first()));
        QVERIFY(shown.first().endsWith(QStringLiteral("仍然生成投标盘吗？")));
        QCOMPARE(dialogs, yes ? 1 : 0);
        QCOMPARE(QFile::exists(target.filePath(QStringLiteral("bid.tr"))), yes);
        QVERIFY(dm->isConnected());

        // A backup is not held up by the check.
        MessageBox::takeShown();
        window.backUpDataFile();
        QCOMPARE(dialogs, yes ? 2 : 1);
        QVERIFY(!MessageBox::takeShown().join(QLatin1Char('\n')).contains(QStringLiteral("投标检查")));
    }
};

QTEST_MAIN(TestBidCheckWindow)
#include "tst_bidcheckwindow.moc"

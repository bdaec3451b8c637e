// The day-work editor hosted in the main window.
#include "MessageBox.h"
#include "data/DataModule.h"
#include "daywork/DtHtBg2.h"
#include "grid/DataGrid.h"
#include "shell/DtMain1.h"
#include "shell/LoginRules.h"
#include "support/TestSupport.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>

using namespace tenvora;
using namespace tenvora::ui;

namespace {

QVariant stored(TDmMain& dm, const char* column, const char* code) {
    return dm.ADOCon().scalar(QStringLiteral("SELECT %1 FROM Jl_ContractList WHERE ContractID='A1' AND ItemCode=?")
                                  .arg(QLatin1String(column)),
                              {QString::fromLatin1(code)});
}

int columnOf(const DataGrid* grid, const QString& title) {
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        if (grid->model()->headerData(c, Qt::Horizontal).toString() == title)
            return c;
    return -1;
}

// Types a price into the unit-price cell of a row, as the user does, without saving it.
void typePrice(DataGrid* grid, int row, const QString& title, const QVariant& price) {
    const QModelIndex cell = grid->model()->index(row, columnOf(grid, title));
    QVERIFY(cell.isValid());
    grid->setCurrentIndex(cell);
    QVERIFY(grid->model()->setData(cell, price, Qt::EditRole));
}

} // namespace

class TestDaywork : public QObject {
    Q_OBJECT
private slots:
    void init() { MessageBox::setTestMode(true); }
    void cleanup() { QCOMPARE(MessageBox::takeUnanswered(), 0); }

    void pagesAndColumns_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("tab");
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("labour") << 0 << "劳务单价表"
                                << QStringList{"合同编号", "细目编号", "细目名称", "估计数量", "单价", "合价（元）"};
        QTest::newRow("material") << 1 << "材料单价表" << QStringList{"合同编号", "细目编号", "细目名称", "单位",
                                                                      "估计数量", "单价",     "合价"};
        QTest::newRow("machinery") << 2 << "施工机械单价表" << QStringList{"合同编号", "细目编号",      "细目名称",
                                                                           "估计数量", "租价(元/小时)", "合价（元）"};
    }
    void pagesAndColumns() {
        QFETCH(int, page);
        QFETCH(QString, tab);
        QFETCH(QStringList, titles);
        test::TempDataFile file;
        auto dm = file.open();
        dm->LoadCurrentContract();
        TFrm_htbg2 editor(*dm);
        // Hosted as the main window does it; the panel goes back to its tool at the end.
        QWidget host;
        host.resize(1000, 600);
        (new QVBoxLayout(&host))->addWidget(editor.contentPanel());
        const auto giveBack = qScopeGuard([&] { editor.contentPanel()->setParent(&editor); });
        host.show();
        editor.pages()->setCurrentIndex(page);
        QCOMPARE(editor.pages()->tabText(page), tab);
        const DataGrid* grid = qobject_cast<DataGrid*>(editor.pages()->widget(page));
        QVERIFY(grid);
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QAbstractItemModelTester tester(grid->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QStringList shown;
        int used = 0;
        for (int c = 0; c < grid->model()->columnCount(); ++c) {
            if (grid->isColumnHidden(c))
                continue;
            shown << grid->model()->headerData(c, Qt::Horizontal).toString();
            used += grid->columnWidth(c);
            // Figures and headings are never cut; the name takes the width that is left.
            if (shown.last() != QStringLiteral("细目名称"))
                QVERIFY2(grid->columnWidth(c) >= grid->contentWidth(c), qPrintable(shown.last()));
        }
        QCOMPARE(shown, titles);
        QCOMPARE(used, grid->viewport()->width());
        QCOMPARE(grid->model()->rowCount(), 8);
        // Only the unit price can be typed, and the total on the labour page.
        const Qt::ItemFlags total = grid->model()->flags(grid->model()->index(0, columnOf(grid, titles.last())));
        QCOMPARE(bool(total & Qt::ItemIsEditable), page == 0);
        const Qt::ItemFlags name = grid->model()->flags(grid->model()->index(0, columnOf(grid, "细目名称")));
        QVERIFY(!(name & Qt::ItemIsEditable));
    }

    void enterAndSaveWriteTheRow() {
        test::TempDataFile file;
        auto dm = file.open();
        dm->LoadCurrentContract();
        TFrm_htbg2 editor(*dm);
        editor.contentPanel()->show();

        DataGrid* labour = editor.grid(Schedule::Labour);
        typePrice(labour, 1, QStringLiteral("单价"), 12.35);
        QVERIFY(stored(*dm, "UnitPrice", "102").isNull());
        QTest::keyClick(labour, Qt::Key_Return);
        QCOMPARE(stored(*dm, "TotalMoney", "102").toLongLong(), 24700);
        QCOMPARE(labour->currentIndex().row(), 2); // on to the next item, the same column
        QCOMPARE(labour->currentIndex().column(), columnOf(labour, QStringLiteral("单价")));
        const int last = labour->model()->rowCount() - 1;
        labour->setCurrentIndex(labour->model()->index(last, columnOf(labour, QStringLiteral("单价"))));
        QTest::keyClick(labour, Qt::Key_Return);
        QCOMPARE(labour->currentIndex().row(), last);
        QCOMPARE(labour->model()->rowCount(), last + 1); // no new row either

        editor.pages()->setCurrentIndex(2);
        DataGrid* machinery = editor.grid(Schedule::Machinery);
        typePrice(machinery, 2, QStringLiteral("租价(元/小时)"), QStringLiteral("325.5"));
        editor.saveButton()->click();
        QCOMPARE(stored(*dm, "TotalMoney", "303").toLongLong(), 48825);
        QCOMPARE(stored(*dm, "UnitPrice", "303").toDouble(), 325.5);
    }

    void aPendingPriceSurvivesClosing() {
        test::TempDataFile file;
        auto dm = file.open();
        TFormMain1 window(*dm);
        QVERIFY(window.FormCreate(
            [](TDmMain& d) { return LoginRules(d).login(QStringLiteral("华建路桥工程有限公司"), "hj2026"); }));
        dm->LoadCurrentContract();
        window.ToolButton11Click();
        auto* editor = qobject_cast<TFrm_htbg2*>(window.hostedTool());
        QVERIFY(editor);
        QCOMPARE(window.windowTitle(), QStringLiteral("Tenvora---计日工清单"));
        typePrice(editor->grid(Schedule::Material), 0, QStringLiteral("单价"), 468.0);
        window.CloseChildForms();
        QCOMPARE(stored(*dm, "TotalMoney", "201").toLongLong(), 23400);
        QCOMPARE(window.windowTitle(), QStringLiteral("Tenvora"));
    }

    void closeButtonReleasesTheToolbar() {
        test::TempDataFile file;
        auto dm = file.open();
        TFormMain1 window(*dm);
        QVERIFY(window.FormCreate([](TDmMain&) { return true; }));
        window.toolAction(QStringLiteral("计日工"))->setChecked(true);
        window.ToolButton11Click();
        QPointer<HostedTool> editor = window.hostedTool();
        QVERIFY(editor);
        qobject_cast<TFrm_htbg2*>(editor.data())->closeButton()->click();
        QTRY_VERIFY(editor.isNull());
        QVERIFY(!window.toolAction(QStringLiteral("计日工"))->isChecked());
        QCOMPARE(window.windowTitle(), QStringLiteral("Tenvora"));
    }

    void aContractWithoutItemsShowsThreeEmptyGrids() {
        test::TempDataFile file;
        auto dm = file.open();
        dm->session().CurContractID = QStringLiteral("B1");
        TFrm_htbg2 editor(*dm);
        for (Schedule s : {Schedule::Labour, Schedule::Material, Schedule::Machinery})
            QCOMPARE(editor.grid(s)->model()->rowCount(), 0);
    }
};

QTEST_MAIN(TestDaywork)
#include "tst_dthtbg2.moc"

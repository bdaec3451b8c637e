// The day-work editor hosted in the main window.
#include "MessageBox.h"
#include "WindowTest.h"
#include "data/DataModule.h"
#include "daywork/DayworkEditorWindow.h"
#include "grid/DataGrid.h"
#include "grid/DataGridDelegate.h"
#include "shell/LoginRules.h"
#include "shell/MainWindow.h"
#include "shell/UiStyle.h"
#include "support/TestSupport.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>

using namespace tenvora;
using namespace tenvora::ui;

namespace {

QVariant stored(DataModule& dm, const char* column, const char* code) {
    return dm.database().scalar(QStringLiteral("SELECT %1 FROM Jl_ContractList WHERE ContractID='A1' AND ItemCode=?")
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

// The editor's panel hosted as the main window hosts it; the panel goes back to its tool at the end.
class Host {
public:
    explicit Host(DayworkEditorWindow& editor) : m_editor(editor) {
        m_window.resize(1000, 600);
        (new QVBoxLayout(&m_window))->addWidget(editor.contentPanel());
        m_window.show();
    }
    ~Host() { m_editor.contentPanel()->setParent(&m_editor); }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    bool exposed() { return QTest::qWaitForWindowExposed(&m_window); }

private:
    DayworkEditorWindow& m_editor;
    QWidget m_window;
};

} // namespace

class TestDayworkEditorWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { test::BeginWindowTest(); }
    void cleanup() { QCOMPARE(test::EndWindowTest(), QString()); }

    void pagesAndColumns_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("tab");
        QTest::addColumn<QStringList>("titles");
        // The unit on every page: the labour rates are per hour.
        QTest::newRow("labour") << 0 << "劳务单价表" << QStringList{"合同编号", "细目编号", "细目名称",  "单位",
                                                                    "估计数量", "单价",     "合价（元）"};
        QTest::newRow("material") << 1 << "材料单价表" << QStringList{"合同编号", "细目编号", "细目名称", "单位",
                                                                      "估计数量", "单价",     "合价"};
        QTest::newRow("machinery") << 2 << "施工机械单价表"
                                   << QStringList{"合同编号", "细目编号",      "细目名称",  "单位",
                                                  "估计数量", "租价(元/小时)", "合价（元）"};
    }
    void pagesAndColumns() {
        QFETCH(int, page);
        QFETCH(QString, tab);
        QFETCH(QStringList, titles);
        test::TempDataFile file;
        auto dm = file.open();
        dm->LoadCurrentContract();
        DayworkEditorWindow editor(*dm);
        Host host(editor);
        editor.pages()->setCurrentIndex(page);
        QCOMPARE(editor.pages()->tabText(page), tab);
        const DataGrid* grid = qobject_cast<DataGrid*>(editor.pages()->widget(page));
        QVERIFY(grid);
        QVERIFY(host.exposed());
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
        QCOMPARE(grid->model()->index(0, columnOf(grid, "单位")).data().toString(),
                 page == 1 ? QStringLiteral("t") : QStringLiteral("h"));
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
        DayworkEditorWindow editor(*dm);
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
        MainWindow window(*dm);
        QVERIFY(window.start(
            [](DataModule& d) { return LoginRules(d).login(QStringLiteral("华建路桥工程有限公司"), "hj2026"); }));
        dm->LoadCurrentContract();
        window.showDayworkEditor();
        auto* editor = qobject_cast<DayworkEditorWindow*>(window.hostedTool());
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
        MainWindow window(*dm);
        QVERIFY(window.start([](DataModule&) { return true; }));
        window.toolAction(QStringLiteral("计日工"))->setChecked(true);
        window.showDayworkEditor();
        QPointer<HostedTool> editor = window.hostedTool();
        QVERIFY(editor);
        qobject_cast<DayworkEditorWindow*>(editor.data())->closeButton()->click();
        QTRY_VERIFY(editor.isNull());
        QVERIFY(!window.toolAction(QStringLiteral("计日工"))->isChecked());
        QCOMPARE(window.windowTitle(), QStringLiteral("Tenvora"));
    }

    void aTotalThatPriceAndQuantityDoNotGiveIsMarked() {
        test::TempDataFile file;
        auto dm = file.open();
        dm->LoadCurrentContract();
        // 101: a total typed without a price; 102: a total left from another price; 103: sound.
        const auto set = [&](const char* code, const QVariant& price, const QVariant& total) {
            dm->database().exec(QStringLiteral("UPDATE Jl_ContractList SET UnitPrice=?, TotalMoney=? WHERE "
                                               "ContractID='A1' AND ItemCode=?"),
                                {price, total, QString::fromLatin1(code)});
        };
        set("101", QVariant(), 1200);
        set("102", 12.5, 24000);
        set("103", 10.0, 3000);
        set("201", 468.0, 1); // material: the owner's file may hold any total
        DayworkEditorWindow editor(*dm);
        Host host(editor);
        DataGrid* labour = editor.grid(Schedule::Labour);
        const int total = columnOf(labour, QStringLiteral("合价（元）"));
        const auto cell = [&](DataGrid* g, int row) { return g->model()->index(row, g->model()->columnCount() - 1); };
        QCOMPARE(cell(labour, 0).column(), total);
        const QStringList notes = {QStringLiteral("没有单价，却存有合价 1200"),
                                   QStringLiteral("已存合价 24000，单价 × 数量应为 25000"), QString()};
        for (int row = 0; row < notes.size(); ++row) {
            QCOMPARE(cell(labour, row).data(Qt::ToolTipRole).toString(), notes[row]);
            QCOMPARE(cell(labour, row).data(Qt::BackgroundRole).value<QColor>() == MarkedFigure(),
                     !notes[row].isEmpty());
        }
        QCOMPARE(labour->model()->index(0, columnOf(labour, QStringLiteral("单价"))).data(Qt::ToolTipRole).toString(),
                 QString());
        DataGrid* material = editor.grid(Schedule::Material);
        QCOMPARE(cell(material, 0).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("已存合价 1，单价 × 数量应为 23400"));

        // Hovering the marked cell says why.
        editor.pages()->setCurrentIndex(0);
        QVERIFY(host.exposed());
        const QRect rect = labour->visualRect(cell(labour, 1));
        QHelpEvent help(QEvent::ToolTip, rect.center(), labour->viewport()->mapToGlobal(rect.center()));
        QApplication::sendEvent(labour->viewport(), &help);
        QTRY_COMPARE(QToolTip::text(), notes[1]);

        // Priced through the grid, the row's total follows and the mark goes.
        labour->setCurrentIndex(labour->model()->index(0, columnOf(labour, QStringLiteral("单价"))));
        labour->setFocus();
        QTest::keyClicks(labour, QStringLiteral("7"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(stored(*dm, "TotalMoney", "101").toLongLong(), 1400);
        QCOMPARE(cell(labour, 0).data(Qt::ToolTipRole).toString(), QString());
        QVERIFY(cell(labour, 0).data(Qt::BackgroundRole).value<QColor>() != MarkedFigure());
    }

    void textThatIsNotANumberIsRefusedOnEveryPage_data() {
        QTest::addColumn<int>("schedule");
        QTest::addColumn<QString>("typed");
        QTest::newRow("labour") << 1 << QStringLiteral("1.5万");
        QTest::newRow("material") << 2 << QStringLiteral("12元");
        QTest::newRow("machinery") << 3 << QStringLiteral("8小时");
    }
    void textThatIsNotANumberIsRefusedOnEveryPage() {
        QFETCH(int, schedule);
        QFETCH(QString, typed);
        test::TempDataFile file;
        auto dm = file.open();
        dm->LoadCurrentContract();
        DayworkEditorWindow editor(*dm);
        Host host(editor);
        const auto s = static_cast<Schedule>(schedule);
        editor.pages()->setCurrentIndex(schedule - 1);
        DataGrid* grid = editor.grid(s);
        QVERIFY(host.exposed());
        QSignalSpy hints(&editor, &HostedTool::statusHint);
        grid->setCurrentIndex(grid->model()->index(0, grid->model()->columnCount() - 2)); // the price
        grid->setFocus();
        QInputMethodEvent commit;
        commit.setCommitString(typed);
        QApplication::sendEvent(grid, &commit);
        auto* cellEditor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(cellEditor);
        QCOMPARE(cellEditor->text(), typed);
        QTest::keyClick(cellEditor, Qt::Key_Return);
        QVERIFY(grid->isEditorOpen());
        QCOMPARE(cellEditor->text(), typed);
        QVERIFY(!hints.isEmpty());
        QCOMPARE(hints.last().at(0).toString(), DataGridDelegate::notANumberHint(typed));
        QVERIFY(!editor.savePendingEdit()); // the host keeps the tool open
        const QString code = dm->database()
                                 .scalar(QStringLiteral("SELECT ItemCode FROM Jl_ContractList WHERE ContractID='A1' "
                                                        "AND bz=? ORDER BY rowid"),
                                         {QString::number(schedule)})
                                 .toString();
        QVERIFY(stored(*dm, "UnitPrice", qPrintable(code)).isNull());
    }

    void aContractWithoutItemsShowsThreeEmptyGrids() {
        test::TempDataFile file;
        auto dm = file.open();
        dm->session().CurContractID = QStringLiteral("B1");
        DayworkEditorWindow editor(*dm);
        for (Schedule s : {Schedule::Labour, Schedule::Material, Schedule::Machinery})
            QCOMPARE(editor.grid(s)->model()->rowCount(), 0);
    }
};

QTEST_MAIN(TestDayworkEditorWindow)
#include "tst_dayworkeditorwindow.moc"

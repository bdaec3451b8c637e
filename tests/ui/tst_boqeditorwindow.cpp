// The bill-of-quantities editor "配置合同清单" on a fresh demo data file.
#include "MessageBox.h"
#include "Settings.h"
#include "WindowTest.h"
#include "boq/BoqEditorWindow.h"
#include "boq/BoqLineRules.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "grid/DataGrid.h"
#include "grid/DataNavigator.h"
#include "shell/UiStyle.h"
#include "support/TestSupport.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace tenvora;
using namespace tenvora::ui;

namespace {

QImage imageOf(const QIcon& icon) {
    return icon.pixmap(16, 16).toImage();
}

} // namespace

class TestBoqEditorWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void opensWithTheTreeExpandedAndNothingListed();
    void gridColumnsAndColours();
    void treeImagesFollowChildrenExpansionAndSelection();
    void columnsFitTheirContentAndTheDescriptionTakesTheRest();
    void sizesTheUserSetAreKeptForTheNextStart();
    void typingAPriceAndEnterStoresTheRoundedAmount();
    void enterGoesOnToTheNextPriceableLine();
    void lockedLinesRefuseTyping_data();
    void lockedLinesRefuseTyping();
    void typingOutsideThePriceColumnIsExplained();
    void nextUnpricedLineByKeyAndButton();
    void downOnTheLastLineAndTabInTheLastCellAddNothing();
    void insertIsRefused();
    void recomputeOnlyForAChapterNode();
    void aTypedPriceIsSavedBeforeTheListChangesOrTheEditorCloses();
    void aPriceThatIsNotANumberKeepsTheNodeAndTheText();
    void exitAsksTheHostToCloseIt();
    void importIsOfferedOnlyWhenAvailable();

private:
    QTreeWidgetItem* node(const QString& text) {
        const QList<QTreeWidgetItem*> found = m_tool->tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }
    void select(const QString& text) { m_tool->tree()->setCurrentItem(node(text)); }
    QTreeWidgetItem* contractNode() { return m_tool->tree()->topLevelItem(0)->child(0); }
    DataGrid* grid() { return m_tool->grid(); }
    QModelIndex cell(const QString& item, const QString& field) {
        return grid()->gridModel()->index(m_tool->editor().findItem(item), grid()->gridModel()->columnOfField(field));
    }
    void goTo(const QString& item, const QString& field = BoqColumn::Price) {
        grid()->setCurrentIndex(cell(item, field));
        grid()->setFocus();
    }
    QLineEdit* editor() { return qobject_cast<QLineEdit*>(QApplication::focusWidget()); }
    QVariant stored(const QString& item, const QString& column) {
        return m_dm->database().scalar(
            QStringLiteral("SELECT %1 FROM jd_htqd WHERE 合同编号='A1' AND 细目编号=?").arg(column), {item});
    }
    // The price cell of the current line takes typing: the model says so per cell.
    bool currentCellEditable() { return grid()->gridModel()->flags(grid()->currentIndex()) & Qt::ItemIsEditable; }
    QString currentItem() {
        return m_tool->editor().lines().value(grid()->currentIndex().row(), BoqColumn::Item).toString();
    }
    void typeIntoGrid(const QString& text) {
        QTest::keyClick(grid(), text.at(0).toLatin1());
        QVERIFY(editor());
        QTest::keyClicks(editor(), text.mid(1));
    }

    std::unique_ptr<test::TempDataFile> m_file;
    std::unique_ptr<DataModule> m_dm;
    std::unique_ptr<BoqEditorWindow> m_tool;
    std::unique_ptr<QWidget> m_host;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

void TestBoqEditorWindow::init() {
    OpenSettings()->clear(); // each case starts as at a first start
    test::BeginWindowTest();
    MessageBox::takeShown();
    m_file = std::make_unique<test::TempDataFile>();
    m_dm = m_file->open();
    m_dm->LoadCurrentContract();
    m_tool = std::make_unique<BoqEditorWindow>(*m_dm);
    m_tester = std::make_unique<QAbstractItemModelTester>(grid()->gridModel(),
                                                          QAbstractItemModelTester::FailureReportingMode::QtTest);
    // Hosted as the main window does it: the panel moves into the host, the tool stays hidden.
    m_host = std::make_unique<QWidget>();
    m_host->resize(1024, 702);
    auto* layout = new QVBoxLayout(m_host.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tool->contentPanel());
    m_host->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
}

void TestBoqEditorWindow::cleanup() {
    m_tester.reset();
    m_tool->contentPanel()->setParent(m_tool.get());
    m_tool.reset();
    m_host.reset();
    m_dm.reset();
    m_file.reset();
    QCOMPARE(test::EndWindowTest(), QString());
}

void TestBoqEditorWindow::opensWithTheTreeExpandedAndNothingListed() {
    QCOMPARE(m_tool->caption(), QStringLiteral("配置合同清单"));
    QCOMPARE(m_tool->pages()->tabText(0), QStringLiteral("原合同清单"));
    QCOMPARE(m_tool->pages()->currentIndex(), 0);
    QCOMPARE(m_tool->recomputeButton()->text(), QStringLiteral("章合计 和 保险费 计算"));
    QCOMPARE(m_tool->exitButton()->text(), QStringLiteral("退出(&X)"));
    QCOMPARE(m_tool->helpMemo()->toPlainText().split(QLatin1Char('\n')), BoqEditorWindow::helpLines());
    QCOMPARE(BoqEditorWindow::helpLines().size(), 11);
    QCOMPARE(BoqEditorWindow::helpLines().at(2), QStringLiteral("  "));

    QTreeWidget* tree = m_tool->tree();
    QCOMPARE(tree->topLevelItemCount(), 1);
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("沿江高速公路扩建工程"));
    QCOMPARE(contractNode()->childCount(), 7);
    QVERIFY(tree->topLevelItem(0)->isExpanded());
    QVERIFY(contractNode()->isExpanded());
    QVERIFY(!tree->currentItem());
    QCOMPARE(grid()->gridModel()->rowCount(), 0);
    QCOMPARE(m_tool->editor().selectedLevel(), -1);
}

void TestBoqEditorWindow::gridColumnsAndColours() {
    const QStringList titles = {"细目编号", "细目名称",   "单位",     "合同数量",   "合同单价",
                                "合同金额", "变更后单价", "变更数量", "变更后数量", "变更后金额"};
    const QList<int> widths = {84, 219, 98, 66, 81, 82, 75, 80, 73, 81};
    DataGridModel* model = grid()->gridModel();
    QCOMPARE(model->columnCount(), titles.size());
    for (int c = 0; c < titles.size(); ++c) {
        QCOMPARE(model->headerData(c, Qt::Horizontal).toString(), titles[c]);
        QCOMPARE(model->column(c).width, widths[c]);
        QCOMPARE(grid()->isColumnHidden(c), c >= 6);
    }
    QCOMPARE(grid()->palette().color(QPalette::Base), PaleYellow());
    QCOMPARE(QFontInfo(grid()->font()).pixelSize(), 12);

    select(QStringLiteral("100"));
    QCOMPARE(cell("102-1", BoqColumn::Price).data(Qt::BackgroundRole).value<QColor>(), QColor(166, 202, 240));
    QVERIFY(!cell("102-1", BoqColumn::Name).data(Qt::BackgroundRole).isValid());
    // Drawn as locked: tooltip background, red text, no highlight, in every cell of the line.
    for (const char* item : {"101-1-a", "101-1-b", "102-3", "100"}) {
        const QModelIndex price = cell(QString::fromLatin1(item), BoqColumn::Price);
        QCOMPARE(price.data(Qt::BackgroundRole).value<QColor>(), PaleYellow());
        QCOMPARE(price.data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
        QVERIFY(price.data(DataGridModel::NoHighlightRole).toBool());
    }
    // One format for every row of a column, whatever the first row holds (a chapter line has no
    // quantity): figures grouped by thousands, quantities with their own decimals.
    QCOMPARE(cell("102-1", BoqColumn::Quantity).data().toString(), QStringLiteral("1"));
    select(QStringLiteral("200"));
    QCOMPARE(cell("202-1-a", BoqColumn::Quantity).data().toString(), QStringLiteral("186,500"));
    m_dm->database().exec(QStringLiteral("UPDATE jd_htqd SET 合同数量=1234.5678 WHERE 细目编号='202-1-b'"));
    m_tool->refreshFromFile();
    QCOMPARE(cell("202-1-b", BoqColumn::Quantity).data().toString(), QStringLiteral("1,234.5678"));
}

void TestBoqEditorWindow::treeImagesFollowChildrenExpansionAndSelection() {
    const QImage closedBook = imageOf(QIcon(QStringLiteral(":/boq/images/book-closed.svg")));
    const QImage openBook = imageOf(QIcon(QStringLiteral(":/boq/images/book-open.svg")));
    const QImage page = imageOf(QIcon(QStringLiteral(":/boq/images/list-page.svg")));
    const QImage tick = imageOf(QIcon(QStringLiteral(":/boq/images/list-page-tick.svg")));
    QVERIFY(!closedBook.isNull());
    QCOMPARE(imageOf(contractNode()->icon(0)), openBook);
    QCOMPARE(imageOf(node(QStringLiteral("300"))->icon(0)), page);
    select(QStringLiteral("300"));
    QCOMPARE(imageOf(node(QStringLiteral("300"))->icon(0)), tick);
    QCOMPARE(imageOf(node(QStringLiteral("200"))->icon(0)), page);
    contractNode()->setExpanded(false);
    QCOMPARE(imageOf(contractNode()->icon(0)), closedBook);
    m_tool->tree()->setCurrentItem(contractNode());
    QCOMPARE(imageOf(contractNode()->icon(0)), closedBook);
}

void TestBoqEditorWindow::columnsFitTheirContentAndTheDescriptionTakesTheRest() {
    m_dm->database().exec(QStringLiteral("UPDATE jd_htqd SET 合同金额 = 123456789012 WHERE 细目编号 = '102-3'"));
    const auto used = [this] {
        int sum = 0;
        for (int c = 0; c < grid()->gridModel()->columnCount(); ++c)
            sum += grid()->isColumnHidden(c) ? 0 : grid()->columnWidth(c);
        return sum;
    };
    const int amount = grid()->gridModel()->columnOfField(BoqColumn::Amount);
    const int price = grid()->gridModel()->columnOfField(BoqColumn::Price);
    for (const QSize size : {QSize(1024, 702), QSize(1600, 900)}) {
        m_host->resize(size);
        select(QStringLiteral("100"));
        // Measured once the load is complete, before the grid is drawn.
        QTRY_VERIFY(grid()->columnWidth(amount) >= grid()->contentWidth(amount));
        QCOMPARE(grid()->viewport()->width(), used());
    }
    const int name = grid()->gridModel()->columnOfField(BoqColumn::Name);
    QVERIFY2(grid()->columnWidth(name) > 600, "the description takes the width of a wide window");

    // A price that makes a wider amount widens both figure columns as it is saved.
    const int before = grid()->columnWidth(price);
    goTo(QStringLiteral("102-1"));
    typeIntoGrid(QStringLiteral("987654321098.5"));
    QTest::keyClick(editor(), Qt::Key_Return);
    QCOMPARE(stored(QStringLiteral("102-1"), BoqColumn::Amount).toLongLong(), 987654321099LL);
    QVERIFY(grid()->columnWidth(price) > before);
    for (int c : {price, amount})
        QVERIFY(grid()->columnWidth(c) >= grid()->contentWidth(c));
    QCOMPARE(grid()->viewport()->width(), used());
}

void TestBoqEditorWindow::sizesTheUserSetAreKeptForTheNextStart() {
    select(QStringLiteral("100"));
    QSplitter* splitter = m_tool->contentPanel()->findChild<QSplitter*>();
    QVERIFY(splitter);
    splitter->setSizes({320, 700});
    emit splitter->splitterMoved(320, 1); // as the user's drag reports it
    const int unit = grid()->gridModel()->columnOfField(BoqColumn::Unit);
    grid()->horizontalHeader()->resizeSection(unit, 150); // as a drag on the header does
    const int tree = m_tool->tree()->width();

    // The editor opened again, as at the next start.
    m_tester.reset();
    m_tool->contentPanel()->setParent(m_tool.get());
    m_tool = std::make_unique<BoqEditorWindow>(*m_dm);
    m_host->layout()->addWidget(m_tool->contentPanel());
    m_tool->contentPanel()->show();
    QTRY_COMPARE(m_tool->tree()->width(), tree);
    select(QStringLiteral("100"));
    QCOMPARE(grid()->columnWidth(unit), 150);
}

void TestBoqEditorWindow::typingAPriceAndEnterStoresTheRoundedAmount() {
    select(QStringLiteral("200"));
    goTo(QStringLiteral("202-1-a"));
    QVERIFY(currentCellEditable());
    typeIntoGrid(QStringLiteral("2.857"));
    QTest::keyClick(editor(), Qt::Key_Return);
    QCOMPARE(stored(QStringLiteral("202-1-a"), BoqColumn::Price).toDouble(), 2.857);
    QCOMPARE(stored(QStringLiteral("202-1-a"), BoqColumn::Amount).toLongLong(), 532831); // 186500 x 2.857 = 532830.5
    QCOMPARE(stored(QStringLiteral("202-1-a"), BoqColumn::Section).toString(), QStringLiteral("202-1-a"));
    QCOMPARE(cell("202-1-a", BoqColumn::Price).data().toString(), QStringLiteral("2.86"));
    QCOMPARE(cell("202-1-a", BoqColumn::Amount).data().toString(), QStringLiteral("532,831"));
    QVERIFY(!m_tool->editor().lines().hasPendingEdits());
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestBoqEditorWindow::enterGoesOnToTheNextPriceableLine() {
    select(QStringLiteral("100"));
    // 102-3 between them is a provisional sum: Enter passes over it.
    goTo(QStringLiteral("102-2"));
    typeIntoGrid(QStringLiteral("1,500"));
    QTest::keyClick(editor(), Qt::Key_Return);
    QCOMPARE(stored(QStringLiteral("102-2"), BoqColumn::Amount).toLongLong(), 1500);
    QCOMPARE(currentItem(), QStringLiteral("102-4"));
    QCOMPARE(grid()->currentIndex().column(), grid()->gridModel()->columnOfField(BoqColumn::Price));
    QVERIFY(currentCellEditable());
    // The next price goes straight in.
    typeIntoGrid(QStringLiteral("80"));
    QTest::keyClick(editor(), Qt::Key_Enter);
    QCOMPARE(stored(QStringLiteral("102-4"), BoqColumn::Amount).toLongLong(), 80);
    QCOMPARE(currentItem(), QStringLiteral("103-1"));
    // Enter without typing moves on as well; on the last priceable line it stays.
    QTest::keyClick(grid(), Qt::Key_Return);
    QCOMPARE(currentItem(), QStringLiteral("103-2"));
    goTo(QStringLiteral("104-1"));
    typeIntoGrid(QStringLiteral("5"));
    QTest::keyClick(editor(), Qt::Key_Return);
    QCOMPARE(stored(QStringLiteral("104-1"), BoqColumn::Amount).toLongLong(), 5);
    QCOMPARE(currentItem(), QStringLiteral("104-1"));
    // Outside the price column Enter stays on the line.
    goTo(QStringLiteral("102-1"), BoqColumn::Name);
    QTest::keyClick(grid(), Qt::Key_Return);
    QCOMPARE(currentItem(), QStringLiteral("102-1"));
    // A price that cannot be saved keeps the line and the text.
    goTo(QStringLiteral("102-1"));
    typeIntoGrid(QStringLiteral("12,5"));
    QTest::keyClick(editor(), Qt::Key_Return);
    QCOMPARE(currentItem(), QStringLiteral("102-1"));
    QVERIFY(grid()->isEditorOpen());
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestBoqEditorWindow::lockedLinesRefuseTyping_data() {
    QTest::addColumn<QString>("item");
    QTest::newRow("insurance") << "101-1-a";
    QTest::newRow("liability insurance") << "101-1-b";
    QTest::newRow("provisional sum") << "102-3";
    QTest::newRow("no quantity") << "101-1";
    QTest::newRow("chapter line") << "100";
}

void TestBoqEditorWindow::lockedLinesRefuseTyping() {
    QFETCH(QString, item);
    QSignalSpy hints(m_tool.get(), &HostedTool::statusHint);
    select(QStringLiteral("100"));
    goTo(item);
    // The lock is the price cell's own: the grid as a whole stays writable.
    QVERIFY(!currentCellEditable());
    QVERIFY(!grid()->isReadOnly());
    QTest::keyClick(grid(), Qt::Key_5);
    QTest::keyClick(grid(), Qt::Key_F2);
    QVERIFY(!grid()->isEditorOpen());
    QVERIFY(!m_tool->editor().lines().hasPendingEdits());
    QVERIFY(!m_tool->navigator()->button(DataNavigator::Edit)->isEnabled());
    QCOMPARE(hints.size(), 1);
    QCOMPARE(hints.last().at(0).toString(), QStringLiteral("该行单价已锁定，不能修改"));

    // The current cell stays marked on a locked line: framed in navy over the line's own colours.
    const QRect rect = grid()->visualRect(grid()->currentIndex());
    const QImage shot = grid()->viewport()->grab().toImage();
    const qreal ratio = shot.devicePixelRatio();
    QCOMPARE(shot.pixelColor(QPoint(rect.left() + 1, rect.center().y()) * ratio), Navy());
    QCOMPARE(shot.pixelColor(QPoint(rect.center().x(), rect.top() + 1) * ratio), Navy());
    QCOMPARE(shot.pixelColor(QPoint(rect.left() + 6, rect.top() + 5) * ratio), PaleYellow());

    goTo(QStringLiteral("102-1"));
    QVERIFY(currentCellEditable());
    QVERIFY(m_tool->navigator()->button(DataNavigator::Edit)->isEnabled());
}

void TestBoqEditorWindow::typingOutsideThePriceColumnIsExplained() {
    QSignalSpy hints(m_tool.get(), &HostedTool::statusHint);
    select(QStringLiteral("100"));
    goTo(QStringLiteral("102-1"), BoqColumn::Name);
    QTest::keyClick(grid(), Qt::Key_A);
    QVERIFY(!grid()->isEditorOpen());
    QCOMPARE(hints.size(), 1);
    QCOMPARE(hints.last().at(0).toString(), BoqEditorWindow::priceColumnOnlyHint());
    // Keys that are no typing say nothing.
    QTest::keyClick(grid(), Qt::Key_Right);
    QTest::keyClick(grid(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(hints.size(), 1);
}

void TestBoqEditorWindow::nextUnpricedLineByKeyAndButton() {
    QSignalSpy hints(m_tool.get(), &HostedTool::statusHint);
    m_dm->database().exec(QStringLiteral("UPDATE jd_htqd SET 合同单价 = 1 WHERE 合同编号 = 'A1' AND 章 = '100' AND "
                                         "细目编号 NOT IN ('103-2', '104-1')"));
    select(QStringLiteral("100"));
    goTo(QStringLiteral("102-1"), BoqColumn::Name);
    QTest::keyClick(grid(), Qt::Key_F8);
    QCOMPARE(grid()->currentIndex(), cell("103-2", BoqColumn::Price));
    QTest::mouseClick(m_tool->nextUnpricedButton(), Qt::LeftButton);
    QCOMPARE(grid()->currentIndex(), cell("104-1", BoqColumn::Price));
    // A price typed on the way is saved first and the search goes round to the top.
    typeIntoGrid(QStringLiteral("9"));
    QTest::keyClick(editor(), Qt::Key_F8);
    QCOMPARE(stored(QStringLiteral("104-1"), BoqColumn::Price).toDouble(), 9.0);
    QCOMPARE(grid()->currentIndex(), cell("103-2", BoqColumn::Price));
    QVERIFY(hints.isEmpty());
    typeIntoGrid(QStringLiteral("4"));
    QTest::keyClick(editor(), Qt::Key_F8);
    QCOMPARE(hints.size(), 1);
    QCOMPARE(hints.last().at(0).toString(), BoqEditorWindow::allPricedHint());
    QCOMPARE(stored(QStringLiteral("103-2"), BoqColumn::Price).toDouble(), 4.0);
}

void TestBoqEditorWindow::downOnTheLastLineAndTabInTheLastCellAddNothing() {
    select(QStringLiteral("100"));
    const int rows = grid()->gridModel()->rowCount();
    goTo(QStringLiteral("104-1"));
    QCOMPARE(grid()->currentIndex().row(), rows - 1);
    QTest::keyPress(grid(), Qt::Key_Down); // held down
    QCOMPARE(grid()->currentIndex().row(), rows - 1);
    QVERIFY(currentCellEditable());
    QTest::keyRelease(grid(), Qt::Key_Down);
    goTo(QStringLiteral("104-1"), BoqColumn::Amount);
    QTest::keyClick(grid(), Qt::Key_Tab);
    QCOMPARE(grid()->gridModel()->rowCount(), rows);
    QVERIFY(!m_tool->editor().lines().hasPendingEdits());
    QVERIFY(MessageBox::takeShown().isEmpty());

    // Also from inside a cell editor, with the typed price kept in the line.
    goTo(QStringLiteral("104-1"));
    typeIntoGrid(QStringLiteral("7"));
    QTest::keyClick(editor(), Qt::Key_Down);
    QCOMPARE(grid()->gridModel()->rowCount(), rows);
    QVERIFY(MessageBox::takeShown().isEmpty());
    QVERIFY(grid()->isEditorOpen());
    QCOMPARE(editor()->text(), QStringLiteral("7"));

    // Each line keeps its own lock as the keys move over them.
    goTo(QStringLiteral("103-6"));
    QVERIFY(!currentCellEditable());
    QTest::keyClick(grid(), Qt::Key_Down);
    QCOMPARE(currentItem(), QStringLiteral("104-1"));
    QVERIFY(currentCellEditable());
    QTest::keyClick(grid(), Qt::Key_Up);
    QCOMPARE(currentItem(), QStringLiteral("103-6"));
    QVERIFY(!currentCellEditable());
    QCOMPARE(stored(QStringLiteral("104-1"), BoqColumn::Price).toDouble(), 7.0); // saved on leaving the line
}

void TestBoqEditorWindow::insertIsRefused() {
    select(QStringLiteral("100"));
    const int rows = grid()->gridModel()->rowCount();
    goTo(QStringLiteral("102-1"));
    QTest::keyClick(grid(), Qt::Key_Insert);
    QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("不允许增加")});
    QCOMPARE(grid()->gridModel()->rowCount(), rows);
    QVERIFY(!m_tool->editor().lines().hasPendingEdits());
    QTest::keyClick(grid(), Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(grid()->gridModel()->rowCount(), rows); // no deletion is offered
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestBoqEditorWindow::recomputeOnlyForAChapterNode() {
    m_dm->database().exec(QStringLiteral("UPDATE jd_htqd SET 合同金额 = 1234567 WHERE 细目编号 = '202-1-a'"));
    const QVariant before = stored(QStringLiteral("101-1-a"), BoqColumn::Amount);
    QTest::mouseClick(m_tool->recomputeButton(), Qt::LeftButton);
    m_tool->tree()->setCurrentItem(contractNode());
    const int listed = grid()->gridModel()->rowCount();
    QTest::mouseClick(m_tool->recomputeButton(), Qt::LeftButton);
    select(QStringLiteral("沿江高速公路扩建工程"));
    QTest::mouseClick(m_tool->recomputeButton(), Qt::LeftButton);
    QCOMPARE(stored(QStringLiteral("101-1-a"), BoqColumn::Amount), before);
    QVERIFY(listed > 80);

    // 1234567 + the owner's provisional sums 4500000 + 1500000 + 300000 + 2000000
    select(QStringLiteral("100"));
    QTest::mouseClick(m_tool->recomputeButton(), Qt::LeftButton);
    const qint64 premium = ContractFigures::insuranceAmount(9534567);
    QCOMPARE(stored(QStringLiteral("101-1-a"), BoqColumn::Amount).toLongLong(), premium);
    QCOMPARE(stored(QStringLiteral("100"), BoqColumn::Amount).toLongLong(), 4500000 + 1500000 + premium);
    QCOMPARE(grid()->currentIndex().row(), 1);
    QCOMPARE(cell("101-1-a", BoqColumn::Price).data().toString(), FormatNumber(premium, QStringLiteral("#,##0.00")));
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestBoqEditorWindow::aTypedPriceIsSavedBeforeTheListChangesOrTheEditorCloses() {
    select(QStringLiteral("100"));
    goTo(QStringLiteral("102-1"));
    typeIntoGrid(QStringLiteral("1500"));
    select(QStringLiteral("200")); // the editor is still open when the node changes
    QCOMPARE(stored(QStringLiteral("102-1"), BoqColumn::Amount).toLongLong(), 1500);
    QCOMPARE(m_tool->tree()->currentItem()->text(0), QStringLiteral("200"));

    goTo(QStringLiteral("202-1-b"));
    typeIntoGrid(QStringLiteral("10"));
    m_tool->savePendingEdit();
    QCOMPARE(stored(QStringLiteral("202-1-b"), BoqColumn::Amount).toLongLong(), 12400);

    select(QStringLiteral("100"));
    goTo(QStringLiteral("102-2"));
    typeIntoGrid(QStringLiteral("2000"));
    QTest::mouseClick(m_tool->recomputeButton(), Qt::LeftButton);
    QCOMPARE(stored(QStringLiteral("102-2"), BoqColumn::Amount).toLongLong(), 2000);
    QCOMPARE(stored(QStringLiteral("100"), BoqColumn::Amount).toLongLong(),
             1500 + 2000 + 4500000 + 1500000 + stored(QStringLiteral("101-1-a"), BoqColumn::Amount).toLongLong());
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestBoqEditorWindow::aPriceThatIsNotANumberKeepsTheNodeAndTheText() {
    QSignalSpy hints(grid(), &DataGrid::inputRefused);
    select(QStringLiteral("100"));
    goTo(QStringLiteral("102-1"));
    typeIntoGrid(QStringLiteral("1e"));
    select(QStringLiteral("200"));
    QCOMPARE(m_tool->tree()->currentItem()->text(0), QStringLiteral("100"));
    QCOMPARE(m_tool->editor().chapterText(), QStringLiteral("100"));
    QVERIFY(grid()->isEditorOpen());
    QCOMPARE(hints.size(), 1);
    QVERIFY(stored(QStringLiteral("102-1"), BoqColumn::Price).isNull());
}

void TestBoqEditorWindow::exitAsksTheHostToCloseIt() {
    QSignalSpy close(m_tool.get(), &HostedTool::closeRequested);
    QTest::mouseClick(m_tool->exitButton(), Qt::LeftButton);
    QCOMPARE(close.size(), 1);
}

void TestBoqEditorWindow::importIsOfferedOnlyWhenAvailable() {
    QVERIFY(!m_tool->importAction()->isVisible());
    QCOMPARE(m_tool->importAction()->text(), QStringLiteral("导入Excel文件(&I)"));
    QSignalSpy asked(m_tool.get(), &BoqEditorWindow::importRequested);
    m_tool->importWorkbook();
    QCOMPARE(asked.size(), 0);

    m_tool->setImportAvailable(true);
    QVERIFY(m_tool->importAction()->isVisible());
    select(QStringLiteral("100"));
    goTo(QStringLiteral("102-1"));
    typeIntoGrid(QStringLiteral("3"));
    // The import adds a chapter; after it the tree is built again and nothing is listed.
    connect(m_tool.get(), &BoqEditorWindow::importRequested, this, [this] {
        m_dm->database().exec(
            QStringLiteral("INSERT INTO jd_htqd (合同编号, 章, 细目编号, 是否补充) VALUES ('A1', '800', '801-1', 0)"));
    });
    m_tool->importWorkbook();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(stored(QStringLiteral("102-1"), BoqColumn::Amount).toLongLong(), 3);
    QCOMPARE(contractNode()->childCount(), 8);
    QVERIFY(!m_tool->tree()->currentItem());
    QCOMPARE(grid()->gridModel()->rowCount(), 0);
}

QTEST_MAIN(TestBoqEditorWindow)
#include "tst_boqeditorwindow.moc"

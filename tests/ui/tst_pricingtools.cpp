// The pricing aids of the BoQ editor "配置合同清单" (undo, find, paste, copy, live totals, the
// "调价" dialog, chapter names) on a fresh demo data file, driven by keys and clicks.
#include "MessageBox.h"
#include "Modal.h"
#include "WindowTest.h"
#include "boq/BoqEditorWindow.h"
#include "boq/BoqFindBar.h"
#include "boq/BoqLineRules.h"
#include "boq/ChapterNames.h"
#include "boq/PriceAdjustmentDialog.h"
#include "boq/PricingTools.h"
#include "data/AppPaths.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "grid/DataGrid.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace tenvora;
using namespace tenvora::ui;

class TestPricingTools : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void undoAndRedoByKeys();
    void pasteFromTheClipboard_data();
    void pasteFromTheClipboard();
    void pasteIntoAnOpenPriceEditor_data();
    void pasteIntoAnOpenPriceEditor();
    void copyGivesTheSelectedCellsAsTabbedLines();
    void findFollowsTheTreeAcrossChapters();
    void unpricedFilter();
    void unpricedLinesOfTheWholeContract();
    void theEditorFitsA1024PixelScreen();
    void liveTotalsAndTheStaleChapterLine();
    void totalsThatCannotBeReadAreSaidInTheLabel();
    void adjustmentDialogProposesThenApplies();
    void chapterNamesBesideTheCodes();

private:
    QTreeWidgetItem* node(const QString& text) {
        const QList<QTreeWidgetItem*> found = m_tool->tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }
    void select(const QString& text) { m_tool->tree()->setCurrentItem(node(text)); }
    DataGrid* grid() { return m_tool->grid(); }
    BoqPricingTools* tools() { return m_tool->pricingTools(); }
    QModelIndex cell(const QString& item, const QString& field) {
        return grid()->gridModel()->index(m_tool->editor().findItem(item), grid()->gridModel()->columnOfField(field));
    }
    void goTo(const QString& item) {
        grid()->setCurrentIndex(cell(item, BoqColumn::Price));
        grid()->setFocus();
    }
    QVariant stored(const QString& item, const QString& column = BoqColumn::Price) {
        return m_dm->database().scalar(
            QStringLiteral("SELECT %1 FROM jd_htqd WHERE 合同编号='A1' AND 细目编号=?").arg(column), {item});
    }
    QString currentItem() {
        return m_tool->editor().lines().value(grid()->currentIndex().row(), BoqColumn::Item).toString();
    }
    // The first key opens the cell editor, which takes the rest.
    void typeIntoGrid(const QString& text) {
        QTest::keyClick(grid(), text.at(0).toLatin1());
        QVERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
        QTest::keyClicks(QApplication::focusWidget(), text.mid(1));
    }

    std::unique_ptr<test::TempDataFile> m_file;
    std::unique_ptr<DataModule> m_dm;
    std::unique_ptr<BoqEditorWindow> m_tool;
    std::unique_ptr<QWidget> m_host;
};

void TestPricingTools::init() {
    test::BeginWindowTest();
    MessageBox::takeShown();
    m_file = std::make_unique<test::TempDataFile>();
    m_dm = m_file->open();
    m_dm->LoadCurrentContract();
    m_tool = std::make_unique<BoqEditorWindow>(*m_dm);
    m_host = std::make_unique<QWidget>();
    m_host->resize(1280, 760);
    auto* layout = new QVBoxLayout(m_host.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tool->contentPanel());
    m_host->show();
    m_host->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
}

void TestPricingTools::cleanup() {
    SetModalHandler({});
    m_tool->contentPanel()->setParent(m_tool.get());
    m_tool.reset();
    m_host.reset();
    m_dm.reset();
    m_file.reset();
    QCOMPARE(test::EndWindowTest(), QString());
}

void TestPricingTools::undoAndRedoByKeys() {
    select(QStringLiteral("200"));
    QVERIFY(!tools()->undoAction()->isEnabled());
    goTo(QStringLiteral("202-1-a"));
    typeIntoGrid(QStringLiteral("3.1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(stored(QStringLiteral("202-1-a")).toDouble(), 3.1);
    QVERIFY(tools()->undoAction()->isEnabled());
    QVERIFY(tools()->undoAction()->toolTip().contains(QStringLiteral("录入 202-1-a 的单价")));

    // Another chapter on display: the step goes back by row identity.
    select(QStringLiteral("300"));
    QTest::keyClick(grid(), Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(stored(QStringLiteral("202-1-a")).isNull());
    QVERIFY(stored(QStringLiteral("202-1-a"), BoqColumn::Amount).isNull());
    QVERIFY(tools()->messageLabel()->text().contains(QStringLiteral("已撤销")));
    QTest::keyClick(grid(), Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(stored(QStringLiteral("202-1-a")).toDouble(), 3.1);
    QCOMPARE(stored(QStringLiteral("202-1-a"), BoqColumn::Amount).toLongLong(), 578150);
    tools()->undoAction()->trigger();
    QTest::keyClick(grid(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(stored(QStringLiteral("202-1-a")).toDouble(), 3.1);

    // Typed but not saved: Ctrl+Z in the cell is the cell's own; the saved step stays.
    goTo(QStringLiteral("304-1-a"));
    typeIntoGrid(QStringLiteral("7"));
    QLineEdit* cellEditor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(cellEditor);
    QTest::keyClick(cellEditor, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(stored(QStringLiteral("202-1-a")).toDouble(), 3.1);
    // The toolbar's undo drops the typing first, then undoes the step.
    tools()->undoAction()->trigger();
    QVERIFY(stored(QStringLiteral("304-1-a")).isNull());
    QCOMPARE(stored(QStringLiteral("202-1-a")).toDouble(), 3.1);
    tools()->undoAction()->trigger();
    QVERIFY(stored(QStringLiteral("202-1-a")).isNull());
    QCOMPARE(MessageBox::takeShown(), QStringList());
}

void TestPricingTools::pasteFromTheClipboard_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: pasted
    QTest::newRow("spreadsheet column") << QStringLiteral("2.85\r\n1,234.50\r\n48.6\r\n") << QString();
    QTest::newRow("a word") << QStringLiteral("2.85\r\n一二\r\n48.6\r\n") << QStringLiteral("第 2 行“一二”不是数字");
    QTest::newRow("two columns") << QStringLiteral("1\t2\r\n") << QStringLiteral("2 列");
}

void TestPricingTools::pasteFromTheClipboard() {
    QFETCH(QString, text);
    QFETCH(QString, message);
    select(QStringLiteral("200"));
    goTo(QStringLiteral("202-1-a"));
    QApplication::clipboard()->setText(text);
    QTest::keyClick(grid(), Qt::Key_V, Qt::ControlModifier);
    if (!message.isEmpty()) {
        const QStringList shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().contains(message), qPrintable(shown.first()));
        QVERIFY(stored(QStringLiteral("202-1-a")).isNull());
        QVERIFY(!tools()->undoAction()->isEnabled());
        return;
    }
    QCOMPARE(stored(QStringLiteral("202-1-a")).toDouble(), 2.85);
    QCOMPARE(stored(QStringLiteral("202-1-b")).toDouble(), 1234.5);
    // past the heading 202-2
    QCOMPARE(stored(QStringLiteral("202-2-b")).toDouble(), 48.6);
    QCOMPARE(tools()->messageLabel()->text(), QStringLiteral("粘贴了 3 个单价，跳过 1 个不能录入单价的细目"));
    QCOMPARE(currentItem(), QStringLiteral("202-1-a"));
    // the grid shows the pasted figures at once
    QCOMPARE(grid()->model()->data(cell(QStringLiteral("202-1-b"), BoqColumn::Price)).toString(),
             QStringLiteral("1,234.50"));
    QVERIFY(grid()->selectionModel()->isSelected(cell(QStringLiteral("202-2-b"), BoqColumn::Price)));
    tools()->undoAction()->trigger();
    QVERIFY(stored(QStringLiteral("202-1-b")).isNull());
}

void TestPricingTools::pasteIntoAnOpenPriceEditor_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("columnPaste");
    QTest::newRow("a spreadsheet column") << QStringLiteral("2.85\r\n1,234.50\r\n") << true;
    QTest::newRow("cells of a row") << QStringLiteral("2.85\t1,234.50") << true;
    QTest::newRow("one figure") << QStringLiteral("7.5") << false;
}

// A click on the current cell opens its editor; Ctrl+V there pastes a column of figures as the
// grid's paste does, and one figure into the editor.
void TestPricingTools::pasteIntoAnOpenPriceEditor() {
    QFETCH(QString, text);
    QFETCH(bool, columnPaste);
    select(QStringLiteral("200"));
    goTo(QStringLiteral("202-1-a"));
    const QRect at = grid()->visualRect(grid()->currentIndex());
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, at.center());
    QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, at.center());
    // The editor opens once the click is known to be no double click.
    QTRY_VERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    auto* open = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QApplication::clipboard()->setText(text);
    QTest::keyClick(open, Qt::Key_V, Qt::ControlModifier);
    QCoreApplication::processEvents();
    if (!columnPaste) {
        QCOMPARE(open->text(), QStringLiteral("7.5"));
        QVERIFY(stored(QStringLiteral("202-1-a")).isNull());
        QTest::keyClick(open, Qt::Key_Return);
        QCOMPARE(stored(QStringLiteral("202-1-a")).toDouble(), 7.5);
        return;
    }
    QVERIFY(!qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    if (text.contains(QLatin1Char('\n'))) {
        QCOMPARE(stored(QStringLiteral("202-1-a")).toDouble(), 2.85);
        QCOMPARE(stored(QStringLiteral("202-1-b")).toDouble(), 1234.5);
        QVERIFY(MessageBox::takeShown().isEmpty());
    } else {
        // Two columns are refused with the reason, as a paste on the grid is.
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QVERIFY(stored(QStringLiteral("202-1-a")).isNull());
    }
}

void TestPricingTools::copyGivesTheSelectedCellsAsTabbedLines() {
    m_dm->database().exec(QStringLiteral("UPDATE jd_htqd SET 合同单价=2.5, 合同金额=466250 WHERE 细目编号='202-1-a'"));
    select(QStringLiteral("200"));
    QItemSelection selection(cell(QStringLiteral("202-1-a"), BoqColumn::Item),
                             cell(QStringLiteral("202-1-b"), BoqColumn::Amount));
    grid()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    grid()->setFocus();
    QTest::keyClick(grid(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(),
             QStringLiteral("202-1-a\t清理现场\tm2\t186500\t2.50\t466250\n202-1-b\t砍伐树木\t棵\t1240\t\t\n"));
}

void TestPricingTools::findFollowsTheTreeAcrossChapters() {
    select(QStringLiteral("100"));
    BoqFindBar* bar = tools()->findBar();
    tools()->findAction()->trigger();
    QCOMPARE(QApplication::focusWidget(), bar->searchField());
    bar->searchField()->insert(QStringLiteral("厚"));
    QTest::keyClick(bar->searchField(), Qt::Key_Return);
    QCOMPARE(m_tool->tree()->currentItem(), node(QStringLiteral("300")));
    QCOMPARE(currentItem(), QStringLiteral("304-1-a"));
    QCOMPARE(bar->resultLabel()->text(), QStringLiteral("第 1 个，共 4 个"));
    bar->nextButton()->click();
    QCOMPARE(currentItem(), QStringLiteral("304-3-a"));
    QTest::keyClick(bar->searchField(), Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(bar->searchField(), Qt::Key_Return, Qt::ShiftModifier);
    // round the start to the last
    QCOMPARE(currentItem(), QStringLiteral("308-2-a"));

    bar->searchField()->setText(QStringLiteral("202-1-b"));
    QTest::keyClick(bar->searchField(), Qt::Key_Return);
    QCOMPARE(m_tool->tree()->currentItem(), node(QStringLiteral("200")));
    QCOMPARE(currentItem(), QStringLiteral("202-1-b"));
    bar->searchField()->setText(QStringLiteral("没有这样的细目"));
    QTest::keyClick(bar->searchField(), Qt::Key_Return);
    QCOMPARE(bar->resultLabel()->text(), QStringLiteral("没有找到"));
}

void TestPricingTools::unpricedFilter() {
    select(QStringLiteral("200"));
    goTo(QStringLiteral("202-1-a"));
    typeIntoGrid(QStringLiteral("3"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    tools()->findBar()->unpricedBox()->click();
    const DataSet& lines = m_tool->editor().lines();
    QCOMPARE(lines.rowCount(), 11);
    for (int r = 0; r < lines.rowCount(); ++r)
        QVERIFY(IsUnpriced(lines, r));
    QCOMPARE(tools()->messageLabel()->text(), QStringLiteral("只显示未报价的细目：11 行"));
    select(QStringLiteral("300"));
    // the filter holds for the next chapter
    QCOMPARE(lines.rowCount(), 6);
    tools()->findBar()->unpricedBox()->click();
    QCOMPARE(lines.rowCount(), 11);
}

void TestPricingTools::unpricedLinesOfTheWholeContract() {
    select(QStringLiteral("200"));
    goTo(QStringLiteral("202-1-a"));
    typeIntoGrid(QStringLiteral("3"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCheckBox* box = tools()->findBar()->contractUnpricedBox();
    QCOMPARE(box->text(), QStringLiteral("全部章节只看未报价"));
    const int chapterColumn = grid()->gridModel()->columnOfField(BoqColumn::Chapter);
    QVERIFY(grid()->isColumnHidden(chapterColumn));

    box->click();
    // The tree shows the contract node, the grid each line's chapter first.
    QTreeWidgetItem* current = m_tool->tree()->currentItem();
    QVERIFY(current && current->parent() && !current->parent()->parent());
    QVERIFY(!grid()->isColumnHidden(chapterColumn));
    QCOMPARE(grid()->horizontalHeader()->visualIndex(chapterColumn), 0);
    const DataSet& lines = m_tool->editor().lines();
    QSet<QString> chapters;
    for (int r = 0; r < lines.rowCount(); ++r) {
        QVERIFY(IsUnpriced(lines, r));
        chapters.insert(lines.value(r, BoqColumn::Chapter).toString());
    }
    QVERIFY(chapters.size() > 1);
    QVERIFY(m_tool->editor().findItem(QStringLiteral("202-1-a")) < 0);
    QCOMPARE(tools()->messageLabel()->text(), QStringLiteral("全部章节未报价的细目：%1 行").arg(lines.rowCount()));
    QCOMPARE(grid()->currentIndex().row(), 0);

    // Priced there as in a chapter: saved, still listed, the next line current, the totals
    // those of the current line's chapter.
    const int rows = lines.rowCount();
    goTo(QStringLiteral("304-1-a"));
    const int row = grid()->currentIndex().row();
    typeIntoGrid(QStringLiteral("8"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(stored(QStringLiteral("304-1-a")).toDouble(), 8.0);
    QCOMPARE(lines.rowCount(), rows);
    QCOMPARE(m_tool->editor().findItem(QStringLiteral("304-1-a")), row);
    QCOMPARE(grid()->currentIndex().row(), row + 1);
    const QString chapter = lines.value(row + 1, BoqColumn::Chapter).toString();
    QVERIFY2(tools()->totalsLabel()->text().contains(QStringLiteral("本章 %1 合计").arg(BoqChapterLabel(chapter))),
             qPrintable(tools()->totalsLabel()->text()));
    QTest::keyClick(grid(), Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(stored(QStringLiteral("304-1-a")).isNull());

    // A chapter chosen in the tree ends the whole-contract list.
    select(QStringLiteral("300"));
    QVERIFY(!box->isChecked());
    QVERIFY(grid()->isColumnHidden(chapterColumn));
    QVERIFY(m_tool->editor().findItem(QStringLiteral("304-1-a")) >= 0);
    for (int r = 0; r < lines.rowCount(); ++r)
        QCOMPARE(lines.value(r, BoqColumn::Chapter).toString(), QStringLiteral("300"));
    QCOMPARE(MessageBox::takeShown(), QStringList());
}

// The bars above and under the grid never make the editor wider than a 1024-pixel screen,
// whatever they say (a stale chapter total, a find result, the whole-contract list).
void TestPricingTools::theEditorFitsA1024PixelScreen() {
    QWidget* panel = m_tool->contentPanel();
    select(QStringLiteral("100"));
    goTo(QStringLiteral("102-1"));
    typeIntoGrid(QStringLiteral("777"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY2(tools()->totalsLabel()->text().contains(QStringLiteral("已过期")),
             qPrintable(tools()->totalsLabel()->text()));
    QVERIFY2(panel->minimumSizeHint().width() <= 1024, QByteArray::number(panel->minimumSizeHint().width()));
    tools()->findBar()->searchField()->setText(QStringLiteral("沥青"));
    tools()->findBar()->findNext();
    QVERIFY(!tools()->findBar()->resultLabel()->text().isEmpty());
    tools()->findBar()->contractUnpricedBox()->click();
    QVERIFY2(panel->minimumSizeHint().width() <= 1024, QByteArray::number(panel->minimumSizeHint().width()));
}

void TestPricingTools::liveTotalsAndTheStaleChapterLine() {
    select(QStringLiteral("200"));
    QLabel* totals = tools()->totalsLabel();
    QVERIFY2(totals->text().contains(QStringLiteral("本章 200 路基 合计：<b>0</b>")), qPrintable(totals->text()));
    goTo(QStringLiteral("202-1-a"));
    typeIntoGrid(QStringLiteral("2"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY2(totals->text().contains(QStringLiteral("本章 200 路基 合计：<b>373,000</b>")), qPrintable(totals->text()));
    QVERIFY(totals->text().contains(QStringLiteral("已过期")));
    const QModelIndex chapterAmount = cell(QStringLiteral("200"), BoqColumn::Amount);
    QCOMPARE(chapterAmount.data(Qt::BackgroundRole).value<QColor>(), BoqPricingTools::staleColor());
    // only the amount is marked; the line is still drawn as locked
    QCOMPARE(cell(QStringLiteral("200"), BoqColumn::Price).data(Qt::BackgroundRole).value<QColor>(),
             DataGrid::background());
    m_tool->recomputeChapter();
    QVERIFY(!cell(QStringLiteral("200"), BoqColumn::Amount).data(Qt::BackgroundRole).isValid() ||
            cell(QStringLiteral("200"), BoqColumn::Amount).data(Qt::BackgroundRole).value<QColor>() !=
                BoqPricingTools::staleColor());
    QVERIFY(!totals->text().contains(QStringLiteral("已过期")));
}

// The totals follow signals of the core: a store failure there is said in the label, and
// painting the chapter line's mark goes on, with no box and nothing thrown into the event loop.
void TestPricingTools::totalsThatCannotBeReadAreSaidInTheLabel() {
    select(QStringLiteral("200"));
    QLabel* totals = tools()->totalsLabel();
    m_dm->database().close();
    QVERIFY(!Guarded(m_tool.get(), [&] { m_tool->editor().reread(); }));
    const QStringList shown = MessageBox::takeShown();
    QVERIFY2(shown.size() == 1, qPrintable(shown.join(QLatin1Char('|'))));
    emit m_tool->editor().lines().reset();
    QVERIFY2(totals->text().contains(QStringLiteral("合计读不出")), qPrintable(totals->text()));
    grid()->grab();
    QCOMPARE(MessageBox::takeShown(), QStringList());
    m_dm->adoptConnection(Database::open(m_file->path(), DataFileKey()));
    QVERIFY(Guarded(m_tool.get(), [&] { m_tool->editor().reread(); }));
    QVERIFY2(totals->text().contains(QStringLiteral("合同清单合计")), qPrintable(totals->text()));
}

void TestPricingTools::adjustmentDialogProposesThenApplies() {
    select(QStringLiteral("200"));
    goTo(QStringLiteral("202-1-a"));
    QApplication::clipboard()->setText(QStringLiteral("2.85\n36.5\n48.6\n9.8\n28.4\n14.2\n"));
    tools()->pasteAction()->trigger();
    qint64 total = 0;
    QStringList failures;
    SetModalHandler([&](QDialog& dialog) {
        auto* adjust = qobject_cast<PriceAdjustmentDialog*>(&dialog);
        if (!adjust)
            return int(QDialog::Rejected);
        const auto check = [&](bool ok, const QString& what) {
            if (!ok)
                failures << what;
        };
        adjust->chosenChapters()->setChecked(true);
        adjust->chapterList()->item(1)->setCheckState(Qt::Checked); // 200 路基
        adjust->targetField()->setText(QStringLiteral("12,000,000"));
        check(!adjust->applyButton()->isEnabled(), QStringLiteral("nothing to apply before a proposal"));
        adjust->proposeButton()->click();
        check(adjust->applyButton()->isEnabled(), adjust->summaryLabel()->text());
        check(adjust->summaryLabel()->text().contains(QStringLiteral("调价后清单合计")),
              adjust->summaryLabel()->text());
        check(adjust->summaryLabel()->text().contains(QStringLiteral("单价偏离系数最多")),
              adjust->summaryLabel()->text());
        check(adjust->chapterTable()->rowCount() >= 2, QStringLiteral("chapter 200 and the insurance line's 100"));
        adjust->percentField()->setText(QStringLiteral("5"));
        adjust->byPercent()->setChecked(true);
        check(!adjust->applyButton()->isEnabled(), QStringLiteral("a changed choice needs a new proposal"));
        adjust->byTarget()->setChecked(true);
        adjust->proposeButton()->click();
        total = adjust->adjustment().totalAfter();
        adjust->applyButton()->click();
        return adjust->result();
    });
    tools()->adjustAction()->trigger();
    QCOMPARE(failures, QStringList());
    // Every price keeps the coefficient to the cent, so the few lines of chapter 200 land near
    // the target, not on it.
    QVERIFY2(std::llabs(total - 12000000) <= 12000, qPrintable(QString::number(total)));
    QCOMPARE(m_tool->editor().liveTotals().boqTotalAsRecomputed(), total);
    QVERIFY(tools()->messageLabel()->text().startsWith(QStringLiteral("已调价")));
    QVERIFY(stored(QStringLiteral("202-1-a")).toDouble() != 2.85);
    QCOMPARE(grid()->model()->data(cell(QStringLiteral("202-1-a"), BoqColumn::Price)).toString(),
             FormatNumber(stored(QStringLiteral("202-1-a")).toDouble(), QStringLiteral("0.00")));
    tools()->undoAction()->trigger();
    QCOMPARE(stored(QStringLiteral("202-1-a")).toDouble(), 2.85);
}

void TestPricingTools::chapterNamesBesideTheCodes() {
    QTreeWidget* tree = m_tool->tree();
    QTreeWidgetItem* chapter = node(QStringLiteral("400"));
    QVERIFY(chapter);
    // the node text the statements use stays the code
    QCOMPARE(chapter->text(0), QStringLiteral("400"));
    const QModelIndex index = tree->model()->index(3, 0, tree->model()->index(0, 0, tree->model()->index(0, 0)));
    QCOMPARE(index.data().toString(), QStringLiteral("400"));
    QCOMPARE(BoqTreeLabels::labelOf(index), QStringLiteral("400 桥梁、涵洞"));
    QVERIFY(qobject_cast<BoqTreeLabels*>(tree->itemDelegate()));
    QCOMPARE(BoqTreeLabels::labelOf(tree->model()->index(0, 0)), QStringLiteral("沿江高速公路扩建工程"));
}

QTEST_MAIN(TestPricingTools)
#include "tst_pricingtools.moc"

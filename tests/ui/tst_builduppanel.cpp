// The build-up panel under the BoQ editor's grid: the current line's build-up, its analysed price
// beside the typed one, the marked lines, adding, removing and changing consumption, and putting
// the analysed price into the bill as one undoable step. Prices checked against figures worked out
// by hand from the demo costs (tests/core/PricingFixture.h).
#include "MessageBox.h"
#include "Modal.h"
#include "boq/BoqEditorWindow.h"
#include "boq/BoqLineRules.h"
#include "core/PricingFixture.h"
#include "data/DataModule.h"
#include "grid/DataGrid.h"
#include "pricing/BuildUpPanel.h"
#include "shell/UiStyle.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace tenvora;
using namespace tenvora::ui;

class TestBuildUpPanel : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void followsTheCurrentLine_data();
    void followsTheCurrentLine();
    void addRemoveAndChangeConsumption();
    void applyLineIsOneStepThatUndoesExactly();

private:
    BuildUpPanel* panel() { return m_tool->buildUpPanel(); }
    DataGrid* grid() { return m_tool->grid(); }
    void select(const QString& text) {
        const QList<QTreeWidgetItem*> found = m_tool->tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        QVERIFY(!found.isEmpty());
        m_tool->tree()->setCurrentItem(found.first());
    }
    QModelIndex cell(const QString& item, const QString& field) {
        return grid()->gridModel()->index(m_tool->editor().findItem(item), grid()->gridModel()->columnOfField(field));
    }
    void goTo(const QString& item) {
        select(item.left(1) + QStringLiteral("00"));
        grid()->setCurrentIndex(cell(item, BoqColumn::Price));
    }
    QVariant stored(const QString& item, const QString& column = BoqColumn::Price) {
        return m_dm->database().scalar(
            QStringLiteral("SELECT %1 FROM jd_htqd WHERE 合同编号='A1' AND 细目编号=?").arg(column), {item});
    }
    QString prices() { return panel()->priceLabel()->text(); }

    std::unique_ptr<test::TempDataFile> m_file;
    std::unique_ptr<DataModule> m_dm;
    std::unique_ptr<BoqEditorWindow> m_tool;
    std::unique_ptr<QWidget> m_host;
};

void TestBuildUpPanel::init() {
    MessageBox::setTestMode(true);
    MessageBox::takeShown();
    m_file = std::make_unique<test::TempDataFile>(true);
    m_dm = m_file->open();
    m_dm->LoadCurrentContract();
    test::AddDemoCosts(*m_dm);
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

void TestBuildUpPanel::cleanup() {
    SetModalHandler({});
    m_tool->contentPanel()->setParent(m_tool.get());
    m_tool.reset();
    m_host.reset();
    m_dm.reset();
    m_file.reset();
    QCOMPARE(MessageBox::takeErrors(), QStringList());
    QCOMPARE(MessageBox::takeUnanswered(), 0);
}

void TestBuildUpPanel::followsTheCurrentLine_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("analysed"); // empty: none
    QTest::addColumn<bool>("marked");
    // 203-1-a: 0.012 x 135.5 + 0.00265 x 1468.2 + 0.0041 x 986.75 = 9.562405, then 3.2 % of it and
    // 8.5 %, 7 % and 9 % of the running total: 12.4918... = 12.49; the demo's typed price is not that.
    QTest::newRow("analysed, typed differs") << QStringLiteral("203-1-a") << 3 << QStringLiteral("12.49") << true;
    QTest::newRow("no build-up") << QStringLiteral("202-1-a") << 0 << QString() << false;
}

void TestBuildUpPanel::followsTheCurrentLine() {
    QFETCH(QString, item);
    QFETCH(int, rows);
    QFETCH(QString, analysed);
    QFETCH(bool, marked);
    goTo(item);
    QCOMPARE(panel()->sheet().item(), item);
    QCOMPARE(panel()->grid()->model()->rowCount(), rows);
    QVERIFY(panel()->titleLabel()->text().contains(item));
    if (analysed.isEmpty())
        QVERIFY(prices().contains(QStringLiteral("没有工料机组成")));
    else
        QVERIFY2(prices().contains(QStringLiteral("分析单价：<b>%1</b>").arg(analysed)), qPrintable(prices()));
    QCOMPARE(prices().contains(QStringLiteral("与分析单价不同")), marked);
    const QModelIndex price = cell(item, BoqColumn::Price);
    QCOMPARE(price.data(Qt::BackgroundRole).value<QColor>() == MarkedFigure(), marked);
    QCOMPARE(price.data(Qt::ToolTipRole).toString().contains(QStringLiteral("分析单价")), marked);
}

void TestBuildUpPanel::addRemoveAndChangeConsumption() {
    goTo(QStringLiteral("203-1-a"));
    // Added: M02 碎石 0.5 x 92.8 more in the direct cost, 55.962405 -> 73.08.
    QComboBox* resources = panel()->resourceBox();
    resources->setCurrentIndex(resources->findData(QStringLiteral("M02")));
    panel()->consumptionField()->setText(QStringLiteral("0.5"));
    QTest::mouseClick(panel()->addButton(), Qt::LeftButton);
    QCOMPARE(panel()->grid()->model()->rowCount(), 4);
    QVERIFY2(prices().contains(QStringLiteral("<b>73.08</b>")), qPrintable(prices()));
    QCOMPARE(m_dm->database()
                 .scalar(QStringLiteral("select 消耗量 from pricing_buildup where 细目编号='203-1-a' and 编号='M02'"))
                 .toDouble(),
             0.5);

    // Typed into the list: 0.25 gives 32.762405 -> 42.79; the row's amount follows once saved.
    DataGrid* rows = panel()->grid();
    const int row = rows->currentIndex().row();
    rows->setCurrentIndex(rows->gridModel()->index(row, rows->gridModel()->columnOfField(BuildUpColumn::Consumption)));
    rows->setFocus();
    QTest::keyClick(rows, '0');
    QVERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral(".25"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY2(prices().contains(QStringLiteral("<b>42.79</b>")), qPrintable(prices()));
    QTRY_COMPARE(
        rows->gridModel()->index(row, rows->gridModel()->columnOfField(BuildUpColumn::Amount)).data().toString(),
        QStringLiteral("23.20"));

    // A consumption below 0 is refused and nothing is written.
    rows->setCurrentIndex(rows->gridModel()->index(row, rows->gridModel()->columnOfField(BuildUpColumn::Consumption)));
    rows->setFocus();
    QTest::keyClick(rows, '-');
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(MessageBox::takeShown().join(QString()).contains(QStringLiteral("不小于 0")));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCOMPARE(m_dm->database()
                 .scalar(QStringLiteral("select 消耗量 from pricing_buildup where 细目编号='203-1-a' and 编号='M02'"))
                 .toDouble(),
             0.25);

    // Removed again: the analysis is the demo's.
    rows->setCurrentRow(row);
    QTest::mouseClick(panel()->removeButton(), Qt::LeftButton);
    QCOMPARE(panel()->grid()->model()->rowCount(), 3);
    QVERIFY2(prices().contains(QStringLiteral("<b>12.49</b>")), qPrintable(prices()));

    // Nothing typed: refused with the reason, nothing added.
    panel()->consumptionField()->clear();
    QTest::mouseClick(panel()->addButton(), Qt::LeftButton);
    QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("请填写消耗量")});
    QCOMPARE(panel()->grid()->model()->rowCount(), 3);
}

void TestBuildUpPanel::applyLineIsOneStepThatUndoesExactly() {
    goTo(QStringLiteral("203-1-a"));
    const QVariant price = stored(QStringLiteral("203-1-a"));
    const QVariant amount = stored(QStringLiteral("203-1-a"), BoqColumn::Amount);
    const QVariant chapter = stored(QStringLiteral("200"), BoqColumn::Amount);
    const int steps = m_tool->editor().history().undoCount();
    QTest::mouseClick(panel()->applyLineButton(), Qt::LeftButton);
    QCOMPARE(stored(QStringLiteral("203-1-a")).toDouble(), 12.49);
    QCOMPARE(m_tool->editor().history().undoCount(), steps + 1);
    QVERIFY(!prices().contains(QStringLiteral("与分析单价不同")));
    QVERIFY(cell(QStringLiteral("203-1-a"), BoqColumn::Price).data(Qt::BackgroundRole).value<QColor>() !=
            MarkedFigure());
    QCOMPARE(cell(QStringLiteral("203-1-a"), BoqColumn::Price).data().toString(), QStringLiteral("12.49"));

    m_tool->editor().undo();
    QCOMPARE(stored(QStringLiteral("203-1-a")), price);
    QCOMPARE(stored(QStringLiteral("203-1-a"), BoqColumn::Amount), amount);
    QCOMPARE(stored(QStringLiteral("200"), BoqColumn::Amount), chapter);
    QVERIFY(prices().contains(QStringLiteral("与分析单价不同")));
}

QTEST_MAIN(TestBuildUpPanel)
#include "tst_builduppanel.moc"

// The "工料机" window: the library with its prices and where-used, adding a resource, and a changed
// price offering to re-price every line that uses it (default 否) as one step of the BoQ editor's
// history, which undoes to the stored values exactly.
#include "MessageBox.h"
#include "Modal.h"
#include "boq/BoqEditor.h"
#include "core/PricingFixture.h"
#include "data/DataModule.h"
#include "grid/DataGrid.h"
#include "pricing/ResourceLibraryWindow.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace tenvora;
using namespace tenvora::ui;

namespace {

// Every line's price and amount, the chapter and insurance lines included.
QStringList bill(DataModule& dm) {
    QStringList lines;
    Statement st = dm.database().prepare(QStringLiteral(
        "select 细目编号, quote(合同单价), quote(合同金额) from jd_htqd where 合同编号='A1' order by rowid"));
    while (st.next())
        lines << st.value(0).toString() + QLatin1Char(' ') + st.value(1).toString() + QLatin1Char(' ') +
                     st.value(2).toString();
    return lines;
}

} // namespace

class TestResourceLibraryWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void listsPricesAndWhereUsed();
    void addsAResource();
    void aChangedPriceOffersRepricing_data();
    void aChangedPriceOffersRepricing();

private:
    int rowOf(const QString& code) {
        const DataSet& set = m_window->sheet().resources();
        for (int r = 0; r < set.rowCount(); ++r)
            if (set.value(r, ResourceColumn::Code).toString() == code)
                return r;
        return -1;
    }
    QVariant stored(const QString& item) {
        return m_dm->database().scalar(
            QStringLiteral("SELECT 合同单价 FROM jd_htqd WHERE 合同编号='A1' AND 细目编号=?"), {item});
    }

    std::unique_ptr<test::TempDataFile> m_file;
    std::unique_ptr<DataModule> m_dm;
    std::unique_ptr<BoqEditor> m_editor;
    std::unique_ptr<ResourceLibraryWindow> m_window;
};

void TestResourceLibraryWindow::init() {
    MessageBox::setTestMode(true);
    MessageBox::takeShown();
    m_file = std::make_unique<test::TempDataFile>(true);
    m_dm = m_file->open();
    m_dm->LoadCurrentContract();
    test::AddDemoCosts(*m_dm);
    m_editor = std::make_unique<BoqEditor>(*m_dm);
    m_editor->initialise();
    m_window = std::make_unique<ResourceLibraryWindow>(*m_editor, *m_dm);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestResourceLibraryWindow::cleanup() {
    m_window.reset();
    m_editor.reset();
    m_dm.reset();
    m_file.reset();
    QCOMPARE(MessageBox::takeErrors(), QStringList());
    QCOMPARE(MessageBox::takeUnanswered(), 0);
}

void TestResourceLibraryWindow::listsPricesAndWhereUsed() {
    QCOMPARE(m_window->windowTitle(), QStringLiteral("工料机"));
    QCOMPARE(m_window->sheet().resources().rowCount(), 7);
    const int r01 = rowOf(QStringLiteral("R01"));
    DataGrid* grid = m_window->resourceGrid();
    QCOMPARE(grid->gridModel()->index(r01, grid->gridModel()->columnOfField(ResourceColumn::Price)).data().toString(),
             QStringLiteral("135.50"));
    // R01 is in five build-ups, M02 in one.
    struct Case {
        const char* code;
        int uses;
        const char* first;
    };
    for (const Case& c : {Case{"R01", 5, "102-3"}, Case{"M02", 1, "304-1-a"}}) {
        const int row = rowOf(QString::fromLatin1(c.code));
        grid->setCurrentIndex(grid->gridModel()->index(row, 0));
        QCOMPARE(m_window->sheet().resources().value(row, ResourceColumn::Uses).toInt(), c.uses);
        QCOMPARE(m_window->usesGrid()->model()->rowCount(), c.uses);
        QCOMPARE(m_window->usesGrid()->model()->index(0, 0).data().toString(), QString::fromLatin1(c.first));
        QVERIFY(m_window->usesLabel()->text().contains(QStringLiteral("%1 个").arg(c.uses)));
    }
}

void TestResourceLibraryWindow::addsAResource() {
    m_window->codeField()->setText(QStringLiteral("M09"));
    m_window->nameField()->setText(QStringLiteral("钢筋"));
    m_window->unitField()->setText(QStringLiteral("t"));
    m_window->priceField()->setText(QStringLiteral("4，350.5")); // full-width separator, as typed in Chinese
    QTest::mouseClick(m_window->addButton(), Qt::LeftButton);
    QCOMPARE(m_window->sheet().resources().rowCount(), 8);
    QCOMPARE(m_window->sheet().codeOf(m_window->resourceGrid()->currentIndex().row()), QStringLiteral("M09"));
    QCOMPARE(m_dm->database().scalar(QStringLiteral("select 单价 from pricing_resource where 编号='M09'")).toDouble(),
             4350.5);
    // The same code again is refused and the fields keep what was typed.
    m_window->codeField()->setText(QStringLiteral("M09"));
    m_window->nameField()->setText(QStringLiteral("钢筋"));
    m_window->priceField()->setText(QStringLiteral("1"));
    QTest::mouseClick(m_window->addButton(), Qt::LeftButton);
    QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("工料机库中已有编号“M09”")});
    QCOMPARE(m_window->codeField()->text(), QStringLiteral("M09"));
    QCOMPARE(m_window->sheet().resources().rowCount(), 8);
}

void TestResourceLibraryWindow::aChangedPriceOffersRepricing_data() {
    QTest::addColumn<bool>("reprice");
    QTest::newRow("是: re-priced, one step") << true;
    QTest::newRow("否: the bill stays") << false;
}

void TestResourceLibraryWindow::aChangedPriceOffersRepricing() {
    QFETCH(bool, reprice);
    const QStringList before = bill(*m_dm);
    const int steps = m_editor->history().undoCount();
    DataGrid* grid = m_window->resourceGrid();
    grid->setCurrentIndex(grid->gridModel()->index(rowOf(QStringLiteral("R01")),
                                                   grid->gridModel()->columnOfField(ResourceColumn::Price)));
    grid->setFocus();
    QTest::keyClick(grid, '1');
    QVERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("42.25"));
    MessageBox::queueAnswer(reprice);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_COMPARE(MessageBox::pendingAnswers(), 0);
    QCOMPARE(MessageBox::takeDefaultAnswers(), QList<bool>{false});
    QCOMPARE(m_dm->database().scalar(QStringLiteral("select 单价 from pricing_resource where 编号='R01'")).toDouble(),
             142.25);
    if (!reprice) {
        QCOMPARE(bill(*m_dm), before);
        QCOMPARE(m_editor->history().undoCount(), steps);
        return;
    }
    // 203-1-a at R01 142.25: 9.643405 direct, 12.59 with the fees. The provisional sum 102-3 is
    // locked and keeps the owner's figure.
    QCOMPARE(stored(QStringLiteral("203-1-a")).toDouble(), 12.59);
    QVERIFY(bill(*m_dm) != before);
    QCOMPARE(m_editor->history().undoCount(), steps + 1);
    QVERIFY(m_window->messageLabel()->text().contains(QStringLiteral("锁定")));
    m_editor->undo();
    QCOMPARE(bill(*m_dm), before);
}

QTEST_MAIN(TestResourceLibraryWindow)
#include "tst_resourcelibrarywindow.moc"

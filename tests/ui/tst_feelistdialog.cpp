// The "取费" dialog: fees added, changed and removed in their order, and on closing after a change
// the offer to re-price every line with a build-up (default 否) as one undoable step.
#include "MessageBox.h"
#include "Modal.h"
#include "boq/BoqEditor.h"
#include "core/PricingFixture.h"
#include "data/DataModule.h"
#include "data/NumberInput.h"
#include "grid/DataGrid.h"
#include "pricing/FeeListDialog.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace tenvora;
using namespace tenvora::ui;

class TestFeeListDialog : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void addsAndRemovesFees_data();
    void addsAndRemovesFees();
    void closingAfterAChangeOffersRepricing_data();
    void closingAfterAChangeOffersRepricing();

private:
    QStringList fees() {
        QStringList names;
        for (const Fee& f : FeeList(*m_dm, QStringLiteral("A1")).list())
            names << f.name + QLatin1Char(' ') + QString::number(f.percent) + QLatin1Char(' ') + FeeBaseCode(f.base);
        return names;
    }
    QVariant stored(const QString& item) {
        return m_dm->database().scalar(
            QStringLiteral("SELECT 合同单价 FROM jd_htqd WHERE 合同编号='A1' AND 细目编号=?"), {item});
    }

    std::unique_ptr<test::TempDataFile> m_file;
    std::unique_ptr<DataModule> m_dm;
    std::unique_ptr<BoqEditor> m_editor;
    std::unique_ptr<FeeListDialog> m_dialog;
};

void TestFeeListDialog::init() {
    MessageBox::setTestMode(true);
    MessageBox::takeShown();
    m_file = std::make_unique<test::TempDataFile>(true);
    m_dm = m_file->open();
    m_dm->LoadCurrentContract();
    test::AddDemoCosts(*m_dm);
    m_editor = std::make_unique<BoqEditor>(*m_dm);
    m_editor->initialise();
    m_dialog = std::make_unique<FeeListDialog>(*m_editor, *m_dm);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
}

void TestFeeListDialog::cleanup() {
    m_dialog.reset();
    m_editor.reset();
    m_dm.reset();
    m_file.reset();
    QCOMPARE(MessageBox::takeErrors(), QStringList());
    QCOMPARE(MessageBox::takeUnanswered(), 0);
}

void TestFeeListDialog::addsAndRemovesFees_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("percent");
    QTest::addColumn<int>("base");
    QTest::addColumn<QString>("refusal"); // empty: added after the others
    QTest::newRow("on the running total") << QStringLiteral("规费") << QStringLiteral("1.5") << 1 << QString();
    QTest::newRow("on the direct cost") << QStringLiteral("安全生产费") << QStringLiteral("２") << 0 << QString();
    QTest::newRow("a name the list holds")
        << QStringLiteral("利润") << QStringLiteral("5") << 1 << QStringLiteral("取费中已有“利润”");
    QTest::newRow("-100 % or less") << QStringLiteral("折让") << QStringLiteral("-100") << 1
                                    << QStringLiteral("费用“折让”的费率必须是大于 -100 的百分数");
    QTest::newRow("no name") << QString() << QStringLiteral("1") << 1 << QStringLiteral("费用的名称不能为空");
}

void TestFeeListDialog::addsAndRemovesFees() {
    QFETCH(QString, name);
    QFETCH(QString, percent);
    QFETCH(int, base);
    QFETCH(QString, refusal);
    const QStringList before = fees();
    m_dialog->nameField()->setText(name);
    m_dialog->percentField()->setText(percent);
    m_dialog->baseBox()->setCurrentIndex(base);
    QTest::mouseClick(m_dialog->addButton(), Qt::LeftButton);
    if (!refusal.isEmpty()) {
        QCOMPARE(MessageBox::takeShown(), QStringList{refusal});
        QCOMPARE(fees(), before);
        QVERIFY(!m_dialog->sheet().changed());
        return;
    }
    const QString added = name + QLatin1Char(' ') + QString::number(*ParseNumberInput(percent)) + QLatin1Char(' ') +
                          (base == 0 ? QStringLiteral("direct") : QStringLiteral("running"));
    QCOMPARE(fees(), before + QStringList{added});
    QCOMPARE(m_dialog->grid()->model()->rowCount(), 5);
    QCOMPARE(m_dialog->grid()->currentIndex().row(), 4);
    // Removed again: the list is as it was.
    QTest::mouseClick(m_dialog->removeButton(), Qt::LeftButton);
    QCOMPARE(fees(), before);
    QCOMPARE(m_dialog->grid()->model()->rowCount(), 4);
    QVERIFY(m_dialog->sheet().changed());
}

void TestFeeListDialog::closingAfterAChangeOffersRepricing_data() {
    QTest::addColumn<bool>("reprice");
    QTest::newRow("是") << true;
    QTest::newRow("否") << false;
}

void TestFeeListDialog::closingAfterAChangeOffersRepricing() {
    QFETCH(bool, reprice);
    const QVariant price = stored(QStringLiteral("203-1-a"));
    // 利润 from 7 % to 0 % typed into the list: 203-1-a is 9.562405 x 1.032 x 1.085 x 1.09 = 11.67.
    DataGrid* grid = m_dialog->grid();
    grid->setCurrentIndex(grid->gridModel()->index(2, grid->gridModel()->columnOfField(FeeColumn::Percent)));
    grid->setFocus();
    QTest::keyClick(grid, '0');
    QVERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(FeeList(*m_dm, QStringLiteral("A1")).list()[2].percent, 0.0);
    MessageBox::queueAnswer(reprice);
    QTest::mouseClick(m_dialog->closeButton(), Qt::LeftButton);
    QCOMPARE(MessageBox::takeDefaultAnswers(), QList<bool>{false});
    QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
    if (!reprice) {
        QCOMPARE(stored(QStringLiteral("203-1-a")), price);
        QCOMPARE(m_editor->history().undoCount(), 0);
        return;
    }
    QCOMPARE(stored(QStringLiteral("203-1-a")).toDouble(), 11.67);
    QCOMPARE(m_editor->history().undoCount(), 1);
    m_editor->undo();
    QCOMPARE(stored(QStringLiteral("203-1-a")), price);
}

QTEST_MAIN(TestFeeListDialog)
#include "tst_feelistdialog.moc"

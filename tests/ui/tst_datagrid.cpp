// The data-aware grid over a data set of a small table of its own.
#include "MessageBox.h"
#include "WindowTest.h"
#include "data/DataModule.h"
#include "grid/DataGrid.h"
#include "grid/DataGridDelegate.h"
#include "grid/DataNavigator.h"
#include "support/TestSupport.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using namespace tenvora;
using namespace tenvora::ui;

namespace {

DataGridColumn column(const QString& field, const QString& title, int width) {
    DataGridColumn c;
    c.field = field;
    c.title = title;
    c.width = width;
    return c;
}

} // namespace

class TestDataGrid : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void modelStaysConsistentThroughEveryOperation();
    void cellsShowFormatsAndEditExactValues();
    void typedNumbersAreStoredExactly_data();
    void typedNumbersAreStoredExactly();
    void figuresTypedWithAnInputMethodAreNormalised_data();
    void figuresTypedWithAnInputMethodAreNormalised();
    void textThatIsNotANumberStaysInTheCellWithAHint();
    void typedTextIsTakenWholeOrRefusedWhole_data();
    void typedTextIsTakenWholeOrRefusedWhole();
    void leavingACellWithTextThatIsNotANumber_data();
    void leavingACellWithTextThatIsNotANumber();
    void aCommaDecimalLocaleChangesNoFigure();
    void enterSavesTheRowBeingEdited();
    void rowOperationsFromTheKeyboard();
    void readOnlyGridAddsNoRowAndTypesNothing();
    void aRowThatCannotBeSavedStaysCurrent();
    void aRowPostedFromCodeLeavesTheCurrentRowAlone();
    void navigatorMovesSavesAndCancels();

private:
    // What a Chinese input method sends when the user commits a composition.
    static void commitText(QWidget* target, const QString& text) {
        QInputMethodEvent event;
        event.setCommitString(text);
        QApplication::sendEvent(target, &event);
    }
    // Keys as a keyboard sends them, each with its text (full-width and Chinese characters too);
    // the first opens the cell editor.
    void typeKeys(const QString& text) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            const Qt::Key key = c.unicode() < 0x80 ? Qt::Key(QChar(c).toUpper().unicode()) : Qt::Key_unknown;
            QWidget* target = i == 0 ? static_cast<QWidget*>(m_grid.get()) : openEditor();
            QVERIFY(target);
            QTest::sendKeyEvent(QTest::Click, target, key, QString(c), Qt::NoModifier);
        }
    }
    QLineEdit* editor() { return qobject_cast<QLineEdit*>(QApplication::focusWidget()); }
    // The cell editor, whether it has the focus or not.
    QLineEdit* openEditor() { return qobject_cast<DataGridDelegate*>(m_grid->itemDelegate())->openEditor(); }
    void goTo(int row, const QString& field) {
        m_grid->setCurrentIndex(m_grid->gridModel()->index(row, m_grid->gridModel()->columnOfField(field)));
    }
    QVariant stored(const QString& code, const QString& column) {
        return m_dm->database().scalar(QStringLiteral("SELECT %1 FROM t WHERE code=?").arg(column), {code});
    }

    std::unique_ptr<test::TempDataFile> m_file;
    std::unique_ptr<DataModule> m_dm;
    std::unique_ptr<DataSet> m_set;
    std::unique_ptr<DataGrid> m_grid;
    int m_posts = 0;
};

void TestDataGrid::init() {
    test::BeginWindowTest();
    MessageBox::takeShown();
    m_file = std::make_unique<test::TempDataFile>();
    m_dm = m_file->open();
    Database& db = m_dm->database();
    db.exec(QStringLiteral("CREATE TABLE t (code TEXT, name TEXT, price REAL)"));
    for (const QVariantList& r :
         {QVariantList{"a", "甲", 12.347}, QVariantList{"b", "乙", QVariant()}, QVariantList{"c", "丙", 2.0}})
        db.exec(QStringLiteral("INSERT INTO t VALUES (?, ?, ?)"), r);
    m_set = std::make_unique<DataSet>(
        *m_dm,
        DataSetTable{QStringLiteral("t"), QStringLiteral("rowid"), {QStringLiteral("code"), QStringLiteral("price")}});
    m_posts = 0;
    m_set->setBeforePost([this](DataSet&, int) { ++m_posts; });
    m_grid = std::make_unique<DataGrid>();
    m_grid->setDataSet(m_set.get());
    DataGridColumn name = column(QStringLiteral("name"), QString(), 90);
    name.readOnly = true;
    DataGridColumn price = column(QStringLiteral("price"), QStringLiteral("单价"), 80);
    price.color = QColor(166, 202, 240);
    price.displayFormat = QStringLiteral("0.00");
    price.kind = DataGridColumn::Kind::Number;
    const DataGridColumn code = column(QStringLiteral("code"), QStringLiteral("编号"), 60);
    const DataGridColumn missing = column(QStringLiteral("absent"), QString(), 40);
    m_grid->setColumns({code, name, price, missing});
    m_set->open(QStringLiteral("select rowid, * from t order by code"));
    m_grid->resize(400, 200);
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid.get()));
    m_grid->setFocus();
}

void TestDataGrid::cleanup() {
    m_grid.reset();
    m_set.reset();
    m_dm.reset();
    m_file.reset();
    QCOMPARE(test::EndWindowTest(), QString());
}

void TestDataGrid::modelStaysConsistentThroughEveryOperation() {
    QAbstractItemModelTester tester(m_grid->gridModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_set->open(QStringLiteral("select rowid, * from t order by code desc"));
    goTo(1, QStringLiteral("price"));
    QVERIFY(m_grid->gridModel()->setData(m_grid->currentIndex(), 5.5));
    QVERIFY(m_set->savePending());
    m_set->cancel(m_set->insert(0));
    const int added = m_set->insert(m_set->rowCount());
    m_set->setValue(added, QStringLiteral("code"), QStringLiteral("d"));
    m_set->post(added);
    m_set->reloadRows({m_set->keyOf(added)});
    m_set->remove(added);
    m_set->close();
    m_set->open(QStringLiteral("select rowid, * from t"));
    QCOMPARE(m_grid->gridModel()->rowCount(), 3);
}

void TestDataGrid::cellsShowFormatsAndEditExactValues() {
    DataGridModel* model = m_grid->gridModel();
    const QModelIndex price = model->index(0, 2);
    QCOMPARE(price.data().toString(), QStringLiteral("12.35"));
    QCOMPARE(price.data(Qt::EditRole).toString(), QStringLiteral("12.347"));
    QCOMPARE(price.data(Qt::BackgroundRole).value<QColor>(), QColor(166, 202, 240));
    QCOMPARE(model->index(1, 2).data().toString(), QString());
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("编号"));
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("name")); // no title: the field name
    QVERIFY(model->flags(price) & Qt::ItemIsEditable);
    QVERIFY2(!(model->flags(model->index(0, 1)) & Qt::ItemIsEditable), "read-only column");
    QVERIFY2(!(model->flags(model->index(0, 3)) & Qt::ItemIsEditable), "a column the data lacks");
    QCOMPARE(model->index(0, 3).data().toString(), QString());
    QCOMPARE(m_grid->columnWidth(2), 80);

    m_grid->setRowStyle([](int row) -> std::optional<DataGridRowStyle> {
        if (row != 1)
            return std::nullopt;
        return DataGridRowStyle{QColor(255, 255, 225), Qt::red, true};
    });
    QCOMPARE(model->index(1, 2).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 225));
    QCOMPARE(model->index(1, 2).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
    QVERIFY(model->index(1, 0).data(DataGridModel::NoHighlightRole).toBool());
    QVERIFY(!model->index(0, 0).data(DataGridModel::NoHighlightRole).toBool());
}

void TestDataGrid::typedNumbersAreStoredExactly_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("three decimals") << "12.347" << QVariant(12.347);
    QTest::newRow("many decimals") << "0.123456789" << QVariant(0.123456789);
    QTest::newRow("negative") << "-2.5" << QVariant(-2.5);
    QTest::newRow("exponent") << "1e3" << QVariant(1000.0);
    QTest::newRow("leading point") << ".5" << QVariant(0.5);
}

void TestDataGrid::typedNumbersAreStoredExactly() {
    QFETCH(QString, typed);
    QFETCH(QVariant, expected);
    goTo(1, QStringLiteral("price"));
    QTest::keyClick(m_grid.get(), typed.at(0).toLatin1());
    QVERIFY(editor());
    QTest::keyClicks(editor(), typed.mid(1));
    QTest::keyClick(editor(), Qt::Key_Return);
    QVERIFY(!m_set->hasPendingEdits());
    QCOMPARE(stored(QStringLiteral("b"), QStringLiteral("price")).toDouble(), expected.toDouble());
}

void TestDataGrid::figuresTypedWithAnInputMethodAreNormalised_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QVariant>("expected"); // invalid: refused, the text stays in the open cell
    QTest::newRow("full-width digits and point") << "１２３．５" << QVariant(123.5);
    QTest::newRow("full-width minus") << "－２．２５" << QVariant(-2.25);
    QTest::newRow("ideographic point") << "１２。５" << QVariant(12.5);
    QTest::newRow("thousands separators") << "1,234,567.50" << QVariant(1234567.5);
    QTest::newRow("full-width separators") << "１，２３４" << QVariant(1234.0);
    QTest::newRow("large amount") << "123,456,789,012" << QVariant(123456789012.0);
    QTest::newRow("decimal comma") << "12,5" << QVariant();
    QTest::newRow("misplaced separator") << "1,23" << QVariant();
}

void TestDataGrid::figuresTypedWithAnInputMethodAreNormalised() {
    QFETCH(QString, typed);
    QFETCH(QVariant, expected);
    QSignalSpy hints(m_grid.get(), &DataGrid::inputRefused);
    goTo(1, QStringLiteral("price"));
    commitText(m_grid.get(), typed);
    QVERIFY(editor());
    QCOMPARE(editor()->text(), typed);
    QTest::keyClick(editor(), Qt::Key_Return);
    if (!expected.isValid()) {
        QVERIFY(m_grid->isEditorOpen());
        QCOMPARE(hints.last().at(0).toString(), DataGridDelegate::notANumberHint(typed));
        QVERIFY(!stored(QStringLiteral("b"), QStringLiteral("price")).isValid());
        QCOMPARE(m_posts, 0);
        return;
    }
    QVERIFY(!m_set->hasPendingEdits());
    QCOMPARE(stored(QStringLiteral("b"), QStringLiteral("price")).toDouble(), expected.toDouble());
}

void TestDataGrid::aCommaDecimalLocaleChangesNoFigure() {
    test::CommaDecimalLocale comma;
    QVERIFY(comma.active());
    m_dm->database().exec(QStringLiteral("UPDATE t SET price=186500 WHERE code='c'"));
    m_set->open(QStringLiteral("select rowid, * from t order by code"));
    DataGridModel* model = m_grid->gridModel();
    QCOMPARE(model->index(2, 2).data().toString(), QStringLiteral("186500.00"));
    QCOMPARE(model->index(0, 2).data().toString(), QStringLiteral("12.35"));
    QCOMPARE(model->index(0, 2).data(Qt::EditRole).toString(), QStringLiteral("12.347"));
    goTo(1, QStringLiteral("price"));
    QTest::keyClick(m_grid.get(), '2');
    QVERIFY(editor());
    QTest::keyClicks(editor(), QStringLiteral(".85"));
    QTest::keyClick(editor(), Qt::Key_Return);
    QCOMPARE(stored(QStringLiteral("b"), QStringLiteral("price")).toDouble(), 2.85);
    QCOMPARE(model->index(1, 2).data().toString(), QStringLiteral("2.85"));
}

void TestDataGrid::textThatIsNotANumberStaysInTheCellWithAHint() {
    QSignalSpy hints(m_grid.get(), &DataGrid::inputRefused);
    goTo(0, QStringLiteral("price"));
    QTest::keyClick(m_grid.get(), Qt::Key_F2);
    QVERIFY(editor());
    QCOMPARE(editor()->text(), QStringLiteral("12.347"));
    editor()->selectAll();
    QTest::keyClicks(editor(), QStringLiteral("abc"));
    QCOMPARE(editor()->text(), QStringLiteral("abc")); // kept as typed, with the hint at once
    QVERIFY(!hints.isEmpty());
    QCOMPARE(hints.last().at(0).toString(), DataGridDelegate::rejectedKeyHint());
    hints.clear();
    editor()->setText(QStringLiteral("1")); // the start of a number says nothing
    QTest::keyClicks(editor(), QStringLiteral("2"));
    QVERIFY(hints.isEmpty());

    editor()->setText(QStringLiteral("1e"));
    QTest::keyClick(editor(), Qt::Key_Return);
    QVERIFY2(m_grid->isEditorOpen(), "an unfinished number keeps the editor open");
    QCOMPARE(hints.last().at(0).toString(), DataGridDelegate::notANumberHint(QStringLiteral("1e")));
    QVERIFY(!m_grid->savePending());
    QCOMPARE(stored(QStringLiteral("a"), QStringLiteral("price")).toDouble(), 12.347);
    QTest::keyClick(editor(), Qt::Key_Escape);
    QVERIFY(!m_grid->isEditorOpen());
    QCOMPARE(m_posts, 0);
}

void TestDataGrid::typedTextIsTakenWholeOrRefusedWhole_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("inputMethod");  // committed by an input method rather than typed as keys
    QTest::addColumn<QVariant>("expected"); // invalid: refused
    QTest::addColumn<QString>("reason");
    QTest::newRow("ten thousand, keys") << "1.5万" << false << QVariant() << "“万”不能写在数字里";
    QTest::newRow("ten thousand, input method") << "1.5万" << true << QVariant() << "“万”不能写在数字里";
    QTest::newRow("yuan, keys") << "12元" << false << QVariant() << "“元”不能写在数字里";
    QTest::newRow("yuan, input method") << "12元" << true << QVariant() << "“元”不能写在数字里";
    QTest::newRow("letter inside") << "7x.2" << false << QVariant() << "“x”不能写在数字里";
    QTest::newRow("full-width, input method") << "１２．５" << true << QVariant(12.5) << "";
    QTest::newRow("full-width, keys") << "１２．５" << false << QVariant(12.5) << "";
    QTest::newRow("a figure") << "1234.5" << false << QVariant(1234.5) << "";
}

void TestDataGrid::typedTextIsTakenWholeOrRefusedWhole() {
    QFETCH(QString, typed);
    QFETCH(bool, inputMethod);
    QFETCH(QVariant, expected);
    QFETCH(QString, reason);
    QSignalSpy hints(m_grid.get(), &DataGrid::inputRefused);
    goTo(1, QStringLiteral("price"));
    if (inputMethod)
        commitText(m_grid.get(), typed);
    else
        typeKeys(typed);
    QVERIFY(editor());
    QCOMPARE(editor()->text(), typed); // nothing dropped on the way in
    QTest::keyClick(editor(), Qt::Key_Return);
    if (expected.isValid()) {
        QVERIFY(hints.isEmpty());
        QVERIFY(!m_set->hasPendingEdits());
        QCOMPARE(stored(QStringLiteral("b"), QStringLiteral("price")).toDouble(), expected.toDouble());
        return;
    }
    // The hint came as the text stopped being a number; Enter and Tab are refused with the reason.
    QVERIFY(hints.size() >= 2);
    QCOMPARE(hints.first().at(0).toString(), DataGridDelegate::rejectedKeyHint());
    const QString refusal = DataGridDelegate::notANumberHint(typed);
    QVERIFY2(refusal.contains(reason), qPrintable(refusal));
    QCOMPARE(hints.last().at(0).toString(), refusal);
    QTest::keyClick(editor(), Qt::Key_Tab);
    QCOMPARE(hints.last().at(0).toString(), refusal);
    QVERIFY(m_grid->isEditorOpen());
    QCOMPARE(editor()->text(), typed);
    QVERIFY(!stored(QStringLiteral("b"), QStringLiteral("price")).isValid());
    QCOMPARE(m_posts, 0);
    QTest::keyClick(editor(), Qt::Key_Escape);
    QVERIFY(!m_grid->isEditorOpen());
}

void TestDataGrid::leavingACellWithTextThatIsNotANumber_data() {
    QTest::addColumn<QString>("way");
    for (const char* way : {"Enter", "Tab", "Down", "PageDown", "click on another row", "double click on another row",
                            "focus elsewhere", "move from code"})
        QTest::newRow(way) << QString::fromLatin1(way);
}

void TestDataGrid::leavingACellWithTextThatIsNotANumber() {
    QFETCH(QString, way);
    QLineEdit elsewhere(m_grid.get());
    elsewhere.move(0, 150);
    elsewhere.show();
    QSignalSpy hints(m_grid.get(), &DataGrid::inputRefused);
    goTo(1, QStringLiteral("price"));
    typeKeys(QStringLiteral("12元"));
    QVERIFY(openEditor());
    const QPoint otherRow = m_grid->visualRect(m_grid->gridModel()->index(2, 0)).center();
    if (way == QLatin1String("Enter"))
        QTest::keyClick(openEditor(), Qt::Key_Return);
    else if (way == QLatin1String("Tab"))
        QTest::keyClick(openEditor(), Qt::Key_Tab);
    else if (way == QLatin1String("Down"))
        QTest::keyClick(openEditor(), Qt::Key_Down);
    else if (way == QLatin1String("PageDown"))
        QTest::keyClick(openEditor(), Qt::Key_PageDown);
    else if (way == QLatin1String("click on another row"))
        QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {}, otherRow);
    else if (way == QLatin1String("double click on another row"))
        QTest::mouseDClick(m_grid->viewport(), Qt::LeftButton, {}, otherRow);
    else if (way == QLatin1String("focus elsewhere"))
        elsewhere.setFocus(Qt::TabFocusReason);
    else
        goTo(2, QStringLiteral("price"));
    QCoreApplication::processEvents(); // a move from code is put back once it has been told
    QVERIFY(m_grid->isEditorOpen());
    QCOMPARE(openEditor()->text(), QStringLiteral("12元"));
    QCOMPARE(hints.last().at(0).toString(), DataGridDelegate::notANumberHint(QStringLiteral("12元")));
    QCOMPARE(m_grid->currentIndex().row(), 1);
    QCOMPARE(m_posts, 0);
    QVERIFY(!stored(QStringLiteral("b"), QStringLiteral("price")).isValid());
    // Corrected, the text goes in as any figure does.
    openEditor()->setFocus();
    openEditor()->setText(QStringLiteral("12"));
    QTest::keyClick(openEditor(), Qt::Key_Return);
    QCOMPARE(stored(QStringLiteral("b"), QStringLiteral("price")).toDouble(), 12.0);
}

void TestDataGrid::enterSavesTheRowBeingEdited() {
    goTo(2, QStringLiteral("code"));
    QTest::keyClick(m_grid.get(), Qt::Key_Z);
    QTest::keyClick(editor(), Qt::Key_Return);
    QCOMPARE(stored(QStringLiteral("z"), QStringLiteral("price")).toDouble(), 2.0);
    QCOMPARE(m_posts, 1);
    // Put into edit by other means, Enter on the grid itself saves too.
    m_set->setValue(m_grid->currentIndex().row(), QStringLiteral("price"), 4.0);
    QTest::keyClick(m_grid.get(), Qt::Key_Enter);
    QCOMPARE(m_posts, 2);
    QCOMPARE(stored(QStringLiteral("z"), QStringLiteral("price")).toDouble(), 4.0);
    // An emptied cell holds nothing.
    QTest::keyClick(m_grid.get(), Qt::Key_F2);
    editor()->clear();
    QTest::keyClick(editor(), Qt::Key_Return);
    QVERIFY(!stored(QStringLiteral("z"), QStringLiteral("code")).isValid());
}

void TestDataGrid::rowOperationsFromTheKeyboard() {
    m_grid->setRowOperations(DataGrid::InsertRows | DataGrid::DeleteRows);
    // Nothing lies beyond the last row: Down and Tab there add nothing.
    goTo(2, QStringLiteral("code"));
    QTest::keyClick(m_grid.get(), Qt::Key_Down);
    goTo(2, QStringLiteral("absent"));
    QTest::keyClick(m_grid.get(), Qt::Key_Tab);
    QCOMPARE(m_set->rowCount(), 3);
    QVERIFY(!m_set->hasPendingEdits());
    QCOMPARE(m_grid->currentIndex(), m_grid->gridModel()->index(2, 3));

    goTo(1, QStringLiteral("code"));
    QTest::keyClick(m_grid.get(), Qt::Key_Insert);
    QCOMPARE(m_set->state(1), DataSet::State::Insert);
    QCOMPARE(m_grid->currentIndex(), m_grid->gridModel()->index(1, 0));
    QCOMPARE(m_grid->gridModel()->headerData(1, Qt::Vertical).toString(), QStringLiteral("✱"));
    QTest::keyClick(m_grid.get(), Qt::Key_Insert);
    QCOMPARE(m_set->rowCount(), 4); // an empty new row is not followed by another
    QTest::keyClick(m_grid.get(), Qt::Key_Down);
    QCOMPARE(m_set->rowCount(), 3); // leaving an empty new row drops it
    QCOMPARE(m_set->value(m_grid->currentIndex().row(), QStringLiteral("code")).toString(), QStringLiteral("b"));

    goTo(0, QStringLiteral("code"));
    QTest::keyClick(m_grid.get(), Qt::Key_Insert);
    QCOMPARE(m_set->state(0), DataSet::State::Insert);
    QTest::keyClick(m_grid.get(), Qt::Key_0);
    QTest::keyClick(editor(), Qt::Key_Return);
    QCOMPARE(m_dm->database().scalar(QStringLiteral("SELECT count(*) FROM t")).toInt(), 4);

    MessageBox::queueAnswer(false);
    QTest::keyClick(m_grid.get(), Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(m_set->rowCount(), 4);
    MessageBox::queueAnswer(true);
    QTest::keyClick(m_grid.get(), Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(m_set->rowCount(), 3);
    QCOMPARE(MessageBox::takeShown(), (QStringList{"删除这条记录吗？", "删除这条记录吗？"}));
    QCOMPARE(m_dm->database().scalar(QStringLiteral("SELECT count(*) FROM t")).toInt(), 3);

    // Without the operation Insert stays put.
    m_grid->setRowOperations(DataGrid::NoRowOperations);
    goTo(2, QStringLiteral("absent"));
    QTest::keyClick(m_grid.get(), Qt::Key_Insert);
    QCOMPARE(m_set->rowCount(), 3);
    QCOMPARE(m_grid->currentIndex(), m_grid->gridModel()->index(2, 3));
}

void TestDataGrid::readOnlyGridAddsNoRowAndTypesNothing() {
    QSignalSpy changes(m_grid.get(), &DataGrid::readOnlyChanged);
    m_grid->setReadOnly(true);
    QCOMPARE(changes.size(), 1);
    goTo(2, QStringLiteral("price"));
    QTest::keyClick(m_grid.get(), Qt::Key_5);
    QVERIFY(!m_grid->isEditorOpen());
    QTest::keyClick(m_grid.get(), Qt::Key_Down);
    QTest::keyClick(m_grid.get(), Qt::Key_Insert);
    QCOMPARE(m_set->rowCount(), 3);
    QVERIFY(!m_set->hasPendingEdits());
    QVERIFY(!(m_grid->gridModel()->flags(m_grid->currentIndex()) & Qt::ItemIsEditable));
    m_grid->setReadOnly(false);
    QVERIFY(m_grid->gridModel()->flags(m_grid->currentIndex()) & Qt::ItemIsEditable);
}

void TestDataGrid::aRowThatCannotBeSavedStaysCurrent() {
    m_set->setBeforePost([](DataSet&, int) { throw Refused(QStringLiteral("单价不对")); });
    goTo(0, QStringLiteral("price"));
    QTest::keyClick(m_grid.get(), Qt::Key_9);
    QTest::keyClick(editor(), Qt::Key_Down);
    QCOMPARE(m_grid->currentIndex().row(), 0);
    QVERIFY(m_set->isEditing(0));
    QCOMPARE(m_set->value(0, QStringLiteral("price")).toDouble(), 9.0);
    QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("单价不对")});
    m_grid->setCurrentIndex(m_grid->gridModel()->index(2, 0));
    QCOMPARE(m_grid->currentIndex().row(), 0); // a move from code does not leave it either
    QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("单价不对")});
    // Nor a click, which then selects nothing elsewhere.
    const QModelIndex other = m_grid->gridModel()->index(2, 2);
    QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {}, m_grid->visualRect(other).center());
    QCOMPARE(m_grid->currentIndex().row(), 0);
    QVERIFY(!m_grid->selectionModel()->isSelected(other));
    QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("单价不对")});
    QCOMPARE(m_grid->gridModel()->headerData(0, Qt::Vertical).toString(), QStringLiteral("✎"));
    QTest::keyClick(m_grid.get(), Qt::Key_Escape);
    QVERIFY(!m_set->hasPendingEdits());
    QVERIFY(!stored(QStringLiteral("a"), QStringLiteral("price")).isNull());
}

void TestDataGrid::aRowPostedFromCodeLeavesTheCurrentRowAlone() {
    goTo(0, QStringLiteral("price"));
    QTest::keyClick(m_grid.get(), Qt::Key_5);
    QVERIFY(openEditor());
    // Another row priced from code (as the command line and the pricing aids do): by its row.
    m_set->setValue(2, QStringLiteral("price"), 7.0);
    QCOMPARE(m_grid->gridModel()->headerData(2, Qt::Vertical).toString(), QStringLiteral("✎"));
    m_set->post(2);
    QCOMPARE(stored(QStringLiteral("c"), QStringLiteral("price")).toDouble(), 7.0);
    QCOMPARE(m_grid->gridModel()->index(2, 2).data().toString(), QStringLiteral("7.00"));
    QCOMPARE(m_grid->gridModel()->headerData(2, Qt::Vertical).toString(), QString());
    QCOMPARE(m_grid->currentIndex(), m_grid->gridModel()->index(0, 2));
    QVERIFY(m_grid->isEditorOpen());
    QCOMPARE(openEditor()->text(), QStringLiteral("5"));
    QCOMPARE(stored(QStringLiteral("a"), QStringLiteral("price")).toDouble(), 12.347);
    QTest::keyClick(openEditor(), Qt::Key_Return);
    QCOMPARE(stored(QStringLiteral("a"), QStringLiteral("price")).toDouble(), 5.0);
    QCOMPARE(m_grid->gridModel()->headerData(0, Qt::Vertical).toString(), QStringLiteral("▶"));
    QCOMPARE(m_posts, 2);
}

void TestDataGrid::navigatorMovesSavesAndCancels() {
    DataNavigator nav;
    nav.setGrid(m_grid.get());
    QVERIFY(!nav.button(DataNavigator::First)->isEnabled());
    QVERIFY(!nav.button(DataNavigator::Post)->isEnabled());
    QVERIFY(nav.button(DataNavigator::Insert)->isHidden());
    QCOMPARE(nav.button(DataNavigator::Post)->toolTip(), QStringLiteral("保存修改"));
    nav.trigger(DataNavigator::Last);
    QCOMPARE(m_grid->currentIndex().row(), 2);
    QVERIFY(!nav.button(DataNavigator::Next)->isEnabled());

    goTo(2, QStringLiteral("price"));
    QTest::keyClick(m_grid.get(), Qt::Key_3);
    nav.trigger(DataNavigator::Post); // the open editor hands over its text first
    QCOMPARE(stored(QStringLiteral("c"), QStringLiteral("price")).toDouble(), 3.0);

    nav.trigger(DataNavigator::Edit);
    QCOMPARE(m_set->state(2), DataSet::State::Edit);
    QVERIFY(nav.button(DataNavigator::Post)->isEnabled());
    m_set->setValue(2, QStringLiteral("price"), 8.0);
    nav.trigger(DataNavigator::Cancel);
    QCOMPARE(m_set->state(2), DataSet::State::Browse);
    QCOMPARE(m_set->value(2, QStringLiteral("price")).toDouble(), 3.0);
    nav.trigger(DataNavigator::Prior);
    QCOMPARE(m_grid->currentIndex(), m_grid->gridModel()->index(1, 2)); // the column stays
    // Edit only where the row has a cell to type into.
    m_set->setCellRule([](const DataSet&, int row, int) { return row != 1; });
    m_set->open(QStringLiteral("select rowid, * from t order by code"));
    QCOMPARE(m_grid->currentIndex().row(), 0);
    QVERIFY(nav.button(DataNavigator::Edit)->isEnabled());
    nav.trigger(DataNavigator::Next);
    QVERIFY(!nav.button(DataNavigator::Edit)->isEnabled());
    nav.trigger(DataNavigator::Next);
    QVERIFY(nav.button(DataNavigator::Edit)->isEnabled());
    m_grid->setReadOnly(true);
    QVERIFY(!nav.button(DataNavigator::Edit)->isEnabled());
    nav.trigger(DataNavigator::First);
    QCOMPARE(m_grid->currentIndex().row(), 0);
    QVERIFY(!nav.button(DataNavigator::Prior)->isEnabled());
}

QTEST_MAIN(TestDataGrid)
#include "tst_datagrid.moc"

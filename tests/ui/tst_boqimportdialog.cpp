// The import dialog "Exdel合同清单数据导入": layout, sources, import, emptying and the edit grid.
#include "MessageBox.h"
#include "Settings.h"
#include "WindowTest.h"
#include "boq/BoqImportDialog.h"
#include "data/BoqWorkbooks.h"
#include "data/DataModule.h"
#include "grid/DataGrid.h"
#include "support/TestSupport.h"

#include <QAbstractItemModelTester>
#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>

using namespace tenvora;
using namespace tenvora::ui;

namespace {

int linesOf(DataModule& dm, const QString& contract) {
    return dm.database().scalar(QStringLiteral("select count(*) from jd_htqd where 合同编号=?"), {contract}).toInt();
}

QStringList columnTitles(const DataGrid* grid) {
    QStringList titles;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        titles << grid->model()->headerData(c, Qt::Horizontal).toString();
    return titles;
}

} // namespace

class TestBoqImportDialog : public QObject {
    Q_OBJECT
private slots:
    void init() {
        MessageBox::setTestMode(true);
        m_file = std::make_unique<test::TempDataFile>();
        m_dm = m_file->open();
        m_dm->LoadCurrentContract(); // A1, the demo contract with a bill
    }
    void cleanup() {
        QCOMPARE(test::EndWindowTest(), QString());
        m_dm.reset();
        m_file.reset();
    }

    void layoutFollowsTheDialogsDesign() {
        BoqImportDialog form(*m_dm);
        form.show();
        QCOMPARE(form.windowTitle(), QStringLiteral("Exdel合同清单数据导入"));
        // The design's size, or less on a smaller screen.
        QCOMPARE(form.size(), QSize(839, 462).boundedTo(ScreenRoomFor(&form)));
        const QList<QPushButton*> buttons = {form.templateButton(), form.chooseFileButton(), form.importButton(),
                                             form.clearButton(), form.closeButton()};
        const QStringList texts = {"清单范本(&T)", "选择文件(&F)", "导入(&I)", "清空(&E)", "关闭(&C)"};
        for (int i = 0; i < buttons.size(); ++i) {
            QCOMPARE(buttons[i]->text(), texts[i]);
            QVERIFY(buttons[i]->geometry().left() > form.splitter()->geometry().right());
            if (i > 0)
                QVERIFY(buttons[i]->y() > buttons[i - 1]->y());
        }
        QCOMPARE(form.sourceBox()->title(), QStringLiteral("Excel 源文件"));
        QCOMPARE(form.linesBox()->title(), QStringLiteral("当前数据库 工程量清单"));
        QCOMPARE(form.splitter()->orientation(), Qt::Vertical);
        QVERIFY(form.sourceBox()->geometry().bottom() < form.linesBox()->geometry().top());

        QCOMPARE(columnTitles(form.sourceGrid()), BoqImport::headings());
        QCOMPARE(columnTitles(form.linesGrid()), StoredLineColumns());
        // Columns fit their content; the item names take what the others leave.
        for (DataGrid* grid : {form.sourceGrid(), form.linesGrid()}) {
            QVERIFY(grid->fitsColumns());
            const int name = grid->gridModel()->columnOfField(QStringLiteral("细目名称"));
            QVERIFY(grid->gridModel()->column(name).stretch);
            for (int c = 0; c < grid->gridModel()->columnCount(); ++c)
                if (c != name && grid->gridModel()->column(c).kind == DataGridColumn::Kind::Number)
                    QVERIFY(grid->columnWidth(c) >= grid->contentWidth(c));
        }
        QVERIFY(form.sourceGrid()->isReadOnly());
        QVERIFY(!form.linesGrid()->isReadOnly());
        QCOMPARE(BoqImportDialog::fileFilter(), QStringLiteral("Excel 文件 (*.xls *.xlsx)"));
        QAbstractItemModelTester tester(form.linesGrid()->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
    }

    void showingListsTheStoredLinesWithoutASource() {
        BoqImportDialog form(*m_dm);
        form.show();
        QVERIFY(!form.source());
        QCOMPARE(form.storedLines().rowCount(), linesOf(*m_dm, QStringLiteral("A1")));
        QVERIFY(form.storedLines().rowCount() > 0);
        // A column the table lacks stays blank.
        const int missing = static_cast<int>(StoredLineColumns().indexOf(QStringLiteral("累计完成金额")));
        QCOMPARE(form.linesGrid()->model()->index(0, missing).data().toString(), QString());
        QCOMPARE(form.linesGrid()->model()->index(0, 0).data().toString(), QStringLiteral("A1"));

        form.importSource();
        QCOMPARE(MessageBox::takeShown(), QStringList{BoqImport::noSourceMessage()});
    }

    void templateImportsAndImportingAgainAsksFirst() {
        m_dm->session().CurContractID = QStringLiteral("B1");
        BoqImportDialog form(*m_dm);
        form.show();
        QCOMPARE(form.storedLines().rowCount(), 0);
        form.templateButton()->click();
        QCOMPARE(MessageBox::takeShown(), QStringList());
        QVERIFY(form.source());
        const int rows = form.sourceRows().rowCount();
        QVERIFY(rows >= 5);
        QCOMPARE(form.sourceGrid()->model()->index(0, 0).data().toString(), QStringLiteral("100"));

        form.importButton()->click();
        QCOMPARE(MessageBox::takeShown(), QStringList());
        QCOMPARE(MessageBox::takeDefaultAnswers(), QList<bool>()); // nothing held yet: no question
        QCOMPARE(linesOf(*m_dm, QStringLiteral("B1")), rows);
        QCOMPARE(form.storedLines().rowCount(), rows);

        // Again: every number is held now. The question says so, and Enter (No) keeps the bill.
        MessageBox::queueAnswer(false);
        form.importButton()->click();
        const QStringList asked = MessageBox::takeShown();
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked[0].startsWith(QStringLiteral("导入的细目编号已存在：100、")), qPrintable(asked[0]));
        QVERIFY(asked[0].endsWith(QStringLiteral("仍然追加导入吗？")));
        QCOMPARE(MessageBox::takeDefaultAnswers(), QList<bool>{false});
        QCOMPARE(linesOf(*m_dm, QStringLiteral("B1")), rows);

        MessageBox::queueAnswer(true);
        form.importButton()->click();
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QCOMPARE(form.storedLines().rowCount(), 2 * rows);
    }

    void chosenFilesBecomeTheSourceOrAreRejected() {
        QTemporaryDir dir;
        const QString good = dir.filePath(QStringLiteral("清单.xls"));
        QCOMPARE(test::WriteWorkbook(
                     good, QJsonArray{test::Sheet(QStringLiteral("工程量清单"),
                                                  QJsonArray{test::BoqHeadings(),
                                                             QJsonArray{QStringLiteral("102-1"), QStringLiteral("竣工"),
                                                                        QStringLiteral("总额"), 12.5, 2},
                                                             QJsonArray{101, QStringLiteral("总则")}})}),
                 QString());
        BoqImportDialog form(*m_dm);
        form.show();

        FileDialog::queueFile(good);
        form.chooseFileButton()->click();
        QVERIFY(form.source());
        QCOMPARE(form.sourceRows().rowCount(), 2);
        QCOMPARE(form.sourceGrid()->model()->index(0, 0).data().toString(), QStringLiteral("101"));
        QCOMPARE(form.sourceGrid()->model()->index(1, 3).data().toString(), QStringLiteral("12.5"));

        form.chooseFileButton()->click(); // cancelled: the source stays
        QVERIFY(form.source());
        QCOMPARE(form.sourceRows().rowCount(), 2);

        // The reader crashes on this file; the dialog (and this test) keep running.
        FileDialog::queueFile(QDir(test::WorkbookFixtureDir()).filePath(QStringLiteral("damaged.xls")));
        form.chooseFileButton()->click();
        const QStringList shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].startsWith(BoqImport::formatMessage() + QLatin1Char('\n')));
        QVERIFY(!form.source());
        QCOMPARE(form.sourceRows().rowCount(), 0);
        form.importSource();
        QCOMPARE(MessageBox::takeShown(), QStringList{BoqImport::noSourceMessage()});
    }

    void clearAsksFirst() {
        BoqImportDialog form(*m_dm);
        form.show();
        const int before = linesOf(*m_dm, QStringLiteral("A1"));
        MessageBox::queueAnswer(false);
        form.clearButton()->click();
        QCOMPARE(MessageBox::takeShown(), QStringList{BoqImport::clearQuestion()});
        QCOMPARE(MessageBox::takeDefaultAnswers(), QList<bool>{false}); // Enter keeps the bill
        QCOMPARE(linesOf(*m_dm, QStringLiteral("A1")), before);

        MessageBox::queueAnswer(true);
        form.clearButton()->click();
        QCOMPARE(MessageBox::takeShown(), QStringList{BoqImport::clearQuestion()});
        QCOMPARE(linesOf(*m_dm, QStringLiteral("A1")), 0);
        QCOMPARE(form.storedLines().rowCount(), 0);
        QVERIFY(linesOf(*m_dm, QStringLiteral("A2")) > 0);
    }

    void anEditedLineIsWrittenWhenLeftWithoutComputation() {
        BoqImportDialog form(*m_dm);
        form.show();
        DataGrid* grid = form.linesGrid();
        const int price = static_cast<int>(StoredLineColumns().indexOf(QStringLiteral("合同单价")));
        const QVariant rowid = form.storedLines().value(1, QStringLiteral("rowid"));
        const QVariant amountBefore =
            m_dm->database().scalar(QStringLiteral("select 合同金额 from jd_htqd where rowid=?"), {rowid});

        grid->setCurrentIndex(grid->model()->index(1, price));
        QVERIFY(grid->model()->setData(grid->model()->index(1, price), QStringLiteral("7.25")));
        QCOMPARE(m_dm->database().scalar(QStringLiteral("select 合同单价 from jd_htqd where rowid=?"), {rowid}),
                 form.storedLines().storedValue(1, form.storedLines().columnIndex(QStringLiteral("合同单价"))));
        grid->setCurrentIndex(grid->model()->index(2, price));
        QCOMPARE(
            m_dm->database().scalar(QStringLiteral("select 合同单价 from jd_htqd where rowid=?"), {rowid}).toDouble(),
            7.25);
        QCOMPARE(m_dm->database().scalar(QStringLiteral("select 合同金额 from jd_htqd where rowid=?"), {rowid}),
                 amountBefore);

        // Closing saves the line still being edited.
        QVERIFY(grid->model()->setData(grid->model()->index(2, price), QStringLiteral("3")));
        const QVariant third = form.storedLines().value(2, QStringLiteral("rowid"));
        form.closeButton()->click();
        QVERIFY(!form.isVisible());
        QCOMPARE(
            m_dm->database().scalar(QStringLiteral("select 合同单价 from jd_htqd where rowid=?"), {third}).toDouble(),
            3.0);
    }

private:
    std::unique_ptr<test::TempDataFile> m_file;
    std::unique_ptr<DataModule> m_dm;
};

QTEST_MAIN(TestBoqImportDialog)
#include "tst_boqimportdialog.moc"

// The owner's workbench: the login, the tree, the bill and day work edited and undone, the
// accounts, the tender check and the issue.
#include "MessageBox.h"
#include "Modal.h"
#include "data/AppPaths.h"
#include "data/DataModule.h"
#include "grid/DataGrid.h"
#include "owner/IssueDialog.h"
#include "owner/IssueRecord.h"
#include "owner/OwnerAccounts.h"
#include "owner/OwnerAccountsDialog.h"
#include "owner/OwnerBillPanel.h"
#include "owner/OwnerDayworkPanel.h"
#include "owner/OwnerEntryDialog.h"
#include "owner/OwnerLogin.h"
#include "owner/OwnerMainWindow.h"
#include "owner/TenderCheckWindow.h"
#include "owner/TenderContracts.h"
#include "owner/TenderFileChooser.h"
#include "owner/TenderProjects.h"
#include "shell/HelpWindow.h"
#include "shell/LoginDialog.h"
#include "support/TestSupport.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

using namespace tenvora;
using namespace tenvora::ui;

namespace {

const QString kOwner = QStringLiteral("业主招标办公室");
const QString kOwnerPassword = QStringLiteral("zb2026");

bool ownerLogin(DataModule& dm) {
    OwnerAccounts(dm.database()).login(kOwner, kOwnerPassword);
    dm.session().CurUnitName = kOwner;
    return true;
}

QVariant stored(DataModule& dm, const QString& column, const QString& item) {
    return dm.database().scalar(
        QStringLiteral("select \"%1\" from jd_htqd where 合同编号 = 'A1' and 细目编号 = ?").arg(column), {item});
}

// Plays the user of the entry dialog: types the texts into its fields in order, then presses 确定.
void fillEntries(const QStringList& texts) {
    SetModalHandler([texts](QDialog& d) {
        auto* entry = qobject_cast<OwnerEntryDialog*>(&d);
        if (!entry)
            return int(QDialog::Rejected);
        for (int i = 0; i < texts.size(); ++i)
            entry->field(i)->setText(texts.at(i));
        entry->tryAccept();
        return entry->result();
    });
}

QStringList childTexts(const QTreeWidgetItem* item) {
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i)
        texts << item->child(i)->text(0);
    return texts;
}

} // namespace

class TestOwnerWorkbench : public QObject {
    Q_OBJECT
private slots:
    void init() { MessageBox::setTestMode(true); }
    void cleanup() {
        SetModalHandler({});
        QCOMPARE(MessageBox::takeUnanswered(), 0);
        QCOMPARE(MessageBox::pendingAnswers(), 0);
        MessageBox::takeShown();
    }

    void loginOffersAndAdmitsOwnersOnly_data() {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("admitted");
        QTest::addColumn<QString>("message");
        QTest::newRow("owner") << kOwner << kOwnerPassword << true << QString();
        QTest::newRow("owner, wrong password")
            << kOwner << QStringLiteral("hj2026") << false << QStringLiteral("密码不正确");
        QTest::newRow("bidder with its own password")
            << QStringLiteral("华建路桥工程有限公司") << QStringLiteral("hj2026") << false
            << QStringLiteral("投标单位的帐户");
    }
    void loginOffersAndAdmitsOwnersOnly() {
        QFETCH(QString, unit);
        QFETCH(QString, password);
        QFETCH(bool, admitted);
        QFETCH(QString, message);
        test::TempDataFile file;
        auto dm = file.open();
        LoginDialog dialog(OwnerLogin(*dm));
        QCOMPARE(dialog.unitBox()->count(), 1);
        QCOMPARE(dialog.unitBox()->itemText(0), kOwner);
        // A bidder's unit cannot be chosen; were it there, its login is still refused.
        if (dialog.unitBox()->findText(unit) < 0)
            dialog.unitBox()->addItem(unit);
        dialog.unitBox()->setCurrentText(unit);
        dialog.passwordField()->setText(password);
        dialog.logIn();
        QCOMPARE(dialog.result() == QDialog::Accepted, admitted);
        const QStringList shown = MessageBox::takeShown();
        if (admitted) {
            QVERIFY(shown.isEmpty());
            QCOMPARE(dm->session().CurUnitName, kOwner);
        } else {
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown.first().contains(message), qPrintable(shown.first()));
            QVERIFY(dialog.passwordField()->text().isEmpty());
        }
    }

    void aNewTenderFileIsMadeWithItsProjectAndTheOwnersAccount() {
        QTemporaryDir dir;
        const QString path = QDir(dir.path()).filePath(QStringLiteral("新招标"));
        TenderFileChooser chooser;
        // Two passwords that differ are refused before any file is asked for.
        fillEntries({QStringLiteral("P01"), QStringLiteral("沿江高速"), QString(), QStringLiteral("招标办"),
                     QStringLiteral("pw-1"), QStringLiteral("pw-2")});
        chooser.createNew();
        QVERIFY(MessageBox::takeShown().join(QString()).contains(QStringLiteral("两次输入的密码不一样")));
        QVERIFY(FileDialog::takeProposed().isEmpty());
        QVERIFY(chooser.path().isEmpty());

        FileDialog::queueFile(path);
        fillEntries({QStringLiteral("P01"), QStringLiteral("沿江高速"), QStringLiteral("沿江指挥部"),
                     QStringLiteral("招标办"), QStringLiteral("pw-1"), QStringLiteral("pw-1")});
        chooser.createNew();
        QCOMPARE(chooser.result(), int(QDialog::Accepted));
        QCOMPARE(chooser.path(), path + QStringLiteral(".tr"));
        QCOMPARE(chooser.ownerUnit(), QStringLiteral("招标办"));
        DataModule dm(chooser.path());
        OwnerAccounts(dm.database()).login(QStringLiteral("招标办"), QStringLiteral("pw-1"));
        QCOMPARE(TenderProjects(dm.database()).find(QStringLiteral("P01"))->builder, QStringLiteral("沿江指挥部"));

        // A file already there is never overwritten; the entry stays open with what was typed.
        TenderFileChooser again;
        FileDialog::queueFile(chooser.path());
        fillEntries({QStringLiteral("P02"), QStringLiteral("另一个"), QString(), QStringLiteral("招标办"),
                     QStringLiteral("x"), QStringLiteral("x")});
        again.createNew();
        QVERIFY(MessageBox::takeShown().join(QString()).contains(QStringLiteral("已经存在")));
        QVERIFY(again.path().isEmpty());
        QVERIFY(TenderProjects(dm.database()).find(QStringLiteral("P01")).has_value());
        FileDialog::takeProposed();
    }

    void aFileWithoutAnOwnersAccountSaysSo() {
        test::TempDataFile file;
        auto dm = file.open();
        dm->database().exec(QStringLiteral("delete from pass where bz = '1'"));
        LoginDialog dialog(OwnerLogin(*dm));
        QCOMPARE(dialog.unitBox()->count(), 0);
        const QStringList shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().contains(QStringLiteral("没有招标人的帐户")));
    }

    void whatCannotBeSavedKeepsTheSectionAndTheWindow() {
        test::TempDataFile file;
        auto dm = file.open();
        OwnerMainWindow window(*dm);
        QVERIFY(window.start(ownerLogin));
        window.show();
        OwnerBillPanel* bill = window.billPanel();
        QVERIFY(bill->goToItem(QStringLiteral("203-1-a")));
        DataGrid* grid = bill->grid();
        const QModelIndex cell =
            grid->gridModel()->index(bill->currentRow(), grid->gridModel()->columnOfField(QStringLiteral("合同数量")));
        QVERIFY(grid->gridModel()->setData(cell, QStringLiteral("-5")));
        QVERIFY(!window.selectContract(QStringLiteral("A2")));
        QCOMPARE(window.currentContract(), QStringLiteral("A1"));
        QVERIFY(!window.close());
        QVERIFY(window.isVisible());
        QVERIFY(MessageBox::takeShown().join(QString()).contains(QStringLiteral("负数")));
        // The typed value is still there to be mended.
        QCOMPARE(bill->editor().lines().value(bill->currentRow(), QStringLiteral("合同数量")).toString(),
                 QStringLiteral("-5"));
        QVERIFY(grid->gridModel()->setData(cell, QStringLiteral("5")));
        QVERIFY(window.selectContract(QStringLiteral("A2")));
        QCOMPARE(stored(*dm, QStringLiteral("合同数量"), QStringLiteral("203-1-a")).toDouble(), 5.0);
    }

    void treeShowsTheProjectsAndContractsOfTheFile() {
        test::TempDataFile file;
        auto dm = file.open();
        TenderProjects(dm->database())
            .add({QStringLiteral("P03"), QStringLiteral("新建项目"), QStringLiteral("某指挥部")});
        OwnerMainWindow window(*dm);
        QVERIFY(window.start(ownerLogin));
        QTreeWidget* tree = window.tree();
        QCOMPARE(tree->topLevelItemCount(), 3);
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("P01  沿江高速公路扩建工程"));
        QCOMPARE(childTexts(tree->topLevelItem(0)),
                 (QStringList{QStringLiteral("A1  A1合同段（K0+000～K12+500 路基桥涵）"),
                              QStringLiteral("A2  A2合同段（K12+500～K25+300 路基隧道）")}));
        QCOMPARE(childTexts(tree->topLevelItem(1)), QStringList{QStringLiteral("B1  B1合同段（K0+000～K8+760）")});
        QCOMPARE(tree->topLevelItem(2)->childCount(), 0);
        // The first section is chosen at start, with its form and its bill.
        QCOMPARE(window.currentContract(), QStringLiteral("A1"));
        QCOMPARE(window.contractFields().at(2)->text(), QStringLiteral("YJGS-A1"));
        QVERIFY(window.billPanel()->editor().lines().rowCount() > 10);

        QVERIFY(window.selectProject(QStringLiteral("P03")));
        QCOMPARE(window.projectFields().at(2)->text(), QStringLiteral("某指挥部"));
        window.projectFields().at(1)->setText(QStringLiteral("新建项目（改）"));
        window.saveProjectForm();
        QCOMPARE(TenderProjects(dm->database()).find(QStringLiteral("P03"))->name, QStringLiteral("新建项目（改）"));
        QCOMPARE(window.tree()->currentItem()->text(0), QStringLiteral("P03  新建项目（改）"));

        // A section added under the chosen project appears under it and is chosen.
        fillEntries({QStringLiteral("C1"), QStringLiteral("N-C1"), QStringLiteral("C1合同段"), QStringLiteral("K0+000"),
                     QStringLiteral("K3+000")});
        window.addContract();
        QCOMPARE(window.currentContract(), QStringLiteral("C1"));
        QCOMPARE(childTexts(window.tree()->topLevelItem(2)), QStringList{QStringLiteral("C1  C1合同段")});
        QCOMPARE(window.billPanel()->editor().lines().rowCount(), 0);

        // A section of a project the file lacks is still shown, and can be moved to a project.
        dm->database().exec(QStringLiteral("update jd_hetong set UPID = 'P99' where ID = 'B1'"));
        window.refreshTree();
        QCOMPARE(window.tree()->topLevelItemCount(), 4);
        QCOMPARE(childTexts(window.tree()->topLevelItem(3)),
                 QStringList{QStringLiteral("B1  B1合同段（K0+000～K8+760）")});
        QVERIFY(window.selectContract(QStringLiteral("B1")));
        QCOMPARE(window.contractFields().at(1)->text(), QStringLiteral("P99"));
        window.contractFields().at(1)->setText(QStringLiteral("P03"));
        window.saveContractForm();
        QCOMPARE(window.tree()->topLevelItemCount(), 3);
        QCOMPARE(window.currentContract(), QStringLiteral("B1"));
        QCOMPARE(window.currentProject(), QStringLiteral("P03"));
    }

    void billEditsAreStoredAndUndone_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("quantity") << QStringLiteral("203-1-a") << QStringLiteral("合同数量") << QStringLiteral("1234.5")
                                  << QVariant(1234.5);
        QTest::newRow("description") << QStringLiteral("203-1-a") << QStringLiteral("细目名称")
                                     << QStringLiteral("挖土方（含运输）")
                                     << QVariant(QStringLiteral("挖土方（含运输）"));
        QTest::newRow("unit") << QStringLiteral("203-1-a") << QStringLiteral("单位") << QStringLiteral("立方米")
                              << QVariant(QStringLiteral("立方米"));
        QTest::newRow("provisional sum") << QStringLiteral("102-3") << QStringLiteral("合同金额")
                                         << QStringLiteral("500000") << QVariant(500000.0);
    }
    void billEditsAreStoredAndUndone() {
        QFETCH(QString, item);
        QFETCH(QString, column);
        QFETCH(QString, typed);
        QFETCH(QVariant, expected);
        test::TempDataFile file;
        auto dm = file.open();
        OwnerMainWindow window(*dm);
        QVERIFY(window.start(ownerLogin));
        QVERIFY(window.selectContract(QStringLiteral("A1")));
        OwnerBillPanel* bill = window.billPanel();
        DataGrid* grid = bill->grid();
        QAbstractItemModelTester tester(grid->gridModel());
        const QVariant before = stored(*dm, column, item);
        QVERIFY(bill->goToItem(item));
        const int row = bill->currentRow();
        const QModelIndex cell = grid->gridModel()->index(row, grid->gridModel()->columnOfField(column));
        QVERIFY(grid->gridModel()->setData(cell, typed));
        QVERIFY(window.savePending());
        QVERIFY(SameStoredValue(stored(*dm, column, item), expected));
        QVERIFY(bill->undoButton()->isEnabled());

        bill->undoButton()->click();
        QVERIFY(SameStoredValue(stored(*dm, column, item), before));
        QVERIFY(SameStoredValue(grid->gridModel()->data(cell, DataGridModel::RawValueRole), before));
        QVERIFY(!bill->undoButton()->isEnabled());
        bill->redoButton()->click();
        QVERIFY(SameStoredValue(stored(*dm, column, item), expected));
        QVERIFY(MessageBox::takeErrors().isEmpty());
    }

    void onlyAProvisionalSumsAmountCanBeTyped() {
        test::TempDataFile file;
        auto dm = file.open();
        OwnerMainWindow window(*dm);
        QVERIFY(window.start(ownerLogin));
        OwnerBillPanel* bill = window.billPanel();
        DataGrid* grid = bill->grid();
        DataGridModel* model = grid->gridModel();
        const auto cell = [&](const QString& item, const QString& field) {
            return model->index(bill->editor().rowOfItem(item), model->columnOfField(field));
        };
        QVERIFY(model->flags(cell(QStringLiteral("102-3"), QStringLiteral("合同金额"))) & Qt::ItemIsEditable);
        QVERIFY(!(model->flags(cell(QStringLiteral("203-1-a"), QStringLiteral("合同金额"))) & Qt::ItemIsEditable));
        QVERIFY(!model->setData(cell(QStringLiteral("203-1-a"), QStringLiteral("合同金额")), QStringLiteral("100")));
        // A line given the provisional sums' unit takes an amount in the same edit.
        QVERIFY(bill->goToItem(QStringLiteral("102-4")));
        QVERIFY(model->setData(cell(QStringLiteral("102-4"), QStringLiteral("单位")), QStringLiteral("暂定金总额")));
        QVERIFY(model->setData(cell(QStringLiteral("102-4"), QStringLiteral("合同金额")), QStringLiteral("300000")));
        QVERIFY(window.savePending());
        QCOMPARE(stored(*dm, QStringLiteral("合同金额"), QStringLiteral("102-4")).toDouble(), 300000.0);
        QVERIFY(stored(*dm, QStringLiteral("合同金额"), QStringLiteral("203-1-a")).isNull());
        MessageBox::takeShown();
    }

    void linesAreAddedAndDeletedWithConsent() {
        test::TempDataFile file;
        auto dm = file.open();
        OwnerMainWindow window(*dm);
        QVERIFY(window.start(ownerLogin));
        OwnerBillPanel* bill = window.billPanel();
        const int lines = bill->editor().lines().rowCount();

        // A refused entry keeps the dialog open with what was typed; nothing is added.
        fillEntries({QStringLiteral("203-1-a"), QStringLiteral("重复"), QStringLiteral("m3"), QStringLiteral("1")});
        bill->addLine();
        QVERIFY(MessageBox::takeShown().join(QString()).contains(QStringLiteral("已有细目“203-1-a”")));
        QCOMPARE(bill->editor().lines().rowCount(), lines);

        fillEntries(
            {QStringLiteral("203-1-z"), QStringLiteral("挖淤泥"), QStringLiteral("m3"), QStringLiteral("１２０")});
        bill->addLine();
        QCOMPARE(bill->editor().lines().rowCount(), lines + 1);
        QCOMPARE(bill->editor().lines().value(bill->currentRow(), QStringLiteral("细目编号")).toString(),
                 QStringLiteral("203-1-z"));
        QCOMPARE(stored(*dm, QStringLiteral("合同数量"), QStringLiteral("203-1-z")).toDouble(), 120.0);
        QCOMPARE(stored(*dm, QStringLiteral("章"), QStringLiteral("203-1-z")).toString(), QStringLiteral("200"));

        // The deletion asks, 否 being the default; No keeps the line.
        MessageBox::queueAnswer(false);
        bill->deleteLine();
        QCOMPARE(MessageBox::takeDefaultAnswers(), QList<bool>{false});
        QVERIFY(stored(*dm, QStringLiteral("细目名称"), QStringLiteral("203-1-z")).isValid());
        MessageBox::queueAnswer(true);
        bill->deleteLine();
        QVERIFY(!stored(*dm, QStringLiteral("细目名称"), QStringLiteral("203-1-z")).isValid());
        QCOMPARE(bill->editor().lines().rowCount(), lines);

        // Undo brings the deleted line back, then takes the added one away.
        bill->undo();
        QCOMPARE(stored(*dm, QStringLiteral("细目名称"), QStringLiteral("203-1-z")).toString(),
                 QStringLiteral("挖淤泥"));
        bill->undo();
        QVERIFY(!stored(*dm, QStringLiteral("细目名称"), QStringLiteral("203-1-z")).isValid());
        QCOMPARE(bill->editor().lines().rowCount(), lines);
        QVERIFY(MessageBox::takeErrors().isEmpty());
    }

    void dayworkItemsAreEditedAddedAndUndone() {
        test::TempDataFile file;
        auto dm = file.open();
        OwnerMainWindow window(*dm);
        QVERIFY(window.start(ownerLogin));
        OwnerDayworkPanel* daywork = window.dayworkPanel();
        window.contractTabs()->setCurrentWidget(daywork);
        daywork->pages()->setCurrentIndex(1);
        QCOMPARE(daywork->currentSchedule(), Schedule::Material);
        DataSet& material = daywork->editor().schedule(Schedule::Material);
        const int items = material.rowCount();
        QVERIFY(items > 0);

        fillEntries({QStringLiteral("299"), QStringLiteral("钢绞线"), QStringLiteral("t"), QStringLiteral("12")});
        daywork->addItem();
        QCOMPARE(material.rowCount(), items + 1);
        const auto amountOf = [&](const QString& code) {
            return dm->database().scalar(
                QStringLiteral("select Amount from Jl_ContractList where ContractID='A1' and bz='2' and ItemCode=?"),
                {code});
        };
        QCOMPARE(amountOf(QStringLiteral("299")).toDouble(), 12.0);

        DataGrid* grid = daywork->grid(Schedule::Material);
        const QModelIndex cell = grid->gridModel()->index(grid->currentIndex().row(),
                                                          grid->gridModel()->columnOfField(QStringLiteral("Amount")));
        QVERIFY(grid->gridModel()->setData(cell, QStringLiteral("-1")));
        QVERIFY(!daywork->savePending());
        QVERIFY(MessageBox::takeShown().join(QString()).contains(QStringLiteral("负数")));
        QVERIFY(grid->gridModel()->setData(cell, QStringLiteral("15")));
        QVERIFY(daywork->savePending());
        QCOMPARE(amountOf(QStringLiteral("299")).toDouble(), 15.0);

        daywork->undo();
        QCOMPARE(amountOf(QStringLiteral("299")).toDouble(), 12.0);
        daywork->undo();
        QVERIFY(!amountOf(QStringLiteral("299")).isValid());
        QCOMPARE(material.rowCount(), items);
    }

    void accountsAreAddedAndRemoved() {
        test::TempDataFile file;
        auto dm = file.open();
        OwnerAccountsDialog dialog(*dm);
        QCOMPARE(dialog.list()->topLevelItemCount(), 3);
        fillEntries({QStringLiteral("西部路桥公司"), QStringLiteral("xb1"), QStringLiteral("xb2")});
        dialog.addBidder();
        QVERIFY(MessageBox::takeShown().join(QString()).contains(QStringLiteral("两次输入的密码不一样")));
        fillEntries({QStringLiteral("西部路桥公司"), QStringLiteral("xb1"), QStringLiteral("xb1")});
        dialog.addBidder();
        QCOMPARE(dialog.selectedUnit(), QStringLiteral("西部路桥公司"));
        QCOMPARE(OwnerAccounts(dm->database()).bidders().size(), 3);

        // The owner's own account cannot be removed here.
        QVERIFY(dialog.selectUnit(kOwner));
        QVERIFY(!dialog.removeButton()->isEnabled());
        QVERIFY(dialog.selectUnit(QStringLiteral("西部路桥公司")));
        MessageBox::queueAnswer(true);
        dialog.removeBidder();
        QCOMPARE(MessageBox::takeDefaultAnswers(), QList<bool>{false});
        QCOMPARE(OwnerAccounts(dm->database()).bidders().size(), 2);
        QCOMPARE(dialog.list()->topLevelItemCount(), 3);

        // A new password is typed twice and stored.
        QVERIFY(dialog.selectUnit(QStringLiteral("东方交通建设集团有限公司")));
        fillEntries({QStringLiteral("df-new-1"), QStringLiteral("df-new-1")});
        dialog.changePassword();
        QCOMPARE(dm->database()
                     .scalar(QStringLiteral("select pass from pass where unit = ?"),
                             {QStringLiteral("东方交通建设集团有限公司")})
                     .toString(),
                 QStringLiteral("df-new-1"));
    }

    void checkWindowListsTheFindingsAndGoesToTheLine() {
        test::TempDataFile file;
        auto dm = file.open();
        dm->database().exec(
            QStringLiteral("update jd_htqd set 合同数量 = -3 where 合同编号 = 'A2' and 细目编号 = '203-1-a'"));
        OwnerMainWindow window(*dm);
        QVERIFY(window.start(ownerLogin));
        window.showTenderCheck();
        TenderCheckWindow* check = window.checkWindow();
        QVERIFY(check);
        const TenderCheckResult expected = TenderCheck(dm->database()).run();
        QVERIFY(!expected.clean());
        QCOMPARE(check->result().findings.size(), expected.findings.size());
        int listed = 0;
        QStringList kinds;
        for (int g = 0; g < check->list()->topLevelItemCount(); ++g) {
            listed += check->list()->topLevelItem(g)->childCount();
            kinds << check->list()->topLevelItem(g)->text(0);
        }
        QCOMPARE(listed, expected.findings.size());
        QVERIFY(
            kinds.contains(QStringLiteral("%1（1）").arg(TenderFindingKindText(TenderFindingKind::NegativeQuantity))));
        QVERIFY(check->summaryLabel()->text().contains(expected.summary()));

        QTreeWidgetItem* negative = nullptr;
        for (int g = 0; g < check->list()->topLevelItemCount(); ++g)
            for (int c = 0; c < check->list()->topLevelItem(g)->childCount(); ++c)
                if (check->list()->topLevelItem(g)->child(c)->text(3) == QStringLiteral("203-1-a"))
                    negative = check->list()->topLevelItem(g)->child(c);
        QVERIFY(negative);
        check->openItem(negative);
        QCOMPARE(window.currentContract(), QStringLiteral("A2"));
        QCOMPARE(window.contractTabs()->currentWidget(), window.billPanel());
        DataSet& lines = window.billPanel()->editor().lines();
        QCOMPARE(lines.value(window.billPanel()->currentRow(), QStringLiteral("细目编号")).toString(),
                 QStringLiteral("203-1-a"));

        // A day-work finding opens its schedule on the day-work page.
        dm->database().exec(QStringLiteral(
            "update Jl_ContractList set Amount = -1 where ContractID = 'A1' and bz = '3' and ItemCode = '305'"));
        check->check();
        const auto findingOf = [&](const QString& contract, const QString& item) -> QTreeWidgetItem* {
            for (int g = 0; g < check->list()->topLevelItemCount(); ++g)
                for (int c = 0; c < check->list()->topLevelItem(g)->childCount(); ++c) {
                    QTreeWidgetItem* it = check->list()->topLevelItem(g)->child(c);
                    if (it->text(2) == contract && it->text(3) == item)
                        return it;
                }
            return nullptr;
        };
        QTreeWidgetItem* machinery = findingOf(QStringLiteral("A1"), QStringLiteral("305"));
        QVERIFY(machinery);
        check->openItem(machinery);
        QCOMPARE(window.currentContract(), QStringLiteral("A1"));
        QCOMPARE(window.contractTabs()->currentWidget(), window.dayworkPanel());
        QCOMPARE(window.dayworkPanel()->currentSchedule(), Schedule::Machinery);
        QCOMPARE(window.dayworkPanel()
                     ->editor()
                     .schedule(Schedule::Machinery)
                     .value(window.dayworkPanel()->grid(Schedule::Machinery)->currentIndex().row(),
                            QStringLiteral("ItemCode"))
                     .toString(),
                 QStringLiteral("305"));
    }

    void issueWritesOneVerifiedCopyPerAccount() {
        test::TempDataFile file;
        auto dm = file.open();
        OwnerMainWindow window(*dm);
        QVERIFY(window.start(ownerLogin));
        QTemporaryDir out;
        IssueDialog dialog(*dm);
        QCOMPARE(dialog.folderField()->text(),
                 QDir::toNativeSeparators(QDir(file.dir()).filePath(QStringLiteral("发出"))));
        dialog.folderField()->setText(out.path());
        dialog.preview();
        QCOMPARE(dialog.copies()->topLevelItemCount(), 2);
        // The demo's B1 has no bill: the check's findings are put to the owner, 否 by default.
        MessageBox::queueAnswer(false);
        dialog.issue();
        QCOMPARE(MessageBox::takeDefaultAnswers(), QList<bool>{false});
        QVERIFY(QDir(out.path()).entryList(QDir::Files).isEmpty());

        MessageBox::queueAnswer(true);
        dialog.issue();
        MessageBox::takeShown();
        MessageBox::takeDefaultAnswers();
        const QStringList bidders = {QStringLiteral("华建路桥工程有限公司"),
                                     QStringLiteral("东方交通建设集团有限公司")};
        QCOMPARE(dialog.issued().units.size(), 2);
        QCOMPARE(dialog.copies()->topLevelItemCount(), 2);
        for (const QString& unit : bidders) {
            const QString path = QDir(out.path()).filePath(unit + QStringLiteral(".tr"));
            Database copy = Database::open(path, DataFileKey(), Database::Mode::Verify);
            copy.checkIntegrity();
            const QList<TenderAccount> accounts = OwnerAccounts(copy).list();
            QCOMPARE(accounts.size(), 1);
            QCOMPARE(accounts.first().unit, unit);
            const QList<IssueRecord> records = ReadIssueRecords(copy);
            QCOMPARE(records.size(), 1);
            QCOMPARE(records.first().issueId, dialog.issued().issueId);
        }
        QCOMPARE(ReadIssueRecords(dm->database()).size(), 1);

        // Issuing into the same folder again asks before replacing the copies.
        MessageBox::queueAnswer(true);
        MessageBox::queueAnswer(false);
        dialog.issue();
        QCOMPARE(MessageBox::takeDefaultAnswers(), (QList<bool>{false, false}));
        QCOMPARE(ReadIssueRecords(dm->database()).size(), 1);
    }

    void theKeyboardReachesTheMenus() {
        test::TempDataFile file;
        auto dm = file.open();
        OwnerMainWindow window(*dm);
        QVERIFY(window.start(ownerLogin));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QMenu* tender = window.menuBar()->actions().at(1)->menu();
        QTest::keyClick(&window, Qt::Key_T, Qt::AltModifier);
        QTRY_VERIFY(tender->isVisible());
        tender->hide();
        for (QAction* title : window.menuBar()->actions()) {
            QVERIFY2(title->text().contains(QLatin1Char('&')), qPrintable(title->text()));
            QSet<QChar> letters;
            for (QAction* a : title->menu()->actions()) {
                if (a->isSeparator())
                    continue;
                const qsizetype amp = a->text().indexOf(QLatin1Char('&'));
                QVERIFY2(amp >= 0, qPrintable(a->text()));
                QVERIFY2(!letters.contains(a->text().at(amp + 1)), qPrintable(a->text()));
                letters.insert(a->text().at(amp + 1));
            }
        }
    }

    // 招标 → 清标 opens the clearing over the tender file the workbench holds.
    void theTenderMenuOpensTheClearing() {
        test::TempDataFile file;
        auto dm = file.open();
        OwnerMainWindow window(*dm);
        QVERIFY(window.start(ownerLogin));
        auto* action = window.findChild<QAction*>(QStringLiteral("ActionClearing"));
        QVERIFY(action);
        QVERIFY(action->isEnabled());
        QStringList opened;
        SetModalHandler([&](QDialog& dialog) {
            opened << QString::fromLatin1(dialog.metaObject()->className());
            return int(QDialog::Rejected);
        });
        action->trigger();
        QCOMPARE(opened, QStringList{QStringLiteral("tenvora::ui::ClearingWindow")});
    }

    void eachOwnersWindowHasItsPageInTheGuide() {
        test::TempDataFile file;
        auto dm = file.open();
        OwnerMainWindow window(*dm);
        QVERIFY(window.start(ownerLogin));
        LoginDialog login(OwnerLogin(*dm));
        OwnerAccountsDialog accounts(*dm);
        TenderCheckWindow check(*dm);
        IssueDialog issue(*dm);
        const QList<std::pair<QWidget*, QString>> windows = {
            {window.tree(), QStringLiteral("owner.html")},
            {login.passwordField(), QStringLiteral("owner.html#login")},
            {window.billPanel()->grid(), QStringLiteral("owner-bill.html")},
            {window.dayworkPanel()->grid(Schedule::Machinery), QStringLiteral("owner-daywork.html")},
            {accounts.list(), QStringLiteral("owner-accounts.html")},
            {check.list(), QStringLiteral("owner-check.html")},
            {issue.folderField(), QStringLiteral("owner-issue.html")},
        };
        const QDir guide(HelpFiles::guideFolder());
        const QString contents = QString::fromUtf8(test::ReadBytes(guide.filePath(QStringLiteral("contents.txt"))));
        for (const auto& [widget, page] : windows) {
            QCOMPARE(HelpPageFor(widget), page);
            const QString name = page.section(QLatin1Char('#'), 0, 0);
            const QString html = QString::fromUtf8(test::ReadBytes(guide.filePath(name)));
            QVERIFY2(!html.isEmpty(), qPrintable(name));
            QVERIFY2(contents.contains(name + QLatin1Char(' ')), qPrintable(name));
            if (page.contains(QLatin1Char('#')))
                QVERIFY2(html.contains(QStringLiteral("id=\"%1\"").arg(page.section(QLatin1Char('#'), 1))),
                         qPrintable(page));
        }
    }
};

QTEST_MAIN(TestOwnerWorkbench)
#include "tst_ownerworkbench.moc"

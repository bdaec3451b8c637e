// The main window, the login dialog, the contract selection dialog and the About box.
#include "MessageBox.h"
#include "Modal.h"
#include "Settings.h"
#include "WindowTest.h"
#include "boq/BoqEditorWindow.h"
#include "boq/ContractSelectionDialog.h"
#include "data/AppPaths.h"
#include "data/DataModule.h"
#include "data/Database.h"
#include "datamgmt/DataManagement.h"
#include "datamgmt/FolderChooser.h"
#include "datamgmt/RestoreDialog.h"
#include "grid/DataGrid.h"
#include "preview/ReportPreview.h"
#include "shell/AboutDialog.h"
#include "shell/HostedTool.h"
#include "shell/LoginDialog.h"
#include "shell/LoginRules.h"
#include "shell/MainWindow.h"
#include "support/TestSupport.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <functional>

using namespace tenvora;
using namespace tenvora::ui;

namespace {

const QString kUnit = QStringLiteral("华建路桥工程有限公司");

// A tool that records what the host did with it.
class FakeTool : public HostedTool {
public:
    explicit FakeTool(QString caption, int* saves, QString button = QString())
        : m_caption(std::move(caption)), m_button(std::move(button)), m_saves(saves) {
        m_panel = new QWidget(this);
        new QVBoxLayout(m_panel);
    }
    QString caption() const override { return m_caption; }
    QString toolbarCaption() const override { return m_button; }
    QWidget* contentPanel() override { return m_panel; }
    bool savePendingEdit() override {
        ++*m_saves;
        return !refuse;
    }
    QWidget* m_panel;
    bool refuse = false; // stands for a typed price the store would not take

private:
    QString m_caption;
    QString m_button;
    int* m_saves;
};

// The captions of the toolbar's pressed buttons.
QStringList pressed(const MainWindow& window) {
    QStringList captions;
    for (const char* c : {"合同选择", "合同清单", "计日工", "投标检查", "专项暂定金", "退出系统"})
        if (window.toolAction(QString::fromUtf8(c))->isChecked())
            captions << QString::fromUtf8(c);
    return captions;
}

bool loginAsHuajian(DataModule& dm) {
    return LoginRules(dm).login(kUnit, QStringLiteral("hj2026"));
}

} // namespace

class TestShell : public QObject {
    Q_OBJECT
private slots:
    void init() { test::BeginWindowTest(); }
    void cleanup() { QCOMPARE(test::EndWindowTest(), QString()); }

    void loginListsUnitsAndChecksThePassword() {
        test::TempDataFile file;
        auto dm = file.open();
        LoginDialog login(*dm);
        QCOMPARE(login.unitBox()->count(), 2);
        QCOMPARE(login.unitBox()->currentText(), kUnit);
        QVERIFY(!login.unitBox()->isEditable());
        QCOMPARE(login.passwordField()->echoMode(), QLineEdit::Password);
        QVERIFY(login.okButton()->isDefault());
        QVERIFY(!login.windowFlags().testFlag(Qt::WindowCloseButtonHint));

        login.show();
        QVERIFY(QTest::qWaitForWindowActive(&login));
        login.passwordField()->setText(QStringLiteral("HJ2026"));
        QTest::mouseClick(login.okButton(), Qt::LeftButton); // the click takes the focus to the button
        QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("密码不正确,请重新输入")});
        QCOMPARE(login.result(), int(QDialog::Rejected));
        QCOMPARE(login.passwordField()->text(), QString());
        QCOMPARE(login.unitBox()->currentText(), kUnit);

        // Typed again as a user would, it is the whole password, not an addition to the refused one.
        QCOMPARE(QApplication::focusWidget(), login.passwordField());
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("hj2026"));
        login.okButton()->click();
        QCOMPARE(login.result(), int(QDialog::Accepted));
        QCOMPARE(dm->session().CurUnitName, kUnit);

        LoginDialog next(*dm);
        // Only the unit that has logged in is offered now.
        QCOMPARE(next.unitBox()->count(), 1);
    }

    void loginGivesUpByButtonAndEscape_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("放弃") << false;
        QTest::newRow("Esc") << true;
    }
    void loginGivesUpByButtonAndEscape() {
        QFETCH(bool, escape);
        test::TempDataFile file;
        auto dm = file.open();
        MainWindow window(*dm);
        SetModalHandler([&](QDialog& dialog) {
            auto* login = qobject_cast<LoginDialog*>(&dialog);
            if (!login)
                return int(QDialog::Rejected);
            login->show();
            if (escape)
                QTest::keyClick(login, Qt::Key_Escape);
            else
                login->cancelButton()->click();
            return login->result();
        });
        QVERIFY(!window.start());
        QCOMPARE(dm->session().CurUnitName, QString());
    }

    void statusBarPanelsAndHint() {
        test::TempDataFile file;
        auto dm = file.open();
        MainWindow window(*dm);
        QVERIFY(window.start(loginAsHuajian));
        QCOMPARE(window.windowTitle(), QStringLiteral("Tenvora"));
        // Nothing is loaded before the first activation.
        QCOMPARE(window.statusPanel(1)->text(), QStringLiteral("---        "));
        dm->LoadCurrentContract();
        window.resize(1024, 700);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const int widths[] = {70, 300, 70, 300, 70};
        for (int i = 0; i < 5; ++i)
            QVERIFY(i % 2 ? window.statusPanel(i)->width() >= widths[i] : window.statusPanel(i)->width() == widths[i]);
        QCOMPARE(window.statusPanel(0)->text(), QStringLiteral("当前项目："));
        QVERIFY(window.statusPanel(0)->alignment() & Qt::AlignRight);
        QCOMPARE(window.statusPanel(1)->text(),
                 QStringLiteral("沿江高速公路扩建工程---A1合同段（K0+000～K12+500 路基桥涵）        "));
        QCOMPARE(window.statusPanel(2)->text(), QStringLiteral("当前单位"));
        QCOMPARE(window.statusPanel(3)->text(), kUnit + QLatin1Char(' '));
        QCOMPARE(window.statusPanel(4)->text(), QStringLiteral("操作提示："));
        // Too long for a narrow window: elided, and whole in the tooltip; whole in a wide one.
        const QString contract = QStringLiteral("沿江高速公路扩建工程---A1合同段（K0+000～K12+500 路基桥涵）");
        window.resize(800, 600);
        QTRY_COMPARE(window.statusPanel(1)->toolTip(), contract);
        window.resize(1600, 1000);
        QTRY_VERIFY(window.statusPanel(1)->toolTip().isEmpty());
        QVERIFY(window.statusPanel(1)->width() >= window.statusPanel(1)->fontMetrics().horizontalAdvance(contract));

        QAction* exit = window.toolAction(QStringLiteral("退出系统"));
        QVERIFY(exit);
        QCOMPARE(exit->toolTip(), QStringLiteral("退出系统"));
        exit->showStatusText(&window);
        QCOMPARE(window.statusPanel(5)->text(), QStringLiteral("退出当前的系统"));
        QStatusTipEvent away{QString()};
        QCoreApplication::sendEvent(&window, &away);
        QCOMPARE(window.statusPanel(5)->text(), QString());

        // A hosted tool's hint shows there too, until the mouse brings another.
        int saves = 0;
        auto* tool = new FakeTool(QStringLiteral("配置合同清单"), &saves);
        window.hostTool(tool);
        emit tool->statusHint(QStringLiteral("该行单价已锁定，不能修改"));
        QCOMPARE(window.statusPanel(5)->text(), QStringLiteral("该行单价已锁定，不能修改"));
        exit->showStatusText(&window);
        QCOMPARE(window.statusPanel(5)->text(), QStringLiteral("退出当前的系统"));
    }

    void windowSizeIsKeptForTheNextStart() {
        OpenSettings()->clear(); // earlier cases of this program left theirs
        test::TempDataFile file;
        auto dm = file.open();
        {
            MainWindow first(*dm);
            QVERIFY(!first.hasSavedGeometry()); // the first start opens maximized
            first.setGeometry(60, 40, 700, 500);
            first.show();
            QVERIFY(QTest::qWaitForWindowExposed(&first));
            MessageBox::queueAnswer(true);
            QVERIFY(first.close());
            MessageBox::takeShown();
        }
        MainWindow second(*dm);
        QVERIFY(second.hasSavedGeometry());
        QCOMPARE(second.size(), QSize(700, 500));
    }

    void captionFollowsTheHostedTool() {
        test::TempDataFile file;
        auto dm = file.open();
        MainWindow window(*dm);
        QVERIFY(window.start(loginAsHuajian));
        int saves = 0;
        auto* boq = new FakeTool(QStringLiteral("配置合同清单"), &saves);
        window.hostTool(boq);
        QCOMPARE(window.windowTitle(), QStringLiteral("Tenvora---配置合同清单"));
        QCOMPARE(boq->m_panel->parentWidget(), window.centralWidget());

        QPointer<FakeTool> first(boq);
        auto* daywork = new FakeTool(QStringLiteral("计日工清单"), &saves);
        window.hostTool(daywork);
        QVERIFY(first.isNull());
        QCOMPARE(saves, 1); // the replaced tool saved its pending edit
        QCOMPARE(window.windowTitle(), QStringLiteral("Tenvora---计日工清单"));

        QPointer<FakeTool> second(daywork);
        window.toolAction(QStringLiteral("计日工"))->setChecked(true);
        emit daywork->closeRequested();
        QTRY_VERIFY(second.isNull());
        QCOMPARE(saves, 2);
        QCOMPARE(window.windowTitle(), QStringLiteral("Tenvora"));
        QCOMPARE(window.hostedTool(), nullptr);
    }

    void contractSelectionStoresTheChoice_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("choose");
        QTest::addColumn<QString>("contract");
        QTest::newRow("choose B1") << 2 << true << QStringLiteral("B1");
        QTest::newRow("untouched choice is the first row") << -1 << true << QStringLiteral("A1");
        QTest::newRow("cancel keeps A1") << 2 << false << QStringLiteral("A1");
    }
    void contractSelectionStoresTheChoice() {
        QFETCH(int, row);
        QFETCH(bool, choose);
        QFETCH(QString, contract);
        test::TempDataFile file;
        auto dm = file.open();
        {
            auto db = dm->NewQuery();
            dm->RunSql(*db, QStringLiteral("update 当前选择合同 set 合同ID='A2'"), {}, false);
        }
        MainWindow window(*dm);
        QVERIFY(window.start(loginAsHuajian));
        dm->LoadCurrentContract(); // the first activation
        QString captionWhileOpen;
        SetModalHandler([&](QDialog& dialog) {
            auto* select = qobject_cast<ContractSelectionDialog*>(&dialog);
            if (!select)
                return int(QDialog::Rejected);
            captionWhileOpen = window.windowTitle();
            // The box shows the row "选择" would take.
            if (select->contractBox()->currentIndex() != 0)
                return int(QDialog::Rejected);
            if (row >= 0)
                select->contractBox()->setCurrentIndex(row);
            (choose ? select->chooseButton() : select->cancelButton())->click();
            return select->result();
        });
        window.selectContract();
        QCOMPARE(captionWhileOpen, QStringLiteral("Tenvora---合同选择"));
        const QString expected = choose ? contract : QStringLiteral("A2");
        QCOMPARE(dm->session().CurContractID, expected);
        dm->LoadCurrentContract();
        QCOMPARE(dm->session().CurContractID, expected);
        QVERIFY(window.statusPanel(1)->text().contains(dm->session().CurContractName));
        QVERIFY(window.toolAction(QStringLiteral("合同清单"))->isChecked());
    }

    void selectionDialogLayout() {
        test::TempDataFile file;
        auto dm = file.open();
        ContractSelectionDialog dialog(*dm);
        QCOMPARE(dialog.size(), QSize(345, 171));
        QVERIFY(dialog.projectField()->isReadOnly());
        QCOMPARE(dialog.projectField()->text(), QStringLiteral("沿江高速公路扩建工程"));
        QCOMPARE(dialog.contractBox()->count(), 3);
        dialog.contractBox()->setCurrentIndex(2);
        QCOMPARE(dialog.projectField()->text(), QStringLiteral("山区二级公路改建工程"));
    }

    void aProjectWithoutSectionsSaysSoAndStaysOpen() {
        test::TempDataFile file;
        auto dm = file.open();
        dm->LoadCurrentContract();
        dm->database().exec(QStringLiteral("DELETE FROM jd_hetong WHERE UPID='P02'"));
        ContractSelectionDialog dialog(*dm);
        const int last = dialog.contractBox()->count() - 1;
        QCOMPARE(dialog.contractBox()->itemText(last), QStringLiteral("（山区二级公路改建工程：没有合同段）"));
        dialog.contractBox()->setCurrentIndex(last);
        dialog.chooseButton()->click();
        QCOMPARE(MessageBox::takeShown(),
                 QStringList{QStringLiteral("项目“山区二级公路改建工程”还没有合同段，请选择其他项目的合同段")});
        QVERIFY(dialog.result() != QDialog::Accepted);
        QCOMPARE(dm->session().CurContractID, QStringLiteral("A1")); // the current contract stays
        // Every name shows whole: in the open list, and in the tooltip of the box.
        dialog.contractBox()->setCurrentIndex(1);
        QCOMPARE(dialog.contractBox()->toolTip(), dialog.contractBox()->itemText(1));
        QVERIFY(dialog.contractBox()->view()->minimumWidth() >= dialog.contractBox()->view()->sizeHintForColumn(0));
    }

    void emptyContractListAsksToAddOne() {
        test::TempDataFile file;
        auto dm = file.open();
        dm->database().exec(QStringLiteral("DELETE FROM jd_xiangmu"));
        ContractSelectionDialog dialog(*dm);
        dialog.chooseButton()->click();
        QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("请先增加合同")});
        QVERIFY(dialog.result() != QDialog::Accepted);
    }

    void closeQuestion_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes closes") << true;
        QTest::newRow("No keeps running and releases buttons") << false;
    }
    void closeQuestion() {
        QFETCH(bool, yes);
        test::TempDataFile file;
        auto dm = file.open();
        MainWindow window(*dm);
        QVERIFY(window.start(loginAsHuajian));
        window.show();
        window.toolAction(QStringLiteral("合同清单"))->setChecked(true);
        MessageBox::queueAnswer(yes);
        QCOMPARE(window.close(), yes);
        QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("您真的要退出吗？")});
        QCOMPARE(window.toolAction(QStringLiteral("合同清单"))->isChecked(), yes);
    }

    void exitButtonEndsWithoutAsking() {
        test::TempDataFile file;
        auto dm = file.open();
        MainWindow window(*dm);
        QVERIFY(window.start(loginAsHuajian));
        window.show();
        int saves = 0;
        window.hostTool(new FakeTool(QStringLiteral("配置合同清单"), &saves));
        window.quitProgram();
        QVERIFY(!window.isVisible());
        QCOMPARE(MessageBox::takeShown(), QStringList());
        QCOMPARE(saves, 1); // the hosted tool's pending edit is saved on the way out
    }

    void aFailedSaveKeepsTheToolOpen() {
        test::TempDataFile file;
        auto dm = file.open();
        MainWindow window(*dm);
        QVERIFY(window.start(loginAsHuajian));
        window.show();
        int saves = 0;
        auto* boq = new FakeTool(QStringLiteral("配置合同清单"), &saves);
        QVERIFY(window.hostTool(boq));
        boq->refuse = true;
        int dialogs = 0;
        SetModalHandler([&](QDialog&) {
            ++dialogs;
            return int(QDialog::Rejected);
        });

        // Switching tools, opening the chooser, backing up, restoring and ending all stop.
        QVERIFY(!window.hostTool(new FakeTool(QStringLiteral("计日工清单"), &saves)));
        window.showDayworkEditor();
        window.showChapterReport();
        window.selectContract();
        window.backUpDataFile();
        window.restoreDataFile();
        window.quitProgram();
        MessageBox::queueAnswer(true);
        QVERIFY(!window.close());
        QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("您真的要退出吗？")});
        QCOMPARE(window.hostedTool(), boq);
        QVERIFY(window.isVisible());
        QCOMPARE(dialogs, 0);
        QCOMPARE(window.windowTitle(), QStringLiteral("Tenvora---配置合同清单"));
        QCOMPARE(saves, 8);

        boq->refuse = false;
        window.quitProgram();
        QVERIFY(!window.isVisible());
        QCOMPARE(window.hostedTool(), nullptr);
    }

    void theToolbarFollowsTheHostedTool() {
        test::TempDataFile file(true);
        auto dm = file.open();
        MainWindow window(*dm);
        QVERIFY(window.start(loginAsHuajian));
        dm->LoadCurrentContract();
        window.show();
        struct Step {
            const char* what;
            std::function<void()> run;
            QStringList expected;
        };
        int saves = 0;
        FakeTool* keeper = nullptr;
        const QList<Step> steps = {
            {"the editor's button", [&] { window.toolAction(QStringLiteral("合同清单"))->trigger(); }, {"合同清单"}},
            {"day work replaces it", [&] { window.toolAction(QStringLiteral("计日工"))->trigger(); }, {"计日工"}},
            {"the check replaces that",
             [&] { window.toolAction(QStringLiteral("投标检查"))->trigger(); },
             {"投标检查"}},
            {"its own close button", [&] { emit window.hostedTool()->closeRequested(); }, {}},
            {"a tool that keeps what was typed",
             [&] {
                 keeper = new FakeTool(QStringLiteral("配置合同清单"), &saves, QStringLiteral("合同清单"));
                 window.hostTool(keeper);
                 keeper->refuse = true;
             },
             {"合同清单"}},
            {"a refused switch leaves the button of the tool that stays",
             [&] { window.toolAction(QStringLiteral("计日工"))->trigger(); },
             {"合同清单"}},
            {"a report over", [&] { window.toolAction(QStringLiteral("专项暂定金"))->trigger(); }, {"合同清单"}},
            {"the tool lets go and closes",
             [&] {
                 keeper->refuse = false;
                 window.CloseChildForms();
             },
             {}},
        };
        SetModalHandler([](QDialog&) { return int(QDialog::Rejected); });
        for (const Step& step : steps) {
            step.run();
            QCoreApplication::processEvents(); // a tool's own close is deferred
            QCOMPARE(pressed(window), step.expected);
            if (step.expected.isEmpty())
                QCOMPARE(window.hostedTool(), nullptr);
        }
    }

    // After restoring a file that has no account of the logged-in unit the login comes back; giving
    // it up ends the program.
    void aRestoredFileWithoutTheUnitAsksForALogin_data() {
        QTest::addColumn<bool>("giveUp");
        QTest::newRow("logs in as another unit") << false;
        QTest::newRow("gives up") << true;
    }
    void aRestoredFileWithoutTheUnitAsksForALogin() {
        QFETCH(bool, giveUp);
        test::TempDataFile file(true);
        auto dm = file.open();
        QTemporaryDir dir;
        const QString other = dir.filePath(QStringLiteral("other.tr"));
        {
            test::TempDataFile foreign;
            QVERIFY(QFile::copy(foreign.path(), other));
            Database db = Database::open(other, DataFileKey());
            db.exec(QStringLiteral("delete from pass where unit = ?"), {kUnit});
        }
        MainWindow window(*dm);
        int logins = 0;
        QVERIFY(window.start([&](DataModule& d) {
            if (++logins == 1)
                return loginAsHuajian(d);
            return !giveUp && LoginRules(d).login(QStringLiteral("东方交通建设集团有限公司"), QStringLiteral("df2026"));
        }));
        window.show();
        SetModalHandler([&](QDialog& dialog) {
            auto* form = qobject_cast<RestoreDialog*>(&dialog);
            if (!form)
                return int(QDialog::Rejected);
            form->folderChooser()->setFolder(dir.path());
            if (QTest::qWaitFor([&] { return form->selectFile(QStringLiteral("other.tr")); }))
                form->restoreButton()->click();
            return dialog.result();
        });
        MessageBox::queueAnswer(true);
        window.restoreDataFile();
        QCOMPARE(logins, 2);
        const QStringList shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown.last(), DataManagement::reloginText(kUnit));
        QCOMPARE(window.isVisible(), !giveUp);
        if (!giveUp) {
            QCOMPARE(dm->session().CurUnitName, QStringLiteral("东方交通建设集团有限公司"));
            QCOMPARE(window.statusPanel(3)->text().trimmed(), QStringLiteral("东方交通建设集团有限公司"));
        }
    }

    void menusAndToolbarCarryEveryCommand() {
        test::TempDataFile file;
        auto dm = file.open();
        MainWindow window(*dm);
        QStringList popup;
        for (QAction* a : window.reportMenu()->actions())
            popup << (a->isSeparator() ? QStringLiteral("—") : a->text());
        QCOMPARE(popup, (QStringList{"B.工程量清单报表(&B)", "C.专项暂定金额汇总表(&C)", "D.计日工汇总表(&D)",
                                     "E.工程量清单汇总表(&E)", "—", "计日工劳务单价表(&1)", "计日工材料单价表(&2)",
                                     "计日工施工机械单价表(&3)", "—", "全套投标报表(&Q)"}));
        for (QAction* a : window.reportMenu()->actions())
            QVERIFY2(a->isEnabled(), qPrintable(a->text()));
        QVERIFY(window.toolAction(QStringLiteral("专项暂定金"))->isEnabled());
        QCOMPARE(window.reportButton()->popupMode(), QToolButton::MenuButtonPopup);
        for (const char* caption : {"合同选择", "合同清单", "计日工", "专项暂定金", "退出系统"})
            QVERIFY2(window.toolAction(QString::fromUtf8(caption))->isCheckable(), caption);
    }

    void theKeyboardReachesTheCommands() {
        test::TempDataFile file;
        auto dm = file.open();
        MainWindow window(*dm);
        QVERIFY(window.start(loginAsHuajian));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QStringList titles;
        for (QAction* a : window.menuBar()->actions())
            titles << a->text();
        QCOMPARE(titles, (QStringList{"合同管理(&H)", "报表输出(&B)", "数据管理(&S)", "帮助(&Z)"}));
        QMenu* contracts = window.menuBar()->actions().first()->menu();
        // Alt pressed and released alone, as the keyboard reports it, with the focus in a tool.
        int saves = 0;
        auto* tool = new FakeTool(QStringLiteral("配置合同清单"), &saves);
        auto* field = new QLineEdit(tool->m_panel);
        tool->m_panel->layout()->addWidget(field);
        window.hostTool(tool);
        field->setFocus();
        QTest::keyPress(field, Qt::Key_Alt, Qt::AltModifier);
        QTest::keyRelease(field, Qt::Key_Alt, Qt::NoModifier);
        QTRY_VERIFY(window.menuBar()->activeAction());
        QTest::keyClick(window.menuBar(), Qt::Key_Escape);
        QTest::keyClick(&window, Qt::Key_H, Qt::AltModifier);
        QTRY_VERIFY(contracts->isVisible());
        contracts->hide();
        QTest::keyClick(&window, Qt::Key_F10);
        QTRY_VERIFY(contracts->isVisible());
        contracts->hide();

        // Every entry of every menu has its access letter, and none is used twice in a menu.
        for (QAction* title : window.menuBar()->actions()) {
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
        // Ctrl+R previews report B.
        QStringList opened;
        SetModalHandler([&](QDialog& dialog) {
            opened << dialog.windowTitle();
            return int(QDialog::Rejected);
        });
        QTest::keyClick(&window, Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(opened, QStringList{QStringLiteral("选择清单编号")});
    }

    void reportEntriesPreviewTheirForms_data() {
        QTest::addColumn<int>("entry");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("printed");
        QTest::newRow("C from the menu") << 0 << "C.专项暂定金额汇总表"
                                         << "1 | 102-3 | 计算机信息化管理系统 | 4500000";
        QTest::newRow("C from the drop-down") << 1 << "C.专项暂定金额汇总表"
                                              << "合    计 | 8300000";
        QTest::newRow("D") << 2 << "D.计日工汇总表"
                           << "计日工合计（1＋2＋3）（转结工程量清单汇总表） | 714715";
        QTest::newRow("E from the menu") << 3 << "E.工程量清单汇总表"
                                         << "9 | 投标价（4＋7＋8） | 57824082";
        QTest::newRow("E from the drop-down") << 4 << "E.工程量清单汇总表"
                                              << "投标价（大写） | 伍仟柒佰捌拾贰万肆仟零捌拾贰元整";
        QTest::newRow("labour") << 5 << "计日工劳务单价表"
                                << "计日工劳务(转结计日工汇总表) | 158020";
        QTest::newRow("material") << 6 << "计日工材料单价表"
                                  << "计日工材料小计(转结计日工汇总表) | 337450";
        QTest::newRow("machinery") << 7 << "计日工施工机械单价表"
                                   << "计日工施工机械小计(转结计日工汇总表) | 219245";
        QTest::newRow("whole set") << 8 << "投标报表"
                                   << "13 | 投标报价（8＋11＋12） | 185702861";
    }
    void reportEntriesPreviewTheirForms() {
        QFETCH(int, entry);
        QFETCH(QString, title);
        QFETCH(QString, printed);
        test::TempDataFile file(true);
        auto dm = file.open();
        MainWindow window(*dm);
        QVERIFY(window.start(loginAsHuajian));
        dm->LoadCurrentContract();
        int saves = 0;
        QPointer<FakeTool> tool = new FakeTool(QStringLiteral("配置合同清单"), &saves);
        window.hostTool(tool);
        QStringList previews;
        QString previewTitle;
        bool savedFirst = false;
        SetModalHandler([&](QDialog& dialog) {
            auto* preview = qobject_cast<ReportPreview*>(&dialog);
            if (!preview)
                return int(QDialog::Rejected);
            savedFirst = saves == 1 && !tool.isNull();
            previews << report::TextDump(preview->document());
            previewTitle = preview->windowTitle();
            return int(QDialog::Accepted);
        });
        void (MainWindow::*const entries[])() = {&MainWindow::showProvisionalSumsReport,
                                                 &MainWindow::showProvisionalSumsReport,
                                                 &MainWindow::showDayworkSummaryReport,
                                                 &MainWindow::showBoqSummaryReport,
                                                 &MainWindow::showBoqSummaryReport,
                                                 &MainWindow::showLabourPriceTable,
                                                 &MainWindow::showMaterialPriceTable,
                                                 &MainWindow::showMachineryPriceTable,
                                                 &MainWindow::showBidSet};
        (window.*entries[entry])();
        QCOMPARE(previews.size(), 1);
        QVERIFY(savedFirst); // what was typed prints; the tool stays where it was
        QCOMPARE(window.hostedTool(), tool.data());
        QCOMPARE(window.windowTitle(), QStringLiteral("Tenvora---配置合同清单"));
        QVERIFY2(previews.first().contains(printed + QLatin1Char('\n')), qPrintable(previews.first()));
        QCOMPARE(previewTitle, QStringLiteral("报表预览 - ") + title);
        QCOMPARE(saves, 1);
        QCOMPARE(MessageBox::takeShown(), QStringList());
    }

    void theEditorKeepsItsPlaceThroughAReport() {
        test::TempDataFile file(true);
        auto dm = file.open();
        MainWindow window(*dm);
        QVERIFY(window.start(loginAsHuajian));
        dm->LoadCurrentContract();
        window.showBoqEditor();
        auto* editor = qobject_cast<BoqEditorWindow*>(window.hostedTool());
        QVERIFY(editor);
        // The insurance line shows a stale figure that the report will store anew.
        dm->database().exec(QStringLiteral("update jd_htqd set 合同金额=1, 合同单价=1 where 细目编号='101-1-a'"));
        for (QTreeWidgetItemIterator it(editor->tree()); *it; ++it)
            if ((*it)->text(0) == QLatin1String("100"))
                editor->tree()->setCurrentItem(*it);
        DataGrid* grid = editor->grid();
        const DataSet& lines = editor->editor().lines();
        const int insurance = editor->editor().findItem(QStringLiteral("101-1-a"));
        QVERIFY(insurance >= 0);
        grid->setCurrentIndex(grid->gridModel()->index(5, 4));
        const QVariant current = lines.keyOf(5);
        SetModalHandler([](QDialog&) { return int(QDialog::Accepted); });
        window.showBoqSummaryReport();
        window.showChapterReport();
        QCOMPARE(window.hostedTool(), editor);
        QCOMPARE(editor->editor().chapterText(), QStringLiteral("100"));
        QCOMPARE(lines.keyOf(grid->currentIndex().row()), current);
        QCOMPARE(grid->currentIndex().column(), 4);
        QVERIFY(window.toolAction(QStringLiteral("合同清单"))->isChecked());
        // Report B stored the premium (its chooser was accepted unseen here, so the chapter's report
        // was not built; the whole set stores it as well).
        window.showBidSet();
        const qint64 premium =
            dm->database()
                .scalar(QStringLiteral("select 合同金额 from jd_htqd where 合同编号='A1' and 细目编号='101-1-a'"))
                .toLongLong();
        QVERIFY(premium > 1);
        QCOMPARE(
            lines.value(editor->editor().findItem(QStringLiteral("101-1-a")), QStringLiteral("合同金额")).toLongLong(),
            premium);
        QCOMPARE(editor->editor().liveTotals().insurance(), premium);
        MessageBox::takeShown();
    }

    void provisionalButtonStaysPressedWhileItsReportIsOnView() {
        test::TempDataFile file(true);
        auto dm = file.open();
        MainWindow window(*dm);
        QVERIFY(window.start(loginAsHuajian));
        dm->LoadCurrentContract();
        QAction* button = window.toolAction(QStringLiteral("专项暂定金"));
        bool pressedWhileOnView = false;
        QString shown;
        SetModalHandler([&](QDialog& dialog) {
            if (auto* preview = qobject_cast<ReportPreview*>(&dialog)) {
                pressedWhileOnView = button->isChecked();
                shown = preview->document().title;
            }
            return int(QDialog::Accepted);
        });
        button->trigger();
        QVERIFY(pressedWhileOnView);
        QCOMPARE(shown, QStringLiteral("C.专项暂定金额汇总表"));
        QVERIFY(!button->isChecked());
    }

    void reportEWithoutAContractSaysSoAndShowsNothing() {
        test::TempDataFile file(true);
        auto dm = file.open();
        dm->database().exec(QStringLiteral("delete from 当前选择合同"));
        dm->LoadCurrentContract();
        MainWindow window(*dm);
        QVERIFY(window.start(loginAsHuajian));
        int previews = 0;
        SetModalHandler([&](QDialog& dialog) {
            previews += qobject_cast<ReportPreview*>(&dialog) ? 1 : 0;
            return int(QDialog::Accepted);
        });
        window.showBoqSummaryReport();
        window.showBidSet();
        QCOMPARE(previews, 0);
        QCOMPARE(MessageBox::takeShown(), (QStringList{"请先选择合同", "请先选择合同"}));
    }

    void aboutBox() {
        AboutDialog about;
        QCOMPARE(about.windowTitle(), QStringLiteral("关于..."));
        QVERIFY(about.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QStringList texts;
        for (QLabel* l : about.findChildren<QLabel*>())
            texts << l->text();
        QVERIFY(texts.contains(QStringLiteral("Tenvora")));
        QVERIFY(texts.contains(QStringLiteral("版本号：Version 1.0.0")));
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"

// The help window, the user guide beside the program, "帮助" and F1.
#include "MessageBox.h"
#include "Modal.h"
#include "Settings.h"
#include "WindowTest.h"
#include "boq/BoqEditorWindow.h"
#include "boq/PricingTools.h"
#include "boq/RevisionDialog.h"
#include "data/DataModule.h"
#include "daywork/DayworkEditorWindow.h"
#include "grid/DataGrid.h"
#include "shell/HelpWindow.h"
#include "shell/LoginRules.h"
#include "shell/MainWindow.h"
#include "support/TestSupport.h"

#include <QDialog>
#include <QDir>
#include <QListWidget>
#include <QMenuBar>
#include <QPointer>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

using namespace tenvora;
using namespace tenvora::ui;

namespace {

bool login(DataModule& dm) {
    return LoginRules(dm).login(QStringLiteral("华建路桥工程有限公司"), QStringLiteral("hj2026"));
}

HelpWindow* helpOf(QWidget* owner) {
    return owner->findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

class TestHelp : public QObject {
    Q_OBJECT
private slots:
    void init() {
        test::BeginWindowTest();
        OpenSettings()->clear();
    }
    void cleanup() {
        SetModalHandler({});
        HelpFiles::setProgramFolder({});
        HelpFiles::setDesktopOpener({});
        QCOMPARE(test::EndWindowTest(), QString());
    }

    void everyLinkOfTheGuideLeadsToAPage() {
        const QDir guide(HelpFiles::guideFolder());
        const QStringList pages = guide.entryList({QStringLiteral("*.html")}, QDir::Files);
        QVERIFY(pages.size() >= 15);
        static const QRegularExpression href(QStringLiteral("href=\"([^\"]+)\""));
        for (const QString& page : pages) {
            const QString html = QString::fromUtf8(test::ReadBytes(guide.filePath(page)));
            QVERIFY2(html.contains(QStringLiteral("<title>")), qPrintable(page));
            for (const QRegularExpressionMatch& m : href.globalMatch(html)) {
                const QString link = m.captured(1);
                if (link.startsWith(QStringLiteral("http")))
                    continue;
                const QString file = link.section(QLatin1Char('#'), 0, 0);
                const QString anchor = link.section(QLatin1Char('#'), 1);
                QVERIFY2(guide.exists(file), qPrintable(page + QStringLiteral(" → ") + link));
                if (!anchor.isEmpty())
                    QVERIFY2(QString::fromUtf8(test::ReadBytes(guide.filePath(file)))
                                 .contains(QStringLiteral("name=\"%1\"").arg(anchor)),
                             qPrintable(page + QStringLiteral(" → ") + link));
            }
        }
        // Every page is in the contents, and the contents name no missing page.
        HelpWindow help;
        QStringList listed;
        for (QTreeWidgetItemIterator it(help.contents()); *it; ++it)
            listed << (*it)->data(0, Qt::UserRole).toString();
        listed.sort();
        QStringList shipped = pages;
        shipped.sort();
        QCOMPARE(listed, shipped);
    }

    void f1OpensThePageOfTheWindowInUse_data() {
        QTest::addColumn<int>("tool"); // 0 none, 1 the BoQ editor, 2 the day-work editor
        QTest::addColumn<QString>("page");
        QTest::newRow("main window") << 0 << "main-window.html";
        QTest::newRow("BoQ editor") << 1 << "boq-editor.html";
        QTest::newRow("day-work editor") << 2 << "daywork.html";
    }
    void f1OpensThePageOfTheWindowInUse() {
        QFETCH(int, tool);
        QFETCH(QString, page);
        test::TempDataFile file;
        auto dm = file.open();
        MainWindow window(*dm);
        QVERIFY(window.start(login));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QWidget* focus = &window;
        if (tool == 1) {
            window.showBoqEditor();
            focus = qobject_cast<BoqEditorWindow*>(window.hostedTool())->grid();
        } else if (tool == 2) {
            window.showDayworkEditor();
            focus = qobject_cast<DayworkEditorWindow*>(window.hostedTool())->grid(Schedule::Labour);
        }
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key_F1);
        HelpWindow* help = helpOf(&window);
        QVERIFY(help);
        QVERIFY(help->isVisible());
        QCOMPARE(help->currentPage(), page);
        QVERIFY(!help->browser()->toPlainText().isEmpty());
        // F1 again raises the same window on the new page.
        window.CloseChildForms();
        window.setFocus();
        QTest::keyClick(&window, Qt::Key_F1);
        QCOMPARE(window.findChildren<HelpWindow*>().size(), 1);
        QCOMPARE(help->currentPage(), QStringLiteral("main-window.html"));
    }

    void theHelpWindowsKeys_data() {
        QTest::addColumn<QKeySequence>("key");
        QTest::newRow("Esc") << QKeySequence(Qt::Key_Escape);
        QTest::newRow("Ctrl+W") << QKeySequence(Qt::CTRL | Qt::Key_W);
    }
    void theHelpWindowsKeys() {
        QFETCH(QKeySequence, key);
        test::TempDataFile file;
        auto dm = file.open();
        MainWindow window(*dm);
        QVERIFY(window.start(login));
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QPointer<HelpWindow> help = HelpWindow::showPage(&window, QStringLiteral("boq-editor.html"));
        QVERIFY(QTest::qWaitForWindowActive(help));
        // F1 in the help brings it forward and keeps the page; it opens no second window.
        QTest::keyClick(help->browser(), Qt::Key_F1);
        QCOMPARE(help->currentPage(), QStringLiteral("boq-editor.html"));
        QCOMPARE(window.findChildren<HelpWindow*>().size(), 1);
        QVERIFY(QTest::qWaitForWindowActive(help));
        QTest::keySequence(help->browser(), key);
        QTRY_VERIFY(!help || !help->isVisible());
    }

    void aModalDialogTakesTheOpenHelpWindowOver() {
        test::TempDataFile file;
        auto dm = file.open();
        MainWindow window(*dm);
        QVERIFY(window.start(login));
        window.show();
        QPointer<HelpWindow> help = HelpWindow::showPage(&window, QStringLiteral("boq-editor.html"));
        // A modal dialog asking for help takes the one window over rather than opening another.
        QDialog modal(&window);
        modal.setWindowModality(Qt::ApplicationModal);
        modal.show();
        HelpWindow::showPage(&modal, QStringLiteral("backup.html"));
        QCOMPARE(helpOf(&modal), help.data());
        int open = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            open += qobject_cast<HelpWindow*>(w) && w->isVisible() ? 1 : 0;
        QCOMPARE(open, 1);
    }

    void f1InAModalDialogOpensAHelpWindowUsableThere_data() {
        QTest::addColumn<int>("dialog"); // 0 the bid disk's, 1 the revised bill's list of changes, 2 调价
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("anchor");
        QTest::newRow("生成投标盘") << 0 << "backup.html"
                                    << "biddisk";
        QTest::newRow("导入修订清单") << 1 << "boq-revision.html"
                                      << "";
        QTest::newRow("调价") << 2 << "price-adjust.html"
                              << "";
    }
    void f1InAModalDialogOpensAHelpWindowUsableThere() {
        QFETCH(int, dialog);
        QFETCH(QString, page);
        QFETCH(QString, anchor);
        test::TempDataFile file;
        auto dm = file.open();
        MainWindow window(*dm);
        QVERIFY(window.start(login));
        QString shownPage;
        QString shownAnchor;
        bool usable = false;
        SetModalHandler([&](QDialog& modal) {
            modal.setWindowModality(Qt::ApplicationModal);
            modal.show();
            if (!QTest::qWaitForWindowActive(&modal))
                return int(QDialog::Rejected);
            QTest::keyClick(&modal, Qt::Key_F1);
            if (HelpWindow* help = helpOf(&modal)) {
                shownPage = help->currentPage();
                shownAnchor = help->browser()->source().fragment();
                // A window of the modal dialog's own is not blocked by it.
                usable = help->isVisible() && help->isWindow() && help->parentWidget() == &modal;
            }
            return int(QDialog::Rejected);
        });
        if (dialog == 0) {
            window.writeBidDisk();
        } else if (dialog == 2) {
            window.showBoqEditor();
            qobject_cast<BoqEditorWindow*>(window.hostedTool())->pricingTools()->adjust();
        } else {
            BoqRevisionPlan plan;
            plan.contract = QStringLiteral("A1");
            RevisionDialog revision(*dm, plan, &window);
            ExecModal(revision);
        }
        QCOMPARE(shownPage, page);
        QCOMPARE(shownAnchor, anchor);
        QVERIFY(usable);
        MessageBox::takeShown();
    }

    // A command added to the menus or the toolbar without its line in the guide is caught here.
    void everyCommandOfTheMainWindowIsOnItsPage() {
        test::TempDataFile file;
        auto dm = file.open();
        MainWindow window(*dm);
        const QString html = QString::fromUtf8(
            test::ReadBytes(QDir(HelpFiles::guideFolder()).filePath(QStringLiteral("main-window.html"))));
        QTextDocument page;
        page.setHtml(html);
        const QString text = page.toPlainText();
        // As the guide writes a caption: "合同管理(&H)" reads "合同管理(H)", a key after a tab is left out.
        const auto shown = [](QString caption) {
            return caption.section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&'));
        };
        QStringList missing;
        QStringList captions;
        for (QAction* menu : window.menuBar()->actions()) {
            captions << shown(menu->text());
            if (menu->menu())
                for (QAction* entry : menu->menu()->actions())
                    if (!entry->isSeparator())
                        captions << shown(entry->text());
        }
        QToolBar* bar = window.findChild<QToolBar*>(QStringLiteral("ToolBar1"));
        QVERIFY(bar);
        for (QAction* a : bar->actions())
            if (!a->isSeparator() && !a->text().isEmpty())
                captions << shown(a->text());
        for (QToolButton* button : bar->findChildren<QToolButton*>(QStringLiteral("ToolButton10")))
            captions << button->text();
        QVERIFY(captions.size() > 20);
        for (const QString& caption : captions)
            if (!text.contains(caption))
                missing << caption;
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral("、"))));
        // Nothing on the page calls a command unavailable: every one of them works.
        QVERIFY(!text.contains(QStringLiteral("尚未提供")));
    }

    void helpPrefersTheCompiledHelpFileWhereTheDesktopOpensIt() {
        test::TempDataFile file;
        auto dm = file.open();
        MainWindow window(*dm);
        QVERIFY(window.start(login));
        QTemporaryDir folder;
        QVERIFY(test::WriteBytes(QDir(folder.path()).filePath(QStringLiteral("tb.chm")), QByteArrayLiteral("ITSF")));
        HelpFiles::setProgramFolder(folder.path());
        QStringList asked;
        bool opens = true;
        HelpFiles::setDesktopOpener([&](const QString& path) {
            asked << path;
            return opens;
        });
        window.showHelp();
        QCOMPARE(asked, QStringList{QDir(folder.path()).filePath(QStringLiteral("tb.chm"))});
        QVERIFY(!helpOf(&window));

        // Nothing on this desktop opens it: the guide instead (here missing, and said so).
        opens = false;
        window.showHelp();
        QVERIFY(helpOf(&window));
        QVERIFY(helpOf(&window)->browser()->toPlainText().contains(QStringLiteral("找不到帮助文件")));
        delete helpOf(&window);

        // No tb.chm beside the program: the guide, and the desktop is not asked.
        HelpFiles::setProgramFolder({});
        asked.clear();
        window.showHelp();
        QVERIFY(asked.isEmpty());
        QCOMPARE(helpOf(&window)->currentPage(), QStringLiteral("index.html"));
    }

    void contentsAndSearch() {
        HelpWindow help;
        help.show();
        help.openPage(QStringLiteral("index.html"));
        QCOMPARE(help.windowTitle(), QStringLiteral("Tenvora 帮助 - Tenvora 用户指南"));
        const QList<QTreeWidgetItem*> rules =
            help.contents()->findItems(QStringLiteral("报价规则"), Qt::MatchExactly | Qt::MatchRecursive);
        QCOMPARE(rules.size(), 1);
        QVERIFY(rules.first()->parent()); // under the BoQ editor's page
        emit help.contents()->itemClicked(rules.first(), 0);
        QCOMPARE(help.currentPage(), QStringLiteral("pricing-rules.html"));

        help.search(QStringLiteral("暂定金总额"));
        QVERIFY(help.results()->count() >= 2);
        const QString first = help.results()->item(0)->data(Qt::UserRole).toString();
        QCOMPARE(help.currentPage(), first);
        QVERIFY(!help.browser()->extraSelections().isEmpty());
        for (const QTextEdit::ExtraSelection& mark : help.browser()->extraSelections())
            QCOMPARE(mark.cursor.selectedText(), QStringLiteral("暂定金总额"));
        // The page that says most about it comes first.
        const auto count = [&](int row) {
            return help.results()->item(row)->text().section(QStringLiteral("（"), 1).toInt();
        };
        for (int row = 1; row < help.results()->count(); ++row)
            QVERIFY(count(row) <= count(row - 1));

        help.search(QStringLiteral("没有这个词语"));
        QCOMPARE(help.results()->count(), 1);
        QCOMPARE(help.results()->item(0)->text(), QStringLiteral("没有找到“没有这个词语”"));
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"

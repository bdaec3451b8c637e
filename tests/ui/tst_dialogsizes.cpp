// Every dialog and window fits a 1024x768 screen: its buttons are never off the screen.
#include "MessageBox.h"
#include "Settings.h"
#include "WindowTest.h"
#include "boq/BoqEditor.h"
#include "boq/BoqImportDialog.h"
#include "boq/ContractSelectionDialog.h"
#include "boq/PriceAdjustmentDialog.h"
#include "boq/RevisionDialog.h"
#include "data/DataModule.h"
#include "datamgmt/DataCopyDialog.h"
#include "datamgmt/DataFileCopies.h"
#include "datamgmt/RestoreDialog.h"
#include "owner/ClearingWindow.h"
#include "owner/IssueDialog.h"
#include "owner/OwnerAccountsDialog.h"
#include "owner/OwnerEntryDialog.h"
#include "owner/OwnerLogin.h"
#include "owner/OwnerMainWindow.h"
#include "owner/OwnerTables.h"
#include "owner/TenderCheckWindow.h"
#include "owner/TenderFileChooser.h"
#include "preview/ReportPreview.h"
#include "reports/BoqChapterReport.h"
#include "reports/ChapterReportDialog.h"
#include "reports/ReportRunner.h"
#include "shell/AboutDialog.h"
#include "shell/HelpWindow.h"
#include "shell/LoginDialog.h"
#include "shell/MainWindow.h"
#include "support/TestSupport.h"

#include <QTest>

using namespace tenvora;
using namespace tenvora::ui;

namespace {

// A 1024x768 screen less a panel and the window's own frame and title bar.
const QSize kRoom = QSize(1024, 768 - 32) - QSize(16, 48);

} // namespace

class TestDialogSizes : public QObject {
    Q_OBJECT
private slots:
    void init() { test::BeginWindowTest(); }
    void cleanup() { MessageBox::takeShown(); }

    void everyWindowFitsASmallScreen() {
        test::TempDataFile file(true);
        auto dm = file.open();
        dm->LoadCurrentContract();
        BoqEditor editor(*dm);
        ReportRunner runner(*dm);
        BoqRevisionPlan plan;
        plan.contract = QStringLiteral("A1");
        BoqChapterReport report(runner.context(), QStringLiteral("100"));
        QVERIFY(report.build());

        std::vector<std::pair<QString, std::unique_ptr<QWidget>>> windows;
        windows.emplace_back(QStringLiteral("login"), std::make_unique<LoginDialog>(*dm));
        windows.emplace_back(QStringLiteral("contract selection"), std::make_unique<ContractSelectionDialog>(*dm));
        windows.emplace_back(QStringLiteral("import"), std::make_unique<BoqImportDialog>(*dm));
        windows.emplace_back(QStringLiteral("revision"), std::make_unique<RevisionDialog>(*dm, plan));
        windows.emplace_back(QStringLiteral("adjustment"), std::make_unique<PriceAdjustmentDialog>(editor, *dm));
        windows.emplace_back(QStringLiteral("chapter chooser"), std::make_unique<ChapterReportDialog>(runner));
        windows.emplace_back(QStringLiteral("backup"), std::make_unique<DataCopyDialog>(*dm, CopyKind::BidDisk));
        windows.emplace_back(QStringLiteral("restore"), std::make_unique<RestoreDialog>(*dm));
        windows.emplace_back(QStringLiteral("about"), std::make_unique<AboutDialog>());
        windows.emplace_back(QStringLiteral("clearing"), std::make_unique<ClearingWindow>(*dm));
        windows.emplace_back(QStringLiteral("preview"), std::make_unique<ReportPreview>(report.prepare()));
        windows.emplace_back(QStringLiteral("main window"), std::make_unique<MainWindow>(*dm));
        OwnerTables::ensure(dm->database());
        windows.emplace_back(QStringLiteral("owner's login"), std::make_unique<LoginDialog>(OwnerLogin(*dm)));
        windows.emplace_back(QStringLiteral("owner's main window"), std::make_unique<OwnerMainWindow>(*dm));
        windows.emplace_back(QStringLiteral("accounts"), std::make_unique<OwnerAccountsDialog>(*dm));
        windows.emplace_back(QStringLiteral("tender check"), std::make_unique<TenderCheckWindow>(*dm));
        windows.emplace_back(QStringLiteral("issue"), std::make_unique<IssueDialog>(*dm));
        windows.emplace_back(QStringLiteral("tender file"), std::make_unique<TenderFileChooser>());
        windows.emplace_back(
            QStringLiteral("entry"),
            std::make_unique<OwnerEntryDialog>(QStringLiteral("增加细目"),
                                               QList<EntryField>{TextEntry(QStringLiteral("细目编号"), {}),
                                                                 NumberEntry(QStringLiteral("合同数量"), {})},
                                               [](OwnerEntryDialog&) {}));
        for (const auto& [name, window] : windows) {
            // What it needs at least must fit the small screen, and what it takes here fits this one.
            const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());
            QVERIFY2(least.width() <= kRoom.width() && least.height() <= kRoom.height(),
                     qPrintable(QStringLiteral("%1 needs %2x%3").arg(name).arg(least.width()).arg(least.height())));
            const QSize room = ScreenRoomFor(window.get()).expandedTo(least);
            QVERIFY2(
                window->width() <= std::max(room.width(), kRoom.width()) &&
                    window->height() <= std::max(room.height(), kRoom.height()),
                qPrintable(QStringLiteral("%1 opens at %2x%3").arg(name).arg(window->width()).arg(window->height())));
        }
    }

    // A size kept from a larger screen is cut to this one, the window moved onto it.
    void aKeptSizeFromALargerScreenIsCutDown() {
        QTemporaryDir settings;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
        {
            QWidget big;
            KeepWindowGeometry(&big, QStringLiteral("test"));
            big.setGeometry(3000, 2000, 2400, 1800);
            big.show();
            big.close();
        }
        QWidget again;
        QVERIFY(KeepWindowGeometry(&again, QStringLiteral("test")));
        const QRect area = again.screen()->availableGeometry();
        QVERIFY(area.contains(again.geometry()));
    }
};

QTEST_MAIN(TestDialogSizes)
#include "tst_dialogsizes.moc"

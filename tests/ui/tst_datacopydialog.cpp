// The backup dialog and the "数据备份" / "生成投标盘" commands around it.
#include "MessageBox.h"
#include "Modal.h"
#include "WindowTest.h"
#include "data/AppPaths.h"
#include "data/DataModule.h"
#include "data/Database.h"
#include "datamgmt/DataCopyDialog.h"
#include "datamgmt/DataFileCopies.h"
#include "datamgmt/DataManagement.h"
#include "datamgmt/FolderChooser.h"
#include "shell/UiStyle.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTest>
#include <QTreeView>

using namespace tenvora;
using namespace tenvora::ui;

namespace {

using Command = DataManagement::Outcome (*)(DataModule&, QWidget*, const std::function<void()>&);

} // namespace

class TestDataCopyDialog : public QObject {
    Q_OBJECT
private slots:
    void init() { test::BeginWindowTest(); }
    void cleanup() { QCOMPARE(test::EndWindowTest(), QString()); }

    void modeSetsCaptionPromptAndMessage_data() {
        QTest::addColumn<bool>("bidDisk");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<QString>("message");
        QTest::newRow("backup") << false << QStringLiteral("数据备份") << QStringLiteral("请选择数据备份的路径:")
                                << QStringLiteral("数据文件: 备份完毕!!!");
        QTest::newRow("bid disk") << true << QStringLiteral("生成投标盘") << QStringLiteral("请选择生成投标盘的路径:")
                                  << QStringLiteral("投标数据盘生成完毕!!!");
    }
    void modeSetsCaptionPromptAndMessage() {
        QFETCH(bool, bidDisk);
        QFETCH(QString, caption);
        QFETCH(QString, prompt);
        QFETCH(QString, message);
        test::TempDataFile file;
        auto dm = file.open();
        dm->closeConnection();
        QTemporaryDir target;

        DataCopyDialog form(*dm, bidDisk ? CopyKind::BidDisk : CopyKind::Backup);
        QCOMPARE(form.windowTitle(), caption);
        QCOMPARE(form.promptLabel()->text(), prompt);
        QCOMPARE(form.okButton()->text(), QStringLiteral("确定(&O)"));
        QCOMPARE(form.closeButton()->text(), QStringLiteral("关闭(&C)"));
        QVERIFY(form.folderChooser()->setFolder(target.path()));
        form.fileNameField()->setText(QStringLiteral("投标盘"));
        form.okButton()->click();
        // The message names the file written.
        const QString written = target.filePath(QStringLiteral("投标盘"));
        QCOMPARE(MessageBox::takeShown(), QStringList{message + QLatin1Char('\n') + QDir::toNativeSeparators(written)});
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(test::ReadBytes(written), test::ReadBytes(file.path()));
        // The next copy of this kind opens in the folder of this one.
        DataCopyDialog next(*dm, bidDisk ? CopyKind::BidDisk : CopyKind::Backup);
        QCOMPARE(QDir(next.folderChooser()->folder()), QDir(target.path()));
    }

    void aNameIsProposedAndAReplacementAnnounced_data() {
        QTest::addColumn<bool>("bidDisk");
        QTest::addColumn<QString>("pattern");
        QTest::newRow("backup") << false << QStringLiteral(R"(^VORQEL-备份-\d{8}-\d{4}\.tr$)");
        QTest::newRow("bid disk") << true << QStringLiteral(R"(^A1合同段-投标盘-\d{8}\.tr$)");
    }
    void aNameIsProposedAndAReplacementAnnounced() {
        QFETCH(bool, bidDisk);
        QFETCH(QString, pattern);
        test::TempDataFile file;
        auto dm = file.open();
        dm->LoadCurrentContract();
        dm->closeConnection();
        QTemporaryDir target;
        DataCopyDialog form(*dm, bidDisk ? CopyKind::BidDisk : CopyKind::Backup);
        const QString proposed = form.fileNameField()->text();
        QVERIFY2(QRegularExpression(pattern).match(proposed).hasMatch(), qPrintable(proposed));
        QVERIFY(proposed.contains(QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))));
        QCOMPARE(form.fileNameField()->selectedText(), proposed);

        form.show();
        QVERIFY(form.folderChooser()->setFolder(target.path()));
        QVERIFY(form.replaceNotice()->isHidden());
        // A file that appeared unannounced is announced at "确定" instead of being replaced unseen.
        QVERIFY(test::WriteBytes(target.filePath(proposed), QByteArrayLiteral("old copy")));
        form.okButton()->click();
        QVERIFY(form.replaceNotice()->isVisible());
        QCOMPARE(form.replaceNotice()->text(), QStringLiteral("该文件已存在，确定后将被替换。"));
        QCOMPARE(test::ReadBytes(target.filePath(proposed)), QByteArrayLiteral("old copy"));
        QVERIFY(MessageBox::takeShown().isEmpty());
        // The notice follows the name as it changes.
        form.fileNameField()->setText(QStringLiteral("another.tr"));
        QVERIFY(form.replaceNotice()->isHidden());
        form.fileNameField()->setText(proposed);
        QVERIFY(form.replaceNotice()->isVisible());
        // Once said, the copy replaces the file, as it always has.
        form.okButton()->click();
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(test::ReadBytes(target.filePath(proposed)), test::ReadBytes(file.path()));
    }

    void targetPathFollowsFolderAndName() {
        test::TempDataFile file;
        auto dm = file.open();
        dm->closeConnection();
        QTemporaryDir target;
        DataCopyDialog form(*dm, CopyKind::Backup);
        QCOMPARE(form.targetLabel()->path(),
                 DataFileCopies::TargetPath(form.folderChooser()->folder(), form.fileNameField()->text()));

        QVERIFY(form.folderChooser()->setFolder(target.path()));
        QCOMPARE(form.targetLabel()->path(), target.filePath(form.fileNameField()->text()));
        QTest::keyClicks(form.fileNameField(), QStringLiteral("a b")); // replaces the proposed name, which is selected
        QCOMPARE(form.targetLabel()->path(), target.filePath(QStringLiteral("a b")));
        QVERIFY(form.folderChooser()->setFolder(QStringLiteral("/")));
        QCOMPARE(form.targetLabel()->path(), QStringLiteral("/a b"));
        QCOMPARE(form.targetLabel()->palette().color(QPalette::WindowText), QColor(Qt::blue));
        QVERIFY(form.targetLabel()->wordWrap());
        QVERIFY(!form.folderChooser()->setFolder(target.filePath(QStringLiteral("missing"))));
        QCOMPARE(form.folderChooser()->folder(), QStringLiteral("/"));
    }

    void refusalsKeepTheDialogOpen_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("no name") << QStringLiteral("") << QStringLiteral("请输入备份文件名!!!");
        QTest::newRow("a folder's name") << QStringLiteral("sub") << QStringLiteral("备份没有完成：");
    }
    void refusalsKeepTheDialogOpen() {
        QFETCH(QString, name);
        QFETCH(QString, message);
        test::TempDataFile file;
        auto dm = file.open();
        dm->closeConnection();
        QTemporaryDir target;
        QVERIFY(QDir(target.path()).mkdir(QStringLiteral("sub")));

        DataCopyDialog form(*dm, CopyKind::Backup);
        QSignalSpy accepted(&form, &QDialog::accepted);
        QVERIFY(form.folderChooser()->setFolder(target.path()));
        form.fileNameField()->setText(name);
        form.okButton()->click();
        const QStringList shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().startsWith(message), qPrintable(shown.first()));
        QCOMPARE(accepted.count(), 0);
        QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void looksLikeTheSystemsDialog() {
        test::TempDataFile file;
        auto dm = file.open();
        dm->closeConnection();
        QTemporaryDir target;
        QVERIFY(QDir(target.path()).mkdir(QStringLiteral("子文件夹")));
        QFile plain(target.filePath(QStringLiteral("not-a-folder.txt")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();

        DataCopyDialog form(*dm, CopyKind::Backup);
        QVERIFY(form.folderChooser()->setFolder(target.path()));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(SongFamilies().contains(QFontInfo(form.font()).family()));
        QCOMPARE(form.font().pixelSize(), 16);
        QCOMPARE(QFontInfo(form.targetLabel()->font()).pixelSize(), 16);

        // The home folder is one of the drives; the tree shows folders only.
        QComboBox* drives = form.folderChooser()->driveBox();
        QVERIFY(drives->count() >= 1);
        QCOMPARE(drives->itemData(0).toString(), QDir::homePath());
        QTreeView* tree = form.folderChooser()->folderTree();
        // Indexes are taken afresh: the folder model loads in the background and re-sorts.
        QTRY_COMPARE(tree->model()->rowCount(tree->currentIndex()), 1);
        QCOMPARE(tree->model()->index(0, 0, tree->currentIndex()).data().toString(), QStringLiteral("子文件夹"));

        // Choosing a drive moves the tree to its root.
        drives->setCurrentIndex(0);
        emit drives->activated(0);
        QCOMPARE(form.folderChooser()->folder(), QDir::homePath());

        const QString grabs = qEnvironmentVariable("TENVORA_GRAB_DIR");
        if (!grabs.isEmpty()) {
            form.folderChooser()->setFolder(target.path());
            form.fileNameField()->setText(QStringLiteral("投标盘-2026"));
            form.grab().save(QDir(grabs).filePath(QStringLiteral("databak.png")));
        }
    }

    void commandsCloseTheToolAndTheConnectionAroundTheDialog_data() {
        QTest::addColumn<bool>("bidDisk");
        QTest::addColumn<QString>("caption");
        QTest::newRow("数据备份") << false << QStringLiteral("数据备份");
        QTest::newRow("生成投标盘") << true << QStringLiteral("生成投标盘");
    }
    void commandsCloseTheToolAndTheConnectionAroundTheDialog() {
        QFETCH(bool, bidDisk);
        QFETCH(QString, caption);
        test::TempDataFile file;
        auto dm = file.open();
        dm->session().CurContractID = QStringLiteral("stale");
        const QByteArray before = test::ReadBytes(file.path());

        QStringList steps;
        SetModalHandler([&](QDialog& dialog) {
            auto* form = qobject_cast<DataCopyDialog*>(&dialog);
            steps << (form ? form->windowTitle() : QStringLiteral("?"));
            steps << (dm->isConnected() ? QStringLiteral("connected") : QStringLiteral("closed"));
            form->closeButton()->click(); // 关闭
            return dialog.result();
        });
        const Command command = bidDisk ? &DataManagement::bidDisk : &DataManagement::backup;
        const auto outcome = command(*dm, nullptr, [&] {
            steps << (dm->isConnected() ? QStringLiteral("tool closed") : QStringLiteral("tool closed too late"));
        });

        QCOMPARE(outcome, DataManagement::Outcome::Continue);
        QCOMPARE(steps, (QStringList{QStringLiteral("tool closed"), caption, QStringLiteral("closed")}));
        QVERIFY(dm->isConnected());
        QCOMPARE(dm->session().CurContractID, QStringLiteral("A1"));
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(test::ReadBytes(file.path()), before);
    }

    void theCommandCopiesWhatTheDialogChose() {
        test::TempDataFile file;
        auto dm = file.open();
        QTemporaryDir target;
        SetModalHandler([&](QDialog& dialog) {
            auto* form = qobject_cast<DataCopyDialog*>(&dialog);
            form->folderChooser()->setFolder(target.path());
            form->fileNameField()->setText(QStringLiteral("bid.tr"));
            form->okButton()->click();
            return dialog.result();
        });
        QCOMPARE(DataManagement::bidDisk(*dm, nullptr, {}), DataManagement::Outcome::Continue);
        QCOMPARE(MessageBox::takeShown(),
                 QStringList{DataCopyDialog::doneText(QStringLiteral("投标数据盘生成完毕!!!"),
                                                      target.filePath(QStringLiteral("bid.tr")))});
        QVERIFY(dm->isConnected());
        // The copy opens as a data file of its own.
        QVERIFY(
            Database::open(target.filePath(QStringLiteral("bid.tr")), DataFileKey(), Database::Mode::Verify).isOpen());
    }

    void aFileThatNoLongerOpensEndsTheProgram() {
        test::TempDataFile file;
        auto dm = file.open();
        SetModalHandler([&](QDialog& dialog) {
            QFile f(file.path());
            if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
                f.write("overwritten by another program");
            return dialog.result();
        });
        QCOMPARE(DataManagement::backup(*dm, nullptr, {}), DataManagement::Outcome::EndProgram);
        const QStringList shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().startsWith(QStringLiteral("无法重新打开数据文件，程序将退出。")),
                 qPrintable(shown.first()));
        QVERIFY(!dm->isConnected());
    }

    void aToolThatCannotCloseStopsTheCommand() {
        test::TempDataFile file;
        auto dm = file.open();
        bool dialogShown = false;
        SetModalHandler([&](QDialog& dialog) {
            dialogShown = true;
            return dialog.result();
        });
        const auto outcome = DataManagement::backup(*dm, nullptr, [] { throw ActionAbandoned(); });
        QCOMPARE(outcome, DataManagement::Outcome::Continue);
        QVERIFY(!dialogShown);
        QVERIFY(dm->isConnected());
    }
};

QTEST_MAIN(TestDataCopyDialog)
#include "tst_datacopydialog.moc"

// The restore dialog and the "数据恢复" command around it.
#include "MessageBox.h"
#include "Modal.h"
#include "WindowTest.h"
#include "data/AppPaths.h"
#include "data/DataModule.h"
#include "data/Database.h"
#include "datamgmt/DataFileCopies.h"
#include "datamgmt/DataManagement.h"
#include "datamgmt/FolderChooser.h"
#include "datamgmt/RestoreDialog.h"
#include "shell/LoginRules.h"
#include "shell/UiStyle.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

using namespace tenvora;
using namespace tenvora::ui;

namespace {

QStringList listed(const RestoreDialog& form) {
    QStringList names;
    const QAbstractItemModel* model = form.fileList()->model();
    const QModelIndex root = form.fileList()->rootIndex();
    for (int row = 0; row < model->rowCount(root); ++row)
        names << model->index(row, 0, root).data().toString();
    return names;
}

double firstPrice(Database& db) {
    return db
        .scalar(QStringLiteral("SELECT 合同单价 FROM jd_htqd WHERE rowid = "
                               "(SELECT min(rowid) FROM jd_htqd WHERE 合同单价 > 0)"))
        .toDouble();
}

} // namespace

class TestRestoreDialog : public QObject {
    Q_OBJECT
private slots:
    void init() { test::BeginWindowTest(); }
    void cleanup() { QCOMPARE(test::EndWindowTest(), QString()); }

    void listsOrdinaryFilesOfTheFolderByName() {
        test::TempDataFile file;
        auto dm = file.open();
        dm->closeConnection();
        QTemporaryDir dir;
        for (const char* name : {"b.bak", "backup-without-extension", ".hidden", "z.tr", "A.tr", "投标盘"})
            QVERIFY(test::WriteBytes(dir.filePath(QString::fromUtf8(name)), "x"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("a folder")));

        RestoreDialog form(*dm);
        QCOMPARE(form.windowTitle(), QStringLiteral("数据恢复"));
        QCOMPARE(form.promptLabel()->text(), QStringLiteral("请选择原数据的路径:"));
        QCOMPARE(form.restoreButton()->text(), QStringLiteral("恢复(&R)"));
        QCOMPARE(form.closeButton()->text(), QStringLiteral("关闭(&C)"));
        QVERIFY(form.chosenLabel()->path().isEmpty());

        QVERIFY(form.folderChooser()->setFolder(dir.path()));
        // Data files first, each part by name, with size and date beside the name.
        const QStringList expected{QStringLiteral("A.tr"), QStringLiteral("z.tr"), QStringLiteral("b.bak"),
                                   QStringLiteral("backup-without-extension"), QStringLiteral("投标盘")};
        QTRY_COMPARE(listed(form), expected);
        QVERIFY(!form.fileList()->isColumnHidden(1) && !form.fileList()->isColumnHidden(3));
        QCOMPARE(form.fileList()->model()->headerData(1, Qt::Horizontal).toString().isEmpty(), false);

        QVERIFY(form.selectFile(QStringLiteral("b.bak")));
        QCOMPARE(form.chosenLabel()->path(), dir.filePath(QStringLiteral("b.bak")));
        QCOMPARE(form.selectedFile(), dir.filePath(QStringLiteral("b.bak")));
        QCOMPARE(form.chosenLabel()->palette().color(QPalette::WindowText), QColor(Qt::blue));

        // Another folder drops the selection: nothing from the old folder can be restored by mistake.
        QVERIFY(form.folderChooser()->setFolder(dir.filePath(QStringLiteral("a folder"))));
        QVERIFY(form.chosenLabel()->path().isEmpty());
        QVERIFY(form.selectedFile().isEmpty());
    }

    void refusalsKeepTheDialogOpenAndTheDataFileUnchanged_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("message");
        const QString missing = QStringLiteral("数据库文件 不存在，请检查路径是否正确!!!");
        const QString notOurs = QStringLiteral("所选文件不是本系统可用的数据文件");
        QTest::newRow("nothing selected") << QString() << QByteArray() << missing;
        QTest::newRow("a text file") << QStringLiteral("notes.txt") << QByteArray("备忘\n").repeated(100) << notOurs;
        QTest::newRow("an empty file") << QStringLiteral("zero.tr") << QByteArray() << notOurs;
    }
    void refusalsKeepTheDialogOpenAndTheDataFileUnchanged() {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, contents);
        QFETCH(QString, message);
        test::TempDataFile file;
        auto dm = file.open();
        dm->closeConnection();
        const QByteArray before = test::ReadBytes(file.path());
        QTemporaryDir dir;
        if (!fileName.isEmpty())
            QVERIFY(test::WriteBytes(dir.filePath(fileName), contents));

        RestoreDialog form(*dm);
        QSignalSpy accepted(&form, &QDialog::accepted);
        QVERIFY(form.folderChooser()->setFolder(dir.path()));
        if (!fileName.isEmpty())
            QTRY_VERIFY(form.selectFile(fileName));
        form.restoreButton()->click();
        const QStringList shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().startsWith(message), qPrintable(shown.first()));
        QCOMPARE(accepted.count(), 0);
        QCOMPARE(test::ReadBytes(file.path()), before);
        QVERIFY(!QFileInfo::exists(DataFileCopies::SafetyCopyPath(file.path())));
    }

    void restoringABackupBringsItsPricesBack() {
        test::TempDataFile file(true);
        auto dm = file.open();
        const double before = firstPrice(dm->database());
        QTemporaryDir dir;
        {
            ConnectionPause pause(*dm);
            DataFileCopies(*dm).backup(dir.path(), QStringLiteral("backup"));
            pause.reopen();
        }
        dm->database().exec(QStringLiteral("UPDATE jd_htqd SET 合同单价 = 合同单价 + 100"));
        dm->session().CurContractID.clear();

        int toolsClosed = 0;
        bool closedWhileShown = false;
        SetModalHandler([&](QDialog& dialog) {
            auto* form = qobject_cast<RestoreDialog*>(&dialog);
            closedWhileShown = !dm->isConnected();
            form->folderChooser()->setFolder(dir.path());
            if (QTest::qWaitFor([&] { return form->selectFile(QStringLiteral("backup")); }))
                form->restoreButton()->click();
            return dialog.result();
        });
        MessageBox::queueAnswer(true);
        const auto outcome = DataManagement::restore(*dm, nullptr, [&] { ++toolsClosed; });

        QCOMPARE(outcome, DataManagement::Outcome::Continue);
        QCOMPARE(toolsClosed, 1);
        QVERIFY(closedWhileShown);
        const QStringList shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown.first().startsWith(QStringLiteral("用所选文件替换当前数据文件吗？")), qPrintable(shown.first()));
        for (const QString& part : {dir.filePath(QStringLiteral("backup")), QStringLiteral("沿江高速公路扩建工程"),
                                    QStringLiteral("A1合同段"), DataFileCopies::SafetyCopyPath(file.path())})
            QVERIFY2(shown.first().contains(part), qPrintable(part));
        QCOMPARE(shown.last(), QStringLiteral("数据库 恢复完毕!!!"));
        QVERIFY(dm->isConnected());
        QCOMPARE(firstPrice(dm->database()), before);
        QCOMPARE(dm->session().CurContractID, QStringLiteral("A1"));
        Database kept =
            Database::open(DataFileCopies::SafetyCopyPath(file.path()), DataFileKey(), Database::Mode::Verify);
        QCOMPARE(firstPrice(kept), before + 100);
    }

    // "否" (the default) keeps the data file; a file without the logged-in unit asks for a login.
    void theQuestionDecidesAndAnotherFilesUnitsAskForALogin() {
        test::TempDataFile file(true);
        auto dm = file.open();
        QVERIFY(LoginRules(*dm).login(QStringLiteral("华建路桥工程有限公司"), QStringLiteral("hj2026")));
        QTemporaryDir dir;
        const QString other = dir.filePath(QStringLiteral("other.tr"));
        {
            test::TempDataFile foreign;
            QVERIFY(QFile::copy(foreign.path(), other));
            Database db = Database::open(other, DataFileKey());
            db.exec(QStringLiteral("delete from pass where unit = '华建路桥工程有限公司'"));
        }
        const QByteArray before = test::ReadBytes(file.path());
        const auto restoreOther = [&] {
            SetModalHandler([&](QDialog& dialog) {
                auto* form = qobject_cast<RestoreDialog*>(&dialog);
                form->folderChooser()->setFolder(dir.path());
                if (QTest::qWaitFor([&] { return form->selectFile(QStringLiteral("other.tr")); }))
                    form->restoreButton()->click();
                if (dialog.result() != QDialog::Accepted)
                    form->closeButton()->click();
                return dialog.result();
            });
            return DataManagement::restore(*dm, nullptr, {});
        };

        MessageBox::queueAnswer(false);
        QCOMPARE(restoreOther(), DataManagement::Outcome::Continue);
        QCOMPARE(MessageBox::takeShown().size(), 1); // the question only
        QCOMPARE(test::ReadBytes(file.path()), before);
        QVERIFY(!QFileInfo::exists(DataFileCopies::SafetyCopyPath(file.path())));

        MessageBox::queueAnswer(true);
        QCOMPARE(restoreOther(), DataManagement::Outcome::Relogin);
        const QStringList shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown.at(1), QStringLiteral("数据库 恢复完毕!!!"));
        QCOMPARE(shown.at(2), DataManagement::reloginText(QStringLiteral("华建路桥工程有限公司")));
        QVERIFY(dm->isConnected());
    }

    void closeRestoresNothingButReopens() {
        test::TempDataFile file;
        auto dm = file.open();
        const QByteArray before = test::ReadBytes(file.path());
        SetModalHandler([&](QDialog& dialog) {
            auto* form = qobject_cast<RestoreDialog*>(&dialog);
            form->closeButton()->click();
            return dialog.result();
        });
        QCOMPARE(DataManagement::restore(*dm, nullptr, {}), DataManagement::Outcome::Continue);
        QVERIFY(dm->isConnected());
        QVERIFY(MessageBox::takeShown().isEmpty());
        QCOMPARE(test::ReadBytes(file.path()), before);
    }

    void looksLikeTheSystemsDialog() {
        test::TempDataFile file;
        auto dm = file.open();
        dm->closeConnection();
        RestoreDialog form(*dm);
        QVERIFY(form.folderChooser()->setFolder(QFileInfo(file.path()).absolutePath()));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(SongFamilies().contains(QFontInfo(form.font()).family()));
        QCOMPARE(QFontInfo(form.fileList()->font()).pixelSize(), 16);
        QTRY_VERIFY(form.selectFile(QStringLiteral("VORQEL.tr")));

        const QString grabs = qEnvironmentVariable("TENVORA_GRAB_DIR");
        if (!grabs.isEmpty())
            form.grab().save(QDir(grabs).filePath(QStringLiteral("datarest.png")));
    }
};

QTEST_MAIN(TestRestoreDialog)
#include "tst_restoredialog.moc"

// The chapter chooser of report B and the report runner around it.
#include "MessageBox.h"
#include "Modal.h"
#include "WindowTest.h"
#include "data/DataModule.h"
#include "preview/ReportPreview.h"
#include "reports/ChapterReportDialog.h"
#include "reports/ReportRunner.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace tenvora;
using namespace tenvora::ui;

namespace {

// Plays the user's part: the chooser handler runs while the chooser is up, previews are
// recorded and closed at once.
struct Script {
    std::function<void(ChapterReportDialog&)> chooser;
    QStringList previews; // text dump of each preview shown
    int others = 0;

    void install() {
        SetModalHandler([this](QDialog& dialog) {
            if (auto* preview = qobject_cast<ReportPreview*>(&dialog)) {
                previews << report::TextDump(preview->document());
                return int(QDialog::Accepted);
            }
            if (auto* form = qobject_cast<ChapterReportDialog*>(&dialog)) {
                form->show(); // shows it as the modal loop would, which fills the list
                chooser(*form);
                const bool open = form->isVisible();
                form->hide();
                return int(open ? QDialog::Rejected : form->result());
            }
            ++others;
            return int(QDialog::Rejected);
        });
    }
};

} // namespace

class TestChapterReportDialog : public QObject {
    Q_OBJECT
private slots:
    void init() { test::BeginWindowTest(); }
    void cleanup() { QCOMPARE(test::EndWindowTest(), QString()); }

    void savingTheReportProposesANameFromTheReportAndTheContract() {
        test::TempDataFile file(true);
        auto dm = file.open();
        dm->LoadCurrentContract();
        ReportRunner runner(*dm);
        QStringList proposed;
        SetModalHandler([&](QDialog& dialog) {
            if (auto* preview = qobject_cast<ReportPreview*>(&dialog)) {
                preview->findChild<QAction*>(QStringLiteral("保存"))->trigger(); // cancelled: nothing queued
                proposed << FileDialog::takeProposed();
                return int(QDialog::Accepted);
            }
            auto* form = qobject_cast<ChapterReportDialog*>(&dialog);
            form->show();
            form->chapterBox()->setCurrentIndex(1);
            form->okButton()->click();
            form->hide();
            return int(QDialog::Rejected);
        });
        runner.runReportB(nullptr);
        QCOMPARE(proposed.size(), 1);
        QCOMPARE(QFileInfo(proposed.first()).fileName(), QStringLiteral("B.工程量清单报表（第200章）-A1合同段.pdf"));
    }

    void listsChaptersWithNamesAndStaysOpenAfterEachReport() {
        test::TempDataFile file(true);
        auto dm = file.open();
        dm->LoadCurrentContract();
        ReportRunner runner(*dm);
        Script script;
        QString titleWhileOpen;
        script.chooser = [&](ChapterReportDialog& form) {
            titleWhileOpen = dm->session().MainTitle;
            QCOMPARE(form.windowTitle(), QStringLiteral("选择清单编号"));
            QVERIFY(form.findChild<QLabel*>()->text() == QStringLiteral("请选择细目编号"));
            QComboBox* combo = form.chapterBox();
            QCOMPARE(combo->count(), 7);
            QCOMPARE(combo->currentIndex(), 0);
            QCOMPARE(combo->itemText(0), QStringLiteral("100  总则"));
            QCOMPARE(combo->itemText(6), QStringLiteral("700  绿化及环境保护"));
            QVERIFY(!combo->isEditable());

            QTest::mouseClick(form.okButton(), Qt::LeftButton);
            combo->setCurrentIndex(2);
            QTest::mouseClick(form.okButton(), Qt::LeftButton);
            QVERIFY(form.isVisible());
            QCOMPARE(combo->currentIndex(), 2);
            QTest::mouseClick(form.cancelButton(), Qt::LeftButton);
            QVERIFY(!form.isVisible());
        };
        script.install();
        runner.runReportB(nullptr);

        QCOMPARE(script.previews.size(), 2);
        QVERIFY(script.previews[0].contains(QStringLiteral("清单 第100章 合计 人民币")));
        QVERIFY(script.previews[0].contains(QStringLiteral("A1合同段：K0+000~K12+500")));
        QVERIFY(script.previews[1].contains(QStringLiteral("清单 第300章 合计 人民币")));
        QCOMPARE(titleWhileOpen, QStringLiteral("Tenvora---选择清单编号"));
        QCOMPARE(dm->session().MainTitle, QStringLiteral("Tenvora"));
        QCOMPARE(MessageBox::takeShown(), QStringList());
    }

    void noRecordsShowsTheMessageAndNoPreview() {
        test::TempDataFile file(true);
        auto dm = file.open();
        dm->LoadCurrentContract();
        dm->session().CurContractID = QStringLiteral("B1"); // a section without a bill
        ReportRunner runner(*dm);
        Script script;
        script.chooser = [&](ChapterReportDialog& form) {
            QCOMPARE(form.chapterBox()->count(), 0);
            QTest::mouseClick(form.okButton(), Qt::LeftButton);
            QVERIFY(form.isVisible());
            form.cancel();
        };
        script.install();
        runner.runReportB(nullptr);
        QVERIFY(script.previews.isEmpty());
        QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("没有纪录")});
        QCOMPARE(MessageBox::takeErrors(), QStringList()); // a refusal, not a failure
    }

    void missingTemplateIsNamedAndNothingIsPreviewed() {
        test::TempDataFile file(true);
        auto dm = file.open();
        dm->LoadCurrentContract();
        QTemporaryDir program;
        ReportRunner runner(*dm, program.path());
        Script script;
        script.chooser = [&](ChapterReportDialog& form) {
            QTest::mouseClick(form.okButton(), Qt::LeftButton);
            QVERIFY(form.isVisible());
            form.reject();
        };
        script.install();
        runner.runReportB(nullptr);
        QVERIFY(script.previews.isEmpty());
        const QStringList errors = MessageBox::takeErrors();
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.first().startsWith(QStringLiteral("找不到报表模板文件")));
        QVERIFY(errors.first().contains(QStringLiteral("gclqd.xml")));
        QCOMPARE(MessageBox::takeShown(), errors); // one box, with the error icon
    }
};

QTEST_MAIN(TestChapterReportDialog)
#include "tst_chapterreportdialog.moc"

// "导入修订清单" and "导出Excel文件": the revision's list of changes, confirming and cancelling it,
// and both commands from the main window's menu with the BoQ editor hosted.
#include "MessageBox.h"
#include "Modal.h"
#include "WindowTest.h"
#include "boq/BoqEditorWindow.h"
#include "boq/BoqExport.h"
#include "boq/ExcelCommands.h"
#include "boq/RevisionDialog.h"
#include "data/BoqWorkbooks.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "grid/DataGrid.h"
#include "shell/LoginRules.h"
#include "shell/MainWindow.h"
#include "support/TestSupport.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace tenvora;
using namespace tenvora::ui;

namespace {

QVariant stored(DataModule& dm, const QString& item, const QString& column) {
    return dm.database().scalar(
        QStringLiteral("select \"%1\" from jd_htqd where 合同编号='A1' and 细目编号=?").arg(column), {item});
}

// A caption without its access letter: "合同管理(&H)" reads "合同管理".
QString plain(const QString& caption) {
    static const QRegularExpression letter(QStringLiteral(R"(\(&.\)$)"));
    return QString(caption).remove(letter);
}

QAction* menuAction(QMainWindow& window, const QString& menu, const QString& entry) {
    for (QAction* m : window.menuBar()->actions())
        if (plain(m->text()) == menu && m->menu())
            for (QAction* a : m->menu()->actions())
                if (plain(a->text()) == entry)
                    return a;
    return nullptr;
}

} // namespace

class TestRevisionDialog : public QObject {
    Q_OBJECT
private slots:
    void init() {
        MessageBox::setTestMode(true);
        m_file = std::make_unique<test::TempDataFile>(true);
        m_dm = m_file->open();
        m_dm->LoadCurrentContract();
    }
    void cleanup() {
        QCOMPARE(test::EndWindowTest(), QString());
        m_dm.reset();
        m_file.reset();
    }

    void revisionListsTheChangesAndAppliesThemOnlyWhenConfirmed_data() {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("确认修订") << true;
        QTest::newRow("取消") << false;
    }
    void revisionListsTheChangesAndAppliesThemOnlyWhenConfirmed() {
        QFETCH(bool, confirm);
        const QString workbook = revisedWorkbook();
        const QVariant price = stored(*m_dm, QStringLiteral("203-1-a"), QStringLiteral("合同单价"));
        FileDialog::queueFile(workbook);
        QStringList seen;
        SetModalHandler([&](QDialog& dialog) {
            auto* form = qobject_cast<RevisionDialog*>(&dialog);
            if (!form)
                return static_cast<int>(QDialog::Rejected);
            form->show();
            QAbstractItemModelTester tester(form->grid()->model(),
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
            for (int r = 0; r < form->changes().rowCount(); ++r)
                seen << form->changes().value(r, QStringLiteral("变化")).toString() +
                            form->changes().value(r, QStringLiteral("细目编号")).toString();
            const int requantified = 1;
            seen << form->changes().value(requantified, QStringLiteral("新金额")).toString();
            seen << form->summaryLabel()->text();
            if (!qEnvironmentVariableIsEmpty("TENVORA_SCREENSHOTS"))
                form->grab().save(QDir(qEnvironmentVariable("TENVORA_SCREENSHOTS")).filePath("revision.png"));
            seen << (form->confirmButton()->isEnabled() ? QStringLiteral("可确认") : QStringLiteral("不可确认"));
            (confirm ? form->confirmButton() : form->cancelButton())->click();
            return dialog.result();
        });
        QCOMPARE(ReviseBoqFromWorkbook(*m_dm, nullptr), confirm);

        const qlonglong amount = RoundAmount(price.toDouble() * 420000);
        QCOMPARE(seen, (QStringList{QStringLiteral("删除102-4"), QStringLiteral("修改203-1-a"),
                                    QStringLiteral("新增209-1-a"), QString::number(amount),
                                    QStringLiteral("新增 1 行，删除 1 行，修改 1 行，未变 %1 行").arg(m_unchanged),
                                    QStringLiteral("可确认")}));
        const QStringList shown = MessageBox::takeShown();
        const QStringList backups = QDir(m_file->dir()).entryList({QStringLiteral("*.before-revision-*")}, QDir::Files);
        if (confirm) {
            QCOMPARE(shown.size(), 1);
            QVERIFY(shown.first().startsWith(QStringLiteral("修订清单导入完毕：新增 1 行，删除 1 行，修改 1 行")));
            QCOMPARE(stored(*m_dm, QStringLiteral("203-1-a"), QStringLiteral("合同数量")).toDouble(), 420000.0);
            QCOMPARE(stored(*m_dm, QStringLiteral("203-1-a"), QStringLiteral("合同单价")), price);
            QCOMPARE(stored(*m_dm, QStringLiteral("203-1-a"), QStringLiteral("合同金额")).toLongLong(), amount);
            QVERIFY(stored(*m_dm, QStringLiteral("102-4"), QStringLiteral("细目编号")).isNull());
            QCOMPARE(backups.size(), 1);
        } else {
            QCOMPARE(shown, QStringList());
            QCOMPARE(stored(*m_dm, QStringLiteral("203-1-a"), QStringLiteral("合同数量")).toDouble(), 412600.0);
            QVERIFY(backups.isEmpty());
        }
    }

    void aRefusedOrUnreadableRevisionShowsWhyAndOpensNoList() {
        QTemporaryDir dir;
        const QString duplicate = dir.filePath(QStringLiteral("dup.xlsx"));
        QVERIFY(test::WriteWorkbook(duplicate, QJsonArray{test::Sheet(
                                                   BoqImport::sheetName(),
                                                   QJsonArray{test::BoqHeadings(),
                                                              QJsonArray{QStringLiteral("203-1-a"), QStringLiteral("a"),
                                                                         QStringLiteral("m3"), QJsonValue(), 1},
                                                              QJsonArray{QStringLiteral("203-1-a"), QStringLiteral("b"),
                                                                         QStringLiteral("m3"), QJsonValue(), 2}})})
                    .isEmpty());
        const QString broken = dir.filePath(QStringLiteral("broken.xlsx"));
        QVERIFY(test::WriteBytes(broken, QByteArray("PK\x03\x04", 4) + QByteArray(100, 'x')));
        int dialogs = 0;
        SetModalHandler([&](QDialog&) {
            ++dialogs;
            return static_cast<int>(QDialog::Rejected);
        });
        FileDialog::queueFile(duplicate);
        QVERIFY(!ReviseBoqFromWorkbook(*m_dm, nullptr));
        FileDialog::queueFile(broken);
        QVERIFY(!ReviseBoqFromWorkbook(*m_dm, nullptr));
        QVERIFY(!ReviseBoqFromWorkbook(*m_dm, nullptr)); // the file dialog cancelled
        const QStringList shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown[0].contains(QStringLiteral("细目编号“203-1-a”在工作簿中出现 2 次（第 2、3 行）")));
        QVERIFY(shown[1].startsWith(BoqImport::formatMessage()));
        QCOMPARE(dialogs, 0);
    }

    void menuCommandsRunWithTheEditorHosted() {
        MainWindow window(*m_dm);
        QVERIFY(window.start([](DataModule& dm) {
            return LoginRules(dm).login(QStringLiteral("华建路桥工程有限公司"), QStringLiteral("hj2026"));
        }));
        window.show();
        window.showBoqEditor();
        auto* editor = qobject_cast<BoqEditorWindow*>(window.hostedTool());
        QVERIFY(editor);
        for (QAction* a : {editor->importAction(), editor->exportAction(), editor->revisionAction()})
            QVERIFY(a->isVisible());

        QTemporaryDir dir;
        QAction* exportEntry = menuAction(window, QStringLiteral("合同管理"), QStringLiteral("导出Excel文件"));
        QVERIFY(exportEntry);
        FileDialog::queueFile(dir.filePath(QStringLiteral("A1清单")));
        exportEntry->trigger();
        const QString written = dir.filePath(QStringLiteral("A1清单.xlsx"));
        QVERIFY(QFile::exists(written));
        QCOMPARE(window.hostedTool(), editor); // the export leaves the tool where it is
        QVERIFY(MessageBox::takeShown().value(0).startsWith(QStringLiteral("工程量清单已导出到")));

        // The editor's own entry exports too.
        FileDialog::queueFile(dir.filePath(QStringLiteral("again.xlsx")));
        editor->exportAction()->trigger();
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("again.xlsx"))));
        MessageBox::takeShown();

        // The export is a revision that changes nothing.
        QAction* reviseEntry = menuAction(window, QStringLiteral("合同管理"), QStringLiteral("导入修订清单"));
        QVERIFY(reviseEntry);
        FileDialog::queueFile(written);
        reviseEntry->trigger();
        QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("修订清单与当前清单一致，没有需要修改的内容。")});

        // A real one from the menu: the tool closes first and the editor shows the revised bill.
        FileDialog::queueFile(revisedWorkbook());
        SetModalHandler([](QDialog& dialog) {
            if (auto* form = qobject_cast<RevisionDialog*>(&dialog))
                form->confirmButton()->click();
            return dialog.result();
        });
        reviseEntry->trigger();
        QVERIFY(MessageBox::takeShown().value(0).startsWith(QStringLiteral("修订清单导入完毕")));
        QVERIFY(window.hostedTool());
        QVERIFY(window.hostedTool() != editor);
        QCOMPARE(stored(*m_dm, QStringLiteral("203-1-a"), QStringLiteral("合同数量")).toDouble(), 420000.0);
        QVERIFY(m_dm->isConnected());
        QCOMPARE(m_dm->session().CurContractID, QStringLiteral("A1"));
    }

private:
    // The stored bill of A1 with 102-4 gone, 203-1-a re-quantified and 209-1-a new.
    QString revisedWorkbook() {
        Statement st = m_dm->database().prepare(
            QStringLiteral("select 细目编号,细目名称,单位,合同数量 from jd_htqd where 合同编号='A1' and 是否补充=0"));
        QJsonArray rows{test::BoqHeadings()};
        m_unchanged = 0;
        while (st.next()) {
            const QString item = st.value(0).toString();
            if (item == QLatin1String("102-4"))
                continue;
            const QJsonValue quantity = item == QLatin1String("203-1-a") ? QJsonValue(420000)
                                        : st.value(3).isNull()           ? QJsonValue()
                                                                         : QJsonValue(st.value(3).toDouble());
            rows << QJsonArray{item, QJsonValue::fromVariant(st.value(1)), QJsonValue::fromVariant(st.value(2)),
                               QJsonValue(), quantity};
            m_unchanged += item == QLatin1String("203-1-a") ? 0 : 1;
        }
        rows << QJsonArray{QStringLiteral("209-1-a"), QStringLiteral("新增挡土墙"), QStringLiteral("m3"), QJsonValue(),
                           500};
        const QString path = m_dir.filePath(QStringLiteral("修订清单.xlsx"));
        const QString error = test::WriteWorkbook(path, QJsonArray{test::Sheet(BoqImport::sheetName(), rows)});
        if (!error.isEmpty())
            qWarning() << error;
        return path;
    }

    std::unique_ptr<test::TempDataFile> m_file;
    std::unique_ptr<DataModule> m_dm;
    QTemporaryDir m_dir;
    int m_unchanged = 0;
};

QTEST_MAIN(TestRevisionDialog)
#include "tst_revisiondialog.moc"

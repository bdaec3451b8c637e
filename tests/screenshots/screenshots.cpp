// Screenshots of every window of the workbench on a priced demo file, for looking at layouts at a
// screen size and scale factor (run by scripts/screenshots under a virtual display).
// Usage: tenvora-screenshots OUTDIR
#include "MessageBox.h"
#include "Modal.h"
#include "boq/BoqEditorWindow.h"
#include "boq/BoqFindBar.h"
#include "boq/BoqImportDialog.h"
#include "boq/ContractSelectionDialog.h"
#include "boq/PriceAdjustmentDialog.h"
#include "boq/PricingTools.h"
#include "data/DataModule.h"
#include "datamgmt/DataCopyDialog.h"
#include "datamgmt/RestoreDialog.h"
#include "daywork/DayworkEditorWindow.h"
#include "demo/DemoData.h"
#include "grid/DataGrid.h"
#include "grid/DataGridDelegate.h"
#include "preview/ReportPreview.h"
#include "reports/ChapterReportDialog.h"
#include "shell/AboutDialog.h"
#include "shell/Application.h"
#include "shell/HelpWindow.h"
#include "shell/LoginDialog.h"
#include "shell/LoginRules.h"
#include "shell/MainWindow.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>
#include <cstdio>

using namespace tenvora;
using namespace tenvora::ui;

namespace {

QString g_out;

void settle() {
    for (int i = 0; i < 8; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(25);
    }
}

void shot(QWidget* w, const QString& name) {
    settle();
    const QString path = QDir(g_out).filePath(name + QStringLiteral(".png"));
    if (!w->grab().save(path))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

void selectNode(BoqEditorWindow* editor, const QString& text) {
    const auto found = editor->tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    if (!found.isEmpty())
        editor->tree()->setCurrentItem(found.first());
}

} // namespace

int main(int argc, char* argv[]) {
    // Every run looks like a first start, and the user's own settings stay untouched.
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    TenvoraApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/shell/images/app.svg")));
    app.installChinese();
    if (argc < 2) {
        std::fprintf(stderr, "usage: tenvora-screenshots OUTDIR\n");
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_out);

    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("VORQEL.tr"));
    CreateDemoDataFile(path, true, false);
    DataModule dm(path);
    // A very large amount and a long description, as a large bill brings them.
    dm.database().exec(QStringLiteral("UPDATE jd_htqd SET 合同金额 = 123456789012 WHERE 细目编号 = '102-3'"));
    MessageBox::setTestMode(true);
    const QString unit = QStringLiteral("华建路桥工程有限公司");

    {
        LoginDialog login(dm);
        login.show();
        shot(&login, QStringLiteral("01-login"));
        login.passwordField()->setText(QStringLiteral("wrong"));
        login.okButton()->click();
        shot(&login, QStringLiteral("02-login-after-refusal"));
    }

    MainWindow window(dm);
    window.start([&](DataModule& d) { return LoginRules(d).login(unit, QStringLiteral("hj2026")); });
    window.setGeometry(window.screen()->availableGeometry());
    window.show();
    dm.LoadCurrentContract();
    shot(&window, QStringLiteral("03-main"));

    window.showBoqEditor();
    auto* editor = qobject_cast<BoqEditorWindow*>(window.hostedTool());
    selectNode(editor, QStringLiteral("100"));
    DataGrid* grid = editor->grid();
    const int price = grid->gridModel()->columnOfField(QStringLiteral("合同单价"));
    grid->setCurrentIndex(grid->gridModel()->index(6, price)); // the provisional sum: locked
    grid->setFocus();
    QKeyEvent key(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, QStringLiteral("5"));
    QCoreApplication::sendEvent(grid, &key);
    shot(&window, QStringLiteral("04-boq-chapter-100-locked-line"));

    selectNode(editor, QStringLiteral("200"));
    grid->setCurrentIndex(grid->gridModel()->index(2, price));
    shot(&window, QStringLiteral("05-boq-chapter-200"));

    // Pricing aids: a pasted column, a find, and the adjustment's proposal before it is applied.
    grid->setCurrentIndex(grid->gridModel()->index(1, price));
    QGuiApplication::clipboard()->setText(QStringLiteral("12.50\n1,860.00\n33\n"));
    editor->pricingTools()->paste();
    shot(&window, QStringLiteral("05a-boq-after-paste"));
    editor->pricingTools()->findBar()->searchField()->setText(QStringLiteral("沥青"));
    editor->pricingTools()->findBar()->findNext();
    shot(&window, QStringLiteral("05b-boq-find"));
    SetModalHandler([&](QDialog& d) {
        if (auto* adjust = qobject_cast<PriceAdjustmentDialog*>(&d)) {
            adjust->show();
            adjust->byPercent()->setChecked(true);
            adjust->percentField()->setText(QStringLiteral("-3"));
            adjust->propose();
            shot(adjust, QStringLiteral("05c-price-adjustment"));
        }
        return int(QDialog::Rejected);
    });
    editor->pricingTools()->adjust();

    SetModalHandler([&](QDialog& d) {
        d.show();
        shot(&d, QStringLiteral("06-import"));
        return int(QDialog::Rejected);
    });
    emit editor->importRequested();

    window.showDayworkEditor();
    shot(&window, QStringLiteral("07-daywork"));
    {
        // Odd owner content: a labour total without a price and one left from another price,
        // both marked; then text that is no number typed into a price and refused.
        Database& db = dm.database();
        const QString select =
            QStringLiteral("SELECT %1 FROM Jl_ContractList WHERE ContractID='A1' AND bz='1' AND ItemCode=?");
        const QString update = QStringLiteral(
            "UPDATE Jl_ContractList SET UnitPrice=?, TotalMoney=? WHERE ContractID='A1' AND bz='1' AND ItemCode=?");
        QList<QVariantList> kept;
        for (const QString& code : {QStringLiteral("101"), QStringLiteral("103")})
            kept << QVariantList{db.scalar(select.arg(QStringLiteral("UnitPrice")), {code}),
                                 db.scalar(select.arg(QStringLiteral("TotalMoney")), {code}), code};
        db.exec(update, {QVariant(), 1200, QStringLiteral("101")});
        db.exec(update, {kept[1][0], kept[1][1].toLongLong() + 50, QStringLiteral("103")});
        window.showDayworkEditor();
        auto* daywork = qobject_cast<DayworkEditorWindow*>(window.hostedTool());
        DataGrid* labour = daywork->grid(Schedule::Labour);
        shot(&window, QStringLiteral("07a-daywork-marked-totals"));
        labour->setCurrentIndex(
            labour->gridModel()->index(1, labour->gridModel()->columnOfField(QStringLiteral("UnitPrice"))));
        labour->setFocus();
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("1.5万"));
        QCoreApplication::sendEvent(labour, &commit);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        if (QLineEdit* cell = qobject_cast<DataGridDelegate*>(labour->itemDelegate())->openEditor())
            QCoreApplication::sendEvent(cell, &enter);
        shot(&window, QStringLiteral("07b-daywork-refused-text"));
        labour->discardEditor();
        labour->dataSet()->cancelPending();
        for (const QVariantList& row : kept)
            db.exec(update, row);
    }
    window.showBidCheck();
    shot(&window, QStringLiteral("07-bid-check"));

    SetModalHandler([&](QDialog& d) {
        d.show();
        shot(&d, QStringLiteral("08-contract-selection"));
        return int(QDialog::Rejected);
    });
    window.selectContract();

    SetModalHandler([&](QDialog& d) {
        d.show();
        if (auto* chooser = qobject_cast<ChapterReportDialog*>(&d)) {
            shot(chooser, QStringLiteral("09-report-b-chooser"));
            chooser->okButton()->click();
        } else {
            shot(&d, QStringLiteral("10-report-preview"));
        }
        return int(QDialog::Rejected);
    });
    window.showChapterReport();

    const QStringList dataNames = {QStringLiteral("11-backup"), QStringLiteral("12-bid-disk"),
                                   QStringLiteral("13-restore")};
    int step = 0;
    SetModalHandler([&](QDialog& d) {
        d.show();
        shot(&d, dataNames.value(step));
        return int(QDialog::Rejected);
    });
    window.backUpDataFile();
    step = 1;
    MessageBox::queueAnswer(true); // the bid check's question before the bid disk
    window.writeBidDisk();
    step = 2;
    window.restoreDataFile();

    SetModalHandler([&](QDialog& d) {
        d.show();
        shot(&d, QStringLiteral("14-about"));
        return int(QDialog::Rejected);
    });
    window.showAbout();

    // The menus, as Alt or F10 opens them.
    const QList<QAction*> menus = window.menuBar()->actions();
    for (int i = 0; i < menus.size(); ++i) {
        QMenu* menu = menus[i]->menu();
        if (!menu)
            continue;
        menu->popup(window.menuBar()->mapToGlobal(window.menuBar()->actionGeometry(menus[i]).bottomLeft()));
        shot(menu, QStringLiteral("15-menu-%1").arg(i + 1));
        menu->hide();
    }
    SetModalHandler({});
    // F1 in the BoQ editor, then a search.
    window.showBoqEditor();
    auto* boq = qobject_cast<BoqEditorWindow*>(window.hostedTool());
    selectNode(boq, QStringLiteral("100"));
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QCoreApplication::sendEvent(boq->grid(), &f1);
    HelpWindow* help = window.findChild<HelpWindow*>();
    if (help) {
        shot(help, QStringLiteral("16-help-boq-editor"));
        help->search(QStringLiteral("保险费"));
        shot(help, QStringLiteral("17-help-search"));
        help->close();
    }
    window.quitProgram();
    return 0;
}

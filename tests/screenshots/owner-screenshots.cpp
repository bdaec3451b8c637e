// Screenshots of the owner's workbench on the demo file, for looking at layouts at a screen size
// and scale factor (run by scripts/screenshots under a virtual display).
// Usage: tenvora-owner-screenshots OUTDIR
#include "MessageBox.h"
#include "Modal.h"
#include "data/DataModule.h"
#include "demo/DemoData.h"
#include "owner/IssueDialog.h"
#include "owner/OwnerAccounts.h"
#include "owner/OwnerAccountsDialog.h"
#include "owner/OwnerBillPanel.h"
#include "owner/OwnerDayworkPanel.h"
#include "owner/OwnerEntryDialog.h"
#include "owner/OwnerLogin.h"
#include "owner/OwnerMainWindow.h"
#include "owner/TenderCheckWindow.h"
#include "owner/TenderFileChooser.h"
#include "shell/Application.h"
#include "shell/LoginDialog.h"

#include <QDir>
#include <QIcon>
#include <QMenuBar>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
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

// Shows the dialog as a person would see it, takes its picture and closes it.
void shotModal(const QString& name) {
    SetModalHandler([name](QDialog& d) {
        d.show();
        shot(&d, name);
        return int(QDialog::Rejected);
    });
}

} // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    TenvoraApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/shell/images/app.svg")));
    app.installChinese();
    if (argc < 2) {
        std::fprintf(stderr, "usage: tenvora-owner-screenshots OUTDIR\n");
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_out);

    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("招标文件.tr"));
    CreateDemoDataFile(path, false, false);
    DataModule dm(path);
    MessageBox::setTestMode(true);

    {
        TenderFileChooser chooser;
        chooser.show();
        shot(&chooser, QStringLiteral("owner-00-start"));
        shotModal(QStringLiteral("owner-00-new-tender"));
        chooser.createNew();
        SetModalHandler({});
    }
    {
        LoginDialog login(OwnerLogin(dm));
        login.show();
        shot(&login, QStringLiteral("owner-01-login"));
    }

    OwnerMainWindow window(dm);
    window.start([](DataModule& d) {
        OwnerAccounts(d.database()).login(QStringLiteral("业主招标办公室"), QStringLiteral("zb2026"));
        d.session().CurUnitName = QStringLiteral("业主招标办公室");
        return true;
    });
    window.setGeometry(window.screen()->availableGeometry());
    window.show();
    window.billPanel()->goToItem(QStringLiteral("102-3"));
    shot(&window, QStringLiteral("owner-02-main-bill"));

    window.contractTabs()->setCurrentWidget(window.dayworkPanel());
    window.dayworkPanel()->pages()->setCurrentIndex(2);
    shot(&window, QStringLiteral("owner-03-main-daywork"));

    window.selectProject(QStringLiteral("P01"));
    shot(&window, QStringLiteral("owner-04-main-project"));

    window.selectContract(QStringLiteral("A2"));
    window.contractTabs()->setCurrentWidget(window.billPanel());
    shotModal(QStringLiteral("owner-05-add-line"));
    window.billPanel()->addLine();

    shotModal(QStringLiteral("owner-06-accounts"));
    window.showAccounts();

    window.showTenderCheck();
    window.checkWindow()->show();
    shot(window.checkWindow(), QStringLiteral("owner-07-check"));
    window.checkWindow()->close();

    SetModalHandler([](QDialog& d) {
        if (auto* issue = qobject_cast<IssueDialog*>(&d)) {
            issue->show();
            shot(issue, QStringLiteral("owner-08-issue"));
        }
        return int(QDialog::Rejected);
    });
    window.issueTender();
    SetModalHandler({});

    const QList<QAction*> menus = window.menuBar()->actions();
    for (int i = 0; i < menus.size(); ++i) {
        QMenu* menu = menus[i]->menu();
        if (!menu)
            continue;
        menu->popup(window.menuBar()->mapToGlobal(window.menuBar()->actionGeometry(menus[i]).bottomLeft()));
        shot(menu, QStringLiteral("owner-09-menu-%1").arg(i + 1));
        menu->hide();
    }
    MessageBox::takeShown();
    window.close();
    return 0;
}

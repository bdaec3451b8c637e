// MainWindow: the workbench's main window.
#include "shell/MainWindow.h"

#include "MessageBox.h"
#include "Modal.h"
#include "Settings.h"
#include "boq/BidCheckWindow.h"
#include "boq/BoqEditorWindow.h"
#include "boq/BoqImportDialog.h"
#include "boq/ContractSelectionDialog.h"
#include "boq/ExcelCommands.h"
#include "data/DataModule.h"
#include "datamgmt/DataFileCopies.h"
#include "datamgmt/DataManagement.h"
#include "daywork/DayworkEditorWindow.h"
#include "reports/ReportRunner.h"
#include "shell/AboutDialog.h"
#include "shell/ClientPanel.h"
#include "shell/HelpWindow.h"
#include "shell/HostedTool.h"
#include "shell/LoginDialog.h"
#include "shell/StatusPanel.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <span>

namespace tenvora::ui {

namespace {

QIcon shellIcon(const char* name) {
    return QIcon(QStringLiteral(":/shell/images/%1.svg").arg(QLatin1String(name)));
}

} // namespace

MainWindow::MainWindow(DataModule& dm, QWidget* parent)
    : QMainWindow(parent), m_dm(dm), m_reports(std::make_unique<ReportRunner>(dm)) {
    setWindowIcon(shellIcon("app"));
    m_panel1 = new ClientPanel(this);
    m_panel1->setObjectName(QStringLiteral("Panel1"));
    setCentralWidget(m_panel1);
    buildMenus();
    buildToolBar();
    buildStatusBar();
    m_hintTimer = new QTimer(this);
    m_hintTimer->setSingleShot(true);
    m_hintTimer->setInterval(6000);
    connect(m_hintTimer, &QTimer::timeout, this, [this] {
        m_hint.clear();
        UpdateStatusBar();
    });
    // The session announces its changes; the window shows them.
    connect(&m_dm, &DataModule::sessionChanged, this, &MainWindow::UpdateStatusBar);
    connect(&m_dm, &DataModule::toolButtonsReleased, this, &MainWindow::ResetToolButtons);
    FitToScreen(this, QSize(1024, 700));
    m_savedGeometry = KeepWindowGeometry(this, QStringLiteral("main"));
    SetHelpPage(this, QStringLiteral("main-window.html"));
    HelpWindow::installHelpKey();
}

MainWindow::~MainWindow() {
    disconnect(&m_dm, nullptr, this, nullptr);
    closeHostedTool();
}

bool MainWindow::start(const LoginRunner& login) {
    UpdateStatusBar();
    m_dm.setMainCaption();
    m_login = login;
    return runLogin();
}

bool MainWindow::runLogin() {
    if (m_login)
        return m_login(m_dm);
    LoginDialog dialog(m_dm);
    return ExecModal(dialog) == QDialog::Accepted;
}

void MainWindow::buildMenus() {
    // Access letters as Chinese desktop programs show them ("合同管理(H)"), so Alt+letter,
    // Alt or F10 and the arrow keys reach every command.
    QMenu* contracts = menuBar()->addMenu(QStringLiteral("合同管理(&H)"));
    contracts->addAction(QStringLiteral("合同选择(&X)"), this, &MainWindow::selectContract);
    contracts->addSeparator();
    contracts->addAction(QStringLiteral("合同清单(&Q)"), this, &MainWindow::showBoqEditor);
    contracts->addAction(QStringLiteral("投标检查(&J)"), this, &MainWindow::showBidCheck);
    contracts->addSeparator();
    contracts->addAction(QStringLiteral("导出Excel文件(&E)"), this, &MainWindow::exportWorkbook);
    contracts->addAction(QStringLiteral("导入修订清单(&R)"), this, &MainWindow::importRevision);
    contracts->addSeparator();

    QMenu* reports = menuBar()->addMenu(QStringLiteral("报表输出(&B)"));
    m_popupMenu = new QMenu(this);
    m_popupMenu->setObjectName(QStringLiteral("PopupMenu1"));
    struct Entry {
        const char* caption;
        void (MainWindow::*slot)();
    };
    const Entry first[] = {{"B.工程量清单报表(&B)", &MainWindow::showChapterReport},
                           {"C.专项暂定金额汇总表(&C)", &MainWindow::showProvisionalSumsReport},
                           {"D.计日工汇总表(&D)", &MainWindow::showDayworkSummaryReport},
                           {"E.工程量清单汇总表(&E)", &MainWindow::showBoqSummaryReport}};
    // Numbered as the schedules are: 1 labour, 2 material, 3 machinery.
    const Entry second[] = {{"计日工劳务单价表(&1)", &MainWindow::showLabourPriceTable},
                            {"计日工材料单价表(&2)", &MainWindow::showMaterialPriceTable},
                            {"计日工施工机械单价表(&3)", &MainWindow::showMachineryPriceTable}};
    const Entry popupFirst[] = {{"B.工程量清单报表(&B)", &MainWindow::showChapterReport},
                                {"C.专项暂定金额汇总表(&C)", &MainWindow::showProvisionalSumsReport},
                                {"D.计日工汇总表(&D)", &MainWindow::showDayworkSummaryReport},
                                {"E.工程量清单汇总表(&E)", &MainWindow::showBoqSummaryReport}};
    const Entry bidSet{"全套投标报表(&Q)", &MainWindow::showBidSet};
    const auto add = [this](QMenu* menu, const Entry& e) {
        QAction* a = menu->addAction(QString::fromUtf8(e.caption));
        connect(a, &QAction::triggered, this, e.slot);
    };
    for (QMenu* menu : {reports, m_popupMenu}) {
        for (const Entry& e : menu == reports ? std::span<const Entry>(first) : std::span<const Entry>(popupFirst))
            add(menu, e);
        menu->addSeparator();
        for (const Entry& e : second)
            add(menu, e);
        menu->addSeparator();
        add(menu, bidSet);
    }
    reports->addSeparator();
    // Report B is the one printed over and over while pricing: a key for its preview.
    reports->actions().first()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));

    QMenu* dataMenu = menuBar()->addMenu(QStringLiteral("数据管理(&S)"));
    dataMenu->addAction(QStringLiteral("数据备份(&B)"), this, &MainWindow::backUpDataFile);
    dataMenu->addAction(QStringLiteral("数据恢复(&H)"), this, &MainWindow::restoreDataFile);
    dataMenu->addSeparator();
    dataMenu->addAction(QStringLiteral("生成投标盘(&T)"), this, &MainWindow::writeBidDisk);

    QMenu* help = menuBar()->addMenu(QStringLiteral("帮助(&Z)"));
    help->addAction(QStringLiteral("关于(&A)..."), this, &MainWindow::showAbout);
    // F1 is shown, not bound here: it opens the page of whatever window has the focus.
    help->addAction(QStringLiteral("帮助(&H)\tF1"), this, &MainWindow::showHelp);

    // F10 opens the menu bar from the keyboard, as on other desktops.
    auto* menuKey = new QAction(this);
    menuKey->setShortcut(QKeySequence(Qt::Key_F10));
    connect(menuKey, &QAction::triggered, this, [this] {
        if (!menuBar()->actions().isEmpty())
            menuBar()->setActiveAction(menuBar()->actions().first());
    });
    addAction(menuKey);
}

void MainWindow::buildToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("ToolBar1"));
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setIconSize(QSize(24, 24));
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_checkGroup = new QActionGroup(this);
    m_checkGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);

    auto addCheck = [&](const char* caption, const char* icon, void (MainWindow::*slot)()) {
        QAction* a = bar->addAction(shellIcon(icon), QString::fromUtf8(caption));
        a->setCheckable(true);
        m_checkGroup->addAction(a);
        connect(a, &QAction::triggered, this, slot);
        if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(a)))
            button->setFixedSize(72, 36 + 16);
        bar->addSeparator();
        return a;
    };
    addCheck("合同选择", "contract-select", &MainWindow::selectContract);
    addCheck("合同清单", "boq", &MainWindow::showBoqEditor);
    addCheck("计日工", "daywork", &MainWindow::showDayworkEditor);
    addCheck("投标检查", "bid-check", &MainWindow::showBidCheck);
    addCheck("专项暂定金", "provisional", &MainWindow::showProvisionalSumsReport);

    m_reportButton = new QToolButton(bar);
    m_reportButton->setObjectName(QStringLiteral("ToolButton10"));
    m_reportButton->setText(QStringLiteral("报表"));
    m_reportButton->setIcon(shellIcon("report"));
    m_reportButton->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_reportButton->setPopupMode(QToolButton::MenuButtonPopup);
    m_reportButton->setMenu(m_popupMenu);
    m_reportButton->setAutoRaise(true);
    m_reportButton->setFixedSize(72 + 14, 36 + 16);
    connect(m_reportButton, &QToolButton::clicked, this, &MainWindow::showChapterReport);
    bar->addWidget(m_reportButton);
    bar->addSeparator();

    QAction* exit = addCheck("退出系统", "exit", &MainWindow::quitProgram);
    exit->setToolTip(QStringLiteral("退出系统"));
    exit->setStatusTip(QStringLiteral("退出当前的系统"));
}

void MainWindow::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    const int widths[] = {70, 300, 70, 300, 70, 50};
    for (int i = 0; i < 6; ++i) {
        auto* label = new StatusPanel(bar);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        // The captions keep their widths; the project and contract, and the unit, ask for their
        // widths or their whole texts, grow into a wide window and are elided in a narrow one
        // (a bar whose panels cannot shrink draws them over each other); the hint takes the rest.
        if (i == 0 || i == 2 || i == 4) {
            label->setFixedWidth(widths[i]);
        } else if (i == 1 || i == 3) {
            label->setPreferredWidth(widths[i]);
            label->setMinimumWidth(80);
        } else {
            label->setMinimumWidth(widths[i]);
        }
        label->setAlignment((i == 0 || i == 4 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        bar->addPermanentWidget(label, i == 5 ? 1 : 0);
        m_panels << label;
    }
    m_panels[0]->setText(QStringLiteral("当前项目："));
    m_panels[2]->setText(QStringLiteral("当前单位"));
    m_panels[4]->setText(QStringLiteral("操作提示："));
}

QLabel* MainWindow::statusPanel(int index) const {
    return m_panels.value(index);
}

QAction* MainWindow::toolAction(const QString& caption) const {
    for (QAction* a : m_checkGroup->actions())
        if (a->text() == caption)
            return a;
    return nullptr;
}

void MainWindow::UpdateStatusBar() {
    const SessionValues& s = m_dm.session();
    m_panels[1]->setText(QStringLiteral("%1---%2        ").arg(s.CurProjectName, s.CurContractName));
    m_panels[3]->setText(s.CurUnitName + QLatin1Char(' '));
    m_panels[5]->setText(m_hint);
    // A hint is read whole: the contract panel gives way to it (elided, whole in its tooltip).
    const QMargins frame = m_panels[5]->contentsMargins();
    const int hint = m_panels[5]->fontMetrics().horizontalAdvance(m_hint) + frame.left() + frame.right() +
                     2 * m_panels[5]->frameWidth() + 4;
    m_panels[5]->setMinimumWidth(std::clamp(hint, 50, 360));
    setWindowTitle(s.MainTitle);
}

void MainWindow::ResetToolButtons() {
    syncToolButtons();
}

void MainWindow::syncToolButtons(QAction* pressed) {
    const QString hosted = m_tool ? m_tool->toolbarCaption() : QString();
    for (QAction* a : m_checkGroup->actions())
        a->setChecked(a == pressed || (!hosted.isEmpty() && a->text() == hosted && !pressed));
    m_reportButton->setDown(false);
}

void MainWindow::showStatusHint(const QString& text) {
    m_hint = text;
    UpdateStatusBar();
    m_hintTimer->start();
}

bool MainWindow::event(QEvent* e) {
    // The long hint of the control under the mouse goes to panel 5, nowhere else.
    if (e->type() == QEvent::StatusTip) {
        m_hintTimer->stop();
        m_hint = static_cast<QStatusTipEvent*>(e)->tip();
        UpdateStatusBar();
        return true;
    }
    return QMainWindow::event(e);
}

void MainWindow::changeEvent(QEvent* e) {
    QMainWindow::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && isActiveWindow())
        m_dm.LoadCurrentContract();
}

void MainWindow::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    // Some desktops never activate a window that was not clicked; the first show loads the
    // current contract anyway, so the status bar is never left blank.
    if (!e->spontaneous())
        m_dm.LoadCurrentContract();
}

void MainWindow::closeEvent(QCloseEvent* e) {
    if (!m_quitting && !MessageBox::question(this, QStringLiteral("您真的要退出吗？"))) {
        e->ignore();
        ResetToolButtons();
        return;
    }
    // What the user typed in the hosted tool is saved before the program ends; when it cannot
    // be, the program stays open with the tool, and the reason has been shown.
    if (!closeHostedTool()) {
        e->ignore();
        ResetToolButtons();
        return;
    }
    e->accept();
}

void MainWindow::runAction(const std::function<void()>& action) {
    Guarded(this, action);
}

HostedTool* MainWindow::hostedTool() const {
    return m_tool.data();
}

bool MainWindow::hostTool(HostedTool* tool) {
    if (!CloseChildForms()) {
        delete tool;
        return false;
    }
    tool->setParent(this, Qt::Window);
    tool->hide();
    m_tool = tool;
    m_dm.setMainCaption(tool->caption());
    m_panel1->host(tool->contentPanel());
    syncToolButtons();
    connect(tool, &HostedTool::statusHint, this, &MainWindow::showStatusHint);
    connect(tool, &HostedTool::closeRequested, this, [this, tool] {
        // Deferred: the tool's own button handler is still running when it asks.
        QMetaObject::invokeMethod(
            this,
            [this, guard = QPointer<HostedTool>(tool)] {
                if (guard && guard == m_tool && closeHostedTool())
                    m_dm.setMainCaption();
            },
            Qt::QueuedConnection);
    });
    return true;
}

bool MainWindow::closeHostedTool() {
    if (!m_tool)
        return true;
    // A hint of the tool going away says nothing about the next one.
    if (m_hintTimer->isActive()) {
        m_hintTimer->stop();
        m_hint.clear();
        UpdateStatusBar();
    }
    HostedTool* tool = m_tool.data();
    bool saved = false;
    runAction([&] { saved = tool->savePendingEdit(); });
    if (!saved)
        return false;
    m_tool = nullptr;
    // The panel goes back to its own window before that window is destroyed.
    m_panel1->release(tool->contentPanel(), tool);
    delete tool;
    syncToolButtons();
    return true;
}

bool MainWindow::CloseChildForms() {
    if (!closeHostedTool())
        return false;
    setWindowTitle(QStringLiteral("Tenvora"));
    return true;
}

void MainWindow::CloseMDIChildren() {
    // Only windows other than the hosted tool and modal dialogs live here; last opened closes first.
    const QList<QWidget*> children = findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (auto it = children.crbegin(); it != children.crend(); ++it) {
        QWidget* w = *it;
        if (w->isWindow() && w != m_tool && w->isVisible() && !w->isModal())
            w->close();
    }
}

bool MainWindow::openBoqEditor() {
    // The old tool goes (saving its pending edit) before the new one reads the file.
    if (!CloseChildForms())
        return false;
    auto* editor = new BoqEditorWindow(m_dm);
    editor->setImportAvailable(true);
    connect(editor, &BoqEditorWindow::importRequested, this, [this] {
        BoqImportDialog dialog(m_dm, this);
        ExecModal(dialog);
    });
    connect(editor, &BoqEditorWindow::exportRequested, this, [this] { ExportBoqWorkbook(m_dm, this); });
    connect(editor, &BoqEditorWindow::revisionRequested, this, [this] { ReviseBoqFromWorkbook(m_dm, this); });
    return hostTool(editor);
}

void MainWindow::selectContract() {
    bool ran = false;
    runAction([&] {
        if (!CloseChildForms())
            return;
        {
            ContractSelectionDialog dialog(m_dm, this);
            m_dm.setMainCaption(dialog.windowTitle());
            ExecModal(dialog);
        }
        UpdateStatusBar();
        m_dm.setMainCaption();
        ran = true;
    });
    // The editor opens whether a contract was chosen or not.
    if (ran)
        runAction([this] { openBoqEditor(); });
    syncToolButtons();
}

void MainWindow::showBoqEditor() {
    runAction([this] { openBoqEditor(); });
    syncToolButtons();
}

void MainWindow::showDayworkEditor() {
    runAction([this] {
        if (CloseChildForms())
            hostTool(new DayworkEditorWindow(m_dm));
    });
    syncToolButtons();
}

void MainWindow::showBidCheck() {
    runAction([this] {
        if (!CloseChildForms())
            return;
        auto* check = new BidCheckWindow(m_dm);
        connect(check, &BidCheckWindow::findingOpened, this, [this](const BidFinding& finding) {
            // Deferred: the check window is replaced while its signal is still being delivered.
            QMetaObject::invokeMethod(
                this, [this, finding] { openFinding(finding); }, Qt::QueuedConnection);
        });
        hostTool(check);
    });
    syncToolButtons();
}

void MainWindow::openFinding(const BidFinding& finding) {
    runAction([&] {
        const std::optional<Schedule> schedule = finding.daywork ? ScheduleFromCode(finding.chapter) : std::nullopt;
        if (schedule) {
            auto* daywork = new DayworkEditorWindow(m_dm);
            if (hostTool(daywork))
                daywork->showItem(*schedule, finding.rowId);
            return;
        }
        if (!openBoqEditor())
            return;
        if (auto* editor = qobject_cast<BoqEditorWindow*>(hostedTool()))
            editor->showLine(finding.chapter, finding.rowId);
    });
    syncToolButtons();
}

bool MainWindow::bidDiskAfterCheck() {
    const BidCheckResult check = CheckBeforeBidDisk(m_dm);
    return check.clean() || MessageBox::question(this, BidCheckQuestion(check), QString(), false);
}

void MainWindow::showChapterReport() {
    runReport([this] { m_reports->runReportB(this); });
}

void MainWindow::runReport(const std::function<void()>& report) {
    // "专项暂定金" stays pressed while its report is on view.
    auto* pressed = qobject_cast<QAction*>(sender());
    if (pressed && !m_checkGroup->actions().contains(pressed))
        pressed = nullptr;
    runAction([&] {
        // The preview comes over the hosted tool, which keeps its place; what was typed is
        // saved first, so that it prints.
        if (m_tool && !m_tool->savePendingEdit())
            return;
        syncToolButtons(pressed);
        report();
    });
    if (m_tool) {
        m_tool->refreshFromFile();
        m_dm.setMainCaption(m_tool->caption());
    }
    syncToolButtons();
}

void MainWindow::showProvisionalSumsReport() {
    runReport([this] { m_reports->run(QStringLiteral("C"), this); });
}

void MainWindow::showDayworkSummaryReport() {
    runReport([this] { m_reports->run(QStringLiteral("D"), this); });
}

void MainWindow::showBoqSummaryReport() {
    runReport([this] { m_reports->run(QStringLiteral("E"), this); });
}

void MainWindow::showLabourPriceTable() {
    runReport([this] { m_reports->run(QStringLiteral("labour"), this); });
}

void MainWindow::showMaterialPriceTable() {
    runReport([this] { m_reports->run(QStringLiteral("material"), this); });
}

void MainWindow::showMachineryPriceTable() {
    runReport([this] { m_reports->run(QStringLiteral("machinery"), this); });
}

void MainWindow::showBidSet() {
    runReport([this] { m_reports->runBidSet(this); });
}

void MainWindow::exportWorkbook() {
    runAction([this] {
        // The export takes what was typed; the tool stays where it is.
        if (m_tool && !m_tool->savePendingEdit())
            return;
        ExportBoqWorkbook(m_dm, this);
    });
}

void MainWindow::importRevision() {
    runAction([this] {
        // The revision rewrites the bill a hosted tool shows: that tool goes first, saving what
        // was typed, and the BoQ editor shows the revised bill afterwards.
        if (!CloseChildForms())
            return;
        m_dm.setMainCaption();
        if (ReviseBoqFromWorkbook(m_dm, this))
            openBoqEditor();
    });
    syncToolButtons();
}

void MainWindow::runDataManagement(DataCommand command) {
    DataManagement::Outcome outcome = DataManagement::Outcome::Continue;
    runAction([&] {
        // A copy takes what was typed; a restore replaces the file, so no tool may keep showing the old one.
        // When what was typed cannot be saved the command stops there (its reason is shown).
        const auto saveFirst = [this] {
            CloseMDIChildren();
            if (m_tool && !m_tool->savePendingEdit())
                throw ActionAbandoned();
        };
        const auto closeFirst = [this] {
            CloseMDIChildren();
            if (!CloseChildForms())
                throw ActionAbandoned();
            m_dm.setMainCaption();
        };
        if (command == DataCommand::Backup)
            outcome = DataManagement::backup(m_dm, this, saveFirst);
        else if (command == DataCommand::BidDisk)
            outcome = DataManagement::bidDisk(m_dm, this, [&] {
                saveFirst();
                // What was just typed counts in the check; backup is not held up by it.
                if (!bidDiskAfterCheck())
                    throw ActionAbandoned();
            });
        else
            outcome = DataManagement::restore(m_dm, this, closeFirst);
    });
    // A restored file without the logged-in unit: who works on it must log in to it.
    if (outcome == DataManagement::Outcome::Relogin) {
        m_dm.session().CurUnitName.clear();
        UpdateStatusBar();
        if (runLogin()) {
            m_dm.LoadCurrentContract();
            UpdateStatusBar();
            return;
        }
    }
    if (outcome != DataManagement::Outcome::Continue) {
        m_quitting = true;
        close();
        QCoreApplication::quit();
    }
}

void MainWindow::backUpDataFile() {
    runDataManagement(DataCommand::Backup);
}

void MainWindow::restoreDataFile() {
    runDataManagement(DataCommand::Restore);
}

void MainWindow::writeBidDisk() {
    runDataManagement(DataCommand::BidDisk);
}

void MainWindow::showAbout() {
    AboutDialog about(this);
    ExecModal(about);
}

void MainWindow::showHelp() {
    // The compiled help file beside the program wins where the desktop can open it; otherwise
    // the user guide shipped with the program.
    if (!HelpFiles::openChm())
        HelpWindow::showPage(this, QStringLiteral("index.html"));
}

void MainWindow::quitProgram() {
    m_quitting = true;
    const bool closed = close();
    m_quitting = false;
    if (closed)
        QCoreApplication::quit();
}

} // namespace tenvora::ui

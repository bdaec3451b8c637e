#include "owner/OwnerMainWindow.h"

#include "MessageBox.h"
#include "Modal.h"
#include "Settings.h"
#include "data/DataModule.h"
#include "owner/ClearingWindow.h"
#include "owner/IssueDialog.h"
#include "owner/OwnerAccountsDialog.h"
#include "owner/OwnerBillPanel.h"
#include "owner/OwnerDayworkPanel.h"
#include "owner/OwnerEntryDialog.h"
#include "owner/OwnerLogin.h"
#include "owner/OwnerTables.h"
#include "owner/TenderCheck.h"
#include "owner/TenderCheckWindow.h"
#include "owner/TenderContracts.h"
#include "owner/TenderProjects.h"
#include "shell/AboutDialog.h"
#include "shell/HelpWindow.h"
#include "shell/LoginDialog.h"
#include "shell/UiStyle.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tenvora::ui {

namespace {

enum NodeKind { ProjectNode = 1, ContractNode = 2 };
enum Page { EmptyPage, ProjectPage, ContractPage };
constexpr int kKindRole = Qt::UserRole;
constexpr int kIdRole = Qt::UserRole + 1;

// A menu entry's caption without its access letter and dots, for the toolbar.
QString toolbarCaption(const QAction* a) {
    static const QRegularExpression letter(QStringLiteral("\\(&.\\)|\\.\\.\\."));
    return a->text().remove(letter);
}

QString nodeText(const QString& id, const QString& name) {
    return name.isEmpty() ? id : id + QStringLiteral("  ") + name;
}

struct FormField {
    QString label;
    int row;
    int column; // of label and field pairs
};

// A form of labelled fields in a grid, with a 保存 button; the first `readOnly` fields only show.
QWidget* formOf(const QString& title, const QList<FormField>& layout, int readOnly, const QString& prefix,
                QList<QLineEdit*>& fields, QPushButton*& save, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    for (int i = 0; i < layout.size(); ++i) {
        auto* edit = new QLineEdit(box);
        edit->setObjectName(prefix + QString::number(i));
        edit->setReadOnly(i < readOnly);
        if (i >= readOnly)
            SetPaleYellow(edit);
        edit->setMinimumWidth(200);
        grid->addWidget(new QLabel(layout.at(i).label, box), layout.at(i).row, 2 * layout.at(i).column);
        grid->addWidget(edit, layout.at(i).row, 2 * layout.at(i).column + 1);
        fields << edit;
    }
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(3, 2);
    save = new QPushButton(QStringLiteral("保存(&S)"), box);
    save->setObjectName(prefix + QStringLiteral("Save"));
    save->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save);
    auto* rows = new QVBoxLayout(box);
    rows->addLayout(grid);
    rows->addLayout(buttons);
    return box;
}

} // namespace

OwnerMainWindow::OwnerMainWindow(DataModule& dm, QWidget* parent) : QMainWindow(parent), m_dm(dm) {
    setWindowIcon(QIcon(QStringLiteral(":/shell/images/app.svg")));
    setWindowTitle(QStringLiteral("Tenvora 招标人 - %1").arg(QFileInfo(dm.dataFilePath()).fileName()));
    buildPages();
    buildMenus();
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("LabelStatus"));
    statusBar()->addWidget(m_status, 1);
    updateStatus();
    FitToScreen(this, QSize(1024, 700));
    m_savedGeometry = KeepWindowGeometry(this, QStringLiteral("owner-main"));
    SetHelpPage(this, QStringLiteral("owner.html"));
    HelpWindow::installHelpKey();
}

OwnerMainWindow::~OwnerMainWindow() = default;

bool OwnerMainWindow::start(const LoginRunner& login) {
    bool in = false;
    if (login) {
        in = login(m_dm);
    } else {
        LoginDialog dialog(OwnerLogin(m_dm));
        in = ExecModal(dialog) == QDialog::Accepted;
    }
    if (!in)
        return false;
    // A tender file made by hand may lack the owner's own tables; the issue needs them.
    Guarded(this, [this] { OwnerTables::ensure(m_dm.database()); });
    refreshTree();
    updateStatus();
    if (m_tree->topLevelItemCount() > 0) {
        QTreeWidgetItem* first = m_tree->topLevelItem(0);
        m_tree->setCurrentItem(first->childCount() > 0 ? first->child(0) : first);
    }
    return true;
}

void OwnerMainWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("招标文件(&F)"));
    QAction* addProjectAction = file->addAction(QStringLiteral("增加项目(&P)..."), this, &OwnerMainWindow::addProject);
    QAction* addContractAction =
        file->addAction(QStringLiteral("增加合同段(&C)..."), this, &OwnerMainWindow::addContract);
    file->addAction(QStringLiteral("删除项目或合同段(&D)..."), this, &OwnerMainWindow::removeSelected);
    file->addSeparator();
    QAction* quit = file->addAction(QStringLiteral("退出(&X)"), this, &QWidget::close);

    QMenu* tender = menuBar()->addMenu(QStringLiteral("招标(&T)"));
    QAction* accounts = tender->addAction(QStringLiteral("投标人帐户(&A)..."), this, &OwnerMainWindow::showAccounts);
    QAction* check = tender->addAction(QStringLiteral("招标文件检查(&J)"), this, &OwnerMainWindow::showTenderCheck);
    QAction* issue = tender->addAction(QStringLiteral("发放(&I)..."), this, &OwnerMainWindow::issueTender);
    tender->addSeparator();
    QAction* clearing = tender->addAction(QStringLiteral("清标(&Q)..."), this, &OwnerMainWindow::openClearing);
    clearing->setObjectName(QStringLiteral("ActionClearing"));

    QMenu* help = menuBar()->addMenu(QStringLiteral("帮助(&Z)"));
    help->addAction(QStringLiteral("帮助(&H)\tF1"), this, &OwnerMainWindow::showHelp);
    help->addAction(QStringLiteral("关于(&A)..."), this, &OwnerMainWindow::showAbout);

    QToolBar* bar = addToolBar(QStringLiteral("ToolBarOwner"));
    bar->setObjectName(QStringLiteral("ToolBarOwner"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    for (QAction* a : {addProjectAction, addContractAction}) {
        QAction* shown = bar->addAction(toolbarCaption(a));
        connect(shown, &QAction::triggered, a, &QAction::trigger);
    }
    bar->addSeparator();
    for (QAction* a : {accounts, check, issue}) {
        QAction* shown = bar->addAction(toolbarCaption(a));
        connect(shown, &QAction::triggered, a, &QAction::trigger);
    }
    bar->addSeparator();
    QAction* shownQuit = bar->addAction(QStringLiteral("退出"));
    connect(shownQuit, &QAction::triggered, quit, &QAction::trigger);

    auto* menuKey = new QAction(this);
    menuKey->setShortcut(QKeySequence(Qt::Key_F10));
    connect(menuKey, &QAction::triggered, this, [this] { menuBar()->setActiveAction(menuBar()->actions().first()); });
    addAction(menuKey);
}

void OwnerMainWindow::buildPages() {
    auto* splitter = new QSplitter(this);
    splitter->setObjectName(QStringLiteral("SplitterOwner"));
    m_tree = new QTreeWidget(splitter);
    m_tree->setObjectName(QStringLiteral("TreeTender"));
    m_tree->setHeaderLabel(QStringLiteral("项目 / 合同段"));
    m_tree->setMinimumWidth(180);
    connect(m_tree, &QTreeWidget::currentItemChanged, this, &OwnerMainWindow::nodeChosen);

    m_pages = new QStackedWidget(splitter);
    m_pages->setObjectName(QStringLiteral("PagesOwner"));
    auto* empty = new QLabel(
        QStringLiteral("请在左边选择项目或合同段。招标文件中还没有项目时，请用“招标文件 → 增加项目”加一个。"), m_pages);
    empty->setAlignment(Qt::AlignCenter);
    m_pages->addWidget(empty);

    QPushButton* saveProject = nullptr;
    QWidget* projectForm =
        formOf(QStringLiteral("项目"),
               {{QStringLiteral("ID"), 0, 0}, {QStringLiteral("项目名称"), 1, 0}, {QStringLiteral("建设单位"), 1, 1}},
               1, QStringLiteral("EditProject"), m_projectFields, saveProject, m_pages);
    auto* projectPage = new QWidget(m_pages);
    auto* projectLayout = new QVBoxLayout(projectPage);
    projectLayout->setContentsMargins(4, 4, 4, 4);
    projectLayout->addWidget(projectForm);
    auto* sections = new QGroupBox(QStringLiteral("合同段"), projectPage);
    m_projectContracts = new QTreeWidget(sections);
    m_projectContracts->setObjectName(QStringLiteral("ListProjectContracts"));
    m_projectContracts->setRootIsDecorated(false);
    m_projectContracts->setHeaderLabels({QStringLiteral("ID"), QStringLiteral("合同编号"), QStringLiteral("合同名称"),
                                         QStringLiteral("起始桩号"), QStringLiteral("终止桩号"),
                                         QStringLiteral("清单行数"), QStringLiteral("计日工项数")});
    m_projectContracts->header()->setStretchLastSection(false);
    m_projectContracts->header()->setSectionResizeMode(2, QHeaderView::Stretch);
    m_projectContracts->setToolTip(QStringLiteral("双击一个合同段，打开它的清单和计日工"));
    connect(m_projectContracts, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { selectContract(item->text(0)); });
    auto* sectionsLayout = new QVBoxLayout(sections);
    sectionsLayout->addWidget(m_projectContracts);
    projectLayout->addWidget(sections, 1);
    m_pages->addWidget(projectPage);
    connect(saveProject, &QPushButton::clicked, this, &OwnerMainWindow::saveProjectForm);

    QPushButton* saveContract = nullptr;
    // Fields in the order of the section's columns, laid out in two columns to leave the bill room.
    QWidget* contractForm = formOf(QStringLiteral("合同段"),
                                   {{QStringLiteral("ID"), 0, 0},
                                    {QStringLiteral("所属项目"), 0, 1},
                                    {QStringLiteral("合同编号"), 1, 0},
                                    {QStringLiteral("合同名称"), 2, 0},
                                    {QStringLiteral("起始桩号"), 1, 1},
                                    {QStringLiteral("终止桩号"), 2, 1}},
                                   1, QStringLiteral("EditContract"), m_contractFields, saveContract, m_pages);
    connect(saveContract, &QPushButton::clicked, this, &OwnerMainWindow::saveContractForm);
    auto* contractPage = new QWidget(m_pages);
    auto* contractLayout = new QVBoxLayout(contractPage);
    contractLayout->setContentsMargins(4, 4, 4, 4);
    contractLayout->addWidget(contractForm);
    m_tabs = new QTabWidget(contractPage);
    m_tabs->setObjectName(QStringLiteral("TabsContract"));
    m_bill = new OwnerBillPanel(m_dm, m_tabs);
    m_daywork = new OwnerDayworkPanel(m_dm, m_tabs);
    m_tabs->addTab(m_bill, QStringLiteral("工程量清单(&1)"));
    m_tabs->addTab(m_daywork, QStringLiteral("计日工(&2)"));
    contractLayout->addWidget(m_tabs, 1);
    m_pages->addWidget(contractPage);
    connect(m_bill, &OwnerBillPanel::linesChanged, this, &OwnerMainWindow::refreshTree);
    connect(m_daywork, &OwnerDayworkPanel::itemsChanged, this, &OwnerMainWindow::refreshTree);

    splitter->addWidget(m_tree);
    splitter->addWidget(m_pages);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({300, 724});
    KeepSplitterSizes(splitter, QStringLiteral("owner-main"));
    setCentralWidget(splitter);
}

void OwnerMainWindow::refreshTree() {
    const QTreeWidgetItem* current = m_tree->currentItem();
    const int kind = current ? current->data(0, kKindRole).toInt() : 0;
    const QString id = current ? current->data(0, kIdRole).toString() : QString();
    m_revertingNode = true;
    m_tree->clear();
    Guarded(this, [this] {
        Database& db = m_dm.database();
        const auto addSection = [](QTreeWidgetItem* under, const TenderContract& c) {
            auto* item = new QTreeWidgetItem(under, {nodeText(c.id, c.name)});
            item->setData(0, kKindRole, ContractNode);
            item->setData(0, kIdRole, c.id);
            item->setToolTip(0, QStringLiteral("%1\n%2 行工程量清单，%3 项计日工")
                                    .arg(nodeText(c.id, c.name))
                                    .arg(c.lines)
                                    .arg(c.dayworkItems));
        };
        QStringList projects;
        for (const TenderProject& p : TenderProjects(db).list()) {
            projects << p.id;
            auto* projectItem = new QTreeWidgetItem(m_tree, {nodeText(p.id, p.name)});
            projectItem->setToolTip(0, nodeText(p.id, p.name));
            projectItem->setData(0, kKindRole, ProjectNode);
            projectItem->setData(0, kIdRole, p.id);
            for (const TenderContract& c : TenderContracts(db).list(p.id))
                addSection(projectItem, c);
            projectItem->setExpanded(true);
        }
        // Sections filed under a project the file lacks stay reachable, so they can be moved or removed.
        QTreeWidgetItem* orphans = nullptr;
        for (const TenderContract& c : TenderContracts(db).list()) {
            if (projects.contains(c.projectId))
                continue;
            if (!orphans) {
                orphans = new QTreeWidgetItem(m_tree, {QStringLiteral("（不属于任何项目的合同段）")});
                orphans->setForeground(0, QColor(160, 0, 0));
                orphans->setExpanded(true);
            }
            addSection(orphans, c);
        }
    });
    QTreeWidgetItem* again = kind ? findNode(kind, id) : nullptr;
    if (again)
        m_tree->setCurrentItem(again);
    m_revertingNode = false;
    if (!again)
        showNode(m_tree->currentItem());
}

QTreeWidgetItem* OwnerMainWindow::findNode(int kind, const QString& id) const {
    for (int p = 0; p < m_tree->topLevelItemCount(); ++p) {
        QTreeWidgetItem* project = m_tree->topLevelItem(p);
        if (kind == ProjectNode && project->data(0, kIdRole).toString() == id)
            return project;
        if (kind == ContractNode)
            for (int c = 0; c < project->childCount(); ++c)
                if (project->child(c)->data(0, kIdRole).toString() == id)
                    return project->child(c);
    }
    return nullptr;
}

bool OwnerMainWindow::selectProject(const QString& id) {
    QTreeWidgetItem* item = findNode(ProjectNode, id);
    if (item)
        m_tree->setCurrentItem(item);
    return item && m_tree->currentItem() == item;
}

bool OwnerMainWindow::selectContract(const QString& id) {
    QTreeWidgetItem* item = findNode(ContractNode, id);
    if (item)
        m_tree->setCurrentItem(item);
    return item && m_tree->currentItem() == item;
}

QString OwnerMainWindow::currentProject() const {
    const QTreeWidgetItem* item = m_tree->currentItem();
    if (!item)
        return {};
    if (item->data(0, kKindRole).toInt() == ContractNode)
        item = item->parent();
    return item ? item->data(0, kIdRole).toString() : QString();
}

QString OwnerMainWindow::currentContract() const {
    const QTreeWidgetItem* item = m_tree->currentItem();
    return item && item->data(0, kKindRole).toInt() == ContractNode ? item->data(0, kIdRole).toString() : QString();
}

bool OwnerMainWindow::savePending() {
    return m_bill->savePending() && m_daywork->savePending();
}

void OwnerMainWindow::nodeChosen(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    if (m_revertingNode)
        return;
    // What was typed into the section being left is saved first, or the section stays chosen.
    if (!savePending()) {
        m_revertingNode = true;
        m_tree->setCurrentItem(previous);
        m_revertingNode = false;
        return;
    }
    showNode(current);
}

void OwnerMainWindow::showNode(QTreeWidgetItem* item) {
    const int kind = item ? item->data(0, kKindRole).toInt() : 0;
    const QString id = item ? item->data(0, kIdRole).toString() : QString();
    if (kind == ProjectNode) {
        Guarded(this, [&] {
            const std::optional<TenderProject> p = TenderProjects(m_dm.database()).find(id);
            m_projectFields[0]->setText(id);
            m_projectFields[1]->setText(p ? p->name : QString());
            m_projectFields[2]->setText(p ? p->builder : QString());
            m_projectContracts->clear();
            for (const TenderContract& c : TenderContracts(m_dm.database()).list(id)) {
                auto* row = new QTreeWidgetItem(m_projectContracts,
                                                {c.id, c.number, c.name, c.start, c.end, QString::number(c.lines),
                                                 QString::number(c.dayworkItems)});
                row->setTextAlignment(5, Qt::AlignRight | Qt::AlignVCenter);
                row->setTextAlignment(6, Qt::AlignRight | Qt::AlignVCenter);
            }
            for (int c = 0; c < m_projectContracts->columnCount(); ++c) {
                if (c == 2)
                    continue;
                m_projectContracts->resizeColumnToContents(c);
                m_projectContracts->setColumnWidth(c, m_projectContracts->columnWidth(c) + 16);
            }
        });
        m_bill->setContract({});
        m_daywork->setContract({});
        m_pages->setCurrentIndex(ProjectPage);
    } else if (kind == ContractNode) {
        Guarded(this, [&] {
            const std::optional<TenderContract> c = TenderContracts(m_dm.database()).find(id);
            const QStringList values = c ? QStringList{c->id, c->projectId, c->number, c->name, c->start, c->end}
                                         : QStringList{id, {}, {}, {}, {}, {}};
            for (int i = 0; i < values.size(); ++i)
                m_contractFields[i]->setText(values.at(i));
        });
        m_bill->setContract(id);
        m_daywork->setContract(id);
        m_pages->setCurrentIndex(ContractPage);
    } else {
        m_bill->setContract({});
        m_daywork->setContract({});
        m_pages->setCurrentIndex(EmptyPage);
    }
    updateStatus();
}

void OwnerMainWindow::updateStatus() {
    QString text = QStringLiteral("招标文件：%1").arg(QDir::toNativeSeparators(m_dm.dataFilePath()));
    if (!m_dm.session().CurUnitName.isEmpty())
        text += QStringLiteral("    登录：%1").arg(m_dm.session().CurUnitName);
    if (const QString c = currentContract(); !c.isEmpty())
        text += QStringLiteral("    合同段：%1").arg(c);
    m_status->setText(text);
}

void OwnerMainWindow::saveProjectForm() {
    const QString id = m_projectFields[0]->text();
    if (Guarded(this, [&] {
            TenderProjects(m_dm.database()).edit(id, m_projectFields[1]->text(), m_projectFields[2]->text());
        }))
        refreshTree();
}

void OwnerMainWindow::saveContractForm() {
    const QString id = m_contractFields[0]->text();
    ContractChanges changes;
    changes.projectId = m_contractFields[1]->text();
    changes.number = m_contractFields[2]->text();
    changes.name = m_contractFields[3]->text();
    changes.start = m_contractFields[4]->text();
    changes.end = m_contractFields[5]->text();
    if (Guarded(this, [&] { TenderContracts(m_dm.database()).edit(id, changes); }))
        refreshTree();
}

void OwnerMainWindow::addProject() {
    if (!savePending())
        return;
    QString added;
    OwnerEntryDialog dialog(
        QStringLiteral("增加项目"),
        {TextEntry(QStringLiteral("ID"), QStringLiteral("EditId")),
         TextEntry(QStringLiteral("项目名称"), QStringLiteral("EditName")),
         TextEntry(QStringLiteral("建设单位"), QStringLiteral("EditBuilder"))},
        [this, &added](OwnerEntryDialog& d) {
            TenderProjects(m_dm.database()).add({d.text(0), d.text(1), d.text(2)});
            added = d.text(0);
        },
        this);
    SetHelpPage(&dialog, QStringLiteral("owner.html#projects"));
    if (ExecModal(dialog) != QDialog::Accepted)
        return;
    refreshTree();
    selectProject(added);
}

void OwnerMainWindow::addContract() {
    if (!savePending())
        return;
    const QString project = currentProject();
    if (project.isEmpty()) {
        MessageBox::information(this, QStringLiteral("请先增加项目，或在左边选择合同段所属的项目。"));
        return;
    }
    QString added;
    OwnerEntryDialog dialog(
        QStringLiteral("增加合同段（项目 %1）").arg(project),
        {TextEntry(QStringLiteral("ID"), QStringLiteral("EditId")),
         TextEntry(QStringLiteral("合同编号"), QStringLiteral("EditNumber")),
         TextEntry(QStringLiteral("合同名称"), QStringLiteral("EditName")),
         TextEntry(QStringLiteral("起始桩号"), QStringLiteral("EditStart")),
         TextEntry(QStringLiteral("终止桩号"), QStringLiteral("EditEnd"))},
        [this, &added, &project](OwnerEntryDialog& d) {
            TenderContract c;
            c.id = d.text(0);
            c.projectId = project;
            c.number = d.text(1);
            c.name = d.text(2);
            c.start = d.text(3);
            c.end = d.text(4);
            TenderContracts(m_dm.database()).add(c);
            added = c.id;
        },
        this);
    SetHelpPage(&dialog, QStringLiteral("owner.html#projects"));
    if (ExecModal(dialog) != QDialog::Accepted)
        return;
    refreshTree();
    selectContract(added);
}

void OwnerMainWindow::removeSelected() {
    if (!savePending())
        return;
    const QString contract = currentContract();
    const QString project = currentProject();
    if (project.isEmpty() && contract.isEmpty())
        return;
    if (contract.isEmpty()) {
        if (!MessageBox::question(this, QStringLiteral("删除项目“%1”吗？").arg(project), QString(), false))
            return;
        if (Guarded(this, [&] { TenderProjects(m_dm.database()).remove(project); }))
            refreshTree();
        return;
    }
    if (!MessageBox::question(this, QStringLiteral("删除合同段“%1”吗？删除后不能撤销。").arg(contract), QString(),
                              false))
        return;
    Guarded(this, [&] {
        TenderContracts contracts(m_dm.database());
        try {
            contracts.remove(contract, false);
        } catch (const HeldContentRefused& held) {
            if (!MessageBox::question(this, held.text() + QStringLiteral("\n连同它的工程量清单和计日工一起删除吗？"),
                                      QString(), false))
                return;
            contracts.remove(contract, true);
        }
    });
    // The panels still show the section's rows until the tree picks another node.
    m_bill->setContract({});
    m_daywork->setContract({});
    refreshTree();
}

void OwnerMainWindow::showAccounts() {
    if (!savePending())
        return;
    OwnerAccountsDialog dialog(m_dm, this);
    ExecModal(dialog);
    if (m_check && m_check->isVisible())
        m_check->check();
}

void OwnerMainWindow::showTenderCheck() {
    if (!savePending())
        return;
    if (!m_check) {
        m_check = new TenderCheckWindow(m_dm, this);
        connect(m_check, &TenderCheckWindow::findingOpened, this, &OwnerMainWindow::openFinding);
    }
    m_check->check();
    m_check->show();
    m_check->raise();
    m_check->activateWindow();
}

void OwnerMainWindow::issueTender() {
    if (!savePending())
        return;
    IssueDialog dialog(m_dm, this);
    ExecModal(dialog);
}

void OwnerMainWindow::openClearing() {
    // The clearing reads the tender file as it is stored: what was typed goes first.
    if (!savePending())
        return;
    ClearingWindow window(m_dm, this);
    ExecModal(window);
}

void OwnerMainWindow::openFinding(const TenderFinding& finding) {
    if (!finding.contract.isEmpty() && selectContract(finding.contract)) {
        if (!finding.schedule.isEmpty()) {
            m_tabs->setCurrentWidget(m_daywork);
            if (const std::optional<Schedule> s = ScheduleFromCode(finding.schedule))
                m_daywork->goToItem(*s, finding.item);
        } else {
            m_tabs->setCurrentWidget(m_bill);
            if (!finding.item.isEmpty())
                m_bill->goToItem(finding.item);
        }
    } else if (!finding.project.isEmpty()) {
        selectProject(finding.project);
    }
    raise();
    activateWindow();
}

void OwnerMainWindow::showHelp() {
    HelpWindow::showPage(this, HelpPageFor(focusWidget() ? focusWidget() : this));
}

void OwnerMainWindow::showAbout() {
    AboutDialog dialog(this);
    ExecModal(dialog);
}

void OwnerMainWindow::closeEvent(QCloseEvent* e) {
    // Every edit is stored as it is made; only a value still being typed can be lost.
    if (!savePending()) {
        e->ignore();
        return;
    }
    if (m_check)
        m_check->close();
    e->accept();
}

} // namespace tenvora::ui

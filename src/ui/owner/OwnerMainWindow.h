// OwnerMainWindow: the owner's workbench: the tender file's projects and contract sections as a
// tree, the form of the one chosen, and for a section its bill and day-work schedules; the
// accounts, the tender check and the issue from the menus and the toolbar.
#pragma once

#include <QMainWindow>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace tenvora {
class DataModule;
struct TenderFinding;
} // namespace tenvora

namespace tenvora::ui {

class OwnerBillPanel;
class OwnerDayworkPanel;
class TenderCheckWindow;

class OwnerMainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit OwnerMainWindow(DataModule& dm, QWidget* parent = nullptr);
    ~OwnerMainWindow() override;

    // Runs the owner's login (a test passes its own), then fills the tree. False when the login
    // was given up.
    using LoginRunner = std::function<bool(DataModule&)>;
    bool start(const LoginRunner& login = {});
    bool hasSavedGeometry() const { return m_savedGeometry; }

    // Reads the projects and sections again, keeping the chosen node where it still is.
    void refreshTree();
    // Chooses the node of the project or section; false when the tree has none.
    bool selectProject(const QString& id);
    bool selectContract(const QString& id);
    QString currentProject() const;  // the chosen project, or the chosen section's
    QString currentContract() const; // empty unless a section is chosen
    // Saves what is typed in the bill or day work and not saved yet; false when it could not be.
    bool savePending();

    QTreeWidget* tree() const { return m_tree; }
    QStackedWidget* pages() const { return m_pages; }
    QTabWidget* contractTabs() const { return m_tabs; }
    OwnerBillPanel* billPanel() const { return m_bill; }
    OwnerDayworkPanel* dayworkPanel() const { return m_daywork; }
    TenderCheckWindow* checkWindow() const { return m_check; }
    // The form fields: ID, 项目名称, 建设单位 and ID, 项目, 合同编号, 合同名称, 起始桩号, 终止桩号.
    const QList<QLineEdit*>& projectFields() const { return m_projectFields; }
    const QList<QLineEdit*>& contractFields() const { return m_contractFields; }
    // On a project's page: its contract sections with their counts.
    QTreeWidget* projectContracts() const { return m_projectContracts; }

public slots:
    void addProject();
    void addContract();
    void removeSelected();
    void saveProjectForm();
    void saveContractForm();
    void showAccounts();
    void showTenderCheck();
    void issueTender();
    void openClearing();
    void showHelp();
    void showAbout();
    // Goes to the section and line of a finding of the tender check.
    void openFinding(const tenvora::TenderFinding& finding);

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildMenus();
    void buildPages();
    void nodeChosen(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void showNode(QTreeWidgetItem* item);
    void updateStatus();
    QTreeWidgetItem* findNode(int kind, const QString& id) const;

    DataModule& m_dm;
    QTreeWidget* m_tree;
    QStackedWidget* m_pages;
    QTabWidget* m_tabs;
    OwnerBillPanel* m_bill;
    OwnerDayworkPanel* m_daywork;
    TenderCheckWindow* m_check = nullptr;
    QTreeWidget* m_projectContracts;
    QList<QLineEdit*> m_projectFields;
    QList<QLineEdit*> m_contractFields;
    QLabel* m_status;
    bool m_savedGeometry = false;
    bool m_revertingNode = false;
};

} // namespace tenvora::ui

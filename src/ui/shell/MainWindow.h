// MainWindow: the main window with its menus, toolbar, status bar and the hosted tool.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QTimer;
class QToolButton;

namespace tenvora {
class DataModule;
struct BidFinding;
} // namespace tenvora

namespace tenvora::ui {

class HostedTool;
class ClientPanel;
class ReportRunner;
class StatusPanel;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Runs the login; returns whether it succeeded (a cancelled login ends the program).
    using LoginRunner = std::function<bool(DataModule&)>;

    explicit MainWindow(DataModule& dm, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up steps of the window: hint handler, status bar, caption, then the login.
    // Returns false when the login was cancelled.
    bool start(const LoginRunner& login = {});

    void UpdateStatusBar();
    // Shows a hint in the "操作提示" panel for a few seconds (until another hint replaces it).
    void showStatusHint(const QString& text);
    // Releases the toolbar buttons of commands that are over: only the hosted tool's button
    // stays pressed.
    void ResetToolButtons();
    // Closes the hosted tool, saving what was typed in it; false (the tool stays open, the
    // reason shown) when that could not be saved, and the command that asked stops.
    bool CloseChildForms();
    void CloseMDIChildren();
    // Whether the size and place of the last run were restored (else it opens maximized).
    bool hasSavedGeometry() const { return m_savedGeometry; }

    // Moves a new tool's panel into the client area (after closing the hosted one). When the
    // hosted tool cannot be closed, the new tool is destroyed and false returned.
    bool hostTool(HostedTool* tool);
    HostedTool* hostedTool() const;

    // For tests and the status refresh: the six status-bar panels.
    QLabel* statusPanel(int index) const;
    QAction* toolAction(const QString& caption) const;
    QMenu* reportMenu() const { return m_popupMenu; }
    QToolButton* reportButton() const { return m_reportButton; }

public slots:
    void selectContract();            // 合同选择
    void showBoqEditor();             // 合同清单
    void showDayworkEditor();         // 计日工
    void showBidCheck();              // 投标检查
    void showChapterReport();         // B.工程量清单报表
    void showProvisionalSumsReport(); // C.专项暂定金额汇总表 (also the toolbar's "专项暂定金")
    void showDayworkSummaryReport();  // D.计日工汇总表
    void showBoqSummaryReport();      // E.工程量清单汇总表
    void showLabourPriceTable();      // 计日工劳务单价表
    void showMaterialPriceTable();    // 计日工材料单价表
    void showMachineryPriceTable();   // 计日工施工机械单价表
    void showBidSet();                // 全套投标报表
    void exportWorkbook();            // 导出Excel文件
    void importRevision();            // 导入修订清单
    void backUpDataFile();            // 数据备份
    void restoreDataFile();           // 数据恢复
    void writeBidDisk();              // 生成投标盘
    void showAbout();                 // 关于...
    void showHelp();                  // 帮助
    void quitProgram();               // 退出系统

protected:
    bool event(QEvent* e) override;
    void changeEvent(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void buildMenus();
    void buildToolBar();
    void buildStatusBar();
    bool closeHostedTool();
    bool openBoqEditor();
    // The toolbar as the host's state: the hosted tool's button pressed, every other released;
    // `pressed` stays pressed too (a report whose preview is on view).
    void syncToolButtons(QAction* pressed = nullptr);
    // Opens the line of a bid-check finding in the BoQ editor or the day-work editor.
    void openFinding(const BidFinding& finding);
    // The bid check before the bid disk: true when it is clean or the user still wants the disk.
    bool bidDiskAfterCheck();
    // Every tool and report command runs through here, so errors end the action, never the program.
    void runAction(const std::function<void()>& action);
    // A report command: saves what was typed in the hosted tool (which stays open), shows the
    // report, releases the toolbar buttons once the preview has closed.
    void runReport(const std::function<void()>& report);
    // Backup, bid disk and restore; ends the program when the data file cannot be reopened.
    enum class DataCommand { Backup, BidDisk, Restore };
    void runDataManagement(DataCommand command);
    // The login dialog (or the runner start was given); false when it was given up.
    bool runLogin();

    DataModule& m_dm;
    std::unique_ptr<ReportRunner> m_reports; // Report1 and its queries live as long as the window
    ClientPanel* m_panel1 = nullptr;
    QPointer<HostedTool> m_tool;
    QList<StatusPanel*> m_panels;
    QActionGroup* m_checkGroup = nullptr;
    QMenu* m_popupMenu = nullptr;
    QToolButton* m_reportButton = nullptr;
    QString m_hint;
    QTimer* m_hintTimer = nullptr;
    bool m_quitting = false;
    LoginRunner m_login; // how start logged in; a restore may need it again
    bool m_savedGeometry = false;
};

} // namespace tenvora::ui

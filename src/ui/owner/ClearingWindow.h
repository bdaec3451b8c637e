// ClearingWindow: the owner's clearing of the returned bid disks "清标": choose the disks, clear
// them against the tender file through the same core function as "owner clear-bids", see the
// ranking with the benchmark, the findings grouped by kind or by bidder and the comparison of
// unit prices, open a line across every bid, and export the workbook and the printed report.
// It reads the tender file and the disks only.
#pragma once

#include "owner/BidClearing.h"

#include <QDialog>
#include <memory>

class QAbstractTableModel;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableView;

namespace tenvora {
class DataModule;
class DataSet;
} // namespace tenvora

namespace tenvora::ui {

class DataGrid;

class ClearingWindow : public QDialog {
    Q_OBJECT
public:
    // dm: the tender file, logged in with the owner's account.
    explicit ClearingWindow(DataModule& dm, QWidget* parent = nullptr);
    ~ClearingWindow() override;

    enum class Grouping { ByKind, ByBidder };

    // Adds disks to the list (each file once, in the order given).
    void addDisks(const QStringList& files);
    // "添加投标盘": the file dialog, several files at once.
    void chooseDisks();
    void removeChosenDisk();
    QStringList disks() const;

    void setContract(const QString& contract);
    QString contract() const;
    void setParameters(const EvaluationParameters& parameters);
    EvaluationParameters parameters() const;

    // "清标": clears the listed disks; false (with one box saying why) when it could not.
    bool clearDisks();
    void setGrouping(Grouping grouping);

    // The line of the comparison (its index in result().lines) across every bid, in a window of
    // its own that stays open beside this one.
    void showLine(int line);
    // Opens the line of the finding in that row of the findings grid (nothing for a heading or
    // a finding on a line outside the comparison, which says so).
    void openFindingRow(int row);

    // "导出工作簿" and "导出PDF": ask for the file unless one is given; false when nothing was written.
    bool exportWorkbook(const QString& path = {});
    bool exportPdf(const QString& path = {});

    const ClearingResult& result() const { return m_result; }
    bool hasResult() const { return m_cleared; }
    DataGrid* rankingGrid() const { return m_ranking; }
    DataGrid* findingsGrid() const { return m_findings; }
    QTableView* comparisonView() const { return m_comparison; }
    QTabWidget* tabs() const { return m_tabs; }
    QLabel* summaryLabel() const { return m_summary; }
    // The window of the line shown last, or null.
    QDialog* lineWindow() const { return m_lineWindow; }
    DataGrid* lineGrid() const { return m_lineGrid; }
    QLabel* lineHeading() const { return m_lineHeading; }

private:
    void showResult();
    void showRanking();
    void showFindings();
    void clearShown();
    void updateButtons();
    QString defaultFileName(const QString& suffix) const;

    DataModule& m_dm;
    ClearingResult m_result;
    bool m_cleared = false;
    Grouping m_grouping = Grouping::ByKind;
    QHash<QString, int> m_lineOfItem;                           // the first comparison line of each item number
    QList<std::pair<int, const ClearingFinding*>> m_rowFinding; // per findings row: bid and finding; null for headings

    std::unique_ptr<DataSet> m_rankingRows;
    std::unique_ptr<DataSet> m_findingRows;
    std::unique_ptr<DataSet> m_lineRows;
    std::unique_ptr<QAbstractTableModel> m_comparisonModel;

    QComboBox* m_contract;
    QListWidget* m_diskList;
    QPushButton* m_add;
    QPushButton* m_remove;
    QDoubleSpinBox* m_deviation;
    QDoubleSpinBox* m_k;
    QDoubleSpinBox* m_e1;
    QDoubleSpinBox* m_e2;
    QDoubleSpinBox* m_score;
    QSpinBox* m_dropExtremes;
    QPushButton* m_clear;
    QLabel* m_summary;
    QTabWidget* m_tabs;
    DataGrid* m_ranking;
    QComboBox* m_groupBy;
    DataGrid* m_findings;
    QTableView* m_comparison;
    QPushButton* m_exportWorkbook;
    QPushButton* m_exportPdf;
    QPushButton* m_close;

    QDialog* m_lineWindow = nullptr;
    QLabel* m_lineHeading = nullptr;
    DataGrid* m_lineGrid = nullptr;
};

} // namespace tenvora::ui

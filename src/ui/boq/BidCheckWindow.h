// BidCheckWindow: the bid check "投标检查", hosted in the main window.
#pragma once

#include "boq/BidCheck.h"
#include "shell/HostedTool.h"

#include <memory>

class QLabel;
class QPushButton;

namespace tenvora {
class DataSet;
class DataModule;
} // namespace tenvora

namespace tenvora::ui {

class DataGrid;

class BidCheckWindow : public HostedTool {
    Q_OBJECT
public:
    explicit BidCheckWindow(DataModule& dm, QWidget* parent = nullptr);
    ~BidCheckWindow() override;

    QString caption() const override { return QStringLiteral("投标检查"); }
    QString toolbarCaption() const override { return QStringLiteral("投标检查"); }
    QWidget* contentPanel() override { return m_panel; }

    // Checks the current contract again and shows the findings grouped by kind.
    void check();
    // "全部重算": recomputes every chapter with a stale total as one change, then checks again.
    void recomputeStale();
    // Opens the line of the finding shown in that grid row (nothing for a group's heading).
    void openRow(int row);

    const BidCheckResult& result() const { return m_result; }
    DataGrid* grid() const { return m_grid; }
    QLabel* summaryLabel() const { return m_summary; }
    QPushButton* recomputeButton() const { return m_recompute; }

    // The text shown when nothing was found.
    static QString cleanText();

signals:
    // A finding was opened: the host shows the BoQ editor (or the day-work editor) on it.
    void findingOpened(const tenvora::BidFinding& finding);

private:
    void showResult();

    DataModule& m_dm;
    BidCheckResult m_result;
    QList<int> m_rowFinding; // per grid row: the finding's index, -1 for a group's heading
    std::unique_ptr<DataSet> m_rows;
    QWidget* m_panel;
    QLabel* m_summary;
    DataGrid* m_grid;
    QPushButton* m_recompute;
    QPushButton* m_check;
    QPushButton* m_close;
};

} // namespace tenvora::ui

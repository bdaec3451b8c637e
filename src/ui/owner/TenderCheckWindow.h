// TenderCheckWindow: "招标文件检查", the tender check's findings grouped by kind; a double click (or
// Enter) on a finding goes to its line in the main window.
#pragma once

#include "owner/TenderCheck.h"

#include <QWidget>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace tenvora {
class DataModule;
}

namespace tenvora::ui {

class TenderCheckWindow : public QWidget {
    Q_OBJECT
public:
    explicit TenderCheckWindow(DataModule& dm, QWidget* parent = nullptr);

    // Runs the check again and shows what it found.
    void check();
    const TenderCheckResult& result() const { return m_result; }
    QTreeWidget* list() const { return m_list; }
    QLabel* summaryLabel() const { return m_summary; }
    // Opens the finding of the item (nothing for a group's heading).
    void openItem(QTreeWidgetItem* item);

    static QString cleanText() { return QStringLiteral("没有发现问题，可以发放。"); }

signals:
    void findingOpened(const tenvora::TenderFinding& finding);

private:
    DataModule& m_dm;
    TenderCheckResult m_result;
    QLabel* m_summary;
    QTreeWidget* m_list;
};

} // namespace tenvora::ui

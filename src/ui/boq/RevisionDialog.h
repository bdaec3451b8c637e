// RevisionDialog: "导入修订清单", the changes a revised owner bill brings, shown before anything is written.
#pragma once

#include "boq/BoqRevision.h"
#include "data/DataSet.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace tenvora {
class DataModule;
}

namespace tenvora::ui {

class DataGrid;

class RevisionDialog : public QDialog {
    Q_OBJECT
public:
    RevisionDialog(DataModule& dm, const BoqRevisionPlan& plan, QWidget* parent = nullptr);

    // The rows of the list, one per change, in item-number order.
    DataSet& changes() { return m_changes; }
    DataGrid* grid() const { return m_grid; }
    QLabel* summaryLabel() const { return m_summary; }
    QPushButton* confirmButton() const { return m_confirm; }
    QPushButton* cancelButton() const { return m_cancel; }

    static QStringList columns();

private:
    DataSet m_changes;
    QLabel* m_summary;
    DataGrid* m_grid;
    QPushButton* m_confirm;
    QPushButton* m_cancel;
};

} // namespace tenvora::ui

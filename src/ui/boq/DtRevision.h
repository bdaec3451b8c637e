// TFrmRevision: "导入修订清单", the changes a revised owner bill brings, shown before anything is written.
#pragma once

#include "boq/BoqRevision.h"
#include "data/DataSet.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace tenvora {
class TDmMain;
}

namespace tenvora::ui {

class DataGrid;

class TFrmRevision : public QDialog {
    Q_OBJECT
public:
    TFrmRevision(TDmMain& dm, const BoqRevisionPlan& plan, QWidget* parent = nullptr);

    // The rows of the list, one per change, in item-number order.
    DataSet& changes() { return m_changes; }
    DataGrid* DBGrid1() const { return m_grid; }
    QLabel* Summary() const { return m_summary; }
    QPushButton* Confirm() const { return m_confirm; }
    QPushButton* Cancel() const { return m_cancel; }

    static QStringList columns();

private:
    DataSet m_changes;
    QLabel* m_summary;
    DataGrid* m_grid;
    QPushButton* m_confirm;
    QPushButton* m_cancel;
};

} // namespace tenvora::ui

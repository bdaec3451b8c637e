// OwnerDayworkPanel: the three day-work schedules of one contract section (计日工 page): labour,
// material and machinery in the shared grid, names, units and quantities typed in, items added and
// deleted, the schedules imported from a workbook, undo and redo.
#pragma once

#include "owner/OwnerDayworkEditor.h"

#include <QWidget>
#include <array>

class QPushButton;
class QTabWidget;

namespace tenvora {
class DataModule;
}

namespace tenvora::ui {

class DataGrid;

class OwnerDayworkPanel : public QWidget {
    Q_OBJECT
public:
    explicit OwnerDayworkPanel(DataModule& dm, QWidget* parent = nullptr);

    void setContract(const QString& contractId);
    bool savePending();
    // Shows the schedule and makes the item with the code current; false when it has none.
    bool goToItem(Schedule s, const QString& code);

    OwnerDayworkEditor& editor() { return m_editor; }
    DataGrid* grid(Schedule s) const { return m_grids[static_cast<size_t>(s) - 1]; }
    QTabWidget* pages() const { return m_pages; }
    Schedule currentSchedule() const;
    QPushButton* addButton() const { return m_add; }
    QPushButton* deleteButton() const { return m_delete; }
    QPushButton* undoButton() const { return m_undo; }
    QPushButton* redoButton() const { return m_redo; }

public slots:
    void addItem();
    void deleteItem();
    void importWorkbook();
    void undo();
    void redo();

signals:
    void itemsChanged();

private:
    void updateButtons();
    // Shows the schedule with the row (or the nearest there is) current.
    void showRow(Schedule s, int row);

    DataModule& m_dm;
    OwnerDayworkEditor m_editor;
    QTabWidget* m_pages;
    std::array<DataGrid*, 3> m_grids{};
    QPushButton* m_add;
    QPushButton* m_delete;
    QPushButton* m_import;
    QPushButton* m_undo;
    QPushButton* m_redo;
};

} // namespace tenvora::ui

// DayworkEditorWindow: the day-work price lists editor, "计日工清单", hosted in the main window.
#pragma once

#include "daywork/DayworkLists.h"
#include "shell/HostedTool.h"

#include <array>

class QAction;
class QLabel;
class QPushButton;
class QTabWidget;

namespace tenvora {
class DataModule;
}

namespace tenvora::ui {

class DataGrid;

class DayworkEditorWindow : public HostedTool {
    Q_OBJECT
public:
    explicit DayworkEditorWindow(DataModule& dm, QWidget* parent = nullptr);

    QString caption() const override { return QStringLiteral("计日工清单"); }
    QString toolbarCaption() const override { return QStringLiteral("计日工"); }
    QWidget* contentPanel() override { return m_panelAll; }
    // A price typed but not yet saved is saved through the row hook, never dropped.
    bool savePendingEdit() override;

    DayworkLists& lists() { return m_lists; }
    DataGrid* grid(Schedule s) const { return m_grids[static_cast<size_t>(s) - 1]; }
    QTabWidget* pages() const { return m_pages; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* closeButton() const { return m_close; }
    // The live totals under the pages: the schedule on display and the day-work total.
    QLabel* totalsLabel() const { return m_totals; }
    QLabel* messageLabel() const { return m_message; }
    QAction* undoAction() const { return m_undo; }
    QAction* redoAction() const { return m_redo; }
    // The schedule of the page on display.
    Schedule currentSchedule() const;

    // Shows the schedule's page and makes the item with that row identity current; false when
    // it is not listed.
    bool showItem(Schedule s, const QVariant& rowId);

public slots:
    void saveCurrentPage();
    void closeEditor();
    // Ctrl+Z / Ctrl+Y: a cell being typed into is dropped first, as Esc would; otherwise the
    // last saved price (or total) goes back, and the page and row it was on are shown.
    void undo();
    void redo();

private:
    DataGrid* makeGrid(Schedule s);
    void updateTotals();
    void afterStep(bool undone, const std::optional<DayworkLists::Place>& place);

    DataModule& m_dm;
    DayworkLists m_lists;
    QWidget* m_panelAll;
    QTabWidget* m_pages;
    std::array<DataGrid*, 3> m_grids{};
    QPushButton* m_save;
    QPushButton* m_close;
    QLabel* m_totals;
    QLabel* m_message;
    QAction* m_undo;
    QAction* m_redo;
};

} // namespace tenvora::ui

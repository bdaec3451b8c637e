// DayworkEditorWindow: the day-work price lists editor, "计日工清单", hosted in the main window.
#pragma once

#include "daywork/DayworkLists.h"
#include "shell/HostedTool.h"

#include <array>

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

    // Shows the schedule's page and makes the item with that row identity current; false when
    // it is not listed.
    bool showItem(Schedule s, const QVariant& rowId);

public slots:
    void saveCurrentPage();
    void closeEditor();

private:
    DataGrid* makeGrid(Schedule s);

    DataModule& m_dm;
    DayworkLists m_lists;
    QWidget* m_panelAll;
    QTabWidget* m_pages;
    std::array<DataGrid*, 3> m_grids{};
    QPushButton* m_save;
    QPushButton* m_close;
};

} // namespace tenvora::ui

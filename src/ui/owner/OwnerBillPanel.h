// OwnerBillPanel: the owner's bill of one contract section in the shared grid (工程量清单 page):
// descriptions, units, quantities and provisional sums typed in, lines added and deleted, the
// bill imported from a workbook, undo and redo.
#pragma once

#include "owner/OwnerBillEditor.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace tenvora {
class DataModule;
}

namespace tenvora::ui {

class DataGrid;

class OwnerBillPanel : public QWidget {
    Q_OBJECT
public:
    explicit OwnerBillPanel(DataModule& dm, QWidget* parent = nullptr);

    // Shows the section's lines (an empty ID: none); a pending edit is saved first.
    void setContract(const QString& contractId);
    // Saves a typed value not saved yet; false when it could not be (the reason was shown).
    bool savePending();
    // Makes the line with the item number current; false when the section has none.
    bool goToItem(const QString& item);
    // Reads the lines again, the current line staying where it still is.
    void refresh();
    // The grid's current row; -1 when none.
    int currentRow() const;

    OwnerBillEditor& editor() { return m_editor; }
    DataGrid* grid() const { return m_grid; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* deleteButton() const { return m_delete; }
    QPushButton* importButton() const { return m_import; }
    QPushButton* undoButton() const { return m_undo; }
    QPushButton* redoButton() const { return m_redo; }

public slots:
    void addLine();
    void deleteLine();
    void importWorkbook();
    void undo();
    void redo();

signals:
    // Lines were added, deleted or imported: the tree's counts changed.
    void linesChanged();

private:
    void updateButtons();
    // Makes the row (or the nearest there is) current in the grid.
    void showRow(int row);

    DataModule& m_dm;
    OwnerBillEditor m_editor;
    DataGrid* m_grid;
    QLabel* m_summary;
    QPushButton* m_add;
    QPushButton* m_delete;
    QPushButton* m_import;
    QPushButton* m_undo;
    QPushButton* m_redo;
};

} // namespace tenvora::ui

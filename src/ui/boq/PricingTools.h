// The pricing aids of the BoQ editor window: undo and redo, find and the "只看未报价" filter,
// paste and copy with multi-row selection, the live totals under the grid, the price adjustment
// dialog and the chapter names beside the codes in the tree. The rules are the core editor's;
// this only wires them to the window.
#pragma once

#include "boq/BoqFind.h"
#include "shell/UiStyle.h"

#include <QObject>
#include <QStyledItemDelegate>
#include <functional>

class QAction;
class QLabel;
class QVBoxLayout;

namespace tenvora {
class BoqEditor;
class DataModule;
} // namespace tenvora

namespace tenvora::ui {

class BoqFindBar;
class DataGrid;
class BoqEditorWindow;

// Draws chapter nodes (the tree's third level) as "100 总则"; the node text stays the code.
class BoqTreeLabels : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    static QString labelOf(const QModelIndex& index);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

class BoqPricingTools : public QObject {
    Q_OBJECT
public:
    // Puts the find bar above the grid and the totals under it, in the grid's column.
    BoqPricingTools(BoqEditorWindow& tool, BoqEditor& editor, DataModule& dm, QVBoxLayout* gridColumn);

    BoqFindBar* findBar() const { return m_findBar; }
    QLabel* totalsLabel() const { return m_totals; }
    QLabel* messageLabel() const { return m_message; }
    QAction* undoAction() const { return m_undo; }
    QAction* redoAction() const { return m_redo; }
    QAction* findAction() const { return m_find; }
    QAction* copyAction() const { return m_copy; }
    QAction* pasteAction() const { return m_paste; }
    QAction* adjustAction() const { return m_adjust; }

    // The background of a chapter line whose stored total is out of date.
    static QColor staleColor() { return MarkedFigure(); }

    void undo();
    void redo();
    // The clipboard's text into the price column from the current line down.
    void paste();
    // "调价…": the adjustment dialog, modal.
    void adjust();

private:
    void showLine(const BoqFoundLine& line);
    void updateTotals();
    void showTotals(); // updateTotals() without catching
    void updateHistory();
    // The message, and the first bidder line of the step made current when the list holds it.
    void afterStep(bool undone, qint64 line);
    bool run(const std::function<void()>& action);

    BoqEditorWindow& m_tool;
    BoqEditor& m_editor;
    DataModule& m_dm;
    DataGrid* m_grid;
    BoqFindBar* m_findBar;
    QLabel* m_totals;
    QLabel* m_message;
    QAction* m_undo;
    QAction* m_redo;
    QAction* m_find;
    QAction* m_copy;
    QAction* m_paste;
    QAction* m_adjust;
};

} // namespace tenvora::ui

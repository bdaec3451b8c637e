// Undo and redo as the pricing editors offer them: "撤销(&Z)" with Ctrl+Z and "重做(&Y)" with
// Ctrl+Y (or Ctrl+Shift+Z) anywhere in the window that hosts the editor, a text field with the
// focus keeping its own; the tooltips name the step each would undo or redo.
#pragma once

class QAction;
class QToolButton;
class QWidget;

namespace tenvora {
class PriceHistory;
}

namespace tenvora::ui {

struct UndoActions {
    QAction* undo = nullptr;
    QAction* redo = nullptr;

    // Both actions, added to the editor's panel.
    static UndoActions create(QWidget* panel);
    // Enabled and tooltips as the history stands.
    void follow(const PriceHistory& history) const;
};

// A text-only tool button for the action (its enabling and tooltip follow the action).
QToolButton* ToolButtonFor(QAction* action, QWidget* parent);

} // namespace tenvora::ui

#include "shell/UndoActions.h"

#include "boq/PriceHistory.h"

#include <QAction>
#include <QToolButton>
#include <QWidget>

namespace tenvora::ui {

UndoActions UndoActions::create(QWidget* panel) {
    UndoActions a;
    a.undo = new QAction(QStringLiteral("撤销(&Z)"), panel);
    a.undo->setObjectName(QStringLiteral("UndoAction"));
    a.undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    a.redo = new QAction(QStringLiteral("重做(&Y)"), panel);
    a.redo->setObjectName(QStringLiteral("RedoAction"));
    a.redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    for (QAction* action : {a.undo, a.redo}) {
        action->setShortcutContext(Qt::WindowShortcut);
        panel->addAction(action);
    }
    return a;
}

void UndoActions::follow(const PriceHistory& history) const {
    undo->setEnabled(history.canUndo());
    redo->setEnabled(history.canRedo());
    undo->setToolTip(history.canUndo() ? QStringLiteral("撤销：%1（Ctrl+Z）").arg(history.undoLabel())
                                       : QStringLiteral("没有可撤销的操作"));
    redo->setToolTip(history.canRedo() ? QStringLiteral("重做：%1（Ctrl+Y）").arg(history.redoLabel())
                                       : QStringLiteral("没有可重做的操作"));
}

QToolButton* ToolButtonFor(QAction* action, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setDefaultAction(action);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return button;
}

} // namespace tenvora::ui

// Runs modal dialogs; tests install a handler that plays the user's part instead of a person.
#pragma once

#include <functional>

class QDialog;

namespace tenvora::ui {

// dialog.exec(), or the installed handler's answer (a QDialog::DialogCode).
int ExecModal(QDialog& dialog);
// An empty handler restores the real modal loop.
void SetModalHandler(std::function<int(QDialog&)> handler);

} // namespace tenvora::ui

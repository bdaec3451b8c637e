// How the core tells the user something without knowing about windows or terminals.
#pragma once

#include <QString>

namespace tenvora {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // A modal message with an OK button in the workbench; a line on stderr in the CLI.
    virtual void showMessage(const QString& text) = 0;
};

// Front-end hooks of the main window that the data module calls back.
class MainWindowHooks {
public:
    virtual ~MainWindowHooks() = default;
    virtual void UpdateStatusBar() = 0;
    virtual void ResetToolButtons() = 0;
};

} // namespace tenvora

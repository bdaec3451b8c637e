// Every modal message and question of the workbench goes through here, so tests can answer them.
#pragma once

#include <QString>
#include <QStringList>
#include <exception>
#include <functional>

class QWidget;

namespace tenvora::ui {

class MessageBox {
public:
    // A message with an OK button.
    static void information(QWidget* parent, const QString& text, const QString& title = QString());
    // The same with the error icon: something failed.
    static void error(QWidget* parent, const QString& text, const QString& title = QString());
    // A Yes/No question; true for Yes. Enter answers Yes unless defaultYes is false.
    static bool question(QWidget* parent, const QString& text, const QString& title = QString(),
                         bool defaultYes = true);

    // Test mode: nothing is shown. Messages are recorded; questions take the queued answers
    // in order, and a question without one is recorded as unanswered and answered No.
    static void setTestMode(bool on);
    static bool testMode();
    static void queueAnswer(bool yes);
    static QStringList takeShown();  // texts of messages and questions since the last call
    static QStringList takeErrors(); // of those, the texts shown with the error icon
    static int takeUnanswered();     // questions asked without a queued answer
    static int pendingAnswers();     // queued answers nobody asked for yet
    // The answer Enter would give (true: Yes) of each question since the last call.
    static QList<bool> takeDefaultAnswers();
};

// The workbench's one error boundary: every user command runs through Guarded, and whatever it
// throws becomes exactly one message box: a refusal of the system (Refused) with the
// information icon, any other failure with the error icon, nothing for ActionAbandoned (the
// user has been told already, or chose to stop). No exception goes on into Qt's event loop.
void ShowFailure(QWidget* parent, const std::exception& failure);
// True when the action ran to its end.
bool Guarded(QWidget* parent, const std::function<void()>& action);

class FileDialog {
public:
    // The file-open dialog; an empty text when the user cancels.
    static QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
    // The same choosing several files at once; an empty list when the user cancels.
    static QStringList getOpenFileNames(QWidget* parent, const QString& caption, const QString& dir,
                                        const QString& filter);
    // The file-save dialog (asks before replacing a file); an empty text when the user cancels.
    static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
    // The folder chooser; an empty text when the user cancels.
    static QString getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir);
    // Test mode (with MessageBox::setTestMode): answers come from this queue; none means cancel.
    // getOpenFileNames takes every file queued, as one choice.
    static void queueFile(const QString& path);
    // Test mode: the folders or file names the dialogs were opened on, since the last call.
    static QStringList takeProposed();
};

} // namespace tenvora::ui

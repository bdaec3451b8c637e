// Every modal message and question of the workbench goes through here, so tests can answer them.
#pragma once

#include "data/MessageSink.h"

#include <QString>
#include <QStringList>

class QWidget;

namespace tenvora::ui {

class MessageBox {
public:
    // A message with an OK button.
    static void information(QWidget* parent, const QString& text, const QString& title = QString());
    // A Yes/No question; true for Yes. Enter answers Yes unless defaultYes is false.
    static bool question(QWidget* parent, const QString& text, const QString& title = QString(),
                         bool defaultYes = true);

    // Test mode: nothing is shown. Messages are recorded; questions take the queued answers
    // in order, and a question without one is recorded as unanswered and answered No.
    static void setTestMode(bool on);
    static bool testMode();
    static void queueAnswer(bool yes);
    static QStringList takeShown(); // texts of messages and questions since the last call
    static int takeUnanswered();    // questions asked without a queued answer
    static int pendingAnswers();    // queued answers nobody asked for yet
    // The answer Enter would give (true: Yes) of each question since the last call.
    static QList<bool> takeDefaultAnswers();
};

// The core's message sink for the workbench: a modal OK box.
class GuiMessageSink : public MessageSink {
public:
    void showMessage(const QString& text) override;
};

class FileDialog {
public:
    // The file-open dialog; an empty text when the user cancels.
    static QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
    // The file-save dialog (asks before replacing a file); an empty text when the user cancels.
    static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
    // Test mode (with MessageBox::setTestMode): answers come from this queue; none means cancel.
    static void queueFile(const QString& path);
    // Test mode: the folders or file names the dialogs were opened on, since the last call.
    static QStringList takeProposed();
};

} // namespace tenvora::ui

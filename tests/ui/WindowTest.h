// What every window test does around each test function: boxes answered from a queue, never
// waiting for a person, and nothing left unasked or unanswered afterwards.
#pragma once

#include "MessageBox.h"
#include "Modal.h"

#include <QString>

namespace tenvora::test {

inline void BeginWindowTest() {
    ui::MessageBox::setTestMode(true);
}

// Drops the test's dialog handler; names what the test left behind (questions asked without an
// answer queued, answers queued that nobody asked for), empty when nothing.
inline QString EndWindowTest() {
    ui::SetModalHandler({});
    const int unanswered = ui::MessageBox::takeUnanswered();
    const int pending = ui::MessageBox::pendingAnswers();
    QString left;
    if (unanswered)
        left += QStringLiteral("%1 questions asked without an answer; ").arg(unanswered);
    if (pending)
        left += QStringLiteral("%1 answers never asked for").arg(pending);
    return left;
}

} // namespace tenvora::test

#include "MessageBox.h"

#include "data/Errors.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QQueue>

namespace tenvora::ui {

namespace {

struct TestState {
    bool on = false;
    QQueue<bool> answers;
    QQueue<QString> files;
    QStringList proposed;
    QStringList shown;
    QStringList errors;
    QList<bool> defaults;
    int unanswered = 0;
};

TestState& state() {
    static TestState s;
    return s;
}

} // namespace

void MessageBox::information(QWidget* parent, const QString& text, const QString& title) {
    if (state().on) {
        state().shown << text;
        return;
    }
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
    box.exec();
}

void MessageBox::error(QWidget* parent, const QString& text, const QString& title) {
    if (state().on) {
        state().shown << text;
        state().errors << text;
        return;
    }
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool MessageBox::question(QWidget* parent, const QString& text, const QString& title, bool defaultYes) {
    if (state().on) {
        state().shown << text;
        state().defaults << defaultYes;
        if (state().answers.isEmpty()) {
            ++state().unanswered;
            qWarning("question without a queued answer: %s", qPrintable(text));
            return false;
        }
        return state().answers.dequeue();
    }
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void MessageBox::setTestMode(bool on) {
    state() = TestState();
    state().on = on;
}

bool MessageBox::testMode() {
    return state().on;
}

void MessageBox::queueAnswer(bool yes) {
    state().answers.enqueue(yes);
}

QStringList MessageBox::takeShown() {
    return std::exchange(state().shown, {});
}

QStringList MessageBox::takeErrors() {
    return std::exchange(state().errors, {});
}

int MessageBox::takeUnanswered() {
    return std::exchange(state().unanswered, 0);
}

QList<bool> MessageBox::takeDefaultAnswers() {
    return std::exchange(state().defaults, {});
}

int MessageBox::pendingAnswers() {
    return static_cast<int>(state().answers.size());
}

void ShowFailure(QWidget* parent, const std::exception& failure) {
    if (dynamic_cast<const ActionAbandoned*>(&failure))
        return;
    if (const auto* refused = dynamic_cast<const Refused*>(&failure)) {
        MessageBox::information(parent, refused->text());
        return;
    }
    if (const auto* error = dynamic_cast<const Error*>(&failure)) {
        MessageBox::error(parent, error->text());
        return;
    }
    MessageBox::error(parent, QString::fromLocal8Bit(failure.what()));
}

bool Guarded(QWidget* parent, const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (const std::exception& e) {
        ShowFailure(parent, e);
    }
    return false;
}

QString FileDialog::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter) {
    if (state().on) {
        state().proposed << dir;
        return state().files.isEmpty() ? QString() : state().files.dequeue();
    }
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QStringList FileDialog::getOpenFileNames(QWidget* parent, const QString& caption, const QString& dir,
                                         const QString& filter) {
    if (state().on) {
        state().proposed << dir;
        QStringList chosen(state().files.cbegin(), state().files.cend());
        state().files.clear();
        return chosen;
    }
    return QFileDialog::getOpenFileNames(parent, caption, dir, filter);
}

QString FileDialog::getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter) {
    if (state().on) {
        state().proposed << dir;
        return state().files.isEmpty() ? QString() : state().files.dequeue();
    }
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

QString FileDialog::getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir) {
    if (state().on) {
        state().proposed << dir;
        return state().files.isEmpty() ? QString() : state().files.dequeue();
    }
    return QFileDialog::getExistingDirectory(parent, caption, dir);
}

void FileDialog::queueFile(const QString& path) {
    state().files.enqueue(path);
}

QStringList FileDialog::takeProposed() {
    return std::exchange(state().proposed, {});
}

} // namespace tenvora::ui

// Running the tenvora command in a test: one call, its exit code and what it printed.
#pragma once

#include "Cli.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <utility>

namespace tenvora::test {

struct CliRun {
    int code = -1;
    QString out;
    QString err;
    QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

struct CliCall {
    CliCall(QStringList arguments, QProcessEnvironment env = QProcessEnvironment::systemEnvironment(),
            QString folder = QString(), int timeout = 60000)
        : args(std::move(arguments)), environment(std::move(env)), workingDir(std::move(folder)), timeoutMs(timeout) {}
    QStringList args;
    QProcessEnvironment environment;
    QString workingDir; // empty: the test's own
    QByteArray input;   // standard input, closed after it
    int timeoutMs;
};

inline CliRun RunCli(const CliCall& call) {
    QProcess p;
    p.setProcessEnvironment(call.environment);
    if (!call.workingDir.isEmpty())
        p.setWorkingDirectory(call.workingDir);
    p.start(QStringLiteral(TENVORA_CLI_PATH), call.args);
    p.write(call.input);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(call.timeoutMs)) << call.args.join(' ').toStdString();
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

inline CliRun RunCli(const QStringList& args) {
    return RunCli(CliCall{args});
}

// The same command inside the test's own process, for tests where a child process adds nothing
// (the child-process runs keep the exit codes, stdout and the environment honest). The login
// comes from the arguments only.
inline CliRun RunCliHere(const QStringList& args) {
    cli::CapturedOutput captured;
    const int code = cli::RunCommandLine(args, cli::Context{});
    return {code, captured.out(), captured.err()};
}

// The demo file's login, as options.
inline QStringList DemoLogin() {
    return {QStringLiteral("--unit"), QStringLiteral("华建路桥工程有限公司"), QStringLiteral("--password"),
            QStringLiteral("hj2026")};
}

// An environment that logs in to the demo file, for commands given no login options.
inline QProcessEnvironment DemoLoginEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TENVORA_UNIT"), QStringLiteral("华建路桥工程有限公司"));
    env.insert(QStringLiteral("TENVORA_PASSWORD"), QStringLiteral("hj2026"));
    return env;
}

} // namespace tenvora::test

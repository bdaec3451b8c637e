// Error types shared by every core unit.
#pragma once

#include <QDir>
#include <QString>
#include <stdexcept>

namespace tenvora {

// A core error whose text is meant for the user as it stands.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

// The store refused a statement; carries the store's own message.
class DbError : public Error {
public:
    using Error::Error;
};

// A page of the data file met by a statement does not read back as written (damaged on the disk
// or in a copy). A DbError, so every caller that gives up on a failed statement still does; the
// text says what happened and what to do, and is shown instead of the statement error message.
class DataFileDamaged : public DbError {
public:
    using DbError::DbError;
    static QString textFor(const QString& path) {
        return QStringLiteral("数据文件 %1 已损坏，其中的数据无法读出。请从备份恢复数据文件（数据管理 → 数据恢复）。")
            .arg(QDir::toNativeSeparators(path));
    }
};

// The data file cannot be used: missing, not ours, wrong key, damaged.
class DataFileError : public Error {
public:
    using Error::Error;
};

// The user action was abandoned after its one message was already shown.
// Caught at the boundary of every UI action and CLI command; never shown again.
class ActionAbandoned : public std::exception {
public:
    const char* what() const noexcept override { return "action abandoned"; }
};

// A rule of the system refused what was asked (the text is the system's message).
class Refused : public Error {
public:
    using Error::Error;
};

} // namespace tenvora

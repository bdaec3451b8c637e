// Error types shared by every core unit.
#pragma once

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

// The data file cannot be used: missing, not ours, wrong key, damaged.
class DataFileError : public Error {
public:
    using Error::Error;
};

// The data file itself failed under a statement: read-only, disk full, damaged, replaced, held by
// another writer. Never the "SQL语句错误!" case: the text names the file and the cause.
class StorageError : public DataFileError {
public:
    using DataFileError::DataFileError;
    // cause: the failure alone ("磁盘空间已满"), for a caller that words the message itself.
    StorageError(const QString& text, QString cause) : DataFileError(text), m_cause(std::move(cause)) {}
    const QString& cause() const { return m_cause; }

private:
    QString m_cause;
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

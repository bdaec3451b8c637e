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

// The store rejected a statement for itself (not a fault of the file, which is StorageError):
// the user sees "SQL语句错误!", the store's own text stays with the exception for a log.
class StatementError : public Error {
public:
    explicit StatementError(QString detail) : Error(QStringLiteral("SQL语句错误!")), m_detail(std::move(detail)) {}
    const QString& detail() const { return m_detail; }

private:
    QString m_detail;
};

// A front end stopped the user's action where the user has already been told why, or chose to
// stop (a question answered 否): nothing more is shown. Core never throws it.
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

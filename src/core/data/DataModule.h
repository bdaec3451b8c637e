// DataModule: the one connection, the session values and the shared SQL operations.
#pragma once

#include "data/Database.h"
#include "data/Query.h"
#include "data/Session.h"

#include <QObject>
#include <functional>
#include <memory>

namespace tenvora {

// It shows nothing: every failure is an exception for the front end's one error boundary, and
// what the session does is announced by signals for whoever shows it.
class DataModule : public QObject {
    Q_OBJECT
public:
    // Opens the data file at once; throws DataFileError naming the file and the reason.
    explicit DataModule(const QString& dataFilePath);
    // Without a connection yet: the caller opens the file itself (the workbench does so on
    // another thread while it builds its windows) and hands it over with adoptConnection().
    // No statement may run before that.
    struct OpenLater {};
    DataModule(const QString& dataFilePath, OpenLater);
    DataModule(const DataModule&) = delete;
    DataModule& operator=(const DataModule&) = delete;

    Database& database() { return m_db; }
    Query& PublicQuery() { return m_publicQuery; }
    SessionValues& session() { return m_session; }
    const SessionValues& session() const { return m_session; }
    const QString& dataFilePath() const { return m_path; }

    std::unique_ptr<Query> NewQuery(const QString& sql = {}, const QVariantList& values = {});
    // Sets the statement and opens (select) or executes it. A statement the store rejects throws
    // StatementError ("SQL语句错误!"); the query is left closed. Failures of the file itself
    // (damaged, read-only, disk full) are StorageError and pass through, named.
    void RunSql(Query& query, const QString& sql, const QVariantList& values, bool select);
    // Runs the statements of one change in one transaction (joining an outer change) under the
    // same rule: a store error anywhere, beginning and committing included, throws
    // StatementError with nothing of the change stored. Other exceptions of the change roll it
    // back and reach the caller.
    void RunChange(const std::function<void()>& change);
    // Reads a select row by row without keeping the rows (one pass over many lines), under the
    // RunSql rule.
    void RunSelect(const QString& sql, const QVariantList& values, const std::function<void(const Statement&)>& row);

    // Fills the session from the stored selection; errors leave earlier values and are not shown.
    void LoadCurrentContract();
    // Replaces the stored selection with the session's project, contract and period (one
    // transaction: a failing insert keeps the old row), then reloads.
    void SaveCurrentContract();
    // "Tenvora---" + the window caption, or the bare title; announced as a session change.
    void setMainCaption(const QString& windowCaption);
    void setMainCaption();

    // Asks whoever shows the toolbar to release the buttons of commands that are over.
    void ResetToolButtons();

    // Backup and restore copy the file with the connection closed.
    void closeConnection();
    // Throws DataFileError when the file cannot be opened again.
    void reopenConnection();
    bool isConnected() const { return m_db.isOpen(); }
    // Takes over a connection opened on the data file path (replacing a closed one).
    void adoptConnection(Database db);

signals:
    // The session values were read or changed (the current contract, the caption).
    void sessionChanged();
    void toolButtonsReleased();

private:
    QString m_path;
    Database m_db;
    Query m_publicQuery;
    SessionValues m_session;
};

} // namespace tenvora

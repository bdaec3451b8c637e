// TDmMain: the one connection, the session values and the shared SQL operations.
#pragma once

#include "data/Database.h"
#include "data/MessageSink.h"
#include "data/Query.h"
#include "data/Session.h"

#include <memory>

namespace tenvora {

// What the user is told when a statement failed: "SQL语句错误!", or, when a page of the data file
// is damaged, what happened and what to do about it.
QString StoreFailureText(const DbError& e);

class TDmMain {
public:
    // Opens the data file at once; throws DataFileError naming the file and the reason.
    TDmMain(const QString& dataFilePath, MessageSink& sink);
    // Without a connection yet: the caller opens the file itself (the workbench does so on
    // another thread while it builds its windows) and hands it over with adoptConnection().
    // No statement may run before that.
    struct OpenLater {};
    TDmMain(const QString& dataFilePath, MessageSink& sink, OpenLater);
    TDmMain(const TDmMain&) = delete;
    TDmMain& operator=(const TDmMain&) = delete;

    Database& ADOCon() { return m_db; }
    Query& PublicQuery() { return m_publicQuery; }
    SessionValues& session() { return m_session; }
    const SessionValues& session() const { return m_session; }
    MessageSink& sink() { return m_sink; }
    const QString& dataFilePath() const { return m_path; }

    void setMainWindow(MainWindowHooks* hooks) { m_main = hooks; }
    MainWindowHooks* mainWindow() const { return m_main; }

    std::unique_ptr<Query> NewQuery(const QString& sql = {}, const QVariantList& values = {});
    // Sets the statement and opens (select) or executes it. On any store error shows
    // StoreFailureText once and throws ActionAbandoned; the query is left closed.
    void RunSql(Query& query, const QString& sql, const QVariantList& values, bool select);

    // Fills the session from the stored selection; errors leave earlier values and are not shown.
    void LoadCurrentContract();
    // Replaces the stored selection with the session's project, contract and period (one
    // transaction: a failing insert keeps the old row), then reloads.
    void SaveCurrentContract();
    // "Tenvora---" + the window caption, or the bare title; then refreshes the main window.
    void setMainCaption(const QString& windowCaption);
    void setMainCaption();

    // Stores a template (engine's stored form) into Reports.报表 of the row with that ID.
    // Returns false, writing nothing, when no row has that ID. Store errors propagate.
    bool SaveReportToDb(const QByteArray& storedTemplate, const QString& key);
    // The designer's save request: answers whether the template was stored under CurReportID.
    void ReportDesigner1SaveReport(const QByteArray& storedTemplate, const QString& name, bool saveAs, bool& saved);

    void ResetToolButtons();

    // Backup and restore copy the file with the connection closed.
    void closeConnection();
    // Throws DataFileError when the file cannot be opened again.
    void reopenConnection();
    bool isConnected() const { return m_db.isOpen(); }
    // Takes over a connection opened on the data file path (replacing a closed one).
    void adoptConnection(Database db);

private:
    QString m_path;
    MessageSink& m_sink;
    Database m_db;
    Query m_publicQuery;
    SessionValues m_session;
    MainWindowHooks* m_main = nullptr;
};

} // namespace tenvora

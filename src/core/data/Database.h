// Connection to one encrypted data file, prepared statements and transactions.
#pragma once

#include "data/Errors.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <memory>
#include <optional>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace tenvora {

class Database;

// What a connection knew of its file when it opened it, to tell that file from another put in
// its place (a backup copied over it, even into the same inode).
struct OpenedFile {
    QString path;
    QByteArray salt;         // the file's first bytes, which no change of its content touches
    qint64 dataVersion = -1; // the store's count of changes made to the file by others
};

// A prepared statement. Values only ever reach it through bind(); never through the text.
class Statement {
public:
    Statement() = default;
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    // Binds by 1-based position. A null QVariant binds NULL; numbers bind as numbers.
    Statement& bind(int index, const QVariant& value);
    Statement& bindAll(const QVariantList& values);

    // Steps once; true while a row is available.
    bool next();
    // Steps to the end, for statements without a result.
    void run();
    void reset();

    int columnCount() const;
    QString columnName(int column) const;
    QVariant value(int column) const;
    // The same, but hands back `same` itself (sharing its text) when the column holds that very
    // text: a list that repeats a contract, chapter or unit on every row then keeps one copy.
    QVariant value(int column, const QVariant& same) const;
    // NumberOf(value(column)), without making the value first.
    std::optional<double> number(int column) const;
    // The column's text as the store holds it (UTF-8), valid until the next step; nothing when the
    // column holds no text. For readers that look many repeated texts up without decoding each.
    std::optional<QByteArrayView> text(int column) const;

private:
    friend class Database;
    Statement(sqlite3* db, sqlite3_stmt* stmt, QString sql, std::shared_ptr<const OpenedFile> file)
        : m_db(db), m_stmt(stmt), m_sql(std::move(sql)), m_file(std::move(file)) {}
    [[noreturn]] void fail(int rc) const;

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
    QString m_sql;
    std::shared_ptr<const OpenedFile> m_file; // null where no write is checked (a new or a verified file)
};

class Database {
public:
    // A statement prepared once for its text and kept by the connection, for statements that
    // run again and again (a row written back, a savepoint). The lease resets and unbinds it when
    // it ends; a text already leased elsewhere gets a fresh statement of its own.
    class Lease {
    public:
        explicit Lease(std::shared_ptr<Statement> statement) : m_statement(std::move(statement)) {}
        Lease(Lease&&) noexcept = default;
        Lease& operator=(Lease&&) noexcept = default;
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        ~Lease();
        Statement& operator*() const { return *m_statement; }
        Statement* operator->() const { return m_statement.get(); }

    private:
        std::shared_ptr<Statement> m_statement;
    };

    enum class Mode {
        ReadWrite, // the working connection: also adds the program's indexes
        Verify,    // read-only look at a file, changes nothing (restore checks)
        Recover,   // may write, adds nothing: undoes an interrupted change (HasHotJournal), as any
                   // open that may write does, and is otherwise a look at the file
    };

    Database() = default;
    Database(Database&& other) noexcept;
    Database& operator=(Database&& other) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database();

    // Opens an existing data file with the key and checks that it is one of ours (key and
    // tables; the pages beyond the catalogue are not read). Never creates a file. Throws DataFileError naming the file
    // and the reason.
    static Database open(const QString& path, const QByteArray& key, Mode mode = Mode::ReadWrite);
    // Creates a new, empty encrypted file (fails if the path exists). The caller adds the schema.
    static Database create(const QString& path, const QByteArray& key);

    bool isOpen() const { return m_db != nullptr; }
    const QString& path() const { return m_path; }
    void close();

    Statement prepare(const QString& sql);
    // The kept statement for this text (prepared on first use).
    Lease cached(const QString& sql);
    // Runs a statement with bound values and no result (through the kept statements).
    void exec(const QString& sql, const QVariantList& values = {});
    // First column of the first row, or a null QVariant without a row.
    QVariant scalar(const QString& sql, const QVariantList& values = {});
    qint64 changes() const;
    // True while a transaction is open on the connection (the store is not in autocommit).
    bool inTransaction() const;

    // Reads every page and checks the structure and the indexes (a full read of the file, so
    // only where a copy must be sound: backup, bid disk, restore, check-file). Throws
    // DataFileError naming the file and what is wrong: a file shorter than its header records,
    // the pages that are damaged, the indexes that disagree with their tables.
    void checkIntegrity();

    // Makes another data file of the system readable on this connection as schema `name` (an
    // identifier of the caller's own: letters, digits and "_"), keyed as open() keys a file, so one
    // statement can copy rows from it. Throws DataFileError naming the file when it cannot be read.
    void attach(const QString& path, const QString& name, const QByteArray& key);

    // Column names of a table as the file declares them (empty when the table is missing).
    QStringList columnsOf(const QString& table);

    // Throws StorageError (the text of a replaced file) when the file at the path is no longer
    // the one this connection opened: another file, or another content copied into it. Every
    // write runs it first (a change at its start, a single statement before it writes), since
    // only this program writes the file while it holds it (DataFileLock).
    void requireSameFile() const;

private:
    Database(sqlite3* db, QString path) : m_db(db), m_path(std::move(path)) {}
    void registerFunctions();

    friend class Transaction;
    sqlite3* m_db = nullptr;
    QString m_path;
    std::shared_ptr<const OpenedFile> m_file;
    int m_openSavepoints = 0;
    // By statement text; dropped whole when full, which only costs new preparations.
    std::unordered_map<QString, std::shared_ptr<Statement>> m_cache;
};

// One change the user sees as one: rolls back unless commit() was called, so a failing step
// leaves the file as it was. A change made inside another (a recompute inside a paste, an
// import inside a revision) joins it through a savepoint: its rollback undoes only its own
// steps, its commit stores nothing yet, and the outermost change decides for all of them.
class Transaction {
public:
    explicit Transaction(Database& db);
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction();
    // Throws DbError when the store refuses, or when it has already given up the whole change
    // on its own (a full disk, an I/O error): nothing of the change was stored then.
    void commit();
    bool isOutermost() const { return m_savepoint.isEmpty(); }

private:
    Database& m_db;
    QString m_savepoint; // empty for the outermost change
    bool m_done = false;
};

// Every connection also knows RoundAmount(x) (the whole-yuan rule) and RoundDecimals(x, n)
// (decimal rounding as the display formats round), for statements that print figures.

// The name of the collation that orders item numbers naturally (101-2 before 101-10).
inline constexpr const char* kItemNumberCollation = "ITEMNO";

} // namespace tenvora

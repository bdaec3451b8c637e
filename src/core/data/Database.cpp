#include "data/Database.h"

#include "data/KeyDerivation.h"
#include "data/NaturalOrder.h"
#include "data/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVarLengthArray>

#include <utility>

#include <sqlite3.h>

namespace tenvora {

namespace {

QString storeMessage(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// Item numbers are plain ASCII as a rule: widened on the stack, so sorting a long list does not
// allocate two strings per comparison.
bool widenAscii(const void* bytes, int length, QVarLengthArray<char16_t, 64>& out) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    out.resize(length);
    for (int i = 0; i < length; ++i) {
        if (p[i] >= 0x80)
            return false;
        out[i] = p[i];
    }
    return true;
}

int itemNumberCollation(void*, int lenA, const void* a, int lenB, const void* b) {
    QVarLengthArray<char16_t, 64> wa;
    QVarLengthArray<char16_t, 64> wb;
    if (widenAscii(a, lenA, wa) && widenAscii(b, lenB, wb))
        return CompareItemNumbers(QStringView(wa.data(), wa.size()), QStringView(wb.data(), wb.size()));
    const QString ta = QString::fromUtf8(static_cast<const char*>(a), lenA);
    const QString tb = QString::fromUtf8(static_cast<const char*>(b), lenB);
    return CompareItemNumbers(ta, tb);
}

[[noreturn]] void refuseFile(const QString& path, const QString& reason) {
    throw DataFileError(QStringLiteral("无法打开数据文件 %1：%2").arg(QDir::toNativeSeparators(path), reason));
}

// A page that does not decrypt or whose structure is broken: the file, not the statement, is at fault.
bool isDamage(int rc) {
    const int primary = rc & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

[[noreturn]] void throwStoreError(sqlite3* db, int rc) {
    if (isDamage(rc)) {
        const char* file = sqlite3_db_filename(db, "main");
        throw DataFileDamaged(DataFileDamaged::textFor(file ? QFile::decodeName(file) : QString()));
    }
    throw DbError(storeMessage(db));
}

// The raw form of the key ("x'hex'"), derived here from the salt at the head of the file, so the
// store skips its own, much slower derivation. Empty when the file is too short to hold a salt.
QByteArray rawKeyFor(const QString& path, const QByteArray& passphrase) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray salt = file.read(kFileSaltBytes);
    if (salt.size() != kFileSaltBytes)
        return {};
    return "x'" + Pbkdf2HmacSha1(passphrase, salt, kFileKdfIterations, kFileKeyBytes).toHex() + "'";
}

} // namespace

// ---- Statement ----

Statement::Statement(Statement&& other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)), m_stmt(std::exchange(other.m_stmt, nullptr)),
      m_sql(std::move(other.m_sql)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_db = std::exchange(other.m_db, nullptr);
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_sql = std::move(other.m_sql);
    }
    return *this;
}

Statement::~Statement() {
    sqlite3_finalize(m_stmt);
}

void Statement::fail(int rc) const {
    throwStoreError(m_db, rc);
}

Statement& Statement::bind(int index, const QVariant& value) {
    int rc = SQLITE_OK;
    if (!value.isValid() || value.isNull()) {
        rc = sqlite3_bind_null(m_stmt, index);
    } else {
        switch (value.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::Long:
        case QMetaType::Short:
            rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            rc = sqlite3_bind_blob64(m_stmt, index, bytes.constData(), static_cast<sqlite3_uint64>(bytes.size()),
                                     SQLITE_TRANSIENT);
            break;
        }
        default: {
            // constData() of an empty array is "", so an empty text binds as '' and not as NULL.
            const QByteArray text = value.toString().toUtf8();
            rc = sqlite3_bind_text64(m_stmt, index, text.constData(), static_cast<sqlite3_uint64>(text.size()),
                                     SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        }
        }
    }
    if (rc != SQLITE_OK)
        fail(rc);
    return *this;
}

Statement& Statement::bindAll(const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i)
        bind(i + 1, values[i]);
    return *this;
}

bool Statement::next() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail(rc);
}

void Statement::run() {
    while (next()) {
    }
}

void Statement::reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int Statement::columnCount() const {
    return sqlite3_column_count(m_stmt);
}

QString Statement::columnName(int column) const {
    return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
}

QVariant Statement::value(int column) const {
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(sqlite3_column_int64(m_stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, column));
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column)));
    }
    case SQLITE_BLOB: {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(m_stmt, column));
        return QVariant(QByteArray(data, sqlite3_column_bytes(m_stmt, column)));
    }
    default:
        return QVariant();
    }
}

QVariant Statement::value(int column, const QVariant& same) const {
    if (same.typeId() == QMetaType::QString && sqlite3_column_type(m_stmt, column) == SQLITE_TEXT) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        const auto* held = static_cast<const QString*>(same.constData());
        if (QAnyStringView::equal(QUtf8StringView(text, sqlite3_column_bytes(m_stmt, column)), *held))
            return same;
    }
    return value(column);
}

// ---- Database ----

Database::Database(Database&& other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)), m_path(std::move(other.m_path)) {}

Database& Database::operator=(Database&& other) noexcept {
    if (this != &other) {
        close();
        m_db = std::exchange(other.m_db, nullptr);
        m_path = std::move(other.m_path);
    }
    return *this;
}

Database::~Database() {
    close();
}

void Database::close() {
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

void Database::registerFunctions() {
    sqlite3_create_collation_v2(m_db, kItemNumberCollation, SQLITE_UTF8, nullptr, itemNumberCollation, nullptr);
    sqlite3_busy_timeout(m_db, 3000);
}

Database Database::open(const QString& path, const QByteArray& key, Mode mode) {
    const QFileInfo info(path);
    if (!info.exists())
        refuseFile(path, QStringLiteral("文件不存在"));
    if (!info.isFile())
        refuseFile(path, QStringLiteral("不是一个文件"));
    if (info.size() == 0)
        refuseFile(path, QStringLiteral("文件是空的（0 字节），不是数据文件"));

    sqlite3* raw = nullptr;
    const int flags = mode == Mode::Verify ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags, nullptr);
    if (rc != SQLITE_OK) {
        // Keying a handle whose open failed would crash the library: report and stop here.
        const QString reason = raw ? storeMessage(raw) : QStringLiteral("存储引擎无法分配连接");
        sqlite3_close_v2(raw);
        refuseFile(path, reason);
    }
    Database db(raw, path);
    const QByteArray rawKey = rawKeyFor(path, key);
    const QByteArray& given = rawKey.isEmpty() ? key : rawKey;
    if (sqlite3_key(raw, given.constData(), static_cast<int>(given.size())) != SQLITE_OK)
        refuseFile(path, storeMessage(raw));
    db.registerFunctions();

    // Reads the first page and the catalogue only: the open costs the same whatever the file
    // holds. A page damaged further in is reported when it is read (DataFileDamaged), and the
    // copies that must be sound run checkIntegrity().
    try {
        db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    } catch (const DbError&) {
        refuseFile(path, QStringLiteral("密码不符，或者不是本系统的数据文件"));
    }
    QString missing;
    try {
        missing = Schema::missingParts(db);
    } catch (const DbError&) {
        // A catalogue longer than its first page, damaged further in.
        refuseFile(path, QStringLiteral("文件已损坏，数据表的定义无法读出"));
    }
    if (!missing.isEmpty())
        refuseFile(path, QStringLiteral("不是本系统的数据文件：%1").arg(missing));
    if (mode == Mode::ReadWrite) {
        try {
            Schema::ensureIndexes(db);
        } catch (const DbError& e) {
            refuseFile(path, e.text());
        }
    }
    return db;
}

Database Database::create(const QString& path, const QByteArray& key) {
    if (QFileInfo::exists(path))
        throw DataFileError(QStringLiteral("文件 %1 已经存在").arg(QDir::toNativeSeparators(path)));
    sqlite3* raw = nullptr;
    const int rc =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        const QString reason = raw ? storeMessage(raw) : QStringLiteral("存储引擎无法分配连接");
        sqlite3_close_v2(raw);
        throw DataFileError(QStringLiteral("无法创建数据文件 %1：%2").arg(QDir::toNativeSeparators(path), reason));
    }
    Database db(raw, path);
    // An empty key leaves the file unencrypted (only tests make such files).
    if (!key.isEmpty() && sqlite3_key(raw, key.constData(), static_cast<int>(key.size())) != SQLITE_OK)
        throw DataFileError(storeMessage(raw));
    db.registerFunctions();
    return db;
}

Statement Database::prepare(const QString& sql) {
    if (!m_db)
        throw DbError(QStringLiteral("数据库连接已关闭"));
    sqlite3_stmt* stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(m_db, text.constData(), static_cast<int>(text.size()), &stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        throwStoreError(m_db, rc);
    }
    if (!stmt) // only blanks or a comment
        throw DbError(QStringLiteral("空语句"));
    return Statement(m_db, stmt, sql);
}

void Database::exec(const QString& sql, const QVariantList& values) {
    Statement st = prepare(sql);
    st.bindAll(values);
    st.run();
}

QVariant Database::scalar(const QString& sql, const QVariantList& values) {
    Statement st = prepare(sql);
    st.bindAll(values);
    return st.next() ? st.value(0) : QVariant();
}

qint64 Database::changes() const {
    return m_db ? sqlite3_changes(m_db) : 0;
}

void Database::checkIntegrity() {
    QStringList problems;
    try {
        Statement st = prepare(QStringLiteral("PRAGMA integrity_check(10)"));
        while (st.next())
            problems << st.value(0).toString();
    } catch (const DataFileDamaged&) {
        // A page that does not even decrypt stops the check itself.
        problems = {QStringLiteral("有数据页无法读出")};
    } catch (const DbError& e) {
        problems = {e.text()};
    }
    if (problems == QStringList{QStringLiteral("ok")})
        return;
    throw DataFileError(QStringLiteral("数据文件 %1 已损坏（%2）")
                            .arg(QDir::toNativeSeparators(m_path), problems.join(QStringLiteral("；"))));
}

QStringList Database::columnsOf(const QString& table) {
    const QVariant found = scalar(QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table','view') "
                                                 "AND name = ? COLLATE NOCASE"),
                                  {table});
    if (!found.isValid())
        return {};
    // Identifiers cannot be bound; the name comes from the file's own catalogue and is quoted.
    QString name = found.toString();
    name.replace(QLatin1Char('"'), QLatin1String("\"\""));
    Statement st = prepare(QStringLiteral("SELECT * FROM \"%1\" LIMIT 0").arg(name));
    QStringList columns;
    for (int i = 0; i < st.columnCount(); ++i)
        columns << st.columnName(i);
    return columns;
}

// ---- Transaction ----

Transaction::Transaction(Database& db) : m_db(db) {
    m_db.exec(QStringLiteral("BEGIN IMMEDIATE"));
}

Transaction::~Transaction() {
    if (!m_done) {
        try {
            m_db.exec(QStringLiteral("ROLLBACK"));
        } catch (const DbError&) {
            // The store may already have rolled back on its own; nothing more to undo.
        }
    }
}

void Transaction::commit() {
    m_db.exec(QStringLiteral("COMMIT"));
    m_done = true;
}

} // namespace tenvora

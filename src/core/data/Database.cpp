#include "data/Database.h"

#include "data/DataFileProbe.h"
#include "data/KeyDerivation.h"
#include "data/Money.h"
#include "data/NaturalOrder.h"
#include "data/Schema.h"
#include "data/SystemErrorText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QVarLengthArray>

#include <cerrno>
#include <optional>
#include <utility>

#include <sqlite3.h>

namespace tenvora {

namespace {

QString storeMessage(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// The whole-yuan rule and the decimal rounding of the money code, so that a figure a statement
// rounds is the figure the grid and the printed form show. Texts that are not numbers give null.
std::optional<double> sqlNumber(sqlite3_value* value) {
    switch (sqlite3_value_numeric_type(value)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return sqlite3_value_double(value);
    default:
        return std::nullopt;
    }
}

void roundAmountFunction(sqlite3_context* context, int, sqlite3_value** args) {
    if (sqlite3_value_numeric_type(args[0]) == SQLITE_INTEGER) {
        sqlite3_result_int64(context, sqlite3_value_int64(args[0]));
        return;
    }
    const std::optional<double> number = sqlNumber(args[0]);
    if (!number) {
        sqlite3_result_null(context);
        return;
    }
    try {
        sqlite3_result_int64(context, RoundAmount(*number));
    } catch (const Error& e) {
        sqlite3_result_error(context, e.text().toUtf8().constData(), -1);
    }
}

void roundDecimalsFunction(sqlite3_context* context, int, sqlite3_value** args) {
    const std::optional<double> number = sqlNumber(args[0]);
    if (!number) {
        sqlite3_result_null(context);
        return;
    }
    sqlite3_result_double(context, RoundToDecimals(*number, sqlite3_value_int(args[1])));
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

struct StorageFailure {
    QString text; // the whole message, naming the file
    QString cause;
};

QString replacedText(const QString& file) {
    return QStringLiteral("数据文件 %1 已被替换或删除（例如在别处恢复了数据文件），刚才的修改没有保存，"
                          "以免写进已经不在的文件。请关闭本程序后重新打开。")
        .arg(file);
}

// A store failure that lies in the file, not in the statement; an empty text for any other.
StorageFailure storageFailure(sqlite3* db, int rc) {
    const QString file = QDir::toNativeSeparators(QString::fromUtf8(sqlite3_db_filename(db, "main")));
    const int error = sqlite3_system_errno(db);
    const StorageFailure diskFull{
        QStringLiteral("磁盘空间已满，数据文件 %1 无法写入，刚才的修改没有保存。请腾出磁盘空间后再试。").arg(file),
        SystemErrorText(ENOSPC)};
    switch (rc & 0xff) {
    case SQLITE_READONLY:
        // The store notices by itself when the path no longer names the file it writes to.
        if (rc == SQLITE_READONLY_DBMOVED)
            return {replacedText(file), QStringLiteral("数据文件已被替换或删除")};
        return {QStringLiteral("数据文件 %1 是只读的，刚才的修改没有保存。请去掉文件的只读属性，"
                               "或把它复制到可以写入的文件夹后重新打开。")
                    .arg(file),
                QStringLiteral("数据文件是只读的")};
    case SQLITE_FULL:
        return diskFull;
    case SQLITE_CORRUPT:
        return {QStringLiteral("数据文件 %1 已损坏（读到了损坏的数据页），操作没有完成。请用备份恢复数据文件"
                               "（数据管理 → 数据恢复）。")
                    .arg(file),
                QStringLiteral("数据文件已损坏")};
    case SQLITE_IOERR:
        if (error == ENOSPC)
            return diskFull;
        return {QStringLiteral("读写数据文件 %1 时出错（%2），操作没有完成，刚才的修改没有保存。")
                    .arg(file, SystemErrorText(error)),
                SystemErrorText(error)};
    case SQLITE_CANTOPEN:
        return {QStringLiteral("无法打开数据文件 %1 或它旁边的日志文件（%2），刚才的修改没有保存。")
                    .arg(file, SystemErrorText(error)),
                SystemErrorText(error)};
    case SQLITE_BUSY:
        return {QStringLiteral("数据文件 %1 正被另一个程序写入，刚才的操作没有完成。请稍后再试。").arg(file),
                QStringLiteral("数据文件正被另一个程序写入")};
    default:
        return {};
    }
}

// The head of the file as it lies on the disk now (the salt SQLCipher keeps there).
QByteArray fileHead(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(kFileSaltBytes);
}

// The store's count of changes that others made to the file this connection reads; empty when
// the store cannot tell now (another program holds the file for a moment).
std::optional<qint64> dataVersionOf(sqlite3* db, bool& unreadable) {
    sqlite3_stmt* st = nullptr;
    std::optional<qint64> version;
    int rc = sqlite3_prepare_v2(db, "PRAGMA data_version", -1, &st, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(st);
    if (rc == SQLITE_ROW)
        version = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    unreadable = !version && (rc & 0xff) != SQLITE_BUSY && (rc & 0xff) != SQLITE_LOCKED;
    return version;
}

// A copy put over the file, even into the same inode, changes either its salt (another data
// file) or the header the store checks at the start of every read (an older copy of this one);
// this program's own writes change neither.
void checkSameFile(sqlite3* db, const OpenedFile& file) {
    bool unreadable = false;
    const std::optional<qint64> version = dataVersionOf(db, unreadable);
    const bool same = fileHead(file.path) == file.salt && (version ? *version == file.dataVersion : !unreadable);
    if (!same)
        throw StorageError(replacedText(QDir::toNativeSeparators(file.path)), QStringLiteral("数据文件已被替换或删除"));
}

[[noreturn]] void throwFailure(sqlite3* db, int rc) {
    // The connection's own record carries the extended code even where a call returned the primary one.
    const int extended = sqlite3_extended_errcode(db);
    StorageFailure storage = storageFailure(db, (extended & 0xff) == (rc & 0xff) ? extended : rc);
    if (!storage.text.isEmpty())
        throw StorageError(storage.text, storage.cause);
    throw DbError(storeMessage(db));
}

[[noreturn]] void refuseFile(const QString& path, const QString& reason) {
    throw DataFileError(QStringLiteral("无法打开数据文件 %1：%2").arg(QDir::toNativeSeparators(path), reason));
}

// Why the file's catalogue cannot be read although its first page decrypts: an interrupted change
// not yet undone, a file cut short, or a damaged page, each told as what it is.
QString unreadableCatalogueReason(Database& db, const QString& path) {
    if (HasHotJournal(path))
        return QStringLiteral("文件中有一次被中断的修改尚未撤销（日志文件 %1），只读时无法读出；以可写方式打开时会"
                              "自动撤销（例如运行 tenvora check-file）")
            .arg(QDir::toNativeSeparators(JournalPathFor(path)));
    const qint64 filePages = QFileInfo(path).size() / kDataFilePageSize;
    qint64 recorded = 0;
    try {
        // The store refuses to read a file shorter than its header records, unless asked to
        // look at the schema as it is (which writes nothing).
        db.exec(QStringLiteral("PRAGMA writable_schema=1"));
        recorded = db.scalar(QStringLiteral("PRAGMA page_count")).toLongLong();
    } catch (const Error&) {
        // Without the header's count the file cannot be said to be short.
    }
    if (recorded > filePages)
        return QStringLiteral("文件不完整，比应有的短：文件头记录有 %1 页，文件只有 %2 页（可能只复制了一部分），"
                              "请用完整的文件或备份")
            .arg(recorded)
            .arg(filePages);
    return QStringLiteral("文件已损坏：数据表的目录所在的页内容不对（可能是磁盘故障，或文件被别的程序改动过），"
                          "请用完好的备份");
}

// The integrity check's findings in the user's words: the damaged pages by number, the indexes
// that disagree with their tables, and anything else as the store says it.
QString integrityFindings(const QStringList& problems) {
    static const QRegularExpression page(QStringLiteral("[Pp]age (\\d+)"));
    static const QRegularExpression index(QStringLiteral("index (\\S+)"));
    QStringList pages;
    QStringList indexes;
    QStringList other;
    for (const QString& problem : problems) {
        bool known = false;
        for (auto it = page.globalMatch(problem); it.hasNext();) {
            const QString n = it.next().captured(1);
            known = true;
            if (!pages.contains(n))
                pages << n;
        }
        if (!known)
            for (auto it = index.globalMatch(problem); it.hasNext();) {
                const QString name = it.next().captured(1);
                known = true;
                if (!indexes.contains(name))
                    indexes << name;
            }
        if (!known)
            other << problem;
    }
    QStringList findings;
    if (!pages.isEmpty())
        findings << QStringLiteral("第 %1 页已损坏或无法读出").arg(pages.join(QStringLiteral("、")));
    if (!indexes.isEmpty())
        findings << QStringLiteral("索引 %1 与数据表不一致").arg(indexes.join(QStringLiteral("、")));
    findings << other;
    return findings.join(QStringLiteral("；"));
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
      m_sql(std::move(other.m_sql)), m_file(std::move(other.m_file)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_db = std::exchange(other.m_db, nullptr);
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_sql = std::move(other.m_sql);
        m_file = std::move(other.m_file);
    }
    return *this;
}

Statement::~Statement() {
    sqlite3_finalize(m_stmt);
}

void Statement::fail(int rc) const {
    throwFailure(m_db, rc);
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
    // A write outside a change checks the file before it starts; a change checked it at its start.
    if (m_file && sqlite3_get_autocommit(m_db) != 0 && sqlite3_stmt_busy(m_stmt) == 0 &&
        sqlite3_stmt_readonly(m_stmt) == 0)
        checkSameFile(m_db, *m_file);
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

std::optional<double> Statement::number(int column) const {
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return static_cast<double>(sqlite3_column_int64(m_stmt, column));
    case SQLITE_FLOAT: {
        const double d = sqlite3_column_double(m_stmt, column);
        return std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
    }
    case SQLITE_NULL:
        return std::nullopt;
    default:
        return NumberOf(value(column));
    }
}

std::optional<QByteArrayView> Statement::text(int column) const {
    if (sqlite3_column_type(m_stmt, column) != SQLITE_TEXT)
        return std::nullopt;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return QByteArrayView(text, sqlite3_column_bytes(m_stmt, column));
}

// ---- Database ----

Database::Lease::~Lease() {
    if (m_statement)
        m_statement->reset();
}

Database::Database(Database&& other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)), m_path(std::move(other.m_path)), m_file(std::move(other.m_file)),
      m_openSavepoints(std::exchange(other.m_openSavepoints, 0)), m_cache(std::move(other.m_cache)) {}

Database& Database::operator=(Database&& other) noexcept {
    if (this != &other) {
        close();
        m_db = std::exchange(other.m_db, nullptr);
        m_path = std::move(other.m_path);
        m_file = std::move(other.m_file);
        m_openSavepoints = std::exchange(other.m_openSavepoints, 0);
        m_cache = std::move(other.m_cache);
    }
    return *this;
}

Database::~Database() {
    close();
}

void Database::close() {
    // Kept statements go first; one still leased is finalized when its lease ends, and the
    // store closes the connection then.
    m_cache.clear();
    m_file.reset();
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

namespace {

// Each connection is used by one thread only, and nothing asks the store how much memory it
// holds: the store's locks around every call and every allocation are work for nothing.
void ConfigureStore() {
    static const bool configured = [] {
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        return sqlite3_initialize() == SQLITE_OK;
    }();
    (void)configured;
}

} // namespace

void Database::registerFunctions() {
    // Extended codes tell a replaced file from a read-only one.
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_create_collation_v2(m_db, kItemNumberCollation, SQLITE_UTF8, nullptr, itemNumberCollation, nullptr);
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(m_db, "RoundAmount", 1, flags, nullptr, roundAmountFunction, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(m_db, "RoundDecimals", 2, flags, nullptr, roundDecimalsFunction, nullptr, nullptr,
                               nullptr);
    sqlite3_busy_timeout(m_db, 3000);
}

Database Database::open(const QString& path, const QByteArray& key, Mode mode) {
    ProbeDataFile(path, mode != Mode::Verify);

    sqlite3* raw = nullptr;
    ConfigureStore();
    const int flags = (mode == Mode::Verify ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
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
    // holds. A page damaged further in is reported when it is read (StorageError), and the
    // copies that must be sound run checkIntegrity().
    try {
        db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    } catch (const StorageError&) {
        // The first page decrypts, but the catalogue cannot be read.
        refuseFile(path, unreadableCatalogueReason(db, path));
    } catch (const DbError&) {
        // The first page does not decrypt: another key, another file, or that page damaged.
        refuseFile(path, QStringLiteral("密码不符，或者不是本系统的数据文件（也可能是文件的第一页已损坏）"));
    }
    QString missing;
    try {
        missing = Schema::missingParts(db);
    } catch (const Error&) {
        // A catalogue longer than its first page, damaged further in.
        refuseFile(path, QStringLiteral("文件已损坏，数据表的定义无法读出"));
    }
    if (!missing.isEmpty())
        refuseFile(path, QStringLiteral("不是本系统的数据文件：%1").arg(missing));
    if (mode == Mode::ReadWrite) {
        // A large bill's pages held decrypted (the store's default holds 2 MB): the lines, their
        // build-ups and indexes of a 100,000-line contract are read, priced and totalled again and
        // again, and fit in 32 MB.
        db.exec(QStringLiteral("PRAGMA cache_size=-32768"));
        try {
            Schema::ensureIndexes(db);
        } catch (const StorageError&) {
            // The indexes only make lists faster; a full disk must not keep the file from opening.
        } catch (const DbError& e) {
            refuseFile(path, QStringLiteral("无法建立本程序需要的索引（%1）").arg(e.text()));
        }
        bool unreadable = false;
        db.m_file = std::make_shared<const OpenedFile>(
            OpenedFile{path, fileHead(path), dataVersionOf(raw, unreadable).value_or(-1)});
    }
    return db;
}

Database Database::create(const QString& path, const QByteArray& key) {
    if (QFileInfo::exists(path))
        throw DataFileError(QStringLiteral("文件 %1 已经存在").arg(QDir::toNativeSeparators(path)));
    sqlite3* raw = nullptr;
    ConfigureStore();
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
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
        throwFailure(m_db, rc);
    }
    if (!stmt) // only blanks or a comment
        throw DbError(QStringLiteral("空语句"));
    return Statement(m_db, stmt, sql, m_file);
}

Database::Lease Database::cached(const QString& sql) {
    constexpr size_t kKept = 64;
    auto found = m_cache.find(sql);
    if (found != m_cache.end()) {
        if (found->second.use_count() == 1)
            return Lease(found->second);
        return Lease(std::make_shared<Statement>(prepare(sql)));
    }
    auto statement = std::make_shared<Statement>(prepare(sql));
    if (m_cache.size() >= kKept)
        m_cache.clear();
    m_cache.emplace(sql, statement);
    return Lease(std::move(statement));
}

void Database::exec(const QString& sql, const QVariantList& values) {
    Lease st = cached(sql);
    st->bindAll(values);
    st->run();
}

QVariant Database::scalar(const QString& sql, const QVariantList& values) {
    Lease st = cached(sql);
    st->bindAll(values);
    return st->next() ? st->value(0) : QVariant();
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
    } catch (const StorageError&) {
        // A page that does not even decrypt stops the check itself.
        problems = {QStringLiteral("有数据页无法读出")};
    } catch (const DbError& e) {
        problems = {e.text()};
    }
    if (problems == QStringList{QStringLiteral("ok")})
        return;
    const qint64 filePages = QFileInfo(m_path).size() / kDataFilePageSize;
    qint64 recorded = 0;
    try {
        recorded = scalar(QStringLiteral("PRAGMA page_count")).toLongLong();
    } catch (const Error&) {
        // Without the header's count the file cannot be said to be short.
    }
    if (recorded > filePages)
        throw DataFileError(QStringLiteral("数据文件 %1 不完整：文件头记录有 %2 页，文件只有 %3 页（比应有的短，"
                                           "可能只复制了一部分）")
                                .arg(QDir::toNativeSeparators(m_path))
                                .arg(recorded)
                                .arg(filePages));
    throw DataFileError(
        QStringLiteral("数据文件 %1 已损坏（%2）").arg(QDir::toNativeSeparators(m_path), integrityFindings(problems)));
}

void Database::attach(const QString& path, const QString& name, const QByteArray& key) {
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (!identifier.match(name).hasMatch())
        throw DbError(QStringLiteral("数据库别名“%1”不可用").arg(name));
    ProbeDataFile(path, false);
    const QByteArray rawKey = rawKeyFor(path, key);
    // The schema name is an identifier (checked above); the file and its key are bound.
    try {
        exec(QStringLiteral("ATTACH DATABASE ? AS %1 KEY ?").arg(name),
             {path, QString::fromLatin1(rawKey.isEmpty() ? key : rawKey)});
        scalar(QStringLiteral("SELECT count(*) FROM %1.sqlite_master").arg(name));
    } catch (const DbError& e) {
        refuseFile(path, e.text());
    } catch (const StorageError& e) {
        refuseFile(path, e.text());
    }
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

bool Database::inTransaction() const {
    return m_db && sqlite3_get_autocommit(m_db) == 0;
}

void Database::requireSameFile() const {
    if (m_db && m_file)
        checkSameFile(m_db, *m_file);
}

Transaction::Transaction(Database& db) : m_db(db) {
    if (!m_db.inTransaction()) {
        m_db.exec(QStringLiteral("BEGIN IMMEDIATE"));
        try {
            m_db.requireSameFile();
        } catch (const Error&) {
            try {
                m_db.exec(QStringLiteral("ROLLBACK"));
            } catch (const Error&) {
                // Nothing was written in the change yet.
            }
            throw;
        }
        return;
    }
    // Names are only ours; a counter keeps nested ones apart for the messages of the store.
    const QString name = QStringLiteral("tenvora_%1").arg(m_db.m_openSavepoints + 1);
    m_db.exec(QStringLiteral("SAVEPOINT ") + name);
    ++m_db.m_openSavepoints;
    m_savepoint = name;
}

Transaction::~Transaction() {
    if (m_done)
        return;
    try {
        if (isOutermost()) {
            if (m_db.inTransaction())
                m_db.exec(QStringLiteral("ROLLBACK"));
        } else {
            --m_db.m_openSavepoints;
            if (m_db.inTransaction()) {
                m_db.exec(QStringLiteral("ROLLBACK TO ") + m_savepoint);
                m_db.exec(QStringLiteral("RELEASE ") + m_savepoint);
            }
        }
    } catch (const Error&) {
        // The store has already undone the change on its own; nothing more to undo.
    }
}

void Transaction::commit() {
    if (m_done)
        return;
    if (!m_db.inTransaction()) {
        // The store rolled the whole change back after a failure (disk full, I/O error).
        m_done = true;
        if (!isOutermost())
            --m_db.m_openSavepoints;
        throw DbError(QStringLiteral("数据库已撤销了这次更改，没有保存任何内容"));
    }
    if (isOutermost()) {
        m_db.exec(QStringLiteral("COMMIT"));
    } else {
        m_db.exec(QStringLiteral("RELEASE ") + m_savepoint);
        --m_db.m_openSavepoints;
    }
    m_done = true;
}

} // namespace tenvora

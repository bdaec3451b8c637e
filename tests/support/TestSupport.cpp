#include "support/TestSupport.h"

#include "data/AppPaths.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "demo/DemoData.h"

#include <QDir>
#include <QFile>

namespace tenvora::test {

TempDataFile::TempDataFile(bool priced) : m_path(QDir(m_dir.path()).filePath(QStringLiteral("VORQEL.tr"))) {
    CreateDemoDataFile(m_path, priced, false);
}

std::unique_ptr<TDmMain> TempDataFile::open() {
    return std::make_unique<TDmMain>(m_path, sink);
}

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QString CreateEmptyDataFile(const QString& dir, const QString& name) {
    const QString path = QDir(dir).filePath(name);
    Database db = Database::create(path, DataFileKey());
    Schema::create(db);
    return path;
}

QString CreateDataFileWithDamagedLines(const QString& dir, const QString& name) {
    const QString path = QDir(dir).filePath(name);
    qint64 firstLinePage = 0;
    qint64 lastLinePage = 0;
    qint64 pageSize = 0;
    {
        Database db = Database::create(path, DataFileKey());
        Schema::create(db);
        Transaction tx(db);
        db.exec(QStringLiteral("insert into jd_xiangmu (ID, 项目名称) values ('P', '项目')"));
        db.exec(QStringLiteral("insert into jd_hetong (UPID, ID, 合同名称) values ('P', 'A1', 'A1合同段')"));
        db.exec(QStringLiteral("insert into 当前选择合同 (项目ID, 合同ID, 期数ID) values ('P', 'A1', '0')"));
        for (const DemoAccount& a : DemoAccounts())
            db.exec(QStringLiteral("insert into pass (unit, pass, bz) values (?, ?, ?)"),
                    {QString::fromUtf8(a.unit), QString::fromUtf8(a.password), QString::fromUtf8(a.kind)});
        // Only the lines grow from here on, so every page added is one of theirs.
        firstLinePage = db.scalar(QStringLiteral("PRAGMA page_count")).toLongLong() + 1;
        const QString longName = QStringLiteral("细目名称").repeated(60);
        for (int i = 0; i < 300; ++i)
            db.exec(QStringLiteral("insert into jd_htqd (合同编号, 章, 细目编号, 细目名称, 合同数量) "
                                   "values ('A1', '200', ?, ?, 10)"),
                    {QStringLiteral("201-%1").arg(i + 1), longName});
        tx.commit();
        lastLinePage = db.scalar(QStringLiteral("PRAGMA page_count")).toLongLong();
        pageSize = db.scalar(QStringLiteral("PRAGMA page_size")).toLongLong();
        Schema::ensureIndexes(db);
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite) || !f.seek((firstLinePage + lastLinePage) / 2 * pageSize - pageSize + 200) ||
        f.write(QByteArray(64, 'Z')) != 64)
        return {};
    return path;
}

} // namespace tenvora::test

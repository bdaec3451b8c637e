#include "support/TestSupport.h"

#include "data/AppPaths.h"
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

} // namespace tenvora::test

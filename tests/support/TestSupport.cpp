#include "support/TestSupport.h"

#include "data/AppPaths.h"
#include "data/Schema.h"
#include "demo/DemoData.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace tenvora::test {

namespace {

// Every test program keeps the workbench's settings in a folder of its own that goes with it, so
// no test reads what an earlier run left and none writes into the user's own settings.
const struct SettingsFolder {
    SettingsFolder() { qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit()); }
    QTemporaryDir dir;
} settingsFolder;

} // namespace

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

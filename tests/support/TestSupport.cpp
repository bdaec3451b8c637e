#include "support/TestSupport.h"

#include "data/AppPaths.h"
#include "data/Schema.h"
#include "demo/DemoData.h"

#include <QDir>

namespace tenvora::test {

TempDataFile::TempDataFile(bool priced) : m_path(QDir(m_dir.path()).filePath(QStringLiteral("VORQEL.tr"))) {
    CreateDemoDataFile(m_path, priced, false);
}

std::unique_ptr<TDmMain> TempDataFile::open() {
    return std::make_unique<TDmMain>(m_path, sink);
}

QString CreateEmptyDataFile(const QString& dir, const QString& name) {
    const QString path = QDir(dir).filePath(name);
    Database db = Database::create(path, DataFileKey());
    Schema::create(db);
    return path;
}

} // namespace tenvora::test

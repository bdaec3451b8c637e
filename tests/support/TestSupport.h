// Fixtures shared by the tests: temporary data files and a sink that records messages.
#pragma once

#include "data/DataModule.h"
#include "data/MessageSink.h"

#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace tenvora::test {

class RecordingSink : public MessageSink {
public:
    void showMessage(const QString& text) override { messages << text; }
    QStringList messages;
};

// A temporary folder holding a fresh demo data file; removed with the object.
class TempDataFile {
public:
    explicit TempDataFile(bool priced = false);
    QString path() const { return m_path; }
    QString dir() const { return m_dir.path(); }
    // Opens the file through the data module.
    std::unique_ptr<TDmMain> open();
    RecordingSink sink;

private:
    QTemporaryDir m_dir;
    QString m_path;
};

// The whole content of a file; empty when it cannot be read.
QByteArray ReadBytes(const QString& path);
// Replaces a file's content; false when it cannot be written in full.
bool WriteBytes(const QString& path, const QByteArray& bytes);

// A new encrypted file with the schema and no rows.
QString CreateEmptyDataFile(const QString& dir, const QString& name = QStringLiteral("empty.tr"));

// A data file (contract A1 current, the demo accounts) whose BoQ lines fill many pages, one of
// them overwritten on the disk. The catalogue and the small tables are intact, so the file
// opens; reading A1's lines meets the damaged page.
QString CreateDataFileWithDamagedLines(const QString& dir, const QString& name = QStringLiteral("damaged.tr"));

} // namespace tenvora::test

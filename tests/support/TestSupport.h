// Fixtures shared by the tests: temporary data files and the files they are built from.
#pragma once

#include "data/DataModule.h"

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

// GoogleTest prints texts in failure messages as text rather than as bytes.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& texts, std::ostream* os) {
    *os << "{\"" << texts.join(QStringLiteral("\", \"")).toStdString() << "\"}";
}

namespace tenvora::test {

// The text of the failure of that kind the action ends in; empty when it succeeds.
template <typename Failure> QString failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& e) {
        return e.text();
    }
    return {};
}

// A temporary folder holding a fresh demo data file; removed with the object.
class TempDataFile {
public:
    explicit TempDataFile(bool priced = false);
    QString path() const { return m_path; }
    QString dir() const { return m_dir.path(); }
    // Opens the file through the data module.
    std::unique_ptr<DataModule> open();

private:
    QTemporaryDir m_dir;
    QString m_path;
};

// The whole content of a file; empty when it cannot be read.
QByteArray ReadBytes(const QString& path);
// Replaces a file's content; false when it cannot be written in full.
bool WriteBytes(const QString& path, const QByteArray& bytes);

// A German locale (decimal comma) compiled into a temporary folder, so locale checks run on
// machines that have none installed; the sources come with Debian's locales package.
// While the object lives the process's C locale uses it (LC_ALL), as a user's desktop would
// set it; child processes get it through environment().
class CommaDecimalLocale {
public:
    CommaDecimalLocale();
    ~CommaDecimalLocale();
    CommaDecimalLocale(const CommaDecimalLocale&) = delete;
    CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;
    // True when the locale was compiled and is in force (printf writes 1.5 as "1,5").
    bool active() const { return m_active; }
    // LOCPATH and LC_ALL for a child process.
    QStringList environment() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldPath;
    std::string m_oldLocale;
    bool m_active = false;
};

// A small file system of its own (tmpfs) on a temporary folder, for a full disk or a read-only
// one. Mounting takes root; where it is refused, mounted() is false and why() says why, so the
// test skips visibly. Unmounted with the object.
class SmallFileSystem {
public:
    explicit SmallFileSystem(qint64 bytes = 512 * 1024);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool mounted() const { return m_mounted; }
    const QString& why() const { return m_why; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return QDir(m_dir.path()).filePath(name); }
    // Fills what is free up to about `leave` bytes (a filler file); false when it cannot.
    bool fill(qint64 leave = 0);
    // Frees the space fill() took.
    void empty();
    // The file system becomes read-only (as a CD or a write-protected stick).
    bool makeReadOnly();

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_why;
};

// Compares a text (a report's page dump) with the checked-in file tests/data/golden/NAME line
// by line; empty when they agree, else the first difference. With TENVORA_UPDATE_GOLDEN=1 in
// the environment the file is written instead (look at the pages before committing it).
QString CompareWithGolden(const QString& name, const QString& text);

// A new encrypted file with the schema and no rows.
QString CreateEmptyDataFile(const QString& dir, const QString& name = QStringLiteral("empty.tr"));

// A data file (contract A1 current, the demo accounts) whose BoQ lines fill many pages, one of
// them overwritten on the disk. The catalogue and the small tables are intact, so the file
// opens; reading A1's lines meets the damaged page.
QString CreateDataFileWithDamagedLines(const QString& dir, const QString& name = QStringLiteral("damaged.tr"));

} // namespace tenvora::test

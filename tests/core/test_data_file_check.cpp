// check-file against what a file may have been through: an interrupted change, a cut copy, a
// damaged page, a view in place of a table.
#include "data/AppPaths.h"
#include "data/DataFileProbe.h"
#include "data/Database.h"
#include "datamgmt/DataFileCheck.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

using namespace tenvora;
using namespace tenvora::test;

namespace {

QString checkFailure(const QString& path) {
    try {
        CheckDataFile(path);
    } catch (const DataFileError& e) {
        return e.text();
    }
    return {};
}

// A data file and its journal as a kill in the middle of a change leaves them: taken while the
// change is open, with pages of the file already overwritten.
void interruptedChange(const QString& from, const QString& to) {
    Database db = Database::open(from, DataFileKey());
    db.exec(QStringLiteral("PRAGMA cache_size=2")); // the change spills into the file itself
    db.exec(QStringLiteral("BEGIN IMMEDIATE"));
    db.exec(QStringLiteral("update jd_htqd set 合同单价 = 1, 细目名称 = 细目名称 || '（改）'"));
    ASSERT_TRUE(QFile::copy(from, to));
    ASSERT_TRUE(QFile::copy(JournalPathFor(from), JournalPathFor(to)));
    db.exec(QStringLiteral("ROLLBACK"));
}

} // namespace

TEST(CheckFile, AnInterruptedChangeIsUndoneAndTheFileJudgedAfterwards) {
    TempDataFile file(true);
    QTemporaryDir dir;
    const QString hot = dir.filePath(QStringLiteral("VORQEL.tr"));
    interruptedChange(file.path(), hot);
    ASSERT_TRUE(HasHotJournal(hot));
    ASSERT_NE(ReadBytes(hot), ReadBytes(file.path())) << "the change reached the file before the kill";

    // A read-only look cannot get past the journal, and says so instead of calling the file short.
    const QString readOnly = [&] {
        try {
            Database::open(hot, DataFileKey(), Database::Mode::Verify);
        } catch (const DataFileError& e) {
            return e.text();
        }
        return QString();
    }();
    EXPECT_TRUE(readOnly.contains(QStringLiteral("被中断的修改"))) << readOnly.toStdString();
    EXPECT_FALSE(readOnly.contains(QStringLiteral("短"))) << readOnly.toStdString();

    const QString verdict = CheckDataFile(hot);
    EXPECT_TRUE(verdict.startsWith(QStringLiteral("数据文件 %1 完好").arg(hot))) << verdict.toStdString();
    EXPECT_TRUE(verdict.contains(QStringLiteral("已经撤销"))) << verdict.toStdString();
    EXPECT_FALSE(QFile::exists(JournalPathFor(hot)));
    EXPECT_TRUE(ReadBytes(hot) == ReadBytes(file.path())) << "back to the file before the change";
    EXPECT_EQ(CheckDataFile(hot), QStringLiteral("数据文件 %1 完好").arg(hot));
}

TEST(CheckFile, OnAReadOnlyDiskTheInterruptedChangeIsLeftForTheNextOpen) {
    SmallFileSystem disk(4 * 1024 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << disk.why().toStdString();
    TempDataFile file(true);
    const QString hot = disk.filePath(QStringLiteral("VORQEL.tr"));
    interruptedChange(file.path(), hot);
    const QByteArray before = ReadBytes(hot);
    ASSERT_TRUE(disk.makeReadOnly());

    const QString verdict = CheckDataFile(hot);
    EXPECT_TRUE(verdict.startsWith(QStringLiteral("数据文件 %1 完好").arg(hot))) << verdict.toStdString();
    EXPECT_TRUE(verdict.contains(QStringLiteral("下次以可写方式打开时会自动撤销"))) << verdict.toStdString();
    EXPECT_TRUE(ReadBytes(hot) == before);
    EXPECT_TRUE(HasHotJournal(hot));
}

// Damage is named as what it is: a copy cut short is short, a damaged page is a damaged page.
TEST(CheckFile, DamageIsNamedAsWhatItIs) {
    TempDataFile file(true);
    QTemporaryDir dir;
    const QByteArray sound = ReadBytes(file.path());
    const qint64 pages = sound.size() / kDataFilePageSize;
    ASSERT_GT(pages, 12);
    const auto changed = [&](const std::function<void(QByteArray&)>& damage) {
        QByteArray bytes = sound;
        damage(bytes);
        return bytes;
    };
    const auto flip = [](qsizetype at) { return [at](QByteArray& b) { b[at] = static_cast<char>(b[at] ^ 0x10); }; };
    struct Case {
        const char* name;
        QByteArray bytes;
        QString says;
        QString never;
    };
    const QList<Case> cases = {
        {"three pages cut off", sound.left(sound.size() - 3 * kDataFilePageSize),
         QStringLiteral("文件头记录有 %1 页，文件只有 %2 页").arg(pages).arg(pages - 3), QStringLiteral("损坏")},
        {"last page zeroed", changed([](QByteArray& b) { b.replace(b.size() - 1024, 1024, QByteArray(1024, '\0')); }),
         QStringLiteral("已损坏"), QStringLiteral("短")},
        {"a bit flipped in the last page", changed(flip(sound.size() - 500)), QStringLiteral("已损坏"),
         QStringLiteral("短")},
        {"a bit flipped in page 11", changed(flip(10 * kDataFilePageSize + 300)), QStringLiteral("第 11"),
         QStringLiteral("短")},
        {"a bit flipped in page 1", changed(flip(300)), QStringLiteral("第一页已损坏"), QStringLiteral("短")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromUtf8(c.name).replace(QLatin1Char(' '), QLatin1Char('-')));
        ASSERT_TRUE(WriteBytes(path, c.bytes));
        const QString failure = checkFailure(path);
        EXPECT_TRUE(failure.contains(path)) << failure.toStdString();
        EXPECT_TRUE(failure.contains(c.says)) << failure.toStdString();
        EXPECT_FALSE(failure.contains(c.never)) << failure.toStdString();
        EXPECT_FALSE(failure.contains(QStringLiteral("Page"))) << "the store's own words stay out";
    }
}

TEST(CheckFile, ABillThatIsAViewIsNoDataFile) {
    TempDataFile file(true);
    {
        Database db = Database::open(file.path(), DataFileKey());
        db.exec(QStringLiteral("ALTER TABLE jd_htqd RENAME TO jd_htqd_lines"));
        db.exec(QStringLiteral("CREATE VIEW jd_htqd AS SELECT * FROM jd_htqd_lines"));
    }
    for (const Database::Mode mode : {Database::Mode::ReadWrite, Database::Mode::Verify}) {
        try {
            Database::open(file.path(), DataFileKey(), mode);
            ADD_FAILURE() << "a file whose bill is a view was opened";
        } catch (const DataFileError& e) {
            EXPECT_TRUE(e.text().contains(QStringLiteral("jd_htqd 是视图而不是数据表"))) << e.text().toStdString();
            EXPECT_FALSE(e.text().contains(QStringLiteral("views"))) << e.text().toStdString();
        }
    }
    EXPECT_TRUE(checkFailure(file.path()).contains(QStringLiteral("jd_htqd 是视图而不是数据表")));
}

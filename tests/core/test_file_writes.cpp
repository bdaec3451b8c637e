// Files the program writes (PDF, .tvr, the whole bid set): whole or not at all, under the name
// given, and a failure told by file and cause.
#include "ReportTest.h"
#include "datamgmt/FileCopy.h"
#include "report_engine/PageRenderer.h"
#include "report_engine/PdfJoin.h"
#include "report_engine/PreparedReportFile.h"
#include "report_engine/ReportLayout.h"
#include "reports/BidSet.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>

using namespace tenvora;
using namespace tenvora::report;
using namespace tenvora::test;

namespace {

QStringList everythingIn(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A form of `rows` lines, and one document made of two such forms (written with bookmarks).
RenderedDocument form(TextMeasure& measure, const QString& name, int rows) {
    const QByteArray xml = QStringLiteral(R"(<report title="%1">
  <font id="default" families="宋体, SimSun, AR PL UMing CN" size="10"/>
  <page width="210" height="297" margins="10 10 10 10">
    <band kind="data" dataset="rows" height="6"><memo width="190" height="6"><line>[text]</line></memo></band>
  </page></report>)")
                               .arg(name)
                               .toUtf8();
    TableDataSource source({QStringLiteral("text")});
    for (int i = 1; i <= rows; ++i)
        source.addRow({QStringLiteral("%1第%2行：挖土方、填方、借土填方").arg(name).arg(i)});
    return LayoutReport(ParseTemplate(xml, QStringLiteral("t.xml")), {{QStringLiteral("rows"), &source}}, measure);
}

RenderedDocument twoForms(TextMeasure& measure) {
    RenderedDocument whole;
    whole.title = QStringLiteral("投标报表");
    AppendDocument(whole, form(measure, QStringLiteral("甲"), 200), QStringLiteral("甲"));
    AppendDocument(whole, form(measure, QStringLiteral("乙"), 200), QStringLiteral("乙"));
    return whole;
}

} // namespace

TEST(StagedFile, WritesExactlyTheNameGivenOrRefusesIt) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString fifo = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    struct Case {
        QString name;
        QString says;
    };
    const QList<Case> refused = {
        {QString(), QStringLiteral("没有给出文件名")},
        {folder + QLatin1Char('/'), QStringLiteral("指的是文件夹")},
        {folder + QStringLiteral("/."), QStringLiteral("指的是文件夹")},
        {folder + QStringLiteral("/.."), QStringLiteral("指的是文件夹")},
        {folder, QStringLiteral("是一个文件夹")},
        {QStringLiteral("/dev/null"), QStringLiteral("是一个设备")},
        {fifo, QStringLiteral("是一个命名管道")},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.name.toStdString());
        const QString refusal = failureOf<Refused>([&] { WriteFileReplacing(c.name, "x"); });
        EXPECT_TRUE(refusal.contains(c.says)) << refusal.toStdString();
        EXPECT_TRUE(refusal.contains(c.name)) << refusal.toStdString();
    }
    EXPECT_TRUE(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile()) << "the pipe is still a pipe";
    EXPECT_TRUE(everythingIn(folder).isEmpty());

    // The longest name the file system takes: the stage's own name stays short whatever the target's.
    for (const int length : {200, 253, 255}) {
        SCOPED_TRACE(length);
        const QString name = QString(length - 4, QLatin1Char('n')) + QStringLiteral(".pdf");
        ASSERT_EQ(QFile::encodeName(name).size(), length);
        WriteFileReplacing(QDir(folder).filePath(name), "whole");
        EXPECT_EQ(ReadBytes(QDir(folder).filePath(name)), QByteArray("whole"));
        EXPECT_LT(QFileInfo(StageNameFor(QDir(folder).filePath(name))).fileName().size(), 80);
        QFile::remove(QDir(folder).filePath(name));
    }
    EXPECT_TRUE(everythingIn(folder).isEmpty());
}

// A disk with a few kilobytes free: every writer of a report fails by name and cause, and the file
// of that name stays as it was.
TEST(StagedFile, AFullDiskLeavesTheFileAsItWasAndSaysSo) {
    SmallFileSystem disk(2 * 1024 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << disk.why().toStdString();
    TextMeasure measure;
    const RenderedDocument single = form(measure, QStringLiteral("表"), 400);
    const RenderedDocument parts = twoForms(measure);
    ASSERT_TRUE(IsMadeOfParts(parts));
    const QString target = disk.filePath(QStringLiteral("报表.pdf"));
    ASSERT_TRUE(WriteBytes(target, "the earlier file"));
    ASSERT_TRUE(disk.fill(16 * 1024));

    struct Case {
        const char* name;
        std::function<void()> write;
    };
    const Case cases[] = {
        {"a PDF", [&] { WritePdf(single, target); }},
        {"a PDF of several forms with bookmarks", [&] { WritePdf(parts, target); }},
        {"a prepared report (.tvr)", [&] { SavePreparedReport(single, target); }},
        {"bytes", [&] { WriteFileReplacing(target, QByteArray(512 * 1024, 'b')); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString failure = failureOf<Error>(c.write);
        EXPECT_TRUE(failure.contains(target)) << failure.toStdString();
        EXPECT_TRUE(failure.contains(QStringLiteral("磁盘空间已满"))) << failure.toStdString();
        EXPECT_TRUE(ReadBytes(target) == "the earlier file");
        EXPECT_EQ(everythingIn(disk.path()), (QStringList{QStringLiteral(".filler"), QStringLiteral("报表.pdf")}));
    }
    disk.empty();
    WritePdf(parts, target);
    EXPECT_TRUE(ReadBytes(target).startsWith("%PDF-")) << "with room again the same write goes through";
}

// The forms of a set are joined in memory: a full temporary folder stops nothing.
TEST(StagedFile, AFullTemporaryFolderDoesNotStopADocumentOfSeveralForms) {
    SmallFileSystem temp(256 * 1024);
    if (!temp.mounted())
        GTEST_SKIP() << temp.why().toStdString();
    ASSERT_TRUE(temp.fill());
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
    QTemporaryDir out(QStringLiteral("/tmp/tenvora-out-XXXXXX"));
    TextMeasure measure;
    const QString target = QDir(out.path()).filePath(QStringLiteral("投标报表.pdf"));
    const QString failure = failureOf<Error>([&] { WritePdf(twoForms(measure), target); });
    if (oldTemp.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", oldTemp);
    EXPECT_EQ(failure, QString());
    EXPECT_TRUE(ReadBytes(target).startsWith("%PDF-"));
    EXPECT_EQ(everythingIn(temp.path()), QStringList{QStringLiteral(".filler")});
}

class BidSetOnAFullDisk : public ReportTest {};

// The whole set appears at once or not at all: a disk that fills half-way keeps the earlier set.
TEST_F(BidSetOnAFullDisk, NothingOfTheNewSetAppearsAndTheEarlierOneStays) {
    SmallFileSystem disk(3 * 1024 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << disk.why().toStdString();
    const QString folder = disk.filePath(QStringLiteral("set"));
    const PrintedBidSet earlier = PrintBidSet(*m_context, folder);
    ASSERT_GT(earlier.files.size(), 5);
    QHash<QString, QByteArray> before;
    for (const QString& name : everythingIn(folder))
        before.insert(name, ReadBytes(QDir(folder).filePath(name)));
    // Room for some of the forms, not for all of them and the whole set.
    ASSERT_TRUE(disk.fill(400 * 1024));

    const QString failure = failureOf<Error>([&] { PrintBidSet(*m_context, folder); });
    EXPECT_TRUE(failure.contains(QStringLiteral("磁盘空间已满"))) << failure.toStdString();
    EXPECT_TRUE(failure.contains(folder)) << failure.toStdString();
    QHash<QString, QByteArray> after;
    for (const QString& name : everythingIn(folder))
        after.insert(name, ReadBytes(QDir(folder).filePath(name)));
    EXPECT_TRUE(after == before) << "every file as the earlier set left it, and no other";
}

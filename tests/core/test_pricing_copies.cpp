// The bid disk leaves the bidder's cost tables out (none of their pages stays in the file) unless
// they are asked for; backups keep them.
#include "PricingFixture.h"

#include "data/AppPaths.h"
#include "data/Database.h"
#include "datamgmt/DataFileCopies.h"
#include "pricing/PricingSchema.h"
#include "support/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace tenvora;
using namespace tenvora::test;

namespace {

struct CopyContents {
    QStringList costTables;
    qint64 freePages = -1;
    qint64 resources = -1;
    QString bill; // every line's item, price and amount
};

CopyContents contentsOf(const QString& path) {
    Database db = Database::open(path, DataFileKey(), Database::Mode::Verify);
    db.checkIntegrity();
    CopyContents c;
    Statement st = db.prepare(
        QStringLiteral("select name from sqlite_master where type='table' and name like 'pricing%' order by name"));
    while (st.next())
        c.costTables << st.value(0).toString();
    c.freePages = db.scalar(QStringLiteral("PRAGMA freelist_count")).toLongLong();
    if (!c.costTables.isEmpty())
        c.resources = db.scalar(QStringLiteral("select count(*) from pricing_resource")).toLongLong();
    c.bill = db.scalar(QStringLiteral(
                           "select group_concat(细目编号 || '=' || quote(合同单价) || '/' || quote(合同金额), ';') "
                           "from (select * from jd_htqd order by rowid)"))
                 .toString();
    return c;
}

TEST(PricingCopies, TheBidDiskLeavesTheCostsOutAndBackupsKeepThem) {
    TempDataFile file(true);
    auto dm = file.open();
    dm->LoadCurrentContract();
    AddDemoCosts(*dm);
    const CopyContents source = contentsOf(file.path());
    ASSERT_EQ(source.costTables.size(), 3);

    QTemporaryDir out;
    const QString disk = QDir(out.path()).filePath(QStringLiteral("投标盘.tr"));
    const QString diskWithCosts = QDir(out.path()).filePath(QStringLiteral("投标盘-含工料机.tr"));
    const QString backup = QDir(out.path()).filePath(QStringLiteral("备份.tr"));
    {
        ConnectionPause pause(*dm);
        DataFileCopies(*dm, CopyKind::BidDisk).backupTo(disk);
        DataFileCopies withCosts(*dm, CopyKind::BidDisk);
        withCosts.setBidDiskWithCosts(true);
        withCosts.backupTo(diskWithCosts);
        DataFileCopies(*dm, CopyKind::Backup).backupTo(backup);
        pause.reopen();
    }

    const CopyContents bidDisk = contentsOf(disk);
    EXPECT_TRUE(bidDisk.costTables.isEmpty()) << bidDisk.costTables.join(' ').toStdString();
    Database opened = Database::open(disk, DataFileKey(), Database::Mode::Verify);
    EXPECT_FALSE(opened.scalar(QStringLiteral("select 1 from sqlite_master where name like 'pricing%'")).isValid())
        << "no index of the cost tables is left either";
    EXPECT_EQ(bidDisk.freePages, 0) << "the dropped tables' pages are gone from the file";
    EXPECT_EQ(bidDisk.bill, source.bill);
    EXPECT_EQ(contentsOf(diskWithCosts).resources, 7);
    EXPECT_EQ(contentsOf(backup).resources, 7);
    EXPECT_EQ(ReadBytes(backup), ReadBytes(file.path()));
    // The data file keeps its costs, and no stage is left beside the copies.
    EXPECT_EQ(contentsOf(file.path()).resources, 7);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).size(), 3);
}

TEST(PricingCopies, AFileWithoutCostTablesGoesToTheBidDiskAsItIs) {
    TempDataFile file(true);
    auto dm = file.open();
    QTemporaryDir out;
    const QString disk = QDir(out.path()).filePath(QStringLiteral("disk.tr"));
    {
        ConnectionPause pause(*dm);
        DataFileCopies(*dm, CopyKind::BidDisk).backupTo(disk);
        pause.reopen();
    }
    EXPECT_EQ(ReadBytes(disk), ReadBytes(file.path()));
}

} // namespace

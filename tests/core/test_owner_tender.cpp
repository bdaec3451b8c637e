// The tender file between the imports and the issue: accounts, projects and sections, the tender
// check, the bill's fingerprint, and the issued copies read back as the bidder's side gets them.
#include "OwnerTest.h"

#include "owner/BillFingerprint.h"
#include "owner/IssueRecord.h"
#include "owner/TenderCheck.h"
#include "owner/TenderIssue.h"
#include "owner/TenderProjects.h"

#include <QFileInfo>
#include <QRegularExpression>

using namespace tenvora;
using namespace tenvora::test;

namespace {

class Tender : public TenderFixture {};

// ---- accounts ----

TEST_F(Tender, OwnerLoginTakesOnlyTheOwnersAccount) {
    fill();
    OwnerAccounts accounts(m_db);
    EXPECT_NO_THROW(accounts.login(kOwnerUnit, kOwnerPassword));
    const QList<QPair<QString, QString>> refused = {
        {QStringLiteral("甲路桥公司"), QStringLiteral("jia-pw-1")},
        {kOwnerUnit, kOwnerPassword.toUpper()},
        {QStringLiteral("丙公司"), QStringLiteral("x")},
    };
    for (const auto& [unit, password] : refused)
        EXPECT_THROW(accounts.login(unit, password), Refused) << unit.toStdString();
}

TEST_F(Tender, UnitNamesMustNameAFileAndStandAlone) {
    OwnerAccounts accounts(m_db);
    accounts.addBidder(QStringLiteral("Alpha Roads"), QStringLiteral("p"));
    for (const QString& bad :
         {QString(), QStringLiteral("  "), QStringLiteral("甲/乙"), QStringLiteral("a:b"), QStringLiteral(" 甲公司"),
          QStringLiteral("甲公司."), QStringLiteral("Alpha Roads"), QStringLiteral("ALPHA ROADS"), kOwnerUnit})
        EXPECT_THROW(accounts.addBidder(bad, QStringLiteral("p")), Refused) << bad.toStdString();
    EXPECT_THROW(accounts.addBidder(QStringLiteral("乙公司"), QString()), Refused);
    EXPECT_THROW(accounts.removeBidder(kOwnerUnit), Refused);
    EXPECT_THROW(accounts.removeBidder(QStringLiteral("nobody")), Refused);
    accounts.removeBidder(QStringLiteral("Alpha Roads"));
    EXPECT_EQ(accounts.list().size(), 1);
}

// ---- projects and sections ----

TEST_F(Tender, ASectionWithABillGoesOnlyWithConsentAndTakesItsRowsAlong) {
    fill();
    m_db.exec(QStringLiteral("insert into 当前选择合同 (项目ID, 合同ID, 期数ID) values ('P1', 'A1', '0')"));
    TenderContracts contracts(m_db);
    EXPECT_THROW(contracts.remove(QStringLiteral("A1"), false), HeldContentRefused);
    EXPECT_THROW(TenderProjects(m_db).remove(QStringLiteral("P1")), Refused);

    const RemovedContract removed = contracts.remove(QStringLiteral("A1"), true);
    EXPECT_EQ(removed.lines, 7);
    EXPECT_EQ(removed.dayworkItems, 3);
    for (const char* table : {"jd_hetong", "jd_htqd", "Jl_ContractList", "当前选择合同"})
        EXPECT_EQ(column(QStringLiteral("select count(*) from %1").arg(QString::fromUtf8(table))).value(0).toInt(), 0)
            << table;
    TenderProjects(m_db).remove(QStringLiteral("P1"));
    EXPECT_TRUE(TenderProjects(m_db).list().isEmpty());
}

TEST_F(Tender, SectionFieldsKeepToTheirSizes) {
    TenderContracts contracts(m_db);
    const TenderContract base{
        QStringLiteral("A2"), QStringLiteral("P1"), QStringLiteral("N"), QStringLiteral("A2合同段"), {}, {}};
    TenderContract tooLongName = base;
    tooLongName.name = QString(51, QChar(u'段'));
    TenderContract tooLongId = base;
    tooLongId.id = QString(21, QLatin1Char('X'));
    TenderContract noProject = base;
    noProject.projectId = QStringLiteral("P9");
    TenderContract blank = base;
    blank.id = QStringLiteral("A2 ");
    TenderContract taken = base;
    taken.id = QStringLiteral("A1");
    for (const TenderContract& c : {tooLongName, tooLongId, noProject, blank, taken})
        EXPECT_THROW(contracts.add(c), Refused) << c.id.toStdString();
    TenderContract fits = base;
    fits.name = QString(50, QChar(u'段'));
    contracts.add(fits);
    contracts.edit(QStringLiteral("A2"), {{}, QStringLiteral("N-2"), {}, QStringLiteral("K9"), {}});
    const std::optional<TenderContract> a2 = contracts.find(QStringLiteral("A2"));
    ASSERT_TRUE(a2);
    EXPECT_EQ(a2->number, QStringLiteral("N-2"));
    EXPECT_EQ(a2->start, QStringLiteral("K9"));
    EXPECT_EQ(a2->name, fits.name);
}

// ---- the tender check ----

struct Flaw {
    const char* name;
    QStringList sql; // what breaks the clean tender
    TenderFindingKind kind;
    QString contract;
    QString item;
};

void PrintTo(const Flaw& f, std::ostream* os) {
    *os << f.name;
}

class TenderCheckFinding : public TenderFixture, public testing::WithParamInterface<Flaw> {};

TEST_F(Tender, AFilledTenderIsClean) {
    fill();
    const TenderCheckResult result = TenderCheck(m_db).run();
    EXPECT_TRUE(result.clean()) << result.summary().toStdString();
}

TEST_P(TenderCheckFinding, IsFoundAlone) {
    fill();
    const Flaw& flaw = GetParam();
    for (const QString& sql : flaw.sql)
        m_db.exec(sql);
    const TenderCheckResult result = TenderCheck(m_db).run();
    ASSERT_EQ(result.findings.size(), 1) << result.summary().toStdString();
    EXPECT_EQ(result.findings[0].kind, flaw.kind) << result.summary().toStdString();
    EXPECT_EQ(result.findings[0].contract, flaw.contract);
    EXPECT_EQ(result.findings[0].item, flaw.item);
    EXPECT_TRUE(result.summary().startsWith(TenderFindingKindText(flaw.kind) + QStringLiteral(" 1 条")));
}

// A second section with a bill and day work of its own, so that flaws of sections stand alone.
const QStringList kSecondSection = {
    QStringLiteral("insert into jd_hetong (UPID, ID, 合同名称) values ('P1', 'A2', 'A2')"),
    QStringLiteral("insert into jd_htqd (合同编号, 章, 细目编号, 合同数量) values ('A2', '100', '100', 0)"),
    QStringLiteral("insert into jd_htqd (合同编号, 章, 细目编号, 合同数量) values ('A2', '100', '101-1-a', 1)"),
    QStringLiteral("insert into Jl_ContractList (ContractID, bz, ItemCode, Amount) values ('A2', '1', '101', 5)"),
};

INSTANTIATE_TEST_SUITE_P(
    Flaws, TenderCheckFinding,
    testing::Values(
        Flaw{"project twice",
             {QStringLiteral("insert into jd_xiangmu (ID, 项目名称) values ('P1', '又一个')")},
             TenderFindingKind::DuplicateProject,
             {},
             {}},
        Flaw{"project without sections",
             {QStringLiteral("insert into jd_xiangmu (ID, 项目名称) values ('P2', '空')")},
             TenderFindingKind::ProjectWithoutContracts,
             {},
             {}},
        Flaw{"section twice",
             {QStringLiteral("insert into jd_hetong (UPID, ID, 合同名称) values ('P1', 'A1', '重')")},
             TenderFindingKind::DuplicateContract,
             QStringLiteral("A1"),
             {}},
        Flaw{"section of no project",
             {QStringLiteral("update jd_hetong set UPID = 'P0'"),
              QStringLiteral("insert into jd_hetong (UPID, ID, 合同名称) values ('P1', 'A9', 'x')"),
              QStringLiteral("insert into jd_htqd (合同编号, 章, 细目编号) values ('A9', '100', '100')"),
              QStringLiteral("insert into jd_htqd (合同编号, 章, 细目编号) values ('A9', '100', '101-1-a')"),
              QStringLiteral("insert into Jl_ContractList (ContractID, bz, ItemCode) values ('A9', '1', '1')")},
             TenderFindingKind::ContractOfNoProject,
             QStringLiteral("A1"),
             {}},
        Flaw{"section without a bill",
             {QStringLiteral("insert into jd_hetong (UPID, ID, 合同名称) values ('P1', 'A2', 'A2')"),
              QStringLiteral("insert into Jl_ContractList (ContractID, bz, ItemCode) values ('A2', '1', '101')")},
             TenderFindingKind::ContractWithoutLines,
             QStringLiteral("A2"),
             {}},
        Flaw{"section without day work",
             kSecondSection.mid(0, 3),
             TenderFindingKind::ContractWithoutDaywork,
             QStringLiteral("A2"),
             {}},
        Flaw{"lines of no section",
             {QStringLiteral("insert into jd_htqd (合同编号, 章, 细目编号) values ('Z1', '100', '100')")},
             TenderFindingKind::RowsOfNoContract,
             QStringLiteral("Z1"),
             {}},
        Flaw{"item twice",
             {QStringLiteral(
                 "insert into jd_htqd (合同编号, 章, 细目编号, 合同数量) values ('A1', '200', '203-1-a', 5)")},
             TenderFindingKind::DuplicateItem,
             QStringLiteral("A1"),
             QStringLiteral("203-1-a")},
        Flaw{"item twice only in another section",
             kSecondSection + QStringList{QStringLiteral(
                                  "insert into jd_htqd (合同编号, 章, 细目编号) values ('A2', '100', '101-1-a')")},
             TenderFindingKind::DuplicateItem, QStringLiteral("A2"), QStringLiteral("101-1-a")},
        Flaw{"line without a chapter",
             {QStringLiteral("update jd_htqd set 章 = '' where 细目编号 = '102-1'")},
             TenderFindingKind::NoChapter,
             QStringLiteral("A1"),
             QStringLiteral("102-1")},
        Flaw{"chapter without its line",
             {QStringLiteral("delete from jd_htqd where 细目编号 = '200'")},
             TenderFindingKind::NoChapterLine,
             QStringLiteral("A1"),
             QStringLiteral("200")},
        Flaw{"no insurance line",
             {QStringLiteral("delete from jd_htqd where 细目编号 = '101-1-a'")},
             TenderFindingKind::NoInsuranceLine,
             QStringLiteral("A1"),
             QStringLiteral("101-1-a")},
        Flaw{"insurance item in other case",
             {QStringLiteral("update jd_htqd set 细目编号 = '101-1-A' where 细目编号 = '101-1-a'")},
             TenderFindingKind::NoInsuranceLine,
             QStringLiteral("A1"),
             QStringLiteral("101-1-a")},
        Flaw{"provisional sum without amount",
             {QStringLiteral("update jd_htqd set 合同金额 = NULL where 细目编号 = '102-3'")},
             TenderFindingKind::ProvisionalSumWithoutAmount,
             QStringLiteral("A1"),
             QStringLiteral("102-3")},
        Flaw{"negative quantity",
             {QStringLiteral("update jd_htqd set 合同数量 = -3 where 细目编号 = '203-1-a'")},
             TenderFindingKind::NegativeQuantity,
             QStringLiteral("A1"),
             QStringLiteral("203-1-a")},
        Flaw{"negative day work",
             {QStringLiteral("update Jl_ContractList set Amount = -1 where ItemCode = '201'")},
             TenderFindingKind::NegativeQuantity,
             QStringLiteral("A1"),
             QStringLiteral("201")},
        Flaw{"day-work code twice",
             {QStringLiteral("insert into Jl_ContractList (ContractID, bz, ItemCode) values ('A1', '2', '201')")},
             TenderFindingKind::DuplicateDayworkItem,
             QStringLiteral("A1"),
             QStringLiteral("201")},
        Flaw{"no bidder", {QStringLiteral("delete from pass where bz = '2'")}, TenderFindingKind::NoBidder, {}, {}}),
    CaseName<Flaw>);

// ---- the fingerprint ----

struct BillChange {
    const char* name;
    QStringList sql;
    bool changesBill;
    bool changesDaywork;
};

void PrintTo(const BillChange& c, std::ostream* os) {
    *os << c.name;
}

class Fingerprint : public TenderFixture, public testing::WithParamInterface<BillChange> {};

// What the bidder may do leaves the fingerprint as it was; what only the owner may do changes it.
TEST_P(Fingerprint, FollowsWhatTheOwnerFixes) {
    fill();
    const BillChange& change = GetParam();
    const ContractFingerprint before = ComputeContractFingerprint(m_db, QStringLiteral("A1"));
    for (const QString& sql : change.sql)
        m_db.exec(sql);
    const ContractFingerprint after = ComputeContractFingerprint(m_db, QStringLiteral("A1"));
    EXPECT_EQ(before.bill != after.bill, change.changesBill);
    EXPECT_EQ(before.daywork != after.daywork, change.changesDaywork);
    const QList<ContractFingerprint> all = ComputeContractFingerprints(m_db);
    ASSERT_EQ(all.size(), 1);
    EXPECT_EQ(all[0].bill, after.bill);
    EXPECT_EQ(all[0].daywork, after.daywork);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, Fingerprint,
    testing::Values(
        BillChange{"price",
                   {QStringLiteral("update jd_htqd set 合同单价 = 3.5, 合同金额 = 302750 where 细目编号 = '203-1-a'")},
                   false,
                   false},
        BillChange{
            "chapter total", {QStringLiteral("update jd_htqd set 合同金额 = 99 where 细目编号 = '200'")}, false, false},
        BillChange{"section code rewritten", {QStringLiteral("update jd_htqd set 节 = 细目编号")}, false, false},
        BillChange{"rows in another order",
                   {QStringLiteral("insert into jd_htqd select * from jd_htqd where 细目编号 = '100'"),
                    QStringLiteral(
                        "delete from jd_htqd where rowid = (select min(rowid) from jd_htqd where 细目编号 = '100')")},
                   false,
                   false},
        BillChange{"day-work price",
                   {QStringLiteral("update Jl_ContractList set UnitPrice = 30, TotalMoney = 60000")},
                   false,
                   false},
        BillChange{"quantity",
                   {QStringLiteral("update jd_htqd set 合同数量 = 86501 where 细目编号 = '203-1-a'")},
                   true,
                   false},
        BillChange{"description",
                   {QStringLiteral("update jd_htqd set 细目名称 = '挖石方' where 细目编号 = '203-1-a'")},
                   true,
                   false},
        BillChange{"unit", {QStringLiteral("update jd_htqd set 单位 = 'm2' where 细目编号 = '203-1-a'")}, true, false},
        BillChange{"provisional sum",
                   {QStringLiteral("update jd_htqd set 合同金额 = 1 where 细目编号 = '102-3'")},
                   true,
                   false},
        BillChange{"line added",
                   {QStringLiteral("insert into jd_htqd (合同编号, 细目编号) values ('A1', '203-1-z')")},
                   true,
                   false},
        BillChange{"line dropped", {QStringLiteral("delete from jd_htqd where 细目编号 = '102-1'")}, true, false},
        BillChange{"day-work quantity",
                   {QStringLiteral("update Jl_ContractList set Amount = 1 where ItemCode = '101'")},
                   false,
                   true}),
    CaseName<BillChange>);

// ---- the issue ----

QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

TEST_F(Tender, EachCopyHoldsItsBidderAloneAndNoPrice) {
    fill();
    // An estimate the owner kept in the tender file, a marker and a selection must not travel.
    m_db.exec(QStringLiteral("update jd_htqd set 合同单价 = 4.2, 合同金额 = 363300 where 细目编号 = '203-1-a'"));
    m_db.exec(QStringLiteral("update Jl_ContractList set UnitPrice = 30, TotalMoney = 60000 where ItemCode = '101'"));
    m_db.exec(QStringLiteral("update pass set flag = '#'"));
    m_db.exec(QStringLiteral("insert into 当前选择合同 (项目ID, 合同ID, 期数ID) values ('P1', 'A1', '0')"));
    // An account removed before the issue: its row is gone, and so must be every trace of it.
    OwnerAccounts(m_db).addBidder(QStringLiteral("丙退出公司"), QStringLiteral("bing-pw"));
    OwnerAccounts(m_db).removeBidder(QStringLiteral("丙退出公司"));

    const QString out = path(QStringLiteral("发出"));
    TenderIssue issue(m_db);
    const IssuePlan plan = issue.plan(out);
    EXPECT_TRUE(plan.check.clean()) << plan.check.summary().toStdString();
    ASSERT_EQ(plan.targets.size(), 2);
    const IssueRecord record = issue.issue(plan, false);

    EXPECT_EQ(filesIn(out), (QStringList{QStringLiteral("乙建设集团.tr"), QStringLiteral("甲路桥公司.tr")}));
    const QList<ContractFingerprint> issuedBills = record.bills;
    for (const IssueTarget& target : plan.targets) {
        Database copy = Database::open(target.path, DataFileKey(), Database::Mode::Verify);
        Statement accounts = copy.prepare(QStringLiteral("select unit, pass, bz, flag from pass"));
        QStringList rows;
        while (accounts.next())
            rows << QStringLiteral("%1|%2|%3|%4")
                        .arg(accounts.value(0).toString(), accounts.value(1).toString(), accounts.value(2).toString(),
                             accounts.value(3).isNull() ? QStringLiteral("∅") : QStringLiteral("#"));
        EXPECT_EQ(rows, QStringList{QStringLiteral("%1|%2|2|∅").arg(target.unit, target.password)});
        EXPECT_EQ(copy.scalar(QStringLiteral("select count(*) from 当前选择合同")).toInt(), 0);
        EXPECT_EQ(copy.scalar(QStringLiteral("select count(*) from jd_htqd where 合同单价 is not null or "
                                             "(合同金额 is not null and 单位 <> '暂定金总额')"))
                      .toInt(),
                  0);
        EXPECT_EQ(copy.scalar(QStringLiteral("select 合同金额 from jd_htqd where 细目编号 = '102-3'")).toDouble(),
                  450000);
        EXPECT_EQ(copy.scalar(QStringLiteral("select count(*) from Jl_ContractList where UnitPrice is not null or "
                                             "TotalMoney is not null"))
                      .toInt(),
                  0);
        // Built afresh: no free page that could still hold a row the tender file once had.
        EXPECT_EQ(copy.scalar(QStringLiteral("PRAGMA freelist_count")).toInt(), 0);
        EXPECT_TRUE(copy.columnsOf(QStringLiteral("tenvora_project")).isEmpty());

        const QList<IssueRecord> own = ReadIssueRecords(copy);
        ASSERT_EQ(own.size(), 1);
        EXPECT_EQ(own[0].issueId, record.issueId);
        ASSERT_EQ(own[0].units.size(), 1);
        EXPECT_EQ(own[0].units[0].unit, target.unit);
        EXPECT_EQ(own[0].units[0].file, QFileInfo(target.path).fileName());
        ASSERT_EQ(own[0].bills.size(), 1);
        // The copy's own bill gives the recorded fingerprint: a returned disk can be checked alone.
        const ContractFingerprint now = ComputeContractFingerprint(copy, QStringLiteral("A1"));
        EXPECT_EQ(own[0].bills[0].bill, now.bill);
        EXPECT_EQ(own[0].bills[0].daywork, now.daywork);
        EXPECT_EQ(own[0].bills[0].bill, issuedBills[0].bill);
        EXPECT_EQ(own[0].bills[0].lines, 7);
    }
    // The tender file keeps the issue with both units.
    const QList<IssueRecord> kept = ReadIssueRecords(m_db);
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(kept[0].issueId, record.issueId);
    EXPECT_EQ(kept[0].units.size(), 2);
}

TEST_F(Tender, IssueReplacesFilesOnlyWithConsentAndPutsNothingWhenACopyFails) {
    fill();
    const QString out = path(QStringLiteral("发出"));
    QDir().mkpath(out);
    ASSERT_TRUE(WriteBytes(QDir(out).filePath(QStringLiteral("甲路桥公司.tr")), "an older issue"));
    TenderIssue issue(m_db);
    IssuePlan plan = issue.plan(out);
    EXPECT_EQ(plan.existing.size(), 1);
    EXPECT_THROW(issue.issue(plan, false), HeldContentRefused);
    EXPECT_EQ(ReadBytes(QDir(out).filePath(QStringLiteral("甲路桥公司.tr"))), QByteArray("an older issue"));

    // The second bidder's place is taken by a folder: its copy cannot go there, so neither goes.
    QDir().mkpath(QDir(out).filePath(QStringLiteral("乙建设集团.tr")));
    EXPECT_THROW(issue.issue(plan, true), Error);
    EXPECT_EQ(ReadBytes(QDir(out).filePath(QStringLiteral("甲路桥公司.tr"))), QByteArray("an older issue"));
    EXPECT_EQ(filesIn(out), QStringList{QStringLiteral("甲路桥公司.tr")});
    EXPECT_TRUE(ReadIssueRecords(m_db).isEmpty());

    QDir(QDir(out).filePath(QStringLiteral("乙建设集团.tr"))).removeRecursively();
    const IssueRecord record = issue.issue(plan, true);
    EXPECT_EQ(record.units.size(), 2);
    EXPECT_EQ(filesIn(out), (QStringList{QStringLiteral("乙建设集团.tr"), QStringLiteral("甲路桥公司.tr")}));
    Database::open(QDir(out).filePath(QStringLiteral("甲路桥公司.tr")), DataFileKey(), Database::Mode::Verify)
        .checkIntegrity();
}

// The columns of every table with their declared types, and the names of the file's other objects.
QStringList catalogue(Database& db) {
    QStringList out;
    Statement objects = db.prepare(QStringLiteral("select type, name from sqlite_master order by type, name"));
    while (objects.next()) {
        const QString name = objects.value(1).toString();
        QString entry = objects.value(0).toString() + QLatin1Char(' ') + name;
        if (objects.value(0).toString() == QLatin1String("table")) {
            // An identifier from the file's own catalogue (the store's pragma takes no bound name).
            Statement columns = db.prepare(QStringLiteral("PRAGMA table_info(\"%1\")").arg(name));
            while (columns.next())
                entry +=
                    QLatin1Char(' ') + columns.value(1).toString() + QLatin1Char(':') + columns.value(2).toString();
        }
        out << entry;
    }
    return out;
}

// The bidder's side gets the tables, columns and declared types it creates itself, and besides
// them only the issue record.
TEST_F(Tender, ACopyHasTheBiddersTablesAndTheIssueRecordOnly) {
    fill();
    TenderIssue issue(m_db);
    const IssuePlan plan = issue.plan(path(QStringLiteral("out")));
    issue.issue(plan, false);
    TempDataFile demo;
    Database bidders = Database::open(demo.path(), DataFileKey());
    QStringList expected = catalogue(bidders);
    for (const QString& table : {QStringLiteral("tenvora_issue"), QStringLiteral("tenvora_issue_bill"),
                                 QStringLiteral("tenvora_issue_unit")}) {
        const QStringList ours = catalogue(m_db).filter(QRegularExpression(QStringLiteral("^table %1 ").arg(table)));
        ASSERT_EQ(ours.size(), 1) << table.toStdString();
        expected << ours;
    }
    expected.sort();
    Database copy = Database::open(plan.targets[0].path, DataFileKey(), Database::Mode::Verify);
    QStringList got = catalogue(copy);
    got.sort();
    EXPECT_EQ(got, expected);
}

TEST_F(Tender, NoBidderNoIssue) {
    EXPECT_THROW(TenderIssue(m_db).plan(path(QStringLiteral("out"))), Refused);
}

} // namespace

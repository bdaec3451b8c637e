// End-to-end runs of "tenvora owner": from a workbook to the issued copies, and each copy priced,
// checked, printed and written to a bid disk by the bidder's own commands.
#include "CliSupport.h"
#include "data/AppPaths.h"
#include "data/BoqWorkbooks.h"
#include "data/Database.h"
#include "owner/IssueRecord.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tenvora;
using namespace tenvora::test;

namespace {

const QString kOwner = QStringLiteral("招标办公室");
const QString kOwnerPassword = QStringLiteral("owner-pw-9");

class CliOwner : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_tender = path(QStringLiteral("招标.tr"));
    }

    QString path(const QString& name) const { return QDir(m_dir.path()).filePath(name); }

    static CliRun run(const QStringList& args) {
        return RunCli(CliCall(args, QProcessEnvironment::systemEnvironment(), QString(), 120000));
    }
    // An owner command on the tender file, logged in as the owner.
    CliRun owner(const QStringList& args) const {
        return run(QStringList{QStringLiteral("--data"), m_tender, QStringLiteral("--unit"), kOwner,
                               QStringLiteral("--password"), kOwnerPassword, QStringLiteral("--json"),
                               QStringLiteral("owner")} +
                   args);
    }
    // A bidder's command on an issued copy, logged in as that bidder.
    static CliRun bidder(const QString& file, const QString& unit, const QString& password, const QStringList& args) {
        return run(QStringList{QStringLiteral("--data"), file, QStringLiteral("--unit"), unit,
                               QStringLiteral("--password"), password, QStringLiteral("--json")} +
                   args);
    }

    void newTender() {
        const CliRun r =
            run({QStringLiteral("owner"), QStringLiteral("new"), m_tender, QStringLiteral("--project"),
                 QStringLiteral("P1"), QStringLiteral("--name"), QStringLiteral("测试高速公路"),
                 QStringLiteral("--owner-unit"), kOwner, QStringLiteral("--owner-password"), kOwnerPassword});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
    }

    // The bill lacks its chapter line "200": the import adds it.
    QString tenderWorkbook() const {
        const QString file = path(QStringLiteral("招标清单.xlsx"));
        const QJsonArray dayHead{QStringLiteral("编号"), QStringLiteral("名称"), QStringLiteral("单位"),
                                 QStringLiteral("数量")};
        const QString error = WriteWorkbook(
            file,
            QJsonArray{
                Sheet(QStringLiteral("工程量清单"),
                      QJsonArray{
                          QJsonArray{QStringLiteral("细目编号"), QStringLiteral("细目名称"), QStringLiteral("单位"),
                                     QStringLiteral("合同数量"), QStringLiteral("合价")},
                          QJsonArray{100, QStringLiteral("总则"), QJsonValue(), 0},
                          QJsonArray{QStringLiteral("101-1-a"),
                                     QStringLiteral("建筑工程一切险"), QStringLiteral("总额"), 1},
                          QJsonArray{QStringLiteral("102-1"), QStringLiteral("竣工文件"), QStringLiteral("总额"), 1},
                          QJsonArray{QStringLiteral("102-3"), QStringLiteral("安全生产费"),
                                     QStringLiteral("暂定金总额"), 1, 50000},
                          QJsonArray{QStringLiteral("203-1-a"), QStringLiteral("挖土方"), QStringLiteral("m3"), 1000}}),
                Sheet(QStringLiteral("计日工劳务"),
                      QJsonArray{dayHead, QJsonArray{101, QStringLiteral("普通工"), QStringLiteral("h"), 200}}),
                Sheet(QStringLiteral("计日工材料"),
                      QJsonArray{dayHead, QJsonArray{201, QStringLiteral("水泥"), QStringLiteral("t"), 20}}),
                Sheet(QStringLiteral("计日工施工机械"),
                      QJsonArray{dayHead, QJsonArray{301, QStringLiteral("装载机"), QStringLiteral("h"), 50}})});
        EXPECT_EQ(error, QString());
        return file;
    }

    QTemporaryDir m_dir;
    QString m_tender;
};

TEST_F(CliOwner, FromAWorkbookToPricedBidDisksOfEveryBidder) {
    newTender();
    const QString workbook = tenderWorkbook();
    for (const QString& contract : {QStringLiteral("A1"), QStringLiteral("A2")}) {
        CliRun r = owner({QStringLiteral("contract"), QStringLiteral("add"), contract, QStringLiteral("--project"),
                          QStringLiteral("P1"), QStringLiteral("--number"), QStringLiteral("N-") + contract,
                          QStringLiteral("--name"), contract + QStringLiteral("合同段"), QStringLiteral("--start"),
                          QStringLiteral("K0+000"), QStringLiteral("--end"), QStringLiteral("K9+000")});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        r = owner({QStringLiteral("import-boq"), contract, workbook});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.json().value(QStringLiteral("imported")).toInt(), 6);
        EXPECT_EQ(r.json().value(QStringLiteral("addedChapterLines")).toArray(), QJsonArray{QStringLiteral("200")});
        r = owner({QStringLiteral("import-daywork"), contract, workbook});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
    }
    const QList<QPair<QString, QString>> bidders = {{QStringLiteral("甲路桥公司"), QStringLiteral("jia-1")},
                                                    {QStringLiteral("乙建设集团"), QStringLiteral("yi-2")}};
    for (const auto& [unit, password] : bidders)
        ASSERT_EQ(
            owner({QStringLiteral("unit"), QStringLiteral("add"), unit, QStringLiteral("--password"), password}).code,
            0);
    const CliRun check = owner({QStringLiteral("check")});
    ASSERT_EQ(check.code, 0) << check.out.toStdString();

    const QString out = path(QStringLiteral("发出"));
    const CliRun issued = owner({QStringLiteral("issue"), QStringLiteral("--dir"), out});
    ASSERT_EQ(issued.code, 0) << issued.err.toStdString();
    const QString issueId = issued.json().value(QStringLiteral("issue")).toString();
    ASSERT_FALSE(issueId.isEmpty());
    ASSERT_EQ(issued.json().value(QStringLiteral("copies")).toArray().size(), 2);

    for (const auto& [unit, password] : bidders) {
        const QString copy = QDir(out).filePath(unit + QStringLiteral(".tr"));
        SCOPED_TRACE(unit.toStdString());
        // The copy holds this bidder's account only: read from its table, not from the login list.
        {
            Database db = Database::open(copy, DataFileKey(), Database::Mode::Verify);
            Statement st = db.prepare(QStringLiteral("select unit, pass, bz from pass"));
            QStringList rows;
            while (st.next())
                rows << st.value(0).toString() + QLatin1Char('|') + st.value(1).toString() + QLatin1Char('|') +
                            st.value(2).toString();
            EXPECT_EQ(rows, QStringList{unit + QLatin1Char('|') + password + QStringLiteral("|2")});
        }
        for (const auto& [other, otherPassword] : bidders) {
            if (other != unit) {
                EXPECT_EQ(bidder(copy, other, otherPassword, {QStringLiteral("contracts")}).code, 1);
            }
        }
        EXPECT_EQ(bidder(copy, kOwner, kOwnerPassword, {QStringLiteral("contracts")}).code, 1);

        ASSERT_EQ(bidder(copy, unit, password, {QStringLiteral("select"), QStringLiteral("A1")}).code, 0);
        const CliRun list = bidder(copy, unit, password, {QStringLiteral("boq"), QStringLiteral("list")});
        ASSERT_EQ(list.code, 0) << list.err.toStdString();
        int priced = 0;
        for (const QJsonValue& line : list.json().value(QStringLiteral("rows")).toArray()) {
            const QJsonObject l = line.toObject();
            EXPECT_TRUE(l.value(QStringLiteral("合同单价")).isNull())
                << l.value(QStringLiteral("细目编号")).toString().toStdString();
            if (l.value(QStringLiteral("locked")).toBool())
                continue;
            const CliRun p = bidder(copy, unit, password,
                                    {QStringLiteral("boq"), QStringLiteral("price"),
                                     l.value(QStringLiteral("细目编号")).toString(), QStringLiteral("12.5")});
            ASSERT_EQ(p.code, 0) << p.err.toStdString();
            ++priced;
        }
        EXPECT_EQ(priced, 2); // 102-1 and 203-1-a
        for (const auto& [schedule, code] : {qMakePair(1, QStringLiteral("101")), qMakePair(2, QStringLiteral("201")),
                                             qMakePair(3, QStringLiteral("301"))})
            ASSERT_EQ(bidder(copy, unit, password,
                             {QStringLiteral("daywork"), QStringLiteral("price"), QStringLiteral("--schedule"),
                              QString::number(schedule), code, QStringLiteral("40")})
                          .code,
                      0);
        ASSERT_EQ(
            bidder(copy, unit, password, {QStringLiteral("boq"), QStringLiteral("recompute"), QStringLiteral("--all")})
                .code,
            0);
        const CliRun bidCheck = bidder(copy, unit, password, {QStringLiteral("check")});
        EXPECT_EQ(bidCheck.code, 0) << bidCheck.out.toStdString();

        const QString pdfs = path(unit + QStringLiteral("-报表"));
        const CliRun printed =
            bidder(copy, unit, password, {QStringLiteral("print-all"), QStringLiteral("--dir"), pdfs});
        EXPECT_EQ(printed.code, 0) << printed.err.toStdString();
        EXPECT_TRUE(QFileInfo(QDir(pdfs).filePath(QStringLiteral("投标报表.pdf"))).size() > 0);

        const QString disk = path(unit + QStringLiteral("-投标盘.tr"));
        const CliRun written = bidder(copy, unit, password, {QStringLiteral("bid-disk"), disk});
        ASSERT_EQ(written.code, 0) << written.err.toStdString();
        // The returned disk tells its issue and its bidder when opened read-only.
        Database db = Database::open(disk, DataFileKey(), Database::Mode::Verify);
        const QList<IssueRecord> records = ReadIssueRecords(db);
        ASSERT_EQ(records.size(), 1);
        EXPECT_EQ(records[0].issueId, issueId);
        ASSERT_EQ(records[0].units.size(), 1);
        EXPECT_EQ(records[0].units[0].unit, unit);
        EXPECT_EQ(records[0].bills.size(), 2);
    }
}

TEST_F(CliOwner, OnlyTheOwnersAccountOpensTheOwnersCommands) {
    newTender();
    ASSERT_EQ(owner({QStringLiteral("unit"), QStringLiteral("add"), QStringLiteral("甲路桥公司"),
                     QStringLiteral("--password"), QStringLiteral("jia-1")})
                  .code,
              0);
    struct Case {
        QStringList args;
        int code;
        QString says;
    };
    const QStringList onTender = {QStringLiteral("--data"), m_tender};
    const QList<Case> cases = {
        {onTender + QStringList{QStringLiteral("--unit"), QStringLiteral("甲路桥公司"), QStringLiteral("--password"),
                                QStringLiteral("jia-1"), QStringLiteral("owner"), QStringLiteral("check")},
         1, QStringLiteral("是投标单位的帐户")},
        {onTender + QStringList{QStringLiteral("--unit"), kOwner, QStringLiteral("--password"), QStringLiteral("wrong"),
                                QStringLiteral("owner"), QStringLiteral("check")},
         1, QStringLiteral("密码不正确")},
        {onTender + QStringList{QStringLiteral("owner"), QStringLiteral("check")}, 2, QStringLiteral("需要登录")},
        {onTender + QStringList{QStringLiteral("owner"), QStringLiteral("check"), QStringLiteral("--unit"), kOwner,
                                QStringLiteral("--password"), kOwnerPassword},
         2, QStringLiteral("要写在 owner 之前")},
        {onTender + QStringList{QStringLiteral("--unit"), kOwner, QStringLiteral("--password"), kOwnerPassword,
                                QStringLiteral("owner"), QStringLiteral("unit"), QStringLiteral("add"),
                                QStringLiteral("乙/丙")},
         2, QStringLiteral("需要 --password")},
        {onTender + QStringList{QStringLiteral("--unit"), kOwner, QStringLiteral("--password"), kOwnerPassword,
                                QStringLiteral("owner"), QStringLiteral("contract"), QStringLiteral("remove"),
                                QStringLiteral("A9")},
         1, QStringLiteral("合同段“A9”不存在")},
    };
    for (const Case& c : cases) {
        const CliRun r = run(c.args);
        EXPECT_EQ(r.code, c.code) << c.args.join(' ').toStdString() << "\n" << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
    }
    // The bidder's login does not offer the owner's account.
    const CliRun offered =
        run({QStringLiteral("--data"), m_tender, QStringLiteral("--json"), QStringLiteral("accounts")});
    EXPECT_EQ(offered.json().value(QStringLiteral("units")).toArray(), QJsonArray{QStringLiteral("甲路桥公司")});
}

TEST_F(CliOwner, ABadWorkbookIsRefusedNamingItsRowsAndAHeldBillIsKept) {
    newTender();
    ASSERT_EQ(owner({QStringLiteral("contract"), QStringLiteral("add"), QStringLiteral("A1"),
                     QStringLiteral("--project"), QStringLiteral("P1"), QStringLiteral("--number"), QStringLiteral("N"),
                     QStringLiteral("--name"), QStringLiteral("A1")})
                  .code,
              0);
    const QString bad = path(QStringLiteral("bad.xls"));
    ASSERT_EQ(WriteWorkbook(
                  bad, QJsonArray{Sheet(QStringLiteral("工程量清单"),
                                        QJsonArray{QJsonArray{QStringLiteral("细目编号"), QStringLiteral("细目名称"),
                                                              QStringLiteral("单位"), QStringLiteral("合同数量")},
                                                   QJsonArray{QStringLiteral("203-1-a"), QStringLiteral("挖土方"),
                                                              QStringLiteral("m3"), -5}})}),
              QString());
    CliRun r = owner({QStringLiteral("import-boq"), QStringLiteral("A1"), bad});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("第 2 行：合同数量 -5 是负数"))) << r.err.toStdString();

    ASSERT_EQ(owner({QStringLiteral("import-boq"), QStringLiteral("A1"), tenderWorkbook()}).code, 0);
    r = owner({QStringLiteral("import-boq"), QStringLiteral("A1"), tenderWorkbook()});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("--replace"))) << r.err.toStdString();
    r = owner({QStringLiteral("contract"), QStringLiteral("remove"), QStringLiteral("A1")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("--with-lines"))) << r.err.toStdString();
    r = owner({QStringLiteral("contract"), QStringLiteral("list")});
    ASSERT_EQ(r.json().value(QStringLiteral("contracts")).toArray().size(), 1);
    EXPECT_EQ(
        r.json().value(QStringLiteral("contracts")).toArray()[0].toObject().value(QStringLiteral("lines")).toInt(), 6);
}

// The README's owner round trip: the example script issues from the demo workbook with a clean check.
TEST_F(CliOwner, TheExampleIssuesFromTheDemoWorkbook) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TENVORA"), QStringLiteral(TENVORA_CLI_PATH));
    p.setProcessEnvironment(env);
    const QString out = path(QStringLiteral("例"));
    p.start(QDir(QStringLiteral(TENVORA_TEST_DATA_DIR)).filePath(QStringLiteral("../../examples/issue-example")),
            {out});
    ASSERT_TRUE(p.waitForFinished(180000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardOutput()).contains(QStringLiteral("招标文件没有发现问题")));
    EXPECT_EQ(QDir(QDir(out).filePath(QStringLiteral("发出"))).entryList(QDir::Files).size(), 2);
}

} // namespace

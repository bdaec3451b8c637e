#include "owner/TenderIssue.h"

#include "boq/BoqLineRules.h"
#include "data/AppPaths.h"
#include "data/Database.h"
#include "data/FileNames.h"
#include "data/Schema.h"
#include "datamgmt/FileCopy.h"
#include "owner/OwnerAccounts.h"
#include "owner/OwnerTables.h"
#include "owner/TenderContracts.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QUuid>

#include <memory>

namespace tenvora {

namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// A stage is thrown away whenever anything goes wrong, so a journal on the disk beside it would
// only be one more file to leave behind.
void journalInMemory(Database& db) {
    db.exec(QStringLiteral("PRAGMA journal_mode=MEMORY"));
}

QString columnList(const QStringList& columns) {
    return columns.join(QStringLiteral(", "));
}

// The base of every copy: the eight tables built afresh and filled from the tender file's rows,
// with no account, no selection and no price.
void fillBase(Database& base, Database& tender) {
    base.attach(tender.path(), QStringLiteral("tender"), DataFileKey());
    Transaction tx(base);
    // Columns are identifiers from the schema, kept to those the tender file has.
    const auto present = [&](const QString& table, const QStringList& wanted) {
        const QStringList have = tender.columnsOf(table);
        QStringList kept;
        for (const QString& c : wanted)
            if (have.contains(c, Qt::CaseInsensitive))
                kept << c;
        return kept;
    };
    const auto copyRows = [&](const QString& table, const QStringList& columns) {
        base.exec(QStringLiteral("insert into %1 (%2) select %2 from tender.%1 order by rowid")
                      .arg(table, columnList(columns)));
    };
    copyRows(QStringLiteral("jd_xiangmu"), {QStringLiteral("ID"), QStringLiteral("项目名称")});
    copyRows(QStringLiteral("jd_hetong"),
             present(QStringLiteral("jd_hetong"), base.columnsOf(QStringLiteral("jd_hetong"))));
    // Prices and amounts are the bidder's; a provisional sum's amount is the owner's.
    base.exec(QStringLiteral(
                  "insert into jd_htqd (合同编号, 章, 节, 段, 细目编号, 细目名称, 单位, 合同数量, 合同单价, 合同金额, "
                  "是否补充, bz) select 合同编号, 章, 节, 段, 细目编号, 细目名称, 单位, 合同数量, NULL, "
                  "case when 单位 = ? then 合同金额 end, coalesce(是否补充, 0), bz from tender.jd_htqd "
                  "order by rowid"),
              {kProvisionalSumUnit});
    base.exec(QStringLiteral("insert into Jl_ContractList (ID, ContractID, bz, ItemCode, ItemName, Unit, Amount) "
                             "select ID, ContractID, bz, ItemCode, ItemName, Unit, Amount from tender.Jl_ContractList "
                             "order by rowid"));
    copyRows(QStringLiteral("Reports"), {QStringLiteral("ID"), QStringLiteral("报表")});
    tx.commit();
}

// Reads the staged copy back as the bidder's side will open it: every page, the one account, the
// record of this issue and nothing of another's.
void verifyCopy(const QString& stage, const QString& file, const IssueRecord& expected, const IssueTarget& target) {
    const auto fail = [&](const QString& why) {
        throw Error(
            QStringLiteral("发给“%1”的文件 %2 核对不符（%3），没有发出任何文件").arg(target.unit, native(file), why));
    };
    Database copy = Database::open(stage, DataFileKey(), Database::Mode::Verify);
    copy.checkIntegrity();
    Statement accounts = copy.prepare(QStringLiteral("select unit, pass, bz, flag from pass"));
    int count = 0;
    while (accounts.next()) {
        ++count;
        if (accounts.value(0).toString() != target.unit || accounts.value(1).toString() != target.password ||
            accounts.value(2).toString() != kBidderAccountKind || !accounts.value(3).isNull())
            fail(QStringLiteral("帐户不是该单位的"));
    }
    if (count != 1)
        fail(QStringLiteral("帐户有 %1 个").arg(count));
    if (copy.scalar(QStringLiteral("select count(*) from 当前选择合同")).toLongLong() != 0)
        fail(QStringLiteral("带有当前合同的选择"));
    const QList<IssueRecord> records = ReadIssueRecords(copy);
    if (records.size() != 1 || records[0].issueId != expected.issueId || records[0].units.size() != 1 ||
        records[0].units[0].unit != target.unit || records[0].bills.size() != expected.bills.size())
        fail(QStringLiteral("发出记录不符"));
}

} // namespace

QString TenderIssue::existingFilesText(const QStringList& existing) {
    QStringList names;
    for (const QString& f : existing)
        names << native(f);
    return QStringLiteral("文件夹中已有这些文件：%1，没有发出任何文件。").arg(names.join(QStringLiteral("、")));
}

IssuePlan TenderIssue::plan(const QString& dir) {
    IssuePlan plan;
    plan.dir = QDir(dir).absolutePath();
    const QList<QPair<QString, QString>> bidders = OwnerAccounts(m_tender).bidders();
    if (bidders.isEmpty())
        throw Refused(QStringLiteral("没有投标单位的帐户，没有可发出的文件；请先添加投标单位"));
    QHash<QString, QString> unitOfName;
    for (const auto& [unit, password] : bidders) {
        // Units come from the file; one made elsewhere may hold what no file name can.
        const QString name = FileNamePart(unit);
        if (name.isEmpty())
            throw Refused(QStringLiteral("投标单位“%1”的名称不能用作文件名").arg(unit));
        const QString key = name.toLower();
        if (const auto other = unitOfName.constFind(key); other != unitOfName.cend())
            throw Refused(QStringLiteral("投标单位“%1”和“%2”的文件会同名，请改一个单位的名称").arg(*other, unit));
        unitOfName.insert(key, unit);
        const QString path = QDir(plan.dir).filePath(name + QStringLiteral(".tr"));
        plan.targets << IssueTarget{unit, password, path};
        if (QFileInfo::exists(path))
            plan.existing << path;
    }
    for (const IssueTarget& t : plan.targets)
        if (QFileInfo(t.path).absoluteFilePath() == QFileInfo(m_tender.path()).absoluteFilePath())
            throw Refused(QStringLiteral("发给“%1”的文件会替换招标文件本身，请换一个文件夹").arg(t.unit));
    plan.check = TenderCheck(m_tender).run();
    return plan;
}

IssueRecord TenderIssue::issue(const IssuePlan& plan, bool replaceExisting,
                               const std::function<void(int, int)>& progress) {
    QStringList existing;
    for (const IssueTarget& t : plan.targets)
        if (QFileInfo::exists(t.path))
            existing << t.path;
    if (!existing.isEmpty() && !replaceExisting)
        throw HeldContentRefused(existingFilesText(existing));
    if (!QDir().mkpath(plan.dir))
        throw Error(QStringLiteral("无法建立文件夹 %1").arg(native(plan.dir)));

    const int total = static_cast<int>(plan.targets.size()) + 1;
    IssueRecord record;
    record.issueId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    record.issuedAt = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    record.fingerprintScheme = kFingerprintScheme;

    NamedStage base(QDir(plan.dir).filePath(QStringLiteral("tender-issue-base.tr")));
    {
        Database db = Database::create(base.path(), DataFileKey());
        journalInMemory(db);
        Schema::create(db);
        OwnerTables::ensureIssueTables(db);
        fillBase(db, m_tender);
        record.bills = ComputeContractFingerprints(db);
        WriteIssueRecord(db, record);
        Schema::ensureIndexes(db);
    }
    if (progress)
        progress(1, total);

    std::vector<std::unique_ptr<NamedStage>> stages;
    for (const IssueTarget& target : plan.targets) {
        const QString file = QFileInfo(target.path).fileName();
        auto stage = std::make_unique<NamedStage>(target.path);
        CopyFileReplacing(base.path(), stage->path());
        {
            Database copy = Database::open(stage->path(), DataFileKey());
            journalInMemory(copy);
            Transaction tx(copy);
            copy.exec(QStringLiteral("insert into pass (unit, pass, bz, flag) values (?, ?, ?, NULL)"),
                      {target.unit, target.password, kBidderAccountKind});
            copy.exec(QStringLiteral("insert into tenvora_issue_unit (issue_id, unit, file) values (?, ?, ?)"),
                      {record.issueId, target.unit, file});
            tx.commit();
        }
        verifyCopy(stage->path(), target.path, record, target);
        record.units << IssuedUnit{target.unit, file};
        stages.push_back(std::move(stage));
        if (progress)
            progress(static_cast<int>(stages.size()) + 1, total);
    }

    // The tender file learns of the issue before any copy can leave: a returned copy must always
    // find its issue there.
    WriteIssueRecord(m_tender, record);
    QStringList placed;
    for (const std::unique_ptr<NamedStage>& stage : stages) {
        try {
            stage->commit();
        } catch (const Error& e) {
            throw Error(
                QStringLiteral("%1\n已发出：%2；其余没有发出。")
                    .arg(e.text(), placed.isEmpty() ? QStringLiteral("无") : placed.join(QStringLiteral("、"))));
        }
        placed << native(stage->target());
    }
    return record;
}

} // namespace tenvora

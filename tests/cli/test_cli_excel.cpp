// End-to-end runs of export-xlsx and reimport on temporary files.
#include "CliSupport.h"
#include "data/AppPaths.h"
#include "data/BoqWorkbooks.h"
#include "data/Database.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tenvora;
using namespace tenvora::test;

namespace {

// Every line of every bill in the file, in the order stored. (Each command's login writes its
// marker, so the file's bytes change whatever the command does.)
QStringList bills(const QString& file) {
    Database db = Database::open(file, DataFileKey(), Database::Mode::Verify);
    Statement st = db.prepare(QStringLiteral("select rowid, * from jd_htqd order by rowid"));
    QStringList rows;
    while (st.next()) {
        QStringList cells;
        for (int c = 0; c < st.columnCount(); ++c)
            cells << st.value(c).toString();
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

using CliResult = tenvora::test::CliRun;

class CliExcel : public testing::Test {
protected:
    void SetUp() override {
        m_data = path(QStringLiteral("VORQEL.tr"));
        ASSERT_EQ(
            run({QStringLiteral("--data"), m_data, QStringLiteral("create-demo"), QStringLiteral("--priced")}).code, 0);
    }
    QString path(const QString& name) const { return QDir(m_dir.path()).filePath(name); }

    CliResult run(const QStringList& args) { return tenvora::test::RunCli(args); }
    CliResult loggedIn(const QStringList& args) {
        return run(QStringList{QStringLiteral("--data"), m_data, QStringLiteral("--unit"),
                               QStringLiteral("华建路桥工程有限公司"), QStringLiteral("--password"),
                               QStringLiteral("hj2026")} +
                   args);
    }
    QStringList backups() const {
        return QDir(m_dir.path()).entryList({QStringLiteral("*.before-revision-*")}, QDir::Files);
    }

    QTemporaryDir m_dir;
    QString m_data;
};

} // namespace

TEST_F(CliExcel, ExportedBillImportsAgainIntoAnotherContract) {
    const CliResult exported =
        loggedIn({QStringLiteral("--json"), QStringLiteral("export-xlsx"), path(QStringLiteral("a1"))});
    ASSERT_EQ(exported.code, 0) << exported.err.toStdString();
    EXPECT_EQ(exported.json().value(QStringLiteral("file")).toString(), path(QStringLiteral("a1.xlsx")));
    const int lines = exported.json().value(QStringLiteral("lines")).toInt();
    EXPECT_GT(lines, 50);

    ASSERT_EQ(loggedIn({QStringLiteral("select"), QStringLiteral("B1")}).code, 0);
    const CliResult imported =
        loggedIn({QStringLiteral("--json"), QStringLiteral("import-xls"), path(QStringLiteral("a1.xlsx"))});
    ASSERT_EQ(imported.code, 0) << imported.err.toStdString();
    EXPECT_EQ(imported.json().value(QStringLiteral("imported")).toInt(), lines);

    // The same bill re-read as a revision of B1 changes nothing.
    const CliResult same =
        loggedIn({QStringLiteral("--json"), QStringLiteral("reimport"), path(QStringLiteral("a1.xlsx"))});
    ASSERT_EQ(same.code, 0) << same.err.toStdString();
    EXPECT_EQ(same.json().value(QStringLiteral("unchanged")).toInt(), lines);
    EXPECT_FALSE(same.json().value(QStringLiteral("applied")).toBool());
    EXPECT_TRUE(backups().isEmpty());

    EXPECT_EQ(loggedIn({QStringLiteral("export-xlsx"), path(QStringLiteral("none/a.xlsx"))}).code, 1);
    EXPECT_EQ(loggedIn({QStringLiteral("export-xlsx")}).code, 2);
}

TEST_F(CliExcel, ReimportShowsTheChangesAndWritesOnlyWithoutDryRun) {
    const QString revised = path(QStringLiteral("revised.xlsx"));
    ASSERT_EQ(WriteWorkbook(
                  revised,
                  QJsonArray{Sheet(QStringLiteral("工程量清单"),
                                   QJsonArray{BoqHeadings(), QJsonArray{QStringLiteral("100"), QStringLiteral("总则")},
                                              QJsonArray{QStringLiteral("102-1"), QStringLiteral("竣工文件"),
                                                         QStringLiteral("总额"), QJsonValue(), 2},
                                              QJsonArray{QStringLiteral("102-9"), QStringLiteral("新增"),
                                                         QStringLiteral("项"), 5, 1}})}),
              QString());
    const QStringList before = bills(m_data);

    const CliResult dry =
        loggedIn({QStringLiteral("reimport"), revised, QStringLiteral("--dry-run"), QStringLiteral("--json")});
    ASSERT_EQ(dry.code, 0) << dry.err.toStdString();
    const QJsonObject plan = dry.json();
    EXPECT_TRUE(plan.value(QStringLiteral("dryRun")).toBool());
    EXPECT_FALSE(plan.value(QStringLiteral("applied")).toBool());
    EXPECT_EQ(plan.value(QStringLiteral("added")).toInt(), 1);
    EXPECT_EQ(plan.value(QStringLiteral("changed")).toInt(), 1);
    const int dropped = plan.value(QStringLiteral("dropped")).toInt();
    EXPECT_GT(dropped, 50);
    QJsonObject changed;
    for (const QJsonValue& l : plan.value(QStringLiteral("lines")).toArray())
        if (l.toObject().value(QStringLiteral("item")).toString() == QLatin1String("102-1"))
            changed = l.toObject();
    EXPECT_EQ(changed.value(QStringLiteral("change")).toString(), QStringLiteral("修改"));
    EXPECT_EQ(changed.value(QStringLiteral("changed")).toArray(), QJsonArray{QStringLiteral("quantity")});
    EXPECT_EQ(changed.value(QStringLiteral("newAmount")).toDouble(),
              2 * changed.value(QStringLiteral("price")).toDouble());
    EXPECT_EQ(bills(m_data), before);
    EXPECT_TRUE(backups().isEmpty());

    const CliResult applied = loggedIn({QStringLiteral("reimport"), revised});
    ASSERT_EQ(applied.code, 0) << applied.err.toStdString();
    EXPECT_TRUE(applied.out.contains(QStringLiteral("修订清单导入完毕"))) << applied.out.toStdString();
    ASSERT_EQ(backups().size(), 1);
    EXPECT_EQ(bills(path(backups().first())), before);
    const CliResult list = loggedIn({QStringLiteral("--json"), QStringLiteral("boq"), QStringLiteral("list")});
    ASSERT_EQ(list.code, 0);
    EXPECT_EQ(list.json().value(QStringLiteral("rows")).toArray().size(), 3) << list.out.toStdString();
}

TEST_F(CliExcel, DuplicateItemNumbersRefuseTheRevision) {
    const QString twice = path(QStringLiteral("twice.xls"));
    ASSERT_EQ(WriteWorkbook(twice, QJsonArray{Sheet(QStringLiteral("工程量清单"),
                                                    QJsonArray{BoqHeadings(), QJsonArray{QStringLiteral("102-1")},
                                                               QJsonArray{QStringLiteral("102-1")}})}),
              QString());
    const QStringList before = bills(m_data);
    const CliResult refused = loggedIn({QStringLiteral("reimport"), twice});
    EXPECT_EQ(refused.code, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("细目编号“102-1”在工作簿中出现 2 次")))
        << refused.err.toStdString();
    EXPECT_EQ(bills(m_data), before);
    EXPECT_TRUE(backups().isEmpty());
}

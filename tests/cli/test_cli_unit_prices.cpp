// tenvora resource, boq buildup and pricing fee, the analysis form, print-all --with-analysis and
// bid-disk --with-costs, on temporary demo data files.
#include "CliSupport.h"
#include "data/BoqWorkbooks.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using tenvora::test::CliRun;
using tenvora::test::RunCli;

class CliUnitPrices : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_data = path(QStringLiteral("VORQEL.tr"));
        ASSERT_EQ(
            RunCli({QStringLiteral("--data"), m_data, QStringLiteral("create-demo"), QStringLiteral("--priced")}).code,
            0);
    }
    QString path(const QString& name) const { return QDir(m_dir.path()).filePath(name); }
    CliRun run(const QStringList& args, const QString& data = {}) {
        return RunCli(QStringList{QStringLiteral("--data"), data.isEmpty() ? m_data : data} +
                      tenvora::test::DemoLogin() + QStringList{QStringLiteral("--json")} + args);
    }
    CliRun ok(const QStringList& args) {
        const CliRun r = run(args);
        EXPECT_EQ(r.code, 0) << args.join(' ').toStdString() << "\n" << r.err.toStdString();
        return r;
    }
    // Two resources, a line built from them and two fees.
    void addCosts() {
        ok({QStringLiteral("resource"), QStringLiteral("add"), QStringLiteral("R1"), QStringLiteral("普工"),
            QStringLiteral("工日"), QStringLiteral("人工"), QStringLiteral("120")});
        ok({QStringLiteral("resource"), QStringLiteral("add"), QStringLiteral("J1"), QStringLiteral("挖掘机"),
            QStringLiteral("台班"), QStringLiteral("机械"), QStringLiteral("1,280.25")});
        ok({QStringLiteral("boq"), QStringLiteral("buildup"), QStringLiteral("203-1-a"), QStringLiteral("--add"),
            QStringLiteral("R1"), QStringLiteral("0.05")});
        ok({QStringLiteral("boq"), QStringLiteral("buildup"), QStringLiteral("203-1-a"), QStringLiteral("--add"),
            QStringLiteral("J1"), QStringLiteral("0.0035")});
        ok({QStringLiteral("pricing"), QStringLiteral("fee"), QStringLiteral("add"), QStringLiteral("管理费"),
            QStringLiteral("5")});
        ok({QStringLiteral("pricing"), QStringLiteral("fee"), QStringLiteral("add"), QStringLiteral("利润"),
            QStringLiteral("7"), QStringLiteral("--on"), QStringLiteral("running")});
    }
    QJsonValue price(const QString& item) {
        const CliRun r = ok({QStringLiteral("boq"), QStringLiteral("list"), QStringLiteral("--chapter"),
                             item.left(1) + QStringLiteral("00")});
        for (const QJsonValue& row : r.json().value(QStringLiteral("rows")).toArray())
            if (row.toObject().value(QStringLiteral("细目编号")).toString() == item)
                return row.toObject().value(QStringLiteral("合同单价"));
        return {};
    }

    QTemporaryDir m_dir;
    QString m_data;
};

TEST_F(CliUnitPrices, BuildUpListDryRunAndApply) {
    addCosts();
    // 0.05 x 120 + 0.0035 x 1280.25 = 10.480875; +5 % = 11.00491875; +7 % = 11.7752630625.
    const CliRun list =
        ok({QStringLiteral("boq"), QStringLiteral("buildup"), QStringLiteral("203-1-a"), QStringLiteral("--list")});
    EXPECT_EQ(list.json().value(QStringLiteral("direct")).toString(), QStringLiteral("10.480875"));
    EXPECT_EQ(list.json().value(QStringLiteral("unitPrice")).toString(), QStringLiteral("11.78"));
    EXPECT_EQ(list.json().value(QStringLiteral("rows")).toArray().size(), 2);

    const QJsonValue typed = price(QStringLiteral("203-1-a"));
    const CliRun dry = ok({QStringLiteral("boq"), QStringLiteral("buildup"), QStringLiteral("apply"),
                           QStringLiteral("--all"), QStringLiteral("--dry-run")});
    EXPECT_FALSE(dry.json().value(QStringLiteral("applied")).toBool());
    EXPECT_EQ(dry.json().value(QStringLiteral("changed")).toInt(), 1);
    EXPECT_NE(dry.json().value(QStringLiteral("bidPriceAfter")), dry.json().value(QStringLiteral("bidPriceBefore")));
    EXPECT_EQ(price(QStringLiteral("203-1-a")), typed);

    const CliRun applied =
        ok({QStringLiteral("boq"), QStringLiteral("buildup"), QStringLiteral("apply"), QStringLiteral("203-1-a")});
    EXPECT_TRUE(applied.json().value(QStringLiteral("applied")).toBool());
    EXPECT_EQ(price(QStringLiteral("203-1-a")).toDouble(), 11.78);

    // A resource price change re-prices the lines that use it when asked.
    const CliRun counted =
        ok({QStringLiteral("resource"), QStringLiteral("price"), QStringLiteral("R1"), QStringLiteral("130")});
    EXPECT_EQ(counted.json().value(QStringLiteral("items")).toArray().size(), 1);
    EXPECT_FALSE(counted.json().value(QStringLiteral("repriced")).toBool());
    EXPECT_EQ(price(QStringLiteral("203-1-a")).toDouble(), 11.78);
    ok({QStringLiteral("resource"), QStringLiteral("price"), QStringLiteral("R1"), QStringLiteral("130"),
        QStringLiteral("--apply")});
    EXPECT_EQ(price(QStringLiteral("203-1-a")).toDouble(), 12.34);

    const CliRun used = ok({QStringLiteral("resource"), QStringLiteral("where-used"), QStringLiteral("J1")});
    EXPECT_EQ(used.json().value(QStringLiteral("lines")).toArray().size(), 1);
}

TEST_F(CliUnitPrices, ALockedLineIsReportedAndNeverWritten) {
    addCosts();
    ok({QStringLiteral("boq"), QStringLiteral("buildup"), QStringLiteral("203-1-a"), QStringLiteral("--copy-to"),
        QStringLiteral("102-3"), QStringLiteral("203-1-b")});
    const QJsonValue provisional = price(QStringLiteral("102-3"));
    const CliRun r =
        ok({QStringLiteral("boq"), QStringLiteral("buildup"), QStringLiteral("apply"), QStringLiteral("--all")});
    EXPECT_EQ(r.json().value(QStringLiteral("locked")).toInt(), 1);
    for (const QJsonValue& line : r.json().value(QStringLiteral("lines")).toArray()) {
        if (line.toObject().value(QStringLiteral("item")).toString() == QStringLiteral("102-3")) {
            EXPECT_EQ(line.toObject().value(QStringLiteral("outcome")).toString(), QStringLiteral("locked"));
        }
    }
    EXPECT_EQ(price(QStringLiteral("102-3")), provisional);
    EXPECT_EQ(price(QStringLiteral("203-1-b")).toDouble(), 11.78);
}

TEST_F(CliUnitPrices, ImportsFromWorkbooksThroughTheReader) {
    const QString resources = path(QStringLiteral("工料机.xls"));
    ASSERT_EQ(
        tenvora::test::WriteWorkbook(
            resources, QJsonArray{tenvora::test::Sheet(
                           QStringLiteral("工料机"),
                           QJsonArray{QJsonArray{QStringLiteral("编号"), QStringLiteral("名称"), QStringLiteral("单位"),
                                                 QStringLiteral("类别"), QStringLiteral("单价")},
                                      QJsonArray{QStringLiteral("R1"), QStringLiteral("普工"), QStringLiteral("工日"),
                                                 QStringLiteral("人工"), 120},
                                      QJsonArray{QStringLiteral("M1"), QStringLiteral("碎石"), QStringLiteral("m3"),
                                                 QStringLiteral("材料"), 92.8}})}),
        QString());
    const QString buildUps = path(QStringLiteral("组成.xlsx"));
    ASSERT_EQ(
        tenvora::test::WriteWorkbook(
            buildUps,
            QJsonArray{tenvora::test::Sheet(
                QStringLiteral("Sheet1"),
                QJsonArray{QJsonArray{QStringLiteral("细目编号"), QStringLiteral("编号"), QStringLiteral("消耗量")},
                           QJsonArray{QStringLiteral("304-1-a"), QStringLiteral("R1"), 0.01},
                           QJsonArray{QStringLiteral("304-1-a"), QStringLiteral("M1"), 0.272}})}),
        QString());
    const CliRun lib = ok({QStringLiteral("resource"), QStringLiteral("import"), resources});
    EXPECT_EQ(lib.json().value(QStringLiteral("added")).toInt(), 2);
    const CliRun rows = ok({QStringLiteral("boq"), QStringLiteral("buildup"), QStringLiteral("import"), buildUps,
                            QStringLiteral("--apply")});
    EXPECT_EQ(rows.json().value(QStringLiteral("rows")).toInt(), 2);
    // 0.01 x 120 + 0.272 x 92.8 = 26.4416, no fees.
    EXPECT_EQ(price(QStringLiteral("304-1-a")).toDouble(), 26.44);

    const CliRun listed = ok({QStringLiteral("resource"), QStringLiteral("list")});
    EXPECT_EQ(listed.json().value(QStringLiteral("resources")).toArray().size(), 2);
    // A workbook without the headings is refused with the reason.
    const CliRun bad = run({QStringLiteral("resource"), QStringLiteral("import"), buildUps});
    EXPECT_EQ(bad.code, 1);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("类别"))) << bad.err.toStdString();
}

TEST_F(CliUnitPrices, UsageErrorsAndRefusalsHaveTheirExitCodes) {
    addCosts();
    const QStringList buildup{QStringLiteral("boq"), QStringLiteral("buildup")};
    EXPECT_EQ(run(buildup + QStringList{QStringLiteral("apply")}).code, 2);
    EXPECT_EQ(run(buildup + QStringList{QStringLiteral("203-1-a")}).code, 2);
    EXPECT_EQ(run(buildup + QStringList{QStringLiteral("203-1-a"), QStringLiteral("--add"), QStringLiteral("R1")}).code,
              2);
    EXPECT_EQ(run({QStringLiteral("resource"), QStringLiteral("add"), QStringLiteral("X"), QStringLiteral("x"),
                   QStringLiteral("t"), QStringLiteral("劳务"), QStringLiteral("1")})
                  .code,
              2);
    EXPECT_EQ(run({QStringLiteral("pricing"), QStringLiteral("fee"), QStringLiteral("add"), QStringLiteral("x"),
                   QStringLiteral("1"), QStringLiteral("--on"), QStringLiteral("total")})
                  .code,
              2);
    EXPECT_EQ(run(buildup + QStringList{QStringLiteral("999-9"), QStringLiteral("--add"), QStringLiteral("R1"),
                                        QStringLiteral("1")})
                  .code,
              1);
    EXPECT_EQ(run({QStringLiteral("resource"), QStringLiteral("add"), QStringLiteral("R1"), QStringLiteral("x"),
                   QStringLiteral("t"), QStringLiteral("人工"), QStringLiteral("1")})
                  .code,
              1);
    EXPECT_EQ(
        run({QStringLiteral("pricing"), QStringLiteral("fee"), QStringLiteral("remove"), QStringLiteral("无")}).code,
        1);
    const CliRun fees = ok({QStringLiteral("pricing"), QStringLiteral("fee"), QStringLiteral("list")});
    EXPECT_EQ(fees.json().value(QStringLiteral("fees")).toArray().size(), 2);
}

TEST_F(CliUnitPrices, TheFormTheSetAndTheBidDisk) {
    // Without build-ups the form is refused, and the set says why it has none.
    EXPECT_EQ(run({QStringLiteral("report"), QStringLiteral("analysis")}).code, 1);
    addCosts();
    const QString pdf = path(QStringLiteral("单价分析表.pdf"));
    ok({QStringLiteral("report"), QStringLiteral("analysis"), QStringLiteral("--pdf"), pdf});
    EXPECT_TRUE(QFile::exists(pdf));

    const CliRun plain = ok({QStringLiteral("print-all"), QStringLiteral("--dir"), path(QStringLiteral("set"))});
    const CliRun with = ok({QStringLiteral("print-all"), QStringLiteral("--dir"), path(QStringLiteral("set2")),
                            QStringLiteral("--with-analysis")});
    const auto reports = [](const CliRun& r) {
        QStringList names;
        for (const QJsonValue& f : r.json().value(QStringLiteral("files")).toArray())
            names << f.toObject().value(QStringLiteral("report")).toString();
        return names;
    };
    EXPECT_FALSE(reports(plain).contains(QStringLiteral("analysis")));
    EXPECT_TRUE(reports(with).contains(QStringLiteral("analysis")));
    EXPECT_TRUE(with.err.contains(QStringLiteral("203-1-a"))) << "the typed price differs: " << with.err.toStdString();

    const QString disk = path(QStringLiteral("disk.tr"));
    const QString diskWithCosts = path(QStringLiteral("disk-costs.tr"));
    ok({QStringLiteral("bid-disk"), disk, QStringLiteral("--anyway")});
    ok({QStringLiteral("bid-disk"), diskWithCosts, QStringLiteral("--anyway"), QStringLiteral("--with-costs")});
    const auto resources = [&](const QString& file) {
        return run({QStringLiteral("resource"), QStringLiteral("list")}, file)
            .json()
            .value(QStringLiteral("resources"))
            .toArray()
            .size();
    };
    EXPECT_EQ(resources(disk), 0);
    EXPECT_EQ(resources(diskWithCosts), 2);
}

} // namespace

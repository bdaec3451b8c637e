// End-to-end runs of import-xls, clear-boq and read-workbook on temporary files.
#include "CliSupport.h"
#include "boq/BoqImport.h"
#include "data/BoqWorkbooks.h"
#include "data/DataModule.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tenvora;
using namespace tenvora::test;

namespace {

using tenvora::test::CliRun;

class CliImport : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_data = path(QStringLiteral("VORQEL.tr"));
        ASSERT_EQ(tenvora({QStringLiteral("--data"), m_data, QStringLiteral("create-demo")}).code, 0);
        ASSERT_EQ(loggedIn({QStringLiteral("select"), QStringLiteral("B1")}).code, 0);
    }

    QString path(const QString& name) const { return QDir(m_dir.path()).filePath(name); }

    CliRun tenvora(const QStringList& args) { return tenvora::test::RunCli(args); }
    CliRun loggedIn(const QStringList& args) {
        return tenvora(QStringList{QStringLiteral("--data"), m_data, QStringLiteral("--unit"),
                                   QStringLiteral("华建路桥工程有限公司"), QStringLiteral("--password"),
                                   QStringLiteral("hj2026"), QStringLiteral("--json")} +
                       args);
    }

    // Item numbers of a contract's lines in the order they were written.
    QStringList storedItems(const QString& contract) {
        DataModule dm(m_data);
        Statement st =
            dm.database().prepare(QStringLiteral("select 细目编号 from jd_htqd where 合同编号=? order by rowid"));
        st.bind(1, contract);
        QStringList items;
        while (st.next())
            items << st.value(0).toString();
        return items;
    }

    QString goodWorkbook() {
        const QString file = path(QStringLiteral("good.xls"));
        const QString error = WriteWorkbook(
            file,
            QJsonArray{Sheet(
                QStringLiteral("工程量清单"),
                QJsonArray{
                    QJsonArray{QStringLiteral("合同数量"), QStringLiteral("细目编号"), QStringLiteral("备注"),
                               QStringLiteral("单位"), QStringLiteral("细目名称"), QStringLiteral("合同单价")},
                    QJsonArray{2, QStringLiteral("102-1"), QJsonValue(), QStringLiteral("总额"),
                               QStringLiteral("竣工文件"), 1.5},
                    QJsonArray{QJsonValue(), 100, QStringLiteral("章"), QJsonValue(), QStringLiteral("总则")},
                    QJsonArray{QJsonValue(), QJsonValue(), QJsonValue(), QJsonValue(), QStringLiteral("以下为说明")},
                    QJsonArray{120, QStringLiteral("101-1-a")}})});
        EXPECT_EQ(error, QString());
        return file;
    }

    QTemporaryDir m_dir;
    QString m_data;
};

} // namespace

TEST_F(CliImport, ImportsTheSheetInItemOrderAndAppends) {
    const QString file = goodWorkbook();
    const CliRun first = loggedIn({QStringLiteral("import-xls"), file});
    ASSERT_EQ(first.code, 0) << first.err.toStdString();
    EXPECT_EQ(first.json()[QStringLiteral("imported")].toInt(), 3);
    EXPECT_EQ(first.json()[QStringLiteral("skipped")].toInt(), 1);
    EXPECT_EQ(storedItems(QStringLiteral("B1")), (QStringList{"100", "101-1-a", "102-1"}));

    // Again: every item number is held already, so nothing is appended unless asked for.
    const CliRun again = loggedIn({QStringLiteral("import-xls"), file});
    EXPECT_EQ(again.code, 1);
    EXPECT_TRUE(again.err.contains(QStringLiteral("导入的细目编号已存在：100、101-1-a、102-1，共 3 条。")))
        << again.err.toStdString();
    EXPECT_TRUE(again.err.contains(QStringLiteral("--append")));
    EXPECT_EQ(storedItems(QStringLiteral("B1")).size(), 3);

    const CliRun appended = loggedIn({QStringLiteral("import-xls"), file, QStringLiteral("--append")});
    ASSERT_EQ(appended.code, 0) << appended.err.toStdString();
    EXPECT_EQ(storedItems(QStringLiteral("B1")).size(), 6);
    EXPECT_TRUE(
        tenvora({QStringLiteral("import-xls"), QStringLiteral("--help")}).out.contains(QStringLiteral("--append")));
}

TEST_F(CliImport, ClearNeedsConfirmationAndTouchesOnlyTheCurrentContract) {
    ASSERT_EQ(loggedIn({QStringLiteral("import-xls"), goodWorkbook()}).code, 0);
    const qsizetype a1 = storedItems(QStringLiteral("A1")).size();

    const CliRun unconfirmed = loggedIn({QStringLiteral("clear-boq")});
    EXPECT_EQ(unconfirmed.code, 2);
    EXPECT_TRUE(unconfirmed.err.contains(BoqImport::clearQuestion()));
    EXPECT_EQ(storedItems(QStringLiteral("B1")).size(), 3);

    const CliRun cleared = loggedIn({QStringLiteral("clear-boq"), QStringLiteral("--yes")});
    ASSERT_EQ(cleared.code, 0) << cleared.err.toStdString();
    EXPECT_EQ(cleared.json()[QStringLiteral("deleted")].toInt(), 3);
    EXPECT_TRUE(storedItems(QStringLiteral("B1")).isEmpty());
    EXPECT_EQ(storedItems(QStringLiteral("A1")).size(), a1);
}

TEST_F(CliImport, BadWorkbooksAreRejectedWithTheFormatMessageAndWriteNothing) {
    const QString good = goodWorkbook();
    QFile source(good);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    auto write = [&](const QString& name, const QByteArray& content) {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return f.fileName();
    };
    QByteArray noise(8192, '\0');
    QRandomGenerator random(42);
    for (char& b : noise)
        b = static_cast<char>(random.bounded(256));

    const QJsonArray badCell{
        BoqHeadings(), QJsonArray{QStringLiteral("101-1"), QJsonValue(), QJsonValue(), 1, 1},
        QJsonArray{QStringLiteral("102-1"), QJsonValue(), QJsonValue(), QStringLiteral("面议"), 1}};
    const QString badCellFile = path(QStringLiteral("badcell.xls"));
    ASSERT_EQ(WriteWorkbook(badCellFile, QJsonArray{Sheet(QStringLiteral("工程量清单"), badCell)}), QString());
    const QString otherSheet = path(QStringLiteral("sheet1.xls"));
    ASSERT_EQ(WriteWorkbook(otherSheet, QJsonArray{Sheet(QStringLiteral("Sheet1"), badCell)}), QString());

    struct Case {
        const char* name;
        QString file;
        QString detail;
    };
    QList<Case> cases = {
        {"price that is no number", badCellFile, QStringLiteral("第 3 行“合同单价”列（D 列）的内容“面议”不是数字")},
        {"sheet missing", otherSheet, QStringLiteral("Sheet1")},
        {"damaged: crashes the reader", QDir(WorkbookFixtureDir()).filePath(QStringLiteral("damaged.xls")),
         QStringLiteral("损坏")},
        {"truncated", write(QStringLiteral("half.xls"), bytes.left(bytes.size() / 2)), QStringLiteral("不完整")},
        {"random bytes", write(QStringLiteral("noise.xls"), noise), QStringLiteral("不是 Excel 97-2003 工作簿")},
        {"xlsx", write(QStringLiteral("new.xls"), QByteArray("PK\x03\x04", 4) + noise), QStringLiteral(".xlsx")},
        {"empty file", write(QStringLiteral("empty.xls"), {}), QString()},
        {"missing file", path(QStringLiteral("none.xls")), QStringLiteral("不存在")},
    };
    // Workbooks on which fuzzing made the reader's library crash, or the reader leak.
    const QDir found(QDir(WorkbookFixtureDir()).filePath(QStringLiteral("fuzz-xls")));
    for (const QString& name : found.entryList({QStringLiteral("*.xls"), QStringLiteral("*.xlsx")}, QDir::Files))
        cases.append({"found by fuzzing", found.filePath(name), QStringLiteral("损坏")});
    ASSERT_GE(cases.size(), 10);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + std::string(": ") + c.file.toStdString());
        const CliRun run = loggedIn({QStringLiteral("import-xls"), c.file});
        EXPECT_EQ(run.code, 1);
        EXPECT_TRUE(run.err.contains(BoqImport::formatMessage() + QLatin1Char('\n'))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.detail)) << run.err.toStdString();
    }
    EXPECT_TRUE(storedItems(QStringLiteral("B1")).isEmpty());
}

TEST_F(CliImport, ReadWorkbookNeedsNoLoginAndEndsItsOutput) {
    const CliRun run = tenvora(
        {QStringLiteral("read-workbook"), goodWorkbook(), QStringLiteral("--sheet"), QStringLiteral("工程量清单")});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("tenvora-workbook 1\nsheet\t工程量清单\ncells\t0\t5\t6\n")));
    EXPECT_TRUE(run.out.endsWith(QStringLiteral("\nend\n")));
}

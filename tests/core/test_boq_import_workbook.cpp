// Reading real .xls files: FreeXL in this process, and the template workbook shipped in Data/.
#include "boq/BoqImport.h"
#include "boq/Workbook.h"
#include "data/BoqWorkbooks.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tenvora;
using namespace tenvora::test;

namespace {

class WorkbookFile : public testing::Test {
protected:
    QString path(const QString& name) const { return QDir(m_dir.path()).filePath(name); }
    QTemporaryDir m_dir;
};

QString readFailure(const QString& file) {
    try {
        ReadWorkbookInProcess(file);
    } catch (const WorkbookError& e) {
        return e.text();
    }
    return QStringLiteral("read");
}

} // namespace

TEST_F(WorkbookFile, CellsArriveWithTheirKinds) {
    const QString file = path(QStringLiteral("b.xls"));
    ASSERT_EQ(WriteWorkbook(
                  file, QJsonArray{Sheet(QStringLiteral("说明"), QJsonArray{QJsonArray{QStringLiteral("x")}}),
                                   Sheet(QStringLiteral("工程量清单"),
                                         QJsonArray{BoqHeadings(),
                                                    QJsonArray{100, QStringLiteral("总则"), QJsonValue(), 12.25, 1e-7},
                                                    QJsonArray{QStringLiteral("101-1\t甲"), 3}})}),
              QString());

    const WorkbookContents all = ReadWorkbookInProcess(file);
    EXPECT_EQ(all.sheetNames, (QStringList{QStringLiteral("说明"), QStringLiteral("工程量清单")}));
    EXPECT_EQ(all.sheets.size(), 2u);

    const WorkbookContents one = ReadWorkbookInProcess(file, QStringLiteral("工程量清单"));
    ASSERT_EQ(one.sheets.size(), 1u);
    const WorksheetCells* s = one.sheet(QStringLiteral("工程量清单"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->rows, 3);
    EXPECT_EQ(s->columns, 5);
    EXPECT_EQ(s->at(0, 3).text, QStringLiteral("合同单价"));
    EXPECT_EQ(s->at(1, 0).kind, WorkbookCell::Kind::Number);
    EXPECT_EQ(s->at(1, 0).number, 100);
    EXPECT_EQ(s->at(1, 2).kind, WorkbookCell::Kind::Empty);
    EXPECT_EQ(s->at(1, 3).number, 12.25);
    EXPECT_EQ(s->at(1, 4).number, 1e-7);
    EXPECT_EQ(s->at(2, 0).text, QStringLiteral("101-1\t甲"));
    EXPECT_EQ(s->at(2, 4).kind, WorkbookCell::Kind::Empty);
}

TEST_F(WorkbookFile, FilesThatAreNotWorkbooksAreRefusedWithAReason) {
    QFile zip(path(QStringLiteral("new.xls")));
    ASSERT_TRUE(zip.open(QIODevice::WriteOnly));
    zip.write(QByteArray("PK\x03\x04", 4) + QByteArray(600, 'x'));
    zip.close();
    EXPECT_TRUE(readFailure(zip.fileName()).contains(QStringLiteral(".xlsx")));

    QFile text(path(QStringLiteral("text.xls")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(QByteArray("细目编号,细目名称\n101-1,保险费\n").repeated(40));
    text.close();
    EXPECT_TRUE(readFailure(text.fileName()).contains(QStringLiteral("不是 Excel 97-2003 工作簿")));

    EXPECT_TRUE(readFailure(path(QStringLiteral("none.xls"))).contains(QStringLiteral("不存在")));
}

TEST(TemplateWorkbook, IsInTheSourceFormatWithoutPrices) {
    const QString file = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Data/合同清单范本.xls"));
    ASSERT_TRUE(QFile::exists(file)) << file.toStdString();
    const BoqSource s = BoqSourceFromWorkbook(ReadWorkbookInProcess(file, BoqImport::sheetName()), file);
    ASSERT_GE(s.rows.size(), 5u);
    EXPECT_EQ(s.rows.front().itemNumber.toString(), QStringLiteral("100"));
    for (const BoqSourceRow& r : s.rows) {
        EXPECT_FALSE(r.itemNumber.isNull());
        EXPECT_TRUE(r.price.isNull()) << r.itemNumber.toString().toStdString();
    }
}

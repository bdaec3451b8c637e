// Reading .xlsx workbooks: files written by another tool import as the .xls of the same rows do,
// the cell forms of the format arrive as they should, and damaged or hostile files are refused
// by the reader process in bounded time and memory.
#include "boq/BoqImport.h"
#include "boq/Workbook.h"
#include "boq/XlsxReader.h"
#include "data/BoqWorkbooks.h"
#include "data/DataModule.h"
#include "support/TestSupport.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/resource.h>

using namespace tenvora;
using namespace tenvora::test;

namespace {

const QString kMain = QStringLiteral("http://schemas.openxmlformats.org/spreadsheetml/2006/main");

QString relationships(const QString& type, const QString& target) {
    return QStringLiteral("<?xml version=\"1.0\"?><Relationships "
                          "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
                          "Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/%1\" "
                          "Target=\"%2\"/>%3</Relationships>")
        .arg(type, target,
             type == QLatin1String("worksheet")
                 ? QStringLiteral("<Relationship Id=\"rId2\" "
                                  "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                                  "sharedStrings\" Target=\"sharedStrings.xml\"/>")
                 : QString());
}

// A workbook made by hand, part by part, with one sheet "工程量清单" holding the rows given.
QJsonObject handMade(const QString& sheetData, const QString& shared = {}, const QString& sheetTarget = {}) {
    QJsonObject parts{
        {QStringLiteral("_rels/.rels"),
         relationships(QStringLiteral("officeDocument"), QStringLiteral("xl/workbook.xml"))},
        {QStringLiteral("xl/workbook.xml"),
         QStringLiteral("<?xml version=\"1.0\"?><workbook xmlns=\"%1\" "
                        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
                        "<sheet name=\"说明\" sheetId=\"2\" r:id=\"rId9\"/>"
                        "<sheet name=\"工程量清单\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>")
             .arg(kMain)},
        {QStringLiteral("xl/_rels/workbook.xml.rels"),
         relationships(QStringLiteral("worksheet"),
                       sheetTarget.isEmpty() ? QStringLiteral("worksheets/sheet1.xml") : sheetTarget)},
        {QStringLiteral("xl/worksheets/sheet1.xml"),
         QStringLiteral("<?xml version=\"1.0\"?><worksheet xmlns=\"%1\"><sheetData>%2</sheetData></worksheet>")
             .arg(kMain, sheetData)},
    };
    if (!shared.isEmpty())
        parts.insert(QStringLiteral("xl/sharedStrings.xml"),
                     QStringLiteral("<?xml version=\"1.0\"?>%1").arg(shared).replace(QStringLiteral("$NS"), kMain));
    return parts;
}

class XlsxFile : public testing::Test {
protected:
    QString path(const QString& name) const { return QDir(m_dir.path()).filePath(name); }

    QString zip(const QString& name, const QJsonObject& parts) {
        const QString file = path(name);
        EXPECT_EQ(WriteZip(file, parts), QString());
        return file;
    }

    // Through the reader process, as the import reads it; the reason when it is refused. A reader
    // that hangs on a hostile file is ended by the test's timeout.
    QString refusal(const QString& file) {
        QString reason;
        try {
            ReadWorkbook(file, BoqImport::sheetName());
        } catch (const WorkbookError& e) {
            reason = e.text();
        }
        return reason;
    }

    QTemporaryDir m_dir;
};

QStringList sourceRows(const BoqSource& s) {
    QStringList rows;
    for (const BoqSourceRow& r : s.rows) {
        QStringList cells{QString::number(r.sheetRow)};
        for (const QVariant& v : {r.itemNumber, r.itemName, r.unit, r.price, r.quantity})
            cells << (v.isNull() ? QStringLiteral("<null>") : QStringLiteral("%1:%2").arg(v.typeName(), v.toString()));
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

// What the reader may take at its peak; AddressSanitizer adds its shadow memory and keeps freed
// memory in quarantine (256 MB unless told otherwise).
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kReaderPeakKilobytes = 640 * 1024;
#else
constexpr qint64 kReaderPeakKilobytes = 256 * 1024;
#endif

qint64 childPeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

} // namespace

TEST_F(XlsxFile, ImportsTheSameLinesAsTheXlsOfTheSameRows) {
    const QJsonArray rows{
        QJsonArray{QStringLiteral("合同数量"), QStringLiteral("细目编号"), QStringLiteral("备注"),
                   QStringLiteral("单位"), QStringLiteral("细目名称"), QStringLiteral("合同单价")},
        QJsonArray{2, QStringLiteral("102-1"), QJsonValue(), QStringLiteral("总额"), QStringLiteral("竣工文件"), 1.5},
        QJsonArray{QJsonValue(), 100, QStringLiteral("章"), QJsonValue(), QStringLiteral("总则")},
        QJsonArray{QJsonValue(), QJsonValue(), QJsonValue(), QJsonValue(), QStringLiteral("以下为说明")},
        QJsonArray{64200.5, QStringLiteral("204-1-b"), QJsonValue(), QStringLiteral("m3"),
                   QStringLiteral("利用土方填筑\t（含运输）"), 12.300000000000001},
        QJsonArray{true, QStringLiteral("101-10"), QJsonValue(), QStringLiteral("m"), QStringLiteral("x"),
                   QJsonValue()},
        QJsonArray{1e-7, QStringLiteral("101-2"), false, QStringLiteral(" "), QStringLiteral("𠀀字"), -0.0},
        QJsonArray{120, QStringLiteral("101-1-a"), QJsonValue(), QStringLiteral("总额"), QStringLiteral("保险费 "),
                   QStringLiteral("12.5")},
    };
    const QJsonArray sheets{Sheet(QStringLiteral("说明"), QJsonArray{QJsonArray{QStringLiteral("x")}}),
                            Sheet(BoqImport::sheetName(), rows)};
    ASSERT_EQ(WriteWorkbook(path(QStringLiteral("b.xls")), sheets), QString());
    ASSERT_EQ(WriteWorkbook(path(QStringLiteral("b.xlsx")), sheets), QString());

    const BoqSource xls = ReadBoqSource(path(QStringLiteral("b.xls")));
    const BoqSource xlsx = ReadBoqSource(path(QStringLiteral("b.xlsx")));
    EXPECT_EQ(sourceRows(xlsx), sourceRows(xls));
    ASSERT_EQ(xlsx.rows.size(), 7u);

    // And the lines stored from either are the same, row for row.
    QStringList stored[2];
    for (int i = 0; i < 2; ++i) {
        TempDataFile file;
        auto dm = file.open();
        dm->session().CurContractID = QStringLiteral("B1");
        EXPECT_EQ(BoqImport(*dm).importLines(i == 0 ? xls : xlsx).imported, 6);
        Statement st = dm->database().prepare(QStringLiteral(
            "select 细目编号,细目名称,单位,合同单价,合同数量,合同金额,章,节,段 from jd_htqd where 合同编号='B1' "
            "order by rowid"));
        while (st.next()) {
            QStringList cells;
            for (int c = 0; c < st.columnCount(); ++c)
                cells << st.value(c).toString();
            stored[i] << cells.join(QLatin1Char('|'));
        }
    }
    EXPECT_EQ(stored[1], stored[0]);
    EXPECT_EQ(stored[1].size(), 6);
}

TEST_F(XlsxFile, CellFormsOfTheFormatArriveAsTheyShould) {
    const QString shared =
        QStringLiteral("<sst xmlns=\"$NS\"><si><t>细目编号</t></si><si><r><t>利用</t></r><r><rPr><b/></rPr><t "
                       "xml:space=\"preserve\">土方 </t></r><rPh><t>リヨウ</t></rPh></si><si><t>行一_x000D__x000A_行二 "
                       "a_x005F_x0041_</t></si>"
                       "<si><t>&lt;&amp;&gt;</t></si></sst>");
    // Rows out of order, cells without a position, formulas with their last value, an error value,
    // a boolean, an inline string and a number in exponent form.
    const QString data = QStringLiteral(
        "<row r=\"3\"><c r=\"B3\" t=\"s\"><v>2</v></c><c><v>1.5E3</v></c><c t=\"b\"><v>1</v></c></row>"
        "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"C1\" t=\"inlineStr\"><is><t>单位</t></is></c></row>"
        "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>1</v></c><c r=\"B2\"><f>1+1</f><v>2</v></c><c r=\"C2\" "
        "t=\"str\"><f>A1</f><v>公式</v></c><c r=\"D2\" t=\"e\"><v>#N/A</v></c><c r=\"E2\" s=\"3\"/></row>"
        "<row r=\"4\"><c r=\"A4\" t=\"s\"><v>3</v></c><c r=\"B4\"><f>X</f></c></row>");
    const QString file =
        zip(QStringLiteral("forms.xlsx"), handMade(data, shared, QStringLiteral("/xl/worksheets/sheet1.xml")));

    const WorkbookContents contents = ReadWorkbookInProcess(file, BoqImport::sheetName());
    EXPECT_EQ(contents.sheetNames, (QStringList{QStringLiteral("说明"), BoqImport::sheetName()}));
    const WorksheetCells* s = contents.sheet(BoqImport::sheetName());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->rows, 4);
    EXPECT_EQ(s->columns, 4);
    struct Expected {
        int row, column;
        WorkbookCell::Kind kind;
        QVariant value;
    };
    using K = WorkbookCell::Kind;
    const Expected cells[] = {
        {0, 0, K::Text, QStringLiteral("细目编号")},
        {0, 1, K::Empty, {}},
        {0, 2, K::Text, QStringLiteral("单位")},
        {1, 0, K::Text, QStringLiteral("利用土方 ")},
        {1, 1, K::Number, 2.0},
        {1, 2, K::Text, QStringLiteral("公式")},
        {1, 3, K::Text, QStringLiteral("#N/A")},
        {2, 1, K::Text, QStringLiteral("行一\r\n行二 a_x0041_")},
        {2, 2, K::Number, 1500.0},
        {2, 3, K::Number, 1.0},
        {3, 0, K::Text, QStringLiteral("<&>")},
        {3, 1, K::Empty, {}},
    };
    for (const Expected& e : cells) {
        SCOPED_TRACE(QStringLiteral("row %1 column %2").arg(e.row).arg(e.column).toStdString());
        const WorkbookCell& cell = s->at(e.row, e.column);
        EXPECT_EQ(cell.kind, e.kind);
        if (e.kind == K::Text) {
            EXPECT_EQ(cell.text, e.value.toString());
        } else if (e.kind == K::Number) {
            EXPECT_EQ(cell.number, e.value.toDouble());
        }
    }
}

TEST_F(XlsxFile, DamagedAndHostileFilesAreRefusedWithTheReason) {
    const QString cell = QStringLiteral("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>");
    const QString oneText = QStringLiteral("<sst xmlns=\"$NS\"><si><t>细目编号</t></si></sst>");
    QJsonObject noWorkbook{{QStringLiteral("word/document.xml"), QStringLiteral("<document/>")}};
    QJsonObject laughs =
        handMade(cell, QStringLiteral("<!DOCTYPE sst [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
                                      "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c "
                                      "\"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]><sst xmlns=\"$NS\"><si><t>&c;&c;"
                                      "</t></si></sst>"));
    QJsonObject external = handMade(
        cell, QStringLiteral("<!DOCTYPE sst [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><sst xmlns=\"$NS\"><si><t>&x;"
                             "</t></si></sst>"));
    struct Case {
        const char* name;
        QJsonObject parts;
        const char* reason;
    };
    const Case cases[] = {
        {"other-zip", noWorkbook, "没有 Excel 工作簿"},
        {"laughs", laughs, "DTD"},
        {"external-entity", external, "DTD"},
        {"far-cells",
         handMade(cell + QStringLiteral("<row r=\"100000\"><c r=\"ZZ100000\"><v>1</v></c></row>"), oneText), "上限"},
        {"last-cell-of-the-format",
         handMade(QStringLiteral("<row r=\"1048576\"><c r=\"XFD1048576\"><v>1</v></c></row>")), "上限"},
        {"beyond-the-format", handMade(QStringLiteral("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>")), "位置"},
        {"row-beyond-the-format", handMade(QStringLiteral("<row r=\"1048577\"><c><v>1</v></c></row>")), "行号"},
        {"missing-text", handMade(QStringLiteral("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>7</v></c></row>"), oneText),
         "文本不存在"},
        {"bad-number", handMade(QStringLiteral("<row r=\"1\"><c r=\"A1\"><v>1,5</v></c></row>")), "无法识别"},
        {"broken-xml", handMade(QStringLiteral("<row r=\"1\"><c r=\"A1\"><v>1</v></row>")), "不是完好的 XML"},
        {"sheet-part-missing", handMade(cell, oneText, QStringLiteral("worksheets/none.xml")), "不在压缩包中"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString reason = refusal(zip(QString::fromLatin1(c.name) + QStringLiteral(".xlsx"), c.parts));
        EXPECT_TRUE(reason.contains(QString::fromUtf8(c.reason))) << reason.toStdString();
    }

    // The import says so with its format message.
    try {
        ReadBoqSource(path(QStringLiteral("laughs.xlsx")));
        ADD_FAILURE() << "accepted";
    } catch (const BoqFormatError& e) {
        EXPECT_TRUE(e.text().startsWith(BoqImport::formatMessage()));
        EXPECT_TRUE(e.detail().contains(QStringLiteral("laughs.xlsx")));
    }
}

TEST_F(XlsxFile, AnArchiveExpandingTo100MegabytesStopsAtTheCap) {
    struct Case {
        const char* kind;
        QString reason;
    };
    const Case cases[] = {
        {"text", QStringLiteral("超过 %1 MB 的文字").arg(kXlsxMaxTokenBytes >> 20)},
        {"markup", QStringLiteral("超过文件本身大小的 %1 倍").arg(kXlsxMaxExpansion)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        const QString bomb = path(QStringLiteral("bomb-%1.xlsx").arg(QLatin1String(c.kind)));
        ASSERT_EQ(RunWorkbookScript({QStringLiteral("bomb"), bomb, QStringLiteral("100"), QLatin1String(c.kind)}),
                  QString());
        ASSERT_LT(QFileInfo(bomb).size(), 1 << 20);
        const QString reason = refusal(bomb);
        EXPECT_TRUE(reason.contains(c.reason)) << reason.toStdString();
    }
    // The reader stopped at the cap instead of holding the expanded sheet.
    EXPECT_LT(childPeakKilobytes(), kReaderPeakKilobytes);
}

TEST_F(XlsxFile, TruncatedAndMutatedFilesNeverTakeTheReaderDown) {
    const QString good = path(QStringLiteral("good.xlsx"));
    QJsonArray rows{BoqHeadings()};
    for (int i = 1; i <= 200; ++i)
        rows << QJsonArray{QStringLiteral("202-%1-a").arg(i), QStringLiteral("细目%1").arg(i), QStringLiteral("m3"),
                           i * 1.25, i * 10};
    ASSERT_EQ(WriteWorkbook(good, QJsonArray{Sheet(BoqImport::sheetName(), rows)}), QString());
    const QByteArray bytes = ReadBytes(good);
    ASSERT_GT(bytes.size(), 2000);
    EXPECT_EQ(refusal(good), QString());

    QRandomGenerator random(15);
    int refused = 0;
    for (int round = 0; round < 60; ++round) {
        QByteArray damaged = bytes;
        if (round < 12) {
            damaged.truncate(bytes.size() * round / 12 + 4);
        } else {
            for (int n = 0; n < 1 + round % 8; ++n)
                damaged[random.bounded(30, static_cast<int>(bytes.size()))] = static_cast<char>(random.bounded(256));
        }
        const QString file = path(QStringLiteral("mutated-%1.xlsx").arg(round));
        ASSERT_TRUE(WriteBytes(file, damaged));
        const QString reason = refusal(file);
        SCOPED_TRACE(round);
        // A crash or a hang of the reader would be reported as such; a refusal names its reason.
        EXPECT_FALSE(reason.contains(QStringLiteral("读取时出错"))) << reason.toStdString();
        EXPECT_FALSE(reason.contains(QStringLiteral("超时"))) << reason.toStdString();
        EXPECT_FALSE(reason.contains(QStringLiteral("读取程序的输出"))) << reason.toStdString();
        refused += reason.isEmpty() ? 0 : 1;
    }
    EXPECT_GE(refused, 12); // every truncation at least
    EXPECT_LT(childPeakKilobytes(), kReaderPeakKilobytes);
}

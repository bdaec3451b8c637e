// Documents of several forms written as one PDF with a bookmark per form, each page painted once.
#include "report_engine/PageRenderer.h"
#include "report_engine/PdfJoin.h"
#include "report_engine/ReportLayout.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tenvora;
using namespace tenvora::report;

namespace {

RenderedDocument form(TextMeasure& measure, const QString& name, int rows) {
    const QByteArray xml = QStringLiteral(R"(<report title="%1">
  <font id="default" families="宋体, SimSun, AR PL UMing CN" size="10"/>
  <page width="100" height="100" margins="10 10 10 10">
    <band kind="page-header" height="10"><memo width="80" height="10"><line>%1</line></memo></band>
    <band kind="data" dataset="rows" height="10"><memo width="80" height="10"><line>[text]</line></memo></band>
    <band kind="page-footer" height="10"><memo width="80" height="10"><line>%1 第 [PAGE] 页 共 [PAGES] 页</line></memo></band>
  </page></report>)")
                               .arg(name)
                               .toUtf8();
    TableDataSource source({QStringLiteral("text")});
    for (int i = 1; i <= rows; ++i)
        source.addRow({QStringLiteral("%1第%2行").arg(name).arg(i)});
    return LayoutReport(ParseTemplate(xml, QStringLiteral("t.xml")), {{QStringLiteral("rows"), &source}}, measure);
}

QString run(const QString& program, const QStringList& args, QString* errors = nullptr) {
    QProcess p;
    p.start(QStandardPaths::findExecutable(program), args);
    p.waitForFinished(30000);
    if (errors)
        *errors = QString::fromUtf8(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

TEST(PdfJoin, OneFileWithABookmarkPerFormAndEveryPageOnce) {
    for (const char* tool : {"pdfinfo", "pdftotext", "pdftohtml"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            GTEST_SKIP() << "poppler-utils is not installed";
    TextMeasure measure;
    RenderedDocument whole;
    whole.title = QStringLiteral("投标报表");
    AppendDocument(whole, form(measure, QStringLiteral("甲表"), 3), QStringLiteral("甲表"));
    AppendDocument(whole, form(measure, QStringLiteral("乙表"), 9), QStringLiteral("乙表"));
    ASSERT_EQ(whole.pageCount(), 3);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("whole.pdf"));
    WritePdf(whole, path);

    QString errors;
    const QString info = run(QStringLiteral("pdfinfo"), {path}, &errors);
    EXPECT_TRUE(errors.isEmpty()) << errors.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+3\\n")))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("投标报表"))) << info.toStdString();

    const QStringList pages = run(QStringLiteral("pdftotext"), {path, QStringLiteral("-")}).split(QChar(u'\f'));
    ASSERT_GE(pages.size(), 3);
    EXPECT_TRUE(pages[0].contains(QStringLiteral("甲表第3行")));
    EXPECT_TRUE(pages[0].contains(QStringLiteral("第 1 页 共 1 页")));
    EXPECT_TRUE(pages[2].contains(QStringLiteral("乙表第9行")));
    EXPECT_TRUE(pages[2].contains(QStringLiteral("第 2 页 共 2 页")));

    const QString xml = run(QStringLiteral("pdftohtml"),
                            {QStringLiteral("-xml"), QStringLiteral("-i"), QStringLiteral("-stdout"), path});
    const qsizetype first = xml.indexOf(QStringLiteral(">甲表</item>"));
    const qsizetype second = xml.indexOf(QStringLiteral(">乙表</item>"));
    EXPECT_TRUE(xml.contains(QStringLiteral("<outline>"))) << xml.toStdString();
    EXPECT_GE(first, 0);
    EXPECT_GT(second, first);
    EXPECT_TRUE(xml.contains(QStringLiteral("page=\"2\">乙表"))) << "the bookmark opens the form's first page";
}

TEST(PdfJoin, RefusesFilesItCannotRead) {
    TextMeasure measure;
    const QByteArray good = PdfBytes(form(measure, QStringLiteral("甲表"), 1));
    for (const QByteArray& bad :
         {QByteArray("not a pdf"), good.left(good.size() / 2), QByteArray(good).replace("/Kids", "/Kinder")})
        EXPECT_THROW(
            JoinPdf({PdfPart{QStringLiteral("甲"), good}, PdfPart{QStringLiteral("乙"), bad}}, QStringLiteral("合订")),
            Error);
}

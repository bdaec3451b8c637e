// The report preview: zoom, pages, find, save and open, print, help, and what it paints.
#include "MessageBox.h"
#include "Modal.h"
#include "WindowTest.h"
#include "preview/ReportPreview.h"
#include "report_engine/PreparedReportFile.h"
#include "report_engine/ReportLayout.h"
#include "shell/HelpWindow.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

using namespace tenvora;
using namespace tenvora::ui;

namespace {

// Sixty numbered rows on A4: several pages, the text "第12行" once and "合计" on the last page.
report::RenderedDocument sampleDocument() {
    const QByteArray xml = R"(<report title="测试报表">
      <font id="default" families="宋体, SimSun, AR PL UMing CN" size="10"/>
      <page paper="A4" margins="20 15 15 15">
        <band kind="column-header" height="10"><memo width="175" height="10" border="all"><line>栏目</line></memo></band>
        <band kind="data" dataset="rows" height="12"><memo width="60" height="12" border="all"><line>[no]</line></memo>
          <memo x="60" width="40" height="12" wrap="true" grow="true" border="all"><line>[text]</line></memo></band>
        <band kind="summary" height="10"><memo width="175" height="10"><line>合计</line></memo></band>
        <band kind="page-footer" height="8"><memo width="175" height="8" align="center"><line>第 [PAGE] 页</line></memo></band>
      </page></report>)";
    report::TableDataSource rows({QStringLiteral("no"), QStringLiteral("text")});
    for (int i = 1; i <= 60; ++i)
        rows.addRow({QStringLiteral("第%1行").arg(i),
                     i == 30 ? QStringLiteral("施工便道养护与交通疏导的全部费用") : QString()});
    report::TextMeasure measure;
    return report::LayoutReport(report::ParseTemplate(xml, QStringLiteral("t.xml")), {{QStringLiteral("rows"), &rows}},
                                measure);
}

QString pdfText(const QString& path) {
    QProcess p;
    p.start(QStandardPaths::findExecutable(QStringLiteral("pdftotext")), {path, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TestPreview : public QObject {
    Q_OBJECT
private slots:
    void init() { test::BeginWindowTest(); }
    void cleanup() { QCOMPARE(test::EndWindowTest(), QString()); }

    void opensAtFitWidthAndZooms_data() {
        QTest::addColumn<int>("zoom");
        QTest::newRow("fit width") << int(ReportPreview::kFitWidth);
        QTest::newRow("fit page") << int(ReportPreview::kFitPage);
        QTest::newRow("50%") << 50;
        QTest::newRow("200%") << 200;
    }
    void opensAtFitWidthAndZooms() {
        QFETCH(int, zoom);
        ReportPreview preview(sampleDocument());
        preview.resize(900, 700);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        QCOMPARE(preview.zoom(), int(ReportPreview::kDefaultZoom));
        preview.setZoom(zoom);
        auto* scroll = preview.findChild<QScrollArea*>();
        const double pageWidth = 210 * preview.scale();
        const double pageHeight = 297 * preview.scale();
        const int viewportWidth = scroll->width() - 2 * scroll->frameWidth();
        if (zoom == ReportPreview::kFitWidth) {
            QVERIFY(pageWidth <= viewportWidth && pageWidth > viewportWidth - 80);
        } else if (zoom == ReportPreview::kFitPage) {
            QVERIFY(pageHeight <= scroll->height());
            QVERIFY(pageWidth < viewportWidth);
        } else {
            QCOMPARE(preview.scale(), zoom / 100.0 * preview.logicalDpiX() / 25.4);
        }
        const auto* box = preview.findChild<QComboBox*>(QStringLiteral("zoomBox"));
        QCOMPARE(box->currentData().toInt(), zoom);
    }

    void navigatesAndClampsPages() {
        ReportPreview preview(sampleDocument());
        const int pages = preview.document().pageCount();
        QVERIFY(pages >= 3);
        auto* pageBox = preview.findChild<QSpinBox*>(QStringLiteral("pageBox"));
        preview.findChild<QAction*>(QStringLiteral("下一页"))->trigger();
        QCOMPARE(preview.currentPage(), 1);
        QCOMPARE(pageBox->value(), 2);
        preview.findChild<QAction*>(QStringLiteral("末页"))->trigger();
        QCOMPARE(preview.currentPage(), pages - 1);
        preview.nextPage();
        QCOMPARE(preview.currentPage(), pages - 1);
        pageBox->setValue(1);
        QCOMPARE(preview.currentPage(), 0);
        preview.previousPage();
        QCOMPARE(preview.currentPage(), 0);
    }

    void findsHighlightsAndJumps() {
        ReportPreview preview(sampleDocument());
        preview.show();
        preview.setFindText(QStringLiteral("第12行"));
        QCOMPARE(preview.findHits().size(), 1);
        preview.findNext();
        const int page = preview.findHits().first().page;
        QCOMPARE(preview.currentPage(), page);
        QCOMPARE(preview.currentHit(), 0);

        // A phrase broken over two wrapped lines is still one hit spanning both lines.
        preview.setFindText(QStringLiteral("交通疏导"));
        QCOMPARE(preview.findHits().size(), 1);
        QVERIFY(preview.findHits().first().lastRun > preview.findHits().first().firstRun);

        // Next and previous go round; "第1" matches 第1行 and 第10行 to 第19行.
        preview.setPage(0);
        preview.setFindText(QStringLiteral("第1"));
        const int hits = static_cast<int>(preview.findHits().size());
        QCOMPARE(hits, 11);
        preview.findPrevious();
        QCOMPARE(preview.currentHit(), hits - 1);
        preview.findNext();
        QCOMPARE(preview.currentHit(), 0);
        QCOMPARE(preview.currentPage(), 0);

        preview.setFindText(QStringLiteral("没有这段文字"));
        preview.findNext();
        QCOMPARE(MessageBox::takeShown(), QStringList{QStringLiteral("没有找到“没有这段文字”")});
    }

    void savesPdfAndPreparedReportAndOpensItAgain() {
        QTemporaryDir dir;
        const report::RenderedDocument doc = sampleDocument();
        ReportPreview preview(doc);
        const QString tvr = dir.filePath(QStringLiteral("saved.tvr"));
        FileDialog::queueFile(dir.filePath(QStringLiteral("saved")));
        preview.findChild<QAction*>(QStringLiteral("保存"))->trigger();
        FileDialog::queueFile(tvr);
        preview.saveReport();
        QFile pdf(dir.filePath(QStringLiteral("saved.pdf")));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
        QVERIFY(QFile::exists(tvr));

        ReportPreview other(sampleDocument());
        other.setPage(2);
        FileDialog::queueFile(tvr);
        other.findChild<QAction*>(QStringLiteral("打开"))->trigger();
        QCOMPARE(other.currentPage(), 0);
        QCOMPARE(report::TextDump(other.document()), report::TextDump(doc));

        QFile broken(dir.filePath(QStringLiteral("broken.tvr")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("<prepared-report version=\"1\"><page width=\"x\"/>");
        broken.close();
        FileDialog::queueFile(broken.fileName());
        other.openReport();
        const QStringList shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().contains(QStringLiteral("broken.tvr")));
        QCOMPARE(report::TextDump(other.document()), report::TextDump(doc)); // the open report stays
    }

    // Every way the preview saves, on a disk with a few kilobytes free: the file of that name stays
    // as it was and the message names it and the cause.
    void savesOnAFullDiskAreRefusedAndTheOldFileStays() {
        test::SmallFileSystem disk(2 * 1024 * 1024);
        if (!disk.mounted())
            QSKIP(qPrintable(disk.why()));
        report::RenderedDocument whole;
        whole.title = QStringLiteral("投标报表");
        report::AppendDocument(whole, sampleDocument(), QStringLiteral("甲"));
        report::AppendDocument(whole, sampleDocument(), QStringLiteral("乙"));
        const QStringList names = {QStringLiteral("报表.pdf"), QStringLiteral("报表.tvr")};
        for (const QString& name : names)
            QVERIFY(test::WriteBytes(disk.filePath(name), "the earlier file"));
        QVERIFY(disk.fill(8 * 1024));
        for (const report::RenderedDocument& doc : {sampleDocument(), whole}) {
            ReportPreview preview(doc);
            for (const QString& name : names) {
                const QString target = disk.filePath(name);
                FileDialog::queueFile(target);
                preview.saveReport();
                const QStringList shown = MessageBox::takeShown();
                QCOMPARE(shown.size(), 1);
                QVERIFY2(shown.first().contains(target) && shown.first().contains(QStringLiteral("磁盘空间已满")),
                         qPrintable(shown.first()));
                QVERIFY(test::ReadBytes(target) == "the earlier file");
            }
        }
        QCOMPARE(QDir(disk.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
                 (QStringList{QStringLiteral(".filler")} + names));
    }

    void printsTheChosenRange() {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("poppler-utils is not installed");
        QTemporaryDir dir;
        ReportPreview preview(sampleDocument());
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("printed.pdf")));
        printer.setFullPage(true);
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(2, 2);
        preview.printTo(printer);
        const QString text = pdfText(printer.outputFileName());
        QVERIFY(text.contains(QStringLiteral("第 2 页")));
        QVERIFY(!text.contains(QStringLiteral("第 1 页")));
        QVERIFY(!text.contains(QStringLiteral("第1行\n")));

        // The print dialog goes through the modal runner; cancelling prints nothing.
        int asked = 0;
        SetModalHandler([&](QDialog&) {
            ++asked;
            return int(QDialog::Rejected);
        });
        preview.findChild<QAction*>(QStringLiteral("打印"))->trigger();
        QCOMPARE(asked, 1);
    }

    void helpAndClose() {
        ReportPreview preview(sampleDocument());
        preview.show();
        preview.findChild<QAction*>(QStringLiteral("帮助"))->trigger();
        // The preview's page of the guide, in a help window of the preview's own.
        auto* help = preview.findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(help);
        QCOMPARE(help->currentPage(), QStringLiteral("preview.html"));
        QVERIFY(help->browser()->toPlainText().contains(QStringLiteral("显示比例")));
        preview.findChild<QAction*>(QStringLiteral("关闭"))->trigger();
        QVERIFY(!preview.isVisible());
        QCOMPARE(preview.result(), int(QDialog::Accepted));
    }

    void showModalReturnsWhenClosed() {
        int pages = 0;
        SetModalHandler([&](QDialog& dialog) {
            auto* preview = qobject_cast<ReportPreview*>(&dialog);
            pages = preview ? preview->document().pageCount() : -1;
            return int(QDialog::Accepted);
        });
        ReportPreview::showModal(sampleDocument(), nullptr);
        QVERIFY(pages >= 3);
    }

    void paintsThePageWithTextAndRules() {
        ReportPreview preview(sampleDocument());
        preview.resize(900, 700);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        preview.setZoom(100);
        preview.setFindText(QStringLiteral("第3行"));
        preview.findNext();
        const QImage image = preview.grab().toImage();
        int white = 0;
        int dark = 0;
        int highlight = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                white += c == Qt::white;
                dark += c.lightness() < 60;
                highlight += c.red() > 200 && c.green() > 100 && c.green() < 200 && c.blue() < 120;
            }
        QVERIFY2(white > image.width() * image.height() / 4, "the page is not painted");
        QVERIFY2(dark > 2000, "no text or rules on the page");
        QVERIFY2(highlight > 50, "the found text is not marked");
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"

#include "report_engine/PageRenderer.h"

#include "data/Errors.h"
#include "datamgmt/FileCopy.h"
#include "report_engine/PdfJoin.h"
#include "report_engine/PlainGlyphs.h"

#include <QDir>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <map>

namespace tenvora::report {

namespace {

// The fonts as paintPage() scales them for that device and page scale.
double fontScaleFor(const QPaintDevice& device, double scaleY) {
    return scaleY * 25.4 / device.logicalDpiY();
}

// Print and PDF devices draw the runs as plain glyphs (PlainGlyphs): layout has already measured
// and placed every run, and shaping each cell's text once more was the larger part of writing a PDF.
using GlyphPainters = std::vector<PlainGlyphs>;

// glyphs: one per document font for a print or PDF device (kept from page to page), else empty.
void paintPage(QPainter& painter, const RenderedDocument& doc, int index, double scaleX, double scaleY,
               const GlyphPainters& glyphs) {
    const RenderedPage& page = doc.pages.at(index);
    painter.save();
    // Font point sizes turn into pixels by the device's resolution; scale them to our mm scale.
    const double fontScale = fontScaleFor(*painter.device(), scaleY);
    std::vector<QFont> fonts;
    fonts.reserve(static_cast<size_t>(doc.fonts.size()));
    for (const RenderedFont& f : doc.fonts)
        fonts.push_back(MakeFont(f.face, fontScale));
    // Print and PDF devices use the unhinted advances that layout measured. A screen hints glyphs
    // at its small pixel sizes, so each run is fitted to the width layout gave it there; otherwise
    // right-aligned figures would creep into the cell padding and long names over the borders.
    const bool screen = dynamic_cast<const QPagedPaintDevice*>(painter.device()) == nullptr;
    std::vector<QFontMetricsF> metrics;
    if (screen)
        for (const QFont& f : fonts)
            metrics.emplace_back(f, painter.device());

    // Rules of one width go out as one batch with one pen: a pen change per rule made every line
    // a separate path with its own graphics state in the PDF.
    // On print and PDF devices (a dot is a few hundredths of a millimetre) positions are whole
    // dots: a PDF then says "945 2268 m" rather than "944.881889 2267.71653 m", a good part less
    // to write and to compress.
    const auto dot = [screen](double v) { return screen ? v : std::round(v); };
    std::map<double, QList<QLineF>> rulesByWidth;
    for (const Rule& rule : page.rules)
        rulesByWidth[rule.width].append(QLineF(dot(rule.line.x1() * scaleX), dot(rule.line.y1() * scaleY),
                                               dot(rule.line.x2() * scaleX), dot(rule.line.y2() * scaleY)));
    for (const auto& [width, lines] : rulesByWidth) {
        // Never thinner than one device pixel, so rules stay visible on screen at small zoom.
        painter.setPen(QPen(Qt::black, std::max(1.0, width * scaleX), Qt::SolidLine, Qt::SquareCap));
        painter.drawLines(lines);
    }
    painter.setPen(Qt::black);
    for (const TextBox& box : page.texts) {
        painter.setFont(fonts.at(static_cast<size_t>(box.font)));
        if (box.overflows) {
            painter.save();
            painter.setClipRect(QRectF(box.clip.left() * scaleX, box.clip.top() * scaleY, box.clip.width() * scaleX,
                                       box.clip.height() * scaleY));
        }
        for (const TextRun& run : box.runs) {
            const QPointF origin(dot(run.origin.x() * scaleX), dot(run.origin.y() * scaleY));
            const double drawn = screen ? metrics[static_cast<size_t>(box.font)].horizontalAdvance(run.text) : 0;
            const double wanted = run.width * scaleX;
            if (drawn > 0 && std::abs(drawn - wanted) > 0.5) {
                painter.save();
                painter.translate(origin);
                painter.scale(wanted / drawn, 1);
                painter.drawText(QPointF(0, 0), run.text);
                painter.restore();
            } else if (glyphs.empty() || !glyphs[static_cast<size_t>(box.font)].draw(painter, origin, run.text)) {
                painter.drawText(origin, run.text);
            }
        }
        if (box.overflows)
            painter.restore();
    }
    painter.restore();
}

GlyphPainters glyphPaintersFor(const RenderedDocument& doc, const QPaintDevice& device, double scaleY) {
    GlyphPainters glyphs;
    if (dynamic_cast<const QPagedPaintDevice*>(&device) == nullptr)
        return glyphs; // a screen fits each run to its laid-out width instead
    const double fontScale = fontScaleFor(device, scaleY);
    for (const RenderedFont& f : doc.fonts)
        glyphs.emplace_back(MakeFont(f.face, fontScale), f.face.pointSize * fontScale * device.logicalDpiY() / 72.0);
    return glyphs;
}

} // namespace

void PaintPage(QPainter& painter, const RenderedDocument& doc, int index, double scaleX, double scaleY) {
    paintPage(painter, doc, index, scaleX, scaleY, glyphPaintersFor(doc, *painter.device(), scaleY));
}

QPageLayout PageLayoutFor(const QSizeF& sizeMm) {
    const bool landscape = sizeMm.width() > sizeMm.height();
    const QSizeF portrait = landscape ? sizeMm.transposed() : sizeMm;
    // A fuzzy match names standard paper (A4) so that viewers and printers recognise it.
    const QPageSize size(portrait, QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch);
    return QPageLayout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                       QPageLayout::Millimeter);
}

namespace {

void applyPage(QPagedPaintDevice& device, const RenderedPage& page) {
    const QPageLayout wanted = PageLayoutFor(page.size);
    const QPageLayout current = device.pageLayout();
    if (current.pageSize().isEquivalentTo(wanted.pageSize()) && current.orientation() == wanted.orientation())
        return;
    // A printer may refuse zero margins; size and orientation are what matter with full-page painting.
    if (!device.setPageLayout(wanted)) {
        device.setPageSize(wanted.pageSize());
        device.setPageOrientation(wanted.orientation());
    }
}

} // namespace

void RenderToDevice(const RenderedDocument& doc, QPagedPaintDevice& device, const QList<int>& pages) {
    if (pages.isEmpty())
        throw Error(QStringLiteral("报表没有可输出的页"));
    for (int index : pages)
        if (index < 0 || index >= doc.pageCount())
            throw Error(QStringLiteral("报表没有第 %1 页").arg(index + 1));
    applyPage(device, doc.pages[pages.first()]);
    device.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    QPainter painter;
    if (!painter.begin(&device))
        throw Error(QStringLiteral("无法开始输出报表"));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const GlyphPainters glyphs = glyphPaintersFor(doc, device, device.logicalDpiY() / 25.4);
    for (qsizetype i = 0; i < pages.size(); ++i) {
        if (i > 0) {
            applyPage(device, doc.pages[pages[i]]);
            if (!device.newPage())
                throw Error(QStringLiteral("无法开始报表的第 %1 页").arg(pages[i] + 1));
        }
        paintPage(painter, doc, pages[i], device.logicalDpiX() / 25.4, device.logicalDpiY() / 25.4, glyphs);
    }
    painter.end();
}

void RenderToDevice(const RenderedDocument& doc, QPagedPaintDevice& device) {
    QList<int> all;
    for (int i = 0; i < doc.pageCount(); ++i)
        all << i;
    RenderToDevice(doc, device, all);
}

void WritePdfTo(const RenderedDocument& doc, QIODevice& device) {
    QPdfWriter writer(&device);
    writer.setResolution(1200);
    writer.setTitle(doc.title);
    writer.setCreator(QStringLiteral("Tenvora"));
    RenderToDevice(doc, writer);
}

void WritePdf(const RenderedDocument& doc, const QString& path) {
    // A document of several forms is written form by form and joined, with a bookmark for each.
    if (IsMadeOfParts(doc))
        return WritePdfWithBookmarks(doc, path);
    StagedFile file(path);
    WritePdfTo(doc, file.device());
    file.commit();
}

} // namespace tenvora::report

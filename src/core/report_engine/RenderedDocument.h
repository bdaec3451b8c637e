// A report after layout: pages of positioned text runs and ruled lines, in millimetres.
// Painting it never measures or wraps text again; the preview, the printer, the PDF writer,
// the prepared-report file and the text dump all read this one structure.
#pragma once

#include "report_engine/ReportTemplate.h"

#include <QFont>
#include <QLineF>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace tenvora::report {

struct RenderedFont {
    FontSpec face;
    double ascent = 0;  // mm, as measured at layout
    double descent = 0; // mm
};

struct TextRun {
    QPointF origin; // left end of the baseline, mm from the page's top-left corner
    QString text;
    double width = 0;          // mm
    bool continuation = false; // wrapped on from the run before it (no line break in the text)
};

// The runs of one text object; clip is the object's rectangle.
struct TextBox {
    QRectF clip;
    int font = 0;           // index into RenderedDocument::fonts
    bool overflows = false; // some run reaches outside clip: paint with clipping
    QList<TextRun> runs;
};

struct Rule {
    QLineF line;
    double width = 0.2; // mm
};

struct RenderedPage {
    QSizeF size; // mm
    QList<TextBox> texts;
    QList<Rule> rules;
};

// One form of a document made of several (the whole bid set): where it starts and how long it is.
struct DocumentPart {
    QString title;
    int firstPage = 0; // index into RenderedDocument::pages
    int pageCount = 0;
};

struct RenderedDocument {
    QString title;
    QList<RenderedFont> fonts;
    QList<RenderedPage> pages;
    QList<DocumentPart> parts; // empty for a single form

    int pageCount() const { return static_cast<int>(pages.size()); }
};

// Appends a form after the pages of `into`. Its page numbers were printed by its own layout, so
// every form keeps its own numbering; its fonts join the font table of `into`, and it is listed
// in `parts` under `title`.
void AppendDocument(RenderedDocument& into, const RenderedDocument& part, const QString& title);

// The font the engine measures and paints with: the family list in order, no hinting so that
// advances scale with the device and right-aligned figures stay where layout put them.
QFont MakeFont(const FontSpec& face, double scale = 1.0);

// One text row per visual row of a page: the objects whose tops line up, left to right,
// joined by " | "; wrapped runs of an object are joined back, its separate lines by " / ".
QStringList PageTextRows(const RenderedPage& page);
// Every page's rows under a "--- 第 N 页 ---" line.
QString TextDump(const RenderedDocument& doc);

} // namespace tenvora::report

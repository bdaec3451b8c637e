// Painting laid-out pages onto any device: the preview's widget, a printer, a PDF file.
#pragma once

#include "report_engine/RenderedDocument.h"

#include <QPageLayout>

class QIODevice;
class QPainter;
class QPagedPaintDevice;

namespace tenvora::report {

// Paints page index with its top-left corner at the painter's origin, scaleX/scaleY device
// units per millimetre. Fonts are sized from the device's own resolution, so the same call
// serves a 96 dpi widget at any zoom and a 1200 dpi PDF page.
void PaintPage(QPainter& painter, const RenderedDocument& doc, int index, double scaleX, double scaleY);

// The page layout of a page of that size (mm), with no margins: the layout placed everything.
QPageLayout PageLayoutFor(const QSizeF& sizeMm);

// Paints the given pages (0-based, in the order given, repeats allowed for copies) onto a
// paged device whose painter origin is the paper's corner (a PDF writer, or a printer set to
// full page). Throws Error when the device refuses to start or a page is out of range.
void RenderToDevice(const RenderedDocument& doc, QPagedPaintDevice& device, const QList<int>& pages);
// Every page in order.
void RenderToDevice(const RenderedDocument& doc, QPagedPaintDevice& device);

// Writes the document as a PDF with embedded fonts; a document of several parts gets a bookmark
// per part. The file is written beside its target and replaces it only when the whole document
// reached the disk (StagedFile); throws Error naming the file and the cause otherwise.
void WritePdf(const RenderedDocument& doc, const QString& path);
// The document as one PDF (no bookmarks) onto the device.
void WritePdfTo(const RenderedDocument& doc, QIODevice& device);

} // namespace tenvora::report

// One PDF out of several that WritePdf wrote, with a bookmark per part, so that a document made
// of forms (the whole bid set) is painted once and its reader can jump from form to form.
#pragma once

#include "report_engine/RenderedDocument.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace tenvora::report {

struct PdfPart {
    QString title; // the bookmark
    QByteArray pdf;
};

// Joins the parts' pages in order into one file titled `title`, with one bookmark per part at its
// first page. The pages are copied as they are, never painted again. Reads the form WritePdf
// writes (one cross-reference table, a flat page tree); throws Error for anything else.
QByteArray JoinPdf(const QList<PdfPart>& parts, const QString& title);

// The document as WritePdf writes it, in memory.
QByteArray PdfBytes(const RenderedDocument& doc);
// The pages of one part of a document of several, as a document of its own.
RenderedDocument PartDocument(const RenderedDocument& doc, int part);
// Replaces the file with the bytes only when all reached the disk (WriteFileReplacing); throws
// Error naming the file and the cause.
void SaveBytes(const QByteArray& bytes, const QString& path);

// True when the document is made of two or more parts that hold all its pages, in order.
bool IsMadeOfParts(const RenderedDocument& doc);
// A document made of parts as one PDF with a bookmark per part.
void WritePdfWithBookmarks(const RenderedDocument& doc, const QString& path);

} // namespace tenvora::report

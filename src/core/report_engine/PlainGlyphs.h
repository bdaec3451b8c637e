// Report text as the glyphs of one face, looked up in its character map, with their advances
// cached: what layout measures and what the print and PDF devices draw, without shaping each
// cell's text again and again. Serves text of CJK and Latin letters, figures and punctuation
// that the first face of the font covers; anything else is left to Qt's own text engine.
#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QList>
#include <QRawFont>

#include <optional>

namespace tenvora::report {

class PlainGlyphs {
public:
    PlainGlyphs(const QFont& font, double pixelSize);

    // The glyphs of text, or nothing when it needs shaping or another face.
    std::optional<QList<quint32>> glyphsFor(const QString& text) const;
    // The width of text in pixels, or nothing as above.
    std::optional<double> width(const QString& text) const;
    // Draws text with its left baseline end at origin, each glyph at a whole device dot (for
    // print and PDF devices, whose dots are tiny); false (nothing drawn) as above.
    bool draw(QPainter& painter, const QPointF& origin, const QString& text) const;

private:
    double advance(quint32 glyph) const;

    QRawFont m_raw;
    mutable QHash<quint32, double> m_advances;
};

} // namespace tenvora::report

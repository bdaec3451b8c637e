#include "report_engine/PlainGlyphs.h"

#include <QPainter>

#include <cmath>

namespace tenvora::report {

PlainGlyphs::PlainGlyphs(const QFont& font, double pixelSize) : m_raw(QRawFont::fromFont(font)) {
    if (m_raw.isValid())
        m_raw.setPixelSize(pixelSize);
}

std::optional<QList<quint32>> PlainGlyphs::glyphsFor(const QString& text) const {
    if (!m_raw.isValid() || text.isEmpty())
        return std::nullopt;
    for (const QChar c : text) {
        const QChar::Script script = c.script();
        if (c.isSurrogate() ||
            (script != QChar::Script_Common && script != QChar::Script_Latin && script != QChar::Script_Han))
            return std::nullopt;
    }
    QList<quint32> glyphs = m_raw.glyphIndexesForString(text);
    if (glyphs.size() != text.size() || glyphs.contains(0u))
        return std::nullopt; // a character the first face lacks
    return glyphs;
}

double PlainGlyphs::advance(quint32 glyph) const {
    // The font engine loads the glyph for every advance it is asked; a report uses a few hundred
    // distinct glyphs many thousand times.
    const auto found = m_advances.constFind(glyph);
    if (found != m_advances.constEnd())
        return *found;
    const QList<QPointF> one = m_raw.advancesForGlyphIndexes(QList<quint32>{glyph});
    const double width = one.isEmpty() ? 0 : one.first().x();
    m_advances.insert(glyph, width);
    return width;
}

std::optional<double> PlainGlyphs::width(const QString& text) const {
    const std::optional<QList<quint32>> glyphs = glyphsFor(text);
    if (!glyphs)
        return std::nullopt;
    double sum = 0;
    for (const quint32 g : *glyphs)
        sum += advance(g);
    return sum;
}

bool PlainGlyphs::draw(QPainter& painter, const QPointF& origin, const QString& text) const {
    const std::optional<QList<quint32>> glyphs = glyphsFor(text);
    if (!glyphs)
        return false;
    QList<QPointF> positions;
    positions.reserve(glyphs->size());
    // Whole device dots (see paintPage): the pen runs on unrounded, so no error adds up.
    double pen = 0;
    for (const quint32 g : *glyphs) {
        positions.append(QPointF(std::round(pen), 0));
        pen += advance(g);
    }
    QGlyphRun run;
    run.setRawFont(m_raw);
    run.setGlyphIndexes(*glyphs);
    run.setPositions(positions);
    painter.drawGlyphRun(origin, run);
    return true;
}

} // namespace tenvora::report

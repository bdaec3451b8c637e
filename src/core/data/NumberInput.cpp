#include "data/NumberInput.h"

#include "data/Money.h"

#include <QRegularExpression>

namespace tenvora {

namespace {

// Full-width forms U+FF01..U+FF5E mirror ASCII 0x21..0x7E; the ideographic blank is the
// full-width space. Other look-alikes (superscripts, circled digits) stay what they are and are
// refused, so "10²" never reads as 102.
QString toHalfWidth(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E)
            out += QChar(char16_t(u - 0xFEE0));
        else if (u == 0x3000)
            out += QLatin1Char(' ');
        else if (u == 0x3002) // "。": the point of the Chinese punctuation mode
            out += QLatin1Char('.');
        else if (u == 0x2212) // the typographic minus sign
            out += QLatin1Char('-');
        else
            out += c;
    }
    return out;
}

} // namespace

std::optional<QString> NormaliseNumberInput(const QString& text) {
    const QString plain = toHalfWidth(text);
    if (!plain.contains(QLatin1Char(',')))
        return plain;
    // Separators may only group the whole part: 1 to 3 digits, then groups of exactly three.
    static const QRegularExpression grouped(
        QStringLiteral(R"(^(\s*[+-]?)(\d{1,3}(?:,\d{3})+)((?:\.\d*)?(?:[eE][+-]?\d+)?\s*)$)"));
    const QRegularExpressionMatch m = grouped.match(plain);
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1) + m.captured(2).remove(QLatin1Char(',')) + m.captured(3);
}

std::optional<double> ParseNumberInput(const QString& text) {
    const std::optional<QString> plain = NormaliseNumberInput(text);
    if (!plain)
        return std::nullopt;
    return ParseNumber(*plain);
}

QString NumberInputProblem(const QString& text) {
    if (ParseNumberInput(text))
        return {};
    if (text.trimmed().isEmpty())
        return QStringLiteral("没有输入数字");
    const QString plain = toHalfWidth(text);
    // The half-width form has one character per character of the text, so a position in one is
    // the same in the other; a pair of surrogates is named whole.
    for (qsizetype i = 0; i < plain.size(); ++i) {
        const QChar c = plain.at(i);
        if (QStringLiteral("0123456789.,+-eE \t").contains(c))
            continue;
        const qsizetype length = c.isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        return QStringLiteral("“%1”不能写在数字里").arg(text.mid(i, length));
    }
    if (plain.contains(QLatin1Char(',')) && !NormaliseNumberInput(text))
        return QStringLiteral("千位分隔符要把整数部分每三位分开，例如 1,234.5");
    if (plain.trimmed().contains(QLatin1Char(' ')) || plain.trimmed().contains(QLatin1Char('\t')))
        return QStringLiteral("数字中间不能有空格");
    return QStringLiteral("不是一个完整的数字");
}

bool IsPartialNumberInput(const QString& text) {
    static const QRegularExpression partial(QStringLiteral(R"(^\s*[+-]?[\d,]*\.?\d*([eE][+-]?\d*)?\s*$)"));
    return partial.match(toHalfWidth(text)).hasMatch();
}

} // namespace tenvora

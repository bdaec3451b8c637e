#include "data/Money.h"

#include "data/Errors.h"

#include <QRegularExpression>
#include <charconv>
#include <cmath>

namespace tenvora {

qint64 RoundAmount(double value) {
    if (!std::isfinite(value))
        throw Error(QStringLiteral("金额不是有效的数字"));
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    constexpr double limit = 9223372036854775808.0;
    const double whole = std::trunc(value);
    if (whole >= limit || whole < -limit)
        throw Error(QStringLiteral("金额 %1 超出可计算的范围").arg(GeneralText(value)));
    auto result = static_cast<qint64>(whole);
    if (value - whole >= 0.5) {
        if (result == std::numeric_limits<qint64>::max())
            throw Error(QStringLiteral("金额 %1 超出可计算的范围").arg(GeneralText(value)));
        ++result;
    }
    return result;
}

QString WholeYuanText(qint64 amount) {
    return QString::number(amount);
}

QString WholeYuanText(double value) {
    return WholeYuanText(RoundAmount(value));
}

QString GeneralText(double value) {
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0)
        return QStringLiteral("0");
    // Scientific form with 14 decimals gives the digits rounded to 15 significant places; the
    // exponent then decides the form. to_chars ignores the locale, so "." is always the point.
    char buf[64];
    const auto written = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    const QString sci = QString::fromLatin1(buf, written.ptr - buf);
    const qsizetype e = sci.indexOf(QLatin1Char('e'));
    QString mantissa = sci.left(e);
    const int exponent = sci.mid(e + 1).toInt();
    const bool negative = mantissa.startsWith(QLatin1Char('-'));
    if (negative)
        mantissa.remove(0, 1);
    QString digits = mantissa.remove(QLatin1Char('.'));
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);

    QString text;
    if (exponent >= 15 || exponent < -5) {
        text = digits.left(1);
        if (digits.size() > 1)
            text += QLatin1Char('.') + digits.mid(1);
        text += QLatin1Char('E') + QString::number(exponent);
    } else if (exponent < 0) {
        text = QStringLiteral("0.") + QString(-exponent - 1, QLatin1Char('0')) + digits;
    } else if (digits.size() <= exponent + 1) {
        text = digits + QString(exponent + 1 - digits.size(), QLatin1Char('0'));
    } else {
        text = digits.left(exponent + 1) + QLatin1Char('.') + digits.mid(exponent + 1);
    }
    return negative ? QLatin1Char('-') + text : text;
}

std::optional<double> ParseNumber(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?\s*$)"));
    if (!pattern.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> NumberOf(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Bool: {
        const double d = value.toDouble();
        return std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
    }
    default:
        return ParseNumber(value.toString());
    }
}

} // namespace tenvora

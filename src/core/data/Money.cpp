#include "data/Money.h"

#include "data/Errors.h"

#include <QRegularExpression>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

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

namespace {

// The 15 significant decimal digits a double stands for: d.dddddddddddddd x 10^exponent.
// to_chars ignores the locale, so no decimal comma can slip in.
struct Decimal {
    std::string digits; // 15 digits, the first non-zero unless the value is zero
    int exponent = 0;
    bool negative = false;
};

Decimal decimalOf(double value) {
    char buf[64];
    const auto written = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    const std::string_view sci(buf, static_cast<size_t>(written.ptr - buf));
    Decimal d;
    size_t i = 0;
    if (sci[i] == '-') {
        d.negative = true;
        ++i;
    }
    const size_t e = sci.find('e');
    for (; i < e; ++i)
        if (sci[i] != '.')
            d.digits.push_back(sci[i]);
    std::from_chars(sci.data() + e + 1 + (sci[e + 1] == '+' ? 1 : 0), sci.data() + sci.size(), d.exponent);
    return d;
}

// Adds one unit in the last place of a digit string; returns the carry out of the front.
bool increment(std::string& digits) {
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return false;
        }
        *it = '0';
    }
    return true;
}

// The value rounded half away from zero to `decimals` places of its 15 significant digits:
// the whole digits (no leading zeros, "0" for none) and exactly `decimals` fraction digits.
struct Rounded {
    std::string whole;
    std::string fraction;
    bool negative = false;
    bool isZero() const { return whole == "0" && fraction.find_first_not_of('0') == std::string::npos; }
};

Rounded roundDecimal(double value, int decimals) {
    const Decimal d = decimalOf(value);
    Rounded r;
    r.negative = d.negative;
    const int wholeCount = d.exponent + 1;
    if (wholeCount <= 0) {
        r.whole.assign(1, '0'); // not = "0": GCC 12 at -O3 warns falsely (-Wrestrict) on that
        r.fraction = std::string(static_cast<size_t>(-wholeCount), '0') + d.digits;
    } else if (wholeCount >= static_cast<int>(d.digits.size())) {
        r.whole = d.digits + std::string(static_cast<size_t>(wholeCount) - d.digits.size(), '0');
    } else {
        r.whole = d.digits.substr(0, static_cast<size_t>(wholeCount));
        r.fraction = d.digits.substr(static_cast<size_t>(wholeCount));
    }
    const auto keep = static_cast<size_t>(decimals);
    if (r.fraction.size() > keep) {
        const bool up = r.fraction[keep] >= '5';
        r.fraction.resize(keep);
        if (up && increment(r.fraction) && increment(r.whole))
            r.whole.insert(r.whole.begin(), '1');
    } else {
        r.fraction.append(keep - r.fraction.size(), '0');
    }
    const size_t first = r.whole.find_first_not_of('0');
    r.whole = first == std::string::npos ? "0" : r.whole.substr(first);
    return r;
}

struct Pattern {
    int minInteger = 1; // digits always shown before the point
    bool grouping = false;
    int required = 0; // decimals always shown
    int optional = 0; // further decimals shown when not zero
};

std::optional<Pattern> parsePattern(const QString& pattern) {
    static const QRegularExpression re(QStringLiteral(R"(^(#,##0|#,###|0+|#)(?:\.(0*)(#*))?$)"));
    const QRegularExpressionMatch m = re.match(pattern);
    if (!m.hasMatch())
        return std::nullopt;
    Pattern p;
    const QString integer = m.captured(1);
    p.minInteger = static_cast<int>(integer.count(QLatin1Char('0')));
    p.grouping = integer.contains(QLatin1Char(','));
    p.required = static_cast<int>(m.captured(2).size());
    p.optional = static_cast<int>(m.captured(3).size());
    if (p.required + p.optional > 15)
        return std::nullopt;
    return p;
}

QString compose(std::string whole, std::string fraction, bool negative, const Pattern& p) {
    if (whole == "0" && p.minInteger == 0)
        whole.clear();
    if (static_cast<int>(whole.size()) < p.minInteger)
        whole.insert(0, static_cast<size_t>(p.minInteger) - whole.size(), '0');
    if (p.grouping)
        for (int i = static_cast<int>(whole.size()) - 3; i > 0; i -= 3)
            whole.insert(static_cast<size_t>(i), 1, ',');
    std::string text;
    text.reserve(whole.size() + fraction.size() + 2);
    if (negative)
        text += '-';
    text += whole;
    if (!fraction.empty()) {
        text += '.';
        text += fraction;
    }
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

bool isNumberType(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

bool isWholeType(const QVariant& v) {
    return isNumberType(v) && v.typeId() != QMetaType::Double && v.typeId() != QMetaType::Float;
}

} // namespace

QString GeneralText(double value) {
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0)
        return QStringLiteral("0");
    const Decimal d = decimalOf(value);
    QString digits = QString::fromLatin1(d.digits.data(), static_cast<qsizetype>(d.digits.size()));
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    const int exponent = d.exponent;
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
    return d.negative ? QLatin1Char('-') + text : text;
}

bool IsValidNumberFormat(const QString& pattern) {
    return pattern.isEmpty() || parsePattern(pattern).has_value();
}

QString FormatNumber(double value, const QString& pattern) {
    if (pattern.isEmpty() || !std::isfinite(value))
        return GeneralText(value);
    const std::optional<Pattern> p = parsePattern(pattern);
    if (!p)
        throw Error(QStringLiteral("不认识的显示格式 %1").arg(pattern));

    // 2^63: beyond it a value is whole anyway and no 64-bit amount can hold it.
    constexpr double limit = 9223372036854775808.0;
    if (p->required + p->optional == 0 && std::fabs(value) < limit) {
        const qint64 amount = RoundAmount(value);
        const std::string digits = std::to_string(amount < 0 ? -static_cast<quint64>(amount) : amount);
        return compose(digits, {}, amount < 0, *p);
    }
    Rounded r = roundDecimal(value, p->required + p->optional);
    while (r.fraction.size() > static_cast<size_t>(p->required) && r.fraction.back() == '0')
        r.fraction.pop_back();
    const bool negative = r.negative && !r.isZero();
    return compose(std::move(r.whole), std::move(r.fraction), negative, *p);
}

QString DisplayText(const QVariant& value, const QString& pattern) {
    if (!value.isValid() || value.isNull())
        return {};
    if (pattern.isEmpty()) {
        if (isWholeType(value))
            return QString::number(value.toLongLong());
        if (isNumberType(value))
            return GeneralText(value.toDouble());
        return value.toString();
    }
    const std::optional<double> number =
        isNumberType(value) ? std::optional<double>(value.toDouble()) : NumberOf(value);
    return number ? FormatNumber(*number, pattern) : value.toString();
}

double RoundToDecimals(double value, int decimals) {
    if (!std::isfinite(value))
        return value;
    const Rounded r = roundDecimal(value, std::clamp(decimals, 0, 15));
    std::string text;
    text.reserve(r.whole.size() + r.fraction.size() + 3);
    if (r.negative)
        text += '-';
    text += r.whole;
    text += '.';
    text += r.fraction;
    text += '0';
    double result = value;
    std::from_chars(text.data(), text.data() + text.size(), result);
    return result == 0 ? 0.0 : result;
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

#include "pricing/ExactDecimal.h"

#include "data/Errors.h"

#include <QRegularExpression>
#include <charconv>
#include <cmath>
#include <limits>

namespace tenvora {

namespace {

constexpr quint32 kPowers[9] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

} // namespace

void ExactDecimal::trim(Limbs& limbs) {
    while (!limbs.isEmpty() && limbs.last() == 0)
        limbs.removeLast();
}

ExactDecimal ExactDecimal::fromDigits(const QString& digits, int scale, bool negative) {
    ExactDecimal d;
    for (qsizetype end = digits.size(); end > 0; end -= 9) {
        const qsizetype start = std::max<qsizetype>(0, end - 9);
        quint32 limb = 0;
        for (qsizetype i = start; i < end; ++i)
            limb = limb * 10 + static_cast<quint32>(digits[i].unicode() - u'0');
        d.m_limbs.append(limb);
    }
    trim(d.m_limbs);
    d.m_scale = scale;
    d.m_negative = negative && !d.m_limbs.isEmpty();
    return d;
}

ExactDecimal ExactDecimal::fromDouble(double value) {
    if (!std::isfinite(value))
        throw Error(QStringLiteral("数值不是有效的数字"));
    if (value == 0)
        return {};
    char buf[64];
    const auto written = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    const std::string_view sci(buf, static_cast<size_t>(written.ptr - buf));
    bool negative = false;
    size_t i = 0;
    if (sci[i] == '-') {
        negative = true;
        ++i;
    }
    const size_t e = sci.find('e');
    // Analysing a large bill reads hundreds of thousands of figures: no text is built here.
    char digits[48];
    int count = 0;
    for (; i < e; ++i)
        if (sci[i] != '.')
            digits[count++] = sci[i];
    int exponent = 0;
    std::from_chars(sci.data() + e + 1 + (sci[e + 1] == '+' ? 1 : 0), sci.data() + sci.size(), exponent);
    // digits x 10^(exponent - 14), with the trailing zeros taken off the scale.
    int scale = 14 - exponent;
    while (count > 1 && digits[count - 1] == '0' && scale > 0) {
        --count;
        --scale;
    }
    ExactDecimal d;
    for (int end = count; end > 0; end -= 9) {
        quint32 limb = 0;
        for (int k = std::max(0, end - 9); k < end; ++k)
            limb = limb * 10 + static_cast<quint32>(digits[k] - '0');
        d.m_limbs.append(limb);
    }
    trim(d.m_limbs);
    if (scale < 0) {
        scaleUp(d.m_limbs, -scale);
        scale = 0;
    }
    d.m_scale = scale;
    d.m_negative = negative && !d.m_limbs.isEmpty();
    return d;
}

std::optional<ExactDecimal> ExactDecimal::fromText(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral(R"(^\s*([+-]?)(\d*)(?:\.(\d*))?\s*$)"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch() || (m.captured(2).isEmpty() && m.captured(3).isEmpty()))
        return std::nullopt;
    QString fraction = m.captured(3);
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    return fromDigits(m.captured(2) + fraction, static_cast<int>(fraction.size()), m.captured(1) == QLatin1String("-"));
}

ExactDecimal ExactDecimal::fromInteger(qint64 value) {
    const bool negative = value < 0;
    const quint64 magnitude = negative ? 0 - static_cast<quint64>(value) : static_cast<quint64>(value);
    return fromDigits(QString::number(magnitude), 0, negative);
}

int ExactDecimal::compareMagnitude(const Limbs& a, const Limbs& b) {
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    for (qsizetype i = a.size() - 1; i >= 0; --i)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    return 0;
}

ExactDecimal::Limbs ExactDecimal::addMagnitude(const Limbs& a, const Limbs& b) {
    Limbs sum;
    quint32 carry = 0;
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        const quint32 s = (i < a.size() ? a[i] : 0) + (i < b.size() ? b[i] : 0) + carry;
        carry = s >= kBase ? 1 : 0;
        sum.append(s - carry * kBase);
    }
    if (carry)
        sum.append(carry);
    return sum;
}

ExactDecimal::Limbs ExactDecimal::subtractMagnitude(const Limbs& a, const Limbs& b) {
    Limbs difference;
    qint64 borrow = 0;
    for (qsizetype i = 0; i < a.size(); ++i) {
        qint64 d = static_cast<qint64>(a[i]) - (i < b.size() ? b[i] : 0) - borrow;
        borrow = d < 0 ? 1 : 0;
        difference.append(static_cast<quint32>(d + borrow * kBase));
    }
    trim(difference);
    return difference;
}

ExactDecimal::Limbs ExactDecimal::multiplyMagnitude(const Limbs& a, const Limbs& b) {
    if (a.isEmpty() || b.isEmpty())
        return {};
    QVarLengthArray<quint64, 12> wide(a.size() + b.size(), 0);
    for (qsizetype i = 0; i < a.size(); ++i) {
        quint64 carry = 0;
        for (qsizetype j = 0; j < b.size(); ++j) {
            const quint64 t = wide[i + j] + static_cast<quint64>(a[i]) * b[j] + carry;
            wide[i + j] = t % kBase;
            carry = t / kBase;
        }
        for (qsizetype k = i + b.size(); carry; ++k) {
            const quint64 t = wide[k] + carry;
            wide[k] = t % kBase;
            carry = t / kBase;
        }
    }
    Limbs product;
    for (const quint64 limb : wide)
        product.append(static_cast<quint32>(limb));
    trim(product);
    return product;
}

void ExactDecimal::scaleUp(Limbs& limbs, int digits) {
    if (limbs.isEmpty() || digits <= 0)
        return;
    const quint32 factor = kPowers[digits % 9];
    quint64 carry = 0;
    for (quint32& limb : limbs) {
        const quint64 t = static_cast<quint64>(limb) * factor + carry;
        limb = static_cast<quint32>(t % kBase);
        carry = t / kBase;
    }
    if (carry)
        limbs.append(static_cast<quint32>(carry));
    limbs.insert(limbs.cbegin(), qsizetype(digits / 9), quint32(0));
}

int ExactDecimal::digitAt(const Limbs& limbs, int position) {
    const qsizetype limb = position / 9;
    if (position < 0 || limb >= limbs.size())
        return 0;
    return static_cast<int>(limbs[limb] / kPowers[position % 9] % 10);
}

void ExactDecimal::dropDigits(Limbs& limbs, int digits) {
    if (digits <= 0)
        return;
    limbs.remove(0, std::min<qsizetype>(digits / 9, limbs.size()));
    const quint32 divisor = kPowers[digits % 9];
    quint64 rest = 0;
    for (qsizetype i = limbs.size() - 1; i >= 0; --i) {
        const quint64 t = rest * kBase + limbs[i];
        limbs[i] = static_cast<quint32>(t / divisor);
        rest = t % divisor;
    }
    trim(limbs);
}

QString ExactDecimal::digits(const Limbs& limbs) {
    if (limbs.isEmpty())
        return QStringLiteral("0");
    QString text = QString::number(limbs.last());
    for (qsizetype i = limbs.size() - 2; i >= 0; --i)
        text += QStringLiteral("%1").arg(limbs[i], 9, 10, QLatin1Char('0'));
    return text;
}

void ExactDecimal::align(ExactDecimal& a, ExactDecimal& b) {
    if (a.m_scale < b.m_scale) {
        scaleUp(a.m_limbs, b.m_scale - a.m_scale);
        a.m_scale = b.m_scale;
    } else if (b.m_scale < a.m_scale) {
        scaleUp(b.m_limbs, a.m_scale - b.m_scale);
        b.m_scale = a.m_scale;
    }
}

ExactDecimal ExactDecimal::operator+(const ExactDecimal& other) const {
    ExactDecimal a = *this;
    ExactDecimal b = other;
    align(a, b);
    ExactDecimal sum;
    sum.m_scale = a.m_scale;
    if (a.m_negative == b.m_negative) {
        sum.m_limbs = addMagnitude(a.m_limbs, b.m_limbs);
        sum.m_negative = a.m_negative;
    } else if (compareMagnitude(a.m_limbs, b.m_limbs) >= 0) {
        sum.m_limbs = subtractMagnitude(a.m_limbs, b.m_limbs);
        sum.m_negative = a.m_negative;
    } else {
        sum.m_limbs = subtractMagnitude(b.m_limbs, a.m_limbs);
        sum.m_negative = b.m_negative;
    }
    sum.m_negative = sum.m_negative && !sum.m_limbs.isEmpty();
    return sum;
}

ExactDecimal ExactDecimal::operator-(const ExactDecimal& other) const {
    ExactDecimal negated = other;
    negated.m_negative = !other.m_negative && !other.isZero();
    return *this + negated;
}

ExactDecimal ExactDecimal::operator*(const ExactDecimal& other) const {
    ExactDecimal product;
    product.m_limbs = multiplyMagnitude(m_limbs, other.m_limbs);
    product.m_scale = m_scale + other.m_scale;
    product.m_negative = (m_negative != other.m_negative) && !product.m_limbs.isEmpty();
    return product;
}

ExactDecimal ExactDecimal::percent(const ExactDecimal& percent) const {
    ExactDecimal result = *this * percent;
    result.m_scale += 2;
    return result;
}

int ExactDecimal::compare(const ExactDecimal& other) const {
    const ExactDecimal difference = *this - other;
    if (difference.isZero())
        return 0;
    return difference.m_negative ? -1 : 1;
}

ExactDecimal ExactDecimal::rounded(int decimals) const {
    ExactDecimal r = *this;
    if (m_scale <= decimals)
        return r;
    const int drop = m_scale - decimals;
    const bool up = digitAt(r.m_limbs, drop - 1) >= 5;
    dropDigits(r.m_limbs, drop);
    if (up)
        r.m_limbs = addMagnitude(r.m_limbs, Limbs{1u});
    r.m_scale = decimals;
    r.m_negative = m_negative && !r.m_limbs.isEmpty();
    return r;
}

qint64 ExactDecimal::units(int decimals) const {
    const ExactDecimal r = rounded(decimals);
    Limbs magnitude = r.m_limbs;
    scaleUp(magnitude, decimals - r.m_scale);
    // Up to three limbs hold 10^27; a 64-bit value needs at most 9.2 x 10^18.
    quint64 value = 0;
    if (magnitude.size() > 3)
        throw Error(QStringLiteral("数值 %1 超出可计算的范围").arg(text()));
    for (qsizetype i = magnitude.size() - 1; i >= 0; --i) {
        if (value > (std::numeric_limits<quint64>::max() - magnitude[i]) / kBase)
            throw Error(QStringLiteral("数值 %1 超出可计算的范围").arg(text()));
        value = value * kBase + magnitude[i];
    }
    if (value > static_cast<quint64>(std::numeric_limits<qint64>::max()))
        throw Error(QStringLiteral("数值 %1 超出可计算的范围").arg(text()));
    return r.m_negative ? -static_cast<qint64>(value) : static_cast<qint64>(value);
}

QString ExactDecimal::text(int decimals) const {
    const ExactDecimal r = rounded(decimals);
    Limbs magnitude = r.m_limbs;
    scaleUp(magnitude, decimals - r.m_scale);
    QString all = digits(magnitude);
    if (all.size() <= decimals)
        all.prepend(QString(decimals - all.size() + 1, QLatin1Char('0')));
    QString result = decimals > 0 ? all.left(all.size() - decimals) + QLatin1Char('.') + all.right(decimals) : all;
    return r.m_negative ? QLatin1Char('-') + result : result;
}

QString ExactDecimal::text() const {
    QString all = digits(m_limbs);
    if (m_scale == 0 || isZero())
        return m_negative ? QLatin1Char('-') + all : all;
    if (all.size() <= m_scale)
        all.prepend(QString(m_scale - all.size() + 1, QLatin1Char('0')));
    QString fraction = all.right(m_scale);
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    QString result = all.left(all.size() - m_scale);
    if (!fraction.isEmpty())
        result += QLatin1Char('.') + fraction;
    return m_negative ? QLatin1Char('-') + result : result;
}

double ExactDecimal::toDouble() const {
    const QByteArray t = text().toLatin1();
    double value = 0;
    std::from_chars(t.constData(), t.constData() + t.size(), value);
    return value;
}

} // namespace tenvora

// Exact decimal arithmetic for the unit-price analysis.
//
// The rule: every stored figure (a resource price, a consumption, a fee's percentage) is a
// binary double, and it is taken for the decimal of its 15 significant digits, the same reading
// the money code gives it when it shows or prints the figure (so 0.35 is 0.35, not the double
// 0.34999999999999997...). From there products, sums and percentages are worked out exactly, in
// decimal digits of any length, and nothing is rounded on the way. Only the result is rounded,
// once, half away from zero, to the places asked for (0.01 for a unit price). Binary doubles
// would let a figure that lies exactly on half a cent (1.005, 2.675) fall to the cent below.
#pragma once

#include <QString>
#include <QVarLengthArray>
#include <optional>

namespace tenvora {

class ExactDecimal {
public:
    ExactDecimal() = default; // zero

    // The decimal of the double's 15 significant digits. Throws Error for NaN and infinities.
    static ExactDecimal fromDouble(double value);
    // A plain decimal text: optional sign, digits, one point ("12.345", "-0.5", ".25").
    static std::optional<ExactDecimal> fromText(const QString& text);
    static ExactDecimal fromInteger(qint64 value);

    ExactDecimal operator+(const ExactDecimal& other) const;
    ExactDecimal operator-(const ExactDecimal& other) const;
    ExactDecimal operator*(const ExactDecimal& other) const;
    ExactDecimal& operator+=(const ExactDecimal& other) { return *this = *this + other; }
    // This value times percent / 100, exactly.
    ExactDecimal percent(const ExactDecimal& percent) const;

    bool isZero() const { return m_limbs.isEmpty(); }
    bool isNegative() const { return m_negative; }
    // -1, 0 or 1.
    int compare(const ExactDecimal& other) const;
    bool operator==(const ExactDecimal& other) const { return compare(other) == 0; }

    // Rounded half away from zero to that many decimal places.
    ExactDecimal rounded(int decimals) const;
    // The rounded value in units of 10^-decimals (cents for 2); Error when it does not fit 64 bits.
    qint64 units(int decimals) const;
    // The rounded value with exactly that many decimals ("12.30", "-0.01"); "-" only when not zero.
    QString text(int decimals) const;
    // The exact value, without trailing zeros after the point ("12.3", "0.00125", "1200").
    QString text() const;
    // The double nearest to the exact value, as reading its text gives it.
    double toDouble() const;

private:
    // The magnitude in base 10^9, least significant limb first, without leading zero limbs.
    using Limbs = QVarLengthArray<quint32, 6>;
    static constexpr quint32 kBase = 1000000000u;

    static int compareMagnitude(const Limbs& a, const Limbs& b);
    static Limbs addMagnitude(const Limbs& a, const Limbs& b);
    static Limbs subtractMagnitude(const Limbs& a, const Limbs& b); // a >= b
    static Limbs multiplyMagnitude(const Limbs& a, const Limbs& b);
    static void scaleUp(Limbs& limbs, int digits);        // times 10^digits
    static int digitAt(const Limbs& limbs, int position); // decimal digit, 0 the lowest
    static void dropDigits(Limbs& limbs, int digits);     // divided by 10^digits, the rest dropped
    static void trim(Limbs& limbs);
    static QString digits(const Limbs& limbs);
    // Both at the larger of the two scales.
    static void align(ExactDecimal& a, ExactDecimal& b);
    static ExactDecimal fromDigits(const QString& digits, int scale, bool negative);

    Limbs m_limbs;
    int m_scale = 0; // the value is m_limbs x 10^-m_scale; never negative
    bool m_negative = false;
};

} // namespace tenvora

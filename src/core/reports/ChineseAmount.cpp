#include "reports/ChineseAmount.h"

namespace tenvora {

namespace {

constexpr char16_t kDigits[] = u"零壹贰叁肆伍陆柒捌玖";
constexpr char16_t kPlaces[] = u"仟佰拾";

// 1 to 9999, with "零" for the zeros between its digits. Tens are always written with their
// digit ("壹拾"), so that nothing can be put in front of the figure.
QString belowTenThousand(quint64 n) {
    QString text;
    bool zero = false;
    for (quint64 unit = 1000, place = 0; unit > 0; unit /= 10, ++place) {
        const quint64 digit = n / unit % 10;
        if (digit == 0) {
            zero = !text.isEmpty();
            continue;
        }
        if (zero)
            text += kDigits[0];
        zero = false;
        text += kDigits[digit];
        if (unit > 1)
            text += kPlaces[place];
    }
    return text;
}

// 1 to 99999999.
QString belowHundredMillion(quint64 n) {
    const quint64 high = n / 10000;
    const quint64 low = n % 10000;
    QString text;
    if (high > 0)
        text = belowTenThousand(high) + u'万';
    if (low > 0) {
        if (high > 0 && low < 1000)
            text += kDigits[0];
        text += belowTenThousand(low);
    }
    return text;
}

// 1 and more: groups of 亿 written the same way, so 10^12 reads "壹万亿".
QString positive(quint64 n) {
    constexpr quint64 kHundredMillion = 100000000;
    if (n < kHundredMillion)
        return belowHundredMillion(n);
    const quint64 low = n % kHundredMillion;
    QString text = positive(n / kHundredMillion) + u'亿';
    if (low > 0) {
        if (low < kHundredMillion / 10)
            text += kDigits[0];
        text += belowHundredMillion(low);
    }
    return text;
}

} // namespace

QString ChineseCapitalAmount(qint64 yuan) {
    if (yuan == 0)
        return QStringLiteral("零元整");
    // The magnitude in unsigned arithmetic, so the most negative amount has one as well.
    const quint64 magnitude = yuan < 0 ? 0 - static_cast<quint64>(yuan) : static_cast<quint64>(yuan);
    return (yuan < 0 ? QStringLiteral("负") : QString()) + positive(magnitude) + QStringLiteral("元整");
}

} // namespace tenvora

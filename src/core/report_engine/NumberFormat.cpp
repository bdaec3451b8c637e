#include "report_engine/NumberFormat.h"

#include "data/Errors.h"
#include "data/Money.h"

#include <QRegularExpression>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace tenvora::report {

namespace {

struct Pattern {
    bool grouping = false;
    int required = 0; // decimals always shown
    int optional = 0; // further decimals shown when not zero
};

std::optional<Pattern> parse(const QString& pattern) {
    static const QRegularExpression re(QStringLiteral(R"(^(#,##0|0)(?:\.(0*)(#*))?$)"));
    const QRegularExpressionMatch m = re.match(pattern);
    if (!m.hasMatch())
        return std::nullopt;
    Pattern p;
    p.grouping = m.captured(1).contains(QLatin1Char(','));
    p.required = static_cast<int>(m.captured(2).size());
    p.optional = static_cast<int>(m.captured(3).size());
    if (p.required + p.optional > 10)
        return std::nullopt;
    return p;
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

} // namespace

bool IsValidNumberFormat(const QString& pattern) {
    return pattern.isEmpty() || parse(pattern).has_value();
}

QString FormatNumber(double value, const QString& pattern) {
    if (pattern.isEmpty() || !std::isfinite(value))
        return GeneralText(value);
    const std::optional<Pattern> p = parse(pattern);
    if (!p)
        throw Error(QStringLiteral("不认识的显示格式 %1").arg(pattern));

    // d.dddddddddddddde±X: the 15 significant digits the value stands for.
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
    std::string digits(1, buf[0]);
    digits.append(buf + 2, 14);
    const int exponent = std::atoi(std::strchr(buf, 'e') + 1);

    std::string whole;
    std::string fraction;
    const int wholeCount = exponent + 1;
    if (wholeCount <= 0) {
        whole = "0";
        fraction = std::string(static_cast<size_t>(-wholeCount), '0') + digits;
    } else if (wholeCount >= static_cast<int>(digits.size())) {
        whole = digits + std::string(static_cast<size_t>(wholeCount) - digits.size(), '0');
    } else {
        whole = digits.substr(0, static_cast<size_t>(wholeCount));
        fraction = digits.substr(static_cast<size_t>(wholeCount));
    }

    const size_t keep = static_cast<size_t>(p->required + p->optional);
    if (fraction.size() > keep) {
        const bool up = fraction[keep] >= '5';
        fraction.resize(keep);
        if (up && increment(fraction) && increment(whole))
            whole.insert(whole.begin(), '1');
    } else {
        fraction.append(keep - fraction.size(), '0');
    }
    while (fraction.size() > static_cast<size_t>(p->required) && fraction.back() == '0')
        fraction.pop_back();
    const size_t firstDigit = whole.find_first_not_of('0');
    whole = firstDigit == std::string::npos ? "0" : whole.substr(firstDigit);

    if (p->grouping)
        for (int i = static_cast<int>(whole.size()) - 3; i > 0; i -= 3)
            whole.insert(static_cast<size_t>(i), 1, ',');

    const bool zero = whole == "0" && fraction.find_first_not_of('0') == std::string::npos;
    std::string text = (value < 0 && !zero) ? "-" + whole : whole;
    if (!fraction.empty())
        text += "." + fraction;
    return QString::fromLatin1(text);
}

} // namespace tenvora::report

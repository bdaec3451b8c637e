#include "boq/PricePaste.h"

#include "data/Errors.h"
#include "data/Money.h"

#include <QRegularExpression>

namespace tenvora {

QStringList PastedPriceColumn(const QString& text) {
    QString block = text;
    block.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    block.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = block.split(QLatin1Char('\n'));
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    if (lines.isEmpty())
        throw Refused(QStringLiteral("剪贴板里没有可粘贴的单价"));
    // The figures' column: a trailing tab or an empty column beside it does not count as one.
    QList<int> used;
    for (const QString& line : lines) {
        const QStringList cells = line.split(QLatin1Char('\t'));
        for (int c = 0; c < cells.size(); ++c)
            if (!cells[c].trimmed().isEmpty() && !used.contains(c))
                used << c;
    }
    if (used.size() > 1)
        throw Refused(QStringLiteral("粘贴的内容有 %1 列；只能粘贴一列单价").arg(used.size()));
    const int column = used.isEmpty() ? 0 : used.first();
    QStringList cells;
    for (const QString& line : lines)
        cells << line.split(QLatin1Char('\t')).value(column);
    return cells;
}

std::optional<QVariant> PastedPrice(const QString& cell) {
    QString text = cell.trimmed();
    if (text.size() >= 2 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1Char('"')))
        text = text.mid(1, text.size() - 2).trimmed();
    if (text.isEmpty())
        return QVariant();
    static const QRegularExpression grouped(QStringLiteral(R"(^[+-]?\d{1,3}(,\d{3})+(\.\d*)?$)"));
    if (grouped.match(text).hasMatch())
        text.remove(QLatin1Char(','));
    const std::optional<double> number = ParseNumber(text);
    if (!number)
        return std::nullopt;
    return *number;
}

QString PasteResultText(const PasteResult& result) {
    QString text = QStringLiteral("粘贴了 %1 个单价").arg(result.pasted);
    if (result.skippedLocked > 0)
        text += QStringLiteral("，跳过 %1 个不能录入单价的细目").arg(result.skippedLocked);
    return text;
}

} // namespace tenvora

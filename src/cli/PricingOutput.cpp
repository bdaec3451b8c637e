#include "PricingOutput.h"

#include "data/Money.h"
#include "data/NaturalOrder.h"
#include "data/NumberInput.h"

namespace tenvora::cli {

namespace {

QString outcomeCode(AnalysedLine::Outcome outcome) {
    switch (outcome) {
    case AnalysedLine::Outcome::Change:
        return QStringLiteral("change");
    case AnalysedLine::Outcome::Same:
        return QStringLiteral("same");
    case AnalysedLine::Outcome::Locked:
        return QStringLiteral("locked");
    case AnalysedLine::Outcome::Unpriced:
        break;
    }
    return QStringLiteral("unpriced");
}

QString outcomeText(const AnalysedLine& line) {
    switch (line.outcome) {
    case AnalysedLine::Outcome::Change:
        return QStringLiteral("改为分析单价");
    case AnalysedLine::Outcome::Same:
        return QStringLiteral("不变");
    case AnalysedLine::Outcome::Locked:
        return QStringLiteral("锁定，不写入：") + line.reason;
    case AnalysedLine::Outcome::Unpriced:
        break;
    }
    return QStringLiteral("无法分析：") + line.reason;
}

QJsonValue number(const QVariant& v) {
    if (const std::optional<double> n = NumberOf(v))
        return *n;
    return QJsonValue();
}

} // namespace

std::unique_ptr<DataModule> OpenCurrentContract(Context& ctx, Access access) {
    auto dm = ctx.openAndLogin(access);
    dm->LoadCurrentContract();
    return dm;
}

double NumberArgument(const QString& what, const QString& text) {
    const std::optional<double> value = ParseNumberInput(text);
    if (!value)
        throw UsageError(QStringLiteral("%1“%2”不是数字：%3").arg(what, text, NumberInputProblem(text)));
    return *value;
}

QJsonArray AnalysedLinesJson(const std::vector<AnalysedLine>& lines) {
    QJsonArray list;
    for (const AnalysedLine& l : lines) {
        QJsonObject o{
            {QStringLiteral("chapter"), l.chapter},
            {QStringLiteral("item"), l.item},
            {QStringLiteral("oldPrice"), number(l.oldPrice)},
            {QStringLiteral("oldAmount"), number(l.oldAmount)},
            {QStringLiteral("newPrice"), l.newPrice ? QJsonValue(*l.newPrice) : QJsonValue()},
            {QStringLiteral("newAmount"), l.newAmount ? QJsonValue(static_cast<double>(*l.newAmount)) : QJsonValue()},
            {QStringLiteral("outcome"), outcomeCode(l.outcome)}};
        if (!l.reason.isEmpty())
            o.insert(QStringLiteral("reason"), l.reason);
        list.append(o);
    }
    return list;
}

void PrintAnalysedLines(const std::vector<AnalysedLine>& lines) {
    QList<QStringList> rows;
    const QString price = QStringLiteral("0.00");
    for (const AnalysedLine& l : lines)
        rows << QStringList{l.item,
                            DisplayText(l.oldPrice, price),
                            l.newPrice ? FormatNumber(*l.newPrice, price) : QString(),
                            DisplayText(l.oldAmount, QStringLiteral("0")),
                            l.newAmount ? WholeYuanText(*l.newAmount) : QString(),
                            outcomeText(l)};
    printTable({QStringLiteral("细目编号"), QStringLiteral("原单价"), QStringLiteral("分析单价"),
                QStringLiteral("原合同金额"), QStringLiteral("新合同金额"), QStringLiteral("处理")},
               rows);
}

void PrintRepriceOutcome(const Context& ctx, const RepriceOutcome& given, QJsonObject json) {
    RepriceOutcome outcome = given;
    std::sort(outcome.items.begin(), outcome.items.end(),
              [](const QString& a, const QString& b) { return CompareItemNumbers(a, b) < 0; });
    const int changed =
        static_cast<int>(std::count_if(outcome.lines.begin(), outcome.lines.end(), [](const AnalysedLine& l) {
            return l.outcome == AnalysedLine::Outcome::Change;
        }));
    if (ctx.json) {
        json.insert(QStringLiteral("items"), QJsonArray::fromStringList(outcome.items));
        json.insert(QStringLiteral("repriced"), outcome.repriced);
        json.insert(QStringLiteral("lines"), AnalysedLinesJson(outcome.lines));
        json.insert(QStringLiteral("changed"), changed);
        printJson(json);
        return;
    }
    if (outcome.items.isEmpty()) {
        out() << QStringLiteral("没有细目的工料机组成受这一改动影响") << Qt::endl;
        return;
    }
    out() << QStringLiteral("受影响的细目：%1 个（%2）")
                 .arg(outcome.items.size())
                 .arg(outcome.items.mid(0, 10).join(QStringLiteral("、")) +
                      (outcome.items.size() > 10 ? QStringLiteral(" 等") : QString()))
          << Qt::endl;
    if (!outcome.repriced) {
        out() << QStringLiteral("清单单价没有改动；加 --apply 可按新的分析单价重新计价这些细目") << Qt::endl;
        return;
    }
    PrintAnalysedLines(outcome.lines);
    out() << QStringLiteral("已写入 %1 个细目的分析单价，并重算了有关的章合计和保险费").arg(changed) << Qt::endl;
}

} // namespace tenvora::cli

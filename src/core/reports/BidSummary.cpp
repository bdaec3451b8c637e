#include "reports/BidSummary.h"

#include "boq/AmountRules.h"
#include "boq/BoqLineRules.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "reports/BoqChapterReport.h"
#include "reports/ReportTexts.h"

namespace tenvora {

namespace {

QVariant sum(TDmMain& dm, Query& sums, const QString& sql, const QVariantList& values) {
    dm.RunSql(sums, sql, values, true);
    return sums.value(QStringLiteral("htje"));
}

// number(x) of the figures: a text read back as a number, in extended precision.
long double number(const QString& text) {
    return ParseNumber(text).value_or(0);
}

QString general(long double value) {
    return GeneralText(static_cast<double>(value));
}

QString whole(long double value) {
    return WholeYuanText(RoundAmount(static_cast<double>(value)));
}

qint64 wholeOf(const QVariant& value) {
    const std::optional<double> v = NumberOf(value);
    return v ? RoundAmount(*v) : 0;
}

constexpr long double kTenth = 0.1L;

} // namespace

QList<QPair<QString, QString>> BoqSummaryFigures::named() const {
    return {{QStringLiteral("t100"), t100},     {QStringLiteral("a100"), a100},     {QStringLiteral("t300"), t300},
            {QStringLiteral("a300"), a300},     {QStringLiteral("t600"), t600},     {QStringLiteral("a600"), a600},
            {QStringLiteral("totalR"), totalR}, {QStringLiteral("total"), total},   {QStringLiteral("ps"), ps},
            {QStringLiteral("net"), net},       {QStringLiteral("tenthR"), tenthR}, {QStringLiteral("tenth"), tenth},
            {QStringLiteral("dw"), dw},         {QStringLiteral("grand"), grand}};
}

QString ProvisionalSumsSql() {
    return QStringLiteral("select sum(合同金额) as htje from jd_htqd where 合同编号=? and 单位=?");
}

QString DayworkTotalSql() {
    return QStringLiteral("select sum(TotalMoney) as htje from Jl_ContractList where ContractID=?");
}

BidSummary ComputeBidSummary(TDmMain& dm, Query& sums, const QString& contract) {
    BidSummary s;
    BoqSummaryFigures& e = s.e;

    // Chapter 100 counts only priced lines (item numbers longer than 3 characters); chapters
    // 300 and 600 leave out only their own chapter line.
    const QVariant c100 =
        sum(dm, sums,
            QStringLiteral("select sum(合同金额) as htje from jd_htqd where 合同编号=? and 细目编号<>? "
                           "and length(细目编号)>3 and 章=?"),
            {contract, QStringLiteral("100"), QStringLiteral("100")});
    e.t100 = TotalFormText(c100, TotalForm::WholeYuan);
    e.a100 = TotalFormText(c100, TotalForm::Raw);
    const QString chapterSql =
        QStringLiteral("select sum(合同金额) as htje from jd_htqd where 合同编号=? and 细目编号<>? and 章=?");
    const QVariant c300 = sum(dm, sums, chapterSql, {contract, QStringLiteral("300"), QStringLiteral("300")});
    e.t300 = TotalFormText(c300, TotalForm::WholeYuan);
    e.a300 = TotalFormText(c300, TotalForm::Raw);
    const QVariant c600 = sum(dm, sums, chapterSql, {contract, QStringLiteral("600"), QStringLiteral("600")});
    e.t600 = TotalFormText(c600, TotalForm::WholeYuan);
    e.a600 = e.t600;

    const long double boq = number(e.a100) + number(e.a300) + number(e.a600);
    e.totalR = whole(boq);
    e.total = general(boq);

    const QVariant ps = sum(dm, sums, ProvisionalSumsSql(), {contract, kProvisionalSumUnit});
    e.ps = TotalFormText(ps, TotalForm::Raw);
    e.net = general(number(e.total) - number(e.ps));
    e.tenthR = whole(number(e.net) * kTenth);
    e.tenth = general(number(e.net) * kTenth);

    const QVariant dw = sum(dm, sums, DayworkTotalSql(), {contract});
    e.dw = TotalFormText(dw, TotalForm::WholeYuan);
    e.grand = whole(number(e.dw) + number(e.totalR) + number(e.tenthR));

    // The all-chapter summary: report B's printed total of every chapter, then whole-yuan
    // arithmetic only. The provisional sums and the day work are the figures read above.
    AllChapterFigures& all = s.all;
    for (int code = 100; code <= 700; code += 100) {
        const QString chapter = QString::number(code);
        const qint64 total = wholeOf(sum(dm, sums, BoqTotals::printedChapterTotalSql(), {contract, chapter, chapter}));
        all.chapters << ChapterTotal{chapter, BoqChapterReport::chapterName(chapter), total};
        all.boqTotal += total;
    }
    all.provisionalSums = wholeOf(ps);
    all.net = all.boqTotal - all.provisionalSums;
    all.daywork = wholeOf(dw);
    all.tenth = RoundAmount(static_cast<double>(static_cast<long double>(all.net) * kTenth));
    all.bidPrice = all.boqTotal + all.daywork + all.tenth;
    return s;
}

BidSummary ComputeBidSummary(TDmMain& dm, const QString& contract) {
    auto q = dm.NewQuery();
    return ComputeBidSummary(dm, *q, contract);
}

} // namespace tenvora

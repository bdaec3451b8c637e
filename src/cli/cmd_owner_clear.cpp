// owner clear-bids: the returned bid disks cleared against the tender file and evaluated.
#include "OwnerCli.h"

#include "boq/BoqExport.h"
#include "data/Money.h"
#include "owner/BidClearing.h"
#include "owner/ClearingReport.h"
#include "owner/ClearingWorkbook.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

namespace tenvora::cli {

namespace {

// Findings of one kind the text lists per bid; the rest are in the JSON, the workbook and the PDF.
constexpr int kListedPerKind = 20;

QString usage() {
    return QStringLiteral(
        "owner clear-bids BID.tr [BID.tr ...] [--contract ID] [--json] [--xlsx OUT.xlsx] [--pdf OUT.pdf] "
        "[--deviation PERCENT] [--k K] [--e1 E1] [--e2 E2] [--score F] [--drop-extremes N]");
}

std::optional<double> numberOption(Context& ctx, const QString& option) {
    const std::optional<QString> text = ctx.takeOption(option);
    if (!text)
        return std::nullopt;
    const std::optional<double> value = ParseNumber(*text);
    if (!value)
        throw UsageError(QStringLiteral("%1 需要一个数字，“%2”不是数字\n用法：tenvora %3").arg(option, *text, usage()));
    return value;
}

EvaluationParameters parameters(Context& ctx) {
    EvaluationParameters p;
    p.deviationPercent = numberOption(ctx, QStringLiteral("--deviation")).value_or(p.deviationPercent);
    p.k = numberOption(ctx, QStringLiteral("--k")).value_or(p.k);
    p.e1 = numberOption(ctx, QStringLiteral("--e1")).value_or(p.e1);
    p.e2 = numberOption(ctx, QStringLiteral("--e2")).value_or(p.e2);
    p.fullScore = numberOption(ctx, QStringLiteral("--score")).value_or(p.fullScore);
    if (const std::optional<double> n = numberOption(ctx, QStringLiteral("--drop-extremes"))) {
        if (*n != std::floor(*n) || *n < 0 || *n > 1e6)
            throw UsageError(QStringLiteral("--drop-extremes 需要一个整数（家数）\n用法：tenvora %1").arg(usage()));
        p.dropExtremesFrom = static_cast<int>(*n);
    }
    if (const QString problem = p.problem(); !problem.isEmpty())
        throw UsageError(problem + QStringLiteral("\n用法：tenvora ") + usage());
    return p;
}

QString contractOf(Context& ctx, BidClearing& clearing) {
    if (const std::optional<QString> given = ctx.takeOption(QStringLiteral("--contract")))
        return *given;
    const QStringList contracts = clearing.contracts();
    if (contracts.isEmpty())
        throw Refused(QStringLiteral("招标文件中没有合同段"));
    if (contracts.size() > 1)
        throw UsageError(QStringLiteral("招标文件有 %1 个合同段（%2），请用 --contract 指定要清标的合同段")
                             .arg(contracts.size())
                             .arg(contracts.join(QStringLiteral("、"))));
    return contracts.first();
}

QString amountText(const std::optional<qint64>& value) {
    return value ? WholeYuanText(*value) : QString();
}

QJsonValue number(const std::optional<double>& value) {
    return value ? QJsonValue(*value) : QJsonValue();
}

QJsonValue number(const std::optional<qint64>& value) {
    return value ? QJsonValue(static_cast<double>(*value)) : QJsonValue();
}

QJsonObject findingJson(const ClearingFinding& f) {
    QJsonObject o{{QStringLiteral("what"), f.what},
                  {QStringLiteral("whatText"), f.whatText},
                  {QStringLiteral("daywork"), f.daywork},
                  {QStringLiteral("chapter"), f.chapter},
                  {QStringLiteral("place"), ClearingFindingPlace(f)},
                  {QStringLiteral("item"), f.item},
                  {QStringLiteral("name"), f.name},
                  {QStringLiteral("detail"), f.detail}};
    const QList<QPair<QString, std::optional<double>>> figures = {
        {QStringLiteral("tender"), f.tender},       {QStringLiteral("bid"), f.bid},
        {QStringLiteral("expected"), f.expected},   {QStringLiteral("quantity"), f.quantity},
        {QStringLiteral("price"), f.price},         {QStringLiteral("median"), f.median},
        {QStringLiteral("deviation"), f.deviation}, {QStringLiteral("atStake"), f.atStake}};
    for (const auto& [key, value] : figures)
        if (value)
            o.insert(key, *value);
    return o;
}

QJsonObject resultJson(const ClearingResult& r, const QStringList& written) {
    QJsonArray bids;
    for (const ClearedBid& bid : r.bids) {
        QJsonObject o{{QStringLiteral("file"), QDir::toNativeSeparators(bid.file)},
                      {QStringLiteral("unit"), bid.unit},
                      {QStringLiteral("issue"), bid.issueId},
                      {QStringLiteral("status"), ClearedBidStatusName(bid.status)},
                      {QStringLiteral("statusText"), ClearedBidStatusText(bid.status)},
                      {QStringLiteral("evaluated"), bid.evaluated()},
                      {QStringLiteral("reason"), bid.reason},
                      {QStringLiteral("declared"), number(bid.declared)},
                      {QStringLiteral("corrected"), number(bid.corrected)},
                      {QStringLiteral("rank"), bid.evaluated() ? QJsonValue(bid.rank) : QJsonValue()},
                      {QStringLiteral("deviation"), number(bid.deviation)},
                      {QStringLiteral("score"), number(bid.score)},
                      {QStringLiteral("pricedLines"), bid.pricedLines},
                      {QStringLiteral("priceableLines"), bid.priceableLines}};
        for (const ClearingFindingKind kind : kClearingFindingKinds) {
            QJsonArray list;
            for (const ClearingFinding& f : bid.findings(kind))
                list.append(findingJson(f));
            o.insert(ClearingFindingKindName(kind), list);
        }
        bids.append(o);
    }
    const EvaluationParameters& p = r.parameters;
    return {{QStringLiteral("tender"), QDir::toNativeSeparators(r.tenderFile)},
            {QStringLiteral("contract"), r.contractId},
            {QStringLiteral("contractName"), r.contractName},
            {QStringLiteral("parameters"), QJsonObject{{QStringLiteral("deviation"), p.deviationPercent},
                                                       {QStringLiteral("k"), p.k},
                                                       {QStringLiteral("e1"), p.e1},
                                                       {QStringLiteral("e2"), p.e2},
                                                       {QStringLiteral("score"), p.fullScore},
                                                       {QStringLiteral("dropExtremes"), p.dropExtremesFrom}}},
            {QStringLiteral("benchmark"), number(r.benchmark)},
            {QStringLiteral("mean"), r.benchmarkBids > 0 ? QJsonValue(r.mean) : QJsonValue()},
            {QStringLiteral("benchmarkBids"), r.benchmarkBids},
            {QStringLiteral("extremesDropped"), r.extremesDropped},
            {QStringLiteral("evaluationRefusal"), r.evaluationRefusal},
            {QStringLiteral("comparedLines"), static_cast<qint64>(r.lines.size())},
            {QStringLiteral("notes"), QJsonArray::fromStringList(r.notes)},
            {QStringLiteral("written"), QJsonArray::fromStringList(written)},
            {QStringLiteral("bids"), bids}};
}

void printText(const ClearingResult& r, const QStringList& written) {
    out() << QStringLiteral("清标：合同段 %1%2，招标文件 %3")
                 .arg(r.contractId, r.contractName.isEmpty() ? QString() : QStringLiteral("（%1）").arg(r.contractName),
                      QDir::toNativeSeparators(r.tenderFile))
          << Qt::endl;
    out() << QStringLiteral("投标盘 %1 个，参加评审 %2 个").arg(r.bids.size()).arg(r.evaluatedCount()) << Qt::endl
          << Qt::endl;

    QList<QStringList> rows;
    for (const int i : r.rankingOrder()) {
        const ClearedBid& bid = r.bids[i];
        QStringList row = {bid.evaluated() ? QString::number(bid.rank) : QString(),
                           bid.label(),
                           amountText(bid.declared),
                           amountText(bid.corrected),
                           bid.declared && bid.corrected ? WholeYuanText(*bid.corrected - *bid.declared) : QString(),
                           bid.deviation ? DeviationText(*bid.deviation) : QString(),
                           bid.score ? FormatNumber(*bid.score, QStringLiteral("0.00")) : QString(),
                           ClearedBidStatusText(bid.status)};
        rows << row;
    }
    out() << QStringLiteral("评审结果（按修正报价由低到高排名）：") << Qt::endl;
    printTable({QStringLiteral("排名"), QStringLiteral("投标单位"), QStringLiteral("申报报价"),
                QStringLiteral("修正报价"), QStringLiteral("修正额"), QStringLiteral("偏差率"), QStringLiteral("得分"),
                QStringLiteral("核对结果")},
               rows);
    out() << Qt::endl;
    if (r.benchmark)
        out() << QStringLiteral("评标基准价：%1（%2）")
                     .arg(FormatNumber(*r.benchmark, QStringLiteral("0.00")), r.benchmarkText())
              << Qt::endl;
    else
        out() << QStringLiteral("没有评标基准价：%1").arg(r.evaluationRefusal) << Qt::endl;
    out() << QStringLiteral("评标参数：%1").arg(r.parameters.text()) << Qt::endl;
    for (const QString& note : r.notes)
        out() << QStringLiteral("注意：%1").arg(note) << Qt::endl;

    for (const int i : r.rankingOrder()) {
        const ClearedBid& bid = r.bids[i];
        out() << Qt::endl << QStringLiteral("%1（%2）").arg(bid.label(), QDir::toNativeSeparators(bid.file));
        if (bid.status == ClearedBidStatus::Unreadable) {
            // The store's page check may give a line per page: each indented under the disk.
            QString reason = bid.reason;
            reason.replace(QLatin1Char('\n'), QStringLiteral("\n    "));
            out() << QStringLiteral("：无法读取") << Qt::endl << QStringLiteral("  ") << reason << Qt::endl;
            continue;
        }
        QStringList counts;
        for (const ClearingFindingKind kind : kClearingFindingKinds)
            counts << QStringLiteral("%1 %2 条").arg(ClearingFindingKindText(kind)).arg(bid.findings(kind).size());
        out() << QStringLiteral("：") << counts.join(QStringLiteral("，")) << Qt::endl;
        if (!bid.evaluated())
            out() << QStringLiteral("  不参加评审：%1").arg(bid.reason) << Qt::endl;
        for (const ClearingFindingKind kind : kClearingFindingKinds) {
            const QList<ClearingFinding>& list = bid.findings(kind);
            for (qsizetype n = 0; n < list.size() && n < kListedPerKind; ++n) {
                const ClearingFinding& f = list[n];
                out() << QStringLiteral("  [%1] %2 %3 %4：%5")
                             .arg(ClearingFindingKindText(kind), ClearingFindingPlace(f), f.item, f.name, f.detail)
                      << Qt::endl;
            }
            if (list.size() > kListedPerKind)
                out() << QStringLiteral("  [%1] 另有 %2 条（全部见 --json、--xlsx 或 --pdf）")
                             .arg(ClearingFindingKindText(kind))
                             .arg(list.size() - kListedPerKind)
                      << Qt::endl;
        }
    }
    for (const QString& file : written)
        out() << Qt::endl << QStringLiteral("已写出：%1").arg(file);
    if (!written.isEmpty())
        out() << Qt::endl;
}

int runClearBids(Context& ctx) {
    const std::optional<QString> xlsx = ctx.takeOption(QStringLiteral("--xlsx"));
    const std::optional<QString> pdf = ctx.takeOption(QStringLiteral("--pdf"));
    const EvaluationParameters p = parameters(ctx);
    Database tender = OpenTenderReadOnly(ctx);
    BidClearing clearing(tender);
    const QString contract = contractOf(ctx, clearing);
    for (const QString& a : ctx.args)
        if (a.startsWith(QLatin1String("--")))
            throw UsageError(QStringLiteral("未知的选项 %1\n用法：tenvora %2").arg(a, usage()));
    if (ctx.args.isEmpty())
        throw UsageError(QStringLiteral("需要至少一个投标盘\n用法：tenvora %1").arg(usage()));
    QStringList files;
    for (const QString& a : ctx.args)
        files << QDir::current().absoluteFilePath(a);

    const ClearingResult result = clearing.run(files, contract, p);
    QStringList written;
    if (xlsx) {
        const QString path = QDir::current().absoluteFilePath(BoqExport::withSuffix(*xlsx));
        ClearingWorkbook::write(result, path);
        written << QDir::toNativeSeparators(path);
    }
    if (pdf) {
        const QString path = QDir::current().absoluteFilePath(*pdf);
        WriteClearingPdf(result, path);
        written << QDir::toNativeSeparators(path);
    }
    if (ctx.json)
        printJson(resultJson(result, written));
    else
        printText(result, written);
    if (result.evaluatedCount() == 0) {
        err() << QStringLiteral("没有可以评审的投标盘") << Qt::endl;
        return 1;
    }
    return 0;
}

} // namespace

OwnerSubcommand OwnerClearBidsSubcommand() {
    return {QStringLiteral("clear-bids"), usage(),
            QStringLiteral(
                "清标：把投标单位交回的投标盘与招标文件逐一核对，并对有效的投标评审。招标文件和投标盘都只读不写。\n"
                "  投标盘核对：按投标盘中的发出记录认出它是发给哪个投标单位的；没有发出记录、属于另一次招标、\n"
                "    发出记录与招标文件不符、带着别的单位的帐户、同一单位交来不止一个、或本合同段一个单价也没报的\n"
                "    投标盘列出原因，不参加评审；损坏的或不是本系统的文件说明原因，其余照常清标。\n"
                "  清单改动：与招标文件相比增加、删除的细目，改了细目名称、单位、章号、合同数量或暂定金额的细目\n"
                "    （计日工同样核对）。\n"
                "  算术性修正（以单价为准）：金额与 RoundAmount(单价 × 数量) 不符、章合计未重算、保险费不符、计日工\n"
                "    合价不符；申报报价是投标盘自己的投标报价汇总表所印的投标报价，修正报价是按招标文件的清单和\n"
                "    数量、投标盘的单价、依本系统的计算规则重算的投标报价。\n"
                "  未报价：可报价的细目和有数量的计日工没有单价（或单价为 0）。\n"
                "  单价比较：每一条可报价的细目列出各家单价、最低、中位数、最高和各家与中位数的偏差\n"
                "    （单价 − 中位数）÷ 中位数；偏差超出 ±--deviation%（默认 30%）的为不平衡报价，涉及金额\n"
                "    =（单价 − 中位数）× 数量。\n"
                "  评审：评标基准价 B = 参加评审的投标修正报价的平均值 ×（1 − K），K 即 --k，默认 0；参加评审的投标\n"
                "    达到 --drop-extremes 家（默认 5）时，先去掉一个最高和一个最低报价再平均。偏差率 D =（修正报价 − "
                "B）÷ B；\n"
                "    得分 = F − 100 × |D| × E1（D ≥ 0）或 F − 100 × |D| × E2（D < 0），F 即 --score，默认 F = 100、\n"
                "    E1 = 2、E2 = 1；按修正报价由低到高排名，报价相同的名次相同。\n"
                "有几个合同段时用 --contract 指定。--json 输出全部结果；--xlsx 写出工作簿（评审结果、评标参数、\n"
                "各类问题各一张表和逐行的单价比较）；--pdf 写出清标报告（评审结果、投标盘核对和各类问题）。\n"
                "有投标参加评审时退出码 0，一个也没有时 1。"),
            runClearBids};
}

} // namespace tenvora::cli

#include "owner/ClearingWorkbook.h"

#include "boq/XlsxWriter.h"
#include "owner/BidClearing.h"

#include <QFileInfo>

namespace tenvora {

namespace {

QVariant figure(const std::optional<double>& value) {
    return value ? QVariant(*value) : QVariant();
}

QVariant amount(const std::optional<qint64>& value) {
    return value ? QVariant(static_cast<double>(*value)) : QVariant();
}

QString fileName(const ClearedBid& bid) {
    return QFileInfo(bid.file).fileName();
}

void writeRanking(XlsxBook& book, const ClearingResult& result) {
    QList<XlsxColumn> columns = {{QStringLiteral("排名"), XlsxCell::Quantity},
                                 {QStringLiteral("投标单位")},
                                 {QStringLiteral("文件")},
                                 {QStringLiteral("核对结果")},
                                 {QStringLiteral("申报报价"), XlsxCell::Amount},
                                 {QStringLiteral("修正报价"), XlsxCell::Amount},
                                 {QStringLiteral("修正额"), XlsxCell::Amount},
                                 {QStringLiteral("偏差率"), XlsxCell::Percent},
                                 {QStringLiteral("得分"), XlsxCell::Price}};
    for (const ClearingFindingKind kind : kClearingFindingKinds)
        columns << XlsxColumn{ClearingFindingKindText(kind), XlsxCell::Quantity};
    columns << XlsxColumn{QStringLiteral("说明"), XlsxCell::Text, true};
    XlsxSheet sheet = book.sheet(ClearingWorkbook::rankingSheetName(), columns);
    for (const int i : result.rankingOrder()) {
        const ClearedBid& bid = result.bids[i];
        QVariantList row = {
            bid.evaluated() ? QVariant(bid.rank) : QVariant(),
            bid.unit,
            fileName(bid),
            ClearedBidStatusText(bid.status),
            amount(bid.declared),
            amount(bid.corrected),
            bid.declared && bid.corrected ? QVariant(static_cast<double>(*bid.corrected - *bid.declared)) : QVariant(),
            figure(bid.deviation),
            figure(bid.score)};
        for (const ClearingFindingKind kind : kClearingFindingKinds)
            row << (bid.status == ClearedBidStatus::Unreadable ? QVariant()
                                                               : QVariant(static_cast<int>(bid.findings(kind).size())));
        row << bid.reason;
        sheet.addRow(row);
    }
    sheet.finish(result.heading);
}

void writeParameters(XlsxBook& book, const ClearingResult& result) {
    XlsxSheet sheet = book.sheet(ClearingWorkbook::parametersSheetName(),
                                 {{QStringLiteral("项目")}, {QStringLiteral("数值"), XlsxCell::Quantity}});
    const EvaluationParameters& p = result.parameters;
    const QList<QPair<QString, QVariant>> rows = {
        {QStringLiteral("招标文件"), QFileInfo(result.tenderFile).fileName()},
        {QStringLiteral("合同段"), result.contractName.isEmpty()
                                       ? result.contractId
                                       : QStringLiteral("%1 %2").arg(result.contractId, result.contractName)},
        {QStringLiteral("投标盘"), static_cast<int>(result.bids.size())},
        {QStringLiteral("参加评审的投标"), result.evaluatedCount()},
        {QStringLiteral("计入基准价的投标"), result.benchmarkBids},
        {QStringLiteral("去掉一个最高和一个最低报价"),
         result.extremesDropped ? QStringLiteral("是") : QStringLiteral("否")},
        {QStringLiteral("修正报价的平均值"), result.benchmarkBids > 0 ? QVariant(result.mean) : QVariant()},
        {QStringLiteral("下浮系数 K"), p.k},
        {QStringLiteral("评标基准价 B"),
         result.benchmark ? QVariant(*result.benchmark) : QVariant(result.evaluationRefusal)},
        {QStringLiteral("满分 F"), p.fullScore},
        {QStringLiteral("高于基准价每 1% 扣分 E1"), p.e1},
        {QStringLiteral("低于基准价每 1% 扣分 E2"), p.e2},
        {QStringLiteral("去掉最高和最低报价的家数（及以上）"), p.dropExtremesFrom},
        {QStringLiteral("不平衡报价的偏差范围（±%）"), p.deviationPercent},
    };
    for (const auto& [label, value] : rows)
        sheet.addRow({label, value});
    for (const QString& note : result.notes)
        sheet.addRow({QStringLiteral("注意"), note});
    sheet.finish(result.heading);
}

// One sheet of the findings of one kind, bid after bid in ranking order.
void writeFindings(XlsxBook& book, const ClearingResult& result, ClearingFindingKind kind) {
    QList<XlsxColumn> columns = {{QStringLiteral("投标单位")}, {QStringLiteral("文件")},
                                 {QStringLiteral("问题")},     {QStringLiteral("章/表")},
                                 {QStringLiteral("细目编号")}, {QStringLiteral("细目名称"), XlsxCell::Text, true}};
    switch (kind) {
    case ClearingFindingKind::Altered:
        columns << XlsxColumn{QStringLiteral("招标文件"), XlsxCell::Quantity}
                << XlsxColumn{QStringLiteral("投标盘"), XlsxCell::Quantity};
        break;
    case ClearingFindingKind::Arithmetic:
        columns << XlsxColumn{QStringLiteral("已存"), XlsxCell::Amount}
                << XlsxColumn{QStringLiteral("应为"), XlsxCell::Amount};
        break;
    case ClearingFindingKind::Unpriced:
        columns << XlsxColumn{QStringLiteral("数量"), XlsxCell::Quantity};
        break;
    case ClearingFindingKind::Unbalanced:
        columns << XlsxColumn{QStringLiteral("数量"), XlsxCell::Quantity}
                << XlsxColumn{QStringLiteral("单价"), XlsxCell::Price}
                << XlsxColumn{QStringLiteral("中位数"), XlsxCell::Price}
                << XlsxColumn{QStringLiteral("偏差率"), XlsxCell::Percent}
                << XlsxColumn{QStringLiteral("涉及金额"), XlsxCell::Amount};
        break;
    }
    columns << XlsxColumn{QStringLiteral("说明"), XlsxCell::Text, true};
    XlsxSheet sheet = book.sheet(ClearingFindingKindText(kind), columns);
    for (const int i : result.rankingOrder()) {
        const ClearedBid& bid = result.bids[i];
        for (const ClearingFinding& f : bid.findings(kind)) {
            QVariantList row = {bid.unit, fileName(bid), f.whatText, ClearingFindingPlace(f), f.item, f.name};
            switch (kind) {
            case ClearingFindingKind::Altered:
                row << figure(f.tender) << figure(f.bid);
                break;
            case ClearingFindingKind::Arithmetic:
                row << figure(f.bid) << figure(f.expected);
                break;
            case ClearingFindingKind::Unpriced:
                row << figure(f.quantity);
                break;
            case ClearingFindingKind::Unbalanced:
                row << figure(f.quantity) << figure(f.price) << figure(f.median) << figure(f.deviation)
                    << figure(f.atStake);
                break;
            }
            row << f.detail;
            sheet.addRow(row);
        }
    }
    sheet.finish(result.heading);
}

void writeComparison(XlsxBook& book, const ClearingResult& result) {
    QList<XlsxColumn> columns = {{QStringLiteral("章")},
                                 {QStringLiteral("细目编号")},
                                 {QStringLiteral("细目名称"), XlsxCell::Text, true},
                                 {QStringLiteral("单位")},
                                 {QStringLiteral("合同数量"), XlsxCell::Quantity}};
    for (const int i : result.columns) {
        const QString label = result.bids[i].label();
        columns << XlsxColumn{label + QStringLiteral(" 单价"), XlsxCell::Price}
                << XlsxColumn{label + QStringLiteral(" 偏差"), XlsxCell::Percent};
    }
    columns << XlsxColumn{QStringLiteral("最低"), XlsxCell::Price}
            << XlsxColumn{QStringLiteral("中位数"), XlsxCell::Price}
            << XlsxColumn{QStringLiteral("最高"), XlsxCell::Price};
    XlsxSheet sheet = book.sheet(ClearingWorkbook::comparisonSheetName(), columns);
    for (size_t line = 0; line < result.lines.size(); ++line) {
        const PriceComparisonLine& l = result.lines[line];
        QVariantList row = {l.chapter, l.item, l.name, l.unit, l.quantity};
        for (int c = 0; c < result.columns.size(); ++c)
            row << figure(result.price(c, line)) << figure(result.deviation(c, line));
        row << figure(l.min) << figure(l.median) << figure(l.max);
        sheet.addRow(row);
    }
    sheet.finish(result.heading);
}

} // namespace

QStringList ClearingWorkbook::sheetNames() {
    QStringList names = {rankingSheetName(), parametersSheetName()};
    for (const ClearingFindingKind kind : kClearingFindingKinds)
        names << ClearingFindingKindText(kind);
    names << comparisonSheetName();
    return names;
}

void ClearingWorkbook::write(const ClearingResult& result, const QString& path) {
    WriteXlsxInPlace(path, QStringLiteral("清标工作簿没有写成"), [&](XlsxBook& book) {
        writeRanking(book, result);
        writeParameters(book, result);
        for (const ClearingFindingKind kind : kClearingFindingKinds)
            writeFindings(book, result, kind);
        writeComparison(book, result);
    });
}

} // namespace tenvora

#include "boq/BoqExport.h"

#include "boq/BoqImport.h"
#include "boq/ContractFigures.h"
#include "boq/XlsxWriter.h"
#include "data/DataModule.h"
#include "datamgmt/FileCopy.h"
#include "reports/ChineseAmount.h"

#include <QDir>
#include <QFileInfo>

namespace tenvora {

namespace {

struct Column {
    QString heading;
    QString field;
    XlsxCell kind;
    bool wrap = false; // long descriptions wrap within the sized column
};

// A headed table of query rows on its own sheet.
void writeTable(XlsxBook& book, const QString& name, const QString& caption, const QList<Column>& columns,
                const Query& rows) {
    QList<XlsxColumn> headed;
    std::vector<int> at;
    for (const Column& column : columns) {
        headed << XlsxColumn{column.heading, column.kind, column.wrap};
        at.push_back(rows.columnIndex(column.field));
    }
    XlsxSheet sheet = book.sheet(name, headed);
    for (int r = 0; r < rows.recordCount(); ++r) {
        const QVariantList& values = rows.row(r);
        QVariantList cells;
        // Item numbers and names stay text, "100" included.
        for (const int column : at)
            cells << (column < 0 ? QVariant() : values.at(column));
        sheet.addRow(cells);
    }
    sheet.finish(caption);
}

// The sheet "汇总": the chapter totals and the figures of the bid price, as the all-chapter
// summary prints them (the same figures, from ContractFigures).
void writeSummary(XlsxBook& book, const QString& caption, const AllChapterFigures& all) {
    XlsxSheet sheet = book.sheet(BoqExport::summarySheetName(), {{QStringLiteral("序号")},
                                                                 {QStringLiteral("章次")},
                                                                 {QStringLiteral("科目名称")},
                                                                 {QStringLiteral("金额（元）"), XlsxCell::Amount}});
    struct Line {
        QString chapter;
        QString label;
        std::optional<qint64> amount;
        QString text; // a figure in words instead of an amount
    };
    QList<Line> lines;
    for (const ChapterTotal& c : all.chapters)
        lines << Line{c.code, QStringLiteral("第%1章 %2").arg(c.code, c.name).trimmed(), c.total, {}};
    // The rows after the chapters are numbered on from them, as on the printed form.
    const auto rowNumber = [first = all.chapters.size() + 1](int offset) { return QString::number(first + offset); };
    lines << Line{{}, all.boqTotalLabel(), all.boqTotal, {}}
          << Line{{}, QStringLiteral("已包含在清单合计中的专项暂定金额合计"), all.provisionalSums, {}}
          << Line{{}, QStringLiteral("清单合计减去专项暂定金额（%1－%2）").arg(rowNumber(0), rowNumber(1)), all.net, {}}
          << Line{{}, QStringLiteral("计日工合计"), all.daywork, {}}
          << Line{{}, QStringLiteral("不可预见费（%1×10%）").arg(rowNumber(2)), all.tenth, {}}
          << Line{{},
                  QStringLiteral("投标报价（%1＋%2＋%3）").arg(rowNumber(0), rowNumber(3), rowNumber(4)),
                  all.bidPrice,
                  {}}
          << Line{{}, QStringLiteral("投标报价（大写）"), std::nullopt, ChineseCapitalAmount(all.bidPrice)};
    for (int i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        sheet.addRow({line.amount ? QString::number(i + 1) : QString(), line.chapter, line.label,
                      line.amount ? QVariant(static_cast<double>(*line.amount)) : QVariant(line.text)});
    }
    sheet.finish(caption);
}

QList<Column> billColumns() {
    const QStringList h = BoqExport::billHeadings();
    return {{h[0], QStringLiteral("细目编号"), XlsxCell::Text},
            {h[1], QStringLiteral("细目名称"), XlsxCell::Text, true},
            {h[2], QStringLiteral("单位"), XlsxCell::Text},
            {h[3], QStringLiteral("合同单价"), XlsxCell::Price},
            {h[4], QStringLiteral("合同数量"), XlsxCell::Quantity},
            {h[5], QStringLiteral("合同金额"), XlsxCell::Amount},
            {h[6], QStringLiteral("章"), XlsxCell::Text}};
}

QList<Column> dayworkColumns(Schedule s) {
    return {{QStringLiteral("细目编号"), QStringLiteral("ItemCode"), XlsxCell::Text},
            {QStringLiteral("细目名称"), QStringLiteral("ItemName"), XlsxCell::Text, true},
            {QStringLiteral("单位"), QStringLiteral("Unit"), XlsxCell::Text},
            {QStringLiteral("估计数量"), QStringLiteral("Amount"), XlsxCell::Quantity},
            {s == Schedule::Machinery ? QStringLiteral("租价(元/小时)") : QStringLiteral("单价"),
             QStringLiteral("UnitPrice"), XlsxCell::Price},
            {s == Schedule::Material ? QStringLiteral("合价") : QStringLiteral("合价（元）"),
             QStringLiteral("TotalMoney"), XlsxCell::Amount}};
}

} // namespace

QString BoqExport::dayworkSheetName(Schedule s) {
    return QStringLiteral("计日工") + ScheduleCaption(s);
}

QStringList BoqExport::billHeadings() {
    return BoqImport::headings() + QStringList{QStringLiteral("合价"), QStringLiteral("章")};
}

QString BoqExport::withSuffix(const QString& path) {
    // "out/." must not become the file "out/..xlsx".
    CheckTargetFileName(path);
    return QFileInfo(path).suffix().compare(QLatin1String("xlsx"), Qt::CaseInsensitive) == 0
               ? path
               : path + QStringLiteral(".xlsx");
}

QString BoqExport::doneText(const BoqExportResult& result) {
    return QStringLiteral("工程量清单已导出到 %1（清单 %2 行，计日工 %3 项）")
        .arg(QDir::toNativeSeparators(result.path))
        .arg(result.lines)
        .arg(result.dayworkItems);
}

BoqExportResult BoqExport::write(const QString& path) {
    const SessionValues& session = m_dm.session();
    const QString contract = session.CurContractID;
    if (contract.isEmpty())
        throw Refused(BoqImport::noContractMessage());

    auto bill = m_dm.NewQuery();
    m_dm.RunSql(*bill,
                QStringLiteral("select 细目编号, 细目名称, 单位, 合同单价, 合同数量, 合同金额, 章 from jd_htqd "
                               "where 是否补充 = 0 and 合同编号 = ? order by 细目编号 collate ITEMNO"),
                {contract}, true);
    std::vector<std::pair<Schedule, std::unique_ptr<Query>>> schedules;
    for (const Schedule s : {Schedule::Labour, Schedule::Material, Schedule::Machinery}) {
        auto q = m_dm.NewQuery();
        m_dm.RunSql(*q, DayworkLists::listSql(), {ScheduleCode(s), contract}, true);
        schedules.emplace_back(s, std::move(q));
    }

    // The figures as the bid-price form prints them, which stores the insurance line first; the
    // export itself writes nothing into the data file.
    ContractFigures figures = ContractFigures::read(m_dm, contract);
    figures.storeInsurance();
    const AllChapterFigures all = figures.bidPriceForm();

    BoqExportResult result;
    result.path = QFileInfo(path).absoluteFilePath();
    result.lines = bill->recordCount();

    const QString caption = session.CurContractName.isEmpty() ? contract : session.CurContractName;
    WriteXlsxInPlace(result.path, QStringLiteral("导出没有完成"), [&](XlsxBook& book) {
        writeTable(book, billSheetName(), caption, billColumns(), *bill);
        for (const auto& [s, rows] : schedules) {
            writeTable(book, dayworkSheetName(s), caption, dayworkColumns(s), *rows);
            result.dayworkItems += rows->recordCount();
        }
        writeSummary(book, caption, all);
    });
    return result;
}

} // namespace tenvora

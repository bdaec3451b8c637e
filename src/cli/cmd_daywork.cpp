// tenvora daywork: the three day-work schedules of the current contract.
#include "Cli.h"

#include "daywork/DayworkLists.h"

#include <QJsonArray>

namespace tenvora::cli {

namespace {

const QString kUsage = QStringLiteral("tenvora daywork list --schedule 1|2|3 | price --schedule 1|2|3 细目编号 单价");

const QStringList& shownColumns() {
    static const QStringList columns = {QStringLiteral("ItemCode"),  QStringLiteral("ItemName"),
                                        QStringLiteral("Unit"),      QStringLiteral("Amount"),
                                        QStringLiteral("UnitPrice"), QStringLiteral("TotalMoney")};
    return columns;
}

QStringList rowTexts(const DataSet& set, int row) {
    QStringList cells;
    for (const QString& name : shownColumns())
        cells << set.displayText(row, set.columnIndex(name));
    return cells;
}

const QStringList& headers() {
    static const QStringList h = {QStringLiteral("细目编号"), QStringLiteral("细目名称"), QStringLiteral("单位"),
                                  QStringLiteral("估计数量"), QStringLiteral("单价"),     QStringLiteral("合价")};
    return h;
}

Schedule takeSchedule(Context& ctx) {
    const std::optional<QString> code = ctx.takeOption(QStringLiteral("--schedule"));
    if (!code)
        throw UsageError(QStringLiteral("需要 --schedule 1|2|3\n用法：%1").arg(kUsage));
    const std::optional<Schedule> s = ScheduleFromCode(*code);
    if (!s)
        throw UsageError(QStringLiteral("--schedule 只能是 1（劳务）、2（材料）或 3（施工机械）"));
    return *s;
}

int runList(Context& ctx) {
    const Schedule schedule = takeSchedule(ctx);
    ctx.expectArguments(0, kUsage);
    auto dm = ctx.openAndLogin();
    dm->LoadCurrentContract();
    DayworkLists lists(*dm);
    lists.openAll();
    const DataSet& set = lists.schedule(schedule);
    if (ctx.json) {
        QJsonArray rows;
        for (int r = 0; r < set.rowCount(); ++r)
            rows.append(DataSetRowJson(set, r));
        printJson({{QStringLiteral("rows"), rows}});
        return 0;
    }
    QList<QStringList> table;
    for (int r = 0; r < set.rowCount(); ++r)
        table << rowTexts(set, r);
    printTable(headers(), table);
    return 0;
}

int runPrice(Context& ctx) {
    const Schedule schedule = takeSchedule(ctx);
    ctx.expectArguments(2, kUsage);
    const QString code = ctx.args.at(0);
    const QString priceText = ctx.args.at(1);
    // An empty text clears the price; the total then stays as it was.
    const QVariant price = PriceArgument(priceText);
    auto dm = ctx.openAndLogin(Access::Write);
    dm->LoadCurrentContract();
    DayworkLists lists(*dm);
    lists.openAll();
    const int row = lists.findItem(schedule, code);
    if (row < 0)
        throw Refused(QStringLiteral("%1中没有细目“%2”").arg(ScheduleCaption(schedule), code));
    lists.priceItem(schedule, row, price);
    const DataSet& set = lists.schedule(schedule);
    if (ctx.json) {
        printJson({{QStringLiteral("row"), DataSetRowJson(set, row)}});
        return 0;
    }
    QList<QPair<QString, QString>> pairs;
    const QStringList texts = rowTexts(set, row);
    for (int i = 0; i < headers().size(); ++i)
        pairs << qMakePair(headers().at(i), texts.at(i));
    printKeyValues(pairs);
    return 0;
}

Command DayworkCommand() {
    return {
        QStringLiteral("daywork"), QStringLiteral("list --schedule S | price --schedule S 细目编号 单价"),
        QStringLiteral("当前合同的计日工清单"),
        QStringLiteral("与“计日工清单”窗口相同的操作（S：1 劳务，2 材料，3 施工机械）：\n"
                       "  list --schedule S                 列出该表的细目\n"
                       "  price --schedule S 细目编号 单价  给该表中第一个该编号的细目录入单价并保存\n"
                       "                                    （合价按单价 x 估计数量取整）；单价为空文本时清除单价"),
        [](Context& ctx) {
            return RunSubcommand(ctx, kUsage, {{QStringLiteral("list"), runList}, {QStringLiteral("price"), runPrice}});
        }};
}

} // namespace

const CommandRegistration registerDaywork(DayworkCommand);

} // namespace tenvora::cli

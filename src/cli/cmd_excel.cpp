// Commands of the spreadsheet round trip: export-xlsx (the priced bill to .xlsx) and reimport (a
// revised owner bill over the priced one).
#include "Cli.h"

#include "boq/BoqExport.h"
#include "boq/BoqRevision.h"
#include "data/Money.h"

#include <QDir>
#include <QJsonArray>

namespace tenvora::cli {

namespace {

Command ExportCommand() {
    return {QStringLiteral("export-xlsx"), QStringLiteral("FILE"),
            QStringLiteral("把当前合同的工程量清单导出为 Excel 工作簿（.xlsx）"),
            QStringLiteral("像“导出Excel文件”一样，把当前合同已报价的工程量清单写成 Excel 工作簿 FILE：\n"
                           "工作表“工程量清单”（导入格式的五列在前，另有“合价”和“章”，可以原样再导入），\n"
                           "每个计日工表一个工作表，以及工作表“汇总”（各章合计和投标报价汇总表的各项金额）。\n"
                           "FILE 没有 .xlsx 后缀时加上。\n"
                           "先写入目标文件夹中的临时文件，写好后才换上，失败或中途被结束时不留下任何文件；\n"
                           "已有同名文件时直接替换。FILE 为空或指向文件夹时拒绝。"),
            [](Context& ctx) {
                ctx.expectArguments(1, QStringLiteral("tenvora export-xlsx FILE"));
                const QString target = BoqExport::withSuffix(ctx.targetFile(ctx.args.first()));
                auto dm = ctx.openAndLogin();
                dm->LoadCurrentContract();
                const BoqExportResult result = BoqExport(*dm).write(target);
                if (ctx.json)
                    printJson({{QStringLiteral("contract"), dm->session().CurContractID},
                               {QStringLiteral("file"), QDir::toNativeSeparators(result.path)},
                               {QStringLiteral("lines"), result.lines},
                               {QStringLiteral("dayworkItems"), result.dayworkItems}});
                else
                    out() << BoqExport::doneText(result) << Qt::endl;
                return 0;
            }};
}

QJsonValue jsonValue(const QVariant& v) {
    if (v.isNull())
        return QJsonValue();
    if (const std::optional<double> n = NumberOf(v); n && v.typeId() != QMetaType::QString)
        return *n;
    return v.toString();
}

QJsonObject lineJson(const BoqRevisionLine& l) {
    QJsonObject o{{QStringLiteral("change"), l.changeText()},
                  {QStringLiteral("item"), l.item},
                  {QStringLiteral("price"), jsonValue(l.price)},
                  {QStringLiteral("oldAmount"), jsonValue(l.oldAmount)},
                  {QStringLiteral("newAmount"), jsonValue(l.newAmount)}};
    if (l.change != BoqRevisionLine::Change::Added) {
        o.insert(QStringLiteral("oldName"), jsonValue(l.oldName));
        o.insert(QStringLiteral("oldUnit"), jsonValue(l.oldUnit));
        o.insert(QStringLiteral("oldQuantity"), jsonValue(l.oldQuantity));
    }
    if (l.change != BoqRevisionLine::Change::Dropped) {
        o.insert(QStringLiteral("newName"), jsonValue(l.newName));
        o.insert(QStringLiteral("newUnit"), jsonValue(l.newUnit));
        o.insert(QStringLiteral("newQuantity"), jsonValue(l.newQuantity));
        o.insert(QStringLiteral("sheetRow"), l.sheetRow);
    }
    if (l.change == BoqRevisionLine::Change::Changed) {
        QJsonArray changed;
        if (l.quantityChanged)
            changed << QStringLiteral("quantity");
        if (l.nameChanged)
            changed << QStringLiteral("name");
        if (l.unitChanged)
            changed << QStringLiteral("unit");
        o.insert(QStringLiteral("changed"), changed);
    }
    return o;
}

void printPlan(const BoqRevisionPlan& plan) {
    QList<QStringList> rows;
    for (const BoqRevisionLine& l : plan.lines)
        rows << QStringList{l.changeText(),
                            l.item,
                            (l.change == BoqRevisionLine::Change::Dropped ? l.oldName : l.newName).toString(),
                            DisplayText(l.price, QStringLiteral("0.00")),
                            DisplayText(l.oldAmount, QString()),
                            DisplayText(l.newAmount, QString()),
                            l.description()};
    if (!rows.isEmpty())
        printTable({QStringLiteral("变化"), QStringLiteral("细目编号"), QStringLiteral("细目名称"),
                    QStringLiteral("单价"), QStringLiteral("原金额"), QStringLiteral("新金额"), QStringLiteral("说明")},
                   rows);
    out() << plan.summaryText() << Qt::endl;
}

Command ReimportCommand() {
    return {QStringLiteral("reimport"), QStringLiteral("FILE [--dry-run]"),
            QStringLiteral("导入修订清单：按细目编号对照修订后的工作簿，保留单价更新当前合同的清单"),
            QStringLiteral(
                "像“导入修订清单”一样，读出修订后的工作簿 FILE（.xls 或 .xlsx，工作表“工程量清单”），按细目编号\n"
                "（完全相同才算同一行）与当前合同的清单对照，列出新增、删除的行以及数量、名称或单位有变化的行，\n"
                "并给出各行按原单价计算的原金额和新金额。不加 --dry-run 时随即修订：先在数据文件旁边备份为\n"
                "<数据文件>.before-revision-<日期>-<时间>，再在一次修改中更新有变化的行（单价不变，金额按单价和\n"
                "新数量重算）、追加新增的行（不带单价）、删除不再有的行；其他合同不受影响。加 --dry-run 时只列出\n"
                "变化，什么也不写。工作簿或当前清单中有重复的细目编号时拒绝修订，退出码为 1。"),
            [](Context& ctx) {
                const bool dryRun = ctx.takeFlag(QStringLiteral("--dry-run"));
                ctx.expectArguments(1, QStringLiteral("tenvora reimport FILE [--dry-run]"));
                auto dm = ctx.openAndLogin(dryRun ? Access::Read : Access::Write);
                dm->LoadCurrentContract();
                const BoqSource source = ReadBoqSource(QDir::current().absoluteFilePath(ctx.args.first()));
                BoqRevision revision(*dm);
                const BoqRevisionPlan plan = revision.plan(source);
                if (plan.refused())
                    throw Refused(plan.refusalText());
                std::optional<BoqRevisionOutcome> outcome;
                if (!dryRun)
                    outcome = revision.apply(plan, source);
                if (ctx.json) {
                    QJsonArray lines;
                    for (const BoqRevisionLine& l : plan.lines)
                        lines << lineJson(l);
                    QJsonObject o{{QStringLiteral("contract"), plan.contract},
                                  {QStringLiteral("dryRun"), dryRun},
                                  {QStringLiteral("applied"), outcome.has_value() && plan.hasChanges()},
                                  {QStringLiteral("added"), plan.added},
                                  {QStringLiteral("dropped"), plan.dropped},
                                  {QStringLiteral("changed"), plan.changed},
                                  {QStringLiteral("unchanged"), plan.unchanged},
                                  {QStringLiteral("lines"), lines}};
                    if (outcome && !outcome->backupPath.isEmpty())
                        o.insert(QStringLiteral("backup"), QDir::toNativeSeparators(outcome->backupPath));
                    printJson(o);
                    return 0;
                }
                printPlan(plan);
                if (dryRun)
                    out() << QStringLiteral("（--dry-run：没有修改任何内容）") << Qt::endl;
                else if (!plan.hasChanges())
                    out() << QStringLiteral("修订清单与当前清单一致，没有需要修改的内容") << Qt::endl;
                else
                    out() << BoqRevision::doneText(*outcome) << Qt::endl;
                return 0;
            }};
}

} // namespace

const CommandRegistration registerExport(ExportCommand);
const CommandRegistration registerReimport(ReimportCommand);

} // namespace tenvora::cli

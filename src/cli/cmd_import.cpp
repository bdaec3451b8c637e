// Commands of the bill-of-quantities import: read-workbook (the reader helper), import-xls, clear-boq.
#include "Cli.h"

#include "boq/BoqImport.h"
#include "boq/Workbook.h"

#include <QDir>
#include <QFile>

namespace tenvora::cli {

namespace {

Command ReadWorkbookCommand() {
    return {QStringLiteral("read-workbook"), QStringLiteral("FILE [--sheet NAME]"),
            QStringLiteral("读出 Excel 工作簿（.xls 或 .xlsx）的单元格（与导入相同的读取过程）"),
            QStringLiteral("像导入一样，在单独的读取程序 tenvora-xls 中读出工作簿 FILE（.xls 或 .xlsx，按文件内容\n"
                           "识别）中各工作表的名称和单元格（给出 --sheet 时只读该工作表），以文本格式写到标准输出；\n"
                           "读不出时在标准错误写出原因，退出码为 1。损坏的文件最多使读取程序异常退出，不会影响调用\n"
                           "它的程序；.xlsx 解压的大小、单元格数目都有上限，超过时拒绝读取。不需要登录。"),
            [](Context& ctx) {
                const std::optional<QString> sheet = ctx.takeOption(QStringLiteral("--sheet"));
                ctx.expectArguments(1, QStringLiteral("tenvora read-workbook FILE [--sheet NAME]"));
                const QByteArray dump = WorkbookDump(
                    ReadWorkbook(QDir::current().absoluteFilePath(ctx.args.first()), sheet.value_or(QString())));
                QFile stream;
                if (!stream.open(stdout, QIODevice::WriteOnly) || stream.write(dump) != dump.size() || !stream.flush())
                    throw Error(QStringLiteral("无法写出读取结果"));
                return 0;
            }};
}

Command ImportCommand() {
    return {
        QStringLiteral("import-xls"), QStringLiteral("FILE [--append]"),
        QStringLiteral("从 Excel 文件（.xls 或 .xlsx）导入当前合同的工程量清单"),
        QStringLiteral("像“Exdel合同清单数据导入”的“导入”一样，把工作簿 FILE（.xls 或 .xlsx）的工作表“工程量清单”\n"
                       "中有细目编号的各行按细目编号的顺序追加到当前合同的工程量清单（不替换已有的行），\n"
                       "并显示导入的行数。工作表另有“合价”列时，没有单价的行（如暂定金额）取它作为合同金额。\n"
                       "当前合同已有工作簿中的某些细目编号（按原样比较）时，追加会使一个编号有两条细目：\n"
                       "这时不导入任何行，列出其中几个编号和条数，退出码为 1；确要追加时加上 --append。\n"
                       "格式不对的工作簿不导入任何行，退出码为 1。"),
        [](Context& ctx) {
            const bool append = ctx.takeFlag(QStringLiteral("--append"));
            ctx.expectArguments(1, QStringLiteral("tenvora import-xls FILE [--append]"));
            auto dm = ctx.openAndLogin(Access::Write);
            dm->LoadCurrentContract();
            const BoqSource source = ReadBoqSource(QDir::current().absoluteFilePath(ctx.args.first()));
            BoqImport import(*dm);
            if (!append) {
                if (const QStringList held = import.heldItems(source); !held.isEmpty())
                    throw Refused(BoqImport::heldItemsText(held) +
                                  QStringLiteral("没有导入任何行；确要追加，请加上 --append。"));
            }
            const BoqImportResult result = import.importLines(source);
            if (ctx.json) {
                QJsonObject o{{QStringLiteral("contract"), dm->session().CurContractID},
                              {QStringLiteral("imported"), result.imported},
                              {QStringLiteral("skipped"), result.skipped}};
                if (!result.failure.isEmpty())
                    o.insert(QStringLiteral("failure"), result.failure);
                printJson(o);
            } else {
                out() << QStringLiteral("已向合同 %1 导入 %2 行").arg(dm->session().CurContractID).arg(result.imported);
                if (result.skipped > 0)
                    out() << QStringLiteral("（跳过没有细目编号的 %1 行）").arg(result.skipped);
                out() << Qt::endl;
            }
            if (result.failure.isEmpty())
                return 0;
            err() << result.failure << Qt::endl;
            return 1;
        }};
}

Command ClearCommand() {
    return {
        QStringLiteral("clear-boq"), QStringLiteral("--yes"), QStringLiteral("删除当前合同的全部工程量清单"),
        QStringLiteral("像“Exdel合同清单数据导入”的“清空”一样，删除当前合同的全部工程量清单（主清单和补充\n"
                       "清单）。删除后只能从备份恢复，所以必须加上 --yes 确认。"),
        [](Context& ctx) {
            const bool confirmed = ctx.takeFlag(QStringLiteral("--yes"));
            ctx.expectArguments(0, QStringLiteral("tenvora clear-boq --yes"));
            if (!confirmed)
                throw UsageError(BoqImport::clearQuestion() +
                                 QStringLiteral("\n确认删除请加上 --yes：tenvora clear-boq --yes"));
            auto dm = ctx.openAndLogin(Access::Write);
            dm->LoadCurrentContract();
            const int deleted = BoqImport(*dm).clear();
            if (ctx.json)
                printJson(
                    {{QStringLiteral("contract"), dm->session().CurContractID}, {QStringLiteral("deleted"), deleted}});
            else
                out()
                    << QStringLiteral("已删除合同 %1 的 %2 行工程量清单").arg(dm->session().CurContractID).arg(deleted)
                    << Qt::endl;
            return 0;
        }};
}

} // namespace

const CommandRegistration registerReadWorkbook(ReadWorkbookCommand);
const CommandRegistration registerImport(ImportCommand);
const CommandRegistration registerClear(ClearCommand);

} // namespace tenvora::cli

// owner import-boq and owner import-daywork: the owner's bill and day work from workbooks.
#include "OwnerCli.h"

#include "owner/OwnerBoqImport.h"
#include "owner/OwnerDayworkImport.h"

#include <QDir>
#include <QJsonArray>

namespace tenvora::cli {

namespace {

int importBoq(Context& ctx) {
    const bool replace = ctx.takeFlag(QStringLiteral("--replace"));
    ctx.expectArguments(2, QStringLiteral("tenvora owner import-boq CONTRACT WORKBOOK [--replace]"));
    const QString contract = ctx.args[0];
    auto dm = OpenAsOwner(ctx, Access::Write);
    const OwnerBill bill = ReadOwnerBill(QDir::current().absoluteFilePath(ctx.args[1]));
    const OwnerBillImportResult result =
        WithConsentOption(QStringLiteral("要换成工作簿中的清单，请加上 --replace。"),
                          [&] { return OwnerBoqImport(dm->database()).importBill(contract, bill, replace); });
    if (ctx.json) {
        printJson({{QStringLiteral("contract"), contract},
                   {QStringLiteral("imported"), result.lines},
                   {QStringLiteral("replaced"), result.replaced},
                   {QStringLiteral("addedChapterLines"), QJsonArray::fromStringList(result.addedChapters)}});
        return 0;
    }
    out() << QStringLiteral("已向合同段 %1 导入 %2 行工程量清单").arg(contract).arg(result.lines);
    if (result.replaced > 0)
        out() << QStringLiteral("（替换了原有的 %1 行）").arg(result.replaced);
    out() << Qt::endl;
    if (!result.addedChapters.isEmpty())
        out() << QStringLiteral("补上了章行：%1").arg(result.addedChapters.join(QStringLiteral("、"))) << Qt::endl;
    return 0;
}

int importDaywork(Context& ctx) {
    const bool replace = ctx.takeFlag(QStringLiteral("--replace"));
    ctx.expectArguments(2, QStringLiteral("tenvora owner import-daywork CONTRACT WORKBOOK [--replace]"));
    const QString contract = ctx.args[0];
    auto dm = OpenAsOwner(ctx, Access::Write);
    const OwnerDaywork daywork = ReadOwnerDaywork(QDir::current().absoluteFilePath(ctx.args[1]));
    const OwnerDayworkImportResult result =
        WithConsentOption(QStringLiteral("要换成工作簿中的计日工，请加上 --replace。"),
                          [&] { return OwnerDayworkImport(dm->database()).importItems(contract, daywork, replace); });
    if (ctx.json) {
        printJson({{QStringLiteral("contract"), contract},
                   {QStringLiteral("imported"), result.items},
                   {QStringLiteral("replaced"), result.replaced}});
        return 0;
    }
    out() << QStringLiteral("已向合同段 %1 导入 %2 项计日工").arg(contract).arg(result.items);
    if (result.replaced > 0)
        out() << QStringLiteral("（替换了原有的 %1 项）").arg(result.replaced);
    out() << Qt::endl;
    return 0;
}

} // namespace

OwnerSubcommand OwnerImportBoqSubcommand() {
    return {
        QStringLiteral("import-boq"), QStringLiteral("owner import-boq CONTRACT WORKBOOK [--replace]"),
        QStringLiteral("从工作簿（.xls 或 .xlsx）的工作表“工程量清单”读入合同段 CONTRACT 的工程量清单：列“细目编号”、\n"
                       "“细目名称”、“单位”、“合同数量”，单位为“暂定金总额”的行另取“合价”作为暂定金额；别的列（包括\n"
                       "“合同单价”）不读，单价和金额都留空。章、节、段照投标人的导入推出，缺少章行的章补上章行\n"
                       "（如“300 路面”）。有内容却没有细目编号的行、前后有空格或不以数字开头的细目编号、重复的\n"
                       "细目编号、不是数字或为负的数量和暂定金额都使整个工作簿不导入，并列出这些行。合同段已有\n"
                       "清单时不导入，加 --replace 替换原有的清单。"),
        importBoq};
}

OwnerSubcommand OwnerImportDayworkSubcommand() {
    return {QStringLiteral("import-daywork"), QStringLiteral("owner import-daywork CONTRACT WORKBOOK [--replace]"),
            QStringLiteral("从工作簿的三张工作表“计日工劳务”“计日工材料”“计日工施工机械”（列“编号”“名称”“单位”\n"
                           "“数量”）读入合同段 CONTRACT 的计日工（表别 1、2、3），不带单价。缺少工作表或标题、有内容\n"
                           "却没有编号的行、同一张表中重复的编号、不是数字或为负的数量都使整个工作簿不导入，并列出\n"
                           "这些行。合同段已有计日工时不导入，加 --replace 替换。"),
            importDaywork};
}

} // namespace tenvora::cli

// The report command: report B of one chapter (or of every chapter) without the preview.
#include "Cli.h"

#include "report_engine/PageRenderer.h"
#include "reports/BoqChapterReport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

namespace tenvora::cli {

namespace {

const QString kUsage = QStringLiteral("tenvora report B (--chapter C [--pdf 文件] | --all-chapters --out 文件夹)");

// The filled template as the request left it: every named object's lines and the rows of
// every data set the template reads.
QJsonObject describe(ReportContext& rc, int pages) {
    QJsonObject objects;
    for (const report::ReportObject* o : rc.Report1.namedObjects())
        objects.insert(o->name, QJsonArray::fromStringList(o->lineTexts()));
    QJsonObject datasets;
    for (const QString& name : rc.Report1.loadedTemplate().dataSetNames()) {
        const report::ReportDataSource* source = rc.Report1.dataSet(name);
        QJsonArray rows;
        const QStringList columns = source ? source->columns() : QStringList();
        for (int r = 0; source && r < source->rowCount(); ++r) {
            QJsonObject row;
            for (int c = 0; c < columns.size(); ++c)
                row.insert(columns[c], source->value(r, c).toString());
            rows.append(row);
        }
        datasets.insert(name, rows);
    }
    return {{QStringLiteral("template"), rc.templateName()},
            {QStringLiteral("objects"), objects},
            {QStringLiteral("datasets"), datasets},
            {QStringLiteral("pages"), pages}};
}

// A contract ID may hold characters that a file name cannot.
QString fileNamePart(QString text) {
    static const QString bad = QStringLiteral("/\\:*?\"<>|");
    for (QChar& c : text)
        if (bad.contains(c) || c.unicode() < 0x20)
            c = QLatin1Char('_');
    return text;
}

int oneChapter(Context& ctx, ReportContext& rc, const QString& chapter, const std::optional<QString>& pdf) {
    BoqChapterReport request(rc);
    if (!request.build(chapter))
        return 1;
    const report::RenderedDocument doc = rc.prepare();
    if (pdf)
        report::WritePdf(doc, QDir::current().absoluteFilePath(*pdf));
    if (ctx.json)
        printJson(describe(rc, doc.pageCount()));
    else if (pdf)
        out() << QStringLiteral("已写出 %1（%2 页）").arg(QDir::toNativeSeparators(*pdf)).arg(doc.pageCount())
              << Qt::endl;
    else
        out() << report::TextDump(doc);
    return 0;
}

int allChapters(Context& ctx, ReportContext& rc, const QString& outDir) {
    const QString dir = QDir::current().absoluteFilePath(outDir);
    if (!QDir().mkpath(dir))
        throw Error(QStringLiteral("无法建立文件夹 %1").arg(QDir::toNativeSeparators(dir)));
    BoqChapterReport request(rc);
    const QStringList chapters = request.chapters();
    if (chapters.isEmpty())
        throw Refused(QStringLiteral("当前合同段没有工程量清单"));
    const QString contract = rc.dm().session().CurContractID;
    QJsonArray written;
    QStringList skipped;
    for (const QString& chapter : chapters) {
        if (!request.build(chapter)) {
            skipped << chapter;
            continue;
        }
        const report::RenderedDocument doc = rc.prepare();
        const QString file =
            QDir(dir).filePath(QStringLiteral("B-%1-%2.pdf").arg(fileNamePart(contract), fileNamePart(chapter)));
        report::WritePdf(doc, file);
        written.append(QJsonObject{{QStringLiteral("chapter"), chapter},
                                   {QStringLiteral("file"), QDir::toNativeSeparators(file)},
                                   {QStringLiteral("pages"), doc.pageCount()}});
        if (!ctx.json)
            out() << QStringLiteral("第%1章：%2（%3 页）")
                         .arg(chapter, QDir::toNativeSeparators(file))
                         .arg(doc.pageCount())
                  << Qt::endl;
    }
    if (ctx.json)
        printJson(
            {{QStringLiteral("files"), written}, {QStringLiteral("skipped"), QJsonArray::fromStringList(skipped)}});
    return written.isEmpty() ? 1 : 0;
}

Command ReportCommand() {
    return {QStringLiteral("report"), QStringLiteral("B (--chapter C [--pdf 文件] | --all-chapters --out 文件夹)"),
            QStringLiteral("输出工程量清单报表（B）"),
            QStringLiteral("像“B.工程量清单报表”的“确定”一样先重算并保存保险费，再为当前合同段的一章\n"
                           "生成工程量清单报表，以输出代替预览：\n"
                           "  --chapter C       章号，如 100\n"
                           "  --pdf 文件        写成 PDF（字体嵌入）；不给时在标准输出打印各页的文字\n"
                           "  --all-chapters    当前合同段的每一章各写一个 PDF：文件夹/B-合同-章.pdf\n"
                           "  --out 文件夹      与 --all-chapters 同用\n"
                           "  --json            打印模板名、各命名对象的行、数据集的行与页数\n"
                           "一章除章行外没有子目时显示“没有纪录”，退出码 1。"),
            [](Context& ctx) {
                const std::optional<QString> chapter = ctx.takeOption(QStringLiteral("--chapter"));
                const std::optional<QString> pdf = ctx.takeOption(QStringLiteral("--pdf"));
                const std::optional<QString> outDir = ctx.takeOption(QStringLiteral("--out"));
                const bool all = ctx.takeFlag(QStringLiteral("--all-chapters"));
                ctx.expectArguments(1, kUsage);
                if (ctx.args.first().compare(QLatin1String("B"), Qt::CaseInsensitive) != 0)
                    throw UsageError(QStringLiteral("未知的报表 %1（可用 B）\n用法：%2").arg(ctx.args.first(), kUsage));
                if (all == chapter.has_value() || (all && (!outDir || pdf)) || (!all && outDir))
                    throw UsageError(QStringLiteral("用法：%1").arg(kUsage));

                auto dm = ctx.openAndLogin(Access::Write);
                dm->LoadCurrentContract();
                ReportContext rc(*dm);
                return all ? allChapters(ctx, rc, *outDir) : oneChapter(ctx, rc, *chapter, pdf);
            }};
}

} // namespace

const CommandRegistration registerReport(ReportCommand);

} // namespace tenvora::cli

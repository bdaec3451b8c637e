// The report commands: one report of the bid set, or the whole set, written without the preview.
#include "Cli.h"

#include "data/Money.h"
#include "datamgmt/FileCopy.h"
#include "report_engine/PageRenderer.h"
#include "reports/BidSet.h"
#include "reports/BoqChapterReport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

namespace tenvora::cli {

namespace {

const QString kUsage = QStringLiteral("tenvora report B (--chapter C [--pdf 文件] | --all-chapters --out 文件夹)\n"
                                      "      tenvora report C|D|E|labour|material|machinery|summary [--pdf 文件]");

// The filled template as the request left it: every named object's lines, the figures given
// by name and the rows of every data set the template reads.
QJsonObject describe(ReportContext& rc, const ReportRequest& request, int pages) {
    QJsonObject objects;
    for (const report::ReportObject* o : rc.Report1.namedObjects())
        objects.insert(o->name, QJsonArray::fromStringList(o->lineTexts()));
    QJsonObject figures;
    for (const auto& [name, text] : rc.Report1.figures())
        figures.insert(name, text);
    QJsonObject datasets;
    for (const QString& name : rc.Report1.loadedTemplate().dataSetNames()) {
        const report::ReportDataSource* source = rc.dataSet(name, &request);
        QJsonArray rows;
        const QStringList columns = source ? source->columns() : QStringList();
        for (int r = 0; source && r < source->rowCount(); ++r) {
            QJsonObject row;
            for (int c = 0; c < columns.size(); ++c)
                row.insert(columns[c], DisplayText(source->value(r, c), QString()));
            rows.append(row);
        }
        datasets.insert(name, rows);
    }
    return {{QStringLiteral("template"), rc.templateName()},
            {QStringLiteral("title"), request.title()},
            {QStringLiteral("objects"), objects},
            {QStringLiteral("figures"), figures},
            {QStringLiteral("datasets"), datasets},
            {QStringLiteral("pages"), pages}};
}

// A contract ID or a title may hold characters that a file name cannot.
QString fileNamePart(QString text) {
    static const QString bad = QStringLiteral("/\\:*?\"<>|");
    for (QChar& c : text)
        if (bad.contains(c) || c.unicode() < 0x20)
            c = QLatin1Char('_');
    return text;
}

QString outputFolder(const QString& dir) {
    const QString path = QDir::current().absoluteFilePath(dir);
    if (!QDir().mkpath(path))
        throw Error(QStringLiteral("无法建立文件夹 %1").arg(QDir::toNativeSeparators(path)));
    return path;
}

int runOne(Context& ctx, ReportContext& rc, ReportRequest& request, const std::optional<QString>& pdf) {
    if (const BuildResult built = request.build(); !built) {
        err() << built.refusal << Qt::endl;
        return 1;
    }
    const report::RenderedDocument doc = request.prepare();
    if (pdf)
        report::WritePdf(doc, ctx.targetFile(*pdf));
    if (ctx.json)
        printJson(describe(rc, request, doc.pageCount()));
    else if (pdf)
        out() << QStringLiteral("已写出 %1（%2 页）").arg(QDir::toNativeSeparators(*pdf)).arg(doc.pageCount())
              << Qt::endl;
    else
        out() << report::TextDump(doc);
    return 0;
}

int allChapters(Context& ctx, ReportContext& rc, const QString& outDir) {
    const QString dir = outputFolder(outDir);
    BoqChapterReport request(rc);
    const QStringList chapters = request.chapters();
    if (chapters.isEmpty())
        throw Refused(QStringLiteral("当前合同段没有工程量清单"));
    const QString contract = rc.dm().session().CurContractID;
    QJsonArray written;
    QStringList skipped;
    // The chapters' files take their names together once all are on the disk.
    std::vector<std::unique_ptr<StagedFile>> staged;
    for (const QString& chapter : chapters) {
        if (!request.build(chapter)) {
            skipped << chapter;
            continue;
        }
        const report::RenderedDocument doc = request.prepare();
        const QString file =
            QDir(dir).filePath(QStringLiteral("B-%1-%2.pdf").arg(fileNamePart(contract), fileNamePart(chapter)));
        staged.push_back(std::make_unique<StagedFile>(file));
        report::WritePdfTo(doc, staged.back()->device());
        staged.back()->flush();
        written.append(QJsonObject{{QStringLiteral("chapter"), chapter},
                                   {QStringLiteral("file"), QDir::toNativeSeparators(file)},
                                   {QStringLiteral("pages"), doc.pageCount()}});
    }
    for (const std::unique_ptr<StagedFile>& file : staged)
        file->commit();
    for (int i = 0; !ctx.json && i < written.size(); ++i) {
        const QJsonObject w = written[i].toObject();
        out() << QStringLiteral("第%1章：%2（%3 页）")
                     .arg(w.value(QStringLiteral("chapter")).toString(), w.value(QStringLiteral("file")).toString())
                     .arg(w.value(QStringLiteral("pages")).toInt())
              << Qt::endl;
    }
    if (ctx.json)
        printJson(
            {{QStringLiteral("files"), written}, {QStringLiteral("skipped"), QJsonArray::fromStringList(skipped)}});
    return written.isEmpty() ? 1 : 0;
}

Command ReportCommand() {
    return {QStringLiteral("report"),
            QStringLiteral("B (--chapter C [--pdf 文件] | --all-chapters --out 文件夹) | "
                           "C|D|E|labour|material|machinery|summary [--pdf 文件]"),
            QStringLiteral("输出投标报表中的一张（B、C、D、E、计日工单价表、投标报价汇总表）"),
            QStringLiteral("为当前合同段生成一张报表，以输出代替预览：\n"
                           "  B          工程量清单报表：像“确定”一样先重算并保存保险费\n"
                           "  C          专项暂定金额汇总表（先重写工作表 zdj）\n"
                           "  D          计日工汇总表\n"
                           "  E          工程量清单汇总表（第100、300、600章）\n"
                           "  labour     计日工劳务单价表\n"
                           "  material   计日工材料单价表\n"
                           "  machinery  计日工施工机械单价表\n"
                           "  summary    投标报价汇总表（第100章至700章）\n"
                           "选项：\n"
                           "  --chapter C       B 的章号，如 100\n"
                           "  --pdf 文件        写成 PDF（字体嵌入）；不给时在标准输出打印各页的文字\n"
                           "  --all-chapters    B：当前合同段的每一章各写一个 PDF：文件夹/B-合同-章.pdf\n"
                           "  --out 文件夹      与 --all-chapters 同用\n"
                           "  --json            打印模板名、标题、各命名对象的行、按名称给出的数值、数据集的行与页数\n"
                           "B 的一章除章行外没有子目时显示“没有纪录”，E 与 summary 没有当前合同段时显示\n"
                           "“请先选择合同”，退出码均为 1。"),
            [](Context& ctx) {
                const std::optional<QString> chapter = ctx.takeOption(QStringLiteral("--chapter"));
                const std::optional<QString> pdf = ctx.takeOption(QStringLiteral("--pdf"));
                const std::optional<QString> outDir = ctx.takeOption(QStringLiteral("--out"));
                const bool all = ctx.takeFlag(QStringLiteral("--all-chapters"));
                ctx.expectArguments(1, kUsage);
                const QString name = ctx.args.first();
                const bool isB = name.compare(QLatin1String("B"), Qt::CaseInsensitive) == 0;
                if (!isB && !ReportNames().contains(name, Qt::CaseInsensitive))
                    throw UsageError(QStringLiteral("未知的报表 %1（可用 B、%2）\n用法：%3")
                                         .arg(name, ReportNames().join(QStringLiteral("、")), kUsage));
                if (isB && (all == chapter.has_value() || (all && (!outDir || pdf)) || (!all && outDir)))
                    throw UsageError(QStringLiteral("用法：%1").arg(kUsage));
                if (!isB && (chapter || all || outDir))
                    throw UsageError(QStringLiteral("报表 %1 不分章\n用法：%2").arg(name, kUsage));

                auto dm = ctx.openAndLogin(Access::Write);
                dm->LoadCurrentContract();
                ReportContext rc(*dm);
                if (isB && all)
                    return allChapters(ctx, rc, *outDir);
                if (isB) {
                    BoqChapterReport request(rc, *chapter);
                    return runOne(ctx, rc, request, pdf);
                }
                const std::unique_ptr<ReportRequest> request = MakeReportRequest(rc, name);
                return runOne(ctx, rc, *request, pdf);
            }};
}

int printAll(Context& ctx, ReportContext& rc, const QString& outDir) {
    const PrintedBidSet printed = PrintBidSet(rc, QDir::current().absoluteFilePath(outDir));
    if (!printed.refusal.isEmpty())
        throw Refused(printed.refusal);
    for (const QString& note : printed.notes)
        err() << note << Qt::endl;
    QJsonArray files;
    for (const WrittenPdf& pdf : printed.files) {
        files.append(QJsonObject{{QStringLiteral("report"), pdf.name},
                                 {QStringLiteral("title"), pdf.title},
                                 {QStringLiteral("file"), QDir::toNativeSeparators(pdf.path)},
                                 {QStringLiteral("pages"), pdf.pages}});
        if (!ctx.json)
            out() << QStringLiteral("%1：%2（%3 页）").arg(pdf.title, QDir::toNativeSeparators(pdf.path)).arg(pdf.pages)
                  << Qt::endl;
    }
    if (ctx.json)
        printJson({{QStringLiteral("files"), files}});
    return 0;
}

Command PrintAllCommand() {
    return {
        QStringLiteral("print-all"), QStringLiteral("--dir 文件夹"), QStringLiteral("输出全套投标报表"),
        QStringLiteral("像“全套投标报表”一样为当前合同段生成全套投标报表：先保存一次保险费，\n"
                       "再生成 E、投标报价汇总表、有子目的每一章的 B、C、D 与三张计日工单价表。\n"
                       "每张报表写成文件夹中以报表名命名的 PDF，另写一份合订本“投标报表.pdf”\n"
                       "（目录页在前，各表保留自己的页码，每张报表一个书签），全部写好后一起换上（磁盘已满等失败时\n"
                       "文件夹保持原样，并说明文件和原因），然后打印写出的文件：\n"
                       "  --dir 文件夹   输出的文件夹（没有时建立）\n"
                       "  --json         以 JSON 打印写出的文件、报表名与页数\n"
                       "没有当前合同段时显示“请先选择合同”，退出码 1。"),
        [](Context& ctx) {
            const std::optional<QString> dir = ctx.takeOption(QStringLiteral("--dir"));
            ctx.expectArguments(0, QStringLiteral("tenvora print-all --dir 文件夹"));
            if (!dir)
                throw UsageError(QStringLiteral("缺少 --dir\n用法：tenvora print-all --dir 文件夹"));
            // The set stores the insurance line before its forms: a write.
            auto dm = ctx.openAndLogin(Access::Write);
            dm->LoadCurrentContract();
            ReportContext rc(*dm);
            return printAll(ctx, rc, *dir);
        }};
}

} // namespace

const CommandRegistration registerReport(ReportCommand);
const CommandRegistration registerPrintAll(PrintAllCommand);

} // namespace tenvora::cli

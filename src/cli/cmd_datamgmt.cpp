// Data management commands: backup, bid-disk, restore, check-file.
#include "Cli.h"

#include "boq/BidCheck.h"
#include "data/AppPaths.h"
#include "datamgmt/DataFileCheck.h"
#include "datamgmt/DataFileCopies.h"

#include <QDir>

namespace tenvora::cli {

namespace {

void report(const Context& ctx, const QString& message, const QList<QPair<QString, QString>>& files) {
    if (ctx.json) {
        QJsonObject o{{QStringLiteral("message"), message}};
        for (const auto& f : files)
            o.insert(f.first, QDir::toNativeSeparators(f.second));
        printJson(o);
        return;
    }
    out() << message << Qt::endl;
}

// The same steps as the menu command (WithDataFileClosed); beforeCopy runs on the open file first
// and may refuse (the bid check of the bid disk).
int runBackup(Context& ctx, CopyKind kind, const QString& usage,
              const std::function<void(DataModule&)>& beforeCopy = {}) {
    ctx.expectArguments(1, usage);
    if (ctx.args.first().isEmpty())
        throw Refused(DataFileCopies::emptyNameText());
    const QString target = ctx.targetFile(ctx.args.first());
    auto dm = ctx.openAndLogin(Access::Write);
    if (beforeCopy)
        beforeCopy(*dm);
    QString done;
    WithDataFileClosed(*dm, [&] { done = DataFileCopies(*dm, kind).backupTo(target); });
    report(ctx, done, {{QStringLiteral("file"), target}});
    return 0;
}

Command BackupCommand() {
    return {QStringLiteral("backup"), QStringLiteral("DEST"), QStringLiteral("数据备份：把数据文件复制为 DEST"),
            QStringLiteral("像“数据备份”一样，把数据文件复制为 DEST（已有同名文件时直接替换）。\n"
                           "复制先写入同一文件夹中的临时文件，写好并核对后才换上，失败时不留下不完整的文件。"),
            [](Context& ctx) { return runBackup(ctx, CopyKind::Backup, QStringLiteral("tenvora backup DEST")); }};
}

Command BidDiskCommand() {
    return {QStringLiteral("bid-disk"), QStringLiteral("DEST [--anyway]"),
            QStringLiteral("生成投标盘：把数据文件复制为 DEST"),
            QStringLiteral("像“生成投标盘”一样，先做投标检查（tenvora check），再把数据文件复制为 DEST\n"
                           "（已有同名文件时直接替换）。检查发现问题时列出各类问题的条数，不生成投标盘，\n"
                           "退出码 1；加 --anyway 时照样生成。"),
            [](Context& ctx) {
                const bool anyway = ctx.takeFlag(QStringLiteral("--anyway"));
                return runBackup(ctx, CopyKind::BidDisk, QStringLiteral("tenvora bid-disk DEST [--anyway]"),
                                 [anyway](DataModule& dm) {
                                     dm.LoadCurrentContract();
                                     const BidCheckResult check = CheckBeforeBidDisk(dm);
                                     if (check.clean())
                                         return;
                                     if (!anyway)
                                         throw Refused(QStringLiteral("投标检查发现问题：%1。\n没有生成投标盘；"
                                                                      "要照样生成请加 --anyway")
                                                           .arg(check.summary()));
                                     err() << QStringLiteral("投标检查：%1").arg(check.summary()) << Qt::endl;
                                 });
            }};
}

Command RestoreCommand() {
    return {QStringLiteral("restore"), QStringLiteral("SRC"), QStringLiteral("数据恢复：用 SRC 替换数据文件"),
            QStringLiteral("像“数据恢复”一样，用备份文件 SRC 替换数据文件。SRC 必须是本系统的数据文件；\n"
                           "替换前，当前数据文件保留为同一文件夹中的 <数据文件>.before-restore。"),
            [](Context& ctx) {
                ctx.expectArguments(1, QStringLiteral("tenvora restore SRC"));
                const QString source = QDir::current().absoluteFilePath(ctx.args.first());
                auto dm = ctx.openAndLogin(Access::Write);
                QString done;
                WithDataFileClosed(*dm, [&] { done = DataFileCopies(*dm).restore(source); });
                const QString safety = DataFileCopies::SafetyCopyPath(dm->dataFilePath());
                report(ctx, done, {{QStringLiteral("restored"), source}, {QStringLiteral("safetyCopy"), safety}});
                if (!ctx.json)
                    out() << QStringLiteral("原数据文件保留为 %1").arg(QDir::toNativeSeparators(safety)) << Qt::endl;
                return 0;
            }};
}

// Reads the whole file, as the copies do; the open alone reads only the catalogue.
Command CheckFileCommand() {
    return {QStringLiteral("check-file"), QStringLiteral("[FILE]"), QStringLiteral("检查数据文件是否完好"),
            QStringLiteral("读出数据文件（或 FILE）的每一页，检查密码、数据表和文件结构（包括索引）。\n"
                           "完好时退出码为 0；文件损坏或不是本系统的数据文件时说明原因（比应有的短、\n"
                           "第几页已损坏、索引不一致……），退出码为 1。不需要登录；除撤销被中断的修改外不改动文件。\n"
                           "上次的修改被中断（程序被强行结束或断电，文件旁留有日志文件 <文件>-journal）时，\n"
                           "先像每次打开一样撤销那次修改再检查，并说明这一点；文件不能写入时不撤销，\n"
                           "只说明下次以可写方式打开时会撤销，并检查撤销后的内容。"),
            [](Context& ctx) {
                const bool named = ctx.args.size() == 1 && !ctx.args.first().startsWith(QLatin1String("--"));
                ctx.expectArguments(named ? 1 : 0, QStringLiteral("tenvora check-file [FILE]"));
                const QString file = named ? QDir::current().absoluteFilePath(ctx.args.first()) : ctx.dataPath;
                report(ctx, CheckDataFile(file), {{QStringLiteral("file"), file}});
                return 0;
            }};
}

} // namespace

const CommandRegistration registerCheckFile(CheckFileCommand);
const CommandRegistration registerBackup(BackupCommand);
const CommandRegistration registerBidDisk(BidDiskCommand);
const CommandRegistration registerRestore(RestoreCommand);

} // namespace tenvora::cli

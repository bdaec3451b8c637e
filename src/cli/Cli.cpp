#include "Cli.h"

#include "data/AppPaths.h"
#include "data/NumberInput.h"
#include "datamgmt/FileCopy.h"
#include "shell/LoginRules.h"

#include <QDir>
#include <QJsonDocument>
#include <optional>

namespace tenvora::cli {

namespace {

QTextStream* g_out = nullptr;
QTextStream* g_err = nullptr;

QString overview() {
    QString text =
        QStringLiteral("用法：tenvora [--data 文件] [--unit 投标单位 --password 密码] [--json] 命令 [参数]\n\n"
                       "  --data 文件      数据文件；默认为本程序所在文件夹中的 VORQEL.tr\n"
                       "  --unit 名称      登录的投标单位（也可用环境变量 TENVORA_UNIT）\n"
                       "  --password 密码  该单位的密码（也可用环境变量 TENVORA_PASSWORD）\n"
                       "  --json           以 JSON 输出\n"
                       "  --help           显示本说明；“tenvora 命令 --help”显示该命令的说明\n\n"
                       "除 create-demo、accounts、check-file 与 owner 外，每个命令都先像登录对话框一样登录；\n"
                       "owner 的命令用招标人的帐户登录（见 tenvora owner --help）。\n"
                       "退出码：0 成功，1 操作被拒绝或失败，2 命令行用法错误。\n\n命令：\n");
    int width = 0;
    for (const Command& c : Commands())
        width = std::max(width, static_cast<int>(c.name.size()));
    for (const Command& c : Commands())
        text += QStringLiteral("  %1  %2\n").arg(c.name.leftJustified(width), c.summary);
    return text;
}

int runCommand(const Command& command, Context& ctx) {
    try {
        return command.run(ctx);
    } catch (const UsageError& e) {
        err() << e.text() << Qt::endl;
        return 2;
    } catch (const Error& e) {
        err() << e.text() << Qt::endl;
        return 1;
    } catch (const std::exception& e) {
        err() << QString::fromLocal8Bit(e.what()) << Qt::endl;
        return 1;
    }
}

} // namespace

QTextStream& out() {
    static QTextStream stream(stdout);
    return g_out ? *g_out : stream;
}

QTextStream& err() {
    static QTextStream stream(stderr);
    return g_err ? *g_err : stream;
}

CapturedOutput::CapturedOutput() : m_outStream(&m_out), m_errStream(&m_err) {
    cli::out().flush();
    cli::err().flush();
    g_out = &m_outStream;
    g_err = &m_errStream;
}

CapturedOutput::~CapturedOutput() {
    g_out = nullptr;
    g_err = nullptr;
}

QString CapturedOutput::out() {
    m_outStream.flush();
    return m_out;
}

QString CapturedOutput::err() {
    m_errStream.flush();
    return m_err;
}

int RunCommandLine(const QStringList& args, Context ctx) {
    QString commandName;
    bool ownOptions = false; // the command takes the login options after its name as its own
    bool help = false;
    QStringList rest;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        if (a == QLatin1String("--json")) {
            ctx.json = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            help = true;
        } else if (!ownOptions &&
                   (a == QLatin1String("--data") || a == QLatin1String("--unit") || a == QLatin1String("--password"))) {
            const std::optional<QString> v = value();
            if (!v) {
                err() << QStringLiteral("%1 需要一个值").arg(a) << Qt::endl;
                return 2;
            }
            if (a == QLatin1String("--data"))
                ctx.dataPath = QDir::current().absoluteFilePath(*v);
            else if (a == QLatin1String("--unit"))
                ctx.unit = *v;
            else
                ctx.password = *v;
        } else if (commandName.isEmpty() && !a.startsWith(QLatin1String("--"))) {
            commandName = a;
            for (const Command& c : Commands())
                if (c.name == commandName)
                    ownOptions = c.ownOptionsAfterName;
        } else {
            rest << a;
        }
    }

    if (commandName.isEmpty()) {
        (help ? out() : err()) << overview();
        return help ? 0 : 2;
    }
    for (const Command& c : Commands()) {
        if (c.name != commandName)
            continue;
        if (help) {
            out() << QStringLiteral("用法：tenvora [全局选项] %1 %2\n\n%3\n").arg(c.name, c.usage, c.help);
            return 0;
        }
        ctx.args = rest;
        return runCommand(c, ctx);
    }
    err() << QStringLiteral("未知的命令 %1\n\n").arg(commandName) << overview();
    return 2;
}

void Context::lockForWriting() {
    if (!lock)
        lock = std::make_unique<DataFileLock>(dataPath);
    lock->acquire(kLockWait);
}

std::unique_ptr<DataModule> Context::open(Access access) {
    if (access == Access::Write)
        lockForWriting();
    return std::make_unique<DataModule>(dataPath);
}

std::unique_ptr<DataModule> Context::openAndLogin(Access access) {
    if (unit.isEmpty())
        throw UsageError(
            QStringLiteral("需要登录：请给出 --unit 和 --password（或设置 TENVORA_UNIT、TENVORA_PASSWORD）"));
    auto dm = open(access);
    LoginRules rules(*dm);
    // The dialog only lets the user pick a listed unit; the command holds to the same list.
    if (!rules.accountsOffered().contains(unit))
        throw Refused(QStringLiteral("投标单位“%1”不在可登录的单位之中").arg(unit));
    // A reading command may run beside the workbench; the file that program holds gets no write.
    const LoginRules::Marker marker = access == Access::Write || !DataFileLock::otherHolder(dataPath)
                                          ? LoginRules::Marker::Write
                                          : LoginRules::Marker::Skip;
    if (!rules.login(unit, password, marker))
        throw Refused(LoginRules::wrongPasswordText());
    if (!rules.notice().isEmpty())
        err() << rules.notice() << Qt::endl;
    return dm;
}

bool Context::takeFlag(const QString& name) {
    return args.removeAll(name) > 0;
}

std::optional<QString> Context::takeOption(const QString& name) {
    const qsizetype i = args.indexOf(name);
    if (i < 0)
        return std::nullopt;
    if (i + 1 >= args.size())
        throw UsageError(QStringLiteral("%1 需要一个值").arg(name));
    const QString value = args.at(i + 1);
    args.remove(i, 2);
    return value;
}

void Context::expectArguments(int count, const QString& usage) const {
    for (const QString& a : args)
        if (a.startsWith(QLatin1String("--")))
            throw UsageError(QStringLiteral("未知的选项 %1\n用法：%2").arg(a, usage));
    if (args.size() != count)
        throw UsageError(QStringLiteral("参数个数不对\n用法：%1").arg(usage));
}

QString Context::targetFile(const QString& given) const {
    CheckTargetFileName(given);
    return QDir::current().absoluteFilePath(given);
}

void printJson(const QJsonObject& object) {
    out() << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) << Qt::endl;
}

namespace {

int displayWidth(const QString& text) {
    int width = 0;
    for (const QChar c : text)
        width += c.unicode() >= 0x1100 ? 2 : 1; // CJK and full-width forms take two columns
    return width;
}

QString padded(const QString& text, int width) {
    return text + QString(width - displayWidth(text), QLatin1Char(' '));
}

} // namespace

void printKeyValues(const QList<QPair<QString, QString>>& pairs) {
    int width = 0;
    for (const auto& p : pairs)
        width = std::max(width, displayWidth(p.first));
    for (const auto& p : pairs)
        out() << padded(p.first + QLatin1Char(':'), width + 1) << ' ' << p.second << Qt::endl;
}

void printTable(const QStringList& headers, const QList<QStringList>& rows) {
    QList<int> widths;
    for (const QString& h : headers)
        widths << displayWidth(h);
    for (const QStringList& r : rows)
        for (int i = 0; i < r.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], displayWidth(r[i]));
    auto line = [&](const QStringList& cells) {
        QString text;
        for (int i = 0; i < widths.size(); ++i)
            text += padded(cells.value(i), widths[i]) + (i + 1 < widths.size() ? QStringLiteral("  ") : QString());
        // Trailing blanks only: a row whose first cell is empty keeps its columns in line.
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        out() << text << Qt::endl;
    };
    line(headers);
    QStringList rule;
    for (int w : widths)
        rule << QString(w, QLatin1Char('-'));
    line(rule);
    for (const QStringList& r : rows)
        line(r);
}

void printSession(const Context& ctx, const SessionValues& s) {
    const QList<QPair<QString, QString>> pairs = {
        {QStringLiteral("CurProjectID"), s.CurProjectID},     {QStringLiteral("CurContractID"), s.CurContractID},
        {QStringLiteral("CurProjectName"), s.CurProjectName}, {QStringLiteral("CurContractName"), s.CurContractName},
        {QStringLiteral("CurPeriodID"), s.CurPeriodID},       {QStringLiteral("CurChainage"), s.CurChainage},
        {QStringLiteral("CurUnitName"), s.CurUnitName},
    };
    if (ctx.json) {
        QJsonObject o;
        for (const auto& p : pairs)
            o.insert(p.first, p.second);
        printJson(o);
        return;
    }
    const QStringList labels = {QStringLiteral("项目ID"),   QStringLiteral("合同ID"), QStringLiteral("项目名称"),
                                QStringLiteral("合同名称"), QStringLiteral("期数ID"), QStringLiteral("桩号"),
                                QStringLiteral("投标单位")};
    QList<QPair<QString, QString>> human;
    for (int i = 0; i < pairs.size(); ++i)
        human << qMakePair(labels[i], pairs[i].second);
    printKeyValues(human);
}

QJsonObject DataSetRowJson(const DataSet& set, int row) {
    QJsonObject o;
    for (int c = 0; c < set.columnCount(); ++c)
        if (c != set.keyIndex())
            o.insert(set.columns().at(c), QJsonValue::fromVariant(set.value(row, c)));
    return o;
}

QVariant PriceArgument(const QString& text) {
    // An empty text clears the price, as emptying the cell does.
    if (text.trimmed().isEmpty())
        return {};
    const std::optional<double> number = ParseNumberInput(text);
    if (!number)
        throw UsageError(QStringLiteral("单价“%1”不是数字：%2").arg(text, NumberInputProblem(text)));
    return *number;
}

int RunSubcommand(Context& ctx, const QString& usage, const QList<QPair<QString, std::function<int(Context&)>>>& subs) {
    if (ctx.args.isEmpty())
        throw UsageError(QStringLiteral("缺少子命令\n用法：%1").arg(usage));
    const QString sub = ctx.args.takeFirst();
    for (const auto& s : subs)
        if (s.first == sub)
            return s.second(ctx);
    throw UsageError(QStringLiteral("未知的子命令 %1\n用法：%2").arg(sub, usage));
}

} // namespace tenvora::cli

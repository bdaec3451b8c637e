#include "boq/Workbook.h"

#include "boq/CellSink.h"
#include "boq/XlsxReader.h"
#include "data/SystemErrorText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cmath>

#include <freexl.h>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>
#endif

namespace tenvora {

namespace {

// The helper reads a whole sheet in well under a second; a minute means it is stuck.
constexpr int kHelperTimeoutMs = 60000;
// The largest sheet an Excel 97-2003 file can hold.
constexpr qint64 kMaxRows = 65536;
constexpr qint64 kMaxColumns = 256;
// What a dump may describe: the sheet limits of the newer format, and no more cells than the
// largest Excel 97-2003 sheet (the .xlsx reader caps its sheets far below that).
constexpr qint64 kMaxDumpCells = kMaxRows * kMaxColumns;

const QByteArray kDumpHeader = QByteArrayLiteral("tenvora-workbook 1");
const QByteArray kFailureHeader = QByteArrayLiteral("tenvora-workbook-error\t");

// Closes the handle on every way out, including a failed open that still allocated one.
class FreeXlHandle {
public:
    FreeXlHandle() = default;
    FreeXlHandle(const FreeXlHandle&) = delete;
    FreeXlHandle& operator=(const FreeXlHandle&) = delete;
    ~FreeXlHandle() {
        if (m_handle)
            freexl_close(m_handle);
    }
    const void** out() { return &m_handle; }
    const void* get() const { return m_handle; }

private:
    const void* m_handle = nullptr;
};

QString openFailureText(int rc) {
    switch (rc) {
    case FREEXL_FILE_NOT_FOUND:
        return QStringLiteral("文件不存在或无法打开");
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE:
        return QStringLiteral("不是 Excel 97-2003 工作簿（.xls）");
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
        return QStringLiteral("文件中没有工作簿数据");
    case FREEXL_CFBF_READ_ERROR:
    case FREEXL_CFBF_SEEK_ERROR:
        return QStringLiteral("文件不完整（可能只复制了一部分）或已损坏");
    case FREEXL_INSUFFICIENT_MEMORY:
        return QStringLiteral("内存不足，无法读取");
    case FREEXL_CRAFTED_FILE:
        return QStringLiteral("文件结构异常，已拒绝读取");
    default:
        return QStringLiteral("文件已损坏（错误代码 %1）").arg(rc);
    }
}

[[noreturn]] void fail(const QString& reason) {
    throw WorkbookError(reason);
}

QString utf8OrEmpty(const char* text) {
    return text ? QString::fromUtf8(text) : QString();
}

void readSheet(const void* handle, int index, const QString& name, CellSink& sink) {
    const auto sheetIndex = static_cast<unsigned short>(index);
    if (freexl_select_active_worksheet(handle, sheetIndex) != FREEXL_OK)
        fail(QStringLiteral("工作表“%1”无法读取").arg(name));
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK)
        fail(QStringLiteral("工作表“%1”的大小无法读取").arg(name));
    if (rows > kMaxRows || columns > kMaxColumns)
        fail(QStringLiteral("工作表“%1”的大小（%2 行 %3 列）超出 Excel 97-2003 的范围")
                 .arg(name)
                 .arg(rows)
                 .arg(columns));

    sink.beginSheet(index, static_cast<int>(rows), columns);
    for (unsigned int r = 0; r < rows; ++r) {
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue value;
            if (freexl_get_cell_value(handle, r, c, &value) != FREEXL_OK)
                fail(QStringLiteral("工作表“%1”第 %2 行第 %3 列的单元格无法读取").arg(name).arg(r + 1).arg(c + 1));
            switch (value.type) {
            case FREEXL_CELL_INT:
                sink.numberCell(value.value.int_value);
                break;
            case FREEXL_CELL_DOUBLE:
                if (std::isfinite(value.value.double_value))
                    sink.numberCell(value.value.double_value);
                else
                    sink.emptyCell();
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME:
                sink.textCell(value.value.text_value ? QByteArrayView(value.value.text_value) : QByteArrayView(""));
                break;
            default:
                sink.emptyCell();
                break;
            }
        }
    }
}

void readCells(const QString& path, const QString& onlySheet, CellSink& sink) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("文件不存在或无法打开"));
    // A workbook of the newer format is a zip archive, whatever its file name says.
    const bool zip = file.peek(4) == QByteArrayLiteral("PK\x03\x04");
    file.close();
    if (zip) {
        ReadXlsxCells(path, onlySheet, sink);
        return;
    }

    FreeXlHandle handle;
    const int rc = freexl_open(QFile::encodeName(path).constData(), handle.out());
    if (rc != FREEXL_OK)
        fail(openFailureText(rc));
    // FreeXL can report success without giving a handle; nothing can be read then.
    if (!handle.get())
        fail(QStringLiteral("文件已损坏，无法读取"));

    unsigned int password = 0;
    if (freexl_get_info(handle.get(), FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK &&
        password == FREEXL_BIFF_OBFUSCATED)
        fail(QStringLiteral("工作簿设有密码保护，无法读取"));
    unsigned int count = 0;
    if (freexl_get_info(handle.get(), FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK)
        fail(QStringLiteral("文件已损坏，工作表无法列出"));

    QStringList names;
    for (unsigned int i = 0; i < count && i <= 0xFFFF; ++i) {
        const char* raw = nullptr;
        if (freexl_get_worksheet_name(handle.get(), static_cast<unsigned short>(i), &raw) != FREEXL_OK)
            fail(QStringLiteral("文件已损坏，第 %1 个工作表的名称无法读取").arg(i + 1));
        names << utf8OrEmpty(raw);
    }
    sink.sheetNames(names);
    for (int i = 0; i < names.size(); ++i) {
        if (onlySheet.isEmpty() || names[i] == onlySheet)
            readSheet(handle.get(), i, names[i], sink);
        if (!onlySheet.isEmpty() && names[i] == onlySheet)
            break;
    }
}

bool needsEscape(char ch) {
    return ch == '\\' || ch == '\t' || ch == '\n' || ch == '\r';
}

void appendEscaped(QByteArray& out, QByteArrayView bytes) {
    if (std::none_of(bytes.begin(), bytes.end(), needsEscape)) {
        out += bytes;
        return;
    }
    for (const char ch : bytes) {
        switch (ch) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += ch;
        }
    }
}

[[noreturn]] void malformed(const QString& what) {
    throw WorkbookError(QStringLiteral("读取程序的输出不完整或无法识别（%1）").arg(what));
}

QString unescaped(QByteArrayView field) {
    if (!field.contains('\\'))
        return QString::fromUtf8(field);
    QByteArray bytes;
    bytes.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char ch = field[i];
        if (ch != '\\') {
            bytes += ch;
            continue;
        }
        if (++i >= field.size())
            malformed(QStringLiteral("转义不完整"));
        switch (field[i]) {
        case '\\':
            bytes += '\\';
            break;
        case 't':
            bytes += '\t';
            break;
        case 'n':
            bytes += '\n';
            break;
        case 'r':
            bytes += '\r';
            break;
        default:
            malformed(QStringLiteral("未知的转义"));
        }
    }
    return QString::fromUtf8(bytes);
}

qint64 wholeNumber(QByteArrayView text, qint64 limit) {
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    if (!ok || n < 0 || n > limit)
        malformed(QStringLiteral("数字“%1”").arg(QString::fromUtf8(text)));
    return n;
}

WorkbookCell parseCell(QByteArrayView field) {
    if (field.isEmpty())
        return {};
    const QByteArrayView body = field.sliced(1);
    if (field[0] == '#') {
        bool ok = false;
        const double d = body.toDouble(&ok);
        if (!ok || !std::isfinite(d))
            malformed(QStringLiteral("数值单元格"));
        return WorkbookCell::ofNumber(d);
    }
    if (field[0] == '\'')
        return WorkbookCell::ofText(unescaped(body));
    malformed(QStringLiteral("单元格"));
}

class ContentsSink : public CellSink {
public:
    void sheetNames(const QStringList& names) override { contents.sheetNames = names; }
    void beginSheet(int index, int rows, int columns) override {
        WorksheetCells& sheet = contents.sheets.emplace_back();
        sheet.name = contents.sheetNames.at(index);
        sheet.rows = rows;
        sheet.columns = columns;
        sheet.cells.reserve(static_cast<size_t>(rows) * static_cast<size_t>(columns));
    }
    void emptyCell() override { contents.sheets.back().cells.emplace_back(); }
    void numberCell(double value) override { contents.sheets.back().cells.push_back(WorkbookCell::ofNumber(value)); }
    void textCell(QByteArrayView utf8) override {
        contents.sheets.back().cells.push_back(WorkbookCell::ofText(QString::fromUtf8(utf8)));
    }

    WorkbookContents contents;
};

// Writes the dump as the cells arrive: a line per row, cells separated by tabs.
class DumpSink : public CellSink {
public:
    DumpSink() { m_out = kDumpHeader + '\n'; }

    void sheetNames(const QStringList& names) override {
        for (const QString& name : names) {
            m_out += "sheet\t";
            appendEscaped(m_out, name.toUtf8());
            m_out += '\n';
        }
    }
    void beginSheet(int index, int rows, int columns) override {
        m_out += "cells\t" + QByteArray::number(index) + '\t' + QByteArray::number(rows) + '\t' +
                 QByteArray::number(columns) + '\n';
        m_out.reserve(m_out.size() + static_cast<qsizetype>(rows) * columns * 12);
        m_columns = columns;
        m_column = 0;
        if (columns == 0)
            m_out += QByteArray(rows, '\n');
    }
    void emptyCell() override {
        beginCell();
        endCell();
    }
    void numberCell(double value) override {
        beginCell();
        m_out += '#';
        // The shortest form round-trips every value but writes -0 as "0".
        m_out += value == 0 && std::signbit(value) ? QByteArray("-0")
                                                   : QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
        endCell();
    }
    void textCell(QByteArrayView utf8) override {
        beginCell();
        m_out += '\'';
        appendEscaped(m_out, utf8);
        endCell();
    }

    QByteArray finish() {
        m_out += "end\n";
        return std::move(m_out);
    }

private:
    void beginCell() {
        if (m_column > 0)
            m_out += '\t';
    }
    void endCell() {
        if (++m_column == m_columns) {
            m_out += '\n';
            m_column = 0;
        }
    }

    QByteArray m_out;
    int m_columns = 0;
    int m_column = 0;
};

} // namespace

const WorksheetCells* WorkbookContents::sheet(const QString& name) const {
    for (const WorksheetCells& s : sheets)
        if (s.name == name)
            return &s;
    return nullptr;
}

WorkbookContents ReadWorkbookInProcess(const QString& path, const QString& onlySheet) {
    ContentsSink sink;
    readCells(path, onlySheet, sink);
    return std::move(sink.contents);
}

QByteArray WorkbookDump(const WorkbookContents& contents) {
    DumpSink sink;
    sink.sheetNames(contents.sheetNames);
    for (const WorksheetCells& s : contents.sheets) {
        sink.beginSheet(static_cast<int>(contents.sheetNames.indexOf(s.name)), s.rows, s.columns);
        for (const WorkbookCell& cell : s.cells) {
            if (cell.kind == WorkbookCell::Kind::Number)
                sink.numberCell(cell.number);
            else if (cell.kind == WorkbookCell::Kind::Text)
                sink.textCell(cell.text.toUtf8());
            else
                sink.emptyCell();
        }
    }
    return sink.finish();
}

WorkbookContents ParseWorkbookDump(const QByteArray& dump) {
    qsizetype pos = 0;
    auto nextLine = [&]() -> QByteArrayView {
        const qsizetype end = dump.indexOf('\n', pos);
        if (end < 0)
            malformed(QStringLiteral("缺少结束行"));
        const QByteArrayView line = QByteArrayView(dump).sliced(pos, end - pos);
        pos = end + 1;
        return line;
    };

    if (nextLine() != kDumpHeader)
        malformed(QStringLiteral("开头不对"));
    WorkbookContents contents;
    for (;;) {
        const QByteArrayView line = nextLine();
        if (line == "end")
            break;
        if (line.startsWith("sheet\t")) {
            if (!contents.sheets.empty())
                malformed(QStringLiteral("工作表名称的位置不对"));
            contents.sheetNames << unescaped(line.sliced(6));
            continue;
        }
        if (!line.startsWith("cells\t"))
            malformed(QStringLiteral("未知的行"));
        const QList<QByteArray> head = line.toByteArray().split('\t');
        if (head.size() != 4)
            malformed(QStringLiteral("表头行"));
        WorksheetCells sheet;
        const qint64 index = wholeNumber(head[1], contents.sheetNames.size() - 1);
        sheet.name = contents.sheetNames.at(index);
        sheet.rows = static_cast<int>(wholeNumber(head[2], kXlsxMaxRows));
        sheet.columns = static_cast<int>(wholeNumber(head[3], kXlsxMaxColumns));
        if (static_cast<qint64>(sheet.rows) * sheet.columns > kMaxDumpCells)
            malformed(QStringLiteral("工作表太大"));
        sheet.cells.reserve(static_cast<size_t>(sheet.rows) * static_cast<size_t>(sheet.columns));
        for (int r = 0; r < sheet.rows; ++r) {
            const QByteArrayView row = nextLine();
            if (sheet.columns == 0) {
                if (!row.isEmpty())
                    malformed(QStringLiteral("多余的单元格"));
                continue;
            }
            qsizetype start = 0;
            for (int c = 0; c < sheet.columns; ++c) {
                qsizetype end = row.indexOf('\t', start);
                if (end < 0)
                    end = row.size();
                if (c + 1 == sheet.columns && end != row.size())
                    malformed(QStringLiteral("第 %1 行的单元格太多").arg(r + 1));
                if (c + 1 < sheet.columns && end == row.size())
                    malformed(QStringLiteral("第 %1 行的单元格太少").arg(r + 1));
                sheet.cells.push_back(parseCell(row.sliced(start, end - start)));
                start = end + 1;
            }
        }
        contents.sheets.push_back(std::move(sheet));
    }
    if (pos != dump.size())
        malformed(QStringLiteral("结束行之后还有内容"));
    return contents;
}

WorkbookHelperOutput WorkbookHelperRun(const QString& path, const QString& onlySheet) {
    try {
        DumpSink sink;
        readCells(path, onlySheet, sink);
        return {sink.finish(), true};
    } catch (const WorkbookError& e) {
        QByteArray line = kFailureHeader;
        appendEscaped(line, e.text().toUtf8());
        return {line + '\n', false};
    }
}

QString WorkbookHelperProgram() {
    QString name = QStringLiteral("tenvora-xls");
#ifdef Q_OS_WIN
    name += QStringLiteral(".exe");
#endif
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

WorkbookContents ReadWorkbook(const QString& path, const QString& onlySheet) {
    const QFileInfo info(path);
    const QString shown = QDir::toNativeSeparators(path);
    // A pipe would hold the reader until someone writes into it; a folder or a device is no
    // workbook either, and saying it is missing would send the user looking for the wrong thing.
    if (const QString kind = NotAFileKind(path); !kind.isEmpty())
        fail(QStringLiteral("“%1”是一个%2，不是 Excel 工作簿文件").arg(shown, kind));
    if (info.isSymLink() && !info.exists())
        fail(QStringLiteral("“%1”是一个链接，它指向的文件不存在").arg(shown));
    if (!info.isFile())
        fail(QStringLiteral("文件“%1”不存在").arg(shown));
    QStringList args{info.absoluteFilePath()};
    if (!onlySheet.isEmpty())
        args << QStringLiteral("--sheet") << onlySheet;

    QProcess helper;
    helper.setProgram(WorkbookHelperProgram());
    helper.setArguments(args);
#ifdef Q_OS_LINUX
    // The reader ends with the process that started it, even when that one is killed outright.
    const pid_t parent = ::getpid();
    helper.setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) // the parent died before the line above took effect
            ::_exit(1);
    });
#endif
    helper.start(QIODevice::ReadOnly);
    if (!helper.waitForStarted())
        fail(QStringLiteral("无法启动读取程序 %1：%2")
                 .arg(QDir::toNativeSeparators(WorkbookHelperProgram()), helper.errorString()));
    if (!helper.waitForFinished(kHelperTimeoutMs)) {
        helper.kill();
        helper.waitForFinished();
        fail(QStringLiteral("读取超时，文件可能已损坏"));
    }
    if (helper.exitStatus() == QProcess::CrashExit)
        fail(QStringLiteral("文件已损坏，读取时出错"));
    const QByteArray output = helper.readAllStandardOutput();
    if (output.startsWith(kFailureHeader) && output.endsWith('\n') && output.count('\n') == 1)
        fail(
            unescaped(QByteArrayView(output).sliced(kFailureHeader.size(), output.size() - kFailureHeader.size() - 1)));
    if (helper.exitCode() != 0)
        fail(QStringLiteral("读取失败（退出码 %1）").arg(helper.exitCode()));
    return ParseWorkbookDump(output);
}

} // namespace tenvora

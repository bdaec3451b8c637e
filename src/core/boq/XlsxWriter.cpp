#include "boq/XlsxWriter.h"

#include "data/Money.h"
#include "data/SystemErrorText.h"
#include "datamgmt/FileCopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>

#include <xlsxwriter.h>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <locale.h>
#include <sys/statvfs.h>
#include <unistd.h>
#endif

namespace tenvora {

namespace {

constexpr int kA4 = 9;
constexpr double kMinWidth = 6;
constexpr double kMaxWidth = 50;

const QString kPricePattern = QStringLiteral("0.00");
const QString kAmountPattern = QStringLiteral("#,##0");

// The writer formats numbers with printf, which follows the desktop's locale: under a
// decimal-comma locale 12.5 would be written "12,5" and the file would be broken. While this
// lives the calling thread formats in the C locale.
class CNumberFormatting {
public:
    CNumberFormatting() {
#ifndef Q_OS_WIN
        m_c = newlocale(LC_ALL_MASK, "C", nullptr);
        if (m_c)
            m_old = uselocale(m_c);
#endif
    }
    ~CNumberFormatting() {
#ifndef Q_OS_WIN
        if (m_c) {
            uselocale(m_old);
            freelocale(m_c);
        }
#endif
    }
    CNumberFormatting(const CNumberFormatting&) = delete;
    CNumberFormatting& operator=(const CNumberFormatting&) = delete;

private:
#ifndef Q_OS_WIN
    locale_t m_c = nullptr;
    locale_t m_old = nullptr;
#endif
};

// The writer prints its own notices to stderr, in English, where a failure is then reported
// twice and half in words the user does not read. While it works they go nowhere: the export's
// message says what failed.
class QuietStandardError {
public:
    QuietStandardError() {
#ifndef Q_OS_WIN
        std::fflush(stderr);
        const int sink = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (sink < 0)
            return;
        m_saved = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
        if (m_saved >= 0)
            ::dup2(sink, 2);
        ::close(sink);
#endif
    }
    ~QuietStandardError() {
#ifndef Q_OS_WIN
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, 2);
        ::close(m_saved);
#endif
    }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int m_saved = -1;
};

// True when the file system of the folder has (next to) no room left.
bool folderIsFull(const QString& folder) {
#ifndef Q_OS_WIN
    struct statvfs fs {};
    return ::statvfs(QFile::encodeName(folder).constData(), &fs) == 0 &&
           static_cast<qint64>(fs.f_bavail) * static_cast<qint64>(fs.f_frsize) < 64 * 1024;
#else
    Q_UNUSED(folder);
    return false;
#endif
}

// The writer's error in the user's words. A failure of the file itself names its cause from
// the system's error (a full disk above all).
QString writerErrorText(lxw_error rc, int systemError, const QString& folder) {
    switch (rc) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return QStringLiteral("内存不足");
    case LXW_ERROR_CREATING_XLSX_FILE:
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_PARAMETER_ERROR:
    case LXW_ERROR_ZIP_BAD_ZIP_FILE:
    case LXW_ERROR_ZIP_INTERNAL_ERROR:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        if (systemError == ENOSPC || folderIsFull(folder))
            return SystemErrorText(ENOSPC);
        if (systemError != 0 && systemError != ENOENT)
            return SystemErrorText(systemError);
        return QStringLiteral("写入文件或压缩包时出错");
    case LXW_ERROR_SHEETNAME_LENGTH_EXCEEDED:
    case LXW_ERROR_INVALID_SHEETNAME_CHARACTER:
    case LXW_ERROR_SHEETNAME_START_END_APOSTROPHE:
    case LXW_ERROR_SHEETNAME_ALREADY_USED:
        return QStringLiteral("工作表名称无效");
    case LXW_ERROR_32_STRING_LENGTH_EXCEEDED:
    case LXW_ERROR_128_STRING_LENGTH_EXCEEDED:
    case LXW_ERROR_255_STRING_LENGTH_EXCEEDED:
        return QStringLiteral("文字太长（页眉等处最多 255 个字符）");
    case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED:
        return QStringLiteral("单元格的文字超过 Excel 允许的 32767 个字符");
    case LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE:
        return QStringLiteral("超出 Excel 工作表的行列范围（1048576 行）");
    default:
        return QStringLiteral("Excel 工作簿写入程序报告错误（代码 %1）").arg(static_cast<int>(rc));
    }
}

QString numberText(double value, XlsxCell kind) {
    switch (kind) {
    case XlsxCell::Price:
        return FormatNumber(value, kPricePattern);
    case XlsxCell::Amount:
        return FormatNumber(value, kAmountPattern);
    case XlsxCell::Percent:
        return FormatNumber(value * 100, kPricePattern) + QLatin1Char('%');
    default:
        return GeneralText(value);
    }
}

void check(lxw_error rc, const QString& sheet, int row) {
    if (rc != LXW_NO_ERROR)
        throw Error(QStringLiteral("工作表“%1”第 %2 行无法写入：%3")
                        .arg(sheet)
                        .arg(row + 1)
                        .arg(writerErrorText(rc, 0, QString())));
}

} // namespace

double XlsxDisplayWidth(const QString& text) {
    double width = 0;
    for (const QChar ch : text)
        width += ch.unicode() >= 0x2E80 ? 2 : 1;
    return width;
}

XlsxBook::XlsxBook(const QString& file, const QString& shown, const QString& scratch)
    : m_shown(shown), m_scratch(QFile::encodeName(scratch)) {
    lxw_workbook_options options{};
    options.tmpdir = m_scratch.data();
    // Rows go to the scratch file as they are written (texts inline), instead of being held
    // until the end: a large sheet is written faster and in little memory.
    options.constant_memory = 1;
    errno = 0;
    m_book = workbook_new_opt(QFile::encodeName(file).constData(), &options);
    if (!m_book)
        throw Error(
            QStringLiteral("无法创建 Excel 工作簿 %1：%2")
                .arg(QDir::toNativeSeparators(m_shown), writerErrorText(LXW_ERROR_CREATING_TMPFILE, errno, scratch)));
    m_heading = format();
    format_set_bold(m_heading);
    format_set_align(m_heading, LXW_ALIGN_CENTER);
    format_set_align(m_heading, LXW_ALIGN_VERTICAL_CENTER);
    format_set_text_wrap(m_heading);
    format_set_bg_color(m_heading, 0xD9D9D9);
    m_text = format();
    m_wrapped = format();
    format_set_text_wrap(m_wrapped);
    m_price = format();
    format_set_num_format(m_price, kPricePattern.toUtf8().constData());
    m_quantity = format();
    m_amount = format();
    format_set_num_format(m_amount, kAmountPattern.toUtf8().constData());
    m_percent = format();
    format_set_num_format(m_percent, "0.00%");
}

XlsxBook::~XlsxBook() {
    if (m_book)
        lxw_workbook_free(m_book);
}

lxw_format* XlsxBook::format() {
    lxw_format* f = workbook_add_format(m_book);
    format_set_font_name(f, "宋体");
    format_set_font_size(f, 10);
    format_set_border(f, LXW_BORDER_THIN);
    format_set_align(f, LXW_ALIGN_VERTICAL_CENTER);
    return f;
}

lxw_format* XlsxBook::formatFor(XlsxCell kind, bool wrap) const {
    switch (kind) {
    case XlsxCell::Price:
        return m_price;
    case XlsxCell::Quantity:
        return m_quantity;
    case XlsxCell::Amount:
        return m_amount;
    case XlsxCell::Percent:
        return m_percent;
    case XlsxCell::Text:
        break;
    }
    return wrap ? m_wrapped : m_text;
}

XlsxSheet XlsxBook::sheet(const QString& name, const QList<XlsxColumn>& columns) {
    lxw_worksheet* s = workbook_add_worksheet(m_book, name.toUtf8().constData());
    if (!s)
        throw Error(QStringLiteral("无法在工作簿中加入工作表“%1”").arg(name));
    return XlsxSheet(*this, s, name, columns);
}

void XlsxBook::close() {
    errno = 0;
    const lxw_error rc = workbook_close(m_book);
    const int error = errno;
    m_book = nullptr; // closing frees it, whatever the outcome
    if (rc != LXW_NO_ERROR)
        throw Error(
            QStringLiteral("写入 Excel 工作簿 %1 失败：%2")
                .arg(QDir::toNativeSeparators(m_shown), writerErrorText(rc, error, QString::fromUtf8(m_scratch))));
}

XlsxSheet::XlsxSheet(XlsxBook& book, lxw_worksheet* sheet, QString name, QList<XlsxColumn> columns)
    : m_book(book), m_sheet(sheet), m_name(std::move(name)), m_columns(std::move(columns)),
      m_range(static_cast<size_t>(m_columns.size()), {0.0, 0.0}) {
    for (int c = 0; c < m_columns.size(); ++c) {
        check(worksheet_write_string(m_sheet, 0, static_cast<lxw_col_t>(c), m_columns[c].heading.toUtf8().constData(),
                                     m_book.m_heading),
              m_name, 0);
        m_widths.push_back(XlsxDisplayWidth(m_columns[c].heading) + 2);
    }
}

void XlsxSheet::addRow(const QVariantList& values) {
    ++m_rows;
    const auto row = static_cast<lxw_row_t>(m_rows);
    for (int c = 0; c < m_columns.size(); ++c) {
        const XlsxColumn& column = m_columns[c];
        const auto col = static_cast<lxw_col_t>(c);
        const QVariant value = values.value(c);
        lxw_format* format = m_book.formatFor(column.kind, column.wrap);
        lxw_error rc = LXW_NO_ERROR;
        const bool figure = column.kind != XlsxCell::Text;
        const std::optional<double> number = figure ? NumberOf(value) : std::nullopt;
        if (value.isNull() || (figure && value.toString().trimmed().isEmpty())) {
            rc = worksheet_write_blank(m_sheet, row, col, format);
        } else if (number) {
            rc = worksheet_write_number(m_sheet, row, col, *number, format);
            auto& [low, high] = m_range[static_cast<size_t>(c)];
            low = std::min(low, *number);
            high = std::max(high, *number);
        } else {
            const QString shown = value.toString();
            rc = worksheet_write_string(m_sheet, row, col, shown.toUtf8().constData(), format);
            double& width = m_widths[static_cast<size_t>(c)];
            width = std::max(width, XlsxDisplayWidth(shown) + 2);
        }
        check(rc, m_name, m_rows);
    }
}

void XlsxSheet::finish(const QString& caption) {
    for (int c = 0; c < m_columns.size(); ++c) {
        const auto [low, high] = m_range[static_cast<size_t>(c)];
        double& width = m_widths[static_cast<size_t>(c)];
        for (const double v : {low, high})
            if (v != 0)
                width = std::max(width, XlsxDisplayWidth(numberText(v, m_columns[c].kind)) + 2);
        check(worksheet_set_column(m_sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                                   std::clamp(width, kMinWidth, kMaxWidth), nullptr),
              m_name, 0);
    }
    worksheet_freeze_panes(m_sheet, 1, 0);
    worksheet_set_paper(m_sheet, kA4);
    worksheet_fit_to_pages(m_sheet, 1, 0);
    check(worksheet_repeat_rows(m_sheet, 0, 0), m_name, 0);
    check(worksheet_print_area(m_sheet, 0, 0, static_cast<lxw_row_t>(m_rows),
                               static_cast<lxw_col_t>(std::max<qsizetype>(m_columns.size(), 1) - 1)),
          m_name, 0);
    // "&" starts a code in a header text; a caption may hold one.
    QString header = caption;
    header.replace(QLatin1Char('&'), QStringLiteral("&&"));
    check(worksheet_set_header(m_sheet, (QStringLiteral("&C") + header).toUtf8().constData()), m_name, 0);
    check(worksheet_set_footer(m_sheet, "&C第 &P 页 共 &N 页"), m_name, 0);
}

void WriteXlsxInPlace(const QString& path, const QString& unfinished, const std::function<void(XlsxBook&)>& fill) {
    // The workbook is written beside its target, the writer's own temporary files too: a full
    // temporary folder cannot stop the write, and a kill leaves nothing behind (StagedFile).
    const QString target = QFileInfo(path).absoluteFilePath();
    StagedFile staged(target);
    const QString folder = QFileInfo(target).absolutePath();
    try {
        const QuietStandardError quiet;
        const CNumberFormatting cLocale;
        XlsxBook book(staged.pathForWriting(), target, folder);
        fill(book);
        book.close();
        staged.commit();
    } catch (const Error& e) {
        throw Error(QStringLiteral("%1：%2").arg(unfinished, e.text()));
    }
}

} // namespace tenvora

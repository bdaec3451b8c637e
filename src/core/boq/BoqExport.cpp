#include "boq/BoqExport.h"

#include "boq/BoqImport.h"
#include "boq/ContractFigures.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "data/SystemErrorText.h"
#include "datamgmt/FileCopy.h"
#include "reports/ChineseAmount.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <functional>

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

// Width as a spreadsheet counts it: a CJK character takes two columns.
double displayWidth(const QString& text) {
    double width = 0;
    for (const QChar ch : text)
        width += ch.unicode() >= 0x2E80 ? 2 : 1;
    return width;
}

enum class CellKind { Text, Price, Quantity, Amount };

struct Column {
    QString heading;
    QString field;
    CellKind kind;
    bool wrap = false; // long descriptions wrap within the sized column
};

class Workbook {
public:
    // file: where the writer puts the archive (a stage); shown: the name the user gave;
    // scratch: the folder of the writer's own temporary files.
    Workbook(const QString& file, const QString& shown, const QString& scratch)
        : m_shown(shown), m_scratch(QFile::encodeName(scratch)) {
        lxw_workbook_options options{};
        options.tmpdir = m_scratch.data();
        // Rows go to the scratch file as they are written (texts inline), instead of being held
        // until the end: a large bill is written faster and in little memory.
        options.constant_memory = 1;
        errno = 0;
        m_book = workbook_new_opt(QFile::encodeName(file).constData(), &options);
        if (!m_book)
            throw Error(QStringLiteral("无法创建 Excel 工作簿 %1：%2")
                            .arg(QDir::toNativeSeparators(m_shown),
                                 writerErrorText(LXW_ERROR_CREATING_TMPFILE, errno, scratch)));
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
    }
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;
    ~Workbook() {
        if (m_book)
            lxw_workbook_free(m_book);
    }

    lxw_worksheet* sheet(const QString& name) {
        lxw_worksheet* s = workbook_add_worksheet(m_book, name.toUtf8().constData());
        if (!s)
            throw Error(QStringLiteral("无法在工作簿中加入工作表“%1”").arg(name));
        return s;
    }

    lxw_format* heading() const { return m_heading; }
    lxw_format* formatFor(CellKind kind, bool wrap) const {
        switch (kind) {
        case CellKind::Price:
            return m_price;
        case CellKind::Quantity:
            return m_quantity;
        case CellKind::Amount:
            return m_amount;
        case CellKind::Text:
            break;
        }
        return wrap ? m_wrapped : m_text;
    }

    void close() {
        errno = 0;
        const lxw_error rc = workbook_close(m_book);
        const int error = errno;
        m_book = nullptr; // closing frees it, whatever the outcome
        if (rc != LXW_NO_ERROR)
            throw Error(
                QStringLiteral("写入 Excel 工作簿 %1 失败：%2")
                    .arg(QDir::toNativeSeparators(m_shown), writerErrorText(rc, error, QString::fromUtf8(m_scratch))));
    }

private:
    lxw_format* format() {
        lxw_format* f = workbook_add_format(m_book);
        format_set_font_name(f, "宋体");
        format_set_font_size(f, 10);
        format_set_border(f, LXW_BORDER_THIN);
        format_set_align(f, LXW_ALIGN_VERTICAL_CENTER);
        return f;
    }

    QString m_shown;
    QByteArray m_scratch;
    lxw_workbook* m_book = nullptr;
    lxw_format* m_heading = nullptr;
    lxw_format* m_text = nullptr;
    lxw_format* m_wrapped = nullptr;
    lxw_format* m_price = nullptr;
    lxw_format* m_quantity = nullptr;
    lxw_format* m_amount = nullptr;
};

void check(lxw_error rc, const QString& sheet, int row) {
    if (rc != LXW_NO_ERROR)
        throw Error(QStringLiteral("工作表“%1”第 %2 行无法写入：%3")
                        .arg(sheet)
                        .arg(row + 1)
                        .arg(writerErrorText(rc, 0, QString())));
}

QString numberText(double value, CellKind kind) {
    switch (kind) {
    case CellKind::Price:
        return FormatNumber(value, kPricePattern);
    case CellKind::Amount:
        return FormatNumber(value, kAmountPattern);
    default:
        return GeneralText(value);
    }
}

// Columns sized to what they hold, the heading row frozen, and printed on A4 one page wide with
// the heading on every page, under the contract's name.
void finishSheet(lxw_worksheet* ws, const QString& name, const QString& caption, const std::vector<double>& widths,
                 int lastRow) {
    for (size_t c = 0; c < widths.size(); ++c) {
        const double width = std::clamp(widths[c], kMinWidth, kMaxWidth);
        check(worksheet_set_column(ws, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), width, nullptr), name, 0);
    }
    worksheet_freeze_panes(ws, 1, 0);
    worksheet_set_paper(ws, kA4);
    worksheet_fit_to_pages(ws, 1, 0);
    check(worksheet_repeat_rows(ws, 0, 0), name, 0);
    check(worksheet_print_area(ws, 0, 0, static_cast<lxw_row_t>(lastRow), static_cast<lxw_col_t>(widths.size() - 1)),
          name, 0);
    // "&" starts a code in a header text; a contract name may hold one.
    QString header = caption;
    header.replace(QLatin1Char('&'), QStringLiteral("&&"));
    check(worksheet_set_header(ws, (QStringLiteral("&C") + header).toUtf8().constData()), name, 0);
    check(worksheet_set_footer(ws, "&C第 &P 页 共 &N 页"), name, 0);
}

// A headed table of query rows on its own sheet.
void writeTable(Workbook& book, const QString& name, const QString& caption, const QList<Column>& columns,
                const Query& rows) {
    lxw_worksheet* ws = book.sheet(name);
    std::vector<double> widths;
    for (int c = 0; c < columns.size(); ++c) {
        check(worksheet_write_string(ws, 0, static_cast<lxw_col_t>(c), columns[c].heading.toUtf8().constData(),
                                     book.heading()),
              name, 0);
        widths.push_back(displayWidth(columns[c].heading) + 2);
    }
    std::vector<int> at;
    for (const Column& column : columns)
        at.push_back(rows.columnIndex(column.field));
    // The widest figure of a column is its smallest or its largest; only those two are formatted.
    std::vector<std::pair<double, double>> range(static_cast<size_t>(columns.size()), {0.0, 0.0});
    for (int r = 0; r < rows.recordCount(); ++r) {
        const auto row = static_cast<lxw_row_t>(r + 1);
        const QVariantList& values = rows.row(r);
        for (int c = 0; c < columns.size(); ++c) {
            const Column& column = columns[c];
            const auto col = static_cast<lxw_col_t>(c);
            const QVariant value = at[static_cast<size_t>(c)] < 0 ? QVariant() : values.at(at[static_cast<size_t>(c)]);
            lxw_format* format = book.formatFor(column.kind, column.wrap);
            lxw_error rc = LXW_NO_ERROR;
            const std::optional<double> number = column.kind == CellKind::Text ? std::nullopt : NumberOf(value);
            if (value.isNull() || (column.kind != CellKind::Text && value.toString().trimmed().isEmpty())) {
                rc = worksheet_write_blank(ws, row, col, format);
            } else if (number) {
                rc = worksheet_write_number(ws, row, col, *number, format);
                auto& [low, high] = range[static_cast<size_t>(c)];
                low = std::min(low, *number);
                high = std::max(high, *number);
            } else {
                // Item numbers and names stay text, "100" included; a figure the store holds as
                // unreadable text is kept as that text rather than lost.
                const QString shown = value.toString();
                rc = worksheet_write_string(ws, row, col, shown.toUtf8().constData(), format);
                double& width = widths[static_cast<size_t>(c)];
                width = std::max(width, displayWidth(shown) + 2);
            }
            check(rc, name, r + 1);
        }
    }
    for (int c = 0; c < columns.size(); ++c) {
        const auto [low, high] = range[static_cast<size_t>(c)];
        for (const double v : {low, high})
            if (v != 0)
                widths[static_cast<size_t>(c)] =
                    std::max(widths[static_cast<size_t>(c)], displayWidth(numberText(v, columns[c].kind)) + 2);
    }
    finishSheet(ws, name, caption, widths, rows.recordCount());
}

// The sheet "汇总": the chapter totals and the figures of the bid price, as the all-chapter
// summary prints them (the same figures, from ContractFigures).
void writeSummary(Workbook& book, const QString& caption, const AllChapterFigures& all) {
    const QString name = BoqExport::summarySheetName();
    lxw_worksheet* ws = book.sheet(name);
    const QStringList headings = {QStringLiteral("序号"), QStringLiteral("章次"), QStringLiteral("科目名称"),
                                  QStringLiteral("金额（元）")};
    std::vector<double> widths;
    for (int c = 0; c < headings.size(); ++c) {
        check(
            worksheet_write_string(ws, 0, static_cast<lxw_col_t>(c), headings[c].toUtf8().constData(), book.heading()),
            name, 0);
        widths.push_back(displayWidth(headings[c]) + 2);
    }
    struct Line {
        QString chapter;
        QString label;
        std::optional<qint64> amount;
        QString text; // a figure in words instead of an amount
    };
    QList<Line> lines;
    for (const ChapterTotal& c : all.chapters)
        lines << Line{c.code, QStringLiteral("第%1章 %2").arg(c.code, c.name).trimmed(), c.total, {}};
    // The rows after the chapters are numbered on from them, as on the printed form.
    const auto rowNumber = [first = all.chapters.size() + 1](int offset) { return QString::number(first + offset); };
    lines << Line{{}, all.boqTotalLabel(), all.boqTotal, {}}
          << Line{{}, QStringLiteral("已包含在清单合计中的专项暂定金额合计"), all.provisionalSums, {}}
          << Line{{}, QStringLiteral("清单合计减去专项暂定金额（%1－%2）").arg(rowNumber(0), rowNumber(1)), all.net, {}}
          << Line{{}, QStringLiteral("计日工合计"), all.daywork, {}}
          << Line{{}, QStringLiteral("不可预见费（%1×10%）").arg(rowNumber(2)), all.tenth, {}}
          << Line{{},
                  QStringLiteral("投标报价（%1＋%2＋%3）").arg(rowNumber(0), rowNumber(3), rowNumber(4)),
                  all.bidPrice,
                  {}}
          << Line{{}, QStringLiteral("投标报价（大写）"), std::nullopt, ChineseCapitalAmount(all.bidPrice)};
    for (int i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        const auto row = static_cast<lxw_row_t>(i + 1);
        lxw_format* text = book.formatFor(CellKind::Text, false);
        const QString number = line.amount ? QString::number(i + 1) : QString();
        const QStringList texts = {number, line.chapter, line.label};
        for (int c = 0; c < texts.size(); ++c) {
            check(worksheet_write_string(ws, row, static_cast<lxw_col_t>(c), texts[c].toUtf8().constData(), text), name,
                  i + 1);
            widths[static_cast<size_t>(c)] = std::max(widths[static_cast<size_t>(c)], displayWidth(texts[c]) + 2);
        }
        const QString shown = line.amount ? FormatNumber(static_cast<double>(*line.amount), kAmountPattern) : line.text;
        check(line.amount ? worksheet_write_number(ws, row, 3, static_cast<double>(*line.amount),
                                                   book.formatFor(CellKind::Amount, false))
                          : worksheet_write_string(ws, row, 3, line.text.toUtf8().constData(), text),
              name, i + 1);
        widths[3] = std::max(widths[3], displayWidth(shown) + 2);
    }
    finishSheet(ws, name, caption, widths, static_cast<int>(lines.size()));
}

QList<Column> billColumns() {
    const QStringList h = BoqExport::billHeadings();
    return {{h[0], QStringLiteral("细目编号"), CellKind::Text},
            {h[1], QStringLiteral("细目名称"), CellKind::Text, true},
            {h[2], QStringLiteral("单位"), CellKind::Text},
            {h[3], QStringLiteral("合同单价"), CellKind::Price},
            {h[4], QStringLiteral("合同数量"), CellKind::Quantity},
            {h[5], QStringLiteral("合同金额"), CellKind::Amount},
            {h[6], QStringLiteral("章"), CellKind::Text}};
}

QList<Column> dayworkColumns(Schedule s) {
    return {{QStringLiteral("细目编号"), QStringLiteral("ItemCode"), CellKind::Text},
            {QStringLiteral("细目名称"), QStringLiteral("ItemName"), CellKind::Text, true},
            {QStringLiteral("单位"), QStringLiteral("Unit"), CellKind::Text},
            {QStringLiteral("估计数量"), QStringLiteral("Amount"), CellKind::Quantity},
            {s == Schedule::Machinery ? QStringLiteral("租价(元/小时)") : QStringLiteral("单价"),
             QStringLiteral("UnitPrice"), CellKind::Price},
            {s == Schedule::Material ? QStringLiteral("合价") : QStringLiteral("合价（元）"),
             QStringLiteral("TotalMoney"), CellKind::Amount}};
}

} // namespace

QString BoqExport::dayworkSheetName(Schedule s) {
    return QStringLiteral("计日工") + ScheduleCaption(s);
}

QStringList BoqExport::billHeadings() {
    return BoqImport::headings() + QStringList{QStringLiteral("合价"), QStringLiteral("章")};
}

QString BoqExport::withSuffix(const QString& path) {
    // "out/." must not become the file "out/..xlsx".
    CheckTargetFileName(path);
    return QFileInfo(path).suffix().compare(QLatin1String("xlsx"), Qt::CaseInsensitive) == 0
               ? path
               : path + QStringLiteral(".xlsx");
}

QString BoqExport::doneText(const BoqExportResult& result) {
    return QStringLiteral("工程量清单已导出到 %1（清单 %2 行，计日工 %3 项）")
        .arg(QDir::toNativeSeparators(result.path))
        .arg(result.lines)
        .arg(result.dayworkItems);
}

BoqExportResult BoqExport::write(const QString& path) {
    const SessionValues& session = m_dm.session();
    const QString contract = session.CurContractID;
    if (contract.isEmpty())
        throw Refused(BoqImport::noContractMessage());

    auto bill = m_dm.NewQuery();
    m_dm.RunSql(*bill,
                QStringLiteral("select 细目编号, 细目名称, 单位, 合同单价, 合同数量, 合同金额, 章 from jd_htqd "
                               "where 是否补充 = 0 and 合同编号 = ? order by 细目编号 collate ITEMNO"),
                {contract}, true);
    std::vector<std::pair<Schedule, std::unique_ptr<Query>>> schedules;
    for (const Schedule s : {Schedule::Labour, Schedule::Material, Schedule::Machinery}) {
        auto q = m_dm.NewQuery();
        m_dm.RunSql(*q, DayworkLists::listSql(), {ScheduleCode(s), contract}, true);
        schedules.emplace_back(s, std::move(q));
    }

    // The figures as the bid-price form prints them, which stores the insurance line first; the
    // export itself writes nothing into the data file.
    ContractFigures figures = ContractFigures::read(m_dm, contract);
    figures.storeInsurance();
    const AllChapterFigures all = figures.bidPriceForm();

    BoqExportResult result;
    result.path = QFileInfo(path).absoluteFilePath();
    result.lines = bill->recordCount();

    // The workbook is written beside its target, the writer's own temporary files too: a full
    // temporary folder cannot stop the export, and a kill leaves nothing behind (StagedFile).
    StagedFile staged(result.path);
    const QString folder = QFileInfo(result.path).absolutePath();
    try {
        const QuietStandardError quiet;
        const CNumberFormatting cLocale;
        Workbook book(staged.pathForWriting(), result.path, folder);
        const QString caption = session.CurContractName.isEmpty() ? contract : session.CurContractName;
        writeTable(book, billSheetName(), caption, billColumns(), *bill);
        for (const auto& [s, rows] : schedules) {
            writeTable(book, dayworkSheetName(s), caption, dayworkColumns(s), *rows);
            result.dayworkItems += rows->recordCount();
        }
        writeSummary(book, caption, all);
        book.close();
        staged.commit();
    } catch (const Error& e) {
        throw Error(QStringLiteral("导出没有完成：%1").arg(e.text()));
    }
    return result;
}

} // namespace tenvora

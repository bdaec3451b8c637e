// Writing .xlsx workbooks (libxlsxwriter) the way every workbook of the program is written: a
// heading row frozen on each sheet, figures as number cells in fixed display formats, columns
// sized to what they hold, A4 one page wide with the headings on every page; and the file staged
// beside its target and put in place in one step, so a failed write leaves no half file.
#pragma once

#include "data/Errors.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace tenvora {

enum class XlsxCell {
    Text,     // written as text, numbers too ("100" stays an item number)
    Price,    // "0.00"
    Quantity, // as stored
    Amount,   // "#,##0"
    Percent,  // "0.00%", the value a fraction (0.125 shows 12.50%)
};

struct XlsxColumn {
    QString heading;
    XlsxCell kind = XlsxCell::Text;
    bool wrap = false; // long texts wrap within the sized column
};

class XlsxBook;

// One sheet being written, row after row below its headings.
class XlsxSheet {
public:
    // A null value is an empty cell (a blank text too in a figure column); a figure column holds
    // a number, or the value's text when it is none (a figure stored as unreadable text is kept
    // rather than lost). Throws Error naming the sheet and the row.
    void addRow(const QVariantList& values);
    // Sizes the columns and sets the page up, with caption in the page header.
    void finish(const QString& caption);
    int rows() const { return m_rows; }

private:
    friend class XlsxBook;
    XlsxSheet(XlsxBook& book, lxw_worksheet* sheet, QString name, QList<XlsxColumn> columns);

    XlsxBook& m_book;
    lxw_worksheet* m_sheet;
    QString m_name;
    QList<XlsxColumn> m_columns;
    std::vector<double> m_widths;
    // The widest figure of a column is its smallest or its largest; only those two are formatted.
    std::vector<std::pair<double, double>> m_range;
    int m_rows = 0;
};

class XlsxBook {
public:
    // A new workbook at file (a stage), named as shown in messages; the writer keeps rows in
    // scratch (a folder) as they are written, so a large sheet takes little memory. Throws Error
    // when it cannot be made.
    XlsxBook(const QString& file, const QString& shown, const QString& scratch);
    XlsxBook(const XlsxBook&) = delete;
    XlsxBook& operator=(const XlsxBook&) = delete;
    ~XlsxBook();

    // Adds a sheet and writes its heading row. Sheets are written one after the other: a sheet
    // is finished before the next is added.
    XlsxSheet sheet(const QString& name, const QList<XlsxColumn>& columns);
    // Writes the file. Throws Error when it cannot be written.
    void close();

private:
    friend class XlsxSheet;
    lxw_format* format();
    lxw_format* formatFor(XlsxCell kind, bool wrap) const;

    QString m_shown;
    QByteArray m_scratch;
    lxw_workbook* m_book = nullptr;
    lxw_format* m_heading = nullptr;
    lxw_format* m_text = nullptr;
    lxw_format* m_wrapped = nullptr;
    lxw_format* m_price = nullptr;
    lxw_format* m_quantity = nullptr;
    lxw_format* m_amount = nullptr;
    lxw_format* m_percent = nullptr;
};

// Writes a workbook with fill() beside path, without a name until it is whole on the disk
// (StagedFile, the writer's own temporary files there too), under the C locale's number
// formatting (the writer formats numbers with printf) and with the writer's own English notices
// silenced, and puts it in place of path in one step; an older file of that name stays as it was
// when anything fails, and a kill leaves nothing behind. Throws Refused for a path that is no
// file name, Error reading "<unfinished>：<why>" ("导出没有完成：…") otherwise.
void WriteXlsxInPlace(const QString& path, const QString& unfinished, const std::function<void(XlsxBook&)>& fill);

// Width as a spreadsheet counts it: a CJK character takes two columns.
double XlsxDisplayWidth(const QString& text);

} // namespace tenvora

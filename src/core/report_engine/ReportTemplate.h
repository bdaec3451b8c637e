// The loaded form of a report template: pages, bands and the text objects on them.
//
// Template files are XML; sizes are millimetres, font sizes points:
//   <report version="1" title="...">
//     <font id="default" families="宋体, SimSun, AR PL UMing CN" size="10" bold="false"/>  (ids used by memos)
//     <page name="Page1" paper="A4|A3|A5|B5" orientation="portrait|landscape" margins="left top right bottom">
//       (or width="" height="" instead of paper)
//       <band kind="page-header|title|column-header|data|summary|page-footer" height="" dataset="(data only)">
//       <band kind="group-header|group-footer" height="" group="column of the data set">
//         <memo name="" x="" y="" width="" height="" font="id" align="left|center|right"
//               valign="top|middle|bottom" border="all|none|left top right bottom" border-width="0.2"
//               padding="1" wrap="false" grow="false" format="0.00" blank-zero="false">
//           <line>text with [PAGE], [PAGES], [=figure] and, in a data band, [column] and [ROW];
//                 "[[" is a literal "["</line>
//         </memo>
// Each page prints its page header on every sheet, the title once, the column header on every
// sheet, one data band per row of its data set, the summary after the last row and the footer
// at the foot of every sheet. A group header prints before the first data row of each run of
// rows that hold one value in its group column (and again at the top of a sheet that such a run
// continues on), a group footer after the run's last row; both read the columns of the data set
// (the header of the run's first row, the footer of its last). A memo with grow makes its row as tall as its wrapped
// lines; memos whose foot meets the band's foot stretch with the row, so the cell borders stay aligned. [PAGE] and
// [PAGES] count the pages of this one layout, so a form appended to another keeps its own numbering. [=name] prints the
// figure the report code gave under that name (letter case ignored), so a summary row binds its figures by name and not
// by position; a figure that was not given is a fault. [ROW] is the data row's number from 1, unless the data set has a
// column of that name.
#pragma once

#include "data/Errors.h"

#include <QList>
#include <QMarginsF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

namespace tenvora::report {

// A template that cannot be read; the text names the file and, for XML faults, line and column.
class TemplateError : public Error {
public:
    using Error::Error;
};

enum class BandKind { PageHeader, Title, ColumnHeader, Data, Summary, PageFooter, GroupHeader, GroupFooter };
inline constexpr int kBandKinds = 8;
enum class HAlign { Left, Center, Right };
enum class VAlign { Top, Middle, Bottom };

enum BorderSide : unsigned {
    BorderNone = 0,
    BorderLeft = 1,
    BorderTop = 2,
    BorderRight = 4,
    BorderBottom = 8,
    BorderAll = 15,
};

struct FontSpec {
    QStringList families;
    double pointSize = 10;
    bool bold = false;
    bool italic = false;
    bool operator==(const FontSpec&) const = default;
};

// One line of a text object. Lines from the template may hold placeholders ("[PAGE]",
// "[PAGES]", "[column]"); lines inserted by report code are printed exactly as given.
struct MemoLine {
    QString text;
    bool fromTemplate = false;
};

// A named text object: a list of lines drawn in a rectangle of its band.
class ReportObject {
public:
    QString name;
    QRectF rect; // millimetres, relative to the band's top-left corner
    FontSpec font;
    HAlign align = HAlign::Left;
    VAlign valign = VAlign::Top;
    unsigned borders = BorderNone;
    double borderWidth = 0.2; // mm
    double padding = 1.0;     // mm, inside the borders
    bool wrap = false;        // break long lines at the object's width
    bool grow = false;        // the band grows so that every wrapped line shows
    QString format;           // display format of numbers in placeholders ("0.00", "#,##0")
    bool blankZero = false;   // a placeholder whose number is zero prints nothing
    int sourceLine = 0;       // where the object stands in its file, for messages

    QList<MemoLine> lines;

    QStringList lineTexts() const;
    // Inserts a literal line at index; an index past the end appends, a negative one prepends.
    void insertLine(int index, const QString& text);
};

struct Band {
    BandKind kind = BandKind::Data;
    double height = 0; // mm; a band with growing objects may get taller per row
    QString dataSet;   // adapter name read by a data band
    QString group;     // the data set's column a group header or footer follows
    QList<ReportObject> objects;
};

struct TemplatePage {
    QString name;
    QSizeF paper;      // mm, already turned for landscape
    QMarginsF margins; // mm
    QList<Band> bands;

    const Band* band(BandKind kind) const;
};

struct ReportTemplate {
    QString title;
    QString sourcePath;
    QList<TemplatePage> pages;

    bool isEmpty() const { return pages.isEmpty(); }
    // Adapter names that the template's data bands read, in page order, each once.
    QStringList dataSetNames() const;
};

// Reads a template file. Throws TemplateError with the file, line and column of a fault.
ReportTemplate ReadTemplate(const QString& path);
// The same from memory; sourceName stands for the file in messages.
ReportTemplate ParseTemplate(const QByteArray& xml, const QString& sourceName);

// The pieces of a template line: literal text and placeholder names ("[[" is a literal "[").
struct TextPart {
    QString text;
    bool placeholder = false;
};
// Throws TemplateError (without position) for an unclosed or empty placeholder.
QList<TextPart> SplitPlaceholders(const QString& line);

inline constexpr const char* kPagePlaceholder = "PAGE";
inline constexpr const char* kPagesPlaceholder = "PAGES";
inline constexpr const char* kRowPlaceholder = "ROW";
inline constexpr QChar kFigureMark = u'='; // "[=name]"

} // namespace tenvora::report

// The loaded form of a report template: pages, bands and the text objects on them.
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

enum class BandKind { PageHeader, Title, ColumnHeader, Data, Summary, PageFooter };
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

} // namespace tenvora::report

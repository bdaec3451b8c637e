// Filling the bands with data, breaking text into lines and breaking the rows into pages.
#pragma once

#include "report_engine/PlainGlyphs.h"
#include "report_engine/RenderedDocument.h"
#include "report_engine/ReportTemplate.h"

#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

namespace tenvora::report {

// The rows a data band reads, through the adapter name the template uses.
class ReportDataSource {
public:
    virtual ~ReportDataSource() = default;
    virtual QStringList columns() const = 0;
    virtual int rowCount() const = 0;
    virtual QVariant value(int row, int column) const = 0;
};

// Rows held in memory (generated data, tests, a data set copied out of a query).
class TableDataSource : public ReportDataSource {
public:
    explicit TableDataSource(QStringList columns = {}) : m_columns(std::move(columns)) {}
    void addRow(const QVariantList& row) { m_rows.push_back(row); }
    QStringList columns() const override { return m_columns; }
    int rowCount() const override { return static_cast<int>(m_rows.size()); }
    QVariant value(int row, int column) const override { return m_rows[static_cast<size_t>(row)].value(column); }

private:
    QStringList m_columns;
    std::vector<QVariantList> m_rows;
};

// Measures text in millimetres on a 1200 dpi reference, where unhinted advances are those
// that PDF and print devices use. Needs a QGuiApplication (the font database).
class TextMeasure {
public:
    TextMeasure();

    int fontIndex(const FontSpec& face);
    const QList<RenderedFont>& fonts() const { return m_rendered; }

    // Line pitch with a little leading, and where the baseline sits below a line's top.
    double lineHeight(int font) const { return m_entries[static_cast<size_t>(font)].lineHeight; }
    double baselineOffset(int font) const { return m_entries[static_cast<size_t>(font)].baseline; }
    double width(int font, const QString& text) const;

    struct Line {
        QString text;
        double width = 0;
        bool continuation = false;
    };
    // Breaks text at widthMm (at word boundaries, or anywhere in CJK text and overlong words).
    QList<Line> wrap(int font, const QString& text, double widthMm) const;

private:
    struct Entry {
        QFont font;
        QFontMetricsF metrics;
        double lineHeight;
        double baseline;
        std::shared_ptr<PlainGlyphs> glyphs; // widths of plain text without shaping it
    };
    QImage m_device;
    std::vector<Entry> m_entries;
    QList<RenderedFont> m_rendered;
};

// Lays the template out with the given data sets (keys: adapter names in lower case) and
// figures (keys: figure names in lower case). Throws TemplateError when a data band's adapter is
// not bound, a placeholder names a column the data set does not have, or a figure not given.
RenderedDocument LayoutReport(const ReportTemplate& tpl, const QHash<QString, const ReportDataSource*>& dataSets,
                              TextMeasure& measure, const QHash<QString, QString>& figures = {});

} // namespace tenvora::report

#include "report_engine/ReportLayout.h"

#include "data/Money.h"

#include <QDir>
#include <QGuiApplication>
#include <QTextLayout>
#include <array>
#include <deque>
#include <set>

namespace tenvora::report {

namespace {

constexpr double kEps = 1e-6;
constexpr double kReferenceDpi = 1200;
constexpr double kMmPerInch = 25.4;

double toMm(double px) {
    return px * kMmPerInch / kReferenceDpi;
}

double toPx(double mm) {
    return mm * kReferenceDpi / kMmPerInch;
}

} // namespace

TextMeasure::TextMeasure() : m_device(1, 1, QImage::Format_ARGB32) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw Error(QStringLiteral("报表排版需要字体数据库：程序没有创建 QGuiApplication"));
    const int dotsPerMeter = qRound(kReferenceDpi / (kMmPerInch / 1000));
    m_device.setDotsPerMeterX(dotsPerMeter);
    m_device.setDotsPerMeterY(dotsPerMeter);
}

int TextMeasure::fontIndex(const FontSpec& face) {
    for (int i = 0; i < m_rendered.size(); ++i)
        if (m_rendered[i].face == face)
            return i;
    const QFont font = MakeFont(face);
    const QFontMetricsF metrics(font, &m_device);
    // CJK faces often carry no leading; wrapped lines set solid look cramped in a table cell.
    const double pitch = std::max(metrics.lineSpacing(), metrics.height() * 1.2);
    const double baseline = (pitch - metrics.height()) / 2 + metrics.ascent();
    m_entries.push_back(Entry{font, metrics, toMm(pitch), toMm(baseline),
                              std::make_shared<PlainGlyphs>(font, face.pointSize * kReferenceDpi / 72.0)});
    m_rendered << RenderedFont{face, toMm(metrics.ascent()), toMm(metrics.descent())};
    return static_cast<int>(m_rendered.size()) - 1;
}

double TextMeasure::width(int font, const QString& text) const {
    const Entry& e = m_entries[static_cast<size_t>(font)];
    // The same advances the print and PDF devices draw with; shaped only where that is needed.
    if (const std::optional<double> plain = e.glyphs->width(text))
        return toMm(*plain);
    return toMm(e.metrics.horizontalAdvance(text));
}

QList<TextMeasure::Line> TextMeasure::wrap(int font, const QString& text, double widthMm) const {
    const double whole = width(font, text);
    if (text.isEmpty() || whole <= widthMm + kEps)
        return {Line{text, whole, false}};
    QTextLayout layout(text, m_entries[static_cast<size_t>(font)].font, &m_device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QList<Line> lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(toPx(widthMm));
        lines << Line{text.mid(line.textStart(), line.textLength()), toMm(line.naturalTextWidth()), !lines.isEmpty()};
    }
    layout.endLayout();
    return lines;
}

namespace {

struct PartRef {
    enum Kind { Literal, Column, Page, Pages, Row } kind = Literal;
    QString text;
    int column = -1;
};

struct ParsedObject {
    const ReportObject* object = nullptr;
    int font = 0;
    QList<QList<PartRef>> lines;
    bool pageDependent = false;
};

struct ParsedBand {
    const Band* band = nullptr;
    const ReportDataSource* source = nullptr;
    int groupColumn = -1; // the column a group band follows
    QList<ParsedObject> objects;
};

struct Cell {
    QList<TextMeasure::Line> lines;
};

struct BandRow {
    const ParsedBand* band = nullptr;
    int dataRow = -1;
    double height = 0;
    QList<Cell> cells; // one per object of the band
};

struct PageVars {
    int page = 0;
    int pages = 0;
};

struct Placed {
    const BandRow* row;
    double y;
};

struct ParsedPage {
    const TemplatePage* page = nullptr;
    std::array<ParsedBand, kBandKinds> bands; // indexed by BandKind; band == nullptr when absent
    const ParsedBand* get(BandKind kind) const {
        const ParsedBand& b = bands[static_cast<size_t>(kind)];
        return b.band ? &b : nullptr;
    }
};

struct PagePlan {
    const ParsedPage* page = nullptr;
    const BandRow* header = nullptr;
    const BandRow* columns = nullptr;
    const BandRow* footer = nullptr;
    double headerY = 0;
    double columnsY = 0;
    double footerY = 0;
    QList<Placed> flow;
};

class Layout {
public:
    Layout(const ReportTemplate& tpl, const QHash<QString, const ReportDataSource*>& dataSets,
           const QHash<QString, QString>& figures, TextMeasure& measure)
        : m_tpl(tpl), m_dataSets(dataSets), m_figures(figures), m_measure(measure) {}

    RenderedDocument run() {
        m_parsed.resize(static_cast<size_t>(m_tpl.pages.size()));
        for (int i = 0; i < m_tpl.pages.size(); ++i)
            parsePage(m_tpl.pages[i], m_parsed[static_cast<size_t>(i)]);
        // Rows live in a deque so that the plans may point at them while more are added.
        for (const ParsedPage& p : m_parsed)
            paginate(p);
        RenderedDocument doc;
        doc.title = m_tpl.title;
        const int total = static_cast<int>(m_plans.size());
        for (int i = 0; i < total; ++i)
            doc.pages << emitPage(m_plans[static_cast<size_t>(i)], PageVars{i + 1, total});
        doc.fonts = m_measure.fonts();
        return doc;
    }

private:
    [[noreturn]] void fail(const ReportObject* object, const QString& what) const {
        const QString where = object && !object->name.isEmpty()
                                  ? QStringLiteral("对象 %1").arg(object->name)
                                  : QStringLiteral("第 %1 行的对象").arg(object ? object->sourceLine : 0);
        throw TemplateError(
            QStringLiteral("报表模板 %1 %2：%3").arg(QDir::toNativeSeparators(m_tpl.sourcePath), where, what));
    }

    void parsePage(const TemplatePage& page, ParsedPage& parsed) {
        parsed.page = &page;
        // Group bands read the rows of the page's data band.
        const Band* data = page.band(BandKind::Data);
        const ReportDataSource* rows = data ? m_dataSets.value(data->dataSet.toLower()) : nullptr;
        if (data && !rows)
            throw TemplateError(QStringLiteral("报表模板 %1 的数据带区读取的数据集 %2 没有连接")
                                    .arg(QDir::toNativeSeparators(m_tpl.sourcePath), data->dataSet));
        for (const Band& band : page.bands) {
            ParsedBand& pb = parsed.bands[static_cast<size_t>(band.kind)];
            pb.band = &band;
            const bool grouping = band.kind == BandKind::GroupHeader || band.kind == BandKind::GroupFooter;
            if (band.kind == BandKind::Data || grouping)
                pb.source = rows;
            if (grouping) {
                const QStringList columns = rows->columns();
                for (int c = 0; c < columns.size() && pb.groupColumn < 0; ++c)
                    if (columns[c].compare(band.group, Qt::CaseInsensitive) == 0)
                        pb.groupColumn = c;
                if (pb.groupColumn < 0)
                    throw TemplateError(
                        QStringLiteral("报表模板 %1 的分组带区依据的列 %2 不在数据集 %3 中")
                            .arg(QDir::toNativeSeparators(m_tpl.sourcePath), band.group, data->dataSet));
            }
            for (const ReportObject& object : band.objects)
                pb.objects << parseObject(object, pb);
        }
    }

    // Whether two data rows belong to different runs of a group band.
    static bool differs(const ParsedBand& group, int a, int b) {
        return group.source->value(a, group.groupColumn).toString() !=
               group.source->value(b, group.groupColumn).toString();
    }

    ParsedObject parseObject(const ReportObject& object, const ParsedBand& band) {
        ParsedObject po;
        po.object = &object;
        po.font = m_measure.fontIndex(object.font);
        QStringList columns;
        if (band.source)
            columns = band.source->columns();
        for (const MemoLine& line : object.lines) {
            QList<PartRef> refs;
            if (!line.fromTemplate) {
                refs << PartRef{PartRef::Literal, line.text, -1};
                po.lines << refs;
                continue;
            }
            QList<TextPart> parts;
            try {
                parts = SplitPlaceholders(line.text);
            } catch (const TemplateError& e) {
                fail(&object, e.text());
            }
            for (const TextPart& part : parts) {
                if (!part.placeholder) {
                    refs << PartRef{PartRef::Literal, part.text, -1};
                    continue;
                }
                if (part.text.startsWith(kFigureMark)) {
                    const QString name = part.text.mid(1).trimmed();
                    const auto figure = m_figures.constFind(name.toLower());
                    if (figure == m_figures.cend())
                        fail(&object, QStringLiteral("引用的数值 [=%1] 没有给出").arg(name));
                    refs << PartRef{PartRef::Literal, *figure, -1};
                    continue;
                }
                int column = -1;
                for (int c = 0; c < columns.size() && column < 0; ++c)
                    if (columns[c].compare(part.text, Qt::CaseInsensitive) == 0)
                        column = c;
                if (column >= 0) {
                    refs << PartRef{PartRef::Column, part.text, column};
                } else if (band.source && part.text == QLatin1String(kRowPlaceholder)) {
                    refs << PartRef{PartRef::Row, part.text, -1};
                } else if (part.text == QLatin1String(kPagePlaceholder) ||
                           part.text == QLatin1String(kPagesPlaceholder)) {
                    refs << PartRef{part.text == QLatin1String(kPagePlaceholder) ? PartRef::Page : PartRef::Pages,
                                    part.text, -1};
                    po.pageDependent = true;
                } else {
                    fail(&object, QStringLiteral("引用的列 [%1] 不在数据集 %2 中").arg(part.text, band.band->dataSet));
                }
            }
            po.lines << refs;
        }
        return po;
    }

    static QString valueText(const ParsedObject& po, const QVariant& value) {
        if (po.object->blankZero && NumberOf(value).value_or(1) == 0)
            return {};
        return DisplayText(value, po.object->format);
    }

    Cell makeCell(const ParsedObject& po, const ParsedBand& band, int row, const PageVars* vars) const {
        QStringList texts;
        for (const QList<PartRef>& refs : po.lines) {
            QString text;
            for (const PartRef& ref : refs) {
                switch (ref.kind) {
                case PartRef::Literal:
                    text += ref.text;
                    break;
                case PartRef::Column:
                    text += valueText(po, band.source->value(row, ref.column));
                    break;
                case PartRef::Row:
                    text += QString::number(row + 1);
                    break;
                case PartRef::Page:
                    // Before pagination only the height matters: a wide stand-in keeps it honest.
                    text += vars ? QString::number(vars->page) : QStringLiteral("9999");
                    break;
                case PartRef::Pages:
                    text += vars ? QString::number(vars->pages) : QStringLiteral("9999");
                    break;
                }
            }
            text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\t'), QLatin1Char(' '));
            texts << text.split(QLatin1Char('\n'));
        }
        Cell cell;
        const ReportObject& o = *po.object;
        const double inner = std::max(0.0, o.rect.width() - 2 * o.padding);
        for (const QString& text : texts) {
            if (o.wrap)
                cell.lines << m_measure.wrap(po.font, text, inner);
            else
                cell.lines << TextMeasure::Line{text, m_measure.width(po.font, text), false};
        }
        return cell;
    }

    BandRow makeRow(const ParsedBand& band, int row, const PageVars* vars) const {
        BandRow result;
        result.band = &band;
        result.dataRow = row;
        result.height = band.band->height;
        for (const ParsedObject& po : band.objects) {
            result.cells << makeCell(po, band, row, vars);
            const ReportObject& o = *po.object;
            if (!o.grow)
                continue;
            const double content = result.cells.last().lines.size() * m_measure.lineHeight(po.font) + 2 * o.padding;
            result.height = std::max(result.height, band.band->height + content - o.rect.height());
        }
        return result;
    }

    void paginate(const ParsedPage& page) {
        const TemplatePage& tp = *page.page;
        const double top = tp.margins.top();
        const double bottom = tp.paper.height() - tp.margins.bottom();
        auto fixedRow = [&](BandKind kind) -> const BandRow* {
            const ParsedBand* band = page.get(kind);
            if (!band)
                return nullptr;
            m_rows.push_back(makeRow(*band, -1, nullptr));
            return &m_rows.back();
        };
        const BandRow* header = fixedRow(BandKind::PageHeader);
        const BandRow* columns = fixedRow(BandKind::ColumnHeader);
        const BandRow* footer = fixedRow(BandKind::PageFooter);
        const double footerY = bottom - (footer ? footer->height : 0);

        double y = 0;
        auto startPage = [&](bool first) {
            PagePlan plan{&page, header, columns, footer, top, 0, footerY, {}};
            y = top + (header ? header->height : 0);
            if (first) {
                if (const ParsedBand* title = page.get(BandKind::Title)) {
                    m_rows.push_back(makeRow(*title, -1, nullptr));
                    plan.flow << Placed{&m_rows.back(), y};
                    y += m_rows.back().height;
                }
            }
            plan.columnsY = y;
            y += columns ? columns->height : 0;
            m_plans.push_back(plan);
        };
        auto place = [&](BandRow& row) {
            // A row taller than a whole page is cut at the footer rather than never placed.
            if (y + row.height > footerY + kEps)
                row.height = std::max(0.0, footerY - y);
            m_plans.back().flow << Placed{&row, y};
            y += row.height;
        };
        auto fits = [&](double height) { return y + height <= footerY + kEps; };
        const double firstRowY = [&] {
            const double afterHeader = top + (header ? header->height : 0);
            return afterHeader + (columns ? columns->height : 0);
        }();

        startPage(true);
        if (const ParsedBand* data = page.get(BandKind::Data)) {
            const ParsedBand* groupHeader = page.get(BandKind::GroupHeader);
            const ParsedBand* groupFooter = page.get(BandKind::GroupFooter);
            const BandRow* runHeader = nullptr; // printed again on a sheet the run goes on to
            auto continueOnNewPage = [&] {
                startPage(false);
                if (runHeader) {
                    m_plans.back().flow << Placed{runHeader, y};
                    y += runHeader->height;
                }
            };
            const int count = data->source->rowCount();
            for (int r = 0; r < count; ++r) {
                m_rows.push_back(makeRow(*data, r, nullptr));
                BandRow& row = m_rows.back();
                if (groupHeader && (r == 0 || differs(*groupHeader, r - 1, r))) {
                    m_rows.push_back(makeRow(*groupHeader, r, nullptr));
                    BandRow& head = m_rows.back();
                    runHeader = nullptr;
                    // A header never ends a sheet alone: it goes with the run's first row.
                    if (!fits(head.height + row.height) && !m_plans.back().flow.isEmpty())
                        startPage(false);
                    place(head);
                    runHeader = &head;
                } else if (!fits(row.height) && !m_plans.back().flow.isEmpty()) {
                    continueOnNewPage();
                }
                place(row);
                if (groupFooter && (r == count - 1 || differs(*groupFooter, r, r + 1))) {
                    m_rows.push_back(makeRow(*groupFooter, r, nullptr));
                    BandRow& foot = m_rows.back();
                    if (!fits(foot.height)) {
                        // The footer takes the run's last row with it, as the summary does; a run
                        // that has only its header and that row on the sheet goes over whole.
                        QList<Placed>& flow = m_plans.back().flow;
                        const double head = runHeader ? runHeader->height : 0;
                        const bool lastIsRow = flow.size() > 1 && flow.last().row == &row;
                        const bool wholeRun = lastIsRow && flow[flow.size() - 2].row == runHeader;
                        const bool moveLast = lastIsRow && (!wholeRun || flow.size() > 2) &&
                                              firstRowY + head + row.height + foot.height <= footerY + kEps;
                        const BandRow* last = moveLast ? flow.takeLast().row : nullptr;
                        if (moveLast && wholeRun)
                            flow.removeLast(); // the header, printed again on the new sheet
                        continueOnNewPage();
                        if (last) {
                            m_plans.back().flow << Placed{last, y};
                            y += last->height;
                        }
                    }
                    place(foot);
                    runHeader = nullptr;
                }
            }
        }
        if (const ParsedBand* summary = page.get(BandKind::Summary)) {
            m_rows.push_back(makeRow(*summary, -1, nullptr));
            BandRow& row = m_rows.back();
            if (!fits(row.height)) {
                QList<Placed>& flow = m_plans.back().flow;
                const bool lastIsData = !flow.isEmpty() && flow.last().row->dataRow >= 0;
                // The summary takes the last row with it, so that a page never opens with a
                // bare total; when the row is already alone at the top, moving it gains nothing.
                const bool moveLast =
                    lastIsData && flow.size() > 1 && firstRowY + flow.last().row->height + row.height <= footerY + kEps;
                const BandRow* last = moveLast ? flow.takeLast().row : nullptr;
                startPage(false);
                if (last) {
                    m_plans.back().flow << Placed{last, y};
                    y += last->height;
                }
            }
            place(row);
        }
    }

    RenderedPage emitPage(const PagePlan& plan, const PageVars& vars) {
        RenderedPage page;
        const TemplatePage& tp = *plan.page->page;
        page.size = tp.paper;
        m_ruleKeys.clear();
        const double x = tp.margins.left();
        if (plan.header)
            emitRow(*plan.header, x, plan.headerY, vars, page);
        for (const Placed& placed : plan.flow)
            emitRow(*placed.row, x, placed.y, vars, page);
        if (plan.columns)
            emitRow(*plan.columns, x, plan.columnsY, vars, page);
        if (plan.footer)
            emitRow(*plan.footer, x, plan.footerY, vars, page);
        return page;
    }

    void emitRow(const BandRow& row, double x0, double y0, const PageVars& vars, RenderedPage& page) {
        const ParsedBand& band = *row.band;
        for (int i = 0; i < band.objects.size(); ++i) {
            const ParsedObject& po = band.objects[i];
            const ReportObject& o = *po.object;
            const Cell cell = po.pageDependent ? makeCell(po, band, row.dataRow, &vars) : row.cells[i];
            QRectF rect = o.rect.translated(x0, y0);
            if (std::abs(o.rect.bottom() - band.band->height) < kEps)
                rect.setBottom(y0 + row.height); // cells that reach the band's foot stretch with the row
            else if (rect.bottom() > y0 + row.height)
                rect.setBottom(y0 + row.height); // a row cut at the footer cuts its cells too
            emitText(po, cell, rect, page);
            emitBorders(o, rect, page);
        }
    }

    void emitText(const ParsedObject& po, const Cell& cell, const QRectF& rect, RenderedPage& page) const {
        const ReportObject& o = *po.object;
        const double lh = m_measure.lineHeight(po.font);
        const double baseline = m_measure.baselineOffset(po.font);
        const double textHeight = cell.lines.size() * lh;
        double top = rect.top() + o.padding;
        if (o.valign == VAlign::Middle)
            top = rect.top() + (rect.height() - textHeight) / 2;
        else if (o.valign == VAlign::Bottom)
            top = rect.bottom() - o.padding - textHeight;
        TextBox box;
        box.clip = rect;
        box.font = po.font;
        for (int i = 0; i < cell.lines.size(); ++i) {
            const TextMeasure::Line& line = cell.lines[i];
            const double lineTop = top + i * lh;
            if (line.text.isEmpty() || lineTop + lh <= rect.top() + kEps || lineTop >= rect.bottom() - kEps)
                continue;
            double x = rect.left() + o.padding;
            if (o.align == HAlign::Right)
                x = rect.right() - o.padding - line.width;
            else if (o.align == HAlign::Center)
                x = rect.left() + (rect.width() - line.width) / 2;
            if (x < rect.left() - kEps || x + line.width > rect.right() + kEps || lineTop < rect.top() - kEps ||
                lineTop + lh > rect.bottom() + kEps)
                box.overflows = true;
            box.runs << TextRun{QPointF(x, lineTop + baseline), line.text, line.width, line.continuation};
        }
        if (!box.runs.isEmpty())
            page.texts << box;
    }

    void emitBorders(const ReportObject& o, const QRectF& r, RenderedPage& page) {
        if (o.borders & BorderTop)
            addRule(QLineF(r.topLeft(), r.topRight()), o.borderWidth, page);
        if (o.borders & BorderBottom)
            addRule(QLineF(r.bottomLeft(), r.bottomRight()), o.borderWidth, page);
        if (o.borders & BorderLeft)
            addRule(QLineF(r.topLeft(), r.bottomLeft()), o.borderWidth, page);
        if (o.borders & BorderRight)
            addRule(QLineF(r.topRight(), r.bottomRight()), o.borderWidth, page);
    }

    // Neighbouring cells share an edge; drawing it twice would make inner lines look heavier.
    void addRule(const QLineF& line, double width, RenderedPage& page) {
        auto q = [](double v) { return qRound64(v * 100); };
        std::array<qint64, 4> key{q(line.x1()), q(line.y1()), q(line.x2()), q(line.y2())};
        if (m_ruleKeys.insert(key).second)
            page.rules << Rule{line, width};
    }

    const ReportTemplate& m_tpl;
    const QHash<QString, const ReportDataSource*>& m_dataSets;
    const QHash<QString, QString>& m_figures;
    TextMeasure& m_measure;
    std::vector<ParsedPage> m_parsed;
    std::deque<BandRow> m_rows;
    std::vector<PagePlan> m_plans;
    std::set<std::array<qint64, 4>> m_ruleKeys;
};

} // namespace

RenderedDocument LayoutReport(const ReportTemplate& tpl, const QHash<QString, const ReportDataSource*>& dataSets,
                              TextMeasure& measure, const QHash<QString, QString>& figures) {
    return Layout(tpl, dataSets, figures, measure).run();
}

} // namespace tenvora::report

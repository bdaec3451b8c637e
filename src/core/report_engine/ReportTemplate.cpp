#include "report_engine/ReportTemplate.h"

#include "data/Money.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QPageSize>
#include <QXmlStreamReader>

namespace tenvora::report {

QStringList ReportObject::lineTexts() const {
    QStringList texts;
    texts.reserve(lines.size());
    for (const MemoLine& l : lines)
        texts << l.text;
    return texts;
}

void ReportObject::insertLine(int index, const QString& text) {
    const qsizetype at = std::clamp<qsizetype>(index, 0, lines.size());
    lines.insert(at, MemoLine{text, false});
}

const Band* TemplatePage::band(BandKind kind) const {
    for (const Band& b : bands)
        if (b.kind == kind)
            return &b;
    return nullptr;
}

QStringList ReportTemplate::dataSetNames() const {
    QStringList names;
    for (const TemplatePage& p : pages)
        for (const Band& b : p.bands)
            if (b.kind == BandKind::Data && !names.contains(b.dataSet, Qt::CaseInsensitive))
                names << b.dataSet;
    return names;
}

QList<TextPart> SplitPlaceholders(const QString& line) {
    QList<TextPart> parts;
    QString literal;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c != QLatin1Char('[')) {
            literal += c;
            continue;
        }
        if (i + 1 < line.size() && line[i + 1] == QLatin1Char('[')) {
            literal += c;
            ++i;
            continue;
        }
        const qsizetype close = line.indexOf(QLatin1Char(']'), i + 1);
        if (close < 0)
            throw TemplateError(QStringLiteral("“%1”中的“[”没有配对的“]”（字面的“[”请写成“[[”）").arg(line));
        const QString name = line.mid(i + 1, close - i - 1).trimmed();
        if (name.isEmpty())
            throw TemplateError(QStringLiteral("“%1”中有空的占位符“[]”").arg(line));
        if (!literal.isEmpty())
            parts << TextPart{std::exchange(literal, {}), false};
        parts << TextPart{name, true};
        i = close;
    }
    if (!literal.isEmpty() || parts.isEmpty())
        parts << TextPart{literal, false};
    return parts;
}

namespace {

class Reader {
public:
    Reader(const QByteArray& xml, QString source) : m_xml(xml), m_source(std::move(source)) {}

    ReportTemplate read() {
        ReportTemplate t;
        t.sourcePath = m_source;
        if (!m_xml.readNextStartElement())
            fail(m_xml.hasError() ? m_xml.errorString() : QStringLiteral("文件是空的"));
        if (m_xml.name() != QLatin1String("report"))
            fail(QStringLiteral("根元素应为 <report>，却是 <%1>").arg(m_xml.name()));
        const auto attrs = attributes({"title", "version"});
        t.title = attrs.value(QStringLiteral("title"));
        if (const QString v = attrs.value(QStringLiteral("version")); !v.isEmpty() && v != QLatin1String("1"))
            fail(QStringLiteral("不支持的模板版本 %1").arg(v));
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() == QLatin1String("font"))
                readFont();
            else if (m_xml.name() == QLatin1String("page"))
                t.pages << readPage();
            else
                unexpected();
        }
        if (m_xml.hasError())
            fail(m_xml.errorString());
        if (t.pages.isEmpty())
            fail(QStringLiteral("模板中没有 <page>"));
        return t;
    }

private:
    [[noreturn]] void fail(const QString& what) const {
        throw TemplateError(QStringLiteral("报表模板 %1 第 %2 行第 %3 列：%4")
                                .arg(QDir::toNativeSeparators(m_source))
                                .arg(m_xml.lineNumber())
                                .arg(m_xml.columnNumber())
                                .arg(what));
    }

    [[noreturn]] void unexpected() const { fail(QStringLiteral("此处不应有 <%1>").arg(m_xml.name())); }

    // The element's attributes; one outside the allowed set is a fault (it is usually a typo).
    QHash<QString, QString> attributes(std::initializer_list<const char*> allowed) const {
        QHash<QString, QString> result;
        for (const QXmlStreamAttribute& a : m_xml.attributes()) {
            const QString name = a.name().toString();
            bool known = false;
            for (const char* n : allowed)
                known = known || name == QLatin1String(n);
            if (!known)
                fail(QStringLiteral("<%1> 没有属性 %2").arg(m_xml.name(), name));
            result.insert(name, a.value().toString());
        }
        return result;
    }

    double number(const QHash<QString, QString>& attrs, const char* name, double fallback, bool required = false) {
        const QString key = QString::fromLatin1(name);
        if (!attrs.contains(key)) {
            if (required)
                fail(QStringLiteral("<%1> 缺少属性 %2").arg(m_xml.name(), key));
            return fallback;
        }
        bool ok = false;
        const double v = attrs.value(key).trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v) || v < 0)
            fail(QStringLiteral("属性 %1 的值“%2”不是有效的非负数").arg(key, attrs.value(key)));
        return v;
    }

    bool flag(const QHash<QString, QString>& attrs, const char* name, bool fallback) {
        const QString v = attrs.value(QString::fromLatin1(name));
        if (v.isEmpty())
            return fallback;
        if (v == QLatin1String("true") || v == QLatin1String("1"))
            return true;
        if (v == QLatin1String("false") || v == QLatin1String("0"))
            return false;
        fail(QStringLiteral("属性 %1 的值“%2”应为 true 或 false").arg(QString::fromLatin1(name), v));
    }

    void readFont() {
        const auto attrs = attributes({"id", "families", "size", "bold", "italic"});
        const QString id = attrs.value(QStringLiteral("id"));
        if (id.isEmpty())
            fail(QStringLiteral("<font> 缺少属性 id"));
        FontSpec f;
        for (const QString& family : attrs.value(QStringLiteral("families")).split(QLatin1Char(',')))
            if (!family.trimmed().isEmpty())
                f.families << family.trimmed();
        if (f.families.isEmpty())
            fail(QStringLiteral("字体 %1 没有给出字体族 families").arg(id));
        f.pointSize = number(attrs, "size", 10);
        if (f.pointSize < 1 || f.pointSize > 200)
            fail(QStringLiteral("字体 %1 的字号 %2 不在 1 到 200 之间").arg(id).arg(f.pointSize));
        f.bold = flag(attrs, "bold", false);
        f.italic = flag(attrs, "italic", false);
        m_fonts.insert(id, f);
        m_xml.skipCurrentElement();
    }

    TemplatePage readPage() {
        const auto attrs = attributes({"name", "paper", "orientation", "width", "height", "margins"});
        TemplatePage page;
        page.name = attrs.value(QStringLiteral("name"));
        const QString paper = attrs.value(QStringLiteral("paper"), QStringLiteral("A4"));
        static const QHash<QString, QPageSize::PageSizeId> papers = {{QStringLiteral("A3"), QPageSize::A3},
                                                                     {QStringLiteral("A4"), QPageSize::A4},
                                                                     {QStringLiteral("A5"), QPageSize::A5},
                                                                     {QStringLiteral("B5"), QPageSize::B5}};
        if (attrs.contains(QStringLiteral("width")) || attrs.contains(QStringLiteral("height"))) {
            page.paper = QSizeF(number(attrs, "width", 0, true), number(attrs, "height", 0, true));
        } else if (papers.contains(paper)) {
            page.paper = QPageSize(papers.value(paper)).size(QPageSize::Millimeter);
        } else {
            fail(QStringLiteral("不认识的纸张 %1（可用 A3、A4、A5、B5，或给出 width 与 height）").arg(paper));
        }
        const QString orientation = attrs.value(QStringLiteral("orientation"), QStringLiteral("portrait"));
        if (orientation == QLatin1String("landscape"))
            page.paper = page.paper.transposed();
        else if (orientation != QLatin1String("portrait"))
            fail(QStringLiteral("方向应为 portrait 或 landscape，却是 %1").arg(orientation));
        if (page.paper.width() < 20 || page.paper.height() < 20)
            fail(QStringLiteral("纸张太小"));

        const QStringList m = attrs.value(QStringLiteral("margins"), QStringLiteral("10 10 10 10"))
                                  .split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QList<double> mm;
        for (const QString& part : m) {
            bool ok = false;
            const double v = part.toDouble(&ok);
            if (!ok || v < 0)
                fail(QStringLiteral("页边距“%1”不是有效的数").arg(part));
            mm << v;
        }
        if (mm.size() != 4)
            fail(QStringLiteral("页边距应写成“左 上 右 下”四个毫米数"));
        page.margins = QMarginsF(mm[0], mm[1], mm[2], mm[3]);
        if (mm[0] + mm[2] >= page.paper.width() || mm[1] + mm[3] >= page.paper.height())
            fail(QStringLiteral("页边距超出了纸张"));

        unsigned seen = 0;
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() != QLatin1String("band"))
                unexpected();
            Band band = readBand();
            const unsigned bit = 1u << static_cast<unsigned>(band.kind);
            if (seen & bit)
                fail(QStringLiteral("同一页中同一种带区只能有一个"));
            seen |= bit;
            page.bands << band;
        }
        if ((page.band(BandKind::GroupHeader) || page.band(BandKind::GroupFooter)) && !page.band(BandKind::Data))
            fail(QStringLiteral("分组带区要与它所分组的数据带区在同一页"));
        double fixed = 0;
        for (const Band& b : page.bands)
            if (b.kind == BandKind::PageHeader || b.kind == BandKind::ColumnHeader || b.kind == BandKind::PageFooter)
                fixed += b.height;
        if (fixed >= page.paper.height() - page.margins.top() - page.margins.bottom())
            fail(QStringLiteral("页眉、栏目头与页脚的高度之和超出了版心"));
        return page;
    }

    Band readBand() {
        const auto attrs = attributes({"kind", "height", "dataset", "group"});
        static const QHash<QString, BandKind> kinds = {{QStringLiteral("page-header"), BandKind::PageHeader},
                                                       {QStringLiteral("title"), BandKind::Title},
                                                       {QStringLiteral("column-header"), BandKind::ColumnHeader},
                                                       {QStringLiteral("data"), BandKind::Data},
                                                       {QStringLiteral("summary"), BandKind::Summary},
                                                       {QStringLiteral("page-footer"), BandKind::PageFooter},
                                                       {QStringLiteral("group-header"), BandKind::GroupHeader},
                                                       {QStringLiteral("group-footer"), BandKind::GroupFooter}};
        const QString kind = attrs.value(QStringLiteral("kind"));
        if (!kinds.contains(kind))
            fail(QStringLiteral("不认识的带区 kind=\"%1\"").arg(kind));
        Band band;
        band.kind = kinds.value(kind);
        band.height = number(attrs, "height", 0, true);
        if (band.height <= 0)
            fail(QStringLiteral("带区的高度必须大于 0"));
        band.dataSet = attrs.value(QStringLiteral("dataset")).trimmed();
        if (band.kind == BandKind::Data && band.dataSet.isEmpty())
            fail(QStringLiteral("数据带区缺少属性 dataset"));
        if (band.kind != BandKind::Data && !band.dataSet.isEmpty())
            fail(QStringLiteral("只有数据带区可以读数据集"));
        band.group = attrs.value(QStringLiteral("group")).trimmed();
        const bool grouping = band.kind == BandKind::GroupHeader || band.kind == BandKind::GroupFooter;
        if (grouping && band.group.isEmpty())
            fail(QStringLiteral("分组带区缺少属性 group（分组所依据的列）"));
        if (!grouping && !band.group.isEmpty())
            fail(QStringLiteral("只有分组带区可以有属性 group"));
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() != QLatin1String("memo"))
                unexpected();
            band.objects << readMemo(band);
        }
        return band;
    }

    ReportObject readMemo(const Band& band) {
        const auto attrs = attributes({"name", "x", "y", "width", "height", "font", "align", "valign", "border",
                                       "border-width", "padding", "wrap", "grow", "format", "blank-zero"});
        ReportObject o;
        o.sourceLine = static_cast<int>(m_xml.lineNumber());
        o.name = attrs.value(QStringLiteral("name"));
        o.rect = QRectF(number(attrs, "x", 0), number(attrs, "y", 0), number(attrs, "width", 0, true),
                        number(attrs, "height", 0, true));
        if (o.rect.width() <= 0 || o.rect.height() <= 0)
            fail(QStringLiteral("文本对象的宽和高必须大于 0"));
        if (o.rect.bottom() > band.height + 1e-6)
            fail(QStringLiteral("文本对象超出了带区的高度"));
        const QString fontId = attrs.value(QStringLiteral("font"), QStringLiteral("default"));
        if (!m_fonts.contains(fontId))
            fail(QStringLiteral("字体 %1 没有在前面用 <font> 定义").arg(fontId));
        o.font = m_fonts.value(fontId);

        static const QHash<QString, HAlign> aligns = {{QStringLiteral("left"), HAlign::Left},
                                                      {QStringLiteral("center"), HAlign::Center},
                                                      {QStringLiteral("right"), HAlign::Right}};
        static const QHash<QString, VAlign> valigns = {{QStringLiteral("top"), VAlign::Top},
                                                       {QStringLiteral("middle"), VAlign::Middle},
                                                       {QStringLiteral("bottom"), VAlign::Bottom}};
        const QString align = attrs.value(QStringLiteral("align"), QStringLiteral("left"));
        const QString valign = attrs.value(QStringLiteral("valign"), QStringLiteral("top"));
        if (!aligns.contains(align))
            fail(QStringLiteral("align 应为 left、center 或 right，却是 %1").arg(align));
        if (!valigns.contains(valign))
            fail(QStringLiteral("valign 应为 top、middle 或 bottom，却是 %1").arg(valign));
        o.align = aligns.value(align);
        o.valign = valigns.value(valign);
        o.borders = parseBorders(attrs.value(QStringLiteral("border"), QStringLiteral("none")));
        o.borderWidth = number(attrs, "border-width", 0.2);
        o.padding = number(attrs, "padding", 1.0);
        o.wrap = flag(attrs, "wrap", false);
        o.grow = flag(attrs, "grow", false);
        if (o.grow && band.kind != BandKind::Data && band.kind != BandKind::Summary && band.kind != BandKind::Title &&
            band.kind != BandKind::GroupHeader && band.kind != BandKind::GroupFooter)
            fail(QStringLiteral("只有数据带区、分组带区、标题带区和汇总带区的文本对象可以增高"));
        o.format = attrs.value(QStringLiteral("format"));
        if (!o.format.isEmpty() && !IsValidNumberFormat(o.format))
            fail(QStringLiteral("不认识的显示格式 %1（可用如 0、0.00、#,##0.00、0.###）").arg(o.format));
        o.blankZero = flag(attrs, "blank-zero", false);

        while (m_xml.readNextStartElement()) {
            if (m_xml.name() != QLatin1String("line"))
                unexpected();
            attributes({});
            const QString text = m_xml.readElementText();
            if (m_xml.hasError())
                fail(m_xml.errorString());
            checkPlaceholders(text, band);
            o.lines << MemoLine{text, true};
        }
        return o;
    }

    unsigned parseBorders(const QString& text) {
        static const QHash<QString, unsigned> sides = {
            {QStringLiteral("none"), BorderNone},   {QStringLiteral("all"), BorderAll},
            {QStringLiteral("left"), BorderLeft},   {QStringLiteral("top"), BorderTop},
            {QStringLiteral("right"), BorderRight}, {QStringLiteral("bottom"), BorderBottom}};
        unsigned result = BorderNone;
        for (const QString& part : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (!sides.contains(part))
                fail(QStringLiteral("border 中不认识的边 %1（可用 all、none、left、top、right、bottom）").arg(part));
            result |= sides.value(part);
        }
        return result;
    }

    void checkPlaceholders(const QString& text, const Band& band) {
        QList<TextPart> parts;
        try {
            parts = SplitPlaceholders(text);
        } catch (const TemplateError& e) {
            fail(e.text());
        }
        for (const TextPart& p : parts)
            if (p.placeholder && p.text.startsWith(kFigureMark) && p.text.mid(1).trimmed().isEmpty())
                fail(QStringLiteral("占位符 [=] 缺少数值名"));
        if (band.kind == BandKind::Data || band.kind == BandKind::GroupHeader || band.kind == BandKind::GroupFooter)
            return; // column names are checked against the data set when the report is built
        for (const TextPart& p : parts)
            if (p.placeholder && p.text != QLatin1String(kPagePlaceholder) &&
                p.text != QLatin1String(kPagesPlaceholder) && !p.text.startsWith(kFigureMark))
                fail(QStringLiteral("占位符 [%1] 只能用在数据带区（此处只可用 [PAGE]、[PAGES] 与 [=数值名]）")
                         .arg(p.text));
    }

    QXmlStreamReader m_xml;
    QString m_source;
    QHash<QString, FontSpec> m_fonts;
};

} // namespace

ReportTemplate ParseTemplate(const QByteArray& xml, const QString& sourceName) {
    return Reader(xml, sourceName).read();
}

ReportTemplate ReadTemplate(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TemplateError(
            QStringLiteral("报表模板 %1 无法读取：%2").arg(QDir::toNativeSeparators(path), file.errorString()));
    return ParseTemplate(file.readAll(), path);
}

} // namespace tenvora::report

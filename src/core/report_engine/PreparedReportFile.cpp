#include "report_engine/PreparedReportFile.h"

#include "data/Errors.h"
#include "datamgmt/FileCopy.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace tenvora::report {

namespace {

QString num(double v) {
    return QString::number(v, 'g', 12);
}

// XML 1.0 cannot carry control characters; a stray one in the data must not make the file unreadable.
QString xmlSafe(const QString& text) {
    QString safe = text;
    for (QChar& c : safe)
        if (c.unicode() < 0x20 && c != QLatin1Char('\t'))
            c = QLatin1Char(' ');
    return safe;
}

class PreparedReader {
public:
    PreparedReader(const QByteArray& xml, QString source) : m_xml(xml), m_source(std::move(source)) {}

    RenderedDocument read() {
        RenderedDocument doc;
        if (!m_xml.readNextStartElement() || m_xml.name() != QLatin1String("prepared-report"))
            fail(m_xml.hasError() ? m_xml.errorString() : QStringLiteral("不是 Tenvora 报表文件"));
        if (m_xml.attributes().value(QLatin1String("version")) != QLatin1String("1"))
            fail(QStringLiteral("不支持的报表文件版本"));
        doc.title = m_xml.attributes().value(QLatin1String("title")).toString();
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() == QLatin1String("font")) {
                RenderedFont f;
                f.face.families = text("families").split(QLatin1Char(','), Qt::SkipEmptyParts);
                if (f.face.families.isEmpty())
                    fail(QStringLiteral("字体没有字体族"));
                f.face.pointSize = number("size", 1, 200);
                f.face.bold = text("bold") == QLatin1String("1");
                f.face.italic = text("italic") == QLatin1String("1");
                f.ascent = number("ascent", 0, 100);
                f.descent = number("descent", 0, 100);
                doc.fonts << f;
                m_xml.skipCurrentElement();
            } else if (m_xml.name() == QLatin1String("page")) {
                doc.pages << readPage(static_cast<int>(doc.fonts.size()));
            } else {
                fail(QStringLiteral("此处不应有 <%1>").arg(m_xml.name()));
            }
        }
        if (m_xml.hasError())
            fail(m_xml.errorString());
        if (doc.pages.isEmpty())
            fail(QStringLiteral("报表文件中没有页"));
        return doc;
    }

private:
    [[noreturn]] void fail(const QString& what) const {
        throw Error(QStringLiteral("报表文件 %1 第 %2 行第 %3 列：%4")
                        .arg(QDir::toNativeSeparators(m_source))
                        .arg(m_xml.lineNumber())
                        .arg(m_xml.columnNumber())
                        .arg(what));
    }

    QString text(const char* name) const { return m_xml.attributes().value(QLatin1String(name)).toString(); }

    double number(const char* name, double low, double high) const {
        bool ok = false;
        const double v = text(name).toDouble(&ok);
        if (!ok || v < low || v > high)
            fail(QStringLiteral("属性 %1 的值“%2”无效").arg(QLatin1String(name), text(name)));
        return v;
    }

    RenderedPage readPage(int fontCount) {
        RenderedPage page;
        page.size = QSizeF(number("width", 20, 5000), number("height", 20, 5000));
        const double w = page.size.width();
        const double h = page.size.height();
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() == QLatin1String("rule")) {
                page.rules << Rule{QLineF(number("x1", -w, 2 * w), number("y1", -h, 2 * h), number("x2", -w, 2 * w),
                                          number("y2", -h, 2 * h)),
                                   number("width", 0, 50)};
                m_xml.skipCurrentElement();
            } else if (m_xml.name() == QLatin1String("text")) {
                TextBox box;
                box.font = static_cast<int>(number("font", 0, fontCount - 1));
                box.clip = QRectF(number("x", -w, 2 * w), number("y", -h, 2 * h), number("w", 0, 2 * w),
                                  number("h", 0, 2 * h));
                box.overflows = text("overflows") == QLatin1String("1");
                while (m_xml.readNextStartElement()) {
                    if (m_xml.name() != QLatin1String("run"))
                        fail(QStringLiteral("此处不应有 <%1>").arg(m_xml.name()));
                    TextRun run;
                    run.origin = QPointF(number("x", -w, 2 * w), number("y", -h, 2 * h));
                    run.width = number("w", 0, 4 * w);
                    run.continuation = text("cont") == QLatin1String("1");
                    run.text = m_xml.readElementText();
                    box.runs << run;
                }
                page.texts << box;
            } else {
                fail(QStringLiteral("此处不应有 <%1>").arg(m_xml.name()));
            }
        }
        return page;
    }

    QXmlStreamReader m_xml;
    QString m_source;
};

} // namespace

QByteArray PreparedReportXml(const RenderedDocument& doc) {
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(1);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("prepared-report"));
    w.writeAttribute(QStringLiteral("version"), QStringLiteral("1"));
    w.writeAttribute(QStringLiteral("title"), xmlSafe(doc.title));
    for (const RenderedFont& f : doc.fonts) {
        w.writeEmptyElement(QStringLiteral("font"));
        w.writeAttribute(QStringLiteral("families"), f.face.families.join(QLatin1Char(',')));
        w.writeAttribute(QStringLiteral("size"), num(f.face.pointSize));
        w.writeAttribute(QStringLiteral("bold"), f.face.bold ? QStringLiteral("1") : QStringLiteral("0"));
        w.writeAttribute(QStringLiteral("italic"), f.face.italic ? QStringLiteral("1") : QStringLiteral("0"));
        w.writeAttribute(QStringLiteral("ascent"), num(f.ascent));
        w.writeAttribute(QStringLiteral("descent"), num(f.descent));
    }
    for (const RenderedPage& page : doc.pages) {
        w.writeStartElement(QStringLiteral("page"));
        w.writeAttribute(QStringLiteral("width"), num(page.size.width()));
        w.writeAttribute(QStringLiteral("height"), num(page.size.height()));
        for (const Rule& r : page.rules) {
            w.writeEmptyElement(QStringLiteral("rule"));
            w.writeAttribute(QStringLiteral("x1"), num(r.line.x1()));
            w.writeAttribute(QStringLiteral("y1"), num(r.line.y1()));
            w.writeAttribute(QStringLiteral("x2"), num(r.line.x2()));
            w.writeAttribute(QStringLiteral("y2"), num(r.line.y2()));
            w.writeAttribute(QStringLiteral("width"), num(r.width));
        }
        for (const TextBox& box : page.texts) {
            w.writeStartElement(QStringLiteral("text"));
            w.writeAttribute(QStringLiteral("font"), QString::number(box.font));
            w.writeAttribute(QStringLiteral("x"), num(box.clip.x()));
            w.writeAttribute(QStringLiteral("y"), num(box.clip.y()));
            w.writeAttribute(QStringLiteral("w"), num(box.clip.width()));
            w.writeAttribute(QStringLiteral("h"), num(box.clip.height()));
            if (box.overflows)
                w.writeAttribute(QStringLiteral("overflows"), QStringLiteral("1"));
            for (const TextRun& run : box.runs) {
                w.writeStartElement(QStringLiteral("run"));
                w.writeAttribute(QStringLiteral("x"), num(run.origin.x()));
                w.writeAttribute(QStringLiteral("y"), num(run.origin.y()));
                w.writeAttribute(QStringLiteral("w"), num(run.width));
                if (run.continuation)
                    w.writeAttribute(QStringLiteral("cont"), QStringLiteral("1"));
                w.writeCharacters(xmlSafe(run.text));
                w.writeEndElement();
            }
            w.writeEndElement();
        }
        w.writeEndElement();
    }
    w.writeEndElement();
    w.writeEndDocument();
    return xml;
}

RenderedDocument ParsePreparedReport(const QByteArray& xml, const QString& sourceName) {
    return PreparedReader(xml, sourceName).read();
}

void SavePreparedReport(const RenderedDocument& doc, const QString& path) {
    WriteFileReplacing(path, PreparedReportXml(doc));
}

RenderedDocument LoadPreparedReport(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("无法打开文件 %1：%2").arg(QDir::toNativeSeparators(path), file.errorString()));
    return ParsePreparedReport(file.readAll(), path);
}

} // namespace tenvora::report

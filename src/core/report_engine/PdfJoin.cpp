#include "report_engine/PdfJoin.h"

#include "data/Errors.h"
#include "datamgmt/FileCopy.h"
#include "report_engine/PageRenderer.h"

#include <QBuffer>
#include <QMap>
#include <QRegularExpression>
#include <algorithm>

namespace tenvora::report {

namespace {

[[noreturn]] void unreadable(const QString& what) {
    throw Error(QStringLiteral("无法合并 PDF 文件：%1").arg(what));
}

struct SourcePdf {
    QMap<int, QByteArray> objects; // each object's text between "obj" and "endobj"
    int catalog = 0;
    int info = 0;
    int pages = 0;
    QList<int> kids;
};

int refNumber(const QByteArray& text, const char* key) {
    static const QRegularExpression number(QStringLiteral("^\\s*(\\d+)\\s+0\\s+R"));
    const qsizetype at = text.indexOf(key);
    if (at < 0)
        return 0;
    const auto m = number.match(QString::fromLatin1(text.mid(at + qstrlen(key), 40)));
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

SourcePdf parse(const QByteArray& pdf) {
    SourcePdf source;
    const qsizetype start = pdf.lastIndexOf("startxref");
    if (!pdf.startsWith("%PDF-") || start < 0)
        unreadable(QStringLiteral("不是本程序写出的 PDF"));
    bool ok = false;
    const qsizetype xref = pdf.mid(start + 9, 32).trimmed().split('\n').value(0).trimmed().toLongLong(&ok);
    const qsizetype trailer = pdf.indexOf("trailer", xref);
    if (!ok || xref <= 0 || xref >= start || !pdf.mid(xref).startsWith("xref") || trailer < 0)
        unreadable(QStringLiteral("交叉引用表损坏"));

    // Entries of the one subsection "0 N": offset, generation, n or f.
    static const QRegularExpression entry(QStringLiteral("(\\d{10}) (\\d{5}) ([nf])"));
    const QString table = QString::fromLatin1(pdf.mid(xref, trailer - xref));
    QList<std::pair<qsizetype, int>> offsets;
    int number = 0;
    for (auto it = entry.globalMatch(table); it.hasNext(); ++number) {
        const auto m = it.next();
        if (m.captured(3) == QLatin1String("n"))
            offsets.append({m.captured(1).toLongLong(), number});
    }
    std::sort(offsets.begin(), offsets.end());
    for (int i = 0; i < offsets.size(); ++i) {
        const auto [offset, n] = offsets[i];
        const qsizetype end = i + 1 < offsets.size() ? offsets[i + 1].first : xref;
        const QByteArray raw = pdf.mid(offset, end - offset);
        const QByteArray head = QByteArray::number(n) + " 0 obj";
        const qsizetype close = raw.lastIndexOf("endobj");
        if (!raw.startsWith(head) || close < 0)
            unreadable(QStringLiteral("对象 %1 不在交叉引用表所说的位置").arg(n));
        source.objects.insert(n, raw.mid(head.size(), close - head.size()));
    }

    const QByteArray trailerDict = pdf.mid(trailer, start - trailer);
    source.catalog = refNumber(trailerDict, "/Root");
    source.info = refNumber(trailerDict, "/Info");
    source.pages = refNumber(source.objects.value(source.catalog), "/Pages");
    const QByteArray tree = source.objects.value(source.pages);
    const qsizetype open = tree.indexOf("/Kids");
    const qsizetype from = tree.indexOf('[', open);
    const qsizetype to = tree.indexOf(']', from);
    if (source.pages == 0 || open < 0 || from < 0 || to < 0)
        unreadable(QStringLiteral("没有页面目录"));
    static const QRegularExpression ref(QStringLiteral("(\\d+)\\s+0\\s+R"));
    for (auto it = ref.globalMatch(QString::fromLatin1(tree.mid(from, to - from))); it.hasNext();) {
        const int kid = it.next().captured(1).toInt();
        if (!source.objects.value(kid).contains("/Type /Page\n") && !source.objects.value(kid).contains("/Type /Page "))
            unreadable(QStringLiteral("页面目录不是单层的"));
        source.kids << kid;
    }
    return source;
}

// A text string of any script: UTF-16BE with its byte-order mark, as hexadecimal.
QByteArray pdfText(const QString& text) {
    QByteArray bytes("\xfe\xff", 2);
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() >> 8));
        bytes.append(static_cast<char>(c.unicode() & 0xff));
    }
    return '<' + bytes.toHex().toUpper() + '>';
}

class Writer {
public:
    Writer() { m_out = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n"; }

    void object(int number, const QByteArray& body) {
        const auto at = static_cast<size_t>(number);
        if (m_offsets.size() <= at)
            m_offsets.resize(at + 1, 0);
        m_offsets[at] = m_out.size();
        m_out += QByteArray::number(number) + " 0 obj" + body + "endobj\n";
    }

    QByteArray finish(int catalog, int info) {
        const qsizetype xref = m_out.size();
        m_out += "xref\n0 " + QByteArray::number(m_offsets.size()) + "\n0000000000 65535 f \n";
        for (size_t n = 1; n < m_offsets.size(); ++n)
            m_out += QByteArray::number(m_offsets[n]).rightJustified(10, '0') + " 00000 n \n";
        m_out += "trailer\n<<\n/Size " + QByteArray::number(m_offsets.size()) + "\n/Info " + QByteArray::number(info) +
                 " 0 R\n/Root " + QByteArray::number(catalog) + " 0 R\n>>\nstartxref\n" + QByteArray::number(xref) +
                 "\n%%EOF\n";
        return m_out;
    }

private:
    QByteArray m_out;
    std::vector<qsizetype> m_offsets{0};
};

} // namespace

QByteArray JoinPdf(const QList<PdfPart>& parts, const QString& title) {
    QList<SourcePdf> sources;
    for (const PdfPart& part : parts)
        sources << parse(part.pdf);

    constexpr int kInfo = 1;
    constexpr int kCatalog = 2;
    constexpr int kPages = 3;
    constexpr int kOutlines = 4;
    const int firstMark = kOutlines + 1;
    int next = firstMark + static_cast<int>(parts.size());

    // Every object of every part gets a number of its own; the parts' catalogs, page trees and
    // document information give way to the joined file's.
    QList<QMap<int, int>> numbers;
    for (const SourcePdf& s : sources) {
        QMap<int, int> map;
        for (auto it = s.objects.cbegin(); it != s.objects.cend(); ++it)
            map.insert(it.key(), it.key() == s.pages                           ? kPages
                                 : it.key() == s.catalog || it.key() == s.info ? 0
                                                                               : next++);
        numbers << map;
    }

    Writer out;
    static const QRegularExpression ref(QStringLiteral("(\\d+)(\\s+)0(\\s+)R"));
    QByteArray kids;
    QList<int> firstPages;
    for (int p = 0; p < sources.size(); ++p) {
        const SourcePdf& s = sources[p];
        const QMap<int, int>& map = numbers[p];
        firstPages << (s.kids.isEmpty() ? 0 : map.value(s.kids.first()));
        for (int kid : s.kids)
            kids += QByteArray::number(map.value(kid)) + " 0 R\n";
        for (auto it = s.objects.cbegin(); it != s.objects.cend(); ++it) {
            const int number = map.value(it.key());
            if (number == 0 || number == kPages)
                continue;
            // References sit in the dictionary; a stream's bytes are copied untouched.
            const QByteArray& body = it.value();
            const qsizetype stream = body.indexOf("stream\n");
            QString head = QString::fromLatin1(stream < 0 ? body : body.left(stream));
            QString renumbered;
            qsizetype last = 0;
            for (auto m = ref.globalMatch(head); m.hasNext();) {
                const auto match = m.next();
                const int target = match.captured(1).toInt();
                if (!map.contains(target) || map.value(target) == 0)
                    unreadable(QStringLiteral("对象 %1 引用了不存在的对象 %2").arg(it.key()).arg(target));
                renumbered +=
                    head.mid(last, match.capturedStart() - last) + QStringLiteral("%1 0 R").arg(map.value(target));
                last = match.capturedEnd();
            }
            renumbered += head.mid(last);
            out.object(number, renumbered.toLatin1() + (stream < 0 ? QByteArray() : body.mid(stream)));
        }
    }

    out.object(kInfo, "\n<<\n/Title " + pdfText(title) + "\n/Creator " + pdfText(QStringLiteral("Tenvora")) + "\n>>\n");
    out.object(kCatalog, "\n<<\n/Type /Catalog\n/Pages 3 0 R\n/Outlines 4 0 R\n/PageMode /UseOutlines\n>>\n");
    int pageCount = 0;
    for (const SourcePdf& s : sources)
        pageCount += static_cast<int>(s.kids.size());
    out.object(kPages, "\n<<\n/Type /Pages\n/Kids\n[\n" + kids + "]\n/Count " + QByteArray::number(pageCount) +
                           "\n/ProcSet [/PDF /Text /ImageB /ImageC]\n>>\n");
    QList<int> marks;
    for (int p = 0; p < parts.size(); ++p)
        if (firstPages[p] != 0)
            marks << p;
    QByteArray outlines = "\n<<\n/Type /Outlines\n/Count " + QByteArray::number(marks.size());
    if (!marks.isEmpty())
        outlines += "\n/First " + QByteArray::number(firstMark + marks.first()) + " 0 R\n/Last " +
                    QByteArray::number(firstMark + marks.last()) + " 0 R";
    out.object(kOutlines, outlines + "\n>>\n");
    for (int i = 0; i < marks.size(); ++i) {
        const int p = marks[i];
        QByteArray mark = "\n<<\n/Title " + pdfText(parts[p].title) + "\n/Parent 4 0 R\n/Dest [" +
                          QByteArray::number(firstPages[p]) + " 0 R /Fit]";
        if (i > 0)
            mark += "\n/Prev " + QByteArray::number(firstMark + marks[i - 1]) + " 0 R";
        if (i + 1 < marks.size())
            mark += "\n/Next " + QByteArray::number(firstMark + marks[i + 1]) + " 0 R";
        out.object(firstMark + p, mark + "\n>>\n");
    }
    // Parts without pages have no bookmark; their numbers stay free objects.
    for (int p = 0; p < parts.size(); ++p)
        if (firstPages[p] == 0)
            out.object(firstMark + p, "\nnull\n");
    return out.finish(kCatalog, kInfo);
}

QByteArray PdfBytes(const RenderedDocument& doc) {
    // In memory: the parts are joined there anyway, and no temporary folder can be full or
    // keep a file after a kill.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    WritePdfTo(doc, buffer);
    return bytes;
}

RenderedDocument PartDocument(const RenderedDocument& doc, int part) {
    const DocumentPart& p = doc.parts.at(part);
    RenderedDocument single;
    single.title = p.title;
    single.fonts = doc.fonts;
    single.pages = doc.pages.mid(p.firstPage, p.pageCount);
    return single;
}

void SaveBytes(const QByteArray& bytes, const QString& path) {
    WriteFileReplacing(path, bytes);
}

bool IsMadeOfParts(const RenderedDocument& doc) {
    int next = 0;
    for (const DocumentPart& part : doc.parts) {
        if (part.firstPage != next)
            return false;
        next += part.pageCount;
    }
    return doc.parts.size() > 1 && next == doc.pageCount();
}

void WritePdfWithBookmarks(const RenderedDocument& doc, const QString& path) {
    QList<PdfPart> parts;
    for (int i = 0; i < doc.parts.size(); ++i)
        parts << PdfPart{doc.parts[i].title, PdfBytes(PartDocument(doc, i))};
    SaveBytes(JoinPdf(parts, doc.title), path);
}

} // namespace tenvora::report

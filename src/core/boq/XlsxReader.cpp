#include "boq/XlsxReader.h"

#include "boq/Workbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QIODevice>
#include <QUrl>
#include <QXmlStreamReader>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include <unzip.h>

namespace tenvora {

namespace {

constexpr int kMegabyte = 1 << 20;

[[noreturn]] void fail(const QString& reason) {
    throw WorkbookError(reason);
}

[[noreturn]] void damaged(const QString& what) {
    fail(QStringLiteral("Excel 工作簿（.xlsx）已损坏或不完整：%1").arg(what));
}

// The archive, with its directory read once into a table of part names (which compare without
// regard to letter case in this format).
class ZipArchive {
    // Owns the handle as a member of its own, so a directory refused half-way through the
    // constructor still closes it.
    struct Handle {
        unzFile zip = nullptr;
        Handle(const Handle&) = delete;
        Handle& operator=(const Handle&) = delete;
        explicit Handle(const QString& path) : zip(unzOpen64(QFile::encodeName(path).constData())) {}
        ~Handle() {
            if (zip)
                unzClose(zip);
        }
    };

public:
    explicit ZipArchive(const QString& path)
        : m_handle(path), m_zip(m_handle.zip),
          budget(
              std::min(kXlsxMaxWorkbookBytes, QFileInfo(path).size() * kXlsxMaxExpansion + kXlsxExpansionAllowance)) {
        if (!m_zip)
            damaged(QStringLiteral("压缩包的目录无法读取"));
        unz_global_info64 global{};
        if (unzGetGlobalInfo64(m_zip, &global) != UNZ_OK)
            damaged(QStringLiteral("压缩包的目录无法读取"));
        if (global.number_entry > static_cast<ZPOS64_T>(kXlsxMaxEntries))
            fail(QStringLiteral("Excel 工作簿（.xlsx）的压缩包中有 %1 个文件，超过 %2 个的上限，已拒绝读取")
                     .arg(global.number_entry)
                     .arg(kXlsxMaxEntries));
        int rc = unzGoToFirstFile(m_zip);
        int seen = 0;
        while (rc == UNZ_OK) {
            if (++seen > kXlsxMaxEntries)
                fail(
                    QStringLiteral("Excel 工作簿（.xlsx）的压缩包中的文件超过 %1 个，已拒绝读取").arg(kXlsxMaxEntries));
            char name[512];
            unz_file_info64 info{};
            if (unzGetCurrentFileInfo64(m_zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
                damaged(QStringLiteral("压缩包的目录无法读取"));
            unz64_file_pos pos{};
            if (unzGetFilePos64(m_zip, &pos) != UNZ_OK)
                damaged(QStringLiteral("压缩包的目录无法读取"));
            // A name longer than the buffer is cut short; no part this reader looks for is that long.
            m_entries.insert(QString::fromUtf8(name).toLower(), pos);
            rc = unzGoToNextFile(m_zip);
        }
        if (rc != UNZ_END_OF_LIST_OF_FILE)
            damaged(QStringLiteral("压缩包的目录无法读取"));
    }
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    bool contains(const QString& part) const { return m_entries.contains(part.toLower()); }

    // Makes the part current and opens it for reading.
    void open(const QString& part) {
        const auto it = m_entries.constFind(part.toLower());
        if (it == m_entries.constEnd())
            damaged(QStringLiteral("缺少 %1").arg(part));
        unz64_file_pos pos = *it;
        unz_file_info64 info{};
        if (unzGoToFilePos64(m_zip, &pos) != UNZ_OK ||
            unzGetCurrentFileInfo64(m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            damaged(QStringLiteral("%1 无法读取").arg(part));
        if (info.flag & 1u)
            fail(QStringLiteral("工作簿设有密码保护，无法读取"));
        if (unzOpenCurrentFile(m_zip) != UNZ_OK)
            damaged(QStringLiteral("%1 无法解压").arg(part));
    }
    unzFile handle() const { return m_zip; }

    // Bytes expanded from every part so far, for the workbook's cap.
    qint64 expanded = 0;

private:
    Handle m_handle;
    unzFile m_zip;

public:
    // What every part read from the workbook may expand to together.
    const qint64 budget;

private:
    QHash<QString, unz64_file_pos> m_entries;
};

// One part as a device the XML reader pulls from; expanding stops at the caps. A failure
// ends the data for the XML reader and is kept here, so the caller reports it instead of
// the reader's "premature end".
class PartDevice : public QIODevice {
public:
    PartDevice(ZipArchive& zip, const QString& part) : m_zip(zip), m_part(part) {
        m_zip.open(part);
        m_open = true;
        QIODevice::open(QIODevice::ReadOnly);
    }
    ~PartDevice() override {
        if (m_open)
            unzCloseCurrentFile(m_zip.handle());
    }
    bool isSequential() const override { return true; }
    // A sequential device counts as ended when nothing is buffered; this one has more to expand
    // until the archive says the part is over.
    bool atEnd() const override { return !m_open && QIODevice::atEnd(); }
    qint64 bytesAvailable() const override { return QIODevice::bytesAvailable() + (m_open ? 1 : 0); }
    const QString& failure() const { return m_failure; }
    const QString& part() const { return m_part; }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        if (!m_failure.isEmpty() || !m_open)
            return -1;
        if (maxSize <= 0)
            return 0; // a probe: 0 bytes from the archive would mean the part is over
        const unsigned chunk = static_cast<unsigned>(std::min<qint64>(maxSize, kMegabyte));
        const int n = unzReadCurrentFile(m_zip.handle(), data, chunk);
        if (n < 0) {
            m_failure = QStringLiteral("Excel 工作簿（.xlsx）已损坏或不完整：%1 无法解压").arg(m_part);
            return -1;
        }
        if (n == 0) {
            m_open = false;
            if (unzCloseCurrentFile(m_zip.handle()) != UNZ_OK)
                m_failure = QStringLiteral("Excel 工作簿（.xlsx）已损坏或不完整：%1 的校验和不对").arg(m_part);
            return -1;
        }
        m_bytes += n;
        m_zip.expanded += n;
        // Chunks are no longer than the token cap, so only a stretch across chunks can pass it.
        const auto* first = static_cast<const char*>(std::memchr(data, '<', static_cast<size_t>(n)));
        if (!first) {
            m_sinceMarkup += n;
        } else {
            const qint64 across = m_sinceMarkup + (first - data);
            const char* last = data + n - 1;
            while (*last != '<')
                --last;
            m_sinceMarkup = across > kXlsxMaxTokenBytes ? across : data + n - 1 - last;
        }
        if (m_bytes > kXlsxMaxPartBytes)
            m_failure = QStringLiteral("Excel 工作簿（.xlsx）中的 %1 解压后超过 %2 MB 的上限，已拒绝读取")
                            .arg(m_part)
                            .arg(kXlsxMaxPartBytes / kMegabyte);
        else if (m_zip.expanded > kXlsxMaxWorkbookBytes)
            m_failure = QStringLiteral("Excel 工作簿（.xlsx）解压后的内容超过 %1 MB 的上限，已拒绝读取")
                            .arg(kXlsxMaxWorkbookBytes / kMegabyte);
        else if (m_zip.expanded > m_zip.budget)
            m_failure = QStringLiteral("Excel 工作簿（.xlsx）解压后的内容超过文件本身大小的 %1 倍，不是正常的工作簿"
                                       "（可能是专门构造的压缩包），已拒绝读取")
                            .arg(kXlsxMaxExpansion);
        else if (m_sinceMarkup > kXlsxMaxTokenBytes)
            m_failure = QStringLiteral("Excel 工作簿（.xlsx）中的 %1 有一段超过 %2 MB 的文字，单元格容不下这么多，"
                                       "已拒绝读取")
                            .arg(m_part)
                            .arg(kXlsxMaxTokenBytes / kMegabyte);
        return m_failure.isEmpty() ? n : -1;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    ZipArchive& m_zip;
    QString m_part;
    QString m_failure;
    qint64 m_bytes = 0;
    qint64 m_sinceMarkup = 0;
    bool m_open = false;
};

// Pulls the tokens of one part. A document type definition is refused outright: it is the only
// way to declare entities, so no entity is ever expanded and no outside file is ever named.
class PartReader {
public:
    PartReader(ZipArchive& zip, const QString& part) : m_device(zip, part), m_xml(&m_device) {
        m_xml.setNamespaceProcessing(true);
    }

    // The next start or end element; false at the end of the part. Throws on any fault.
    bool next() {
        for (;;) {
            const QXmlStreamReader::TokenType t = m_xml.readNext();
            switch (t) {
            case QXmlStreamReader::StartElement:
            case QXmlStreamReader::EndElement:
                return true;
            case QXmlStreamReader::DTD:
            case QXmlStreamReader::EntityReference:
                fail(QStringLiteral("Excel 工作簿（.xlsx）中的 %1 含有文档类型定义（DTD）或实体引用，已拒绝读取")
                         .arg(m_device.part()));
            case QXmlStreamReader::EndDocument:
                return false;
            case QXmlStreamReader::Invalid:
                check();
                return false;
            default:
                break;
            }
        }
    }
    bool isStart(QStringView name) const { return m_xml.isStartElement() && m_xml.name() == name; }
    bool isEnd(QStringView name) const { return m_xml.isEndElement() && m_xml.name() == name; }
    QXmlStreamReader& xml() { return m_xml; }

    // The text of a text-only element (the reader stands on its start).
    QString text() {
        const QString t = m_xml.readElementText(QXmlStreamReader::IncludeChildElements);
        check();
        return t;
    }
    void skip() {
        m_xml.skipCurrentElement();
        check();
    }

    void check() const {
        if (!m_device.failure().isEmpty())
            fail(m_device.failure());
        if (m_xml.hasError())
            damaged(QStringLiteral("%1 不是完好的 XML（第 %2 行第 %3 列）")
                        .arg(m_device.part())
                        .arg(m_xml.lineNumber())
                        .arg(m_xml.columnNumber()));
    }

private:
    PartDevice m_device;
    QXmlStreamReader m_xml;
};

// "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels"
QString relationshipsPart(const QString& part) {
    const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
    return part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1) + QStringLiteral(".rels");
}

// A relationship's target, relative to the folder of the part that names it or absolute.
QString resolveTarget(const QString& fromPart, const QString& target) {
    const QString decoded = QUrl::fromPercentEncoding(target.toUtf8());
    if (decoded.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(decoded.mid(1));
    const qsizetype slash = fromPart.lastIndexOf(QLatin1Char('/'));
    return QDir::cleanPath(fromPart.left(slash + 1) + decoded);
}

struct Relationship {
    QString type;
    QString target;
};

// Id -> relationship of the part (empty when the part has none).
QHash<QString, Relationship> readRelationships(ZipArchive& zip, const QString& part) {
    QHash<QString, Relationship> rels;
    const QString relsPart = relationshipsPart(part);
    if (!zip.contains(relsPart))
        return rels;
    PartReader r(zip, relsPart);
    while (r.next()) {
        if (!r.isStart(u"Relationship"))
            continue;
        const QXmlStreamAttributes a = r.xml().attributes();
        if (a.value(QLatin1String("TargetMode")) == u"External")
            continue;
        rels.insert(a.value(QLatin1String("Id")).toString(),
                    {a.value(QLatin1String("Type")).toString(),
                     resolveTarget(part, a.value(QLatin1String("Target")).toString())});
        if (rels.size() > kXlsxMaxEntries)
            damaged(QStringLiteral("%1 中的关系太多").arg(relsPart));
    }
    return rels;
}

QString workbookPart(ZipArchive& zip) {
    for (const Relationship& rel : readRelationships(zip, QString()))
        if (rel.type.endsWith(QLatin1String("/officeDocument")))
            return rel.target;
    if (zip.contains(QStringLiteral("xl/workbook.xml")))
        return QStringLiteral("xl/workbook.xml");
    fail(QStringLiteral("压缩包中没有 Excel 工作簿（.xlsx）的内容，可能是其他格式的文件"));
}

struct SheetEntry {
    QString name;
    QString part;
};

std::vector<SheetEntry> readSheetList(ZipArchive& zip, const QString& workbook, QString& sharedStringsPart) {
    const QHash<QString, Relationship> rels = readRelationships(zip, workbook);
    for (const Relationship& rel : rels)
        if (rel.type.endsWith(QLatin1String("/sharedStrings")))
            sharedStringsPart = rel.target;
    std::vector<SheetEntry> sheets;
    PartReader r(zip, workbook);
    while (r.next()) {
        if (!r.isStart(u"sheet"))
            continue;
        SheetEntry entry;
        QString id;
        for (const QXmlStreamAttribute& a : r.xml().attributes()) {
            if (a.name() == u"name" && a.namespaceUri().isEmpty())
                entry.name = a.value().toString();
            else if (a.name() == u"id" && !a.namespaceUri().isEmpty())
                id = a.value().toString();
        }
        entry.part = rels.value(id).target;
        sheets.push_back(std::move(entry));
        if (sheets.size() > static_cast<size_t>(kXlsxMaxEntries))
            damaged(QStringLiteral("工作表太多"));
    }
    return sheets;
}

// Excel writes characters that XML cannot carry as _xHHHH_ (and a literal "_x" as _x005F_x).
QString decodeEscapes(QString text) {
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'_' && i + 6 < text.size() && text.at(i + 1) == u'x' && text.at(i + 6) == u'_') {
            bool ok = false;
            const uint code = QStringView(text).sliced(i + 2, 4).toUInt(&ok, 16);
            if (ok) {
                out += QChar(static_cast<char16_t>(code));
                i += 6;
                continue;
            }
        }
        out += text.at(i);
    }
    return out;
}

// The text of a string item (<si> or <is>): its <t> elements, rich-text runs included, without
// the phonetic guide (<rPh>). The reader stands on the item's start.
QString itemText(PartReader& r, QStringView item) {
    QString text;
    while (r.next()) {
        if (r.isEnd(item))
            break;
        if (r.isStart(u"rPh"))
            r.skip();
        else if (r.isStart(u"t"))
            text += r.text();
    }
    return decodeEscapes(std::move(text));
}

std::vector<QByteArray> readSharedStrings(ZipArchive& zip, const QString& part) {
    std::vector<QByteArray> strings;
    if (part.isEmpty() || !zip.contains(part))
        return strings;
    PartReader r(zip, part);
    while (r.next()) {
        if (!r.isStart(u"si"))
            continue;
        if (static_cast<qint64>(strings.size()) >= kXlsxMaxCells)
            fail(QStringLiteral("Excel 工作簿（.xlsx）中的文本超过 %1 项的上限，已拒绝读取").arg(kXlsxMaxCells));
        strings.push_back(itemText(r, u"si").toUtf8());
    }
    return strings;
}

struct StoredCell {
    enum Kind : quint8 { Number, Shared, Own };
    quint32 row;
    quint16 column;
    Kind kind;
    quint32 index; // into the shared texts or the sheet's own texts
    double number;
};

// "AB12" -> column 27, row 11 (both from 0); false for anything else or beyond the format's limits.
bool parseReference(QStringView ref, int& row, int& column) {
    qsizetype i = 0;
    qint64 c = 0;
    while (i < ref.size() && ref[i] >= u'A' && ref[i] <= u'Z' && c <= kXlsxMaxColumns)
        c = c * 26 + (ref[i++].unicode() - u'A' + 1);
    qint64 r = 0;
    const qsizetype digits = i;
    while (i < ref.size() && ref[i] >= u'0' && ref[i] <= u'9' && r <= kXlsxMaxRows)
        r = r * 10 + (ref[i++].unicode() - u'0');
    if (i != ref.size() || digits == 0 || digits == ref.size() || c < 1 || c > kXlsxMaxColumns || r < 1 ||
        r > kXlsxMaxRows)
        return false;
    row = static_cast<int>(r - 1);
    column = static_cast<int>(c - 1);
    return true;
}

bool parseNumber(QStringView text, double& value) {
    char buffer[64];
    const QStringView trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() >= static_cast<qsizetype>(sizeof buffer))
        return false;
    for (qsizetype i = 0; i < trimmed.size(); ++i) {
        const char16_t ch = trimmed[i].unicode();
        if (ch > 0x7f)
            return false;
        buffer[i] = static_cast<char>(ch);
    }
    const char* end = buffer + trimmed.size();
    const char* begin = buffer[0] == '+' ? buffer + 1 : buffer;
    const std::from_chars_result parsed = std::from_chars(begin, end, value);
    return parsed.ec == std::errc() && parsed.ptr == end;
}

class SheetCells {
public:
    SheetCells(const QString& name, const std::vector<QByteArray>& shared) : m_name(name), m_shared(shared) {}

    void read(PartReader& r) {
        int row = -1;
        int column = -1;
        while (r.next()) {
            if (r.isStart(u"row")) {
                const QStringView at = r.xml().attributes().value(QLatin1String("r"));
                bool ok = true;
                row = at.isEmpty() ? row + 1 : at.toInt(&ok) - 1;
                if (!ok || row < 0 || row >= kXlsxMaxRows)
                    damaged(QStringLiteral("工作表“%1”的行号“%2”不对").arg(m_name, at.toString()));
                column = -1;
            } else if (r.isStart(u"c")) {
                if (row < 0)
                    damaged(QStringLiteral("工作表“%1”有不在行中的单元格").arg(m_name));
                const QXmlStreamAttributes a = r.xml().attributes();
                const QStringView ref = a.value(QLatin1String("r"));
                if (ref.isEmpty()) {
                    if (++column >= kXlsxMaxColumns)
                        damaged(QStringLiteral("工作表“%1”第 %2 行的单元格太多").arg(m_name).arg(row + 1));
                } else if (!parseReference(ref, row, column)) {
                    damaged(QStringLiteral("工作表“%1”的单元格位置“%2”不对").arg(m_name, ref.toString()));
                }
                readCell(r, a.value(QLatin1String("t")).toString(), row, column);
            }
        }
    }

    void deliver(int index, CellSink& sink) {
        if (!std::is_sorted(m_cells.begin(), m_cells.end(), before))
            std::stable_sort(m_cells.begin(), m_cells.end(), before);
        qint64 rows = 0;
        qint64 columns = 0;
        for (const StoredCell& c : m_cells) {
            rows = std::max<qint64>(rows, c.row + 1);
            columns = std::max<qint64>(columns, c.column + 1);
        }
        if (rows * columns > kXlsxMaxCells)
            fail(QStringLiteral("工作表“%1”的使用范围（%2 行 %3 列）超过 %4 个单元格的上限，已拒绝读取")
                     .arg(m_name)
                     .arg(rows)
                     .arg(columns)
                     .arg(kXlsxMaxCells));
        sink.beginSheet(index, static_cast<int>(rows), static_cast<int>(columns));
        size_t next = 0;
        for (quint32 r = 0; r < rows; ++r) {
            for (quint16 c = 0; c < columns; ++c) {
                if (next >= m_cells.size() || m_cells[next].row != r || m_cells[next].column != c) {
                    sink.emptyCell();
                    continue;
                }
                // A cell written twice: the later one stands.
                while (next + 1 < m_cells.size() && m_cells[next + 1].row == r && m_cells[next + 1].column == c)
                    ++next;
                const StoredCell& cell = m_cells[next++];
                if (cell.kind == StoredCell::Number)
                    sink.numberCell(cell.number);
                else
                    sink.textCell(cell.kind == StoredCell::Shared ? m_shared[cell.index] : m_own[cell.index]);
            }
        }
    }

private:
    static bool before(const StoredCell& a, const StoredCell& b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    }

    void readCell(PartReader& r, const QString& type, int row, int column) {
        QString value;
        bool hasValue = false;
        while (r.next()) {
            if (r.isEnd(u"c"))
                break;
            if (r.isStart(u"v")) {
                value = r.text();
                hasValue = true;
            } else if (r.isStart(u"is")) {
                value = itemText(r, u"is");
                hasValue = true;
            } else if (r.xml().isStartElement()) {
                r.skip(); // a formula, or an extension this reader does not need
            }
        }
        if (!hasValue)
            return;
        if (static_cast<qint64>(m_cells.size()) >= kXlsxMaxCells)
            fail(QStringLiteral("工作表“%1”的单元格超过 %2 个的上限，已拒绝读取").arg(m_name).arg(kXlsxMaxCells));
        StoredCell cell{static_cast<quint32>(row), static_cast<quint16>(column), StoredCell::Number, 0, 0};
        const auto where = [&] {
            return QStringLiteral("工作表“%1”第 %2 行第 %3 列").arg(m_name).arg(row + 1).arg(column + 1);
        };
        if (type == u"s") {
            bool ok = false;
            const qint64 index = value.trimmed().toLongLong(&ok);
            if (!ok || index < 0 || index >= static_cast<qint64>(m_shared.size()))
                damaged(QStringLiteral("%1的单元格引用的文本不存在").arg(where()));
            cell.kind = StoredCell::Shared;
            cell.index = static_cast<quint32>(index);
        } else if (type == u"b") {
            const QString flag = value.trimmed();
            if (flag != u"0" && flag != u"1")
                damaged(QStringLiteral("%1的逻辑值“%2”不对").arg(where(), flag));
            // As the .xls reader hands them over: 1 and 0.
            cell.number = flag == u"1" ? 1 : 0;
        } else if (type == u"str" || type == u"inlineStr" || type == u"e" || type == u"d") {
            ownText(cell, decodeEscapes(value).toUtf8());
        } else if (type.isEmpty() || type == u"n") {
            if (value.trimmed().isEmpty())
                return;
            if (!parseNumber(value, cell.number))
                damaged(QStringLiteral("%1的数值“%2”无法识别").arg(where(), value.left(40)));
            // Like the other reader, a value that is not a finite number counts as empty.
            if (!std::isfinite(cell.number))
                return;
        } else {
            damaged(QStringLiteral("%1的单元格类型“%2”无法识别").arg(where(), type.left(20)));
        }
        m_cells.push_back(cell);
    }

    void ownText(StoredCell& cell, QByteArray text) {
        cell.kind = StoredCell::Own;
        cell.index = static_cast<quint32>(m_own.size());
        m_own.push_back(std::move(text));
    }

    QString m_name;
    const std::vector<QByteArray>& m_shared;
    std::vector<QByteArray> m_own;
    std::vector<StoredCell> m_cells;
};

} // namespace

void ReadXlsxCells(const QString& path, const QString& onlySheet, CellSink& sink) {
    ZipArchive zip(path);
    const QString workbook = workbookPart(zip);
    QString sharedPart;
    const std::vector<SheetEntry> sheets = readSheetList(zip, workbook, sharedPart);

    QStringList names;
    for (const SheetEntry& s : sheets)
        names << s.name;
    sink.sheetNames(names);

    const bool anyToRead = std::any_of(sheets.begin(), sheets.end(),
                                       [&](const SheetEntry& s) { return onlySheet.isEmpty() || s.name == onlySheet; });
    if (!anyToRead)
        return;
    const std::vector<QByteArray> shared = readSharedStrings(zip, sharedPart);
    for (size_t i = 0; i < sheets.size(); ++i) {
        const SheetEntry& s = sheets[i];
        if (!onlySheet.isEmpty() && s.name != onlySheet)
            continue;
        if (s.part.isEmpty() || !zip.contains(s.part))
            damaged(QStringLiteral("工作表“%1”的内容不在压缩包中").arg(s.name));
        SheetCells cells(s.name, shared);
        {
            PartReader r(zip, s.part);
            cells.read(r);
        }
        cells.deliver(static_cast<int>(i), sink);
        if (!onlySheet.isEmpty())
            break;
    }
}

} // namespace tenvora

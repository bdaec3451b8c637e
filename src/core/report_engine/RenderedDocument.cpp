#include "report_engine/RenderedDocument.h"

#include <algorithm>

namespace tenvora::report {

QFont MakeFont(const FontSpec& face, double scale) {
    QFont font;
    font.setFamilies(face.families);
    font.setPointSizeF(face.pointSize * scale);
    font.setBold(face.bold);
    font.setItalic(face.italic);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

void AppendDocument(RenderedDocument& into, const RenderedDocument& part, const QString& title) {
    QList<int> fontMap;
    bool same = true;
    for (int i = 0; i < part.fonts.size(); ++i) {
        int index = -1;
        for (int j = 0; j < into.fonts.size() && index < 0; ++j)
            if (into.fonts[j].face == part.fonts[i].face)
                index = j;
        if (index < 0) {
            index = static_cast<int>(into.fonts.size());
            into.fonts << part.fonts[i];
        }
        fontMap << index;
        same = same && index == i;
    }
    into.parts << DocumentPart{title, into.pageCount(), part.pageCount()};
    // Forms laid out by one report component share its font table, so usually nothing is renumbered.
    if (same) {
        into.pages << part.pages;
        return;
    }
    for (RenderedPage page : part.pages) {
        for (TextBox& box : page.texts)
            box.font = fontMap.value(box.font);
        into.pages << page;
    }
}

namespace {

QString boxText(const TextBox& box) {
    QString text;
    for (const TextRun& run : box.runs) {
        if (run.text.trimmed().isEmpty())
            continue;
        if (!text.isEmpty() && !run.continuation)
            text += QStringLiteral(" / ");
        text += run.continuation ? run.text : run.text.trimmed();
    }
    return text.trimmed();
}

} // namespace

QStringList PageTextRows(const RenderedPage& page) {
    struct Item {
        qint64 top; // tenths of a millimetre, so that rounding noise does not split a row
        double left;
        QString text;
    };
    QList<Item> items;
    for (const TextBox& box : page.texts) {
        const QString text = boxText(box);
        if (!text.isEmpty())
            items << Item{qRound64(box.clip.top() * 10), box.clip.left(), text};
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const Item& a, const Item& b) { return a.top != b.top ? a.top < b.top : a.left < b.left; });
    QStringList rows;
    qint64 rowTop = -1;
    for (const Item& item : items) {
        if (rows.isEmpty() || item.top != rowTop) {
            rows << item.text;
            rowTop = item.top;
        } else {
            rows.last() += QStringLiteral(" | ") + item.text;
        }
    }
    return rows;
}

QString TextDump(const RenderedDocument& doc) {
    QString dump;
    for (int i = 0; i < doc.pageCount(); ++i) {
        dump += QStringLiteral("--- 第 %1 页 ---\n").arg(i + 1);
        for (const QString& row : PageTextRows(doc.pages[i]))
            dump += row + QLatin1Char('\n');
    }
    return dump;
}

} // namespace tenvora::report

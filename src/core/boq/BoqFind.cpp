#include "boq/BoqFind.h"

#include "boq/BoqLineRules.h"
#include "data/DataModule.h"
#include "data/DataSet.h"
#include "data/Money.h"

#include <QRegularExpression>
#include <algorithm>

namespace tenvora {

bool IsUnpriced(const QVariant& quantity, const QString& item, const QString& unit, const QString& chapter,
                const QVariant& price) {
    return !IsPriceLocked(quantity, item, unit, chapter) && !NumberOf(price).has_value();
}

bool IsUnpriced(const DataSet& lines, int row) {
    return IsUnpriced(lines.value(row, BoqColumn::Quantity), lines.value(row, BoqColumn::Item).toString(),
                      lines.value(row, BoqColumn::Unit).toString(), lines.value(row, BoqColumn::Chapter).toString(),
                      lines.value(row, BoqColumn::Price));
}

bool BoqLineMatches(const QString& item, const QString& name, const QString& text) {
    const QString wanted = text.trimmed();
    if (wanted.isEmpty())
        return false;
    if (item.startsWith(wanted, Qt::CaseInsensitive))
        return true;
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QStringList words = wanted.split(blanks, Qt::SkipEmptyParts);
    return std::all_of(words.begin(), words.end(),
                       [&](const QString& word) { return name.contains(word, Qt::CaseInsensitive); });
}

std::vector<BoqFoundLine> FindBoqLines(DataModule& dm, const QString& contract, const QString& text, bool unpricedOnly,
                                       const QStringList& chapterOrder) {
    if (text.trimmed().isEmpty())
        return {};
    auto q = dm.NewQuery();
    dm.RunSql(*q,
              QStringLiteral("select rowid, 章, 细目编号, 细目名称, 单位, 合同数量, 合同单价 from jd_htqd "
                             "where 是否补充 = 0 and 合同编号 = ? order by bz, 细目编号 collate ITEMNO"),
              {contract}, true);
    QHash<QString, int> place;
    for (int i = 0; i < chapterOrder.size(); ++i)
        place.insert(chapterOrder[i].toCaseFolded(), i);
    struct Ranked {
        int chapter;
        BoqFoundLine line;
    };
    std::vector<Ranked> found;
    for (int r = 0; r < q->recordCount(); ++r) {
        const QString item = q->text(r, BoqColumn::Item);
        const QString name = q->text(r, BoqColumn::Name);
        if (!BoqLineMatches(item, name, text))
            continue;
        const QString chapter = q->text(r, BoqColumn::Chapter);
        if (unpricedOnly && !IsUnpriced(q->value(r, BoqColumn::Quantity), item, q->text(r, BoqColumn::Unit), chapter,
                                        q->value(r, BoqColumn::Price)))
            continue;
        const int rank = chapter.isEmpty() ? -1 : place.value(chapter.toCaseFolded(), -1);
        found.push_back({rank < 0 ? static_cast<int>(chapterOrder.size()) : rank,
                         {q->value(r, QStringLiteral("rowid")).toLongLong(), chapter, item, name}});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Ranked& a, const Ranked& b) { return a.chapter < b.chapter; });
    std::vector<BoqFoundLine> lines;
    lines.reserve(found.size());
    for (Ranked& f : found)
        lines.push_back(std::move(f.line));
    return lines;
}

} // namespace tenvora

// Finding lines of the bill across all chapters of the contract, and the lines still to price.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace tenvora {

class DataSet;
class DataModule;

// A line the bidder still has to price: priceable (no price lock) and no price stored.
bool IsUnpriced(const QVariant& quantity, const QString& item, const QString& unit, const QString& chapter,
                const QVariant& price);
bool IsUnpriced(const DataSet& lines, int row);

// A line matches a search text when its item number starts with the text, or when its
// description holds every word of the text (blanks separate words); letter case is ignored.
// A blank text matches nothing.
bool BoqLineMatches(const QString& item, const QString& name, const QString& text);

struct BoqFoundLine {
    qint64 rowId = 0;
    QString chapter;
    QString item;
    QString name;
};

// The contract's main-bill lines that match, in the order the editor shows them: by the tree's
// chapters (chapterOrder, the chapter nodes' texts; a chapter code belongs to the node whose text
// it equals ignoring letter case, as the tree merges them), then as each list is ordered (bz,
// then item numbers in natural order). Lines of no chapter node come last. unpricedOnly keeps
// the lines still to price.
std::vector<BoqFoundLine> FindBoqLines(DataModule& dm, const QString& contract, const QString& text, bool unpricedOnly,
                                       const QStringList& chapterOrder);

} // namespace tenvora

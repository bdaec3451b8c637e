// The BoQ editor's commands as a person names them, by chapter code and item number rather than
// by a row on display. The command line drives the editor through these; the window reaches the
// same BoqEditor operations through its tree and grid, so both end in the one save hook.
#pragma once

#include "boq/PricePaste.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace tenvora {

class BoqEditor;

// Builds the tree and lists: the chapter given (Refused when the contract has no chapter of that
// code); else, when item is given and only one main-bill line of the contract has that number,
// that line's chapter (so that pricing one line reads one chapter); else the whole contract.
void ListLinesFor(BoqEditor& editor, const std::optional<QString>& chapter,
                  const std::optional<QString>& item = std::nullopt);
// The row of the first listed line with exactly that item number; Refused when there is none.
int ListedRowOf(const BoqEditor& editor, const QString& item);
// Lists as ListLinesFor and prices the first line with that item number through the save hook
// (a price-locked line is Refused); returns its row in the list.
int PriceItem(BoqEditor& editor, const QString& item, const QVariant& price, const std::optional<QString>& chapter);
// Lists as ListLinesFor and pastes a column of prices from the first line with that item number down.
PasteResult PasteFromItem(BoqEditor& editor, const QString& item, const std::optional<QString>& chapter,
                          const QString& text);
// The chapter codes asked for, as the contract's tree spells them; Refused for a code it lacks.
QStringList ContractChapters(BoqEditor& editor, const QStringList& codes);

} // namespace tenvora

// Putting analysed unit prices into the bill from the BoQ editor: the lines written through the
// save hook as one change (AnalysedPriceApply), which becomes one step of the editor's history,
// so that one undo puts every price back as it was stored.
#pragma once

#include "pricing/AnalysedPriceApply.h"

#include <optional>

namespace tenvora {

class BoqEditor;

struct RepriceResult {
    int changed = 0;
    int same = 0;
    int locked = 0;
    int unpriced = 0;
    // "已写入 N 个细目的分析单价（可撤销）" and what was passed over.
    QString text() const;
};

// Writes a proposal made on the editor's contract and hands the change to the editor's history.
RepriceResult ApplyInEditor(BoqEditor& editor, AnalysedPriceApply& apply, const QString& label);
// The analysed prices of these items (every line with a build-up without items) into the bill;
// a price typed but not saved is saved first. The step is named by label.
RepriceResult RepriceInEditor(BoqEditor& editor, const std::optional<QStringList>& items, const QString& label);

} // namespace tenvora

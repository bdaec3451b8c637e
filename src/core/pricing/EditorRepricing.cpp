// Putting analysed unit prices into the bill from the BoQ editor, as one step of its history.
#include "pricing/EditorRepricing.h"

#include "boq/BoqEditor.h"
#include "data/DataModule.h"

namespace tenvora {

QString RepriceResult::text() const {
    QString text = changed > 0 ? QStringLiteral("已写入 %1 个细目的分析单价（可撤销）").arg(changed)
                               : QStringLiteral("分析单价与合同单价相同，没有改动");
    if (locked > 0)
        text += QStringLiteral("；%1 个锁定的细目没有写入").arg(locked);
    if (unpriced > 0)
        text += QStringLiteral("；%1 个细目无法分析").arg(unpriced);
    return text;
}

RepriceResult RepriceInEditor(BoqEditor& editor, const std::optional<QStringList>& items, const QString& label) {
    editor.savePending();
    DataModule& dm = editor.dataModule();
    const QString contract = dm.session().CurContractID;
    AnalysedPriceApply apply(dm);
    if (items)
        apply.proposeTouched(contract, *items);
    else
        apply.proposeAll(contract);
    return ApplyInEditor(editor, apply, label);
}

RepriceResult ApplyInEditor(BoqEditor& editor, AnalysedPriceApply& apply, const QString& label) {
    editor.savePending();
    RepriceResult result;
    result.changed = apply.count(AnalysedLine::Outcome::Change);
    result.same = apply.count(AnalysedLine::Outcome::Same);
    result.locked = apply.count(AnalysedLine::Outcome::Locked);
    result.unpriced = apply.count(AnalysedLine::Outcome::Unpriced);
    std::vector<PriceChange> changes = apply.apply();
    if (!changes.empty())
        editor.takeWrittenStep(label, std::move(changes), apply.written());
    return result;
}

} // namespace tenvora

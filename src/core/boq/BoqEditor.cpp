#include "boq/BoqEditor.h"

#include "boq/BoqLineRules.h"
#include "data/DataModule.h"
#include "data/Money.h"

namespace tenvora {

BoqEditor::BoqEditor(TDmMain& dm, QObject* parent)
    : QObject(parent), m_dm(dm),
      m_lines(dm, DataSetTable{QStringLiteral("jd_htqd"), QStringLiteral("rowid"), {BoqColumn::Price}}, this) {
    m_lines.setBeforePost(BoqBeforePost);
    m_lines.setBeforeInsert(BoqBeforeInsert);
    m_lines.setBeforeDelete(BoqBeforeDelete);
    m_lines.setAfterOpen([this](DataSet&) { applyDisplayFormats(); });
    m_lines.setAfterScroll([this](DataSet&) { applyPriceLock(); });
}

QString BoqEditor::contractListSql() {
    return QStringLiteral("select rowid, * from jd_htqd where 是否补充 = 0 and 合同编号 = ? "
                          "order by bz, 细目编号 collate ITEMNO");
}

QString BoqEditor::chapterListSql() {
    return QStringLiteral("select rowid, * from jd_htqd where 章 = ? and 是否补充 = 0 and 合同编号 = ? "
                          "order by bz, 细目编号 collate ITEMNO");
}

const std::vector<BoqTreeNode>& BoqEditor::initialise() {
    m_lines.close();
    m_level = -1;
    m_chapterText.clear();
    m_tree.clear();
    m_tree = BuildBoqTree(m_dm, m_dm.session().CurContractID);
    return m_tree;
}

const BoqTreeNode* BoqEditor::chapterNode(const QString& text) const {
    for (const BoqTreeNode& project : m_tree)
        for (const BoqTreeNode& contract : project.children)
            for (const BoqTreeNode& chapter : contract.children)
                if (chapter.text.compare(text, Qt::CaseInsensitive) == 0)
                    return &chapter;
    return nullptr;
}

void BoqEditor::selectNode(int level, const QString& text) {
    savePending();
    m_level = level;
    m_chapterText = text;
    const QString contract = m_dm.session().CurContractID;
    if (level == BoqContractLevel)
        m_lines.open(contractListSql(), {contract});
    else
        m_lines.open(chapterListSql(), {text, contract});
}

std::optional<ChapterRecompute> BoqEditor::recompute() {
    if (m_level != BoqChapterLevel)
        return std::nullopt;
    savePending();
    const QString contract = m_dm.session().CurContractID;
    const ChapterRecompute result = BoqTotals(m_dm).recompute(contract, m_chapterText);
    m_lines.open(chapterListSql(), {m_chapterText, contract});
    if (m_lines.rowCount() > 1)
        m_lines.moveTo(1);
    return result;
}

bool BoqEditor::savePending() {
    return m_lines.savePending();
}

int BoqEditor::findItem(const QString& item) const {
    const int column = m_lines.columnIndex(BoqColumn::Item);
    for (int row = 0; row < m_lines.rowCount(); ++row)
        if (m_lines.value(row, column).toString() == item)
            return row;
    return -1;
}

void BoqEditor::priceLine(int row, const QVariant& price) {
    m_lines.moveTo(row);
    if (m_lines.current() != row)
        throw Error(QStringLiteral("列表中没有第 %1 行").arg(row + 1));
    m_lines.setField(BoqColumn::Price, price);
    try {
        m_lines.post();
    } catch (const Refused&) {
        // The save hook refused the line (price lock): nothing of it stays typed.
        m_lines.cancel();
        throw;
    }
}

void BoqEditor::applyDisplayFormats() {
    const bool noQuantity = m_lines.isEmpty() || NumberOf(m_lines.value(0, BoqColumn::Quantity)).value_or(0.0) == 0.0;
    m_lines.setDisplayFormat(BoqColumn::Quantity, noQuantity ? QStringLiteral("0.00") : QString());
    m_lines.setDisplayFormat(BoqColumn::Price, QStringLiteral("0.00"));
    m_lines.setDisplayFormat(BoqColumn::Amount, QString());
}

void BoqEditor::applyPriceLock() {
    m_locked = IsPriceLocked(m_lines, m_lines.current());
    emit priceLockApplied(m_locked);
}

} // namespace tenvora

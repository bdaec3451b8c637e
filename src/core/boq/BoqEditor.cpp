#include "boq/BoqEditor.h"

#include "boq/BoqLineRules.h"
#include "boq/PriceAdjustment.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "data/NumberInput.h"

namespace tenvora {

BoqEditor::BoqEditor(DataModule& dm, QObject* parent)
    : QObject(parent), m_dm(dm),
      m_lines(dm, DataSetTable{QStringLiteral("jd_htqd"), QStringLiteral("rowid"), {BoqColumn::Price}}, this) {
    m_lines.setBeforePost(BoqBeforePost);
    m_lines.setBeforeInsert(BoqBeforeInsert);
    m_lines.setBeforeDelete(BoqBeforeDelete);
    // A price-locked line's price cannot be typed: the grid asks per cell.
    m_lines.setCellRule([](const DataSet& lines, int row, int) { return !IsPriceLocked(lines, row); });
    m_lines.setAfterOpen([this](DataSet&) { applyDisplayFormats(); });
    m_lines.setAfterPost([this](DataSet&, int row, const QVariantList& before) { recordPosted(row, before); });
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
    m_history.clear();
    m_totals = ContractFigures();
    m_totalsLoaded = false;
    emit historyChanged();
    m_tree = BuildBoqTree(m_dm, m_dm.session().CurContractID);
    emit totalsChanged();
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
    openList();
}

void BoqEditor::openList() {
    const QString contract = m_dm.session().CurContractID;
    if (m_unpricedOnly)
        m_lines.setRowFilter([](const DataSet& set, int row) { return IsUnpriced(set, row); });
    else
        m_lines.setRowFilter({});
    if (m_level == BoqContractLevel)
        m_lines.open(contractListSql(), {contract});
    else if (m_level >= 0)
        m_lines.open(chapterListSql(), {m_chapterText, contract});
}

std::optional<ChapterRecompute> BoqEditor::recompute() {
    if (m_level != BoqChapterLevel)
        return std::nullopt;
    savePending();
    ChapterRecompute result;
    std::vector<PriceChange> changes = RecordedRecompute(m_dm, m_dm.session().CurContractID, {m_chapterText}, &result);
    pushStep(QStringLiteral("章合计 和 保险费 计算（%1章）").arg(m_chapterText), std::move(changes));
    openList();
    return result;
}

void BoqEditor::reread() {
    m_totals = ContractFigures();
    m_totalsLoaded = false;
    if (m_level >= 0)
        openList();
    emit totalsChanged();
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
    m_lines.setValue(row, BoqColumn::Price, price);
    try {
        m_lines.post(row);
    } catch (const Refused&) {
        // The save hook refused the line (price lock): nothing of it stays typed.
        m_lines.cancel(row);
        throw;
    }
}

void BoqEditor::recordPosted(int row, const QVariantList& before) {
    std::vector<PriceChange> changes = PostedChanges(m_lines, {row}, {before});
    if (changes.empty())
        return;
    const QString item = changes.front().item;
    pushStep(QStringLiteral("录入 %1 的单价").arg(item), std::move(changes));
}

const ContractFigures& BoqEditor::liveTotals() const {
    if (!m_totalsLoaded) {
        m_totals = ContractFigures::read(m_dm, m_dm.session().CurContractID, ContractFigures::Parts::Boq);
        m_totalsLoaded = true;
    }
    return m_totals;
}

void BoqEditor::noteAmount(qint64 rowId, const QVariant& price, const QVariant& amount) {
    // Totals not read yet will be read with this change already stored.
    if (m_totalsLoaded)
        m_totals.setLine(rowId, price, amount);
}

void BoqEditor::noteAmounts(const std::vector<PriceChange>& changes) {
    for (const PriceChange& c : changes)
        noteAmount(c.rowId, c.priceAfter, c.amountAfter);
    emit totalsChanged();
}

void BoqEditor::pushStep(QString label, std::vector<PriceChange> changes) {
    if (changes.empty())
        return;
    noteAmounts(changes);
    m_history.push(PriceStep{std::move(label), std::move(changes)});
    emit historyChanged();
}

namespace {

qint64 firstBidderLine(const PriceStep& step) {
    for (const PriceChange& c : step.changes)
        if (!c.computed)
            return c.rowId;
    return 0;
}

} // namespace

qint64 BoqEditor::undo() {
    // What was typed and not yet saved is the latest change: it goes first.
    if (m_lines.hasPendingEdits()) {
        const bool typed = m_lines.isModified();
        m_lines.cancelPending();
        if (typed)
            return 0;
    }
    if (!m_history.canUndo())
        return 0;
    const PriceStep step = m_history.nextUndo();
    for (const AmountChange& a : ApplyPriceStep(m_dm, m_lines, step, true))
        noteAmount(a.rowId, a.price, a.amount);
    m_history.undone();
    emit totalsChanged();
    emit historyChanged();
    return firstBidderLine(step);
}

qint64 BoqEditor::redo() {
    if (m_lines.isModified())
        return 0; // what was typed is saved or dropped first
    m_lines.cancelPending();
    if (!m_history.canRedo())
        return 0;
    const PriceStep step = m_history.nextRedo();
    for (const AmountChange& a : ApplyPriceStep(m_dm, m_lines, step, false))
        noteAmount(a.rowId, a.price, a.amount);
    m_history.redone();
    emit totalsChanged();
    emit historyChanged();
    return firstBidderLine(step);
}

PasteResult BoqEditor::pastePrices(int fromRow, const QString& text) {
    savePending();
    if (fromRow < 0 || fromRow >= m_lines.rowCount())
        throw Refused(QStringLiteral("列表里没有细目，无法粘贴"));
    const QStringList cells = PastedPriceColumn(text);
    PasteResult result;
    std::vector<int> rows;
    int locked = 0;
    for (int r = fromRow; r < m_lines.rowCount() && rows.size() < static_cast<size_t>(cells.size()); ++r) {
        if (IsPriceLocked(m_lines, r)) {
            ++locked;
            continue;
        }
        rows.push_back(r);
        result.skippedLocked = locked;
    }
    if (rows.size() < static_cast<size_t>(cells.size()))
        throw Refused(QStringLiteral("要粘贴 %1 个单价，从当前行往下只有 %2 个可录入单价的细目；没有粘贴")
                          .arg(cells.size())
                          .arg(rows.size()));
    const int itemColumn = m_lines.columnIndex(BoqColumn::Item);
    std::vector<std::pair<int, QVariant>> writes;
    writes.reserve(rows.size());
    for (int i = 0; i < cells.size(); ++i) {
        const std::optional<QVariant> price = PastedPrice(cells[i]);
        if (!price)
            throw Refused(QStringLiteral("粘贴内容第 %1 行“%2”不是数字（%3，对应细目“%4”）；没有粘贴任何单价")
                              .arg(i + 1)
                              .arg(cells[i].trimmed(), NumberInputProblem(cells[i]),
                                   m_lines.storedValue(rows[static_cast<size_t>(i)], itemColumn).toString()));
        writes.emplace_back(rows[static_cast<size_t>(i)], *price);
    }
    std::vector<QVariantList> before;
    try {
        before = m_lines.postValues(m_lines.columnIndex(BoqColumn::Price), writes);
    } catch (const RowChangedElsewhere& e) {
        throw Refused(QStringLiteral("细目“%1”已被别处改动，没有粘贴；请重新选择这一章再粘贴")
                          .arg(m_lines.storedValue(e.row(), itemColumn).toString()));
    }
    std::vector<PriceChange> changes = PostedChanges(m_lines, rows, before);
    result.pasted = cells.size();
    result.changed = static_cast<int>(changes.size());
    result.lastRow = rows.back();
    pushStep(QStringLiteral("粘贴 %1 个单价").arg(result.pasted), std::move(changes));
    return result;
}

QString BoqEditor::totalsChapter(int row) const {
    if (m_level == BoqChapterLevel)
        return m_chapterText;
    if (m_level == BoqContractLevel && row >= 0)
        return m_lines.storedValue(row, m_lines.columnIndex(BoqColumn::Chapter)).toString();
    return {};
}

bool BoqEditor::isStaleChapterLine(int row) const {
    const QString chapter = m_lines.storedValue(row, m_lines.columnIndex(BoqColumn::Chapter)).toString();
    if (chapter.isEmpty() || m_lines.storedValue(row, m_lines.columnIndex(BoqColumn::Item)).toString() != chapter)
        return false;
    // An empty chapter line counts as 0, so an unpriced chapter is not marked.
    const double stored = NumberOf(m_lines.storedValue(row, m_lines.columnIndex(BoqColumn::Amount))).value_or(0.0);
    return stored != static_cast<double>(liveTotals().storedChapterTotal(chapter));
}

void BoqEditor::setUnpricedOnly(bool on) {
    if (on == m_unpricedOnly)
        return;
    savePending();
    m_unpricedOnly = on;
    openList();
}

QStringList BoqEditor::chapterCodes() const {
    QStringList codes;
    for (const BoqTreeNode& project : m_tree)
        for (const BoqTreeNode& contract : project.children)
            for (const BoqTreeNode& chapter : contract.children)
                codes << chapter.text;
    return codes;
}

std::vector<BoqFoundLine> BoqEditor::find(const QString& text) const {
    return FindBoqLines(m_dm, m_dm.session().CurContractID, text, m_unpricedOnly, chapterCodes());
}

std::pair<int, QString> BoqEditor::nodeFor(const BoqFoundLine& line) const {
    if (m_level == BoqContractLevel)
        return {BoqContractLevel, QString()};
    if (const BoqTreeNode* node = line.chapter.isEmpty() ? nullptr : chapterNode(line.chapter))
        return {BoqChapterLevel, node->text};
    return {BoqContractLevel, QString()};
}

void BoqEditor::proposeAdjustment(PriceAdjustment& adjustment, const AdjustmentRequest& request) {
    savePending();
    adjustment.propose(m_dm.session().CurContractID, request);
}

void BoqEditor::applyAdjustment(PriceAdjustment& adjustment) {
    savePending();
    std::vector<PriceChange> changes = adjustment.apply();
    // The adjusted lines the list shows take what the adjustment's own list wrote; the lines the
    // recomputation wrote are read again.
    QVariantList priced;
    QVariantList computed;
    for (const PriceChange& c : changes)
        if (m_lines.rowOfKey(QVariant::fromValue<qlonglong>(c.rowId)) >= 0)
            (c.computed ? computed : priced) << QVariant::fromValue<qlonglong>(c.rowId);
    m_lines.takeRows(adjustment.lines(), priced);
    m_lines.reloadRows(computed);
    const int lines = static_cast<int>(
        std::count_if(changes.begin(), changes.end(), [](const PriceChange& c) { return !c.computed; }));
    pushStep(QStringLiteral("调价（%1 行）").arg(lines), std::move(changes));
}

void BoqEditor::applyDisplayFormats() {
    const bool noQuantity = m_lines.isEmpty() || NumberOf(m_lines.value(0, BoqColumn::Quantity)).value_or(0.0) == 0.0;
    m_lines.setDisplayFormat(BoqColumn::Quantity, noQuantity ? QStringLiteral("0.00") : QString());
    m_lines.setDisplayFormat(BoqColumn::Price, QStringLiteral("0.00"));
    m_lines.setDisplayFormat(BoqColumn::Amount, QString());
}

} // namespace tenvora

#include "boq/PriceHistory.h"

#include "boq/BoqLineRules.h"
#include "data/DataModule.h"
#include "data/DataSet.h"

namespace tenvora {

PriceHistory::Packed PriceHistory::packed(PriceStep step) {
    Packed p;
    p.label = std::move(step.label);
    p.entries.reserve(step.changes.size());
    QHash<QString, quint32> chapters; // a few chapters serve many lines
    const auto place = [&](const QString& text) {
        const auto at = static_cast<quint32>(p.texts.size());
        p.texts += text;
        return at;
    };
    for (PriceChange& c : step.changes) {
        auto chapter = chapters.constFind(c.chapter);
        if (chapter == chapters.constEnd())
            chapter = chapters.insert(c.chapter, place(c.chapter));
        const quint32 item = place(c.item);
        p.entries.push_back({c.rowId, std::move(c.priceBefore), std::move(c.amountBefore), std::move(c.priceAfter),
                             std::move(c.amountAfter), *chapter, item, static_cast<quint16>(c.chapter.size()),
                             static_cast<quint16>(c.item.size()), c.computed});
    }
    p.texts.squeeze();
    return p;
}

PriceStep PriceHistory::unpacked(const Packed& step) {
    PriceStep s{step.label, {}};
    s.changes.reserve(step.entries.size());
    for (const Packed::Entry& e : step.entries)
        s.changes.push_back({e.rowId, step.texts.mid(e.chapterAt, e.chapterLength),
                             step.texts.mid(e.itemAt, e.itemLength), e.priceBefore, e.amountBefore, e.priceAfter,
                             e.amountAfter, e.computed});
    return s;
}

void PriceHistory::push(PriceStep step) {
    if (step.changes.empty())
        return;
    m_redo.clear();
    m_changes = 0;
    for (const Packed& s : m_undo)
        m_changes += s.entries.size();
    m_changes += step.changes.size();
    m_undo.push_back(packed(std::move(step)));
    trim();
}

void PriceHistory::trim() {
    while (m_undo.size() > 1 && (m_undo.size() > kMaxSteps || m_changes > kMaxChanges)) {
        m_changes -= m_undo.front().entries.size();
        m_undo.pop_front();
    }
}

void PriceHistory::clear() {
    m_undo.clear();
    m_redo.clear();
    m_changes = 0;
}

void PriceHistory::undone() {
    if (m_undo.empty())
        return;
    m_changes -= m_undo.back().entries.size();
    m_redo.push_front(std::move(m_undo.back()));
    m_undo.pop_back();
}

void PriceHistory::redone() {
    if (m_redo.empty())
        return;
    m_changes += m_redo.front().entries.size();
    m_undo.push_back(std::move(m_redo.front()));
    m_redo.pop_front();
}

QString PricedLineColumns() {
    return QStringLiteral("rowid, 章, 节, 细目编号, 单位, 合同数量, 合同单价, 合同金额");
}

PricedColumns PricedColumns::boq() {
    return {BoqColumn::Price, BoqColumn::Amount, BoqColumn::Chapter, BoqColumn::Item};
}

std::vector<PriceChange> PostedChanges(const DataSet& lines, const std::vector<int>& rows,
                                       const std::vector<QVariantList>& before, const PricedColumns& columns) {
    const int price = lines.columnIndex(columns.price);
    const int amount = lines.columnIndex(columns.amount);
    const int chapter = lines.columnIndex(columns.chapter);
    const int item = lines.columnIndex(columns.item);
    std::vector<PriceChange> changes;
    changes.reserve(std::min(rows.size(), before.size()));
    for (size_t i = 0; i < rows.size() && i < before.size(); ++i) {
        const int row = rows[i];
        const QVariantList& was = before[i];
        PriceChange c;
        c.rowId = lines.keyOf(row).toLongLong();
        c.chapter = lines.storedValue(row, chapter).toString();
        c.item = lines.storedValue(row, item).toString();
        c.priceBefore = was.value(price);
        c.amountBefore = was.value(amount);
        c.priceAfter = lines.storedValue(row, price);
        c.amountAfter = lines.storedValue(row, amount);
        if (SameStoredValue(c.priceBefore, c.priceAfter) && SameStoredValue(c.amountBefore, c.amountAfter))
            continue;
        changes.push_back(std::move(c));
    }
    return changes;
}

std::vector<PriceChange> RecordedRecompute(DataModule& dm, const QString& contract, const QStringList& chapters,
                                           ChapterRecompute* result, ContractFigures* known) {
    BoqTotals totals(dm);
    std::vector<PriceChange> changes;
    dm.RunChange([&] {
        const std::vector<StoredLineFigures> before = totals.recomputedLines(contract, chapters, known);
        const QList<QPair<QString, ChapterRecompute>> done = totals.recomputeChapters(contract, chapters, known);
        if (result && !done.isEmpty())
            *result = done.last().second;
        const std::vector<StoredLineFigures> after = totals.recomputedLines(contract, chapters, known);
        for (size_t i = 0; i < before.size() && i < after.size(); ++i) {
            const StoredLineFigures& b = before[i];
            const StoredLineFigures& a = after[i];
            if (SameStoredValue(b.price, a.price) && SameStoredValue(b.amount, a.amount))
                continue;
            changes.push_back({b.rowId, b.chapter, b.item, b.price, b.amount, a.price, a.amount, true});
        }
    });
    return changes;
}

namespace {

// What this connection and the others have written, as the store counts it.
QString StoreMark(DataModule& dm) {
    Database& db = dm.database();
    return db.scalar(QStringLiteral("select total_changes()")).toString() + QLatin1Char('/') +
           db.scalar(QStringLiteral("PRAGMA data_version")).toString();
}

} // namespace

void ProposalFigures::take(DataModule& dm, ContractFigures read) {
    figures = std::move(read);
    mark = StoreMark(dm);
}

bool ProposalFigures::current(DataModule& dm) const {
    return !mark.isEmpty() && StoreMark(dm) == mark;
}

std::vector<PriceChange> PostProposedPrices(DataModule& dm, const QString& contract, DataSet& lines,
                                            const std::vector<std::pair<int, QVariant>>& writes,
                                            const ProposalFigures& proposal,
                                            const std::function<QString(const QString& item)>& changedElsewhere) {
    std::vector<PriceChange> changes;
    const bool current = proposal.current(dm);
    // The chapters to total again: those of the lines written (a chapter's lines come together,
    // so the last one named is looked at first), then those of an insurance line, which follows
    // every amount.
    std::vector<int> rows;
    rows.reserve(writes.size());
    QStringList recompute;
    const int chapterColumn = lines.columnIndex(BoqColumn::Chapter);
    for (const auto& [row, price] : writes) {
        rows.push_back(row);
        const QString chapter = lines.storedValue(row, chapterColumn).toString();
        if ((recompute.isEmpty() || recompute.constLast() != chapter) && !recompute.contains(chapter))
            recompute << chapter;
    }
    for (const StoredTotalTerms& sum : proposal.figures.storedTotalTerms())
        if (sum.insuranceLines > 0 && !recompute.contains(sum.chapter))
            recompute << sum.chapter;
    dm.RunChange([&] {
        std::vector<QVariantList> before;
        try {
            before = lines.postValues(lines.columnIndex(BoqColumn::Price), writes);
        } catch (const RowChangedElsewhere& e) {
            throw Refused(changedElsewhere(lines.storedValue(e.row(), lines.columnIndex(BoqColumn::Item)).toString()));
        }
        changes = PostedChanges(lines, rows, before);
        // With what was just written, the proposal's figures are the store's now.
        std::optional<ContractFigures> now;
        if (current) {
            now = proposal.figures;
            for (const PriceChange& c : changes)
                now->setLine(c.rowId, c.priceAfter, c.amountAfter);
        }
        std::vector<PriceChange> computed = RecordedRecompute(dm, contract, recompute, nullptr, now ? &*now : nullptr);
        changes.insert(changes.end(), computed.begin(), computed.end());
    });
    return changes;
}

namespace {

// Lines of jd_htqd by row identity (the columns a price list needs), in pieces of a fixed size so that the statement is
// prepared once; identities that are gone give no row.
std::vector<QVariantList> readLines(Database& db, const std::vector<qint64>& ids, QStringList& columns) {
    constexpr int kPiece = 100;
    QStringList marks;
    for (int i = 0; i < kPiece; ++i)
        marks << QStringLiteral("?");
    const QString sql = QStringLiteral("select %1 from jd_htqd where rowid in (%2)")
                            .arg(PricedLineColumns(), marks.join(QLatin1Char(',')));
    std::vector<QVariantList> rows;
    for (size_t start = 0; start < ids.size(); start += kPiece) {
        Database::Lease st = db.cached(sql);
        for (int i = 0; i < kPiece; ++i)
            st->bind(i + 1, start + i < ids.size() ? QVariant::fromValue<qlonglong>(ids[start + i]) : QVariant());
        if (columns.isEmpty())
            for (int c = 0; c < st->columnCount(); ++c)
                columns << st->columnName(c);
        while (st->next()) {
            QVariantList row;
            row.reserve(st->columnCount());
            for (int c = 0; c < st->columnCount(); ++c)
                row << st->value(c);
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

} // namespace

std::vector<AmountChange> ApplyPriceStep(DataModule& dm, DataSet& list, const PriceStep& step, bool undo) {
    const auto fromPrice = [undo](const PriceChange& c) { return undo ? c.priceAfter : c.priceBefore; };
    const auto fromAmount = [undo](const PriceChange& c) { return undo ? c.amountAfter : c.amountBefore; };
    const auto toPrice = [undo](const PriceChange& c) { return undo ? c.priceBefore : c.priceAfter; };
    const auto toAmount = [undo](const PriceChange& c) { return undo ? c.amountBefore : c.amountAfter; };
    const auto refuse = [&](const QString& item) {
        throw Refused(QStringLiteral("不能%1“%2”：细目“%3”已被别处改动（别的程序，或数据恢复），没有改动任何数据")
                          .arg(undo ? QStringLiteral("撤销") : QStringLiteral("重做"), step.label, item));
    };
    const auto holds = [&](const PriceChange& c, const QVariant& item, const QVariant& price, const QVariant& amount) {
        return item.toString() == c.item && SameStoredValue(price, fromPrice(c)) &&
               SameStoredValue(amount, fromAmount(c));
    };

    // Lines the list holds are checked against it (it is written back through the same list);
    // the others and every computed line are read afresh.
    const bool listed = list.isOpen() && list.canModify() && list.target().table == QLatin1String("jd_htqd");
    const int listPrice = list.columnIndex(BoqColumn::Price);
    const int listAmount = list.columnIndex(BoqColumn::Amount);
    const int listItem = list.columnIndex(BoqColumn::Item);
    std::vector<std::pair<int, QVariant>> listWrites;
    std::vector<const PriceChange*> listChanges;
    std::vector<const PriceChange*> ownChanges;
    std::vector<const PriceChange*> computed;
    std::vector<qint64> freshIds;
    for (const PriceChange& c : step.changes) {
        const int row = listed ? list.rowOfKey(QVariant::fromValue<qlonglong>(c.rowId)) : -1;
        if (c.computed) {
            computed.push_back(&c);
            freshIds.push_back(c.rowId);
        } else if (row >= 0) {
            if (!holds(c, list.storedValue(row, listItem), list.storedValue(row, listPrice),
                       list.storedValue(row, listAmount)))
                refuse(c.item);
            listWrites.emplace_back(row, toPrice(c));
            listChanges.push_back(&c);
        } else {
            ownChanges.push_back(&c);
            freshIds.push_back(c.rowId);
        }
    }

    std::vector<AmountChange> amounts;
    QVariantList reload;
    bool listWritten = false;
    try {
        dm.RunChange([&] {
            QStringList columns;
            std::vector<QVariantList> fresh = readLines(dm.database(), freshIds, columns);
            DataSet own(dm, DataSetTable{QStringLiteral("jd_htqd"), QStringLiteral("rowid"), {BoqColumn::Price}});
            own.setBeforePost(BoqBeforePost);
            own.openRows(columns, std::move(fresh));
            const int ownPrice = own.columnIndex(BoqColumn::Price);
            const int ownAmount = own.columnIndex(BoqColumn::Amount);
            const int ownItem = own.columnIndex(BoqColumn::Item);
            const auto ownRow = [&](const PriceChange& c) {
                const int row = own.rowOfKey(QVariant::fromValue<qlonglong>(c.rowId));
                if (row < 0 || !holds(c, own.storedValue(row, ownItem), own.storedValue(row, ownPrice),
                                      own.storedValue(row, ownAmount)))
                    refuse(c.item);
                return row;
            };
            std::vector<std::pair<int, QVariant>> ownWrites;
            for (const PriceChange* c : ownChanges)
                ownWrites.emplace_back(ownRow(*c), toPrice(*c));
            for (const PriceChange* c : computed)
                ownRow(*c);

            // A line changed in the store since the list read it is refused like any other.
            const auto write = [&](DataSet& set, const std::vector<std::pair<int, QVariant>>& writes) {
                if (writes.empty())
                    return;
                try {
                    set.postValues(set.columnIndex(BoqColumn::Price), writes);
                } catch (const RowChangedElsewhere& e) {
                    refuse(set.storedValue(e.row(), set.columnIndex(BoqColumn::Item)).toString());
                }
            };
            listWritten = !listWrites.empty();
            write(list, listWrites);
            write(own, ownWrites);

            // The amount rule may give another amount than the one stored before (an amount the
            // owner delivered without a price, an older rounding): the step puts back what was.
            BoqTotals totals(dm);
            const auto settle = [&](const PriceChange& c, const QVariant& amountNow, bool inList) {
                if (!SameStoredValue(amountNow, toAmount(c))) {
                    totals.restoreAmount(c.rowId, toAmount(c));
                    if (inList)
                        reload << QVariant::fromValue<qlonglong>(c.rowId);
                }
                amounts.push_back({c.rowId, toPrice(c), toAmount(c)});
            };
            for (size_t i = 0; i < listChanges.size(); ++i)
                settle(*listChanges[i], list.storedValue(listWrites[i].first, listAmount), true);
            for (size_t i = 0; i < ownChanges.size(); ++i)
                settle(*ownChanges[i], own.storedValue(ownWrites[i].first, ownAmount), false);
            for (const PriceChange* c : computed) {
                if (c->item == QLatin1String(kInsuranceItem))
                    totals.restoreInsuranceLine(c->rowId, toPrice(*c), toAmount(*c));
                else
                    totals.restoreAmount(c->rowId, toAmount(*c));
                if (listed && list.rowOfKey(QVariant::fromValue<qlonglong>(c->rowId)) >= 0)
                    reload << QVariant::fromValue<qlonglong>(c->rowId);
                amounts.push_back({c->rowId, toPrice(*c), toAmount(*c)});
            }
        });
    } catch (...) {
        // Nothing was stored: the list shows again what the store holds.
        if (listWritten) {
            QVariantList keys;
            for (const auto& [row, price] : listWrites)
                keys << list.keyOf(row);
            try {
                list.reloadRows(keys);
            } catch (const std::exception&) {
                // The store's message has been shown; the list is re-read at the next selection.
            }
        }
        throw;
    }
    if (listed)
        list.reloadRows(reload);
    return amounts;
}

} // namespace tenvora

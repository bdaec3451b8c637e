#include "daywork/DayworkLists.h"

#include "boq/AmountRules.h"
#include "data/DataModule.h"
#include "data/Money.h"

namespace tenvora {

QString ScheduleCode(Schedule s) {
    return QString::number(static_cast<int>(s));
}

QString ScheduleCaption(Schedule s) {
    switch (s) {
    case Schedule::Labour:
        return QStringLiteral("劳务单价表");
    case Schedule::Material:
        return QStringLiteral("材料单价表");
    case Schedule::Machinery:
        return QStringLiteral("施工机械单价表");
    }
    return {};
}

std::optional<Schedule> ScheduleFromCode(const QString& code) {
    if (code == QLatin1String("1"))
        return Schedule::Labour;
    if (code == QLatin1String("2"))
        return Schedule::Material;
    if (code == QLatin1String("3"))
        return Schedule::Machinery;
    return std::nullopt;
}

void DayworkBeforePost(DataSet& set, int row, Schedule schedule, const QString& contractId) {
    set.setValue(row, QStringLiteral("bz"), ScheduleCode(schedule));
    set.setValue(row, QStringLiteral("ID"), contractId);
    set.setValue(row, QStringLiteral("ContractID"), contractId);
    const QVariant price = set.value(row, QStringLiteral("UnitPrice"));
    if (const std::optional<qint64> total = LineAmount(price, set.value(row, QStringLiteral("Amount")))) {
        set.setValue(row, QStringLiteral("TotalMoney"), QVariant::fromValue<qlonglong>(*total));
        return;
    }
    // A price the bidder cleared takes its total with it, unless a total was typed in the same edit.
    const int totalColumn = set.columnIndex(QStringLiteral("TotalMoney"));
    const QVariant storedPrice = set.storedValue(row, set.columnIndex(QStringLiteral("UnitPrice")));
    const bool priceCleared = !NumberOf(price) && NumberOf(storedPrice);
    const bool totalTyped = !SameStoredValue(set.storedValue(row, totalColumn), set.value(row, totalColumn));
    if (priceCleared && !totalTyped)
        set.setValue(row, QStringLiteral("TotalMoney"), QVariant());
}

namespace {

// A stored figure as it is stored: a total of 1234.5 is shown as 1234.5, not rounded to 1235.
QString storedText(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Double:
        return GeneralText(value.toDouble());
    case QMetaType::Int:
    case QMetaType::LongLong:
        return WholeYuanText(value.toLongLong());
    default:
        return value.toString();
    }
}

bool isBlank(const QVariant& value) {
    return value.isNull() || !value.isValid() || value.toString().trimmed().isEmpty();
}

} // namespace

QString DayworkTotalProblem(const QVariant& price, const QVariant& quantity, const QVariant& total) {
    if (isBlank(total))
        return {};
    const std::optional<double> stored = NumberOf(total);
    if (!stored)
        return QStringLiteral("已存合价“%1”不是数字").arg(total.toString());
    const QString totalText = storedText(total);
    if (isBlank(price)) {
        // A nought without a price adds nothing to the bid; the row is simply not priced.
        if (*stored == 0)
            return {};
        return QStringLiteral("没有单价，却存有合价 %1").arg(totalText);
    }
    if (!NumberOf(price))
        return QStringLiteral("单价“%1”不是数字，却存有合价 %2").arg(price.toString(), totalText);
    if (isBlank(quantity))
        return QStringLiteral("没有估计数量，却存有合价 %1").arg(totalText);
    if (!NumberOf(quantity))
        return QStringLiteral("估计数量“%1”不是数字，却存有合价 %2").arg(quantity.toString(), totalText);
    std::optional<qint64> expected;
    try {
        expected = LineAmount(price, quantity);
    } catch (const Error&) {
        return QStringLiteral("单价 × 数量超出了金额的范围，却存有合价 %1").arg(totalText);
    }
    if (static_cast<double>(*expected) == *stored)
        return {};
    return QStringLiteral("已存合价 %1，单价 × 数量应为 %2").arg(totalText, WholeYuanText(*expected));
}

DayworkLists::DayworkLists(DataModule& dm, QObject* parent) : QObject(parent), m_dm(dm) {
    for (Schedule s : {Schedule::Labour, Schedule::Material, Schedule::Machinery}) {
        // The bidder types the unit price; on the labour page the total may be typed as well.
        QStringList editable{QStringLiteral("UnitPrice")};
        if (s == Schedule::Labour)
            editable << QStringLiteral("TotalMoney");
        auto set = std::make_unique<DataSet>(
            dm, DataSetTable{QStringLiteral("Jl_ContractList"), QStringLiteral("rowid"), editable}, this);
        set->setBeforePost(
            [this, s](DataSet& rows, int row) { DayworkBeforePost(rows, row, s, m_dm.session().CurContractID); });
        set->setAfterOpen([this](DataSet& opened) { applyDisplayFormats(opened); });
        set->setAfterPost(
            [this](DataSet& rows, int row, const QVariantList& before) { recordPosted(rows, row, before); });
        // A row deleted leaves the schedule's total: the figures are read again.
        connect(set.get(), &DataSet::rowRemoved, this, [this] { forgetTotals(); });
        m_sets[index(s)] = std::move(set);
    }
}

QString DayworkLists::listSql() {
    // rowid order is the order the owner's rows were stored in.
    return QStringLiteral("select rowid, * from Jl_ContractList where bz = ? and ContractID = ? order by rowid");
}

void DayworkLists::openAll() {
    for (auto& set : m_sets)
        set->close();
    m_history.clear();
    emit historyChanged();
    forgetTotals();
    const QString contract = m_dm.session().CurContractID;
    for (Schedule s : {Schedule::Labour, Schedule::Material, Schedule::Machinery})
        schedule(s).open(listSql(), {ScheduleCode(s), contract});
}

PricedColumns DayworkLists::pricedColumns() {
    return {QStringLiteral("UnitPrice"), QStringLiteral("TotalMoney"), QStringLiteral("bz"),
            QStringLiteral("ItemCode")};
}

const ContractFigures& DayworkLists::liveTotals() const {
    if (!m_totalsLoaded) {
        m_totals = ContractFigures::read(m_dm, m_dm.session().CurContractID, ContractFigures::Parts::Daywork);
        m_totalsLoaded = true;
    }
    return m_totals;
}

void DayworkLists::forgetTotals() {
    m_totals = ContractFigures();
    m_totalsLoaded = false;
    emit totalsChanged();
}

void DayworkLists::recordPosted(DataSet& set, int row, const QVariantList& before) {
    // A new row is no price change to undo (deleting it is the way back); it joins the totals.
    if (before.isEmpty()) {
        forgetTotals();
        return;
    }
    std::vector<PriceChange> changes = PostedChanges(set, {row}, {before}, pricedColumns());
    if (changes.empty())
        return;
    const PriceChange& c = changes.front();
    if (m_totalsLoaded && !m_totals.setDayworkRow(c.rowId, c.priceAfter, c.amountAfter))
        forgetTotals();
    const bool totalTyped = SameStoredValue(c.priceBefore, c.priceAfter);
    const QString label =
        QStringLiteral("录入 %1 的%2").arg(c.item, totalTyped ? QStringLiteral("合价") : QStringLiteral("单价"));
    m_history.push(PriceStep{label, std::move(changes)});
    emit totalsChanged();
    emit historyChanged();
}

std::optional<DayworkLists::Place> DayworkLists::undo() {
    return apply(true);
}

std::optional<DayworkLists::Place> DayworkLists::redo() {
    return apply(false);
}

std::optional<DayworkLists::Place> DayworkLists::apply(bool undo) {
    // What was typed and not yet saved is the latest change: undo drops it and stops there; redo
    // leaves it to be saved or dropped first.
    bool typed = false;
    for (const auto& set : m_sets)
        typed = set->isModified() || typed;
    if (typed && !undo)
        return std::nullopt;
    for (auto& set : m_sets)
        set->cancelPending();
    if (typed || !(undo ? m_history.canUndo() : m_history.canRedo()))
        return std::nullopt;

    const PriceStep step = undo ? m_history.nextUndo() : m_history.nextRedo();
    const QString verb = undo ? QStringLiteral("撤销") : QStringLiteral("重做");
    m_dm.RunChange([&] {
        for (const PriceChange& c : step.changes) {
            const QVariant& fromPrice = undo ? c.priceAfter : c.priceBefore;
            const QVariant& fromTotal = undo ? c.amountAfter : c.amountBefore;
            bool holds = false;
            m_dm.RunSelect(
                QStringLiteral("select ItemCode, UnitPrice, TotalMoney, bz from Jl_ContractList where rowid=?"),
                {QVariant::fromValue<qlonglong>(c.rowId)}, [&](const Statement& st) {
                    holds = st.value(0).toString() == c.item && st.value(3).toString() == c.chapter &&
                            SameStoredValue(st.value(1), fromPrice) && SameStoredValue(st.value(2), fromTotal);
                });
            if (!holds)
                throw Refused(QStringLiteral("不能%1“%2”：计日工细目“%3”已被别处改动或已删除，没有改动任何数据")
                                  .arg(verb, step.label, c.item));
            // The figures go back exactly as stored, not as the save hook would work them out now.
            auto q = m_dm.NewQuery();
            m_dm.RunSql(*q, QStringLiteral("update Jl_ContractList set UnitPrice=?, TotalMoney=? where rowid=?"),
                        {undo ? c.priceBefore : c.priceAfter, undo ? c.amountBefore : c.amountAfter,
                         QVariant::fromValue<qlonglong>(c.rowId)},
                        false);
        }
    });
    std::optional<Place> first;
    for (const PriceChange& c : step.changes) {
        const std::optional<Schedule> s = ScheduleFromCode(c.chapter);
        if (!s)
            continue;
        schedule(*s).reloadRows({QVariant::fromValue<qlonglong>(c.rowId)});
        if (m_totalsLoaded && !m_totals.setDayworkRow(c.rowId, undo ? c.priceBefore : c.priceAfter,
                                                      undo ? c.amountBefore : c.amountAfter))
            forgetTotals();
        if (!first)
            first = Place{*s, c.rowId};
    }
    if (undo)
        m_history.undone();
    else
        m_history.redone();
    emit totalsChanged();
    emit historyChanged();
    return first;
}

void DayworkLists::applyDisplayFormats(DataSet& set) {
    set.setDisplayFormat(QStringLiteral("UnitPrice"), QStringLiteral("0.00"));
    const std::optional<double> first = set.isEmpty() ? std::nullopt : NumberOf(set.value(0, QStringLiteral("Amount")));
    const bool zeroFirst = set.isEmpty() || (first && *first == 0);
    set.setDisplayFormat(QStringLiteral("Amount"), zeroFirst ? QStringLiteral("0.00") : QString());
}

bool DayworkLists::savePending() {
    bool wrote = false;
    for (auto& set : m_sets)
        wrote = set->savePending() || wrote;
    return wrote;
}

int DayworkLists::findItem(Schedule s, const QString& code) {
    DataSet& set = schedule(s);
    for (int row = 0; row < set.rowCount(); ++row)
        if (set.value(row, QStringLiteral("ItemCode")).toString() == code)
            return row;
    return -1;
}

void DayworkLists::priceItem(Schedule s, int row, const QVariant& price) {
    DataSet& set = schedule(s);
    set.setValue(row, QStringLiteral("UnitPrice"), price);
    set.post(row);
}

QString DayworkLists::totalProblem(Schedule s, int row) const {
    const DataSet& set = *m_sets[index(s)];
    if (row < 0 || row >= set.rowCount())
        return {};
    return DayworkTotalProblem(set.storedValue(row, set.columnIndex(QStringLiteral("UnitPrice"))),
                               set.storedValue(row, set.columnIndex(QStringLiteral("Amount"))),
                               set.storedValue(row, set.columnIndex(QStringLiteral("TotalMoney"))));
}

} // namespace tenvora

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
    const QString contract = m_dm.session().CurContractID;
    for (Schedule s : {Schedule::Labour, Schedule::Material, Schedule::Machinery})
        schedule(s).open(listSql(), {ScheduleCode(s), contract});
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

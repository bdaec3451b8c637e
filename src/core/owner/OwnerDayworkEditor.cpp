#include "owner/OwnerDayworkEditor.h"

#include "data/DataModule.h"
#include "data/Money.h"
#include "owner/TenderContracts.h"

namespace tenvora {

namespace {

const QString kTable = QStringLiteral("Jl_ContractList");

QString itemWords(const DataSet& set, int row) {
    return QStringLiteral("计日工“%1”").arg(set.value(row, QStringLiteral("ItemCode")).toString());
}

} // namespace

void OwnerDayworkBeforePost(DataSet& items, int row) {
    const QVariant quantity = items.value(row, QStringLiteral("Amount"));
    if (quantity.isNull())
        return;
    const std::optional<double> q = NumberOf(quantity);
    if (!q)
        throw Refused(QStringLiteral("数量“%1”不是数字").arg(quantity.toString()));
    if (*q < 0)
        throw Refused(QStringLiteral("数量不能是负数（%1）").arg(quantity.toString()));
}

OwnerDayworkEditor::OwnerDayworkEditor(DataModule& dm, QObject* parent) : QObject(parent), m_dm(dm) {
    for (auto& set : m_sets) {
        set = std::make_unique<DataSet>(dm, DataSetTable{kTable, QStringLiteral("rowid"), editableColumns()}, this);
        set->setBeforePost([](DataSet& items, int row) { OwnerDayworkBeforePost(items, row); });
        set->setAfterPost(
            [this](DataSet& items, int row, const QVariantList& before) { recordPost(items, row, before); });
    }
}

QStringList OwnerDayworkEditor::editableColumns() {
    return {QStringLiteral("ItemName"), QStringLiteral("Unit"), QStringLiteral("Amount")};
}

void OwnerDayworkEditor::open(const QString& contractId) {
    if (contractId != m_contract) {
        m_history.clear();
        emit historyChanged();
    }
    m_contract = contractId;
    for (auto& set : m_sets)
        set->close();
    if (contractId.isEmpty())
        return;
    for (Schedule s : {Schedule::Labour, Schedule::Material, Schedule::Machinery})
        schedule(s).open(DayworkLists::listSql(), {ScheduleCode(s), contractId});
}

void OwnerDayworkEditor::reload() {
    if (m_contract.isEmpty())
        return;
    for (Schedule s : {Schedule::Labour, Schedule::Material, Schedule::Machinery})
        schedule(s).open(DayworkLists::listSql(), {ScheduleCode(s), m_contract});
}

void OwnerDayworkEditor::recordPost(DataSet& set, int row, const QVariantList& before) {
    RowChange change;
    change.table = kTable;
    change.rowId = set.keyOf(row).toLongLong();
    change.what = itemWords(set, row);
    change.columns = RowColumnsOf(set);
    change.before = RowValuesOf(set, before);
    change.after = StoredRowOf(set, row);
    m_history.push(RowStep{QStringLiteral("修改") + change.what, {change}});
    emit historyChanged();
}

int OwnerDayworkEditor::addItem(Schedule s, const NewDayworkItem& item) {
    Database& db = m_dm.database();
    RequireContract(db, m_contract);
    if (item.code.isEmpty())
        throw Refused(QStringLiteral("编号不能为空"));
    if (item.code.trimmed() != item.code)
        throw Refused(QStringLiteral("编号“%1”的前后有空格").arg(item.code));
    if (db.scalar(
              QStringLiteral("select count(*) from Jl_ContractList where ContractID = ? and bz = ? and ItemCode = ?"),
              {m_contract, ScheduleCode(s), item.code})
            .toLongLong() > 0)
        throw Refused(QStringLiteral("%1已有编号“%2”").arg(ScheduleCaption(s), item.code));
    if (!item.quantity.isNull() && NumberOf(item.quantity).value_or(-1) < 0)
        throw Refused(QStringLiteral("数量不能是负数"));
    DataSet& set = schedule(s);
    set.savePending();
    RowChange change;
    change.table = kTable;
    change.what = QStringLiteral("计日工“%1”").arg(item.code);
    {
        Transaction tx(db);
        // ID carries the contract, as the import and every save of a day-work row write it.
        db.exec(QStringLiteral("insert into Jl_ContractList (ID, ContractID, bz, ItemCode, ItemName, Unit, Amount, "
                               "UnitPrice, TotalMoney) values (?, ?, ?, ?, ?, ?, ?, NULL, NULL)"),
                {m_contract, m_contract, ScheduleCode(s), item.code,
                 item.name.isEmpty() ? QVariant() : QVariant(item.name),
                 item.unit.isEmpty() ? QVariant() : QVariant(item.unit), item.quantity});
        change.rowId = db.scalar(QStringLiteral("select last_insert_rowid()")).toLongLong();
        tx.commit();
    }
    set.open(DayworkLists::listSql(), {ScheduleCode(s), m_contract});
    change.columns = RowColumnsOf(set);
    change.after = ReadRowValues(db, kTable, change.rowId, change.columns);
    m_history.push(RowStep{QStringLiteral("增加") + change.what, {change}});
    emit historyChanged();
    return set.rowOfKey(change.rowId);
}

void OwnerDayworkEditor::deleteItem(Schedule s, int row) {
    DataSet& set = schedule(s);
    if (row < 0 || row >= set.rowCount())
        throw Refused(QStringLiteral("请先选择要删除的计日工细目"));
    set.savePending();
    RowChange change;
    change.table = kTable;
    change.rowId = set.keyOf(row).toLongLong();
    change.what = itemWords(set, row);
    change.columns = RowColumnsOf(set);
    change.before = StoredRowOf(set, row);
    set.remove(row);
    m_history.push(RowStep{QStringLiteral("删除") + change.what, {change}});
    emit historyChanged();
}

DayworkPlace OwnerDayworkEditor::placeOf(qint64 rowId) const {
    for (Schedule s : {Schedule::Labour, Schedule::Material, Schedule::Machinery})
        if (const int row = m_sets[index(s)]->rowOfKey(rowId); row >= 0)
            return {s, row};
    return {};
}

DayworkPlace OwnerDayworkEditor::undo() {
    for (auto& set : m_sets)
        set->savePending();
    const RowStep step = m_history.undo(m_dm.database());
    emit historyChanged();
    reload();
    return placeOf(step.changes.front().rowId);
}

DayworkPlace OwnerDayworkEditor::redo() {
    for (auto& set : m_sets)
        set->savePending();
    const RowStep step = m_history.redo(m_dm.database());
    emit historyChanged();
    reload();
    return placeOf(step.changes.front().rowId);
}

} // namespace tenvora

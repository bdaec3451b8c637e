#include "owner/OwnerBillEditor.h"

#include "boq/BoqImport.h"
#include "boq/BoqLineRules.h"
#include "boq/ContractFigures.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "owner/TenderContracts.h"

#include <algorithm>

namespace tenvora {

namespace {

const QString kItem = QStringLiteral("细目编号");
const QString kName = QStringLiteral("细目名称");
const QString kUnit = QStringLiteral("单位");
const QString kQuantity = QStringLiteral("合同数量");
const QString kAmount = QStringLiteral("合同金额");

QString lineWords(const QVariant& item) {
    return QStringLiteral("细目“%1”").arg(item.toString());
}

} // namespace

void OwnerBillBeforePost(DataSet& line, int row) {
    const QVariant quantity = line.value(row, kQuantity);
    if (quantity.isNull()) {
        line.setValue(row, kQuantity, 0.0);
    } else {
        const std::optional<double> q = NumberOf(quantity);
        if (!q)
            throw Refused(QStringLiteral("合同数量“%1”不是数字").arg(quantity.toString()));
        if (*q < 0)
            throw Refused(QStringLiteral("合同数量不能是负数（%1）").arg(quantity.toString()));
    }
    const bool provisional = line.value(row, kUnit).toString() == kProvisionalSumUnit;
    const QVariant amount = line.value(row, kAmount);
    if (provisional) {
        if (!amount.isNull()) {
            const std::optional<double> a = NumberOf(amount);
            if (!a)
                throw Refused(QStringLiteral("暂定金额的合价“%1”不是数字").arg(amount.toString()));
            if (*a < 0)
                throw Refused(QStringLiteral("暂定金额的合价不能是负数（%1）").arg(amount.toString()));
        }
        return;
    }
    const int column = line.columnIndex(kAmount);
    const bool typed =
        line.state(row) == DataSet::State::Insert || !SameStoredValue(amount, line.storedValue(row, column));
    if (typed && !amount.isNull())
        throw Refused(QStringLiteral("只有单位为“%1”的细目（暂定金额）才有合价").arg(kProvisionalSumUnit));
    // A line the file holds priced keeps the amount its price and new quantity give; otherwise an
    // amount left from a provisional sum the line no longer is goes.
    const QVariant price = line.value(row, QStringLiteral("合同单价"));
    if (!price.isNull()) {
        const std::optional<qint64> lineAmount = LineAmount(price, line.value(row, kQuantity));
        line.setValue(row, kAmount, lineAmount ? QVariant(static_cast<double>(*lineAmount)) : QVariant());
    } else if (!amount.isNull()) {
        line.setValue(row, kAmount, QVariant());
    }
}

QString NewItemNumberProblem(Database& db, const QString& contractId, const QString& item) {
    if (item.isEmpty())
        return QStringLiteral("细目编号不能为空");
    if (item.trimmed() != item)
        return QStringLiteral("细目编号“%1”的前后有空格").arg(item);
    if (item.at(0) < QLatin1Char('0') || item.at(0) > QLatin1Char('9'))
        return QStringLiteral("细目编号“%1”不以数字开头，分不出所属的章").arg(item);
    if (db.scalar(QStringLiteral("select count(*) from jd_htqd where 合同编号 = ? and 细目编号 = ?"),
                  {contractId, item})
            .toLongLong() > 0)
        return QStringLiteral("合同段“%1”已有细目“%2”").arg(contractId, item);
    return {};
}

OwnerBillEditor::OwnerBillEditor(DataModule& dm, QObject* parent)
    : QObject(parent), m_dm(dm),
      m_lines(dm, DataSetTable{QStringLiteral("jd_htqd"), QStringLiteral("rowid"), editableColumns()}) {
    m_lines.setBeforePost([](DataSet& lines, int row) { OwnerBillBeforePost(lines, row); });
    m_lines.setAfterPost([this](DataSet&, int row, const QVariantList& before) { recordPost(row, before); });
    // Only a provisional sum has an amount to type.
    m_lines.setCellRule([](const DataSet& lines, int row, int column) {
        return column != lines.columnIndex(kAmount) || lines.value(row, kUnit).toString() == kProvisionalSumUnit;
    });
}

QString OwnerBillEditor::listSql() {
    return QStringLiteral("select rowid, * from jd_htqd where 合同编号 = ? order by 细目编号 collate ITEMNO, rowid");
}

QStringList OwnerBillEditor::editableColumns() {
    return {kName, kUnit, kQuantity, kAmount};
}

void OwnerBillEditor::open(const QString& contractId) {
    if (contractId != m_contract) {
        m_history.clear();
        emit historyChanged();
    }
    m_contract = contractId;
    if (contractId.isEmpty()) {
        m_lines.close();
        return;
    }
    m_lines.open(listSql(), {contractId});
}

void OwnerBillEditor::reload() {
    if (!m_contract.isEmpty())
        m_lines.open(listSql(), {m_contract});
}

void OwnerBillEditor::recordPost(int row, const QVariantList& before) {
    RowChange change;
    change.table = QStringLiteral("jd_htqd");
    change.rowId = m_lines.keyOf(row).toLongLong();
    change.what = lineWords(m_lines.value(row, kItem));
    change.columns = RowColumnsOf(m_lines);
    change.before = RowValuesOf(m_lines, before);
    change.after = StoredRowOf(m_lines, row);
    m_history.push(RowStep{QStringLiteral("修改") + change.what, {change}});
    emit historyChanged();
}

int OwnerBillEditor::addLine(const NewBillLine& line) {
    Database& db = m_dm.database();
    RequireContract(db, m_contract);
    if (const QString problem = NewItemNumberProblem(db, m_contract, line.item); !problem.isEmpty())
        throw Refused(problem);
    if (line.quantity < 0)
        throw Refused(QStringLiteral("合同数量不能是负数"));
    const bool provisional = line.unit == kProvisionalSumUnit;
    if (!provisional && !line.amount.isNull())
        throw Refused(QStringLiteral("只有单位为“%1”的细目（暂定金额）才有合价").arg(kProvisionalSumUnit));
    if (provisional && !line.amount.isNull() && NumberOf(line.amount).value_or(-1) < 0)
        throw Refused(QStringLiteral("暂定金额的合价不能是负数"));
    m_lines.savePending();
    const std::optional<QString> section = SectionOf(line.item);
    const std::optional<QString> segment = SegmentOf(line.item);
    RowChange change;
    change.table = QStringLiteral("jd_htqd");
    change.what = lineWords(line.item);
    {
        Transaction tx(db);
        db.exec(
            QStringLiteral("insert into jd_htqd (合同编号, 章, 节, 段, 细目编号, 细目名称, 单位, 合同数量, 合同单价, "
                           "合同金额, 是否补充) values (?, ?, ?, ?, ?, ?, ?, ?, NULL, ?, 0)"),
            {m_contract, ChapterOf(line.item), section ? QVariant(*section) : QVariant(),
             segment ? QVariant(*segment) : QVariant(), line.item,
             line.name.isEmpty() ? QVariant() : QVariant(line.name),
             line.unit.isEmpty() ? QVariant() : QVariant(line.unit), line.quantity,
             provisional ? line.amount : QVariant()});
        change.rowId = db.scalar(QStringLiteral("select last_insert_rowid()")).toLongLong();
        tx.commit();
    }
    m_lines.open(listSql(), {m_contract});
    change.columns = RowColumnsOf(m_lines);
    change.after = ReadRowValues(db, change.table, change.rowId, change.columns);
    m_history.push(RowStep{QStringLiteral("增加") + change.what, {change}});
    emit historyChanged();
    return m_lines.rowOfKey(change.rowId);
}

void OwnerBillEditor::deleteLine(int row) {
    if (row < 0 || row >= m_lines.rowCount())
        throw Refused(QStringLiteral("请先选择要删除的细目"));
    m_lines.savePending();
    RowChange change;
    change.table = QStringLiteral("jd_htqd");
    change.rowId = m_lines.keyOf(row).toLongLong();
    change.what = lineWords(m_lines.value(row, kItem));
    change.columns = RowColumnsOf(m_lines);
    change.before = StoredRowOf(m_lines, row);
    m_lines.remove(row);
    m_history.push(RowStep{QStringLiteral("删除") + change.what, {change}});
    emit historyChanged();
}

int OwnerBillEditor::rowOfItem(const QString& item) const {
    const int column = m_lines.columnIndex(kItem);
    for (int r = 0; r < m_lines.rowCount(); ++r)
        if (m_lines.storedValue(r, column).toString() == item)
            return r;
    return -1;
}

int OwnerBillEditor::undo() {
    m_lines.savePending();
    const RowStep step = m_history.undo(m_dm.database());
    emit historyChanged();
    reload();
    return m_lines.rowOfKey(step.changes.front().rowId);
}

int OwnerBillEditor::redo() {
    m_lines.savePending();
    const RowStep step = m_history.redo(m_dm.database());
    emit historyChanged();
    reload();
    return m_lines.rowOfKey(step.changes.front().rowId);
}

} // namespace tenvora

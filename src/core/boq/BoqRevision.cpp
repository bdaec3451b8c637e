#include "boq/BoqRevision.h"

#include "boq/AmountRules.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "data/NaturalOrder.h"
#include "datamgmt/DataFileCopies.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace tenvora {

namespace {

// Null and empty text are the same: the import reads an empty cell as null.
bool sameText(const QVariant& a, const QVariant& b) {
    return a.toString() == b.toString();
}

// An empty quantity reads as 0, as it does for the price lock: a heading left blank in the sheet
// is no change from the 0 stored for it.
bool sameNumber(const QVariant& a, const QVariant& b) {
    return NumberOf(a).value_or(0.0) == NumberOf(b).value_or(0.0);
}

QString shown(const QVariant& value) {
    return value.isNull() ? QStringLiteral("（空）") : DisplayText(value, QString());
}

// The amount a matched line takes: the line-amount rule on the kept price and the new quantity.
// A priced line whose quantity is gone keeps no amount, so no stale figure stays in a total.
QVariant revisedAmount(const QVariant& price, const QVariant& quantity, const QVariant& oldAmount) {
    if (const std::optional<qint64> amount = LineAmount(price, quantity))
        return QVariant::fromValue<qlonglong>(*amount);
    if (NumberOf(price) && !NumberOf(quantity))
        return {};
    return oldAmount;
}

struct StoredLine {
    qint64 rowid = 0;
    QString item;
    QVariant name, unit, quantity, price, amount;
};

// The side of a plan line that the data file holds now.
void takeStored(BoqRevisionLine& line, const StoredLine& s) {
    line.rowid = s.rowid;
    line.oldName = s.name;
    line.oldUnit = s.unit;
    line.oldQuantity = s.quantity;
    line.price = s.price;
    line.oldAmount = s.amount;
}

std::vector<StoredLine> storedLines(DataModule& dm, const QString& contract) {
    auto q = dm.NewQuery();
    dm.RunSql(*q,
              QStringLiteral("select rowid, 细目编号, 细目名称, 单位, 合同数量, 合同单价, 合同金额 from jd_htqd "
                             "where 是否补充 = 0 and 合同编号 = ? order by 细目编号 collate ITEMNO"),
              {contract}, true);
    std::vector<StoredLine> lines;
    lines.reserve(static_cast<size_t>(q->recordCount()));
    for (int r = 0; r < q->recordCount(); ++r) {
        // The columns in the order selected above.
        const QVariantList& v = q->row(r);
        lines.push_back({v.at(0).toLongLong(), v.at(1).toString(), v.at(2), v.at(3), v.at(4), v.at(5), v.at(6)});
    }
    return lines;
}

// An added line comes in unpriced; its amount is the sheet's own only when the sheet gave no
// price (a provisional sum), never one computed from a price that is not taken.
BoqSourceRow unpriced(const BoqSourceRow& row) {
    BoqSourceRow r = row;
    if (!r.price.isNull())
        r.amount.reset();
    r.price = QVariant();
    return r;
}

QVariant addedAmount(const BoqSourceRow& row) {
    if (row.amount)
        return *row.amount;
    const std::optional<double> derived = ImportedAmountOf(QVariant(), row.quantity);
    return derived ? QVariant(*derived) : QVariant();
}

BoqRevisionPlan planFor(DataModule& dm, const QString& contract, const BoqSource& source) {
    BoqRevisionPlan plan;
    plan.contract = contract;
    plan.path = source.path;

    QHash<QString, QList<int>> sheetRows;
    QStringList sheetOrder;
    for (const BoqSourceRow& row : source.rows) {
        if (row.itemNumber.isNull()) {
            ++plan.skippedRows;
            continue;
        }
        const QString item = row.itemNumber.toString();
        QList<int>& at = sheetRows[item];
        if (at.isEmpty())
            sheetOrder << item;
        at << row.sheetRow;
    }
    for (const QString& item : sheetOrder) {
        QList<int> at = sheetRows.value(item);
        if (at.size() < 2)
            continue;
        std::sort(at.begin(), at.end());
        QStringList where;
        for (const int r : at)
            where << QString::number(r);
        plan.workbookDuplicates << QStringLiteral("细目编号“%1”在工作簿中出现 %2 次（第 %3 行）")
                                       .arg(item)
                                       .arg(at.size())
                                       .arg(where.join(QStringLiteral("、")));
    }

    const std::vector<StoredLine> stored = storedLines(dm, contract);
    QHash<QString, size_t> storedAt;
    QHash<QString, int> storedCount;
    for (size_t i = 0; i < stored.size(); ++i) {
        // A line without an item number cannot be matched to anything; it is left as it is.
        if (stored[i].item.isEmpty())
            continue;
        if (++storedCount[stored[i].item] == 1)
            storedAt.insert(stored[i].item, i);
    }
    for (size_t i = 0; i < stored.size(); ++i) {
        const QString& item = stored[i].item;
        const int n = storedCount.value(item);
        if (n > 1 && storedAt.value(item) == i)
            plan.storeDuplicates << QStringLiteral("细目编号“%1”在当前合同的清单中有 %2 行").arg(item).arg(n);
    }
    if (plan.refused())
        return plan;

    QHash<QString, bool> matched;
    for (const BoqSourceRow& row : source.rows) {
        if (row.itemNumber.isNull())
            continue;
        const QString item = row.itemNumber.toString();
        const auto found = storedAt.constFind(item);
        BoqRevisionLine line;
        line.item = item;
        line.sheetRow = row.sheetRow;
        line.newName = row.itemName;
        line.newUnit = row.unit;
        line.newQuantity = row.quantity;
        if (found == storedAt.constEnd()) {
            line.change = BoqRevisionLine::Change::Added;
            line.newAmount = addedAmount(unpriced(row));
            plan.lines.push_back(std::move(line));
            ++plan.added;
            continue;
        }
        const StoredLine& s = stored[*found];
        matched.insert(item, true);
        takeStored(line, s);
        line.nameChanged = !sameText(s.name, row.itemName);
        line.unitChanged = !sameText(s.unit, row.unit);
        line.quantityChanged = !sameNumber(s.quantity, row.quantity);
        if (!line.nameChanged && !line.unitChanged && !line.quantityChanged) {
            ++plan.unchanged;
            continue;
        }
        line.change = BoqRevisionLine::Change::Changed;
        line.newAmount = revisedAmount(s.price, row.quantity, s.amount);
        plan.lines.push_back(std::move(line));
        ++plan.changed;
    }
    for (const StoredLine& s : stored) {
        if (s.item.isEmpty() || matched.contains(s.item))
            continue;
        BoqRevisionLine line;
        line.change = BoqRevisionLine::Change::Dropped;
        line.item = s.item;
        takeStored(line, s);
        plan.lines.push_back(std::move(line));
        ++plan.dropped;
    }
    std::stable_sort(plan.lines.begin(), plan.lines.end(), [](const BoqRevisionLine& a, const BoqRevisionLine& b) {
        return CompareItemNumbers(a.item, b.item) < 0;
    });
    return plan;
}

QString staleText() {
    return QStringLiteral("当前合同的清单在显示修订内容之后有了变化，没有修订任何内容，请重新导入修订清单。");
}

} // namespace

QString BoqRevisionLine::changeText() const {
    switch (change) {
    case Change::Added:
        return QStringLiteral("新增");
    case Change::Dropped:
        return QStringLiteral("删除");
    case Change::Changed:
        break;
    }
    return QStringLiteral("修改");
}

QString BoqRevisionLine::description() const {
    QStringList parts;
    if (quantityChanged)
        parts << QStringLiteral("数量 %1 → %2").arg(shown(oldQuantity), shown(newQuantity));
    if (unitChanged)
        parts << QStringLiteral("单位 %1 → %2").arg(shown(oldUnit), shown(newUnit));
    if (nameChanged)
        parts << QStringLiteral("名称原为“%1”").arg(oldName.toString());
    return parts.join(QStringLiteral("；"));
}

QString BoqRevisionPlan::refusalText() const {
    if (!refused())
        return {};
    return QStringLiteral("细目编号重复，无法确定各行的对应关系，修订清单没有导入：\n") +
           (workbookDuplicates + storeDuplicates).join(QLatin1Char('\n'));
}

QString BoqRevisionPlan::summaryText() const {
    return QStringLiteral("新增 %1 行，删除 %2 行，修改 %3 行，未变 %4 行")
        .arg(added)
        .arg(dropped)
        .arg(changed)
        .arg(unchanged);
}

QString BoqRevision::BackupPath(const QString& dataFilePath, const QDateTime& when) {
    return dataFilePath + QStringLiteral(".before-revision-") + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

QString BoqRevision::doneText(const BoqRevisionOutcome& outcome) {
    return QStringLiteral("修订清单导入完毕：新增 %1 行，删除 %2 行，修改 %3 行，单价保持不变。\n"
                          "修订前的数据文件已备份为 %4\n"
                          "请对各章重新进行“章合计 和 保险费 计算”。")
        .arg(outcome.added)
        .arg(outcome.dropped)
        .arg(outcome.changed)
        .arg(QDir::toNativeSeparators(outcome.backupPath));
}

BoqRevisionPlan BoqRevision::plan(const BoqSource& source) {
    const QString contract = m_dm.session().CurContractID;
    if (contract.isEmpty())
        throw Refused(BoqImport::noContractMessage());
    return planFor(m_dm, contract, source);
}

BoqRevisionOutcome BoqRevision::apply(const BoqRevisionPlan& plan, const BoqSource& source) {
    if (plan.refused())
        throw Refused(plan.refusalText());
    BoqRevisionOutcome outcome;
    if (!plan.hasChanges())
        return outcome;
    if (plan.contract != m_dm.session().CurContractID)
        throw Refused(staleText());

    // The copy is taken with the connection closed; reopening reloads the session from the
    // stored selection, which must not move the change to another contract.
    const QDateTime now = QDateTime::currentDateTime();
    outcome.backupPath = BackupPath(m_dm.dataFilePath(), now);
    for (int n = 2; QFileInfo::exists(outcome.backupPath); ++n)
        outcome.backupPath = BackupPath(m_dm.dataFilePath(), now) + QStringLiteral("-%1").arg(n);
    const SessionValues session = m_dm.session();
    {
        ConnectionPause pause(m_dm);
        DataFileCopies(m_dm).backupTo(outcome.backupPath);
        pause.reopen();
    }
    m_dm.session() = session;

    QHash<QString, const BoqSourceRow*> rows;
    for (const BoqSourceRow& r : source.rows)
        if (!r.itemNumber.isNull())
            rows.insert(r.itemNumber.toString(), &r);

    m_dm.RunChange([&] {
        Database& db = m_dm.database();
        // Each line is changed only while it still holds what the plan showed (item, price,
        // quantity, amount), so a bill changed since then refuses the whole revision.
        const QString shown = QStringLiteral(" where rowid=? and 合同编号=? and 是否补充 = 0 and 细目编号=? and "
                                             "合同单价 is ? and 合同数量 is ? and 合同金额 is ?");
        Statement update =
            db.prepare(QStringLiteral("update jd_htqd set 细目名称=?, 单位=?, 合同数量=?, 合同金额=?") + shown);
        Statement remove = db.prepare(QStringLiteral("delete from jd_htqd") + shown);
        BoqSource added;
        added.path = source.path;
        for (const BoqRevisionLine& line : plan.lines) {
            if (line.change == BoqRevisionLine::Change::Added) {
                added.rows.push_back(unpriced(*rows.value(line.item)));
                continue;
            }
            Statement& st = line.change == BoqRevisionLine::Change::Changed ? update : remove;
            const QVariantList where{line.rowid, plan.contract,    line.item,
                                     line.price, line.oldQuantity, line.oldAmount};
            if (line.change == BoqRevisionLine::Change::Changed)
                st.bindAll(QVariantList{line.newName, line.newUnit, line.newQuantity, line.newAmount} + where);
            else
                st.bindAll(where);
            st.run();
            st.reset();
            if (db.changes() != 1)
                throw Refused(staleText());
        }
        if (!added.rows.empty()) {
            const BoqImportResult result = BoqImport(m_dm).importLines(added);
            if (!result.failure.isEmpty())
                throw Error(QStringLiteral("修订清单没有导入，数据文件没有改变：%1").arg(result.failure));
        }
    });
    outcome.added = plan.added;
    outcome.dropped = plan.dropped;
    outcome.changed = plan.changed;
    return outcome;
}

} // namespace tenvora

#include "data/RowHistory.h"

#include "data/DataSet.h"
#include "data/Database.h"
#include "data/Errors.h"

namespace tenvora {

namespace {

// Column names come from the program's own lists, never from the user; quoted for the Chinese ones.
QString quoted(const QString& name) {
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QString columnList(const QStringList& columns) {
    QStringList out;
    for (const QString& c : columns)
        out << quoted(c);
    return out.join(QStringLiteral(", "));
}

bool sameRow(const QVariantList& a, const QVariantList& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (!SameStoredValue(a[i], b[i]))
            return false;
    return true;
}

void applyChange(Database& db, const RowChange& change, bool undo) {
    const QVariantList& from = undo ? change.after : change.before;
    const QVariantList& to = undo ? change.before : change.after;
    const QVariantList now = ReadRowValues(db, change.table, change.rowId, change.columns);
    if (!sameRow(now, from))
        throw Refused(QStringLiteral("%1已在别处改动或删除，不能%2")
                          .arg(change.what, undo ? QStringLiteral("撤销") : QStringLiteral("重做")));
    if (to.isEmpty()) {
        db.exec(QStringLiteral("delete from %1 where rowid = ?").arg(quoted(change.table)), {change.rowId});
        return;
    }
    if (from.isEmpty()) {
        QStringList marks(change.columns.size() + 1, QStringLiteral("?"));
        QVariantList values{change.rowId};
        values += to;
        db.exec(QStringLiteral("insert into %1 (rowid, %2) values (%3)")
                    .arg(quoted(change.table), columnList(change.columns), marks.join(QStringLiteral(", "))),
                values);
        return;
    }
    QStringList sets;
    for (const QString& c : change.columns)
        sets << quoted(c) + QStringLiteral(" = ?");
    QVariantList values = to;
    values << change.rowId;
    db.exec(
        QStringLiteral("update %1 set %2 where rowid = ?").arg(quoted(change.table), sets.join(QStringLiteral(", "))),
        values);
}

} // namespace

void RowHistory::push(RowStep step) {
    if (step.changes.empty())
        return;
    m_redo.clear();
    m_undo.push_back(std::move(step));
    while (m_undo.size() > static_cast<size_t>(kMaxSteps))
        m_undo.pop_front();
}

void RowHistory::clear() {
    m_undo.clear();
    m_redo.clear();
}

RowStep RowHistory::undo(Database& db) {
    if (m_undo.empty())
        throw Refused(QStringLiteral("没有可以撤销的操作"));
    RowStep step = m_undo.back();
    ApplyRowStep(db, step, true);
    m_undo.pop_back();
    m_redo.push_back(step);
    return step;
}

RowStep RowHistory::redo(Database& db) {
    if (m_redo.empty())
        throw Refused(QStringLiteral("没有可以重做的操作"));
    RowStep step = m_redo.back();
    ApplyRowStep(db, step, false);
    m_redo.pop_back();
    m_undo.push_back(step);
    return step;
}

QVariantList ReadRowValues(Database& db, const QString& table, qint64 rowId, const QStringList& columns) {
    Statement st =
        db.prepare(QStringLiteral("select %1 from %2 where rowid = ?").arg(columnList(columns), quoted(table)));
    st.bind(1, rowId);
    QVariantList values;
    if (st.next())
        for (int c = 0; c < columns.size(); ++c)
            values << st.value(c);
    return values;
}

QStringList RowColumnsOf(const DataSet& set) {
    QStringList columns = set.columns();
    columns.removeAt(set.keyIndex());
    return columns;
}

QVariantList RowValuesOf(const DataSet& set, const QVariantList& row) {
    QVariantList values = row;
    if (!values.isEmpty())
        values.removeAt(set.keyIndex());
    return values;
}

QVariantList StoredRowOf(const DataSet& set, int row) {
    QVariantList values;
    for (int c = 0; c < set.columnCount(); ++c)
        if (c != set.keyIndex())
            values << set.storedValue(row, c);
    return values;
}

void ApplyRowStep(Database& db, const RowStep& step, bool undo) {
    Transaction tx(db);
    if (undo)
        for (auto it = step.changes.rbegin(); it != step.changes.rend(); ++it)
            applyChange(db, *it, true);
    else
        for (const RowChange& change : step.changes)
            applyChange(db, change, false);
    tx.commit();
}

} // namespace tenvora

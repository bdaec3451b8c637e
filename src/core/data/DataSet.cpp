#include "data/DataSet.h"

#include "data/DataModule.h"
#include "data/Money.h"

#include <algorithm>
#include <cmath>

namespace tenvora {

namespace {

const QString kRowId = QStringLiteral("rowid");

bool isRowId(const QString& name) {
    return name.compare(kRowId, Qt::CaseInsensitive) == 0;
}

// Names come from our own constants or from the store's own column names; quoting keeps names
// such as "完成率(%)" whole. The row identity stays bare so that it means the store's rowid.
QString quoted(const QString& name) {
    if (isRowId(name))
        return name;
    QString text = name;
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

bool SameStoredValue(const QVariant& a, const QVariant& b) {
    const bool nullA = !a.isValid() || a.isNull();
    const bool nullB = !b.isValid() || b.isNull();
    if (nullA || nullB)
        return nullA == nullB;
    return a == b;
}

DataSet::DataSet(DataModule& dm, DataSetTable target, QObject* parent)
    : QObject(parent), m_dm(dm), m_target(std::move(target)) {}

bool DataSet::canModify() const {
    return isOpen() && !m_target.table.isEmpty() && m_keyIndex >= 0;
}

bool DataSet::isColumnEditable(int column) const {
    return canModify() && column >= 0 && column < m_editable.size() && m_editable[column] && column != m_keyIndex;
}

int DataSet::columnIndex(const QString& name) const {
    // Hooks ask for the same few names on every row of a batch: no scan of the columns.
    if (const auto found = m_columnIndex.constFind(name); found != m_columnIndex.constEnd())
        return *found;
    return m_columnIndex.value(name.toCaseFolded(), -1);
}

int DataSet::rowOfKey(const QVariant& key) const {
    if (m_keyIndex < 0 || !key.isValid() || key.isNull())
        return -1;
    if (!m_keyRowsValid) {
        m_keyRows.clear();
        m_keyRows.reserve(rowCount());
        for (int r = 0; r < rowCount(); ++r)
            m_keyRows.insert(m_rows[static_cast<size_t>(r)].at(m_keyIndex).toString(), r);
        m_keyRowsValid = true;
    }
    return m_keyRows.value(key.toString(), -1);
}

int DataSet::checkedColumn(const QString& name) const {
    const int c = columnIndex(name);
    if (c < 0)
        throw Error(QStringLiteral("数据中没有“%1”这一列").arg(name));
    return c;
}

QVariant DataSet::value(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    if (isEditing() && row == m_current)
        return m_buffer.at(column);
    return m_rows[static_cast<size_t>(row)].at(column);
}

QVariant DataSet::storedValue(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    return m_rows[static_cast<size_t>(row)].at(column);
}

void DataSet::setDisplayFormat(const QString& column, const QString& format) {
    const QString key = column.toCaseFolded();
    if (m_formats.contains(key) && m_formats.value(key) == format)
        return;
    m_formats.insert(key, format);
    emit displayFormatChanged();
}

QString DataSet::displayFormat(int column) const {
    if (column < 0 || column >= columnCount())
        return {};
    return m_formats.value(m_columns[column].toCaseFolded());
}

QString DataSet::displayText(int row, int column) const {
    return DisplayText(value(row, column), displayFormat(column));
}

void DataSet::open(const QString& sql, const QVariantList& values) {
    close();
    Query query(&m_dm.database());
    m_dm.RunSql(query, sql, values, true);
    std::vector<QVariantList> rows;
    rows.reserve(static_cast<size_t>(query.recordCount()));
    for (int i = 0; i < query.recordCount(); ++i)
        rows.push_back(query.row(i)); // shares the row's storage, no copy of the values
    load(query.columns(), std::move(rows));
}

void DataSet::openRows(const QStringList& columns, std::vector<QVariantList> rows) {
    close();
    for (QVariantList& r : rows)
        while (r.size() < columns.size())
            r.append(QVariant());
    load(columns, std::move(rows));
}

void DataSet::load(QStringList columns, std::vector<QVariantList> rows) {
    emit aboutToReset();
    m_columns = std::move(columns);
    m_rows = std::move(rows);
    m_keyRowsValid = false;
    m_statements.clear();
    m_last = RowStatements();
    m_affinity.clear();
    m_columnIndex.clear();
    // The first of two equal names wins, as a scan from the left would find it.
    for (int i = static_cast<int>(m_columns.size()) - 1; i >= 0; --i) {
        m_columnIndex.insert(m_columns[i], i);
        m_columnIndex.insert(m_columns[i].toCaseFolded(), i);
    }
    m_keyIndex = m_target.keyColumn.isEmpty() ? -1 : columnIndex(m_target.keyColumn);
    if (m_rowFilter) {
        std::vector<QVariantList> kept;
        for (int r = 0; r < rowCount(); ++r)
            if (m_rowFilter(*this, r))
                kept.push_back(std::move(m_rows[static_cast<size_t>(r)]));
        m_rows = std::move(kept);
    }
    m_editable.clear();
    for (const QString& c : m_columns)
        m_editable << m_target.editableColumns.contains(c, Qt::CaseInsensitive);
    m_current = m_rows.empty() ? -1 : 0;
    m_state = State::Browse;
    m_buffer.clear();
    m_modified = false;
    emit reset();
    emit stateChanged(m_state);
    emit currentChanged(m_current);
    if (m_afterOpen)
        m_afterOpen(*this);
    fireAfterScroll();
}

void DataSet::close() {
    if (m_state == State::Inactive)
        return;
    emit aboutToReset();
    m_columns.clear();
    m_rows.clear();
    m_editable.clear();
    m_columnIndex.clear();
    m_keyRowsValid = false;
    m_keyIndex = -1;
    m_current = -1;
    m_buffer.clear();
    m_modified = false;
    m_state = State::Inactive;
    emit reset();
    emit stateChanged(m_state);
    emit currentChanged(m_current);
}

void DataSet::setCurrent(int row, bool always) {
    if (row == m_current && !always)
        return;
    m_current = row;
    emit currentChanged(row);
    fireAfterScroll();
}

void DataSet::fireAfterScroll() {
    if (m_afterScroll && m_current >= 0)
        m_afterScroll(*this);
}

void DataSet::moveTo(int row) {
    // A view that moves while a row is being added or taken away does not steer the set.
    if (m_rows.empty() || m_changingRows)
        return;
    row = std::clamp(row, 0, rowCount() - 1);
    if (row == m_current)
        return;
    if (isEditing()) {
        const int left = m_current;
        const bool dropsRow = m_state == State::Insert && !m_modified;
        savePending();
        if (dropsRow && row > left)
            --row;
        row = std::clamp(row, 0, rowCount() - 1);
    }
    setCurrent(row);
}

void DataSet::requireWritable() const {
    if (!canModify())
        throw Refused(QStringLiteral("这些数据不能修改"));
}

void DataSet::beginEdit(State state) {
    m_state = state;
    m_modified = false;
    emit stateChanged(m_state);
}

void DataSet::edit() {
    requireWritable();
    if (isEditing() || m_rows.empty())
        return;
    m_buffer = m_rows[static_cast<size_t>(m_current)];
    beginEdit(State::Edit);
    emit rowChanged(m_current);
}

void DataSet::setField(const QString& column, const QVariant& value) {
    setField(checkedColumn(column), value);
}

void DataSet::setField(int column, const QVariant& value) {
    if (column < 0 || column >= columnCount())
        throw Error(QStringLiteral("数据中没有第 %1 列").arg(column + 1));
    if (!isEditing())
        edit();
    if (!isEditing())
        return; // no row to edit
    if (SameStoredValue(m_buffer[column], value) && m_buffer[column].typeId() == value.typeId())
        return;
    m_buffer[column] = value;
    m_modified = true;
    if (!m_batch)
        emit rowChanged(m_current);
}

void DataSet::setUserValue(int row, int column, const QVariant& value) {
    if (!isColumnEditable(column))
        throw Refused(QStringLiteral("“%1”不允许修改").arg(m_columns.value(column)));
    moveTo(row);
    if (m_current != row)
        return;
    setField(column, value);
}

void DataSet::post() {
    if (!isEditing())
        return;
    requireWritable();
    if (m_beforePost)
        m_beforePost(*this);
    const QVariantList before = m_state == State::Edit ? m_rows[static_cast<size_t>(m_current)] : QVariantList();
    try {
        Transaction tx(m_dm.database());
        QVariantList row = writeRow(false);
        tx.commit();
        m_rows[static_cast<size_t>(m_current)] = std::move(row);
    } catch (const DbError& e) {
        throw StatementError(e.text());
    }
    finishEdit();
    emit rowChanged(m_current);
    emit stateChanged(m_state);
    if (m_afterPost)
        m_afterPost(*this, before);
}

void DataSet::finishEdit() {
    m_buffer.clear();
    m_modified = false;
    m_state = State::Browse;
}

QVariantList DataSet::writeRow(bool checked) {
    Database& db = m_dm.database();
    const QString table = quoted(m_target.table);
    const QString key = quoted(m_columns[m_keyIndex]);
    const QVariantList stored = m_state == State::Edit ? m_rows[static_cast<size_t>(m_current)] : QVariantList();
    QVariant identity;
    QList<int> written;
    if (m_state == State::Edit) {
        identity = stored.at(m_keyIndex);
        QVariantList values;
        for (int c = 0; c < columnCount(); ++c) {
            if (c == m_keyIndex || SameStoredValue(m_buffer[c], stored[c]))
                continue;
            values << m_buffer[c];
            written << c;
        }
        if (written.isEmpty()) {
            if (checked)
                return stored; // nothing to write: the row stays as stored
        } else {
            values << identity;
            if (checked)
                for (int c : written)
                    values << stored[c];
            db.exec(statementsFor(written, checked).update, values);
            if (db.changes() == 0) {
                if (checked)
                    throw RowChangedElsewhere(QStringLiteral("第 %1 行已在别处改动或删除，没有保存").arg(m_current + 1),
                                              m_current);
                throw Error(QStringLiteral("这一行已不在数据表中，没有保存"));
            }
        }
    } else {
        const bool storeGivesKey = isRowId(m_columns[m_keyIndex]);
        QStringList names;
        QStringList marks;
        QVariantList values;
        for (int c = 0; c < columnCount(); ++c) {
            if ((c == m_keyIndex && storeGivesKey) || m_buffer[c].isNull())
                continue;
            names << quoted(m_columns[c]);
            marks << QStringLiteral("?");
            values << m_buffer[c];
        }
        if (names.isEmpty())
            db.exec(QStringLiteral("insert into %1 default values").arg(table));
        else
            db.exec(QStringLiteral("insert into %1 (%2) values (%3)")
                        .arg(table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
                    values);
        identity = storeGivesKey ? db.scalar(QStringLiteral("select last_insert_rowid()")) : m_buffer[m_keyIndex];
        m_keyRowsValid = false;
    }
    // The row as the store now holds it: types and defaults are the store's. A batch reads back
    // only what it wrote.
    QVariantList row = m_buffer;
    if (!(row[m_keyIndex] == identity))
        row[m_keyIndex] = identity;
    if (checked) {
        QList<QVariant> forms;
        for (int c : written) {
            std::optional<QVariant> form = storedForm(c, row[c]);
            if (!form)
                break;
            forms << *form;
        }
        if (forms.size() == written.size()) {
            for (int i = 0; i < written.size(); ++i)
                if (forms[i].typeId() != row[written[i]].typeId())
                    row[written[i]] = forms[i];
            return row;
        }
    }
    Database::Lease st = db.cached(checked ? statementsFor(written, true).readBack
                                           : QStringLiteral("select * from %1 where %2=?").arg(table, key));
    st->bind(1, identity);
    if (st->next()) {
        for (int i = 0; i < st->columnCount(); ++i) {
            const int c = checked ? written.at(i) : columnIndex(st->columnName(i));
            if (c < 0 || c == m_keyIndex)
                continue;
            // Only a value the store holds differently is put in, so that the row is not copied for nothing.
            const QVariant value = st->value(i);
            if (value.typeId() != row[c].typeId() || !SameStoredValue(value, row[c]))
                row[c] = value;
        }
    }
    return row;
}

void DataSet::takeRows(const DataSet& other, const QVariantList& keys) {
    if (!canModify() || keys.isEmpty() || other.m_target.table.compare(m_target.table, Qt::CaseInsensitive) != 0)
        return;
    if (isEditing())
        throw Error(QStringLiteral("还有一行正在编辑，请先保存或取消"));
    QList<QPair<int, int>> shared; // this column, the other's
    for (int c = 0; c < columnCount(); ++c)
        if (c != m_keyIndex)
            if (const int o = other.columnIndex(m_columns[c]); o >= 0)
                shared.append({c, o});
    int first = rowCount();
    int last = -1;
    for (const QVariant& key : keys) {
        const int row = rowOfKey(key);
        const int from = other.rowOfKey(key);
        if (row < 0 || from < 0)
            continue;
        QVariantList& values = m_rows[static_cast<size_t>(row)];
        const QVariantList& source = other.m_rows[static_cast<size_t>(from)];
        for (const auto& [c, o] : shared)
            values[c] = source[o];
        first = std::min(first, row);
        last = std::max(last, row);
    }
    if (last >= 0)
        emit rowsChanged(first, last);
}

std::optional<QVariant> DataSet::storedForm(int column, const QVariant& value) {
    if (m_affinity.isEmpty()) {
        // SQLite's rules for the affinity of a declared type, in their order.
        m_affinity = QList<char>(columnCount(), 0);
        try {
            QString name = m_target.table;
            name.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            Statement st = m_dm.database().prepare(QStringLiteral("PRAGMA table_info(\"%1\")").arg(name));
            while (st.next()) {
                const int c = columnIndex(st.value(1).toString());
                const QString type = st.value(2).toString().toUpper();
                if (c < 0)
                    continue;
                if (type.contains(QLatin1String("INT")))
                    m_affinity[c] = 'I';
                else if (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB")) ||
                         type.contains(QLatin1String("TEXT")))
                    m_affinity[c] = 'T';
                else if (type.isEmpty() || type.contains(QLatin1String("BLOB")))
                    m_affinity[c] = 'B';
                else if (type.contains(QLatin1String("REAL")) || type.contains(QLatin1String("FLOA")) ||
                         type.contains(QLatin1String("DOUB")))
                    m_affinity[c] = 'R';
                else
                    m_affinity[c] = 'I'; // NUMERIC keeps numbers as INTEGER affinity does
            }
        } catch (const DbError&) {
            // Unknown types: every row is read back.
        }
    }
    if (!value.isValid() || value.isNull())
        return QVariant();
    const int type = value.typeId();
    const bool whole = type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::Bool;
    const bool real = type == QMetaType::Double;
    switch (m_affinity.value(column)) {
    case 'R':
        if (whole || real)
            return QVariant(value.toDouble());
        break;
    case 'T':
        if (type == QMetaType::QString)
            return value;
        break;
    case 'I':
        if (whole)
            return QVariant::fromValue<qlonglong>(value.toLongLong());
        if (real) {
            const double d = value.toDouble();
            if (std::trunc(d) != d)
                return value;
            if (std::fabs(d) < 9007199254740992.0) // 2^53: beyond it only the store knows
                return QVariant::fromValue<qlonglong>(static_cast<qlonglong>(d));
        }
        break;
    case 'B':
        if (whole)
            return QVariant::fromValue<qlonglong>(value.toLongLong());
        if (real || type == QMetaType::QString)
            return value;
        break;
    default:
        break;
    }
    return std::nullopt;
}

const DataSet::RowStatements& DataSet::statementsFor(const QList<int>& written, bool checked) {
    // A batch writes the same columns row after row.
    if (m_lastChecked == checked && m_lastWritten == written && !m_last.update.isEmpty())
        return m_last;
    m_lastChecked = checked;
    m_lastWritten = written;
    const QList<int> key = checked ? written + QList<int>{-1} : written;
    auto found = m_statements.find(key);
    if (found != m_statements.end())
        return m_last = *found;
    const QString table = quoted(m_target.table);
    const QString identity = quoted(m_columns[m_keyIndex]);
    QStringList sets;
    QStringList names;
    QString unchanged;
    for (int c : written) {
        sets << quoted(m_columns[c]) + QStringLiteral("=?");
        names << quoted(m_columns[c]);
        if (checked)
            unchanged += QStringLiteral(" and %1 is ?").arg(quoted(m_columns[c]));
    }
    RowStatements texts{
        QStringLiteral("update %1 set %2 where %3=?%4").arg(table, sets.join(QLatin1Char(',')), identity, unchanged),
        QStringLiteral("select %1 from %2 where %3=?").arg(names.join(QLatin1Char(',')), table, identity)};
    return m_last = *m_statements.insert(key, std::move(texts));
}

std::vector<QVariantList> DataSet::postValues(int column, const std::vector<std::pair<int, QVariant>>& values) {
    requireWritable();
    if (isEditing())
        throw Error(QStringLiteral("还有一行正在编辑，请先保存或取消"));
    if (column < 0 || column >= columnCount())
        throw Error(QStringLiteral("数据中没有第 %1 列").arg(column + 1));
    std::vector<QVariantList> before;
    before.reserve(values.size());
    const int keep = m_current;
    int first = rowCount();
    int last = -1;
    auto restore = [&] {
        for (size_t i = 0; i < before.size(); ++i)
            m_rows[static_cast<size_t>(values[i].first)] = before[i];
        finishEdit();
        m_current = keep;
        m_batch = false;
    };
    m_batch = true;
    try {
        Transaction tx(m_dm.database());
        for (const auto& [row, value] : values) {
            if (row < 0 || row >= rowCount())
                throw Error(QStringLiteral("列表中没有第 %1 行").arg(row + 1));
            m_current = row;
            m_buffer = m_rows[static_cast<size_t>(row)];
            m_state = State::Edit;
            m_buffer[column] = value;
            m_modified = true;
            before.push_back(m_rows[static_cast<size_t>(row)]);
            if (m_beforePost)
                m_beforePost(*this);
            m_rows[static_cast<size_t>(row)] = writeRow(true);
            first = std::min(first, row);
            last = std::max(last, row);
        }
        tx.commit();
    } catch (const DbError& e) {
        restore();
        throw StatementError(e.text());
    } catch (...) {
        restore();
        throw;
    }
    finishEdit();
    m_current = keep;
    m_batch = false;
    if (last >= 0)
        emit rowsChanged(first, last);
    return before;
}

void DataSet::reloadRows(const QVariantList& keys) {
    if (!canModify() || keys.isEmpty())
        return;
    if (isEditing())
        throw Error(QStringLiteral("还有一行正在编辑，请先保存或取消"));
    int first = rowCount();
    int last = -1;
    try {
        Database::Lease st = m_dm.database().cached(
            QStringLiteral("select * from %1 where %2=?").arg(quoted(m_target.table), quoted(m_columns[m_keyIndex])));
        QList<int> columnOf;
        for (const QVariant& key : keys) {
            const int row = rowOfKey(key);
            if (row < 0)
                continue;
            st->bind(1, key);
            if (st->next()) {
                if (columnOf.isEmpty())
                    for (int i = 0; i < st->columnCount(); ++i)
                        columnOf << columnIndex(st->columnName(i));
                QVariantList& values = m_rows[static_cast<size_t>(row)];
                for (int i = 0; i < st->columnCount(); ++i)
                    if (columnOf[i] >= 0 && columnOf[i] != m_keyIndex)
                        values[columnOf[i]] = st->value(i);
                first = std::min(first, row);
                last = std::max(last, row);
            }
            st->reset();
        }
    } catch (const DbError& e) {
        throw StatementError(e.text());
    }
    if (last >= 0)
        emit rowsChanged(first, last);
}

void DataSet::cancel() {
    if (!isEditing())
        return;
    if (m_state == State::Insert) {
        const int row = m_current;
        m_changingRows = true;
        emit rowAboutToBeRemoved(row);
        m_rows.erase(m_rows.begin() + row);
        m_keyRowsValid = false;
        m_buffer.clear();
        m_modified = false;
        m_state = State::Browse;
        emit rowRemoved(row);
        m_changingRows = false;
        emit stateChanged(m_state);
        setCurrent(m_rows.empty() ? -1 : std::min(row, rowCount() - 1), true);
        return;
    }
    m_buffer.clear();
    m_modified = false;
    m_state = State::Browse;
    emit rowChanged(m_current);
    emit stateChanged(m_state);
}

bool DataSet::savePending() {
    if (!isEditing())
        return false;
    if (m_modified) {
        post();
        return true;
    }
    cancel();
    return false;
}

void DataSet::addRow(int at) {
    m_changingRows = true;
    emit rowAboutToBeInserted(at);
    QVariantList blank;
    blank.resize(columnCount());
    m_rows.insert(m_rows.begin() + at, blank);
    m_keyRowsValid = false;
    m_buffer = blank;
    emit rowInserted(at);
    m_changingRows = false;
    beginEdit(State::Insert);
    setCurrent(at, true);
}

void DataSet::insert() {
    requireWritable();
    savePending();
    if (m_beforeInsert)
        m_beforeInsert(*this);
    addRow(std::max(m_current, 0));
}

void DataSet::append() {
    requireWritable();
    savePending();
    if (m_beforeInsert)
        m_beforeInsert(*this);
    addRow(rowCount());
}

void DataSet::remove() {
    requireWritable();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (m_rows.empty())
        return;
    cancel();
    if (m_beforeDelete)
        m_beforeDelete(*this);
    Database& db = m_dm.database();
    const int row = m_current;
    try {
        Transaction tx(db);
        db.exec(QStringLiteral("delete from %1 where %2=?").arg(quoted(m_target.table), quoted(m_columns[m_keyIndex])),
                {m_rows[static_cast<size_t>(row)].at(m_keyIndex)});
        if (db.changes() == 0)
            throw Error(QStringLiteral("这一行已不在数据表中"));
        tx.commit();
    } catch (const DbError& e) {
        throw StatementError(e.text());
    }
    m_changingRows = true;
    emit rowAboutToBeRemoved(row);
    m_rows.erase(m_rows.begin() + row);
    m_keyRowsValid = false;
    emit rowRemoved(row);
    m_changingRows = false;
    setCurrent(m_rows.empty() ? -1 : std::min(row, rowCount() - 1), true);
}

} // namespace tenvora

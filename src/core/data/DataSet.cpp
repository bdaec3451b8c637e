#include "data/DataSet.h"

#include "data/DataModule.h"
#include "data/Money.h"

#include <algorithm>

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

DataSet::DataSet(TDmMain& dm, DataSetTable target, QObject* parent)
    : QObject(parent), m_dm(dm), m_target(std::move(target)) {}

bool DataSet::canModify() const {
    return isOpen() && !m_target.table.isEmpty() && m_keyIndex >= 0;
}

bool DataSet::isColumnEditable(int column) const {
    return canModify() && column >= 0 && column < m_editable.size() && m_editable[column] && column != m_keyIndex;
}

int DataSet::columnIndex(const QString& name) const {
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
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
    Query query(&m_dm.ADOCon());
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
    m_keyIndex = m_target.keyColumn.isEmpty() ? -1 : columnIndex(m_target.keyColumn);
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
    writeRow();
}

void DataSet::writeRow() {
    Database& db = m_dm.ADOCon();
    const QString table = quoted(m_target.table);
    const QString key = quoted(m_columns[m_keyIndex]);
    QVariantList stored = m_state == State::Edit ? m_rows[static_cast<size_t>(m_current)] : QVariantList();
    try {
        Transaction tx(db);
        QVariant identity;
        if (m_state == State::Edit) {
            identity = stored.at(m_keyIndex);
            QStringList sets;
            QVariantList values;
            for (int c = 0; c < columnCount(); ++c) {
                if (c == m_keyIndex || SameStoredValue(m_buffer[c], stored[c]))
                    continue;
                sets << quoted(m_columns[c]) + QStringLiteral("=?");
                values << m_buffer[c];
            }
            if (!sets.isEmpty()) {
                values << identity;
                db.exec(QStringLiteral("update %1 set %2 where %3=?").arg(table, sets.join(QLatin1Char(',')), key),
                        values);
                if (db.changes() == 0)
                    throw Error(QStringLiteral("这一行已不在数据表中，没有保存"));
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
        }
        // The row as the store now holds it: types and defaults are the store's.
        QVariantList row = m_buffer;
        row[m_keyIndex] = identity;
        Statement st = db.prepare(QStringLiteral("select * from %1 where %2=?").arg(table, key));
        st.bind(1, identity);
        if (st.next()) {
            for (int i = 0; i < st.columnCount(); ++i) {
                const int c = columnIndex(st.columnName(i));
                if (c >= 0 && c != m_keyIndex)
                    row[c] = st.value(i);
            }
        }
        tx.commit();
        m_rows[static_cast<size_t>(m_current)] = row;
    } catch (const DbError&) {
        m_dm.sink().showMessage(QStringLiteral("SQL语句错误!"));
        throw ActionAbandoned();
    }
    m_buffer.clear();
    m_modified = false;
    m_state = State::Browse;
    emit rowChanged(m_current);
    emit stateChanged(m_state);
}

void DataSet::cancel() {
    if (!isEditing())
        return;
    if (m_state == State::Insert) {
        const int row = m_current;
        m_changingRows = true;
        emit rowAboutToBeRemoved(row);
        m_rows.erase(m_rows.begin() + row);
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
    Database& db = m_dm.ADOCon();
    const int row = m_current;
    try {
        Transaction tx(db);
        db.exec(QStringLiteral("delete from %1 where %2=?").arg(quoted(m_target.table), quoted(m_columns[m_keyIndex])),
                {m_rows[static_cast<size_t>(row)].at(m_keyIndex)});
        if (db.changes() == 0)
            throw Error(QStringLiteral("这一行已不在数据表中"));
        tx.commit();
    } catch (const DbError&) {
        m_dm.sink().showMessage(QStringLiteral("SQL语句错误!"));
        throw ActionAbandoned();
    }
    m_changingRows = true;
    emit rowAboutToBeRemoved(row);
    m_rows.erase(m_rows.begin() + row);
    emit rowRemoved(row);
    m_changingRows = false;
    setCurrent(m_rows.empty() ? -1 : std::min(row, rowCount() - 1), true);
}

} // namespace tenvora

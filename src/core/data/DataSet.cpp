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

QString stillEditing() {
    return QStringLiteral("还有一行正在编辑，请先保存或取消");
}

// Row identities are mostly the store's rowid: those compare without the variant machinery, as
// every value read of a row with an edit asks for its identity.
bool sameKey(const QVariant& a, const QVariant& b) {
    if (a.typeId() == QMetaType::LongLong && b.typeId() == QMetaType::LongLong)
        return *static_cast<const qlonglong*>(a.constData()) == *static_cast<const qlonglong*>(b.constData());
    return SameStoredValue(a, b);
}

} // namespace

bool SameStoredValue(const QVariant& a, const QVariant& b) {
    const bool nullA = !a.isValid() || a.isNull();
    const bool nullB = !b.isValid() || b.isNull();
    if (nullA || nullB)
        return nullA == nullB;
    return a == b;
}

const QVariant* DataSet::Edit::find(int column) const {
    for (const auto& [c, v] : values)
        if (c == column)
            return &v;
    return nullptr;
}

DataSet::DataSet(DataModule& dm, DataSetTable target, QObject* parent)
    : QObject(parent), m_dm(dm), m_target(std::move(target)) {}

bool DataSet::canModify() const {
    return isOpen() && !m_target.table.isEmpty() && m_keyIndex >= 0;
}

bool DataSet::isColumnEditable(int column) const {
    return canModify() && column >= 0 && column < m_editable.size() && m_editable[column] && column != m_keyIndex;
}

bool DataSet::isCellEditable(int row, int column) const {
    return isColumnEditable(column) && row >= 0 && row < rowCount() && (!m_cellRule || m_cellRule(*this, row, column));
}

int DataSet::columnIndex(const QString& name) const {
    // Hooks ask for the same few names on every row of a batch, and those are the program's
    // constant texts: their storage lives as long as the program, so it names them without
    // hashing the text again (a text made at run time may reuse freed storage, so only these).
    const bool constant = !name.data_ptr().isMutable();
    if (constant)
        for (const KnownName& known : m_knownNames)
            if (known.text == name.constData() && known.size == name.size())
                return known.column;
    int column = -1;
    if (const auto found = m_columnIndex.constFind(name); found != m_columnIndex.constEnd())
        column = *found;
    else
        column = m_columnIndex.value(name.toCaseFolded(), -1);
    if (constant && m_knownNames.size() < 32)
        m_knownNames.append({name.constData(), name.size(), column});
    return column;
}

namespace {

// Keys are one when their texts are (5, 5.0 and "5"); a row identity is found as the number it
// is, without making and hashing its text.
std::optional<qint64> integralKey(const QVariant& key) {
    switch (key.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::Short:
        return key.toLongLong();
    default: {
        const QString text = key.toString();
        bool ok = false;
        const qint64 value = text.toLongLong(&ok);
        return ok && QString::number(value) == text ? std::optional<qint64>(value) : std::nullopt;
    }
    }
}

} // namespace

int DataSet::rowOfKey(const QVariant& key) const {
    if (m_keyIndex < 0 || !key.isValid() || key.isNull())
        return -1;
    if (!m_keyRowsValid) {
        m_keyRows.clear();
        m_idRows.clear();
        m_idRows.reserve(rowCount());
        for (int r = 0; r < rowCount(); ++r) {
            if (r == m_newRow)
                continue;
            const QVariant& k = m_rows[static_cast<size_t>(r)].at(m_keyIndex);
            if (const std::optional<qint64> id = integralKey(k))
                m_idRows.insert(*id, r);
            else
                m_keyRows.insert(k.toString(), r);
        }
        m_keyRowsValid = true;
    }
    if (const std::optional<qint64> id = integralKey(key))
        return m_idRows.value(*id, -1);
    return m_keyRows.value(key.toString(), -1);
}

int DataSet::checkedColumn(const QString& name) const {
    const int c = columnIndex(name);
    if (c < 0)
        throw Error(QStringLiteral("数据中没有“%1”这一列").arg(name));
    return c;
}

void DataSet::requireRow(int row) const {
    if (row < 0 || row >= rowCount())
        throw Error(QStringLiteral("列表中没有第 %1 行").arg(row + 1));
}

const DataSet::Edit* DataSet::editOf(int row) const {
    if (m_edits.empty() || row < 0 || row >= rowCount())
        return nullptr;
    if (row == m_newRow) {
        for (const Edit& e : m_edits)
            if (e.isNew)
                return &e;
        return nullptr;
    }
    const QVariant& key = m_rows[static_cast<size_t>(row)].at(m_keyIndex);
    for (const Edit& e : m_edits)
        if (!e.isNew && sameKey(e.key, key))
            return &e;
    return nullptr;
}

DataSet::Edit* DataSet::editOf(int row) {
    return const_cast<Edit*>(std::as_const(*this).editOf(row));
}

int DataSet::rowOf(const Edit& edit) const {
    return edit.isNew ? m_newRow : rowOfKey(edit.key);
}

QVariant DataSet::value(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    if (const Edit* e = editOf(row))
        if (const QVariant* edited = e->find(column))
            return *edited;
    return m_rows[static_cast<size_t>(row)].at(column);
}

const QVariant& DataSet::storedValue(int row, int column) const {
    static const QVariant none;
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return none;
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
    // The rows shown go before the new ones are read, so that two lists are never held at once;
    // the edits stay, by row identity, for the rows read again.
    emit aboutToReset();
    m_rows.clear();
    m_newRow = -1;
    m_keyRowsValid = false;
    std::erase_if(m_edits, [](const Edit& e) { return e.isNew; });
    Query query(&m_dm.database());
    try {
        m_dm.RunSql(query, sql, values, true);
    } catch (...) {
        clear();
        emit reset();
        throw;
    }
    std::vector<QVariantList> rows;
    rows.reserve(static_cast<size_t>(query.recordCount()));
    for (int i = 0; i < query.recordCount(); ++i)
        rows.push_back(query.row(i)); // shares the row's storage, no copy of the values
    load(query.columns(), std::move(rows));
}

void DataSet::openRows(const QStringList& columns, std::vector<QVariantList> rows) {
    emit aboutToReset();
    clear();
    for (QVariantList& r : rows)
        while (r.size() < columns.size())
            r.append(QVariant());
    load(columns, std::move(rows));
}

void DataSet::load(QStringList columns, std::vector<QVariantList> rows) {
    // Edits name their columns by position: they can stay only over the same columns.
    if (columns != m_columns)
        m_edits.clear();
    m_columns = std::move(columns);
    m_rows = std::move(rows);
    m_newRow = -1;
    m_keyRowsValid = false;
    m_statements.clear();
    m_last = RowStatements();
    m_affinity.clear();
    m_columnIndex.clear();
    m_knownNames.clear();
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
    m_open = true;
    // The new row was never stored; an edit of a row not listed again has nothing to go back to.
    std::erase_if(m_edits, [this](const Edit& e) { return e.isNew || rowOfKey(e.key) < 0; });
    emit reset();
    if (m_afterOpen)
        m_afterOpen(*this);
}

void DataSet::close() {
    if (!m_open)
        return;
    emit aboutToReset();
    clear();
    emit reset();
}

void DataSet::clear() {
    m_columns.clear();
    m_rows.clear();
    m_editable.clear();
    m_columnIndex.clear();
    m_keyRowsValid = false;
    m_keyIndex = -1;
    m_edits.clear();
    m_newRow = -1;
    m_open = false;
}

void DataSet::requireWritable() const {
    if (!canModify())
        throw Refused(QStringLiteral("这些数据不能修改"));
}

DataSet::Edit& DataSet::beginEdit(int row) {
    requireWritable();
    requireRow(row);
    if (Edit* e = editOf(row))
        return *e;
    m_edits.push_back(Edit{m_rows[static_cast<size_t>(row)].at(m_keyIndex), false, false, {}});
    if (!m_batch)
        emit editStateChanged(row);
    return m_edits.back();
}

void DataSet::edit(int row) {
    beginEdit(row);
}

void DataSet::setValue(int row, const QString& column, const QVariant& value) {
    setValue(row, checkedColumn(column), value);
}

void DataSet::setValue(int row, int column, const QVariant& value) {
    if (column < 0 || column >= columnCount())
        throw Error(QStringLiteral("数据中没有第 %1 列").arg(column + 1));
    Edit& e = beginEdit(row);
    auto held = std::find_if(e.values.begin(), e.values.end(), [column](const auto& v) { return v.first == column; });
    const QVariant& now = held != e.values.end() ? held->second : m_rows[static_cast<size_t>(row)].at(column);
    if (SameStoredValue(now, value) && now.typeId() == value.typeId())
        return;
    if (held != e.values.end())
        held->second = value;
    else
        e.values.emplace_back(column, value);
    e.modified = true;
    if (!m_batch)
        emit rowChanged(row);
}

void DataSet::setUserValue(int row, int column, const QVariant& value) {
    if (!isCellEditable(row, column))
        throw Refused(QStringLiteral("“%1”不允许修改").arg(m_columns.value(column)));
    setValue(row, column, value);
}

DataSet::State DataSet::state(int row) const {
    const Edit* e = editOf(row);
    return !e ? State::Browse : e->isNew ? State::Insert : State::Edit;
}

bool DataSet::isModified(int row) const {
    const Edit* e = editOf(row);
    return e && e->modified;
}

bool DataSet::isModified() const {
    return std::any_of(m_edits.begin(), m_edits.end(), [](const Edit& e) { return e.modified; });
}

void DataSet::dropEdit(int row) {
    if (const Edit* e = editOf(row))
        m_edits.erase(m_edits.begin() + (e - m_edits.data()));
}

void DataSet::post(int row) {
    if (!editOf(row))
        return;
    requireWritable();
    if (m_beforePost)
        m_beforePost(*this, row);
    const Edit* e = editOf(row); // the hook may have started other edits
    const bool isNew = e->isNew;
    const QVariantList before = isNew ? QVariantList() : m_rows[static_cast<size_t>(row)];
    try {
        Transaction tx(m_dm.database());
        QVariantList stored = writeRow(row, *e, false);
        tx.commit();
        m_rows[static_cast<size_t>(row)] = std::move(stored);
    } catch (const DbError& rejected) {
        throw StatementError(rejected.text());
    }
    dropEdit(row);
    if (isNew) {
        m_newRow = -1;
        m_keyRowsValid = false;
    }
    emit rowChanged(row);
    emit editStateChanged(row);
    if (m_afterPost)
        m_afterPost(*this, row, before);
}

QVariantList DataSet::writeRow(int row, const Edit& edit, bool checked) {
    Database& db = m_dm.database();
    // Named only where a statement is made here: a batch writes row after row with one update.
    const auto table = [this] { return quoted(m_target.table); };
    const QVariantList& stored = m_rows[static_cast<size_t>(row)];
    // The row as the edit leaves it.
    QVariantList edited = stored;
    for (const auto& [c, v] : edit.values)
        edited[c] = v;
    QVariant identity;
    QList<int> written;
    if (!edit.isNew) {
        identity = stored.at(m_keyIndex);
        for (const auto& [c, v] : edit.values)
            if (c != m_keyIndex && !SameStoredValue(v, stored[c]))
                written << c;
        std::sort(written.begin(), written.end());
        if (written.isEmpty()) {
            if (checked)
                return stored; // nothing to write: the row stays as stored
        } else {
            // A batch uses one statement for every row, not looked up by its text per row.
            const QString& update = statementsFor(written, checked).update;
            if (m_batch && (!m_batchUpdate || m_batchUpdateText != update)) {
                m_batchUpdate.reset();
                m_batchUpdate.emplace(db.cached(update));
                m_batchUpdateText = update;
            }
            std::optional<Database::Lease> single;
            if (!m_batch)
                single.emplace(db.cached(update));
            Statement& st = m_batch ? **m_batchUpdate : **single;
            // The new values, the identity, and with checked the values as read.
            int place = 1;
            for (int c : written)
                st.bind(place++, edited[c]);
            st.bind(place++, identity);
            if (checked)
                for (int c : written)
                    st.bind(place++, stored[c]);
            st.run();
            st.reset();
            if (db.changes() == 0) {
                if (checked)
                    throw RowChangedElsewhere(QStringLiteral("第 %1 行已在别处改动或删除，没有保存").arg(row + 1), row);
                throw Error(QStringLiteral("这一行已不在数据表中，没有保存"));
            }
        }
    } else {
        const bool storeGivesKey = isRowId(m_columns[m_keyIndex]);
        QStringList names;
        QStringList marks;
        QVariantList values;
        for (int c = 0; c < columnCount(); ++c) {
            if ((c == m_keyIndex && storeGivesKey) || edited[c].isNull())
                continue;
            names << quoted(m_columns[c]);
            marks << QStringLiteral("?");
            values << edited[c];
        }
        if (names.isEmpty())
            db.exec(QStringLiteral("insert into %1 default values").arg(table()));
        else
            db.exec(QStringLiteral("insert into %1 (%2) values (%3)")
                        .arg(table(), names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))),
                    values);
        identity = storeGivesKey ? db.scalar(QStringLiteral("select last_insert_rowid()")) : edited[m_keyIndex];
    }
    // The row as the store now holds it: types and defaults are the store's. A batch reads back
    // only what it wrote.
    if (!(edited[m_keyIndex] == identity))
        edited[m_keyIndex] = identity;
    if (checked) {
        // A column whose stored form is not known is read back, with the others written.
        bool known = true;
        for (int c : written) {
            std::optional<QVariant> form = storedForm(c, edited[c]);
            if (!form) {
                known = false;
                break;
            }
            if (form->typeId() != edited[c].typeId())
                edited[c] = std::move(*form);
        }
        if (known)
            return edited;
    }
    Database::Lease st =
        db.cached(checked ? statementsFor(written, true).readBack
                          : QStringLiteral("select * from %1 where %2=?").arg(table(), quoted(m_columns[m_keyIndex])));
    st->bind(1, identity);
    if (st->next()) {
        for (int i = 0; i < st->columnCount(); ++i) {
            const int c = checked ? written.at(i) : columnIndex(st->columnName(i));
            if (c < 0 || c == m_keyIndex)
                continue;
            // Only a value the store holds differently is put in, so that the row is not copied for nothing.
            const QVariant value = st->value(i);
            if (value.typeId() != edited[c].typeId() || !SameStoredValue(value, edited[c]))
                edited[c] = value;
        }
    }
    return edited;
}

void DataSet::takeRows(const DataSet& other, const QVariantList& keys) {
    if (!canModify() || keys.isEmpty() || other.m_target.table.compare(m_target.table, Qt::CaseInsensitive) != 0)
        return;
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
    if (column < 0 || column >= columnCount())
        throw Error(QStringLiteral("数据中没有第 %1 列").arg(column + 1));
    for (const auto& [row, value] : values) {
        requireRow(row);
        if (editOf(row))
            throw Error(stillEditing());
    }
    std::vector<QVariantList> before;
    before.reserve(values.size());
    const size_t edits = m_edits.size();
    int first = rowCount();
    int last = -1;
    auto restore = [&] {
        for (size_t i = 0; i < before.size(); ++i)
            m_rows[static_cast<size_t>(values[i].first)] = before[i];
        m_edits.erase(m_edits.begin() + static_cast<std::ptrdiff_t>(edits), m_edits.end());
        m_batch = false;
        m_batchUpdate.reset();
    };
    m_batch = true;
    // One edit goes from row to row: it lives while the hook runs and the row is written.
    m_edits.push_back(Edit{QVariant(), false, true, {}});
    m_edits.back().values.reserve(4);
    try {
        Transaction tx(m_dm.database());
        for (const auto& [row, value] : values) {
            Edit& edit = m_edits[edits];
            edit.key = m_rows[static_cast<size_t>(row)].at(m_keyIndex);
            edit.values.clear();
            edit.values.emplace_back(column, value);
            before.push_back(m_rows[static_cast<size_t>(row)]);
            if (m_beforePost)
                m_beforePost(*this, row);
            m_rows[static_cast<size_t>(row)] = writeRow(row, m_edits[edits], true);
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
    m_edits.erase(m_edits.begin() + static_cast<std::ptrdiff_t>(edits), m_edits.end());
    m_batch = false;
    m_batchUpdate.reset();
    if (last >= 0)
        emit rowsChanged(first, last);
    return before;
}

void DataSet::reloadRows(const QVariantList& keys) {
    if (!canModify() || keys.isEmpty())
        return;
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

void DataSet::cancel(int row) {
    const Edit* e = editOf(row);
    if (!e)
        return;
    if (e->isNew) {
        dropEdit(row);
        m_newRow = -1;
        emit rowAboutToBeRemoved(row);
        m_rows.erase(m_rows.begin() + row);
        m_keyRowsValid = false;
        emit rowRemoved(row);
        return;
    }
    dropEdit(row);
    emit rowChanged(row);
    emit editStateChanged(row);
}

bool DataSet::savePending(int row) {
    const Edit* e = editOf(row);
    if (!e)
        return false;
    if (e->modified) {
        post(row);
        return true;
    }
    cancel(row);
    return false;
}

bool DataSet::savePending() {
    bool wrote = false;
    while (!m_edits.empty()) {
        int top = -1;
        for (const Edit& e : m_edits)
            if (const int r = rowOf(e); r >= 0 && (top < 0 || r < top))
                top = r;
        if (top < 0) {
            m_edits.clear(); // no row holds them any more
            break;
        }
        wrote = savePending(top) || wrote;
    }
    return wrote;
}

void DataSet::cancelPending() {
    if (m_newRow >= 0)
        cancel(m_newRow);
    while (!m_edits.empty()) {
        if (const int row = rowOf(m_edits.back()); row >= 0)
            cancel(row);
        else
            m_edits.pop_back();
    }
}

int DataSet::insert(int row) {
    requireWritable();
    if (row < 0 || row > rowCount())
        throw Error(QStringLiteral("列表中没有第 %1 行").arg(row + 1));
    if (const int pending = m_newRow; pending >= 0 && !savePending(pending) && pending < row)
        --row; // the untouched new row before it went
    if (m_beforeInsert)
        m_beforeInsert(*this, row);
    emit rowAboutToBeInserted(row);
    QVariantList blank;
    blank.resize(columnCount());
    m_rows.insert(m_rows.begin() + row, blank);
    m_keyRowsValid = false;
    m_newRow = row;
    m_edits.push_back(Edit{QVariant(), true, false, {}});
    emit rowInserted(row);
    emit editStateChanged(row);
    return row;
}

void DataSet::remove(int row) {
    requireWritable();
    requireRow(row);
    if (row == m_newRow) {
        cancel(row);
        return;
    }
    cancel(row);
    if (m_beforeDelete)
        m_beforeDelete(*this, row);
    Database& db = m_dm.database();
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
    emit rowAboutToBeRemoved(row);
    m_rows.erase(m_rows.begin() + row);
    m_keyRowsValid = false;
    if (m_newRow > row)
        --m_newRow;
    emit rowRemoved(row);
}

} // namespace tenvora

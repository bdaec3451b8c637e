#include "data/Query.h"

#include "data/Database.h"

namespace tenvora {

void Query::setSql(const QString& sql, const QVariantList& values) {
    close();
    m_sql = sql;
    m_values = values;
}

void Query::open() {
    close();
    try {
        fill();
    } catch (...) {
        close(); // a failed query stays closed, with no half-read rows
        throw;
    }
}

void Query::fill() {
    Statement st = m_db->prepare(m_sql);
    st.bindAll(m_values);
    const int n = st.columnCount();
    for (int i = 0; i < n; ++i)
        m_columns << st.columnName(i);
    while (st.next()) {
        QVariantList row;
        row.reserve(n);
        if (m_rows.empty()) {
            for (int i = 0; i < n; ++i)
                row << st.value(i);
        } else {
            const QVariantList& before = m_rows.back();
            for (int i = 0; i < n; ++i)
                row << st.value(i, before[i]);
        }
        m_rows.push_back(std::move(row));
    }
    m_open = true;
}

void Query::execute() {
    close();
    m_db->exec(m_sql, m_values);
}

void Query::close() {
    m_columns.clear();
    m_rows.clear();
    m_current = 0;
    m_open = false;
}

int Query::columnIndex(const QString& name) const {
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool Query::next() {
    if (m_current < recordCount())
        ++m_current;
    return !eof();
}

QVariant Query::value(const QString& column) const {
    return value(m_current, column);
}

QVariant Query::value(int row, const QString& column) const {
    const int c = columnIndex(column);
    if (c < 0 || row < 0 || row >= recordCount())
        return {};
    return m_rows[static_cast<size_t>(row)][c];
}

} // namespace tenvora

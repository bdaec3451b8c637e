// A query on the shared connection: its text, bound values and the rows it returned.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <vector>

namespace tenvora {

class Database;

class Query {
public:
    explicit Query(Database* db, QString sql = {}) : m_db(db), m_sql(std::move(sql)) {}

    void setSql(const QString& sql, const QVariantList& values = {});
    const QString& sql() const { return m_sql; }
    const QVariantList& values() const { return m_values; }

    // Runs the statement and keeps every row; the first row becomes current.
    void open();
    // Runs a statement that returns no rows.
    void execute();
    void close();
    bool isOpen() const { return m_open; }

    int recordCount() const { return static_cast<int>(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    const QStringList& columns() const { return m_columns; }
    // Case-insensitive, as the store matches column names; -1 when absent.
    int columnIndex(const QString& name) const;

    int current() const { return m_current; }
    void first() { m_current = 0; }
    bool next();
    bool eof() const { return m_current >= recordCount(); }
    void moveTo(int row) { m_current = row; }

    // Value of the current row; null without a row or column.
    QVariant value(const QString& column) const;
    QVariant value(int row, const QString& column) const;
    // The value read as text: null and missing give empty text.
    QString text(const QString& column) const { return value(column).toString(); }
    QString text(int row, const QString& column) const { return value(row, column).toString(); }
    const QVariantList& row(int index) const { return m_rows.at(static_cast<size_t>(index)); }

private:
    void fill();

    Database* m_db;
    QString m_sql;
    QVariantList m_values;
    QStringList m_columns;
    std::vector<QVariantList> m_rows;
    int m_current = 0;
    bool m_open = false;
};

} // namespace tenvora

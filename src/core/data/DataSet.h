// DataSet: the rows of one query, a current row with its edit buffer, and posting one row back.
#pragma once

#include "data/Errors.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <functional>
#include <optional>
#include <vector>

namespace tenvora {

class DataModule;

// Two field values hold the same: both null, or equal (numbers compare by value, 5 == 5.0).
bool SameStoredValue(const QVariant& a, const QVariant& b);

// A row that a batch write found changed in the store since it was read (or gone): nothing of
// the batch was written.
class RowChangedElsewhere : public Refused {
public:
    RowChangedElsewhere(const QString& text, int row) : Refused(text), m_row(row) {}
    int row() const { return m_row; }

private:
    int m_row;
};

// Where the rows of a data set go back to, and what the user may change in them.
struct DataSetTable {
    // The table rows are written to; empty for rows that are only shown.
    QString table;
    // The column that identifies a row on writing. It must be among the selected columns
    // ("select rowid, * from ..."); with "rowid" a new row takes the identity the store gives it.
    QString keyColumn = QStringLiteral("rowid");
    // Columns the user may type into. Hooks and code may set any column of the table.
    QStringList editableColumns;
};

// A materialised result set that grids edit and code posts through the same hooks, so the
// window, the command line and the tests run one code path. Modelled on the usual record-set
// cycle: browse -> edit (buffer) -> post (before-post hook, one row written by its identity).
class DataSet : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };
    Q_ENUM(State)
    // Hooks run synchronously; a hook that throws stops the operation (Refused carries the
    // system's message).
    using Hook = std::function<void(DataSet&)>;
    // After a row was written by post(): the set, and the row as it was stored before (empty
    // for a new row). The current row reads as now stored.
    using PostHook = std::function<void(DataSet&, const QVariantList& before)>;
    // Whether an open keeps a row.
    using RowFilter = std::function<bool(const DataSet&, int row)>;

    DataSet(DataModule& dm, DataSetTable target, QObject* parent = nullptr);

    // Runs before every write of a row in edit or insert state; may set fields.
    void setBeforePost(Hook hook) { m_beforePost = std::move(hook); }
    // Runs before a row is added; throwing refuses the addition.
    void setBeforeInsert(Hook hook) { m_beforeInsert = std::move(hook); }
    // Runs before a row is deleted; throwing refuses the deletion.
    void setBeforeDelete(Hook hook) { m_beforeDelete = std::move(hook); }
    // Runs after the current row changed, and after an open that returned rows.
    void setAfterScroll(Hook hook) { m_afterScroll = std::move(hook); }
    // Runs after every open (display formats belong here), before the after-scroll hook.
    void setAfterOpen(Hook hook) { m_afterOpen = std::move(hook); }
    void setAfterPost(PostHook hook) { m_afterPost = std::move(hook); }
    // Later opens keep only the rows the filter accepts; the others stay in the table, unseen.
    // An empty filter keeps every row.
    void setRowFilter(RowFilter filter) { m_rowFilter = std::move(filter); }

    // Reads the rows of a select through RunSql: on a store error the data set is left closed
    // and StatementError thrown. The first row becomes current.
    // A pending edit is not touched here: callers decide whether to save it first.
    void open(const QString& sql, const QVariantList& values = {});
    // Shows rows that come from elsewhere (a workbook); such a set is never written back
    // unless a table and key column were given.
    void openRows(const QStringList& columns, std::vector<QVariantList> rows);
    // Drops the rows and any pending edit.
    void close();

    bool isOpen() const { return m_state != State::Inactive; }
    State state() const { return m_state; }
    bool isEditing() const { return m_state == State::Edit || m_state == State::Insert; }
    // True when the edit buffer differs from the row as read.
    bool isModified() const { return m_modified; }
    const DataSetTable& target() const { return m_target; }
    // Rows can be written back: a table is named and its key column was selected.
    bool canModify() const;
    // The user may type into this column (editable and writable).
    bool isColumnEditable(int column) const;

    int rowCount() const { return static_cast<int>(m_rows.size()); }
    int columnCount() const { return static_cast<int>(m_columns.size()); }
    const QStringList& columns() const { return m_columns; }
    // Case-insensitive, as the store matches column names; -1 when absent.
    int columnIndex(const QString& name) const;
    int keyIndex() const { return m_keyIndex; }
    // The row identity of a row, and the row holding an identity (-1 when none does).
    QVariant keyOf(int row) const { return storedValue(row, m_keyIndex); }
    int rowOfKey(const QVariant& key) const;

    // A value as shown: the current row reads from its edit buffer while it is being edited.
    QVariant value(int row, int column) const;
    QVariant value(int row, const QString& column) const { return value(row, columnIndex(column)); }
    // A value of the current row; null without rows or column.
    QVariant field(const QString& column) const { return value(m_current, column); }
    // The value as stored, ignoring the edit buffer.
    QVariant storedValue(int row, int column) const;

    // Display format of a column ("0.00", "#,##0.00", "0.0#"); empty for the default display.
    void setDisplayFormat(const QString& column, const QString& format);
    QString displayFormat(int column) const;
    // The value in its display format, through the money code's DisplayText.
    QString displayText(int row, int column) const;

    int current() const { return m_current; }
    bool isEmpty() const { return m_rows.empty(); }
    bool atFirst() const { return m_current <= 0; }
    bool atLast() const { return m_current >= rowCount() - 1; }
    // Moving saves a modified row being left and cancels an unmodified one; a failing save
    // keeps the row current and in edit, and the exception reaches the caller.
    void moveTo(int row);
    void first() { moveTo(0); }
    void prior() { moveTo(m_current - 1); }
    void next() { moveTo(m_current + 1); }
    void last() { moveTo(rowCount() - 1); }

    // Puts the current row into edit state; refused (Refused) when rows cannot be written.
    void edit();
    // Sets a field of the current row, starting edit when browsing. setUserValue also checks
    // that the user may type into the column.
    void setField(const QString& column, const QVariant& value);
    void setField(int column, const QVariant& value);
    void setUserValue(int row, int column, const QVariant& value);
    // Writes the row being edited: before-post hook, then one statement by row identity inside
    // a transaction, then the row is read back as stored. On failure the row stays in edit with
    // its buffer, so nothing typed is lost.
    void post();
    // Drops the edit buffer (an inserted row disappears).
    void cancel();
    // Saves a pending edit (post when modified, else cancel); true when a row was written.
    bool savePending();
    // Writes a value of one column into each of these rows, as one change: each row runs the
    // before-post hook and is written by its identity only if the store still holds the columns
    // it changes as this set read them (RowChangedElsewhere otherwise). All rows are written or
    // none: on any failure the rows keep their values and the exception reaches the caller.
    // The set must be browsing; the current row stays. Returns each row as stored before.
    std::vector<QVariantList> postValues(int column, const std::vector<std::pair<int, QVariant>>& values);
    // Reads these rows (by identity) again from the store, e.g. after a change made elsewhere;
    // identities not in the set are passed over. The set must be browsing.
    void reloadRows(const QVariantList& keys);
    // Takes the values of rows another set of the same table has just written (by identity, the
    // columns both sets hold) without reading the store; identities this set lacks are passed over.
    void takeRows(const DataSet& other, const QVariantList& keys);
    // New row before the current one / after the last one, after the before-insert hook.
    void insert();
    void append();
    // Deletes the current row from the table after the before-delete hook.
    void remove();

signals:
    void aboutToReset();
    void reset();
    void rowChanged(int row);
    // Values of the rows first..last changed at once (a batch write, a reload).
    void rowsChanged(int first, int last);
    void rowAboutToBeInserted(int row);
    void rowInserted(int row);
    void rowAboutToBeRemoved(int row);
    void rowRemoved(int row);
    void currentChanged(int row);
    void stateChanged(tenvora::DataSet::State state);
    // A column's display format changed: every shown text of it may have changed.
    void displayFormatChanged();

private:
    void load(QStringList columns, std::vector<QVariantList> rows);
    void beginEdit(State state);
    void addRow(int at);
    void setCurrent(int row, bool always = false);
    void fireAfterScroll();
    void requireWritable() const;
    // Writes the row being edited and returns it as now stored; checked: only if the store still
    // holds the changed columns as read, and only those are read back.
    QVariantList writeRow(bool checked);
    // The update of these columns by row identity (checked: only while they hold what was
    // read) and the read back of them, made once per set of columns.
    struct RowStatements {
        QString update;
        QString readBack;
    };
    const RowStatements& statementsFor(const QList<int>& written, bool checked);
    // How the store keeps a value written into a column of the table, by the column's declared
    // type, when that is plain (a number into a REAL column is a double); nothing when only
    // reading it back can tell. Batch writes use it instead of reading every row back.
    std::optional<QVariant> storedForm(int column, const QVariant& value);
    void finishEdit();
    void readBack(const QVariant& key);
    int checkedColumn(const QString& name) const;

    DataModule& m_dm;
    DataSetTable m_target;
    QStringList m_columns;
    std::vector<QVariantList> m_rows;
    QHash<QString, QString> m_formats; // by case-folded column name, so they survive a re-open
    QList<bool> m_editable;
    QHash<QString, int> m_columnIndex; // by name as selected and case-folded
    QHash<QList<int>, RowStatements> m_statements;
    RowStatements m_last;
    QList<int> m_lastWritten;
    bool m_lastChecked = false;
    QList<char> m_affinity; // per column, from the table's declared types; empty until needed
    mutable QHash<QString, int> m_keyRows;
    mutable bool m_keyRowsValid = false;
    int m_keyIndex = -1;
    int m_current = -1;
    State m_state = State::Inactive;
    QVariantList m_buffer;
    bool m_modified = false;
    bool m_changingRows = false;
    bool m_batch = false; // no signal per row while a batch writes

    Hook m_beforePost;
    Hook m_beforeInsert;
    Hook m_beforeDelete;
    Hook m_afterScroll;
    Hook m_afterOpen;
    PostHook m_afterPost;
    RowFilter m_rowFilter;
};

} // namespace tenvora

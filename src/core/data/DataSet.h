// DataSet: the rows of one query with their identity, the edits pending on them by identity,
// and posting a row back.
#pragma once

#include "data/Database.h"
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
// window, the command line and the tests run one code path. The set keeps no cursor: whoever
// shows the rows decides which one is current, and every edit names its row. An edit is kept by
// the row's identity until it is posted (before-post hook, one row written by its identity) or
// dropped, so edits of several rows stay apart while rows are filtered or read again.
class DataSet : public QObject {
    Q_OBJECT
public:
    // What a row holds beside its stored values: nothing, an edit not yet written, or it is new.
    enum class State { Browse, Edit, Insert };
    Q_ENUM(State)
    // Hooks run synchronously on the row they are about; a hook that throws stops the operation
    // (Refused carries the system's message).
    using RowHook = std::function<void(DataSet&, int row)>;
    // After a row was written by post(): the set, the row (it reads as now stored) and the row
    // as it was stored before (empty for a new row).
    using PostHook = std::function<void(DataSet&, int row, const QVariantList& before)>;
    using OpenHook = std::function<void(DataSet&)>;
    // Whether an open keeps a row.
    using RowFilter = std::function<bool(const DataSet&, int row)>;
    // Whether the user may type into one cell of a column they may type into.
    using CellRule = std::function<bool(const DataSet&, int row, int column)>;

    DataSet(DataModule& dm, DataSetTable target, QObject* parent = nullptr);

    // Runs before every write of a row that has an edit; may set fields of that row.
    void setBeforePost(RowHook hook) { m_beforePost = std::move(hook); }
    // Runs before a row is added at that position; throwing refuses the addition.
    void setBeforeInsert(RowHook hook) { m_beforeInsert = std::move(hook); }
    // Runs before a row is deleted; throwing refuses the deletion.
    void setBeforeDelete(RowHook hook) { m_beforeDelete = std::move(hook); }
    // Runs after every open (display formats belong here).
    void setAfterOpen(OpenHook hook) { m_afterOpen = std::move(hook); }
    void setAfterPost(PostHook hook) { m_afterPost = std::move(hook); }
    // Later opens keep only the rows the filter accepts; the others stay in the table, unseen.
    // An empty filter keeps every row.
    void setRowFilter(RowFilter filter) { m_rowFilter = std::move(filter); }
    // A rule per cell over the editable columns (a price-locked line's price cannot be typed);
    // without one every cell of an editable column can be.
    void setCellRule(CellRule rule) { m_cellRule = std::move(rule); }

    // Reads the rows of a select through RunSql: on a store error the data set is left closed
    // and StatementError thrown. Edits of rows the select lists again stay with them; the
    // others, and a new row, are dropped: callers that must not lose them save first.
    void open(const QString& sql, const QVariantList& values = {});
    // Shows rows that come from elsewhere (a workbook); such a set is never written back
    // unless a table and key column were given.
    void openRows(const QStringList& columns, std::vector<QVariantList> rows);
    // Drops the rows and every pending edit.
    void close();

    bool isOpen() const { return m_open; }
    const DataSetTable& target() const { return m_target; }
    // Rows can be written back: a table is named and its key column was selected.
    bool canModify() const;
    // The user may type into this column (editable and writable).
    bool isColumnEditable(int column) const;
    // The user may type into this cell: its column is editable and the cell rule allows it.
    bool isCellEditable(int row, int column) const;

    int rowCount() const { return static_cast<int>(m_rows.size()); }
    int columnCount() const { return static_cast<int>(m_columns.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    const QStringList& columns() const { return m_columns; }
    // Case-insensitive, as the store matches column names; -1 when absent.
    int columnIndex(const QString& name) const;
    int keyIndex() const { return m_keyIndex; }
    // The row identity of a row, and the row holding an identity (-1 when none does).
    QVariant keyOf(int row) const { return storedValue(row, m_keyIndex); }
    int rowOfKey(const QVariant& key) const;

    // A value as shown: a row with an edit reads from it.
    QVariant value(int row, int column) const;
    QVariant value(int row, const QString& column) const { return value(row, columnIndex(column)); }
    // The value as stored, ignoring any edit; valid until the row is written or the rows read again.
    const QVariant& storedValue(int row, int column) const;

    // Display format of a column ("0.00", "#,##0.00", "0.0#"); empty for the default display.
    void setDisplayFormat(const QString& column, const QString& format);
    QString displayFormat(int column) const;
    // The value in its display format, through the money code's DisplayText.
    QString displayText(int row, int column) const;

    State state(int row) const;
    // The row has an edit (changed or not) or is new.
    bool isEditing(int row) const { return state(row) != State::Browse; }
    // The row's edit changes something; isModified() asks it of every row.
    bool isModified(int row) const;
    bool isModified() const;
    bool hasPendingEdits() const { return !m_edits.empty(); }

    // Starts an edit of the row (nothing changed yet); refused (Refused) when rows cannot be written.
    void edit(int row);
    // Sets a field of the row, starting its edit. setUserValue also checks that the user may type
    // into the cell.
    void setValue(int row, int column, const QVariant& value);
    void setValue(int row, const QString& column, const QVariant& value);
    void setUserValue(int row, int column, const QVariant& value);
    // Writes the row's edit: before-post hook, then one statement by row identity inside a
    // transaction, then the row is read back as stored. On failure the edit stays, so nothing
    // typed is lost.
    void post(int row);
    // Drops the row's edit (a new row disappears).
    void cancel(int row);
    // Saves the row's edit: posts it when modified, drops it otherwise; true when it was written.
    bool savePending(int row);
    // The same for every row with an edit, top to bottom; a failure stops there and reaches the
    // caller, the edits not yet saved staying. True when a row was written.
    bool savePending();
    // Drops every edit.
    void cancelPending();
    // Writes a value of one column into each of these rows, as one change: each row runs the
    // before-post hook and is written by its identity only if the store still holds the columns
    // it changes as this set read them (RowChangedElsewhere otherwise). All rows are written or
    // none: on any failure the rows keep their values and the exception reaches the caller.
    // None of the rows may have an edit. Returns each row as stored before.
    std::vector<QVariantList> postValues(int column, const std::vector<std::pair<int, QVariant>>& values);
    // Reads these rows (by identity) again from the store, e.g. after a change made elsewhere;
    // identities not in the set are passed over. Edits stay on top of what was read.
    void reloadRows(const QVariantList& keys);
    // Takes the values of rows another set of the same table has just written (by identity, the
    // columns both sets hold) without reading the store; identities this set lacks are passed over.
    void takeRows(const DataSet& other, const QVariantList& keys);
    // A new row at that position (0 to rowCount()), after the before-insert hook; it is kept as
    // an edit until posted. A new row not yet written is saved or dropped first, so there is one
    // at most. Returns the new row.
    int insert(int row);
    // Deletes the row from the table after the before-delete hook (a new row is only dropped).
    void remove(int row);

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
    // The row's edit began, was written or was dropped.
    void editStateChanged(int row);
    // A column's display format changed: every shown text of it may have changed.
    void displayFormatChanged();

private:
    // An edit not yet written: the columns set, by the row's identity (the new row has none).
    struct Edit {
        QVariant key;
        bool isNew = false;
        bool modified = false;
        std::vector<std::pair<int, QVariant>> values;
        const QVariant* find(int column) const;
    };

    // Takes the rows of an open; the caller has announced the reset.
    void load(QStringList columns, std::vector<QVariantList> rows);
    // Forgets rows, columns and edits, without a signal.
    void clear();
    void requireWritable() const;
    void requireRow(int row) const;
    Edit* editOf(int row);
    const Edit* editOf(int row) const;
    Edit& beginEdit(int row);
    int rowOf(const Edit& edit) const;
    void dropEdit(int row);
    // Writes the row's edit and returns the row as now stored; checked: only if the store still
    // holds the changed columns as read, and only those are read back.
    QVariantList writeRow(int row, const Edit& edit, bool checked);
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
    int checkedColumn(const QString& name) const;

    DataModule& m_dm;
    DataSetTable m_target;
    bool m_open = false;
    QStringList m_columns;
    std::vector<QVariantList> m_rows;
    QHash<QString, QString> m_formats; // by case-folded column name, so they survive a re-open
    QList<bool> m_editable;
    QHash<QString, int> m_columnIndex; // by name as selected and case-folded
    struct KnownName {
        const QChar* text;
        qsizetype size;
        int column;
    };
    mutable QList<KnownName> m_knownNames;        // constant names asked for, by their storage
    std::optional<Database::Lease> m_batchUpdate; // the update a batch runs on every row
    QString m_batchUpdateText;
    QHash<QList<int>, RowStatements> m_statements;
    RowStatements m_last;
    QList<int> m_lastWritten;
    bool m_lastChecked = false;
    QList<char> m_affinity;                // per column, from the table's declared types; empty until needed
    mutable QHash<qint64, int> m_idRows;   // integral keys
    mutable QHash<QString, int> m_keyRows; // the others, by their text
    mutable bool m_keyRowsValid = false;
    int m_keyIndex = -1;
    std::vector<Edit> m_edits; // few: a grid keeps one, a batch one at a time
    int m_newRow = -1;         // where the new row is, while there is one
    bool m_batch = false;      // no signal per row while a batch writes

    RowHook m_beforePost;
    RowHook m_beforeInsert;
    RowHook m_beforeDelete;
    OpenHook m_afterOpen;
    PostHook m_afterPost;
    RowFilter m_rowFilter;
    CellRule m_cellRule;
};

} // namespace tenvora

// Undo and redo of whole-row changes by row identity: a value typed into a row, a row added, a row
// deleted. A step keeps each row's columns before and after, so it can be put back whatever the
// window shows, and is refused when a row no longer holds what the step left.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <deque>
#include <vector>

namespace tenvora {

class Database;
class DataSet;

struct RowChange {
    QString table;
    qint64 rowId = 0;
    QString what;        // the row in words, for a refusal ("细目“203-1-a”")
    QStringList columns; // the columns kept, in the order of before and after
    QVariantList before; // empty: the step added the row
    QVariantList after;  // empty: the step deleted the row
};

struct RowStep {
    QString label; // what the user did ("修改细目“203-1-a”")
    std::vector<RowChange> changes;
};

class RowHistory {
public:
    static constexpr int kMaxSteps = 200;

    // A new step; the steps that could be redone are dropped. A step without changes is ignored.
    void push(RowStep step);
    void clear();

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    QString undoLabel() const { return canUndo() ? m_undo.back().label : QString(); }
    QString redoLabel() const { return canRedo() ? m_redo.back().label : QString(); }

    // Puts the next step back (or makes it again) as one change and returns it. Every row must
    // hold what the step left (to redo: what it found); otherwise Refused names the row and
    // nothing is written. A deleted row comes back with its identity.
    RowStep undo(Database& db);
    RowStep redo(Database& db);

private:
    std::deque<RowStep> m_undo; // oldest first
    std::deque<RowStep> m_redo; // next to redo last
};

// The row's columns by identity; empty when the table has no such row.
QVariantList ReadRowValues(Database& db, const QString& table, qint64 rowId, const QStringList& columns);

// A data set's columns but its key column, and a row of the set (as the set holds it, key
// included) reduced to them: what a change of a row keeps.
QStringList RowColumnsOf(const DataSet& set);
QVariantList RowValuesOf(const DataSet& set, const QVariantList& row);
// The current row of the set as stored, reduced the same way.
QVariantList StoredRowOf(const DataSet& set, int row);

// Applies a step (undo: from each change's after to its before, last change first) as one change.
void ApplyRowStep(Database& db, const RowStep& step, bool undo);

} // namespace tenvora

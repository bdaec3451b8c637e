// The owner's editing of a contract section's bill: descriptions, units, quantities and the
// provisional sums' amounts typed into the lines, lines added and deleted, each as one step that
// can be undone and redone. Item numbers stay as they were added: the bidders' lines and the
// chapters are filed under them.
#pragma once

#include "data/DataSet.h"
#include "data/RowHistory.h"

#include <QObject>
#include <QVariant>

namespace tenvora {

class DataModule;

struct NewBillLine {
    QString item;
    QString name;
    QString unit;
    double quantity = 0;
    QVariant amount; // a provisional sum's 合价; null for every other line
};

// The save hook of the owner's lines: a quantity is a number not below 0 (cleared: 0, as on every
// line without a quantity); only a provisional sum (单位 "暂定金总额") has an amount, not below 0,
// and a line whose unit stops being one loses its amount; a line the file holds priced keeps the
// amount its price and quantity give. Throws Refused naming the rule.
void OwnerBillBeforePost(DataSet& lines, int row);

class OwnerBillEditor : public QObject {
    Q_OBJECT
public:
    explicit OwnerBillEditor(DataModule& dm, QObject* parent = nullptr);

    // Reads the section's lines in natural order of the item numbers; the history starts afresh
    // when the section changes. An empty ID closes the list.
    void open(const QString& contractId);
    // Reads the same lines again.
    void reload();
    const QString& contractId() const { return m_contract; }
    DataSet& lines() { return m_lines; }
    RowHistory& history() { return m_history; }

    // Adds a line as one step; returns its row. Refused for an item number
    // that is empty, has blanks at either end, does not start with a digit or is in the section
    // already, and for what the save hook refuses. 章, 节 and 段 follow from the item number as
    // the import derives them.
    int addLine(const NewBillLine& line);
    // Deletes the line as one step.
    void deleteLine(int row);
    // The row holding the item number (exactly), -1 when none does.
    int rowOfItem(const QString& item) const;

    // Undo and redo the last step; the list is read again afterwards. Returns the row of the
    // line the step changed, -1 when it is gone (an addition undone, a deletion redone).
    int undo();
    int redo();

    static QString listSql();
    static QStringList editableColumns();

signals:
    // After every step made, undone or redone: the history's state changed.
    void historyChanged();

private:
    void recordPost(int row, const QVariantList& before);

    DataModule& m_dm;
    DataSet m_lines;
    RowHistory m_history;
    QString m_contract;
};

// Why the text cannot be a new line's item number in the section, or an empty text when it can.
QString NewItemNumberProblem(Database& db, const QString& contractId, const QString& item);

} // namespace tenvora

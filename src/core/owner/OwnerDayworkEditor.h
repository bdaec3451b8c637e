// The owner's editing of a contract section's three day-work schedules: names, units and
// estimated quantities typed into the items, items added and deleted, each as one step that can be
// undone and redone (one history for the three schedules).
#pragma once

#include "data/DataSet.h"
#include "data/RowHistory.h"
#include "daywork/DayworkLists.h"

#include <QObject>
#include <array>
#include <memory>

namespace tenvora {

class DataModule;

struct NewDayworkItem {
    QString code;
    QString name;
    QString unit;
    QVariant quantity; // null: no estimate
};

// The save hook of the owner's items: a quantity is empty or a number not below 0.
void OwnerDayworkBeforePost(DataSet& items, int row);

// Where an item is shown: its schedule and row (-1 when it is gone).
struct DayworkPlace {
    Schedule schedule = Schedule::Labour;
    int row = -1;
};

class OwnerDayworkEditor : public QObject {
    Q_OBJECT
public:
    explicit OwnerDayworkEditor(DataModule& dm, QObject* parent = nullptr);

    // Reads the three schedules of the section (in the order stored); the history starts afresh
    // when the section changes. An empty ID closes them.
    void open(const QString& contractId);
    void reload();
    const QString& contractId() const { return m_contract; }
    DataSet& schedule(Schedule s) { return *m_sets[index(s)]; }
    RowHistory& history() { return m_history; }

    // Adds an item at the end of the schedule as one step; returns its row.
    // Refused for a code that is empty, has blanks at either end or is in the schedule already, and
    // for a negative quantity.
    int addItem(Schedule s, const NewDayworkItem& item);
    void deleteItem(Schedule s, int row);

    // Undo and redo the last step; the schedules are read again. Returns where the item the step
    // changed is now.
    DayworkPlace undo();
    DayworkPlace redo();

    static QStringList editableColumns();

signals:
    void historyChanged();

private:
    static size_t index(Schedule s) { return static_cast<size_t>(s) - 1; }
    void recordPost(DataSet& set, int row, const QVariantList& before);
    DayworkPlace placeOf(qint64 rowId) const;

    DataModule& m_dm;
    std::array<std::unique_ptr<DataSet>, 3> m_sets;
    RowHistory m_history;
    QString m_contract;
};

} // namespace tenvora

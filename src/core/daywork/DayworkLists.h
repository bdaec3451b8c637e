// The three day-work schedules of the current contract, without widgets: labour, material and
// construction machinery, each a data set over Jl_ContractList with the row save hook.
#pragma once

#include "data/DataSet.h"

#include <QObject>
#include <array>
#include <memory>

namespace tenvora {

class DataModule;

enum class Schedule { Labour = 1, Material = 2, Machinery = 3 };

// "1", "2" or "3": the schedule code stored in Jl_ContractList.bz.
QString ScheduleCode(Schedule s);
// The page caption of a schedule.
QString ScheduleCaption(Schedule s);
// Parses "1".."3"; nothing for anything else.
std::optional<Schedule> ScheduleFromCode(const QString& code);

// Files the row under its schedule and the current contract, and computes its total with the
// line-amount rule (whole yuan) when both price and quantity are known; a cleared price clears
// the total (unless a total was typed in the same edit); otherwise the total stays as it was.
void DayworkBeforePost(DataSet& set, int row, Schedule schedule, const QString& contractId);

// Why a day-work row's stored total does not follow from its price and quantity; empty when it
// does (or when no total is stored). The figures are named as stored (1234.5, not the 1235 it
// would round to); a total without a quantity is named too, a nought without a price is not.
QString DayworkTotalProblem(const QVariant& price, const QVariant& quantity, const QVariant& total);

class DayworkLists : public QObject {
    Q_OBJECT
public:
    explicit DayworkLists(DataModule& dm, QObject* parent = nullptr);

    DataSet& schedule(Schedule s) { return *m_sets[index(s)]; }

    // Fills the three schedules in page order. A failing statement throws StatementError and
    // leaves that schedule and the ones after it empty; the earlier ones stay filled.
    void openAll();
    static QString listSql();

    // Saves every pending edit through the save hook (none is dropped); true when one was written.
    bool savePending();
    // First row of the schedule whose ItemCode equals code exactly; -1 when none.
    int findItem(Schedule s, const QString& code);
    // Sets the row's unit price (null clears it) and saves the row through the hook.
    void priceItem(Schedule s, int row, const QVariant& price);
    // DayworkTotalProblem of a row as stored (an edit not saved yet does not count).
    QString totalProblem(Schedule s, int row) const;

private:
    static size_t index(Schedule s) { return static_cast<size_t>(s) - 1; }
    void applyDisplayFormats(DataSet& set);

    DataModule& m_dm;
    std::array<std::unique_ptr<DataSet>, 3> m_sets;
};

} // namespace tenvora

// The owner's day-work schedules of a contract section from a workbook: the sheets 计日工劳务,
// 计日工材料 and 计日工施工机械 (schedules 1, 2 and 3), each with the columns 编号, 名称, 单位 and 数量,
// into Jl_ContractList without prices.
//
// The workbook is refused whole, naming every row in the way: a missing sheet or heading, a row
// with content but no 编号, a 编号 twice in one sheet, a 数量 that is not a number or is negative.
// Rows with nothing in the four columns are passed over; a sheet with headings only is a schedule
// without items.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace tenvora {

class Database;
struct WorkbookContents;

struct OwnerDayworkItem {
    int sheetRow = 0;
    QString schedule; // bz: "1" labour, "2" material, "3" machinery
    QString code;
    QVariant name;
    QVariant unit;
    QVariant quantity; // null when the cell is empty
};

struct OwnerDaywork {
    QString path;
    std::vector<OwnerDayworkItem> items; // schedule by schedule, each in the sheet's order
};

// Throws OwnerWorkbookRefused naming what is wrong.
OwnerDaywork OwnerDayworkFromWorkbook(const WorkbookContents& contents, const QString& path);
// Reads the workbook through the reader process first (Error when it cannot be read).
OwnerDaywork ReadOwnerDaywork(const QString& path);

struct OwnerDayworkImportResult {
    int items = 0;
    qint64 replaced = 0;
};

class OwnerDayworkImport {
public:
    explicit OwnerDayworkImport(Database& db) : m_db(db) {}
    // Writes the items to the section as one change. A section that already has day work is
    // refused (HeldContentRefused) unless replace is set; its items are then replaced.
    OwnerDayworkImportResult importItems(const QString& contractId, const OwnerDaywork& daywork, bool replace);

    // The sheet of each schedule, labour first.
    static QStringList sheetNames();
    static QStringList headings();

private:
    Database& m_db;
};

} // namespace tenvora

// The owner's bill of a contract section from a workbook: the sheet "工程量清单" with the columns
// 细目编号, 细目名称, 单位 and 合同数量, and 合价 for the provisional sums. Prices are the bidders':
// every price and amount stays empty but a provisional sum's. 章, 节 and 段 are derived as the
// bidder's import derives them, and each chapter without its chapter line gets one.
//
// The workbook is refused whole, naming every row in the way: a row with content but no item
// number, an item number with blanks at either end or not starting with a digit, an item number
// twice, a quantity that is not a number or is negative, a provisional sum's 合价 that is not a
// number or is negative. Rows with nothing in the five columns are passed over; other columns
// (合同单价 among them) are not read, nor 合价 on lines that are not provisional sums.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace tenvora {

class Database;
struct WorkbookContents;

struct OwnerBillLine {
    int sheetRow = 0; // 0 for a chapter line the import added
    QString item;
    QVariant name;
    QVariant unit;
    double quantity = 0; // an empty cell counts as 0, as on every line without a quantity
    QVariant amount;     // a provisional sum's 合价, else null
};

struct OwnerBill {
    QString path;
    std::vector<OwnerBillLine> lines; // in natural order of the item numbers
    QStringList addedChapters;        // the chapter lines the import added ("300")
};

// Throws OwnerWorkbookRefused (the sheet, headings or rows) naming what is wrong.
OwnerBill OwnerBillFromWorkbook(const WorkbookContents& contents, const QString& path);
// Reads the workbook through the reader process first (Error when it cannot be read).
OwnerBill ReadOwnerBill(const QString& path);

struct OwnerBillImportResult {
    int lines = 0;
    qint64 replaced = 0; // lines of the section that the bill replaced
    QStringList addedChapters;
};

class OwnerBoqImport {
public:
    explicit OwnerBoqImport(Database& db) : m_db(db) {}
    // Writes the bill to the section as one change. A section that already has lines is refused
    // (HeldContentRefused) unless replace is set; its lines are then replaced.
    OwnerBillImportResult importBill(const QString& contractId, const OwnerBill& bill, bool replace);

    static QString sheetName() { return QStringLiteral("工程量清单"); }
    static QStringList headings();
    static QString amountHeading() { return QStringLiteral("合价"); }

private:
    Database& m_db;
};

} // namespace tenvora

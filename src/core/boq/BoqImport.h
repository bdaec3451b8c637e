// Loading a contract's bill of quantities from a workbook, and emptying it.
#pragma once

#include "data/DataSet.h"
#include "data/Errors.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <optional>
#include <vector>

namespace tenvora {

class DataModule;
struct WorkbookContents;

// The workbook is not in the source format. text() is the system's message followed by a
// line saying where (sheet, row, column) or what is missing; detail() is that line alone.
class BoqFormatError : public Refused {
public:
    explicit BoqFormatError(const QString& detail);
    const QString& detail() const { return m_detail; }

private:
    QString m_detail;
};

// One sheet row as it goes into the bill: texts or null, numbers (already through their
// general text of at most 15 significant digits) or null.
struct BoqSourceRow {
    int sheetRow = 0; // row number as Excel shows it, for messages
    QVariant itemNumber;
    QVariant itemName;
    QVariant unit;
    QVariant price;
    QVariant quantity;
    // 合同金额 as the sheet's optional 合价 column gives it (a number, or null for an empty
    // cell): taken as it is when the line has no price (a provisional sum, a chapter total, a
    // line not priced yet), and when it is the whole-yuan amount of the price and quantity. A
    // 合价 that disagrees with them (a price changed after the amount was written) or is not a
    // number is not taken, and the amount is derived as usual.
    std::optional<QVariant> amount;
};

struct BoqSource {
    QString path;
    // Ordered by item number, naturally (101-2 before 101-10), rows without one first;
    // rows whose five cells are all empty are left out.
    std::vector<BoqSourceRow> rows;
};

struct BoqImportResult {
    int imported = 0;
    int skipped = 0; // rows without an item number
    // Empty when every row with an item number went in; otherwise names the refused line,
    // the store's reason and what stayed imported.
    QString failure;
};

// Derived columns of an imported line, from its item number (and price and quantity).
QString ChapterOf(const QString& itemNumber);                // 章: first character + "00"
std::optional<QString> SectionOf(const QString& itemNumber); // 节: up to the second "-"
std::optional<QString> SegmentOf(const QString& itemNumber); // 段: the number when it has two "-"
// 合同金额 derived when the sheet gives none: the line amount (whole yuan, as every amount is)
// when both are given, 0 when one is empty, nothing when both are.
std::optional<double> ImportedAmountOf(const QVariant& price, const QVariant& quantity);

// The source rows of a workbook read by ReadWorkbook / ReadWorkbookInProcess.
BoqSource BoqSourceFromWorkbook(const WorkbookContents& contents, const QString& path);
// Reads the file through the helper process and applies the source rules. Every failure,
// from a missing file to a crashing reader, is a BoqFormatError.
BoqSource ReadBoqSource(const QString& path);

// "Data/合同清单范本.xls" in the folder of the running program.
QString TemplateWorkbookPath();

// The import dialog's list of stored lines: every line of the current contract in the order
// it was stored, each of these columns editable and written back as typed (no computation).
// A column the table lacks is simply not in the data set.
QStringList StoredLineColumns();
DataSetTable StoredLinesTarget();
// Opens the list through RunSql (StatementError on a store error).
void OpenStoredLines(DataModule& dm, DataSet& lines);

class BoqImport {
public:
    explicit BoqImport(DataModule& dm) : m_dm(dm) {}

    // Appends the rows that have an item number to the current contract in one transaction.
    // A line the store refuses ends the import there; the lines before it are kept.
    // progress(done, total) is called as rows are handled. Throws Refused without a current
    // contract, and the store's error when the transaction itself cannot be opened or committed.
    BoqImportResult importLines(const BoqSource& source, const std::function<void(int, int)>& progress = {});
    // The item numbers of the source that lines of the current contract already hold (main bill
    // and supplementary), each once, in the source's order. Compared exactly, as the store
    // compares texts: "101-1-A" is not "101-1-a", nor is "102-1 " "102-1". Appending them would
    // give the contract two lines of one number. Throws Refused without a current contract.
    QStringList heldItems(const BoqSource& source);
    // Deletes every line of the current contract, main bill and supplementary, as one change.
    // Returns how many lines went.
    int clear();

    static QString sheetName() { return QStringLiteral("工程量清单"); }
    static QStringList headings();
    // The optional column that carries line amounts (see BoqSourceRow::amount).
    static QString amountHeading() { return QStringLiteral("合价"); }
    static QString formatMessage() {
        return QStringLiteral("对不起，您选择的Excel文件格式不对，请重新选择，或修改它的格式！！");
    }
    static QString noSourceMessage() {
        return QStringLiteral("对不起，没有选择源数据文件！请先选择一个Excel数据文件再导入！！");
    }
    static QString clearQuestion() {
        return QStringLiteral("此操作将删除当前合同的所有合同清单，请小心操作！！！ 是否删除?");
    }
    static QString noContractMessage() { return QStringLiteral("没有当前合同段，请先选择合同段！"); }
    // "导入的细目编号已存在：101-1-a、102-1 等 12 条。": a few of the held items and how many.
    static QString heldItemsText(const QStringList& held);
    // The question before such an import is appended (the answer that keeps the bill is No).
    static QString heldItemsQuestion(const QStringList& held);

private:
    QString currentContract() const;

    DataModule& m_dm;
};

} // namespace tenvora

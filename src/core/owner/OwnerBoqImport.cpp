#include "owner/OwnerBoqImport.h"

#include "boq/BoqImport.h"
#include "boq/BoqLineRules.h"
#include "boq/ChapterNames.h"
#include "boq/SheetCells.h"
#include "boq/Workbook.h"
#include "data/Database.h"
#include "data/NaturalOrder.h"
#include "owner/OwnerWorkbook.h"
#include "owner/TenderContracts.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace tenvora {

namespace {

enum Column { ItemNumber, ItemName, Unit, Quantity, ColumnCount };

// A chapter beyond the seven named ones still gets a description a reader understands.
QString chapterDescription(const QString& chapter) {
    const QString name = BoqChapterName(chapter);
    return name.isEmpty() ? QStringLiteral("第%1章").arg(chapter) : name;
}

bool startsWithDigit(const QString& item) {
    return !item.isEmpty() && item.at(0) >= QLatin1Char('0') && item.at(0) <= QLatin1Char('9');
}

} // namespace

QStringList OwnerBoqImport::headings() {
    return {QStringLiteral("细目编号"), QStringLiteral("细目名称"), QStringLiteral("单位"), QStringLiteral("合同数量")};
}

OwnerBill OwnerBillFromWorkbook(const WorkbookContents& contents, const QString& path) {
    const QString name = OwnerBoqImport::sheetName();
    const auto refuse = [&](const QString& text) { throw OwnerWorkbookRefused(path, {SheetProblem{name, 0, text}}); };
    const WorksheetCells* sheet = contents.sheet(name);
    if (!sheet)
        throw OwnerWorkbookRefused(
            path,
            {SheetProblem{name, 0,
                          contents.sheetNames.isEmpty() ? QStringLiteral("工作簿中没有这张工作表")
                                                        : QStringLiteral("工作簿中没有这张工作表（现有工作表：%1）")
                                                              .arg(contents.sheetNames.join(QStringLiteral("、")))}});
    if (sheet->rows == 0)
        refuse(QStringLiteral("工作表是空的，第一行应为各列的标题"));
    const QStringList headings = OwnerBoqImport::headings();
    const SheetHeadings found = FindSheetHeadings(*sheet, name, headings);
    if (!found.problem.isEmpty())
        refuse(found.problem);
    const SheetHeadings amountFound = FindSheetHeadings(*sheet, name, {OwnerBoqImport::amountHeading()});
    if (!amountFound.problem.isEmpty())
        refuse(amountFound.problem);
    QStringList missing;
    for (int h = 0; h < ColumnCount; ++h)
        if (found.at[static_cast<size_t>(h)] < 0)
            missing << headings[h];
    if (!missing.isEmpty())
        refuse(QStringLiteral("第一行缺少标题：%1").arg(missing.join(QStringLiteral("、"))));
    const auto at = [&](Column c) { return found.at[static_cast<size_t>(c)]; };
    const int amountAt = amountFound.at.front();

    OwnerBill bill;
    bill.path = path;
    QList<SheetProblem> problems;
    const auto problem = [&](int row, const QString& text) { problems << SheetProblem{name, row, text}; };
    QHash<QString, int> rowOfItem;
    QSet<QString> chapters;
    QSet<QString> chapterLines;
    for (int r = 1; r < sheet->rows; ++r) {
        const int row = r + 1;
        const QVariant item = SheetTextValue(sheet->at(r, at(ItemNumber)));
        const QVariant itemName = SheetTextValue(sheet->at(r, at(ItemName)));
        const QVariant unit = SheetTextValue(sheet->at(r, at(Unit)));
        const WorkbookCell& quantityCell = sheet->at(r, at(Quantity));
        const SheetNumber quantity = SheetNumberOf(quantityCell);
        const WorkbookCell* amountCell = amountAt >= 0 ? &sheet->at(r, amountAt) : nullptr;
        const bool amountGiven = amountCell && !SheetTextValue(*amountCell).isNull();
        if (item.isNull() && itemName.isNull() && unit.isNull() && SheetTextValue(quantityCell).isNull() &&
            !amountGiven)
            continue;
        if (item.isNull()) {
            problem(row, QStringLiteral("有内容却没有细目编号"));
            continue;
        }
        const QString number = item.toString();
        if (number.trimmed() != number)
            problem(row, QStringLiteral("细目编号“%1”的前后有空格").arg(number));
        else if (!startsWithDigit(number))
            problem(row, QStringLiteral("细目编号“%1”不以数字开头，分不出所属的章").arg(number));
        if (const auto seen = rowOfItem.constFind(number); seen != rowOfItem.cend())
            problem(row, QStringLiteral("细目编号“%1”与第 %2 行重复").arg(number).arg(*seen));
        else
            rowOfItem.insert(number, row);

        OwnerBillLine line;
        line.sheetRow = row;
        line.item = number;
        line.name = itemName;
        line.unit = unit;
        if (!quantity.valid)
            problem(row, QStringLiteral("合同数量“%1”不是数字").arg(SheetCellText(quantityCell)));
        else if (quantity.value.isValid() && quantity.value.toDouble() < 0)
            problem(row, QStringLiteral("合同数量 %1 是负数").arg(SheetCellText(quantityCell)));
        else
            line.quantity = quantity.value.isValid() ? quantity.value.toDouble() : 0.0;
        if (amountCell && unit.toString() == kProvisionalSumUnit) {
            const SheetNumber amount = SheetNumberOf(*amountCell);
            if (!amount.valid)
                problem(row, QStringLiteral("暂定金额的合价“%1”不是数字").arg(SheetCellText(*amountCell)));
            else if (amount.value.isValid() && amount.value.toDouble() < 0)
                problem(row, QStringLiteral("暂定金额的合价 %1 是负数").arg(SheetCellText(*amountCell)));
            else
                line.amount = amount.value;
        }
        const QString chapter = ChapterOf(number);
        chapters.insert(chapter);
        if (number == chapter)
            chapterLines.insert(chapter);
        bill.lines.push_back(std::move(line));
    }
    if (!problems.isEmpty())
        throw OwnerWorkbookRefused(path, problems);

    QStringList added(chapters.begin(), chapters.end());
    added.removeIf([&](const QString& c) { return chapterLines.contains(c); });
    std::sort(added.begin(), added.end(),
              [](const QString& a, const QString& b) { return CompareItemNumbers(a, b) < 0; });
    for (const QString& chapter : added) {
        OwnerBillLine line;
        line.item = chapter;
        line.name = chapterDescription(chapter);
        bill.lines.push_back(std::move(line));
    }
    bill.addedChapters = added;
    std::stable_sort(bill.lines.begin(), bill.lines.end(), [](const OwnerBillLine& a, const OwnerBillLine& b) {
        return CompareItemNumbers(a.item, b.item) < 0;
    });
    return bill;
}

OwnerBill ReadOwnerBill(const QString& path) {
    return OwnerBillFromWorkbook(ReadOwnerWorkbook(path, OwnerBoqImport::sheetName()), path);
}

OwnerBillImportResult OwnerBoqImport::importBill(const QString& contractId, const OwnerBill& bill, bool replace) {
    Transaction tx(m_db);
    OwnerBillImportResult result;
    result.replaced =
        m_db.scalar(QStringLiteral("select count(*) from jd_htqd where 合同编号 = ?"), {contractId}).toLongLong();
    RequireImportTarget(m_db, contractId, result.replaced, QStringLiteral("行工程量清单"), replace);
    m_db.exec(QStringLiteral("delete from jd_htqd where 合同编号 = ?"), {contractId});
    Statement insert = m_db.prepare(
        QStringLiteral("insert into jd_htqd (合同编号, 章, 节, 段, 细目编号, 细目名称, 单位, 合同数量, 合同单价, "
                       "合同金额, 是否补充) values (?, ?, ?, ?, ?, ?, ?, ?, NULL, ?, 0)"));
    for (const OwnerBillLine& line : bill.lines) {
        const std::optional<QString> section = SectionOf(line.item);
        const std::optional<QString> segment = SegmentOf(line.item);
        insert.bindAll({contractId, ChapterOf(line.item), section ? QVariant(*section) : QVariant(),
                        segment ? QVariant(*segment) : QVariant(), line.item, line.name, line.unit, line.quantity,
                        line.amount});
        insert.run();
        insert.reset();
        ++result.lines;
    }
    tx.commit();
    result.addedChapters = bill.addedChapters;
    return result;
}

} // namespace tenvora

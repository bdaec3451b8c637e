#include "owner/OwnerDayworkImport.h"

#include "boq/SheetCells.h"
#include "boq/Workbook.h"
#include "data/Database.h"
#include "owner/OwnerWorkbook.h"
#include "owner/TenderContracts.h"

#include <QHash>

namespace tenvora {

namespace {

enum Column { Code, Name, Unit, Quantity, ColumnCount };

} // namespace

QStringList OwnerDayworkImport::sheetNames() {
    return {QStringLiteral("计日工劳务"), QStringLiteral("计日工材料"), QStringLiteral("计日工施工机械")};
}

QStringList OwnerDayworkImport::headings() {
    return {QStringLiteral("编号"), QStringLiteral("名称"), QStringLiteral("单位"), QStringLiteral("数量")};
}

OwnerDaywork OwnerDayworkFromWorkbook(const WorkbookContents& contents, const QString& path) {
    OwnerDaywork daywork;
    daywork.path = path;
    QList<SheetProblem> problems;
    const QStringList names = OwnerDayworkImport::sheetNames();
    const QStringList headings = OwnerDayworkImport::headings();
    for (qsizetype s = 0; s < names.size(); ++s) {
        const QString& name = names[s];
        const QString schedule = QString::number(s + 1);
        const WorksheetCells* sheet = contents.sheet(name);
        if (!sheet) {
            problems << SheetProblem{name, 0,
                                     contents.sheetNames.isEmpty()
                                         ? QStringLiteral("工作簿中没有这张工作表")
                                         : QStringLiteral("工作簿中没有这张工作表（现有工作表：%1）")
                                               .arg(contents.sheetNames.join(QStringLiteral("、")))};
            continue;
        }
        const SheetHeadings found = FindSheetHeadings(*sheet, name, headings);
        if (!found.problem.isEmpty()) {
            problems << SheetProblem{name, 0, found.problem};
            continue;
        }
        QStringList missing;
        for (int h = 0; h < ColumnCount; ++h)
            if (found.at[static_cast<size_t>(h)] < 0)
                missing << headings[h];
        if (!missing.isEmpty()) {
            problems << SheetProblem{name, 0,
                                     QStringLiteral("第一行缺少标题：%1").arg(missing.join(QStringLiteral("、")))};
            continue;
        }
        const auto cell = [&](int r, Column c) -> const WorkbookCell& {
            return sheet->at(r, found.at[static_cast<size_t>(c)]);
        };
        QHash<QString, int> rowOfCode;
        for (int r = 1; r < sheet->rows; ++r) {
            const int row = r + 1;
            OwnerDayworkItem item;
            item.sheetRow = row;
            item.schedule = schedule;
            const QVariant code = SheetTextValue(cell(r, Code));
            item.name = SheetTextValue(cell(r, Name));
            item.unit = SheetTextValue(cell(r, Unit));
            const WorkbookCell& quantityCell = cell(r, Quantity);
            if (code.isNull() && item.name.isNull() && item.unit.isNull() && SheetTextValue(quantityCell).isNull())
                continue;
            if (code.isNull()) {
                problems << SheetProblem{name, row, QStringLiteral("有内容却没有编号")};
                continue;
            }
            item.code = code.toString();
            if (item.code.trimmed() != item.code)
                problems << SheetProblem{name, row, QStringLiteral("编号“%1”的前后有空格").arg(item.code)};
            if (const auto seen = rowOfCode.constFind(item.code); seen != rowOfCode.cend())
                problems << SheetProblem{name, row, QStringLiteral("编号“%1”与第 %2 行重复").arg(item.code).arg(*seen)};
            else
                rowOfCode.insert(item.code, row);
            const SheetNumber quantity = SheetNumberOf(quantityCell);
            if (!quantity.valid)
                problems << SheetProblem{name, row,
                                         QStringLiteral("数量“%1”不是数字").arg(SheetCellText(quantityCell))};
            else if (quantity.value.isValid() && quantity.value.toDouble() < 0)
                problems << SheetProblem{name, row, QStringLiteral("数量 %1 是负数").arg(SheetCellText(quantityCell))};
            item.quantity = quantity.value;
            daywork.items.push_back(std::move(item));
        }
    }
    if (!problems.isEmpty())
        throw OwnerWorkbookRefused(path, problems);
    return daywork;
}

OwnerDaywork ReadOwnerDaywork(const QString& path) {
    return OwnerDayworkFromWorkbook(ReadOwnerWorkbook(path), path);
}

OwnerDayworkImportResult OwnerDayworkImport::importItems(const QString& contractId, const OwnerDaywork& daywork,
                                                         bool replace) {
    Transaction tx(m_db);
    OwnerDayworkImportResult result;
    result.replaced =
        m_db.scalar(QStringLiteral("select count(*) from Jl_ContractList where ContractID = ?"), {contractId})
            .toLongLong();
    RequireImportTarget(m_db, contractId, result.replaced, QStringLiteral("项计日工"), replace);
    m_db.exec(QStringLiteral("delete from Jl_ContractList where ContractID = ?"), {contractId});
    // ID carries the contract too, as every save of a day-work row writes it.
    Statement insert =
        m_db.prepare(QStringLiteral("insert into Jl_ContractList (ID, ContractID, bz, ItemCode, ItemName, Unit, "
                                    "Amount, UnitPrice, TotalMoney) values (?, ?, ?, ?, ?, ?, ?, NULL, NULL)"));
    for (const OwnerDayworkItem& item : daywork.items) {
        insert.bindAll({contractId, contractId, item.schedule, item.code, item.name, item.unit, item.quantity});
        insert.run();
        insert.reset();
        ++result.items;
    }
    tx.commit();
    return result;
}

} // namespace tenvora

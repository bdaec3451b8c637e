#include "boq/BoqImport.h"

#include "boq/AmountRules.h"
#include "boq/SheetCells.h"
#include "boq/Workbook.h"
#include "data/DataModule.h"
#include "data/Money.h"
#include "data/NaturalOrder.h"

#include <QCoreApplication>
#include <QDir>
#include <QSet>

#include <algorithm>
#include <array>
#include <memory>
#include <numeric>

namespace tenvora {

namespace {

enum SourceColumn { ItemNumber, ItemName, Unit, Price, Quantity, SourceColumnCount };

QString itemText(const BoqSourceRow& row) {
    return row.itemNumber.toString();
}

// A 合价 cell that is not a number (a note, a formula's text) is not an amount: ignored.
std::optional<QVariant> givenAmount(const WorkbookCell& cell, const QVariant& price, const QVariant& quantity) {
    const SheetNumber given = SheetNumberOf(cell);
    if (!given.valid)
        return std::nullopt;
    if (price.isNull())
        return given.value;
    if (given.value.isNull())
        return std::nullopt;
    try {
        const std::optional<qint64> rule = LineAmount(price, quantity);
        if (rule && static_cast<double>(*rule) == given.value.toDouble())
            return given.value;
    } catch (const Error&) {
        // price x quantity beyond whole-yuan range: no amount of the sheet can agree with it
    }
    return std::nullopt;
}

const char* const kOptionalColumns[] = {"节", "段", "合同金额"};

// The insert for one combination of derived columns: a column that is "not set" is left out
// of the statement so that it takes the table's own default.
QString insertStatement(unsigned mask) {
    QString columns = QStringLiteral("合同编号,细目编号,细目名称,单位,合同单价,合同数量,章");
    QString marks = QStringLiteral("?,?,?,?,?,?,?");
    for (unsigned i = 0; i < 3; ++i) {
        if (mask & (1u << i)) {
            columns += QLatin1Char(',') + QString::fromUtf8(kOptionalColumns[i]);
            marks += QStringLiteral(",?");
        }
    }
    return QStringLiteral("insert into jd_htqd (%1) values (%2)").arg(columns, marks);
}

} // namespace

BoqFormatError::BoqFormatError(const QString& detail)
    : Refused(BoqImport::formatMessage() + QLatin1Char('\n') + detail), m_detail(detail) {}

QStringList BoqImport::headings() {
    return {QStringLiteral("细目编号"), QStringLiteral("细目名称"), QStringLiteral("单位"), QStringLiteral("合同单价"),
            QStringLiteral("合同数量")};
}

QString ChapterOf(const QString& itemNumber) {
    if (itemNumber.isEmpty())
        return {};
    // A whole code point, so a number starting outside the basic plane does not split a pair.
    const qsizetype first = itemNumber.at(0).isHighSurrogate() && itemNumber.size() > 1 ? 2 : 1;
    return itemNumber.left(first) + QStringLiteral("00");
}

std::optional<QString> SectionOf(const QString& itemNumber) {
    const qsizetype first = itemNumber.indexOf(QLatin1Char('-'));
    if (first < 0)
        return std::nullopt;
    const qsizetype second = itemNumber.indexOf(QLatin1Char('-'), first + 1);
    return second < 0 ? itemNumber : itemNumber.left(second);
}

std::optional<QString> SegmentOf(const QString& itemNumber) {
    if (itemNumber.count(QLatin1Char('-')) != 2)
        return std::nullopt;
    return itemNumber;
}

std::optional<double> ImportedAmountOf(const QVariant& price, const QVariant& quantity) {
    const std::optional<double> p = NumberOf(price);
    const std::optional<double> q = NumberOf(quantity);
    if (!p && !q)
        return std::nullopt;
    if (const std::optional<qint64> amount = LineAmountOf(p, q))
        return static_cast<double>(*amount);
    return 0.0;
}

BoqSource BoqSourceFromWorkbook(const WorkbookContents& contents, const QString& path) {
    const QString name = BoqImport::sheetName();
    const WorksheetCells* sheet = contents.sheet(name);
    if (!sheet) {
        throw BoqFormatError(contents.sheetNames.isEmpty()
                                 ? QStringLiteral("工作簿中没有名为“%1”的工作表").arg(name)
                                 : QStringLiteral("工作簿中没有名为“%1”的工作表（现有工作表：%2）")
                                       .arg(name, contents.sheetNames.join(QStringLiteral("、"))));
    }
    if (sheet->rows == 0)
        throw BoqFormatError(QStringLiteral("工作表“%1”是空的，第一行应为各列的标题").arg(name));

    const QStringList headings = BoqImport::headings();
    const SheetHeadings found = FindSheetHeadings(*sheet, name, headings);
    if (!found.problem.isEmpty())
        throw BoqFormatError(found.problem);
    const std::vector<int>& at = found.at;
    const SheetHeadings amount = FindSheetHeadings(*sheet, name, {BoqImport::amountHeading()});
    if (!amount.problem.isEmpty())
        throw BoqFormatError(amount.problem);
    const int amountAt = amount.at.front();
    QStringList missing;
    for (int h = 0; h < SourceColumnCount; ++h)
        if (at[h] < 0)
            missing << headings[h];
    if (!missing.isEmpty())
        throw BoqFormatError(
            QStringLiteral("工作表“%1”的第一行缺少标题：%2").arg(name, missing.join(QStringLiteral("、"))));

    BoqSource source;
    source.path = path;
    source.rows.reserve(static_cast<size_t>(sheet->rows));
    for (int r = 1; r < sheet->rows; ++r) {
        BoqSourceRow row;
        row.sheetRow = r + 1;
        row.itemNumber = SheetTextValue(sheet->at(r, at[ItemNumber]));
        row.itemName = SheetTextValue(sheet->at(r, at[ItemName]));
        row.unit = SheetTextValue(sheet->at(r, at[Unit]));
        for (const int column : {Price, Quantity}) {
            const WorkbookCell& cell = sheet->at(r, at[column]);
            const SheetNumber number = SheetNumberOf(cell);
            // A row without an item number is skipped whatever it holds (a note, a subtotal).
            if (!number.valid && !row.itemNumber.isNull())
                throw BoqFormatError(QStringLiteral("工作表“%1”第 %2 行“%3”列（%4 列）的内容“%5”不是数字")
                                         .arg(name)
                                         .arg(row.sheetRow)
                                         .arg(headings[column], SheetColumnLetters(at[column]), SheetCellText(cell)));
            (column == Price ? row.price : row.quantity) = number.value;
        }
        if (amountAt >= 0)
            row.amount = givenAmount(sheet->at(r, amountAt), row.price, row.quantity);
        if (row.itemNumber.isNull() && row.itemName.isNull() && row.unit.isNull() && row.price.isNull() &&
            row.quantity.isNull())
            continue;
        source.rows.push_back(std::move(row));
    }
    // Rows without an item number first, as a sort of the sheet puts empty cells first.
    std::vector<BoqSourceRow> rows = std::move(source.rows);
    // The keys are taken out once: a sort compares each row a dozen times.
    std::vector<QString> items;
    std::vector<bool> empty;
    items.reserve(rows.size());
    empty.reserve(rows.size());
    for (const BoqSourceRow& r : rows) {
        empty.push_back(r.itemNumber.isNull());
        items.push_back(itemText(r));
    }
    std::vector<size_t> order(rows.size());
    std::iota(order.begin(), order.end(), size_t{0});
    const auto before = [&](size_t a, size_t b) {
        if (empty[a] || empty[b])
            return empty[a] && !empty[b];
        return CompareItemNumbers(items[a], items[b]) < 0;
    };
    // An owner's sheet is usually in order already: one pass tells, and saves the sort.
    if (!std::is_sorted(order.begin(), order.end(), before))
        std::stable_sort(order.begin(), order.end(), before);
    source.rows.clear();
    source.rows.reserve(rows.size());
    for (const size_t i : order)
        source.rows.push_back(std::move(rows[i]));
    return source;
}

BoqSource ReadBoqSource(const QString& path) {
    try {
        return BoqSourceFromWorkbook(ReadWorkbook(path, BoqImport::sheetName()), path);
    } catch (const WorkbookError& e) {
        throw BoqFormatError(QStringLiteral("%1：%2").arg(QDir::toNativeSeparators(path), e.text()));
    }
}

QString TemplateWorkbookPath() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Data/合同清单范本.xls"));
}

QStringList StoredLineColumns() {
    return {QStringLiteral("合同编号"),     QStringLiteral("章"),           QStringLiteral("节"),
            QStringLiteral("段"),           QStringLiteral("细目编号"),     QStringLiteral("细目名称"),
            QStringLiteral("单位"),         QStringLiteral("合同单价"),     QStringLiteral("合同数量"),
            QStringLiteral("合同金额"),     QStringLiteral("变更后单价"),   QStringLiteral("差价"),
            QStringLiteral("变更数量"),     QStringLiteral("变更后数量"),   QStringLiteral("变更后金额"),
            QStringLiteral("累计完成数量"), QStringLiteral("累计完成金额"), QStringLiteral("完成率(%)"),
            QStringLiteral("是否补充项"),   QStringLiteral("设计数量")};
}

DataSetTable StoredLinesTarget() {
    return {QStringLiteral("jd_htqd"), QStringLiteral("rowid"), StoredLineColumns()};
}

void OpenStoredLines(DataModule& dm, DataSet& lines) {
    lines.open(QStringLiteral("select rowid, * from jd_htqd where 合同编号=? order by rowid"),
               {dm.session().CurContractID});
}

QString BoqImport::currentContract() const {
    const QString contract = m_dm.session().CurContractID;
    // Lines filed under no contract would be seen by no window: refuse instead.
    if (contract.isEmpty())
        throw Refused(noContractMessage());
    return contract;
}

BoqImportResult BoqImport::importLines(const BoqSource& source, const std::function<void(int, int)>& progress) try {
    const QString contract = currentContract();
    Database& db = m_dm.database();
    BoqImportResult result;
    int failedRow = 0;
    const int total = static_cast<int>(source.rows.size());

    Transaction tx(db);
    {
        std::array<std::unique_ptr<Statement>, 8> inserts;
        for (int i = 0; i < total; ++i) {
            const BoqSourceRow& row = source.rows[static_cast<size_t>(i)];
            if (progress)
                progress(i, total);
            if (row.itemNumber.isNull()) {
                ++result.skipped;
                continue;
            }
            const QString item = itemText(row);
            const std::optional<QString> section = SectionOf(item);
            const std::optional<QString> segment = SegmentOf(item);
            std::optional<double> amount;
            if (!row.amount)
                amount = ImportedAmountOf(row.price, row.quantity);
            else if (!row.amount->isNull())
                amount = row.amount->toDouble();
            const unsigned mask = (section ? 1u : 0u) | (segment ? 2u : 0u) | (amount ? 4u : 0u);

            std::unique_ptr<Statement>& insert = inserts[mask];
            try {
                if (!insert)
                    insert = std::make_unique<Statement>(db.prepare(insertStatement(mask)));
                int n = 1;
                for (const QVariant& v : {QVariant(contract), row.itemNumber, row.itemName, row.unit, row.price,
                                          row.quantity, QVariant(ChapterOf(item))})
                    insert->bind(n++, v);
                if (section)
                    insert->bind(n++, *section);
                if (segment)
                    insert->bind(n++, *segment);
                if (amount)
                    insert->bind(n++, *amount);
                insert->run();
                insert->reset();
            } catch (const DbError& e) {
                if (insert)
                    insert->reset();
                failedRow = row.sheetRow;
                result.failure = QStringLiteral("导入第 %1 行（细目编号“%2”）时出错：%3\n此前的 %4 "
                                                "行已经导入，这一行及其后各行没有导入。")
                                     .arg(row.sheetRow)
                                     .arg(item, e.text())
                                     .arg(result.imported);
                break;
            }
            ++result.imported;
        }
    }
    try {
        tx.commit();
    } catch (const DbError& e) {
        if (result.failure.isEmpty())
            throw;
        // The store gave up the whole transaction on the refused line: nothing stayed.
        result.failure =
            QStringLiteral("导入第 %1 行时出错，数据库撤销了整个导入，没有导入任何行：%2").arg(failedRow).arg(e.text());
        result.imported = 0;
    }
    if (progress)
        progress(total, total);
    return result;
} catch (const StorageError& e) {
    // The transaction has been rolled back by now: say that the whole import is undone.
    throw StorageError(QStringLiteral("导入没有完成，没有导入任何行：%1").arg(e.text()));
}

QStringList BoqImport::heldItems(const BoqSource& source) {
    const QString contract = currentContract();
    auto q = m_dm.NewQuery();
    m_dm.RunSql(*q, QStringLiteral("select distinct 细目编号 from jd_htqd where 合同编号=? and 细目编号 is not null"),
                {contract}, true);
    QSet<QString> stored;
    stored.reserve(q->recordCount());
    for (int r = 0; r < q->recordCount(); ++r)
        stored.insert(q->row(r).at(0).toString());
    QStringList held;
    QSet<QString> named;
    for (const BoqSourceRow& row : source.rows) {
        if (row.itemNumber.isNull())
            continue;
        const QString item = itemText(row);
        if (stored.contains(item) && !named.contains(item)) {
            named.insert(item);
            held << item;
        }
    }
    return held;
}

QString BoqImport::heldItemsText(const QStringList& held) {
    constexpr int kNamed = 5;
    const QString names = held.mid(0, kNamed).join(QStringLiteral("、"));
    return held.size() > kNamed ? QStringLiteral("导入的细目编号已存在：%1 等 %2 条。").arg(names).arg(held.size())
                                : QStringLiteral("导入的细目编号已存在：%1，共 %2 条。").arg(names).arg(held.size());
}

QString BoqImport::heldItemsQuestion(const QStringList& held) {
    return heldItemsText(held) + QStringLiteral("仍然追加导入吗？");
}

int BoqImport::clear() {
    const QString contract = currentContract();
    int deleted = 0;
    m_dm.RunChange([&] {
        auto q = m_dm.NewQuery();
        m_dm.RunSql(*q, QStringLiteral("delete from jd_htqd where 合同编号=?"), {contract}, false);
        deleted = static_cast<int>(m_dm.database().changes());
    });
    return deleted;
}

} // namespace tenvora

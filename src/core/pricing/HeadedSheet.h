// HeadedSheet: a worksheet of a pricing workbook found by its headings, with its cells read as
// the BoQ import reads them (numbers through their general text).
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace tenvora {

struct WorkbookContents;
struct WorksheetCells;

class HeadedSheet {
public:
    // The first sheet whose first row holds every heading (trimmed, exact); Refused naming the
    // sheets and what each lacks when none does, or when a heading stands twice on the sheet.
    HeadedSheet(const WorkbookContents& contents, const QStringList& headings);

    const QString& name() const;
    int rows() const; // the data rows, without the heading row
    // The cell under a heading in data row r (0 the first under the headings), as text: a
    // number cell gives its general text; empty cells and blank texts give empty text.
    QString text(int row, int heading) const;
    // The cell as a number: nothing for an empty cell; Refused naming the place for a cell
    // that is not a number.
    std::optional<double> number(int row, int heading) const;
    // "工作表“X”第 N 行“标题”列（C 列）": where a cell stands, for messages.
    QString where(int row, int heading) const;

private:
    const WorksheetCells* m_sheet = nullptr;
    QStringList m_headings;
    std::vector<int> m_columns;
};

// Reads every sheet of the workbook through the reader process; Refused naming the file and why.
WorkbookContents ReadPricingWorkbook(const QString& path);

} // namespace tenvora

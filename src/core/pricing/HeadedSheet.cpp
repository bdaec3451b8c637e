#include "pricing/HeadedSheet.h"

#include "boq/Workbook.h"
#include "data/Money.h"
#include "data/NumberInput.h"

#include <QDir>

namespace tenvora {

namespace {

QString cellText(const WorkbookCell& cell) {
    switch (cell.kind) {
    case WorkbookCell::Kind::Number:
        return GeneralText(cell.number);
    case WorkbookCell::Kind::Text:
        return cell.text.trimmed();
    case WorkbookCell::Kind::Empty:
        break;
    }
    return {};
}

QString columnLetters(int column) {
    QString letters;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters;
}

} // namespace

HeadedSheet::HeadedSheet(const WorkbookContents& contents, const QStringList& headings) : m_headings(headings) {
    QStringList lacks;
    for (const WorksheetCells& sheet : contents.sheets) {
        std::vector<int> at(static_cast<size_t>(headings.size()), -1);
        for (int c = 0; sheet.rows > 0 && c < sheet.columns; ++c) {
            const qsizetype h = headings.indexOf(cellText(sheet.at(0, c)));
            if (h < 0)
                continue;
            if (at[static_cast<size_t>(h)] >= 0)
                throw Refused(
                    QStringLiteral("工作表“%1”的标题“%2”出现了两次（%3 列和 %4 列）")
                        .arg(sheet.name, headings[h], columnLetters(at[static_cast<size_t>(h)]), columnLetters(c)));
            at[static_cast<size_t>(h)] = c;
        }
        QStringList missing;
        for (qsizetype h = 0; h < headings.size(); ++h)
            if (at[static_cast<size_t>(h)] < 0)
                missing << headings[h];
        if (missing.isEmpty()) {
            m_sheet = &sheet;
            m_columns = std::move(at);
            return;
        }
        lacks << QStringLiteral("“%1”缺少 %2").arg(sheet.name, missing.join(QStringLiteral("、")));
    }
    throw Refused(
        QStringLiteral("工作簿中没有第一行为 %1 的工作表%2")
            .arg(headings.join(QStringLiteral("、")),
                 lacks.isEmpty() ? QString() : QStringLiteral("（%1）").arg(lacks.join(QStringLiteral("；")))));
}

const QString& HeadedSheet::name() const {
    return m_sheet->name;
}

int HeadedSheet::rows() const {
    return std::max(0, m_sheet->rows - 1);
}

QString HeadedSheet::text(int row, int heading) const {
    return cellText(m_sheet->at(row + 1, m_columns[static_cast<size_t>(heading)]));
}

std::optional<double> HeadedSheet::number(int row, int heading) const {
    const WorkbookCell& cell = m_sheet->at(row + 1, m_columns[static_cast<size_t>(heading)]);
    // A figure the sheet computed (12.300000000000001) is taken as the sheet shows it.
    if (cell.kind == WorkbookCell::Kind::Number)
        return ParseNumber(GeneralText(cell.number));
    const QString text = cellText(cell);
    if (text.isEmpty())
        return std::nullopt;
    if (const std::optional<double> typed = ParseNumberInput(text))
        return typed;
    throw Refused(QStringLiteral("%1的内容“%2”不是数字").arg(where(row, heading), text));
}

QString HeadedSheet::where(int row, int heading) const {
    return QStringLiteral("工作表“%1”第 %2 行“%3”列（%4 列）")
        .arg(m_sheet->name)
        .arg(row + 2)
        .arg(m_headings[heading], columnLetters(m_columns[static_cast<size_t>(heading)]));
}

WorkbookContents ReadPricingWorkbook(const QString& path) {
    try {
        return ReadWorkbook(path);
    } catch (const WorkbookError& e) {
        throw Refused(QStringLiteral("无法读取工作簿 %1：%2").arg(QDir::toNativeSeparators(path), e.text()));
    }
}

} // namespace tenvora

#include "owner/OwnerWorkbook.h"

#include "boq/Workbook.h"
#include "owner/TenderContracts.h"

#include <QDir>

namespace tenvora {

namespace {

QString refusalText(const QString& path, const QList<SheetProblem>& problems) {
    QString text = QStringLiteral("工作簿 %1 有 %2 处问题，没有导入任何内容：")
                       .arg(QDir::toNativeSeparators(path))
                       .arg(problems.size());
    for (qsizetype i = 0; i < problems.size() && i < OwnerWorkbookRefused::kNamed; ++i)
        text += QLatin1Char('\n') + SheetProblemText(problems[i]);
    if (problems.size() > OwnerWorkbookRefused::kNamed)
        text += QStringLiteral("\n……另有 %1 处").arg(problems.size() - OwnerWorkbookRefused::kNamed);
    return text;
}

} // namespace

OwnerWorkbookRefused::OwnerWorkbookRefused(const QString& path, QList<SheetProblem> problems)
    : Refused(refusalText(path, problems)), m_problems(std::move(problems)) {}

QString SheetProblemText(const SheetProblem& problem) {
    if (problem.row <= 0)
        return QStringLiteral("工作表“%1”：%2").arg(problem.sheet, problem.text);
    return QStringLiteral("工作表“%1”第 %2 行：%3").arg(problem.sheet).arg(problem.row).arg(problem.text);
}

WorkbookContents ReadOwnerWorkbook(const QString& path, const QString& sheet) {
    try {
        return ReadWorkbook(path, sheet);
    } catch (const WorkbookError& e) {
        throw Error(QStringLiteral("无法读取工作簿 %1：%2").arg(QDir::toNativeSeparators(path), e.text()));
    }
}

void RequireImportTarget(Database& db, const QString& contractId, qint64 held, const QString& what, bool replace) {
    RequireContract(db, contractId);
    if (held > 0 && !replace)
        throw HeldContentRefused(
            QStringLiteral("合同段“%1”已有 %2 %3，没有导入。").arg(contractId).arg(held).arg(what));
}

} // namespace tenvora

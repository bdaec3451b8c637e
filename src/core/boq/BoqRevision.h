// A revised owner bill read over the priced one: lines matched by exact item number, the changes
// shown before anything is written, then applied in one change that keeps every unit price.
#pragma once

#include "boq/BoqImport.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace tenvora {

class DataModule;

struct BoqRevisionLine {
    enum class Change { Added, Dropped, Changed };
    Change change = Change::Changed;
    QString item;
    qint64 rowid = 0; // the stored line (none for an added one)
    int sheetRow = 0; // the workbook row (none for a dropped one)
    QVariant oldName, newName;
    QVariant oldUnit, newUnit;
    QVariant oldQuantity, newQuantity;
    QVariant price; // the stored unit price, kept; an added line comes unpriced
    QVariant oldAmount, newAmount;
    bool nameChanged = false;
    bool unitChanged = false;
    bool quantityChanged = false;

    // "新增", "删除" or "修改".
    QString changeText() const;
    // What changed, for the user: "数量 120 → 150；名称原为“…”".
    QString description() const;
};

struct BoqRevisionPlan {
    QString contract;
    QString path;
    std::vector<BoqRevisionLine> lines; // in item-number order
    int added = 0;
    int dropped = 0;
    int changed = 0;
    int unchanged = 0;
    // Item numbers that occur more than once, with where; either list refuses the revision.
    QStringList workbookDuplicates;
    QStringList storeDuplicates;
    // Rows of the workbook that carry no item number and so take no part.
    int skippedRows = 0;

    bool refused() const { return !workbookDuplicates.isEmpty() || !storeDuplicates.isEmpty(); }
    bool hasChanges() const { return added + dropped + changed > 0; }
    // Why the revision is refused (empty when it is not).
    QString refusalText() const;
    // "新增 2 行，删除 1 行，修改 3 行，未变 120 行".
    QString summaryText() const;
};

struct BoqRevisionOutcome {
    QString backupPath; // the copy of the data file taken before the change
    int added = 0;
    int dropped = 0;
    int changed = 0;
};

class BoqRevision {
public:
    explicit BoqRevision(DataModule& dm) : m_dm(dm) {}

    // Compares the workbook's rows with the current contract's main-bill lines; writes nothing.
    // Throws Refused without a current contract; StatementError when the store rejects a statement.
    BoqRevisionPlan plan(const BoqSource& source);

    // Takes the backup copy of the data file, then in one change: updates the changed lines
    // (keeping their unit prices, amounts by the line-amount rule), appends the added lines
    // unpriced and deletes the dropped ones. Nothing of it is stored when any step fails.
    // Throws Refused for a refused plan, or when a line no longer holds what the plan showed.
    BoqRevisionOutcome apply(const BoqRevisionPlan& plan, const BoqSource& source);

    // Beside the data file: "<data file>.before-revision-20260109-153012".
    static QString BackupPath(const QString& dataFilePath, const QDateTime& when);
    static QString title() { return QStringLiteral("导入修订清单"); }
    static QString doneText(const BoqRevisionOutcome& outcome);

private:
    DataModule& m_dm;
};

} // namespace tenvora

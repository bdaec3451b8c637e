#include "boq/ExcelCommands.h"

#include "MessageBox.h"
#include "Modal.h"
#include "boq/BoqExport.h"
#include "boq/BoqImportDialog.h"
#include "boq/BoqRevision.h"
#include "boq/RevisionDialog.h"
#include "data/DataModule.h"

#include <QApplication>

namespace tenvora::ui {

namespace {

// The wait cursor for as long as a step runs, taken away on every way out.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

bool ExportBoqWorkbook(DataModule& dm, QWidget* parent) {
    if (dm.session().CurContractID.isEmpty()) {
        MessageBox::information(parent, BoqImport::noContractMessage());
        return false;
    }
    const QString chosen = FileDialog::getSaveFileName(parent, QStringLiteral("导出Excel文件"),
                                                       dm.session().CurContractID + QStringLiteral("工程量清单.xlsx"),
                                                       BoqExport::fileFilter());
    if (chosen.isEmpty())
        return false;
    BoqExportResult result;
    if (!Guarded(parent, [&] {
            WaitCursor wait;
            result = BoqExport(dm).write(BoqExport::withSuffix(chosen));
        }))
        return false;
    MessageBox::information(parent, BoqExport::doneText(result));
    return true;
}

bool ReviseBoqFromWorkbook(DataModule& dm, QWidget* parent) {
    if (dm.session().CurContractID.isEmpty()) {
        MessageBox::information(parent, BoqImport::noContractMessage());
        return false;
    }
    const QString path =
        FileDialog::getOpenFileName(parent, BoqRevision::title(), QString(), BoqImportDialog::fileFilter());
    if (path.isEmpty())
        return false;
    bool revised = false;
    Guarded(parent, [&] {
        BoqRevision revision(dm);
        BoqSource source;
        BoqRevisionPlan plan;
        {
            WaitCursor wait;
            source = ReadBoqSource(path);
            plan = revision.plan(source);
        }
        if (plan.refused()) {
            MessageBox::information(parent, plan.refusalText());
            return;
        }
        if (!plan.hasChanges()) {
            MessageBox::information(parent, QStringLiteral("修订清单与当前清单一致，没有需要修改的内容。"));
            return;
        }
        RevisionDialog dialog(dm, plan, parent);
        if (ExecModal(dialog) != QDialog::Accepted)
            return;
        BoqRevisionOutcome outcome;
        {
            WaitCursor wait;
            outcome = revision.apply(plan, source);
        }
        MessageBox::information(parent, BoqRevision::doneText(outcome));
        revised = true;
    });
    return revised;
}

} // namespace tenvora::ui

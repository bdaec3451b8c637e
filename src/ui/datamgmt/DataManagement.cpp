#include "datamgmt/DataManagement.h"

#include "MessageBox.h"
#include "Modal.h"
#include "data/DataModule.h"
#include "datamgmt/DataCopyDialog.h"
#include "datamgmt/DataFileCopies.h"
#include "datamgmt/RestoreDialog.h"
#include "shell/LoginRules.h"

namespace tenvora::ui {

namespace {

// The dialog does the copy while the connection is closed; it shows its own refusals.
DataManagement::Outcome runWithConnectionClosed(DataModule& dm, QWidget* parent,
                                                const std::function<void()>& closeHostedTool,
                                                const std::function<void()>& showDialog) {
    if (closeHostedTool && !Guarded(parent, closeHostedTool))
        return DataManagement::Outcome::Continue;
    try {
        WithDataFileClosed(dm, showDialog);
    } catch (const DataFileError& e) {
        // Running on without a connection would fail at every later step; better to stop cleanly.
        MessageBox::information(parent, DataManagement::reopenFailedText(e.text()));
        return DataManagement::Outcome::EndProgram;
    }
    return DataManagement::Outcome::Continue;
}

} // namespace

DataManagement::Outcome DataManagement::backup(DataModule& dm, QWidget* parent,
                                               const std::function<void()>& closeHostedTool) {
    return runWithConnectionClosed(dm, parent, closeHostedTool, [&] {
        DataCopyDialog dialog(dm, CopyKind::Backup, parent);
        ExecModal(dialog);
    });
}

DataManagement::Outcome DataManagement::bidDisk(DataModule& dm, QWidget* parent,
                                                const std::function<void()>& closeHostedTool) {
    return runWithConnectionClosed(dm, parent, closeHostedTool, [&] {
        DataCopyDialog dialog(dm, CopyKind::BidDisk, parent);
        ExecModal(dialog);
    });
}

DataManagement::Outcome DataManagement::restore(DataModule& dm, QWidget* parent,
                                                const std::function<void()>& closeHostedTool) {
    const Outcome outcome = runWithConnectionClosed(dm, parent, closeHostedTool, [&] {
        RestoreDialog dialog(dm, parent);
        ExecModal(dialog);
    });
    if (outcome != Outcome::Continue)
        return outcome;
    const QString unit = dm.session().CurUnitName;
    bool known = false;
    // A file that cannot be read says why; its unit cannot be confirmed, so it is asked for again.
    Guarded(parent, [&] { known = unit.isEmpty() || LoginRules(dm).hasUnit(unit); });
    if (known)
        return outcome;
    MessageBox::information(parent, reloginText(unit));
    return Outcome::Relogin;
}

QString DataManagement::reloginText(const QString& unit) {
    return QStringLiteral("恢复的数据文件中没有投标单位“%1”，请重新登录。").arg(unit);
}

QString DataManagement::reopenFailedText(const QString& reason) {
    return QStringLiteral("无法重新打开数据文件，程序将退出。\n%1").arg(reason);
}

} // namespace tenvora::ui

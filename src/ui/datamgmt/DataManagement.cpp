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

template <typename Dialog>
DataManagement::Outcome runWithConnectionClosed(DataModule& dm, QWidget* parent,
                                                const std::function<void()>& closeHostedTool) {
    try {
        if (closeHostedTool)
            closeHostedTool();
    } catch (const ActionAbandoned&) {
        return DataManagement::Outcome::Continue; // its message has been shown
    } catch (const Error& e) {
        MessageBox::information(parent, e.text());
        return DataManagement::Outcome::Continue;
    }

    ConnectionPause pause(dm);
    {
        Dialog dialog(dm, parent);
        ExecModal(dialog);
    }
    try {
        pause.reopen();
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
    dm.session().BakMode = QStringLiteral("1");
    return runWithConnectionClosed<DataCopyDialog>(dm, parent, closeHostedTool);
}

DataManagement::Outcome DataManagement::bidDisk(DataModule& dm, QWidget* parent,
                                                const std::function<void()>& closeHostedTool) {
    dm.session().BakMode = QStringLiteral("2");
    return runWithConnectionClosed<DataCopyDialog>(dm, parent, closeHostedTool);
}

DataManagement::Outcome DataManagement::restore(DataModule& dm, QWidget* parent,
                                                const std::function<void()>& closeHostedTool) {
    const Outcome outcome = runWithConnectionClosed<RestoreDialog>(dm, parent, closeHostedTool);
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

#include "datamgmt/DataManagement.h"

#include "MessageBox.h"
#include "Modal.h"
#include "data/DataModule.h"
#include "datamgmt/DataBak.h"
#include "datamgmt/DataFileCopies.h"
#include "datamgmt/DataRest.h"

namespace tenvora::ui {

namespace {

template <typename Dialog>
DataManagement::Outcome runWithConnectionClosed(TDmMain& dm, QWidget* parent,
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

DataManagement::Outcome DataManagement::backup(TDmMain& dm, QWidget* parent,
                                               const std::function<void()>& closeHostedTool) {
    dm.session().BakMode = QStringLiteral("1");
    return runWithConnectionClosed<TDataBakForm>(dm, parent, closeHostedTool);
}

DataManagement::Outcome DataManagement::bidDisk(TDmMain& dm, QWidget* parent,
                                                const std::function<void()>& closeHostedTool) {
    dm.session().BakMode = QStringLiteral("2");
    return runWithConnectionClosed<TDataBakForm>(dm, parent, closeHostedTool);
}

DataManagement::Outcome DataManagement::restore(TDmMain& dm, QWidget* parent,
                                                const std::function<void()>& closeHostedTool) {
    return runWithConnectionClosed<TDataRestForm>(dm, parent, closeHostedTool);
}

QString DataManagement::reopenFailedText(const QString& reason) {
    return QStringLiteral("无法重新打开数据文件，程序将退出。\n%1").arg(reason);
}

} // namespace tenvora::ui

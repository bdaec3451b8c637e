// The three commands of the menu "数据管理", as the main window runs them.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace tenvora {
class DataModule;
}

namespace tenvora::ui {

class DataManagement {
public:
    enum class Outcome {
        Continue,   // the connection is open again and the session reloaded
        EndProgram, // the data file could not be opened again; the user has been told
        Relogin,    // a restored file has no account of the logged-in unit; the user has been told
    };

    // Each command: closeHostedTool() (the main window's CloseMDIChildren and its hosted tool,
    // pending edits saved), the connection closed, the dialog shown modally, then the connection
    // opened again whatever the user did and the current contract reloaded. When the hosted tool
    // refuses to close (its save failed, message already shown) nothing else happens.
    // On EndProgram the caller ends the program without asking; on Relogin it runs the login again
    // (the restore's file may hold other units) and ends the program when that is given up.
    static Outcome backup(DataModule& dm, QWidget* parent, const std::function<void()>& closeHostedTool); // 数据备份
    static Outcome bidDisk(DataModule& dm, QWidget* parent, const std::function<void()>& closeHostedTool); // 生成投标盘
    static Outcome restore(DataModule& dm, QWidget* parent, const std::function<void()>& closeHostedTool); // 数据恢复

    // The text shown before EndProgram.
    static QString reopenFailedText(const QString& reason);
    // The text shown before Relogin.
    static QString reloginText(const QString& unit);
};

} // namespace tenvora::ui

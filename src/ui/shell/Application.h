// The workbench's application object: errors that escape an action end up in a message box.
#pragma once

#include <QApplication>

namespace tenvora::ui {

class TenvoraApplication : public QApplication {
    Q_OBJECT
public:
    TenvoraApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Qt's own texts in Chinese (buttons, file and print dialogs) and the 宋体 font.
    void installChinese();
};

} // namespace tenvora::ui

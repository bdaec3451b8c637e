#include "Modal.h"

#include <QDialog>

namespace tenvora::ui {

namespace {

std::function<int(QDialog&)>& handler() {
    static std::function<int(QDialog&)> h;
    return h;
}

} // namespace

int ExecModal(QDialog& dialog) {
    if (handler())
        return handler()(dialog);
    return dialog.exec();
}

void SetModalHandler(std::function<int(QDialog&)> h) {
    handler() = std::move(h);
}

} // namespace tenvora::ui

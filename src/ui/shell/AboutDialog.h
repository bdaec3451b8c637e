// AboutDialog: the About box, "关于...".
#pragma once

#include <QDialog>

namespace tenvora::ui {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

} // namespace tenvora::ui

// TFrmAbout: the About box, "关于...".
#pragma once

#include <QDialog>

namespace tenvora::ui {

class TFrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFrmAbout(QWidget* parent = nullptr);
};

} // namespace tenvora::ui

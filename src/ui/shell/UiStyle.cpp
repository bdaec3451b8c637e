#include "shell/UiStyle.h"

#include <QPalette>
#include <QWidget>

namespace tenvora::ui {

QStringList SongFamilies() {
    return {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("AR PL UMing CN")};
}

QFont SongFont(int pixelSize) {
    QFont f;
    f.setFamilies(SongFamilies());
    if (pixelSize > 0)
        f.setPixelSize(pixelSize);
    return f;
}

void SetPaleYellow(QWidget* w) {
    QPalette p = w->palette();
    p.setColor(QPalette::Base, PaleYellow());
    p.setColor(QPalette::Button, PaleYellow());
    w->setPalette(p);
}

} // namespace tenvora::ui

#include "shell/UiStyle.h"

#include <QAction>
#include <QPalette>
#include <QPushButton>
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

QString WarningHtml(const QString& text) {
    return QStringLiteral("<span style=\"color:#c00000\">%1</span>").arg(text.toHtmlEscaped());
}

QPushButton* CommandButton(const QString& text, const QString& objectName, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(objectName);
    b->setAutoDefault(false);
    return b;
}

void AddPanelShortcut(QWidget* panel, const QKeySequence& keys, std::function<void()> run) {
    auto* a = new QAction(panel);
    a->setShortcut(keys);
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(a, &QAction::triggered, panel, std::move(run));
    panel->addAction(a);
}

} // namespace tenvora::ui

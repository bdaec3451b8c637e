// Fonts and colours shared by the windows.
#pragma once

#include <QColor>
#include <QFont>
#include <QKeySequence>
#include <QString>

#include <functional>

class QPushButton;
class QWidget;

namespace tenvora::ui {

// The 宋体 family list, with the TrueType face Debian ships as the fallback.
QFont SongFont(int pixelSize = 0);
QStringList SongFamilies();
inline QColor PaleYellow() {
    return QColor(255, 255, 225);
}
inline QColor Navy() {
    return QColor(0, 0, 128);
}
// The background of a stored figure that its rule no longer gives: a stale chapter total, a
// day-work total that price x quantity does not give.
inline QColor MarkedFigure() {
    return QColor(255, 214, 153);
}
void SetPaleYellow(QWidget* w);
// A label's words that ask for attention (a warning, a figure that cannot be read), as rich
// text of the plain text given.
QString WarningHtml(const QString& text);

// A panel's command button: Enter in the panel's fields never presses it by surprise.
QPushButton* CommandButton(const QString& text, const QString& objectName, QWidget* parent);
// A key of a panel, taken while the focus is anywhere inside it.
void AddPanelShortcut(QWidget* panel, const QKeySequence& keys, std::function<void()> run);

} // namespace tenvora::ui

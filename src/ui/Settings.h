// The one settings file the workbench keeps: the sizes the user gave its windows, splitters and
// grid columns, so the next start looks as the last one was left. Nothing of the bid lives here.
#pragma once

#include <QSize>
#include <QString>
#include <memory>

class QSettings;
class QSplitter;
class QWidget;

namespace tenvora::ui {

// Tenvora/workbench.ini in the user's configuration folder ($XDG_CONFIG_HOME, else ~/.config).
std::unique_ptr<QSettings> OpenSettings();
// The file OpenSettings() reads and writes, for the user's information.
QString SettingsFilePath();

// Restores the window's saved size and place (the maximized state included) and saves them
// whenever the window is hidden or closed. False when nothing was saved yet. A size saved on a
// larger screen is cut down, and the window moved, so that the whole of it is on this screen.
bool KeepWindowGeometry(QWidget* window, const QString& key);
// Gives the window the size it prefers, or less where the screen is smaller (down to its minimum
// size), so that its buttons are never off a small screen such as 1024x768.
void FitToScreen(QWidget* window, QSize preferred);
// What of the screen a window may take, its frame and title bar left out.
QSize ScreenRoomFor(const QWidget* window);
// Restores the splitter's saved sizes and saves them whenever the user moves it.
bool KeepSplitterSizes(QSplitter* splitter, const QString& key);

} // namespace tenvora::ui

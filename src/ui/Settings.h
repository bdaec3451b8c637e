// The one settings file the workbench keeps: the sizes the user gave its windows, splitters and
// grid columns, so the next start looks as the last one was left. Nothing of the bid lives here.
#pragma once

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
// whenever the window is hidden or closed. False when nothing was saved yet.
bool KeepWindowGeometry(QWidget* window, const QString& key);
// Restores the splitter's saved sizes and saves them whenever the user moves it.
bool KeepSplitterSizes(QSplitter* splitter, const QString& key);

} // namespace tenvora::ui

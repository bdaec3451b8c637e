#include "Settings.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QWidget>
#include <algorithm>

namespace tenvora::ui {

namespace {

// Saves its window's geometry when the window goes out of sight (closed, hidden or destroyed).
class GeometryKeeper : public QObject {
public:
    GeometryKeeper(QWidget* window, QString key) : QObject(window), m_window(window), m_key(std::move(key)) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_window)
            return false;
        if (event->type() == QEvent::Show)
            m_shown = true;
        // A window that was never on screen has no size of the user's to keep.
        else if (m_shown && (event->type() == QEvent::Hide || event->type() == QEvent::Close))
            OpenSettings()->setValue(m_key, m_window->saveGeometry());
        return false;
    }

private:
    QWidget* m_window;
    QString m_key;
    bool m_shown = false;
};

QString geometryKey(const QString& key) {
    return QStringLiteral("windows/%1").arg(key);
}

} // namespace

std::unique_ptr<QSettings> OpenSettings() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tenvora"),
                                       QStringLiteral("workbench"));
}

QString SettingsFilePath() {
    return OpenSettings()->fileName();
}

namespace {

// A window manager adds a title bar and borders around the client area.
constexpr QSize kFrame(16, 48);

QRect screenArea(const QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

} // namespace

QSize ScreenRoomFor(const QWidget* window) {
    return screenArea(window).size() - kFrame;
}

void FitToScreen(QWidget* window, QSize preferred) {
    window->resize(preferred.boundedTo(ScreenRoomFor(window)).expandedTo(window->minimumSize()));
}

bool KeepWindowGeometry(QWidget* window, const QString& key) {
    const QByteArray saved = OpenSettings()->value(geometryKey(key)).toByteArray();
    new GeometryKeeper(window, geometryKey(key));
    if (saved.isEmpty() || !window->restoreGeometry(saved))
        return false;
    if (!window->isMaximized() && !window->isFullScreen()) {
        const QRect area = screenArea(window);
        QRect place = window->geometry();
        place.setSize(place.size().boundedTo(area.size() - kFrame));
        // Right and bottom edges first, so that a window larger than the room still shows its top left.
        place.moveLeft(std::max(area.left(), std::min(place.left(), area.right() - place.width() - kFrame.width())));
        place.moveTop(
            std::max(area.top() + kFrame.height() - 8, std::min(place.top(), area.bottom() - place.height() - 8)));
        window->setGeometry(place);
    }
    return true;
}

bool KeepSplitterSizes(QSplitter* splitter, const QString& key) {
    const QString name = QStringLiteral("splitters/%1").arg(key);
    QObject::connect(splitter, &QSplitter::splitterMoved, splitter,
                     [splitter, name] { OpenSettings()->setValue(name, splitter->saveState()); });
    const QByteArray saved = OpenSettings()->value(name).toByteArray();
    return !saved.isEmpty() && splitter->restoreState(saved);
}

} // namespace tenvora::ui

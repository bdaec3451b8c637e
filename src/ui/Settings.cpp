#include "Settings.h"

#include <QEvent>
#include <QSettings>
#include <QSplitter>
#include <QWidget>

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

bool KeepWindowGeometry(QWidget* window, const QString& key) {
    const QByteArray saved = OpenSettings()->value(geometryKey(key)).toByteArray();
    new GeometryKeeper(window, geometryKey(key));
    return !saved.isEmpty() && window->restoreGeometry(saved);
}

bool KeepSplitterSizes(QSplitter* splitter, const QString& key) {
    const QString name = QStringLiteral("splitters/%1").arg(key);
    QObject::connect(splitter, &QSplitter::splitterMoved, splitter,
                     [splitter, name] { OpenSettings()->setValue(name, splitter->saveState()); });
    const QByteArray saved = OpenSettings()->value(name).toByteArray();
    return !saved.isEmpty() && splitter->restoreState(saved);
}

} // namespace tenvora::ui

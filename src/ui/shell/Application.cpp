#include "shell/Application.h"

#include "MessageBox.h"
#include "data/Errors.h"
#include "shell/UiStyle.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace tenvora::ui {

TenvoraApplication::TenvoraApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Tenvora"));
    setApplicationVersion(QStringLiteral("1.0.0"));
}

bool TenvoraApplication::notify(QObject* receiver, QEvent* event) {
    // The last line of defence: an error nobody caught is shown, and the program keeps running.
    bool handled = false;
    Guarded(activeWindow(), [&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

void TenvoraApplication::installChinese() {
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    auto* translator = new QTranslator(this);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qt"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(translator);
    setFont(SongFont());
}

} // namespace tenvora::ui

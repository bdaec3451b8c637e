#include "data/AppPaths.h"

#include <QDir>
#include <QFileInfo>

namespace tenvora {

QString DataFilePathFor(const QString& programPath) {
    const QFileInfo info(programPath);
    const QString dir = info.absolutePath();
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    return QDir(dir).filePath(base + QStringLiteral(".tr"));
}

QString DefaultDataFileIn(const QString& folder) {
    return QDir(folder).filePath(QString::fromLatin1(kWorkbenchProgramName) + QStringLiteral(".tr"));
}

QByteArray DataFileKey() {
    return QByteArrayLiteral("qorvintalmek4817");
}

} // namespace tenvora

#include "boq/ChapterNames.h"

#include <QHash>

namespace tenvora {

QString BoqChapterName(const QString& code) {
    static const QHash<QString, QString> names = {
        {QStringLiteral("100"), QStringLiteral("总则")},
        {QStringLiteral("200"), QStringLiteral("路基")},
        {QStringLiteral("300"), QStringLiteral("路面")},
        {QStringLiteral("400"), QStringLiteral("桥梁、涵洞")},
        {QStringLiteral("500"), QStringLiteral("隧道")},
        {QStringLiteral("600"), QStringLiteral("安全设施及预埋管线")},
        {QStringLiteral("700"), QStringLiteral("绿化及环境保护")},
    };
    return names.value(code);
}

QString BoqChapterLabel(const QString& code) {
    const QString name = BoqChapterName(code);
    return name.isEmpty() ? code : code + QLatin1Char(' ') + name;
}

} // namespace tenvora

#include "data/FileNames.h"

#include <QFileInfo>
#include <QStringList>

namespace tenvora {

namespace {

QString contractPart(const QString& contractId) {
    const QString id = FileNamePart(contractId);
    return id.isEmpty() ? QString() : id + QStringLiteral("合同段");
}

QString joined(const QStringList& parts) {
    QStringList kept;
    for (const QString& p : parts)
        if (!p.isEmpty())
            kept << p;
    return kept.join(QLatin1Char('-'));
}

} // namespace

QString FileNamePart(const QString& text) {
    static const QString unsafe = QStringLiteral("/\\:*?\"<>|");
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        out += unsafe.contains(c) || c.category() == QChar::Other_Control ? QLatin1Char('_') : c;
    qsizetype start = 0;
    qsizetype end = out.size();
    while (start < end && (out.at(start).isSpace() || out.at(start) == QLatin1Char('.')))
        ++start;
    while (end > start && (out.at(end - 1).isSpace() || out.at(end - 1) == QLatin1Char('.')))
        --end;
    return out.mid(start, end - start);
}

QString ProposedBackupName(const QString& dataFilePath, const QDateTime& at) {
    return joined({FileNamePart(QFileInfo(dataFilePath).completeBaseName()), QStringLiteral("备份"),
                   at.toString(QStringLiteral("yyyyMMdd-HHmm"))}) +
           QStringLiteral(".tr");
}

QString ProposedBidDiskName(const QString& contractId, const QDate& on) {
    return joined({contractPart(contractId), QStringLiteral("投标盘"), on.toString(QStringLiteral("yyyyMMdd"))}) +
           QStringLiteral(".tr");
}

QString ProposedReportFileName(const QString& report, const QString& contractId) {
    const QString name = joined({FileNamePart(report), contractPart(contractId)});
    return (name.isEmpty() ? QStringLiteral("报表") : name) + QStringLiteral(".pdf");
}

} // namespace tenvora

#include "datamgmt/DataFileCheck.h"

#include "data/AppPaths.h"
#include "data/DataFileProbe.h"
#include "data/Database.h"
#include "datamgmt/FileCopy.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace tenvora {

namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

void checkWholeFile(const QString& path, Database::Mode mode) {
    Database db = Database::open(path, DataFileKey(), mode);
    db.checkIntegrity();
}

bool mayWrite(const QString& path) {
    try {
        ProbeDataFile(path, true);
        return true;
    } catch (const DataFileError&) {
        return false;
    }
}

} // namespace

QString CheckDataFile(const QString& path) {
    const QString sound = QStringLiteral("数据文件 %1 完好").arg(native(path));
    if (!HasHotJournal(path)) {
        checkWholeFile(path, Database::Mode::Verify);
        return sound;
    }
    const QString journal = native(JournalPathFor(path));
    if (mayWrite(path)) {
        checkWholeFile(path, Database::Mode::Recover);
        return sound +
               QStringLiteral("。上次被中断的修改已经撤销（日志文件 %1），文件回到那次修改之前的样子").arg(journal);
    }

    // The file may not be written here: the interrupted change is undone on a copy of the file
    // and its journal, so the file can still be judged as the next writable open will find it.
    const QString interrupted = QStringLiteral("文件中有一次被中断的修改（日志文件 %1）；文件不能写入，这里无法撤销，"
                                               "下次以可写方式打开时会自动撤销")
                                    .arg(journal);
    QTemporaryDir scratch;
    if (!scratch.isValid())
        throw DataFileError(QStringLiteral("数据文件 %1：%2。无法建立临时文件夹来检查撤销后的内容：%3")
                                .arg(native(path), interrupted, scratch.errorString()));
    const QString copy = scratch.filePath(QFileInfo(path).fileName());
    try {
        CopyFileReplacing(path, copy);
        CopyFileReplacing(JournalPathFor(path), JournalPathFor(copy));
        checkWholeFile(copy, Database::Mode::Recover);
    } catch (const Error& e) {
        QString reason = e.text();
        reason.replace(native(copy), native(path));
        throw DataFileError(QStringLiteral("%1\n（%2）").arg(reason, interrupted));
    }
    return sound + QStringLiteral("（撤销那次中断的修改之后）。") + interrupted;
}

} // namespace tenvora

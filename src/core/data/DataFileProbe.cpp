#include "data/DataFileProbe.h"

#include "data/Errors.h"
#include "data/SystemErrorText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>
#endif

namespace tenvora {

namespace {

[[noreturn]] void refuse(const QString& path, const QString& reason) {
    throw DataFileError(QStringLiteral("无法打开数据文件 %1：%2").arg(QDir::toNativeSeparators(path), reason));
}

#ifdef Q_OS_UNIX
bool onReadOnlyFileSystem(const QByteArray& path) {
    struct statvfs fs {};
    return ::statvfs(path.constData(), &fs) == 0 && (fs.f_flag & ST_RDONLY) != 0;
}

void probeAccess(const QString& path, bool forWriting) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM)
            refuse(path, QStringLiteral("没有读取这个文件的权限，请检查文件的权限设置"));
        refuse(path, SystemErrorText(error));
    }
    ::close(fd);
    if (!forWriting)
        return;

    static const QString copyAdvice = QStringLiteral("把数据文件复制到可以写入的文件夹后再打开");
    if (onReadOnlyFileSystem(name))
        refuse(
            path,
            QStringLiteral("数据文件所在的文件系统是只读的（例如光盘或只读挂载），报价无法保存。请%1").arg(copyAdvice));
    if (::access(name.constData(), W_OK) != 0)
        refuse(path, QStringLiteral("数据文件是只读的（没有写入权限），报价无法保存。请去掉文件的只读属性，或%1")
                         .arg(copyAdvice));
    const QString folder = QFileInfo(path).absolutePath();
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        refuse(path, QStringLiteral("数据文件所在的文件夹 %1 不允许写入，而保存修改时要在其中建立日志文件。请%2")
                         .arg(QDir::toNativeSeparators(folder), copyAdvice));
}
#else
void probeAccess(const QString& path, bool forWriting) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        refuse(path, file.errorString());
    if (forWriting && !QFileInfo(path).isWritable())
        refuse(path, QStringLiteral("数据文件是只读的，报价无法保存。请去掉文件的只读属性后再打开"));
}
#endif

} // namespace

QString JournalPathFor(const QString& dataFile) {
    return dataFile + QStringLiteral("-journal");
}

bool HasHotJournal(const QString& dataFile) {
    QFile journal(JournalPathFor(dataFile));
    // The store's journal starts with these bytes; one that was emptied or zeroed holds nothing.
    static const QByteArray magic = QByteArray::fromHex("d9d505f920a163d7");
    if (!journal.open(QIODevice::ReadOnly) || journal.read(magic.size()) != magic)
        return false;
#ifdef Q_OS_UNIX
    // A change in progress holds the store's reserved lock on the data file (the byte after its
    // pending byte at 1 GiB); only a journal that nobody holds is left from an interrupted one.
    const int fd = ::open(QFile::encodeName(dataFile).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock reserved {};
    reserved.l_type = F_WRLCK;
    reserved.l_whence = SEEK_SET;
    reserved.l_start = 0x40000000 + 1;
    reserved.l_len = 1;
    const bool held = ::fcntl(fd, F_GETLK, &reserved) == 0 && reserved.l_type != F_UNLCK;
    ::close(fd);
    return !held;
#else
    return true;
#endif
}

void ProbeDataFile(const QString& path, bool forWriting) {
    const QFileInfo info(path);
    if (!info.exists())
        refuse(path, QStringLiteral("文件不存在"));
    if (const QString kind = NotAFileKind(path); !kind.isEmpty())
        refuse(path, QStringLiteral("这是一个%1，不是一个文件").arg(kind));
    if (!info.isFile())
        refuse(path, QStringLiteral("不是一个文件"));
    if (info.size() == 0)
        refuse(path, QStringLiteral("文件是空的（0 字节），不是数据文件"));
    probeAccess(path, forWriting);
    // The store would read a short last page as if padded with zeros and accept the file.
    const qint64 partial = info.size() % kDataFilePageSize;
    if (partial != 0)
        refuse(path, QStringLiteral("长度 %1 字节不是整页（每页 %2 字节，最后一页缺少 %3 字节），不是完整的数据文件："
                                    "文件可能只复制了一部分，或者根本不是本系统的数据文件。请用完整的文件或备份")
                         .arg(info.size())
                         .arg(kDataFilePageSize)
                         .arg(kDataFilePageSize - partial));
}

} // namespace tenvora

#include "data/SystemErrorText.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace tenvora {

QString SystemErrorText(int errnum) {
    switch (errnum) {
    case 0:
        return QStringLiteral("原因不明");
    case ENOSPC:
        return QStringLiteral("磁盘空间已满");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("超出了磁盘配额");
#endif
    case EFBIG:
        return QStringLiteral("文件超出了允许的大小");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有访问权限");
    case EROFS:
        return QStringLiteral("文件系统是只读的");
    case EIO:
        return QStringLiteral("读写出错（磁盘或介质可能有故障）");
    case ENOENT:
        return QStringLiteral("文件或文件夹不存在");
    case ENOTDIR:
        return QStringLiteral("路径中有一段不是文件夹");
    case EISDIR:
        return QStringLiteral("这是一个文件夹");
    case EEXIST:
        return QStringLiteral("同名文件已经存在");
    case ENAMETOOLONG:
        return QStringLiteral("文件名太长");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("打开的文件太多");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("文件正被占用");
    case EXDEV:
        return QStringLiteral("不能跨磁盘移动文件");
    case ENOMEM:
        return QStringLiteral("内存不足");
    default:
        return QStringLiteral("系统错误 %1（%2）").arg(errnum).arg(QString::fromLocal8Bit(std::strerror(errnum)));
    }
}

QString NotAFileKind(const QString& path) {
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return {};
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("文件夹");
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return QStringLiteral("设备");
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("命名管道（FIFO）");
    if (S_ISSOCK(st.st_mode))
        return QStringLiteral("套接字");
    return QStringLiteral("特殊文件");
}

} // namespace tenvora

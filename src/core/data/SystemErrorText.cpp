#include "data/SystemErrorText.h"

#include <cerrno>
#include <cstring>

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

} // namespace tenvora

// The operating system's file errors in the words the user reads.
#pragma once

#include <QString>

namespace tenvora {

// A short Chinese reason for an errno value ("磁盘空间已满", "没有访问权限", ...).
QString SystemErrorText(int errnum);

// What a path names when that is not an ordinary file: "文件夹", "设备", "命名管道（FIFO）",
// "套接字"; empty for an ordinary file and for nothing at all. Links are followed, so a link to
// a device is a device.
QString NotAFileKind(const QString& path);

} // namespace tenvora

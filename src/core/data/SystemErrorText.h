// The operating system's file errors in the words the user reads.
#pragma once

#include <QString>

namespace tenvora {

// A short Chinese reason for an errno value ("磁盘空间已满", "没有访问权限", ...).
QString SystemErrorText(int errnum);

} // namespace tenvora

#include "data/DataFileLock.h"

#include "data/DataFileProbe.h"
#include "data/Errors.h"
#include "data/SystemErrorText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QSysInfo>
#include <QThread>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tenvora {

namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString programName() {
    return QCoreApplication::instance() ? QFileInfo(QCoreApplication::applicationFilePath()).fileName() : QString();
}

bool sameFile(int fd, const QByteArray& path) {
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 && ::stat(path.constData(), &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

// The lock files this process holds: its own lock is no other holder, even when a full disk kept
// the holder's name out of the file.
QMutex heldMutex;
QSet<QString>& heldHere() {
    static QSet<QString> held;
    return held;
}

bool isHeldHere(const QString& lockFile) {
    const QMutexLocker locker(&heldMutex);
    return heldHere().contains(lockFile);
}

DataFileHolder readHolder(int fd) {
    QByteArray text(512, '\0');
    const ssize_t n = ::pread(fd, text.data(), static_cast<size_t>(text.size()), 0);
    text.truncate(n > 0 ? n : 0);
    const QList<QByteArray> lines = text.split('\n');
    DataFileHolder holder;
    holder.pid = lines.value(0).toLongLong();
    holder.host = QString::fromUtf8(lines.value(1));
    holder.program = QString::fromUtf8(lines.value(2));
    return holder;
}

} // namespace

DataFileLock::DataFileLock(QString dataFilePath)
    : m_dataFile(std::move(dataFilePath)), m_lockFile(lockPathFor(m_dataFile)) {}

DataFileLock::~DataFileLock() {
    release();
}

QString DataFileLock::lockPathFor(const QString& dataFilePath) {
    return QFileInfo(dataFilePath).absoluteFilePath() + QStringLiteral(".lock");
}

bool DataFileLock::tryTake() {
    const QByteArray path = QFile::encodeName(m_lockFile);
    for (;;) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0) {
            const int error = errno;
            // A read-only file or folder is better named by what it means for the data file.
            ProbeDataFile(m_dataFile, true);
            throw DataFileError(QStringLiteral("无法在数据文件所在的文件夹 %1 中建立锁文件 %2（%3）。"
                                               "本程序要在该文件夹中写入，请换到可以写入的文件夹。")
                                    .arg(native(QFileInfo(m_lockFile).absolutePath()), QFileInfo(m_lockFile).fileName(),
                                         SystemErrorText(error)));
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK || error == EAGAIN || error == EINTR)
                return false;
            throw DataFileError(
                QStringLiteral("无法锁定数据文件 %1（%2）").arg(native(m_dataFile), SystemErrorText(error)));
        }
        // The last holder removes the file on leaving: a lock on a file no longer at the path holds nothing.
        if (sameFile(fd, path)) {
            const QByteArray text = QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
                                    QSysInfo::machineHostName().toUtf8() + '\n' + programName().toUtf8() + '\n';
            // Without the text the lock still holds; others then name no holder.
            if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, text.constData(), static_cast<size_t>(text.size()), 0) > 0)
                ::fsync(fd);
            m_fd = fd;
            const QMutexLocker locker(&heldMutex);
            heldHere().insert(m_lockFile);
            return true;
        }
        ::close(fd);
    }
}

void DataFileLock::acquire(std::chrono::milliseconds wait) {
    if (isHeld())
        return;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (!tryTake()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            DataFileHolder holder;
            if (const std::optional<DataFileHolder> other = otherHolder(m_dataFile))
                holder = *other;
            throw DataFileError(busyText(m_dataFile, holder));
        }
        QThread::msleep(100);
    }
}

void DataFileLock::release() {
    if (m_fd < 0)
        return;
    const QByteArray path = QFile::encodeName(m_lockFile);
    // Removed while still locked, so nobody takes over a file that is about to vanish.
    if (sameFile(m_fd, path))
        ::unlink(path.constData());
    ::close(m_fd);
    m_fd = -1;
    const QMutexLocker locker(&heldMutex);
    heldHere().remove(m_lockFile);
}

std::optional<DataFileHolder> DataFileLock::otherHolder(const QString& dataFilePath) {
    if (isHeldHere(lockPathFor(dataFilePath)))
        return std::nullopt;
    const QByteArray path = QFile::encodeName(lockPathFor(dataFilePath));
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return std::nullopt;
    if (::flock(fd, LOCK_SH | LOCK_NB) == 0) {
        // A lock file nobody holds is what a killed program leaves: stale.
        ::close(fd);
        return std::nullopt;
    }
    const DataFileHolder holder = readHolder(fd);
    ::close(fd);
    return holder;
}

QString DataFileLock::busyText(const QString& dataFilePath, const DataFileHolder& holder) {
    QString who = QStringLiteral("另一个程序");
    if (holder.pid > 0)
        who = QStringLiteral("主机“%1”上的 %2（进程号 %3）")
                  .arg(holder.host, holder.program.isEmpty() ? QStringLiteral("程序") : holder.program)
                  .arg(holder.pid);
    return QStringLiteral("数据文件 %1 正在使用中：%2打开了它。\n同一时间只能有一个程序修改数据文件，"
                          "请先关闭那个程序再试。")
        .arg(native(dataFilePath), who);
}

} // namespace tenvora

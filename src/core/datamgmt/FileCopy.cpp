#include "datamgmt/FileCopy.h"

#include "data/Errors.h"
#include "data/SystemErrorText.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSysInfo>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tenvora {

namespace {

constexpr size_t kChunk = 1 << 20;

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

// The host as it may stand in a file name.
QString hostToken() {
    QString host = QSysInfo::machineHostName();
    for (QChar& c : host)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('-'))
            c = QLatin1Char('_');
    return host.isEmpty() ? QStringLiteral("host") : host;
}

// ".NAME.part-HOST-PID-XXXXXX": hidden, and telling whose it is.
const QRegularExpression& stagePattern() {
    static const QRegularExpression pattern(QStringLiteral("^\\..+\\.part-(.+)-(\\d+)-[A-Za-z0-9]{6}$"));
    return pattern;
}

bool processRunning(qint64 pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

void syncFolder(const QString& folder) {
    const int fd = ::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

ssize_t readSome(int fd, char* data, size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, data, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

// Closes on every way out.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

QString StageNameFor(const QString& target) {
    static const QLatin1String letters("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    QString token;
    for (int i = 0; i < 6; ++i)
        token += letters[QRandomGenerator::global()->bounded(static_cast<int>(letters.size()))];
    const QFileInfo info(target);
    return info.absoluteDir().filePath(QStringLiteral(".%1.part-%2-%3-%4")
                                           .arg(info.fileName(), hostToken())
                                           .arg(QCoreApplication::applicationPid())
                                           .arg(token));
}

int RemoveAbandonedStages(const QString& folder, const QString& target) {
    const QDir dir(folder);
    const QString host = hostToken();
    const QString oldPrefix =
        target.isEmpty() ? QString() : QLatin1Char('.') + QFileInfo(target).fileName() + QLatin1Char('.');
    static const QRegularExpression oldSuffix(QStringLiteral("^[A-Za-z0-9]{6}$"));
    const QDateTime anHourAgo = QDateTime::currentDateTimeUtc().addSecs(-3600);
    int removed = 0;
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString name = entry.fileName();
        if (!name.startsWith(QLatin1Char('.')))
            continue;
        bool abandoned = false;
        const QRegularExpressionMatch m = stagePattern().match(name);
        if (m.hasMatch())
            abandoned = m.captured(1) == host && !processRunning(m.captured(2).toLongLong());
        else if (!oldPrefix.isEmpty() && name.startsWith(oldPrefix))
            abandoned =
                oldSuffix.match(name.mid(oldPrefix.size())).hasMatch() && entry.lastModified().toUTC() < anHourAgo;
        if (abandoned && QFile::remove(entry.absoluteFilePath()))
            ++removed;
    }
    return removed;
}

StagedFileCopy::StagedFileCopy(const QString& source, const QString& target)
    : m_target(QFileInfo(target).absoluteFilePath()) {
    const QFileInfo from(source);
    if (!from.exists())
        throw Error(QStringLiteral("文件 %1 不存在").arg(native(source)));
    if (!from.isFile())
        throw Error(QStringLiteral("%1 不是一个文件").arg(native(source)));
    const QFileInfo to(m_target);
    const QString folder = to.absolutePath();
    if (!to.absoluteDir().exists())
        throw Error(QStringLiteral("文件夹 %1 不存在").arg(native(folder)));
    if (to.isDir())
        throw Error(QStringLiteral("%1 是一个文件夹，不能用作文件名").arg(native(m_target)));

    RemoveAbandonedStages(folder, m_target);
    m_stage = StageNameFor(m_target);
#ifdef O_TMPFILE
    m_fd = ::open(encoded(folder).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    m_unnamed = m_fd >= 0;
    // Only a file system without unnamed files falls back to a named stage.
    if (m_fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        throw Error(QStringLiteral("无法在文件夹 %1 中写入文件：%2").arg(native(folder), SystemErrorText(errno)));
#endif
    if (m_fd < 0) {
        m_fd = ::open(encoded(m_stage).constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
        if (m_fd < 0)
            throw Error(QStringLiteral("无法在文件夹 %1 中写入文件：%2").arg(native(folder), SystemErrorText(errno)));
    }
    try {
        copyFrom(source);
    } catch (...) {
        // The destructor does not run for a half-built object: the stage goes here.
        discard();
        throw;
    }
}

StagedFileCopy::~StagedFileCopy() {
    if (!m_committed)
        discard();
}

void StagedFileCopy::discard() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
        if (!m_unnamed)
            ::unlink(encoded(m_stage).constData());
    }
}

void StagedFileCopy::copyFrom(const QString& source) {
    const FileDescriptor in(::open(encoded(source).constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        throw Error(QStringLiteral("无法读取 %1：%2").arg(native(source), SystemErrorText(errno)));
    const auto writeFailed = [&](int error) {
        return Error(QStringLiteral("写入 %1 失败：%2").arg(native(m_target), SystemErrorText(error)));
    };

    QCryptographicHash written(QCryptographicHash::Sha256);
    QByteArray buffer(static_cast<qsizetype>(kChunk), Qt::Uninitialized);
    for (;;) {
        const ssize_t n = readSome(in.get(), buffer.data(), kChunk);
        if (n < 0)
            throw Error(QStringLiteral("读取 %1 时出错：%2").arg(native(source), SystemErrorText(errno)));
        if (n == 0)
            break;
        written.addData(QByteArrayView(buffer.constData(), n));
        if (!writeAll(m_fd, buffer.constData(), static_cast<size_t>(n)))
            throw writeFailed(errno);
    }
    // A full disk may only show when the cached bytes go to the disk.
    if (::fsync(m_fd) != 0)
        throw writeFailed(errno);

    // Read back what reached the stage: a short or damaged write must not replace anything.
    QCryptographicHash readBack(QCryptographicHash::Sha256);
    if (::lseek(m_fd, 0, SEEK_SET) != 0)
        throw Error(QStringLiteral("无法读回写入 %1 的内容：%2").arg(native(m_target), SystemErrorText(errno)));
    for (;;) {
        const ssize_t n = readSome(m_fd, buffer.data(), kChunk);
        if (n < 0)
            throw Error(QStringLiteral("无法读回写入 %1 的内容：%2").arg(native(m_target), SystemErrorText(errno)));
        if (n == 0)
            break;
        readBack.addData(QByteArrayView(buffer.constData(), n));
    }
    if (readBack.result() != written.result())
        throw Error(QStringLiteral("写入 %1 的内容与 %2 不一致").arg(native(m_target), native(source)));

    // A copy taken from read-only media must still be writable where it lands (a restored data file).
    struct stat st {};
    if (::fstat(in.get(), &st) == 0)
        ::fchmod(m_fd, (st.st_mode & 07777) | S_IRUSR | S_IWUSR);
}

void StagedFileCopy::commit() {
    if (m_committed)
        return;
    const QByteArray stage = encoded(m_stage);
    if (m_unnamed) {
        // The stage gets its name only now, a moment before the rename below.
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, stage.constData(), AT_SYMLINK_FOLLOW) != 0 &&
            ::linkat(m_fd, "", AT_FDCWD, stage.constData(), AT_EMPTY_PATH) != 0)
            throw Error(QStringLiteral("无法替换 %1：%2").arg(native(m_target), SystemErrorText(errno)));
        m_unnamed = false;
    }
    if (::rename(stage.constData(), encoded(m_target).constData()) != 0) {
        const int error = errno;
        throw Error(QStringLiteral("无法替换 %1：%2").arg(native(m_target), SystemErrorText(error)));
    }
    m_committed = true;
    ::close(m_fd);
    m_fd = -1;
    syncFolder(QFileInfo(m_target).absolutePath());
}

NamedStage::NamedStage(const QString& target) : m_target(QFileInfo(target).absoluteFilePath()) {
    const QFileInfo to(m_target);
    if (!to.absoluteDir().exists())
        throw Error(QStringLiteral("文件夹 %1 不存在").arg(native(to.absolutePath())));
    if (to.isDir())
        throw Error(QStringLiteral("%1 是一个文件夹，不能用作文件名").arg(native(m_target)));
    RemoveAbandonedStages(to.absolutePath(), m_target);
    m_stage = StageNameFor(m_target);
}

NamedStage::~NamedStage() {
    if (m_committed)
        return;
    ::unlink(encoded(m_stage).constData());
    // A store that wrote into the stage may have left its journal beside it.
    ::unlink(encoded(m_stage + QStringLiteral("-journal")).constData());
}

void NamedStage::commit() {
    if (m_committed)
        return;
    {
        // Whatever wrote the stage, its bytes are on the disk before its name is.
        const FileDescriptor stage(::open(encoded(m_stage).constData(), O_RDONLY | O_CLOEXEC));
        if (stage.get() < 0 || ::fsync(stage.get()) != 0)
            throw Error(QStringLiteral("写入 %1 失败：%2").arg(native(m_target), SystemErrorText(errno)));
    }
    if (::rename(encoded(m_stage).constData(), encoded(m_target).constData()) != 0) {
        const int error = errno;
        throw Error(QStringLiteral("无法替换 %1：%2").arg(native(m_target), SystemErrorText(error)));
    }
    m_committed = true;
    syncFolder(QFileInfo(m_target).absolutePath());
}

void CopyFileReplacing(const QString& source, const QString& target) {
    StagedFileCopy copy(source, target);
    copy.commit();
}

} // namespace tenvora

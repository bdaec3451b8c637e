#include "datamgmt/FileCopy.h"

#include "data/Errors.h"
#include "data/SystemErrorText.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSysInfo>

#include <cerrno>
#include <csignal>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tenvora {

namespace {

constexpr size_t kChunk = 1 << 20;
constexpr qsizetype kWriteBuffer = 256 * 1024;
// A host name may be 64 characters and more; the stage's name stays short whatever the target's.
constexpr qsizetype kHostInStageName = 24;

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
    return host.isEmpty() ? QStringLiteral("host") : host.left(kHostInStageName);
}

// ".tenvora-HOST-PID-XXXXXX.part": hidden, short, and telling whose it is.
const QRegularExpression& stagePattern() {
    static const QRegularExpression pattern(QStringLiteral("^\\.tenvora-(.+)-(\\d+)-[A-Za-z0-9]{6}\\.part$"));
    return pattern;
}

// ".NAME.part-HOST-PID-XXXXXX", as earlier versions named their stages.
const QRegularExpression& namedStagePattern() {
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

// Writes through to the stage; what a failed write means is kept for commit().
class StagedFile::Device : public QIODevice {
public:
    explicit Device(StagedFile& file) : m_file(file) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        m_file.m_buffer.append(data, size);
        if (m_file.m_buffer.size() >= kWriteBuffer)
            m_file.flushBuffer();
        return m_file.m_writeError == 0 ? size : -1;
    }

private:
    StagedFile& m_file;
};

QString StageNameFor(const QString& target) {
    static const QLatin1String letters("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    QString token;
    for (int i = 0; i < 6; ++i)
        token += letters[QRandomGenerator::global()->bounded(static_cast<int>(letters.size()))];
    const QFileInfo info(target);
    return info.absoluteDir().filePath(
        QStringLiteral(".tenvora-%1-%2-%3.part").arg(hostToken()).arg(QCoreApplication::applicationPid()).arg(token));
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
        QRegularExpressionMatch m = stagePattern().match(name);
        if (!m.hasMatch())
            m = namedStagePattern().match(name);
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

void CheckTargetFileName(const QString& path) {
    if (path.isEmpty())
        throw Refused(QStringLiteral("没有给出文件名"));
    const QString shown = native(path);
    const QString last = path.section(QLatin1Char('/'), -1);
    if (last.isEmpty() || path.endsWith(QDir::separator()) || last == QLatin1String(".") || last == QLatin1String(".."))
        throw Refused(QStringLiteral("%1 指的是文件夹，不是文件名，请给出文件名").arg(shown));
    const QString kind = NotAFileKind(path);
    if (kind == QLatin1String("文件夹"))
        throw Refused(QStringLiteral("%1 是一个文件夹，不能用作文件名").arg(shown));
    if (!kind.isEmpty())
        throw Refused(QStringLiteral("%1 是一个%2，不是普通文件，不能写成文件").arg(shown, kind));
}

// ---- StagedFile ----

StagedFile::StagedFile(const QString& target) {
    CheckTargetFileName(target);
    m_target = QFileInfo(target).absoluteFilePath();
    const QFileInfo to(m_target);
    const QString folder = to.absolutePath();
    if (!to.absoluteDir().exists())
        throw Error(QStringLiteral("文件夹 %1 不存在").arg(native(folder)));

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
    // What a new file of the user's gets; the stage itself stays private while it is made.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    m_mode = 0666 & ~mask;
}

StagedFile::~StagedFile() {
    if (!m_committed)
        discard();
}

void StagedFile::failWrite(int error) const {
    throw Error(QStringLiteral("写入 %1 失败：%2").arg(native(m_target), SystemErrorText(error)));
}

void StagedFile::flushBuffer() {
    if (m_buffer.isEmpty())
        return;
    if (m_writeError == 0 && !writeAll(m_fd, m_buffer.constData(), static_cast<size_t>(m_buffer.size())))
        m_writeError = errno != 0 ? errno : EIO;
    m_buffer.clear();
}

void StagedFile::write(QByteArrayView bytes) {
    m_buffer.append(bytes);
    if (m_buffer.size() >= kWriteBuffer)
        flushBuffer();
    if (m_writeError != 0)
        failWrite(m_writeError);
}

QIODevice& StagedFile::device() {
    if (!m_device)
        m_device = std::make_unique<Device>(*this);
    return *m_device;
}

QString StagedFile::pathForWriting() {
    if (m_unnamed) {
        // The unnamed file opened again through the process's own view of its descriptors.
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
        if (::access(self.constData(), W_OK) == 0)
            return QString::fromLatin1(self);
        if (::linkat(m_fd, "", AT_FDCWD, encoded(m_stage).constData(), AT_EMPTY_PATH) != 0)
            throw Error(QStringLiteral("无法在文件夹 %1 中写入文件：%2")
                            .arg(native(QFileInfo(m_target).absolutePath()), SystemErrorText(errno)));
        m_unnamed = false;
    }
    return m_stage;
}

void StagedFile::discard() {
    m_device.reset();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
        if (!m_unnamed)
            ::unlink(encoded(m_stage).constData());
    }
}

void StagedFile::flush() {
    flushBuffer();
    if (m_writeError != 0)
        failWrite(m_writeError);
    // A full disk may only show when the cached bytes go to the disk.
    if (::fsync(m_fd) != 0)
        failWrite(errno);
}

void StagedFile::commit() {
    if (m_committed)
        return;
    flush();
    ::fchmod(m_fd, static_cast<mode_t>(m_mode));
    const QByteArray stage = encoded(m_stage);
    if (m_unnamed) {
        // The stage gets its name only now, a moment before the rename below.
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, stage.constData(), AT_SYMLINK_FOLLOW) != 0 &&
            ::linkat(m_fd, "", AT_FDCWD, stage.constData(), AT_EMPTY_PATH) != 0)
            throw Error(QStringLiteral("无法替换 %1：%2").arg(native(m_target), SystemErrorText(errno)));
        m_unnamed = false;
    }
    m_device.reset();
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0 && errno != EINTR) {
        const int error = errno;
        ::unlink(stage.constData());
        failWrite(error);
    }
    if (::rename(stage.constData(), encoded(m_target).constData()) != 0) {
        const int error = errno;
        ::unlink(stage.constData());
        throw Error(QStringLiteral("无法替换 %1：%2").arg(native(m_target), SystemErrorText(error)));
    }
    m_committed = true;
    syncFolder(QFileInfo(m_target).absolutePath());
}

// ---- StagedFileCopy ----

StagedFileCopy::StagedFileCopy(const QString& source, const QString& target) {
    const QFileInfo from(source);
    if (!from.exists())
        throw Error(QStringLiteral("文件 %1 不存在").arg(native(source)));
    if (const QString kind = NotAFileKind(source); !kind.isEmpty())
        throw Error(QStringLiteral("%1 是一个%2，不是文件").arg(native(source), kind));
    m_file = std::make_unique<StagedFile>(target);
    // A failure here ends the object half-built: m_file discards the stage on the way out.
    copyFrom(source);
}

StagedFileCopy::~StagedFileCopy() = default;

void StagedFileCopy::copyFrom(const QString& source) {
    const FileDescriptor in(::open(encoded(source).constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        throw Error(QStringLiteral("无法读取 %1：%2").arg(native(source), SystemErrorText(errno)));
    const int out = m_file->descriptor();
    const QString& target = m_file->target();

    QCryptographicHash written(QCryptographicHash::Sha256);
    QByteArray buffer(static_cast<qsizetype>(kChunk), Qt::Uninitialized);
    for (;;) {
        const ssize_t n = readSome(in.get(), buffer.data(), kChunk);
        if (n < 0)
            throw Error(QStringLiteral("读取 %1 时出错：%2").arg(native(source), SystemErrorText(errno)));
        if (n == 0)
            break;
        written.addData(QByteArrayView(buffer.constData(), n));
        if (!writeAll(out, buffer.constData(), static_cast<size_t>(n)))
            m_file->failWrite(errno);
    }
    // A full disk may only show when the cached bytes go to the disk.
    if (::fsync(out) != 0)
        m_file->failWrite(errno);

    // Read back what reached the stage: a short or damaged write must not replace anything.
    QCryptographicHash readBack(QCryptographicHash::Sha256);
    if (::lseek(out, 0, SEEK_SET) != 0)
        throw Error(QStringLiteral("无法读回写入 %1 的内容：%2").arg(native(target), SystemErrorText(errno)));
    for (;;) {
        const ssize_t n = readSome(out, buffer.data(), kChunk);
        if (n < 0)
            throw Error(QStringLiteral("无法读回写入 %1 的内容：%2").arg(native(target), SystemErrorText(errno)));
        if (n == 0)
            break;
        readBack.addData(QByteArrayView(buffer.constData(), n));
    }
    if (readBack.result() != written.result())
        throw Error(QStringLiteral("写入 %1 的内容与 %2 不一致").arg(native(target), native(source)));

    // A copy taken from read-only media must still be writable where it lands (a restored data file).
    struct stat st {};
    if (::fstat(in.get(), &st) == 0)
        m_file->setMode((st.st_mode & 07777) | S_IRUSR | S_IWUSR);
}

void StagedFileCopy::commit() {
    m_file->commit();
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

void WriteFileReplacing(const QString& target, QByteArrayView bytes) {
    StagedFile file(target);
    file.write(bytes);
    file.commit();
}

} // namespace tenvora

#include "datamgmt/FileCopy.h"

#include "data/Errors.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tenvora {

namespace {

constexpr qint64 kChunk = 1 << 20;

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

std::filesystem::path fsPath(const QString& path) {
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// Asks the system to put the file's bytes on the disk, not only in its cache.
bool syncToDisk(QFile& file) {
    if (!file.flush())
        return false;
#ifdef Q_OS_WIN
    return ::_commit(file.handle()) == 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

// The rename itself lives in the folder's entry list; without this a power cut could undo it.
void syncFolder(const QString& folder) {
#ifndef Q_OS_WIN
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(folder);
#endif
}

QByteArray digestOf(const QString& path, QString& failure) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        failure = file.errorString();
        return {};
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file) || file.error() != QFileDevice::NoError) {
        failure = file.errorString();
        return {};
    }
    return hash.result();
}

} // namespace

StagedFileCopy::StagedFileCopy(const QString& source, const QString& target)
    : m_target(QFileInfo(target).absoluteFilePath()) {
    const QFileInfo from(source);
    if (!from.exists())
        throw Error(QStringLiteral("文件 %1 不存在").arg(native(source)));
    if (!from.isFile())
        throw Error(QStringLiteral("%1 不是一个文件").arg(native(source)));
    const QFileInfo to(m_target);
    if (!to.absoluteDir().exists())
        throw Error(QStringLiteral("文件夹 %1 不存在").arg(native(to.absolutePath())));
    if (to.isDir())
        throw Error(QStringLiteral("%1 是一个文件夹，不能用作文件名").arg(native(m_target)));

    // Hidden, so the half-made stage never shows up in a file list.
    QTemporaryFile stage(to.absoluteDir().filePath(QLatin1Char('.') + to.fileName() + QStringLiteral(".XXXXXX")));
    stage.setAutoRemove(false);
    if (!stage.open())
        throw Error(
            QStringLiteral("无法在文件夹 %1 中写入文件：%2").arg(native(to.absolutePath()), stage.errorString()));
    m_stage = stage.fileName();
    stage.close();
    try {
        copyInto(source);
    } catch (...) {
        // The destructor does not run for a half-built object: the stage goes here.
        QFile::remove(m_stage);
        throw;
    }
}

StagedFileCopy::~StagedFileCopy() {
    if (!m_committed && !m_stage.isEmpty())
        QFile::remove(m_stage);
}

void StagedFileCopy::copyInto(const QString& source) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("无法读取 %1：%2").arg(native(source), in.errorString()));
    QFile out(m_stage);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Error(QStringLiteral("无法写入 %1：%2").arg(native(m_target), out.errorString()));

    const auto writeFailed = [&] {
        return Error(QStringLiteral("写入 %1 失败：%2").arg(native(m_target), out.errorString()));
    };
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray buffer;
    while (true) {
        buffer = in.read(kChunk);
        if (buffer.isEmpty())
            break;
        hash.addData(buffer);
        if (out.write(buffer) != buffer.size())
            throw writeFailed();
    }
    if (in.error() != QFileDevice::NoError)
        throw Error(QStringLiteral("读取 %1 时出错：%2").arg(native(source), in.errorString()));
    if (!syncToDisk(out))
        throw writeFailed();
    out.close();
    if (out.error() != QFileDevice::NoError)
        throw writeFailed();
    m_digest = hash.result();

    // Read back what reached the disk: a short or damaged write must not replace anything.
    QString failure;
    const QByteArray written = digestOf(m_stage, failure);
    if (written.isEmpty())
        throw Error(QStringLiteral("无法读回写入 %1 的内容：%2").arg(native(m_target), failure));
    if (written != m_digest)
        throw Error(QStringLiteral("写入 %1 的内容与 %2 不一致").arg(native(m_target), native(source)));

    // A copy taken from read-only media must still be writable where it lands (a restored data file).
    QFile::setPermissions(m_stage, in.permissions() | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void StagedFileCopy::commit() {
    if (m_committed)
        return;
    std::error_code ec;
    std::filesystem::rename(fsPath(m_stage), fsPath(m_target), ec);
    if (ec)
        throw Error(
            QStringLiteral("无法替换 %1：%2").arg(native(m_target), QString::fromLocal8Bit(ec.message().c_str())));
    m_committed = true;
    syncFolder(QFileInfo(m_target).absolutePath());
}

void CopyFileReplacing(const QString& source, const QString& target) {
    StagedFileCopy copy(source, target);
    copy.commit();
}

} // namespace tenvora

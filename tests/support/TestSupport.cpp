#include "support/TestSupport.h"

#include "data/AppPaths.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "demo/DemoData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace tenvora::test {

namespace {

// Every test program keeps the workbench's settings in a folder of its own that goes with it, so
// no test reads what an earlier run left and none writes into the user's own settings.
const struct SettingsFolder {
    SettingsFolder() { qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit()); }
    QTemporaryDir dir;
} settingsFolder;

} // namespace

TempDataFile::TempDataFile(bool priced) : m_path(QDir(m_dir.path()).filePath(QStringLiteral("VORQEL.tr"))) {
    CreateDemoDataFile(m_path, priced, false);
}

std::unique_ptr<DataModule> TempDataFile::open() {
    return std::make_unique<DataModule>(m_path);
}

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

CommaDecimalLocale::CommaDecimalLocale() {
    const QString target = QDir(m_dir.path()).filePath(QStringLiteral("de_DE.UTF-8"));
    const int rc =
        QProcess::execute(QStringLiteral("localedef"), {QStringLiteral("-i"), QStringLiteral("de_DE"),
                                                        QStringLiteral("-f"), QStringLiteral("UTF-8"), target});
    if (rc != 0 && rc != 1) // 1: compiled with warnings
        return;
    m_oldPath = qgetenv("LOCPATH");
    qputenv("LOCPATH", QFile::encodeName(m_dir.path()));
    const char* old = std::setlocale(LC_ALL, nullptr);
    m_oldLocale = old ? old : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        return;
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    m_active = std::string(probe) == "1,5";
}

CommaDecimalLocale::~CommaDecimalLocale() {
    std::setlocale(LC_ALL, m_oldLocale.empty() ? "C" : m_oldLocale.c_str());
    if (m_oldPath.isNull())
        qunsetenv("LOCPATH");
    else
        qputenv("LOCPATH", m_oldPath);
}

QStringList CommaDecimalLocale::environment() const {
    return {QStringLiteral("LOCPATH=") + m_dir.path(), QStringLiteral("LC_ALL=de_DE.UTF-8")};
}

SmallFileSystem::SmallFileSystem(qint64 bytes) {
#ifdef Q_OS_LINUX
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0777";
    if (::mount("tenvora-test", QFile::encodeName(m_dir.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                options.constData()) == 0)
        m_mounted = true;
    else
        m_why = QStringLiteral("a small file system cannot be mounted here (%1); it needs root")
                    .arg(QString::fromLocal8Bit(std::strerror(errno)));
#else
    Q_UNUSED(bytes);
    m_why = QStringLiteral("small file systems are mounted on Linux only");
#endif
}

SmallFileSystem::~SmallFileSystem() {
#ifdef Q_OS_LINUX
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
#endif
}

bool SmallFileSystem::fill(qint64 leave) {
#ifdef Q_OS_LINUX
    const QByteArray filler = QFile::encodeName(filePath(QStringLiteral(".filler")));
    const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const QByteArray block(4096, '\0');
    while (::write(fd, block.constData(), static_cast<size_t>(block.size())) > 0) {
    }
    const bool full = errno == ENOSPC;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    const bool freed = leave <= 0 || ::ftruncate(fd, std::max<off_t>(0, size - static_cast<off_t>(leave))) == 0;
    ::close(fd);
    return full && freed;
#else
    Q_UNUSED(leave);
    return false;
#endif
}

void SmallFileSystem::empty() {
    QFile::remove(filePath(QStringLiteral(".filler")));
}

bool SmallFileSystem::makeReadOnly() {
#ifdef Q_OS_LINUX
    return m_mounted && ::mount(nullptr, QFile::encodeName(m_dir.path()).constData(), nullptr,
                                MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) == 0;
#else
    return false;
#endif
}

QString CompareWithGolden(const QString& name, const QString& text) {
    const QString path = QDir(QStringLiteral(TENVORA_TEST_DATA_DIR "/golden")).filePath(name);
    if (qEnvironmentVariable("TENVORA_UPDATE_GOLDEN") == QLatin1String("1")) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        return WriteBytes(path, text.toUtf8()) ? QString() : QStringLiteral("cannot write ") + path;
    }
    if (!QFileInfo::exists(path))
        return QStringLiteral("no golden file %1 (run with TENVORA_UPDATE_GOLDEN=1 to write it)").arg(path);
    const QStringList expected = QString::fromUtf8(ReadBytes(path)).split(QLatin1Char('\n'));
    const QStringList actual = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < std::max(expected.size(), actual.size()); ++i) {
        const QString want = expected.value(i, QStringLiteral("<end>"));
        const QString got = actual.value(i, QStringLiteral("<end>"));
        if (want != got)
            return QStringLiteral("%1 line %2:\n  expected: %3\n  actual:   %4").arg(name).arg(i + 1).arg(want, got);
    }
    return {};
}

QString CreateEmptyDataFile(const QString& dir, const QString& name) {
    const QString path = QDir(dir).filePath(name);
    Database db = Database::create(path, DataFileKey());
    Schema::create(db);
    return path;
}

QString CreateDataFileWithDamagedLines(const QString& dir, const QString& name) {
    const QString path = QDir(dir).filePath(name);
    qint64 firstLinePage = 0;
    qint64 lastLinePage = 0;
    qint64 pageSize = 0;
    {
        Database db = Database::create(path, DataFileKey());
        Schema::create(db);
        Transaction tx(db);
        db.exec(QStringLiteral("insert into jd_xiangmu (ID, 项目名称) values ('P', '项目')"));
        db.exec(QStringLiteral("insert into jd_hetong (UPID, ID, 合同名称) values ('P', 'A1', 'A1合同段')"));
        db.exec(QStringLiteral("insert into 当前选择合同 (项目ID, 合同ID, 期数ID) values ('P', 'A1', '0')"));
        for (const DemoAccount& a : DemoAccounts())
            db.exec(QStringLiteral("insert into pass (unit, pass, bz) values (?, ?, ?)"),
                    {QString::fromUtf8(a.unit), QString::fromUtf8(a.password), QString::fromUtf8(a.kind)});
        // Only the lines grow from here on, so every page added is one of theirs.
        firstLinePage = db.scalar(QStringLiteral("PRAGMA page_count")).toLongLong() + 1;
        const QString longName = QStringLiteral("细目名称").repeated(60);
        for (int i = 0; i < 300; ++i)
            db.exec(QStringLiteral("insert into jd_htqd (合同编号, 章, 细目编号, 细目名称, 合同数量) "
                                   "values ('A1', '200', ?, ?, 10)"),
                    {QStringLiteral("201-%1").arg(i + 1), longName});
        tx.commit();
        lastLinePage = db.scalar(QStringLiteral("PRAGMA page_count")).toLongLong();
        pageSize = db.scalar(QStringLiteral("PRAGMA page_size")).toLongLong();
        Schema::ensureIndexes(db);
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite) || !f.seek((firstLinePage + lastLinePage) / 2 * pageSize - pageSize + 200) ||
        f.write(QByteArray(64, 'Z')) != 64)
        return {};
    return path;
}

} // namespace tenvora::test

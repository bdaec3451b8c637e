// Starting the workbench program on a data file it cannot use.
#ifdef TENVORA_GUI_PATH

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Runs a copy of the program in its own folder (the data file sits beside the program) and
// returns what it printed on stderr before it showed its message box.
QString startupError(const QString& dir) {
    const QString program = QDir(dir).filePath(QStringLiteral("VORQEL"));
    EXPECT_TRUE(QFile::copy(QStringLiteral(TENVORA_GUI_PATH), program));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.setReadChannel(QProcess::StandardError);
    p.start(program, {});
    QString err;
    // The box waits for a person; stderr names the file first, which is all this needs.
    for (int i = 0; i < 100 && !err.contains(QStringLiteral("VORQEL.tr")); ++i) {
        if (p.waitForReadyRead(200))
            err += QString::fromLocal8Bit(p.readAllStandardError());
        if (p.state() == QProcess::NotRunning)
            break;
    }
    p.kill();
    p.waitForFinished();
    return err;
}

} // namespace

TEST(WorkbenchStart, AnUnusableDataFileIsNamedWithTheReason) {
    struct Case {
        const char* name;
        QByteArray content; // empty: no file at all
        const char* reason;
    };
    const Case cases[] = {{"missing", {}, "不存在"}, {"foreign", QByteArray(8192, 'z'), "不是本系统的数据文件"}};
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString data = QDir(dir.path()).filePath(QStringLiteral("VORQEL.tr"));
        if (!c.content.isEmpty()) {
            QFile f(data);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.content);
        }
        const QString err = startupError(dir.path());
        EXPECT_TRUE(err.contains(data)) << c.name << ": " << err.toStdString();
        EXPECT_TRUE(err.contains(QString::fromUtf8(c.reason))) << c.name << ": " << err.toStdString();
        EXPECT_EQ(QFile::exists(data), !c.content.isEmpty()) << "no data file is ever created";
    }
}

#endif

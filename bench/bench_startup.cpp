// Start-up to the login dialog: the workbench on the large data file (20 contracts x 5,000 lines)
// and on the demo file, beside a minimal Qt Widgets program that shows one dialog, in turns in
// the same run. A start is timed from the process start until its first top-level window is
// mapped on the X server; the program is then ended. Runs its own Xvfb when DISPLAY is unset.
// Usage: bench_startup [--rounds N]
#include "LargeDataFile.h"
#include "ProcessTiming.h"

#include "demo/DemoData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <poll.h>
#include <xcb/xcb.h>

#include <memory>

using namespace tenvora;
using namespace tenvora::bench;

namespace {

// Watches the root window of a display for top-level windows being mapped.
class MapWatcher {
public:
    explicit MapWatcher(const QByteArray& display) {
        m_conn = xcb_connect(display.constData(), &m_screenNumber);
        if (xcb_connection_has_error(m_conn))
            return;
        const xcb_setup_t* setup = xcb_get_setup(m_conn);
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
        for (int i = 0; i < m_screenNumber; ++i)
            xcb_screen_next(&it);
        m_root = it.data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_conn, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_conn);
        m_ok = true;
    }
    ~MapWatcher() { xcb_disconnect(m_conn); }
    bool ok() const { return m_ok; }

    void drain() {
        while (xcb_generic_event_t* e = xcb_poll_for_event(m_conn))
            free(e);
    }

    // Waits until a window that is not override-redirect is mapped on the root; false on timeout.
    bool waitForMap(int timeoutMs) {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < timeoutMs) {
            while (xcb_generic_event_t* e = xcb_poll_for_event(m_conn)) {
                const bool mapped = (e->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                                    !reinterpret_cast<xcb_map_notify_event_t*>(e)->override_redirect;
                free(e);
                if (mapped)
                    return true;
            }
            pollfd fd{xcb_get_file_descriptor(m_conn), POLLIN, 0};
            poll(&fd, 1, 50);
        }
        return false;
    }

private:
    xcb_connection_t* m_conn = nullptr;
    int m_screenNumber = 0;
    xcb_window_t m_root = 0;
    bool m_ok = false;
};

// Milliseconds from starting the program until its first window is mapped; -1 on failure.
double timeToFirstWindow(MapWatcher& watcher, const QString& program, const QProcessEnvironment& env) {
    watcher.drain();
    QProcess p;
    p.setProcessEnvironment(env);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    p.start(program, {});
    const bool mapped = watcher.waitForMap(60000);
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    p.kill();
    p.waitForFinished();
    if (!mapped) {
        std::fprintf(stderr, "%s showed no window\n", qPrintable(program));
        return -1;
    }
    return ms;
}

// The workbench finds its data file beside itself, so each file gets a copy of the program.
QString workbenchBeside(const QString& folder, const std::function<void(const QString&)>& writeDataFile) {
    QDir().mkpath(folder);
    const QString program = QDir(folder).filePath(QStringLiteral("VORQEL"));
    QFile::copy(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("VORQEL")), program);
    writeDataFile(QDir(folder).filePath(QStringLiteral("VORQEL.tr")));
    return program;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = RoundsArgument(argc, argv, 11);
    QTemporaryDir dir;

    std::unique_ptr<QProcess> xvfb;
    QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        xvfb = std::make_unique<QProcess>();
        xvfb->start(QStringLiteral("Xvfb"),
                    {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                     QStringLiteral("1600x1000x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!xvfb->waitForReadyRead(20000)) {
            std::fprintf(stderr, "Xvfb did not start\n");
            return 1;
        }
        display = ':' + xvfb->readLine().trimmed();
    }
    MapWatcher watcher(display);
    if (!watcher.ok()) {
        std::fprintf(stderr, "cannot reach the X display %s\n", display.constData());
        return 1;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));

    const QString anchor =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("bench_anchor_MinimalDialog"));
    const QString large =
        workbenchBeside(dir.filePath(QStringLiteral("large")), [](const QString& path) { CreateLargeDataFile(path); });
    const QString demo = workbenchBeside(dir.filePath(QStringLiteral("demo")),
                                         [](const QString& path) { CreateDemoDataFile(path, false, false); });

    std::vector<Side> sides = {
        {QStringLiteral("anchor"), [&] { return timeToFirstWindow(watcher, anchor, env); }, {}},
        {QStringLiteral("large"), [&] { return timeToFirstWindow(watcher, large, env); }, {}},
        {QStringLiteral("demo"), [&] { return timeToFirstWindow(watcher, demo, env); }, {}},
    };
    if (!RunInTurns(sides, rounds))
        return 1;
    const double a = Median(sides[0].times);
    std::printf("start to login dialog, large file: %.1f ms against the minimal dialog's %.1f ms (medians of %d), "
                "ratio %.2f (limit 1.5)\n",
                Median(sides[1].times), a, rounds, MedianRatio(sides[1], sides[0]));
    std::printf("start to login dialog, demo file: %.1f ms against the minimal dialog's %.1f ms, ratio %.2f\n",
                Median(sides[2].times), a, MedianRatio(sides[2], sides[0]));
    if (xvfb) {
        xvfb->terminate();
        xvfb->waitForFinished();
    }
    return 0;
}

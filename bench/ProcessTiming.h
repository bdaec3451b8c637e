// Whole programs timed in turns (anchor, ours, anchor, ours, ...), so that a drift in the shared
// machine's speed touches both sides alike. Figures are medians; a ratio is the median of the
// ratios of each round.
#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace tenvora::bench {

inline double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

inline double Max(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// Starts the program, waits for it to end; milliseconds, or -1 when it failed.
inline double TimeToExit(const QString& program, const QStringList& args,
                         const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed (exit code %d)\n", qPrintable(program), p.exitCode());
        return -1;
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// One side of a comparison: a name and what one timed run of it is.
struct Side {
    QString name;
    std::function<double()> run;
    std::vector<double> times;
};

// Runs every side once unmeasured, then `rounds` rounds of each side in turn. False when a run failed.
inline bool RunInTurns(std::vector<Side>& sides, int rounds) {
    for (Side& s : sides)
        if (s.run() < 0)
            return false;
    for (int r = 0; r < rounds; ++r)
        for (Side& s : sides) {
            const double t = s.run();
            if (t < 0)
                return false;
            s.times.push_back(t);
        }
    return true;
}

// The median over rounds of ours / anchor.
inline double MedianRatio(const Side& ours, const Side& anchor) {
    std::vector<double> ratios;
    for (size_t i = 0; i < ours.times.size() && i < anchor.times.size(); ++i)
        ratios.push_back(ours.times[i] / anchor.times[i]);
    return Median(ratios);
}

inline int RoundsArgument(int argc, char** argv, int fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--rounds")
            return std::max(1, QByteArray(argv[i + 1]).toInt());
    return fallback;
}

} // namespace tenvora::bench

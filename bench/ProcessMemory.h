// This process's resident memory now and at its peak, as the kernel counts them.
#pragma once

#include <QByteArray>
#include <QFile>

#include <cstdio>

namespace tenvora::bench {

struct ResidentMemory {
    long long currentKiB = 0;
    long long peakKiB = 0;
};

inline ResidentMemory OwnResidentMemory() {
    ResidentMemory m;
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return m;
    for (const QByteArray& line : status.readAll().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2)
            continue;
        if (parts[0] == "VmRSS:")
            m.currentKiB = parts[1].toLongLong();
        else if (parts[0] == "VmHWM:")
            m.peakKiB = parts[1].toLongLong();
    }
    return m;
}

// The one line a measured child prints, read back by the benchmark that started it.
inline void PrintResidentMemory() {
    const ResidentMemory m = OwnResidentMemory();
    std::printf("resident-kib %lld peak-kib %lld\n", m.currentKiB, m.peakKiB);
    std::fflush(stdout);
}

} // namespace tenvora::bench

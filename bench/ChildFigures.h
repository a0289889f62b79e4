#pragma once
#include <QByteArray>
#include <QFile>

#include <chrono>
#include <cstdio>

// What a benchmark's child process reports to its parent on one line: a
// moment or a duration in nanoseconds, then its resident memory and the
// most it has had, in kB. Header only, so that the bare window, which links
// nothing of the program, reports the same way.
namespace ChildFigures {

// The steady clock, which parent and child share.
inline qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// "VmRSS" (now) or "VmHWM" (the peak) of this process, in kB.
inline qint64 memoryKb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Prints the line, with the memory as it is now.
inline void print(qint64 ns)
{
    std::printf("%lld %lld %lld\n", static_cast<long long>(ns), static_cast<long long>(memoryKb("VmRSS")),
                static_cast<long long>(memoryKb("VmHWM")));
    std::fflush(stdout);
}

} // namespace ChildFigures

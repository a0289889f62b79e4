#include "MainWindowStart.h"
#include "RideLogTable.h"
#include "Unit1.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace MainWindowStart {

namespace {
qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// "VmRSS" (now) or "VmHWM" (the peak) of this process, in kB.
qint64 memoryKb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// The child: starts as the program does (the ride log read while the
// toolkit starts), opens the main window and prints the moment it was
// shown and its memory.
[[noreturn]] void runChild(char *program, const QString &folder)
{
    ProgramFolder::Location where;
    where.folder = where.userFolder = where.programDir = folder + u'/';
    RideLogPrefetch prefetch(where.folder + QStringLiteral("default.tvl"));
    int argc = 1;
    char *argv[] = {program, nullptr};
    QApplication app(argc, argv);
    TForm1 window(where, &prefetch);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::_Exit(1);
    QCoreApplication::processEvents();
    std::printf("%lld %lld %lld\n", static_cast<long long>(nowNs()), static_cast<long long>(memoryKb("VmRSS")),
                static_cast<long long>(memoryKb("VmHWM")));
    std::fflush(stdout);
    // Ends without closing the window, whose closing would write the data
    // files anew for the next start.
    std::_Exit(0);
}
} // namespace

void runIfChild(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        runChild(argv[0], QString::fromLocal8Bit(argv[2]));
}

std::optional<Figures> start(const QString &folder)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("DISPLAY")) && !env.contains(QStringLiteral("WAYLAND_DISPLAY"))
        && !env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    const qint64 started = nowNs();
    p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), folder});
    if (!p.waitForFinished(300000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return std::nullopt;
    const QList<QByteArray> out = p.readAllStandardOutput().trimmed().split(' ');
    Figures f;
    f.ms = double(out.value(0).toLongLong() - started) / 1e6;
    f.rssMb = out.value(1).toDouble() / 1024;
    f.peakMb = out.value(2).toDouble() / 1024;
    return f;
}

} // namespace MainWindowStart

#include "MainWindowStart.h"
#include "ExportWindowLoader.h"
#include "RideLogTable.h"
#include "Unit1.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTimer>
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

// Reports the first page the preview loads, and ends the child.
class PreviewWatch : public QObject
{
    Q_OBJECT
public:
    qint64 triggered = 0;
public slots:
    void loaded(bool ok)
    {
        std::printf("%lld %lld %lld\n", static_cast<long long>(nowNs() - triggered),
                    static_cast<long long>(memoryKb("VmRSS")), static_cast<long long>(memoryKb("VmHWM")));
        std::fflush(stdout);
        std::_Exit(ok ? 0 : 3);
    }
};

// The child that opens the export window: starts as the program does,
// then chooses "Export do HTML a Tisk" and prints the time until the
// preview has loaded its page, and the memory then.
[[noreturn]] void runExportChild(char *program, const QString &folder)
{
    ProgramFolder::Location where;
    where.folder = where.userFolder = where.programDir = folder + u'/';
    RideLogPrefetch prefetch(where.folder + QStringLiteral("default.tvl"));
    int argc = 1;
    char *argv[] = {program, nullptr};
    QApplication app(argc, argv);
    ExportWindowLoader::searchOnlyIn(exportModuleFolder());
    TForm1 window(where, &prefetch);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::_Exit(1);
    QCoreApplication::processEvents();
    // The window is modal: it is found among the shown windows, and its
    // preview watched, from within its own event loop. The preview is known by its name only,
    // so that this child links nothing of the browser engine.
    PreviewWatch watch;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QObject *preview = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (!preview && w->isVisible() && w != &window)
                preview = w->findChild<QObject *>(QStringLiteral("WebBrowser1"));
        if (!preview)
            return;
        poll.stop();
        QObject::connect(preview, SIGNAL(loadFinished(bool)), &watch, SLOT(loaded(bool)));
    });
    poll.start();
    watch.triggered = nowNs();
    window.ExportdoHTML1->trigger();
    // The window did not open (a box says why instead).
    std::_Exit(2);
}
} // namespace

void runIfChild(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        runChild(argv[0], QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "--child-export") == 0)
        runExportChild(argv[0], QString::fromLocal8Bit(argv[2]));
}

std::optional<Figures> start(const QString &folder)
{
    return startProgram(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), folder});
}

QString exportModuleFolder()
{
    return QStringLiteral(TRASOVNIK_MODULE_DIR);
}

std::optional<Figures> openExport(const QString &program, const QString &folder)
{
    QProcess p;
    p.start(program, {QStringLiteral("--child-export"), folder});
    if (!p.waitForFinished(300000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return std::nullopt;
    const QList<QByteArray> out = p.readAllStandardOutput().trimmed().split(' ');
    Figures f;
    f.ms = out.value(0).toDouble() / 1e6;
    f.rssMb = out.value(1).toDouble() / 1024;
    f.peakMb = out.value(2).toDouble() / 1024;
    return f;
}

std::optional<Figures> startProgram(const QString &program, const QStringList &arguments)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("DISPLAY")) && !env.contains(QStringLiteral("WAYLAND_DISPLAY"))
        && !env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    const qint64 started = nowNs();
    p.start(program, arguments);
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

#include "MainWindowStart.moc"

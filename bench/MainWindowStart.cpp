#include "MainWindowStart.h"
#include "ChildFigures.h"
#include "ExportWindowLoader.h"
#include "RideLogTable.h"
#include "MainWindow.h"

#include <QApplication>
#include <QProcess>
#include <QTimer>
#include <QtTest>

#include <cstdlib>
#include <cstring>

namespace MainWindowStart {

namespace {
using ChildFigures::nowNs;

// Reports the first page the preview loads, and ends the child.
class PreviewWatch : public QObject
{
    Q_OBJECT
public:
    qint64 triggered = 0;
public slots:
    void loaded(bool ok)
    {
        ChildFigures::print(nowNs() - triggered);
        std::_Exit(ok ? 0 : 3);
    }
};

// The child: starts as the program does (the ride log read while the
// toolkit starts) and opens the main window. Then it prints the moment the
// window was shown and its memory; or, with `openExport`, it chooses
// "Export do HTML a Tisk" and prints the time until the preview has loaded
// its page, and the memory then.
[[noreturn]] void runChild(char *program, const QString &folder, bool openExport)
{
    ProgramFolder::Location where;
    where.folder = where.userFolder = where.programDir = folder + u'/';
    RideLogPrefetch prefetch(where.folder + QStringLiteral("default.tvl"));
    int argc = 1;
    char *argv[] = {program, nullptr};
    QApplication app(argc, argv);
    ExportWindowLoader::searchOnlyIn(exportModuleFolder());
    MainWindow window(where, &prefetch);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::_Exit(1);
    QCoreApplication::processEvents();
    if (!openExport) {
        ChildFigures::print(nowNs());
        // Ends without closing the window, whose closing would write the
        // data files anew for the next start.
        std::_Exit(0);
    }
    // The window is modal: it is found among the shown windows, and its
    // preview watched, from within its own event loop. The preview is
    // known by its name only, so that this child links nothing of the
    // browser engine.
    PreviewWatch watch;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QObject *preview = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (!preview && w->isVisible() && w != &window)
                preview = w->findChild<QObject *>(QStringLiteral("preview"));
        if (!preview)
            return;
        poll.stop();
        QObject::connect(preview, SIGNAL(loadFinished(bool)), &watch, SLOT(loaded(bool)));
    });
    poll.start();
    watch.triggered = nowNs();
    window.exportHtmlAction->trigger();
    // The window did not open (a box says why instead).
    std::_Exit(2);
}
} // namespace

void runIfChild(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        runChild(argv[0], QString::fromLocal8Bit(argv[2]), false);
    if (argc == 3 && std::strcmp(argv[1], "--child-export") == 0)
        runChild(argv[0], QString::fromLocal8Bit(argv[2]), true);
}

std::optional<Figures> start(const QString &folder)
{
    return startProgram(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), folder});
}

QString exportModuleFolder()
{
    return QStringLiteral(TRASOVNIK_MODULE_DIR);
}

namespace {
// Runs a child to its end and reads its line. Its first figure is a
// moment, counted from the child's start when `sinceStart`, else already
// a duration.
std::optional<Figures> runToEnd(const QString &program, const QStringList &arguments, bool sinceStart)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("DISPLAY")) && !env.contains(QStringLiteral("WAYLAND_DISPLAY"))
        && !env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    const qint64 started = sinceStart ? nowNs() : 0;
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
} // namespace

std::optional<Figures> openExport(const QString &program, const QString &folder)
{
    return runToEnd(program, {QStringLiteral("--child-export"), folder}, false);
}

std::optional<Figures> startProgram(const QString &program, const QStringList &arguments)
{
    return runToEnd(program, arguments, true);
}

} // namespace MainWindowStart

#include "MainWindowStart.moc"

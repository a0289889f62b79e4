// The scan of the rider's devices while the main window is shown and
// painted: a folder of a season and more of FIT files (600 rides of two
// hours, about 100 MB), every file's hash worked out by the first scan,
// the hashes kept for the next one.
//
// For each scan: how long until its devices are offered, and the longest
// time the window's thread was kept from its events meanwhile (a 1 ms
// timer measures the gaps between its ticks while the window is repainted
// every 16 ms, as a screen would ask for it).
//
// The baselines, measured in the same run: for the first scan, the same
// files hashed one after another on one thread (what reading them costs);
// for the next scan, the folder listed with the files' sizes and times;
// for the longest wait, the window shown as long with no scan.
//
// Runs offscreen unless a platform is named. The files are made in a
// temporary folder (on /dev/shm when there is one) and removed at the end.
#include "DeviceWatch.h"
#include "FitWriter.h"
#include "ImportRegister.h"
#include "LongestWait.h"
#include "MainWindow.h"
#include "RatioReporter.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>

namespace {
constexpr int kFiles = 600;
constexpr int kSeconds = 2 * 3600;
constexpr int kFrameMs = 16;
constexpr double kLongestWaitTargetMs = 100;

QString g_folder;   // the rides
QString g_program;  // the program's folder
MainWindow *g_window = nullptr;
std::map<std::string, double> g_longestWait; // the worst of the runs

// Runs `work` (which quits the loop when done, or never) with the window
// repainted and its waits measured; the time taken in ms.
double inShownWindow(const char *name, const std::function<void(QEventLoop &)> &work)
{
    QEventLoop loop;
    LongestWait wait;
    QTimer frame;
    frame.setTimerType(Qt::PreciseTimer);
    frame.setInterval(kFrameMs);
    QObject::connect(&frame, &QTimer::timeout, g_window, qOverload<>(&QWidget::repaint));
    wait.startTicking();
    frame.start();
    work(loop);
    loop.exec();
    const double ms = double(wait.elapsedNs()) / 1e6;
    g_longestWait[name] = std::max(g_longestWait[name], wait.longestMs());
    return ms;
}

// A scan by a new watch (no hash known yet), then `again` more by the same.
void scans(benchmark::State &state, const char *name, int again)
{
    for (auto _ : state) {
        auto watch = std::make_unique<GpsImport::DeviceWatch>(
            ProgramFolder::Location::inFolder(g_program).importRegister());
        watch->setRiderFolders({g_folder});
        watch->setRuntimeFolder(g_program);
        qsizetype offered = -1;
        QObject::connect(watch.get(), &GpsImport::DeviceWatch::offeredChanged, [&](const auto &devices) {
            offered = 0;
            for (const auto &d : devices)
                offered += d.key == g_folder ? d.files.size() : 0;
        });
        auto scanOnce = [&](bool first) {
            return inShownWindow(name, [&](QEventLoop &loop) {
                offered = -1;
                QObject::connect(watch.get(), &GpsImport::DeviceWatch::offeredChanged, &loop, &QEventLoop::quit);
                first ? watch->start() : watch->scanNow();
            });
        };
        double ms = scanOnce(true);
        for (int i = 0; i < again; ++i)
            ms = scanOnce(false);
        if (offered != kFiles) {
            state.SkipWithError("the scan did not offer every file");
            return;
        }
        state.SetIterationTime(ms / 1000);
    }
}

void BM_WindowNoScan(benchmark::State &state)
{
    for (auto _ : state)
        state.SetIterationTime(inShownWindow("BM_WindowNoScan", [](QEventLoop &loop) {
            QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        }) / 1000);
}
void BM_FirstScan(benchmark::State &state) { scans(state, "BM_FirstScan", 0); }
void BM_NextScan(benchmark::State &state) { scans(state, "BM_NextScan", 1); }
void BM_HashAlone(benchmark::State &state)
{
    for (auto _ : state)
        for (const QFileInfo &f : QDir(g_folder).entryInfoList(QDir::Files))
            benchmark::DoNotOptimize(GpsImport::contentHashOfFile(f.filePath()));
}
void BM_ListAlone(benchmark::State &state)
{
    for (auto _ : state)
        for (const QFileInfo &f : QDir(g_folder).entryInfoList(QDir::Files, QDir::Name))
            benchmark::DoNotOptimize(f.lastModified());
}

BENCHMARK(BM_WindowNoScan)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);
BENCHMARK(BM_FirstScan)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_HashAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_NextScan)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_ListAlone)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

double timeOf(const RatioReporter &r, const char *name)
{
    const auto found = r.times.find(name);
    return found == r.times.end() ? -1.0 : found->second;
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    QTemporaryDir dir(base + QStringLiteral("/bench_devices-XXXXXX"));
    if (!dir.isValid() || !QDir(dir.path()).mkpath(QStringLiteral("program")))
        return 1;
    g_folder = dir.filePath(QStringLiteral("Activity"));
    g_program = dir.filePath(QStringLiteral("program"));
    QDir().mkpath(g_folder);
    const std::uint32_t season = FitWriter::fitTime(QDateTime(QDate(2024, 3, 1), QTime(7, 0), Qt::UTC));
    qint64 bytes = 0;
    for (int i = 0; i < kFiles; ++i) {
        const QByteArray ride = FitWriter::activity(season + std::uint32_t(i) * 86400 / 2, kSeconds, 7.5);
        QFile f(g_folder + QStringLiteral("/%1.FIT").arg(i, 4, 10, QLatin1Char('0')));
        if (!f.open(QIODevice::WriteOnly) || f.write(ride) != ride.size())
            return 1;
        bytes += ride.size();
    }
    std::printf("%d FIT files of %d s (%.1f MB); platform %s\n", kFiles, kSeconds, bytes / 1e6,
                qPrintable(QGuiApplication::platformName()));
    MainWindow window(g_program);
    g_window = &window;
    window.show();

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double idle = g_longestWait["BM_WindowNoScan"];
    const auto line = [&](const char *what, const char *scan, const char *alone, const char *aloneWhat) {
        const double t = timeOf(reporter, scan), a = timeOf(reporter, alone), w = g_longestWait[scan];
        if (t > 0 && a > 0)
            std::printf("%s: %.1f ms   %s %.1f ms   ratio %.2fx\n"
                        "  longest wait of the window's events %.1f ms   no scan %.1f ms   ratio %.2fx   %s %.0f ms\n",
                        what, t, aloneWhat, a, t / a, w, idle, w / idle,
                        w <= kLongestWaitTargetMs ? "within" : "OVER", kLongestWaitTargetMs);
    };
    std::printf("\n");
    line("first scan (every file hashed)", "BM_FirstScan", "BM_HashAlone", "hashed alone");
    line("next scan (hashes kept)", "BM_NextScan", "BM_ListAlone", "listed alone");
    return 0;
}

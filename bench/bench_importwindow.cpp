// The window "Import jízd", shown and painted, over two imports: a season
// of FIT files (300 rides of two hours, a record a second) and 100 long
// GPX files (rides of several hours, a point a second, tens of MB in
// all). For each: how soon the first ride is listed, how soon all of
// them, and the longest time the window's thread was kept from its events
// meanwhile (a 1 ms timer measures the gaps between its ticks, while the
// whole window is repainted every 16 ms as a screen would ask for it: the
// raster painter is where a full thread pool could hold it up).
//
// The baselines, measured in the same run: for all rides, the same files
// read by the readers alone in a pool as large; for the first ride, the
// window over its file alone (it can be listed no sooner).
//
// Runs offscreen unless a platform is named. The files are made in a
// temporary folder (on /dev/shm when there is one) and removed at the end.

#include "FitWriter.h"
#include "ImportRules.h"
#include "ImportWindow.h"
#include "ProgramFolder.h"
#include "RatioReporter.h"
#include "RideLogTable.h"
#include "TPubStrGrid.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>
#include <QTreeWidget>
#include <QtConcurrent>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numeric>
#include <optional>

namespace {

constexpr int kFitFiles = 300;
constexpr int kFitSeconds = 2 * 3600;
constexpr int kGpxFiles = 100;
constexpr int kGpxSeconds = 3 * 3600;
constexpr double kLongestWaitTargetMs = 100;
constexpr int kFrameMs = 16;

QString g_folder;
QStringList g_fitFiles, g_gpxFiles;

// What one import in the window showed, from its start, in ms.
struct Figures
{
    double firstRide = 0;
    double allRides = 0;
    double longestWait = 0;
    int paints = 0;
};
std::map<std::string, Figures> g_figures;

// Counts the paintings of a widget.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// One import of `files` in a shown window, until every file is read.
std::optional<Figures> importInWindow(const QStringList &files, int rides)
{
    TPubStrGrid log;
    setUpRideLogTable(log);
    const ProgramFolder::Location where = ProgramFolder::Location::inFolder(g_folder);
    QElapsedTimer clock;
    clock.start();
    ImportWindow window(files, log, [](const QList<QStringList> &) {}, where, nullptr);
    window.show();
    PaintCounter counter;
    if (auto *list = window.findChild<QTreeWidget *>(QStringLiteral("ImportList")))
        list->viewport()->installEventFilter(&counter);
    qint64 firstRide = -1, lastTick = clock.nsecsElapsed(), longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - lastTick);
        lastTick = now;
        if (firstRide < 0 && !window.rows().isEmpty())
            firstRide = now;
    });
    QTimer frame;
    frame.setTimerType(Qt::PreciseTimer);
    frame.setInterval(kFrameMs);
    QObject::connect(&frame, &QTimer::timeout, &window, qOverload<>(&QWidget::repaint));
    tick.start();
    frame.start();
    QEventLoop loop;
    QObject::connect(&window, &ImportWindow::readingEnded, &loop, &QEventLoop::quit);
    if (window.isReading())
        loop.exec();
    const qint64 all = clock.nsecsElapsed();
    // The gap up to the end counts too.
    longest = std::max(longest, all - lastTick);
    window.hide();
    if (window.rows().size() != rides)
        return std::nullopt;
    return Figures{double(firstRide < 0 ? all : firstRide) / 1e6, double(all) / 1e6, double(longest) / 1e6,
                   counter.paints};
}

void windowBenchmark(benchmark::State &state, const char *name, const QStringList &files, int rides)
{
    Figures worst;
    for (auto _ : state) {
        const std::optional<Figures> figures = importInWindow(files, rides);
        if (!figures) {
            state.SkipWithError("not every ride was listed");
            return;
        }
        state.SetIterationTime(figures->allRides / 1000);
        worst.firstRide = std::max(worst.firstRide, figures->firstRide);
        worst.allRides = std::max(worst.allRides, figures->allRides);
        worst.longestWait = std::max(worst.longestWait, figures->longestWait);
        worst.paints = worst.paints == 0 ? figures->paints : std::min(worst.paints, figures->paints);
    }
    state.counters["first_ride_ms"] = worst.firstRide;
    state.counters["longest_wait_ms"] = worst.longestWait;
    state.counters["paints"] = worst.paints;
    g_figures[name] = worst;
}

int readRides(const QString &path)
{
    const GpsImport::StopFlag stop{false};
    return int(GpsImport::readRideFile(path, QTimeZone::systemTimeZone(), stop).rides.size());
}

// The readers alone over every file, in a pool of the usual size that
// nothing else uses.
void readAll(benchmark::State &state, const QStringList &files, int rides)
{
    QThreadPool pool;
    for (auto _ : state) {
        const QList<int> found = QtConcurrent::blockingMapped(&pool, files, readRides);
        if (std::accumulate(found.cbegin(), found.cend(), 0) != rides) {
            state.SkipWithError("not every ride was read");
            return;
        }
    }
}

void windowOverOne(benchmark::State &state, const QString &file)
{
    for (auto _ : state) {
        const std::optional<Figures> figures = importInWindow({file}, 1);
        if (!figures) {
            state.SkipWithError("the file gave no ride");
            return;
        }
        state.SetIterationTime(figures->firstRide / 1000);
    }
}

void BM_WindowFitSeason(benchmark::State &state) { windowBenchmark(state, "BM_WindowFitSeason", g_fitFiles, kFitFiles); }
void BM_ReadFitSeason(benchmark::State &state) { readAll(state, g_fitFiles, kFitFiles); }
void BM_WindowOneFit(benchmark::State &state) { windowOverOne(state, g_fitFiles.first()); }
void BM_WindowLongGpx(benchmark::State &state) { windowBenchmark(state, "BM_WindowLongGpx", g_gpxFiles, kGpxFiles); }
void BM_ReadLongGpx(benchmark::State &state) { readAll(state, g_gpxFiles, kGpxFiles); }
void BM_WindowOneGpx(benchmark::State &state) { windowOverOne(state, g_gpxFiles.first()); }

BENCHMARK(BM_WindowFitSeason)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_ReadFitSeason)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_WindowOneFit)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_WindowLongGpx)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_ReadLongGpx)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_WindowOneGpx)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// A ride of `seconds` as a phone app writes it: a point each second at
// 15–30 km/h with stops at lights, around Brno, starting on day `index`.
bool writeGpx(const QString &path, int index, int seconds)
{
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    QRandomGenerator random(index + 1);
    const qint64 start = QDateTime(QDate(2024, 3, 1).addDays(index), QTime(6, 0), Qt::UTC).toSecsSinceEpoch();
    QByteArray text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<gpx version=\"1.1\" creator=\"bench\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
                      " <trk>\n  <name>Odpolední jízda</name>\n  <type>cycling</type>\n  <trkseg>\n";
    double lat = 49.19 + random.bounded(0.05), lon = 16.60 + random.bounded(0.05), heading = random.bounded(6.28);
    char line[160];
    for (int i = 0; i < seconds; ++i) {
        const double metres = (i % 900) < 30 ? 0 : (15 + random.bounded(15.0)) / 3.6;
        heading += random.bounded(0.1) - 0.05;
        lat += metres * std::cos(heading) / 111'200;
        lon += metres * std::sin(heading) / (111'200 * std::cos(lat * M_PI / 180));
        const QDateTime t = QDateTime::fromSecsSinceEpoch(start + i, Qt::UTC);
        const int n = std::snprintf(line, sizeof line,
                                    "   <trkpt lat=\"%.7f\" lon=\"%.7f\"><time>%04d-%02d-%02dT%02d:%02d:%02dZ</time>"
                                    "</trkpt>\n",
                                    lat, lon, t.date().year(), t.date().month(), t.date().day(), t.time().hour(),
                                    t.time().minute(), t.time().second());
        text.append(line, n);
    }
    text.append("  </trkseg>\n </trk>\n</gpx>\n");
    return out.write(text) == text.size();
}

void printFigures(const RatioReporter &reporter, const char *what, const char *window, const char *readAll,
                  const char *windowOne)
{
    const auto time = [&](const char *name) {
        const auto found = reporter.times.find(name);
        return found == reporter.times.end() ? -1.0 : found->second;
    };
    const auto figures = g_figures.find(window);
    const double alone = time(readAll), one = time(windowOne);
    if (figures == g_figures.end() || time(window) <= 0 || alone <= 0 || one <= 0)
        return;
    const Figures &f = figures->second;
    std::printf("%s (worst of the runs):\n"
                "  longest wait of the window's events %7.1f ms   %s %.0f ms   (%d paintings of the list)\n"
                "  first ride listed after %7.1f ms   its file alone in the window %7.1f ms   ratio %.2fx\n"
                "  all rides listed after  %7.1f ms   the readers alone            %7.1f ms   ratio %.2fx\n",
                what, f.longestWait, f.longestWait <= kLongestWaitTargetMs ? "within" : "OVER", kLongestWaitTargetMs,
                f.paints, f.firstRide, one, f.firstRide / one, f.allRides, alone, f.allRides / alone);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    QTemporaryDir dir(base + QStringLiteral("/bench_importwindow-XXXXXX"));
    if (!dir.isValid())
        return 1;
    g_folder = dir.path();
    const std::uint32_t season = FitWriter::fitTime(QDateTime(QDate(2024, 3, 1), QTime(7, 0), Qt::UTC));
    qint64 fitBytes = 0, gpxBytes = 0;
    for (int i = 0; i < kFitFiles; ++i) {
        const QByteArray bytes = FitWriter::activity(season + std::uint32_t(i) * 86400 / 2, kFitSeconds, 7.5);
        QFile f(dir.filePath(QStringLiteral("ride%1.fit").arg(i, 3, 10, QLatin1Char('0'))));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return 1;
        g_fitFiles.append(f.fileName());
        fitBytes += bytes.size();
    }
    for (int i = 0; i < kGpxFiles; ++i) {
        const QString path = dir.filePath(QStringLiteral("jizda%1.gpx").arg(i, 3, 10, QLatin1Char('0')));
        if (!writeGpx(path, i, kGpxSeconds))
            return 1;
        g_gpxFiles.append(path);
        gpxBytes += QFileInfo(path).size();
    }
    std::printf("%d FIT files of %d s (%.1f MB), %d GPX files of %d s (%.1f MB); %d threads; platform %s\n",
                kFitFiles, kFitSeconds, fitBytes / 1e6, kGpxFiles, kGpxSeconds, gpxBytes / 1e6,
                QThread::idealThreadCount(), qPrintable(QGuiApplication::platformName()));

    // The toolkit's first window (fonts, style) is not the import's cost.
    if (!importInWindow({g_fitFiles.first()}, 1))
        return 1;

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf("\n");
    printFigures(reporter, "FIT season in the window", "BM_WindowFitSeason", "BM_ReadFitSeason", "BM_WindowOneFit");
    printFigures(reporter, "long GPX files in the window", "BM_WindowLongGpx", "BM_ReadLongGpx", "BM_WindowOneGpx");
    return 0;
}

// The window "Import jízd", shown and painted, over two imports: a season
// of FIT files (300 rides of two hours, a record a second) and 100 long
// GPX files (rides of three hours, a point a second, tens of MB in all).
// For each: how soon the first ride is listed, how soon all of them, and
// the longest time the window's thread was kept from its events meanwhile
// (a 1 ms timer measures the gaps between its ticks, while the whole
// window is repainted every 16 ms as a screen would ask for it: the
// raster painter is where a full thread pool could hold it up). Then how
// soon "Zrušit" leaves no reader at work.
//
// The baselines, measured in the same run: for the longest wait, the
// window shown as long with nothing to read (what the machine itself
// keeps it waiting); for the first ride, the window over its file alone
// (it can be listed no sooner); for all rides, the same files read by the
// readers alone in a pool as large; for "Zrušit", one file read whole
// (what a stop that let the readers finish their files would cost).
//
// Runs offscreen unless a platform is named. The files are made in a
// temporary folder (on /dev/shm when there is one) and removed at the end.

#include "FitWriter.h"
#include "ImportRules.h"
#include "ImportWindow.h"
#include "LongestWait.h"
#include "ProgramFolder.h"
#include "RatioReporter.h"
#include "RideLogTable.h"
#include "StringTable.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
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
constexpr int kNothingReadMs = 2000;
constexpr double kLongestWaitTargetMs = 100;
constexpr int kFrameMs = 16;

QString g_folder;
QStringList g_fitFiles, g_gpxFiles;

// What the window showed, from its start, in ms; the worst of the runs.
struct Figures
{
    double firstRide = 0;
    double allRides = 0;
    double longestWait = 0;
    int windowPaints = 0; // the fewest
    int listPaints = 0;   // the fewest
    double stopped = 0;   // from "Zrušit" to no reader at work

    void worstOf(const Figures &run, bool first)
    {
        firstRide = std::max(firstRide, run.firstRide);
        allRides = std::max(allRides, run.allRides);
        longestWait = std::max(longestWait, run.longestWait);
        windowPaints = first ? run.windowPaints : std::min(windowPaints, run.windowPaints);
        listPaints = first ? run.listPaints : std::min(listPaints, run.listPaints);
        stopped = std::max(stopped, run.stopped);
    }
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

enum class Until { AllRead, FirstRideThenStop, Time };

// One import of `files` in a shown window: until every file is read, or
// until the first ride is listed and "Zrušit" is pressed, or (no files)
// for a time. Nothing when the rides listed are not `rides`.
std::optional<Figures> importInWindow(const QStringList &files, int rides, Until until = Until::AllRead)
{
    StringTable log;
    setUpRideLogTable(log);
    const ProgramFolder::Location where = ProgramFolder::Location::inFolder(g_folder);
    QEventLoop loop;
    qint64 firstRide = -1, stoppedAt = -1;
    ImportWindow *shown = nullptr;
    LongestWait wait([&](qint64 now) {
        if (firstRide < 0 && shown && shown->rowCount() > 0) {
            firstRide = now;
            if (until == Until::FirstRideThenStop) {
                shown->findChild<QPushButton *>(QStringLiteral("ImportStop"))->click();
                stoppedAt = now;
                loop.quit();
            }
        }
    });
    ImportWindow window(files, log, [](const QList<QStringList> &) {}, where, nullptr);
    shown = &window;
    window.show();
    PaintCounter windowPaints, listPaints;
    window.installEventFilter(&windowPaints);
    if (auto *list = window.findChild<QTreeWidget *>(QStringLiteral("ImportList")))
        list->viewport()->installEventFilter(&listPaints);
    QTimer frame;
    frame.setTimerType(Qt::PreciseTimer);
    frame.setInterval(kFrameMs);
    QObject::connect(&frame, &QTimer::timeout, &window, qOverload<>(&QWidget::repaint));
    wait.startTicking();
    frame.start();
    QObject::connect(&window, &ImportWindow::readingEnded, &loop, [&] {
        if (until == Until::AllRead)
            loop.quit();
    });
    if (until == Until::Time)
        QTimer::singleShot(kNothingReadMs, &loop, &QEventLoop::quit);
    if (window.isReading() || until == Until::Time)
        loop.exec();
    const qint64 all = wait.elapsedNs();
    Figures figures{double(firstRide < 0 ? all : firstRide) / 1e6, double(all) / 1e6, wait.longestMs(),
                    windowPaints.paints, listPaints.paints};
    if (until == Until::FirstRideThenStop) {
        auto *readers = window.findChild<QThreadPool *>(QStringLiteral("ImportReaders"));
        if (stoppedAt < 0 || !readers)
            return std::nullopt;
        readers->waitForDone();
        figures.stopped = double(wait.elapsedNs() - stoppedAt) / 1e6;
        return figures;
    }
    window.hide();
    if (window.rowCount() != rides)
        return std::nullopt;
    return figures;
}

void windowBenchmark(benchmark::State &state, const char *name, const QStringList &files, int rides,
                     Until until = Until::AllRead)
{
    Figures worst;
    bool first = true;
    for (auto _ : state) {
        const std::optional<Figures> figures = importInWindow(files, rides, until);
        if (!figures) {
            state.SkipWithError("the window did not list what it should");
            return;
        }
        state.SetIterationTime((until == Until::FirstRideThenStop ? figures->stopped : figures->allRides) / 1000);
        worst.worstOf(*figures, first);
        first = false;
    }
    state.counters["first_ride_ms"] = worst.firstRide;
    state.counters["longest_wait_ms"] = worst.longestWait;
    state.counters["window_paints"] = worst.windowPaints;
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

// The window over one file, until its ride is listed.
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

void BM_WindowNothingRead(benchmark::State &state)
{
    windowBenchmark(state, "BM_WindowNothingRead", {}, 0, Until::Time);
}
void BM_WindowFitSeason(benchmark::State &state)
{
    windowBenchmark(state, "BM_WindowFitSeason", g_fitFiles, kFitFiles);
}
void BM_ReadFitSeason(benchmark::State &state) { readAll(state, g_fitFiles, kFitFiles); }
void BM_WindowOneFit(benchmark::State &state) { windowOverOne(state, g_fitFiles.first()); }
void BM_WindowLongGpx(benchmark::State &state)
{
    windowBenchmark(state, "BM_WindowLongGpx", g_gpxFiles, kGpxFiles);
}
void BM_ReadLongGpx(benchmark::State &state) { readAll(state, g_gpxFiles, kGpxFiles); }
void BM_WindowOneGpx(benchmark::State &state) { windowOverOne(state, g_gpxFiles.first()); }
void BM_StopLongGpx(benchmark::State &state)
{
    windowBenchmark(state, "BM_StopLongGpx", g_gpxFiles, 1, Until::FirstRideThenStop);
}
void BM_ReadOneGpx(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(readRides(g_gpxFiles.first()));
}

BENCHMARK(BM_WindowNothingRead)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_WindowFitSeason)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_ReadFitSeason)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_WindowOneFit)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_WindowLongGpx)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_ReadLongGpx)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_WindowOneGpx)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_StopLongGpx)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_ReadOneGpx)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

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

class Report
{
public:
    explicit Report(const RatioReporter &reporter) : m_reporter(reporter) {}

    void print(const char *what, const char *window, const char *readAll, const char *windowOne) const
    {
        const auto figures = g_figures.find(window);
        const auto idle = g_figures.find("BM_WindowNothingRead");
        const double alone = time(readAll), one = time(windowOne);
        if (figures == g_figures.end() || idle == g_figures.end() || alone <= 0 || one <= 0)
            return;
        const Figures &f = figures->second;
        const double idleWait = idle->second.longestWait;
        std::printf("%s (worst of the runs):\n"
                    "  longest wait of the window's events %7.1f ms   nothing read %7.1f ms   ratio %.2fx"
                    "   %s %.0f ms\n"
                    "    (the window painted at least %d times, its list %d times)\n"
                    "  first ride listed after %7.1f ms   its file alone in the window %7.1f ms   ratio %.2fx\n"
                    "  all rides listed after  %7.1f ms   the readers alone            %7.1f ms   ratio %.2fx\n",
                    what, f.longestWait, idleWait, f.longestWait / idleWait,
                    f.longestWait <= kLongestWaitTargetMs ? "within" : "OVER", kLongestWaitTargetMs, f.windowPaints,
                    f.listPaints, f.firstRide, one, f.firstRide / one, f.allRides, alone, f.allRides / alone);
    }

    void printStop() const
    {
        const auto figures = g_figures.find("BM_StopLongGpx");
        const double one = time("BM_ReadOneGpx");
        if (figures == g_figures.end() || one <= 0)
            return;
        std::printf("\"Zrušit\" at the first long GPX ride: no reader at work after %.1f ms   one file read whole "
                    "%.1f ms   ratio %.2fx\n",
                    figures->second.stopped, one, figures->second.stopped / one);
    }

private:
    double time(const char *name) const
    {
        const auto found = m_reporter.times.find(name);
        return found == m_reporter.times.end() ? -1.0 : found->second;
    }
    const RatioReporter &m_reporter;
};

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
    const Report report(reporter);
    report.print("FIT season in the window", "BM_WindowFitSeason", "BM_ReadFitSeason", "BM_WindowOneFit");
    report.print("long GPX files in the window", "BM_WindowLongGpx", "BM_ReadLongGpx", "BM_WindowOneGpx");
    report.printStop();
    return 0;
}

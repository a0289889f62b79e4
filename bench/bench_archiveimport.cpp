// The window "Import jízd" over an online service's bulk export: a zip of
// 3,000 rides (30 to 150 minutes each, a record a second; FIT files and a
// few GPX ones, each gzip'd as `activities/<id>.fit.gz`, stored or
// deflated in the zip as such exports have them) with its
// `activities.csv`. Shown, painted every 16 ms as a screen would ask for
// it, until every ride is listed:
//   - the first import of the export, against the same window over the
//     same 3,000 ride files unpacked in a folder (target: 1.5x);
//   - the adding of every ride ("Přidat vybrané": the kept copies and the
//     register written), once, for information;
//   - a second import of the export, every ride known from the register
//     (target: 0.2x the first), and of the plain files, all known by hash;
//   - the longest time the window's thread was kept from its events while
//     the export is listed, against the window shown as long with nothing
//     to read;
//   - how soon "Zrušit", pressed half-way through the export (and early in
//     a second import, while the export is hashed), leaves no reader at
//     work: the time the window's destructor (which waits for its pools)
//     takes after the click (target: 0.2 s).
//
// Runs offscreen unless a platform is named. The files are made in a
// temporary folder (on /dev/shm when there is one) and removed at the end.

#include "ArchiveWriter.h"
#include "FitWriter.h"
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
#include <QTemporaryDir>
#include <QTimer>
#include <QtConcurrent>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <optional>

namespace {

constexpr int kRides = 3000;
constexpr int kGpxEvery = 20; // every twentieth ride a phone's GPX
constexpr int kFrameMs = 16;
constexpr double kFirstTarget = 1.5;
constexpr double kSecondTarget = 0.2;
constexpr double kStopTargetMs = 200;

QString g_root;
QString g_export;           // the bulk export
QStringList g_plainFiles;   // the same ride files unpacked
qint64 g_plainBytes = 0;
std::unique_ptr<QTemporaryDir> g_knownFolder; // the data folder after the adding
double g_addingMs = -1;
double g_idleForMs = 2000; // how long the window is shown with nothing to read

// Sizes of the rides: 30 to 150 minutes, at 18 to 30 km/h.
int rideSeconds(int i) { return 1800 + (i * 37 % 97) * 75; }
double rideSpeed(int i) { return 5.0 + (i % 7) * 0.5; }
QDateTime rideStart(int i) { return QDateTime(QDate(2017, 3, 1).addDays(i), QTime(6 + i % 10, 0), QTimeZone::utc()); }
qint64 activityId(int i) { return 1'000'000'000LL + qint64(i) * 7919; }
bool isGpx(int i) { return i % kGpxEvery == kGpxEvery - 1; }

// A phone's ride: a point a second, riding north-east from Brno.
QByteArray gpxRide(int i)
{
    const QDateTime start = rideStart(i);
    const int seconds = rideSeconds(i);
    const double step = rideSpeed(i) / 111'200;
    QByteArray text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<gpx version=\"1.1\" creator=\"bench\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
                      " <trk>\n  <name>Jízda</name>\n  <type>cycling</type>\n  <trkseg>\n";
    text.reserve(seconds * 90);
    char line[160];
    for (int s = 0; s < seconds; ++s) {
        const QDateTime t = start.addSecs(s);
        const QDate d = t.date();
        const QTime h = t.time();
        const int n = std::snprintf(line, sizeof line,
                                    "   <trkpt lat=\"%.7f\" lon=\"%.7f\"><time>%04d-%02d-%02dT%02d:%02d:%02dZ</time>"
                                    "</trkpt>\n",
                                    49.19 + s * step * 0.7, 16.60 + s * step, d.year(), d.month(), d.day(), h.hour(),
                                    h.minute(), h.second());
        text.append(line, n);
    }
    return text + "  </trkseg>\n </trk>\n</gpx>\n";
}

QByteArray rideFile(int i)
{
    return isGpx(i) ? gpxRide(i) : FitWriter::activity(FitWriter::fitTime(rideStart(i)), rideSeconds(i), rideSpeed(i));
}

QString rideFileName(int i) { return QStringLiteral("%1.%2").arg(activityId(i)).arg(isGpx(i) ? "gpx" : "fit"); }

// The export's list of activities, as the service words it.
QByteArray activityList()
{
    QByteArray csv = "Activity ID,Activity Date,Activity Name,Activity Type,Activity Gear,Filename\n";
    for (int i = 0; i < kRides; ++i)
        csv += QStringLiteral("%1,\"%2\",Jízda %3,Ride,%4,activities/%5.gz\n")
                   .arg(activityId(i))
                   .arg(QLocale::c().toString(rideStart(i), QStringLiteral("MMM d, yyyy, h:mm:ss AP")))
                   .arg(i + 1)
                   .arg(i % 3 == 0 ? QStringLiteral("Author") : QString())
                   .arg(rideFileName(i))
                   .toUtf8();
    return csv;
}

// The plain files in `plain/`, the export beside them. The rides are made
// on every core; the gzip'd ones are stored in the zip, but every fifth
// deflated again, as some services do.
bool makeFiles()
{
    QDir(g_root).mkpath(QStringLiteral("plain"));
    QList<int> indices(kRides);
    std::iota(indices.begin(), indices.end(), 0);
    const QList<std::optional<ArchiveWriter::Item>> items =
        QtConcurrent::blockingMapped<QList<std::optional<ArchiveWriter::Item>>>(indices, [](int i) -> std::optional<ArchiveWriter::Item> {
            const QByteArray bytes = rideFile(i);
            QFile plain(g_root + QStringLiteral("/plain/") + rideFileName(i));
            if (!plain.open(QIODevice::WriteOnly) || plain.write(bytes) != bytes.size())
                return std::nullopt;
            return ArchiveWriter::Item{("activities/" + rideFileName(i) + ".gz").toUtf8(),
                                       ArchiveWriter::gzipOf(bytes), AE_IFREG, i % 5 != 0};
        });
    QList<ArchiveWriter::Item> members{{"activities.csv", activityList()}};
    for (int i = 0; i < kRides; ++i) {
        if (!items[i])
            return false;
        members.append(*items[i]);
        g_plainFiles.append(g_root + QStringLiteral("/plain/") + rideFileName(i));
        g_plainBytes += QFileInfo(g_plainFiles.constLast()).size();
    }
    g_export = g_root + QStringLiteral("/export_strava.zip");
    QFile zip(g_export);
    const QByteArray bytes = ArchiveWriter::zipOf(members);
    return zip.open(QIODevice::WriteOnly) && zip.write(bytes) == bytes.size();
}

// The processor time of the whole program (every thread), in ms: on a
// machine shared with other work it tells the cost apart from the waiting.
double processorMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// What the window showed, from its start.
struct Figures
{
    double allRidesMs = 0;
    double longestWaitMs = 0;
    double processorMs = 0; // the mean of the runs, once reported
    int rows = 0;
};
std::map<std::string, Figures> g_figures; // the worst of the runs, by benchmark

enum class Until { AllRead, Time };

// One import of `paths` in a shown window over the data folder `folder`:
// until every ride is listed, or (no paths) for g_idleForMs.
Figures importInWindow(const QStringList &paths, const QString &folder, Until until = Until::AllRead)
{
    StringTable log;
    setUpRideLogTable(log);
    const double processorAtStart = processorMs();
    LongestWait wait;
    ImportWindow window(paths, log, [](const QList<QStringList> &) {}, ProgramFolder::Location::inFolder(folder),
                        nullptr);
    window.show();
    QTimer frame;
    frame.setTimerType(Qt::PreciseTimer);
    frame.setInterval(kFrameMs);
    QObject::connect(&frame, &QTimer::timeout, &window, qOverload<>(&QWidget::repaint));
    wait.startTicking();
    frame.start();
    QEventLoop loop;
    if (until == Until::Time)
        QTimer::singleShot(int(g_idleForMs), &loop, &QEventLoop::quit);
    else
        QObject::connect(&window, &ImportWindow::readingEnded, &loop, &QEventLoop::quit);
    if (window.isReading() || until == Until::Time)
        loop.exec();
    Figures figures{double(wait.elapsedNs()) / 1e6, wait.longestMs(), processorMs() - processorAtStart,
                    window.rowCount()};
    window.hide();
    return figures;
}

void windowBenchmark(benchmark::State &state, const char *name, const QStringList &paths, const QString &folder,
                     int rides, Until until = Until::AllRead)
{
    Figures worst;
    int runs = 0;
    for (auto _ : state) {
        const Figures figures = importInWindow(paths, folder, until);
        if (figures.rows != rides) {
            state.SkipWithError(QStringLiteral("%1 rows listed, not %2").arg(figures.rows).arg(rides).toUtf8().constData());
            return;
        }
        state.SetIterationTime(figures.allRidesMs / 1000);
        worst.allRidesMs = std::max(worst.allRidesMs, figures.allRidesMs);
        worst.longestWaitMs = std::max(worst.longestWaitMs, figures.longestWaitMs);
        worst.processorMs += figures.processorMs;
        ++runs;
    }
    worst.processorMs /= std::max(runs, 1);
    state.counters["longest_wait_ms"] = worst.longestWaitMs;
    state.counters["processor_ms"] = worst.processorMs;
    g_figures[name] = worst;
}

// A data folder of its own for each first import: nothing known.
void firstImport(benchmark::State &state, const char *name, const QStringList &paths)
{
    QTemporaryDir fresh(g_root + QStringLiteral("/data-XXXXXX"));
    windowBenchmark(state, name, paths, fresh.path(), kRides);
}

void BM_FirstExport(benchmark::State &state)
{
    firstImport(state, "BM_FirstExport", {g_export});
    // The window with nothing to read is shown as long as the export took.
    if (const auto f = g_figures.find("BM_FirstExport"); f != g_figures.end())
        g_idleForMs = f->second.allRidesMs;
}
void BM_FirstPlainFiles(benchmark::State &state) { firstImport(state, "BM_FirstPlainFiles", g_plainFiles); }
void BM_WindowNothingRead(benchmark::State &state)
{
    QTemporaryDir fresh(g_root + QStringLiteral("/data-XXXXXX"));
    windowBenchmark(state, "BM_WindowNothingRead", {}, fresh.path(), 0, Until::Time);
}

// The export listed, then every ride added: from the click on "Přidat
// vybrané" until the rides are handed to the log (the copies kept and the
// register written). Its data folder is the one the second imports use.
void BM_AddEveryRide(benchmark::State &state)
{
    for (auto _ : state) {
        g_knownFolder = std::make_unique<QTemporaryDir>(g_root + QStringLiteral("/known-XXXXXX"));
        StringTable log;
        setUpRideLogTable(log);
        qsizetype added = -1;
        QEventLoop loop;
        ImportWindow window({g_export}, log,
                            [&](const QList<QStringList> &rides) {
                                added = rides.size();
                                loop.quit();
                            },
                            ProgramFolder::Location::inFolder(g_knownFolder->path()), nullptr);
        window.show();
        QObject::connect(&window, &ImportWindow::readingEnded, &loop, &QEventLoop::quit);
        if (window.isReading())
            loop.exec();
        QElapsedTimer adding;
        adding.start();
        window.findChild<QPushButton *>(QStringLiteral("ImportAdd"))->click();
        if (added < 0)
            loop.exec();
        g_addingMs = double(adding.nsecsElapsed()) / 1e6;
        state.SetIterationTime(g_addingMs / 1000);
        if (added != kRides) {
            state.SkipWithError(QStringLiteral("%1 rides added, not %2").arg(added).arg(kRides).toUtf8().constData());
            g_addingMs = -1;
            return;
        }
    }
}

void secondImport(benchmark::State &state, const char *name, const QStringList &paths)
{
    if (!g_knownFolder || g_addingMs < 0) {
        state.SkipWithError("no rides were added");
        return;
    }
    windowBenchmark(state, name, paths, g_knownFolder->path(), kRides);
}
void BM_SecondExport(benchmark::State &state) { secondImport(state, "BM_SecondExport", {g_export}); }
void BM_SecondPlainFiles(benchmark::State &state) { secondImport(state, "BM_SecondPlainFiles", g_plainFiles); }

// "Zrušit" pressed once `due` says so while the export is read over the
// data folder `folder`; the time the window's destructor (it waits for its
// readers and parsers) takes after the click.
void stopExport(benchmark::State &state, const QString &folder, const std::function<bool(const ImportWindow &)> &due)
{
    for (auto _ : state) {
        StringTable log;
        setUpRideLogTable(log);
        auto window = std::make_unique<ImportWindow>(QStringList{g_export}, log, [](const QList<QStringList> &) {},
                                                     ProgramFolder::Location::inFolder(folder), nullptr);
        window->show();
        QEventLoop loop;
        QTimer poll;
        poll.setInterval(1);
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (due(*window) || !window->isReading())
                loop.quit();
        });
        poll.start();
        loop.exec();
        if (!window->isReading()) {
            state.SkipWithError("the reading ended before \"Zrušit\" was due");
            return;
        }
        QElapsedTimer stopped;
        stopped.start();
        window->findChild<QPushButton *>(QStringLiteral("ImportStop"))->click();
        const bool reading = window->isReading();
        window.reset();
        state.SetIterationTime(double(stopped.nsecsElapsed()) / 1e9);
        if (reading) {
            state.SkipWithError("\"Zrušit\" left the window reading");
            return;
        }
    }
}

// Half the rides of a first import listed.
void BM_StopExport(benchmark::State &state)
{
    QTemporaryDir fresh(g_root + QStringLiteral("/data-XXXXXX"));
    stopExport(state, fresh.path(), [](const ImportWindow &w) { return w.rowCount() >= kRides / 2; });
}

// A second import, 20 ms after the window is shown: the export known by
// its size is being hashed whole.
void BM_StopSecondExport(benchmark::State &state)
{
    if (!g_knownFolder || g_addingMs < 0) {
        state.SkipWithError("no rides were added");
        return;
    }
    QElapsedTimer shown;
    stopExport(state, g_knownFolder->path(), [&shown](const ImportWindow &) {
        if (!shown.isValid())
            shown.start();
        if (shown.elapsed() < 20)
            return false;
        shown.invalidate();
        return true;
    });
}

BENCHMARK(BM_FirstExport)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_FirstPlainFiles)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_WindowNothingRead)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_AddEveryRide)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_SecondExport)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_SecondPlainFiles)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_StopExport)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_StopSecondExport)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

class Report
{
public:
    explicit Report(const RatioReporter &reporter) : m_reporter(reporter) {}

    void ratio(const char *what, const char *name, const char *baseline, const char *baselineWhat,
               double target) const
    {
        const double t = time(name), base = time(baseline);
        if (t <= 0 || base <= 0)
            return;
        std::printf("%-34s %8.1f ms   %-26s %8.1f ms   ratio %.2fx", what, t, baselineWhat, base, t / base);
        if (target > 0)
            std::printf("   %s %.1fx", t / base <= target ? "within" : "OVER", target);
        const auto f = g_figures.find(name), b = g_figures.find(baseline);
        if (f != g_figures.end() && b != g_figures.end())
            std::printf("\n%-34s %8.1f ms   %-26s %8.1f ms   ratio %.2fx", "  processor time, all threads",
                        f->second.processorMs, "", b->second.processorMs, f->second.processorMs / b->second.processorMs);
        std::printf("\n");
    }

    void longestWait() const
    {
        const auto listing = g_figures.find("BM_FirstExport");
        const auto idle = g_figures.find("BM_WindowNothingRead");
        if (listing == g_figures.end() || idle == g_figures.end())
            return;
        std::printf("longest wait of the window's events while the export is listed %.1f ms (worst of the runs)"
                    "   shown as long with nothing to read %.1f ms   ratio %.2fx\n",
                    listing->second.longestWaitMs, idle->second.longestWaitMs,
                    listing->second.longestWaitMs / idle->second.longestWaitMs);
    }

    void stop(const char *when, const char *name) const
    {
        const double t = time(name);
        if (t > 0)
            std::printf("\"Zrušit\" %s: no reader at work after %.1f ms (mean of the runs)   %s %.0f ms\n", when, t,
                        t <= kStopTargetMs ? "within" : "OVER", kStopTargetMs);
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
    QTemporaryDir dir(base + QStringLiteral("/bench_archiveimport-XXXXXX"));
    if (!dir.isValid())
        return 1;
    g_root = dir.path();
    QElapsedTimer made;
    made.start();
    if (!makeFiles())
        return 1;
    std::printf("%d rides of 30 to 150 min (%d GPX): %.1f MB of ride files, the export %.1f MB; made in %.1f s;"
                " %d threads; platform %s\n",
                kRides, kRides / kGpxEvery, g_plainBytes / 1e6, QFileInfo(g_export).size() / 1e6,
                made.elapsed() / 1e3, QThread::idealThreadCount(), qPrintable(QGuiApplication::platformName()));
    {
        // The toolkit's first window (fonts, style) is not the import's cost.
        QTemporaryDir warm(g_root + QStringLiteral("/data-XXXXXX"));
        importInWindow({g_plainFiles.first()}, warm.path());
    }

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    g_knownFolder.reset();
    std::printf("\n");
    const Report report(reporter);
    report.ratio("first import of the export", "BM_FirstExport", "BM_FirstPlainFiles", "the plain files",
                 kFirstTarget);
    report.ratio("second import of the export", "BM_SecondExport", "BM_FirstExport", "the first", kSecondTarget);
    report.ratio("second import of the plain files", "BM_SecondPlainFiles", "BM_FirstPlainFiles", "the first", 0);
    report.longestWait();
    report.stop("half-way through the export", "BM_StopExport");
    report.stop("while a second import hashes the export", "BM_StopSecondExport");
    if (g_addingMs >= 0)
        std::printf("adding all %d rides (kept copies and the register written) %.1f ms\n", kRides, g_addingMs);
    return 0;
}

// Reading a season of GPX files (300 rides of 2 hours, a point each
// second) with the GPX reader, against only tokenising the same files with
// QXmlStreamReader, measured in the same run: one file after another on
// one thread, and all of them through a thread pool as the program reads
// them. Also the cost of one geodesic distance, and the memory a 500 MB
// GPX file adds while it is read.
//
// The files are generated in a temporary folder (on /dev/shm when there
// is one) and removed at the end.

#include "RatioReporter.h"
#include "RecordedRide.h"

#include <GeographicLib/Geodesic.hpp>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QXmlStreamReader>
#include <QtConcurrent>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>

namespace {

constexpr int kFiles = 300;
constexpr int kPointsPerFile = 2 * 3600;

QStringList g_files;
std::vector<std::pair<double, double>> g_track; // the first file's points

// One ride: riding at 15–30 km/h with a few stops at lights, around
// Brno, a point each second, as a bike computer writes it.
void writeRide(QIODevice &out, int index, int points, std::vector<std::pair<double, double>> *track = nullptr)
{
    QRandomGenerator random(index + 1);
    const QDateTime start(QDate(2024, 3, 1).addDays(index % 240), QTime(6, 0), Qt::UTC);
    const qint64 startSecs = start.toSecsSinceEpoch();
    out.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<gpx version=\"1.1\" creator=\"bench\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
              " <metadata><name>Jízda</name></metadata>\n <trk>\n  <name>Jízda</name>\n  <type>cycling</type>\n"
              "  <trkseg>\n");
    double lat = 49.19 + random.bounded(0.05), lon = 16.60 + random.bounded(0.05), heading = random.bounded(6.28);
    double ele = 250;
    QByteArray chunk;
    chunk.reserve(1 << 20);
    char line[200];
    for (int i = 0; i < points; ++i) {
        const bool stopped = (i % 900) < 30;
        const double metres = stopped ? 0 : (15 + random.bounded(15.0)) / 3.6;
        heading += random.bounded(0.1) - 0.05;
        lat += metres * std::cos(heading) / 111'200;
        lon += metres * std::sin(heading) / (111'200 * std::cos(lat * M_PI / 180));
        ele += random.bounded(0.4) - 0.2;
        if (track)
            track->emplace_back(lat, lon);
        const QDateTime t = QDateTime::fromSecsSinceEpoch(startSecs + i, Qt::UTC);
        const QDate d = t.date();
        const QTime tm = t.time();
        const int n = std::snprintf(line, sizeof line,
                                    "   <trkpt lat=\"%.7f\" lon=\"%.7f\">\n    <ele>%.1f</ele>\n"
                                    "    <time>%04d-%02d-%02dT%02d:%02d:%02dZ</time>\n   </trkpt>\n",
                                    lat, lon, ele, d.year(), d.month(), d.day(), tm.hour(), tm.minute(), tm.second());
        chunk.append(line, n);
        if (chunk.size() > (1 << 20) - 256) {
            out.write(chunk);
            chunk.clear();
        }
    }
    out.write(chunk);
    out.write("  </trkseg>\n </trk>\n</gpx>\n");
}

qint64 tokenise(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QXmlStreamReader xml(&file);
    qint64 tokens = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        ++tokens;
    }
    return tokens;
}

double readRide(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const GpsImport::StopFlag stop{false};
    const GpsImport::FileRides rides = GpsImport::readGpx(file, QTimeZone("Europe/Prague"), stop);
    return rides.rides.isEmpty() ? -1 : *rides.rides.front().metres;
}

void BM_Tokenise(benchmark::State &state)
{
    for (auto _ : state) {
        qint64 tokens = 0;
        for (const QString &path : g_files)
            tokens += tokenise(path);
        benchmark::DoNotOptimize(tokens);
    }
}

void BM_ReadGpx(benchmark::State &state)
{
    for (auto _ : state) {
        double metres = 0;
        for (const QString &path : g_files)
            metres += readRide(path);
        benchmark::DoNotOptimize(metres);
    }
}

void BM_TokenisePool(benchmark::State &state)
{
    for (auto _ : state) {
        const QList<qint64> tokens = QtConcurrent::blockingMapped(g_files, tokenise);
        benchmark::DoNotOptimize(tokens.size());
    }
}

void BM_ReadGpxPool(benchmark::State &state)
{
    for (auto _ : state) {
        const QList<double> metres = QtConcurrent::blockingMapped(g_files, readRide);
        benchmark::DoNotOptimize(metres.size());
    }
}

// One geodesic distance between points a second apart, as the reader
// computes it for each point.
void BM_Inverse(benchmark::State &state)
{
    const GeographicLib::Geodesic &wgs84 = GeographicLib::Geodesic::WGS84();
    for (auto _ : state) {
        double sum = 0;
        for (size_t i = 1; i < g_track.size(); ++i) {
            double s12 = 0;
            wgs84.Inverse(g_track[i - 1].first, g_track[i - 1].second, g_track[i].first, g_track[i].second, s12);
            sum += s12;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * qint64(g_track.size() - 1));
}

// Processor time of the whole process, as the pool's is.
BENCHMARK(BM_Tokenise)->Unit(benchmark::kMillisecond)->Iterations(3)->MeasureProcessCPUTime();
BENCHMARK(BM_ReadGpx)->Unit(benchmark::kMillisecond)->Iterations(3)->MeasureProcessCPUTime();
BENCHMARK(BM_TokenisePool)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReadGpxPool)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Inverse)->Unit(benchmark::kMicrosecond);

qint64 peakRssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

// The peak memory a 500 MB file adds while it is read, in MiB.
void measureLargeFile(const QString &folder)
{
    const QString path = QDir(folder).filePath(QStringLiteral("large.gpx"));
    {
        QFile out(path);
        out.open(QIODevice::WriteOnly);
        writeRide(out, 0, 5'000'000);
        std::printf("large file: %.0f MB, %d points\n", out.size() / 1e6, 5'000'000);
    }
    // The peak so far is forgotten: what follows is the reading's own.
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    clear.close();
    const qint64 before = peakRssKiB();
    const double metres = readRide(path);
    const qint64 after = peakRssKiB();
    QFile::remove(path);
    std::printf("large file: %.1f km read; peak RSS %.1f MiB before, %.1f MiB while reading: %.1f MiB added, %s 50 MiB\n",
                metres / 1000, before / 1024.0, after / 1024.0, (after - before) / 1024.0,
                after - before < 50 * 1024 ? "within" : "OVER");
}

// Also the processor time of each benchmark: on a shared
// machine it tells the work of one thread better than the clock.
class Reporter : public RatioReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &r : runs)
            if (r.run_type == Run::RT_Iteration && !r.error_occurred)
                cpuTimes[r.run_name.function_name] = r.GetAdjustedCPUTime();
        RatioReporter::ReportRuns(runs);
    }
    std::map<std::string, double> cpuTimes;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    QTemporaryDir dir(base + QStringLiteral("/bench_gpxread-XXXXXX"));
    if (!dir.isValid())
        return 1;
    measureLargeFile(dir.path());

    qint64 bytes = 0;
    for (int i = 0; i < kFiles; ++i) {
        const QString path = dir.filePath(QStringLiteral("ride%1.gpx").arg(i, 3, 10, QLatin1Char('0')));
        QFile out(path);
        out.open(QIODevice::WriteOnly);
        writeRide(out, i, kPointsPerFile, i == 0 ? &g_track : nullptr);
        bytes += out.size();
        g_files.append(path);
    }
    std::printf("season: %d files, %.0f MB, %.0f bytes per point\n", kFiles, bytes / 1e6,
                double(bytes) / (double(kFiles) * kPointsPerFile));
    std::printf("first ride: %.3f km\n", readRide(g_files.first()) / 1000);

    benchmark::Initialize(&argc, argv);
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto time = [&](const char *name) {
        const auto found = reporter.times.find(name);
        return found == reporter.times.end() ? -1.0 : found->second;
    };
    const double tokens = time("BM_Tokenise"), read = time("BM_ReadGpx");
    const double tokensPool = time("BM_TokenisePool"), readPool = time("BM_ReadGpxPool");
    if (tokens <= 0 || read <= 0 || tokensPool <= 0 || readPool <= 0)
        return 0;
    const double readCpu = reporter.cpuTimes["BM_ReadGpx"], tokensCpu = reporter.cpuTimes["BM_Tokenise"];
    std::printf("\nfile after file: reading %7.0f ms   tokenising %7.0f ms   ratio %.2fx   %s 1.5x\n", read, tokens,
                read / tokens, read <= 1.5 * tokens ? "within" : "OVER");
    std::printf("  processor time:  reading %7.0f ms   tokenising %7.0f ms   ratio %.2fx\n", readCpu,
                tokensCpu, readCpu / tokensCpu);
    std::printf("thread pool:     reading %7.0f ms   tokenising %7.0f ms   ratio %.2fx   (%d threads)\n", readPool,
                tokensPool, readPool / tokensPool, QThreadPool::globalInstance()->maxThreadCount());
    std::printf("geodesic distance: %.3f us per point (BM_Inverse / %zu)\n", time("BM_Inverse") / (g_track.size() - 1),
                g_track.size() - 1);
    return 0;
}

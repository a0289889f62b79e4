// A season of FIT files (300 rides of two hours, a record a second) read
// by the FIT reader, against reading their bytes the same way (a file at
// a time, 64 KiB at a time, from the page cache), measured in the same
// run; once a file after another, and once over a thread pool as the
// import does. The same season once more with sessions that give no
// riding time, whose records the reader walks again to tell it.

#include "FitWriter.h"
#include "RatioReporter.h"
#include "RecordedRide.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtConcurrent>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <memory>

namespace {

constexpr int kFiles = 300;
constexpr int kSeconds = 2 * 3600;
QStringList g_files, g_noTimerFiles;
qint64 g_bytes = 0, g_noTimerBytes = 0;

qint64 readBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    static thread_local std::unique_ptr<char[]> buffer(new char[64 * 1024]);
    qint64 sum = 0, got;
    while ((got = f.read(buffer.get(), 64 * 1024)) > 0)
        sum += got + buffer[0];
    return sum;
}

int readRides(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const GpsImport::StopFlag stop{false};
    return int(GpsImport::readFit(f, stop).rides.size());
}

void BM_ReadBytes(benchmark::State &state)
{
    for (auto _ : state)
        for (const QString &path : g_files)
            benchmark::DoNotOptimize(readBytes(path));
    state.SetBytesProcessed(state.iterations() * g_bytes);
}

void BM_ReadFit(benchmark::State &state)
{
    for (auto _ : state)
        for (const QString &path : g_files)
            benchmark::DoNotOptimize(readRides(path));
    state.SetBytesProcessed(state.iterations() * g_bytes);
}

void BM_ReadBytesNoTimer(benchmark::State &state)
{
    for (auto _ : state)
        for (const QString &path : g_noTimerFiles)
            benchmark::DoNotOptimize(readBytes(path));
    state.SetBytesProcessed(state.iterations() * g_noTimerBytes);
}

void BM_ReadFitNoTimer(benchmark::State &state)
{
    for (auto _ : state)
        for (const QString &path : g_noTimerFiles)
            benchmark::DoNotOptimize(readRides(path));
    state.SetBytesProcessed(state.iterations() * g_noTimerBytes);
}

void BM_ReadBytesPool(benchmark::State &state)
{
    for (auto _ : state) {
        std::atomic<qint64> sum = 0;
        QtConcurrent::blockingMap(g_files, [&](const QString &path) { sum += readBytes(path); });
        benchmark::DoNotOptimize(sum.load());
    }
    state.SetBytesProcessed(state.iterations() * g_bytes);
}

void BM_ReadFitPool(benchmark::State &state)
{
    for (auto _ : state) {
        std::atomic<int> rides = 0;
        QtConcurrent::blockingMap(g_files, [&](const QString &path) { rides += readRides(path); });
        benchmark::DoNotOptimize(rides.load());
    }
    state.SetBytesProcessed(state.iterations() * g_bytes);
}

BENCHMARK(BM_ReadBytes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadFit)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadBytesPool)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadFitPool)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadBytesNoTimer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadFitNoTimer)->Unit(benchmark::kMillisecond)->UseRealTime();

void printRatio(const RatioReporter &reporter, const char *what, const char *fit, const char *bytes,
                double within = 1.5)
{
    const auto a = reporter.times.find(fit);
    const auto b = reporter.times.find(bytes);
    if (a == reporter.times.end() || b == reporter.times.end() || b->second <= 0)
        return;
    const double ratio = a->second / b->second;
    std::printf("%-22s readFit %7.1f ms   bytes only %7.1f ms   ratio %.2fx   %s %.1fx\n", what, a->second, b->second,
                ratio, ratio <= within ? "within" : "OVER", within);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const std::uint32_t start = FitWriter::fitTime(QDateTime(QDate(2024, 3, 1), QTime(7, 0), Qt::UTC));
    const QByteArray ride = FitWriter::activity(start, kSeconds, 7.5);
    FitWriter::File noTimer;
    FitWriter::fileId(noTimer, 4);
    FitWriter::records(noTimer, start, kSeconds, 7.5);
    FitWriter::session(noTimer, {start, std::int64_t(kSeconds) * 1000, -1, std::int64_t((kSeconds - 1) * 750), 2, 0});
    for (int i = 0; i < 2 * kFiles; ++i) {
        // Each file its own bytes: the day moves on, the checksum follows.
        const bool timer = i < kFiles;
        QByteArray bytes = timer ? ride : noTimer.bytes();
        const std::uint32_t day = std::uint32_t(i) * 86400;
        for (int k = 0; k < 4; ++k)
            bytes[33 + k] = char(bytes[33 + k] ^ (day >> (8 * k)));
        bytes.chop(2);
        const std::uint16_t crc =
            GpsImport::FitCrc::update(0, reinterpret_cast<const unsigned char *>(bytes.constData()), bytes.size());
        bytes.append(char(crc & 0xFF)).append(char(crc >> 8));
        const QString path = QDir(dir.path()).filePath(QStringLiteral("ride%1.fit").arg(i, 3, 10, QLatin1Char('0')));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return 1;
        (timer ? g_files : g_noTimerFiles).append(path);
        (timer ? g_bytes : g_noTimerBytes) += bytes.size();
    }
    // The page cache warm, and the files what they should be.
    int rides = 0;
    for (const QString &path : g_files + g_noTimerFiles) {
        readBytes(path);
        rides += readRides(path);
    }
    {
        QFile f(g_files.first());
        f.open(QIODevice::ReadOnly);
        const GpsImport::StopFlag stop{false};
        const GpsImport::FileRides first = GpsImport::readFit(f, stop);
        if (first.rides.size() != 1 || !first.rides[0].remarks.isEmpty())
            return std::printf("the generated file does not read as one clean ride\n"), 1;
        QFile g(g_noTimerFiles.first());
        g.open(QIODevice::ReadOnly);
        const GpsImport::FileRides noTimerRide = GpsImport::readFit(g, stop);
        if (noTimerRide.rides.size() != 1 || !noTimerRide.rides[0].remarks.isEmpty()
            || noTimerRide.rides[0].seconds != kSeconds - 1)
            return std::printf("the file without timer time does not read as the ride its records tell\n"), 1;
        std::printf("%d files and %d without timer time, %.1f MB, %d rides; the first %s, %.0f m, %.1f s; %d threads in the pool\n",
                    kFiles, kFiles, (g_bytes + g_noTimerBytes) / 1e6, rides, qPrintable(first.rides[0].start.toString(Qt::ISODate)),
                    first.rides[0].metres.value_or(-1), first.rides[0].seconds,
                    QThreadPool::globalInstance()->maxThreadCount());
    }

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf("\n");
    printRatio(reporter, "one file after another", "BM_ReadFit", "BM_ReadBytes");
    printRatio(reporter, "thread pool", "BM_ReadFitPool", "BM_ReadBytesPool");
    // Sessions without timer time: the records walked again and read.
    printRatio(reporter, "without timer time", "BM_ReadFitNoTimer", "BM_ReadBytesNoTimer", 8.0);
    return 0;
}

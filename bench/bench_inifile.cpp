// The INI files on a large scale.
//
//   BM_Names          the favourite routes' names of a trasy.ini of 5,000 and
//                     100,000 routes, the file changed before every call (so
//                     it is read and parsed each time, as at the first
//                     drop-down after the file changed)
//   BM_NamesUnchanged the same names again from a file that did not change
//   BM_ReadFile       baseline: reading the same file's bytes
//   BM_Start          the main window's start in a child process (offscreen
//                     unless there is a display), time until it is shown and
//                     its memory then, with a store.ini of the usual keys
//                     ("plain") and with one that also holds a 100 MB value
//
// Printed at the end: the names as a ratio to reading the file, the time per
// route of 100,000 routes against 5,000, and the start with the 100 MB value
// against the plain one.

#include "AnsiFile.h"
#include "FavouriteRoutes.h"
#include "MainWindowStart.h"
#include "RatioReporter.h"
#include "RideLogTable.h"
#include "MainWindow.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kFew = 5'000;
constexpr int kMany = 100'000;
constexpr qsizetype kHugeValue = 100 * 1024 * 1024;

QTemporaryDir *g_dir = nullptr;
std::map<std::string, double> g_startMs, g_startRssMb, g_startPeakMb;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        std::abort();
}

// Routes as the program saves them; every tenth name comes again later in
// capitals, as a hand-edited file may hold it.
QByteArray routesFile(int routes)
{
    QByteArray bytes;
    for (int i = 0; i < routes; ++i) {
        const QByteArray name = i % 10 == 9 ? "TRASA " + QByteArray::number(i - 5) : "Trasa " + QByteArray::number(i);
        bytes += "[" + name + "]\r\npopis=Brno - Ti\x9anov - Nedv\xec" "dice\r\ndelka="
            + QByteArray::number(20 + i % 80) + ",5\r\nnaroc=" + QByteArray::number(1 + i % 5) + "\r\n";
    }
    return bytes;
}

QString routesPath(int routes, const char *kind)
{
    return g_dir->filePath(QStringLiteral("trasy-%1-%2.ini").arg(routes).arg(QLatin1String(kind)));
}

void BM_ReadFile(benchmark::State &state, int routes)
{
    const QString path = routesPath(routes, "changed");
    for (auto _ : state)
        benchmark::DoNotOptimize(AnsiFile::readBytes(path).size());
}

void BM_Names(benchmark::State &state, int routes)
{
    const QString path = routesPath(routes, "changed");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        std::abort();
    qint64 second = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // Another time stamp: the file counts as changed.
        if (!file.setFileTime(QDateTime::fromSecsSinceEpoch(1'000'000'000 + ++second),
                              QFileDevice::FileModificationTime))
            std::abort();
        state.ResumeTiming();
        benchmark::DoNotOptimize(FavouriteRoutes::names(path).size());
    }
}

void BM_NamesUnchanged(benchmark::State &state, int routes)
{
    const QString path = routesPath(routes, "unchanged");
    for (auto _ : state)
        benchmark::DoNotOptimize(FavouriteRoutes::names(path).size());
}

const char *const kStarts[] = {"plain", "100 MB value"};

QString startFolder(const char *name)
{
    return g_dir->filePath(QString::fromLatin1(name).replace(u' ', u'-'));
}

void BM_Start(benchmark::State &state)
{
    const char *name = kStarts[state.range(0)];
    state.SetLabel(name);
    std::vector<double> ms, rss, peak;
    for (auto _ : state) {
        const auto figures = MainWindowStart::start(startFolder(name));
        if (!figures) {
            state.SkipWithError("the program did not start");
            return;
        }
        state.SetIterationTime(figures->ms / 1000);
        ms.push_back(figures->ms);
        rss.push_back(figures->rssMb);
        peak.push_back(figures->peakMb);
    }
    for (auto *v : {&ms, &rss, &peak})
        std::sort(v->begin(), v->end());
    g_startMs[name] = ms[ms.size() / 2];
    g_startRssMb[name] = rss[rss.size() / 2];
    g_startPeakMb[name] = peak[peak.size() / 2];
    state.counters["rss_MB"] = g_startRssMb[name];
    state.counters["peak_MB"] = g_startPeakMb[name];
}

void prepare()
{
    g_dir = new QTemporaryDir;
    for (int routes : {kFew, kMany})
        for (const char *kind : {"changed", "unchanged"})
            writeFile(routesPath(routes, kind), routesFile(routes));
    const QByteArray section = "[MainWindow]\r\nFormVersion=0\r\nFlags=0\r\nShowCmd=1\r\nPixelsPerInch=96\r\n"
                               "MinMaxPos=-1,-1,-8,-30\r\nNormPos=120,90,664,432\r\n";
    for (const char *name : kStarts) {
        QDir().mkpath(startFolder(name));
        QByteArray bytes = section;
        if (name == kStarts[1])
            bytes += "Visible=" + QByteArray(kHugeValue, '0') + "\r\n";
        else
            bytes += "Visible=0\r\n";
        writeFile(startFolder(name) + QStringLiteral("/store.ini"), bytes + "item_op_novy_Checked=False\r\n");
    }
    // A file that was written a moment ago may still change within the same
    // tick of the file system's clock; these are meant to be older.
    QThread::sleep(3);
}

} // namespace

int main(int argc, char **argv)
{
    MainWindowStart::runIfChild(argc, argv);
    QCoreApplication app(argc, argv);
    prepare();
    for (int routes : {kFew, kMany})
        for (const auto &[name, run] : {std::pair{"BM_ReadFile", &BM_ReadFile}, std::pair{"BM_Names", &BM_Names},
                                        std::pair{"BM_NamesUnchanged", &BM_NamesUnchanged}})
            benchmark::RegisterBenchmark((std::string(name) + "/" + std::to_string(routes)).c_str(), run, routes)
                ->Unit(benchmark::kMillisecond);
    for (int i = 0; i < 2; ++i)
        benchmark::RegisterBenchmark("BM_Start", BM_Start)
            ->Arg(i)
            ->Iterations(5)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto t = [&](const char *name, int routes) {
        const auto it = reporter.times.find(std::string(name) + "/" + std::to_string(routes));
        return it == reporter.times.end() ? 0.0 : it->second;
    };
    std::printf("\n");
    for (int routes : {kFew, kMany})
        if (t("BM_Names", routes) > 0 && t("BM_ReadFile", routes) > 0)
            std::printf("names of %6d routes: %8.2f ms = %5.1fx reading the file; unchanged file %.2f ms\n", routes,
                        t("BM_Names", routes), t("BM_Names", routes) / t("BM_ReadFile", routes),
                        t("BM_NamesUnchanged", routes));
    if (t("BM_Names", kFew) > 0 && t("BM_Names", kMany) > 0)
        std::printf("time per route, %d routes against %d: %.2fx\n", kMany, kFew,
                    (t("BM_Names", kMany) / kMany) / (t("BM_Names", kFew) / kFew));
    if (g_startMs.count(kStarts[0]) && g_startMs.count(kStarts[1])) {
        const double fileMb = double(kHugeValue) / (1024 * 1024);
        std::printf("start with a %.0f MB value in store.ini: shown in %.0f ms = %.2fx the plain start (%.0f ms); "
                    "memory over the plain start %.1f MB = %.2fx the value, peak %.1f MB = %.2fx\n",
                    fileMb, g_startMs[kStarts[1]], g_startMs[kStarts[1]] / g_startMs[kStarts[0]],
                    g_startMs[kStarts[0]], g_startRssMb[kStarts[1]] - g_startRssMb[kStarts[0]],
                    (g_startRssMb[kStarts[1]] - g_startRssMb[kStarts[0]]) / fileMb,
                    g_startPeakMb[kStarts[1]] - g_startPeakMb[kStarts[0]],
                    (g_startPeakMb[kStarts[1]] - g_startPeakMb[kStarts[0]]) / fileMb);
    }
    delete g_dir;
    return 0;
}

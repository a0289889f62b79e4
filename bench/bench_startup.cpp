// Starting the program on a large ride log, against starting it on none,
// each start in a process of its own (offscreen): the time until the main
// window is shown and the resident memory then.
//
//   rides        a 100,000-ride log
//   row heights  the same log with a "Row i Height" line for every row
//   far column   a 2001 x 10000 table whose 2000 cells all lie in the
//                last column (a small file that claims a wide table)
//
// Printed at the end: the start time of each log as a ratio to the empty
// start, and the memory over the empty start as a ratio to the file size.

#include "AnsiFile.h"
#include "MainWindowStart.h"
#include "RideLogText.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int kRides = 100'000;

struct Scenario
{
    const char *name;
    QString folder;
    qint64 fileSize = 0;
};

QTemporaryDir *g_dir = nullptr;
std::vector<Scenario> g_scenarios;
// Median figures per scenario, kept for the ratios at the end.
std::map<std::string, std::vector<double>> g_ms, g_rssMb;

void writeLog(const QString &folder, const QString &text)
{
    QFile f(folder + QStringLiteral("/default.tvl"));
    const QByteArray bytes = AnsiFile::encode(text);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        std::abort();
}

void prepare()
{
    g_dir = new QTemporaryDir;
    auto add = [](const char *name, const QString &text) {
        const QString folder = g_dir->filePath(QString::fromLatin1(name).replace(u' ', u'-'));
        QDir().mkpath(folder);
        Scenario s{name, folder};
        if (!text.isNull()) {
            writeLog(folder, text);
            s.fileSize = QFileInfo(folder + QStringLiteral("/default.tvl")).size();
        }
        g_scenarios.push_back(s);
    };
    add("empty", QString());
    const QString rides = rideLogText(kRides);
    add("rides", rides);
    // Every row with its own height: the lines go after line 6.
    QString heights;
    for (int r = 0; r <= kRides; ++r)
        heights += QStringLiteral("Row %1 Height: 20\r\n").arg(r);
    qsizetype afterLine6 = 0;
    for (int n = 0; n < 6; ++n)
        afterLine6 = rides.indexOf(QLatin1String("\r\n"), afterLine6) + 2;
    add("row heights", QString(rides).insert(afterLine6, heights));
    QString far = QStringLiteral("|\r\n2001|10000\r\n18\r\n\r\n\r\nTop\r\n");
    for (int r = 1; r <= 2000; ++r)
        far += QStringLiteral("9999|%1|Okruh %1\r\n").arg(r);
    add("far column", far + QStringLiteral("\r\n"));
}

void BM_Start(benchmark::State &state)
{
    const Scenario &s = g_scenarios[size_t(state.range(0))];
    state.SetLabel(s.name);
    std::vector<double> ms, rss;
    for (auto _ : state) {
        const auto figures = MainWindowStart::start(s.folder);
        if (!figures) {
            state.SkipWithError("the program did not start");
            return;
        }
        state.SetIterationTime(figures->ms / 1000);
        ms.push_back(figures->ms);
        rss.push_back(figures->rssMb);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(rss.begin(), rss.end());
    g_ms[s.name] = ms;
    g_rssMb[s.name] = rss;
    state.counters["rss_MB"] = rss[rss.size() / 2];
    state.counters["file_MB"] = double(s.fileSize) / (1024 * 1024);
}

double median(const std::vector<double> &v)
{
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    MainWindowStart::runIfChild(argc, argv);
    QCoreApplication app(argc, argv);
    prepare();
    for (size_t i = 0; i < g_scenarios.size(); ++i)
        benchmark::RegisterBenchmark("BM_Start", BM_Start)
            ->Arg(int(i))
            ->Iterations(15)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double emptyMs = median(g_ms["empty"]);
    const double emptyMb = median(g_rssMb["empty"]);
    std::printf("\nempty start: %.0f ms, %.1f MB resident\n", emptyMs, emptyMb);
    for (const Scenario &s : g_scenarios) {
        if (s.fileSize == 0 || emptyMs <= 0)
            continue;
        const double fileMb = double(s.fileSize) / (1024 * 1024);
        const double overMb = median(g_rssMb[s.name]) - emptyMb;
        std::printf("%-12s file %6.2f MB   shown in %6.0f ms = %.2fx the empty start   "
                    "memory over the empty start %7.1f MB = %.2fx the file\n",
                    s.name, fileMb, median(g_ms[s.name]), median(g_ms[s.name]) / emptyMs, overMb,
                    overMb / fileMb);
    }
    delete g_dir;
    return 0;
}

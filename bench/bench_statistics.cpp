// The statistics of a generated 100,000-ride log (a century of rides)
// against a baseline that only reads the same cells (date, route name,
// distance, time), measured in the same run; and the statistics window
// from its construction to its first frame on the screen.
//
// Runs on the display when there is one (xvfb-run gives one), else
// offscreen.

#include "AnsiFile.h"
#include "LocaleService.h"
#include "RatioReporter.h"
#include "RideLogText.h"
#include "RideStatistics.h"
#include "StatisticsWindow.h"
#include "StringTable.h"
#include "TableFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

constexpr int kRides = 100'000;
std::unique_ptr<StringTable> g_log;

void BM_Statistics(benchmark::State &state)
{
    for (auto _ : state) {
        const RideStatistics::Statistics s = RideStatistics::compute(*g_log);
        benchmark::DoNotOptimize(s.total.rides);
    }
}

// The cells the statistics read, each looked at once.
void BM_ReadCells(benchmark::State &state)
{
    for (auto _ : state) {
        qsizetype sum = 0;
        for (int r = 1; r < g_log->tableRowCount(); ++r)
            for (int c : {0, 1, 3, 4}) {
                const QStringView v = g_log->cellView(c, r);
                sum += v.size() + (v.isEmpty() ? 0 : v.front().unicode());
            }
        benchmark::DoNotOptimize(sum);
    }
}

void BM_OpenWindow(benchmark::State &state)
{
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        StatisticsWindow window(*g_log);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window)) {
            state.SkipWithError("the window was not shown");
            break;
        }
        window.repaint();
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
    }
}

BENCHMARK(BM_Statistics)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCells)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenWindow)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The generated dates are Czech short dates.
    LocaleService::instance().setLocale(QLocale(QLocale::Czech, QLocale::CzechRepublic));
    g_log = std::make_unique<StringTable>();
    TableFile::read(*g_log, AnsiFile::encode(rideLogText(kRides)));
    const RideStatistics::Statistics check = RideStatistics::compute(*g_log);
    std::printf("%d rides in %zu years, %d without a date\n", check.total.rides, check.years.size(),
                check.undated.rides);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto stats = reporter.times.find("BM_Statistics");
    const auto base = reporter.times.find("BM_ReadCells");
    const auto open = reporter.times.find("BM_OpenWindow");
    std::printf("\n");
    if (stats != reporter.times.end() && base != reporter.times.end() && base->second > 0)
        std::printf("statistics %7.1f ms   reading the cells %6.1f ms   ratio %.2fx   %s 50 ms\n", stats->second,
                    base->second, stats->second / base->second, stats->second <= 50 ? "within" : "OVER");
    if (open != reporter.times.end())
        std::printf("window     %7.1f ms from construction to the first frame\n", open->second);
    g_log.reset();
    return 0;
}

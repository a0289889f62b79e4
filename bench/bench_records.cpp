// The records of a generated 100,000-ride log (a century of rides) against
// a baseline that only reads the cells they read (date, distance, time),
// measured in the same run; the same over the rides a filter shows (every
// other one); and the tab "Rekordy" of the statistics window opened on the
// log, with the longest time its thread was kept from its events (the
// records are worked out when the tab is first shown).
//
// Runs on the display when there is one (xvfb-run gives one), else
// offscreen.

#include "AnsiFile.h"
#include "LocaleService.h"
#include "LongestWait.h"
#include "RatioReporter.h"
#include "RecordsView.h"
#include "RideLogText.h"
#include "RideRecords.h"
#include "StatisticsWindow.h"
#include "StringTable.h"
#include "TableFile.h"

#include <QApplication>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

constexpr int kRides = 100'000;
std::unique_ptr<StringTable> g_log;
std::vector<int> g_shown;
double g_longestWaitMs = 0;

void BM_Records(benchmark::State &state)
{
    for (auto _ : state) {
        const RideRecords::Records r = RideRecords::compute(*g_log);
        benchmark::DoNotOptimize(r.skipped);
    }
}

void BM_RecordsOfShownRides(benchmark::State &state)
{
    for (auto _ : state) {
        const RideRecords::Records r = RideRecords::compute(*g_log, std::nullopt, &g_shown);
        benchmark::DoNotOptimize(r.skipped);
    }
}

// The cells the records read, each looked at once.
void BM_ReadCells(benchmark::State &state)
{
    for (auto _ : state) {
        qsizetype sum = 0;
        for (int r = 1; r < g_log->tableRowCount(); ++r)
            for (int c : {0, 3, 4}) {
                const QStringView v = g_log->cellView(c, r);
                sum += v.size() + (v.isEmpty() ? 0 : v.front().unicode());
            }
        benchmark::DoNotOptimize(sum);
    }
}

// From the tab switched to until its list is painted.
void BM_OpenRecordsTab(benchmark::State &state)
{
    for (auto _ : state) {
        StatisticsWindow window(*g_log);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window)) {
            state.SkipWithError("the window was not shown");
            break;
        }
        LongestWait wait;
        wait.startTicking();
        QTimer::singleShot(0, &window, [&] {
            window.tabs->setCurrentWidget(window.recordsView);
            window.repaint();
        });
        QTest::qWait(50);
        if (window.recordsView->recordList->topLevelItemCount() == 0) {
            state.SkipWithError("no records shown");
            break;
        }
        g_longestWaitMs = std::max(g_longestWaitMs, wait.longestMs());
        state.SetIterationTime(wait.longestMs() / 1e3);
    }
}

BENCHMARK(BM_Records)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordsOfShownRides)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCells)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenRecordsTab)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

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
    for (int r = 1; r < g_log->tableRowCount(); r += 2)
        g_shown.push_back(r);
    const RideRecords::Records check = RideRecords::compute(*g_log);
    const auto &longest = check.of[RideRecords::LongestRide];
    const auto &run = check.of[RideRecords::LongestDayRun];
    std::printf("%d rides: longest %s, longest run %s, %d left out\n", g_log->tableRowCount() - 1,
                longest ? qPrintable(RideRecords::valueText(RideRecords::LongestRide, *longest)) : "none",
                run ? qPrintable(RideRecords::valueText(RideRecords::LongestDayRun, *run)) : "none", check.skipped);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto records = reporter.times.find("BM_Records");
    const auto shown = reporter.times.find("BM_RecordsOfShownRides");
    const auto base = reporter.times.find("BM_ReadCells");
    std::printf("\n");
    if (records != reporter.times.end() && base != reporter.times.end() && base->second > 0) {
        std::printf("records         %7.1f ms   reading the cells %6.1f ms   ratio %.2fx   %s 50 ms\n",
                    records->second, base->second, records->second / base->second,
                    records->second <= 50 ? "within" : "OVER");
        if (shown != reporter.times.end())
            std::printf("half the rides  %7.1f ms   ratio %.2fx to reading every ride's cells\n", shown->second,
                        shown->second / base->second);
    }
    if (reporter.times.count("BM_OpenRecordsTab"))
        std::printf("tab Rekordy     the window's thread kept from its events at most %.1f ms\n", g_longestWaitMs);
    g_log.reset();
    return 0;
}

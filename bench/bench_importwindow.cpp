// The window "Import jízd" over a season of FIT files (300 rides of two
// hours, a record a second): how soon the first rows show, how soon all
// of them, and the longest time the window's thread was kept from its
// events meanwhile (a 1 ms timer measures the gaps between its ticks).
// The files are read in worker threads; the window only lists.

#include "FitWriter.h"
#include "ImportWindow.h"
#include "ProgramFolder.h"
#include "RideLogTable.h"
#include "TPubStrGrid.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kFiles = 300;
constexpr int kSeconds = 2 * 3600;
constexpr double kFirstRowsTargetMs = 300;
QStringList g_files;
QString g_folder;
double g_firstRowMs = 0, g_allRowsMs = 0, g_longestStallMs = 0;

void BM_ImportWindowSeason(benchmark::State &state)
{
    TPubStrGrid log;
    setUpRideLogTable(log);
    const ProgramFolder::Location where = ProgramFolder::Location::inFolder(g_folder);
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        ImportWindow window(g_files, log, [](const QList<QStringList> &) {}, where, nullptr);
        window.show();
        qint64 firstRow = -1, lastTick = clock.nsecsElapsed(), longest = 0;
        QTimer tick;
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, now - lastTick);
            lastTick = now;
            if (firstRow < 0 && !window.rows().isEmpty())
                firstRow = now;
        });
        tick.start();
        QEventLoop loop;
        QObject::connect(&window, &ImportWindow::readingEnded, &loop, &QEventLoop::quit);
        if (window.isReading())
            loop.exec();
        const qint64 all = clock.nsecsElapsed();
        state.SetIterationTime(double(all) / 1e9);
        if (window.rows().size() != kFiles)
            state.SkipWithError("not every ride was listed");
        g_firstRowMs = double(firstRow < 0 ? all : firstRow) / 1e6;
        g_allRowsMs = double(all) / 1e6;
        g_longestStallMs = double(longest) / 1e6;
        window.hide();
    }
    state.counters["first_rows_ms"] = g_firstRowMs;
    state.counters["longest_stall_ms"] = g_longestStallMs;
}
BENCHMARK(BM_ImportWindowSeason)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    g_folder = dir.path();
    const std::uint32_t season = FitWriter::fitTime(QDateTime(QDate(2024, 3, 1), QTime(7, 0), Qt::UTC));
    for (int i = 0; i < kFiles; ++i) {
        const QByteArray bytes = FitWriter::activity(season + std::uint32_t(i) * 86400 / 2, kSeconds, 7.5);
        QFile f(QDir(dir.path()).filePath(QStringLiteral("ride%1.fit").arg(i, 3, 10, QLatin1Char('0'))));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return 1;
        g_files.append(f.fileName());
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("first rows shown after %.1f ms (%s %.0f ms), all %d rides after %.1f ms, "
                "longest wait of the window's events %.1f ms\n",
                g_firstRowMs, g_firstRowMs <= kFirstRowsTargetMs ? "within" : "OVER", kFirstRowsTargetMs, kFiles,
                g_allRowsMs, g_longestStallMs);
    return 0;
}

// "Obnovit ze zálohy…" beside a season of copies of a long log and one
// copy that only bears a copy's name: 2 GiB of NUL bytes (a sparse file,
// as `truncate -s 2G` makes). How soon the window shows its first frame,
// how soon every copy is summarised, the longest time the window's thread
// was kept from its events meanwhile (a 1 ms timer measures the gaps
// between its ticks), and how much the process's peak memory grew.
//
// The baseline, measured in the same run: the same window over the same
// copies without the large one.

#include "AnsiFile.h"
#include "BackupWindow.h"
#include "LocaleService.h"
#include "LongestWait.h"
#include "ProgramFolder.h"
#include "RideLogFiles.h"
#include "RideLogTable.h"
#include "RideLogText.h"
#include "StringTable.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

constexpr int kCopies = 40;
constexpr int kRides = 5'000;
constexpr qint64 kLargeCopy = qint64(2) << 30;
constexpr double kLongestWaitTargetMs = 100;

struct Figures
{
    double firstFrameMs = 0;
    double allMs = 0;
    double longestWaitMs = 0;
};
std::map<bool, Figures> g_figures;
QString g_folder;

qint64 peakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

Figures openOnce()
{
    StringTable log;
    setUpRideLogTable(log);
    RideLogFiles files(log, ProgramFolder::Location::inFolder(g_folder));
    LongestWait wait;
    BackupWindow window(files);
    window.show();
    wait.startTicking();
    QTest::qWaitForWindowExposed(&window);
    window.repaint();
    Figures f;
    f.firstFrameMs = double(wait.elapsedNs()) / 1e6;
    QEventLoop loop;
    QObject::connect(&window, &BackupWindow::readingEnded, &loop, &QEventLoop::quit);
    if (window.isReading())
        loop.exec();
    f.allMs = double(wait.elapsedNs()) / 1e6;
    f.longestWaitMs = wait.longestMs();
    return f;
}

void BM_BackupWindow(benchmark::State &state)
{
    const bool large = state.range(0) != 0;
    const QString largePath = g_folder + QStringLiteral("zalohy/default-2020-01-01.tvl");
    if (large) {
        QFile f(largePath);
        f.open(QIODevice::WriteOnly);
        f.resize(kLargeCopy);
    } else {
        QFile::remove(largePath);
    }
    Figures worst;
    for (auto _ : state) {
        const Figures f = openOnce();
        worst.firstFrameMs = std::max(worst.firstFrameMs, f.firstFrameMs);
        worst.allMs = std::max(worst.allMs, f.allMs);
        worst.longestWaitMs = std::max(worst.longestWaitMs, f.longestWaitMs);
        state.SetIterationTime(f.allMs / 1e3);
    }
    g_figures[large] = worst;
    state.counters["first_frame_ms"] = worst.firstFrameMs;
    state.counters["longest_wait_ms"] = worst.longestWaitMs;
    QFile::remove(largePath);
}
BENCHMARK(BM_BackupWindow)->Arg(0)->Arg(1)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    LocaleService::instance().setLocale(QLocale(QLocale::Czech, QLocale::CzechRepublic));
    QTemporaryDir dir;
    g_folder = dir.path() + u'/';
    QDir().mkpath(g_folder + QStringLiteral("zalohy"));
    const QByteArray copy = AnsiFile::encode(rideLogText(kRides));
    for (int i = 0; i < kCopies; ++i) {
        QFile f(g_folder + QStringLiteral("zalohy/default-2026-%1-%2.tvl")
                               .arg(1 + i / 28, 2, 10, QLatin1Char('0'))
                               .arg(1 + i % 28, 2, 10, QLatin1Char('0')));
        f.open(QIODevice::WriteOnly);
        f.write(copy);
    }
    std::printf("%d copies of %d rides (%lld kB each), and a copy of %lld GiB of NUL bytes\n", kCopies, kRides,
                qint64(copy.size()) / 1024, kLargeCopy >> 30);
    const qint64 peakBefore = peakKiB();

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const qint64 grown = peakKiB() - peakBefore;
    std::printf("\n");
    const auto plain = g_figures.find(false), large = g_figures.find(true);
    if (plain != g_figures.end() && large != g_figures.end()) {
        const Figures &p = plain->second, &l = large->second;
        std::printf("first frame   %7.1f ms   without the large copy %7.1f ms   ratio %.2fx\n", l.firstFrameMs,
                    p.firstFrameMs, l.firstFrameMs / p.firstFrameMs);
        std::printf("all listed    %7.1f ms   without the large copy %7.1f ms   ratio %.2fx\n", l.allMs, p.allMs,
                    l.allMs / p.allMs);
        std::printf("longest wait  %7.1f ms   without the large copy %7.1f ms   ratio %.2fx   %s %.0f ms\n",
                    l.longestWaitMs, p.longestWaitMs, l.longestWaitMs / p.longestWaitMs,
                    l.longestWaitMs <= kLongestWaitTargetMs ? "within" : "OVER", kLongestWaitTargetMs);
    }
    std::printf("peak memory grew by %lld MiB while the windows were open\n", grown / 1024);
    return 0;
}

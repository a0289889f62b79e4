// Starting the program on a large ride log, against starting it on none,
// each start in a process of its own (on the display when there is one,
// else offscreen): the time until the main window is shown and the
// resident memory then. Every start of the program follows a start of the
// bare window (bench/bare_window.cpp), the baseline.
//
//   rides        a 100,000-ride log
//   row heights  the same log with a "Row i Height" line for every row
//   far column   a 2001 x 10000 table whose 2000 cells all lie in the
//                last column (a small file that claims a wide table)
//   bike column  the 100,000-ride log with an eighth column "Kolo",
//                the bike of each ride (a handful of bikes, some rides
//                without one)
//   kola.ini     that log beside a kola.ini of its bikes with a few
//                dozen parts (the window works out the reminders of parts
//                due as soon as it has read the log, before its first
//                frame)
//
// The last two are started in turns with the seven-column log, their
// baseline: a start with them follows a start of the plain log, or
// precedes it, from turn to turn.
//
// Then what each library the program could load at start costs the bare
// window: the bare window built with it, started alternately with the
// plain one.
//
// Printed at the end: the empty start against the bare window, each log's
// start as a ratio to the bare window's start, the memory over the empty
// start as a ratio to the file size, the starts with bikes as a ratio to
// the seven-column log's starts in their turns, and the price of each
// library.

#include "AnsiFile.h"
#include "GarageFile.h"
#include "LocaleService.h"
#include "MainWindowStart.h"
#include "RideColumn.h"
#include "RideLogText.h"
#include "StringTable.h"
#include "TableFile.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kRides = 100'000;

struct Scenario
{
    const char *name;
    QString folder;
    qint64 fileSize = 0;
    // Started in turns with the seven-column log rather than with the bare
    // window.
    bool withBikes = false;
};

QTemporaryDir *g_dir = nullptr;
std::vector<Scenario> g_scenarios;
// Figures per scenario and per bare window, kept for the ratios at the end.
std::map<std::string, std::vector<double>> g_ms, g_rssMb;
const char *const kBare = "bare window";
const char *const kSevenColumns = "rides";

// The bare windows: the plain one and one for each library.
const char *const kLibraries[] = {"svg", "network", "printsupport", "charts", "sql", "shared_gl", "webengine"};

QString bareProgram(const std::string &library)
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/bench_bare_window")
           + (library.empty() ? QString() : u'_' + QString::fromStdString(library));
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The bare window's start, kept with the other plain starts and, when
// it is paired with a library's, under "bare:<library>" too.
bool startBare(const std::string &pairedWith = {})
{
    const auto figures = MainWindowStart::startProgram(bareProgram({}), {});
    if (!figures)
        return false;
    g_ms[kBare].push_back(figures->ms);
    g_rssMb[kBare].push_back(figures->rssMb);
    if (!pairedWith.empty()) {
        g_ms["bare:" + pairedWith].push_back(figures->ms);
        g_rssMb["bare:" + pairedWith].push_back(figures->rssMb);
    }
    return true;
}

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
    auto add = [](const char *name, const QString &text, bool withBikes = false) {
        const QString folder = g_dir->filePath(QString::fromLatin1(name).replace(u' ', u'-'));
        QDir().mkpath(folder);
        Scenario s{name, folder, 0, withBikes};
        if (!text.isNull()) {
            writeLog(folder, text);
            s.fileSize = QFileInfo(folder + QStringLiteral("/default.tvl")).size();
        }
        g_scenarios.push_back(s);
    };
    add("empty", QString());
    const QString rides = rideLogText(kRides);
    add(kSevenColumns, rides);
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

    const QStringList bikes = {QStringLiteral("Trek"), QStringLiteral("Author"), QStringLiteral("Kona Rove"),
                               QStringLiteral("Městské"), QStringLiteral("Favorit")};
    RideLogOptions options;
    options.bikes = bikes;
    const QString withBikes = rideLogText(kRides, options);
    add("bike column", withBikes, true);
    add("kola.ini", withBikes, true);
    // The parts' history: the log's last twenty years.
    StringTable log;
    TableFile::read(log, AnsiFile::encode(withBikes));
    LocaleService::instance().setLocale(QLocale(QLocale::Czech, QLocale::CzechRepublic));
    const auto last = LocaleService::instance().parseDate(log.cellView(RideColumn::Date, log.tableRowCount() - 1));
    if (!last)
        std::abort();
    writeGarageFile(g_scenarios.back().folder + QStringLiteral("/kola.ini"), bikes, last->addYears(-20), *last);
}

void BM_Start(benchmark::State &state)
{
    const Scenario &s = g_scenarios[size_t(state.range(0))];
    state.SetLabel(s.name);
    std::vector<double> ms, rss;
    for (auto _ : state) {
        if (!startBare()) {
            state.SkipWithError("the bare window did not start");
            return;
        }
        const auto figures = MainWindowStart::start(s.folder);
        if (!figures) {
            state.SkipWithError("the program did not start");
            return;
        }
        state.SetIterationTime(figures->ms / 1000);
        ms.push_back(figures->ms);
        rss.push_back(figures->rssMb);
    }
    g_ms[s.name] = ms;
    g_rssMb[s.name] = rss;
    state.counters["rss_MB"] = median(rss);
    state.counters["file_MB"] = double(s.fileSize) / (1024 * 1024);
}

// A start with bikes and a start of the seven-column log, in turns; the
// latter's figures are kept under "rides:<scenario>".
void BM_StartWithBikes(benchmark::State &state)
{
    const Scenario &s = g_scenarios[size_t(state.range(0))];
    const Scenario &plain = *std::find_if(g_scenarios.begin(), g_scenarios.end(),
                                          [](const Scenario &c) { return std::strcmp(c.name, kSevenColumns) == 0; });
    const std::string paired = std::string(kSevenColumns) + ':' + s.name;
    state.SetLabel(s.name);
    bool plainFirst = false;
    for (auto _ : state) {
        plainFirst = !plainFirst;
        std::optional<MainWindowStart::Figures> before, figures, after;
        if (plainFirst)
            before = MainWindowStart::start(plain.folder);
        figures = MainWindowStart::start(s.folder);
        if (!plainFirst)
            after = MainWindowStart::start(plain.folder);
        const auto &seven = plainFirst ? before : after;
        if (!figures || !seven) {
            state.SkipWithError("the program did not start");
            return;
        }
        state.SetIterationTime(figures->ms / 1000);
        g_ms[s.name].push_back(figures->ms);
        g_rssMb[s.name].push_back(figures->rssMb);
        g_ms[paired].push_back(seven->ms);
        g_rssMb[paired].push_back(seven->rssMb);
    }
    state.counters["rss_MB"] = median(g_rssMb[s.name]);
    state.counters["file_MB"] = double(s.fileSize) / (1024 * 1024);
}

void BM_Library(benchmark::State &state)
{
    const std::string library = kLibraries[state.range(0)];
    state.SetLabel(library);
    bool bareFirst = false;
    for (auto _ : state) {
        // Which of the two starts first changes from turn to turn: the
        // second start finds more of the libraries in the page cache.
        bareFirst = !bareFirst;
        const bool bareStarted = !bareFirst || startBare(library);
        const auto figures = MainWindowStart::startProgram(bareProgram(library), {});
        if (!bareStarted || (!bareFirst && !startBare(library)) || !figures) {
            state.SkipWithError("a bare window did not start");
            return;
        }
        state.SetIterationTime(figures->ms / 1000);
        g_ms[library].push_back(figures->ms);
        g_rssMb[library].push_back(figures->rssMb);
    }
}

} // namespace

int main(int argc, char **argv)
{
    MainWindowStart::runIfChild(argc, argv);
    QCoreApplication app(argc, argv);
    prepare();
    for (size_t i = 0; i < g_scenarios.size(); ++i)
        benchmark::RegisterBenchmark(g_scenarios[i].withBikes ? "BM_StartWithBikes" : "BM_Start",
                                     g_scenarios[i].withBikes ? BM_StartWithBikes : BM_Start)
            ->Arg(int(i))
            ->Iterations(15)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    for (size_t i = 0; i < std::size(kLibraries); ++i)
        benchmark::RegisterBenchmark("BM_Library", BM_Library)
            ->Arg(int(i))
            ->Iterations(9)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double bareMs = median(g_ms[kBare]);
    const double bareMb = median(g_rssMb[kBare]);
    const double emptyMs = median(g_ms["empty"]);
    const double emptyMb = median(g_rssMb["empty"]);
    if (bareMs > 0 && emptyMs > 0) {
        std::printf("\nbare window:  shown in %4.0f ms, %5.1f MB resident (%zu starts)\n", bareMs, bareMb,
                    g_ms[kBare].size());
        std::printf("empty start:  shown in %4.0f ms = %.2fx the bare window (target 1.2x), "
                    "%5.1f MB = %.2fx the bare window (target 1.2x)\n",
                    emptyMs, emptyMs / bareMs, emptyMb, emptyMb / bareMb);
        for (const Scenario &s : g_scenarios) {
            if (s.fileSize == 0 || g_ms[s.name].empty())
                continue;
            const double fileMb = double(s.fileSize) / (1024 * 1024);
            const double ms = median(g_ms[s.name]);
            const double overMb = median(g_rssMb[s.name]) - emptyMb;
            std::printf("%-12s file %6.2f MB   shown in %5.0f ms = %.2fx the bare window (target 1.3x)   "
                        "memory over the empty start %6.1f MB = %.2fx the file (target 2x)\n",
                        s.name, fileMb, ms, ms / bareMs, overMb, overMb / fileMb);
        }
        std::printf("\nwith bikes, against the seven-column log started in turns with it (target 1.05x):\n");
        for (const Scenario &s : g_scenarios) {
            const std::string paired = std::string(kSevenColumns) + ':' + s.name;
            if (!s.withBikes || g_ms[s.name].empty() || g_ms[paired].empty())
                continue;
            const double ms = median(g_ms[s.name]), sevenMs = median(g_ms[paired]);
            const double mb = median(g_rssMb[s.name]), sevenMb = median(g_rssMb[paired]);
            std::printf("%-12s shown in %5.0f ms = %.3fx the seven-column log's %5.0f ms  %s   "
                        "%6.1f MB = %.3fx its %6.1f MB, over the empty start %.2fx its\n",
                        s.name, ms, ms / sevenMs, sevenMs, ms / sevenMs <= 1.05 ? "within" : "OVER", mb,
                        mb / sevenMb, sevenMb, (mb - emptyMb) / (sevenMb - emptyMb));
        }
    }
    std::printf("\nwhat a library linked into the bare window costs its start (against the bare starts "
                "paired with it):\n");
    for (const std::string library : kLibraries) {
        const auto ms = g_ms.find(library);
        if (ms == g_ms.end())
            continue;
        std::printf("  %-13s %+5.0f ms  %+6.1f MB\n", library.c_str(),
                    median(ms->second) - median(g_ms["bare:" + library]),
                    median(g_rssMb[library]) - median(g_rssMb["bare:" + library]));
    }
    delete g_dir;
    return 0;
}

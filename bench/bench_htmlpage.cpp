// Building the HTML page of a 10,000-ride log, as "Uložit" and "Tisk" do,
// against a baseline that only joins the same cell texts into one text,
// measured in the same run. The page's build includes cutting and escaping
// the cells and encoding the page to Windows-1250; writing temp.html is
// measured on its own.
//
// Then the preview's page of a 20,000-ride log (its first rides), as the
// export window builds and writes it at every keystroke in its title and
// cut-length fields, against joining the cell texts of those rides.

#include "AnsiFile.h"
#include "HtmlPage.h"
#include "RatioReporter.h"
#include "RideLogText.h"
#include "StringTable.h"
#include "TableFile.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr int kRides = 10'000;
constexpr int kLongRides = 20'000;
std::unique_ptr<StringTable> g_log;
std::unique_ptr<StringTable> g_longLog;
QString g_folder;

void BM_CellTextsBaseline(benchmark::State &state)
{
    for (auto _ : state) {
        QString all;
        for (int r = 0; r < g_log->tableRowCount(); ++r)
            for (int c = 0; c < g_log->tableColumnCount(); ++c)
                all.append(g_log->cellView(c, r));
        benchmark::DoNotOptimize(all.data());
    }
}
BENCHMARK(BM_CellTextsBaseline)->Unit(benchmark::kMillisecond);

void BM_PageCut(benchmark::State &state)
{
    HtmlSettings s;
    for (auto _ : state) {
        QByteArray page = HtmlPage::bytes(s, *g_log);
        benchmark::DoNotOptimize(page.data());
    }
}
BENCHMARK(BM_PageCut)->Unit(benchmark::kMillisecond);

void BM_PageWrap(benchmark::State &state)
{
    HtmlSettings s;
    s.cutLongTexts = false;
    for (auto _ : state) {
        QByteArray page = HtmlPage::bytes(s, *g_log);
        benchmark::DoNotOptimize(page.data());
    }
}
BENCHMARK(BM_PageWrap)->Unit(benchmark::kMillisecond);

// The whole build as the window runs it: page, then temp.html written
// atomically (the preview is not loaded here).
void BM_BuildHtmlPage(benchmark::State &state)
{
    HtmlSettings s;
    for (auto _ : state)
        BuildHtmlPage(s, *g_log, ProgramFolder::Location::inFolder(g_folder), {});
}
BENCHMARK(BM_BuildHtmlPage)->Unit(benchmark::kMillisecond);

void BM_PreviewCellTextsBaseline20k(benchmark::State &state)
{
    const int rows = std::min(g_longLog->tableRowCount(), HtmlPage::kPreviewRides + 1);
    for (auto _ : state) {
        QString all;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < g_longLog->tableColumnCount(); ++c)
                all.append(g_longLog->cellView(c, r));
        benchmark::DoNotOptimize(all.data());
    }
}
BENCHMARK(BM_PreviewCellTextsBaseline20k)->Unit(benchmark::kMicrosecond);

void BM_PreviewPage20k(benchmark::State &state)
{
    HtmlSettings s;
    for (auto _ : state) {
        QByteArray page = HtmlPage::bytes(s, *g_longLog, HtmlPage::kPreviewRides);
        benchmark::DoNotOptimize(page.data());
    }
}
BENCHMARK(BM_PreviewPage20k)->Unit(benchmark::kMicrosecond);

// With temp.html written, as at every keystroke.
void BM_BuildPreview20k(benchmark::State &state)
{
    HtmlSettings s;
    for (auto _ : state)
        BuildHtmlPage(s, *g_longLog, ProgramFolder::Location::inFolder(g_folder), {}, HtmlPage::kPreviewRides);
}
BENCHMARK(BM_BuildPreview20k)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    g_folder = dir.path() + u'/';
    g_log = std::make_unique<StringTable>();
    TableFile::read(*g_log, AnsiFile::encode(rideLogText(kRides)));
    const qsizetype pageSize = HtmlPage::bytes(HtmlSettings(), *g_log).size();
    std::printf("ride log: %d rides; page %lld bytes\n", g_log->tableRowCount() - 1, static_cast<long long>(pageSize));
    g_longLog = std::make_unique<StringTable>();
    TableFile::read(*g_longLog, AnsiFile::encode(rideLogText(kLongRides)));

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto base = reporter.times.find("BM_CellTextsBaseline");
    std::printf("\n");
    for (const char *name : {"BM_PageCut", "BM_PageWrap", "BM_BuildHtmlPage"}) {
        const auto t = reporter.times.find(name);
        if (t == reporter.times.end() || base == reporter.times.end() || base->second <= 0)
            continue;
        std::printf("%-18s %7.2f ms   baseline %6.2f ms   ratio %.1fx   %s one frame (16 ms)\n", name + 3,
                    t->second, base->second, t->second / base->second, t->second <= 16.0 ? "within" : "OVER");
    }
    const auto previewBase = reporter.times.find("BM_PreviewCellTextsBaseline20k");
    for (const char *name : {"BM_PreviewPage20k", "BM_BuildPreview20k"}) {
        const auto t = reporter.times.find(name);
        if (t == reporter.times.end() || previewBase == reporter.times.end() || previewBase->second <= 0)
            continue;
        std::printf("%-18s %7.3f ms   baseline %6.3f ms   ratio %.1fx   (%d of %d rides, as the preview)\n", name + 3,
                    t->second / 1000, previewBase->second / 1000, t->second / previewBase->second,
                    HtmlPage::kPreviewRides, kLongRides);
    }
    g_longLog.reset();
    g_log.reset();
    return 0;
}

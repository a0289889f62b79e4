// From "Export do HTML a Tisk" to the preview showing the page, on a
// 1,000-ride log, against a bare browser view that loads the same page
// file, measured in the same run. The first opening in a program just
// started (a child process: bench_startup, which links nothing of the
// browser engine) also loads the export module and starts the engine;
// later openings find them loaded.
//
// Then one keystroke in the title field of the window open on a 20,000-ride
// log, until the preview shows the new page: from the end of the pause in
// typing (the rebuild itself), and from the keystroke (pause included),
// against a bare view loading that log's whole page, which is what the
// preview loaded at every keystroke before it was limited.
//
// Runs on the display when there is one (xvfb-run gives one), else
// offscreen.

#include "AnsiFile.h"
#include "AtomicWrite.h"
#include "ExportWindowLoader.h"
#include "HtmlPage.h"
#include "MainWindowStart.h"
#include "RatioReporter.h"
#include "RideLogText.h"
#include "TPubStrGrid.h"
#include "Unit1.h"
#include "UnitHTML.h"
#include "WebEngineSetup.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr int kRides = 1'000;
constexpr int kLongRides = 20'000;
QString g_folder;
std::unique_ptr<TForm1> g_main;
QString g_longFolder;
std::unique_ptr<TPubStrGrid> g_longLog;
HtmlSettings g_longSettings;
std::unique_ptr<TFormHTML> g_longWindow;

// Seconds from the menu command to the first finished load of the preview.
double openExport()
{
    double seconds = -1;
    QElapsedTimer clock;
    auto *poll = new QTimer;
    poll->setInterval(1);
    QObject::connect(poll, &QTimer::timeout, [&, poll] {
        if (!FormHTML)
            return;
        poll->stop();
        poll->deleteLater();
        TFormHTML *window = FormHTML;
        QObject::connect(window->WebBrowser1, &QWebEngineView::loadFinished, window, [&, window](bool ok) {
            seconds = ok ? clock.nsecsElapsed() / 1e9 : -1;
            window->close();
        });
    });
    poll->start();
    clock.start();
    g_main->ExportdoHTML1->trigger();
    return seconds;
}

// A page file in a view with nothing around it.
double bareViewOf(const QString &path)
{
    QElapsedTimer clock;
    clock.start();
    QWebEngineView view;
    view.resize(622, 264);
    QSignalSpy loaded(&view, &QWebEngineView::loadFinished);
    view.show();
    view.load(QUrl::fromLocalFile(path));
    if (!loaded.wait(60000))
        return -1;
    return clock.nsecsElapsed() / 1e9;
}
double bareView() { return bareViewOf(g_folder + QStringLiteral("temp.html")); }
double bareViewLongPage() { return bareViewOf(g_longFolder + QStringLiteral("whole.html")); }

// Seconds from `act` to the next finished load of the long log's preview.
double untilShown(const std::function<void()> &act)
{
    QSignalSpy loaded(g_longWindow->WebBrowser1, &QWebEngineView::loadFinished);
    QElapsedTimer clock;
    clock.start();
    act();
    if (loaded.isEmpty() && !loaded.wait(60000))
        return -1;
    return loaded.first().first().toBool() ? clock.nsecsElapsed() / 1e9 : -1;
}
// The keystroke, then the rebuild that the end of the pause runs.
double pauseEndShown()
{
    return untilShown([] {
        QTest::keyClick(g_longWindow->LblTitle, Qt::Key_X);
        g_longWindow->BuildPage();
    });
}
double keystrokeShown()
{
    return untilShown([] { QTest::keyClick(g_longWindow->LblTitle, Qt::Key_Y); });
}

void run(benchmark::State &state, double (*measure)())
{
    for (auto _ : state) {
        const double s = measure();
        if (s < 0) {
            state.SkipWithError("the page did not load");
            break;
        }
        state.SetIterationTime(s);
    }
}

// The first opening in a program just started, from the menu command to
// the preview's page.
double openExportInNewProgram()
{
    const auto figures = MainWindowStart::openExport(
        QCoreApplication::applicationDirPath() + QStringLiteral("/bench_startup"), g_folder);
    return figures ? figures->ms / 1000 : -1;
}

void BM_OpenExportFirst(benchmark::State &state) { run(state, openExportInNewProgram); }
void BM_OpenExport(benchmark::State &state) { run(state, openExport); }
void BM_BareViewLoad(benchmark::State &state) { run(state, bareView); }
void BM_PauseEndShown20k(benchmark::State &state) { run(state, pauseEndShown); }
void BM_KeystrokeShown20k(benchmark::State &state) { run(state, keystrokeShown); }
void BM_BareViewWholePage20k(benchmark::State &state) { run(state, bareViewLongPage); }
BENCHMARK(BM_OpenExportFirst)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenExport)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareViewLoad)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PauseEndShown20k)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeystrokeShown20k)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareViewWholePage20k)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    prepareWebEngine();
    QApplication app(argc, argv);
    ExportWindowLoader::searchOnlyIn(MainWindowStart::exportModuleFolder());
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    g_folder = dir.path() + u'/';
    {
        QFile f(g_folder + QStringLiteral("default.tvl"));
        const QByteArray bytes = AnsiFile::encode(rideLogText(kRides));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return 1;
    }
    g_main = std::make_unique<TForm1>(g_folder);
    g_main->show();

    // The window on the long log stays open through its benchmarks.
    QTemporaryDir longDir;
    if (!longDir.isValid())
        return 1;
    g_longFolder = longDir.path() + u'/';
    g_longLog = std::make_unique<TPubStrGrid>();
    g_longLog->setAutoSave(false);
    g_longLog->loadTableFileBytes(AnsiFile::encode(rideLogText(kLongRides)));
    AtomicWrite::replaceFile(g_longFolder + QStringLiteral("whole.html"), HtmlPage::bytes(HtmlSettings(), *g_longLog));
    g_longWindow = std::make_unique<TFormHTML>(*g_longLog, g_longSettings, ProgramFolder::Location::inFolder(g_longFolder));
    {
        QSignalSpy opened(g_longWindow->WebBrowser1, &QWebEngineView::loadFinished);
        g_longWindow->show();
        if (!opened.wait(60000))
            return 1;
    }

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto base = reporter.times.find("BM_BareViewLoad");
    std::printf("\n");
    for (const char *name : {"BM_OpenExportFirst", "BM_OpenExport"}) {
        const auto t = reporter.times.find(name);
        if (t == reporter.times.end() || base == reporter.times.end() || base->second <= 0)
            continue;
        std::printf("%-16s %7.1f ms   bare view %6.1f ms   ratio %.2fx   %s one second\n", name + 3, t->second,
                    base->second, t->second / base->second, t->second < 1000 ? "under" : "OVER");
    }
    const auto whole = reporter.times.find("BM_BareViewWholePage20k");
    const auto pauseEnd = reporter.times.find("BM_PauseEndShown20k");
    const auto keystroke = reporter.times.find("BM_KeystrokeShown20k");
    if (whole != reporter.times.end() && pauseEnd != reporter.times.end() && whole->second > 0) {
        std::printf("20,000 rides: pause end to page shown %7.1f ms   whole page in a bare view %7.1f ms   "
                    "ratio %.2fx   %s 300 ms\n",
                    pauseEnd->second, whole->second, pauseEnd->second / whole->second,
                    pauseEnd->second <= 300 ? "within" : "OVER");
        if (keystroke != reporter.times.end())
            std::printf("20,000 rides: keystroke to page shown %7.1f ms (the pause in typing is %d ms)\n",
                        keystroke->second, TFormHTML::kRebuildPauseMs);
    }
    g_longWindow.reset();
    g_longLog.reset();
    g_main.reset();
    return 0;
}

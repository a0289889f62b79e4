// From "Export do HTML a Tisk" to the preview showing the page, on a
// 1,000-ride log, against a bare browser view that loads the same page
// file, measured in the same run. The first opening in a program just
// started (a child process: bench_startup, which links nothing of the
// browser engine) also loads the export module and starts the engine;
// later openings find them loaded.
//
// Then typing into the title field of the window open on a 20,000-ride log
// (the preview shows the first rides of it): single keystrokes, and a word
// typed at a brisk pace, each until the preview has loaded the page with
// that keystroke's title. Their median and worst, and the longest wait of
// the window's thread meanwhile, are set against a bare view of the
// preview's size loading the same page: what the browser engine alone
// takes to show it, however soon the window hands it the page.
//
// Runs on the display when there is one (xvfb-run gives one), else
// offscreen.

#include "AnsiFile.h"
#include "AtomicWrite.h"
#include "ExportWindowLoader.h"
#include "LongestWait.h"
#include "MainWindowStart.h"
#include "RatioReporter.h"
#include "RideLogText.h"
#include "StringTable.h"
#include "TableFile.h"
#include "MainWindow.h"
#include "ExportWindow.h"
#include "WebEngineSetup.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kRides = 1'000;
constexpr int kLongRides = 20'000;
QString g_folder;
std::unique_ptr<MainWindow> g_main;
QString g_longFolder;
std::unique_ptr<StringTable> g_longLog;
HtmlSettings g_longSettings;
std::unique_ptr<ExportWindow> g_longWindow;

// Seconds from the menu command to the first finished load of the preview.
double openExport()
{
    double seconds = -1;
    QElapsedTimer clock;
    auto *poll = new QTimer;
    poll->setInterval(1);
    QObject::connect(poll, &QTimer::timeout, [&, poll] {
        if (!theExportWindow)
            return;
        poll->stop();
        poll->deleteLater();
        ExportWindow *window = theExportWindow;
        QObject::connect(window->preview, &QWebEngineView::loadFinished, window, [&, window](bool ok) {
            seconds = ok ? clock.nsecsElapsed() / 1e9 : -1;
            window->close();
        });
    });
    poll->start();
    clock.start();
    g_main->exportHtmlAction->trigger();
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

// What one measurement of the long log's preview gave: the time until the
// page was shown, and the longest time the window's thread was kept from
// its events meanwhile.
struct Sample
{
    double ms = -1;
    double longestWaitMs = 0;
    // From the keystroke until the page was written (0 for the bare view).
    double untilBuiltMs = 0;
};
std::map<std::string, std::vector<Sample>> g_samples;

// Runs the event loop from `act` until `view` has loaded a page titled
// `title` (or 60 s have passed). A 1 ms timer measures the gaps between its
// ticks: the longest is the longest wait of the thread's events. `built`,
// when given, says when the window has written its page.
Sample untilTitleShown(QWebEngineView *view, const QString &title, const std::function<void()> &act,
                       const std::function<bool()> &built = {})
{
    Sample sample;
    QEventLoop loop;
    qint64 builtAt = -1;
    bool loaded = false;
    const auto check = [&] {
        if (loaded && view->title() == title)
            loop.quit();
    };
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto finished = QObject::connect(view, &QWebEngineView::loadFinished, [&](bool ok) {
        loaded = ok;
        check();
    });
    const auto titled = QObject::connect(view, &QWebEngineView::titleChanged, check);
    LongestWait wait([&](qint64 now) {
        if (builtAt < 0 && built && built())
            builtAt = now;
    });
    wait.startTicking();
    timeout.start(60000);
    act();
    loop.exec();
    QObject::disconnect(finished);
    QObject::disconnect(titled);
    if (!loaded || view->title() != title)
        return sample;
    sample.ms = double(wait.elapsedNs()) / 1e6;
    sample.longestWaitMs = wait.longestMs();
    sample.untilBuiltMs = builtAt < 0 ? 0 : double(builtAt) / 1e6;
    return sample;
}

// One keystroke in the title field, as the rider types: alternately a
// letter and Backspace, so that the title stays short.
Sample keystroke()
{
    static bool letter = true;
    QLineEdit *field = g_longWindow->titleEdit;
    const QString before = field->text();
    const QString after = letter ? before + u'x' : before.chopped(1);
    const Qt::Key key = letter ? Qt::Key_X : Qt::Key_Backspace;
    letter = !letter;
    return untilTitleShown(
        g_longWindow->preview, after, [field, key] { QTest::keyClick(field, key); },
        [] { return !g_longWindow->isRebuildPending(); });
}

// A word typed with a key every `gapMs`, from its last keystroke until the
// preview shows the whole word; the next run takes it away again at the
// same pace.
Sample typedWord(int gapMs)
{
    static bool typing = true;
    static const QString word = QStringLiteral("Praha");
    QLineEdit *field = g_longWindow->titleEdit;
    const QString target = typing ? field->text() + word : field->text().chopped(word.size());
    const bool adding = typing;
    typing = !typing;
    const auto press = [field, adding](QChar c) {
        if (adding)
            QTest::keyClick(field, c.toLatin1());
        else
            QTest::keyClick(field, Qt::Key_Backspace);
    };
    // All keystrokes but the last, with the event loop running between.
    for (int i = 0; i < word.size() - 1; ++i) {
        press(word.at(i));
        QTest::qWait(gapMs);
    }
    return untilTitleShown(g_longWindow->preview, target, [press, last = word.back()] { press(last); });
}

// The engine alone: a bare view of the preview's size loading a copy of the
// page the preview shows, retitled each time so that it is a new page.
std::unique_ptr<QWebEngineView> g_bareView;
Sample bareViewOfPreviewPage()
{
    static int run = 0;
    QFile shown(g_longFolder + QStringLiteral("temp.html"));
    if (!shown.open(QIODevice::ReadOnly))
        return {};
    QByteArray page = shown.readAll();
    const QString title = QStringLiteral("Holý náhled %1").arg(++run);
    const qsizetype open = page.indexOf("<TITLE>") + 7;
    page.replace(open, page.indexOf("</TITLE>") - open, AnsiFile::encode(title));
    const QString path = g_longFolder + QStringLiteral("bare.html");
    AtomicWrite::replaceFile(path, page);
    return untilTitleShown(g_bareView.get(), title, [path] { g_bareView->load(QUrl::fromLocalFile(path)); });
}

void runSamples(benchmark::State &state, const std::string &name, const std::function<Sample()> &measure)
{
    std::vector<Sample> &samples = g_samples[name];
    for (auto _ : state) {
        const Sample s = measure();
        if (s.ms < 0) {
            state.SkipWithError("the page did not show");
            break;
        }
        samples.push_back(s);
        state.SetIterationTime(s.ms / 1000);
    }
}

double median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double worst(const std::vector<double> &v)
{
    return v.empty() ? -1 : *std::max_element(v.begin(), v.end());
}

std::vector<double> figures(const std::string &name, double Sample::*field)
{
    std::vector<double> out;
    for (const Sample &s : g_samples[name])
        out.push_back(s.*field);
    return out;
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
void BM_KeystrokeShown20k(benchmark::State &state) { runSamples(state, "BM_KeystrokeShown20k", keystroke); }
// A typist's pace, and a key held down (the desktop's key repeat).
constexpr int kTypistGapMs = 120;
constexpr int kKeyRepeatGapMs = 33;
void BM_TypedWordShown20k(benchmark::State &state)
{
    const int gap = int(state.range(0));
    runSamples(state, "BM_TypedWordShown20k/" + std::to_string(gap), [gap] { return typedWord(gap); });
}
void BM_BareViewPreviewPage20k(benchmark::State &state) { runSamples(state, "BM_BareViewPreviewPage20k", bareViewOfPreviewPage); }
BENCHMARK(BM_OpenExportFirst)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenExport)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareViewLoad)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareViewPreviewPage20k)->UseManualTime()->Iterations(12)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeystrokeShown20k)->UseManualTime()->Iterations(12)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypedWordShown20k)
    ->Arg(kTypistGapMs)
    ->Arg(kKeyRepeatGapMs)
    ->UseManualTime()
    ->Iterations(6)
    ->Unit(benchmark::kMillisecond);

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
    g_main = std::make_unique<MainWindow>(g_folder);
    g_main->show();

    // The window on the long log stays open through its benchmarks.
    QTemporaryDir longDir;
    if (!longDir.isValid())
        return 1;
    g_longFolder = longDir.path() + u'/';
    g_longLog = std::make_unique<StringTable>();
    TableFile::read(*g_longLog, AnsiFile::encode(rideLogText(kLongRides)));
    g_longWindow = std::make_unique<ExportWindow>(*g_longLog, g_longSettings, ProgramFolder::Location::inFolder(g_longFolder));
    {
        QSignalSpy opened(g_longWindow->preview, &QWebEngineView::loadFinished);
        g_longWindow->show();
        if (!opened.wait(60000))
            return 1;
    }
    g_bareView = std::make_unique<QWebEngineView>();
    g_bareView->resize(g_longWindow->preview->size());
    g_bareView->show();

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
    // The long log's figures: median and worst of the runs, each against
    // the bare view's.
    const auto line = [](const char *what, const char *name, double Sample::*field, const char *target) {
        const std::vector<double> v = figures(name, field), b = figures("BM_BareViewPreviewPage20k", field);
        if (v.empty() || b.empty())
            return;
        std::printf("%-44s median %6.1f ms  worst %6.1f ms   bare view %6.1f / %6.1f ms   ratio %.2fx / %.2fx%s\n",
                    what, median(v), worst(v), median(b), worst(b), median(v) / median(b), worst(v) / worst(b),
                    target);
    };
    std::printf("\n20,000 rides, %d shown in the preview:\n", ExportWindow::kPreviewRides);
    line("keystroke in the title to its page shown", "BM_KeystrokeShown20k", &Sample::ms,
         median(figures("BM_KeystrokeShown20k", &Sample::ms)) <= 300 ? "   within 300 ms" : "   OVER 300 ms");
    line("  the GUI thread's longest wait", "BM_KeystrokeShown20k", &Sample::longestWaitMs, "");
    const std::vector<double> built = figures("BM_KeystrokeShown20k", &Sample::untilBuiltMs);
    if (!built.empty())
        std::printf("  of which until the page was written: median %.1f ms, worst %.1f ms\n", median(built),
                    worst(built));
    for (const int gap : {kTypistGapMs, kKeyRepeatGapMs}) {
        const std::string name = "BM_TypedWordShown20k/" + std::to_string(gap);
        const std::string what = "word typed, a key every " + std::to_string(gap) + " ms, last key on";
        line(what.c_str(), name.c_str(), &Sample::ms, "");
        line("  the GUI thread's longest wait", name.c_str(), &Sample::longestWaitMs, "");
    }
    g_bareView.reset();
    g_longWindow.reset();
    g_longLog.reset();
    g_main.reset();
    return 0;
}

// From "Export do HTML a Tisk" to the preview showing the page, on a
// 1,000-ride log, against a bare browser view that loads the same page
// file, measured in the same run. The first opening also starts the
// browser engine; later openings find it running.
//
// Runs on the display when there is one (xvfb-run gives one), else
// offscreen.

#include "AnsiFile.h"
#include "RatioReporter.h"
#include "RideLogText.h"
#include "Unit1.h"
#include "UnitHTML.h"
#include "WebEngineSetup.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

constexpr int kRides = 1'000;
QString g_folder;
std::unique_ptr<TForm1> g_main;

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

// The same page file in a view with nothing around it.
double bareView()
{
    QElapsedTimer clock;
    clock.start();
    QWebEngineView view;
    view.resize(622, 264);
    QSignalSpy loaded(&view, &QWebEngineView::loadFinished);
    view.show();
    view.load(QUrl::fromLocalFile(g_folder + QStringLiteral("temp.html")));
    if (!loaded.wait(30000))
        return -1;
    return clock.nsecsElapsed() / 1e9;
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

void BM_OpenExportFirst(benchmark::State &state) { run(state, openExport); }
void BM_OpenExport(benchmark::State &state) { run(state, openExport); }
void BM_BareViewLoad(benchmark::State &state) { run(state, bareView); }
BENCHMARK(BM_OpenExportFirst)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenExport)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareViewLoad)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    prepareWebEngine();
    QApplication app(argc, argv);
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
    g_main.reset();
    return 0;
}

// The filter bar of the main window on a generated 100,000-ride log: each
// keystroke in "Hledat" (typing "zdar" letter by letter, then taking the
// letters back) from the key press until the table and the totals are
// redrawn, all on the window's thread, so that the slowest keystroke is
// also the longest time the thread is kept from its events. The baseline,
// measured in the same run: the same keystrokes into a plain line edit
// beside a table view of the same log, redrawn the same way.
//
// Runs on the display when there is one (xvfb-run gives one), else
// offscreen.

#include "AnsiFile.h"
#include "LocaleService.h"
#include "LongestWait.h"
#include "MainWindow.h"
#include "RatioReporter.h"
#include "RideFilterBar.h"
#include "RideLogText.h"
#include "StringTable.h"
#include "StringTableView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr int kRides = 100'000;
constexpr double kTargetMs = 30;
const QString kTyped = QStringLiteral("zdar");

MainWindow *g_window = nullptr;
double g_worstMs = 0, g_baseWorstMs = 0, g_longestWaitMs = 0;

// One keystroke and the redrawing it causes, in ms.
double keystroke(QLineEdit *edit, QWidget *redrawn, Qt::Key key)
{
    LongestWait wait;
    QTest::keyClick(edit, key, Qt::NoModifier);
    QCoreApplication::sendPostedEvents();
    redrawn->repaint();
    return double(wait.elapsedNs()) / 1e6;
}

// Types the word and takes it back; the slowest keystroke is kept.
void typeAndErase(benchmark::State &state, QLineEdit *edit, QWidget *redrawn, double &worst)
{
    worst = 0;
    for (auto _ : state) {
        double total = 0;
        for (const QChar c : kTyped) {
            const double ms = keystroke(edit, redrawn, Qt::Key(c.toUpper().unicode()));
            worst = std::max(worst, ms);
            total += ms;
        }
        for (int i = 0; i < kTyped.size(); ++i) {
            const double ms = keystroke(edit, redrawn, Qt::Key_Backspace);
            worst = std::max(worst, ms);
            total += ms;
        }
        state.SetIterationTime(total / 1000 / (2 * kTyped.size()));
    }
}

void BM_FilterKeystroke(benchmark::State &state)
{
    typeAndErase(state, g_window->filterBar->searchEdit, g_window, g_worstMs);
}

// A line edit that filters nothing beside a table view of the same log.
void BM_PlainKeystroke(benchmark::State &state)
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *edit = new QLineEdit(&window);
    auto *view = new StringTableView(&window);
    view->setGrid(g_window->rideLog());
    layout->addWidget(edit);
    layout->addWidget(view);
    window.resize(g_window->size());
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        state.SkipWithError("not shown");
        return;
    }
    typeAndErase(state, edit, &window, g_baseWorstMs);
}

// The thread's longest wait while a rider types the word at 10 keys a
// second.
void BM_TypingWait(benchmark::State &state)
{
    QLineEdit *edit = g_window->filterBar->searchEdit;
    for (auto _ : state) {
        LongestWait wait;
        wait.startTicking();
        for (const QChar c : kTyped) {
            QTest::keyClick(edit, Qt::Key(c.toUpper().unicode()));
            QTest::qWait(100);
        }
        g_longestWaitMs = std::max(g_longestWaitMs, wait.longestMs());
        edit->clear();
        QTest::qWait(50);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    LocaleService::instance().setLocale(QLocale(QLocale::Czech, QLocale::CzechRepublic));
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("default.tvl")));
    if (!file.open(QIODevice::WriteOnly) || file.write(AnsiFile::encode(rideLogText(kRides))) < 0)
        return 1;
    file.close();
    auto window = std::make_unique<MainWindow>(dir.path());
    g_window = window.get();
    window->resize(1000, 700);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return 1;
    QTest::qWait(200);
    window->findAction->trigger();
    window->filterBar->searchEdit->setFocus();
    QTest::keyClicks(window->filterBar->searchEdit, kTyped);
    std::printf("%d rides, \"%s\" shows %d of them\n", window->rideLog()->tableRowCount() - 1, qPrintable(kTyped),
                window->rideLog()->rowCount());
    window->filterBar->searchEdit->clear();

    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("BM_FilterKeystroke", BM_FilterKeystroke)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
    benchmark::RegisterBenchmark("BM_PlainKeystroke", BM_PlainKeystroke)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
    benchmark::RegisterBenchmark("BM_TypingWait", BM_TypingWait)->Unit(benchmark::kMillisecond)->Iterations(3);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto filter = reporter.times.find("BM_FilterKeystroke");
    const auto plain = reporter.times.find("BM_PlainKeystroke");
    std::printf("\n");
    if (filter != reporter.times.end() && plain != reporter.times.end() && plain->second > 0)
        std::printf("keystroke in Hledat  mean %.1f ms, slowest %.1f ms (%s %.0f ms)   plain line edit mean %.1f ms, "
                    "slowest %.1f ms   ratio %.2fx\n",
                    filter->second, g_worstMs, g_worstMs <= kTargetMs ? "within" : "OVER", kTargetMs, plain->second,
                    g_baseWorstMs, filter->second / plain->second);
    std::printf("typing at 10 keys a second: the window's thread kept from its events at most %.1f ms\n",
                g_longestWaitMs);
    // The window goes without writing the log anew.
    window.release();
    return 0;
}

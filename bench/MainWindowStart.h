#pragma once
#include <QStringList>

#include <optional>

// Starting the program's main window in a process of its own, for the
// benchmarks that measure a start: the parent starts its own executable
// with "--child <folder>", the child opens the main window on the data in
// the folder as the program does and reports when it was shown.
namespace MainWindowStart {

// What a child reports.
struct Figures
{
    double ms = 0;      // from the start of the process until the window was shown
    double rssMb = 0;   // resident memory then
    double peakMb = 0;  // the most resident memory until then
};

// In main(), before anything else: when this process is a child, runs it
// and never returns.
void runIfChild(int argc, char **argv);

// Starts a child on the folder (on the display when there is one, else
// offscreen) and waits for its figures; nothing when it failed.
std::optional<Figures> start(const QString &folder);

// Starts `program` (a benchmark that calls runIfChild) as a child that
// opens the main window on the folder, then the export window, and waits
// for the figures of that first opening: the time from the menu command
// until the preview has loaded its page, and the memory then.
std::optional<Figures> openExport(const QString &program, const QString &folder);

// The build folder of the export module.
QString exportModuleFolder();

// Starts another program that reports its figures the same way (the bare
// window of bench/bare_window.cpp) and waits for them.
std::optional<Figures> startProgram(const QString &program, const QStringList &arguments);

} // namespace MainWindowStart

#pragma once
#include "ProgramFolder.h"
#include <QString>

class DataKeeper;
class ExportWindowModule;
class HtmlSettings;
class QDialog;
class QWidget;
class StringTable;

// Loads the export module (the export window with its browser engine and
// printing) when the rider first opens the window, never at start.
//
// The module file is looked for beside the program (a build, or a program
// folder that keeps its data beside it), then where the package installs
// it. A module that cannot be loaded (missing, damaged, of another
// version) is explained to the rider in a box; the rest of the program
// goes on working.
namespace ExportWindowLoader {

// The module's file name.
QString fileName();

// Where the module is looked for, in order.
QStringList folders();

// Looks for the module in this folder only (the tests' build folder, or
// one without the module); an empty folder restores the usual search.
void searchOnlyIn(const QString &folder);

// The module, loaded at the first call. Nothing, after a box that tells
// why, when it cannot be loaded; a later call tries again.
ExportWindowModule *module();

// A new export window from the module (see ExportWindowModule), loaded
// first when needed; nothing when the module cannot be loaded.
QDialog *createWindow(StringTable &log, HtmlSettings &settings, const ProgramFolder::Location &where, DataKeeper *keeper,
                      QWidget *parent, const StringTable *shownRides = nullptr);

} // namespace ExportWindowLoader

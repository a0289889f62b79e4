#pragma once
#include "ProgramFolder.h"
#include <QtPlugin>

class DataKeeper;
class HtmlSettings;
class QDialog;
class QString;
class QWidget;
class StringTable;

// The export window ("HTML výstup") lives in a module of its own, which
// the program loads when the rider first opens the window: the browser
// engine of its preview, and the printing, come with the module instead of
// slowing every start. This is what the module offers the program.
//
// The module is built with the program and uses the program's own code
// (the table, the data files, the message boxes) from the running program;
// its metadata carries the program's version, and the program loads no
// module of another version.
class ExportWindowModule
{
public:
    virtual ~ExportWindowModule() = default;

    // A new export window over `parent` on the ride log and the page's
    // look; the caller runs and deletes it. While it is open, the keeper
    // (when given) knows its data. The first window starts the browser
    // engine. shownRides, when given, are the rides the main window's
    // filter shows, offered as "jen zobrazené jízdy"; they outlive the window.
    virtual QDialog *createWindow(StringTable &log, HtmlSettings &settings, const ProgramFolder::Location &where,
                                  DataKeeper *keeper, QWidget *parent, const StringTable *shownRides) = 0;
};

#define TRASOVNIK_EXPORT_MODULE_IID "cz.trasovnik.ExportWindowModule/3"
Q_DECLARE_INTERFACE(ExportWindowModule, TRASOVNIK_EXPORT_MODULE_IID)

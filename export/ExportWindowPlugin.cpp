#include "ExportWindowPlugin.h"
#include "ExportWindow.h"
#include "WebEngineSetup.h"

QDialog *ExportWindowPlugin::createWindow(StringTable &log, HtmlSettings &settings, const ProgramFolder::Location &where,
                                          DataKeeper *keeper, QWidget *parent, const StringTable *shownRides)
{
    startWebEngine();
    auto *window = new ExportWindow(log, settings, where, parent);
    window->setDataKeeper(keeper);
    if (shownRides)
        window->offerShownRides(shownRides);
    return window;
}

#include "ExportWindowPlugin.h"
#include "UnitHTML.h"
#include "WebEngineSetup.h"

QDialog *ExportWindowPlugin::createWindow(TPubStrGrid &log, HtmlSettings &settings, const ProgramFolder::Location &where,
                                          DataKeeper *keeper, QWidget *parent)
{
    startWebEngine();
    auto *window = new TFormHTML(log, settings, where, parent);
    window->setDataKeeper(keeper);
    return window;
}

#include "ExportWindowPlugin.h"
#include "UnitHTML.h"
#include "WebEngineSetup.h"

QDialog *ExportWindowPlugin::createWindow(TPubStrGrid &log, HtmlSettings &settings, const QString &programFolder,
                                          DataKeeper *keeper, QWidget *parent)
{
    startWebEngine();
    auto *window = new TFormHTML(log, settings, programFolder, parent);
    window->setDataKeeper(keeper);
    return window;
}

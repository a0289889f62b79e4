#pragma once
#include "ExportWindowModule.h"

#include <QObject>

// The export module's entry: the toolkit's plugin loader finds it in the
// module file.
class ExportWindowPlugin : public QObject, public ExportWindowModule
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID TRASOVNIK_EXPORT_MODULE_IID FILE "ExportWindowPlugin.json")
    Q_INTERFACES(ExportWindowModule)
public:
    QDialog *createWindow(StringTable &log, HtmlSettings &settings, const ProgramFolder::Location &where, DataKeeper *keeper,
                          QWidget *parent, const StringTable *shownRides) override;
};

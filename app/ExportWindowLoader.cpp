#include "ExportWindowLoader.h"
#include "ExportWindowModule.h"
#include "Messages.h"

#include <QCoreApplication>
#include <QDir>
#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonObject>
#include <QPluginLoader>
#include <QScopeGuard>

namespace ExportWindowLoader {

namespace {
QString g_onlyFolder;
ExportWindowModule *g_module = nullptr;

// The browser engine is loaded long after the application object was
// made, on purpose, and the module then has the engine start its GL
// context shared with the toolkit itself. The toolkit's advice to set that
// up before the application object is made does not apply: while the
// module loads and starts the engine, these two notes are not passed on.
// Everything else is.
class LateEngineNotes
{
public:
    LateEngineNotes() { s_previous = qInstallMessageHandler(&LateEngineNotes::handle); }
    ~LateEngineNotes() { qInstallMessageHandler(s_previous); }
    LateEngineNotes(const LateEngineNotes &) = delete;
    LateEngineNotes &operator=(const LateEngineNotes &) = delete;

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (type == QtWarningMsg
            && (text.startsWith(QLatin1String("Qt WebEngine seems to be initialized from a plugin."))
                || text.startsWith(QLatin1String("Attribute Qt::AA_ShareOpenGLContexts must be set before"))))
            return;
        s_previous(type, context, text);
    }
    static inline QtMessageHandler s_previous = nullptr;
};

// Why the module in `path` cannot serve this program, as a sentence for
// the rider; empty when loaded.
QString load(const QString &path, ExportWindowModule *&module)
{
    const QString file = QDir::toNativeSeparators(path);
    const auto anotherLibrary = [&] {
        return QStringLiteral("Soubor %1 je jiná knihovna, ne modul okna „HTML výstup“.").arg(file);
    };
    QPluginLoader loader(path);
    // Every symbol is resolved at once, so that a module that does not fit
    // this program is refused here, not when one of its functions runs.
    loader.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    // The metadata is read without running anything of the module. A file
    // without any is no library, or a damaged one: the toolkit's own text
    // (in English, about ELF objects) would not help the rider.
    if (loader.metaData().isEmpty())
        return QStringLiteral("Soubor %1 je poškozený, nebo to není modul okna „HTML výstup“.").arg(file);
    if (loader.metaData().value(QLatin1String("IID")).toString() != QLatin1String(TRASOVNIK_EXPORT_MODULE_IID))
        return anotherLibrary();
    const QJsonObject data = loader.metaData().value(QLatin1String("MetaData")).toObject();
    const QString version = data.value(QLatin1String("version")).toString();
    if (version != QLatin1String(TRASOVNIK_VERSION))
        return QStringLiteral("Modul %1 patří k %2, program je verze %3.")
            .arg(file, version.isEmpty() ? QStringLiteral("jiné verzi") : QStringLiteral("verzi ") + version,
                 QLatin1String(TRASOVNIK_VERSION));
    QObject *root = loader.instance();
    if (!root)
        return QStringLiteral("Modul %1 nejde spustit (%2).").arg(file, loader.errorString());
    module = qobject_cast<ExportWindowModule *>(root);
    if (!module)
        return anotherLibrary();
    return {};
}
} // namespace

QString fileName()
{
    return QStringLiteral("trasovnik-export.so");
}

QStringList folders()
{
    if (!g_onlyFolder.isEmpty())
        return {g_onlyFolder};
    const QString programDir = QCoreApplication::applicationDirPath();
    return {programDir, QDir::cleanPath(programDir + QStringLiteral("/" TRASOVNIK_MODULE_DIR_FROM_PROGRAM))};
}

void searchOnlyIn(const QString &folder)
{
    g_onlyFolder = folder;
}

ExportWindowModule *module()
{
    if (g_module)
        return g_module;
    QString reason;
    {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        const auto restoreCursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
        const LateEngineNotes notes;
        QString path;
        for (const QString &folder : folders()) {
            const QString candidate = QDir(folder).filePath(fileName());
            if (QFileInfo(candidate).isFile()) {
                path = candidate;
                break;
            }
        }
        if (path.isEmpty()) {
            QStringList where;
            for (const QString &folder : folders())
                where << QDir::toNativeSeparators(folder);
            reason = QStringLiteral("Soubor %1 chybí (hledán ve složkách: %2).")
                         .arg(fileName(), where.join(QStringLiteral(", ")));
        } else {
            reason = load(path, g_module);
        }
    }
    if (!g_module)
        Messages::instance().errorDialog(
            QStringLiteral("Okno „HTML výstup“ (export do HTML a tisk) nelze otevřít: nepodařilo se načíst "
                           "jeho modul.\n\n%1\n\nTrasovník je nejspíš nainstalován neúplně; nainstalujte ho "
                           "znovu. Vše ostatní v programu funguje dál a vaše jízdy jsou v pořádku.")
                .arg(reason));
    return g_module;
}

QDialog *createWindow(StringTable &log, HtmlSettings &settings, const ProgramFolder::Location &where, DataKeeper *keeper,
                      QWidget *parent, const StringTable *shownRides)
{
    ExportWindowModule *m = module();
    if (!m)
        return nullptr;
    // The first window starts the browser engine.
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    const auto restoreCursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    const LateEngineNotes notes;
    return m->createWindow(log, settings, where, keeper, parent, shownRides);
}

} // namespace ExportWindowLoader

#include "WebEngineSetup.h"

#include <QCoreApplication>
#include <QtGlobal>

#include <unistd.h>

// The engine's own start of its GL context shared with the toolkit, which
// it runs by itself when it is loaded before the application object is
// made (exported by the engine, not declared in its public headers).
namespace QtWebEngineCore {
Q_DECL_IMPORT void initialize();
}

namespace {
bool headless()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.startsWith("offscreen") || platform.startsWith("minimal"))
        return true;
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void setEngineEnvironment()
{
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (headless()) {
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        if (!flags.contains("--disable-gpu"))
            qputenv("QTWEBENGINE_CHROMIUM_FLAGS", (flags + " --disable-gpu").trimmed());
    }
}
} // namespace

void prepareWebEngine()
{
    setEngineEnvironment();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void startWebEngine()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    setEngineEnvironment();
    QtWebEngineCore::initialize();
}

#include "RideLogTable.h"
#include "Unit1.h"
#include "LocaleService.h"
#include "Messages.h"
#include "ToolkitTranslation.h"
#include "WebEngineSetup.h"
#include "WidgetMessages.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QSessionManager>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// SIGTERM and SIGHUP end the program: the ride log is saved, or kept in
// a rescue copy when it cannot be, and nothing asks. The handlers are in
// place before anything else, so a signal that comes early waits in the
// pipe until the log is loaded.
void catchTerminationSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    struct sigaction sa = {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
}

void watchTerminationSignals(TForm1 &window)
{
    if (g_signalPipe[0] < 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, notifier] {
        char c;
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &c, 1);
        notifier->setEnabled(false);
        window.endSession();
        // Ends every event loop, a modal box's too.
        QApplication::exit(0);
    });
}
} // namespace

int main(int argc, char *argv[])
{
    catchTerminationSignals();
    // The data folder is known before the toolkit starts, and the ride log
    // is read meanwhile: a long log does not keep the window waiting.
    const ProgramFolder::Location where = ProgramFolder::locate(
        QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath(), ProgramFolder::userDataFolder());
    RideLogPrefetch prefetch(where.folder + QStringLiteral("default.tvl"));

    prepareWebEngine();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("trasovnik"));
    QApplication::setOrganizationName(QStringLiteral("trasovnik"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/trasovnik.svg")));
    QGuiApplication::setDesktopFileName(QStringLiteral("trasovnik"));
    // The toolkit's own texts (standard buttons, context menus, dialogs)
    // in the rider's language: Czech unless the desktop sets another.
    installToolkitTranslation(LocaleService::instance().locale());

    WidgetMessages messages;
    Messages::install(&messages);

    TForm1 window(where, &prefetch);
    // The desktop session is ending: keep the rides even if the window
    // never gets to close.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager &) { window.commitSession(); });
    watchTerminationSignals(window);

    window.show();
    // Told to end while the window was being opened (a box at start): the
    // rides are kept already, and the event loop must not start again.
    if (window.isEnding())
        return 0;
    window.zeptat();
    if (window.isEnding())
        return 0;
    const int rc = app.exec();
    Messages::install(nullptr);
    return rc;
}

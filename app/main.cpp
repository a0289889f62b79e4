#include "Unit1.h"
#include "Messages.h"
#include "WidgetMessages.h"

#include <QApplication>
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

// SIGTERM and SIGHUP close the main window the normal way, which saves
// the ride log. The handlers are in place before anything else, so a
// signal that comes early waits in the pipe until the log is loaded.
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
        if (window.close())
            QApplication::quit();
        notifier->setEnabled(true);
    });
}
} // namespace

int main(int argc, char *argv[])
{
    catchTerminationSignals();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("trasovnik"));
    QApplication::setOrganizationName(QStringLiteral("trasovnik"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/trasovnik.svg")));
    QGuiApplication::setDesktopFileName(QStringLiteral("trasovnik"));

    WidgetMessages messages;
    Messages::install(&messages);

    TForm1 window;
    // The desktop session is ending: keep the rides even if the window
    // never gets to close.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager &) { window.saveRideLog(); });
    watchTerminationSignals(window);

    window.show();
    const int rc = app.exec();
    Messages::install(nullptr);
    return rc;
}

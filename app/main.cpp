#include "RideLogTable.h"
#include "SingleInstance.h"
#include "TerminationSignals.h"
#include "MainWindow.h"
#include "LocaleService.h"
#include "Messages.h"
#include "ToolkitTranslation.h"
#include "WidgetMessages.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QSessionManager>
#include <QTimer>

int main(int argc, char *argv[])
{
    TerminationSignals::install();
    // The data folder is known before the toolkit starts, and the ride log
    // is read meanwhile: a long log does not keep the window waiting.
    const ProgramFolder::Location where = ProgramFolder::locate(
        QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath(), ProgramFolder::userDataFolder());
    RideLogPrefetch prefetch(where.rideLog());

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("trasovnik"));
    QApplication::setOrganizationName(QStringLiteral("trasovnik"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/trasovnik.svg")));
    QGuiApplication::setDesktopFileName(QStringLiteral("trasovnik"));
    // The toolkit's own texts (standard buttons, context menus, dialogs)
    // in the rider's language: Czech unless the desktop sets another.
    installToolkitTranslation(LocaleService::instance().locale());

    // One program per data folder: a later start hands its arguments to
    // the running one, which comes to the front.
    // Ride files named on the command line (a file manager's "Open with")
    // are imported once the window is up; a second start hands them, with
    // their full paths, to the program already running.
    const QStringList rideFiles = SingleInstance::filesOf(QApplication::arguments().mid(1));
    SingleInstance single(where.folder);
    if (!single.acquire()) {
        if (single.handOver(rideFiles))
            return 0;
        // Held, but nobody answers: a program that hangs, or one on another
        // computer that shares the folder. The rider decides.
        QMessageBox box(QMessageBox::Warning, QString::fromUtf16(kAppTitle),
                        QStringLiteral("Trasovník s daty ve složce „%1“ už běží (možná na jiném počítači), ale "
                                       "neodpovídá.\n\nKdyž ho spustíte přesto a ten druhý opravdu běží, zapíše "
                                       "při zavření své jízdy přes vaše.")
                            .arg(QDir::toNativeSeparators(where.folder)));
        QPushButton *start = box.addButton(QStringLiteral("Spustit přesto"), QMessageBox::AcceptRole);
        box.addButton(QStringLiteral("Ukončit"), QMessageBox::RejectRole);
        box.exec();
        if (box.clickedButton() != start || !single.takeOver())
            return 1;
    }

    WidgetMessages messages;
    Messages::install(&messages);

    MainWindow window(where, &prefetch);
    single.listen();
    QObject::connect(&single, &SingleInstance::argumentsReceived, &window, &MainWindow::takeArguments);
    // The desktop session is ending: keep the rides even if the window
    // never gets to close.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager &) { window.commitSession(); });
    TerminationSignals::watch(window);

    window.show();
    // Told to end while the window was being opened (a box at start): the
    // rides are kept already, and the event loop must not start again.
    if (window.isEnding())
        return 0;
    // Said only now: the ride log is read at showing, and a box before it
    // that a signal ends would leave nothing to keep.
    single.tellIfNotListening();
    window.askAboutNewRide();
    if (window.isEnding())
        return 0;
    QTimer::singleShot(0, &window, [&window, &rideFiles] { window.importRideFiles(rideFiles); });
    const int rc = app.exec();
    Messages::install(nullptr);
    return rc;
}

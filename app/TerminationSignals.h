#pragma once

class MainWindow;

// SIGTERM and SIGHUP end the program: the ride log and the data of the
// open windows are written, or kept in rescue copies when they cannot be,
// and nothing asks. The handlers only write a byte into a socket pair;
// the window's event loop reads it and ends the program.
namespace TerminationSignals {

// Installs the handlers before anything else, so that a signal that comes
// early waits in the socket until watch() is called.
void install();
// From now on a signal ends the window's program: its endSession, then
// every event loop (a modal window's too) ends.
void watch(MainWindow &window);

} // namespace TerminationSignals

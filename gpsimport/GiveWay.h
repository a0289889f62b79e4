#pragma once
#include <QtGlobal>

#include <algorithm>
#include <cerrno>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace GpsImport {

// A worker gives way to the window's thread: its thread's nice value is
// raised (Linux keeps one per thread), so that the processor goes to the
// window first whenever it has something to do, and to the worker
// otherwise. Qt's thread priorities leave ordinary threads as they are on
// Linux. Done once in each worker thread.
inline void giveWayToTheWindow()
{
#ifdef Q_OS_LINUX
    constexpr int kLower = 10;
    static thread_local const bool lowered = [] {
        const pid_t thread = gettid();
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, id_t(thread));
        return errno == 0 && setpriority(PRIO_PROCESS, id_t(thread), std::min(nice + kLower, 19)) == 0;
    }();
    Q_UNUSED(lowered);
#endif
}

} // namespace GpsImport

#pragma once
#include <QProcess>

#include <grp.h>
#include <unistd.h>

// The user "nobody": tests that run as root, for whom no folder is
// read-only and no file another's, start children as this user.
inline constexpr uid_t kNobody = 65534;

// The child runs as nobody (it ends with status 99 when it cannot).
inline void runAsNobody(QProcess &child)
{
    child.setChildProcessModifier([] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(99);
    });
}

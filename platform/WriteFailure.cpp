#include "WriteFailure.h"
#include "AnsiFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <optional>
#include <cstdlib>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace WriteFailure {

namespace {
// What an errno of a failed open or write says, when it says one of the
// causes the rider can act on.
std::optional<Cause> causeOf(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return Cause::NoPermission;
    case EROFS:
        return Cause::ReadOnly;
    case ENOSPC:
    case EDQUOT:
        return Cause::NoSpace;
    default:
        return std::nullopt;
    }
}

// Makes a file in the folder, writes a little and removes it again; the
// errno of the step that failed, 0 when all went through.
int probeFolder(const QString &folder)
{
    QByteArray name = QFile::encodeName(QDir(folder).filePath(QStringLiteral(".trasovnik-zkouska-XXXXXX")));
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    // A full disk often still makes the file and refuses its first block.
    static const char block[64 * 1024] = {};
    int error = 0;
    if (::write(fd, block, sizeof block) < 0 || ::fsync(fd) != 0)
        error = errno;
    ::close(fd);
    ::unlink(name.constData());
    return error;
}

bool folderIsFull(const QString &folder)
{
    struct statvfs st = {};
    return ::statvfs(QFile::encodeName(folder).constData(), &st) == 0 && st.f_bavail == 0;
}

// The cause found at `place`: the file itself or its folder.
Diagnosis said(Cause cause, const QString &place, bool isFile)
{
    const QString where = QDir::toNativeSeparators(place);
    switch (cause) {
    case Cause::NoPermission:
        return {cause,
                (isFile ? QStringLiteral("nemáte oprávnění zapisovat do souboru „%1“")
                        : QStringLiteral("nemáte oprávnění zapisovat do složky „%1“"))
                    .arg(where),
                isFile ? QStringLiteral("třeba po změně oprávnění souboru")
                       : QStringLiteral("třeba po změně oprávnění složky")};
    case Cause::ReadOnly:
        return {cause, QStringLiteral("disk se %1 „%2“ je připojen jen pro čtení")
                           .arg(isFile ? QStringLiteral("souborem") : QStringLiteral("složkou"), where),
                QStringLiteral("třeba po připojení disku pro zápis")};
    case Cause::NoSpace:
        return {cause, QStringLiteral("na disku se složkou „%1“ není dost místa").arg(where),
                QStringLiteral("třeba po uvolnění místa na disku")};
    case Cause::InTheWay:
    case Cause::Other:
        break;
    }
    return {};
}
} // namespace

Diagnosis diagnose(const QString &path, const QString &error)
{
    const QString folder = QFileInfo(path).absolutePath();
    const QString inTheWay = AnsiFile::whatIsInTheWay(path);
    if (!inTheWay.isEmpty())
        return {Cause::InTheWay, QStringLiteral("na jeho místě je %1").arg(inTheWay),
                QStringLiteral("třeba po odstranění toho, co je na jeho místě")};
    // The file itself, opened for writing but neither cut nor changed.
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0)
        ::close(fd);
    else if (errno != ENOENT)
        if (const auto cause = causeOf(errno))
            return said(*cause, path, true);
    // Its folder: the new file is made there and takes the old one's name.
    if (const int probe = probeFolder(folder); probe != 0)
        if (const auto cause = causeOf(probe))
            return said(*cause, folder, false);
    if (folderIsFull(folder))
        return said(Cause::NoSpace, folder, false);
    return {Cause::Other, error, QStringLiteral("třeba až pomine to, co zápisu bránilo")};
}

} // namespace WriteFailure

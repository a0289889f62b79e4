#include "AtomicWrite.h"
#include "AppError.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AtomicWrite {

namespace {
// After a rename the new name lives in the folder's entries: syncing the
// folder puts it on the disk, so that a power cut cannot bring the old
// file back or leave none.
void syncFolderOf(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}
} // namespace

void replaceFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile f(path);
    // Unbuffered: a buffered small write that the disk cuts short at the
    // final flush would still be committed, replacing the file with a
    // part of it.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw AppError(QStringLiteral("Cannot create file %1").arg(path));
    // commit() syncs the new file before it takes the old one's name.
    if (f.write(bytes) != bytes.size() || !f.commit())
        throw AppError(QStringLiteral("Unable to write to %1").arg(path));
    syncFolderOf(path);
}

namespace {
// The process's file mode mask, read without changing it (umask() sets a
// new mask while it reads the old one, and the browser engine's threads
// create files meanwhile).
mode_t fileModeMask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return mode_t(mask & 0777);
            }
        }
    }
    return 022;
}
} // namespace

void replaceScratchFile(const QString &path, const QByteArray &bytes)
{
    QTemporaryFile f(path + QStringLiteral(".XXXXXX"));
    if (!f.open())
        throw AppError(QStringLiteral("Cannot create file %1").arg(path));
    // A temporary file is made for its owner only; the page gets what
    // any new file of the program gets, 0666 less the mask.
    ::fchmod(f.handle(), 0666 & ~fileModeMask());
    // The new file takes the old one's name only once it is whole; rename
    // replaces the old file in one step.
    if (f.write(bytes) != bytes.size() || !f.flush()
        || ::rename(QFile::encodeName(f.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        throw AppError(QStringLiteral("Unable to write to %1").arg(path));
    f.setAutoRemove(false);
}

} // namespace AtomicWrite

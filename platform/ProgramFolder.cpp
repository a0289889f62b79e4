#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace ProgramFolder {

const QStringList kDataFiles = {QString::fromUtf16(kRideLogName), QString::fromUtf16(kWaypointsName),
                                QString::fromUtf16(kFavouritesName), QString::fromUtf16(kSettingsName),
                                QString::fromUtf16(kBikesName)};

namespace {
bool writable(const QString &folder)
{
    if (!QFileInfo(folder).isDir())
        return false;
    // The access bits alone do not tell (root, read-only mounts): try it.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".trasovnik-XXXXXX")));
    return probe.open();
}

QString withSeparator(const QString &folder)
{
    QString f = QDir::cleanPath(folder);
    if (!f.endsWith(u'/'))
        f += u'/';
    return f;
}
} // namespace

Location Location::inFolder(const QString &folder)
{
    Location where;
    where.folder = withSeparator(folder);
    where.programDir = where.folder;
    where.userFolder = where.folder;
    return where;
}

QString userDataFolder()
{
    return withSeparator(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                         + QStringLiteral("/trasovnik"));
}

Location moveToUserFolder(const QString &executableFolder, const QString &userFolder)
{
    Location where;
    where.programDir = withSeparator(executableFolder);
    where.userFolder = withSeparator(userFolder);
    where.folder = where.userFolder;
    where.moved = true;
    where.created = !QFileInfo::exists(where.folder);
    QDir().mkpath(where.folder);
    for (const QString &name : kDataFiles) {
        const QString from = where.programDir + name;
        const QString to = where.folder + name;
        // A file already in the per-user folder is the newer one: it was
        // written there by an earlier run.
        if (!QFileInfo(from).isFile() || QFileInfo::exists(to) || QFileInfo(to).isSymLink())
            continue;
        // QFile::copy writes a temporary file and renames it: never a half copy.
        if (QFile::copy(from, to)) {
            // The copy keeps the original's access bits; a program folder
            // installed read-only must not make the rider's copy so.
            QFile::setPermissions(to, QFile::permissions(to) | QFile::ReadOwner | QFile::WriteOwner);
            where.copied.append(name);
        }
        else
            where.notCopied.append(name);
    }
    return where;
}

Location locate(const QString &executableFolder, const QString &userFolder)
{
    if (isInstalledFolder(executableFolder)) {
        Location where = moveToUserFolder(executableFolder, userFolder);
        where.installed = true;
        return where;
    }
    if (writable(executableFolder)) {
        Location where;
        where.folder = withSeparator(executableFolder);
        where.programDir = where.folder;
        where.userFolder = withSeparator(userFolder);
        return where;
    }
    return moveToUserFolder(executableFolder, userFolder);
}

bool isInstalledFolder(const QString &folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty())
        return false;
    const QString f = withSeparator(canonical);
    for (const QString &installed : {QStringLiteral("/usr/bin"), QStringLiteral("/usr/local/bin"),
                                     QStringLiteral(TRASOVNIK_INSTALL_BINDIR)})
        if (f == withSeparator(installed))
            return true;
    return false;
}

Location locate()
{
    return locate(QCoreApplication::applicationDirPath(), userDataFolder());
}

} // namespace ProgramFolder

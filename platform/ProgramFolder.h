#pragma once
#include <QString>
#include <QStringList>

namespace ProgramFolder {

// The data files of the program, kept together in one folder.
extern const QStringList kDataFiles;

// Where the data files live.
struct Location
{
    QString folder;       // with a trailing separator
    QString userFolder;   // the per-user data folder, with a trailing separator
    bool moved = false;   // the executable's folder is not writable: folder is userFolder
    QString programDir;   // the executable's folder
    QStringList copied;    // data files copied from programDir into folder
    QStringList notCopied; // data files that could not be copied
};

// The per-user data folder: ~/.local/share/trasovnik/ (XDG_DATA_HOME).
QString userDataFolder();

// The folder of the executable when it is writable. Otherwise the per-user
// data folder, into which the data files lying beside the executable are
// copied first, each only when that folder does not hold it yet.
Location locate();
// The same rule for given folders.
Location locate(const QString &executableFolder, const QString &userFolder);
// The copying step alone: programDir's data files into userFolder.
Location moveToUserFolder(const QString &executableFolder, const QString &userFolder);

} // namespace ProgramFolder

#pragma once
#include <QString>
#include <QStringList>

namespace ProgramFolder {

// The names of the program's files in its data folder.
inline constexpr char16_t kRideLogName[] = u"default.tvl";
inline constexpr char16_t kWaypointsName[] = u"default.tvb";
inline constexpr char16_t kFavouritesName[] = u"trasy.ini";
inline constexpr char16_t kSettingsName[] = u"store.ini";
// The rider's bikes and their parts.
inline constexpr char16_t kBikesName[] = u"kola.ini";
inline constexpr char16_t kPreviewName[] = u"temp.html";
inline constexpr char16_t kHelpName[] = u"help.chm";
// The ride log's changes not yet saved, written a moment after each change.
inline constexpr char16_t kUnsavedName[] = u"default-obnova.tvl";
// The lock that the one program running for the folder holds.
inline constexpr char16_t kLockName[] = u".trasovnik.lock";
// The folder of the ride log's daily copies, beside the ride log.
inline constexpr char16_t kBackupFolderName[] = u"zalohy";
// The folder of the kept copies of imported ride files (one folder a year)
// and the register of imported files in it.
inline constexpr char16_t kKeptRidesFolderName[] = u"zaznamy";
inline constexpr char16_t kImportRegisterName[] = u"zaznamy/importy.txt";

// The data files of the program, kept together in one folder.
extern const QStringList kDataFiles;

// Where the data files live, and the path of each.
struct Location
{
    QString folder;       // with a trailing separator
    QString userFolder;   // the per-user data folder, with a trailing separator
    bool moved = false;   // the executable's folder is not for data: folder is userFolder
    bool installed = false; // moved because the program is installed in a system folder
    bool created = false; // moved, and the per-user folder was made by this start
    QString programDir;   // the executable's folder
    QStringList copied;    // data files copied from programDir into folder
    QStringList notCopied; // data files that could not be copied

    // One folder for everything: the data, the rescue copies and the
    // program's own files (a test's folder, say).
    static Location inFolder(const QString &folder);

    QString rideLog() const { return file(kRideLogName); }
    QString waypoints() const { return file(kWaypointsName); }
    QString favourites() const { return file(kFavouritesName); }
    QString settings() const { return file(kSettingsName); }
    QString bikes() const { return file(kBikesName); }
    // The page the export window shows, made again at every change.
    QString preview() const { return file(kPreviewName); }
    // The daily copies of the ride log, with a trailing separator.
    QString backups() const { return file(kBackupFolderName) + u'/'; }
    // The kept copies of imported ride files, with a trailing separator,
    // and the register of imported files.
    QString keptRides() const { return file(kKeptRidesFolderName) + u'/'; }
    QString importRegister() const { return file(kImportRegisterName); }
    // The compiled help, beside the data files.
    QString help() const { return file(kHelpName); }
    // The ride log's unsaved changes, and the single-instance lock.
    QString unsaved() const { return file(kUnsavedName); }
    QString lock() const { return file(kLockName); }
    // A ride log saved elsewhere is offered in the per-user folder.
    QString rideLogInUserFolder() const { return QString(userFolder).append(QStringView(kRideLogName)); }

private:
    QString file(QStringView name) const { return QString(folder).append(name); }
};

// The per-user data folder: ~/.local/share/trasovnik/ (XDG_DATA_HOME).
QString userDataFolder();

// A folder programs are installed in for everybody (/usr/bin, the folder
// the build installs to): it never holds the data, even when it can be
// written (by root).
bool isInstalledFolder(const QString &folder);

// The folder of the executable when it is writable and not an installed
// folder. Otherwise the per-user data folder, into which the data files
// lying beside the executable are copied first, each only when that folder
// does not hold it yet.
Location locate();
// The same rule for given folders.
Location locate(const QString &executableFolder, const QString &userFolder);
// The copying step alone: programDir's data files into userFolder.
Location moveToUserFolder(const QString &executableFolder, const QString &userFolder);

} // namespace ProgramFolder

#pragma once
#include "RecordedRide.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace GpsImport {
class ImportRegister;
}

// The rider's bike computers as the file system shows them: the folders of
// ride files on mounted volumes (a `Garmin/Activity` folder, any letter
// case), on the desktop's MTP mounts under the user's runtime folder, and in
// the folders the rider named; each with the device's name and the ride
// files in it that the register of imported files does not know.
//
// Everything here reads the file system and may be slow (a device over
// MTP, a stick being pulled out): it is called in a worker thread, never on
// the window's thread.
namespace GpsImport::RideDevices {

// A mounted file system, as /proc/self/mountinfo lists it.
struct MountPoint
{
    QString folder;   // where it is mounted
    QString source;   // the device ("/dev/sdb1") or what stands for it
    QString type;     // the file system ("vfat", "tmpfs", ...)
    QString id;       // the mount's own number: a new mount gets a new one
    QString label;    // the volume's label, when it has one
};

// The mounts a mountinfo text lists, with the volumes' labels found in
// `byLabelFolder` (udev's links, named by label, to the devices).
QList<MountPoint> parseMountInfo(QByteArrayView text, const QString &byLabelFolder = {});
// The system's own mounts.
QList<MountPoint> mountPoints();
// What tells a mount from the ones before it at the same folder.
QString volumeKey(const MountPoint &m);

// A folder that may hold new rides.
struct RideFolder
{
    QString folder; // the folder of ride files
    QString device; // the name the rider sees
    // What stays the same while the device stays mounted and changes when
    // it is mounted anew: the mount's number with the folder, the MTP
    // storage's path, the rider's folder's path.
    QString key;
};

// The folders of ride files: `Garmin/Activity` on each mount that can
// hold one (pseudo, network and automount file systems are passed by), in
// `<runtimeFolder>/gvfs/mtp:…/<storage>/` and a level further down, and
// the rider's own folders, each folder once. The device's name is the
// `<Model><Description>` of its `Garmin/GarminDevice.xml`, else the
// volume's label, else the mount folder's name (for a rider's folder that
// is no device's `Garmin/Activity`: the folder's name).
QList<RideFolder> findFolders(const QList<MountPoint> &mounts, const QString &runtimeFolder,
                              const QStringList &riderFolders, const StopFlag &stop);

// The `<Model><Description>` of a GarminDevice.xml; empty when it has none.
QString modelDescription(const QString &garminDeviceXml);

// A ride file by its name: .fit, .gpx, .tcx, plain or .gz, any case.
bool isRideFileName(const QString &name);

// The hashes of files already read, so that a folder looked at again
// costs a listing, not a reading of every file.
struct KnownHash
{
    qint64 size = -1;
    QDateTime modified;
    QByteArray hash;
};
using HashCache = QHash<QString, KnownHash>;

// The ride files of a folder that the register does not know, sorted by
// name. A file that cannot be read (gone meanwhile) is not counted; a
// stop ends the listing quietly.
QStringList newFiles(const QString &folder, const ImportRegister &known, HashCache &hashes, const StopFlag &stop);

// "3 nové jízdy": the count with its Czech plural.
QString newRidesText(qsizetype count);

// The rider's folders, in store.ini's section `[SlozkyZaznamu]` as
// `Slozka1=…`, `Slozka2=…`. Writing replaces the section; every other
// section and key stays byte for byte. Throws AppError when the file cannot
// be written or a path has characters the file cannot hold.
inline constexpr char16_t kFoldersSection[] = u"SlozkyZaznamu";
QStringList readRiderFolders(const QString &settingsPath);
void writeRiderFolders(const QString &settingsPath, const QStringList &folders);

} // namespace GpsImport::RideDevices

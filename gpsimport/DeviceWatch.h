#pragma once
#include "RecordedRide.h"
#include "RideDevices.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

class QFileSystemWatcher;
class QSocketNotifier;
class QThreadPool;
class QTimer;
template <class T>
class QFutureWatcher;

namespace GpsImport {

// Watches for the rider's bike computers and the folders of ride files,
// and offers the rides they hold that were never imported.
//
// The mount table is watched through /proc/self/mountinfo (the kernel
// marks it with POLLPRI when a file system is mounted or unmounted), the
// desktop's MTP mounts through the runtime folder's `gvfs` folder, the
// rider's folders through their own changes. A change leads to a scan a
// moment later (changes in a burst give one scan), in a worker thread of
// this object's own: the window never waits on a slow or vanishing
// device. A scan started while another runs stops the other.
//
// A file the rider hid, or handed over to the import, is not offered
// again while its device stays mounted; mounted anew (or a folder gone
// and back), its files are offered again when the register does not know
// them by then. The kernel gives a new mount the number a mount just gone
// had: that a volume went is seen in the mount table at once, not only by
// the next scan, so that a device pulled out and put back within the
// moment before the scan counts as mounted anew.
class DeviceWatch : public QObject
{
    Q_OBJECT
public:
    struct Device
    {
        QString name;
        QString key;       // RideDevices::RideFolder::key
        QStringList files; // the new ride files, sorted by name
    };

    // `registerPath`: the register of imported files, read at every scan.
    explicit DeviceWatch(const QString &registerPath, QObject *parent = nullptr);
    ~DeviceWatch() override;

    // Where the desktop mounts MTP devices (`<folder>/gvfs`); by default
    // $XDG_RUNTIME_DIR. Set before start().
    void setRuntimeFolder(const QString &folder) { m_runtimeFolder = folder; }
    // The rider's folders; watched from now on and looked at soon.
    void setRiderFolders(const QStringList &folders);
    // The wait from a change to its scan (1 s).
    void setDelay(int ms);

    // Starts watching and scans at once.
    void start();
    // A scan after the delay; a further change meanwhile waits again.
    void rescan();
    // A scan now (a running one is stopped first).
    void scanNow();
    // The files of these devices are not offered again while mounted.
    void hide(const QList<Device> &devices);

    // The devices with rides to offer after the last scan.
    const QList<Device> &offered() const { return m_offered; }
    bool isScanning() const { return m_running != nullptr; }

signals:
    // After every scan that ran to its end: the devices with new rides
    // (none: nothing to offer).
    void offeredChanged(const QList<GpsImport::DeviceWatch::Device> &devices);

private:
    struct ScanResult
    {
        QList<Device> devices;
        RideDevices::HashCache hashes;
    };
    static ScanResult scan(const QString &registerPath, const QString &runtimeFolder,
                           const QStringList &riderFolders, RideDevices::HashCache hashes, const StopFlag &stop);
    void watchMounts();
    void mountsChanged();
    // The mount table read again: the volumes gone since forget what was
    // hidden of them and are noted in m_goneWhileScanning.
    void readMountTable();
    void watchFolders();
    void scanEnded();
    // What was hidden of a folder that is gone: there again, it is offered.
    void forget(const QSet<QString> &keys);

    QString m_registerPath;
    QString m_runtimeFolder;
    QStringList m_riderFolders;
    QTimer *m_delay = nullptr;
    QTimer *m_poll = nullptr;
    int m_mountsFd = -1;
    // The keys of the mounts at the last change of the mount table.
    QSet<QString> m_mounted;
    QSet<QString> m_goneWhileScanning;
    QSocketNotifier *m_mountNotifier = nullptr;
    QFileSystemWatcher *m_folders = nullptr;
    QThreadPool *m_pool = nullptr;
    QFutureWatcher<ScanResult> *m_running = nullptr;
    std::shared_ptr<StopFlag> m_stop;
    bool m_again = false;
    RideDevices::HashCache m_hashes;
    // "key\npath" of each file hidden or handed over.
    QSet<QString> m_hidden;
    QList<Device> m_offered;
};

} // namespace GpsImport

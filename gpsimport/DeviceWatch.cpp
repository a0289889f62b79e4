#include "DeviceWatch.h"
#include "GiveWay.h"
#include "ImportRegister.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFutureWatcher>
#include <QSocketNotifier>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace GpsImport {

namespace {
constexpr int kDelayMs = 1000;
// Only when the mount table cannot be watched.
constexpr int kPollMs = 5000;
// How long the end of the program waits for a scan caught in a device that
// does not answer before it leaves the scan behind.
constexpr int kEndWaitMs = 2000;

QString hiddenKey(const QString &key, const QString &file)
{
    return key + u'\n' + file;
}

// The keys a scan gives the volumes now mounted (no device is read: the
// kernel's table only).
QSet<QString> mountKeys(int fd)
{
    QByteArray table;
    char block[16384];
    for (qint64 got; (got = ::pread(fd, block, sizeof block, table.size())) > 0;)
        table.append(block, got);
    QSet<QString> keys;
    for (const RideDevices::MountPoint &m : RideDevices::parseMountInfo(table))
        keys.insert(RideDevices::volumeKey(m));
    return keys;
}
} // namespace

DeviceWatch::DeviceWatch(const QString &registerPath, QObject *parent)
    : QObject(parent)
    , m_registerPath(registerPath)
    , m_runtimeFolder(qEnvironmentVariable("XDG_RUNTIME_DIR"))
{
    m_delay = new QTimer(this);
    m_delay->setSingleShot(true);
    m_delay->setInterval(kDelayMs);
    connect(m_delay, &QTimer::timeout, this, &DeviceWatch::scanNow);
    // Not Qt's global pool: the raster painter waits on that one.
    m_pool = new QThreadPool;
    m_pool->setObjectName(QStringLiteral("DeviceScan"));
    m_pool->setMaxThreadCount(1);
}

DeviceWatch::~DeviceWatch()
{
    if (m_stop)
        m_stop->store(true);
    delete m_running; // its result is not wanted any more
    // A scan stuck in a device that does not answer keeps its thread; the
    // program ends without it (the scan holds nothing of this object).
    if (m_pool->waitForDone(kEndWaitMs))
        delete m_pool;
    if (m_mountsFd >= 0)
        ::close(m_mountsFd);
}

void DeviceWatch::setRiderFolders(const QStringList &folders)
{
    m_riderFolders = folders;
    if (m_folders) {
        watchFolders();
        rescan();
    }
}

void DeviceWatch::setDelay(int ms)
{
    m_delay->setInterval(ms);
}

void DeviceWatch::start()
{
    watchMounts();
    m_folders = new QFileSystemWatcher(this);
    connect(m_folders, &QFileSystemWatcher::directoryChanged, this, &DeviceWatch::rescan);
    watchFolders();
    scanNow();
}

void DeviceWatch::watchMounts()
{
    // The kernel marks the mount table's file with POLLPRI (and POLLERR)
    // at every change; reading it is not needed to clear the mark.
    m_mountsFd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_mountsFd >= 0) {
        m_mounted = mountKeys(m_mountsFd);
        m_mountNotifier = new QSocketNotifier(qintptr(m_mountsFd), QSocketNotifier::Exception, this);
        connect(m_mountNotifier, &QSocketNotifier::activated, this, &DeviceWatch::mountsChanged);
        return;
    }
    m_poll = new QTimer(this);
    m_poll->setInterval(kPollMs);
    connect(m_poll, &QTimer::timeout, this, &DeviceWatch::rescan);
    m_poll->start();
}

void DeviceWatch::mountsChanged()
{
    readMountTable();
    rescan();
}

void DeviceWatch::readMountTable()
{
    if (m_mountsFd < 0)
        return;
    const QSet<QString> now = mountKeys(m_mountsFd);
    const QSet<QString> gone = QSet<QString>(m_mounted).subtract(now);
    forget(gone);
    m_goneWhileScanning += gone;
    m_mounted = now;
}

void DeviceWatch::forget(const QSet<QString> &keys)
{
    if (!keys.isEmpty())
        m_hidden.removeIf([&keys](const QString &h) { return keys.contains(h.section(u'\n', 0, 0)); });
}

void DeviceWatch::watchFolders()
{
    QStringList folders = m_riderFolders;
    if (!m_runtimeFolder.isEmpty()) {
        // The gvfs folder once it is there; the runtime folder until then.
        const QString gvfs = m_runtimeFolder + QStringLiteral("/gvfs");
        folders.append(QFileInfo(gvfs).isDir() ? gvfs : m_runtimeFolder);
    }
    folders.erase(std::remove_if(folders.begin(), folders.end(), [](const QString &f) { return !QFileInfo(f).isDir(); }),
                  folders.end());
    // Watches taken away and put back could miss a change between.
    QStringList watched = m_folders->directories();
    watched.sort();
    QStringList wanted = folders;
    wanted.sort();
    if (watched == wanted)
        return;
    if (!watched.isEmpty())
        m_folders->removePaths(watched);
    if (!folders.isEmpty())
        m_folders->addPaths(folders);
}

void DeviceWatch::rescan()
{
    m_delay->start();
}

void DeviceWatch::scanNow()
{
    m_delay->stop();
    if (m_running) {
        // The running scan ends soon; this one follows it.
        m_stop->store(true);
        m_again = true;
        return;
    }
    m_again = false;
    m_goneWhileScanning.clear();
    m_stop = std::make_shared<StopFlag>(false);
    m_running = new QFutureWatcher<ScanResult>(this);
    connect(m_running, &QFutureWatcher<ScanResult>::finished, this, &DeviceWatch::scanEnded);
    m_running->setFuture(QtConcurrent::run(m_pool, [reg = m_registerPath, runtime = m_runtimeFolder,
                                                    folders = m_riderFolders, hashes = m_hashes, stop = m_stop] {
        GpsImport::giveWayToTheWindow();
        return scan(reg, runtime, folders, hashes, *stop);
    }));
}

DeviceWatch::ScanResult DeviceWatch::scan(const QString &registerPath, const QString &runtimeFolder,
                                          const QStringList &riderFolders, RideDevices::HashCache hashes,
                                          const StopFlag &stop)
{
    ScanResult result;
    const QList<RideDevices::RideFolder> folders =
        RideDevices::findFolders(RideDevices::mountPoints(), runtimeFolder, riderFolders, stop);
    if (folders.isEmpty())
        return result;
    const ImportRegister known = ImportRegister::load(registerPath);
    for (const RideDevices::RideFolder &f : folders) {
        if (stop.load())
            return {};
        result.devices.append({f.device, f.key, RideDevices::newFiles(f.folder, known, hashes, stop)});
    }
    result.hashes = std::move(hashes);
    return result;
}

void DeviceWatch::scanEnded()
{
    const bool stopped = m_stop->load();
    ScanResult result = stopped ? ScanResult{} : m_running->result();
    m_running->deleteLater();
    m_running = nullptr;
    // A volume pulled out while it was read: what was found on it is not
    // offered (the kernel's word on it may come after the scan's end).
    readMountTable();
    const bool readGone = std::any_of(result.devices.cbegin(), result.devices.cend(),
                                      [this](const Device &d) { return m_goneWhileScanning.contains(d.key); });
    if (stopped || m_again || readGone) {
        scanNow();
        return;
    }
    m_hashes = std::move(result.hashes);
    // A device no longer there forgets what was hidden of it: mounted
    // again, it is offered again.
    QSet<QString> keys;
    for (const Device &d : std::as_const(result.devices))
        keys.insert(d.key);
    QSet<QString> gone;
    for (const QString &h : std::as_const(m_hidden))
        if (const QString key = h.section(u'\n', 0, 0); !keys.contains(key))
            gone.insert(key);
    forget(gone);
    m_offered.clear();
    for (Device &d : result.devices) {
        d.files.removeIf([this, &d](const QString &f) { return m_hidden.contains(hiddenKey(d.key, f)); });
        if (!d.files.isEmpty())
            m_offered.append(d);
    }
    // The gvfs folder may have come meanwhile.
    if (m_folders)
        watchFolders();
    emit offeredChanged(m_offered);
}

void DeviceWatch::hide(const QList<Device> &devices)
{
    for (const Device &d : devices)
        for (const QString &f : d.files)
            m_hidden.insert(hiddenKey(d.key, f));
    QList<Device> left;
    for (Device d : std::as_const(m_offered)) {
        d.files.removeIf([this, &d](const QString &f) { return m_hidden.contains(hiddenKey(d.key, f)); });
        if (!d.files.isEmpty())
            left.append(d);
    }
    m_offered = left;
}

} // namespace GpsImport

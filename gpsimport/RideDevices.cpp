#include "RideDevices.h"
#include "ImportRegister.h"
#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QXmlStreamReader>

#include <algorithm>

namespace GpsImport::RideDevices {

namespace {
// File systems that never hold a device's rides, or whose listing may
// hang or mount something (network, automount): passed by. Made on first
// use, not at the program's start.
bool isPassedType(const QString &type)
{
    static const QSet<QString> passed = {
    QStringLiteral("proc"),       QStringLiteral("sysfs"),         QStringLiteral("devtmpfs"),
    QStringLiteral("devpts"),     QStringLiteral("cgroup"),        QStringLiteral("cgroup2"),
    QStringLiteral("securityfs"), QStringLiteral("debugfs"),       QStringLiteral("tracefs"),
    QStringLiteral("pstore"),     QStringLiteral("bpf"),           QStringLiteral("mqueue"),
    QStringLiteral("hugetlbfs"),  QStringLiteral("configfs"),      QStringLiteral("fusectl"),
    QStringLiteral("binfmt_misc"), QStringLiteral("efivarfs"),     QStringLiteral("autofs"),
    QStringLiteral("nsfs"),       QStringLiteral("rpc_pipefs"),    QStringLiteral("selinuxfs"),
    QStringLiteral("squashfs"),   QStringLiteral("nfs"),           QStringLiteral("nfs4"),
    QStringLiteral("cifs"),       QStringLiteral("smb3"),          QStringLiteral("smbfs"),
    QStringLiteral("9p"),         QStringLiteral("ceph"),          QStringLiteral("fuse.sshfs"),
    QStringLiteral("fuse.gvfsd-fuse"), QStringLiteral("fuse.glusterfs"), QStringLiteral("davfs"),
    };
    return passed.contains(type);
}

// "\040" in mountinfo is a blank, "\134" a backslash.
QString unescapeOctal(QByteArrayView field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const auto octal = [&](qsizetype k) { return k < field.size() && field[k] >= '0' && field[k] <= '7'; };
        if (field[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3) && field[i + 1] <= '3') {
            out.append(char((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            out.append(field[i]);
        }
    }
    return QFile::decodeName(out);
}

// udev names a label's link with "\x20" for a blank and the like.
QString unescapeHex(const QString &name)
{
    QByteArray out;
    const QByteArray in = QFile::encodeName(name);
    for (qsizetype i = 0; i < in.size(); ++i) {
        bool ok = false;
        const int value = in.mid(i + 2, 2).toInt(&ok, 16);
        if (in[i] == '\\' && i + 3 < in.size() && in[i + 1] == 'x' && ok) {
            out.append(char(value));
            i += 3;
        } else {
            out.append(in[i]);
        }
    }
    return QString::fromUtf8(out);
}

QHash<QString, QString> labelsByDevice(const QString &byLabelFolder)
{
    QHash<QString, QString> labels;
    if (byLabelFolder.isEmpty())
        return labels;
    const QFileInfoList links = QDir(byLabelFolder).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &link : links) {
        const QString device = link.canonicalFilePath();
        if (!device.isEmpty())
            labels.insert(device, unescapeHex(link.fileName()));
    }
    return labels;
}

// The entry of `folder` named `name` in any letter case (the exact
// spelling first); empty when there is none.
QString childNamed(const QString &folder, const QString &name)
{
    const QDir dir(folder);
    if (dir.exists(name))
        return dir.filePath(name);
    const QStringList entries = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &e : entries)
        if (e.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(e);
    return {};
}

// The `Garmin/Activity` folder of a device's root; empty when none.
QString activityFolderOf(const QString &root)
{
    const QString garmin = childNamed(root, QStringLiteral("Garmin"));
    if (garmin.isEmpty() || !QFileInfo(garmin).isDir())
        return {};
    const QString activity = childNamed(garmin, QStringLiteral("Activity"));
    return QFileInfo(activity).isDir() ? activity : QString();
}

QString deviceName(const QString &root, const QString &label)
{
    const QString garmin = childNamed(root, QStringLiteral("Garmin"));
    if (!garmin.isEmpty()) {
        const QString xml = childNamed(garmin, QStringLiteral("GarminDevice.xml"));
        if (!xml.isEmpty()) {
            const QString model = modelDescription(xml);
            if (!model.isEmpty())
                return model;
        }
    }
    if (!label.isEmpty())
        return label;
    const QString name = QFileInfo(root).fileName();
    return name.isEmpty() ? root : name;
}

bool passedBy(const MountPoint &m)
{
    if (isPassedType(m.type))
        return true;
    for (const QStringView f : {u"/proc", u"/sys", u"/dev"})
        if (m.folder == f || (m.folder.startsWith(f) && m.folder.mid(f.size(), 1) == u"/"))
            return true;
    return false;
}

// Subfolders of a folder, sorted.
QStringList subfolders(const QString &folder)
{
    QStringList out;
    const QDir dir(folder);
    for (const QString &e : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        out.append(dir.filePath(e));
    return out;
}

// MTP storages: `gvfs/mtp:host=…/<storage>/Garmin/Activity`, and one level
// further for a device that puts its storage deeper.
void findMtpFolders(const QString &runtimeFolder, QList<RideFolder> &found, const StopFlag &stop)
{
    if (runtimeFolder.isEmpty())
        return;
    const QString gvfs = runtimeFolder + QStringLiteral("/gvfs");
    for (const QString &host : subfolders(gvfs)) {
        if (!QFileInfo(host).fileName().startsWith(QStringLiteral("mtp:"), Qt::CaseInsensitive))
            continue;
        QStringList roots{host};
        for (qsizetype i = 0; i < roots.size() && !stop.load(); ++i) {
            const QString &root = roots[i];
            const QString activity = activityFolderOf(root);
            if (!activity.isEmpty()) {
                found.append({activity, deviceName(root, QFileInfo(host).fileName()), root});
                continue;
            }
            const int depth = int(root.count(u'/') - host.count(u'/'));
            if (depth < 2)
                roots += subfolders(root);
        }
    }
}

RideFolder riderFolder(const QString &folder, const QList<MountPoint> &mounts)
{
    const QFileInfo info(folder);
    const QString parent = info.dir().path();
    // A device's own `Garmin/Activity` named by the rider is that device.
    if (info.fileName().compare(QStringLiteral("Activity"), Qt::CaseInsensitive) == 0
        && QFileInfo(parent).fileName().compare(QStringLiteral("Garmin"), Qt::CaseInsensitive) == 0) {
        const QString root = QFileInfo(parent).dir().path();
        QString label;
        for (const MountPoint &m : mounts)
            if (m.folder == root)
                label = m.label;
        return {folder, deviceName(root, label), folder};
    }
    return {folder, info.fileName().isEmpty() ? folder : info.fileName(), folder};
}
} // namespace

QList<MountPoint> parseMountInfo(QByteArrayView text, const QString &byLabelFolder)
{
    const QHash<QString, QString> labels = labelsByDevice(byLabelFolder);
    QList<MountPoint> mounts;
    for (const QByteArray &line : text.toByteArray().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        const qsizetype dash = f.indexOf("-");
        if (f.size() < 5 || dash < 5 || dash + 2 >= f.size())
            continue;
        MountPoint m{unescapeOctal(f[4]), unescapeOctal(f[dash + 2]), QString::fromUtf8(f[dash + 1]),
                     QString::fromLatin1(f[0]), {}};
        const QString device = m.source.startsWith(u'/') ? QFileInfo(m.source).canonicalFilePath() : QString();
        m.label = labels.value(device.isEmpty() ? m.source : device);
        mounts.append(m);
    }
    return mounts;
}

QList<MountPoint> mountPoints()
{
    QFile info(QStringLiteral("/proc/self/mountinfo"));
    if (!info.open(QIODevice::ReadOnly))
        return {};
    return parseMountInfo(info.readAll(), QStringLiteral("/dev/disk/by-label"));
}

QString volumeKey(const MountPoint &m)
{
    return m.folder + u'#' + m.id;
}

QList<RideFolder> findFolders(const QList<MountPoint> &mounts, const QString &runtimeFolder,
                              const QStringList &riderFolders, const StopFlag &stop)
{
    QList<RideFolder> found;
    for (const MountPoint &m : mounts) {
        if (stop.load())
            return {};
        if (passedBy(m))
            continue;
        const QString activity = activityFolderOf(m.folder);
        if (!activity.isEmpty())
            found.append({activity, deviceName(m.folder, m.label), volumeKey(m)});
    }
    findMtpFolders(runtimeFolder, found, stop);
    for (const QString &folder : riderFolders)
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            found.append(riderFolder(QDir::cleanPath(folder), mounts));
    // A folder reached twice (a rider's folder on a device, a mount seen
    // under two folders) is one folder.
    QSet<QString> seen;
    QList<RideFolder> once;
    for (const RideFolder &f : std::as_const(found)) {
        const QString real = QFileInfo(f.folder).canonicalFilePath();
        if (!seen.contains(real.isEmpty() ? f.folder : real)) {
            seen.insert(real.isEmpty() ? f.folder : real);
            once.append(f);
        }
    }
    return stop.load() ? QList<RideFolder>{} : once;
}

QString modelDescription(const QString &garminDeviceXml)
{
    QFile file(garminDeviceXml);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QXmlStreamReader xml(&file);
    QStringList path;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            path.append(xml.name().toString());
            if (path == QStringList{QStringLiteral("Device"), QStringLiteral("Model"), QStringLiteral("Description")})
                return xml.readElementText(QXmlStreamReader::SkipChildElements).simplified();
        } else if (xml.isEndElement()) {
            path.removeLast();
        }
    }
    return {};
}

bool isRideFileName(const QString &name)
{
    QStringView n(name);
    if (n.endsWith(u".gz", Qt::CaseInsensitive))
        n.chop(3);
    for (const QStringView suffix : {u".fit", u".gpx", u".tcx"})
        if (n.size() > suffix.size() && n.endsWith(suffix, Qt::CaseInsensitive))
            return true;
    return false;
}

QStringList newFiles(const QString &folder, const ImportRegister &known, HashCache &hashes, const StopFlag &stop)
{
    QStringList out;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (stop.load())
            return {};
        if (!isRideFileName(entry.fileName()))
            continue;
        const QString path = entry.filePath();
        KnownHash &cached = hashes[path];
        if (cached.hash.isEmpty() || cached.size != entry.size() || cached.modified != entry.lastModified())
            cached = {entry.size(), entry.lastModified(), contentHashOfFile(path, nullptr, &stop)};
        if (cached.hash.isEmpty()) {
            hashes.remove(path);
            // Gone meanwhile: not counted. There but unreadable: the import
            // window says why.
            if (QFileInfo::exists(path))
                out.append(path);
            continue;
        }
        // A `.gz` may be registered as the archive of the ride it holds.
        if (!known.knows(cached.hash) && !known.archive(cached.hash))
            out.append(path);
    }
    return out;
}

QString newRidesText(qsizetype count)
{
    if (count == 1)
        return QStringLiteral("1 nová jízda");
    if (count >= 2 && count <= 4)
        return QStringLiteral("%1 nové jízdy").arg(count);
    return QStringLiteral("%1 nových jízd").arg(count);
}

QStringList readRiderFolders(const QString &settingsPath)
{
    const auto sections = IniFile::readAll(settingsPath, nullptr, [](const QString &s) {
        return s.compare(QStringView(kFoldersSection), Qt::CaseInsensitive) == 0;
    });
    QList<std::pair<int, QString>> numbered;
    for (const IniFile::Section &s : sections) {
        if (s.name.compare(QStringView(kFoldersSection), Qt::CaseInsensitive) != 0)
            continue;
        for (const auto &[key, value] : s.entries) {
            bool ok = false;
            const int n = key.startsWith(QStringLiteral("Slozka"), Qt::CaseInsensitive) ? key.mid(6).toInt(&ok) : 0;
            if (ok && !value.isEmpty())
                numbered.append({n, value});
        }
        break;
    }
    std::stable_sort(numbered.begin(), numbered.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QStringList folders;
    for (const auto &n : std::as_const(numbered))
        if (!folders.contains(n.second))
            folders.append(n.second);
    return folders;
}

void writeRiderFolders(const QString &settingsPath, const QStringList &folders)
{
    IniFile::Entries entries;
    for (const QString &f : folders)
        entries.append({QStringLiteral("Slozka%1").arg(entries.size() + 1), f});
    QList<IniFile::SectionChange> changes{{QStringView(kFoldersSection).toString(), {}, true}};
    if (!entries.isEmpty())
        changes.append({QStringView(kFoldersSection).toString(), entries, false});
    IniFile::change(settingsPath, changes);
}

} // namespace GpsImport::RideDevices

// The rider's devices on the file system: folders of ride files among
// mounts, MTP mounts and the rider's folders, the device's name, the files
// the register does not know, the mount table read as findmnt reads it.
#include "ImportRegister.h"
#include "RideDevices.h"
#include "TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/mount.h>

using namespace GpsImport;
using namespace GpsImport::RideDevices;

namespace {
// A tree in a folder: "a/b/" a folder, "a/GarminDevice.xml->NAME" a device
// file of that model, anything else a file of its own name's bytes.
void makeTree(const QString &base, const QStringList &tree)
{
    for (const QString &entry : tree) {
        const QString rel = entry.section(QStringLiteral("->"), 0, 0), path = base + u'/' + rel;
        QVERIFY(QDir().mkpath(rel.endsWith(u'/') ? path : QFileInfo(path).path()));
        if (!rel.endsWith(u'/'))
            putFile(path, entry.contains(QStringLiteral("->"))
                              ? "<?xml version=\"1.0\"?><Device xmlns=\"http://www.garmin.com/xmlschemas/GarminDevice/v2\">"
                                "<Model><PartNumber>006-B3121-00</PartNumber><Description>"
                                    + entry.section(QStringLiteral("->"), 1).toUtf8()
                                    + "</Description></Model><Id>3312345678</Id></Device>"
                              : rel.toUtf8());
    }
}

// findmnt's raw output writes a blank and the like as "\x20".
QString unhex(QByteArray field)
{
    for (qsizetype i = field.indexOf("\\x"); i >= 0; i = field.indexOf("\\x", i + 1))
        field.replace(i, 4, QByteArray(1, char(field.mid(i + 2, 2).toInt(nullptr, 16))));
    return QString::fromUtf8(field);
}
} // namespace

class TestRideDevices : public QObject
{
    Q_OBJECT

private slots:
    void findFolders_data()
    {
        QTest::addColumn<QStringList>("tree");
        QTest::addColumn<QStringList>("mounts");   // "folder|type|label"
        QTest::addColumn<QStringList>("riders");   // the rider's folders
        QTest::addColumn<QStringList>("expected"); // "device|folder"
        const QString mtp = QStringLiteral("run/gvfs/mtp:host=091e_4b37_0000cafe/Internal Storage/Garmin");

        QTest::newRow("the mount folder's name") << QStringList{"GARMIN/Garmin/Activity/"} << QStringList{"GARMIN|vfat|"}
                                                 << QStringList{} << QStringList{"GARMIN|GARMIN/Garmin/Activity"};
        QTest::newRow("upper case, the volume's label") << QStringList{"sdb1/GARMIN/ACTIVITY/"}
                                                        << QStringList{"sdb1|vfat|MY EDGE"} << QStringList{}
                                                        << QStringList{"MY EDGE|sdb1/GARMIN/ACTIVITY"};
        QTest::newRow("lower case, GarminDevice.xml in any case")
            << QStringList{"m/garmin/activity/", "m/garmin/garmindevice.XML->EDGE 530"} << QStringList{"m|vfat|LABEL"}
            << QStringList{} << QStringList{"EDGE 530|m/garmin/activity"};
        QTest::newRow("pseudo and network file systems passed by")
            << QStringList{"p/Garmin/Activity/", "n/Garmin/Activity/"} << QStringList{"p|proc|", "n|nfs4|"}
            << QStringList{} << QStringList{};
        QTest::newRow("Garmin without Activity") << QStringList{"m/Garmin/Courses/"} << QStringList{"m|vfat|"}
                                                 << QStringList{} << QStringList{};
        QTest::newRow("MTP storage") << QStringList{mtp + "/Activity/", mtp + "/GarminDevice.xml->EDGE 830"}
                                     << QStringList{} << QStringList{} << QStringList{"EDGE 830|" + mtp + "/Activity"};
        QTest::newRow("MTP a level deeper, by its mount folder")
            << QStringList{"run/gvfs/mtp:host=X/Primary/Device/GARMIN/Activity/"} << QStringList{} << QStringList{}
            << QStringList{"mtp:host=X|run/gvfs/mtp:host=X/Primary/Device/GARMIN/Activity"};
        QTest::newRow("no other gvfs mount") << QStringList{"run/gvfs/sftp:host=server/Garmin/Activity/"}
                                             << QStringList{} << QStringList{} << QStringList{};
        QTest::newRow("a rider's folder; one gone") << QStringList{"home/Jízdy/"} << QStringList{}
                                                    << QStringList{"home/Jízdy", "gone"} << QStringList{"Jízdy|home/Jízdy"};
        QTest::newRow("a rider's folder that is a device's, once")
            << QStringList{"m/Garmin/Activity/", "m/Garmin/GarminDevice.xml->EDGE 530"} << QStringList{"m|vfat|"}
            << QStringList{"m/Garmin/Activity"} << QStringList{"EDGE 530|m/Garmin/Activity"};
    }
    void findFolders()
    {
        QFETCH(QStringList, tree);
        QFETCH(QStringList, mounts);
        QFETCH(QStringList, riders);
        QTemporaryDir dir;
        makeTree(dir.path(), tree + QStringList{"run/"});
        QList<MountPoint> points;
        for (const QString &m : mounts)
            points.append({dir.filePath(m.section(u'|', 0, 0)), "/dev/sdz1", m.section(u'|', 1, 1), "7",
                           m.section(u'|', 2)});
        for (QString &r : riders)
            r = dir.filePath(r);
        const StopFlag go{false}, stop{true};
        QStringList got;
        for (const RideFolder &f : RideDevices::findFolders(points, dir.filePath("run"), riders, go))
            got.append(f.device + u'|' + QDir(dir.path()).relativeFilePath(f.folder));
        QTEST(got, "expected");
        QVERIFY(RideDevices::findFolders(points, dir.filePath("run"), riders, stop).isEmpty());
    }

    // Every mount's number, folder and type as util-linux's findmnt reads
    // them, a mount whose folder has a blank and a backslash among them.
    void mountTableAsFindmntReadsIt()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("my edge\\1"));
        QVERIFY(QDir().mkpath(folder));
        const QByteArray at = QFile::encodeName(folder);
        const bool mounted = ::mount("trasovnik test", at.constData(), "tmpfs", 0, "size=1m") == 0;
        const auto unmount = qScopeGuard([&] {
            if (mounted)
                ::umount2(at.constData(), MNT_DETACH);
        });
        QProcess findmnt;
        findmnt.start(QStringLiteral("findmnt"), {"-rn", "-o", "ID,TARGET,FSTYPE"});
        QVERIFY2(findmnt.waitForFinished(20000), "findmnt (util-linux) is needed");
        QStringList expected, got;
        for (const QByteArray &line : findmnt.readAllStandardOutput().trimmed().split('\n'))
            expected.append(unhex(line).replace(u' ', u'|'));
        QFile info(QStringLiteral("/proc/self/mountinfo"));
        QVERIFY(info.open(QIODevice::ReadOnly));
        QString source;
        for (const MountPoint &m : parseMountInfo(info.readAll())) {
            got.append(m.id + u'|' + QString(m.folder).replace(u' ', u'|') + u'|' + m.type);
            source = m.folder == folder ? m.source : source;
        }
        expected.sort();
        got.sort();
        QCOMPARE(got, expected);
        if (!mounted)
            QSKIP("no right to mount: a folder with a blank was not tried");
        QCOMPARE(source, QStringLiteral("trasovnik test"));
    }

    // udev's link named by the label leads to the mount's device.
    void volumeLabel()
    {
        QTemporaryDir dir;
        putFile(dir.filePath("sdz1"), "device");
        QVERIFY(QDir().mkpath(dir.filePath("by-label")));
        QVERIFY(QFile::link(dir.filePath("sdz1"), dir.filePath("by-label/MY\\x20EDGE")));
        const QByteArray info = "40 1 8:17 / /media/x rw - vfat " + QFile::encodeName(dir.filePath("sdz1"))
                                + " rw\n41 1 8:18 / /media/y rw shared:3 - vfat /dev/other rw\n";
        const QList<MountPoint> mounts = parseMountInfo(info, dir.filePath("by-label"));
        QCOMPARE(mounts.size(), 2);
        QCOMPARE(mounts[0].label, QStringLiteral("MY EDGE"));
        QCOMPARE(mounts[1].label + mounts[1].folder, QStringLiteral("/media/y"));
    }

    void newFiles_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("registered"); // by their bytes; "A:" as an archive
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("every kind in any case")
            << QStringList{"a.fit", "B.FIT", "c.Gpx", "d.TCX", "e.fit.gz", "f.GPX.GZ"} << QStringList{}
            << QStringList{"B.FIT", "a.fit", "c.Gpx", "d.TCX", "e.fit.gz", "f.GPX.GZ"};
        QTest::newRow("other files are no rides")
            << QStringList{"a.fit", "notes.txt", "a.fit.bak", "fit", ".fit", "x.gz", "y.zip"} << QStringList{}
            << QStringList{"a.fit"};
        QTest::newRow("known files") << QStringList{"1.fit", "2.fit", "3.fit"} << QStringList{"2.fit", "3.fit"}
                                     << QStringList{"1.fit"};
        QTest::newRow("a .gz known as an archive") << QStringList{"1.fit.gz", "2.fit.gz"} << QStringList{"A:1.fit.gz"}
                                                   << QStringList{"2.fit.gz"};
    }
    void newFiles()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, registered);
        QTemporaryDir dir;
        makeTree(dir.path(), files);
        // The register as the program keeps it: written and read again.
        ImportRegister reg;
        for (const QString &f : registered)
            if (f.startsWith(u"A:"))
                reg.addArchive(contentHash(f.mid(2).toUtf8()), QDate(2026, 5, 1), f.size() - 2, f.mid(2), {contentHash("x")});
            else
                reg.add({contentHash(f.toUtf8()), QDate(2026, 5, 1), "2026/" + f, f, {}});
        putFile(dir.filePath("register.txt"), reg.bytes());
        HashCache hashes;
        const StopFlag stop{false};
        QStringList got;
        for (const QString &path : RideDevices::newFiles(dir.path(), ImportRegister::load(dir.filePath("register.txt")),
                                                         hashes, stop))
            got.append(QFileInfo(path).fileName());
        QTEST(got, "expected");
    }

    // A file changed since it was last looked at is read again.
    void changedFileReadAgain()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ride.fit"));
        putFile(path, "first");
        ImportRegister reg;
        reg.add({contentHash("second, longer"), QDate(2026, 5, 1), "2026/ride.fit", "ride.fit", {}});
        HashCache hashes;
        const StopFlag stop{false};
        QCOMPARE(RideDevices::newFiles(dir.path(), reg, hashes, stop), QStringList{path});
        putFile(path, "second, longer");
        QCOMPARE(RideDevices::newFiles(dir.path(), reg, hashes, stop), QStringList{});
    }
};

QTEST_GUILESS_MAIN(TestRideDevices)
#include "tst_ridedevices.moc"

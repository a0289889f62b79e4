// The rider's devices on the file system: folders of ride files among
// mounts, MTP mounts and the rider's folders, the device's name, the files
// the register does not know, the mount table read as findmnt reads it,
// and the rider's folders in store.ini.
#include "DeviceWatch.h"
#include "ImportRegister.h"
#include "RideDevices.h"
#include "TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/mount.h>
#include <unistd.h>

using namespace GpsImport;
using namespace GpsImport::RideDevices;

namespace {
QByteArray garminDeviceXml(const QString &model)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<Device xmlns=\"http://www.garmin.com/xmlschemas/GarminDevice/v2\">"
           "<Model><PartNumber>006-B3121-00</PartNumber><SoftwareVersion>920</SoftwareVersion>"
           "<Description>"
           + model.toUtf8() + "</Description></Model><Id>3312345678</Id>"
                              "<MassStorageMode><DataType><Name>FIT_TYPE_4</Name></DataType></MassStorageMode>"
                              "</Device>\n";
}

// A tree in a folder: "a/b/" a folder, "a/GarminDevice.xml->NAME" a device
// file of that model, anything else a file of its own name's bytes.
void makeTree(const QString &base, const QStringList &tree)
{
    for (const QString &entry : tree) {
        const QString rel = entry.section(QStringLiteral("->"), 0, 0);
        const QString path = base + u'/' + rel;
        QVERIFY(QDir().mkpath(rel.endsWith(u'/') ? path : QFileInfo(path).path()));
        if (rel.endsWith(u'/'))
            continue;
        putFile(path, entry.contains(QStringLiteral("->")) ? garminDeviceXml(entry.section(QStringLiteral("->"), 1))
                                                            : rel.toUtf8());
    }
}

// findmnt's raw output writes a blank and the like as "\x20".
QString unhex(const QByteArray &field)
{
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] == 'x') {
            out.append(char(field.mid(i + 2, 2).toInt(nullptr, 16)));
            i += 3;
        } else {
            out.append(field[i]);
        }
    }
    return QString::fromUtf8(out);
}
} // namespace

class TestRideDevices : public QObject
{
    Q_OBJECT

private slots:
    void findFolders_data()
    {
        QTest::addColumn<QStringList>("tree");
        QTest::addColumn<QStringList>("mounts");  // "folder|type|label"
        QTest::addColumn<QStringList>("riders");  // the rider's folders
        QTest::addColumn<QStringList>("expected"); // "device|folder"

        QTest::newRow("Garmin/Activity, the mount folder's name")
            << QStringList{"media/GARMIN/Garmin/Activity/"} << QStringList{"media/GARMIN|vfat|"} << QStringList{}
            << QStringList{"GARMIN|media/GARMIN/Garmin/Activity"};
        QTest::newRow("upper case, the volume's label")
            << QStringList{"media/sdb1/GARMIN/ACTIVITY/"} << QStringList{"media/sdb1|vfat|MY EDGE"}
            << QStringList{} << QStringList{"MY EDGE|media/sdb1/GARMIN/ACTIVITY"};
        QTest::newRow("lower case, GarminDevice.xml names it")
            << QStringList{"m/garmin/activity/", "m/garmin/GarminDevice.xml->EDGE 530"}
            << QStringList{"m|vfat|GARMIN"} << QStringList{} << QStringList{"EDGE 530|m/garmin/activity"};
        QTest::newRow("the device file in any case")
            << QStringList{"m/Garmin/Activity/", "m/Garmin/garmindevice.XML->Edge 1040"}
            << QStringList{"m|vfat|"} << QStringList{} << QStringList{"Edge 1040|m/Garmin/Activity"};
        QTest::newRow("pseudo and network file systems are passed by")
            << QStringList{"p/Garmin/Activity/", "n/Garmin/Activity/"} << QStringList{"p|proc|", "n|nfs4|"}
            << QStringList{} << QStringList{};
        QTest::newRow("a Garmin folder without activities")
            << QStringList{"m/Garmin/Courses/"} << QStringList{"m|vfat|"} << QStringList{} << QStringList{};
        QTest::newRow("MTP storage under the runtime folder")
            << QStringList{"run/gvfs/mtp:host=091e_4b37_0000cafe/Internal Storage/Garmin/Activity/",
                           "run/gvfs/mtp:host=091e_4b37_0000cafe/Internal Storage/Garmin/GarminDevice.xml->EDGE 830"}
            << QStringList{} << QStringList{}
            << QStringList{"EDGE 830|run/gvfs/mtp:host=091e_4b37_0000cafe/Internal Storage/Garmin/Activity"};
        QTest::newRow("MTP a level deeper, named by its mount folder")
            << QStringList{"run/gvfs/mtp:host=X/Primary/Device/GARMIN/Activity/"} << QStringList{} << QStringList{}
            << QStringList{"mtp:host=X|run/gvfs/mtp:host=X/Primary/Device/GARMIN/Activity"};
        QTest::newRow("other gvfs mounts are not looked into")
            << QStringList{"run/gvfs/sftp:host=server/Garmin/Activity/"} << QStringList{} << QStringList{}
            << QStringList{};
        QTest::newRow("a rider's folder by its name")
            << QStringList{"home/Jízdy/"} << QStringList{} << QStringList{"home/Jízdy"}
            << QStringList{"Jízdy|home/Jízdy"};
        QTest::newRow("a rider's folder that is a mounted device's is listed once")
            << QStringList{"m/Garmin/Activity/", "m/Garmin/GarminDevice.xml->EDGE 530"} << QStringList{"m|vfat|"}
            << QStringList{"m/Garmin/Activity"} << QStringList{"EDGE 530|m/Garmin/Activity"};
        QTest::newRow("a rider's folder that is gone")
            << QStringList{} << QStringList{} << QStringList{"gone"} << QStringList{};
        QTest::newRow("no folder") << QStringList{"m/Music/"} << QStringList{"m|vfat|"} << QStringList{}
                                   << QStringList{};
    }
    void findFolders()
    {
        QFETCH(QStringList, tree);
        QFETCH(QStringList, mounts);
        QFETCH(QStringList, riders);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        const QString base = dir.path();
        makeTree(base, tree);
        QList<MountPoint> points;
        for (const QString &m : mounts) {
            const QStringList f = m.split(u'|');
            points.append({base + u'/' + f[0], QStringLiteral("/dev/sdz1"), f[1], QString::number(points.size()), f[2]});
        }
        for (QString &r : riders)
            r = base + u'/' + r;
        QDir().mkpath(base + QStringLiteral("/run"));
        const StopFlag stop{false};
        QStringList got;
        for (const RideFolder &f : RideDevices::findFolders(points, base + QStringLiteral("/run"), riders, stop))
            got.append(f.device + u'|' + QDir(base).relativeFilePath(f.folder));
        QCOMPARE(got, expected);
        // Stopped, the scan ends with nothing.
        const StopFlag stopped{true};
        QVERIFY(RideDevices::findFolders(points, base + QStringLiteral("/run"), riders, stopped).isEmpty());
    }

    // The mount table read as util-linux's findmnt reads it: every mount's
    // number, folder and type; a mount whose folder has a blank in it.
    void mountTableAsFindmntReadsIt()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("findmnt")).isEmpty())
            QSKIP("findmnt is not installed");
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("my edge\\1"));
        QVERIFY(QDir().mkpath(folder));
        const bool mounted =
            ::mount("trasovnik test", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=1m") == 0;
        const auto unmount = qScopeGuard([&] {
            if (mounted)
                ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
        });
        QProcess findmnt;
        findmnt.start(QStringLiteral("findmnt"), {"-rn", "-o", "ID,TARGET,FSTYPE,SOURCE"});
        QVERIFY(findmnt.waitForFinished(20000));
        QStringList expected;
        for (const QByteArray &line : findmnt.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> f = line.split(' ');
            if (f.size() >= 3)
                expected.append(unhex(f[0]) + u'|' + unhex(f[1]) + u'|' + unhex(f[2]));
        }
        QFile info(QStringLiteral("/proc/self/mountinfo"));
        QVERIFY(info.open(QIODevice::ReadOnly));
        QStringList got;
        QString source;
        for (const MountPoint &m : parseMountInfo(info.readAll())) {
            got.append(m.id + u'|' + m.folder + u'|' + m.type);
            if (m.folder == folder)
                source = m.source;
        }
        expected.sort();
        got.sort();
        QCOMPARE(got, expected);
        if (!mounted)
            QSKIP("no right to mount: the blank in a folder's name was not tried");
        QCOMPARE(source, QStringLiteral("trasovnik test"));
    }

    // The label of a volume: udev's link named by the label leads to the
    // mount's device.
    void volumeLabel()
    {
        QTemporaryDir dir;
        putFile(dir.filePath(QStringLiteral("sdz1")), "device");
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("by-label"))));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("sdz1")), dir.filePath(QStringLiteral("by-label/MY\\x20EDGE"))));
        const QByteArray line = "40 1 8:17 / /media/x rw - vfat " + QFile::encodeName(dir.filePath("sdz1")) + " rw\n"
                                "41 1 8:18 / /media/y rw - vfat /dev/other rw\n";
        const QList<MountPoint> mounts = parseMountInfo(line, dir.filePath(QStringLiteral("by-label")));
        QCOMPARE(mounts.size(), 2);
        QCOMPARE(mounts[0].label, QStringLiteral("MY EDGE"));
        QCOMPARE(mounts[1].label, QString());
    }

    void newFiles_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("registered"); // registered by their bytes
        QTest::addColumn<QStringList>("archives");   // registered as archives
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("every kind in any case")
            << QStringList{"a.fit", "B.FIT", "c.Gpx", "d.TCX", "e.fit.gz", "f.GPX.GZ"} << QStringList{}
            << QStringList{} << QStringList{"B.FIT", "a.fit", "c.Gpx", "d.TCX", "e.fit.gz", "f.GPX.GZ"};
        QTest::newRow("other files are not rides")
            << QStringList{"a.fit", "notes.txt", "a.fit.bak", "fit", ".fit", "x.gz", "y.zip"} << QStringList{}
            << QStringList{} << QStringList{"a.fit"};
        QTest::newRow("known files are not new")
            << QStringList{"1.fit", "2.fit", "3.fit", "4.fit"} << QStringList{"2.fit", "4.fit"} << QStringList{}
            << QStringList{"1.fit", "3.fit"};
        QTest::newRow("a .gz known as the archive of its ride")
            << QStringList{"1.fit.gz", "2.fit.gz"} << QStringList{} << QStringList{"1.fit.gz"}
            << QStringList{"2.fit.gz"};
        QTest::newRow("all known") << QStringList{"1.fit"} << QStringList{"1.fit"} << QStringList{} << QStringList{};
    }
    void newFiles()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, registered);
        QFETCH(QStringList, archives);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        for (const QString &f : files)
            putFile(dir.filePath(f), "ride " + f.toUtf8());
        // The register as the program keeps it: written and read again.
        ImportRegister reg;
        for (const QString &f : registered)
            reg.add({contentHash("ride " + f.toUtf8()), QDate(2026, 5, 1), QStringLiteral("2026/") + f, f, {}});
        for (const QString &f : archives)
            reg.addArchive(contentHash("ride " + f.toUtf8()), QDate(2026, 5, 1), f, {contentHash("inner")});
        putFile(dir.filePath(QStringLiteral("register.txt")), reg.bytes());
        const ImportRegister known = ImportRegister::load(dir.filePath(QStringLiteral("register.txt")));
        HashCache hashes;
        const StopFlag stop{false};
        QStringList got;
        for (const QString &path : RideDevices::newFiles(dir.path(), known, hashes, stop))
            got.append(QFileInfo(path).fileName());
        QCOMPARE(got, expected);
    }

    // A file changed since it was last looked at is read again.
    void changedFileReadAgain()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ride.fit"));
        putFile(path, "first");
        ImportRegister reg;
        reg.add({contentHash("second, longer"), QDate(2026, 5, 1), QStringLiteral("2026/ride.fit"), "ride.fit", {}});
        HashCache hashes;
        const StopFlag stop{false};
        QCOMPARE(RideDevices::newFiles(dir.path(), reg, hashes, stop), QStringList{path});
        putFile(path, "second, longer");
        QCOMPARE(RideDevices::newFiles(dir.path(), reg, hashes, stop), QStringList{});
    }

    void newRidesText_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("text");
        QTest::newRow("1") << 1 << QStringLiteral("1 nová jízda");
        QTest::newRow("2") << 2 << QStringLiteral("2 nové jízdy");
        QTest::newRow("4") << 4 << QStringLiteral("4 nové jízdy");
        QTest::newRow("5") << 5 << QStringLiteral("5 nových jízd");
        QTest::newRow("12") << 12 << QStringLiteral("12 nových jízd");
        QTest::newRow("22") << 22 << QStringLiteral("22 nových jízd");
    }
    void newRidesText()
    {
        QFETCH(int, count);
        QFETCH(QString, text);
        QCOMPARE(RideDevices::newRidesText(count), text);
    }

    // The rider's folders in store.ini: the other sections and keys stay
    // byte for byte; no folder, no section.
    void riderFoldersInSettings()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("store.ini"));
        const QByteArray before = "[TForm1]\r\nTop=10\r\n; note\r\n";
        const QByteArray after = "[RocniCil]\r\n2026=5000\r\n";
        putFile(ini, before + "[SlozkyZaznamu]\r\nSlozka2=/b\r\nSlozka1=/a\r\nJine=x\r\n" + after);
        QCOMPARE(readRiderFolders(ini), QStringList({"/a", "/b"}));
        writeRiderFolders(ini, {"/home/jan/Jízdy", "/a"});
        QCOMPARE(readRiderFolders(ini), QStringList({"/home/jan/Jízdy", "/a"}));
        const QByteArray bytes = fileBytes(ini);
        QVERIFY(bytes.startsWith(before));
        QVERIFY(bytes.contains(after));
        QVERIFY(bytes.contains("[SlozkyZaznamu]\r\nSlozka1=/home/jan/J\xEDzdy\r\nSlozka2=/a\r\n"));
        writeRiderFolders(ini, {});
        QCOMPARE(fileBytes(ini), before + after);
    }

    // Hidden files are not offered again while their folder stays; a new
    // file is; a folder gone and back offers its files again.
    void hiddenUntilMountedAgain()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("Jizdy"));
        const QStringList names{"1.fit", "2.fit", "3.fit"};
        makeTree(folder, names);
        DeviceWatch watch(dir.filePath(QStringLiteral("register.txt")));
        watch.setRuntimeFolder(dir.path());
        watch.setRiderFolders({folder});
        watch.setDelay(10);
        QSignalSpy scanned(&watch, &DeviceWatch::offeredChanged);
        // The rider's folder's files, whatever else the machine has mounted.
        const auto offered = [&] {
            for (const DeviceWatch::Device &d : watch.offered())
                if (d.key == folder)
                    return d.files.size();
            return qsizetype(0);
        };
        // Other mounts may come and go meanwhile: any scan from now on.
        const auto scan = [&] {
            scanned.clear();
            watch.scanNow();
            return QTest::qWaitFor([&] { return !scanned.isEmpty(); }, 20000);
        };
        watch.start();
        QTRY_VERIFY_WITH_TIMEOUT(!scanned.isEmpty(), 20000);
        QCOMPARE(offered(), 3);
        watch.hide(watch.offered());
        QCOMPARE(offered(), 0);
        QVERIFY(scan());
        QCOMPARE(offered(), 0);
        // A new file in the folder comes by itself, through the folder's watch.
        scanned.clear();
        makeTree(folder, {"4.fit"});
        QTRY_COMPARE_WITH_TIMEOUT(offered(), 1, 20000);
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(scan());
        QCOMPARE(offered(), 0);
        makeTree(folder, names);
        QVERIFY(scan());
        QCOMPARE(offered(), 3);
    }
};

QTEST_GUILESS_MAIN(TestRideDevices)
#include "tst_ridedevices.moc"

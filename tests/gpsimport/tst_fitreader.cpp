// The FIT reader: rides of sessions and of cut files, other sports, the
// checksum, chains of files, files that are no activity; gpsbabel reads
// the same files to the same points, and writes files the reader judges.
#include "FitCrc.h"
#include "FitWriter.h"
#include "RecordedRide.h"

#include <QBuffer>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

using namespace FitWriter;
using GpsImport::FileRides;

namespace {

const QDateTime kMorning(QDate(2024, 5, 1), QTime(8, 0), Qt::UTC);
const std::uint32_t t0 = fitTime(kMorning);

FileRides readBytes(const QByteArray &bytes, bool stopped = false)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    const GpsImport::StopFlag stop{stopped};
    return GpsImport::readFit(buffer, stop);
}

// A ride as one line: start, metres, seconds, sport, remarks.
QString line(const GpsImport::RecordedRide &r)
{
    return QStringLiteral("%1 %2 m %3 s %4 [%5]")
        .arg(r.start.toUTC().toString(Qt::ISODate), r.metres ? QString::number(*r.metres, 'f', 2) : QStringLiteral("-"))
        .arg(r.seconds, 0, 'g', 12)
        .arg(r.otherSport.isEmpty() ? QStringLiteral("kolo") : r.otherSport, r.remarks.join(u','));
}

QStringList lines(const FileRides &f)
{
    QStringList out;
    for (const auto &r : f.rides)
        out.append(line(r));
    if (!f.problem.isEmpty())
        out.append(f.problem);
    return out;
}

QByteArray withSessions(const std::vector<Session> &sessions, bool big = false)
{
    File f;
    fileId(f, 4, 0, big);
    for (const Session &s : sessions)
        session(f, s, 2, big);
    return f.bytes();
}

// Records of time and distance only: each step `seconds` and `cm` on from
// the last, from `start`.
void steps(File &f, std::uint32_t start, const std::vector<std::pair<int, int>> &secondsAndCm)
{
    f.define(5, {20, {{253, 4, UInt32}, {5, 4, UInt32}}, {}, false});
    std::uint32_t t = start;
    std::int64_t cm = 0;
    f.data(5, {t, cm});
    for (const auto &[seconds, step] : secondsAndCm)
        f.data(5, {t += std::uint32_t(seconds), cm += step});
}

QByteArray recordsOnly(int count, double speed, bool compressedTime, bool big, int headerSize = 14,
                       std::uint32_t start = t0, int fullEvery = 16)
{
    File f;
    fileId(f, 4, 3, big);
    records(f, start, count, speed, 0, compressedTime, 1, big, fullEvery);
    return f.bytes(headerSize);
}

// A device that cannot go back, as a pipe.
class Pipe : public QIODevice
{
public:
    explicit Pipe(const QByteArray &bytes) : bytes_(bytes) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 max) override
    {
        const qint64 n = std::min(max, qint64(bytes_.size()) - taken_);
        std::memcpy(data, bytes_.constData() + taken_, size_t(n));
        taken_ += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray bytes_;
    qint64 taken_ = 0;
};

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

// The track points gpsbabel reads from a FIT file: their count and the
// first and last time.
struct Points
{
    int count = 0;
    QDateTime first, last;
};

Points gpsbabelPoints(const QString &fit)
{
    QProcess p;
    p.start(QStringLiteral("gpsbabel"), {"-i", "garmin_fit", "-f", fit, "-o", "gpx", "-F", "-"});
    p.waitForFinished(60000);
    Points points;
    QXmlStreamReader xml(p.readAllStandardOutput());
    bool inPoint = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"trkpt") {
            inPoint = true;
            ++points.count;
        } else if (xml.isEndElement() && xml.name() == u"trkpt") {
            inPoint = false;
        } else if (inPoint && xml.isStartElement() && xml.name() == u"time") {
            const QDateTime t = QDateTime::fromString(xml.readElementText(), Qt::ISODate);
            if (!points.first.isValid())
                points.first = t;
            points.last = t;
        }
    }
    return points;
}

} // namespace

class TestFitReader : public QObject
{
    Q_OBJECT
private slots:
    // The bike profile a ride was on: its name as a text field of the
    // file's bike_profile message (UTF-8, ended by a zero byte or not).
    void bikeProfileName_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("bike");
        QTest::newRow("ended by zero") << QByteArray("Trek \xc3\x89monda\0\0\0\0\0", 16) << "Trek Émonda";
        QTest::newRow("the field full") << QByteArray("Canyon Grail CF ", 16) << "Canyon Grail CF";
        QTest::newRow("empty") << QByteArray(16, '\0') << "";
    }
    void bikeProfileName()
    {
        QFETCH(QByteArray, field);
        QFETCH(QString, bike);
        File f;
        fileId(f, 4);
        f.define(1, {6, {{254, 2, UInt16}, {0, 16, 0x07}}, {}, false});
        f.raw(QByteArray(1, char(1)) + QByteArray(2, '\0') + field);
        session(f, {t0, 100'000, 99'000, 49'500, 2, 0});
        const FileRides read = readBytes(f.bytes());
        QCOMPARE(read.rides.size(), 1);
        QCOMPARE(read.rides.constFirst().bike, bike);
    }

    // Four bits a step, eight bytes a step and carry-less folding (128 and
    // 512 bits at a time) give the same checksum, and the catalogue's check value of "123456789".
    void checksum()
    {
        const unsigned char check[] = "123456789";
        QCOMPARE(GpsImport::FitCrc::updateNibbles(0, check, 9), std::uint16_t(0xBB3D));
        QByteArray data(5000, Qt::Uninitialized);
        QRandomGenerator random(7);
        for (char &c : data)
            c = char(random.bounded(256));
        const auto *p = reinterpret_cast<const unsigned char *>(data.constData());
        for (const std::size_t size : {0, 1, 2, 15, 16, 63, 64, 65, 255, 256, 257, 320, 511, 1000, 4999}) {
            for (const std::uint16_t start : {0, 0xBEEF}) {
                const std::uint16_t nibbles = GpsImport::FitCrc::updateNibbles(start, p + 1, size);
                QCOMPARE(GpsImport::FitCrc::updateTables(start, p + 1, size), nibbles);
                QCOMPARE(GpsImport::FitCrc::update(start, p + 1, size), nibbles);
                std::uint16_t folded = start;
                if (GpsImport::FitCrc::updateFolding(folded, p + 1, size))
                    QCOMPARE(folded, nibbles);
                std::uint16_t wide = start;
                if (GpsImport::FitCrc::updateFoldingWide(wide, p + 1, size))
                    QCOMPARE(wide, nibbles);
            }
        }
    }

    void rides_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected");
        const Session ride{t0, 4'000'000, 3'600'500, 3'012'345, 2, 0};
        QTest::newRow("timer, not elapsed time")
            << withSessions({ride}) << QStringList{"2024-05-01T08:00:00Z 30123.45 m 3600.5 s kolo []"};
        QTest::newRow("big-endian definitions")
            << withSessions({ride}, true) << QStringList{"2024-05-01T08:00:00Z 30123.45 m 3600.5 s kolo []"};
        QTest::newRow("triathlon")
            << withSessions({{t0, 1'800'000, 1'800'000, 150'000, 5, 17},
                             {t0 + 1800, 120'000, 120'000, 20'000, 3, 34},
                             {t0 + 1920, 3'600'000, 3'600'000, 4'000'000, 2, 7},
                             {t0 + 5520, 2'400'000, 2'400'000, 1'000'000, 1, 0}})
            << QStringList{"2024-05-01T08:00:00Z 1500.00 m 1800 s plavání []",
                           "2024-05-01T08:30:00Z 200.00 m 120 s depo []",
                           "2024-05-01T08:32:00Z 40000.00 m 3600 s kolo []",
                           "2024-05-01T09:32:00Z 10000.00 m 2400 s běh []"};
        QTest::newRow("e-bike, virtual ride, trainer, hiking")
            << withSessions({{t0, 600'000, 600'000, 500'000, 21, 0},
                             {t0, 600'000, 600'000, 500'000, 2, 58},
                             {t0, 600'000, 600'000, -1, 4, 6},
                             {t0, 600'000, 600'000, 500'000, 17, 0}})
            << QStringList{"2024-05-01T08:00:00Z 5000.00 m 600 s kolo []", "2024-05-01T08:00:00Z 5000.00 m 600 s kolo []",
                           "2024-05-01T08:00:00Z - m 600 s kolo [bez vzdálenosti]",
                           "2024-05-01T08:00:00Z 5000.00 m 600 s turistika []"};
        QTest::newRow("no timer: elapsed time, said so")
            << withSessions({{t0, 600'000, -1, 100, 2, 0}})
            << QStringList{"2024-05-01T08:00:00Z 1.00 m 600 s kolo [doba jízdy odhadnuta z celkového času]"};
        QTest::newRow("no timer: moving time") << withSessions({{t0, 600'000, -1, 100, 2, 0, 540'500}})
                                               << QStringList{"2024-05-01T08:00:00Z 1.00 m 540.5 s kolo []"};
        QTest::newRow("no sport: no ride, unless of a cycling sub-sport")
            << withSessions({{t0, 60'000, 60'000, 50'000, -1, -1},
                             {t0, 60'000, 60'000, 50'000, 0, 0},
                             {t0, 60'000, 60'000, 50'000, -1, 7}})
            << QStringList{"2024-05-01T08:00:00Z 500.00 m 60 s neurčený sport []",
                           "2024-05-01T08:00:00Z 500.00 m 60 s neurčený sport []",
                           "2024-05-01T08:00:00Z 500.00 m 60 s kolo []"};
        QTest::newRow("generic of cycling sub-sports: road, mountain, gravel, indoor, e-MTB, commuting, hand")
            << withSessions({{t0, 60'000, 60'000, 50'000, 0, 7},
                             {t0, 60'000, 60'000, 50'000, 0, 8},
                             {t0, 60'000, 60'000, 50'000, 0, 46},
                             {t0, 60'000, 60'000, 50'000, 0, 6},
                             {t0, 60'000, 60'000, 50'000, 0, 47},
                             {t0, 60'000, 60'000, 50'000, 0, 48},
                             {t0, 60'000, 60'000, 50'000, 0, 88}})
            << QStringList(7, "2024-05-01T08:00:00Z 500.00 m 60 s kolo []");
        {
            // Two sessions without timer or moving time written after all
            // their records: each gets the riding time of the records of
            // its time. Steps of 9 s at 2 km/h (counted), just under it,
            // at 3 km/h (counted), then ten minutes standing; a sensor's
            // records that tell no way give no riding time.
            File f;
            fileId(f, 4);
            steps(f, t0, {{9, 500}, {9, 499}, {9, 750}, {600, 0}});
            steps(f, t0 + 1000, {{60, 10'000}, {60, 10'000}});
            f.define(6, {20, {{253, 4, UInt32}, {3, 1, UInt8}}, {}, false});
            for (int i = 0; i < 3; ++i)
                f.data(6, {t0 + 2000 + 60 * i, 90});
            session(f, {t0, 627'000, -1, 1749, 2, 0});
            session(f, {t0 + 1000, 120'000, -1, 20'000, 2, 0});
            session(f, {t0 + 2000, 120'000, -1, -1, 2, 0});
            QTest::newRow("no timer: riding time of the records")
                << f.bytes()
                << QStringList{"2024-05-01T08:00:00Z 17.49 m 18 s kolo []",
                               "2024-05-01T08:16:40Z 200.00 m 120 s kolo []",
                               "2024-05-01T08:33:20Z - m 120 s kolo [doba jízdy odhadnuta z celkového času,bez vzdálenosti]"};
        }

        // Records only: the ride is their first time, last distance and
        // the time spent at 2 km/h or more.
        // Compressed time stamps roll over their five bits: the full ones
        // fall at :21, :37, … of a minute.
        QTest::newRow("records, compressed time stamps, 12-byte header")
            << recordsOnly(100, 5.0, true, false, 12, t0 + 21)
            << QStringList{"2024-05-01T08:00:21Z 495.00 m 99 s kolo [soubor je neúplný]"};
        QTest::newRow("records, big-endian, compressed")
            << recordsOnly(100, 5.0, true, true, 14, t0 + 21)
            << QStringList{"2024-05-01T08:00:21Z 495.00 m 99 s kolo [soubor je neúplný]"};
        {
            // Ten minutes standing at the lights, then a crawl below 2 km/h.
            File f;
            fileId(f, 4);
            records(f, t0, 60, 5.0);
            records(f, t0 + 660, 60, 5.0, 29500);
            records(f, t0 + 720, 60, 0.5, 59000);
            QTest::newRow("moving time") << f.bytes()
                                         << QStringList{"2024-05-01T08:00:00Z 619.50 m 118 s kolo [soubor je neúplný]"};
        }
        {
            // Positions along the equator with no distance: 2^24 semicircles
            // (1.40625°) apart, each an arc of the equatorial radius.
            File f;
            fileId(f, 4);
            f.define(5, {20, {{253, 4, UInt32}, {0, 4, SInt32}, {1, 4, SInt32}}, {}, false});
            for (int i = 0; i < 3; ++i)
                f.data(5, {t0 + 3600 * i, 0, i << 24});
            const double metres = 2 * 6378137.0 * 1.40625 * M_PI / 180;
            QTest::newRow("positions only")
                << f.bytes()
                << QStringList{QStringLiteral("2024-05-01T08:00:00Z %1 m 7200 s kolo [soubor je neúplný]").arg(metres, 0, 'f', 2)};
        }
        {
            // Developer fields, and a distance of three bytes (no whole
            // uint32) that is not read.
            File f;
            fileId(f, 4);
            f.define(7, {18, {{2, 4, UInt32}, {8, 4, UInt32}, {9, 3, UInt32}, {5, 1, Enum}}, {5, 1, 200}, true});
            f.data(7, {t0, 60'000, 0x10, 2});
            QTest::newRow("developer fields, odd field size")
                << f.bytes() << QStringList{"2024-05-01T08:00:00Z - m 60 s kolo [bez vzdálenosti]"};
        }
        {
            QByteArray bad = withSessions({ride});
            bad[bad.size() - 1] = char(bad.at(bad.size() - 1) ^ 1);
            QTest::newRow("file checksum")
                << bad << QStringList{"2024-05-01T08:00:00Z 30123.45 m 3600.5 s kolo [poškozený kontrolní součet]"};
            QByteArray header = withSessions({ride});
            header[12] = char(header.at(12) ^ 1);
            QTest::newRow("header checksum")
                << header << QStringList{"2024-05-01T08:00:00Z 30123.45 m 3600.5 s kolo [poškozený kontrolní součet]"};
        }
        {
            File workout;
            fileId(workout, 5);
            File settings;
            fileId(settings, 2);
            QTest::newRow("chain of two activities and settings")
                << withSessions({ride}) + settings.bytes() + withSessions({{t0 + 7200, 60'000, 60'000, 1000, 1, 0}})
                << QStringList{"2024-05-01T08:00:00Z 30123.45 m 3600.5 s kolo []",
                               "2024-05-01T10:00:00Z 10.00 m 60 s běh []"};
            QTest::newRow("workout") << workout.bytes() << QStringList{"není to záznam aktivity (FIT: cvičení)"};
        }
        {
            // Plain records, then a session whose time is only the five
            // bits of its header, counted on from the last record's.
            File f;
            fileId(f, 4);
            records(f, t0, 100, 5.0);
            f.define(3, {18, {{7, 4, UInt32}, {8, 4, UInt32}, {9, 4, UInt32}, {5, 1, Enum}}, {}, false});
            f.compressed(3, t0 + 100, {100'000, 99'000, 49'500, 2});
            QTest::newRow("compressed session time after records")
                << f.bytes() << QStringList{"2024-05-01T08:00:00Z 495.00 m 99 s kolo []"};
        }
        QTest::newRow("not FIT") << QByteArray("<?xml version=\"1.0\"?><gpx></gpx>")
                                 << QStringList{"není to soubor FIT"};
        QTest::newRow("0 bytes") << QByteArray() << QStringList{"soubor je prázdný"};
        QTest::newRow("activity without rides")
            << withSessions({}) << QStringList{"v záznamu aktivity není žádná jízda"};
    }

    void rides()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        QCOMPARE(lines(readBytes(bytes)), expected);
    }

    // Every sport of FIT's enumeration is named in Czech; bike rides none.
    void everySportNamed()
    {
        std::vector<Session> sessions;
        for (int sport = 0; sport <= 84; ++sport)
            if (sport < 50 || sport == 53 || sport == 62 || (sport >= 64 && sport <= 67) || sport == 69
                || (sport >= 71 && sport <= 77) || sport == 80 || sport >= 82)
                sessions.push_back({t0, 60'000, 60'000, 1000, sport, 0});
        const FileRides read = readBytes(withSessions(sessions));
        QCOMPARE(read.rides.size(), qsizetype(sessions.size()));
        for (std::size_t i = 0; i < sessions.size(); ++i) {
            const QString name = read.rides[qsizetype(i)].otherSport;
            const int sport = sessions[i].sport;
            QVERIFY2(name.isEmpty() == (sport == 2 || sport == 21), qPrintable(QString::number(sport)));
            QVERIFY2(!name.startsWith(QStringLiteral("jiný sport (")) && !name.contains(u'_'),
                     qPrintable(QStringLiteral("%1: %2").arg(sport).arg(name)));
        }
    }

    // A file cut anywhere: never a fault; once a record is whole, a ride
    // of the records so far, marked, whose distance grows with the cut.
    void cutShort()
    {
        const QByteArray whole = activity(t0, 300, 5.0, true);
        QCOMPARE(lines(readBytes(whole)), QStringList{"2024-05-01T08:00:00Z 1495.00 m 298.5 s kolo []"});
        double lastMetres = 0;
        for (qsizetype cut = 0; cut < whole.size(); cut += cut < 200 || cut > whole.size() - 100 ? 1 : 37) {
            const FileRides r = readBytes(whole.left(cut));
            QVERIFY2(r.rides.size() + !r.problem.isEmpty() == 1, qPrintable(QString::number(cut)));
            if (cut > 200) {
                QCOMPARE(r.rides.size(), 1);
                QCOMPARE(r.rides[0].start, kMorning);
                QVERIFY(r.rides[0].remarks.contains(QString::fromUtf16(GpsImport::kRemarkTruncated)));
                QVERIFY(*r.rides[0].metres >= lastMetres);
                lastMetres = *r.rides[0].metres;
            }
        }
        QCOMPARE(lastMetres, 1495.0);
    }

    // The records are read on a second walk where the device can go back
    // to them: the rides are the same as from a pipe, which takes them on
    // the first, also past what one buffer holds and along a chain.
    void sameFromPipe_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("rides");
        File longRecords;
        fileId(longRecords, 4);
        records(longRecords, t0, 12'000, 5.0);
        QTest::newRow("records past the buffer, then a ride")
            << longRecords.bytes() + activity(t0 + 20'000, 600, 5.0) << 2;
        File twoRides;
        fileId(twoRides, 4);
        records(twoRides, t0, 100, 5.0);
        session(twoRides, {t0, 100'000, 99'000, 49'500, 2, 0});
        // Records of the definition made before the session, then of one
        // made again, big-endian, under the same local type.
        for (int i = 0; i < 10; ++i)
            twoRides.data(1, {t0 + 200 + i, semicircles(50), semicircles(14), 600 * i, 2500, 6000, 120, 85, 21});
        records(twoRides, t0 + 210, 12'000, 6.0, 6000, true, 1, true);
        const QByteArray cut = twoRides.bytes().chopped(1000);
        QTest::newRow("cut in the records after a session") << cut << 2;
        QTest::newRow("a chain, the first file cut in its data")
            << activity(t0, 300, 5.0).chopped(40) + activity(t0 + 3600, 300, 5.0) << 1;
        QTest::newRow("a ride, then settings") << activity(t0, 9'000, 5.0) + withSessions({}) << 1;
        File noTimer;
        fileId(noTimer, 4);
        records(noTimer, t0, 12'000, 5.0);
        session(noTimer, {t0, 12'000'000, -1, 5'999'500, 2, 0});
        QTest::newRow("riding time of the records") << noTimer.bytes() << 1;
    }

    void sameFromPipe()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, rides);
        Pipe pipe(bytes);
        const GpsImport::StopFlag stop{false};
        const QStringList fromPipe = lines(GpsImport::readFit(pipe, stop));
        QCOMPARE(fromPipe.size(), rides);
        QCOMPARE(lines(readBytes(bytes)), fromPipe);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ride.fit"));
        writeFile(path, bytes);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(lines(GpsImport::readFit(file, stop)), fromPipe);
    }

    void stopped()
    {
        const FileRides r = readBytes(activity(t0, 100, 5.0), true);
        QVERIFY(r.rides.isEmpty());
        QVERIFY(!r.problem.isEmpty());
    }

    // gpsbabel reads the files made here to the points the reader took its
    // ride from; each file of a chain on its own, as gpsbabel reads no chain.
    // gpsbabel 1.8 adds a compressed time to the last full one instead of
    // rolling its five bits over: the full ones fall on whole 32 s here.
    void sameAsGpsbabel_data()
    {
        QTest::addColumn<QList<QByteArray>>("parts");
        QTest::newRow("compressed time stamps") << QList<QByteArray>{recordsOnly(100, 5.0, true, false, 14, t0, 32)};
        QTest::newRow("big-endian") << QList<QByteArray>{recordsOnly(70, 4.0, true, true, 12, t0, 32)};
        File dev;
        fileId(dev, 4);
        Definition d = recordDefinition();
        d.developerSizes = {3, 7};
        dev.define(9, d);
        for (int i = 0; i < 40; ++i)
            dev.data(9, {t0 + 2 * i, semicircles(50), semicircles(14 + i * 0.0002), i * 1400, 2500, 7000, 130, 80, 20});
        QTest::newRow("developer fields") << QList<QByteArray>{dev.bytes()};
        QTest::newRow("chain") << QList<QByteArray>{recordsOnly(50, 5.0, false, false),
                                                    recordsOnly(64, 6.0, true, true, 14, t0 + 3200, 32)};
    }

    void sameAsGpsbabel()
    {
        QFETCH(QList<QByteArray>, parts);
        if (QStandardPaths::findExecutable(QStringLiteral("gpsbabel")).isEmpty())
            QSKIP("gpsbabel is not installed");
        QTemporaryDir dir;
        const FileRides mine = readBytes(parts.join());
        QCOMPARE(mine.rides.size(), parts.size());
        for (qsizetype i = 0; i < parts.size(); ++i) {
            const QString path = dir.filePath(QStringLiteral("part%1.fit").arg(i));
            writeFile(path, parts[i]);
            const Points points = gpsbabelPoints(path);
            QVERIFY(points.count > 1);
            QCOMPARE(mine.rides[i].start, points.first);
            // Every second of these rides is ridden.
            QCOMPARE(mine.rides[i].seconds, double(points.first.secsTo(points.last)));
        }
    }

    // gpsbabel writes a course, not an activity; its records, once the
    // file says activity, are a ride.
    void writtenByGpsbabel()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("gpsbabel")).isEmpty())
            QSKIP("gpsbabel is not installed");
        QTemporaryDir dir;
        writeFile(dir.filePath("in.gpx"),
                  "<?xml version=\"1.0\"?><gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\">"
                  "<trk><trkseg><trkpt lat=\"50\" lon=\"14\"><time>2024-05-01T08:00:00Z</time></trkpt>"
                  "<trkpt lat=\"50\" lon=\"14.01\"><time>2024-05-01T08:01:00Z</time></trkpt>"
                  "<trkpt lat=\"50\" lon=\"14.02\"><time>2024-05-01T08:02:00Z</time></trkpt></trkseg></trk></gpx>");
        QCOMPARE(QProcess::execute("gpsbabel", {"-i", "gpx", "-f", dir.filePath("in.gpx"), "-o", "garmin_fit", "-F",
                                                dir.filePath("out.fit")}),
                 0);
        QFile file(dir.filePath("out.fit"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray bytes = file.readAll();
        // Its checksum over the whole file, its own included, is zero.
        QCOMPARE(GpsImport::FitCrc::update(0, reinterpret_cast<const unsigned char *>(bytes.constData()), bytes.size()),
                 std::uint16_t(0));
        QCOMPARE(lines(readBytes(bytes)), QStringList{"není to záznam aktivity (FIT: trasa)"});
        // The file id's type, in the first data message of local type 0
        // after the definitions, made an activity.
        qsizetype at = 14;
        while (at + 6 < bytes.size() && (bytes.at(at) & 0x40))
            at += 6 + 3 * uchar(bytes.at(at + 5));
        QCOMPARE(int(bytes.at(at)), 0);
        QCOMPARE(int(bytes.at(at + 1)), 6);
        bytes[at + 1] = 4;
        bytes.chop(2);
        const std::uint16_t crc =
            GpsImport::FitCrc::update(0, reinterpret_cast<const unsigned char *>(bytes.constData()), bytes.size());
        bytes.append(char(crc & 0xFF)).append(char(crc >> 8));
        const FileRides ride = readBytes(bytes);
        QCOMPARE(ride.rides.size(), 1);
        QCOMPARE(ride.rides[0].start, kMorning);
        QCOMPARE(ride.rides[0].seconds, 120.0);
        QVERIFY(ride.rides[0].metres);
        QVERIFY(qAbs(*ride.rides[0].metres - 1433.6) < 5);
    }
};

QTEST_GUILESS_MAIN(TestFitReader)
#include "tst_fitreader.moc"

// The GPX and TCX readers: rides by local date and sport, distances
// against GeographicLib's own GeodSolve, moving time, and the reasons
// given for files that hold no ride.

#include "RecordedRide.h"

#include <QBuffer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

using namespace GpsImport;

namespace {

struct Point
{
    double lat, lon;
    const char *time = nullptr;
};
using Segment = QList<Point>;

QByteArray pointXml(const Point &p)
{
    QByteArray xml = "<trkpt lat=\"" + QByteArray::number(p.lat, 'f', 7) + "\" lon=\""
        + QByteArray::number(p.lon, 'f', 7) + "\"><ele>250.5</ele>";
    if (p.time)
        xml += "<time>" + QByteArray(p.time) + "</time>";
    return xml + "</trkpt>\n";
}

QByteArray trackXml(const QByteArray &name, const QByteArray &type, const QList<Segment> &segments)
{
    QByteArray xml = "<trk>\n";
    if (!name.isEmpty())
        xml += "<name>" + name + "</name>\n";
    if (!type.isEmpty())
        xml += "<type>" + type + "</type>\n";
    for (const Segment &s : segments) {
        xml += "<trkseg>\n";
        for (const Point &p : s)
            xml += pointXml(p);
        xml += "</trkseg>\n";
    }
    return xml + "</trk>\n";
}

QByteArray gpx11(const QByteArray &body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<gpx version=\"1.1\" creator=\"test\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
        + body + "</gpx>\n";
}

// A segment moving north at about 18 km/h: `steps` steps of 0.00045° (50 m)
// each 10 s, from the given start time.
Segment moving(double lat, double lon, const QDateTime &from, int steps, QList<QByteArray> &times)
{
    Segment s;
    for (int i = 0; i <= steps; ++i) {
        times.append(from.addSecs(10 * i).toString(Qt::ISODate).toLatin1());
        s.append({lat + 0.00045 * i, lon, nullptr});
    }
    return s;
}

FileRides readBytes(const QByteArray &bytes, bool gpx = true)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    const StopFlag stop{false};
    return gpx ? readGpx(buffer, QTimeZone("Europe/Prague"), stop) : readTcx(buffer, stop);
}

// The distance of each segment, summed, as GeographicLib's GeodSolve gives it.
double geodSolveMetres(const QList<Segment> &segments)
{
    QByteArray input;
    for (const Segment &s : segments)
        for (qsizetype i = 1; i < s.size(); ++i)
            input += QByteArray::number(s[i - 1].lat, 'f', 7) + ' ' + QByteArray::number(s[i - 1].lon, 'f', 7) + ' '
                + QByteArray::number(s[i].lat, 'f', 7) + ' ' + QByteArray::number(s[i].lon, 'f', 7) + '\n';
    if (input.isEmpty())
        return 0;
    QProcess solve;
    solve.start(QStringLiteral("GeodSolve"), {QStringLiteral("-i"), QStringLiteral("-p"), QStringLiteral("9")});
    if (!solve.waitForStarted())
        return qQNaN();
    solve.write(input);
    solve.closeWriteChannel();
    solve.waitForFinished();
    double sum = 0;
    for (const QByteArray &line : solve.readAllStandardOutput().split('\n'))
        if (!line.trimmed().isEmpty())
            sum += line.simplified().split(' ').value(2).toDouble();
    return sum;
}

struct Expected
{
    QString start;
    QList<Segment> segments; // whose distances make the ride's
    double seconds;
    QString name;
    QString sport;
    QStringList remarks = {};
};

} // namespace

Q_DECLARE_METATYPE(QList<Expected>)

class TestXmlRides : public QObject
{
    Q_OBJECT
private slots:
    void gpxRides_data()
    {
        QTest::addColumn<QByteArray>("gpx");
        QTest::addColumn<QList<Expected>>("rides");

        // Points every 10 s, 50 m apart: riding.
        const auto ride = [](double lat, double lon, int steps, const char *const *times) {
            Segment s;
            for (int i = 0; i <= steps; ++i)
                s.append({lat + 0.00045 * i, lon, times[i]});
            return s;
        };
        static const char *const late14[] = {"2024-07-14T21:00:00Z", "2024-07-14T21:00:10Z", "2024-07-14T21:00:20Z"};
        static const char *const night15[] = {"2024-07-14T22:30:00Z", "2024-07-14T22:30:10Z", "2024-07-14T22:30:20Z"};
        static const char *const morning15[] = {"2024-07-15T06:00:00Z", "2024-07-15T06:00:10Z", "2024-07-15T06:00:20Z",
                                                "2024-07-15T06:00:30Z"};
        static const char *const noon15[] = {"2024-07-15T12:00:00.500+02:00", "2024-07-15T12:00:10.500+02:00",
                                             "2024-07-15T12:00:20.500+02:00"};
        const Segment a = ride(50.0, 14.4, 2, late14);
        const Segment b = ride(50.1, 14.5, 2, night15);
        const Segment c = ride(49.2, 16.6, 3, morning15);
        const Segment d = ride(49.3, 16.7, 2, noon15);
        QTest::newRow("local date across midnight")
            << gpx11(trackXml("A", "", {a}) + trackXml("B", "", {b}) + trackXml("C", "", {c}))
            << QList<Expected>{{"2024-07-14T21:00:00Z", {a}, 20, "A", ""}, {"2024-07-14T22:30:00Z", {b, c}, 50, "B", ""}};
        QTest::newRow("segments of a track, fractional seconds and an offset")
            << gpx11(trackXml("", "", {c, d}))
            << QList<Expected>{{"2024-07-15T06:00:00Z", {c, d}, 50, "", ""}};
        QTest::newRow("file name over track names, tracks on two dates")
            << gpx11("<metadata><name> Okolo Brna </name></metadata>" + trackXml("A", "", {a}) + trackXml("C", "", {c}))
            << QList<Expected>{{"2024-07-14T21:00:00Z", {a}, 20, "Okolo Brna", ""},
                               {"2024-07-15T06:00:00Z", {c}, 30, "Okolo Brna", ""}};
        QTest::newRow("other sports apart, cycling kinds together, a number is no sport")
            << gpx11(trackXml("běh", "running", {c}) + trackXml("road", "road_biking", {d})
                     + trackXml("kód", "1", {b}))
            << QList<Expected>{{"2024-07-14T22:30:00Z", {b, d}, 40, "road", ""},
                               {"2024-07-15T06:00:00Z", {c}, 30, "běh", "běh"}};

        const Segment planned = {{49.0, 16.0}, {49.1, 16.1}, {49.2, 16.0}};
        QTest::newRow("segment without time is a route; routes and waypoints are no rides")
            << gpx11("<wpt lat=\"49\" lon=\"16\"><time>2024-07-15T06:00:00Z</time></wpt>"
                     "<rte><rtept lat=\"49\" lon=\"16\"><time>2024-07-15T06:00:00Z</time></rtept></rte>"
                     + trackXml("A", "", {planned, c}))
            << QList<Expected>{{"2024-07-15T06:00:00Z", {c}, 30, "A", ""}};

        // Moving 50 m in 10 s, standing 60 s, creeping 3 m in 10 s (1 km/h),
        // an untimed point, then 100 m in 20 s over the untimed one (18 km/h).
        const Segment stops = {{50.0, 14.0, "2024-07-15T08:00:00Z"}, {50.00045, 14.0, "2024-07-15T08:00:10Z"},
                               {50.00045, 14.0, "2024-07-15T08:01:10Z"}, {50.00048, 14.0, "2024-07-15T08:01:20Z"},
                               {50.00093, 14.0}, {50.00138, 14.0, "2024-07-15T08:01:40Z"},
                               // the same time again, then back in time: no time added
                               {50.00183, 14.0, "2024-07-15T08:01:40Z"}, {50.00228, 14.0, "2024-07-15T08:00:50Z"},
                               {50.00273, 14.0, "2024-07-15T08:02:10Z"}};
        QTest::newRow("moving time leaves out stops")
            << gpx11(trackXml("", "", {stops}))
            << QList<Expected>{{"2024-07-15T08:00:00Z", {stops}, 10 + 20 + 30, "", ""}};

        {
            // Steps along the equator, of the time their length takes at
            // 2 km/h to the millisecond (riding), a millisecond longer (a
            // stop), and at 3 km/h (riding).
            static QList<QByteArray> stepTimes;
            Segment equator;
            qint64 ms = 0, ridden = 0;
            for (int i = 0; i <= 3; ++i) {
                const Point p{0.0, 14.0 + 0.0005 * i};
                if (i > 0) {
                    const double atSlowest = geodSolveMetres({{equator.last(), p}}) * 1800; // ms at 2 km/h
                    const qint64 step = std::isfinite(atSlowest)
                        ? (i == 1 ? qint64(atSlowest) : i == 2 ? qint64(atSlowest) + 1 : qint64(atSlowest * 2 / 3))
                        : 0;
                    ms += step;
                    ridden += i == 2 ? 0 : step;
                }
                stepTimes.append(QDateTime(QDate(2024, 7, 15), QTime(8, 0), Qt::UTC).addMSecs(ms).toString(Qt::ISODateWithMs).toLatin1());
                equator.append({p.lat, p.lon, stepTimes.last().constData()});
            }
            QTest::newRow("riding from 2 km/h")
                << gpx11(trackXml("", "", {equator}))
                << QList<Expected>{{"2024-07-15T08:00:00Z", {equator}, double(ridden) / 1000, "", ""}};
        }

        const Segment glitched = {{50.0, 14.0, "2024-07-15T08:00:00Z"}, {91.0, 14.0, "2024-07-15T08:00:05Z"},
                                  {0.0, 0.0, "2024-07-15T08:00:07Z"}, {50.00045, 14.0, "2024-07-15T08:00:10Z"},
                                  {50.0009, 14.0, "1970-01-01T00:00:00Z"}, {50.00135, 14.0, "2024-07-15T08:00:30Z"}};
        const Segment kept = {{50.0, 14.0}, {50.00045, 14.0}, {50.0009, 14.0}, {50.00135, 14.0}};
        QTest::newRow("impossible positions left out, impossible time untimed")
            << gpx11(trackXml("", "", {glitched}))
            << QList<Expected>{{"2024-07-15T08:00:00Z", {kept}, 30, "", "", {"vynechané chybné body: 2"}}};

        QTest::newRow("GPX 1.0 with its top-level name, prefixed elements, CDATA")
            << QByteArray("<?xml version=\"1.0\"?>\n<g:gpx version=\"1.0\" xmlns:g=\"http://www.topografix.com/GPX/1/0\">"
                          "<g:name><![CDATA[Výlet]]></g:name><g:trk><g:trkseg>"
                          "<g:trkpt lat=\"49.2\" lon=\"16.6\"><g:time>2024-07-15T06:00:00Z</g:time></g:trkpt>"
                          "<g:trkpt lat=\"49.20045\" lon=\"16.6\"><g:time><![CDATA[2024-07-15T06:00:10Z]]></g:time>"
                          "<x:time xmlns:x=\"urn:other\">2030-01-01T00:00:00Z</x:time></g:trkpt>"
                          "</g:trkseg></g:trk></g:gpx>")
            << QList<Expected>{{"2024-07-15T06:00:00Z", {{{49.2, 16.6}, {49.20045, 16.6}}}, 10, "Výlet", ""}};

        QTest::newRow("cut off inside a point")
            << gpx11(trackXml("A", "", {c})).left(gpx11(trackXml("A", "", {c})).lastIndexOf("<trkpt") + 30)
            << QList<Expected>{{"2024-07-15T06:00:00Z", {c.first(3)}, 20, "A", "", {"soubor je neúplný"}}};
    }

    void gpxRides()
    {
        QFETCH(QByteArray, gpx);
        QFETCH(QList<Expected>, rides);
        if (QStandardPaths::findExecutable(QStringLiteral("GeodSolve")).isEmpty())
            QSKIP("GeographicLib's GeodSolve is not installed");
        const FileRides read = readBytes(gpx);
        QCOMPARE(read.problem, QString());
        QCOMPARE(read.rides.size(), rides.size());
        for (qsizetype i = 0; i < rides.size(); ++i) {
            const RecordedRide &r = read.rides[i];
            QCOMPARE(r.start, QDateTime::fromString(rides[i].start, Qt::ISODate));
            QCOMPARE(r.start.timeSpec(), Qt::UTC);
            QVERIFY(r.metres.has_value());
            const double metres = geodSolveMetres(rides[i].segments);
            QVERIFY2(qAbs(*r.metres - metres) < 1e-6, qPrintable(QStringLiteral("%1 m, GeodSolve %2 m")
                                                                     .arg(*r.metres, 0, 'f', 9)
                                                                     .arg(metres, 0, 'f', 9)));
            QCOMPARE(r.seconds, rides[i].seconds);
            QCOMPARE(r.name, rides[i].name);
            QCOMPARE(r.otherSport, rides[i].sport);
            QCOMPARE(r.remarks, rides[i].remarks);
        }
    }

    // Many points at random over the globe and in one town, in several
    // tracks and segments.
    void gpxDistanceAgainstGeodSolve()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("GeodSolve")).isEmpty())
            QSKIP("GeographicLib's GeodSolve is not installed");
        QRandomGenerator random(22);
        // Lines across the globe on one day, a long wander through a town
        // on the next: each ride's sum small enough that the order of
        // adding does not show at a micrometre.
        QList<Segment> global, town;
        QByteArray body;
        QList<QByteArray> times;
        times.reserve(16000);
        for (int t = 0; t < 3; ++t) {
            QList<Segment> track;
            for (int s = 0; s < 3; ++s) {
                const bool across = (t + s) % 2 == 0;
                const QDateTime from(QDate(2023, 5, across ? 1 : 2), QTime(6 + t, 10 * s), Qt::UTC);
                Segment seg;
                double lat = 49.19, lon = 16.6;
                for (int i = 0; i < (across ? 20 : 3000); ++i) {
                    times.append(from.addSecs(i).toString(Qt::ISODate).toLatin1());
                    lat = across ? random.bounded(179.0) - 89.5 : lat + random.bounded(0.0002) - 0.0001;
                    lon = across ? random.bounded(359.9) - 179.95 : lon + random.bounded(0.0002) - 0.0001;
                    seg.append({lat, lon, times.last().constData()});
                }
                track.append(seg);
                (across ? global : town).append(seg);
            }
            body += trackXml("", "", track);
        }
        const FileRides read = readBytes(gpx11(body));
        QCOMPARE(read.rides.size(), 2);
        for (int i = 0; i < 2; ++i) {
            const double expected = geodSolveMetres(i == 0 ? global : town);
            QVERIFY2(qAbs(*read.rides[i].metres - expected) < 1e-6,
                     qPrintable(QString::number(*read.rides[i].metres - expected)));
        }
        QVERIFY(read.rides[1].seconds > 0);
    }

    void problems_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("gpx");
        QTest::addColumn<QString>("problem");
        const QByteArray bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE gpx [\n<!ENTITY a \"aaaaaaaaaaaaaaaaaaaa\">\n"
                                "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">\n"
                                "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">\n<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">\n"
                                "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">\n<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">\n"
                                "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">\n<!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">\n"
                                "]>\n";
        const Segment untimed = {{49.0, 16.0}, {49.1, 16.1}};
        for (const bool gpx : {true, false}) {
            const char *kind = gpx ? "GPX" : "TCX";
            const QByteArray root = gpx ? "gpx" : "TrainingCenterDatabase";
            QTest::addRow("%s empty", kind) << QByteArray() << gpx << "soubor je prázdný";
            QTest::addRow("%s of another kind", kind) << QByteArray("<kml><Document/></kml>") << gpx
                                                      << QStringLiteral("není to soubor %1").arg(kind);
            QTest::addRow("%s binary", kind) << QByteArray("\x0e\x10\x6c\x08.FIT\0\0", 10) << gpx
                                             << QStringLiteral("není to soubor %1").arg(kind);
            QTest::addRow("%s tags crossed", kind)
                << QByteArray("<" + root + ">\n<a>\n<b>\n</a>\n</b>") << gpx
                << "poškozený soubor XML (řádek 4): Opening and ending tag mismatch.";
            QTest::addRow("%s entity bomb", kind)
                << bomb + "<" + root + "><trk><name>&i;</name></trk></" + root + ">" << gpx
                << "poškozený soubor XML (řádek 13): Entity expands to more characters than the entity expansion limit.";
        }
        QTest::newRow("GPX without a timed point") << gpx11(trackXml("plán", "", {untimed})) << true
                                                   << "soubor neobsahuje žádný časový záznam jízdy";
        QTest::newRow("GPX with no possible time")
            << gpx11("<trk><trkseg>\n<trkpt lat=\"49\" lon=\"16\"/>\n<trkpt lat=\"49\" lon=\"16\"><time>2024-13-01T00:00:00Z"
                     "</time></trkpt></trkseg></trk>")
            << true << "soubor neobsahuje žádný časový záznam jízdy (nesmyslný čas bodu na řádku 5)";
        QTest::newRow("GPX with no possible position")
            << gpx11("<trk><trkseg>\n<trkpt lat=\"NaN\" lon=\"16\"><time>2024-07-01T00:00:00Z</time></trkpt>"
                     "</trkseg></trk>")
            << true << "soubor neobsahuje žádný časový záznam jízdy (nesmyslná poloha bodu na řádku 4)";
        QTest::newRow("TCX without activity")
            << QByteArray("<TrainingCenterDatabase><Courses><Course><Name>Okruh</Name></Course></Courses>"
                          "</TrainingCenterDatabase>")
            << false << "soubor neobsahuje žádnou aktivitu";
        QTest::newRow("TCX activity with an impossible start")
            << QByteArray("<TrainingCenterDatabase><Activities>\n<Activity Sport=\"Biking\"><Id>1901-01-01T00:00:00Z</Id>"
                          "</Activity></Activities></TrainingCenterDatabase>")
            << false << "aktivita na řádku 2 nemá použitelný čas začátku";
    }

    void problems()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, gpx);
        QFETCH(QString, problem);
        const FileRides read = readBytes(bytes, gpx);
        QCOMPARE(read.rides.size(), 0);
        QCOMPARE(read.problem, problem);
    }

    void tcxRides_data()
    {
        QTest::addColumn<QByteArray>("tcx");
        QTest::addColumn<QStringList>("rides"); // start, metres or -, seconds, sport, remarks
        const QByteArray head = "<?xml version=\"1.0\"?>\n<TrainingCenterDatabase "
                                "xmlns=\"http://www.garmin.com/xmlschemas/TrainingCenterDatabase/v2\"><Activities>";
        const QByteArray tail = "</Activities></TrainingCenterDatabase>";
        const QByteArray lap1 = "<Lap StartTime=\"2024-07-15T06:00:00Z\"><TotalTimeSeconds>1800.5</TotalTimeSeconds>"
                                "<DistanceMeters>10000.25</DistanceMeters><Track><Trackpoint><DistanceMeters>99999"
                                "</DistanceMeters></Trackpoint></Track></Lap>";
        const QByteArray lap2 = "<Lap StartTime=\"2024-07-15T06:30:00Z\"><TotalTimeSeconds>600</TotalTimeSeconds>"
                                "<DistanceMeters>4000</DistanceMeters></Lap>";
        const QByteArray indoor = "<Lap StartTime=\"2024-07-16T18:00:00Z\"><TotalTimeSeconds>3600</TotalTimeSeconds></Lap>";
        QTest::newRow("laps summed, trackpoints' distances not")
            << head + "<Activity Sport=\"Biking\"><Id>2024-07-15T06:00:00Z</Id>" + lap1 + lap2 + "</Activity>" + tail
            << QStringList{"2024-07-15T06:00:00Z 14000.25 2400.5  "};
        QTest::newRow("running, other, and a trainer without distance")
            << head + "<Activity Sport=\"Running\"><Id>2024-07-15T06:00:00.000Z</Id>" + lap2 + "</Activity>"
                   "<Activity Sport=\"Other\"><Id>2024-07-16T18:00:00+02:00</Id>" + indoor + "</Activity>"
                   "<Activity Sport=\"Biking\"><Id>2024-07-16T18:00:00Z</Id>" + indoor + indoor + "</Activity>" + tail
            << QStringList{"2024-07-15T06:00:00Z 4000 600 běh ", "2024-07-16T16:00:00Z - 3600 jiný sport bez vzdálenosti",
                           "2024-07-16T18:00:00Z - 7200  bez vzdálenosti"};
        QTest::newRow("multisport session, start from the lap when the Id is no time")
            << head + "<MultiSportSession><FirstSport><Activity Sport=\"Biking\"><Id>první</Id>" + lap2
                   + "</Activity></FirstSport></MultiSportSession>" + tail
            << QStringList{"2024-07-15T06:30:00Z 4000 600  "};
        QTest::newRow("cut off")
            << head + "<Activity Sport=\"Biking\"><Id>2024-07-15T06:00:00Z</Id>" + lap2 + lap1.left(110)
            << QStringList{"2024-07-15T06:00:00Z 4000 2400.5  soubor je neúplný"};
    }

    void tcxRides()
    {
        QFETCH(QByteArray, tcx);
        QFETCH(QStringList, rides);
        const FileRides read = readBytes(tcx, false);
        QCOMPARE(read.problem, QString());
        QStringList got;
        for (const RecordedRide &r : read.rides) {
            QVERIFY(r.name.isEmpty());
            got.append(QStringLiteral("%1 %2 %3 %4 %5")
                           .arg(r.start.toUTC().toString(Qt::ISODate),
                                r.metres ? QString::number(*r.metres, 'g', 12) : QStringLiteral("-"),
                                QString::number(r.seconds, 'g', 12), r.otherSport, r.remarks.join(u',')));
        }
        QCOMPARE(got, rides);
    }

    // gpsbabel writes a TCX and a GPX 1.0 of a GPX 1.1 track; the readers
    // see one ride of the same start, time and (within gpsbabel's own
    // rounding for TCX) distance.
    void gpsbabelConversions()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("gpsbabel")).isEmpty())
            QSKIP("gpsbabel is not installed");
        QTemporaryDir dir;
        QList<QByteArray> times;
        const Segment s = moving(49.2, 16.6, QDateTime(QDate(2024, 7, 15), QTime(6, 0), Qt::UTC), 60, times);
        Segment timed = s;
        for (qsizetype i = 0; i < timed.size(); ++i)
            timed[i].time = times[i].constData();
        QFile gpx(dir.filePath(QStringLiteral("a.gpx")));
        QVERIFY(gpx.open(QIODevice::WriteOnly));
        gpx.write(gpx11(trackXml("Brno", "", {timed})));
        gpx.close();
        const QString tcxPath = dir.filePath(QStringLiteral("a.tcx"));
        QCOMPARE(QProcess::execute(QStringLiteral("gpsbabel"), {"-i", "gpx", "-f", gpx.fileName(), "-o", "gtrnctr,course=0,sport=Biking",
                                                                 "-F", tcxPath}),
                 0);
        QFile tcx(tcxPath);
        QVERIFY(tcx.open(QIODevice::ReadOnly));
        const StopFlag stop{false};
        const FileRides fromTcx = readTcx(tcx, stop);
        QVERIFY2(fromTcx.problem.isEmpty(), qPrintable(fromTcx.problem));
        QVERIFY(gpx.open(QIODevice::ReadOnly));
        const FileRides fromGpx = readGpx(gpx, QTimeZone("Europe/Prague"), stop);
        QCOMPARE(fromTcx.rides.size(), 1);
        QCOMPARE(fromGpx.rides.size(), 1);
        QCOMPARE(fromTcx.rides[0].start, fromGpx.rides[0].start);
        QCOMPARE(fromTcx.rides[0].seconds, fromGpx.rides[0].seconds);
        QVERIFY(qAbs(*fromTcx.rides[0].metres - *fromGpx.rides[0].metres) < 0.01 * *fromGpx.rides[0].metres);

        const QString gpx10Path = dir.filePath(QStringLiteral("a10.gpx"));
        QCOMPARE(QProcess::execute(QStringLiteral("gpsbabel"), {"-i", "gpx", "-f", gpx.fileName(), "-o", "gpx,gpxver=1.0",
                                                                 "-F", gpx10Path}),
                 0);
        QFile gpx10(gpx10Path);
        QVERIFY(gpx10.open(QIODevice::ReadOnly));
        QVERIFY(gpx10.peek(200).contains("GPX/1/0"));
        const FileRides from10 = readGpx(gpx10, QTimeZone("Europe/Prague"), stop);
        QCOMPARE(from10.rides.size(), 1);
        QCOMPARE(from10.rides[0].start, fromGpx.rides[0].start);
        QCOMPARE(from10.rides[0].seconds, fromGpx.rides[0].seconds);
        QCOMPARE(*from10.rides[0].metres, *fromGpx.rides[0].metres);
        QCOMPARE(from10.rides[0].name, QStringLiteral("Brno"));
    }

    void stopped()
    {
        QList<QByteArray> times;
        Segment s = moving(49.2, 16.6, QDateTime(QDate(2024, 7, 15), QTime(6, 0), Qt::UTC), 3000, times);
        for (qsizetype i = 0; i < s.size(); ++i)
            s[i].time = times[i].constData();
        QByteArray bytes = gpx11(trackXml("", "", {s}));
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        const StopFlag stop{true};
        const FileRides read = readGpx(buffer, QTimeZone("Europe/Prague"), stop);
        QVERIFY(read.rides.isEmpty());
        QCOMPARE(read.problem, QStringLiteral("čtení bylo přerušeno"));
    }
};

QTEST_GUILESS_MAIN(TestXmlRides)
#include "tst_xmlrides.moc"

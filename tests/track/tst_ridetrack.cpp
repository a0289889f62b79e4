// The track of a recorded ride: rides split as the import splits them,
// pieces and distances against GeographicLib's GeodSolve, points left out,
// files cut short, the figures, the simplified line, and the GPX written
// read back by gpsbabel.

#include "FitWriter.h"
#include "ImportRules.h"
#include "RideTrack.h"

#include <QBuffer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

using namespace RideTrack;

namespace {

const QTimeZone kPrague("Europe/Prague");
const std::uint32_t kStart = FitWriter::fitTime(QDateTime(QDate(2024, 7, 14), QTime(6, 0), Qt::UTC));

struct Pt
{
    double lat, lon;
    QByteArray time; // empty: none
    QByteArray extra = {};
};

// Points going north 0.0001° (about 11 m) a step, `seconds` apart.
QList<Pt> walk(double lat, double lon, const QDateTime &from, int count, int seconds = 2)
{
    QList<Pt> points;
    for (int i = 0; i < count; ++i)
        points.append({lat + i * 1e-4, lon, from.addSecs(qint64(i) * seconds).toString(Qt::ISODate).toLatin1()});
    return points;
}

QDateTime utc(int day, int hour)
{
    return QDateTime(QDate(2024, 7, day), QTime(hour, 0), Qt::UTC);
}

QByteArray gpx(const QList<QPair<QByteArray, QList<QList<Pt>>>> &tracks)
{
    QByteArray xml = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
    for (const auto &[type, segments] : tracks) {
        xml += "<trk>" + (type.isEmpty() ? QByteArray() : "<type>" + type + "</type>");
        for (const QList<Pt> &s : segments) {
            xml += "<trkseg>\n";
            for (const Pt &p : s)
                xml += "<trkpt lat=\"" + QByteArray::number(p.lat, 'g', 12) + "\" lon=\""
                    + QByteArray::number(p.lon, 'g', 12) + "\"><ele>300</ele>"
                    + (p.time.isEmpty() ? QByteArray() : "<time>" + p.time + "</time>") + p.extra + "</trkpt>\n";
            xml += "</trkseg>\n";
        }
        xml += "</trk>\n";
    }
    return xml + "</gpx>\n";
}

// Activities of laps of tracks; an activity without an Id has no start.
QByteArray tcx(const QList<QList<QList<Pt>>> &activities)
{
    QByteArray xml = "<?xml version=\"1.0\"?>\n<TrainingCenterDatabase "
                     "xmlns=\"http://www.garmin.com/xmlschemas/TrainingCenterDatabase/v2\"><Activities>\n";
    for (const QList<QList<Pt>> &tracks : activities) {
        const bool dated = !tracks.isEmpty() && !tracks.first().isEmpty();
        xml += "<Activity Sport=\"Biking\">"
            + (dated ? "<Id>" + tracks.first().first().time + "</Id>" : QByteArray()) + "<Lap>";
        for (const QList<Pt> &t : tracks) {
            xml += "<Track>\n";
            for (const Pt &p : t)
                xml += "<Trackpoint><Time>" + p.time + "</Time><Position><LatitudeDegrees>"
                    + QByteArray::number(p.lat, 'g', 12) + "</LatitudeDegrees><LongitudeDegrees>"
                    + QByteArray::number(p.lon, 'g', 12) + "</LongitudeDegrees></Position>"
                    + "<HeartRateBpm><Value>130</Value></HeartRateBpm></Trackpoint>\n";
            xml += "</Track>\n";
        }
        xml += "</Lap></Activity>\n";
    }
    return xml + "</Activities></TrainingCenterDatabase>\n";
}

// A FIT ride of two stretches with the timer stopped between them, 10 km apart.
QByteArray pausedFit(int ascent = -1)
{
    FitWriter::File f;
    FitWriter::fileId(f, 4);
    FitWriter::records(f, kStart, 300, 7.5);
    FitWriter::timerEvent(f, kStart + 300, 4);
    FitWriter::timerEvent(f, kStart + 900, 0);
    FitWriter::records(f, kStart + 900, 200, 7.5, 1'000'000);
    FitWriter::session(f, {kStart, 1100'000, 500'000, 2'500'000, 2, 0, -1, ascent, ascent < 0 ? -1 : 120});
    return f.bytes();
}

QByteArray twoSessionFit(bool cutSecond)
{
    FitWriter::File f;
    FitWriter::fileId(f, 4);
    FitWriter::records(f, kStart, 600, 5.0);
    FitWriter::session(f, {kStart, 600'000, 600'000, 300'000, 2, 0});
    FitWriter::records(f, kStart + 7200, 900, 6.0);
    if (!cutSecond) {
        FitWriter::session(f, {kStart + 7200, 900'000, 900'000, 540'000, 2, 0});
        return f.bytes();
    }
    // The file ends inside the last record.
    return f.bytes().chopped(2 + 10);
}

Track read(const QByteArray &bytes, int ride)
{
    QBuffer in;
    in.setData(bytes);
    in.open(QIODevice::ReadOnly);
    const GpsImport::StopFlag stop{false};
    return readTrack(in, ride, kPrague, stop);
}

QList<TrackPoint> allPoints(const Track &track)
{
    QList<TrackPoint> points;
    for (const TrackPiece &piece : track.pieces)
        points += piece;
    return points;
}

// The distance along each piece as GeodSolve sums it.
double geodSolveMetres(const Track &track)
{
    QByteArray input;
    for (const TrackPiece &piece : track.pieces)
        for (qsizetype i = 1; i < piece.size(); ++i)
            input += QByteArray::number(piece[i - 1].lat, 'f', 12) + ' ' + QByteArray::number(piece[i - 1].lon, 'f', 12)
                + ' ' + QByteArray::number(piece[i].lat, 'f', 12) + ' ' + QByteArray::number(piece[i].lon, 'f', 12) + '\n';
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

// The distance of point p from the segment a–b.
double segmentDistance(double px, double py, double ax, double ay, double bx, double by)
{
    const double dx = bx - ax, dy = by - ay, l2 = dx * dx + dy * dy;
    const double t = l2 > 0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / l2, 0.0, 1.0) : 0.0;
    return std::hypot(px - ax - t * dx, py - ay - t * dy);
}

} // namespace

class TestRideTrack : public QObject
{
    Q_OBJECT

private slots:
    void ridesSplitAsTheImportSplitsThem_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<int>>("points");
        QTest::newRow("FIT, two sessions") << twoSessionFit(false) << QList<int>{600, 900};
        QTest::newRow("FIT, cut after a session") << twoSessionFit(true) << QList<int>{600, 899};
        // A hike the same day between the two days' rides; a planned route
        // (no times) belongs to no ride.
        QList<Pt> route = walk(49, 15, utc(14, 5), 4);
        for (Pt &p : route)
            p.time.clear();
        QTest::newRow("GPX, two days and a hike")
            << gpx({{"", {walk(50, 14, utc(15, 6), 8)}},
                    {"cycling", {route, walk(50, 14, utc(14, 6), 10)}},
                    {"hiking", {walk(50.5, 14, utc(14, 13), 5)}}})
            << QList<int>{10, 5, 8};
        QTest::newRow("TCX, two activities and one without a start")
            << tcx({{walk(50, 14, utc(14, 6), 6), walk(50.1, 14, utc(14, 7), 4)}, {{}}, {walk(50, 14, utc(15, 6), 7)}})
            << QList<int>{10, 7};
    }

    void ridesSplitAsTheImportSplitsThem()
    {
        QFETCH(QByteArray, file);
        QFETCH(QList<int>, points);
        QBuffer in(&file);
        in.open(QIODevice::ReadOnly);
        const GpsImport::StopFlag stop{false};
        const GpsImport::FileRides found = GpsImport::readRideDevice(in, kPrague, stop);
        QCOMPARE(found.rides.size(), points.size());
        for (int n = 0; n < points.size(); ++n) {
            const Track track = read(file, n);
            QVERIFY2(track.problem.isEmpty(), qPrintable(track.problem));
            QCOMPARE(track.pointCount(), points[n]);
            QCOMPARE(QDateTime::fromMSecsSinceEpoch(track.pieces.first().first().ms, Qt::UTC), found.rides[n].start);
        }
        const Track beyond = read(file, int(points.size()));
        QCOMPARE(beyond.problem, QStringLiteral("v souboru není jízda č. %1").arg(points.size() + 1));
        QCOMPARE(beyond.pointCount(), 0);
    }

    void distanceAlongPieces_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("pieces");
        QTest::addColumn<double>("firstLon");
        const double fitLon = FitWriter::semicircles(14.0) * (180.0 / 2147483648.0);
        QTest::newRow("FIT, timer stopped and started") << pausedFit() << 2 << fitLon;
        QTest::newRow("GPX, two segments of two tracks")
            << gpx({{"", {walk(50, 14.25, utc(14, 6), 30), walk(50.2, 14, utc(14, 7), 20)}},
                    {"", {walk(50, 14.5, utc(14, 8), 10)}}})
            << 3 << 14.25;
        QTest::newRow("TCX, two tracks of a lap")
            << tcx({{walk(49.5, 16.5, utc(14, 6), 25), walk(49.9, 16, utc(14, 7), 15)}}) << 2 << 16.5;
    }

    void distanceAlongPieces()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, pieces);
        QFETCH(double, firstLon);
        const Track track = read(file, 0);
        QVERIFY2(track.problem.isEmpty(), qPrintable(track.problem));
        QCOMPARE(track.pieces.size(), pieces);
        QCOMPARE(track.pieces.first().first().lon, firstLon);
        QCOMPARE(track.skipped, 0);
        const double expected = geodSolveMetres(track);
        QVERIFY(expected > 100);
        QVERIFY2(std::abs(figuresOf(track).metres - expected) < 1e-6 * expected,
                 qPrintable(QStringLiteral("%1 m, GeodSolve %2 m").arg(figuresOf(track).metres).arg(expected)));
    }

    void impossiblePointsLeftOutAndCounted_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("kept");
        QTest::addColumn<int>("skipped");
        QList<Pt> points = walk(50, 14, utc(14, 6), 10);
        points[1].lat = 91;
        points[2].lon = -180.5;
        points[3] = {0, 0, points[3].time};
        points[4].time = "1975-01-01T00:00:00Z";
        points[5].time = "2024-07-14T05:59:00Z"; // earlier than the point before
        points[6].time = "yesterday";
        points[7].time.clear(); // no time: kept
        QTest::newRow("GPX") << gpx({{"", {points}}}) << 4 << 6;
        QTest::newRow("TCX") << tcx({{points}}) << 3 << 7;
        FitWriter::File f;
        FitWriter::fileId(f, 4);
        f.define(1, FitWriter::recordDefinition());
        for (int i = 0; i < 20; ++i)
            f.data(1, {kStart + i, i % 4 == 1 ? 0x7FFFFFFF : FitWriter::semicircles(50), FitWriter::semicircles(14 + i * 1e-4),
                       i * 1000, 2600, 5000, 120, 80, 20});
        FitWriter::session(f, {kStart, 20'000, 20'000, 19'000, 2, 0});
        QTest::newRow("FIT, position marked none") << f.bytes() << 15 << 5;
    }

    void impossiblePointsLeftOutAndCounted()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, kept);
        QFETCH(int, skipped);
        const Track track = read(file, 0);
        QVERIFY2(track.problem.isEmpty(), qPrintable(track.problem));
        QCOMPARE(track.pointCount(), kept);
        QCOMPARE(track.skipped, skipped);
    }

    void fileCutShortKeepsItsPoints_data()
    {
        QTest::addColumn<double>("part");
        QTest::newRow("a third") << 0.33;
        QTest::newRow("most") << 0.9;
    }

    void fileCutShortKeepsItsPoints()
    {
        QFETCH(double, part);
        const QByteArray whole = FitWriter::activity(kStart, 1800, 6.0, true);
        const QList<TrackPoint> all = allPoints(read(whole, 0));
        QCOMPARE(all.size(), 1800);
        const Track cut = read(whole.left(qsizetype(whole.size() * part)), 0);
        QVERIFY2(cut.problem.isEmpty(), qPrintable(cut.problem));
        const QList<TrackPoint> points = allPoints(cut);
        QVERIFY(points.size() > 1800 * part * 0.8 && points.size() < all.size());
        for (qsizetype i = 0; i < points.size(); ++i)
            QVERIFY(points[i].ms == all[i].ms && points[i].lon == all[i].lon && points[i].metres == all[i].metres);
    }

    void filesWithoutTheRide_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("ride");
        QTest::addColumn<QString>("problem");
        QTest::newRow("not a ride file") << QByteArray("hello") << 0 << u"není to záznam jízdy (FIT, GPX ani TCX)"_qs;
        QTest::newRow("negative index") << pausedFit() << -1 << u"v souboru není jízda č. 0"_qs;
        QTest::newRow("GPX without times") << gpx({{"", {{{50, 14, {}}, {50.1, 14, {}}}}}}) << 0
                                           << u"soubor neobsahuje žádný časový záznam jízdy"_qs;
    }

    void filesWithoutTheRide()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, ride);
        QFETCH(QString, problem);
        QCOMPARE(read(file, ride).problem, problem);
    }

    void figures_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<double>("maxSpeed");
        QTest::addColumn<double>("speedTolerance");
        QTest::addColumn<double>("elapsed");
        QTest::addColumn<bool>("deviceClimb");
        QTest::newRow("FIT, device's speed and climb") << pausedFit(345) << 7.5 << 1e-6 << 1099.0 << true;
        // 1 s apart, 5 m/s north; a fix 8 m off its course is GPS noise.
        QList<Pt> points;
        for (int i = 0; i < 120; ++i)
            points.append({50 + i * 5.0 / 111'250, 14 + (i == 60 ? 8.0 / 71'700 : 0),
                           utc(14, 6).addSecs(i).toString(Qt::ISODate).toLatin1()});
        QTest::newRow("GPX, speed from positions") << gpx({{"", {points}}}) << 5.0 << 0.9 << 119.0 << false;
    }

    void figures()
    {
        QFETCH(QByteArray, file);
        QFETCH(double, maxSpeed);
        QFETCH(double, speedTolerance);
        QFETCH(double, elapsed);
        QFETCH(bool, deviceClimb);
        const TrackFigures f = figuresOf(read(file, 0));
        QVERIFY(f.maxSpeed);
        QVERIFY2(std::abs(*f.maxSpeed - maxSpeed) <= speedTolerance, qPrintable(QString::number(*f.maxSpeed)));
        QCOMPARE(f.elapsedSeconds.value_or(-1), elapsed);
        QCOMPARE(f.start.secsTo(f.end), qint64(elapsed));
        QCOMPARE(f.ascentFromDevice, deviceClimb);
        if (deviceClimb)
            QVERIFY(f.ascent == 345.0 && f.descent == 120.0);
        QVERIFY(f.highest && f.lowest && *f.highest >= *f.lowest);
    }

    void climbIgnoresNoise_data()
    {
        QTest::addColumn<QList<double>>("legs"); // metres up (+) or down (-), one after another
        QTest::addColumn<double>("noise");        // ± metres
        QTest::newRow("noise only") << QList<double>{0} << 2.0;
        QTest::newRow("100 m up") << QList<double>{100} << 2.0;
        QTest::newRow("up, down, up") << QList<double>{100, -50, 30} << 2.0;
        QTest::newRow("small hills") << QList<double>{12, -8, 9, -20} << 1.0;
        QTest::newRow("smooth") << QList<double>{40, -40} << 0.0;
    }

    void climbIgnoresNoise()
    {
        QFETCH(QList<double>, legs);
        QFETCH(double, noise);
        QRandomGenerator random(7);
        QList<double> profile;
        double level = 300, up = 0, down = 0;
        for (const double leg : legs) {
            (leg > 0 ? up : down) += std::abs(leg);
            const int steps = std::max(40, int(std::abs(leg) * 4));
            for (int i = 0; i < steps; ++i)
                profile.append(level + leg * i / steps + (random.generateDouble() * 2 - 1) * noise);
            level += leg;
        }
        profile.append(level + (random.generateDouble() * 2 - 1) * noise);
        const Climb climb = climbOf(profile);
        const double tolerance = 2 * noise * qsizetype(legs.size()) + 1e-9;
        QVERIFY2(std::abs(climb.ascent - up) <= tolerance, qPrintable(QString::number(climb.ascent)));
        QVERIFY2(std::abs(climb.descent - down) <= tolerance, qPrintable(QString::number(climb.descent)));
    }

    void simplifiedLineKeepsTheCourse_data()
    {
        QTest::addColumn<double>("tolerance");
        QTest::addColumn<bool>("straight");
        for (const double t : {0.0, 0.5, 3.0, 20.0, 200.0})
            QTest::addRow("random walk, %g", t) << t << false;
        QTest::newRow("straight line") << 0.001 << true;
    }

    void simplifiedLineKeepsTheCourse()
    {
        QFETCH(double, tolerance);
        QFETCH(bool, straight);
        QRandomGenerator random(11);
        std::vector<double> x(5000), y(5000);
        for (std::size_t i = 1; i < x.size(); ++i) {
            x[i] = x[i - 1] + (straight ? 2.0 : random.generateDouble() * 4 - 1);
            y[i] = y[i - 1] + (straight ? 1.0 : random.generateDouble() * 4 - 2);
        }
        const QList<int> kept = simplifiedLine(x.data(), y.data(), int(x.size()), tolerance);
        QCOMPARE(kept.first(), 0);
        QCOMPARE(kept.last(), int(x.size()) - 1);
        if (straight)
            QCOMPARE(kept.size(), 2);
        for (qsizetype k = 1; k < kept.size(); ++k) {
            QVERIFY(kept[k] > kept[k - 1]);
            const int a = kept[k - 1], b = kept[k];
            for (int i = a + 1; i < b; ++i)
                QVERIFY(segmentDistance(x[i], y[i], x[a], y[a], x[b], y[b]) <= tolerance + 1e-9);
        }
    }

    void gpxReadBackByGpsbabel()
    {
        Track track = read(pausedFit(), 0);
        track.pieces[0][3].ms += 250; // a time not of whole seconds
        const QString name = QStringLiteral("Okruh <Říp> & zpět");
        const QByteArray written = gpxOf(track, name);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("out.gpx")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(written) == written.size());
        file.close();
        QCOMPARE(QProcess::execute(QStringLiteral("xmllint"), {QStringLiteral("--noout"), file.fileName()}), 0);
        QProcess babel;
        babel.start(QStringLiteral("gpsbabel"), {QStringLiteral("-t"), QStringLiteral("-i"), QStringLiteral("gpx"),
                                                 QStringLiteral("-f"), file.fileName(), QStringLiteral("-o"),
                                                 QStringLiteral("unicsv,utc=0"), QStringLiteral("-F"), QStringLiteral("-")});
        QVERIFY(babel.waitForFinished() && babel.exitCode() == 0);
        const QList<QByteArray> lines = babel.readAllStandardOutput().trimmed().split('\n');
        const QList<TrackPoint> points = allPoints(track);
        QCOMPARE(lines.size() - 1, points.size());
        const QList<QByteArray> heading = lines[0].trimmed().split(',');
        const auto column = [&](const char *title) { return heading.indexOf(QByteArray(title)); };
        QVERIFY(column("Altitude") > 0 && column("Date") > 0 && column("Time") > 0 && column("Heartrate") > 0 && column("Cadence") > 0);
        for (qsizetype i = 0; i < points.size(); ++i) {
            const QList<QByteArray> cells = lines[i + 1].trimmed().split(',');
            const TrackPoint &p = points[i];
            QVERIFY(std::abs(cells[column("Latitude")].toDouble() - p.lat) < 1e-6);
            QVERIFY(std::abs(cells[column("Longitude")].toDouble() - p.lon) < 1e-6);
            QVERIFY(std::abs(cells[column("Altitude")].toDouble() - p.elevation) < 0.06);
            QCOMPARE(cells[column("Heartrate")].toInt(), qRound(p.heartRate));
            QCOMPARE(cells[column("Cadence")].toInt(), qRound(p.cadence));
            const QString text = QString::fromLatin1(cells[column("Date")] + ' ' + cells[column("Time")]);
            QDateTime time = QDateTime::fromString(
                text, text.contains(u'.') ? u"yyyy/MM/dd HH:mm:ss.zzz"_qs : u"yyyy/MM/dd HH:mm:ss"_qs);
            time.setTimeZone(QTimeZone::utc());
            QCOMPARE(time.toMSecsSinceEpoch(), p.ms);
        }
        QCOMPARE(written.count("<trkseg>"), track.pieces.size());
        QXmlStreamReader xml(written);
        while (!xml.atEnd() && !(xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"name")) {
        }
        QCOMPARE(xml.readElementText(), name);
    }
};

QTEST_GUILESS_MAIN(TestRideTrack)
#include "tst_ridetrack.moc"

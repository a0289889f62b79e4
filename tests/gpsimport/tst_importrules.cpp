// From a recorded ride to the ride log's cells; rides already logged or
// found twice; files that are no ride file.
#include "ImportRules.h"
#include "RideColumn.h"
#include "RideLogTable.h"
#include "StringTable.h"
#include "TestLocale.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace GpsImport;

namespace {
const QTimeZone kPrague("Europe/Prague");

RecordedRide ride(const char *startUtc, std::optional<double> metres, double seconds)
{
    RecordedRide r;
    r.start = QDateTime::fromString(QString::fromLatin1(startUtc), Qt::ISODate);
    r.metres = metres;
    r.seconds = seconds;
    return r;
}

ImportRow row(const char *startUtc, std::optional<double> metres, double seconds)
{
    return rowsOf(QStringLiteral("a.fit"), {{ride(startUtc, metres, seconds)}, {}}, kPrague).constFirst();
}
} // namespace

class TestImportRules : public QObject
{
    Q_OBJECT
    TestLocale m_locale;

private slots:
    void cells_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<double>("metres"); // negative: no distance
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QStringList>("expected"); // date, km, time, average
        QTest::addColumn<QString>("remarks");
        QTest::addColumn<bool>("ticked");

        QTest::newRow("after midnight in Prague") << "2024-07-14T22:30:00Z" << 42200.0 << 5400.0
                                                 << QStringList{"15.7.2024", "42,2", "01:30", "28,13"} << "" << true;
        QTest::newRow("winter: one hour ahead") << "2024-01-14T22:59:59Z" << 10000.0 << 3600.0
                                                << QStringList{"14.1.2024", "10", "01:00", "10"} << "" << true;
        QTest::newRow("half a minute rounds up") << "2024-05-01T08:00:00Z" << 20005.0 << 3630.0
                                                 << QStringList{"1.5.2024", "20", "01:01", "19,67"} << "" << true;
        QTest::newRow("below half a minute rounds down") << "2024-05-01T08:00:00Z" << 20000.0 << 3629.9
                                                         << QStringList{"1.5.2024", "20", "01:00", "20"} << "" << true;
        QTest::newRow("km to two places") << "2024-05-01T08:00:00Z" << 12345.6 << 1800.0
                                          << QStringList{"1.5.2024", "12,35", "00:30", "24,7"} << "" << true;
        QTest::newRow("trainer: no distance") << "2024-02-01T17:00:00Z" << -1.0 << 2700.0
                                              << QStringList{"1.2.2024", "", "00:45", ""} << "bez vzdálenosti" << true;
        QTest::newRow("trainer: 0 m is no distance") << "2024-02-01T17:00:00Z" << 0.0 << 2700.0
                                                     << QStringList{"1.2.2024", "", "00:45", ""} << "bez vzdálenosti"
                                                     << true;
        QTest::newRow("23:59:30 is a day") << "2024-06-01T04:00:00Z" << 600000.0 << 86370.0
                                           << QStringList{"1.6.2024", "600", "", "25,01"}
                                           << "jízda delší než 23:59" << true;
        QTest::newRow("two days") << "2024-06-01T04:00:00Z" << 960000.0 << 172800.0
                                  << QStringList{"1.6.2024", "960", "", "20"} << "jízda delší než 23:59" << true;
        // Records of under a minute, or of a distance under 100 m.
        QTest::newRow("a few seconds: no average") << "2024-06-01T04:00:00Z" << 50.0 << 20.0
                                                   << QStringList{"1.6.2024", "0,05", "00:00", ""}
                                                   << "velmi krátký záznam" << false;
        QTest::newRow("55 s") << "2024-06-01T04:00:00Z" << 400.0 << 55.0
                              << QStringList{"1.6.2024", "0,4", "00:01", "24"} << "velmi krátký záznam" << false;
        QTest::newRow("no distance, 59.9 s") << "2024-06-01T04:00:00Z" << -1.0 << 59.9
                                             << QStringList{"1.6.2024", "", "00:01", ""}
                                             << "bez vzdálenosti, velmi krátký záznam" << false;
        QTest::newRow("99 m in an hour") << "2024-06-01T04:00:00Z" << 99.0 << 3600.0
                                         << QStringList{"1.6.2024", "0,1", "01:00", "0,1"} << "velmi krátký záznam"
                                         << false;
        QTest::newRow("4 m: 0 km") << "2024-06-01T04:00:00Z" << 4.0 << 3600.0
                                   << QStringList{"1.6.2024", "", "01:00", ""}
                                   << "bez vzdálenosti, velmi krátký záznam" << false;
        QTest::newRow("a minute and 100 m") << "2024-06-01T04:00:00Z" << 100.0 << 60.0
                                            << QStringList{"1.6.2024", "0,1", "00:01", "6"} << "" << true;
    }

    void cells()
    {
        QFETCH(QString, start);
        QFETCH(double, metres);
        QFETCH(double, seconds);
        QFETCH(QStringList, expected);
        QFETCH(QString, remarks);
        QFETCH(bool, ticked);
        const ImportRow r = row(start.toLatin1().constData(), metres < 0 ? std::nullopt : std::optional(metres),
                                seconds);
        QCOMPARE(QStringList({r.cells[RideColumn::Date], r.cells[RideColumn::Km], r.cells[RideColumn::Time],
                              r.cells[RideColumn::Average]}),
                 expected);
        QCOMPARE(r.remarkText(), remarks);
        QCOMPARE(r.cells.size(), int(RideColumn::Count));
        QVERIFY(r.cells[RideColumn::Course].isEmpty() && r.cells[RideColumn::Difficulty].isEmpty());
        QVERIFY(r.offered);
        QCOMPARE(r.ticked, ticked);
    }

    // The sports the apps write in GPX and TCX files, in Czech; a word not
    // known, readable.
    void sportNames_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("name");
        QTest::newRow("Strava's mountain bike ride") << "MountainBikeRide" << "";
        QTest::newRow("Garmin's gravel") << "gravel_cycling" << "";
        QTest::newRow("TCX") << "Biking" << "";
        QTest::newRow("Strava's paddling") << "StandUpPaddling" << "paddleboarding";
        QTest::newRow("FIT's paddling") << "stand_up_paddleboarding" << "paddleboarding";
        QTest::newRow("open water") << "open_water_swimming" << "plavání ve volné vodě";
        QTest::newRow("workout") << "Workout" << "cvičení";
        QTest::newRow("export: ride") << "Ride" << "";
        QTest::newRow("export: virtual ride, spaced") << "Virtual Ride" << "";
        QTest::newRow("export: e-bike ride") << "E-Bike Ride" << "";
        QTest::newRow("export: e-bike ride, joined") << "EBikeRide" << "";
        QTest::newRow("export: mountain bike ride") << "Mountain Bike Ride" << "";
        QTest::newRow("export: gravel ride") << "Gravel Ride" << "";
        QTest::newRow("export: handcycle") << "Handcycle" << "";
        QTest::newRow("export: velomobile") << "Velomobile" << "";
        QTest::newRow("export: Czech ride") << "Jízda na kole" << "";
        QTest::newRow("export: Czech virtual ride") << "Virtuální jízda" << "";
        QTest::newRow("export: Czech e-bike ride") << "Jízda na elektrokole" << "";
        QTest::newRow("export: Czech mountain bike ride") << "Jízda na horském kole" << "";
        QTest::newRow("export: German ride") << "Radfahrt" << "";
        QTest::newRow("export: French ride") << "Vélo" << "";
        QTest::newRow("export: run") << "Run" << "běh";
        QTest::newRow("export: walk") << "Walk" << "chůze";
        QTest::newRow("export: hike") << "Hike" << "turistika";
        QTest::newRow("export: swim") << "Swim" << "plavání";
        QTest::newRow("export: Czech run") << "Běh" << "běh";
        QTest::newRow("export: Czech walk") << "Chůze" << "chůze";
        QTest::newRow("export: Czech hike") << "Turistika" << "turistika";
        QTest::newRow("export: German hike") << "Wanderung" << "turistika";
        QTest::newRow("export: Spanish run") << "Carrera" << "běh";
        QTest::newRow("export: French walk") << "Marche" << "chůze";
        QTest::newRow("unknown, underscores") << " Underwater_Hockey " << "jiný sport (underwater hockey)";
        QTest::newRow("unknown, capitals") << "UnderwaterHockey" << "jiný sport (underwater hockey)";
        QTest::newRow("unknown, an abbreviation") << "SUP_Yoga" << "jiný sport (SUP yoga)";
    }

    void sportNames()
    {
        QFETCH(QString, word);
        QFETCH(QString, name);
        QCOMPARE(otherSportName(word), name);
    }

    // Another sport is offered unticked, with its name first.
    void otherSportIsUnticked()
    {
        RecordedRide run = ride("2024-06-01T04:00:00Z", 10000, 3000);
        run.otherSport = QStringLiteral("běh");
        run.remarks = {QString::fromUtf16(kRemarkBadChecksum)};
        const ImportRow r = rowsOf(QStringLiteral("t.fit"), {{run}, {}}, kPrague).constFirst();
        QVERIFY(r.offered && !r.ticked);
        QCOMPARE(r.remarkText(), QStringLiteral("běh, poškozený kontrolní součet"));
        const ImportRow problem = rowsOf(QStringLiteral("w.fit"), {{}, QStringLiteral("není to záznam aktivity")},
                                         kPrague).constFirst();
        QVERIFY(!problem.offered && !problem.ticked);
        QCOMPARE(problem.files, QStringList{QStringLiteral("w.fit")});
        QCOMPARE(problem.remarkText(), QStringLiteral("není to záznam aktivity"));
    }

    void alreadyLogged_data()
    {
        QTest::addColumn<QString>("loggedKm");
        QTest::addColumn<QString>("loggedTime");
        QTest::addColumn<double>("metres"); // negative: no distance
        QTest::addColumn<bool>("logged");
        QTest::newRow("same km") << "42,2" << "01:30" << 42200.0 << true;
        QTest::newRow("1 % more") << "100" << "" << 101000.0 << true;
        QTest::newRow("over 1 %") << "100" << "" << 101020.0 << false;
        QTest::newRow("0.1 km of a short ride") << "5" << "" << 5100.0 << true;
        QTest::newRow("over 0.1 km") << "5" << "" << 5120.0 << false;
        QTest::newRow("no km, same time") << "" << "01:30" << -1.0 << true;
        QTest::newRow("no km, time typed short") << "" << "1:30" << -1.0 << true;
        QTest::newRow("no km, another time") << "" << "01:31" << -1.0 << false;
        QTest::newRow("km against none") << "" << "01:30" << 42200.0 << false;
    }

    void alreadyLogged()
    {
        QFETCH(QString, loggedKm);
        QFETCH(QString, loggedTime);
        QFETCH(double, metres);
        QFETCH(bool, logged);
        StringTable log;
        setUpRideLogTable(log);
        appendRides(log, {{"14.7.2024", "", "", "30", "01:00", "", ""},
                          {"15.7.2024", "Okruh", "", loggedKm, loggedTime, "", "3"}});
        const ImportRow r = row("2024-07-14T22:30:00Z", metres < 0 ? std::nullopt : std::optional(metres), 5400);
        QCOMPARE(LoggedRides(log).contains(r.cells), logged);
    }

    // The same recording read from two files is one ride; two rides of a
    // day with the same km are two.
    void sameRideTwice_data()
    {
        QTest::addColumn<QString>("secondStart");
        QTest::addColumn<double>("secondMetres");
        QTest::addColumn<bool>("same");
        QTest::newRow("FIT and GPX of one ride") << "2024-07-14T08:00:03Z" << 30150.0 << true;
        QTest::newRow("back home in the evening") << "2024-07-14T16:00:00Z" << 30000.0 << false;
        QTest::newRow("another ride at once") << "2024-07-14T08:01:00Z" << 12000.0 << false;
    }

    void sameRideTwice()
    {
        QFETCH(QString, secondStart);
        QFETCH(double, secondMetres);
        QFETCH(bool, same);
        QCOMPARE(sameRide(row("2024-07-14T08:00:00Z", 30000, 3600),
                          row(secondStart.toLatin1().constData(), secondMetres, 3610)),
                 same);
    }

    // Rides by their start; the files that gave none after them.
    void order()
    {
        QList<ImportRow> rows;
        for (const char *start : {"2024-07-14T08:00:00Z", "2024-07-12T08:00:00Z", "", "2024-07-13T08:00:00Z"}) {
            ImportRow r = *start ? row(start, 1000, 60) : rowsOf("x.gpx", {{}, "?"}, kPrague).constFirst();
            rows.insert(insertionPlace(rows, r), r);
        }
        QStringList dates;
        for (const ImportRow &r : rows)
            dates.append(r.cells[RideColumn::Date]);
        QCOMPARE(dates, QStringList({"12.7.2024", "13.7.2024", "14.7.2024", ""}));
    }

    // Whatever is named, an answer comes at once.
    void filesThatAreNoRides_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "missing" << "soubor neexistuje";
        QTest::newRow("folder") << "folder" << "je to složka, ne soubor";
        QTest::newRow("FIFO") << "fifo" << "není to obyčejný soubor";
        QTest::newRow("0 bytes") << "empty" << "soubor je prázdný";
        QTest::newRow("a text") << "text" << "není to záznam jízdy (FIT, GPX ani TCX)";
        QTest::newRow("other XML") << "xml" << "není to záznam jízdy (FIT, GPX ani TCX)";
    }

    void filesThatAreNoRides()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ride.gpx"));
        const auto put = [&](const QByteArray &bytes) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        };
        if (kind == QLatin1String("folder"))
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ride.gpx")));
        else if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == QLatin1String("empty"))
            put({});
        else if (kind == QLatin1String("text"))
            put("Datum;Km\n1.5.2024;30\n");
        else if (kind == QLatin1String("xml"))
            put("<?xml version=\"1.0\"?><kml><Document/></kml>");
        const StopFlag stop{false};
        const FileRides found = readRideFile(path, kPrague, stop);
        QVERIFY(found.rides.isEmpty());
        QCOMPARE(found.problem, reason);
    }
};

QTEST_GUILESS_MAIN(TestImportRules)
#include "tst_importrules.moc"

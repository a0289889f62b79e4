// Bikes and parts without a window: "kola.ini" as written and read, the
// km worked out from a ride log, the reminders.
#include "BikeGarage.h"
#include "BikeMileage.h"
#include "IniFile.h"
#include "RideColumn.h"
#include "RideLogTable.h"
#include "StringTable.h"
#include "TestFiles.h"
#include "TestLocale.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace Bikes;

namespace {
// A ride log of rides (date, km, bike).
void fillLog(StringTable &log, const QList<std::tuple<QString, QString, QString>> &rides)
{
    setUpRideLogTable(log);
    addBikeColumn(log);
    log.setTableRowCount(int(rides.size()) + 1);
    for (int i = 0; i < rides.size(); ++i) {
        const auto &[date, km, bike] = rides.at(i);
        log.setCell(RideColumn::Date, i + 1, date);
        log.setCell(RideColumn::Km, i + 1, km);
        log.setCell(RideColumn::Bike, i + 1, bike);
    }
}

QDate d(int y, int m, int day)
{
    return QDate(y, m, day);
}

const QString nbsp = QStringLiteral("\u00a0");
} // namespace

class TestBikeGarage : public QObject
{
    Q_OBJECT
    TestLocale m_locale;
    QTemporaryDir m_dir;

    QString path() const { return m_dir.filePath(QStringLiteral("kola.ini")); }

private slots:
    void init() { QFile::remove(path()); }

    // What the window's changes write, byte for byte, around what the
    // rider's file held before.
    void changesKeepEveryOtherLine()
    {
        putFile(path(), "; moje kola\r\n[jine]\r\nklic=hodnota\r\n\r\n[kolo1]\r\nnazev=Trek\r\nbarva=modr\xe1\r\n");
        Garage g = Garage::read(path());
        QVERIFY2(g.problems().isEmpty(), qPrintable(g.problems().join(u'\n')));
        g.setWriter(writerThrough(nullptr, path()));
        Bike cube;
        cube.name = QStringLiteral("Cube Žluťák");
        cube.type = QStringLiteral("horské");
        cube.kmBefore = 1200.5;
        const QString section = g.addBike(cube).section;
        QCOMPARE(section, QStringLiteral("kolo2"));
        Part chain;
        chain.name = QStringLiteral("řetěz");
        chain.intervalKm = 3000;
        chain.events = {{d(2024, 5, 3), PartEvent::Mounted, section}};
        const QString part = g.addPart(chain).section;
        g.addEvent(part, {d(2024, 9, 1), PartEvent::Serviced, {}});
        g.addEvent(part, {d(2025, 1, 10), PartEvent::Moved, QStringLiteral("kolo1")});
        g.setDefault(section);

        QCOMPARE(fileBytes(path()),
                 QByteArray("; moje kola\r\n[jine]\r\nklic=hodnota\r\n\r\n[kolo1]\r\nnazev=Trek\r\nbarva=modr\xe1\r\n"
                            "[kolo2]\r\nnazev=Cube \x8elu\x9d\xe1k\r\ntyp=horsk\xe9\r\nnajeto_pred=1200,5\r\nvychozi=1\r\n"
                            "vyrazeno=0\r\n"
                            "[dil1]\r\nnazev=\xf8" "et\xec" "z\r\ninterval_km=3000\r\ninterval_mesice=\r\n"
                            "udalost1=2024-05-03;mont\xe1\x9e;kolo2\r\nudalost2=2024-09-01;servis\r\n"
                            "udalost3=2025-01-10;p\xf8" "esun;kolo1\r\n"));
        // Read again, the garage is the same.
        const Garage again = Garage::read(path());
        QCOMPARE(again.bikes().size(), 2);
        QCOMPARE(again.defaultBike()->name, cube.name);
        QCOMPARE(again.bikeNamed(u"cube žluťák")->kmBefore, 1200.5);
        QCOMPARE(again.parts().size(), 1);
        QCOMPARE(again.parts().constFirst().bike(), QStringLiteral("kolo1"));
        QCOMPARE(again.parts().constFirst().countFrom(), d(2024, 9, 1));
    }

    void absurdFiles_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("bikes");
        QTest::addColumn<int>("parts");
        QTest::addColumn<QString>("problem");
        const QByteArray bike = "[kolo1]\r\nnazev=Trek\r\n";
        QTest::newRow("negative km") << QByteArray("[kolo1]\r\nnazev=A\r\nnajeto_pred=-5\r\n") << 1 << 0
                                     << "najeto před deníkem „-5“ není počet km";
        QTest::newRow("1e300 km") << QByteArray("[kolo1]\r\nnazev=A\r\nnajeto_pred=1e300\r\n") << 1 << 0
                                  << "není počet km";
        QTest::newRow("year 0") << bike + "[dil1]\r\nnazev=x\r\nudalost1=0000-01-01;mont\xe1\x9e;kolo1\r\n" << 1 << 0
                                << "nemá datum montáže";
        QTest::newRow("year 99999") << bike + "[dil1]\r\nnazev=x\r\nudalost1=99999-01-01;mont\xe1\x9e;kolo1\r\n"
                                    << 1 << 0 << "nepoužitelné";
        QTest::newRow("events out of order")
            << bike + "[dil1]\r\nnazev=x\r\nudalost1=2024-05-01;mont\xe1\x9e;kolo1\r\nudalost2=2023-01-01;servis\r\n"
            << 1 << 1 << "nepoužitelné";
        QTest::newRow("part of no bike") << QByteArray("[dil1]\r\nnazev=x\r\nudalost1=2024-05-01;mont\xe1\x9e;kolo9\r\n")
                                         << 0 << 0 << "nepatří žádnému kolu";
        QTest::newRow("same name twice") << bike + "[kolo2]\r\nnazev=TREK\r\n" << 1 << 0 << "stejný název";
        QTest::newRow("unknown type") << QByteArray("[kolo1]\r\nnazev=A\r\ntyp=tandem\r\n") << 1 << 0 << "neznámý typ";
        QTest::newRow("huge interval") << bike + "[dil1]\r\nnazev=x\r\ninterval_mesice=99999999999\r\n"
                                              "udalost1=2024-05-01;mont\xe1\x9e;kolo1\r\n"
                                       << 1 << 1 << "není počet měsíců";
    }
    void absurdFiles()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, bikes);
        QFETCH(int, parts);
        QFETCH(QString, problem);
        putFile(path(), file);
        const Garage g = Garage::read(path());
        QCOMPARE(g.bikes().size(), bikes);
        QCOMPARE(g.parts().size(), parts);
        QVERIFY2(g.problems().join(u'\n').contains(problem), qPrintable(g.problems().join(u'\n')));
        for (const Bike &b : g.bikes())
            QVERIFY(b.kmBefore >= 0 && b.kmBefore <= Garage::kMaxKm);
    }

    // More parts than the program takes: the rest stays in the file, and
    // a change writes only its own section.
    void partsBeyondTheBound()
    {
        QByteArray file = "[kolo1]\r\nnazev=A\r\n";
        for (int i = 1; i <= Garage::kMaxParts + 3; ++i)
            file += "[dil" + QByteArray::number(i) + "]\r\nnazev=x\r\nudalost1=2024-05-01;mont\xe1\x9e;kolo1\r\n";
        putFile(path(), file);
        Garage g = Garage::read(path());
        QCOMPARE(g.parts().size(), Garage::kMaxParts);
        QVERIFY(g.problems().join(u'\n').contains(QStringLiteral("dalších 3 dílů")));
        g.setWriter(writerThrough(nullptr, path()));
        Part p;
        p.name = QStringLiteral("kazeta");
        p.events = {{d(2025, 1, 1), PartEvent::Mounted, QStringLiteral("kolo1")}};
        QCOMPARE(g.addPart(p).section, QStringLiteral("dil%1").arg(Garage::kMaxParts + 4));
        QVERIFY(fileBytes(path()).startsWith(file));
    }

    void bikeNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("problem");
        QTest::newRow("ok") << "Specialized Diverge" << "";
        QTest::newRow("own name, other case") << "TREK" << "";
        QTest::newRow("empty") << "" << "musí mít název";
        QTest::newRow("blanks") << "   " << "musí mít název";
        QTest::newRow("leading blank") << " Cube" << "mezerou";
        QTest::newRow("line break") << "Cu\nbe" << "konec řádku";
        QTest::newRow("not Windows-1250") << "Kolo ✓" << "Windows-1250";
        QTest::newRow("another bike, other case") << "cube" << "už v seznamu je";
        QTest::newRow("too long") << QString(61, u'a') << "nejvýš 60";
    }
    void bikeNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, problem);
        putFile(path(), "[kolo1]\r\nnazev=Trek\r\n[kolo2]\r\nnazev=Cube\r\n");
        const Garage g = Garage::read(path());
        const QString said = g.bikeNameProblem(name, QStringLiteral("kolo1"));
        QVERIFY2(problem.isEmpty() ? said.isEmpty() : said.contains(problem), qPrintable(said));
    }

    // A part's km follow the rides of the bikes it was on, on the days it
    // was there; a bike's figures are its rides'.
    void kmFromTheLog()
    {
        putFile(path(), "[kolo1]\r\nnazev=Trek\r\n[kolo2]\r\nnazev=Cube\r\n"
                        "[dil1]\r\nnazev=\xf8" "et\xec" "z\r\ninterval_km=300\r\n"
                        "udalost1=2024-05-03;mont\xe1\x9e;kolo1\r\nudalost2=2024-06-01;servis\r\n"
                        "udalost3=2024-07-01;p\xf8" "esun;kolo2\r\nudalost4=2024-08-01;v\xfdm\xecna\r\n");
        const Garage g = Garage::read(path());
        StringTable log;
        fillLog(log, {{"3.5.2024", "10", "Trek"},    // the day of the mounting counts
                      {"31.5.2024", "20", "trek"},   // any letter case
                      {"1.6.2024", "40", "Trek"},    // the day of the service starts the new count
                      {"30.6.2024", "80,5", "Trek"},
                      {"1.7.2024", "160", "Trek"},   // moved away that day
                      {"15.7.2024", "320", "Cube"},
                      {"1.8.2024", "640", "Cube"},   // replaced that day
                      {"neplatné", "5", "Trek"},     // no date: the bike's, no part's
                      {"1.6.2024", "7", ""},
                      {"2.5.2024", "1000", "Trek"},  // out of order, before the mounting
                      {"", "", "Trek"}});            // a new ride not filled in yet: no ride
        const Mileage m(log);
        QCOMPARE(m.figures(u"TREK").rides, 7);
        QCOMPARE(m.figures(u"Trek").km, 1315.5);
        QCOMPARE(m.figures(u"Trek").lastRide, d(2024, 7, 1));
        QCOMPARE(m.withoutBike().km, 7.0);
        QCOMPARE(m.namesInRides(), QStringList({"Trek", "Cube"}));
        const PartStatus s = statusOf(g.parts().constFirst(), m, g, d(2024, 9, 1));
        QCOMPARE(s.total, 10 + 20 + 40 + 80.5 + 320);
        QCOMPARE(s.sinceService, 40 + 80.5 + 320);
        QCOMPARE(s.text, QStringLiteral("vyměněno 1.8.2024"));
        const QStringList history = historyOf(g.parts().constFirst(), m, g);
        QCOMPARE(history.value(1), QStringLiteral("1.6.2024 servis (od předchozího 30 km)"));
        QCOMPARE(history.value(2), QStringLiteral("1.7.2024 přesunuto na kolo Cube (na kole Trek najeto 151 km)"));
        QCOMPARE(history.constLast(), QStringLiteral("Celkem najeto 471 km"));
    }

    void reminders_data()
    {
        QTest::addColumn<QString>("km");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("reminder");
        const QDate summer = d(2024, 7, 1);
        QTest::newRow("far from the interval") << "2690" << "interval_km=3000" << summer << "";
        QTest::newRow("within 10 %") << "2700" << "interval_km=3000" << summer
                                     << "Servis: řetěz (Trek) 2" + nbsp + "700 / 3" + nbsp + "000 km";
        QTest::newRow("past it") << "3020" << "interval_km=3000" << summer
                                 << "Servis: řetěz (Trek) 3" + nbsp + "020 / 3" + nbsp + "000 km";
        QTest::newRow("months: not yet") << "10" << "interval_mesice=12" << d(2025, 3, 1) << "";
        QTest::newRow("months: within 10 %") << "10" << "interval_mesice=12" << d(2025, 4, 25)
                                             << "Servis: řetěz (Trek) za 8 dní";
        QTest::newRow("months: past") << "10" << "interval_mesice=12" << d(2025, 9, 3)
                                      << "Servis: řetěz (Trek) po termínu 4 měsíce";
        QTest::newRow("no interval") << "99999" << "" << summer << "";
    }
    void reminders()
    {
        QFETCH(QString, km);
        QFETCH(QString, interval);
        QFETCH(QDate, today);
        QFETCH(QString, reminder);
        putFile(path(), "[kolo1]\r\nnazev=Trek\r\n[dil1]\r\nnazev=\xf8" "et\xec" "z\r\n" + interval.toLatin1()
                            + "\r\nudalost1=2024-05-03;mont\xe1\x9e;kolo1\r\n");
        const Garage g = Garage::read(path());
        StringTable log;
        fillLog(log, {{"4.5.2024", km, "Trek"}});
        const QList<Reminder> due = Bikes::reminders(g, Mileage(log), today);
        QCOMPARE(due.isEmpty() ? QString() : due.constFirst().text, reminder);
    }
};

QTEST_GUILESS_MAIN(TestBikeGarage)
#include "tst_bikegarage.moc"

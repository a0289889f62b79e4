// The filter's rules on a small log: each criterion alone and together,
// the text folded without diacritics, the narrowing that lets typing look
// only at the rides shown; the yearly goal's keys read back.
#include "IniFile.h"
#include "RideFilter.h"
#include "StringTable.h"
#include "TestFiles.h"
#include "TestLocale.h"
#include "TableFile.h"
#include "RideLogFile.h"
#include "YearlyGoal.h"

#include <QTemporaryDir>
#include <QtTest>

using RideFilter::Criteria;
Q_DECLARE_METATYPE(Criteria)

class TestRideFilter : public QObject
{
    Q_OBJECT
    TestLocale m_locale;

private slots:
    void matching_data()
    {
        QTest::addColumn<Criteria>("criteria");
        QTest::addColumn<QList<int>>("rows");
        const auto text = [](const QString &t) { Criteria c; c.text = t; return c; };
        Criteria bike;
        bike.bike = QStringLiteral("TREK");
        Criteria noBike;
        noBike.bike = QString(QLatin1String(""));
        Criteria km;
        km.minKm = 20;
        km.maxKm = 40;
        Criteria period;
        period.from = QDate(2025, 1, 1);
        Criteria together = text(QStringLiteral("brno"));
        together.difficulty = 3;
        together.until = QDate(2024, 12, 31);
        QTest::newRow("nothing asked") << Criteria() << QList<int>{1, 2, 3, 4, 5};
        QTest::newRow("folded, in the course") << text(QStringLiteral("zdar")) << QList<int>{2, 4};
        QTest::newRow("diacritics typed") << text(QStringLiteral("ŽĎÁR")) << QList<int>{2, 4};
        QTest::newRow("a bike in any letter case") << bike << QList<int>{1, 3};
        QTest::newRow("no bike") << noBike << QList<int>{2, 4, 5};
        QTest::newRow("km, a text that is no number fails") << km << QList<int>{1, 3};
        QTest::newRow("period, a date that is no date fails") << period << QList<int>{3, 4};
        QTest::newRow("together") << together << QList<int>{1, 2};
    }
    void matching()
    {
        QFETCH(Criteria, criteria);
        QFETCH(QList<int>, rows);
        StringTable log;
        TableFile::read(log, rideLogFile({
            {"1.5.2024", "Brno", "", "20", "", "", "3", "Trek"},
            {"2.5.2024", "Žďár", "Brno - Žďár", "120", "", "", "3", ""},
            {"3.1.2025", "Okruh", "", "40", "", "", "3", "trek"},
            {"4.1.2025", "Zdar", "", "cca 30", "", "", "2", ""},
            {"kdysi", "Brno", "", "30,5x", "", "", "1", ""},
        }));
        const std::vector<int> found = RideFilter::matchingRows(log, criteria);
        QCOMPARE(QList<int>(found.begin(), found.end()), rows);
        // Looking only among the rides found gives the same.
        const std::vector<int> again = RideFilter::matchingRows(log, criteria, &found);
        QCOMPARE(again, found);
    }

    void narrowing_data()
    {
        QTest::addColumn<QString>("wider");
        QTest::addColumn<QString>("narrower");
        QTest::addColumn<bool>("narrows");
        QTest::newRow("a letter typed") << "tis" << "tisn" << true;
        QTest::newRow("a letter at the start, with a diacritic") << "isnov" << "Tišnov" << true;
        QTest::newRow("a letter taken back") << "tisn" << "tis" << false;
        QTest::newRow("another text") << "tis" << "tas" << false;
    }
    void narrowing()
    {
        QFETCH(QString, wider);
        QFETCH(QString, narrower);
        QFETCH(bool, narrows);
        Criteria w, n;
        w.text = wider;
        n.text = narrower;
        QCOMPARE(RideFilter::narrows(n, w), narrows);
        n.difficulty = 2;
        QVERIFY(!RideFilter::narrows(n, w));
    }

    // Only years with a positive number of km are goals; writing one year
    // keeps the others and the rest of the file.
    void goalsInStore()
    {
        QTemporaryDir dir;
        const QString store = dir.filePath(QStringLiteral("store.ini"));
        putFile(store, "[TForm1]\r\nTop=5\r\n[RocniCil]\r\n2024=3000\r\n2025=-5\r\nrok=100\r\n2026=1e400\r\n");
        QCOMPARE(YearlyGoal::read(store), (std::map<int, double>{{2024, 3000}}));
        YearlyGoal::write(store, 2026, 5000.5);
        QCOMPARE(YearlyGoal::read(store), (std::map<int, double>{{2024, 3000}, {2026, 5000.5}}));
        YearlyGoal::write(store, 2024, 0);
        QCOMPARE(fileBytes(store), QByteArray("[TForm1]\r\nTop=5\r\n[RocniCil]\r\n2026=5000,5\r\n"));
    }
};

QTEST_MAIN(TestRideFilter)
#include "tst_ridefilter.moc"

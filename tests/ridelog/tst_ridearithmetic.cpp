#include "RideArithmetic.h"
#include "StringTable.h"

#include "DecimalSums.h"
#include "TestLocale.h"

#include <QtTest>

// The arithmetic on ride texts: Qt Core only, no window.
class TestRideArithmetic : public QObject
{
    Q_OBJECT
    TestLocale m_locale;

private slots:
    void distance_data()
    {
        QTest::addColumn<QString>("average");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("expected"); // "-" means the computation fails
        QTest::newRow("25 km/h for 1:30") << "25" << "01:30" << "37,5";
        QTest::newRow("empty time gives 0") << "25" << "  :  " << "0";
        QTest::newRow("invalid time gives 0") << "25" << "25:00" << "0";
        QTest::newRow("rounded to cents") << "22,2" << "01:55" << "42,55";
        QTest::newRow("average with blanks and sign") << " +20 " << "00:45" << "15";
        QTest::newRow("average not a number") << "abc" << "01:00" << "-";
        QTest::newRow("average empty") << "" << "01:00" << "-";
        QTest::newRow("dot is no separator in Czech") << "2.5" << "01:00" << "-";
        QTest::newRow("product beyond the doubles") << "1E307" << "23:00" << "-";
    }
    void distance()
    {
        QFETCH(QString, average);
        QFETCH(QString, time);
        QFETCH(QString, expected);
        const auto km = RideArithmetic::distance(average, time);
        QCOMPARE(km.value_or(QStringLiteral("-")), expected);
    }

    void time_data()
    {
        QTest::addColumn<QString>("km");
        QTest::addColumn<QString>("average");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<qint64>("hours");
        QTest::newRow("30 km at 20") << "30" << "20" << "01:30" << qint64(1);
        QTest::newRow("half an hour") << "10" << "20" << "00:30" << qint64(0);
        QTest::newRow("1 h 5 min") << "65" << "60" << "01:05" << qint64(1);
        // 0.999 h = 59.94 min: the minutes round up to 60 and are not carried.
        QTest::newRow("minutes round to 60") << "0,999" << "1" << "00:60" << qint64(0);
        QTest::newRow("a day and more") << "250" << "10" << "25:00" << qint64(25);
        QTest::newRow("hundred hours keep two places") << "1234" << "10" << "23:24" << qint64(123);
        // 2.5 minutes... 1/24 h = 2.5 min rounds half to even: 2.
        QTest::newRow("minutes tie to even") << "1" << "24" << "00:02" << qint64(0);
        QTest::newRow("average 0") << "30" << "0" << "-" << qint64(0);
        QTest::newRow("km not a number") << "x" << "20" << "-" << qint64(0);
        QTest::newRow("average not a number") << "30" << "" << "-" << qint64(0);
        QTest::newRow("quotient too large") << "1E300" << "1E-300" << "-" << qint64(0);
    }
    void time()
    {
        QFETCH(QString, km);
        QFETCH(QString, average);
        QFETCH(QString, expected);
        QFETCH(qint64, hours);
        const auto t = RideArithmetic::time(km, average);
        QCOMPARE(t ? t->text : QStringLiteral("-"), expected);
        if (t)
            QCOMPARE(t->hours, hours);
    }

    void average_data()
    {
        QTest::addColumn<QString>("km");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("expected");
        QTest::newRow("42,5 km in 1:55") << "42,5" << "01:55" << "22,17";
        QTest::newRow("12 km in 0:40") << "12" << "00:40" << "18";
        QTest::newRow("blank-padded time") << "15" << " 1:30" << "10";
        QTest::newRow("zero time") << "12" << "00:00" << "-";
        QTest::newRow("empty time") << "12" << "  :  " << "-";
        QTest::newRow("invalid time") << "12" << "12:75" << "-";
        QTest::newRow("km not a number") << "dvanáct" << "00:40" << "-";
        QTest::newRow("quotient beyond the doubles") << "1E308" << "00:01" << "-";
    }
    void average()
    {
        QFETCH(QString, km);
        QFETCH(QString, time);
        QFETCH(QString, expected);
        QCOMPARE(RideArithmetic::average(km, time).value_or(QStringLiteral("-")), expected);
    }

    void totals_data()
    {
        QTest::addColumn<QList<QStringList>>("rides"); // km, time, average
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("km");
        QTest::addColumn<QString>("average");
        QTest::newRow("empty log") << QList<QStringList>{{"", "", ""}} << "0000:00" << "" << "";
        QTest::newRow("45 and 30 minutes")
            << QList<QStringList>{{"10", "00:45", "13,34"}, {"5", "00:30", "10"}} << "0001:15" << "15"
            << "11,67";
        // 11.665 lies just below the tie in binary: it rounds down.
        QTest::newRow("mean just below a tie")
            << QList<QStringList>{{"1", "00:01", "13,33"}, {"1", "00:01", "10"}} << "0000:02" << "2" << "11,66";
        QTest::newRow("mean of the rides' own averages")
            << QList<QStringList>{{"42,5", "01:55", "22,2"}, {"12", "00:40", "18"}} << "0002:35" << "54,5"
            << "20,1";
        QTest::newRow("km that is not a number counts 0")
            << QList<QStringList>{{"abc", "01:00", "20"}, {"7,25", "00:20", "21"}} << "0001:20" << "7,25"
            << "20,5";
        QTest::newRow("average that is not a number is left out")
            << QList<QStringList>{{"10", "00:30", "x"}, {"10", "00:30", "20"}} << "0001:00" << "20" << "20";
        QTest::newRow("averages but no numeric km: km is 0")
            << QList<QStringList>{{"", "00:30", "20"}, {"x", "", ""}} << "0000:30" << "0" << "20";
        QTest::newRow("no ride has an average: km still summed")
            << QList<QStringList>{{"10", "00:30", ""}, {"2,5", "", ""}} << "0000:30" << "12,5" << "";
        QTest::newRow("invalid and empty times count 0")
            << QList<QStringList>{{"1", "  :  ", "1"}, {"1", "99:99", "1"}, {"1", "1:5", "1"}} << "0001:05"
            << "3" << "1";
        QTest::newRow("sums beyond the doubles show nothing")
            << QList<QStringList>{{"1E308", "01:00", "1E308"}, {"1E308", "", "1E308"}} << "0001:00" << "" << "";
    }
    void totals()
    {
        QFETCH(QList<QStringList>, rides);
        QFETCH(QString, time);
        QFETCH(QString, km);
        QFETCH(QString, average);
        StringTable log;
        log.setTableColumnCount(7);
        log.setTableRowCount(int(rides.size()) + 1);
        for (int r = 0; r < rides.size(); ++r) {
            log.setCell(3, r + 1, rides[r][0]);
            log.setCell(4, r + 1, rides[r][1]);
            log.setCell(5, r + 1, rides[r][2]);
        }
        const auto t = RideArithmetic::totals(log);
        QCOMPARE(t.time, time);
        QCOMPARE(t.km, km);
        QCOMPARE(t.average, average);
    }

    // Sums of minutes that are not exact in binary must still show whole
    // hours, never "…:60".
    void totalsCarryRoundedMinutes()
    {
        StringTable log;
        log.setTableColumnCount(7);
        for (int rides : {3, 6, 7, 9, 12, 30, 60}) {
            log.setTableRowCount(rides + 1);
            for (int r = 1; r <= rides; ++r)
                log.setCell(4, r, QString::asprintf("00:%02d", 60 / rides));
            const int minutes = rides * (60 / rides);
            const QString expected = QString::asprintf("%04d:%02d", minutes / 60, minutes % 60);
            QCOMPARE(RideArithmetic::totals(log).time, expected);
        }
    }

    void totalsOfManyHoursKeepAllDigits()
    {
        StringTable log;
        log.setTableColumnCount(7);
        const int rides = 10001 / 23 + 1; // 23 hours each: over 10,000 hours
        log.setTableRowCount(rides + 1);
        for (int r = 1; r <= rides; ++r)
            log.setCell(4, r, QStringLiteral("23:00"));
        QCOMPARE(RideArithmetic::totals(log).time, QString::number(rides * 23) + QStringLiteral(":00"));
    }

    void totalKm_data()
    {
        QTest::addColumn<QStringList>("km");
        QTest::addColumn<QString>("exact");
        const QList<QPair<const char *, QStringList>> cases = {
            {"3,000 rides of two decimals", rides(3000)},
            {"decimals of every length and form",
             {"0,1", "0,02", "0,003", "1E1", "2,5e-1", " +7 ", "-0,1", "0010,50", "0,0000001"}},
            {"more decimals than the exact sum carries", {"0,1234567890123456789", "1"}},
            {"past the exact range", QStringList(3000, QStringLiteral("1E35"))},
            {"mixed with a huge one", {"9E30", "1,5", "1,5E300"}},
            {"a big log of long rides", QStringList(20000, QStringLiteral("99999999,99"))},
        };
        QList<QStringList> lists;
        for (const auto &c : cases)
            lists << c.second;
        const QStringList sums = decimalSums(lists);
        QCOMPARE(sums.size(), cases.size());
        for (int i = 0; i < cases.size(); ++i)
            QTest::newRow(cases[i].first) << cases[i].second << sums[i];
    }
    void totalKm()
    {
        QFETCH(QStringList, km);
        QFETCH(QString, exact);
        StringTable grid;
        grid.setTableColumnCount(7);
        grid.setTableRowCount(int(km.size()) + 1);
        for (int r = 0; r < km.size(); ++r)
            grid.setCell(3, r + 1, km[r]);
        QCOMPARE(RideArithmetic::totals(grid).km, exact);
    }
};

QTEST_GUILESS_MAIN(TestRideArithmetic)

#include "tst_ridearithmetic.moc"

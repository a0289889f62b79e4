#include "RideRows.h"

#include <QtTest>

// Rides added at the end of the log (an import): a new log's only row,
// still without a date, is filled first.
class TestRideLogTable : public QObject
{
    Q_OBJECT
private slots:
    void appendRides_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<int>("row");
        QTest::newRow("none") << QStringList{"A"} << QStringList() << QStringList{"A"} << -1;
        QTest::newRow("none to a new log") << QStringList{""} << QStringList() << QStringList{""} << -1;
        QTest::newRow("a new log's empty row first") << QStringList{""} << QStringList{"X", "Y"}
                                                     << QStringList{"X", "Y"} << 2;
        QTest::newRow("after the rides") << QStringList{"A"} << QStringList{"X"} << QStringList{"A", "X"} << 2;
        QTest::newRow("an empty row among rides stays") << QStringList{"A", ""} << QStringList{"X"}
                                                        << QStringList{"A", "", "X"} << 3;
    }
    void appendRides()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, added);
        QFETCH(QStringList, after);
        QFETCH(int, row);
        StringTable log;
        fillRideLog(log, before);
        QList<QStringList> rides;
        for (const QString &name : added)
            rides.append({"2.5.2025", name, QString(), "10"});
        QCOMPARE(::appendRides(log, rides), row);
        QCOMPARE(rideNames(log), after);
        QCOMPARE(log.tableColumnCount(), 7);
        if (row > 0)
            QCOMPARE(log.cell(3, row), u"10"_qs);
        QCOMPARE(isNewRideLog(log), after == QStringList{""});
    }
};

QTEST_GUILESS_MAIN(TestRideLogTable)
#include "tst_ridelogtable.moc"

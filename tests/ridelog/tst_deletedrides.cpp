#include "DeletedRides.h"
#include "RideRows.h"

#include <QtTest>

// Deleted rides come back into the row they were deleted from, the last
// deleted first, whatever the log has become since.
class TestDeletedRides : public QObject
{
    Q_OBJECT
private slots:
    void restoreLast_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<int>("deletedRow");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<int>("row");
        QTest::newRow("into its row, the rest moving down") << QStringList{"A", "B", "C"} << 2
                                                            << QStringList{"A", "X", "B", "C"} << 2;
        QTest::newRow("just after the last ride") << QStringList{"A", "B"} << 3 << QStringList{"A", "B", "X"} << 3;
        QTest::newRow("the log is shorter now") << QStringList{"A"} << 5 << QStringList{"A", "X"} << 2;
        QTest::newRow("never into the heading row") << QStringList{"A"} << 0 << QStringList{"X", "A"} << 1;
        QTest::newRow("the only row, empty, is filled") << QStringList{""} << 3 << QStringList{"X"} << 1;
        QTest::newRow("the only row with a ride stays") << QStringList{"A"} << 1 << QStringList{"X", "A"} << 1;
        QTest::newRow("one empty row of two stays") << QStringList{"", ""} << 2 << QStringList{"", "X", ""} << 2;
    }
    void restoreLast()
    {
        QFETCH(QStringList, before);
        QFETCH(int, deletedRow);
        QFETCH(QStringList, after);
        QFETCH(int, row);
        StringTable log;
        fillRideLog(log, before);
        DeletedRides deleted;
        const QStringList ride = {"9.9.2025", "X", "Brno - Tišnov", "25,5", "1:10", "21,86", "4"};
        deleted.push(deletedRow, ride);
        QCOMPARE(deleted.restoreLast(log), row);
        QCOMPARE(rideNames(log), after);
        for (int col = 0; col < ride.size(); ++col)
            QCOMPARE(log.cell(col, row), ride[col]);
        QVERIFY(deleted.isEmpty());
    }

    // An empty row is no ride: nothing to bring back, the log untouched.
    void emptyRowsAreNotKept()
    {
        StringTable log;
        fillRideLog(log, {"A", "B"});
        DeletedRides deleted;
        deleted.push(1, QStringList(7, QString()));
        QVERIFY(deleted.isEmpty());
        QCOMPARE(deleted.restoreLast(log), -1);
        QCOMPARE(rideNames(log), (QStringList{"A", "B"}));
    }
};

QTEST_GUILESS_MAIN(TestDeletedRides)
#include "tst_deletedrides.moc"

// Tests of TimeText: ride times as "h:mm" texts in the time editor's mask.

#include "TimeText.h"

#include "DoubleBits.h"

#include <QtTest>

class TestTimeText : public QObject
{
    Q_OBJECT

private slots:
    void parseTime_data();
    void parseTime();
    void placeIntoMask_data();
    void placeIntoMask();
    void zeroFilled();
    void timeTextToHours_data();
    void timeTextToHours();
};

void TestTimeText::parseTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("hours");
    QTest::addColumn<int>("minutes");

    QTest::newRow("zero padded") << "01:55" << true << 1 << 55;
    QTest::newRow("blank padded") << " 1:30" << true << 1 << 30;
    QTest::newRow("last minute") << "23:59" << true << 23 << 59;
    QTest::newRow("single digits") << "0:0" << true << 0 << 0;
    QTest::newRow("minutes blank padded") << "12: 5" << true << 12 << 5;
    QTest::newRow("blanks after") << "1 :30 " << true << 1 << 30;
    QTest::newRow("with seconds") << "1:30:15" << true << 1 << 30;
    QTest::newRow("midnight") << "00:00" << true << 0 << 0;

    QTest::newRow("24 hours") << "24:00" << false << 0 << 0;
    QTest::newRow("60 minutes") << "12:60" << false << 0 << 0;
    QTest::newRow("minutes missing") << " 1:  " << false << 0 << 0;
    QTest::newRow("hours missing") << "  :30" << false << 0 << 0;
    QTest::newRow("empty mask") << "  :  " << false << 0 << 0;
    QTest::newRow("empty") << "" << false << 0 << 0;
    QTest::newRow("letters") << "ab:cd" << false << 0 << 0;
    QTest::newRow("no colon") << "130" << false << 0 << 0;
    QTest::newRow("negative") << "-1:30" << false << 0 << 0;
    QTest::newRow("60 seconds") << "1:30:60" << false << 0 << 0;
    QTest::newRow("empty seconds") << "1:30:" << false << 0 << 0;
    QTest::newRow("blank inside number") << "1 2:30" << false << 0 << 0;
    QTest::newRow("decimal hours") << "1,5:00" << false << 0 << 0;
}

void TestTimeText::parseTime()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, hours);
    QFETCH(int, minutes);
    const auto c = TimeText::parse(text);
    QCOMPARE(c.has_value(), valid);
    QCOMPARE(TimeText::isValid(text), valid);
    if (valid) {
        QCOMPARE(c->hours, hours);
        QCOMPARE(c->minutes, minutes);
    }
}

void TestTimeText::placeIntoMask_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("hourPlaces");
    QTest::addColumn<QString>("masked");

    QTest::newRow("pads hours") << "1:30" << 2 << " 1:30";
    QTest::newRow("pads both") << "1:5" << 2 << " 1: 5";
    QTest::newRow("keeps last two hour places") << "123:5" << 2 << "23: 5";
    QTest::newRow("keeps last two minute places") << "1:605" << 2 << " 1:05";
    QTest::newRow("sixty minutes") << "0:60" << 2 << " 0:60";
    QTest::newRow("already full") << "01:55" << 2 << "01:55";
    QTest::newRow("four hour places") << "12:5" << 4 << "  12: 5";
    QTest::newRow("four, long hours") << "123456:7" << 4 << "3456: 7";
    QTest::newRow("four, zero") << "0:0" << 4 << "   0: 0";
    QTest::newRow("no colon fills hours") << "7" << 2 << " 7:  ";
    QTest::newRow("empty") << "" << 2 << "  :  ";
}

void TestTimeText::placeIntoMask()
{
    QFETCH(QString, text);
    QFETCH(int, hourPlaces);
    QFETCH(QString, masked);
    QCOMPARE(TimeText::placeIntoMask(text, hourPlaces), masked);
}

void TestTimeText::zeroFilled()
{
    QCOMPARE(TimeText::zeroFilled(QStringLiteral(" 1: 5")), QStringLiteral("01:05"));
    QCOMPARE(TimeText::zeroFilled(QStringLiteral("  12: 5")), QStringLiteral("0012:05"));
    QCOMPARE(TimeText::zeroFilled(TimeText::kEmpty), QStringLiteral("00:00"));
}

void TestTimeText::timeTextToHours_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("hours");

    QTest::newRow("hour and a half") << "01:30" << 1.5;
    QTest::newRow("blank padded") << " 0:45" << 0.75;
    QTest::newRow("twenty minutes") << "02:20" << 2.0 + 20.0 / 60.0;
    QTest::newRow("seconds ignored") << "1:30:59" << 1.5;
    QTest::newRow("empty mask") << "  :  " << 0.0;
    QTest::newRow("invalid") << "24:00" << 0.0;
    QTest::newRow("junk") << "ab:cd" << 0.0;
}

void TestTimeText::timeTextToHours()
{
    QFETCH(QString, text);
    QFETCH(double, hours);
    QCOMPARE(bits(TimeTextToHours(text)), bits(hours));
}

QTEST_GUILESS_MAIN(TestTimeText)
#include "tst_timetext.moc"

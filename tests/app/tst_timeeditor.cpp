#include "MaskedTimeEdit.h"

#include <QApplication>
#include <QtTest>

// The time editor on its own: typing, editing keys, a cell's time placed
// into the mask.
class TestTimeEditor : public QObject
{
    Q_OBJECT
private slots:
    void typing_data()
    {
        QTest::addColumn<int>("places");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("expected");
        QTest::newRow("four digits") << 2 << "0130" << "01:30";
        QTest::newRow("colon right-aligns the hours") << 2 << "1:30" << " 1:30";
        QTest::newRow("hours only") << 2 << "12" << "12:  ";
        QTest::newRow("letters ignored") << 2 << "1a2:b3" << "12:3 ";
        QTest::newRow("too many digits stop at the end") << 2 << "123456" << "12:34";
        QTest::newRow("four hour places") << 4 << "12:5" << "  12:5 ";
    }
    void typing()
    {
        QFETCH(int, places);
        QFETCH(QString, keys);
        QFETCH(QString, expected);
        MaskedTimeEdit e(places);
        e.show();
        e.setCursorPosition(0);
        QTest::keyClicks(&e, keys);
        QCOMPARE(e.timeText(), expected);
        QString shown = expected;
        shown.replace(u' ', u'_');
        QCOMPARE(e.text(), shown);
    }

    void editingKeys()
    {
        MaskedTimeEdit e(2);
        e.show();
        e.setTimeText(QStringLiteral("12:34"));
        e.setCursorPosition(5);
        QTest::keyClick(&e, Qt::Key_Backspace);
        QCOMPARE(e.timeText(), QStringLiteral("12:3 "));
        e.setCursorPosition(3);
        QTest::keyClick(&e, Qt::Key_Backspace); // skips the separator
        QCOMPARE(e.timeText(), QStringLiteral("1 :3 "));
        e.setCursorPosition(0);
        QTest::keyClick(&e, Qt::Key_Delete);
        QCOMPARE(e.timeText(), QStringLiteral("  :3 "));
        e.selectAll();
        QTest::keyClick(&e, Qt::Key_Delete);
        QCOMPARE(e.timeText(), e.emptyText());
    }

    void placing_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("expected");
        QTest::newRow("short hour padded") << "1:30" << " 1:30";
        QTest::newRow("full") << "01:55" << "01:55";
        QTest::newRow("blank minute place") << "1:5" << " 1: 5";
        QTest::newRow("long hour cut") << "123:45" << "23:45";
        QTest::newRow("junk becomes blanks") << "ab:cd" << "  :  ";
        QTest::newRow("empty") << "" << "  :  ";
    }
    void placing()
    {
        QFETCH(QString, cell);
        QFETCH(QString, expected);
        MaskedTimeEdit e(2);
        e.setTimeText(cell);
        QCOMPARE(e.timeText(), expected);
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestTimeEditor t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_timeeditor.moc"

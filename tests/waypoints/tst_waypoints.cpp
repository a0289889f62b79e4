#include "AppError.h"
#include "Messages.h"
#include "StringTable.h"
#include "TestFiles.h"
#include "TestLocale.h"
#include "WaypointList.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
// A waypoint list as the editor keeps it: one column, no fixed cells.
struct List
{
    StringTable grid;
    List(const QStringList &names = {})
    {
        grid.setHeadingRows(0);
        grid.setHeadingColumns(0);
        grid.setTableColumnCount(1);
        grid.setTableRowCount(int(qMax<qsizetype>(1, names.size())));
        grid.setColumnTexts(0, names);
    }
    QStringList names() const { return grid.columnTexts(0); }
};
} // namespace

class TestWaypoints : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    TestLocale m_locale;

private slots:
    void fileReading_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("CR LF") << QByteArray("Brno\r\nTi\x9anov\r\n") << QStringList{u"Brno"_qs, u"Tišnov"_qs};
        QTest::newRow("no final line end") << QByteArray("Brno\r\nTi\x9anov") << QStringList{u"Brno"_qs, u"Tišnov"_qs};
        QTest::newRow("LF and CR") << QByteArray("a\nb\rc\r\n") << QStringList{u"a"_qs, u"b"_qs, u"c"_qs};
        QTest::newRow("empty entry kept") << QByteArray("a\r\n\r\nb\r\n") << QStringList{u"a"_qs, QString(), u"b"_qs};
        QTest::newRow("one empty line") << QByteArray("\r\n") << QStringList{QString()};
        QTest::newRow("zero bytes") << QByteArray() << QStringList{};
        QTest::newRow("NUL ends the text") << QByteArray("a\r\nb\0c\r\nd\r\n", 11) << QStringList{u"a"_qs, u"b"_qs};
        QTest::newRow("blanks kept") << QByteArray(" a \r\n") << QStringList{u" a "_qs};
        // š ž Ť in Windows-1250.
        QTest::newRow("cp1250") << QByteArray("\x9a\x9e\x8d\r\n") << QStringList{u"šžŤ"_qs};
    }
    void fileReading()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, names);
        QCOMPARE(waypointNames(bytes), names);
        const QString path = m_dir.filePath(u"list.tvb"_qs);
        putFile(path, bytes);
        List list({u"old"_qs, u"older"_qs, u"oldest"_qs});
        // The names after a NUL byte are not read, and that is said.
        const bool whole = !bytes.contains('\0');
        QCOMPARE(failureOf([&] { LoadWaypointFile(list.grid, path); }).contains(u"nulový bajt"_qs), !whole);
        QCOMPARE(list.grid.tableRowCount(), qMax(1, int(names.size())));
        QCOMPARE(list.names(), names.isEmpty() ? QStringList{QString()} : names);
        // Saved and read again, the list stays the same.
        SaveWaypointFile(list.grid, path);
        QCOMPARE(waypointNames(fileBytes(path)), list.names());
    }

    void fileWriting()
    {
        const QString path = m_dir.filePath(u"out.tvb"_qs);
        SaveWaypointFile(List({u"Brno"_qs, QString(), u"Žďár"_qs}).grid, path);
        QCOMPARE(fileBytes(path), QByteArray("Brno\r\n\r\n\x8e\xef\xe1r\r\n"));
        // The empty list is its single empty row.
        SaveWaypointFile(List().grid, path);
        QCOMPARE(fileBytes(path), QByteArray("\r\n"));
    }

    void fileErrors()
    {
        List list({u"Brno"_qs});
        const QString folder = m_dir.path();
        QCOMPARE(failureOf([&] { LoadWaypointFile(list.grid, folder); }), u"Cannot open file "_qs + folder);
        QCOMPARE(list.names(), QStringList{u"Brno"_qs});
        const QString missing = m_dir.filePath(u"no/such/folder/x.tvb"_qs);
        QCOMPARE(failureOf([&] { SaveWaypointFile(list.grid, missing); }), u"Cannot create file "_qs + missing);
    }

    void splitAndJoin_data()
    {
        QTest::addColumn<QString>("course");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("joined");
        const QString same;
        QTest::newRow("three") << u"Brno - Tišnov - Nedvědice"_qs
                               << QStringList{u"Brno"_qs, u"Tišnov"_qs, u"Nedvědice"_qs} << same;
        QTest::newRow("hyphen alone") << u"Brno-Tišnov"_qs << QStringList{u"Brno-Tišnov"_qs} << same;
        QTest::newRow("other dash") << u"Brno – Tišnov"_qs << QStringList{u"Brno – Tišnov"_qs} << same;
        QTest::newRow("extra blanks") << u"Brno  -  Tišnov"_qs << QStringList{u"Brno "_qs, u" Tišnov"_qs} << same;
        QTest::newRow("empty") << QString() << QStringList{} << same;
        QTest::newRow("leading") << u" - Brno"_qs << QStringList{QString(), u"Brno"_qs} << same;
        QTest::newRow("trailing") << u"Brno - "_qs << QStringList{u"Brno"_qs} << u"Brno"_qs;
        QTest::newRow("two in a row") << u"a -  - b"_qs << QStringList{u"a"_qs, QString(), u"b"_qs} << same;
        QTest::newRow("no overlap") << u"a - - b"_qs << QStringList{u"a"_qs, u"- b"_qs} << same;
    }
    void splitAndJoin()
    {
        QFETCH(QString, course);
        QFETCH(QStringList, entries);
        QFETCH(QString, joined);
        QCOMPARE(SplitCourse(course), entries);
        QCOMPARE(JoinCourse(entries), joined.isNull() ? course : joined);
    }

    void addAndDelete()
    {
        List list;
        // The first name fills the single empty row.
        QCOMPARE(AddWaypoint(list.grid, u"Brno"_qs), 0);
        QCOMPARE(list.names(), QStringList{u"Brno"_qs});
        // Equal ignoring case, in the user's locale.
        QCOMPARE(AddWaypoint(list.grid, u"bRNO"_qs), -1);
        QCOMPARE(AddWaypoint(list.grid, u"Žďár"_qs), 1);
        QCOMPARE(AddWaypoint(list.grid, u"žĎÁR"_qs), -1);
        // Accents are not case.
        QCOMPARE(AddWaypoint(list.grid, u"Zdar"_qs), 2);
        QCOMPARE(AddWaypoint(list.grid, QString()), 3);
        QCOMPARE(list.names(), (QStringList{u"Brno"_qs, u"Žďár"_qs, u"Zdar"_qs, QString()}));
        DeleteWaypoint(list.grid, 1);
        QCOMPARE(list.names(), (QStringList{u"Brno"_qs, u"Zdar"_qs, QString()}));
        DeleteWaypoint(list.grid, 2);
        DeleteWaypoint(list.grid, 0);
        // The last one empties the single row.
        DeleteWaypoint(list.grid, 0);
        QCOMPARE(list.grid.tableRowCount(), 1);
        QCOMPARE(list.names(), QStringList{QString()});
        // The empty row is an entry with empty text.
        QCOMPARE(AddWaypoint(list.grid, QString()), -1);
    }
};

QTEST_GUILESS_MAIN(TestWaypoints)
#include "tst_waypoints.moc"

#include "FavouriteRoutes.h"

#include <QTemporaryDir>
#include <QtTest>

// Favourite routes in "trasy.ini", without a window: which names can be
// stored, and what is stored comes back as it was given.
class TestFavouriteRoutes : public QObject
{
    Q_OBJECT
private slots:
    void nameProblem_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("problem");
        QTest::newRow("a name") << u"Říčany – Ondřejov (okruh)"_qs << QString();
        QTest::newRow("empty") << QString() << u"bez názvu"_qs;
        QTest::newRow("blanks") << u" \t "_qs << u"bez názvu"_qs;
        QTest::newRow("a closing bracket") << u"Brno]"_qs << u"„Brno]“ nelze uložit"_qs;
        QTest::newRow("a line end") << u"Brno\nTišnov"_qs << u"hranaté závorky"_qs;
        QTest::newRow("a carriage return") << u"Brno\r"_qs << u"hranaté závorky"_qs;
    }
    void nameProblem()
    {
        QFETCH(QString, name);
        QFETCH(QString, problem);
        const QString said = FavouriteRoutes::nameProblem(name);
        QCOMPARE(said.isEmpty(), problem.isEmpty());
        QVERIFY2(said.contains(problem), qPrintable(said));
    }

    void storedRouteComesBack_data()
    {
        QTest::addColumn<QString>("course");
        QTest::addColumn<QString>("distance");
        QTest::addColumn<int>("difficulty");
        QTest::addColumn<QString>("readCourse");
        QTest::newRow("Czech letters, easiest") << u"Říčany - Ondřejov"_qs << u"12,5"_qs << 1 << u"Říčany - Ondřejov"_qs;
        QTest::newRow("= and ; in the course") << u"a=b; c = d"_qs << u"1"_qs << 5 << u"a=b; c = d"_qs;
        QTest::newRow("a line break is a blank") << u"Brno\r\nTišnov"_qs << QString() << 3 << u"Brno  Tišnov"_qs;
        QTest::newRow("nothing but the difficulty") << QString() << QString() << 2 << QString();
    }
    void storedRouteComesBack()
    {
        QFETCH(QString, course);
        QFETCH(QString, distance);
        QFETCH(int, difficulty);
        QFETCH(QString, readCourse);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"trasy.ini"_qs);
        FavouriteRoutes::save(path, u"Okruh"_qs, {u"jiný"_qs, u"99"_qs, 4});
        FavouriteRoutes::save(path, u"Žďár"_qs, {course, distance, difficulty});
        FavouriteRoutes::save(path, u"okruh"_qs, {u"Brno"_qs, u"7"_qs, 1}); // the same route
        QCOMPARE(FavouriteRoutes::names(path), (QStringList{u"Okruh"_qs, u"Žďár"_qs}));
        const FavouriteRoutes::Route r = FavouriteRoutes::read(path, u"ŽĎÁR"_qs);
        QCOMPARE(r.course, readCourse);
        QCOMPARE(r.distance, distance);
        QCOMPARE(r.difficulty, difficulty);
        QVERIFY(FavouriteRoutes::remove(path, u"žďár"_qs));
        QVERIFY(!FavouriteRoutes::remove(path, u"Žďár"_qs));
        QCOMPARE(FavouriteRoutes::names(path), QStringList{u"Okruh"_qs});
        QCOMPARE(FavouriteRoutes::read(path, u"Žďár"_qs).difficulty, FavouriteRoutes::kDefaultDifficulty);
        QCOMPARE(FavouriteRoutes::read(path, u"Okruh"_qs).course, u"Brno"_qs);
    }

};

QTEST_GUILESS_MAIN(TestFavouriteRoutes)
#include "tst_favouriteroutes.moc"

#include "RouteNameBox.h"
#include "TableSorter.h"
#include "StringTableView.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QtTest>

// Clicks on the ride log's headings sort the rides.
class TestHeadingSort : public WindowFixture
{
    Q_OBJECT
    QHeaderView *header() const { return w->rideTable->horizontalHeader(); }
    QPoint headingCenter(int col) const
    {
        return QPoint(header()->sectionViewportPosition(col) + header()->sectionSize(col) / 2,
                      header()->height() / 2);
    }
    void clickHeading(int col) { QTest::mouseClick(header()->viewport(), Qt::LeftButton, {}, headingCenter(col)); }
    // The route names from top to bottom: they tell the order of the rides.
    QStringList names() const
    {
        QStringList n;
        for (int r = 1; r < w->rideLog()->tableRowCount(); ++r)
            n << w->rideLog()->cell(1, r);
        return n;
    }

    const QList<QStringList> kRides = {{"3.5.2005", "B", "", "10", "01:00", "10", "3"},
                                       {"1.6.2005", "C", "", "9", "00:30", "18", "1"},
                                       {"7.5.2005", "A", "", "42,5", "02:00", "21,25", "5"}};

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void directionFromClickToClick()
    {
        open(kRides);
        clickHeading(0); // "Datum" first: descending
        QCOMPARE(names(), QStringList({"C", "A", "B"}));
        clickHeading(0);
        QCOMPARE(names(), QStringList({"B", "A", "C"}));
        clickHeading(3); // another heading keeps the direction (ascending)
        QCOMPARE(names(), QStringList({"C", "B", "A"}));
        clickHeading(3);
        QCOMPARE(names(), QStringList({"A", "B", "C"}));
        clickHeading(1); // text, still descending
        QCOMPARE(names(), QStringList({"C", "B", "A"}));
        clickHeading(4); // times
        QCOMPARE(names(), QStringList({"A", "B", "C"}));
        QVERIFY(msgs->shown.isEmpty());
        QCOMPARE(w->rideLog()->cell(0, 0), QStringLiteral("Datum"));
    }

    void firstClickOnAnotherHeadingIsAscending()
    {
        open(kRides);
        clickHeading(5);
        QCOMPARE(names(), QStringList({"B", "C", "A"}));
    }

    // The bikes' column sorts as text, like the other text columns.
    void bikeColumn()
    {
        open({{"3.5.2005", "B", "", "10", "01:00", "10", "3", "trek"},
              {"1.6.2005", "C", "", "9", "00:30", "18", "1", "Cube"},
              {"7.5.2005", "A", "", "42,5", "02:00", "21,25", "5", ""}});
        clickHeading(7);
        QCOMPARE(names(), QStringList({"A", "C", "B"}));
        clickHeading(7);
        QCOMPARE(names(), QStringList({"B", "C", "A"}));
        QCOMPARE(w->rideLog()->cell(7, 0), QStringLiteral("Kolo"));
    }

    // With one ride, or none, there is nothing to sort and nothing to say.
    void fewerThanTwoRidesAreNotSorted_data()
    {
        QTest::addColumn<QList<QStringList>>("rides");
        QTest::newRow("one ride") << QList<QStringList>{kRides[0]};
        QTest::newRow("no ride yet") << QList<QStringList>{};
    }
    void fewerThanTwoRidesAreNotSorted()
    {
        QFETCH(QList<QStringList>, rides);
        open(rides);
        const QStringList before = w->rideLog()->rowTexts(1);
        for (int col : {3, 0, 0})
            clickHeading(col);
        QCOMPARE(msgs->shown.size(), 0);
        QCOMPARE(w->rideLog()->rowTexts(1), before);
        // Nothing changed: not even the direction of the next sort.
        QCOMPARE(w->headingSorter->sortDirection(), TableSorter::Ascending);
    }

    void releaseWithoutPressDoesNotSort()
    {
        open(kRides);
        QTest::mouseRelease(header()->viewport(), Qt::LeftButton, {}, headingCenter(1));
        QCOMPARE(names(), QStringList({"B", "C", "A"}));
        // A press on a data row arms, but its release there does not sort,
        // and it disarms for the next release.
        const QRect r = w->rideTable->visualRect(w->rideLog()->index(0, 1));
        QTest::mouseClick(w->rideTable->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseRelease(header()->viewport(), Qt::LeftButton, {}, headingCenter(1));
        QCOMPARE(names(), QStringList({"B", "C", "A"}));
    }

    void columnResizeDoesNotSort()
    {
        open(kRides);
        const int border = header()->sectionViewportPosition(1) + header()->sectionSize(1) - 1;
        const int before = w->rideLog()->columnWidth(1);
        QTest::mousePress(header()->viewport(), Qt::LeftButton, {}, QPoint(border, 5));
        QMouseEvent move(QEvent::MouseMove, QPointF(border + 30, 5), header()->viewport()->mapToGlobal(QPointF(border + 30, 5)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(header()->viewport(), &move);
        QTest::mouseRelease(header()->viewport(), Qt::LeftButton, {}, QPoint(border + 30, 5));
        QCOMPARE(names(), QStringList({"B", "C", "A"}));
        QVERIFY(w->rideLog()->columnWidth(1) > before);
    }

    void editorsFollowTheSort()
    {
        open(kRides);
        QCOMPARE(w->rideTable->currentRow(), 3);
        QCOMPARE(w->routeNameBox->currentText(), QStringLiteral("A"));
        w->distanceEdit->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(w->distanceEdit->hasFocus());
        clickHeading(1); // ascending by name: A, B, C → row 3 now holds C
        QCOMPARE(names(), QStringList({"A", "B", "C"}));
        QCOMPARE(w->rideTable->currentRow(), 3);
        QCOMPARE(w->routeNameBox->currentText(), QStringLiteral("C"));
        QCOMPARE(w->distanceEdit->text(), QStringLiteral("9"));
        // Leaving an editor now writes C's own values into C's row.
        w->courseEdit->setFocus(Qt::MouseFocusReason);
        w->distanceEdit->setFocus(Qt::MouseFocusReason);
        w->courseEdit->setFocus(Qt::MouseFocusReason);
        QCOMPARE(w->rideLog()->rowTexts(3), kRides[1]);
        QCOMPARE(w->rideLog()->rowTexts(1), kRides[2]);
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestHeadingSort t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_headingsort.moc"

// The main window and the rider's bikes: the combo box "Kolo" by mouse and
// keyboard, the eighth column, the km after editing, sorting, deleting and
// undoing, the reminder in the status bar, renaming undone by Ctrl+Z.
#include "../gpsimport/FitWriter.h"
#include "BikeDialogs.h"
#include "ImportWindow.h"
#include "BikesWindow.h"
#include "Modal.h"
#include "RideColumn.h"
#include "StringTableView.h"
#include "WindowFixture.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolButton>

namespace {
const QByteArray kTwoBikes = "[kolo1]\r\nnazev=Trek\r\nvychozi=1\r\n[kolo2]\r\nnazev=Cube\r\n";
const QList<QStringList> kRides = {{"3.5.2024", "A", "", "40", "", "", "3"},
                                   {"4.5.2024", "B", "", "25", "", "", "3"},
                                   {"5.5.2024", "C", "", "10", "", "", "3"}};
} // namespace

class TestBikes : public WindowFixture
{
    Q_OBJECT
    QString bikesPath() const { return m_dir->filePath(QStringLiteral("kola.ini")); }

    void openWith(const QByteArray &bikes, const QList<QStringList> &rides = kRides)
    {
        putFile(bikesPath(), bikes);
        open(rides);
        // The bikes are read beside the window's start.
        QTRY_VERIFY(w->bikeBox->isVisible());
    }
    void leave(QWidget *from)
    {
        QTRY_VERIFY(from->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    // Picks a combo box's item with the mouse in its open list.
    void pickWithMouse(QComboBox *box, const QString &text)
    {
        QTest::mouseClick(box, Qt::LeftButton);
        QAbstractItemView *list = box->view();
        QTRY_VERIFY(list->isVisible());
        const QModelIndex item = list->model()->index(box->findText(text), 0);
        // The list ignores a release that comes as soon as it opened:
        // click until it takes one.
        for (int tries = 0; tries < 10 && list->isVisible(); ++tries) {
            QTest::qWait(200);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(item).center());
        }
        QTRY_VERIFY(!list->isVisible());
    }
    // The km of a bike's rides as "Kola" shows them, opened with Ctrl+K.
    QString kmInKola(const QString &bike)
    {
        QString km = QStringLiteral("<not shown>");
        onModal<BikesWindow>([&](BikesWindow *k) {
            for (int r = 0; r < k->bikeTable->rowCount(); ++r)
                if (k->bikeTable->item(r, 0)->text().startsWith(bike))
                    km = k->bikeTable->item(r, 4)->text();
            k->reject();
        });
        [&] {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_K, Qt::ControlModifier);
            QTRY_VERIFY(!QApplication::activeModalWidget());
            w->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(w));
        }();
        return km;
    }

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // Until a ride is given a bike the log keeps its seven columns and
    // the window its old panel; the first bike adds the eighth column.
    void sevenColumnLogUntilABikeIsUsed()
    {
        open(kRides);
        QVERIFY(w->bikeBox->isHidden());
        w->rideTable->setCurrentRow(1);
        w->distanceEdit->setFocus();
        w->distanceEdit->setText(QStringLiteral("41"));
        leave(w->distanceEdit);
        QVERIFY(w->close());
        QList<QStringList> edited = kRides;
        edited[0][3] = QStringLiteral("41");
        QCOMPARE(fileBytes(logPath()), rideLogFile(edited));
        delete w;
        w = nullptr;

        // A bike in the file: the combo box is there, the log still as it was.
        openWith(kTwoBikes, edited);
        QVERIFY(w->bikeBox->isVisible());
        QCOMPARE(w->bikeBox->currentText(), QStringLiteral("(žádné)"));
        QCOMPARE(log()->tableColumnCount(), 7);
        w->rideTable->setCurrentRow(2);
        w->bikeBox->setFocus();
        pickWithMouse(w->bikeBox, QStringLiteral("Cube"));
        QCOMPARE(log()->tableColumnCount(), 7); // not before it is left
        leave(w->bikeBox);
        QCOMPARE(log()->cell(RideColumn::Bike, 0), QStringLiteral("Kolo"));
        QCOMPARE(log()->cell(RideColumn::Bike, 2), QStringLiteral("Cube"));
        QVERIFY(w->close());
        const QByteArray saved = fileBytes(logPath());
        QVERIFY(saved.startsWith("|\r\n4|8\r\n"));
        QVERIFY(saved.contains("7|0|Kolo\r\n"));
        QVERIFY(saved.contains("7|2|Cube\r\n"));
    }

    // By keyboard: Tab from the difficulty into the combo box, an arrow
    // key, Enter moves on to the course and commits. A new ride takes the
    // current ride's bike.
    void bikeByKeyboardAndNewRides()
    {
        openWith(kTwoBikes);
        w->rideTable->setCurrentRow(3);
        w->difficultyBox->setFocus();
        QTRY_VERIFY(w->difficultyBox->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTRY_VERIFY(w->bikeBox->hasFocus());
        QCOMPARE(w->bikeBox->currentText(), QStringLiteral("(žádné)"));
        QTest::keyClick(w->bikeBox, Qt::Key_Down); // the bikes in use by name: Cube, Trek
        QTest::keyClick(w->bikeBox, Qt::Key_Down);
        QTest::keyClick(w->bikeBox, Qt::Key_Return);
        QTRY_VERIFY(w->courseEdit->hasFocus());
        QCOMPARE(log()->cell(RideColumn::Bike, 3), QStringLiteral("Trek"));

        w->rideTable->setFocus();
        w->newRideAction->trigger();
        QCOMPARE(log()->cell(RideColumn::Bike, 4), QStringLiteral("Trek"));
        QCOMPARE(w->bikeBox->currentText(), QStringLiteral("Trek"));
        // From a ride without a bike, a new ride gets the default one.
        w->rideTable->setCurrentRow(1);
        putFile(bikesPath(), "[kolo1]\r\nnazev=Trek\r\n[kolo2]\r\nnazev=Cube\r\nvychozi=1\r\n");
        kmInKola(QStringLiteral("Cube")); // the window reads the file again when closed
        w->rideTable->setCurrentRow(1);
        w->newRideAction->trigger();
        QCOMPARE(log()->cell(RideColumn::Bike, 5), QStringLiteral("Cube"));
    }

    // The km "Kola" shows follow every change of the rides.
    void kmFollowTheRides()
    {
        openWith(kTwoBikes, {{"3.5.2024", "A", "", "40", "", "", "3", "Trek"},
                             {"4.5.2024", "B", "", "25", "", "", "3", "Cube"},
                             {"5.5.2024", "C", "", "10", "", "", "3", "Trek"}});
        QCOMPARE(kmInKola(QStringLiteral("Trek")), QStringLiteral("50"));
        w->rideTable->setCurrentRow(1);
        w->distanceEdit->setFocus();
        w->distanceEdit->setText(QStringLiteral("45"));
        leave(w->distanceEdit);
        QCOMPARE(kmInKola(QStringLiteral("Trek")), QStringLiteral("55"));
        // Sorted by the km heading: the same rides, the same km.
        QHeaderView *header = w->rideTable->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(3) + 5, header->height() / 2));
        QCOMPARE(log()->cell(RideColumn::Km, 1), QStringLiteral("10"));
        QCOMPARE(kmInKola(QStringLiteral("Trek")), QStringLiteral("55"));
        w->rideTable->setCurrentRow(3); // the 45 km ride
        w->deleteRideAction->trigger();
        QCOMPARE(kmInKola(QStringLiteral("Trek")), QStringLiteral("10"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(kmInKola(QStringLiteral("Trek")), QStringLiteral("55"));
    }

    // An imported ride takes the bike its file names when the rider has a
    // bike of that name (any letter case), else the default bike.
    void importedRidesTakeTheirBike()
    {
        openWith(kTwoBikes);
        QStringList paths;
        const QByteArray names[] = {QByteArray("cube\0", 5), QByteArray("Kolo souseda", 12), QByteArray()};
        for (int i = 0; i < 3; ++i) {
            FitWriter::File f;
            FitWriter::fileId(f, 4);
            if (!names[i].isEmpty()) {
                f.define(1, {6, {{0, std::uint8_t(names[i].size()), 0x07}}, {}, false});
                f.raw(QByteArray(1, char(1)) + names[i]);
            }
            const QDateTime start(QDate(2024, 6, 1 + i), QTime(8, 0), Qt::UTC);
            FitWriter::session(f, {FitWriter::fitTime(start), 3'600'000, 3'600'000, 2'000'000, 2, 0});
            paths << m_dir->filePath(QStringLiteral("ride%1.fit").arg(i));
            putFile(paths.constLast(), f.bytes());
        }
        onModal<ImportWindow>([](ImportWindow *d) {
            QTRY_VERIFY_WITH_TIMEOUT(!d->isReading(), 20000);
            QTest::keyClick(d->findChild<QWidget *>(QStringLiteral("ImportList")), Qt::Key_Return);
        });
        w->importRideFiles(paths);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(log()->columnTexts(RideColumn::Bike).mid(4), QStringList({"Cube", "Trek", "Trek"}));
    }

    // A part whose interval a commit crosses is named in the status bar;
    // a click on it opens "Kola".
    void reminderAfterACommit()
    {
        openWith(kTwoBikes + "[dil1]\r\nnazev=\xf8" "et\xec" "z\r\ninterval_km=100\r\n"
                             "udalost1=2024-05-01;mont\xe1\x9e;kolo1\r\n",
                 {{"3.5.2024", "A", "", "40", "", "", "3", "Trek"}, {"4.5.2024", "B", "", "40", "", "", "3", "Trek"}});
        QTRY_VERIFY(w->serviceReminder->isHidden());
        w->rideTable->setCurrentRow(2);
        w->distanceEdit->setFocus();
        w->distanceEdit->setText(QStringLiteral("61"));
        leave(w->distanceEdit);
        QTRY_VERIFY(w->serviceReminder->isVisible());
        QCOMPARE(w->serviceReminder->text(), QStringLiteral("Servis: řetěz (Trek) 101 / 100 km"));
        if (const QString folder = qEnvironmentVariable("TRASOVNIK_PICTURES"); !folder.isEmpty())
            w->grab().save(folder + QStringLiteral("/hlavni-okno-kola.png"));
        bool opened = false;
        onModal<BikesWindow>([&](BikesWindow *k) {
            opened = true;
            k->reject();
        });
        QTest::mouseClick(w->serviceReminder, Qt::LeftButton);
        QTRY_VERIFY(opened);
        // The ride back under the interval: the reminder goes.
        w->activateWindow();
        w->distanceEdit->setFocus();
        w->distanceEdit->setText(QStringLiteral("20"));
        leave(w->distanceEdit);
        QTRY_VERIFY(w->serviceReminder->isHidden());
    }

    // A bike renamed in "Kola" is renamed in every ride; Ctrl+Z gives it
    // its old name back in the rides and in the file.
    void renameUndoneByCtrlZ()
    {
        openWith(kTwoBikes, {{"3.5.2024", "A", "", "40", "", "", "3", "Trek"},
                             {"4.5.2024", "B", "", "25", "", "", "3", "trek"},
                             {"5.5.2024", "C", "", "10", "", "", "3", "Cube"}});
        onModal<BikesWindow>([&](BikesWindow *k) {
            k->selectBike(QStringLiteral("kolo1"));
            onModal<BikeDialog>([&](BikeDialog *d) {
                d->nameEdit->setText(QStringLiteral("Trek Domane"));
                QTest::keyClick(d->nameEdit, Qt::Key_Return);
            });
            QTest::mouseClick(k->editBikeButton, Qt::LeftButton);
            QTest::mouseClick(k->closeButton, Qt::LeftButton);
        });
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_K, Qt::ControlModifier);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(log()->columnTexts(RideColumn::Bike), QStringList({"Kolo", "Trek Domane", "Trek Domane", "Cube"}));
        QCOMPARE(w->undoDeleteAction->text(), QStringLiteral("Vrátit přejmenování kola"));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(log()->columnTexts(RideColumn::Bike), QStringList({"Kolo", "Trek", "Trek", "Cube"}));
        QVERIFY(fileBytes(bikesPath()).startsWith("[kolo1]\r\nnazev=Trek\r\n"));
        QVERIFY(!w->undoDeleteAction->isEnabled());
    }
};

QTEST_MAIN(TestBikes)
#include "tst_bikes.moc"

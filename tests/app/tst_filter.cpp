// The filter over the ride log, driven as a rider drives it: Ctrl+F and
// typing, Esc, editing, deleting and undoing a shown ride, a heading click,
// the CSV of the shown rides, a record activated, the yearly goal.
#include "MaskedTimeEdit.h"
#include "Modal.h"
#include "RideColumn.h"
#include "RideFilterBar.h"
#include "RideLogFiles.h"
#include "StatisticsWindow.h"
#include "StringTableView.h"
#include "WindowFixture.h"
#include "YearlyGoalDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>

namespace {
const int kYear = QDate::currentDate().year();
QString day(int d, int m, int y) { return QStringLiteral("%1.%2.%3").arg(d).arg(m).arg(y); }
const QList<QStringList> kRides = {
    {day(3, 5, kYear - 1), "Tišnov", "Brno - Tišnov", "40", "02:00", "20", "3"},
    {day(4, 5, kYear - 1), "Žďár", "Brno - Žďár nad Sázavou", "120,5", "06:00", "20,08", "5"},
    {day(5, 1, kYear), "Okruh", "Brno - TIŠNOV - Brno", "60", "03:00", "20", "2"},
    {day(6, 1, kYear), "a.*b", "", "10", "00:30", "20", "1"},
    {day(7, 1, kYear), "Kuřim", "", "25", "01:00", "25", "3"},
};
} // namespace

class TestFilter : public WindowFixture
{
    Q_OBJECT

    // The route names the table shows, top to bottom.
    QStringList shownNames() const
    {
        QStringList names;
        const QAbstractItemModel *m = w->rideTable->model();
        for (int v = 0; v < m->rowCount(); ++v)
            names << m->index(v, RideColumn::Name).data().toString();
        return names;
    }
    QStringList allNames() const
    {
        QStringList names;
        for (int r = 1; r < log()->tableRowCount(); ++r)
            names << log()->cell(RideColumn::Name, r);
        return names;
    }
    // A menu's item chosen as a rider does: opened by Alt+letter and
    // walked with the arrows, or clicked.
    void choose(Qt::Key menuKey, QAction *item, bool byMouse = false)
    {
        if (byMouse) {
            QMenuBar *bar = w->menuBar();
            QAction *menu = nullptr;
            for (QAction *a : bar->actions())
                if (a->menu() && a->menu()->actions().contains(item))
                    menu = a;
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu).center());
            QTRY_VERIFY(menu->menu()->isVisible());
            QTest::mouseClick(menu->menu(), Qt::LeftButton, {}, menu->menu()->actionGeometry(item).center());
            return;
        }
        QTest::keyClick(w, menuKey, Qt::AltModifier);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (int i = 0; i < menu->actions().size() && menu->activeAction() != item; ++i)
            QTest::keyClick(menu, Qt::Key_Down);
        QCOMPARE(menu->activeAction(), item);
        QTest::keyClick(menu, Qt::Key_Return);
    }
    enum How { ByKeys, ByMenuKeys, ByMenuMouse };
    void search(const QString &text, How how = ByKeys)
    {
        if (how == ByKeys)
            QTest::keyClick(w, Qt::Key_F, Qt::ControlModifier);
        else
            choose(Qt::Key_Z, w->findAction, how == ByMenuMouse);
        QTRY_VERIFY(w->filterBar->searchEdit->hasFocus());
        QTest::keyClicks(w->filterBar->searchEdit, text);
    }
    void clickRide(const QString &name)
    {
        const int v = shownNames().indexOf(name);
        QVERIFY(v >= 0);
        const QRect cell = w->rideTable->visualRect(w->rideTable->model()->index(v, RideColumn::Name));
        QTest::mouseClick(w->rideTable->viewport(), Qt::LeftButton, {}, cell.center());
        QTRY_COMPARE(log()->cell(RideColumn::Name, w->rideTable->currentRow()), name);
    }
    void backToWindow()
    {
        QTRY_VERIFY(!QApplication::activeModalWidget());
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
    }
    // The same edits with or without a filter: the km of Tišnov, the ride
    // Okruh deleted, brought back and deleted again, a click on "Km".
    void editRides(bool filtered)
    {
        if (filtered)
            search(QStringLiteral("tisnov"));
        clickRide(QStringLiteral("Tišnov"));
        w->distanceEdit->setFocus(Qt::MouseFocusReason);
        w->distanceEdit->selectAll();
        QTest::keyClicks(w->distanceEdit, QStringLiteral("41"));
        QTest::keyClick(w->distanceEdit, Qt::Key_Tab);
        QCOMPARE(log()->cell(RideColumn::Km, 1), QStringLiteral("41"));
        clickRide(QStringLiteral("Okruh"));
        w->deleteRideAction->trigger();
        QCOMPARE(allNames(), QStringList({"Tišnov", "Žďár", "a.*b", "Kuřim"}));
        QTest::keyClick(w->rideTable, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(allNames(), QStringList({"Tišnov", "Žďár", "Okruh", "a.*b", "Kuřim"}));
        QCOMPARE(log()->cell(RideColumn::Name, w->rideTable->currentRow()), QStringLiteral("Okruh"));
        if (filtered)
            QCOMPARE(shownNames(), QStringList({"Tišnov", "Okruh"}));
        w->deleteRideAction->trigger();
        auto *header = w->rideTable->horizontalHeader();
        const QPoint km(header->sectionViewportPosition(RideColumn::Km) + 10, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, km);
        QCOMPARE(allNames(), QStringList({"a.*b", "Kuřim", "Tišnov", "Žďár"}));
        if (filtered) {
            QCOMPARE(shownNames(), QStringList({"Tišnov"}));
            QCOMPARE(w->filterBar->countLabel->text(), QStringLiteral("Zobrazeno 1 z 4 jízd"));
        }
    }

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void typingFilters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("km");
        QTest::newRow("no diacritics, name or course") << "tisnov" << QStringList{"Tišnov", "Okruh"} << "100";
        QTest::newRow("zdar finds Žďár") << "zdar" << QStringList{"Žďár"} << "120,5";
        QTest::newRow("upper case") << "KURIM" << QStringList{"Kuřim"} << "25";
        QTest::newRow("pattern characters are text") << "a.*" << QStringList{"a.*b"} << "10";
        QTest::newRow("nothing found") << "[x" << QStringList{} << "";
    }
    void typingFilters()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, names);
        QFETCH(QString, km);
        open(kRides);
        search(text);
        QCOMPARE(shownNames(), names);
        QCOMPARE(w->filterBar->countLabel->text(), QStringLiteral("Zobrazeno %1 z 5 jízd").arg(names.size()));
        QCOMPARE(w->totalDistanceEdit->text(), km);
        QCOMPARE(w->totalDistanceLabel->text(), QStringLiteral("Ujeté km (zobrazené) :"));
        QCOMPARE(w->editorPanel->isEnabled(), !names.isEmpty());
        QVERIFY(msgs->shown.isEmpty());
        QTest::keyClick(w->filterBar->searchEdit, Qt::Key_Escape);
        QVERIFY(!w->filterBar->isVisible());
        QCOMPARE(shownNames(), allNames());
        QCOMPARE(w->totalDistanceEdit->text(), QStringLiteral("255,5"));
        QCOMPARE(w->totalDistanceLabel->text(), QStringLiteral("Ujeté km celkem :"));
    }

    // The other fields: period, km range, difficulty; a date that is no
    // date is refused with the reason and the period is not used.
    void fieldsFilter()
    {
        open(kRides);
        search(QString());
        RideFilterBar *bar = w->filterBar;
        bar->periodBox->setFocus();
        QTest::keyClick(bar->periodBox, Qt::Key_Down); // "letos"
        QCOMPARE(shownNames(), QStringList({"Okruh", "a.*b", "Kuřim"}));
        QTest::keyClick(bar->periodBox, Qt::Key_End); // "vlastní…"
        QTRY_VERIFY(bar->fromEdit->hasFocus());
        QTest::keyClicks(bar->fromEdit, QStringLiteral("32.13.2025"));
        QCOMPARE(bar->problemLabel->text(), QStringLiteral("„32.13.2025“ není datum, období se nepoužije."));
        QCOMPARE(shownNames().size(), 5);
        bar->fromEdit->clear();
        QTest::keyClicks(bar->fromEdit, day(4, 5, kYear - 1));
        QTest::keyClicks(bar->untilEdit, day(5, 1, kYear));
        QVERIFY(bar->problemLabel->isHidden());
        QCOMPARE(shownNames(), QStringList({"Žďár", "Okruh"}));
        QTest::keyClicks(bar->minKmEdit, QStringLiteral("60,5"));
        QCOMPARE(shownNames(), QStringList({"Žďár"}));
        bar->minKmEdit->clear();
        bar->difficultyBox->setFocus();
        QTest::keyClick(bar->difficultyBox, Qt::Key_End); // 5
        QCOMPARE(shownNames(), QStringList({"Žďár"}));
        QTest::keyClick(bar->difficultyBox, Qt::Key_Up); // 4
        QCOMPARE(shownNames(), QStringList());
        QCOMPARE(bar->countLabel->text(), QStringLiteral("Zobrazeno 0 z 5 jízd"));
        QVERIFY(msgs->shown.isEmpty());
        // No ride shown: nothing to edit or delete, none of the hidden ones.
        QVERIFY(w->distanceEdit->text().isEmpty());
        w->deleteRideAction->trigger();
        w->averageEdit->setText(QStringLiteral("30"));
        w->timeEdit->setTimeText(QStringLiteral("01:00"));
        w->recalcDistanceAction->trigger();
        QCOMPARE(allNames().size(), 5);
        QCOMPARE(log()->columnTexts(RideColumn::Km).mid(1), QStringList({"40", "120,5", "60", "10", "25"}));
    }

    // Edits under a filter leave the file as the same edits without one:
    // nothing hidden is dropped or moved.
    void sameFileAsUnfiltered()
    {
        open(kRides);
        editRides(false);
        w->close();
        const QByteArray unfiltered = fileBytes(logPath());
        tearDown();
        setUp();
        open(kRides);
        editRides(true);
        QCOMPARE(log()->cell(RideColumn::Km, 3), QStringLiteral("41"));
        w->close();
        QCOMPARE(fileBytes(logPath()), unfiltered);
    }

    // Showing and hiding rides changes nothing to be saved.
    void filterIsNoChange()
    {
        open(kRides);
        search(QStringLiteral("tisnov"));
        QTest::keyClick(w->filterBar->searchEdit, Qt::Key_Escape);
        QTest::qWait(RideLogFiles::kUnsavedDelayMs + 300);
        QVERIFY(!QFile::exists(w->files()->unsavedPath()));
    }

    void newRideClearsFilter()
    {
        open(kRides);
        search(QStringLiteral("zdar"), ByMenuMouse);
        w->newRideAction->trigger();
        QCOMPARE(shownNames().size(), 6);
        QCOMPARE(w->rideTable->currentRow(), 6);
        QVERIFY(w->filterBar->searchEdit->text().isEmpty());
    }

    void csvOfShownRides()
    {
        open(kRides);
        search(QStringLiteral("tisnov"), ByMenuKeys);
        const QString csv = m_dir->filePath(QStringLiteral("vyber.csv"));
        onModal<QFileDialog>([&](QFileDialog *d) {
            auto *box = d->findChild<QCheckBox *>(QStringLiteral("onlyShownBox"));
            QVERIFY(box && box->isVisible() && box->isChecked());
            enterFileName(d, csv);
        });
        w->exportCsvAction->trigger();
        backToWindow();
        const QList<QByteArray> lines = fileBytes(csv).trimmed().split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines.at(1).contains("Brno - Ti"));
        QVERIFY(lines.at(2).contains("Okruh"));
    }

    // A record of the whole log, activated with Enter, selects its ride
    // even when the filter hides it.
    void recordActivated()
    {
        open(kRides);
        search(QStringLiteral("tisnov"));
        onModal<StatisticsWindow>([](StatisticsWindow *s) {
            auto *shownOnly = s->findChild<QCheckBox *>(QStringLiteral("shownOnlyBox"));
            QVERIFY(shownOnly && shownOnly->isChecked());
            shownOnly->setChecked(false);
            s->findChild<QTabWidget *>(QStringLiteral("statisticsTabs"))->setCurrentIndex(1);
            auto *list = s->findChild<QTreeWidget *>(QStringLiteral("recordList"));
            QTRY_VERIFY(list->topLevelItemCount() > 0);
            list->setFocus();
            list->setCurrentItem(list->topLevelItem(0)); // the longest ride
            QTest::keyClick(list, Qt::Key_Return);
        });
        choose(Qt::Key_V, w->findChild<QAction *>(QStringLiteral("statisticsAction")));
        backToWindow();
        QCOMPARE(log()->cell(RideColumn::Name, w->rideTable->currentRow()), QStringLiteral("Žďár"));
        QCOMPARE(shownNames(), QStringList({"Tišnov", "Žďár", "Okruh"}));
        QCOMPARE(w->distanceEdit->text(), QStringLiteral("120,5"));
    }

    void yearlyGoal()
    {
        open(kRides);
        QVERIFY(!w->goalLabel->isVisible());
        onModal<YearlyGoalDialog>([](YearlyGoalDialog *d) {
            QCOMPARE(d->yearBox->value(), kYear);
            QTest::keyClicks(d->kmBox, QStringLiteral("1000"));
            QTest::keyClick(d->kmBox, Qt::Key_Return);
        });
        choose(Qt::Key_M, w->yearlyGoalAction);
        backToWindow();
        QVERIFY(fileBytes(m_dir->filePath(QStringLiteral("store.ini"))).contains(
            QStringLiteral("[RocniCil]\r\n%1=1000\r\n").arg(kYear).toLatin1()));
        const QDate today = QDate::currentDate();
        const double ahead = 95 - 1000.0 * today.dayOfYear() / today.daysInYear();
        const QString pace = qRound(ahead) == 0 ? QStringLiteral("přesně podle plánu")
                             : ahead > 0       ? QStringLiteral("o %1 km před plánem").arg(qRound(ahead))
                                               : QStringLiteral("o %1 km za plánem").arg(qRound(-ahead));
        QTRY_COMPARE(w->goalLabel->text(), QStringLiteral("Letos 95 / 1\u00a0000 km (9 %), ") + pace);
        QVERIFY(w->goalLabel->isVisible());
        // The progress follows the rides.
        w->rideTable->setCurrentRow(5);
        w->deleteRideAction->trigger();
        QTRY_VERIFY(w->goalLabel->text().startsWith(QStringLiteral("Letos 70 / 1\u00a0000 km (7 %)")));
    }
};

QTEST_MAIN(TestFilter)
#include "tst_filter.moc"

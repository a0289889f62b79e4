#include "MessageRecorder.h"
#include "Modal.h"
#include "RideLogFile.h"
#include "RideStatistics.h"
#include "StatisticsWindow.h"
#include "StringTable.h"
#include "TestFiles.h"
#include "TestLocale.h"
#include "MainWindow.h"

#include <QBarSet>
#include <QComboBox>
#include <QStackedBarSeries>
#include <QChartView>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

using namespace RideStatistics;

namespace {
using Rides = QList<QStringList>;

QStringList ride(const QString &date, const QString &name, const QString &km, const QString &time)
{
    return {date, name, QString(), km, time, QString(), QStringLiteral("3")};
}

std::unique_ptr<StringTable> logOf(const Rides &rides)
{
    auto log = std::make_unique<StringTable>();
    log->setTableColumnCount(7);
    log->setTableRowCount(int(rides.size()) + 1);
    log->setRowTexts(0, {"Datum", "Název", "Průběh trasy", "Km", "Čas", "km/h", "1-5"});
    for (int r = 0; r < rides.size(); ++r)
        log->setRowTexts(r + 1, rides[r]);
    return log;
}

// The sums of a period: "2024", "2024/3", "bez data" or "Celkem".
const Sums *period(const Statistics &s, const QString &name)
{
    if (name == u"bez data")
        return &s.undated;
    if (name == u"Celkem")
        return &s.total;
    const QStringList parts = name.split(u'/');
    const Year *y = s.findYear(parts[0].toInt());
    if (!y || parts.size() == 1)
        return y ? &y->sums : nullptr;
    for (const Month &m : y->months)
        if (m.month == parts[1].toInt())
            return &m.sums;
    return nullptr;
}

QList<double> values(const QBarSet *set)
{
    QList<double> v;
    for (int i = 0; i < set->count(); ++i)
        v << set->at(i);
    return v;
}

QList<double> months(std::initializer_list<std::pair<int, double>> km)
{
    QList<double> v(12, 0.0);
    for (auto [month, value] : km)
        v[month - 1] = value;
    return v;
}
} // namespace

class TestStats : public QObject
{
    Q_OBJECT
    TestLocale m_locale;

private slots:
    void periodSums_data()
    {
        QTest::addColumn<Rides>("rides");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("texts"); // rides, km, time, km/h, longest, route

        const Rides mixed = {
            ride("3.3.2024", "Brno", "10,5", "00:30"),
            ride("31.12.2023", "Tišnov", "100", "04:00"),
            ride("20.03.2024", "Tišnov", "20", "1:00"),
            // A distance that is not a number counts 0, its time still counts.
            ride("31.3.2024", "Brno", "deset", "00:45"),
            // No time: its distance does not enter the average.
            ride("1.5.2024", "Pálava", "5", "  :  "),
            ride("někdy v létě", "Brno", "7", "00:20"),
            // An empty new ride is no ride.
            {"", "", "", "", "  :  ", "", ""},
            ride("", "", "3", "25:00"),
            ride("15.3.2024 8:30", "Pálava", "1,25", "00:05"),
        };
        QTest::newRow("month") << mixed << "2024/3"
                               << QStringList{"4", "31,75", "0002:20", "20,05", "20", "Brno"};
        QTest::newRow("month without times") << mixed << "2024/5"
                                             << QStringList{"1", "5", "0000:00", "", "5", "Pálava"};
        // Brno and Pálava twice each: Pálava rode last.
        QTest::newRow("year") << mixed << "2024" << QStringList{"5", "36,75", "0002:20", "20,05", "20", "Pálava"};
        QTest::newRow("year before") << mixed << "2023" << QStringList{"1", "100", "0004:00", "25", "100", "Tišnov"};
        QTest::newRow("rides without a date") << mixed << "bez data"
                                              << QStringList{"2", "10", "0000:20", "21", "7", "Brno"};
        QTest::newRow("whole log") << mixed << "Celkem"
                                   << QStringList{"8", "146,75", "0006:40", "23,45", "100", "Brno"};

        Rides long24;
        for (int i = 0; i < 14; ++i)
            long24 << ride(QStringLiteral("%1.7.2025").arg(i + 1), "Okruh", "50", "02:30");
        QTest::newRow("time over a day") << long24 << "2025/7"
                                         << QStringList{"14", "700", "0035:00", "20", "50", "Okruh"};
        Rides long10k;
        for (int i = 0; i < 500; ++i)
            long10k << ride(QStringLiteral("1.%1.%2").arg(i % 12 + 1).arg(2000 + i / 12), "Dálka", "400,01", "23:59");
        QTest::newRow("over ten thousand hours") << long10k << "Celkem"
                                                 << QStringList{"500", "200005", "11991:40", "16,68", "400,01", "Dálka"};

        QTest::newRow("more rides beat a newer one")
            << Rides{ride("1.6.2024", "A", "1", ""), ride("2.6.2024", "A", "1", ""), ride("30.6.2024", "B", "1", "")}
            << "2024" << QStringList{"3", "3", "0000:00", "", "1", "A"};
        // B's last ride is further up the log but later in the year.
        QTest::newRow("a tie goes to the newer ride")
            << Rides{ride("20.6.2024", "B", "1", ""), ride("1.6.2024", "A", "1", ""), ride("2.6.2024", "B", "1", ""),
                     ride("10.6.2024", "A", "1", "")}
            << "2024/6" << QStringList{"4", "4", "0000:00", "", "1", "B"};
        QTest::newRow("a tie on one day goes to the later row")
            << Rides{ride("5.6.2024", "B", "1", ""), ride("5.6.2024", "A", "1", "")} << "Celkem"
            << QStringList{"2", "2", "0000:00", "", "1", "A"};
        // The year's leader is counted over its months, not from their leaders.
        QTest::newRow("a year's route over its months")
            << Rides{ride("1.1.2024", "A", "1", ""), ride("2.1.2024", "A", "1", ""), ride("3.1.2024", "B", "1", ""),
                     ride("1.2.2024", "C", "1", ""), ride("2.2.2024", "C", "1", ""), ride("3.2.2024", "B", "1", ""),
                     ride("1.3.2024", "D", "1", ""), ride("2.3.2024", "D", "1", ""), ride("3.3.2024", "B", "1", "")}
            << "2024" << QStringList{"9", "9", "0000:00", "", "1", "B"};
    }
    void periodSums()
    {
        QFETCH(Rides, rides);
        QFETCH(QString, name);
        QFETCH(QStringList, texts);
        const Statistics s = compute(*logOf(rides));
        const Sums *sums = period(s, name);
        QVERIFY(sums);
        QCOMPARE(columnTexts(*sums), texts);
    }

    // The chart shows the selected year and the one before it; a year or
    // a month picked in the tree switches it.
    void chartFollowsTheTree()
    {
        const auto log = logOf({ride("3.1.2023", "", "10", ""), ride("4.1.2023", "", "2,5", ""),
                                ride("8.8.2023", "", "40", ""), ride("9.12.2024", "", "7", ""),
                                ride("1.1.2024", "", "1", ""), ride("2.2.2022", "", "5", ""),
                                ride("zítra", "", "99", "")});
        StatisticsWindow w(*log);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto shown = [&] {
            return std::tuple(w.selectedYearBars->label(), values(w.selectedYearBars), w.previousYearBars->label(),
                              values(w.previousYearBars));
        };
        const auto y2024 = std::tuple(u"2024"_qs, months({{1, 1}, {12, 7}}), u"2023"_qs,
                                      months({{1, 12.5}, {8, 40}}));
        const auto y2023 = std::tuple(u"2023"_qs, months({{1, 12.5}, {8, 40}}), u"2022"_qs, months({{2, 5}}));
        const auto y2022 = std::tuple(u"2022"_qs, months({{2, 5}}), u"2021"_qs, months({}));
        QCOMPARE(shown(), y2024);

        QTreeWidget *tree = w.yearTree;
        QStringList rows;
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            rows << tree->topLevelItem(i)->text(0);
            for (int m = 0; m < tree->topLevelItem(i)->childCount(); ++m)
                rows << tree->topLevelItem(i)->child(m)->text(0);
        }
        QCOMPARE(rows, (QStringList{"2024", "leden", "prosinec", "2023", "leden", "srpen", "2022", "únor", "bez data",
                                    "Celkem"}));
        auto clickRow = [&](QTreeWidgetItem *item) {
            tree->scrollToItem(item);
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
        };
        clickRow(tree->topLevelItem(1));
        QCOMPARE(tree->currentItem()->text(0), u"2023"_qs);
        QCOMPARE(shown(), y2023);
        // Down the keys: past 2023 (collapsed) to 2022.
        QTest::keyClick(tree, Qt::Key_Down);
        QCOMPARE(shown(), y2022);
        // A month of 2024 brings its year back.
        clickRow(tree->topLevelItem(0)->child(1));
        QCOMPARE(tree->currentItem()->text(0), u"prosinec"_qs);
        QCOMPARE(shown(), y2024);
        // "bez data" and "Celkem" leave the chart as it is.
        clickRow(tree->topLevelItem(3));
        QCOMPARE(tree->currentItem()->text(0), u"bez data"_qs);
        QCOMPARE(shown(), y2024);
        QCOMPARE(tree->topLevelItem(4)->text(0), u"Celkem"_qs);
        QCOMPARE(tree->topLevelItem(4)->text(2), u"164,5"_qs);
    }

    // A log with bikes: the bike chosen by keyboard sums only its rides;
    // with all bikes the chart stacks the year's km by bike.
    void perBike()
    {
        auto log = logOf({ride("3.1.2024", "", "10", ""), ride("4.1.2024", "", "2,5", ""),
                          ride("8.8.2024", "", "40", ""), ride("9.8.2024", "", "7", ""),
                          QStringList(7, QString())});
        log->setTableColumnCount(8);
        // The last row is a new ride not filled in yet: it took its bike
        // from the ride before, and it is no ride.
        log->setColumnTexts(7, {"Kolo", "Trek", "cube", "Cube", "", "Trek"});
        StatisticsWindow w(*log);
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY(w.bikeFilterBox);
        QCOMPARE(w.yearTree->topLevelItemCount(), 2); // 2024 and "Celkem", no "bez data"
        QCOMPARE(w.yearTree->topLevelItem(1)->text(1), u"4"_qs);
        QStringList offered;
        for (int i = 0; i < w.bikeFilterBox->count(); ++i)
            offered << w.bikeFilterBox->itemText(i);
        QCOMPARE(offered, QStringList({"Všechna kola", "cube", "Trek", "bez kola"}));
        QStringList stacked;
        for (QBarSet *set : w.bikeSeries->barSets())
            stacked << set->label() + u' ' + QString::number(set->at(0)) + u' ' + QString::number(set->at(7));
        QCOMPARE(stacked, QStringList({"cube 2.5 40", "Trek 10 0", "bez kola 0 7"}));
        QVERIFY(w.chartView->chart()->series().contains(w.bikeSeries));
        if (const QString folder = qEnvironmentVariable("TRASOVNIK_PICTURES"); !folder.isEmpty())
            w.grab().save(folder + QStringLiteral("/statistika-kola.png"));

        QTest::keyClick(&w, Qt::Key_K, Qt::AltModifier);
        QTRY_VERIFY(w.bikeFilterBox->hasFocus());
        QTest::keyClick(w.bikeFilterBox, Qt::Key_Down);
        QTreeWidgetItem *total = w.yearTree->topLevelItem(w.yearTree->topLevelItemCount() - 1);
        QCOMPARE(total->text(1) + u' ' + total->text(2), u"2 42,5"_qs);
        QVERIFY(!w.chartView->chart()->series().contains(w.bikeSeries));
        QCOMPARE(values(w.selectedYearBars), months({{1, 2.5}, {8, 40}}));
        QTest::keyClick(w.bikeFilterBox, Qt::Key_End);
        total = w.yearTree->topLevelItem(w.yearTree->topLevelItemCount() - 1);
        QCOMPARE(total->text(1) + u' ' + total->text(2), u"1 7"_qs);
    }

    void chartSavedAsPng_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::newRow("new file") << true;
        QTest::newRow("unwritable folder") << false;
    }
    void chartSavedAsPng()
    {
        QFETCH(bool, writable);
        QTemporaryDir dir;
        MessageRecorder msgs;
        const auto log = logOf({ride("3.1.2023", "", "10", "")});
        StatisticsWindow w(*log);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        // The system's own /proc takes no new file, not even from root.
        const QString target = writable ? dir.filePath(u"graf"_qs) : u"/proc/trasovnik-graf"_qs;
        bool asked = false;
        onModal<QFileDialog>([&](QFileDialog *d) {
            enterFileName(d, target);
            asked = true;
        });
        QTest::keyClick(&w, Qt::Key_U, Qt::AltModifier);
        QTRY_VERIFY(asked);
        QTRY_COMPARE(QApplication::activeModalWidget(), &w);
        const QImage saved(target + u".png"_qs, "PNG");
        if (writable) {
            QVERIFY(msgs.shown.isEmpty());
            QCOMPARE(saved.size(), w.chartView->size() * w.chartView->devicePixelRatio());
        } else {
            QCOMPARE(msgs.texts(), QStringList{u"Cannot create file /proc/trasovnik-graf.png"_qs});
            QVERIFY(saved.isNull());
        }
    }

    // Opened from the main window's menu, by mouse and by Alt+V, over the
    // committed cells; the ride log stays as it was.
    void openedFromTheMenu_data()
    {
        QTest::addColumn<bool>("byMouse");
        QTest::newRow("mouse") << true;
        QTest::newRow("Alt+V") << false;
    }
    void openedFromTheMenu()
    {
        QFETCH(bool, byMouse);
        QTemporaryDir dir;
        MessageRecorder msgs;
        putFile(dir.filePath(u"default.tvl"_qs),
                rideLogFile({ride("3.5.2005", "Stará", "10", "0:30"), ride("4.5.2005", "Stará", "5,5", "0:20")}));
        MainWindow main(dir.path());
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QList<QStringList> before;
        for (int r = 0; r < main.rideLog()->tableRowCount(); ++r)
            before << main.rideLog()->rowTexts(r);

        QString title, total;
        bool modal = false;
        onModal<StatisticsWindow>([&](StatisticsWindow *d) {
            title = d->windowTitle();
            modal = d->isModal() && d->parentWidget() == &main;
            const QTreeWidgetItem *last = d->yearTree->topLevelItem(d->yearTree->topLevelItemCount() - 1);
            total = QStringList{last->text(0), last->text(1), last->text(2), last->text(6)}.join(u' ');
            QTest::mouseClick(d->closeButton, Qt::LeftButton);
        });
        QMenuBar *bar = main.menuBar();
        QMenu *vypocty = bar->actions().at(2)->menu();
        QCOMPARE(vypocty->actions().constLast(), main.findChild<QAction *>(u"statisticsAction"_qs));
        QVERIFY(vypocty->actions().at(vypocty->actions().size() - 2)->isSeparator());
        if (byMouse) {
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(bar->actions().at(2)).center());
            QTRY_VERIFY(vypocty->isVisible());
            QTest::mouseClick(vypocty, Qt::LeftButton, {}, vypocty->actionGeometry(main.findChild<QAction *>(u"statisticsAction"_qs)).center());
        } else {
            QTest::keyClick(&main, Qt::Key_V, Qt::AltModifier);
            QCOMPARE(QApplication::activePopupWidget(), vypocty);
            for (int i = 0; i < 4; ++i)
                QTest::keyClick(vypocty, Qt::Key_Down);
            QTest::keyClick(vypocty, Qt::Key_Return);
        }
        QTRY_COMPARE(title, u"Statistika jízd"_qs);
        QVERIFY(modal);
        QCOMPARE(total, u"Celkem 2 15,5 Stará"_qs);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QList<QStringList> after;
        for (int r = 0; r < main.rideLog()->tableRowCount(); ++r)
            after << main.rideLog()->rowTexts(r);
        QCOMPARE(after, before);
        QVERIFY(msgs.shown.isEmpty());
    }
};

QTEST_MAIN(TestStats)
#include "tst_stats.moc"

#include "MessageRecorder.h"
#include "Modal.h"
#include "RideLogFile.h"
#include "RecordsView.h"
#include "RideRecords.h"
#include "RideStatistics.h"
#include "StatisticsWindow.h"
#include "StringTable.h"
#include "TestFiles.h"
#include "TestLocale.h"
#include "MainWindow.h"

#include <QBarSet>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QSignalSpy>
#include <QTabWidget>
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

// A log whose rides have the bikes given, in order ("" for none).
std::unique_ptr<StringTable> logWithBikes(const Rides &rides, QStringList bikes)
{
    auto log = logOf(rides);
    log->setTableColumnCount(8);
    bikes.prepend(QStringLiteral("Kolo"));
    log->setColumnTexts(7, bikes);
    return log;
}

// A record as the window lists it: value, when, route and the grid row of
// its ride.
QString recordLine(const RideRecords::Records &records, int kind)
{
    if (kind < 0)
        return RideRecords::skippedText(records.skipped);
    const auto &r = records.of[size_t(kind)];
    if (!r)
        return QStringLiteral("none");
    return QStringList{RideRecords::valueText(RideRecords::Kind(kind), *r),
                       RideRecords::whenText(RideRecords::Kind(kind), *r), r->route, QString::number(r->row)}
        .join(u" | ");
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

    void records_data()
    {
        using namespace RideRecords;
        QTest::addColumn<Rides>("rides");
        QTest::addColumn<QStringList>("bikes"); // empty: a log without bikes
        QTest::addColumn<QString>("bike");      // the choice; "*": all
        QTest::addColumn<int>("kind");          // -1: the line of rides left out
        QTest::addColumn<QString>("line");

        const Rides season = {
            ride("8.6.2025", "Okruh", "40", "2:00"),      // row 1, Sunday
            ride("2.6.2025", "Brno", "60", "3:10"),       // row 2, Monday
            ride("30.6.2025", "Pálava", "50", "1:40"),    // row 3, Monday: 30 km/h
            ride("6.7.2025", "Tišnov", "35", "1:00"),     // row 4, Sunday: 35 km/h
            ride("7.7.2025", "Okruh", "19,9", "0:30"),    // row 5: 39,8 km/h, but under 20 km
            ride("3.6.2025", "Brno", "60", "2:00"),       // row 6: as long as row 2, a day later
            ride("3.6.2025 18:00", "Kopec", "5,5", "bad"), // row 7: no time, still km
        };
        QTest::newRow("longest ride: the earliest of equals") << season << QStringList() << "*" << int(LongestRide)
                                                              << "60 km | 2.6.2025 | Brno | 2";
        QTest::newRow("longest time") << season << QStringList() << "*" << int(LongestTime)
                                      << "3:10 h | 2.6.2025 | Brno | 2";
        QTest::newRow("fastest average from 20 km") << season << QStringList() << "*" << int(FastestAverage)
                                                    << "35 km/h | 6.7.2025 | Tišnov | 4";
        QTest::newRow("most km in a day: its longest ride") << season << QStringList() << "*" << int(MostKmDay)
                                                            << "65,5 km | 3.6.2025 | Brno | 6";
        QTest::newRow("most km in a week") << season << QStringList() << "*" << int(MostKmWeek)
                                           << "165,5 km | 2.–8.6.2025 | Brno | 2";
        QTest::newRow("most km in a month") << season << QStringList() << "*" << int(MostKmMonth)
                                            << "215,5 km | červen 2025 | Brno | 2";
        QTest::newRow("most rides in a month") << season << QStringList() << "*" << int(MostRidesMonth)
                                               << "5 jízd | červen 2025 | Brno | 2";
        QTest::newRow("most km in a year") << season << QStringList() << "*" << int(MostKmYear)
                                           << "270,4 km | 2025 | Brno | 2";
        QTest::newRow("days in a row") << season << QStringList() << "*" << int(LongestDayRun)
                                       << "2 dny | 2.–3.6.2025 | Brno | 2";
        // Two runs of two weeks: 2.–15.6. has none (the week of 9.6. has no ride).
        QTest::newRow("weeks in a row") << season << QStringList() << "*" << int(LongestWeekRun)
                                        << "2 týdny | 30.6.–13.7.2025 | Pálava | 3";
        QTest::newRow("nothing left out") << season << QStringList() << "*" << -1 << "";

        const Rides acrossEnds = {
            ride("1.1.2025", "Nový rok", "10", ""),  ride("30.12.2024", "Silvestr", "0,1", ""),
            ride("31.12.2024", "Silvestr", "0,2", ""), ride("30.6.2025", "Léto", "1000", ""),
            ride("6.7.2025", "Léto", "234,5", ""),  ride("29.12.2024", "Zima", "0,3", ""),
        };
        QTest::newRow("a week across a month's end") << acrossEnds << QStringList() << "*" << int(MostKmWeek)
                                                     << "1 234,5 km | 30.6.–6.7.2025 | Léto | 4";
        QTest::newRow("a run across a year's end") << acrossEnds << QStringList() << "*" << int(LongestDayRun)
                                                   << "4 dny | 29.12.2024–1.1.2025 | Nový rok | 1";
        QTest::newRow("weeks across a year's end") << acrossEnds << QStringList() << "*" << int(LongestWeekRun)
                                                   << "2 týdny | 23.12.2024–5.1.2025 | Nový rok | 1";
        // 0,1 + 0,2 is a hair over 0,3 in doubles: as shown, the two days tie
        // and the earlier wins.
        const Rides tie = {ride("2.1.2024", "B", "0,1", ""), ride("2.1.2024", "B", "0,2", ""),
                           ride("1.1.2024", "A", "0,3", "")};
        QTest::newRow("a tie as shown") << tie << QStringList() << "*" << int(MostKmDay) << "0,3 km | 1.1.2024 | A | 3";

        const Rides odd = {
            ride("1.5.2024", "Dobrá", "20", "1:00"), ride("někdy", "Bez data", "500", "1:00"),
            ride("2.5.2024", "Bez km", "", "1:00"),  ride("3.5.2024", "Slovem", "sto", "1:00"),
            ride("4.5.2024", "Záporná", "-5", ""),   QStringList(7, QString()),
        };
        QTest::newRow("invalid date or km left out") << odd << QStringList() << "*" << -1
                                                     << "vynecháno 4 jízd (neplatné datum nebo km)";
        QTest::newRow("invalid rides hold no record") << odd << QStringList() << "*" << int(LongestRide)
                                                      << "20 km | 1.5.2024 | Dobrá | 1";
        QTest::newRow("no ride of 20 km with a time") << tie << QStringList() << "*" << int(FastestAverage) << "none";

        const QStringList bikes{"Trek", "Trek", "cube", "Cube", "Trek", "Trek", ""};
        QTest::newRow("one bike, any letter case") << season << bikes << "Cube" << int(MostKmWeek)
                                                   << "85 km | 30.6.–6.7.2025 | Pálava | 3";
        QTest::newRow("rides without a bike") << season << bikes << "" << int(LongestRide)
                                              << "5,5 km | 3.6.2025 | Kopec | 7";
    }
    void records()
    {
        QFETCH(Rides, rides);
        QFETCH(QStringList, bikes);
        QFETCH(QString, bike);
        QFETCH(int, kind);
        QFETCH(QString, line);
        const auto log = bikes.isEmpty() ? logOf(rides) : logWithBikes(rides, bikes);
        const auto records = RideRecords::compute(*log, bike == u"*" ? std::nullopt : std::optional(bike));
        QCOMPARE(recordLine(records, kind).replace(QChar(0xa0), u' '), line);
    }

    // The tab "Rekordy" reached by Alt+R; a record activated by a double
    // click or by Enter hands on its ride's grid row and closes the window.
    void recordActivated_data()
    {
        QTest::addColumn<bool>("byMouse");
        QTest::newRow("double click") << true;
        QTest::newRow("Enter") << false;
    }
    void recordActivated()
    {
        QFETCH(bool, byMouse);
        const auto log = logOf({ride("1.6.2025", "A", "10", ""), ride("9.6.2025", "B", "30", ""),
                                ride("10.6.2025", "C", "25", "")});
        StatisticsWindow w(*log);
        QSignalSpy activated(&w, &StatisticsWindow::rideActivated);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_R, Qt::AltModifier);
        QCOMPARE(w.tabs->currentWidget(), w.recordsView);
        QTreeWidget *list = w.recordsView->recordList;
        // "Nejvíc km za týden": the week of 9.6., its longest ride B.
        QTreeWidgetItem *week = list->findItems(u"Nejvíc km za týden"_qs, Qt::MatchExactly).value(0);
        QVERIFY(week);
        QCOMPARE(week->text(2), u"9.–15.6.2025"_qs);
        const QPoint at = list->visualItemRect(week).center();
        // A double click: press and release, then the second press.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(activated.size(), 0);
        if (byMouse)
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        else
            QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(activated.size(), 1);
        QCOMPARE(activated.at(0).at(0).toInt(), 2);
        QVERIFY(!w.isVisible());
        QCOMPARE(w.result(), int(QDialog::Accepted));
    }

    // With the filter's shown rows, "jen zobrazené jízdy" (Alt+J) switches
    // the tree, the chart and the records between those rows and the whole
    // log; without them there is no such box.
    void shownRidesOnly()
    {
        const auto log = logWithBikes({ride("1.6.2025", "A", "10", ""), ride("2.6.2025", "B", "30", ""),
                                       ride("3.7.2025", "C", "25", ""), ride("4.7.2025", "D", "5", "")},
                                      {"Trek", "Trek", "Cube", "Trek"});
        QVERIFY(!StatisticsWindow(*log).shownOnlyBox);
        const std::vector<int> shown{1, 3, 4};
        StatisticsWindow w(*log, nullptr, {&shown, {}});
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY(w.shownOnlyBox && w.shownOnlyBox->isChecked());
        auto state = [&] {
            QTreeWidgetItem *total = w.yearTree->topLevelItem(w.yearTree->topLevelItemCount() - 1);
            QStringList stacked;
            for (QBarSet *set : w.bikeSeries->barSets())
                stacked << set->label() + u' ' + QString::number(set->at(5)) + u'/' + QString::number(set->at(6));
            const auto longest = w.recordsView->recordList->topLevelItem(0);
            return QStringList{total->text(1) + u' ' + total->text(2), stacked.join(u", "),
                               longest->text(1) + u' ' + longest->text(3)};
        };
        QTest::keyClick(&w, Qt::Key_R, Qt::AltModifier);
        QCOMPARE(state(), (QStringList{"3 40", "Cube 0/25, Trek 10/5", "25 km C"}));
        // A mnemonic clicks its button a moment later.
        QTest::keyClick(&w, Qt::Key_J, Qt::AltModifier);
        QTRY_VERIFY(!w.shownOnlyBox->isChecked());
        QCOMPARE(state(), (QStringList{"4 70", "Cube 0/25, Trek 40/5", "30 km B"}));
        // The bike chosen, then the box again.
        w.bikeFilterBox->setCurrentIndex(w.bikeFilterBox->findText(u"Trek"_qs));
        QTest::keyClick(&w, Qt::Key_J, Qt::AltModifier);
        QTRY_VERIFY(w.shownOnlyBox->isChecked());
        QTreeWidgetItem *total = w.yearTree->topLevelItem(w.yearTree->topLevelItemCount() - 1);
        QCOMPARE(total->text(1) + u' ' + total->text(2), u"2 15"_qs);
        QCOMPARE(w.recordsView->recordList->topLevelItem(0)->text(3), u"A"_qs);
    }

    // A year with a goal: its km by each month's end against the even pace
    // from 0 on 1 January to the goal on 31 December; a year without one
    // shows neither line.
    void yearlyGoal()
    {
        const auto log = logOf({ride("10.1.2024", "Okruh", "100", "4:00"), ride("3.3.2024", "Brno", "50,5", "2:01"),
                                ride("5.5.2023", "Tišnov", "7", "")});
        StatisticsWindow w(*log, nullptr, {nullptr, {{2024, 732}, {2022, 100}}});
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.chartYear(), 2024);
        QChart *chart = w.chartView->chart();
        QVERIFY(chart->series().contains(w.goalLine) && chart->series().contains(w.cumulativeLine));
        // 2024 has 366 days: 2 km a day.
        const QList<double> due{0, 62, 120, 182, 242, 304, 364, 426, 488, 548, 610, 670, 732};
        const QList<double> ridden{0, 100, 100, 150.5, 150.5, 150.5, 150.5, 150.5, 150.5, 150.5, 150.5, 150.5, 150.5};
        const QList<QPointF> goal = w.goalLine->points(), cumulative = w.cumulativeLine->points();
        QCOMPARE(goal.size(), 13);
        QCOMPARE(cumulative.size(), 13);
        for (int i = 0; i < 13; ++i) {
            QCOMPARE(goal[i], QPointF(i - 0.5, due[i]));
            QCOMPARE(cumulative[i], QPointF(i - 0.5, ridden[i]));
        }
        QCOMPARE(w.goalLine->name(), u"Roční cíl (km)"_qs);
        w.showYear(2023);
        QVERIFY(!chart->series().contains(w.goalLine) && !chart->series().contains(w.cumulativeLine));
        if (const QString folder = qEnvironmentVariable("TRASOVNIK_PICTURES"); !folder.isEmpty()) {
            w.showYear(2024);
            QTest::qWait(100); // the chart lays its legend out later
            w.grab().save(folder + QStringLiteral("/statistika-cil.png"));
            w.tabs->setCurrentWidget(w.recordsView);
            w.grab().save(folder + QStringLiteral("/statistika-rekordy.png"));
        }
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

#pragma once
#include "RideStatistics.h"

#include <QDialog>

#include <map>
#include <optional>
#include <vector>

class QBarCategoryAxis;
class QBarSet;
class QCheckBox;
class QLineSeries;
class QTabWidget;
class RecordsView;
class QBarSeries;
class QComboBox;
class QStackedBarSeries;
class QChartView;
class QFileDialog;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QValueAxis;
class QChart;
class StringTable;

// "Statistika jízd": the ride log's sums per year and month in a tree, and
// a bar chart of the distance per month of the selected year beside the
// year before. A log with bikes gets a choice of the bike above the tree;
// with all bikes chosen, the chart shows the selected year's distance per
// month stacked by bike. With a yearly goal for the selected year the chart
// also shows the year's km ridden by the end of each month against the even
// pace towards the goal. A second tab lists the rider's records; activating
// one hands on its ride and closes the window (accept()). When the main
// window's filter is on, a checkbox limits the sums, the chart and the
// records to the rides it shows. Reads the committed cells and changes
// nothing.
class StatisticsWindow : public QDialog
{
    Q_OBJECT
public:
    struct Options
    {
        const std::vector<int> *shownRows = nullptr; // the filter's shown rides; nullptr: no filter
        std::map<int, double> yearlyGoals;           // year -> goal km; empty: no goal
    };
    // The shown rows are copied. Two constructors rather than one with
    // `Options options = {}`: a class nested in this one cannot be a
    // default argument of it (its member initialisers are not known until
    // the class is complete).
    explicit StatisticsWindow(const StringTable &log, QWidget *parent = nullptr);
    StatisticsWindow(const StringTable &log, QWidget *parent, Options options);

    const RideStatistics::Statistics &statistics() const { return m_stats; }
    // The year the chart shows (its first series); 0 when the log has no
    // dated ride.
    int chartYear() const { return m_chartYear; }

    QTreeWidget *yearTree = nullptr;
    QChartView *chartView = nullptr;
    QBarSet *selectedYearBars = nullptr;
    QBarSet *previousYearBars = nullptr;
    // Only for a log with bikes: the bike whose rides are summed, and the
    // chart's series of each bike.
    QComboBox *bikeFilterBox = nullptr;
    QStackedBarSeries *bikeSeries = nullptr;
    QPushButton *saveChartButton = nullptr;
    QPushButton *closeButton = nullptr;
    QFileDialog *saveChartDialog = nullptr;
    QTabWidget *tabs = nullptr;
    RecordsView *recordsView = nullptr;
    // Only with the filter's shown rides: whether only they are summed.
    QCheckBox *shownOnlyBox = nullptr;
    // Only with yearly goals: the km ridden by each month's end and the
    // goal's even pace, on the right-hand axis; in the chart while the
    // selected year has a goal. Points at the months' edges, the first at
    // 1 January (x -0.5), then the end of each month (x 0.5 .. 11.5).
    QLineSeries *cumulativeLine = nullptr;
    QLineSeries *goalLine = nullptr;

    // Shows a year and the one before it in the chart.
    void showYear(int year);
    // Sums only the rides of the bike chosen in bikeFilterBox.
    void showChosenBike();

signals:
    // A record activated: select that ride (its grid row).
    void rideActivated(int gridRow);

private slots:
    void saveChart();

private:
    void fillTree();
    void addBikeChoice();
    void computePerBike();
    QWidget *buildChoices();
    QChart *buildChart();
    void addGoalLines(QChart *chart);
    void showGoal(int year);
    void showRecords();
    std::optional<QString> chosenBike() const;
    const std::vector<int> *chosenRows() const;
    QTreeWidgetItem *addRow(QTreeWidgetItem *parent, const QString &first, const RideStatistics::Sums &sums);

    const StringTable &m_log;
    RideStatistics::Statistics m_stats;
    // Each bike's statistics, for the chart by bike: its label in the
    // chart, the bike's name as the rides have it ("" for no bike), its sums.
    struct BikeSums
    {
        QString label;
        QString bike;
        RideStatistics::Statistics stats;
    };
    QList<BikeSums> m_perBike;
    std::optional<std::vector<int>> m_shownRows;
    std::map<int, double> m_goals;
    bool m_recordsStale = true;
    int m_chartYear = 0;
    QBarCategoryAxis *m_axisMonths = nullptr;
    QValueAxis *m_axisKm = nullptr;
    QValueAxis *m_axisGoal = nullptr;
    QBarSeries *m_yearSeries = nullptr;
};

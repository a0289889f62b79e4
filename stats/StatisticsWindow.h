#pragma once
#include "RideStatistics.h"

#include <QDialog>

class QBarSet;
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
// month stacked by bike. Reads the committed cells and changes nothing.
class StatisticsWindow : public QDialog
{
    Q_OBJECT
public:
    explicit StatisticsWindow(const StringTable &log, QWidget *parent = nullptr);

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

    // Shows a year and the one before it in the chart.
    void showYear(int year);
    // Sums only the rides of the bike chosen in bikeFilterBox.
    void showChosenBike();

private slots:
    void saveChart();

private:
    void fillTree();
    void addBikeChoice(QChart *chart);
    QChart *buildChart();
    QTreeWidgetItem *addRow(QTreeWidgetItem *parent, const QString &first, const RideStatistics::Sums &sums);

    const StringTable &m_log;
    RideStatistics::Statistics m_stats;
    // Each bike's statistics, for the chart by bike.
    QList<std::pair<QString, RideStatistics::Statistics>> m_perBike;
    int m_chartYear = 0;
    QValueAxis *m_axisKm = nullptr;
    QBarSeries *m_yearSeries = nullptr;
};

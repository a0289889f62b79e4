#pragma once
#include "RideStatistics.h"

#include <QDialog>

class QBarSet;
class QBarSeries;
class QChartView;
class QFileDialog;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QValueAxis;
class StringTable;

// "Statistika jízd": the ride log's sums per year and month in a tree, and
// a bar chart of the distance per month of the selected year beside the
// year before. Reads the committed cells and changes nothing.
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
    QPushButton *saveChartButton = nullptr;
    QPushButton *closeButton = nullptr;
    QFileDialog *saveChartDialog = nullptr;

    // Shows a year and the one before it in the chart.
    void showYear(int year);

private slots:
    void saveChart();

private:
    void fillTree();
    QTreeWidgetItem *addRow(QTreeWidgetItem *parent, const QString &first, const RideStatistics::Sums &sums);

    RideStatistics::Statistics m_stats;
    int m_chartYear = 0;
    QValueAxis *m_axisKm = nullptr;
};

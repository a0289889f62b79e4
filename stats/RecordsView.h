#pragma once
#include "RideRecords.h"

#include <QWidget>

class QLabel;
class QTreeWidget;

// The tab "Rekordy" of the statistics window: one line per record with
// its value, its day or period and its route, and below them how many
// rides were left out. Activating a line (double click, Enter) hands on
// the grid row of the record's ride: for a period or a run its longest
// ride (see RideRecords::Record::row).
class RecordsView : public QWidget
{
    Q_OBJECT
public:
    explicit RecordsView(QWidget *parent = nullptr);

    void showRecords(const RideRecords::Records &records);

    QTreeWidget *recordList = nullptr;
    QLabel *skippedLabel = nullptr;

signals:
    void rideActivated(int gridRow);
};

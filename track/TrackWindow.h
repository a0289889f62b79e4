#pragma once
#include "KeptRide.h"
#include "ProgramFolder.h"

#include <QDialog>
#include <QStringList>

#include <memory>
#include <vector>

class PlacementStorage;
class QChartView;
class QLabel;
class QLineSeries;
class QPushButton;
class QTabWidget;
class TrackMapView;
namespace MapTiles {
class TileLoader;
}

// "Trasa jízdy": where a ride went, read again from the kept copy of the
// file it was imported from. The track on a map (TrackMapView), under it
// charts of elevation, speed and what else the device recorded (heart
// rate, cadence, power) over the distance, with a cursor that marks its
// point on the track, and beside them the ride's figures. "Uložit jako
// GPX…" writes the track for other programs. A kept copy that is missing
// or damaged is named with the reason; the ride itself is never changed.
class TrackWindow : public QDialog
{
    Q_OBJECT
public:
    // `cells` are the ride's row in the log, `link` its "Záznam" cell.
    TrackWindow(const QStringList &cells, const QString &link, const ProgramFolder::Location &where,
                QWidget *parent = nullptr);
    ~TrackWindow() override;

    const KeptRide::Loaded &ride() const { return m_ride; }

    TrackMapView *mapView = nullptr;
    QTabWidget *chartTabs = nullptr;
    QLabel *figuresLabel = nullptr;
    QLabel *problemLabel = nullptr;
    QPushButton *saveGpxButton = nullptr;
    QPushButton *mapSourceButton = nullptr;
    QPushButton *closeButton = nullptr;

    // Puts the charts' cursor at `km` along the ride (and its mark on the
    // map); a negative value takes it away.
    void setCursorKm(double km);
    // The point the cursor marks: index into the points of all pieces.
    qsizetype cursorPoint() const { return m_cursorPoint; }

    void saveGpx();
    // "Mapový podklad…": the map under the track chosen again.
    void chooseMapSource();
    MapTiles::TileLoader *tiles() const { return m_tiles; }

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Chart;
    void buildCharts();
    void addChart(const QString &title, const QString &unit, float RideTrack::TrackPoint::*value, bool speed);
    QString figuresText() const;

    KeptRide::Loaded m_ride;
    QStringList m_cells;
    ProgramFolder::Location m_where;
    // The points of all pieces in order, for the cursor.
    std::vector<const RideTrack::TrackPoint *> m_points;
    std::vector<Chart> m_charts;
    qsizetype m_cursorPoint = -1;
    MapTiles::TileLoader *m_tiles = nullptr;
    PlacementStorage *m_storage = nullptr;
};

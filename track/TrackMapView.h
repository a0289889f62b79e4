#pragma once
#include "MapTiles.h"
#include "RideTrack.h"

#include <QHash>
#include <QList>
#include <QPointF>
#include <QWidget>

#include <optional>

// The track of a ride drawn on the plane of the Web Mercator projection
// (north up, the aspect true at the ride's latitude), with a map under it
// when the rider chose one: start and end marked, a scale bar, the map's
// attribution and a short note when the map cannot be had.
//
// Zoom: the wheel (about the pointer), "+" and "−" (about the middle),
// "0" for the whole track. Pan: dragging, or the arrow keys. The line is
// simplified for each zoom level to what the screen can show, so that a
// day's ride of tens of thousands of points pans at the screen's rate.
class TrackMapView : public QWidget
{
    Q_OBJECT
public:
    explicit TrackMapView(QWidget *parent = nullptr);

    // The track to draw; the view shows it whole.
    void setTrack(const RideTrack::Track &track);
    // Tiles from this loader go under the track (none: the plain
    // background). Not owned.
    void setTileLoader(MapTiles::TileLoader *loader);
    // A point of the track marked (the charts' cursor); none: no mark.
    void setMarkedPoint(std::optional<QPointF> latLon);
    // A note shown at the top of the view (why there is no map, points
    // left out); empty: none.
    void setNote(const QString &note);

    // The zoom level (tile zoom: 256 · 2^zoom pixels around the world)
    // and the middle of the view in the projection's unit square.
    double zoom() const { return m_zoom; }
    QPointF centre() const { return m_centre; }
    // Shows the whole track.
    void showWholeTrack();
    // Metres a pixel at the view's middle.
    double metresPerPixel() const;
    // The scale bar's length in metres and its text ("500 m", "2 km").
    double scaleBarMetres() const;
    QString scaleBarText() const;
    // The points of the line drawn at the current zoom, summed over the
    // pieces.
    qsizetype drawnPointCount() const;
    // The points of the line the last paint drew (those in sight).
    qsizetype paintedPointCount() const { return m_painted; }
    // Moves the view's middle to a point of the earth.
    void centreOn(double lat, double lon);
    // Where a point of the earth is in the view.
    QPointF pixelOf(double lat, double lon) const;

    static QPointF projected(double lat, double lon);

protected:
    void paintEvent(QPaintEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    double scale() const;
    QPointF toPixel(const QPointF &world) const;
    QPointF toWorld(const QPointF &pixel) const;
    void zoomAbout(double newZoom, const QPointF &pixel);
    void panBy(const QPointF &pixels);
    void viewChanged();
    const QList<QPolygonF> &linesForZoom();
    void askForTiles();
    QList<MapTiles::TileKey> visibleTiles() const;
    int tileZoom() const;
    void drawTiles(QPainter &p);
    void drawTrack(QPainter &p);
    void drawScaleBar(QPainter &p);
    void drawTexts(QPainter &p);

    // The pieces in the projection's unit square, whole.
    QList<QPolygonF> m_pieces;
    QRectF m_bounds;
    // Simplified lines by whole zoom level.
    QHash<int, QList<QPolygonF>> m_lines;
    std::optional<QPointF> m_marked;
    QString m_note;
    MapTiles::TileLoader *m_loader = nullptr;
    double m_zoom = 1;
    QPointF m_centre{0.5, 0.5};
    bool m_fitted = false;
    std::optional<QPointF> m_dragFrom;
    qsizetype m_painted = 0;
};

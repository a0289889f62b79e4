#include "TrackMapView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kMinZoom = 0;
constexpr double kMaxZoom = 20;
constexpr int kMaxTileZoom = 19;
constexpr double kTileSize = 256;
// The equator's length on the WGS84 ellipsoid, in metres.
constexpr double kEquatorMetres = 40075016.686;
// How far the simplified line may stray from the recorded one, in pixels.
constexpr double kLineTolerancePixels = 0.5;
// A key press zooms by half a level, pans by a fifth of the view.
constexpr double kZoomStep = 0.5;
constexpr double kPanFraction = 0.2;

QColor lineColour()
{
    return QColor(0xd0, 0x20, 0x60);
}

} // namespace

TrackMapView::TrackMapView(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(320, 240);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::OpenHandCursor);
    setAccessibleName(QStringLiteral("Mapa trasy"));
}

QPointF TrackMapView::projected(double lat, double lon)
{
    // Web Mercator, the tiles' projection, clamped where it ends.
    const double clamped = std::clamp(lat, -85.05112878, 85.05112878) * std::numbers::pi / 180;
    const double x = (lon + 180) / 360;
    const double y = (1 - std::log(std::tan(clamped) + 1 / std::cos(clamped)) / std::numbers::pi) / 2;
    return {x, y};
}

void TrackMapView::setTrack(const RideTrack::Track &track)
{
    m_pieces.clear();
    m_lines.clear();
    m_bounds = QRectF();
    double left = 1, top = 1, right = 0, bottom = 0;
    for (const RideTrack::TrackPiece &piece : track.pieces) {
        QPolygonF line;
        line.reserve(piece.size());
        for (const RideTrack::TrackPoint &point : piece) {
            const QPointF w = projected(point.lat, point.lon);
            line.append(w);
            left = std::min(left, w.x());
            right = std::max(right, w.x());
            top = std::min(top, w.y());
            bottom = std::max(bottom, w.y());
        }
        m_pieces.append(std::move(line));
    }
    if (!m_pieces.isEmpty())
        m_bounds = QRectF(QPointF(left, top), QPointF(right, bottom));
    m_fitted = false;
    showWholeTrack();
}

void TrackMapView::setTileLoader(MapTiles::TileLoader *loader)
{
    if (m_loader)
        disconnect(m_loader, nullptr, this, nullptr);
    m_loader = loader;
    if (m_loader) {
        connect(m_loader, &MapTiles::TileLoader::tileArrived, this, [this] { update(); });
        connect(m_loader, &MapTiles::TileLoader::problemChanged, this, [this] { update(); });
    }
    askForTiles();
    update();
}

void TrackMapView::setMarkedPoint(std::optional<QPointF> latLon)
{
    m_marked = latLon;
    update();
}

void TrackMapView::setNote(const QString &note)
{
    m_note = note;
    update();
}

double TrackMapView::scale() const
{
    return kTileSize * std::exp2(m_zoom);
}

QPointF TrackMapView::toPixel(const QPointF &world) const
{
    return (world - m_centre) * scale() + QPointF(width() / 2.0, height() / 2.0);
}

QPointF TrackMapView::toWorld(const QPointF &pixel) const
{
    return (pixel - QPointF(width() / 2.0, height() / 2.0)) / scale() + m_centre;
}

QPointF TrackMapView::pixelOf(double lat, double lon) const
{
    return toPixel(projected(lat, lon));
}

void TrackMapView::showWholeTrack()
{
    if (m_bounds.isNull() && m_pieces.isEmpty()) {
        m_zoom = 1;
        m_centre = {0.5, 0.5};
    } else {
        m_centre = m_bounds.center();
        // The track fills the view but for a margin; a ride that stayed
        // in one place is shown at a street's scale.
        const double w = std::max(m_bounds.width(), 1e-9);
        const double h = std::max(m_bounds.height(), 1e-9);
        const double fit = std::min((width() - 40) / (w * kTileSize), (height() - 40) / (h * kTileSize));
        m_zoom = std::clamp(std::log2(std::max(fit, 1e-9)), kMinZoom, 17.0);
    }
    m_fitted = true;
    viewChanged();
}

double TrackMapView::metresPerPixel() const
{
    // The projection's scale grows with the secant of the latitude.
    const double y = m_centre.y();
    const double lat = std::atan(std::sinh(std::numbers::pi * (1 - 2 * y)));
    return kEquatorMetres * std::cos(lat) / scale();
}

double TrackMapView::scaleBarMetres() const
{
    // The longest of 1, 2 and 5 times a power of ten that takes at most
    // 120 pixels.
    const double most = 120 * metresPerPixel();
    double step = std::pow(10.0, std::floor(std::log10(most)));
    for (double factor : {5.0, 2.0, 1.0}) {
        if (step * factor <= most)
            return step * factor;
    }
    return step;
}

QString TrackMapView::scaleBarText() const
{
    const double m = scaleBarMetres();
    if (m >= 1000)
        return QStringLiteral("%1 km").arg(m / 1000);
    return QStringLiteral("%1 m").arg(m);
}

const QList<QPolygonF> &TrackMapView::linesForZoom()
{
    const int level = int(std::floor(m_zoom));
    auto found = m_lines.find(level);
    if (found != m_lines.end())
        return *found;
    // The tolerance of the deeper end of the level: the line holds for
    // every zoom of it.
    const double tolerance = kLineTolerancePixels / (kTileSize * std::exp2(level + 1));
    QList<QPolygonF> lines;
    lines.reserve(m_pieces.size());
    std::vector<double> xs, ys;
    for (const QPolygonF &piece : m_pieces) {
        xs.resize(size_t(piece.size()));
        ys.resize(size_t(piece.size()));
        for (qsizetype i = 0; i < piece.size(); ++i) {
            xs[size_t(i)] = piece[i].x();
            ys[size_t(i)] = piece[i].y();
        }
        const QList<int> kept = RideTrack::simplifiedLine(xs.data(), ys.data(), int(piece.size()), tolerance);
        QPolygonF line;
        line.reserve(kept.size());
        for (int i : kept)
            line.append(piece[i]);
        lines.append(std::move(line));
    }
    return *m_lines.insert(level, std::move(lines));
}

qsizetype TrackMapView::drawnPointCount() const
{
    qsizetype n = 0;
    const auto found = m_lines.constFind(int(std::floor(m_zoom)));
    if (found != m_lines.cend())
        for (const QPolygonF &line : *found)
            n += line.size();
    return n;
}

void TrackMapView::zoomAbout(double newZoom, const QPointF &pixel)
{
    newZoom = std::clamp(newZoom, kMinZoom, kMaxZoom);
    if (newZoom == m_zoom)
        return;
    // The point under `pixel` stays there.
    const QPointF world = toWorld(pixel);
    m_zoom = newZoom;
    m_fitted = false;
    m_centre = world - (pixel - QPointF(width() / 2.0, height() / 2.0)) / scale();
    viewChanged();
}

void TrackMapView::centreOn(double lat, double lon)
{
    m_fitted = false;
    m_centre = projected(lat, lon);
    viewChanged();
}

void TrackMapView::panBy(const QPointF &pixels)
{
    m_fitted = false;
    m_centre -= pixels / scale();
    m_centre.setX(std::clamp(m_centre.x(), 0.0, 1.0));
    m_centre.setY(std::clamp(m_centre.y(), 0.0, 1.0));
    viewChanged();
}

void TrackMapView::viewChanged()
{
    askForTiles();
    update();
}

int TrackMapView::tileZoom() const
{
    return std::clamp(int(std::lround(m_zoom)), 0, kMaxTileZoom);
}

QList<MapTiles::TileKey> TrackMapView::visibleTiles() const
{
    QList<MapTiles::TileKey> keys;
    const int z = tileZoom();
    const int count = 1 << z;
    const QPointF topLeft = toWorld(QPointF(0, 0)) * count;
    const QPointF bottomRight = toWorld(QPointF(width(), height())) * count;
    const int x0 = std::max(0, int(std::floor(topLeft.x())));
    const int y0 = std::max(0, int(std::floor(topLeft.y())));
    const int x1 = std::min(count - 1, int(std::floor(bottomRight.x())));
    const int y1 = std::min(count - 1, int(std::floor(bottomRight.y())));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            keys.append({z, x, y});
    // The middle of the view first.
    const QPointF middle = m_centre * count;
    std::stable_sort(keys.begin(), keys.end(), [&](const MapTiles::TileKey &a, const MapTiles::TileKey &b) {
        const auto distance = [&](const MapTiles::TileKey &k) {
            return std::hypot(k.x + 0.5 - middle.x(), k.y + 0.5 - middle.y());
        };
        return distance(a) < distance(b);
    });
    return keys;
}

void TrackMapView::askForTiles()
{
    if (m_loader && m_loader->source().kind != MapTiles::MapSource::Kind::None && width() > 0)
        m_loader->want(visibleTiles());
}

void TrackMapView::drawTiles(QPainter &p)
{
    if (!m_loader || m_loader->source().kind == MapTiles::MapSource::Kind::None)
        return;
    const int z = tileZoom();
    const double size = scale() / (1 << z);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (const MapTiles::TileKey &key : visibleTiles()) {
        const QImage image = m_loader->tile(key);
        if (image.isNull())
            continue;
        const QPointF corner = toPixel(QPointF(key.x, key.y) / (1 << z));
        // Whole pixels, a pixel over, so that no seam shows between tiles.
        const QRectF target(QPointF(std::floor(corner.x()), std::floor(corner.y())),
                            QSizeF(std::ceil(size) + 1, std::ceil(size) + 1));
        p.drawImage(target, image);
    }
}

void TrackMapView::drawTrack(QPainter &p)
{
    if (m_pieces.isEmpty())
        return;
    p.setRenderHint(QPainter::Antialiasing, true);
    // A light edge under the line keeps it visible on any map.
    QPen edge(QColor(255, 255, 255, 200), 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    QPen line(lineColour(), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    // Only the stretches of the line that cross the view are drawn: deep
    // in, the line has tens of thousands of points, most far outside.
    const QRectF view = QRectF(rect()).adjusted(-10, -10, 10, 10);
    QList<QPolygonF> onScreen;
    for (const QPolygonF &piece : linesForZoom()) {
        QPolygonF run;
        QPointF previous;
        for (qsizetype i = 0; i < piece.size(); ++i) {
            const QPointF pixel = toPixel(piece[i]);
            const bool crosses = i > 0 && QRectF(previous, pixel).normalized().adjusted(-1, -1, 1, 1).intersects(view);
            if (crosses) {
                if (run.isEmpty())
                    run.append(previous);
                run.append(pixel);
            } else if (!run.isEmpty()) {
                onScreen.append(std::move(run));
                run = QPolygonF();
            }
            previous = pixel;
        }
        if (!run.isEmpty())
            onScreen.append(std::move(run));
        else if (piece.size() == 1)
            onScreen.append(QPolygonF{toPixel(piece[0])});
    }
    m_painted = 0;
    for (const QPolygonF &pixels : onScreen)
        m_painted += pixels.size();
    for (const QPen &pen : {edge, line}) {
        p.setPen(pen);
        for (const QPolygonF &pixels : onScreen)
            p.drawPolyline(pixels);
    }
    // The start: a green disc; the end: a black and white flag square.
    const QPointF start = toPixel(m_pieces.constFirst().constFirst());
    const QPointF end = toPixel(m_pieces.constLast().constLast());
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(QColor(0x1a, 0x9a, 0x3a));
    p.drawEllipse(start, 7, 7);
    p.setBrush(Qt::black);
    p.drawRect(QRectF(end - QPointF(6, 6), QSizeF(12, 12)));
    p.fillRect(QRectF(end - QPointF(5, 5), QSizeF(5, 5)), Qt::white);
    p.fillRect(QRectF(end, QSizeF(5, 5)), Qt::white);
    if (m_marked) {
        p.setPen(QPen(Qt::black, 2));
        p.setBrush(QColor(255, 210, 0));
        p.drawEllipse(pixelOf(m_marked->x(), m_marked->y()), 6, 6);
    }
}

void TrackMapView::drawScaleBar(QPainter &p)
{
    const double length = scaleBarMetres() / metresPerPixel();
    const QPointF origin(12, height() - 14);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QString text = scaleBarText();
    const QRectF back(origin - QPointF(6, 22), QSizeF(length + 12, 30));
    p.fillRect(back, QColor(255, 255, 255, 190));
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(origin, origin + QPointF(length, 0));
    p.drawLine(origin, origin - QPointF(0, 6));
    p.drawLine(origin + QPointF(length, 0), origin + QPointF(length, -6));
    p.drawText(QRectF(origin - QPointF(0, 22), QSizeF(length, 16)), Qt::AlignCenter, text);
}

void TrackMapView::drawTexts(QPainter &p)
{
    const auto boxed = [&](const QString &text, Qt::Alignment where) {
        const QFontMetrics metrics = p.fontMetrics();
        const QRect area = rect().adjusted(6, 6, -6, -6);
        QRect box = metrics.boundingRect(area, int(where) | Qt::TextWordWrap, text).adjusted(-4, -2, 4, 2);
        box.moveTo(where & Qt::AlignRight ? area.right() - box.width() : area.left(),
                   where & Qt::AlignBottom ? area.bottom() - box.height() : area.top());
        p.fillRect(box, QColor(255, 255, 255, 210));
        p.setPen(Qt::black);
        p.drawText(box.adjusted(4, 2, -4, -2), int(where) | Qt::TextWordWrap, text);
    };
    QStringList notes;
    if (!m_note.isEmpty())
        notes << m_note;
    if (m_loader && !m_loader->problem().isEmpty())
        notes << m_loader->problem();
    if (!notes.isEmpty())
        boxed(notes.join(u'\n'), Qt::AlignTop | Qt::AlignLeft);
    if (m_loader) {
        const QString attribution = MapTiles::attributionOf(m_loader->source());
        if (!attribution.isEmpty())
            boxed(attribution, Qt::AlignBottom | Qt::AlignRight);
    }
}

void TrackMapView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(0xf2, 0xef, 0xe9));
    drawTiles(p);
    drawTrack(p);
    drawScaleBar(p);
    drawTexts(p);
    if (hasFocus()) {
        p.setPen(QPen(palette().highlight().color(), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void TrackMapView::wheelEvent(QWheelEvent *event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0)
        zoomAbout(m_zoom + steps * kZoomStep, event->position());
    event->accept();
}

void TrackMapView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragFrom = event->position();
        setCursor(Qt::ClosedHandCursor);
    }
    QWidget::mousePressEvent(event);
}

void TrackMapView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragFrom) {
        panBy(event->position() - *m_dragFrom);
        m_dragFrom = event->position();
    }
}

void TrackMapView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_dragFrom) {
        m_dragFrom.reset();
        setCursor(Qt::OpenHandCursor);
    }
}

void TrackMapView::keyPressEvent(QKeyEvent *event)
{
    const QPointF middle(width() / 2.0, height() / 2.0);
    const double stepX = width() * kPanFraction, stepY = height() * kPanFraction;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomAbout(m_zoom + kZoomStep, middle);
        break;
    case Qt::Key_Minus:
        zoomAbout(m_zoom - kZoomStep, middle);
        break;
    case Qt::Key_0:
        showWholeTrack();
        break;
    case Qt::Key_Left:
        panBy({stepX, 0});
        break;
    case Qt::Key_Right:
        panBy({-stepX, 0});
        break;
    case Qt::Key_Up:
        panBy({0, stepY});
        break;
    case Qt::Key_Down:
        panBy({0, -stepY});
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TrackMapView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Until the rider moves it, the view keeps the whole track in sight.
    if (m_fitted)
        showWholeTrack();
    else
        viewChanged();
}

#include "TrackWindow.h"

#include "LocaleService.h"
#include "MapSourceDialog.h"
#include "MapTiles.h"
#include "Messages.h"
#include "NumberText.h"
#include "PlacementStorage.h"
#include "RideColumn.h"
#include "AtomicWrite.h"
#include "SaveDialog.h"
#include "TrackMapView.h"

#include <QChart>
#include <QChartView>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopeGuard>
#include <QSplitter>
#include <QTabWidget>
#include <QTimeZone>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// A chart holds at most this many points: the smallest and the largest
// value of each stretch of the ride, so that no peak is lost.
constexpr qsizetype kChartPoints = 2400;

// Speeds the points do not carry are worked out over at least 10 s, so
// that the noise of the positions does not show as spikes.
constexpr qint64 kSpeedWindowMs = 10000;

QString number(double value, int decimals)
{
    return NumberText::format(std::round(value * std::pow(10, decimals)) / std::pow(10, decimals));
}

QString clockText(double seconds)
{
    const qint64 s = qint64(std::llround(seconds));
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString localTime(const QDateTime &utc)
{
    const QDateTime local = utc.toTimeZone(QTimeZone::systemTimeZone());
    return LocaleService::instance().formatDate(local.date()) + u' ' + local.time().toString(QStringLiteral("H:mm:ss"));
}

// "1 bod", "3 body", "12 bodů".
QString pointsText(int n)
{
    if (n == 1)
        return QStringLiteral("1 bod");
    return (n >= 2 && n <= 4 ? QStringLiteral("%1 body") : QStringLiteral("%1 bodů")).arg(n);
}

// A figure of the log's and the kept file's: the file's, and the log's
// beside it when the rider has changed it.
QString logged(const QString &fromFile, const QString &inLog, const QString &unit)
{
    const QString file = fromFile.isEmpty() ? QStringLiteral("–") : fromFile + unit;
    if (fromFile == inLog)
        return file;
    return QStringLiteral("%1 (v deníku %2)").arg(file, inLog.isEmpty() ? QStringLiteral("nic") : inLog + unit);
}

} // namespace

struct TrackWindow::Chart
{
    QChartView *view = nullptr;
    QLineSeries *cursor = nullptr;
    QValueAxis *axisX = nullptr;
    QValueAxis *axisY = nullptr;
};

TrackWindow::TrackWindow(const QStringList &cells, const QString &link, const ProgramFolder::Location &where,
                         QWidget *parent)
    : QDialog(parent), m_cells(cells), m_where(where)
{
    setObjectName(QStringLiteral("trackWindow"));
    setWindowTitle(QStringLiteral("Trasa jízdy"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
        m_ride = KeptRide::load(where.keptRides(), link, QTimeZone::systemTimeZone());
    }
    for (const RideTrack::TrackPiece &piece : m_ride.track.pieces)
        for (const RideTrack::TrackPoint &point : piece)
            m_points.push_back(&point);

    mapView = new TrackMapView(this);
    mapView->setObjectName(QStringLiteral("trackMap"));
    mapView->setTrack(m_ride.track);
    m_tiles = new MapTiles::TileLoader(this);
    m_tiles->setSource(MapTiles::readMapSource(where.settings()));
    mapView->setTileLoader(m_tiles);
    QStringList notes;
    if (m_ride.problem.isEmpty() && m_ride.track.pieces.isEmpty())
        notes << QStringLiteral("Záznam jízdy neobsahuje polohu (jízda na trenažéru?).");
    if (m_ride.track.skipped > 0)
        notes << QStringLiteral("vynecháno ") + pointsText(m_ride.track.skipped);
    mapView->setNote(notes.join(u'\n'));

    problemLabel = new QLabel(m_ride.problem, this);
    problemLabel->setObjectName(QStringLiteral("trackProblem"));
    problemLabel->setWordWrap(true);
    problemLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    problemLabel->setVisible(!m_ride.problem.isEmpty());
    problemLabel->setStyleSheet(QStringLiteral("QLabel { color: #a00000; font-weight: bold; }"));

    figuresLabel = new QLabel(figuresText(), this);
    figuresLabel->setObjectName(QStringLiteral("trackFigures"));
    figuresLabel->setTextFormat(Qt::RichText);
    figuresLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    figuresLabel->setAlignment(Qt::AlignTop | Qt::AlignLeft);

    chartTabs = new QTabWidget(this);
    chartTabs->setObjectName(QStringLiteral("trackCharts"));
    buildCharts();
    chartTabs->setVisible(chartTabs->count() > 0);

    auto *top = new QSplitter(Qt::Horizontal, this);
    top->addWidget(mapView);
    top->addWidget(figuresLabel);
    top->setStretchFactor(0, 1);
    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(top);
    split->addWidget(chartTabs);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);

    auto *buttons = new QDialogButtonBox(this);
    saveGpxButton = buttons->addButton(QStringLiteral("&Uložit jako GPX…"), QDialogButtonBox::ActionRole);
    saveGpxButton->setObjectName(QStringLiteral("saveGpxButton"));
    saveGpxButton->setEnabled(!m_points.empty());
    mapSourceButton = buttons->addButton(QStringLiteral("&Mapový podklad…"), QDialogButtonBox::ActionRole);
    mapSourceButton->setObjectName(QStringLiteral("mapSourceButton"));
    closeButton = buttons->addButton(QStringLiteral("&Zavřít"), QDialogButtonBox::RejectRole);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    connect(saveGpxButton, &QPushButton::clicked, this, guardedSlot(this, &TrackWindow::saveGpx));
    connect(mapSourceButton, &QPushButton::clicked, this, guardedSlot(this, &TrackWindow::chooseMapSource));
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(problemLabel);
    layout->addWidget(split, 1);
    layout->addWidget(buttons);
    resize(1000, 720);
    mapView->setFocus();
    m_storage = new PlacementStorage(this, QStringLiteral("formTrasa"));
}

TrackWindow::~TrackWindow() = default;

QString TrackWindow::figuresText() const
{
    if (!m_ride.recorded)
        return {};
    const RideTrack::TrackFigures f = RideTrack::figuresOf(m_ride.track);
    const auto cell = [](const QStringList &cells, int column) { return column < cells.size() ? cells[column] : QString(); };
    QList<std::pair<QString, QString>> rows = {
        {QStringLiteral("Vzdálenost"), logged(cell(m_ride.importCells, RideColumn::Km), cell(m_cells, RideColumn::Km),
                                             QStringLiteral(" km"))},
        {QStringLiteral("Doba jízdy"), logged(cell(m_ride.importCells, RideColumn::Time).trimmed(),
                                             cell(m_cells, RideColumn::Time).trimmed(), QString())},
        {QStringLiteral("Průměr"), logged(cell(m_ride.importCells, RideColumn::Average),
                                         cell(m_cells, RideColumn::Average), QStringLiteral(" km/h"))},
    };
    if (f.elapsedSeconds)
        rows.append({QStringLiteral("Celkový čas"), clockText(*f.elapsedSeconds)});
    if (f.maxSpeed)
        rows.append({QStringLiteral("Max. rychlost"), number(*f.maxSpeed * 3.6, 1) + QStringLiteral(" km/h")});
    if (f.ascent && f.descent)
        rows.append({QStringLiteral("Stoupání / klesání"),
                     QStringLiteral("%1 m / %2 m%3")
                         .arg(number(*f.ascent, 0), number(*f.descent, 0),
                              f.ascentFromDevice ? QStringLiteral(" (podle zařízení)") : QString())});
    if (f.highest && f.lowest)
        rows.append({QStringLiteral("Nejvyšší / nejnižší bod"),
                     QStringLiteral("%1 m / %2 m").arg(number(*f.highest, 0), number(*f.lowest, 0))});
    if (f.start.isValid())
        rows.append({QStringLiteral("Start"), localTime(f.start)});
    if (f.end.isValid())
        rows.append({QStringLiteral("Cíl"), localTime(f.end)});
    rows.append({QStringLiteral("Body trasy"), QString::number(m_points.size())});
    if (m_ride.track.skipped > 0)
        rows.append({QStringLiteral("Vynecháno"), pointsText(m_ride.track.skipped)});
    QString html = QStringLiteral("<table cellspacing=\"4\">");
    if (!m_ride.track.name.isEmpty())
        html += QStringLiteral("<tr><td colspan=\"2\"><b>%1</b></td></tr>").arg(m_ride.track.name.toHtmlEscaped());
    for (const auto &[label, value] : rows)
        html += QStringLiteral("<tr><td>%1:</td><td><b>%2</b></td></tr>").arg(label, value.toHtmlEscaped());
    html += QStringLiteral("<tr><td colspan=\"2\"><small>Soubor: %1</small></td></tr></table>")
                .arg(QStringLiteral("zaznamy/%1").arg(m_ride.keptName).toHtmlEscaped());
    return html;
}

void TrackWindow::buildCharts()
{
    if (m_points.size() < 2)
        return;
    addChart(QStringLiteral("&Výška"), QStringLiteral("m"), &RideTrack::TrackPoint::elevation, false);
    addChart(QStringLiteral("&Rychlost"), QStringLiteral("km/h"), &RideTrack::TrackPoint::speed, true);
    addChart(QStringLiteral("&Tep"), QStringLiteral("tepů/min"), &RideTrack::TrackPoint::heartRate, false);
    addChart(QStringLiteral("Ka&dence"), QStringLiteral("ot./min"), &RideTrack::TrackPoint::cadence, false);
    addChart(QStringLiteral("Vý&kon"), QStringLiteral("W"), &RideTrack::TrackPoint::power, false);
}

namespace {

// The speed at each point in km/h: the device's, or over the last 10 s
// of the way; NaN where neither can be had.
std::vector<float> speedsOf(const std::vector<const RideTrack::TrackPoint *> &points)
{
    std::vector<float> speeds(points.size(), RideTrack::kNone);
    size_t from = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        const RideTrack::TrackPoint &p = *points[i];
        if (!std::isnan(p.speed)) {
            speeds[i] = p.speed * 3.6f;
            continue;
        }
        if (!p.timed())
            continue;
        while (from < i && (!points[from]->timed() || p.ms - points[from]->ms > kSpeedWindowMs * 2))
            ++from;
        size_t j = from;
        while (j + 1 < i && points[j + 1]->timed() && p.ms - points[j + 1]->ms >= kSpeedWindowMs)
            ++j;
        if (j < i && points[j]->timed() && p.ms - points[j]->ms >= kSpeedWindowMs / 2)
            speeds[i] = float((p.metres - points[j]->metres) / (double(p.ms - points[j]->ms) / 1000) * 3.6);
    }
    return speeds;
}

// Ticks at round values (1, 2 or 5 times a power of ten), four to ten
// of them over `span`; the interval.
double roundTicks(QValueAxis &axis, double span)
{
    double interval = std::pow(10.0, std::floor(std::log10(span / 4)));
    if (span / interval > 20)
        interval *= 5;
    else if (span / interval > 10)
        interval *= 2;
    axis.setTickType(QValueAxis::TicksDynamic);
    axis.setTickAnchor(0);
    axis.setTickInterval(interval);
    return interval;
}

// At most kChartPoints of (km, value): each stretch's smallest and largest.
QList<QPointF> chartPointsOf(const std::vector<const RideTrack::TrackPoint *> &points, const std::vector<float> &values)
{
    QList<QPointF> all;
    all.reserve(qsizetype(points.size()));
    for (size_t i = 0; i < points.size(); ++i)
        if (!std::isnan(values[i]))
            all.append({points[i]->metres / 1000, values[i]});
    if (all.size() <= kChartPoints)
        return all;
    QList<QPointF> few;
    const qsizetype stretch = (all.size() + kChartPoints / 2 - 1) / (kChartPoints / 2);
    for (qsizetype from = 0; from < all.size(); from += stretch) {
        const auto begin = all.cbegin() + from, end = all.cbegin() + std::min(all.size(), from + stretch);
        const auto [low, high] = std::minmax_element(begin, end, [](const QPointF &a, const QPointF &b) { return a.y() < b.y(); });
        few.append(low < high ? *low : *high);
        if (low != high)
            few.append(low < high ? *high : *low);
    }
    return few;
}

} // namespace

void TrackWindow::addChart(const QString &title, const QString &unit, float RideTrack::TrackPoint::*value, bool speed)
{
    std::vector<float> values;
    if (speed) {
        values = speedsOf(m_points);
    } else {
        values.reserve(m_points.size());
        for (const RideTrack::TrackPoint *p : m_points)
            values.push_back(p->*value);
    }
    const QList<QPointF> points = chartPointsOf(m_points, values);
    if (points.size() < 2)
        return;
    double low = points.first().y(), high = low;
    for (const QPointF &p : points) {
        low = std::min(low, p.y());
        high = std::max(high, p.y());
    }
    if (high - low < 1) {
        low -= 1;
        high += 1;
    }
    Chart c;
    auto *series = new QLineSeries;
    series->replace(points);
    series->setName(QString(title).remove(u'&'));
    c.cursor = new QLineSeries;
    c.cursor->setPen(QPen(Qt::black, 1, Qt::DashLine));
    auto *chart = new QChart;
    chart->legend()->hide();
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->addSeries(series);
    chart->addSeries(c.cursor);
    c.axisX = new QValueAxis;
    // The distance from 0 to the ride's end.
    const double km = std::max(m_points.back()->metres / 1000, 0.1);
    c.axisX->setRange(0, km);
    const double interval = roundTicks(*c.axisX, km);
    c.axisX->setLabelFormat(interval < 1 ? QStringLiteral("%.1f km") : QStringLiteral("%.0f km"));
    c.axisY = new QValueAxis;
    // Round values at evenly spaced ticks, the range a whole number of
    // steps.
    const double step = roundTicks(*c.axisY, high - low);
    const double bottom = std::floor(low / step) * step, top = std::ceil(high / step) * step;
    c.axisY->setTickType(QValueAxis::TicksFixed);
    c.axisY->setTruncateLabels(false);
    c.axisY->setTickCount(int(std::lround((top - bottom) / step)) + 1);
    c.axisY->setRange(bottom, top);
    c.axisY->setLabelFormat((step < 1 ? QStringLiteral("%.1f ") : QStringLiteral("%.0f ")) + unit);
    chart->addAxis(c.axisX, Qt::AlignBottom);
    chart->addAxis(c.axisY, Qt::AlignLeft);
    for (QLineSeries *s : {series, c.cursor}) {
        s->attachAxis(c.axisX);
        s->attachAxis(c.axisY);
    }
    c.view = new QChartView(chart);
    c.view->setObjectName(QStringLiteral("chart") + QString(title).remove(u'&'));
    c.view->setRenderHint(QPainter::Antialiasing);
    c.view->setMouseTracking(true);
    c.view->viewport()->setMouseTracking(true);
    c.view->viewport()->installEventFilter(this);
    c.view->setMinimumHeight(160);
    chartTabs->addTab(c.view, title);
    m_charts.push_back(c);
}

bool TrackWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Leave) {
        for (const Chart &c : m_charts) {
            if (watched != c.view->viewport())
                continue;
            if (event->type() == QEvent::Leave) {
                setCursorKm(-1);
                break;
            }
            const QPointF scene = c.view->mapToScene(static_cast<QMouseEvent *>(event)->position().toPoint());
            const QPointF value = c.view->chart()->mapToValue(c.view->chart()->mapFromScene(scene));
            const QRectF plot = c.view->chart()->plotArea();
            setCursorKm(plot.contains(c.view->chart()->mapFromScene(scene)) ? value.x() : -1);
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TrackWindow::setCursorKm(double km)
{
    if (km < 0 || m_points.empty()) {
        m_cursorPoint = -1;
        for (const Chart &c : m_charts)
            c.cursor->clear();
        mapView->setMarkedPoint(std::nullopt);
        return;
    }
    const double metres = km * 1000;
    const auto at = std::lower_bound(m_points.cbegin(), m_points.cend(), metres,
                                     [](const RideTrack::TrackPoint *p, double m) { return p->metres < m; });
    m_cursorPoint = std::min<qsizetype>(at - m_points.cbegin(), qsizetype(m_points.size()) - 1);
    const RideTrack::TrackPoint &point = *m_points[size_t(m_cursorPoint)];
    for (const Chart &c : m_charts)
        c.cursor->replace({{point.metres / 1000, c.axisY->min()}, {point.metres / 1000, c.axisY->max()}});
    mapView->setMarkedPoint(QPointF(point.lat, point.lon));
}

void TrackWindow::saveGpx()
{
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("saveGpxDialog"));
    dialog.setWindowTitle(QStringLiteral("Uložit trasu jako GPX"));
    setUpSaveDialog(dialog, QStringLiteral("Soubor GPX (*.gpx)"), QStringLiteral("gpx"));
    const QString date = m_cells.value(RideColumn::Date);
    dialog.selectFile(QStringLiteral("trasa-%1.gpx").arg(m_points.empty() || !m_points.front()->timed()
                                                             ? QStringLiteral("jizdy")
                                                             : QDateTime::fromMSecsSinceEpoch(m_points.front()->ms)
                                                                   .toString(QStringLiteral("yyyy-MM-dd-HHmm"))));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    QString name = m_cells.value(RideColumn::Name).trimmed();
    if (name.isEmpty())
        name = m_ride.track.name;
    if (name.isEmpty())
        name = date;
    AtomicWrite::replaceFile(path, RideTrack::gpxOf(m_ride.track, name));
    rememberFolder(dialog.defaultSuffix(), path);
}

void TrackWindow::chooseMapSource()
{
    if (MapSourceDialog::edit(this, m_where.settings())) {
        m_tiles->setSource(MapTiles::readMapSource(m_where.settings()));
        mapView->setTileLoader(m_tiles);
    }
}

void TrackWindow::showEvent(QShowEvent *event)
{
    m_storage->restoreOnFirstShow(m_where.settings());
    QDialog::showEvent(event);
}

void TrackWindow::done(int result)
{
    m_storage->saveOnClose();
    QDialog::done(result);
}

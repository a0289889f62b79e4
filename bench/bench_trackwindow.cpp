// The window "Trasa jízdy" over a 24-hour ride of 86,400 points (a FIT
// file of a record a second, kept gzipped as the import keeps it), its
// track winding as a ride's does.
//
// Prints:
// - how long the window takes from its making until it is shown (the
//   window's thread is busy all that time: it is also the longest wait);
// - for the whole track and three deeper zoom levels, the time of each
//   frame while the map is panned by the arrow keys (the key handled and
//   the map repainted), the first frame of a level (which simplifies the
//   line for it) apart from the rest, against the 16.7 ms of a 60 Hz screen;
// - how many points the line drawn at each level has, and how many of
//   them a frame drew on average (those in sight).
//
// Runs offscreen unless a platform is named.
#include "FitWriter.h"
#include "KeptRideFiles.h"
#include "ProgramFolder.h"
#include "RideColumn.h"
#include "TrackMapView.h"
#include "TrackWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSeconds = 24 * 3600;
constexpr int kOpenings = 5;
constexpr int kFrames = 60;
constexpr double kOpenTargetMs = 500;
constexpr double kFrameTargetMs = 1000.0 / 60;

// A day's ride: the heading turns a little every second (a road's bends)
// and more now and then (a junction), at 5–9 m/s.
QByteArray windingRide()
{
    using namespace FitWriter;
    File f;
    fileId(f, 4);
    f.define(1, recordDefinition());
    const std::uint32_t start = fitTime(QDateTime(QDate(2026, 6, 20), QTime(4, 0), Qt::UTC));
    double lat = 49.2, lon = 16.6, heading = 0.3, metres = 0;
    std::uint32_t seed = 12345;
    const auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) / 4294967296.0; };
    for (int i = 0; i < kSeconds; ++i) {
        const double speed = 5 + 4 * next();
        heading += (next() - 0.5) * 0.08 + (i % 600 == 0 ? (next() - 0.5) * 2.5 : 0);
        lat += speed * std::cos(heading) / 111320;
        lon += speed * std::sin(heading) / (111320 * std::cos(lat * M_PI / 180));
        metres += speed;
        const double altitude = 300 + 150 * std::sin(i / 2000.0) + 20 * std::sin(i / 97.0);
        f.data(1, {start + std::uint32_t(i), semicircles(lat), semicircles(lon), std::int64_t(metres * 100),
                   std::int64_t((altitude + 500) * 5), std::int64_t(speed * 1000), 110 + i % 50, 80 + i % 15, 20});
    }
    session(f, {start, std::int64_t(kSeconds) * 1000, std::int64_t(kSeconds) * 1000, std::int64_t(metres * 100), 2, 0});
    return f.bytes();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void showAndWait(QWidget &window)
{
    window.show();
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir(QFileInfo::exists(QStringLiteral("/dev/shm")) ? QStringLiteral("/dev/shm/trasa-XXXXXX") : QString());
    const ProgramFolder::Location where = ProgramFolder::Location::inFolder(dir.path());
    const QString link = QStringLiteral("2026/2026-06-20-0600-benchmrk.fit.gz");
    GpsImport::writeKeptFile(where.keptRides(), link, windingRide());
    QStringList cells(RideColumn::Count);
    cells[RideColumn::Date] = QStringLiteral("20.06.2026");

    std::vector<double> opening;
    for (int i = 0; i < kOpenings; ++i) {
        QElapsedTimer clock;
        clock.start();
        TrackWindow window(cells, link, where);
        showAndWait(window);
        opening.push_back(clock.nsecsElapsed() / 1e6);
        if (!window.ride().problem.isEmpty()) {
            std::printf("the ride was not read: %s\n", qPrintable(window.ride().problem));
            return 1;
        }
    }
    std::printf("opening a %d-point ride: median %.0f ms, worst %.0f ms (target %.0f ms)\n", kSeconds,
                median(opening), *std::max_element(opening.begin(), opening.end()), kOpenTargetMs);

    TrackWindow window(cells, link, where);
    showAndWait(window);
    TrackMapView *map = window.mapView;
    bool fast = median(opening) <= kOpenTargetMs;
    // The views go round a point half-way along the ride.
    const RideTrack::TrackPiece &piece = window.ride().track.pieces.constFirst();
    const RideTrack::TrackPoint &middle = piece.at(piece.size() / 2);
    for (int deeper : {0, 3, 6, 9}) {
        map->showWholeTrack();
        if (deeper > 0)
            map->centreOn(middle.lat, middle.lon);
        for (int i = 0; i < deeper * 2; ++i) {
            QKeyEvent plus(QEvent::KeyPress, Qt::Key_Plus, Qt::NoModifier, QStringLiteral("+"));
            QCoreApplication::sendEvent(map, &plus);
        }
        std::vector<double> frames;
        qsizetype painted = 0;
        for (int i = 0; i < kFrames; ++i) {
            QElapsedTimer clock;
            clock.start();
            // A square: a view's width right, its height down, back left and up.
            const Qt::Key keys[] = {Qt::Key_Right, Qt::Key_Down, Qt::Key_Left, Qt::Key_Up};
            QKeyEvent arrow(QEvent::KeyPress, keys[i % 20 / 5], Qt::NoModifier);
            QCoreApplication::sendEvent(map, &arrow);
            map->repaint();
            frames.push_back(clock.nsecsElapsed() / 1e6);
            painted += map->paintedPointCount();
        }
        const double first = frames.front();
        frames.erase(frames.begin());
        const double worst = *std::max_element(frames.begin(), frames.end());
        fast = fast && worst <= kFrameTargetMs;
        std::printf("zoom %5.1f: first frame %.1f ms, then median %.1f ms, worst %.1f ms; line of %lld points, "
                    "%lld of them in sight on average\n",
                    map->zoom(), first, median(frames), worst, qlonglong(map->drawnPointCount()),
                    qlonglong(painted / kFrames));
    }
    std::printf(fast ? "within the targets\n" : "NOT within the targets\n");
    return 0;
}

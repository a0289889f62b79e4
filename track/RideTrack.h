#pragma once
#include "RecordedRide.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <cmath>
#include <limits>
#include <optional>

class QIODevice;
class QTimeZone;

// The track of one ride of a recorded file: its points in the order they
// were recorded, in pieces between which the rider did not ride (a GPX
// day's tracks and segments, a pause the device marked), with what the
// device measured at each point.
namespace RideTrack {

inline constexpr float kNone = std::numeric_limits<float>::quiet_NaN();
inline constexpr qint64 kNoTime = std::numeric_limits<qint64>::min();

struct TrackPoint
{
    double lat = 0;          // degrees, WGS84
    double lon = 0;
    double metres = 0;       // along the ride from its first point (geodesic, pieces added)
    qint64 ms = kNoTime;     // UTC milliseconds since the epoch; kNoTime when the point has none
    float elevation = kNone; // metres
    float speed = kNone;     // metres a second, as the device measured it
    float heartRate = kNone; // beats a minute
    float cadence = kNone;   // revolutions a minute
    float power = kNone;     // watts

    bool timed() const { return ms != kNoTime; }
};

using TrackPiece = QList<TrackPoint>;

struct Track
{
    QString name;                  // the name the file gives the ride; may be empty
    QList<TrackPiece> pieces;      // pieces without points are not kept
    std::optional<double> ascent;  // metres, as the device summed them (a FIT session's total_ascent)
    std::optional<double> descent;
    int skipped = 0;               // points left out for an impossible position or time
    // Why there is no track, in Czech ("soubor je poškozený: …",
    // "v souboru není jízda č. 3"); empty when read. A ride whose file
    // records no positions (an indoor ride) is read without problem and
    // has no pieces.
    QString problem;

    qsizetype pointCount() const;
};

// Reads the track of ride `rideInFile` (0-based, in the order the import
// lists a file's rides: by start) from the bytes of a FIT, GPX or TCX file
// (told by its content). The rides are split exactly as the import splits
// them (a FIT session, a GPX day of one sport, a TCX activity), so that the
// track belongs to the ride the log row was made of. Never throws.
Track readTrack(QIODevice &in, int rideInFile, const QTimeZone &zone, const GpsImport::StopFlag &stop);

// The figures of a track.
struct TrackFigures
{
    double metres = 0;                  // the last point's `metres`
    std::optional<double> elapsedSeconds; // first to last timed point
    std::optional<double> maxSpeed;       // metres a second
    std::optional<double> ascent, descent; // the device's when it gives them, else with a 5 m hysteresis
    bool ascentFromDevice = false;
    std::optional<double> highest, lowest; // metres
    QDateTime start, end;                  // UTC, the first and last timed points
};
TrackFigures figuresOf(const Track &track);

// Gain and loss of a sequence of elevations with a hysteresis: a change
// counts only once the elevation has moved `threshold` metres from the last
// turning point, so that noise of a few metres does not add up.
struct Climb
{
    double ascent = 0;
    double descent = 0;
};
Climb climbOf(const QList<double> &elevations, double threshold = 5.0);

// The points of a polyline (x, y in any plane units) that keep it within
// `tolerance` of its course (Douglas–Peucker, without recursion): the
// indices, first and last always among them, in order.
QList<int> simplifiedLine(const double *x, const double *y, int count, double tolerance);

// The track as a GPX 1.1 file (UTF-8), valid against the GPX 1.1 schema:
// one <trk> named `name`, a <trkseg> a piece, each point with its
// elevation and time where it has them.
QByteArray gpxOf(const Track &track, const QString &name);

} // namespace RideTrack

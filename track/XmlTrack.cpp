// The track of one ride of a GPX or TCX file, the rides told apart as the
// import tells them: of GPX, the segments of one local day (of their first
// timed point) and one sport, ordered by start; of TCX, the activities
// that have a start, in the file's order. Each GPX segment and each TCX
// <Track> is a piece of its own.

#include "RecordedRide.h"
#include "TrackBuilder.h"
#include "XmlRideFile.h"

#include <QDateTime>
#include <QIODevice>
#include <QTimeZone>
#include <QXmlStreamReader>

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

namespace RideTrack::Detail {

namespace {
using namespace GpsImport::XmlRideFile;

float toFloat(const std::optional<double> &value)
{
    return value && std::isfinite(*value) ? float(*value) : kNone;
}

// What the device measured beside the position, found by the element's
// local name in any namespace of a point's extensions.
void readExtensions(Tokens &tokens, QXmlStreamReader &xml, TrackPoint &point)
{
    int depth = 1;
    while (depth > 0 && tokens.next()) {
        if (xml.isEndElement()) {
            --depth;
            continue;
        }
        if (!xml.isStartElement())
            continue;
        const QStringView name = xml.name();
        float *value = name == u"hr" ? &point.heartRate
            : name == u"cad" ? &point.cadence
            : name == u"power" || name == u"PowerInWatts" || name == u"Watts" ? &point.power
            : name == u"Speed" ? &point.speed
                               : nullptr;
        if (value)
            *value = toFloat(parseNumber(tokens.text(64)));
        else
            ++depth;
    }
}

// A time the file gives; kNoTime stands for one that is no time at all,
// which the piece then leaves out (a time too early or late is judged
// there).
qint64 readPointTime(Tokens &tokens, QXmlStreamReader &xml, bool &bad)
{
    const QString text = tokens.text(65);
    const std::optional<qint64> ms = text.size() <= 64 && !xml.hasError() ? parseTime(text) : std::nullopt;
    bad = !ms;
    return ms ? *ms : kNoTime;
}

// ---------------------------------------------------------------- GPX

struct GpxRide
{
    qint64 startMs = 0;
    QString trackName;
    Track track;
};

class GpxWalk
{
public:
    GpxWalk(QIODevice &in, const QTimeZone &zone, const GpsImport::StopFlag &stop)
        : m_tokens(m_xml, stop), m_zone(zone.isValid() ? zone : QTimeZone::utc()), m_latestMs(latestPossibleMs())
    {
        prepare(m_xml, in);
    }

    Track read(QIODevice &in, int rideInFile);

private:
    struct Segment
    {
        TrackPiece points;
        qint64 startMs = kNoTime;
        int skipped = 0;
    };

    bool isGpx(QStringView name) const { return m_xml.name() == name && m_xml.namespaceUri() == m_namespace; }
    void readMetadata();
    void readTrack();
    Segment readSegment();
    void readPoint(PieceBuilder &builder);

    QXmlStreamReader m_xml;
    Tokens m_tokens;
    QTimeZone m_zone;
    qint64 m_latestMs;
    QString m_namespace;
    QString m_fileName;
    std::map<std::pair<qint64, QString>, GpxRide> m_rides; // by local date and other sport
};

Track GpxWalk::read(QIODevice &in, int rideInFile)
{
    if (const auto problem = openRoot(in, m_tokens, m_xml, u"gpx", QStringLiteral("není to soubor GPX"), m_namespace))
        return Track{{}, {}, {}, {}, 0, *problem};
    while (m_tokens.next()) {
        if (!m_xml.isStartElement())
            continue;
        if (isGpx(u"trk"))
            readTrack();
        else if (isGpx(u"metadata"))
            readMetadata();
        else if (isGpx(u"name"))
            m_fileName = m_tokens.text();
        else
            m_tokens.skipElement();
    }
    if (m_tokens.stopped())
        return Track{{}, {}, {}, {}, 0, stoppedProblem()};
    std::vector<GpxRide *> rides;
    for (auto &[key, ride] : m_rides)
        rides.push_back(&ride);
    std::stable_sort(rides.begin(), rides.end(), [](const GpxRide *a, const GpxRide *b) { return a->startMs < b->startMs; });
    if (rides.empty())
        return Track{{}, {}, {}, {}, 0, QStringLiteral("soubor neobsahuje žádný časový záznam jízdy")};
    if (rideInFile >= qsizetype(rides.size()))
        return Track{{}, {}, {}, {}, 0, noSuchRide(rideInFile)};
    Track track = std::move(rides[std::size_t(rideInFile)]->track);
    track.name = m_fileName.isEmpty() ? rides[std::size_t(rideInFile)]->trackName : m_fileName;
    return track;
}

void GpxWalk::readMetadata()
{
    while (m_tokens.nextChild()) {
        if (isGpx(u"name"))
            m_fileName = m_tokens.text();
        else
            m_tokens.skipElement();
    }
}

void GpxWalk::readTrack()
{
    std::vector<Segment> segments;
    QString name, type;
    while (m_tokens.nextChild()) {
        if (isGpx(u"trkseg"))
            segments.push_back(readSegment());
        else if (isGpx(u"name"))
            name = m_tokens.text();
        else if (isGpx(u"type"))
            type = m_tokens.text();
        else
            m_tokens.skipElement();
    }
    // A track without a type is a bike ride, and so is a number in its place.
    const bool named = std::any_of(type.begin(), type.end(), [](QChar c) { return c.isLetter(); });
    const QString sport = named ? GpsImport::otherSportName(type) : QString();
    for (Segment &segment : segments) {
        // Without a time it is a planned route, not a ride.
        if (segment.startMs == kNoTime)
            continue;
        const qint64 day = QDateTime::fromMSecsSinceEpoch(segment.startMs, m_zone).date().toJulianDay();
        const auto [at, added] = m_rides.try_emplace({day, sport});
        GpxRide &ride = at->second;
        if (added || segment.startMs < ride.startMs)
            ride.startMs = segment.startMs;
        if (ride.trackName.isEmpty())
            ride.trackName = name;
        ride.track.skipped += segment.skipped;
        appendPiece(ride.track, std::move(segment.points));
    }
}

GpxWalk::Segment GpxWalk::readSegment()
{
    PieceBuilder builder(m_latestMs);
    while (m_tokens.nextChild()) {
        if (isGpx(u"trkpt"))
            readPoint(builder);
        else
            m_tokens.skipElement();
    }
    Segment segment;
    segment.startMs = builder.firstMs();
    segment.skipped = builder.skipped();
    segment.points = builder.take();
    return segment;
}

void GpxWalk::readPoint(PieceBuilder &builder)
{
    TrackPoint point;
    std::optional<double> lat, lon;
    const QXmlStreamAttributes attributes = m_xml.attributes();
    for (const QXmlStreamAttribute &a : attributes) {
        if (!a.namespaceUri().isEmpty())
            continue;
        if (a.name() == u"lat")
            lat = parseNumber(a.value());
        else if (a.name() == u"lon")
            lon = parseNumber(a.value());
    }
    bool badTime = false;
    while (m_tokens.nextChild()) {
        if (isGpx(u"time"))
            point.ms = readPointTime(m_tokens, m_xml, badTime);
        else if (isGpx(u"ele"))
            point.elevation = toFloat(parseNumber(m_tokens.text(64)));
        else if (isGpx(u"extensions"))
            readExtensions(m_tokens, m_xml, point);
        else
            m_tokens.skipElement();
    }
    if (!lat || !lon || badTime) {
        builder.countSkipped();
        return;
    }
    point.lat = *lat;
    point.lon = *lon;
    builder.add(point);
}

// ---------------------------------------------------------------- TCX

class TcxWalk
{
public:
    TcxWalk(QIODevice &in, const GpsImport::StopFlag &stop) : m_tokens(m_xml, stop), m_latestMs(latestPossibleMs())
    {
        prepare(m_xml, in);
    }

    Track read(QIODevice &in, int rideInFile);

private:
    bool isTcx(QStringView name) const { return m_xml.name() == name && m_xml.namespaceUri() == m_namespace; }
    // False once the ride wanted was read.
    bool readActivities();
    bool readActivity();
    void readLap(std::optional<qint64> &lapStartMs);
    void readPiece();
    void readPoint(PieceBuilder &builder);
    void readPosition(std::optional<double> &lat, std::optional<double> &lon);
    std::optional<qint64> plausible(std::optional<qint64> ms) const
    {
        return ms && *ms >= kEarliestMs && *ms <= m_latestMs ? ms : std::nullopt;
    }

    QXmlStreamReader m_xml;
    Tokens m_tokens;
    qint64 m_latestMs;
    QString m_namespace;
    int m_wanted = 0;
    int m_started = 0; // activities read that have a start
    Track m_track;     // of the activity being read
};

Track TcxWalk::read(QIODevice &in, int rideInFile)
{
    if (const auto problem = openRoot(in, m_tokens, m_xml, u"TrainingCenterDatabase",
                                      QStringLiteral("není to soubor TCX"), m_namespace))
        return Track{{}, {}, {}, {}, 0, *problem};
    m_wanted = rideInFile;
    bool found = false;
    while (!found && m_tokens.next()) {
        if (!m_xml.isStartElement())
            continue;
        if (isTcx(u"Activities"))
            found = !readActivities();
        else
            m_tokens.skipElement();
    }
    if (m_tokens.stopped())
        return Track{{}, {}, {}, {}, 0, stoppedProblem()};
    if (!found)
        return Track{{}, {}, {}, {}, 0,
                     m_started == 0 ? QStringLiteral("soubor neobsahuje žádnou aktivitu") : noSuchRide(rideInFile)};
    return std::move(m_track);
}

bool TcxWalk::readActivities()
{
    while (m_tokens.nextChild()) {
        if (isTcx(u"Activity")) {
            if (!readActivity())
                return false;
        } else if (isTcx(u"MultiSportSession") || isTcx(u"FirstSport") || isTcx(u"NextSport")) {
            if (!readActivities())
                return false;
        } else {
            m_tokens.skipElement();
        }
    }
    return true;
}

bool TcxWalk::readActivity()
{
    m_track = Track();
    std::optional<qint64> startMs, lapStartMs;
    while (m_tokens.nextChild()) {
        if (isTcx(u"Id"))
            startMs = plausible(parseTime(m_tokens.text(64)));
        else if (isTcx(u"Lap"))
            readLap(lapStartMs);
        else
            m_tokens.skipElement();
    }
    // An activity without a start is no ride of the file.
    if (!startMs && !lapStartMs)
        return true;
    return m_started++ != m_wanted;
}

void TcxWalk::readLap(std::optional<qint64> &lapStartMs)
{
    if (!lapStartMs)
        lapStartMs = plausible(parseTime(m_xml.attributes().value(QLatin1String("StartTime"))));
    while (m_tokens.nextChild()) {
        if (isTcx(u"Track"))
            readPiece();
        else
            m_tokens.skipElement();
    }
}

void TcxWalk::readPiece()
{
    PieceBuilder builder(m_latestMs);
    while (m_tokens.nextChild()) {
        if (isTcx(u"Trackpoint"))
            readPoint(builder);
        else
            m_tokens.skipElement();
    }
    m_track.skipped += builder.skipped();
    appendPiece(m_track, builder.take());
}

void TcxWalk::readPoint(PieceBuilder &builder)
{
    TrackPoint point;
    std::optional<double> lat, lon;
    bool positioned = false, badTime = false;
    while (m_tokens.nextChild()) {
        const QStringView name = m_xml.name();
        if (name == u"Time") {
            point.ms = readPointTime(m_tokens, m_xml, badTime);
        } else if (name == u"Position") {
            positioned = true;
            readPosition(lat, lon);
        } else if (name == u"AltitudeMeters") {
            point.elevation = toFloat(parseNumber(m_tokens.text(64)));
        } else if (name == u"HeartRateBpm") {
            while (m_tokens.nextChild()) {
                if (m_xml.name() == u"Value")
                    point.heartRate = toFloat(parseNumber(m_tokens.text(64)));
                else
                    m_tokens.skipElement();
            }
        } else if (name == u"Extensions") {
            readExtensions(m_tokens, m_xml, point);
        } else if (name == u"Cadence") {
            point.cadence = toFloat(parseNumber(m_tokens.text(64)));
        } else {
            m_tokens.skipElement();
        }
    }
    // A point without a position (an indoor ride) has no place on the track.
    if (!positioned)
        return;
    if (!lat || !lon || badTime) {
        builder.countSkipped();
        return;
    }
    point.lat = *lat;
    point.lon = *lon;
    builder.add(point);
}

void TcxWalk::readPosition(std::optional<double> &lat, std::optional<double> &lon)
{
    while (m_tokens.nextChild()) {
        if (m_xml.name() == u"LatitudeDegrees")
            lat = parseNumber(m_tokens.text(64));
        else if (m_xml.name() == u"LongitudeDegrees")
            lon = parseNumber(m_tokens.text(64));
        else
            m_tokens.skipElement();
    }
}

} // namespace

Track readGpxTrack(QIODevice &in, int rideInFile, const QTimeZone &zone, const GpsImport::StopFlag &stop)
{
    GpxWalk walk(in, zone, stop);
    return walk.read(in, rideInFile);
}

Track readTcxTrack(QIODevice &in, int rideInFile, const GpsImport::StopFlag &stop)
{
    TcxWalk walk(in, stop);
    return walk.read(in, rideInFile);
}

} // namespace RideTrack::Detail

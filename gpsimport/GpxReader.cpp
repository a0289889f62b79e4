// The rides of a GPX file (1.0 or 1.1): its tracks' segments of timed
// points, grouped by local date and sport.
//
// A point counts where its position is possible: latitude within ±90,
// longitude within ±180, both finite and not exactly 0, 0 (a receiver
// without a fix writes that). Other points are left out and the ride they
// were in says how many. A time that cannot be read, that lies before 1980
// or more than a year ahead, or that goes back from the segment's last
// time, leaves its point without a time: its position still counts for
// the distance. A file whose points are all of that kind has no ride, and
// the rider is told the line of the first such point.

#include "MovingTime.h"
#include "RecordedRide.h"
#include "XmlRideFile.h"

#include <GeographicLib/Geodesic.hpp>

#include <QDateTime>
#include <QIODevice>
#include <QTimeZone>
#include <QXmlStreamReader>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <utility>

namespace GpsImport {

namespace {

using namespace XmlRideFile;

// The distance, moving time and first time of a segment, or of the
// segments of a day.
struct Sum
{
    qint64 startMs = 0;
    double metres = 0;
    double seconds = 0;
    int leftOut = 0; // points left out for an impossible position

    void add(const Sum &other)
    {
        startMs = std::min(startMs, other.startMs);
        metres += other.metres;
        seconds += other.seconds;
        leftOut += other.leftOut;
    }
};

struct RideSum
{
    Sum sum;
    QString trackName; // the name of its first track that has one
};

// A segment as it is walked: the last point's position, and its riding
// time so far.
struct Segment
{
    Sum sum;
    bool timed = false;
    bool hasPrevious = false;
    double lat = 0, lon = 0;
    MovingTime moving;

    void addPoint(double pointLat, double pointLon, const std::optional<qint64> &timeMs)
    {
        if (hasPrevious && (pointLat != lat || pointLon != lon)) {
            double step = 0;
            GeographicLib::Geodesic::WGS84().Inverse(lat, lon, pointLat, pointLon, step);
            sum.metres += step;
            moving.addMetres(step);
        }
        hasPrevious = true;
        lat = pointLat;
        lon = pointLon;
        if (!timeMs)
            return;
        if (!timed) {
            timed = true;
            sum.startMs = *timeMs;
        }
        moving.addTime(*timeMs);
    }
};

class GpxFile
{
public:
    GpxFile(QIODevice &in, const QTimeZone &zone, const StopFlag &stop)
        : m_tokens(m_xml, stop), m_zone(zone.isValid() ? zone : QTimeZone::utc()),
          m_latestMs(QDateTime::currentMSecsSinceEpoch() + kYearMs)
    {
        prepare(m_xml, in);
    }

    FileRides read(QIODevice &in);

private:
    using Days = std::map<qint64, Sum>; // by the Julian day of the local date

    bool isGpx(QStringView name) const { return m_xml.name() == name && m_xml.namespaceUri() == m_namespace; }
    void readMetadata();
    void readTrack();
    void readSegment(Days &days);
    void readPoint(Segment &segment);
    std::optional<qint64> readTime();
    void addTrack(const Days &days, const QString &name, const QString &type);
    QString noRideProblem() const;

    QXmlStreamReader m_xml;
    Tokens m_tokens;
    QTimeZone m_zone;
    qint64 m_latestMs;
    QString m_namespace;
    QString m_fileName;
    std::map<std::pair<qint64, QString>, RideSum> m_rides; // by local date and other sport
    qint64 m_firstBadPositionLine = 0;
    qint64 m_firstBadTimeLine = 0;
};

FileRides GpxFile::read(QIODevice &in)
{
    if (const auto problem = openRoot(in, m_tokens, m_xml, u"gpx", QStringLiteral("není to soubor GPX"), m_namespace))
        return {{}, *problem};
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
    if (const auto problem = walkProblem(m_tokens, m_xml))
        return {{}, *problem};
    const bool endedEarly = XmlRideFile::endedEarly(m_xml);

    FileRides result;
    for (const auto &[key, ride] : m_rides) {
        RecordedRide r;
        r.start = QDateTime::fromMSecsSinceEpoch(ride.sum.startMs, Qt::UTC);
        r.metres = ride.sum.metres;
        r.seconds = ride.sum.seconds;
        r.name = m_fileName.isEmpty() ? ride.trackName : m_fileName;
        r.otherSport = key.second;
        if (endedEarly)
            r.remarks.append(QString::fromUtf16(kRemarkTruncated));
        if (ride.sum.leftOut > 0)
            r.remarks.append(QStringLiteral("vynechané chybné body: %1").arg(ride.sum.leftOut));
        result.rides.append(r);
    }
    std::stable_sort(result.rides.begin(), result.rides.end(),
                     [](const RecordedRide &a, const RecordedRide &b) { return a.start < b.start; });
    if (result.rides.isEmpty())
        result.problem = endedEarly ? brokenXml(m_xml) : noRideProblem();
    return result;
}

QString GpxFile::noRideProblem() const
{
    const QString none = QStringLiteral("soubor neobsahuje žádný časový záznam jízdy");
    if (m_firstBadTimeLine > 0)
        return none + QStringLiteral(" (nesmyslný čas bodu na řádku %1)").arg(m_firstBadTimeLine);
    if (m_firstBadPositionLine > 0)
        return none + QStringLiteral(" (nesmyslná poloha bodu na řádku %1)").arg(m_firstBadPositionLine);
    return none;
}

void GpxFile::readMetadata()
{
    while (m_tokens.nextChild()) {
        if (isGpx(u"name"))
            m_fileName = m_tokens.text();
        else
            m_tokens.skipElement();
    }
}

void GpxFile::readTrack()
{
    Days days;
    QString name, type;
    while (m_tokens.nextChild()) {
        if (isGpx(u"trkseg"))
            readSegment(days);
        else if (isGpx(u"name"))
            name = m_tokens.text();
        else if (isGpx(u"type"))
            type = m_tokens.text();
        else
            m_tokens.skipElement();
    }
    // A track cut off by the end of the file counts with what it had.
    addTrack(days, name, type);
}

void GpxFile::addTrack(const Days &days, const QString &name, const QString &type)
{
    // A track without a type is a bike ride, and so is a number in its
    // place (some apps write an activity code there).
    const bool named = std::any_of(type.begin(), type.end(), [](QChar c) { return c.isLetter(); });
    const QString sport = named ? otherSportName(type) : QString();
    for (const auto &[day, sum] : days) {
        const auto [at, added] = m_rides.try_emplace({day, sport});
        RideSum &ride = at->second;
        if (added)
            ride.sum = sum;
        else
            ride.sum.add(sum);
        if (ride.trackName.isEmpty())
            ride.trackName = name;
    }
}

void GpxFile::readSegment(Days &days)
{
    Segment segment;
    while (m_tokens.nextChild()) {
        if (isGpx(u"trkpt"))
            readPoint(segment);
        else
            m_tokens.skipElement();
    }
    // Without a time it is a planned route, not a ride.
    if (!segment.timed)
        return;
    segment.sum.seconds = segment.moving.seconds();
    const qint64 day = QDateTime::fromMSecsSinceEpoch(segment.sum.startMs, m_zone).date().toJulianDay();
    const auto [at, added] = days.try_emplace(day, segment.sum);
    if (!added)
        at->second.add(segment.sum);
}

void GpxFile::readPoint(Segment &segment)
{
    const qint64 line = m_xml.lineNumber();
    std::optional<double> lat, lon;
    // Read in place: a loop over a copy that is not const would copy them.
    const QXmlStreamAttributes attributes = m_xml.attributes();
    for (const QXmlStreamAttribute &a : attributes) {
        if (!a.namespaceUri().isEmpty())
            continue;
        if (a.name() == u"lat")
            lat = parseNumber(a.value());
        else if (a.name() == u"lon")
            lon = parseNumber(a.value());
    }
    std::optional<qint64> time;
    bool timeGiven = false;
    while (m_tokens.nextChild()) {
        if (isGpx(u"time")) {
            timeGiven = true;
            time = readTime();
        } else {
            m_tokens.skipElement();
        }
    }
    if (timeGiven && !time && m_firstBadTimeLine == 0)
        m_firstBadTimeLine = line;
    const bool possible = lat && lon && std::isfinite(*lat) && std::isfinite(*lon) && std::abs(*lat) <= 90
        && std::abs(*lon) <= 180 && !(*lat == 0 && *lon == 0);
    if (!possible) {
        ++segment.sum.leftOut;
        if (m_firstBadPositionLine == 0)
            m_firstBadPositionLine = line;
        return;
    }
    segment.addPoint(*lat, *lon, time);
}

// The time of a point, when it is one a device can have recorded.
std::optional<qint64> GpxFile::readTime()
{
    // A time is short: its characters are gathered here rather than in a
    // string made for each point. Longer texts are no time.
    std::array<char16_t, 64> text;
    qsizetype length = 0;
    bool tooLong = false;
    m_tokens.walkElement([&](QStringView part) {
        while (length == 0 && !part.isEmpty() && part.front().isSpace())
            part = part.sliced(1);
        if (length + part.size() > qsizetype(text.size())) {
            tooLong = true;
        } else {
            std::copy(part.utf16(), part.utf16() + part.size(), text.begin() + length);
            length += part.size();
        }
    });
    // A time cut off by the end of the file may have lost digits.
    if (tooLong || m_xml.hasError())
        return std::nullopt;
    const std::optional<qint64> ms = parseTime(QStringView(text.data(), length));
    if (!ms || *ms < kEarliestMs || *ms > m_latestMs)
        return std::nullopt;
    return ms;
}

} // namespace

FileRides readGpx(QIODevice &in, const QTimeZone &zone, const StopFlag &stop)
{
    GpxFile file(in, zone, stop);
    return file.read(in);
}

} // namespace GpsImport

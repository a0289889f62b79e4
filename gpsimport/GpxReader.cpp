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

#include "GpxReader.h"
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
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace GpsImport {

namespace {

using namespace XmlRideFile;

// 2 km/h: slower steps are stops, not riding. A step of d metres over
// t milliseconds is riding when d / (t / 1000) * 3.6 >= 2.
constexpr double kMillisecondsPerMetreAtSlowest = 1800;

// The distance, moving time and first time of one day's pieces.
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

// A segment as it is walked: the last point's position, and the last
// time with the distance covered since it.
struct Segment
{
    Sum sum;
    bool timed = false;
    bool hasPrevious = false;
    double lat = 0, lon = 0;
    qint64 lastTimeMs = 0;
    double metresSinceLastTime = 0;

    void addPoint(double pointLat, double pointLon, const std::optional<qint64> &timeMs)
    {
        if (hasPrevious && (pointLat != lat || pointLon != lon)) {
            double step = 0;
            GeographicLib::Geodesic::WGS84().Inverse(lat, lon, pointLat, pointLon, step);
            sum.metres += step;
            metresSinceLastTime += step;
        }
        hasPrevious = true;
        lat = pointLat;
        lon = pointLon;
        if (!timeMs)
            return;
        if (!timed) {
            timed = true;
            sum.startMs = *timeMs;
        } else if (*timeMs > lastTimeMs) {
            const double interval = double(*timeMs - lastTimeMs);
            if (metresSinceLastTime * kMillisecondsPerMetreAtSlowest >= interval)
                sum.seconds += interval / 1000;
        } else {
            // The same time again, or an earlier one: nothing to measure.
            return;
        }
        lastTimeMs = *timeMs;
        metresSinceLastTime = 0;
    }
};

// A point or a segment's end, as the parsing hands them to the measuring.
struct Record
{
    enum Kind : quint8 { Timed, Untimed, LeftOut, SegmentEnd };
    double lat = 0, lon = 0;
    qint64 value = 0; // a timed point's time; at a segment's end its track's number, or -1
    Kind kind = Timed;
};

struct SegmentSum
{
    qsizetype track;
    Sum sum;
};

// Walks the segments of the records, in the file's order.
class Measurer
{
public:
    void take(const std::vector<Record> &records)
    {
        for (const Record &r : records) {
            switch (r.kind) {
            case Record::Timed:
                m_segment.addPoint(r.lat, r.lon, r.value);
                break;
            case Record::Untimed:
                m_segment.addPoint(r.lat, r.lon, std::nullopt);
                break;
            case Record::LeftOut:
                ++m_segment.sum.leftOut;
                break;
            case Record::SegmentEnd:
                // Without a time it is a planned route, not a ride.
                if (m_segment.timed && r.value >= 0)
                    done.push_back({qsizetype(r.value), m_segment.sum});
                m_segment = {};
                break;
            }
        }
    }
    std::vector<SegmentSum> done;

private:
    Segment m_segment;
};

std::atomic_bool g_measuringThread{true};

// The geodesic distances cost about as much as the XML itself: a long
// file has them measured on a thread of its own while the parsing goes
// on. A few batches wait at most, so memory stays bounded; a short file
// is measured on the reading thread.
class Pipeline
{
public:
    Pipeline() { m_batch.reserve(kBatch); }
    ~Pipeline() { finish(); }

    void add(const Record &r)
    {
        m_batch.push_back(r);
        if (m_batch.size() >= kBatch)
            handOver();
    }

    // The segments measured, once every record is.
    std::vector<SegmentSum> finish()
    {
        if (m_thread.joinable()) {
            {
                const std::lock_guard lock(m_mutex);
                m_queue.push_back(std::move(m_batch));
                m_closed = true;
            }
            m_arrived.notify_one();
            m_thread.join();
        } else {
            m_measurer.take(m_batch);
        }
        m_batch.clear();
        return std::move(m_measurer.done);
    }

private:
    static constexpr size_t kBatch = 8192;
    static constexpr size_t kWaiting = 4;

    void handOver()
    {
        if (!m_thread.joinable() && !m_closed && g_measuringThread.load(std::memory_order_relaxed)) {
            try {
                m_thread = std::thread([this] { work(); });
            } catch (const std::system_error &) {
                m_closed = true; // no thread to be had: measured here
            }
        }
        if (!m_thread.joinable()) {
            m_measurer.take(m_batch);
            m_batch.clear();
            return;
        }
        {
            std::unique_lock lock(m_mutex);
            m_room.wait(lock, [this] { return m_queue.size() < kWaiting; });
            m_queue.push_back(std::move(m_batch));
        }
        m_arrived.notify_one();
        m_batch = {};
        m_batch.reserve(kBatch);
    }

    void work()
    {
        for (;;) {
            std::vector<Record> batch;
            {
                std::unique_lock lock(m_mutex);
                m_arrived.wait(lock, [this] { return !m_queue.empty() || m_closed; });
                if (m_queue.empty())
                    return;
                batch = std::move(m_queue.front());
                m_queue.pop_front();
            }
            m_room.notify_one();
            m_measurer.take(batch);
        }
    }

    std::vector<Record> m_batch;
    Measurer m_measurer;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_arrived, m_room;
    std::deque<std::vector<Record>> m_queue;
    bool m_closed = false;
};

struct Track
{
    QString name, type;
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
    bool isGpx(QStringView name) const { return m_xml.name() == name && m_xml.namespaceUri() == m_namespace; }
    void readMetadata();
    void readTrack();
    // Whether the segment had a point with a time.
    bool readSegment(qsizetype track);
    void readPoint();
    std::optional<qint64> readTime();
    QString noRideProblem() const;

    QXmlStreamReader m_xml;
    Tokens m_tokens;
    QTimeZone m_zone;
    qint64 m_latestMs;
    QString m_namespace;
    QString m_fileName;
    std::vector<Track> m_tracks;
    Pipeline m_pipeline;
    qint64 m_firstBadPositionLine = 0;
    qint64 m_firstBadTimeLine = 0;
    qsizetype m_pointsInSegment = 0;
    bool m_timedInSegment = false;
};

FileRides GpxFile::read(QIODevice &in)
{
    if (in.peek(1).isEmpty() && in.atEnd())
        return {{}, emptyFileProblem()};
    if (!findRoot(m_tokens, m_xml) || m_xml.name() != u"gpx")
        return {{}, m_tokens.stopped() ? stoppedProblem() : QStringLiteral("není to soubor GPX")};
    m_namespace = m_xml.namespaceUri().toString();
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
    const std::vector<SegmentSum> segments = m_pipeline.finish();
    if (m_tokens.stopped())
        return {{}, stoppedProblem()};
    const bool endedEarly = XmlRideFile::endedEarly(m_xml);
    if (m_xml.hasError() && !endedEarly)
        return {{}, brokenXml(m_xml)};

    // The segments by the local date of their first time and by sport. A
    // track without a type is a bike ride, and so is a number in its place
    // (some apps write an activity code there).
    std::map<std::pair<qint64, QString>, RideSum> rides;
    std::vector<std::optional<QString>> sports(m_tracks.size());
    for (const SegmentSum &segment : segments) {
        const Track &track = m_tracks[segment.track];
        std::optional<QString> &sport = sports[segment.track];
        if (!sport) {
            const bool named = std::any_of(track.type.begin(), track.type.end(), [](QChar c) { return c.isLetter(); });
            sport = named ? otherSportName(track.type) : QString();
        }
        const qint64 day = QDateTime::fromMSecsSinceEpoch(segment.sum.startMs, m_zone).date().toJulianDay();
        const auto [at, added] = rides.try_emplace({day, *sport});
        RideSum &ride = at->second;
        if (added)
            ride.sum = segment.sum;
        else
            ride.sum.add(segment.sum);
        if (ride.trackName.isEmpty())
            ride.trackName = track.name;
    }

    FileRides result;
    for (const auto &[key, ride] : rides) {
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
    while (m_tokens.next() && !m_xml.isEndElement()) {
        if (!m_xml.isStartElement())
            continue;
        if (isGpx(u"name"))
            m_fileName = m_tokens.text();
        else
            m_tokens.skipElement();
    }
}

void GpxFile::readTrack()
{
    // A track is kept once it has a segment with a time. One cut off by
    // the end of the file counts with what it had.
    Track track;
    std::optional<qsizetype> index;
    while (m_tokens.next() && !m_xml.isEndElement()) {
        if (!m_xml.isStartElement())
            continue;
        if (isGpx(u"trkseg")) {
            if (!index)
                index = qsizetype(m_tracks.size());
            if (readSegment(*index) && *index == qsizetype(m_tracks.size()))
                m_tracks.emplace_back();
        } else if (isGpx(u"name")) {
            track.name = m_tokens.text();
        } else if (isGpx(u"type")) {
            track.type = m_tokens.text();
        } else {
            m_tokens.skipElement();
        }
    }
    if (index && *index < qsizetype(m_tracks.size()))
        m_tracks[*index] = track;
}

bool GpxFile::readSegment(qsizetype track)
{
    m_pointsInSegment = 0;
    m_timedInSegment = false;
    while (m_tokens.next() && !m_xml.isEndElement()) {
        if (!m_xml.isStartElement())
            continue;
        if (isGpx(u"trkpt"))
            readPoint();
        else
            m_tokens.skipElement();
    }
    if (m_pointsInSegment == 0)
        return false;
    Record end;
    end.kind = Record::SegmentEnd;
    end.value = m_timedInSegment ? track : -1;
    m_pipeline.add(end);
    return m_timedInSegment;
}

void GpxFile::readPoint()
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
    while (m_tokens.next() && !m_xml.isEndElement()) {
        if (!m_xml.isStartElement())
            continue;
        if (isGpx(u"time")) {
            timeGiven = true;
            time = readTime();
        } else {
            m_tokens.skipElement();
        }
    }
    if (timeGiven && !time && m_firstBadTimeLine == 0)
        m_firstBadTimeLine = line;
    Record point;
    const bool possible = lat && lon && std::isfinite(*lat) && std::isfinite(*lon) && std::abs(*lat) <= 90
        && std::abs(*lon) <= 180 && !(*lat == 0 && *lon == 0);
    if (!possible) {
        if (m_firstBadPositionLine == 0)
            m_firstBadPositionLine = line;
        point.kind = Record::LeftOut;
    } else {
        point.lat = *lat;
        point.lon = *lon;
        point.kind = time ? Record::Timed : Record::Untimed;
        point.value = time.value_or(0);
        m_timedInSegment = m_timedInSegment || time;
    }
    ++m_pointsInSegment;
    m_pipeline.add(point);
}

// The time of a point, when it is one a device can have recorded.
std::optional<qint64> GpxFile::readTime()
{
    // A time is short: its characters are gathered here rather than in a
    // string made for each point. Longer texts are no time.
    std::array<char16_t, 64> text;
    qsizetype length = 0;
    bool tooLong = false;
    int depth = 1;
    while (depth > 0 && m_tokens.next()) {
        if (m_xml.isStartElement()) {
            ++depth;
        } else if (m_xml.isEndElement()) {
            --depth;
        } else if (depth == 1 && m_xml.isCharacters()) {
            QStringView part = m_xml.text();
            while (length == 0 && !part.isEmpty() && part.front().isSpace())
                part = part.sliced(1);
            if (length + part.size() > qsizetype(text.size())) {
                tooLong = true;
            } else {
                std::copy(part.utf16(), part.utf16() + part.size(), text.begin() + length);
                length += part.size();
            }
        }
    }
    // A time cut off by the end of the file may have lost digits.
    if (tooLong || m_xml.hasError())
        return std::nullopt;
    const std::optional<qint64> ms = parseTime(QStringView(text.data(), length));
    if (!ms || *ms < kEarliestMs || *ms > m_latestMs)
        return std::nullopt;
    return ms;
}

} // namespace

void setGpxMeasuringThread(bool on)
{
    g_measuringThread = on;
}

FileRides readGpx(QIODevice &in, const QTimeZone &zone, const StopFlag &stop)
{
    GpxFile file(in, zone, stop);
    return file.read(in);
}

} // namespace GpsImport

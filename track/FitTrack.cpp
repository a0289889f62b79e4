// The track of one ride of a FIT file. The import's reader tells the
// file's rides and where each starts; this walk goes over the records and
// gives the ride the ones of its time: from its start to the next ride's,
// and no later than its session's end. The device's timer stopped and
// started again splits the ride into pieces.

#include "FitFields.h"
#include "FitInput.h"
#include "RecordedRide.h"
#include "TrackBuilder.h"

#include <QDateTime>
#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace RideTrack::Detail {

namespace {
using namespace GpsImport::Fit;

// FIT time counts seconds from 1989-12-31T00:00:00Z.
constexpr qint64 kFitEpoch = 631065600;
constexpr std::size_t kShortHeader = 12;

enum Global : std::uint16_t { kSession = 18, kRecord = 20, kEvent = 21 };

// The fields read of each message, by slot; 0 is the time stamp.
enum RecordSlot { kTime = 0, kLat, kLon, kAltitude, kEnhancedAltitude, kHeartRate, kCadence, kSpeed, kEnhancedSpeed,
                  kPower, kSlots };
enum SessionSlot { kStartTime = 1, kElapsed, kAscent, kDescent };
enum EventSlot { kEventKind = 1, kEventType };

// The timer's events: started, stopped (or all stopped) by the rider or
// when standing.
constexpr int kTimerEvent = 0;
constexpr int kStart = 0, kStop = 1, kStopAll = 4, kStopDisable = 8, kStopDisableAll = 9;

int slotOf(std::uint16_t global, std::uint8_t field)
{
    if (field == 253)
        return kTime;
    switch (global) {
    case kRecord:
        switch (field) {
        case 0: return kLat;
        case 1: return kLon;
        case 2: return kAltitude;
        case 78: return kEnhancedAltitude;
        case 3: return kHeartRate;
        case 4: return kCadence;
        case 6: return kSpeed;
        case 73: return kEnhancedSpeed;
        case 7: return kPower;
        default: return -1;
        }
    case kSession:
        switch (field) {
        case 2: return kStartTime;
        case 7: return kElapsed;
        case 22: return kAscent;
        case 23: return kDescent;
        default: return -1;
        }
    case kEvent:
        return field == 0 ? kEventKind : field == 1 ? kEventType : -1;
    default:
        return -1;
    }
}

struct Definition
{
    bool defined = false;
    bool big = false;
    std::uint16_t global = 0;
    std::uint32_t size = 0; // the data message's bytes after its header
    std::array<Slot, kSlots> wanted{};
};

// What a session tells of the ride it closes.
struct SessionFigures
{
    std::uint32_t start = 0;
    std::int64_t end = 0; // FIT time of its last second
    std::optional<double> ascent, descent;
};

// The walk over the messages of a file (or a chain of files), taking the
// records of the time from `from` up to before `until` into the pieces.
class FitWalk
{
public:
    FitWalk(Input &in, std::int64_t from, std::int64_t until, Track &track)
        : in_(in), from_(from), until_(until), track_(track), builder_(latestPossibleMs())
    {
    }

    // The files one after another; false when the bytes ended inside one.
    void walkFiles()
    {
        while (in_.ensure(kShortHeader) && in_.at()[0] >= kShortHeader && std::memcmp(in_.at() + 8, ".FIT", 4) == 0) {
            const std::size_t headerSize = in_.at()[0];
            std::uint32_t dataSize;
            std::memcpy(&dataSize, in_.at() + 4, 4);
            dataSize = qFromLittleEndian(dataSize);
            if (!in_.ensure(headerSize))
                break;
            in_.skip(headerSize);
            const std::int64_t dataEnd = in_.offset() + std::int64_t(dataSize);
            bool cut = false;
            // Bytes that stop making messages are passed over to the end
            // of the data, where the next file of a chain may begin.
            if (!messages(dataEnd, cut) && (cut || !in_.skipTo(dataEnd)))
                break;
            if (!in_.ensure(2))
                break;
            in_.skip(2); // the checksum: the import judged the file
        }
        appendPiece(track_, builder_.take());
        track_.skipped = builder_.skipped();
    }

    bool stopped() const { return in_.stopped(); }
    const std::vector<SessionFigures> &sessions() const { return sessions_; }
    void reserve(qsizetype points) { builder_.reserve(points); }

private:
    bool messages(std::int64_t dataEnd, bool &cut)
    {
        while (in_.offset() < dataEnd) {
            const std::int64_t room = dataEnd - in_.offset();
            if (!in_.ensure(1)) {
                cut = true;
                return false;
            }
            const unsigned char header = *in_.at();
            bool ok;
            if (header & 0x80)
                ok = dataMessage((header >> 5) & 0x3, true, header & 0x1F, room, cut);
            else if (header & 0x40)
                ok = definition(header & 0x0F, header & 0x20, room, cut);
            else
                ok = dataMessage(header & 0x0F, false, 0, room, cut);
            if (!ok)
                return false;
        }
        return true;
    }

    bool definition(int local, bool developer, std::int64_t room, bool &cut)
    {
        const auto have = [&](std::size_t n) {
            if (std::int64_t(n) > room)
                return false;
            if (!in_.ensure(n)) {
                cut = true;
                return false;
            }
            return true;
        };
        if (!have(6))
            return false;
        const bool big = in_.at()[2] != 0;
        const int fields = in_.at()[5];
        std::size_t length = 6 + 3 * std::size_t(fields) + (developer ? 1 : 0);
        if (!have(length))
            return false;
        const int devFields = developer ? in_.at()[length - 1] : 0;
        length += 3 * std::size_t(devFields);
        if (!have(length))
            return false;
        const unsigned char *p = in_.at();
        Definition d;
        d.defined = true;
        d.big = big;
        d.global = big ? std::uint16_t(p[3] << 8 | p[4]) : std::uint16_t(p[4] << 8 | p[3]);
        std::uint32_t offset = 0;
        for (int i = 0; i < fields; ++i) {
            const unsigned char *f = p + 6 + 3 * i;
            const int slot = slotOf(d.global, f[0]);
            const Kind kind = kindOf(f[2]);
            const int unit = sizeOf(kind);
            // Of an array, the first value is read.
            if (slot >= 0 && unit > 0 && f[1] >= unit && f[1] % unit == 0)
                d.wanted[std::size_t(slot)] = Slot{offset, kind};
            offset += f[1];
        }
        // Developer fields are passed over.
        for (int i = 0; i < devFields; ++i)
            offset += p[6 + 3 * fields + 1 + 3 * i + 1];
        d.size = offset;
        definitions_[std::size_t(local)] = d;
        in_.skip(length);
        return true;
    }

    bool dataMessage(int local, bool compressed, int timeOffset, std::int64_t room, bool &cut)
    {
        const Definition &d = definitions_[std::size_t(local)];
        if (!d.defined)
            return false;
        const std::size_t length = 1 + std::size_t(d.size);
        if (std::int64_t(length) > room)
            return false;
        if (!in_.ensure(length)) {
            cut = true;
            return false;
        }
        const unsigned char *m = in_.at() + 1;
        bool hasTime = false;
        std::uint32_t t = 0;
        if (compressed && haveTime_) {
            // Five bits of the time, rolled over against the last full one.
            t = lastTime_ + ((std::uint32_t(timeOffset) - lastTime_) & 0x1F);
            hasTime = true;
            lastTime_ = t;
        }
        std::uint32_t stamp;
        if (readTime(m, d.wanted[kTime], d.big, stamp)) {
            t = stamp;
            hasTime = haveTime_ = true;
            lastTime_ = stamp;
        }
        if (d.global == kRecord && hasTime)
            record(d, m, t);
        else if (d.global == kEvent)
            event(d, m);
        else if (d.global == kSession)
            session(d, m, hasTime, t);
        in_.skip(length);
        return true;
    }

    void record(const Definition &d, const unsigned char *m, std::uint32_t t)
    {
        if (std::int64_t(t) < from_ || std::int64_t(t) >= until_)
            return;
        const auto &w = d.wanted;
        // A record without position fields (an indoor ride) has no place
        // on the track; a position the device marked as none is left out.
        if (w[kLat].kind == kAbsent && w[kLon].kind == kAbsent)
            return;
        std::int64_t lat = 0, lon = 0, v = 0;
        if (!read(m, w[kLat], d.big, lat) || !read(m, w[kLon], d.big, lon)) {
            builder_.countSkipped();
            return;
        }
        constexpr double degrees = 180.0 / 2147483648.0;
        TrackPoint p;
        p.lat = double(lat) * degrees;
        p.lon = double(lon) * degrees;
        p.ms = (kFitEpoch + qint64(t)) * 1000;
        if (read(m, w[kEnhancedAltitude], d.big, v) || read(m, w[kAltitude], d.big, v))
            p.elevation = float(double(v) / 5.0 - 500.0);
        if (read(m, w[kEnhancedSpeed], d.big, v) || read(m, w[kSpeed], d.big, v))
            p.speed = float(double(v) / 1000.0);
        if (read(m, w[kHeartRate], d.big, v))
            p.heartRate = float(v);
        if (read(m, w[kCadence], d.big, v))
            p.cadence = float(v);
        if (read(m, w[kPower], d.big, v))
            p.power = float(v);
        builder_.add(p);
    }

    // The timer started again after it was stopped: a new piece.
    void event(const Definition &d, const unsigned char *m)
    {
        std::int64_t kind, type;
        if (!read(m, d.wanted[kEventKind], d.big, kind) || kind != kTimerEvent
            || !read(m, d.wanted[kEventType], d.big, type))
            return;
        if (type == kStop || type == kStopAll || type == kStopDisable || type == kStopDisableAll) {
            timerStopped_ = true;
        } else if (type == kStart && timerStopped_) {
            timerStopped_ = false;
            appendPiece(track_, builder_.take());
        }
    }

    // Its start as the import takes it: the time it gives, or its end
    // less the time it lasted, or its end.
    void session(const Definition &d, const unsigned char *m, bool hasStamp, std::uint32_t stamp)
    {
        std::uint32_t start = 0;
        std::int64_t elapsedMs = 0, v = 0;
        const bool hasStart = readTime(m, d.wanted[kStartTime], d.big, start);
        const bool hasElapsed = read(m, d.wanted[kElapsed], d.big, elapsedMs) && elapsedMs >= 0;
        if (!hasStart) {
            if (!hasStamp)
                return;
            start = hasElapsed && elapsedMs / 1000 <= stamp ? std::uint32_t(stamp - elapsedMs / 1000) : stamp;
        }
        SessionFigures s;
        s.start = start;
        s.end = std::numeric_limits<std::int64_t>::max();
        if (hasElapsed)
            s.end = std::int64_t(start) + std::int64_t(std::ceil(double(elapsedMs) / 1000.0));
        if (hasStamp)
            s.end = hasElapsed ? std::max<std::int64_t>(s.end, stamp) : std::int64_t(stamp);
        if (read(m, d.wanted[kAscent], d.big, v))
            s.ascent = double(v);
        if (read(m, d.wanted[kDescent], d.big, v))
            s.descent = double(v);
        if (sessions_.size() < 1000)
            sessions_.push_back(s);
    }

    Input &in_;
    std::int64_t from_, until_;
    Track &track_;
    PieceBuilder builder_;
    std::array<Definition, 16> definitions_{};
    bool haveTime_ = false;
    std::uint32_t lastTime_ = 0;
    bool timerStopped_ = false;
    std::vector<SessionFigures> sessions_;
};

// Leaves out the points after the ride's session ended: records the
// device kept after closing it belong to no ride.
void endAt(Track &track, std::int64_t lastFitSecond)
{
    const qint64 lastMs = (kFitEpoch + lastFitSecond) * 1000;
    while (!track.pieces.isEmpty()) {
        TrackPiece &piece = track.pieces.last();
        while (!piece.isEmpty() && piece.constLast().ms > lastMs)
            piece.removeLast();
        if (!piece.isEmpty())
            break;
        track.pieces.removeLast();
    }
}

} // namespace

Track readFitTrack(QIODevice &in, int rideInFile, const GpsImport::StopFlag &stop)
{
    Track track;
    const qint64 begin = in.pos();
    const GpsImport::FileRides found = GpsImport::readFit(in, stop);
    if (found.rides.isEmpty()) {
        track.problem = found.problem;
        return track;
    }
    if (rideInFile >= found.rides.size()) {
        track.problem = noSuchRide(rideInFile);
        return track;
    }
    // The ride's time: from its start to the next ride's.
    const std::int64_t from = found.rides[rideInFile].start.toSecsSinceEpoch() - kFitEpoch;
    std::int64_t until = std::numeric_limits<std::int64_t>::max();
    for (const GpsImport::RecordedRide &ride : found.rides) {
        const std::int64_t start = ride.start.toSecsSinceEpoch() - kFitEpoch;
        if (start > from)
            until = std::min(until, start);
    }
    if (!in.seek(begin)) {
        track.problem = QStringLiteral("soubor nelze číst (%1)").arg(in.errorString());
        return track;
    }
    Input input(in, stop);
    FitWalk walk(input, from, until, track);
    // A point a second, as bike computers record, and no more than the
    // bytes can hold (a record with a position takes 16 or more).
    std::int64_t points = std::max<std::int64_t>(in.size() - begin, 0) / 16;
    if (until != std::numeric_limits<std::int64_t>::max())
        points = std::min(points, until - from + 1);
    walk.reserve(qsizetype(std::min<std::int64_t>(points, 1 << 20)));
    walk.walkFiles();
    for (TrackPiece &piece : track.pieces)
        if (piece.capacity() > piece.size() + piece.size() / 4)
            piece.squeeze();
    if (walk.stopped())
        return Track{{}, {}, {}, {}, 0, QStringLiteral("čtení bylo zastaveno")};
    for (const SessionFigures &s : walk.sessions()) {
        if (std::int64_t(s.start) != from)
            continue;
        endAt(track, s.end);
        track.ascent = s.ascent;
        track.descent = s.descent;
        break;
    }
    return track;
}

} // namespace RideTrack::Detail

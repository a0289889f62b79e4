// The rides of a FIT file (Garmin's binary format of bike computers and
// watches): one ride per session the device closed, or, when the file
// was cut short before its sessions, one ride made of the points it
// recorded.
//
// The file is streamed through a fixed buffer. Each definition message
// is turned once into the offsets and kinds of the few fields the rides
// need, so that a data message costs a few loads, and the checksum is
// taken over large runs of bytes at a time, the ones just walked. The
// records, the bulk of a file, are only walked over: a file its device
// closed has its rides in its sessions, and only a file cut short (or
// one of no session) has its records read, on a second walk from its
// last session; a session that gives no riding time has the records of
// its time read, on a walk over them all.

#include "FitCrc.h"
#include "FitFields.h"
#include "FitInput.h"
#include "FitSports.h"
#include "MovingTime.h"
#include "RecordedRide.h"

#include <QIODevice>
#include <QtEndian>

#include <GeographicLib/Geodesic.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace GpsImport {

namespace {
using namespace Fit;

// FIT time counts seconds from 1989-12-31T00:00:00Z.
constexpr qint64 kFitEpoch = 631065600;

// Global message numbers of the messages read.
enum Global : std::uint16_t { kFileId = 0, kBikeProfile = 6, kSport = 12, kSession = 18, kRecord = 20 };
constexpr int kFileTypeActivity = 4;

QString problemEmpty()
{
    return QStringLiteral("soubor je prázdný");
}
QString problemNotFit()
{
    return QStringLiteral("není to soubor FIT");
}
QString problemNoRide(bool cut)
{
    return cut ? QStringLiteral("soubor je neúplný a nezbyla v něm žádná jízda")
               : QStringLiteral("v záznamu aktivity není žádná jízda");
}
QString problemStopped()
{
    return QStringLiteral("čtení bylo zastaveno");
}

QString problemNotActivity(int type)
{
    return QStringLiteral("není to záznam aktivity (FIT: %1)").arg(fileTypeName(type));
}

// The remarks, made once and shared by every ride that carries one.
QString remark(const char16_t *text)
{
    static const QString truncated = QString::fromUtf16(kRemarkTruncated);
    static const QString badChecksum = QString::fromUtf16(kRemarkBadChecksum);
    static const QString noDistance = QString::fromUtf16(kRemarkNoDistance);
    static const QString timeEstimated = QString::fromUtf16(kRemarkTimeEstimated);
    return text == kRemarkTruncated      ? truncated
        : text == kRemarkBadChecksum     ? badChecksum
        : text == kRemarkTimeEstimated   ? timeEstimated
                                         : noDistance;
}

QDateTime fitTime(std::uint32_t t)
{
    return QDateTime::fromSecsSinceEpoch(kFitEpoch + qint64(t), Qt::UTC);
}

// The fields wanted of each message, by slot: 0 is always the time
// stamp (field 253), the others depend on the message.
enum SlotIndex { kTimestamp = 0, kSlots = 8 };
enum FileIdSlot { kFileType = 1 };
enum SessionSlot { kStartTime = 1, kElapsed, kTimer, kTotalDistance, kSessionSport, kSessionSubSport, kMoving };
enum RecordSlot { kDistance = 1, kLat, kLong, kSpeed, kEnhancedSpeed };
enum SportSlot { kSportSport = 1, kSportSubSport };

int slotOf(std::uint16_t global, std::uint8_t field)
{
    if (field == 253)
        return kTimestamp;
    switch (global) {
    case kFileId:
        return field == 0 ? kFileType : -1;
    case kSession:
        switch (field) {
        case 2: return kStartTime;
        case 7: return kElapsed;
        case 8: return kTimer;
        case 9: return kTotalDistance;
        case 5: return kSessionSport;
        case 6: return kSessionSubSport;
        case 59: return kMoving;
        default: return -1;
        }
    case kRecord:
        switch (field) {
        case 5: return kDistance;
        case 0: return kLat;
        case 1: return kLong;
        case 6: return kSpeed;
        case 73: return kEnhancedSpeed;
        default: return -1;
        }
    case kSport:
        return field == 0 ? kSportSport : field == 1 ? kSportSubSport : -1;
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
    // A record as bike computers write it: time, position and distance in
    // 32 bits, speed absent or in 16; read without asking each field's kind.
    bool plainRecord = false;
    // A bike profile's name: a string field, where it lies and its bytes.
    std::uint32_t nameOffset = 0;
    std::uint8_t nameSize = 0;
};

// ---------------------------------------------------------------- the points

// The points of a stretch of records: those recorded since the last
// session, for a ride the file was cut short before closing, or those
// within a session's time, for its riding time.
class Track
{
public:
    [[gnu::always_inline]] void add(std::uint32_t t, bool hasDistance, std::int64_t distance, bool hasPosition, std::int32_t lat,
             std::int32_t lon, bool hasSpeed, std::int64_t speed)
    {
        if (count_ == 0) {
            first_ = t;
        } else if (hasDistance && lastHasDistance_) {
            moving_.addMetres(double(distance - lastDistance_) / 100.0);
        } else if (hasPosition && lastHasPosition_) {
            const double metres = geodesic(lastLat_, lastLon_, lat, lon);
            moving_.addMetres(metres);
            if (!hasDistance)
                positionMetres_ += metres;
        } else {
            moving_.wayUnknown();
        }
        // The speed in mm/s.
        moving_.addTime(qint64(t) * 1000, hasSpeed ? std::optional<double>(double(speed) / 1000.0) : std::nullopt);
        ++count_;
        lastHasDistance_ = hasDistance;
        lastHasPosition_ = hasPosition;
        if (hasDistance) {
            lastDistance_ = distance;
            anyDistance_ = true;
        }
        if (hasPosition) {
            lastLat_ = lat;
            lastLon_ = lon;
        }
    }

    bool empty() const { return count_ == 0; }
    std::uint32_t first() const { return first_; }

    // The riding time the records tell, none when none of them tells a
    // way or a speed. Stretches they tell nothing of count as ridden.
    std::optional<double> riding() const
    {
        if (!moving_.judged())
            return std::nullopt;
        return moving_.seconds() + moving_.unjudgedSeconds();
    }

    RecordedRide ride() const
    {
        RecordedRide r;
        r.start = fitTime(first_);
        r.seconds = moving_.seconds() + moving_.unjudgedSeconds();
        if (anyDistance_)
            r.metres = std::max(0.0, double(lastDistance_) / 100.0);
        else if (positionMetres_ > 0)
            r.metres = positionMetres_;
        else
            r.remarks.append(remark(kRemarkNoDistance));
        return r;
    }

private:
    static double geodesic(std::int32_t lat1, std::int32_t lon1, std::int32_t lat2, std::int32_t lon2)
    {
        constexpr double degrees = 180.0 / 2147483648.0;
        double s = 0;
        GeographicLib::Geodesic::WGS84().Inverse(lat1 * degrees, lon1 * degrees, lat2 * degrees, lon2 * degrees, s);
        return std::isfinite(s) ? s : 0.0;
    }

    std::int64_t count_ = 0;
    std::uint32_t first_ = 0;
    MovingTime moving_;
    std::int64_t lastDistance_ = 0;
    bool lastHasDistance_ = false, lastHasPosition_ = false, anyDistance_ = false;
    std::int32_t lastLat_ = 0, lastLon_ = 0;
    double positionMetres_ = 0;
};

// A session's totals (times in ms, distance in cm).
struct Session
{
    bool hasStart = false, hasStamp = false, hasElapsed = false, hasTimer = false, hasMoving = false,
         hasDistance = false;
    std::uint32_t start = 0, stamp = 0;
    std::int64_t elapsed = 0, timer = 0, moving = 0, distance = 0;
    int sport = -1, subSport = -1;
    // The riding time its records tell, for a session that gives none.
    std::optional<double> recordsRiding;

    bool givesRidingTime() const { return hasTimer || hasMoving; }

    // Its start: the time it gives, or its time stamp (its end) less the
    // time it lasted; none when it tells neither.
    std::optional<std::uint32_t> startTime() const
    {
        if (hasStart)
            return start;
        if (hasStamp && hasElapsed && elapsed / 1000 <= stamp)
            return std::uint32_t(stamp - elapsed / 1000);
        if (hasStamp)
            return stamp;
        return std::nullopt;
    }

    // The seconds from its start to its end.
    std::optional<double> elapsedSeconds() const
    {
        if (hasElapsed)
            return double(elapsed) / 1000.0;
        if (hasStart && hasStamp && stamp >= start)
            return double(stamp - start);
        return std::nullopt;
    }
};

// ---------------------------------------------------------------- one FIT file

// What one FIT file of a chain gave.
struct Part
{
    QList<RecordedRide> rides;
    int fileType = -1;
    bool cut = false; // the device ended before the file did
};

class FitFile
{
    // A place in the data and what the walk knew there.
    struct Mark
    {
        std::int64_t offset;
        std::array<Definition, 16> definitions;
        bool haveTime;
        std::uint32_t lastTime;
    };
    // A session's time, with the points recorded in it.
    struct Window
    {
        std::uint32_t start;
        std::int64_t end;
        std::size_t session;
        Track track;
    };

public:
    // The records are taken into the points as they come when the device
    // cannot go back to them; otherwise they are only walked, and read on
    // a second walk if the rides need them (`readPoints`,
    // `readSessionPoints`).
    FitFile(Input &in, std::int64_t dataEnd)
        : in_(in), dataEnd_(dataEnd), points_(!in.canGoBack()), begin_{in.offset(), {}, false, 0}, since_(begin_)
    {
    }

    // Reads the data messages up to the end the header gives; false when
    // the bytes stopped making messages before it (the rest is skipped).
    // `cut` tells whether the device ended first.
    bool readMessages(bool &cut)
    {
        cut = false;
        const bool whole = walk(cut);
        walked_ = in_.offset();
        return whole;
    }

    // Whether the rides need the points after the last session, and the
    // first walk did not take them.
    bool needsPoints(bool cut) const
    {
        return !points_ && recordsSince_ && (sessions_.empty() || cut);
    }

    // Reads the records after the last session again, up to where the
    // first walk stopped; false when the device cannot go back to them.
    bool readPoints()
    {
        return walkAgain(since_);
    }

    // Whether a session gives no riding time of its own, so that its
    // records are to tell it, and the first walk did not take them.
    bool needsSessionPoints() const
    {
        return !points_ && (anyRecords_ || recordsSince_)
            && std::any_of(sessions_.cbegin(), sessions_.cend(), [](const Session &s) { return !s.givesRidingTime(); });
    }

    // Reads all the records again, each into the session whose time it
    // falls in (of the sessions that give no riding time), for the riding
    // time of each; false when the device cannot go back to them.
    bool readSessionPoints()
    {
        windows_.clear();
        for (std::size_t i = 0; i < sessions_.size(); ++i) {
            const Session &s = sessions_[i];
            const auto start = s.startTime();
            if (s.givesRidingTime() || !start)
                continue;
            // To its end, whichever of its length and its time stamp
            // tells the later one; without either, to the end of the file.
            std::int64_t end = *start;
            if (const auto seconds = s.elapsedSeconds())
                end += std::int64_t(std::ceil(*seconds));
            if (s.hasStamp)
                end = std::max<std::int64_t>(end, s.stamp);
            else if (!s.elapsedSeconds())
                end = std::numeric_limits<std::uint32_t>::max();
            windows_.push_back({*start, end, i, Track()});
        }
        if (windows_.empty())
            return true;
        std::sort(windows_.begin(), windows_.end(), [](const Window &a, const Window &b) { return a.start < b.start; });
        const bool read = walkAgain(begin_);
        for (const Window &w : windows_)
            sessions_[w.session].recordsRiding = w.track.riding();
        windows_.clear();
        return read;
    }

    int fileType() const { return fileType_; }
    bool notActivity() const { return fileType_ >= 0 && fileType_ != kFileTypeActivity; }

    // The rides: one per session, and one of the points recorded after
    // the last session when the file was cut short.
    QList<RecordedRide> rides(bool cut) const
    {
        QList<RecordedRide> out;
        std::int64_t lastEnd = -1;
        for (const Session &s : sessions_) {
            RecordedRide r;
            const auto startTime = s.startTime();
            if (!startTime)
                continue;
            const std::uint32_t start = *startTime;
            r.start = fitTime(start);
            // The time the device measured riding: its timer (stopped by
            // hand or when standing), else its moving time, else what the
            // records tell; only then the time from start to end.
            if (s.hasTimer) {
                r.seconds = double(s.timer) / 1000.0;
            } else if (s.hasMoving) {
                r.seconds = double(s.moving) / 1000.0;
            } else if (s.recordsRiding) {
                r.seconds = *s.recordsRiding;
            } else if (const auto elapsed = s.elapsedSeconds()) {
                r.seconds = *elapsed;
                r.remarks.append(remark(kRemarkTimeEstimated));
            }
            if (r.seconds < 0)
                r.seconds = 0;
            if (s.hasDistance && s.distance >= 0)
                r.metres = double(s.distance) / 100.0;
            else
                r.remarks.append(remark(kRemarkNoDistance));
            // What the session does not say, the file's sport message may.
            const int subSport = s.subSport >= 0 || s.sport >= 0 ? s.subSport : subSport_;
            r.otherSport = otherSport(s.sport >= 0 ? s.sport : sport_, subSport);
            r.bike = bikeName_;
            if (cut)
                r.remarks.append(remark(kRemarkTruncated));
            out.append(r);
            lastEnd = std::max<std::int64_t>(lastEnd, std::int64_t(start) + (s.hasElapsed ? s.elapsed / 1000 : 0));
        }
        const bool noSession = sessions_.empty();
        if (!track_.empty() && (noSession || (cut && std::int64_t(track_.first()) >= lastEnd))) {
            RecordedRide r = track_.ride();
            r.otherSport = otherSport(sport_, subSport_, true);
            r.bike = bikeName_;
            r.remarks.append(remark(kRemarkTruncated));
            out.append(r);
        }
        return out;
    }

private:
    // Walks the records from `mark` again up to where the first walk
    // stopped, taking them into the points.
    bool walkAgain(const Mark &mark)
    {
        if (!in_.seek(mark.offset))
            return false;
        definitions_ = mark.definitions;
        haveTime_ = mark.haveTime;
        lastTime_ = mark.lastTime;
        points_ = true;
        second_ = true;
        dataEnd_ = walked_;
        bool cut = false;
        walk(cut);
        return in_.offset() == walked_;
    }

    // A point of the records: into the points since the last session, or,
    // on the walk for the sessions' riding time, into the session whose
    // time it falls in.
    [[gnu::always_inline]] void addPoint(std::uint32_t t, bool hasDistance, std::int64_t distance, bool hasPosition,
                                         std::int32_t lat, std::int32_t lon, bool hasSpeed, std::int64_t speed)
    {
        if (windows_.empty()) {
            track_.add(t, hasDistance, distance, hasPosition, lat, lon, hasSpeed, speed);
            return;
        }
        const auto after = std::upper_bound(windows_.begin(), windows_.end(), t,
                                            [](std::uint32_t time, const Window &w) { return time < w.start; });
        if (after != windows_.begin() && std::int64_t(t) <= std::prev(after)->end)
            std::prev(after)->track.add(t, hasDistance, distance, hasPosition, lat, lon, hasSpeed, speed);
    }

    // The messages up to `dataEnd_`; false when the bytes stopped making
    // them, `cut` when the device ended first.
    bool walk(bool &cut)
    {
        while (in_.offset() < dataEnd_) {
            const std::int64_t room = dataEnd_ - in_.offset();
            if (!in_.ensure(1)) {
                cut = true;
                return false;
            }
            // Runs of plain records, the bulk of a ride, each with a few
            // loads and no question of its kind.
            const unsigned char *run = in_.at();
            const std::size_t avail = std::size_t(std::min<std::int64_t>(std::int64_t(in_.available()), room));
            const std::size_t used = points_ ? plainRecords(run, avail) : plainRecordTimes(run, avail);
            if (used) {
                in_.skip(used);
                continue;
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
        if (room < 6)
            return false;
        if (!in_.ensure(6)) {
            cut = true;
            return false;
        }
        const unsigned char *p = in_.at();
        const bool big = p[2] != 0;
        const std::uint16_t global = big ? std::uint16_t(p[3] << 8 | p[4]) : std::uint16_t(p[4] << 8 | p[3]);
        const int fields = p[5];
        // The definition's first `n` bytes, when the file holds them.
        const auto have = [&](std::size_t n) {
            if (std::int64_t(n) > room)
                return false;
            if (!in_.ensure(n)) {
                cut = true;
                return false;
            }
            p = in_.at();
            return true;
        };
        std::size_t length = 6 + 3 * std::size_t(fields);
        if (developer)
            length += 1;
        if (!have(length))
            return false;
        const int devFields = developer ? p[length - 1] : 0;
        if (devFields) {
            length += 3 * std::size_t(devFields);
            if (!have(length))
                return false;
        }
        Definition d;
        d.defined = true;
        d.big = big;
        d.global = global;
        std::uint32_t offset = 0;
        for (int i = 0; i < fields; ++i) {
            const unsigned char *f = p + 6 + 3 * i;
            const int slot = slotOf(global, f[0]);
            const Kind kind = kindOf(f[2]);
            const int unit = sizeOf(kind);
            // A field whose size is no whole number of its type's values
            // is not read; of an array, the first value is.
            if (slot >= 0 && unit > 0 && f[1] >= unit && f[1] % unit == 0)
                d.wanted[std::size_t(slot)] = Slot{offset, kind};
            if (global == kBikeProfile && f[0] == 0 && (f[2] & 0x1F) == 7) {
                d.nameOffset = offset;
                d.nameSize = f[1];
            }
            offset += f[1];
        }
        for (int i = 0; i < devFields; ++i)
            offset += p[6 + 3 * fields + 1 + 3 * i + 1];
        d.size = offset;
        const auto &w = d.wanted;
        d.plainRecord = global == kRecord && w[kTimestamp].kind == kU32 && w[kDistance].kind == kU32
            && w[kLat].kind == kS32 && w[kLong].kind == kS32
            && (w[kSpeed].kind == kU16 || w[kSpeed].kind == kAbsent) && w[kEnhancedSpeed].kind == kAbsent;
        definitions_[std::size_t(local)] = d;
        in_.skip(length);
        return true;
    }

    [[gnu::always_inline]] bool dataMessage(int local, bool compressed, int timeOffset, std::int64_t room, bool &cut)
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
        if (d.plainRecord) {
            if (points_)
                plainRecord(d, m, hasTime, t);
            else
                plainRecordTime(d, m);
            in_.skip(length);
            return true;
        }
        std::uint32_t stamp;
        if (readTime(m, d.wanted[kTimestamp], d.big, stamp)) {
            t = stamp;
            hasTime = true;
            lastTime_ = stamp;
            haveTime_ = true;
        }
        switch (d.global) {
        case kRecord:
            recordsSince_ = true;
            if (hasTime && points_)
                record(d, m, t);
            break;
        case kSession:
            if (!second_ && session(d, m, hasTime, t)) {
                // The points that may yet make a ride start after it.
                since_ = {in_.offset() + std::int64_t(length), definitions_, haveTime_, lastTime_};
                anyRecords_ |= recordsSince_;
                recordsSince_ = false;
            }
            break;
        case kFileId: {
            std::int64_t type;
            if (!second_ && fileType_ < 0 && read(m, d.wanted[kFileType], d.big, type))
                fileType_ = int(type);
            break;
        }
        case kBikeProfile:
            if (!second_ && d.nameSize > 0)
                bikeName(m + d.nameOffset, d.nameSize);
            break;
        case kSport: {
            std::int64_t v;
            if (second_)
                break;
            if (read(m, d.wanted[kSportSport], d.big, v))
                sport_ = int(v), subSport_ = -1;
            if (read(m, d.wanted[kSportSubSport], d.big, v))
                subSport_ = int(v);
            break;
        }
        default:
            break;
        }
        in_.skip(length);
        return true;
    }

    // The file names the bike profile the ride was on: a UTF-8 text ended
    // by a zero byte or by the field's end. The first name counts.
    void bikeName(const unsigned char *text, std::size_t size)
    {
        if (!bikeName_.isEmpty())
            return;
        const char *chars = reinterpret_cast<const char *>(text);
        bikeName_ = QString::fromUtf8(chars, qsizetype(strnlen(chars, size))).trimmed();
    }

    [[gnu::always_inline]] void record(const Definition &d, const unsigned char *m, std::uint32_t t)
    {
        std::int64_t distance = 0, lat = 0, lon = 0, speed = 0;
        const bool hasDistance = read(m, d.wanted[kDistance], d.big, distance) && distance >= 0;
        const bool hasPosition = read(m, d.wanted[kLat], d.big, lat) && read(m, d.wanted[kLong], d.big, lon)
            && std::llabs(lat) <= 0x40000000LL && std::llabs(lon) <= 0x80000000LL;
        const bool hasSpeed =
            read(m, d.wanted[kEnhancedSpeed], d.big, speed) || read(m, d.wanted[kSpeed], d.big, speed);
        addPoint(t, hasDistance, distance, hasPosition, std::int32_t(std::clamp<std::int64_t>(lat, INT32_MIN, INT32_MAX)),
                 std::int32_t(std::clamp<std::int64_t>(lon, INT32_MIN, INT32_MAX)), hasSpeed, speed);
    }

    [[gnu::always_inline]] void plainRecord(const Definition &d, const unsigned char *m, bool hasTime, std::uint32_t t)
    {
        const auto &w = d.wanted;
        const std::uint32_t stamp = load<std::uint32_t>(m + w[kTimestamp].offset, d.big);
        if (stamp != 0xFFFFFFFF) {
            t = stamp;
            hasTime = haveTime_ = true;
            lastTime_ = stamp;
        }
        if (!hasTime)
            return;
        const std::uint32_t distance = load<std::uint32_t>(m + w[kDistance].offset, d.big);
        const std::int32_t lat = load<std::int32_t>(m + w[kLat].offset, d.big);
        const std::int32_t lon = load<std::int32_t>(m + w[kLong].offset, d.big);
        const std::uint16_t speed = w[kSpeed].kind == kU16 ? load<std::uint16_t>(m + w[kSpeed].offset, d.big) : 0xFFFF;
        const bool hasPosition = lat != 0x7FFFFFFF && lon != 0x7FFFFFFF && std::llabs(lat) <= 0x40000000LL;
        addPoint(t, distance != 0xFFFFFFFF, distance, hasPosition, lat, lon, speed != 0xFFFF, speed);
    }

    // The bytes taken by the plain records from the start of `run`, each
    // read into the points.
    std::size_t plainRecords(const unsigned char *run, std::size_t avail)
    {
        std::size_t used = 0;
        while (used < avail && run[used] < 0x10) {
            const Definition &d = definitions_[run[used]];
            if (!d.plainRecord || d.size >= avail - used)
                break;
            plainRecord(d, run + used + 1, false, 0);
            used += 1 + d.size;
        }
        return used;
    }

    // The same, only walked: of the records, only the last time is kept
    // (for the compressed time stamps that may follow). A run of one local
    // type costs a compare of its header each, four at a time.
    std::size_t plainRecordTimes(const unsigned char *run, std::size_t avail)
    {
        std::size_t used = 0;
        while (used < avail && run[used] < 0x10) {
            const unsigned char h = run[used];
            const Definition &d = definitions_[h];
            const std::size_t length = 1 + std::size_t(d.size);
            if (!d.plainRecord || length > avail - used)
                break;
            recordsSince_ = true;
            std::size_t end = used + length;
            while (avail - end >= 4 * length && run[end] == h && run[end + length] == h && run[end + 2 * length] == h
                   && run[end + 3 * length] == h)
                end += 4 * length;
            while (avail - end >= length && run[end] == h)
                end += length;
            // The last record of the run that tells its time.
            const std::uint32_t offset = 1 + d.wanted[kTimestamp].offset;
            for (std::size_t at = end; at > used;) {
                at -= length;
                const std::uint32_t stamp = load<std::uint32_t>(run + at + offset, d.big);
                if (stamp != 0xFFFFFFFF) {
                    lastTime_ = stamp;
                    haveTime_ = true;
                    break;
                }
            }
            used = end;
        }
        return used;
    }

    void plainRecordTime(const Definition &d, const unsigned char *m)
    {
        recordsSince_ = true;
        const std::uint32_t stamp = load<std::uint32_t>(m + d.wanted[kTimestamp].offset, d.big);
        if (stamp != 0xFFFFFFFF) {
            lastTime_ = stamp;
            haveTime_ = true;
        }
    }

    // False when the session is one too many and not kept.
    bool session(const Definition &d, const unsigned char *m, bool hasTime, std::uint32_t t)
    {
        if (sessions_.size() >= kMaxSessions)
            return false;
        Session s;
        s.hasStamp = hasTime;
        s.stamp = t;
        s.hasStart = readTime(m, d.wanted[kStartTime], d.big, s.start);
        s.hasElapsed = read(m, d.wanted[kElapsed], d.big, s.elapsed) && s.elapsed >= 0;
        s.hasTimer = read(m, d.wanted[kTimer], d.big, s.timer) && s.timer >= 0;
        s.hasMoving = read(m, d.wanted[kMoving], d.big, s.moving) && s.moving >= 0;
        s.hasDistance = read(m, d.wanted[kTotalDistance], d.big, s.distance) && s.distance >= 0;
        std::int64_t v;
        if (read(m, d.wanted[kSessionSport], d.big, v))
            s.sport = int(v);
        if (read(m, d.wanted[kSessionSubSport], d.big, v))
            s.subSport = int(v);
        // Read as they come (the device cannot go back to them), the
        // records that tell a session's riding time are those since the
        // last session.
        if (points_ && !s.givesRidingTime())
            s.recordsRiding = track_.riding();
        sessions_.push_back(s);
        track_ = Track();
        return true;
    }

    // A file of more sessions than any day holds is no activity anyone
    // recorded; the rest are not kept.
    static constexpr std::size_t kMaxSessions = 1000;

    Input &in_;
    std::int64_t dataEnd_;
    std::int64_t walked_ = 0; // where the first walk stopped
    bool points_;             // records are read into the points
    bool second_ = false;     // the second walk, for the points only
    bool recordsSince_ = false; // records came after the last session
    bool anyRecords_ = false;   // records came before the last session
    // Where the data began and where the last session ended.
    Mark begin_, since_;
    // The times of the sessions whose records tell their riding time, by
    // their start.
    std::vector<Window> windows_;
    std::array<Definition, 16> definitions_{};
    bool haveTime_ = false;
    std::uint32_t lastTime_ = 0;
    int fileType_ = -1;
    int sport_ = -1, subSport_ = -1;
    QString bikeName_;
    std::vector<Session> sessions_;
    Track track_;
};

constexpr std::size_t kShortHeader = 12;

// More rides than a chain of files from one device could hold are not
// kept: the list does not grow with hostile bytes.
constexpr qsizetype kMaxRides = 500;

bool isHeader(const unsigned char *h)
{
    return h[0] >= kShortHeader && std::memcmp(h + 8, ".FIT", 4) == 0;
}

} // namespace

FileRides readFit(QIODevice &in, const StopFlag &stop)
{
    Input input(in, stop);
    FileRides result;
    if (!input.ensure(1))
        return {{}, input.stopped() ? problemStopped() : problemEmpty()};

    QString otherProblem;
    bool anyActivity = false, anyCut = false;
    for (int files = 0;; ++files) {
        if (!input.ensure(kShortHeader) || !isHeader(input.at())) {
            if (files == 0)
                return {{}, input.stopped() ? problemStopped() : problemNotFit()};
            break; // what follows the last file is no file
        }
        input.startCrc();
        const unsigned char *h = input.at();
        const std::size_t headerSize = h[0];
        std::uint32_t dataSize;
        std::memcpy(&dataSize, h + 4, 4);
        dataSize = qFromLittleEndian(dataSize);
        bool badChecksum = false;
        if (!input.ensure(headerSize)) {
            anyCut = true;
            break;
        }
        h = input.at();
        if (headerSize >= 14) {
            const std::uint16_t stored = std::uint16_t(h[12] | h[13] << 8);
            badChecksum = stored != 0 && stored != FitCrc::update(0, h, kShortHeader);
        }
        input.skip(headerSize);

        const std::int64_t dataEnd = input.offset() + std::int64_t(dataSize);
        FitFile file(input, dataEnd);
        bool cut = false;
        // Bytes that stop making messages are passed over to the end of
        // the data, for the checksum and the next file of the chain.
        const bool whole = file.readMessages(cut);
        if (!whole && !cut)
            cut = !input.skipTo(dataEnd);
        if (!cut) {
            const std::uint16_t computed = input.takeCrc();
            if (!input.ensure(2)) {
                cut = true;
            } else {
                const std::uint16_t stored = std::uint16_t(input.at()[0] | input.at()[1] << 8);
                input.skip(2);
                badChecksum |= stored != computed;
            }
        }
        const bool sessionPoints = !file.notActivity() && file.needsSessionPoints();
        const bool points = !file.notActivity() && file.needsPoints(cut || !whole);
        if (sessionPoints || points) {
            // A session that gives no riding time: its records tell it.
            // A file cut short, or one of no session: its records make
            // the ride. The next file of a chain follows where this ended.
            const std::int64_t next = input.offset();
            if ((sessionPoints && !file.readSessionPoints()) || (points && !file.readPoints())
                || (!cut && !input.seek(next)))
                cut = true;
        }
        if (input.stopped())
            return {{}, problemStopped()};
        anyCut |= cut;
        if (file.notActivity()) {
            if (otherProblem.isEmpty())
                otherProblem = problemNotActivity(file.fileType());
        } else {
            anyActivity = true;
            for (RecordedRide &r : file.rides(cut || !whole)) {
                if (result.rides.size() >= kMaxRides)
                    break;
                if (badChecksum)
                    r.remarks.append(remark(kRemarkBadChecksum));
                result.rides.append(r);
            }
        }
        if (cut)
            break;
    }
    if (result.rides.isEmpty())
        result.problem = anyActivity || otherProblem.isEmpty() ? problemNoRide(anyCut) : otherProblem;
    return result;
}

} // namespace GpsImport

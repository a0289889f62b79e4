// The figures of a track, the climb of its elevations and its line
// simplified for drawing at a zoom.

#include "RideTrack.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace RideTrack {

namespace {

// Faster than this no bicycle went: a jump of the position, a speed
// sensor's glitch.
constexpr double kFastestSpeed = 100.0;
// Speeds from positions are taken over at least this long a stretch, so
// that a metre of GPS noise in a second does not make a record.
constexpr qint64 kSpeedStretchMs = 10'000;

// The highest speed the device measured at the points; none when no point
// carries one.
std::optional<double> deviceMaxSpeed(const Track &track)
{
    std::optional<double> best;
    for (const TrackPiece &piece : track.pieces)
        for (const TrackPoint &p : piece)
            if (std::isfinite(p.speed) && p.speed >= 0 && p.speed <= kFastestSpeed)
                best = std::max(best.value_or(0.0), double(p.speed));
    return best;
}

// The highest speed the positions tell over stretches of at least
// kSpeedStretchMs within a piece.
std::optional<double> positionMaxSpeed(const Track &track)
{
    std::optional<double> best;
    for (const TrackPiece &piece : track.pieces) {
        std::vector<qsizetype> timed;
        for (qsizetype i = 0; i < piece.size(); ++i)
            if (piece[i].timed())
                timed.push_back(i);
        std::size_t end = 0;
        for (std::size_t begin = 0; begin < timed.size(); ++begin) {
            const TrackPoint &from = piece[timed[begin]];
            end = std::max(end, begin + 1);
            while (end < timed.size() && piece[timed[end]].ms - from.ms < kSpeedStretchMs)
                ++end;
            if (end == timed.size())
                break;
            const TrackPoint &to = piece[timed[end]];
            const double speed = (to.metres - from.metres) / (double(to.ms - from.ms) / 1000.0);
            if (speed <= kFastestSpeed)
                best = std::max(best.value_or(0.0), speed);
        }
    }
    return best;
}

} // namespace

TrackFigures figuresOf(const Track &track)
{
    TrackFigures f;
    QList<double> elevations;
    const TrackPoint *first = nullptr, *last = nullptr;
    for (const TrackPiece &piece : track.pieces) {
        for (const TrackPoint &p : piece) {
            if (p.timed()) {
                if (!first)
                    first = &p;
                last = &p;
            }
            if (std::isfinite(p.elevation)) {
                elevations.append(p.elevation);
                f.highest = std::max(f.highest.value_or(-1e9), double(p.elevation));
                f.lowest = std::min(f.lowest.value_or(1e9), double(p.elevation));
            }
        }
    }
    if (!track.pieces.isEmpty())
        f.metres = track.pieces.constLast().constLast().metres;
    if (first) {
        f.start = QDateTime::fromMSecsSinceEpoch(first->ms, Qt::UTC);
        f.end = QDateTime::fromMSecsSinceEpoch(last->ms, Qt::UTC);
        f.elapsedSeconds = double(last->ms - first->ms) / 1000.0;
    }
    f.maxSpeed = deviceMaxSpeed(track);
    if (!f.maxSpeed)
        f.maxSpeed = positionMaxSpeed(track);
    // The device's sums where it gives them; what it does not give, the
    // elevations tell.
    std::optional<Climb> climb;
    if ((!track.ascent || !track.descent) && !elevations.isEmpty())
        climb = climbOf(elevations);
    f.ascentFromDevice = track.ascent.has_value();
    f.ascent = track.ascent ? track.ascent : climb ? std::optional(climb->ascent) : std::nullopt;
    f.descent = track.descent ? track.descent : climb ? std::optional(climb->descent) : std::nullopt;
    return f;
}

Climb climbOf(const QList<double> &elevations, double threshold)
{
    Climb climb;
    if (elevations.isEmpty())
        return climb;
    // Until the elevation has moved `threshold` either way, the way is not
    // known; then `low` and `high` are the last turning point and the
    // extreme since, in the way it goes.
    enum class Way { Unknown, Up, Down } way = Way::Unknown;
    double low = elevations.first(), high = low;
    for (const double e : elevations) {
        switch (way) {
        case Way::Unknown:
            low = std::min(low, e);
            high = std::max(high, e);
            if (high - low >= threshold)
                way = e == high ? Way::Up : Way::Down;
            break;
        case Way::Up:
            if (e > high) {
                high = e;
            } else if (high - e >= threshold) {
                climb.ascent += high - low;
                low = e;
                way = Way::Down;
            }
            break;
        case Way::Down:
            if (e < low) {
                low = e;
            } else if (e - low >= threshold) {
                climb.descent += high - low;
                high = e;
                way = Way::Up;
            }
            break;
        }
    }
    if (way == Way::Up)
        climb.ascent += high - low;
    else if (way == Way::Down)
        climb.descent += high - low;
    return climb;
}

QList<int> simplifiedLine(const double *x, const double *y, int count, double tolerance)
{
    QList<int> kept;
    if (count <= 0)
        return kept;
    if (count <= 2) {
        for (int i = 0; i < count; ++i)
            kept.append(i);
        return kept;
    }
    std::vector<bool> keep(std::size_t(count), false);
    keep.front() = keep.back() = true;
    const double limit = tolerance * tolerance;
    std::vector<std::pair<int, int>> stack{{0, count - 1}};
    while (!stack.empty()) {
        const auto [a, b] = stack.back();
        stack.pop_back();
        if (b - a < 2)
            continue;
        // The point farthest from the chord a–b (the distance to the
        // segment, not to the line through it).
        const double dx = x[b] - x[a], dy = y[b] - y[a];
        const double length2 = dx * dx + dy * dy;
        double farthest = -1;
        int at = a;
        for (int i = a + 1; i < b; ++i) {
            double px = x[i] - x[a], py = y[i] - y[a];
            if (length2 > 0) {
                const double t = std::clamp((px * dx + py * dy) / length2, 0.0, 1.0);
                px -= t * dx;
                py -= t * dy;
            }
            const double d2 = px * px + py * py;
            if (d2 > farthest) {
                farthest = d2;
                at = i;
            }
        }
        if (farthest > limit) {
            keep[std::size_t(at)] = true;
            stack.emplace_back(a, at);
            stack.emplace_back(at, b);
        }
    }
    for (int i = 0; i < count; ++i)
        if (keep[std::size_t(i)])
            kept.append(i);
    return kept;
}

} // namespace RideTrack

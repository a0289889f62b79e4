#pragma once
#include <QtGlobal>

#include <optional>

namespace GpsImport {

// The riding time of a recording: the time between its timed points over
// which it went 2 km/h or more. Slower stretches are stops (lights, a
// break with the device running), not riding. The GPX reader judges each
// stretch by the way its points cover; the FIT reader by the distance or
// positions of its records, or, where they tell no way, by the speed the
// device measured.
class MovingTime
{
public:
    // 2 km/h: d metres over t milliseconds are ridden when d / (t / 1000) * 3.6 >= 2.
    static constexpr double kMillisecondsPerMetreAtSlowest = 1800;

    static bool isRiding(double metres, double milliseconds)
    {
        return metres * kMillisecondsPerMetreAtSlowest >= milliseconds;
    }

    // The way covered since the last point.
    void addMetres(double metres) { m_metres += metres; }
    // The way since the last timed point is not known: the stretch is
    // judged by the speed at its end, or not at all.
    void wayUnknown() { m_wayKnown = false; }

    // A point recorded at `ms`, with the speed measured there (metres a
    // second) when the device gives one. The same time again or an earlier
    // one measures nothing: its way counts toward the next stretch.
    void addTime(qint64 ms, std::optional<double> metresPerSecond = std::nullopt)
    {
        if (m_timed) {
            if (ms <= m_lastMs)
                return;
            const qint64 interval = ms - m_lastMs;
            if (m_wayKnown || metresPerSecond) {
                m_judged = true;
                const double metres = m_wayKnown ? m_metres : *metresPerSecond * double(interval) / 1000;
                if (isRiding(metres, double(interval)))
                    m_ridingMs += interval;
            } else {
                m_unjudgedMs += interval;
            }
        }
        m_timed = true;
        m_lastMs = ms;
        m_metres = 0;
        m_wayKnown = true;
    }

    // Seconds ridden.
    double seconds() const { return double(m_ridingMs) / 1000; }
    // Seconds between points that told neither their way nor a speed.
    double unjudgedSeconds() const { return double(m_unjudgedMs) / 1000; }
    // Whether any stretch could be judged.
    bool judged() const { return m_judged; }

private:
    qint64 m_ridingMs = 0;
    qint64 m_unjudgedMs = 0;
    double m_metres = 0;
    qint64 m_lastMs = 0;
    bool m_timed = false;
    bool m_wayKnown = true;
    bool m_judged = false;
};

} // namespace GpsImport

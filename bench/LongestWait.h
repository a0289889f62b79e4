#pragma once
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <functional>

// How long the window's thread was kept from its events: a 1 ms timer
// ticks on it, and the longest gap between two ticks (or from the last
// tick to now) is the longest time an event, a paint or a key, waited.
// The clock starts with the object; the ticks with startTicking().
class LongestWait
{
public:
    // `onTick` runs at every tick with the time since the clock started.
    explicit LongestWait(std::function<void(qint64 ns)> onTick = {}) : m_onTick(std::move(onTick))
    {
        m_clock.start();
        m_tick.setTimerType(Qt::PreciseTimer);
        m_tick.setInterval(1);
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
            if (m_onTick)
                m_onTick(now);
        });
    }

    void startTicking()
    {
        m_last = m_clock.nsecsElapsed();
        m_tick.start();
    }
    qint64 elapsedNs() const { return m_clock.nsecsElapsed(); }
    // The longest gap so far, the one up to now included.
    double longestMs() const { return double(std::max(m_longest, m_clock.nsecsElapsed() - m_last)) / 1e6; }

private:
    std::function<void(qint64)> m_onTick;
    QElapsedTimer m_clock;
    QTimer m_tick;
    qint64 m_last = 0, m_longest = 0;
};

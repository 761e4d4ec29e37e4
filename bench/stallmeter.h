#pragma once

// The longest gap between two turns of the event loop, sampled by a 1 ms timer: what a window
// shows as a stall.

#include <algorithm>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace m845::bench {

class StallMeter
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_last != 0) {
                m_worst = std::max(m_worst, now - m_last);
                m_frames += now - m_last > kFrameNs ? 1 : 0;
            }
            m_last = now;
        });
    }
    void Start()
    {
        m_worst = 0;
        m_last = 0;
        m_frames = 0;
        m_clock.start();
        m_timer.start();
    }
    double StopMs()
    {
        m_timer.stop();
        return static_cast<double>(m_worst) / 1e6;
    }

    // How many gaps were longer than a 60 Hz frame (16 ms).
    [[nodiscard]] int FramesMissed() const { return m_frames; }

private:
    static constexpr qint64 kFrameNs = 16'000'000;

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
    int m_frames = 0;
};

} // namespace m845::bench

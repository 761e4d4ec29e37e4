#pragma once

// How long the event loop was kept busy: the longest gap between ticks of a 1 ms timer.

#include <algorithm>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace m845::bench {

struct StallMeter
{
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 worst = 0;
    int over16 = 0;
    int over50 = 0;
    StallMeter()
    {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] {
            const qint64 now = clock.nsecsElapsed();
            worst = std::max(worst, now - last);
            over16 += now - last > 16'000'000 ? 1 : 0;
            over50 += now - last > 50'000'000 ? 1 : 0;
            last = now;
        });
    }
    void Start()
    {
        clock.start();
        last = 0;
        worst = 0;
        over16 = 0;
        over50 = 0;
        timer.start();
    }
};

} // namespace m845::bench

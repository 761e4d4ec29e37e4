#include "ui/common/qttimer.h"

namespace m845 {

TQtTimer::TQtTimer(int intervalMs, QObject *parent)
    : QObject(parent)
{
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_onTimeout)
            m_onTimeout();
    });
}

void TQtTimer::Start()
{
    // Enabling a running timer keeps its count, as the sequencer expects.
    if (!m_timer.isActive())
        m_timer.start();
}

} // namespace m845

#pragma once

// ITimer over a QTimer on the window thread.

#include <functional>

#include <QObject>
#include <QTimer>

#include "core/timer.h"

namespace m845 {

class TQtTimer final : public QObject, public ITimer
{
    Q_OBJECT
public:
    explicit TQtTimer(int intervalMs, QObject *parent = nullptr);

    void SetInterval(int ms) override { m_timer.setInterval(ms); }
    [[nodiscard]] int Interval() const override { return m_timer.interval(); }
    void Start() override;
    void Stop() override { m_timer.stop(); }
    [[nodiscard]] bool IsActive() const override { return m_timer.isActive(); }
    void SetOnTimeout(std::function<void()> handler) override { m_onTimeout = std::move(handler); }
    void SetTimerType(Qt::TimerType type) { m_timer.setTimerType(type); }

private:
    QTimer m_timer;
    std::function<void()> m_onTimeout;
};

} // namespace m845

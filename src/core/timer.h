#pragma once

// A window-thread timer as the protocol code sees it, so tests advance time instead of sleeping.

#include <functional>

namespace m845 {

class ITimer
{
public:
    virtual ~ITimer() = default;
    virtual void SetInterval(int ms) = 0;
    [[nodiscard]] virtual int Interval() const = 0;
    // Enabling a running timer does not restart its count.
    virtual void Start() = 0;
    virtual void Stop() = 0;
    [[nodiscard]] virtual bool IsActive() const = 0;
    // Run on every tick while enabled.
    virtual void SetOnTimeout(std::function<void()> handler) = 0;
};

} // namespace m845

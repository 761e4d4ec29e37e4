#pragma once

// Milliseconds from any fixed start: the steady clock unless a test sets its own.

#include <chrono>
#include <cstdint>
#include <functional>

namespace m845 {

using TMonotonicClock = std::function<std::int64_t()>;

[[nodiscard]] inline std::int64_t SteadyMilliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace m845

#pragma once

// When to open a lost port again: the decisions without a window, a port or a clock of their
// own. The port counts as back when its path leads to a device again, or, for a USB adapter
// with a stable name, when that name leads to a device (on whichever ttyUSB number); then one
// attempt, and never more than one a second, however often a loose cable comes and goes.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace m845 {

inline constexpr std::int64_t kReopenSpacingMs = 1000;

struct TLostPort
{
    std::string portText;                 // as the port box held it
    std::string devicePath;               // where it was opened
    std::vector<std::string> stableLinks; // /dev/serial/by-id names that led to it
};

// An open that failed because the device is not there (again): the watch goes on.
[[nodiscard]] bool IsGoneError(int error);

class TReopenWatch final
{
public:
    // targetOf: where a path leads now, empty when nowhere (PortTarget; tests give a map).
    using TTargetOf = std::function<std::string(const std::string &path)>;
    explicit TReopenWatch(TTargetOf targetOf, std::int64_t spacingMs = kReopenSpacingMs);

    void Lost(TLostPort port);
    void Stop() { m_watching = false; }
    [[nodiscard]] bool Watching() const { return m_watching; }
    [[nodiscard]] const TLostPort &Port() const { return m_port; }

    // The port text to open now (as the port box is to show it), if the port is back and no
    // attempt was made in the last spacing.
    [[nodiscard]] std::optional<std::string> Due(std::int64_t nowMs);
    // The attempt Due asked for: opened, or failed with errno error. Only a port that is gone
    // again is watched further; any other failure is the technician's to look at.
    void Attempted(bool opened, int error);

private:
    [[nodiscard]] std::optional<std::string> Back() const;

    TTargetOf m_targetOf;
    std::int64_t m_spacingMs = kReopenSpacingMs;
    TLostPort m_port;
    bool m_watching = false;
    std::optional<std::int64_t> m_lastAttempt;
};

} // namespace m845

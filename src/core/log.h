#pragma once

// The communication log as the non-window code sees it: it says what kind of entry,
// the window decides how it looks.

#include <string_view>

namespace m845 {

class ILog
{
public:
    virtual ~ILog() = default;
    // Wire bytes (any bytes, NUL included). Rx and RxOther count as received bytes.
    virtual void LogRx(std::string_view data) = 0;
    virtual void LogRxOther(std::string_view data) = 0;
    virtual void LogTx(std::string_view data) = 0;
    // UTF-8 text of the program's own.
    virtual void LogInfo(std::string_view text) = 0;
    // UTF-8 text: the program's warnings, and the device's error replies once converted from
    // GBK. Counted as received, in the device's encoding, as the device would have sent it.
    virtual void LogWarn(std::string_view text) = 0;
};

// A log that keeps nothing, for code that must be given one (a panel that is never shown).
class TNullLog final : public ILog
{
public:
    void LogRx(std::string_view) override {}
    void LogRxOther(std::string_view) override {}
    void LogTx(std::string_view) override {}
    void LogInfo(std::string_view) override {}
    void LogWarn(std::string_view) override {}
};

} // namespace m845

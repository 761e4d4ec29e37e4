#pragma once

// Reading device replies and showing their values in the parameter panel. The same apply
// routines serve the configuration file, which loads saved values through them.

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/panel.h"
#include "protocol/commands.h"
#include "support/conversions.h"

namespace m845 {

class ILog;

// Positions count from 1 and a missing marker sits at 0: the text from just after the first
// a up to just before the first b, or "" when that range is empty.
[[nodiscard]] std::string TextBetween(std::string_view s, std::string_view a, std::string_view b);

// 10000..19999 Alder, 20000..29999 Birch, anything else (no version at all included) Unknown.
[[nodiscard]] THdVerSign VersionClass(std::string_view text);

// The device's hardware variant and the identity command that follows from it, with the
// routine that applies one value by command name. Values handed in are UTF-8.
class TReplyApplier final
{
public:
    TReplyApplier(IPanel &panel, ILog &log);

    // A recognised block as raw device bytes (GBK): logs it, and applies the value it carries
    // unless it is an echo of the text last sent or holds more than five "+".
    void ParseReply(std::string_view rx, std::string_view lastSentText);
    // A name that is no command is ignored.
    void ApplyValue(std::string_view name, std::string_view value);
    void SetHardwareSign(THdVerSign sign);

    [[nodiscard]] THdVerSign HardwareSign() const { return m_hardwareSign; }
    [[nodiscard]] TCmd IdentityCmd() const { return m_identityCmd; }
    // The configuration file's stored variant, taken as it is (even a value that names no
    // member); the texts step then runs SetHardwareSign with it.
    void LoadHardwareSign(THdVerSign sign) { m_hardwareSign = sign; }

    // Run after a VER or HDVER value has been applied: the sequencer continues its run there.
    void SetContinueOperation(std::function<void()> hook) { m_continueOperation = std::move(hook); }
    // Sees every value ApplyValue is given, before it is shown (a read-back check keeps them).
    void SetValueObserver(std::function<void(std::string_view name, std::string_view value)> hook)
    {
        m_valueObserver = std::move(hook);
    }

    // Sees every value after the observer; a value it answers false for stays out of the
    // panel (a check of the device against the panel leaves the panel as it is).
    void SetValueFilter(std::function<bool(std::string_view name, std::string_view value)> hook)
    {
        m_valueFilter = std::move(hook);
    }
    // Further observers for parts that come and go beside the one above; each sees every value
    // as well. The id removes it again.
    int AddValueObserver(std::function<void(std::string_view name, std::string_view value)> hook);
    void RemoveValueObserver(int id);

    [[nodiscard]] IPanel &Panel() { return m_panel; }

private:
    void ContinueOperation();

    IPanel &m_panel;
    ILog &m_log;
    THdVerSign m_hardwareSign = THdVerSign::HdCedar;
    TCmd m_identityCmd = TCmd::MEID;
    std::function<void()> m_continueOperation;
    std::function<void(std::string_view name, std::string_view value)> m_valueObserver;
    std::function<bool(std::string_view name, std::string_view value)> m_valueFilter;
    std::vector<std::pair<int, std::function<void(std::string_view, std::string_view)>>>
        m_observers;
    int m_lastObserverId = 0;
};

} // namespace m845

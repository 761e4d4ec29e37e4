#include "provision/station.h"

#include <array>
#include <cstdio>
#include <string_view>

namespace m845 {

TStationMove TStationMachine::Start()
{
    return Wait(TStationNotice::None);
}

TStationMove TStationMachine::Wait(TStationNotice notice)
{
    m_state = TState::Waiting;
    m_identity.clear();
    return {m_byBootMenu ? TStationStep::AwaitBootMenu : TStationStep::Probe, notice};
}

TStationMove TStationMachine::Run(const std::string &identity, TStationNotice notice)
{
    m_state = TState::Running;
    m_identity = identity;
    return {TStationStep::RunJob, notice};
}

TStationMove TStationMachine::ProbeAnswered(const std::string &identity)
{
    switch (m_state) {
    case TState::Waiting:
        if (m_byBootMenu)
            return {TStationStep::AwaitBootMenu, TStationNotice::None};
        // A device that passed and comes straight back was plugged in again by mistake.
        if (!identity.empty() && m_lastRun && m_lastPassed && identity == m_lastIdentity) {
            m_state = TState::Leaving;
            m_identity = identity;
            return {TStationStep::Pause, TStationNotice::AlreadyDone};
        }
        return Run(identity, TStationNotice::Arrived);
    case TState::Leaving:
        // Only two known identities that differ tell one device from another; a device that
        // answers part of the questions may well be the one just run.
        if (identity.empty() || m_identity.empty() || identity == m_identity)
            return {TStationStep::Pause, TStationNotice::None};
        if (m_byBootMenu)
            return Wait(TStationNotice::Gone);
        return Run(identity, TStationNotice::Replaced);
    case TState::Running:
    case TState::Stopped:
        break;
    }
    return {TStationStep::Stop, TStationNotice::None};
}

TStationMove TStationMachine::ProbeSilent()
{
    switch (m_state) {
    case TState::Waiting:
        return {TStationStep::Pause, TStationNotice::None};
    case TState::Leaving:
        return Wait(TStationNotice::Gone);
    case TState::Running:
    case TState::Stopped:
        break;
    }
    return {TStationStep::Stop, TStationNotice::None};
}

TStationMove TStationMachine::PauseOver()
{
    if (m_state == TState::Waiting || m_state == TState::Leaving)
        return {m_state == TState::Waiting && m_byBootMenu ? TStationStep::AwaitBootMenu
                                                           : TStationStep::Probe,
                TStationNotice::None};
    return {TStationStep::Stop, TStationNotice::None};
}

TStationMove TStationMachine::BootMenuShown()
{
    // A boot menu is a device that has just been powered: whatever was left has gone.
    if (m_state == TState::Waiting || m_state == TState::Leaving)
        return Run({},
                   m_state == TState::Leaving ? TStationNotice::Replaced : TStationNotice::Arrived);
    return {TStationStep::Stop, TStationNotice::None};
}

TStationMove TStationMachine::JobEnded(bool passed, const std::string &identity,
                                       bool inBootLoader)
{
    if (m_state != TState::Running)
        return {TStationStep::Stop, TStationNotice::None};
    (passed ? m_passed : m_failed) += 1;
    if (!identity.empty())
        m_identity = identity;
    m_lastRun = true;
    m_lastPassed = passed;
    m_lastIdentity = m_identity;
    if (m_byBootMenu && inBootLoader)
        return Wait(TStationNotice::None);
    m_state = TState::Leaving;
    return {TStationStep::Pause, TStationNotice::None};
}

TStationMove TStationMachine::StopRequested()
{
    if (m_state == TState::Running)
        return {TStationStep::RunJob, TStationNotice::None};
    m_state = TState::Stopped;
    return {TStationStep::Stop, TStationNotice::None};
}

std::string StationBanner(bool pass, const std::string &identity, double seconds)
{
    // Five rows of each letter, seven columns wide.
    using TGlyph = std::array<std::string_view, 5>;
    constexpr TGlyph kP{"###### ", "#     #", "###### ", "#      ", "#      "};
    constexpr TGlyph kA{"  ###  ", " #   # ", "#######", "#     #", "#     #"};
    constexpr TGlyph kS{" ##### ", "#      ", " ##### ", "      #", " ##### "};
    constexpr TGlyph kF{"#######", "#      ", "#####  ", "#      ", "#      "};
    constexpr TGlyph kI{"  ###  ", "   #   ", "   #   ", "   #   ", "  ###  "};
    constexpr TGlyph kL{"#      ", "#      ", "#      ", "#      ", "#######"};
    const std::array<const TGlyph *, 4> word
        = pass ? std::array<const TGlyph *, 4>{&kP, &kA, &kS, &kS}
               : std::array<const TGlyph *, 4>{&kF, &kA, &kI, &kL};
    std::string out;
    for (std::size_t row = 0; row < 5; ++row) {
        out += "  ";
        for (const TGlyph *glyph : word) {
            out += (*glyph)[row];
            out += "  ";
        }
        while (!out.empty() && out.back() == ' ')
            out.pop_back();
        out += '\n';
    }
    char time[32];
    std::snprintf(time, sizeof time, "%d", static_cast<int>(seconds + 0.5));
    out += "  " + std::string(pass ? "PASS" : "FAIL") + "  " + identity + "  " + time + " s\n";
    return out;
}

} // namespace m845

#pragma once

// The monitor's host in the window and in the tests: the sequencer and the reply applier as the
// monitor needs them.

#include <functional>
#include <string>
#include <vector>

#include "monitor/signalmonitor.h"

namespace m845 {

class ITimer;
class TReplyApplier;
class TSequencer;

class TSequencerMonitorHost final : public IMonitorHost
{
public:
    // rcvTimer: the sequencer's reply timer, whose interval is the time-out.
    TSequencerMonitorHost(TSequencer &sequencer, TReplyApplier &applier, const ITimer &rcvTimer,
                          std::function<bool()> firmwareBusy = {});

    [[nodiscard]] bool RunActive() const override;
    [[nodiscard]] int CurrentRunId() const override;
    [[nodiscard]] bool FirmwareBusy() const override;
    [[nodiscard]] TCmd IdentityCmd() const override;
    int RunEntries(const std::vector<std::string> &entries) override;
    void Press(int tag) override;
    void AbandonRun() override;
    [[nodiscard]] int ReplyTimeoutMs() const override;
    [[nodiscard]] int CommandDelayMs() const override;

private:
    TSequencer &m_sequencer;
    TReplyApplier &m_applier;
    const ITimer &m_rcvTimer;
    std::function<bool()> m_firmwareBusy;
};

} // namespace m845

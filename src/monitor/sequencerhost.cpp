#include "monitor/sequencerhost.h"

#include "core/timer.h"
#include "protocol/commands.h"
#include "protocol/reply.h"
#include "protocol/sequencer.h"

namespace m845 {

TSequencerMonitorHost::TSequencerMonitorHost(TSequencer &sequencer, TReplyApplier &applier,
                                             const ITimer &rcvTimer,
                                             std::function<bool()> firmwareBusy)
    : m_sequencer(sequencer)
    , m_applier(applier)
    , m_rcvTimer(rcvTimer)
    , m_firmwareBusy(std::move(firmwareBusy))
{}

bool TSequencerMonitorHost::RunActive() const
{
    return m_sequencer.RunActive();
}

int TSequencerMonitorHost::CurrentRunId() const
{
    return m_sequencer.CurrentRunId();
}

bool TSequencerMonitorHost::FirmwareBusy() const
{
    return m_firmwareBusy && m_firmwareBusy();
}

TCmd TSequencerMonitorHost::IdentityCmd() const
{
    return m_applier.IdentityCmd();
}

int TSequencerMonitorHost::RunEntries(const std::vector<std::string> &entries)
{
    QueueClear();
    for (const std::string &entry : entries)
        QueueAdd(entry);
    return m_sequencer.RunQueue(TRunKind::Queries);
}

void TSequencerMonitorHost::Press(int tag)
{
    m_sequencer.btnDoClick(tag);
}

void TSequencerMonitorHost::AbandonRun()
{
    m_sequencer.AbandonRun();
}

int TSequencerMonitorHost::ReplyTimeoutMs() const
{
    return m_rcvTimer.Interval();
}

int TSequencerMonitorHost::CommandDelayMs() const
{
    return m_sequencer.CommandDelay();
}

} // namespace m845

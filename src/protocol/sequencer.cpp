#include "protocol/sequencer.h"

#include <chrono>

#include "core/link.h"
#include "core/log.h"
#include "core/timer.h"
#include "lang/langlist.h"
#include "protocol/parameters.h"
#include "protocol/readback.h"
#include "protocol/reply.h"
#include "protocol/setall.h"
#include "support/conversions.h"
#include "support/encoding.h"

namespace m845 {

namespace {

constexpr std::string_view kEntryFirst = "+++";
constexpr std::string_view kEntrySecond = "a";

bool Contains(std::string_view s, std::string_view what)
{
    return s.find(what) != std::string_view::npos;
}

// A query answer: CR LF "+", the name's ":" and the blank line after the value. Taken in that
// order, since the echo of the query puts a blank line before the "+": the first part of an
// answer cut in two must not pass for a whole one and apply a cut value.
bool IsQueryAnswer(std::string_view rx)
{
    const auto start = rx.find("\r\n+");
    const auto colon = rx.find(':', start == std::string_view::npos ? rx.size() : start);
    return colon != std::string_view::npos && rx.find("\r\n\r\n", colon) != std::string_view::npos;
}

// The forms of a device answer that move a run on, tested in this order.
bool IsRecognisedReply(std::string_view rx)
{
    return IsQueryAnswer(rx) || Contains(rx, "\r\nOK\r\n\r\n") || Contains(rx, "a+ok\r\n")
           || rx == "a" || rx == "+ok\r\n";
}

// A queued entry as its command: "HTPURL" for "AT+HTPURL?", the entry itself for "+++" and "a".
std::string EntryCommand(const std::string &entry)
{
    std::string name = CommandOfLine(entry);
    return name.empty() ? entry : name;
}

} // namespace

TSequencer::TSequencer(ILink &link, ILog &log, ITimer &rcvTimer, ITimer &pauseTimer,
                       TReplyApplier &applier, IProgress &progress)
    : m_link(link)
    , m_log(log)
    , m_rcvTimer(rcvTimer)
    , m_pauseTimer(pauseTimer)
    , m_applier(applier)
    , m_progress(progress)
{
    m_rcvTimer.SetOnTimeout([this] {
        // Like a window timer message, a tick waits behind the pause and counts only while
        // the timer is still enabled when its turn comes.
        if (m_pausing) {
            if (m_held.empty() || m_held.back().kind != THeld::Tick)
                m_held.push_back({THeld::Tick, {}, 0, {}});
            return;
        }
        tmrRcvTimer();
    });
    m_pauseTimer.SetOnTimeout([this] { PauseOver(); });
    m_clock = &SteadyMilliseconds;
    m_applier.SetContinueOperation([this] { ContinueOperation(); });
}

TSequencer::~TSequencer()
{
    m_rcvTimer.SetOnTimeout({});
    m_pauseTimer.SetOnTimeout({});
    m_applier.SetContinueOperation({});
}

void TSequencer::DispatchReceived(std::string_view rx)
{
    if (m_pausing) {
        m_held.push_back({THeld::Block, std::string(rx), 0, {}});
        return;
    }
    HandleBlock(rx);
}

void TSequencer::DispatchReceived(const std::uint8_t *buffer, std::uint16_t length)
{
    DispatchReceived(std::string_view(reinterpret_cast<const char *>(buffer), length));
}

void TSequencer::HandleBlock(std::string_view rx)
{
    if (m_receiveHook != nullptr) {
        if (m_receiveHook->TakeBlock(rx))
            return;
        rx = m_receiveHook->Untaken(rx);
    }

    const std::string &lastSent = m_link.LastSentText();
    // An echo of the line just sent is no answer: the reply timer keeps counting.
    const bool endsWait = rx != lastSent && m_rcvTimer.IsActive();
    if (rx != lastSent) {
        m_rcvTimer.Stop();
        m_reentrySent = false;
    }

    if (Contains(rx, "+ERR:")) {
        const std::string utf8 = GbkToUtf8(rx);
        m_log.LogWarn(utf8);
        ResumeRun();
        const std::string refused = EntryCommand(QueueEntry(QueueCursor));
        if (m_run.active && m_events != nullptr)
            m_events->OnCommandRefused(m_run.id, refused, RefusalText(utf8));
        QueueCursor += 1;
        // A refused "+++" takes its "a" with it.
        if (QueueEntry(QueueCursor) == kEntrySecond)
            QueueCursor += 1;
        const bool last = QueueCursor >= QueueCount();
        SendNext();
        // Nothing is left to send: the run ends on the refusal, without a word in the log.
        if (last && m_run.active)
            EndRun(TRunEnd::Refused, refused, RefusalText(utf8));
        return;
    }

    if (IsRecognisedReply(rx)) {
        ResumeRun();
        // Parsing may append the rest of the run, so the count is taken afterwards.
        m_applier.ParseReply(rx, lastSent);
        if (QueueCursor < QueueCount() - 1) {
            m_progress.ShowProgress(QueueCount() - 1, QueueCursor);
            QueueCursor += 1;
            SendNext();
        } else {
            m_progress.HideProgress();
            m_log.LogInfo(LangText("info_DoOver"));
            if (m_run.active)
                EndRun(TRunEnd::Completed);
        }
        return;
    }

    m_log.LogRxOther(rx);
    // The block ended the wait for an answer without being one: unless a proper answer follows,
    // the run stops here, so say why.
    if (endsWait) {
        m_log.LogWarn(LangText("info_NotUnderstood"));
        if (m_run.active) {
            EndRun(TRunEnd::NotUnderstood, EntryCommand(QueueEntry(QueueCursor)), GbkToUtf8(rx));
            m_run.resting = true;
        }
    }
}

void TSequencer::StartRun(TRunKind kind)
{
    if (m_run.active)
        EndRun(TRunEnd::Abandoned, EntryCommand(QueueEntry(QueueCursor)));
    m_run = TRun{};
    m_run.id = ++m_lastRunId;
    m_run.kind = kind;
    m_run.active = true;
    if (m_events != nullptr)
        m_events->OnRunStarted(m_run.id, kind);
}

void TSequencer::EndRun(TRunEnd end, std::string command, std::string detail)
{
    m_run.active = false;
    m_run.resting = false;
    if (m_events != nullptr)
        m_events->OnRunEnded({m_run.id, m_run.kind, end, std::move(command), std::move(detail)});
}

void TSequencer::ResumeRun()
{
    if (m_run.resting) {
        m_run.resting = false;
        m_run.active = true;
    }
}

int TSequencer::RunQueue(TRunKind kind)
{
    m_operationMode = TOperationMode::None;
    StartRun(kind);
    const int id = m_run.id;
    SendNext();
    return id;
}

void TSequencer::LinkLost()
{
    ResumeRun();
    if (m_run.active)
        EndRun(TRunEnd::LineLost, EntryCommand(QueueEntry(QueueCursor)));
}

void TSequencer::AbandonRun()
{
    ResumeRun();
    const std::string command = EntryCommand(QueueEntry(QueueCursor));
    m_rcvTimer.Stop();
    m_reentrySent = false;
    m_pauseTimer.Stop();
    m_pausing = false;
    QueueClear();
    if (m_run.active)
        EndRun(TRunEnd::Abandoned, command);
    // Whatever waited behind the pause is handled now, in order.
    ReleaseHeld();
}

void TSequencer::SendQueued(int index)
{
    const std::string entry = QueueEntry(index);
    if (entry.empty())
        return;
    m_link.SendText(entry);
    m_reentrySent = false;
    m_rcvTimer.Start();
}

void TSequencer::SendNext()
{
    const std::string entry = QueueEntry(QueueCursor);
    if (entry == kEntryFirst || entry == kEntrySecond || m_commandDelay == 0) {
        SendQueued(QueueCursor);
        return;
    }
    // The device needs a gap before each command line; the window keeps running meanwhile
    // and whatever arrives is held until the line has gone out.
    m_pausing = true;
    m_pauseDeadline = m_clock() + m_commandDelay;
    m_pauseTimer.Stop();
    m_pauseTimer.SetInterval(m_commandDelay);
    m_pauseTimer.Start();
}

void TSequencer::PauseOver()
{
    m_pauseTimer.Stop();
    if (!m_pausing)
        return;
    const std::int64_t left = m_pauseDeadline - m_clock();
    if (left > 0) {
        m_pauseTimer.SetInterval(static_cast<int>(left));
        m_pauseTimer.Start();
        return;
    }
    m_pausing = false;
    SendQueued(QueueCursor);
    ReleaseHeld();
}

void TSequencer::ReleaseHeld()
{
    if (m_releasing)
        return;
    m_releasing = true;
    // Handling a held block may start the next pause: the rest then waits for that one.
    while (!m_pausing && !m_held.empty()) {
        THeld held = std::move(m_held.front());
        m_held.pop_front();
        switch (held.kind) {
        case THeld::Block:
            HandleBlock(held.block);
            break;
        case THeld::Tick:
            if (m_rcvTimer.IsActive())
                tmrRcvTimer();
            break;
        case THeld::Click:
            btnDoClick(held.tag);
            break;
        case THeld::Action:
            held.action();
            break;
        }
    }
    m_releasing = false;
}

void TSequencer::SendCommand(std::string_view text)
{
    std::string line = "AT+";
    line += text;
    line += LineEnd;
    m_link.SendText(line);
}

void TSequencer::SendSetCommand(std::string_view name, std::string_view value)
{
    std::string text(name);
    text += '=';
    text += value;
    SendCommand(text);
}

void TSequencer::StartReadAll()
{
    QueueClear();
    QueueAddQuery(TCmd::VER);
    SendNext();
}

void TSequencer::QueueReadRest()
{
    for (TCmd cmd : ReadAllRest(m_applier.IdentityCmd()))
        QueueAddQuery(cmd);
}

void TSequencer::ContinueOperation()
{
    switch (m_operationMode) {
    case TOperationMode::ReadAll:
        QueueReadRest();
        break;
    case TOperationMode::WriteAll:
        BuildSetAll(m_applier.Panel(), m_applier.IdentityCmd());
        break;
    case TOperationMode::None:
        break;
    }
}

void TSequencer::EnterCommandMode()
{
    QueueClear();
    QueueAdd(kEntryFirst);
    QueueAdd(kEntrySecond);
    SendNext();
}

void TSequencer::LeaveCommandMode()
{
    QueueClear();
    SendCommand("ENTM");
}

void TSequencer::SendSms(std::string_view number, std::string_view text)
{
    const std::string to = RemoveSpaces(number);
    const std::string message = RemoveLineBreaks(text);
    if (to.empty() || message.empty())
        return;
    SendSetCommand("SMSEND", Utf8ToGbk(to + "," + message));
}

void TSequencer::tmrRcvTimer()
{
    if (m_reentrySent) {
        // The attempt's "+++" went unanswered as well: the run rests, with a word why.
        m_reentrySent = false;
        m_rcvTimer.Stop();
        m_log.LogWarn(LangText("info_NoAnswer"));
        if (m_run.active)
            EndRun(TRunEnd::DeviceSilent, m_run.unanswered);
        return;
    }
    ResumeRun();
    // The entry the device left unanswered, past an entry pair already in place.
    int unanswered = QueueCursor;
    while (QueueEntry(unanswered) == kEntryFirst || QueueEntry(unanswered) == kEntrySecond)
        ++unanswered;
    m_run.unanswered = EntryCommand(QueueEntry(unanswered));
    QueueInsertEntryPair();
    SendNext();
    // One attempt only. Its "+++" is timed once, so that a silent device is reported instead of
    // leaving the run resting without a word; with the port closed the send has said enough.
    if (m_link.IsPortOpen()) {
        m_reentrySent = true;
    } else {
        m_rcvTimer.Stop();
        if (m_run.active)
            EndRun(TRunEnd::LineLost, m_run.unanswered);
    }
}

void TSequencer::RunAfterPause(std::function<void()> action)
{
    if (m_pausing) {
        m_held.push_back({THeld::Action, {}, 0, std::move(action)});
        return;
    }
    action();
}

void TSequencer::btnDoClick(int tag)
{
    // A press waits behind the pause like any other event: the line due goes out first,
    // so nothing is sent early and nothing queued is lost.
    if (m_pausing) {
        m_held.push_back({THeld::Click, {}, tag, {}});
        return;
    }
    m_operationMode = TOperationMode::None;
    switch (tag) {
    case TagAskAll:
        m_operationMode = TOperationMode::ReadAll;
        StartRun(TRunKind::ReadAll);
        StartReadAll();
        break;
    case TagSetAll:
        m_operationMode = TOperationMode::WriteAll;
        StartRun(TRunKind::WriteAll);
        m_applier.SetHardwareSign(THdVerSign::HdCedar);
        ContinueOperation();
        SendNext();
        break;
    case TagPPPA:
        StartRun(TRunKind::CommandMode);
        EnterCommandMode();
        break;
    case TagENTM:
        // Leaving command mode clears the queue: whatever ran is over.
        ResumeRun();
        if (m_run.active)
            EndRun(TRunEnd::Abandoned, EntryCommand(QueueEntry(QueueCursor)));
        LeaveCommandMode();
        break;
    case TagH:
        SendCommand("H");
        break;
    case TagZ:
        SendCommand("Z");
        break;
    case TagVER:
        StartRun(TRunKind::ReadVersion);
        StartReadAll();
        break;
    case TagCFGTF:
        SendCommand("CFGTF");
        break;
    case TagRELD:
        SendCommand("RELD");
        break;
    case TagCLEAR:
        SendCommand("CLEAR");
        break;
    case TagCSQ:
        SendCommand("CSQ");
        break;
    case TagSysRestart:
        SendCommand("REBOOT");
        break;
    default:
        // btnCNUM and unknown tags only reset the operation.
        break;
    }
}

} // namespace m845

#pragma once

// Turns the command queue into traffic: one line at a time, every received block classified,
// refused commands skipped, one re-entry into command mode after silence, the end reported.
// Also the actions of the command-area buttons and the single commands sent outside the queue.

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "core/clock.h"
#include "core/progress.h"
#include "core/receivehook.h"
#include "protocol/commands.h"

namespace m845 {

class ILink;
class ILog;
class ITimer;
class TReplyApplier;

enum class TOperationMode : std::uint8_t { None = 0, ReadAll = 1, WriteAll = 2 };

// Tags of the command-area buttons.
enum TButtonTag : int {
    TagAskAll = 10,
    TagSetAll = 11,
    TagPPPA = 12,
    TagENTM = 13,
    TagH = 16,
    TagZ = 17,
    TagVER = 18,
    TagCFGTF = 19,
    TagRELD = 20,
    TagCLEAR = 21,
    TagCNUM = 22,
    TagCSQ = 23,
    TagSysRestart = 24,
};

inline constexpr int kDefaultCommandDelay = 150;

// What a queued run is for.
enum class TRunKind : std::uint8_t {
    ReadAll,     // btnAskAll
    ReadVersion, // btnVER
    WriteAll,    // btnSetAll
    CommandMode, // btnPPPA
    Queries,     // a queue filled by its caller (a read-back, a verification, a monitor)
};

// How a run ended. A run that rests on an answer it did not understand can still go on (a
// late answer, another re-entry attempt) and then ends once more.
enum class TRunEnd : std::uint8_t {
    Completed,     // the last entry was answered ("Operation complete")
    Refused,       // the last entry was refused: command names it, detail holds the refusal
    LineLost,      // the port closed or went away, or was never open
    DeviceSilent,  // no answer, also not after the re-entry attempt
    NotUnderstood, // a block that answers nothing ended the wait: detail holds it
    Abandoned,     // another operation cleared the queue before this run ended
};

struct TRunOutcome
{
    int runId = 0;
    TRunKind kind = TRunKind::Queries;
    TRunEnd end = TRunEnd::Completed;
    // The command the run stopped at, as queued ("HTPURL", "+++"); empty when it completed.
    std::string command;
    std::string detail;
};

// Told of every run as it starts and ends, and of each refusal on the way.
class IRunEvents
{
public:
    virtual ~IRunEvents() = default;
    virtual void OnRunStarted(int runId, TRunKind kind) = 0;
    // command: the entry the refusal answered, as queued; refusal: the device's line (UTF-8).
    virtual void OnCommandRefused(int runId, std::string_view command, std::string_view refusal) = 0;
    virtual void OnRunEnded(const TRunOutcome &outcome) = 0;
};

class TSequencer final
{
public:
    // rcvTimer is the reply timer (its interval is the link's business); pauseTimer realises
    // the pause before each queued line without blocking the window. Both get their handlers
    // here. All references must outlive the sequencer.
    TSequencer(ILink &link, ILog &log, ITimer &rcvTimer, ITimer &pauseTimer, TReplyApplier &applier,
               IProgress &progress);
    ~TSequencer();
    TSequencer(const TSequencer &) = delete;
    TSequencer &operator=(const TSequencer &) = delete;

    // Every block the serial component delivers (1..4096 bytes), on the window thread.
    void DispatchReceived(std::string_view rx);
    void DispatchReceived(const std::uint8_t *buffer, std::uint16_t length);
    void btnDoClick(int tag);

    void SendQueued(int index);
    void SendNext();
    void SendCommand(std::string_view text);
    void SendSetCommand(std::string_view name, std::string_view value);
    void StartReadAll();
    void QueueReadRest();
    void ContinueOperation();
    void EnterCommandMode();
    void LeaveCommandMode();
    // number and text as the operator typed them (UTF-8).
    void SendSms(std::string_view number, std::string_view text);
    void tmrRcvTimer();
    // Runs action now, or, during a command pause, after the queued line has gone out and
    // behind whatever arrived before it: the terminal's sends keep their place in line.
    void RunAfterPause(std::function<void()> action);
    // Sends the queue as it stands, from its cursor, as a run of its own; the id it reports by.
    int RunQueue(TRunKind kind = TRunKind::Queries);
    // The port closed (by the user or because it went away): a run in progress ends here.
    void LinkLost();
    // Ends a run in progress as abandoned without starting another: the queue is emptied and
    // the reply timer stopped, so nothing more of it goes out. A run that waits on and on (a
    // device that answers the entry pair but never the query) has no other end.
    void AbandonRun();

    [[nodiscard]] TOperationMode OperationMode() const { return m_operationMode; }
    // The terminal's send action resets it.
    void SetOperationMode(TOperationMode mode) { m_operationMode = mode; }
    [[nodiscard]] int CommandDelay() const { return m_commandDelay; }
    // Negative delays count as none.
    void SetCommandDelay(int ms) { m_commandDelay = ms < 0 ? 0 : ms; }
    void SetReceiveHook(IReceiveHook *hook) { m_receiveHook = hook; }
    void SetRunEvents(IRunEvents *events) { m_events = events; }
    // A run has started and not yet ended (or rests on a block it did not understand: no).
    [[nodiscard]] bool RunActive() const { return m_run.active; }
    [[nodiscard]] int CurrentRunId() const { return m_run.id; }
    // A timer may tick a little early (coarse timers do): the clock keeps the pause whole.
    void SetClock(TMonotonicClock clock) { m_clock = std::move(clock); }

    // True while a queued line waits for its pause to end; received blocks are held meanwhile.
    [[nodiscard]] bool Pausing() const { return m_pausing; }

private:
    // What arrived while a line waited for its pause, handled in arrival order afterwards.
    struct THeld
    {
        enum Kind : std::uint8_t { Block, Tick, Click, Action };
        Kind kind = Block;
        std::string block;
        int tag = 0;
        std::function<void()> action;
    };

    struct TRun
    {
        int id = 0;
        TRunKind kind = TRunKind::Queries;
        bool active = false;
        // Ended on a block it did not understand; an answer or a re-entry attempt goes on.
        bool resting = false;
        // The entry a time-out found unanswered: a silent device is reported by it.
        std::string unanswered;
    };

    void HandleBlock(std::string_view rx);
    void StartRun(TRunKind kind);
    void EndRun(TRunEnd end, std::string command = {}, std::string detail = {});
    // A resting run that moves on again.
    void ResumeRun();
    void PauseOver();
    void ReleaseHeld();

    ILink &m_link;
    ILog &m_log;
    ITimer &m_rcvTimer;
    ITimer &m_pauseTimer;
    TReplyApplier &m_applier;
    IProgress &m_progress;
    IReceiveHook *m_receiveHook = nullptr;
    IRunEvents *m_events = nullptr;
    TRun m_run;
    int m_lastRunId = 0;

    TOperationMode m_operationMode = TOperationMode::None;
    int m_commandDelay = kDefaultCommandDelay;
    TMonotonicClock m_clock;
    std::int64_t m_pauseDeadline = 0;
    bool m_pausing = false;
    bool m_releasing = false;
    // The reply timer runs for the "+++" of a time-out's re-entry attempt.
    bool m_reentrySent = false;
    std::deque<THeld> m_held;
};

} // namespace m845

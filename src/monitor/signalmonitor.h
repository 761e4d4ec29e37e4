#pragma once

// The signal and link monitor. While it is on and the port is open it asks the device for its
// signal strength every couple of seconds and for its sockets' links every ten, each poll a
// queued run of the sequencer of its own, entering command mode the way every queued run does.
// It never runs beside another operation: it waits while a run, a single command, a terminal
// line or a firmware upgrade has the line, and it holds a command-area press while its own
// query is out, so that the answer to its query is never taken for the press's. Its readings
// go into a trend, the links into two states with the time of their last change, and the
// identity answers of every run onto a device card.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/clock.h"
#include "monitor/signalreading.h"
#include "monitor/signaltrend.h"
#include "protocol/commands.h"
#include "protocol/sequencer.h"

namespace m845 {

class ILog;
class ITimer;

// What the monitor needs of the command side.
class IMonitorHost
{
public:
    virtual ~IMonitorHost() = default;
    // A run has started and not ended (its command pauses included).
    [[nodiscard]] virtual bool RunActive() const = 0;
    [[nodiscard]] virtual int CurrentRunId() const = 0;
    // A firmware upgrade waits for the boot loader or sends its file: no AT line may go out.
    [[nodiscard]] virtual bool FirmwareBusy() const = 0;
    // MEID or IMEI, as the device's variant has it.
    [[nodiscard]] virtual TCmd IdentityCmd() const = 0;
    // Sends the entries ("+++", "a" or whole command lines) as a queued run of their own.
    virtual int RunEntries(const std::vector<std::string> &entries) = 0;
    // Carries out a press of a command-area button.
    virtual void Press(int tag) = 0;
    // Ends the run in progress: the monitor's own, when it waits past all reason.
    virtual void AbandonRun() = 0;
    // How long the sequencer waits for an answer, and pauses before each command line.
    [[nodiscard]] virtual int ReplyTimeoutMs() const = 0;
    [[nodiscard]] virtual int CommandDelayMs() const = 0;
};

enum class TMonitorState : std::uint8_t {
    Off,          // the switch is off
    NoPort,       // on, but the port is closed
    Polling,      // queries go out
    Busy,         // another operation has the line
    Firmware,     // a firmware upgrade is prepared or runs
    DataTransfer, // the technician left command mode: nothing goes out until it is entered again
    NoAnswer,     // the device did not answer: tried again later, entering command mode first
};

enum class TMonitorLogLines : std::uint8_t { None, Compact };

struct TLinkInfo
{
    TLinkReading reading;
    // When the state was first seen as it is; changed: a change was seen, so that is its time.
    std::int64_t sinceMs = 0;
    bool seen = false;
    bool changed = false;
};

struct TDeviceCard
{
    std::string firmware; // VER
    std::string hardware; // HDVER, when a reply carried it
    std::string serial;   // SN
    std::string iccid;
    std::string identity;     // the MEID or IMEI
    std::string identityName; // "MEID" or "IMEI", as the device answered
};

inline constexpr int kDefaultCsqPeriodMs = 2000;
inline constexpr int kDefaultLinkPeriodMs = 10000;
inline constexpr int kMinPollPeriodMs = 100;
inline constexpr int kMaxPollPeriodMs = 3600000;

class TSignalMonitor final
{
public:
    // timer gets its handler here; every reference must outlive the monitor.
    TSignalMonitor(IMonitorHost &host, ILog &log, ITimer &timer);
    ~TSignalMonitor();
    TSignalMonitor(const TSignalMonitor &) = delete;
    TSignalMonitor &operator=(const TSignalMonitor &) = delete;

    void SetClock(TMonotonicClock clock) { m_clock = std::move(clock); }
    // Milliseconds since 1970, for the samples' time of day.
    void SetWallClock(TMonotonicClock clock) { m_wallClock = std::move(clock); }

    void SetOn(bool on);
    [[nodiscard]] bool On() const { return m_on; }
    // Clamped to kMinPollPeriodMs..kMaxPollPeriodMs; takes effect from the next poll.
    void SetCsqPeriod(int ms);
    [[nodiscard]] int CsqPeriod() const { return m_csqPeriod; }
    void SetLinkPeriod(int ms);
    [[nodiscard]] int LinkPeriod() const { return m_linkPeriod; }
    void SetLogLines(TMonitorLogLines lines) { m_logLines = lines; }
    [[nodiscard]] TMonitorLogLines LogLines() const { return m_logLines; }

    // What happens around it, as the window reports it.
    void PortOpenChanged(bool open);
    void OnRunStarted(int runId, TRunKind kind);
    void OnRunEnded(const TRunOutcome &outcome);
    void OnCommandRefused(int runId, std::string_view command, std::string_view refusal);
    // Every value a reply applies, of any run.
    void OnValue(std::string_view name, std::string_view value);
    // A block arrived from the device (an answer to a single command or a terminal line).
    void OnBlockReceived();
    void OnTerminalSent();
    // A press of a command-area button: carried out now, or once the monitor's query is
    // answered or has timed out.
    void SubmitPress(int tag);
    // Another part's operation that starts a run: held like a press.
    void SubmitAction(std::function<void()> action);

    // The monitor's own run has started and not ended.
    [[nodiscard]] bool OwnRunActive() const;
    // The line is the monitor's: its run is out, or a query it gave up may still be answered.
    [[nodiscard]] bool OwnsLine() const;
    // One of the lines its poll puts on the wire ("+++" and "a" included).
    [[nodiscard]] bool IsOwnLine(std::string_view line) const;
    [[nodiscard]] TMonitorState State() const { return m_state; }
    [[nodiscard]] const TSignalTrend &Trend() const { return m_trend; }
    // 0 socket A, 1 socket B.
    [[nodiscard]] const TLinkInfo &Link(int socket) const { return m_links.at(socket); }
    [[nodiscard]] const TDeviceCard &Card() const { return m_card; }
    [[nodiscard]] std::size_t HeldPresses() const { return m_held.size(); }
    [[nodiscard]] std::int64_t Now() const { return m_clock(); }

    // Run after every change the view shows (a sample, a link, the card, the state).
    std::function<void()> Changed;

private:
    void Step();
    void ArmIn(std::int64_t ms);
    void Start(std::int64_t delayMs);
    void ReleaseHeld();
    void PassPress(int tag);
    [[nodiscard]] TMonitorState WaitReason(std::int64_t now) const;
    void StartPoll(std::int64_t now, bool csqDue, bool linkDue);
    void FinishPoll(const TRunOutcome &outcome);
    void TakeSignal(const TRunOutcome &outcome, std::int64_t now, std::vector<std::string> &line);
    void TakeLinks(std::int64_t now, std::vector<std::string> &line);
    // The card's fields still empty and not yet asked since the monitor started; the identity
    // only once the firmware version has told which one the device has.
    [[nodiscard]] std::vector<TCmd> CardQueries() const;
    void SetState(TMonitorState state);
    void Notify();

    IMonitorHost &m_host;
    ILog &m_log;
    ITimer &m_timer;
    TMonotonicClock m_clock;
    TMonotonicClock m_wallClock;

    bool m_on = false;
    bool m_portOpen = false;
    int m_csqPeriod = kDefaultCsqPeriodMs;
    int m_linkPeriod = kDefaultLinkPeriodMs;
    TMonitorLogLines m_logLines = TMonitorLogLines::None;
    TMonitorState m_state = TMonitorState::Off;

    // The poll out now.
    bool m_inPoll = false;
    bool m_starting = false;
    bool m_abandoning = false;
    // A poll still out then is given up: the device answers its entry pair, never its query.
    std::int64_t m_pollDeadline = 0;
    // After a poll given up, its last line may still be answered until then.
    std::int64_t m_lineFreeAt = 0;
    int m_ownRunId = 0;
    std::vector<std::string> m_pollEntries;
    bool m_pollCsq = false;
    bool m_pollLinks = false;
    std::vector<TCmd> m_pollCard;
    std::map<std::string, std::string> m_pollValues;
    std::map<std::string, std::string> m_pollRefusals;

    std::int64_t m_nextCsqAt = 0;
    std::int64_t m_nextLinkAt = 0;
    // After a poll the device did not answer: the next one waits and enters command mode first.
    std::int64_t m_retryAt = 0;
    int m_failures = 0;
    bool m_entryPairFirst = false;
    // A single command, a terminal line or a restart has the line until then; an answer
    // shortens the wait, but not below the floor a restart needs.
    std::int64_t m_quietUntil = 0;
    std::int64_t m_quietFloor = 0;
    bool m_dataTransfer = false;
    std::vector<TCmd> m_cardAsked;
    // Held presses (tag) and operations (action), in the order they came.
    struct THeld
    {
        int tag = 0;
        std::function<void()> action;
    };
    std::deque<THeld> m_held;

    TSignalTrend m_trend;
    std::array<TLinkInfo, 2> m_links{};
    TDeviceCard m_card;
    bool m_unknownWarned = false;
};

} // namespace m845

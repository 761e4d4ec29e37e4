#include "monitor/signalmonitor.h"

#include <algorithm>
#include <cctype>
#include <chrono>

#include "core/log.h"
#include "core/timer.h"
#include "lang/langlist.h"
#include "support/encoding.h"

namespace m845 {

namespace {

// The device may still greet after the port opens; its greeting must not meet the first query.
constexpr std::int64_t kStartDelayMs = 1000;
// How often a waiting monitor looks whether the line is free again.
constexpr std::int64_t kRetryMs = 250;
// A single command or terminal line keeps the line this long, or until its answer has come.
constexpr std::int64_t kAnswerWaitMs = 5000;
// After an answer block: the rest of a long answer may follow.
constexpr std::int64_t kSettleMs = 300;
// A restarting device greets and is in data transfer again; nothing is asked meanwhile.
constexpr std::int64_t kRestartGraceMs = 5000;
constexpr std::int64_t kMaxBackoffMs = 60000;
// A not-understood answer shown in a warning is cut to this many characters.
constexpr std::size_t kShownAnswerMax = 60;

constexpr std::string_view kEntryFirst = "+++";
constexpr std::string_view kEntrySecond = "a";

std::string Upper(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// "CSQ" for "AT+CSQ\r\n", "SOCKALK" for "SOCKALK" or "AT+SOCKALK?".
std::string CommandNameOf(std::string_view entry)
{
    if (entry.starts_with("AT+"))
        entry.remove_prefix(3);
    entry = entry.substr(0, entry.find_first_of("?=\r\n"));
    return Upper(entry);
}

std::string QueryLine(TCmd cmd)
{
    std::string line = "AT+";
    line += CmdName(cmd);
    line += '?';
    line += LineEnd;
    return line;
}

// The signal query as the "Query RSSI" button sends it: the form every device answers.
std::string CsqLine()
{
    return "AT+CSQ" + std::string(LineEnd);
}

std::int64_t WallMilliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string Shown(std::string_view answer)
{
    std::string shown = EscapeControls(answer);
    if (shown.size() > kShownAnswerMax)
        shown = shown.substr(0, kShownAnswerMax) + "...";
    return shown;
}

bool IsSingleCommand(int tag)
{
    switch (tag) {
    case TagH:
    case TagCFGTF:
    case TagRELD:
    case TagCLEAR:
    case TagCSQ:
        return true;
    default:
        return false;
    }
}

} // namespace

TSignalMonitor::TSignalMonitor(IMonitorHost &host, ILog &log, ITimer &timer)
    : m_host(host)
    , m_log(log)
    , m_timer(timer)
    , m_clock(&SteadyMilliseconds)
    , m_wallClock(&WallMilliseconds)
{
    m_timer.SetOnTimeout([this] { Step(); });
}

TSignalMonitor::~TSignalMonitor()
{
    m_timer.Stop();
    m_timer.SetOnTimeout({});
}

void TSignalMonitor::SetOn(bool on)
{
    if (on == m_on)
        return;
    m_on = on;
    if (on && m_portOpen) {
        Start(0);
        return;
    }
    if (!OwnRunActive() && m_held.empty())
        m_timer.Stop();
    SetState(on ? TMonitorState::NoPort : TMonitorState::Off);
}

void TSignalMonitor::SetCsqPeriod(int ms)
{
    m_csqPeriod = std::clamp(ms, kMinPollPeriodMs, kMaxPollPeriodMs);
    // A shorter period counts from now; a longer one after the poll already due.
    if (m_on && m_portOpen) {
        m_nextCsqAt = std::min(m_nextCsqAt, m_clock() + m_csqPeriod);
        if (!OwnRunActive())
            ArmIn(0);
    }
}

void TSignalMonitor::SetLinkPeriod(int ms)
{
    m_linkPeriod = std::clamp(ms, kMinPollPeriodMs, kMaxPollPeriodMs);
}

void TSignalMonitor::PortOpenChanged(bool open)
{
    if (open == m_portOpen)
        return;
    m_portOpen = open;
    if (open) {
        if (m_on)
            Start(kStartDelayMs);
        return;
    }
    // Another device may be on the line next time: its card is not this one's.
    m_card = {};
    if (!OwnRunActive() && m_held.empty())
        m_timer.Stop();
    SetState(m_on ? TMonitorState::NoPort : TMonitorState::Off);
}

void TSignalMonitor::Start(std::int64_t delayMs)
{
    const std::int64_t now = m_clock();
    m_nextCsqAt = now + delayMs;
    m_nextLinkAt = now + delayMs;
    m_retryAt = 0;
    m_failures = 0;
    m_entryPairFirst = false;
    m_dataTransfer = false;
    m_unknownWarned = false;
    m_links = {};
    m_cardAsked.clear();
    SetState(TMonitorState::Polling);
    ArmIn(delayMs);
}

void TSignalMonitor::ArmIn(std::int64_t ms)
{
    m_timer.Stop();
    m_timer.SetInterval(static_cast<int>(std::clamp<std::int64_t>(ms, 0, kMaxPollPeriodMs)));
    m_timer.Start();
}

bool TSignalMonitor::OwnRunActive() const
{
    return m_inPoll && (m_starting || (m_host.RunActive() && m_host.CurrentRunId() == m_ownRunId));
}

bool TSignalMonitor::OwnsLine() const
{
    return OwnRunActive() || m_clock() < m_lineFreeAt;
}

bool TSignalMonitor::IsOwnLine(std::string_view line) const
{
    return line == kEntryFirst || line == kEntrySecond
           || std::find(m_pollEntries.begin(), m_pollEntries.end(), line) != m_pollEntries.end();
}

void TSignalMonitor::Step()
{
    m_timer.Stop();
    if (OwnRunActive()) {
        const std::int64_t left = m_pollDeadline - m_clock();
        if (left > 0) {
            ArmIn(left);
            return;
        }
        m_abandoning = true;
        m_host.AbandonRun();
        m_abandoning = false;
        return;
    }
    if (const std::int64_t left = m_lineFreeAt - m_clock(); left > 0) {
        ArmIn(left);
        return;
    }
    // Presses held behind the monitor's query go first, in the order they came.
    ReleaseHeld();
    if (!m_on || !m_portOpen) {
        SetState(m_on ? TMonitorState::NoPort : TMonitorState::Off);
        return;
    }
    const std::int64_t now = m_clock();
    const TMonitorState waiting = WaitReason(now);
    if (waiting != TMonitorState::Polling) {
        SetState(waiting);
        // Looked at again when the wait it knows of ends, and meanwhile now and then.
        std::int64_t wait = kRetryMs;
        if (waiting == TMonitorState::NoAnswer)
            wait = m_retryAt - now;
        else if (waiting == TMonitorState::Busy && !m_host.RunActive())
            wait = m_quietUntil - now;
        ArmIn(std::min(wait, kRetryMs));
        return;
    }
    const bool csqDue = now >= m_nextCsqAt;
    // The links ride with a signal poll when they would fall due before the next one: one
    // run, one line in the log.
    const bool linkDue = now >= m_nextLinkAt || (csqDue && m_nextLinkAt - now < m_csqPeriod);
    SetState(TMonitorState::Polling);
    if (!csqDue && !linkDue) {
        ArmIn(std::min(m_nextCsqAt, m_nextLinkAt) - now);
        return;
    }
    StartPoll(now, csqDue, linkDue);
}

TMonitorState TSignalMonitor::WaitReason(std::int64_t now) const
{
    if (m_host.FirmwareBusy())
        return TMonitorState::Firmware;
    if (m_host.RunActive() || now < m_quietUntil)
        return TMonitorState::Busy;
    if (m_dataTransfer)
        return TMonitorState::DataTransfer;
    if (now < m_retryAt)
        return TMonitorState::NoAnswer;
    return TMonitorState::Polling;
}

void TSignalMonitor::StartPoll(std::int64_t now, bool csqDue, bool linkDue)
{
    m_pollEntries.clear();
    m_pollValues.clear();
    m_pollRefusals.clear();
    // A device that did not answer may be in data transfer: no AT line goes out before the
    // entry pair has been answered.
    if (m_entryPairFirst) {
        m_pollEntries.emplace_back(kEntryFirst);
        m_pollEntries.emplace_back(kEntrySecond);
    }
    m_pollCsq = csqDue;
    m_pollLinks = linkDue;
    if (csqDue) {
        m_pollEntries.push_back(CsqLine());
        m_nextCsqAt = now + m_csqPeriod;
    }
    if (linkDue) {
        m_pollEntries.push_back(QueryLine(TCmd::SOCKALK));
        m_pollEntries.push_back(QueryLine(TCmd::SOCKBLK));
        m_nextLinkAt = now + m_linkPeriod;
    }
    m_pollCard = CardQueries();
    for (TCmd cmd : m_pollCard)
        m_pollEntries.push_back(QueryLine(cmd));
    // Every line answered after its pause, and one re-entry into command mode on the way.
    m_pollDeadline
        = now + 2LL * m_host.ReplyTimeoutMs() + 1000
          + static_cast<std::int64_t>(m_pollEntries.size()) * (m_host.CommandDelayMs() + 500);
    m_inPoll = true;
    m_starting = true;
    const int id = m_host.RunEntries(m_pollEntries);
    m_starting = false;
    m_ownRunId = id;
    if (OwnRunActive())
        ArmIn(m_pollDeadline - now);
}

void TSignalMonitor::OnRunStarted(int runId, TRunKind)
{
    if (m_starting) {
        m_ownRunId = runId;
        return;
    }
    if (m_on && m_portOpen)
        SetState(TMonitorState::Busy);
}

void TSignalMonitor::OnRunEnded(const TRunOutcome &outcome)
{
    if (m_inPoll && outcome.runId == m_ownRunId) {
        FinishPoll(outcome);
        return;
    }
    if (outcome.runId == m_ownRunId) {
        // A poll given up before that came back to life and ended once more: nothing new.
        ArmIn(0);
        return;
    }
    // An answered run of another operation: the device is in command mode and talks.
    if (outcome.end == TRunEnd::Completed || outcome.end == TRunEnd::Refused) {
        m_dataTransfer = false;
        m_failures = 0;
        m_retryAt = 0;
        m_entryPairFirst = false;
    }
    // A run that rests on a block it did not understand may still get its late answer, which
    // must not come to the monitor's first query.
    const std::int64_t settle
        = outcome.end == TRunEnd::NotUnderstood ? m_host.ReplyTimeoutMs() : kSettleMs;
    m_quietUntil = std::max(m_quietUntil, m_clock() + settle);
    if (m_on && m_portOpen)
        ArmIn(0);
}

void TSignalMonitor::OnCommandRefused(int runId, std::string_view command, std::string_view refusal)
{
    if (m_inPoll && runId == m_ownRunId)
        m_pollRefusals[CommandNameOf(command)] = std::string(refusal);
}

void TSignalMonitor::OnValue(std::string_view name, std::string_view value)
{
    const std::string upper = Upper(name);
    if (OwnRunActive())
        m_pollValues[upper] = std::string(value);
    std::string *field = nullptr;
    if (upper == "VER")
        field = &m_card.firmware;
    else if (upper == "HDVER")
        field = &m_card.hardware;
    else if (upper == "SN")
        field = &m_card.serial;
    else if (upper == "ICCID")
        field = &m_card.iccid;
    else if (upper == "IMEI" || upper == "MEID") {
        field = &m_card.identity;
        m_card.identityName = upper;
    }
    if (field != nullptr && *field != value) {
        *field = std::string(value);
        Notify();
    }
}

void TSignalMonitor::OnBlockReceived()
{
    const std::int64_t now = m_clock();
    if (!OwnRunActive() && now < m_quietUntil)
        m_quietUntil = std::max(m_quietFloor, now + kSettleMs);
}

void TSignalMonitor::OnTerminalSent()
{
    m_quietUntil = std::max(m_quietUntil, m_clock() + kAnswerWaitMs);
}

void TSignalMonitor::SubmitPress(int tag)
{
    if (OwnsLine() || !m_held.empty()) {
        m_held.push_back({tag, {}});
        if (!OwnRunActive())
            ArmIn(0);
        return;
    }
    PassPress(tag);
}

void TSignalMonitor::SubmitAction(std::function<void()> action)
{
    if (OwnsLine() || !m_held.empty()) {
        m_held.push_back({0, std::move(action)});
        if (!OwnRunActive())
            ArmIn(0);
        return;
    }
    action();
}

void TSignalMonitor::ReleaseHeld()
{
    while (!m_held.empty() && !OwnsLine()) {
        THeld held = std::move(m_held.front());
        m_held.pop_front();
        if (held.action)
            held.action();
        else
            PassPress(held.tag);
    }
}

void TSignalMonitor::PassPress(int tag)
{
    const std::int64_t now = m_clock();
    switch (tag) {
    case TagENTM:
        // The technician wants data transfer: the monitor sends nothing until command mode is
        // entered again.
        m_dataTransfer = true;
        break;
    case TagZ:
    case TagSysRestart:
        m_quietFloor = now + kRestartGraceMs;
        m_quietUntil = std::max(m_quietUntil, m_quietFloor);
        m_entryPairFirst = true;
        break;
    case TagAskAll:
    case TagSetAll:
    case TagPPPA:
    case TagVER:
        m_dataTransfer = false;
        break;
    default:
        if (IsSingleCommand(tag))
            m_quietUntil = std::max(m_quietUntil, now + kAnswerWaitMs);
        break;
    }
    m_host.Press(tag);
    if (m_on && m_portOpen && !OwnRunActive())
        ArmIn(0);
}

void TSignalMonitor::FinishPoll(const TRunOutcome &outcome)
{
    m_inPoll = false;
    const std::int64_t now = m_clock();
    // Given up by the monitor itself: the device did not answer in time.
    const TRunEnd end = m_abandoning ? TRunEnd::DeviceSilent : outcome.end;
    if (m_abandoning)
        m_lineFreeAt = now + m_host.ReplyTimeoutMs();
    switch (end) {
    case TRunEnd::Completed:
    case TRunEnd::Refused:
        m_failures = 0;
        m_retryAt = 0;
        m_entryPairFirst = false;
        break;
    case TRunEnd::DeviceSilent:
    case TRunEnd::NotUnderstood: {
        ++m_failures;
        m_entryPairFirst = true;
        const int doublings = std::min(m_failures - 1, 10);
        m_retryAt = now
                    + std::min<std::int64_t>(static_cast<std::int64_t>(m_csqPeriod) << doublings,
                                             kMaxBackoffMs);
        break;
    }
    case TRunEnd::LineLost:
    case TRunEnd::Abandoned:
        // Another operation took the line, or the port went: the poll says nothing about the
        // device; it is asked again once the line is free.
        if (m_pollCsq)
            m_nextCsqAt = now;
        if (m_pollLinks)
            m_nextLinkAt = now;
        ArmIn(0);
        Notify();
        return;
    }
    // Asked once: a field the device refuses stays empty.
    if (end == TRunEnd::Completed || end == TRunEnd::Refused)
        m_cardAsked.insert(m_cardAsked.end(), m_pollCard.begin(), m_pollCard.end());

    std::vector<std::string> line;
    if (m_pollLinks)
        TakeLinks(now, line);
    if (m_pollCsq)
        TakeSignal(outcome, now, line);
    if (m_logLines == TMonitorLogLines::Compact && !line.empty()) {
        std::string joined;
        const std::string separator = LangText("info_MonLineSeparator");
        for (const std::string &part : line)
            joined += (joined.empty() ? std::string() : separator) + part;
        m_log.LogInfo(LangFormat("info_MonLine", {joined}));
    }
    Notify();
    ArmIn(0);
}

void TSignalMonitor::TakeSignal(const TRunOutcome &outcome, std::int64_t now,
                                std::vector<std::string> &line)
{
    std::optional<int> csq;
    std::string problem;
    if (const auto value = m_pollValues.find("CSQ"); value != m_pollValues.end()) {
        csq = ParseCsq(value->second);
        if (!csq)
            problem = LangFormat("info_MonCsqUnknown", {Shown(value->second)});
    } else if (const auto refusal = m_pollRefusals.find("CSQ"); refusal != m_pollRefusals.end()) {
        problem = LangFormat("info_MonCsqRefused", {refusal->second});
    } else if (outcome.end == TRunEnd::NotUnderstood) {
        problem = LangFormat("info_MonCsqUnknown", {Shown(outcome.detail)});
    } else {
        problem = LangText("info_MonCsqMissing");
    }
    // One warning for a run of unknown readings, not one per poll.
    if (!csq && !m_unknownWarned) {
        m_log.LogWarn(problem);
        m_unknownWarned = true;
    } else if (csq) {
        m_unknownWarned = false;
    }
    m_trend.Add(
        {now, m_wallClock(), csq, LinkWord(m_links[0].reading), LinkWord(m_links[1].reading)});
    // The band says nothing more than "unknown" or "No signal (CSQ 99)" do.
    const bool signal = csq && *csq <= kCsqMax;
    line.insert(line.begin(), signal
                                  ? LangFormat("info_MonLineSignal",
                                               {SignalText(csq), LangText(BandKey(BandOfCsq(csq)))})
                                  : SignalText(csq));
}

void TSignalMonitor::TakeLinks(std::int64_t now, std::vector<std::string> &line)
{
    constexpr std::array<std::string_view, 2> names = {"SOCKALK", "SOCKBLK"};
    constexpr std::array<std::string_view, 2> letters = {"A", "B"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        TLinkInfo &link = m_links[i];
        const std::string name(names[i]);
        TLinkReading reading;
        if (const auto value = m_pollValues.find(name); value != m_pollValues.end())
            reading = ParseLinkState(value->second);
        else if (!m_pollRefusals.contains(name) && link.seen)
            // No answer at all says nothing new about the link: it keeps its state and time.
            reading = link.reading;
        if (!link.seen || reading != link.reading) {
            link.changed = link.seen;
            link.reading = reading;
            link.sinceMs = now;
            link.seen = true;
        }
        line.push_back(LangFormat("info_MonSocket", {letters[i], LinkText(link.reading)}));
    }
}

std::vector<TCmd> TSignalMonitor::CardQueries() const
{
    const auto wanted = [this](TCmd cmd, const std::string &field) {
        return field.empty()
               && std::find(m_cardAsked.begin(), m_cardAsked.end(), cmd) == m_cardAsked.end();
    };
    std::vector<TCmd> queries;
    if (wanted(TCmd::VER, m_card.firmware))
        queries.push_back(TCmd::VER);
    if (wanted(TCmd::SN, m_card.serial))
        queries.push_back(TCmd::SN);
    if (wanted(TCmd::ICCID, m_card.iccid))
        queries.push_back(TCmd::ICCID);
    const bool variantKnown
        = !m_card.firmware.empty()
          || std::find(m_cardAsked.begin(), m_cardAsked.end(), TCmd::VER) != m_cardAsked.end();
    const TCmd identity = m_host.IdentityCmd();
    if (variantKnown && wanted(identity, m_card.identity))
        queries.push_back(identity);
    return queries;
}

void TSignalMonitor::SetState(TMonitorState state)
{
    if (state == m_state)
        return;
    m_state = state;
    Notify();
}

void TSignalMonitor::Notify()
{
    if (Changed)
        Changed();
}

} // namespace m845

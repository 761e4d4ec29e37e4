#pragma once

// The monitor with the real sequencer and reply applier, a scripted device behind a fake link
// and timers on one fake clock: time moves only when a test advances it, each timer firing at
// its due time and the device answering every line it hears at once.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/fake_panel.h"
#include "core/link.h"
#include "core/log.h"
#include "core/timer.h"
#include "monitor/signalmonitor.h"
#include "protocol/commands.h"
#include "protocol/fakes.h"
#include "protocol/parameters.h"
#include "protocol/reply.h"
#include "protocol/sequencer.h"

namespace m845::test {

class TTimeline;

// A window timer on the fake clock: repeats until stopped, like QTimer.
class TTimedTimer final : public ITimer
{
public:
    explicit TTimedTimer(TTimeline &timeline);
    void SetInterval(int ms) override { m_interval = ms; }
    [[nodiscard]] int Interval() const override { return m_interval; }
    void Start() override;
    void Stop() override { m_active = false; }
    [[nodiscard]] bool IsActive() const override { return m_active; }
    void SetOnTimeout(std::function<void()> handler) override { m_handler = std::move(handler); }

    std::int64_t due = 0;

private:
    friend class TTimeline;
    void Fire();

    TTimeline &m_timeline;
    int m_interval = 1000;
    bool m_active = false;
    std::function<void()> m_handler;
};

class TTimeline final
{
public:
    std::int64_t now = 1'000'000;
    std::vector<TTimedTimer *> timers;
    // Run after every timer's tick (the device answers what it heard).
    std::function<void()> afterTick;

    void Advance(std::int64_t ms)
    {
        const std::int64_t end = now + ms;
        if (afterTick)
            afterTick();
        while (true) {
            TTimedTimer *next = nullptr;
            for (TTimedTimer *t : timers)
                if (t->m_active && t->due <= end && (next == nullptr || t->due < next->due))
                    next = t;
            if (next == nullptr)
                break;
            now = std::max(now, next->due);
            next->Fire();
            if (afterTick)
                afterTick();
        }
        now = end;
    }
};

inline TTimedTimer::TTimedTimer(TTimeline &timeline)
    : m_timeline(timeline)
{
    timeline.timers.push_back(this);
}

inline void TTimedTimer::Start()
{
    if (m_active)
        return;
    m_active = true;
    due = m_timeline.now + m_interval;
}

inline void TTimedTimer::Fire()
{
    due = m_timeline.now + std::max(m_interval, 1);
    if (m_handler)
        m_handler();
}

inline std::string Reply(std::string_view name, std::string_view value)
{
    return "\r\n+" + std::string(name) + ":" + std::string(value) + "\r\n\r\nOK\r\n";
}

inline std::string QueryOf(std::string_view name)
{
    return "AT+" + std::string(name) + "?\r\n";
}

inline const std::string kCsqLine = "AT+CSQ\r\n";

// Passes the sequencer's run events to the monitor, and keeps them.
class TRunEventsToMonitor final : public IRunEvents
{
public:
    explicit TRunEventsToMonitor(TSignalMonitor &monitor)
        : m_monitor(monitor)
    {}
    void OnRunStarted(int runId, TRunKind kind) override
    {
        started.emplace_back(runId, kind);
        m_monitor.OnRunStarted(runId, kind);
    }
    void OnCommandRefused(int runId, std::string_view command, std::string_view refusal) override
    {
        m_monitor.OnCommandRefused(runId, command, refusal);
    }
    void OnRunEnded(const TRunOutcome &outcome) override
    {
        ended.push_back(outcome);
        m_monitor.OnRunEnded(outcome);
    }

    std::vector<std::pair<int, TRunKind>> started;
    std::vector<TRunOutcome> ended;

private:
    TSignalMonitor &m_monitor;
};

struct TMonitorRig
{
    TMonitorRig()
    {
        QueueClear();
        rcv.SetInterval(5000);
        seq.SetCommandDelay(0);
        seq.SetClock([this] { return time.now; });
        seq.SetRunEvents(&events);
        monitor.SetClock([this] { return time.now; });
        monitor.SetWallClock([this] { return 1'772'619'302'000 + time.now; });
        applier.AddValueObserver([this](std::string_view name, std::string_view value) {
            monitor.OnValue(name, value);
        });
        time.afterTick = [this] {
            Answer();
        };
    }

    // The device answers every line sent since it last listened.
    void Answer()
    {
        while (!hold && heard < link.sent.size()) {
            const std::string line = link.sent[heard++];
            const std::optional<std::string> answer = device(line);
            if (answer) {
                awaiting = false;
                seq.DispatchReceived(*answer);
                monitor.OnBlockReceived();
            }
        }
    }

    // The device: command mode, answers every query; "+++" and "a" enter command mode.
    std::optional<std::string> Device(const std::string &line)
    {
        if (silent)
            return std::nullopt;
        if (line == "+++")
            return std::string("a");
        if (line == "a") {
            dataTransfer = false;
            return std::string("+ok\r\n");
        }
        if (dataTransfer)
            return std::nullopt;
        if (const auto special = answers.find(line); special != answers.end())
            return special->second;
        if (line == kCsqLine)
            return Reply("CSQ", csq);
        const std::string name = line.substr(3, line.find_first_of("?=\r") - 3);
        if (line.find('=') != std::string::npos || line.find('?') == std::string::npos)
            return std::string("\r\nOK\r\n\r\n");
        if (name == "SOCKALK" || name == "SOCKBLK")
            return Reply(name, name == "SOCKALK" ? linkA : linkB);
        return Reply(name, "V-" + name);
    }

    void OpenPort()
    {
        link.open = true;
        monitor.PortOpenChanged(true);
    }
    void ClosePort()
    {
        link.open = false;
        seq.LinkLost();
        monitor.PortOpenChanged(false);
    }
    // Lines sent from index from on.
    [[nodiscard]] std::vector<std::string> SentFrom(std::size_t from) const
    {
        return {link.sent.begin() + static_cast<long>(std::min(from, link.sent.size())),
                link.sent.end()};
    }
    [[nodiscard]] std::size_t Count(const std::string &line) const
    {
        return static_cast<std::size_t>(std::count(link.sent.begin(), link.sent.end(), line));
    }

    TTimeline time;
    TFakeLog log;
    // Every line checks that the one before it was answered or timed out.
    class TCheckedLink final : public ILink
    {
    public:
        explicit TCheckedLink(TMonitorRig &rig)
            : m_rig(rig)
            , m_inner(rig.log)
        {}
        void SendText(std::string_view text) override
        {
            // A line is out until it is answered or its time-out has passed.
            if (m_rig.awaiting && m_inner.open
                && m_rig.time.now - m_rig.sentAt < m_rig.rcv.Interval())
                ++m_rig.twoInFlight;
            m_rig.awaiting = m_inner.open;
            m_rig.sentAt = m_rig.time.now;
            m_inner.SendText(text);
        }
        void SendData(std::string_view data) override { m_inner.SendData(data); }
        [[nodiscard]] bool IsPortOpen() const override { return m_inner.open; }
        [[nodiscard]] const std::string &LastSentText() const override
        {
            return m_inner.LastSentText();
        }
        bool WriteData(const std::uint8_t *data, std::uint16_t length) override
        {
            return m_inner.WriteData(data, length);
        }
        TMonitorRig &m_rig;
        TFakeLink m_inner;
        std::vector<std::string> &sent = m_inner.sent;
        bool &open = m_inner.open;
    };
    bool awaiting = false;
    std::int64_t sentAt = 0;
    int twoInFlight = 0;
    TCheckedLink link{*this};
    TTimedTimer rcv{time};
    TTimedTimer pause{time};
    TTimedTimer monitorTimer{time};
    TFakePanel panel;
    TReplyApplier applier{panel, log};
    TFakeProgress progress;
    TSequencer seq{link, log, rcv, pause, applier, progress};
    bool firmware = false;
    TSequencerMonitorHost host{seq, applier, link, rcv, [this] {
                                   return firmware;
                               }};
    TSignalMonitor monitor{host, log, monitorTimer};
    TRunEventsToMonitor events{monitor};

    std::function<std::optional<std::string>(const std::string &)> device
        = [this](const std::string &line) {
              return Device(line);
          };
    std::size_t heard = 0;
    bool silent = false;
    bool hold = false; // lines are heard, answers wait until released
    bool dataTransfer = false;
    std::string csq = "24,99";
    std::string linkA = "CONNECTED";
    std::string linkB = "DISCONNECTED";
    std::map<std::string, std::string> answers;
};

} // namespace m845::test

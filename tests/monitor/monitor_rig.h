#pragma once

// The monitor with the real sequencer and reply applier, a scripted device behind the link and
// timers on one fake clock: time moves only when a test advances it, each timer fires at its
// due time, and the device answers every line it hears at once unless told to hold.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/fake_panel.h"
#include "core/link.h"
#include "core/timer.h"
#include "monitor/sequencerhost.h"
#include "monitor/signalmonitor.h"
#include "protocol/commands.h"
#include "protocol/fakes.h"
#include "protocol/parameters.h"
#include "protocol/reply.h"
#include "protocol/sequencer.h"

namespace m845::test {

// A window timer on the fake clock; repeats until stopped, like QTimer.
class TTimedTimer final : public ITimer
{
public:
    TTimedTimer(const std::int64_t &now, std::vector<TTimedTimer *> &all)
        : m_now(now)
    {
        all.push_back(this);
    }
    void SetInterval(int ms) override { m_interval = ms; }
    [[nodiscard]] int Interval() const override { return m_interval; }
    void Start() override
    {
        if (!active)
            due = m_now + m_interval;
        active = true;
    }
    void Stop() override { active = false; }
    [[nodiscard]] bool IsActive() const override { return active; }
    void SetOnTimeout(std::function<void()> handler) override { m_handler = std::move(handler); }
    void Fire()
    {
        due = m_now + std::max(m_interval, 1);
        if (m_handler)
            m_handler();
    }

    std::int64_t due = 0;
    bool active = false;

private:
    const std::int64_t &m_now;
    int m_interval = 1000;
    std::function<void()> m_handler;
};

inline std::string Reply(std::string_view name, std::string_view value)
{
    return "\r\n+" + std::string(name) + ":" + std::string(value) + "\r\n\r\nOK\r\n";
}

inline std::string QueryOf(std::string_view name)
{
    return "AT+" + std::string(name) + "?\r\n";
}

inline const std::string kCsqLine = "AT+CSQ\r\n";

struct TMonitorRig final : IRunEvents
{
    TMonitorRig()
    {
        QueueClear();
        rcv.SetInterval(5000);
        seq.SetCommandDelay(0);
        seq.SetClock([this] { return now; });
        seq.SetRunEvents(this);
        monitor.SetClock([this] { return now; });
        monitor.SetWallClock([this] { return 1'772'619'302'000 + now; });
        applier.AddValueObserver([this](std::string_view name, std::string_view value) {
            monitor.OnValue(name, value);
        });
    }

    void OnRunStarted(int runId, TRunKind kind) override { monitor.OnRunStarted(runId, kind); }
    void OnCommandRefused(int runId, std::string_view command, std::string_view refusal) override
    {
        monitor.OnCommandRefused(runId, command, refusal);
    }
    void OnRunEnded(const TRunOutcome &outcome) override
    {
        ended.push_back(outcome);
        monitor.OnRunEnded(outcome);
    }

    // Every timer due by then fires in time order; the device answers after each.
    void Advance(std::int64_t ms)
    {
        const std::int64_t end = now + ms;
        for (Answer();; Answer()) {
            TTimedTimer *next = nullptr;
            for (TTimedTimer *t : timers)
                if (t->active && t->due <= end && (next == nullptr || t->due < next->due))
                    next = t;
            if (next == nullptr)
                break;
            now = std::max(now, next->due);
            next->Fire();
        }
        now = end;
    }

    // The device answers every line sent since it last listened.
    void Answer()
    {
        while (!hold && heard < link.sent.size()) {
            if (const std::optional<std::string> answer = device(link.sent[heard++])) {
                awaiting = false;
                seq.DispatchReceived(*answer);
                monitor.OnBlockReceived();
            }
        }
    }

    // Command mode, every query answered; "+++" and "a" enter it from data transfer.
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
        if (line.find('?') == std::string::npos)
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
    [[nodiscard]] std::vector<std::string> SentFrom(std::size_t from) const
    {
        return {link.sent.begin() + static_cast<long>(std::min(from, link.sent.size())),
                link.sent.end()};
    }

    // Counts a line sent while the one before it had neither its answer nor its time-out.
    class TCheckedLink final : public ILink
    {
    public:
        explicit TCheckedLink(TMonitorRig &rig)
            : m_rig(rig)
            , m_inner(rig.log)
        {}
        void SendText(std::string_view text) override
        {
            if (m_rig.awaiting && open && m_rig.now - m_sentAt < m_rig.rcv.Interval())
                ++m_rig.twoInFlight;
            m_rig.awaiting = open;
            m_sentAt = m_rig.now;
            m_inner.open = open;
            m_inner.SendText(text);
        }
        void SendData(std::string_view data) override { m_inner.SendData(data); }
        [[nodiscard]] bool IsPortOpen() const override { return open; }
        [[nodiscard]] const std::string &LastSentText() const override
        {
            return m_inner.LastSentText();
        }
        bool WriteData(const std::uint8_t *, std::uint16_t) override { return open; }

        bool open = true;
        std::vector<std::string> &sent = m_inner.sent;

    private:
        TMonitorRig &m_rig;
        TFakeLink m_inner;
        std::int64_t m_sentAt = 0;
    };

    std::int64_t now = 1'000'000;
    std::vector<TTimedTimer *> timers;
    TFakeLog log;
    std::size_t heard = 0;
    bool awaiting = false;
    int twoInFlight = 0;
    TCheckedLink link{*this};
    TTimedTimer rcv{now, timers};
    TTimedTimer pause{now, timers};
    TTimedTimer monitorTimer{now, timers};
    TFakePanel panel;
    TReplyApplier applier{panel, log};
    TFakeProgress progress;
    TSequencer seq{link, log, rcv, pause, applier, progress};
    bool firmware = false;
    TSequencerMonitorHost host{seq, applier, rcv, [this] {
                                   return firmware;
                               }};
    TSignalMonitor monitor{host, log, monitorTimer};
    std::vector<TRunOutcome> ended;

    std::function<std::optional<std::string>(const std::string &)> device
        = [this](const std::string &line) {
              return Device(line);
          };
    bool silent = false;
    bool hold = false; // lines are heard only once released
    bool dataTransfer = false;
    std::string csq = "24,99";
    std::string linkA = "CONNECTED";
    std::string linkB = "DISCONNECTED";
    std::map<std::string, std::string> answers;
};

} // namespace m845::test

#pragma once

// Link, log, timers and progress bar that record what the protocol code does with them.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/link.h"
#include "core/log.h"
#include "core/timer.h"
#include "common/fake_panel.h"
#include "protocol/reply.h"
#include "protocol/sequencer.h"

namespace m845::test {

enum class TEntryKind { Rx, RxOther, Tx, Info, Warn };

struct TLogEntry
{
    TEntryKind kind;
    std::string text;
    bool operator==(const TLogEntry &) const = default;
};

class TFakeLog final : public ILog
{
public:
    void LogRx(std::string_view data) override
    {
        entries.push_back({TEntryKind::Rx, std::string(data)});
    }
    void LogRxOther(std::string_view data) override
    {
        entries.push_back({TEntryKind::RxOther, std::string(data)});
    }
    void LogTx(std::string_view data) override
    {
        entries.push_back({TEntryKind::Tx, std::string(data)});
    }
    void LogInfo(std::string_view text) override
    {
        entries.push_back({TEntryKind::Info, std::string(text)});
    }
    void LogWarn(std::string_view text) override
    {
        entries.push_back({TEntryKind::Warn, std::string(text)});
    }

    [[nodiscard]] std::vector<std::string> Of(TEntryKind kind) const
    {
        std::vector<std::string> out;
        for (const auto &e : entries)
            if (e.kind == kind)
                out.push_back(e.text);
        return out;
    }

    std::vector<TLogEntry> entries;
};

// Writes go into a list; with the port closed only the warning is logged, as the real link does.
class TFakeLink final : public ILink
{
public:
    explicit TFakeLink(ILog &log)
        : m_log(log)
    {}

    void SendText(std::string_view text) override
    {
        if (!open) {
            m_log.LogWarn("Serial port is not open");
            return;
        }
        sent.emplace_back(text);
        m_last = std::string(text);
        m_log.LogTx(text);
    }
    void SendData(std::string_view data) override { sent.emplace_back(data); }
    [[nodiscard]] bool IsPortOpen() const override { return open; }
    [[nodiscard]] const std::string &LastSentText() const override { return m_last; }
    bool WriteData(const std::uint8_t *, std::uint16_t) override { return open; }

    bool open = true;
    std::vector<std::string> sent;

private:
    ILog &m_log;
    std::string m_last;
};

// Time moves only when a test fires the timer.
class TFakeTimer final : public ITimer
{
public:
    void SetInterval(int ms) override { m_interval = ms; }
    [[nodiscard]] int Interval() const override { return m_interval; }
    void Start() override
    {
        if (!m_active)
            ++starts;
        m_active = true;
    }
    void Stop() override { m_active = false; }
    [[nodiscard]] bool IsActive() const override { return m_active; }
    void SetOnTimeout(std::function<void()> handler) override { m_handler = std::move(handler); }

    // One tick, only while enabled (a stopped window timer never ticks).
    bool Fire()
    {
        if (!m_active || !m_handler)
            return false;
        m_handler();
        return true;
    }
    // A tick that the event loop had already taken before the timer was stopped.
    void FireAnyway()
    {
        if (m_handler)
            m_handler();
    }

    int starts = 0;

private:
    int m_interval = 1000;
    bool m_active = false;
    std::function<void()> m_handler;
};

class TFakeProgress final : public IProgress
{
public:
    void ShowProgress(int total, int complete) override
    {
        visible = true;
        shown.emplace_back(complete, total);
    }
    void HideProgress() override
    {
        visible = false;
        ++hides;
    }

    bool visible = false;
    int hides = 0;
    // (complete, total) in order.
    std::vector<std::pair<int, int>> shown;
};

// A sequencer with fakes all round, for fixtures to inherit.
struct TSequencerRig
{
    TFakeLog log;
    TFakeLink link{log};
    TFakeTimer rcv;
    TFakeTimer pause;
    TFakePanel panel;
    TReplyApplier applier{panel, log};
    TFakeProgress progress;
    TSequencer seq{link, log, rcv, pause, applier, progress};
};

} // namespace m845::test

// The monitor's scheduler against a scripted device and a fake clock, with the real sequencer:
// what it asks and when, how it waits for every other operation and holds a press behind its
// own query, how it stops and starts with the port, and what it makes of bad answers. No case
// may ever put a line on the wire while another waits for its answer.

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lang/langlist.h"
#include "monitor/monitor_rig.h"

namespace m845::test {
namespace {

using namespace std::string_literals;

const std::vector<std::string> kLinkLines = {QueryOf("SOCKALK"), QueryOf("SOCKBLK")};

class MonitorTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { InitBuiltInLanguage(false); }
    static void TearDownTestSuite() { ReleaseLanguage(); }

    void TearDown() override { EXPECT_EQ(rig.twoInFlight, 0); }

    // On, port open, the first poll (card included) answered.
    void StartMonitoring()
    {
        rig.monitor.SetOn(true);
        rig.OpenPort();
        rig.Advance(1000);
        ASSERT_EQ(rig.monitor.Trend().Samples().size(), 1U);
    }
    [[nodiscard]] std::size_t MonitorLines(std::size_t from) const
    {
        const std::vector<std::string> lines = rig.SentFrom(from);
        return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [](auto &l) {
            return l == kCsqLine || l == QueryOf("SOCKALK");
        }));
    }
    [[nodiscard]] std::vector<std::string> MonitorWarnings() const
    {
        std::vector<std::string> out;
        for (const std::string &w : rig.log.Of(TEntryKind::Warn))
            if (w.starts_with("Signal monitor:"))
                out.push_back(w);
        return out;
    }

    TMonitorRig rig;
};

TEST_F(MonitorTest, AsksTheSignalEveryPeriodTheLinksEveryTenSecondsAndTheCardOnce)
{
    rig.monitor.SetOn(true);
    rig.OpenPort();
    rig.Advance(999);
    EXPECT_TRUE(rig.link.sent.empty()) << "the device may still greet";
    rig.Advance(1);
    // The identity waits for the firmware version, which tells MEID from IMEI.
    EXPECT_EQ(rig.SentFrom(0), (std::vector{kCsqLine, QueryOf("SOCKALK"), QueryOf("SOCKBLK"),
                                            QueryOf("VER"), QueryOf("SN"), QueryOf("ICCID")}));
    rig.Advance(2000);
    EXPECT_EQ(rig.SentFrom(6), (std::vector{kCsqLine, QueryOf("IMEI")}));
    rig.Advance(6000);
    EXPECT_EQ(rig.SentFrom(8), (std::vector{kCsqLine, kCsqLine, kCsqLine}));
    rig.Advance(2000);
    EXPECT_EQ(rig.SentFrom(11), (std::vector{kCsqLine, QueryOf("SOCKALK"), QueryOf("SOCKBLK")}));

    const auto &samples = rig.monitor.Trend().Samples();
    ASSERT_EQ(samples.size(), 6U);
    EXPECT_EQ(samples.back().csq, 24);
    EXPECT_EQ(samples.back().linkA, "CONNECTED");
    EXPECT_EQ(samples.back().linkB, "DISCONNECTED");
    const TDeviceCard &card = rig.monitor.Card();
    EXPECT_EQ(card.firmware, "V-VER");
    EXPECT_EQ(card.serial, "V-SN");
    EXPECT_EQ(card.iccid, "V-ICCID");
    EXPECT_EQ(card.identity, "V-IMEI");
    EXPECT_EQ(card.identityName, "IMEI");
    EXPECT_EQ(rig.monitor.State(), TMonitorState::Polling);
}

TEST_F(MonitorTest, ACardFilledByAReadAllNeedsNoQueries)
{
    rig.OpenPort();
    rig.seq.btnDoClick(TagAskAll);
    rig.Advance(0);
    ASSERT_FALSE(rig.seq.RunActive());
    const std::size_t before = rig.link.sent.size();
    rig.monitor.SetOn(true);
    rig.Advance(300); // the read-all's last answer settles first
    EXPECT_EQ(rig.SentFrom(before),
              (std::vector{kCsqLine, QueryOf("SOCKALK"), QueryOf("SOCKBLK")}));
}

struct TBusyCase
{
    const char *name;
    // Starts the other operation; the device holds its answers meanwhile.
    std::function<void(TMonitorRig &)> start;
    // Ends it.
    std::function<void(TMonitorRig &)> finish;
    TMonitorState state;
};

class MonitorPausesTest : public MonitorTest, public ::testing::WithParamInterface<TBusyCase>
{
};

TEST_P(MonitorPausesTest, SendsNothingWhileAnotherOperationHasTheLine)
{
    StartMonitoring();
    rig.Advance(1000); // between two polls
    const std::size_t before = rig.link.sent.size();
    rig.hold = true;
    GetParam().start(rig);
    rig.Advance(3000);
    EXPECT_EQ(MonitorLines(before), 0U);
    EXPECT_EQ(rig.monitor.State(), GetParam().state);
    const std::size_t samples = rig.monitor.Trend().Samples().size();

    const std::size_t ended = rig.link.sent.size();
    GetParam().finish(rig);
    rig.Advance(1000);
    EXPECT_GE(MonitorLines(ended), 1U) << "resumes once the other operation is over";
    EXPECT_GT(rig.monitor.Trend().Samples().size(), samples);
}

void Release(TMonitorRig &rig)
{
    rig.hold = false;
    rig.Answer();
}

INSTANTIATE_TEST_SUITE_P(
    Operations, MonitorPausesTest,
    ::testing::Values(
        TBusyCase{"ReadAll", [](TMonitorRig &r) { r.monitor.SubmitPress(TagAskAll); }, &Release,
                  TMonitorState::Busy},
        TBusyCase{"WriteAll", [](TMonitorRig &r) { r.monitor.SubmitPress(TagSetAll); }, &Release,
                  TMonitorState::Busy},
        TBusyCase{"ReadVersion", [](TMonitorRig &r) { r.monitor.SubmitPress(TagVER); }, &Release,
                  TMonitorState::Busy},
        TBusyCase{"CommandMode", [](TMonitorRig &r) { r.monitor.SubmitPress(TagPPPA); }, &Release,
                  TMonitorState::Busy},
        TBusyCase{"SingleCommand", [](TMonitorRig &r) { r.monitor.SubmitPress(TagH); }, &Release,
                  TMonitorState::Busy},
        TBusyCase{"TerminalLine",
                  [](TMonitorRig &r) {
                      r.link.SendText("AT+WKMOD?\r\n");
                      r.monitor.OnTerminalSent();
                  },
                  &Release, TMonitorState::Busy},
        TBusyCase{"Firmware", [](TMonitorRig &r) { r.firmware = true; },
                  [](TMonitorRig &r) {
                      r.firmware = false;
                      Release(r);
                  },
                  TMonitorState::Firmware}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(MonitorTest, APressWhileItsQueryIsOutWaitsForTheAnswer)
{
    StartMonitoring();
    rig.Advance(3000); // the identity's poll is over too
    rig.hold = true;
    rig.Advance(1000);
    ASSERT_EQ(rig.link.sent.back(), kCsqLine);
    const std::size_t before = rig.link.sent.size();
    rig.monitor.SubmitPress(TagAskAll);
    // Another part's operation queues behind the press, in the order they came.
    std::vector<std::string> order;
    rig.monitor.SubmitAction([&] { order.push_back("action after " + rig.link.sent.back()); });
    EXPECT_EQ(rig.link.sent.size(), before) << "the press waits";
    EXPECT_EQ(rig.monitor.HeldPresses(), 2U);

    rig.csq = "17,99";
    Release(rig);
    rig.Advance(0);
    // The answer went to the monitor, and the read-all asked exactly its own queries.
    EXPECT_EQ(rig.monitor.Trend().Samples().back().csq, 17);
    std::vector<std::string> readAll = {QueryOf("VER")};
    for (TCmd cmd : ReadAllRest(rig.applier.IdentityCmd()))
        readAll.push_back(QueryOf(CmdName(cmd)));
    EXPECT_EQ(rig.SentFrom(before), readAll);
    EXPECT_EQ(order, std::vector<std::string>{"action after " + readAll.front()})
        << "released in turn, after the press";
    EXPECT_EQ(rig.ended.back().kind, TRunKind::ReadAll);
    EXPECT_EQ(rig.ended.back().end, TRunEnd::Completed);
    rig.Advance(2000);
    EXPECT_EQ(rig.link.sent.back(), kCsqLine) << "the monitor goes on after it";
}

TEST_F(MonitorTest, APressDuringTheCommandPauseOfItsQueryWaitsToo)
{
    StartMonitoring();
    rig.Advance(3000);
    rig.seq.SetCommandDelay(150);
    rig.Advance(1000);
    ASSERT_TRUE(rig.seq.Pausing());
    const std::size_t before = rig.link.sent.size();
    rig.monitor.SubmitPress(TagCSQ);
    rig.Advance(150);
    // The monitor's line, answered; then the press.
    EXPECT_EQ(rig.SentFrom(before), (std::vector{kCsqLine, kCsqLine}));
    EXPECT_EQ(rig.monitor.Trend().Samples().size(), 3U);
}

TEST_F(MonitorTest, AQueryThatIsNeverAnsweredIsGivenUp)
{
    StartMonitoring();
    rig.Advance(3000);
    // The device answers the entry pair again and again, the query never: the sequencer alone
    // would go round for ever, and a press would wait as long.
    rig.device = [this](const std::string &line) -> std::optional<std::string> {
        return line == kCsqLine ? std::nullopt : rig.Device(line);
    };
    rig.Advance(1000);
    rig.monitor.SubmitPress(TagVER);
    // Given up after two time-outs and a little, then the line is left alone for one more.
    rig.Advance(11500 + 5000);
    EXPECT_EQ(rig.monitor.HeldPresses(), 0U);
    EXPECT_EQ(rig.ended.back().kind, TRunKind::ReadVersion);
    EXPECT_EQ(rig.monitor.Trend().Samples().back().csq, std::nullopt);
}

TEST_F(MonitorTest, StopsWithThePortOrTheSwitchAndStartsAgainWithThem)
{
    StartMonitoring();
    rig.hold = true;
    rig.Advance(2000);
    rig.ClosePort();
    const std::size_t before = rig.link.sent.size();
    rig.Advance(30000);
    EXPECT_EQ(rig.link.sent.size(), before);
    EXPECT_FALSE(rig.monitorTimer.IsActive());
    EXPECT_EQ(rig.monitor.State(), TMonitorState::NoPort);
    EXPECT_EQ(rig.monitor.Trend().Samples().size(), 1U) << "the trend keeps its samples";
    EXPECT_TRUE(rig.monitor.Card().firmware.empty()) << "another device may come next";

    rig.hold = false;
    rig.heard = rig.link.sent.size();
    rig.OpenPort();
    rig.Advance(1000);
    EXPECT_EQ(rig.SentFrom(before).front(), kCsqLine);
    EXPECT_EQ(rig.monitor.Trend().Samples().size(), 2U);

    // The switch does the same.
    rig.monitor.SetOn(false);
    const std::size_t off = rig.link.sent.size();
    rig.Advance(20000);
    EXPECT_EQ(rig.link.sent.size(), off);
    EXPECT_EQ(rig.monitor.State(), TMonitorState::Off);
    rig.monitor.SetOn(true);
    rig.Advance(0);
    EXPECT_EQ(rig.SentFrom(off).front(), kCsqLine) << "with the port open it starts at once";
}

struct TBadCsqCase
{
    const char *name;
    std::string answer; // to AT+CSQ; empty: no answer at all
    const char *warning;
};

class MonitorBadCsqTest : public MonitorTest, public ::testing::WithParamInterface<TBadCsqCase>
{
};

TEST_P(MonitorBadCsqTest, ShowsUnknownWithOneWarningAndGoesOn)
{
    StartMonitoring();
    const TBadCsqCase &c = GetParam();
    if (c.answer.empty())
        rig.device = [this](const std::string &line) -> std::optional<std::string> {
            return line == kCsqLine ? std::nullopt : rig.Device(line);
        };
    else
        rig.answers[kCsqLine] = c.answer;
    rig.Advance(60000);
    const auto &samples = rig.monitor.Trend().Samples();
    ASSERT_GE(samples.size(), 3U);
    EXPECT_EQ(samples.back().csq, std::nullopt);
    EXPECT_EQ(std::count_if(samples.begin(), samples.end(), [](auto &s) { return !s.csq; }),
              static_cast<long>(samples.size()) - 1);
    ASSERT_EQ(MonitorWarnings().size(), 1U);
    EXPECT_NE(MonitorWarnings()[0].find(c.warning), std::string::npos) << MonitorWarnings()[0];

    // A good reading ends the run of unknown ones; the next bad one is told again.
    rig.device = [this](const std::string &line) {
        return rig.Device(line);
    };
    rig.answers.clear();
    rig.Advance(30000);
    EXPECT_EQ(samples.back().csq, 24);
    rig.answers[kCsqLine] = Reply("CSQ", "abc");
    rig.Advance(4000);
    EXPECT_EQ(MonitorWarnings().size(), 2U);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, MonitorBadCsqTest,
    ::testing::Values(TBadCsqCase{"UnknownForm", Reply("CSQ", "strong"), "(strong)"},
                      TBadCsqCase{"OutOfRange", Reply("CSQ", "45,99"), "(45,99)"},
                      TBadCsqCase{"Refused", "\r\n+ERR:-2\r\n\r\n", "refused"},
                      TBadCsqCase{"NotUnderstood", "garbage", "(garbage)"},
                      TBadCsqCase{"Missing", "", "did not answer"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(MonitorTest, ADeviceInDataTransferGetsOneLineThenTheEntryPair)
{
    rig.monitor.SetOn(true);
    rig.dataTransfer = true;
    rig.silent = true;
    rig.OpenPort();
    rig.Advance(1000 + 10000);
    // The line that the time-out needs, and the re-entry attempt that went unanswered.
    EXPECT_EQ(rig.SentFrom(0), (std::vector{kCsqLine, "+++"s}));
    EXPECT_EQ(rig.monitor.State(), TMonitorState::NoAnswer);
    EXPECT_EQ(MonitorWarnings().size(), 1U);

    // Silent for two minutes: only entry attempts, each waiting longer than the one before.
    rig.Advance(120000);
    const std::vector<std::string> silent = rig.SentFrom(2);
    EXPECT_TRUE(std::all_of(silent.begin(), silent.end(), [](auto &l) { return l == "+++"; }));
    EXPECT_LE(silent.size(), 12U);
    EXPECT_EQ(MonitorWarnings().size(), 1U) << "one warning, not one per poll";

    // The device wakes up, still in data transfer: the pair first, then the queries.
    rig.silent = false;
    const std::size_t before = rig.link.sent.size();
    rig.Advance(60000);
    const std::vector<std::string> woke = rig.SentFrom(before);
    ASSERT_GE(woke.size(), 3U);
    EXPECT_EQ(std::vector(woke.begin(), woke.begin() + 3), (std::vector{"+++"s, "a"s, kCsqLine}));
    EXPECT_EQ(std::count(rig.link.sent.begin(), rig.link.sent.begin() + static_cast<long>(before),
                         kCsqLine),
              1)
        << "one AT line into data transfer in all";
    EXPECT_EQ(rig.monitor.Trend().Samples().back().csq, 24);
    EXPECT_EQ(rig.monitor.State(), TMonitorState::Polling);
}

TEST_F(MonitorTest, LeavingCommandModeKeepsItQuietUntilCommandModeIsEntered)
{
    StartMonitoring();
    rig.monitor.SubmitPress(TagENTM);
    rig.Advance(0);
    rig.dataTransfer = true;
    const std::size_t before = rig.link.sent.size();
    rig.Advance(30000);
    EXPECT_EQ(rig.link.sent.size(), before);
    EXPECT_EQ(rig.monitor.State(), TMonitorState::DataTransfer);

    rig.monitor.SubmitPress(TagPPPA);
    rig.Advance(1000);
    const std::vector<std::string> after = rig.SentFrom(before);
    ASSERT_GE(after.size(), 3U);
    EXPECT_EQ(std::vector(after.begin(), after.begin() + 3), (std::vector{"+++"s, "a"s, kCsqLine}));
}

TEST_F(MonitorTest, LinksKeepTheTimeOfTheirLastChange)
{
    StartMonitoring();
    const std::int64_t first = rig.monitor.Link(0).sinceMs;
    EXPECT_FALSE(rig.monitor.Link(0).changed);
    rig.Advance(10000);
    EXPECT_EQ(rig.monitor.Link(0).sinceMs, first) << "no change, no new time";
    rig.linkA = "OFF";
    rig.Advance(10000);
    EXPECT_EQ(rig.monitor.Link(0).reading.state, TLinkState::Disconnected);
    EXPECT_TRUE(rig.monitor.Link(0).changed);
    EXPECT_EQ(rig.monitor.Link(0).sinceMs, first + 20000);
    EXPECT_EQ(rig.monitor.Link(1).reading.state, TLinkState::Disconnected);
}

TEST_F(MonitorTest, WritesOneCompactLinePerPollOrNone)
{
    StartMonitoring();
    const auto lines = [this] {
        std::vector<std::string> out;
        for (const std::string &info : rig.log.Of(TEntryKind::Info))
            if (info.starts_with("Signal monitor:"))
                out.push_back(info);
        return out;
    };
    EXPECT_TRUE(lines().empty());
    rig.monitor.SetLogLines(TMonitorLogLines::Compact);
    rig.Advance(10000); // four polls of the signal, the fifth with the links
    ASSERT_EQ(lines().size(), 5U);
    EXPECT_EQ(lines()[0], "Signal monitor: -65 dBm (CSQ 24), Excellent");
    EXPECT_EQ(lines()[4], "Signal monitor: -65 dBm (CSQ 24), Excellent; Socket A: CONNECTED; "
                          "Socket B: DISCONNECTED");
    rig.monitor.SetLogLines(TMonitorLogLines::None);
    rig.Advance(10000);
    EXPECT_EQ(lines().size(), 5U);
}

} // namespace
} // namespace m845::test

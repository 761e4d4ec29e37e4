// How a run ends, as the sequencer reports it to whoever drives it: each way a device can answer,
// refuse, fall silent, confuse or lose the line, one scripted case each.

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/fake_panel.h"
#include "protocol/commands.h"
#include "protocol/fakes.h"
#include "protocol/reply.h"
#include "protocol/sequencer.h"

namespace m845::test {
namespace {

std::string Reply(std::string_view name, std::string_view value)
{
    return "\r\n+" + std::string(name) + ":" + std::string(value) + "\r\n\r\nOK\r\n";
}

class TRecordedEvents final : public IRunEvents
{
public:
    void OnRunStarted(int runId, TRunKind kind) override { started.emplace_back(runId, kind); }
    void OnCommandRefused(int, std::string_view command, std::string_view refusal) override
    {
        refusals.push_back(std::string(command) + " " + std::string(refusal));
    }
    void OnRunEnded(const TRunOutcome &outcome) override { ended.push_back(outcome); }

    std::vector<std::pair<int, TRunKind>> started;
    std::vector<std::string> refusals;
    std::vector<TRunOutcome> ended;
};

struct TOutcomeCase
{
    const char *name;
    // Drives the sequencer after the run was started by a query of VER and SN.
    std::function<void(TSequencer &, TFakeTimer &, TFakeLink &)> script;
    TRunEnd end;
    const char *command;
    std::vector<std::string> refusals;
};

class RunOutcomeTest : public ::testing::TestWithParam<TOutcomeCase>, protected TSequencerRig
{
protected:
    RunOutcomeTest()
    {
        QueueClear();
        seq.SetCommandDelay(0);
        seq.SetRunEvents(&events);
    }

    TRecordedEvents events;
};

TEST_P(RunOutcomeTest, EndsAsTheDeviceDecides)
{
    const TOutcomeCase &c = GetParam();
    QueueAddQuery(TCmd::VER);
    QueueAddQuery(TCmd::SN);
    const int id = seq.RunQueue();
    EXPECT_TRUE(seq.RunActive());
    c.script(seq, rcv, link);
    ASSERT_EQ(events.ended.size(), 1U);
    EXPECT_EQ(events.ended[0].runId, id);
    EXPECT_EQ(events.ended[0].end, c.end);
    EXPECT_EQ(events.ended[0].command, c.command);
    EXPECT_EQ(events.refusals, c.refusals);
    EXPECT_FALSE(seq.RunActive());
}

INSTANTIATE_TEST_SUITE_P(
    Sequencer, RunOutcomeTest,
    ::testing::Values(
        TOutcomeCase{"Completed",
                     [](TSequencer &s, TFakeTimer &, TFakeLink &) {
                         s.DispatchReceived(Reply("VER", "V1"));
                         s.DispatchReceived(Reply("SN", "42"));
                     },
                     TRunEnd::Completed, "", {}},
        TOutcomeCase{"CompletedPastARefusal",
                     [](TSequencer &s, TFakeTimer &, TFakeLink &) {
                         s.DispatchReceived("\r\n+ERR:-2\r\n");
                         s.DispatchReceived(Reply("SN", "42"));
                     },
                     TRunEnd::Completed, "", {"VER +ERR:-2"}},
        TOutcomeCase{"RefusedLast",
                     [](TSequencer &s, TFakeTimer &, TFakeLink &) {
                         s.DispatchReceived(Reply("VER", "V1"));
                         s.DispatchReceived("\r\n+ERR:-3\r\n");
                     },
                     TRunEnd::Refused, "SN", {"SN +ERR:-3"}},
        TOutcomeCase{"SilentAfterTheReentry",
                     [](TSequencer &s, TFakeTimer &t, TFakeLink &) {
                         s.DispatchReceived(Reply("VER", "V1"));
                         ASSERT_TRUE(t.Fire()); // "+++" goes out
                         ASSERT_TRUE(t.Fire()); // and is not answered either
                     },
                     TRunEnd::DeviceSilent, "SN", {}},
        TOutcomeCase{"NotUnderstood",
                     [](TSequencer &s, TFakeTimer &, TFakeLink &) {
                         s.DispatchReceived(Reply("VER", "V1"));
                         s.DispatchReceived("garbage");
                     },
                     TRunEnd::NotUnderstood, "SN", {}},
        TOutcomeCase{"LineLost",
                     [](TSequencer &s, TFakeTimer &, TFakeLink &l) {
                         s.DispatchReceived(Reply("VER", "V1"));
                         l.open = false;
                         s.LinkLost();
                         s.LinkLost(); // once only
                     },
                     TRunEnd::LineLost, "SN", {}},
        TOutcomeCase{"PortClosedFromTheStart",
                     [](TSequencer &s, TFakeTimer &t, TFakeLink &l) {
                         l.open = false;
                         ASSERT_TRUE(t.Fire());
                         EXPECT_FALSE(t.Fire()) << "the run rests";
                         static_cast<void>(s);
                     },
                     TRunEnd::LineLost, "VER", {}},
        TOutcomeCase{"GivenUpByItsOwner",
                     [](TSequencer &s, TFakeTimer &t, TFakeLink &l) {
                         const std::size_t sent = l.sent.size();
                         s.AbandonRun();
                         EXPECT_FALSE(t.IsActive()) << "no time-out, no re-entry attempt";
                         EXPECT_EQ(QueueCount(), 0);
                         s.DispatchReceived(Reply("VER", "V1")); // late: nothing goes on
                         EXPECT_EQ(l.sent.size(), sent);
                     },
                     TRunEnd::Abandoned, "VER", {}},
        TOutcomeCase{"AbandonedByAnotherOperation",
                     [](TSequencer &s, TFakeTimer &, TFakeLink &) {
                         s.btnDoClick(TagENTM);
                         s.DispatchReceived("\r\nOK\r\n\r\n"); // the answer to ENTM ends nothing
                     },
                     TRunEnd::Abandoned, "VER", {}}),
    [](const ::testing::TestParamInfo<TOutcomeCase> &info) { return info.param.name; });

TEST_F(RunOutcomeTest, ARunThatRestedOnGarbageGoesOnAndEndsAgain)
{
    QueueAddQuery(TCmd::VER);
    QueueAddQuery(TCmd::SN);
    const int id = seq.RunQueue();
    seq.DispatchReceived("\r\n+VER:V1"); // half an answer
    ASSERT_EQ(events.ended.size(), 1U);
    EXPECT_EQ(events.ended[0].end, TRunEnd::NotUnderstood);
    EXPECT_EQ(events.ended[0].detail, "\r\n+VER:V1");
    // A time-out's re-entry moves it on, as the reply timer or a patient caller would.
    seq.tmrRcvTimer();
    seq.DispatchReceived("a");
    seq.DispatchReceived("+ok\r\n");
    seq.DispatchReceived(Reply("VER", "V1"));
    seq.DispatchReceived(Reply("SN", "42"));
    ASSERT_EQ(events.ended.size(), 2U);
    EXPECT_EQ(events.ended[1].runId, id);
    EXPECT_EQ(events.ended[1].end, TRunEnd::Completed);
}

TEST_F(RunOutcomeTest, ButtonsStartRunsOfTheirKindAndSingleCommandsNone)
{
    seq.btnDoClick(TagAskAll);
    seq.btnDoClick(TagCSQ);
    seq.btnDoClick(TagVER);
    seq.btnDoClick(TagPPPA);
    seq.btnDoClick(TagSetAll);
    ASSERT_EQ(events.started.size(), 4U);
    EXPECT_EQ(events.started[0].second, TRunKind::ReadAll);
    EXPECT_EQ(events.started[1].second, TRunKind::ReadVersion);
    EXPECT_EQ(events.started[2].second, TRunKind::CommandMode);
    EXPECT_EQ(events.started[3].second, TRunKind::WriteAll);
    // Each start ended the one before it.
    ASSERT_EQ(events.ended.size(), 3U);
    for (const TRunOutcome &o : events.ended)
        EXPECT_EQ(o.end, TRunEnd::Abandoned);
    EXPECT_TRUE(seq.RunActive());
}

} // namespace
} // namespace m845::test

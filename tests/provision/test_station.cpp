// The station's decisions: each device is run once, the next only after it has gone, and the
// one that just passed is never run again by accident.

#include "provision/station.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace m845 {
namespace {

using Step = TStationStep;
using Notice = TStationNotice;

// What the bench does, one event after another, and what the station must answer each time.
struct Event
{
    enum Kind {
        Start,
        Answers,
        Silent,
        PauseOver,
        BootMenu,
        Passed,
        Failed,
        FailedInBootLoader,
        Stop
    } kind;
    std::string identity = {};
    Step step = Step::Stop;
    Notice notice = Notice::None;
};

struct Story
{
    const char *name;
    bool byBootMenu;
    std::vector<Event> events;
    int passed;
    int failed;
};

class StationStory : public testing::TestWithParam<Story>
{
};

TEST_P(StationStory, FollowsTheBench)
{
    const Story &story = GetParam();
    TStationMachine machine(story.byBootMenu);
    int index = 0;
    for (const Event &e : story.events) {
        SCOPED_TRACE("event " + std::to_string(index++));
        TStationMove move;
        switch (e.kind) {
        case Event::Start:
            move = machine.Start();
            break;
        case Event::Answers:
            move = machine.ProbeAnswered(e.identity);
            break;
        case Event::Silent:
            move = machine.ProbeSilent();
            break;
        case Event::PauseOver:
            move = machine.PauseOver();
            break;
        case Event::BootMenu:
            move = machine.BootMenuShown();
            break;
        case Event::Passed:
        case Event::Failed:
        case Event::FailedInBootLoader:
            move = machine.JobEnded(e.kind == Event::Passed, e.identity,
                                    e.kind == Event::FailedInBootLoader);
            break;
        case Event::Stop:
            move = machine.StopRequested();
            break;
        }
        EXPECT_EQ(static_cast<int>(move.step), static_cast<int>(e.step));
        EXPECT_EQ(static_cast<int>(move.notice), static_cast<int>(e.notice));
    }
    EXPECT_EQ(machine.Passed(), story.passed);
    EXPECT_EQ(machine.Failed(), story.failed);
    EXPECT_EQ(machine.ExitCode(), story.failed == 0 ? 0 : 1);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Bench, StationStory, testing::Values(
    Story{"OneAfterAnother", false, {
        {Event::Start, "", Step::Probe},
        {Event::Silent, "", Step::Pause},
        {Event::PauseOver, "", Step::Probe},
        {Event::Answers, "A", Step::RunJob, Notice::Arrived},
        {Event::Passed, "A", Step::Pause},
        // Still there: never a second run.
        {Event::PauseOver, "", Step::Probe},
        {Event::Answers, "A", Step::Pause},
        {Event::PauseOver, "", Step::Probe},
        {Event::Silent, "", Step::Probe, Notice::Gone},
        {Event::Answers, "B", Step::RunJob, Notice::Arrived},
        {Event::Passed, "B", Step::Pause},
        // Swapped between two probes: the other identity is the next device.
        {Event::PauseOver, "", Step::Probe},
        {Event::Answers, "C", Step::RunJob, Notice::Replaced},
        {Event::Failed, "C", Step::Pause},
        {Event::PauseOver, "", Step::Probe},
        {Event::Stop, "", Step::Stop}}, 2, 1},
    Story{"ThePassedDeviceComesBack", false, {
        {Event::Start, "", Step::Probe},
        {Event::Answers, "A", Step::RunJob, Notice::Arrived},
        {Event::Passed, "A", Step::Pause},
        {Event::PauseOver, "", Step::Probe},
        {Event::Silent, "", Step::Probe, Notice::Gone},
        {Event::Answers, "A", Step::Pause, Notice::AlreadyDone},
        {Event::PauseOver, "", Step::Probe},
        {Event::Silent, "", Step::Probe, Notice::Gone},
        {Event::Answers, "B", Step::RunJob, Notice::Arrived},
        {Event::Passed, "B", Step::Pause}}, 2, 0},
    Story{"APartlyAnsweringDeviceIsWaitedOutAndAFailedOneMayBeTriedAgain", false, {
        {Event::Start, "", Step::Probe},
        // The entry pair, but no identity: still a device, whose run fails.
        {Event::Answers, "", Step::RunJob, Notice::Arrived},
        {Event::Failed, "", Step::Pause},
        {Event::PauseOver, "", Step::Probe},
        // Answering now with an identity may be the same device: only silence tells.
        {Event::Answers, "A", Step::Pause},
        {Event::PauseOver, "", Step::Probe},
        {Event::Silent, "", Step::Probe, Notice::Gone},
        {Event::Answers, "A", Step::RunJob, Notice::Arrived},
        {Event::Failed, "A", Step::Pause},
        {Event::PauseOver, "", Step::Probe},
        {Event::Answers, "", Step::Pause},
        {Event::PauseOver, "", Step::Probe},
        {Event::Silent, "", Step::Probe, Notice::Gone},
        {Event::Answers, "A", Step::RunJob, Notice::Arrived},
        {Event::Stop, "", Step::RunJob},
        {Event::Passed, "A", Step::Pause},
        {Event::Stop, "", Step::Stop}}, 1, 2},
    Story{"FirmwareUpgradesBeginAtTheBootMenu", true, {
        {Event::Start, "", Step::AwaitBootMenu},
        {Event::BootMenu, "", Step::RunJob, Notice::Arrived},
        // The run learnt the identity after the restart.
        {Event::Passed, "A", Step::Pause},
        {Event::PauseOver, "", Step::Probe},
        {Event::Answers, "A", Step::Pause},
        {Event::PauseOver, "", Step::Probe},
        {Event::Silent, "", Step::AwaitBootMenu, Notice::Gone},
        {Event::BootMenu, "", Step::RunJob, Notice::Arrived},
        {Event::Failed, "", Step::Pause},
        // The next device in its boot loader while the last is being probed.
        {Event::BootMenu, "", Step::RunJob, Notice::Replaced},
        // An upgrade that failed leaves the device in its boot loader: no probe wakes it.
        {Event::FailedInBootLoader, "", Step::AwaitBootMenu},
        {Event::BootMenu, "", Step::RunJob, Notice::Arrived},
        {Event::Passed, "B", Step::Pause},
        {Event::PauseOver, "", Step::Probe},
        // Another identity in its application: gone, but no upgrade without the boot menu.
        {Event::Answers, "C", Step::AwaitBootMenu, Notice::Gone},
        {Event::Stop, "", Step::Stop}}, 2, 2}),
    [](const testing::TestParamInfo<Story> &info) { return std::string(info.param.name); });
// clang-format on

TEST(StationBanner, FiveRowsOfLettersAndTheDevice)
{
    const std::string pass = StationBanner(true, "866714041234567", 12.4);
    const std::string fail = StationBanner(false, "(no identity)", 3.6);
    for (const std::string *banner : {&pass, &fail}) {
        EXPECT_EQ(std::count(banner->begin(), banner->end(), '\n'), 6) << *banner;
        EXPECT_EQ(banner->find('\x1B'), std::string::npos);
    }
    EXPECT_NE(pass.find("\n  PASS  866714041234567  12 s\n"), std::string::npos) << pass;
    EXPECT_NE(fail.find("\n  FAIL  (no identity)  4 s\n"), std::string::npos) << fail;
    EXPECT_NE(pass, fail);
}

} // namespace
} // namespace m845

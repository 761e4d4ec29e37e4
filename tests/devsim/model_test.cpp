// The device model on a clock of our own: every guard time and burst boundary exactly.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devsim/devicemodel.h"
#include "devsim_testutil.h"

namespace m845::devsim {
namespace {

using std::chrono::milliseconds;
using test::Joined;
using test::T0;

// A device in command mode at T0 + 1 s, entered through the pair as the tool does it.
class CommandModeTest : public ::testing::Test
{
protected:
    explicit CommandModeTest(ModelOptions options = {})
        : model(std::move(options))
    {}

    void SetUp() override
    {
        (void)model.PowerOn(T0);
        (void)model.Receive("+++", T0 + milliseconds(500));
        ASSERT_EQ(Joined(model.Tick(T0 + milliseconds(550))), "a");
        ASSERT_EQ(Joined(model.Receive("a", T0 + milliseconds(600))), "+ok\r\n");
        ASSERT_EQ(model.Mode(), DeviceMode::Command);
        now = T0 + milliseconds(1000);
    }

    std::vector<Burst> Line(const std::string &line)
    {
        now += milliseconds(200);
        return model.Receive(line, now);
    }

    DeviceModel model;
    TimePoint now;
};

TEST(DeviceModelEntry, PlusPlusPlusNeedsSilenceAfterItThenAOpensCommandMode)
{
    DeviceModel model;
    EXPECT_EQ(Joined(model.PowerOn(T0)), "\r\n[ZLM-M845]\r\n");
    EXPECT_TRUE(model.Receive("+++", T0 + milliseconds(100)).empty());
    EXPECT_EQ(model.NextDeadline(), T0 + milliseconds(150));
    EXPECT_TRUE(model.Tick(T0 + milliseconds(149)).empty());
    const auto a = model.Tick(T0 + milliseconds(150));
    ASSERT_EQ(a.size(), 1U);
    EXPECT_EQ(a[0].bytes, "a");
    EXPECT_EQ(a[0].at, T0 + milliseconds(150));
    EXPECT_EQ(model.Mode(), DeviceMode::EscapeSeen);
    const auto ok = model.Receive("a", T0 + milliseconds(160));
    ASSERT_EQ(ok.size(), 1U);
    EXPECT_EQ(ok[0].bytes, "+ok\r\n");
    EXPECT_EQ(model.Mode(), DeviceMode::Command);
    EXPECT_EQ(model.Trace(), (std::vector<std::string>{"+++", "a"}));
}

TEST(DeviceModelEntry, PlusesInsideDataAreEchoedNotTakenAsEscape)
{
    DeviceModel model;
    (void)model.PowerOn(T0);
    // Too soon after other data: no guard before it.
    (void)model.Receive("x", T0 + milliseconds(100));
    (void)model.Receive("+++", T0 + milliseconds(130));
    EXPECT_EQ(Joined(model.Tick(T0 + milliseconds(180))), "x+++");
    // More bytes before the guard ran out: one frame "+++y".
    (void)model.Receive("+++", T0 + milliseconds(400));
    (void)model.Receive("y", T0 + milliseconds(420));
    EXPECT_EQ(Joined(model.Tick(T0 + milliseconds(470))), "+++y");
    // Not alone in its burst.
    (void)model.Receive("AT+++", T0 + milliseconds(700));
    EXPECT_EQ(Joined(model.Tick(T0 + milliseconds(800))), "AT+++");
    EXPECT_EQ(model.Mode(), DeviceMode::DataTransfer);
    EXPECT_TRUE(model.Trace().empty());
}

TEST(DeviceModelEntry, DataIsEchoedAsOneFrameAfterTheLineFallsSilent)
{
    DeviceModel model;
    (void)model.PowerOn(T0);
    EXPECT_TRUE(model.Receive("AT+VER?", T0 + milliseconds(10)).empty());
    EXPECT_TRUE(model.Receive("\r\n", T0 + milliseconds(20)).empty());
    const auto echo = model.Tick(T0 + milliseconds(100));
    ASSERT_EQ(echo.size(), 1U);
    EXPECT_EQ(echo[0].bytes, "AT+VER?\r\n");
    EXPECT_EQ(echo[0].at, T0 + milliseconds(70));
}

TEST(DeviceModelEntry, LateOrWrongSecondStepFallsBackToDataTransfer)
{
    DeviceModel model;
    (void)model.PowerOn(T0);
    (void)model.Receive("+++", T0 + milliseconds(100));
    EXPECT_EQ(Joined(model.Tick(T0 + milliseconds(150))), "a");
    // The window is three seconds from the "a"; then the "a" is plain data.
    (void)model.Tick(T0 + milliseconds(3150));
    EXPECT_EQ(model.Mode(), DeviceMode::DataTransfer);
    (void)model.Receive("a", T0 + milliseconds(3200));
    EXPECT_EQ(Joined(model.Tick(T0 + milliseconds(3300))), "a");

    (void)model.Receive("+++", T0 + milliseconds(4000));
    (void)model.Tick(T0 + milliseconds(4050));
    (void)model.Receive("b", T0 + milliseconds(4100));
    EXPECT_EQ(model.Mode(), DeviceMode::DataTransfer);
    EXPECT_EQ(Joined(model.Tick(T0 + milliseconds(4200))), "b");
}

TEST(DeviceModelEntry, SilentUntilEntryHoldsBackStartMessageAndEchoOnlyUntilEntered)
{
    ModelOptions options;
    options.silentUntilEntry = true;
    DeviceModel model(options);
    EXPECT_TRUE(model.PowerOn(T0).empty());
    (void)model.Receive("AT+VER?\r\n", T0 + milliseconds(100));
    EXPECT_TRUE(model.Tick(T0 + milliseconds(200)).empty());
    (void)model.Receive("+++", T0 + milliseconds(300));
    EXPECT_EQ(Joined(model.Tick(T0 + milliseconds(350))), "a");
    EXPECT_EQ(Joined(model.Receive("a", T0 + milliseconds(400))), "+ok\r\n");
    EXPECT_EQ(Joined(model.Receive("AT+ENTM\r\n", T0 + milliseconds(500))),
              "AT+ENTM\r\n\r\nOK\r\n\r\n");
    (void)model.Receive("hi", T0 + milliseconds(600));
    EXPECT_EQ(Joined(model.Tick(T0 + milliseconds(700))), "hi");
}

struct LineCase
{
    const char *line;
    const char *reply; // with echo off
};

void PrintTo(const LineCase &c, std::ostream *os)
{
    *os << c.line;
}

class CommandLineTest : public CommandModeTest, public ::testing::WithParamInterface<LineCase>
{
};

TEST_P(CommandLineTest, AnswersInOneBurst)
{
    model.Store().Put("E", "OFF");
    const auto out = Line(std::string(GetParam().line) + "\r\n");
    ASSERT_EQ(out.size(), 1U) << GetParam().line;
    EXPECT_EQ(out[0].bytes, GetParam().reply);
    EXPECT_EQ(out[0].at, now);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineTest,
    ::testing::Values(
        LineCase{"AT+VER?", "\r\n+VER:V2.1.5\r\n\r\nOK\r\n"},
        LineCase{"AT+WKMOD?", "\r\n+WKMOD:NET\r\n\r\nOK\r\n"},
        LineCase{"at+wkmod?", "\r\n+WKMOD:NET\r\n\r\nOK\r\n"},
        LineCase{"AT+UART?", "\r\n+UART:115200,8,1,NONE,NFC\r\n\r\nOK\r\n"},
        LineCase{"AT+APN?", "\r\n+APN:CMNET,,,0\r\n\r\nOK\r\n"},
        LineCase{"AT+HEARTDT?", "\r\n+HEARTDT:7777772E6578616D706C652E636F6D\r\n\r\nOK\r\n"},
        LineCase{"AT+SOCKALK?", "\r\n+SOCKALK:ON\r\n\r\nOK\r\n"},
        LineCase{"AT+SOCKBLK?", "\r\n+SOCKBLK:OFF\r\n\r\nOK\r\n"},
        LineCase{"AT+CSQ", "\r\n+CSQ:24,99\r\n\r\nOK\r\n"},
        LineCase{"AT+SN", "\r\n+SN:0050031907010042\r\n\r\nOK\r\n"},
        LineCase{"AT", "\r\nOK\r\n\r\n"}, LineCase{"AT+WKMOD=UDC", "\r\nOK\r\n\r\n"},
        LineCase{"AT+UART=9600,8,1,NONE", "\r\nOK\r\n\r\n"},
        LineCase{"AT+SOCKA=TCP,host,80", "\r\nOK\r\n\r\n"},
        LineCase{"AT+APN=", "\r\n+ERR:-4\r\n\r\n"},
        LineCase{"AT+SOCKA=TCP,,80", "\r\n+ERR:-4\r\n\r\n"},
        LineCase{"AT+SOCKA=TCP,my host,80", "\r\n+ERR:-4\r\n\r\n"},
        LineCase{"AT+WKMOD=net", "\r\n+ERR:-4\r\n\r\n"},
        LineCase{"AT+E=YES", "\r\n+ERR:-4\r\n\r\n"},
        LineCase{"AT+HEARTDT=ABC", "\r\n+ERR:-4\r\n\r\n"},
        LineCase{"AT+VER=V9", "\r\n+ERR:-3\r\n\r\n"}, LineCase{"AT+Z?", "\r\n+ERR:-3\r\n\r\n"},
        LineCase{"AT+NOPE?", "\r\n+ERR:-2\r\n\r\n"}, LineCase{"AT+SMSEND", "\r\n+ERR:-4\r\n\r\n"},
        LineCase{"AT+SMSEND=10086,hello, world", "\r\nOK\r\n\r\n"},
        LineCase{"AT+SMSEND=10 086,hello", "\r\n+ERR:-4\r\n\r\n"},
        LineCase{"AT+SMSEND=10086,", "\r\n+ERR:-4\r\n\r\n"},
        LineCase{"AT+WKMOD?x", "\r\n+ERR:-1\r\n\r\n"}, LineCase{"AT+", "\r\n+ERR:-1\r\n\r\n"},
        LineCase{"HELLO", "\r\n+ERR:-1\r\n\r\n"}, LineCase{"AT+CFGTF", "\r\nOK\r\n\r\n"}));

TEST_F(CommandModeTest, SetIsStoredInTheDevicesOwnForm)
{
    EXPECT_EQ(Joined(Line("AT+E=OFF\r\n")), "AT+E=OFF\r\n\r\nOK\r\n\r\n");
    (void)Line("AT+HEARTDT=6162ab\r\n");
    (void)Line("AT+UART=9600,8,1,EVEN\r\n");
    EXPECT_EQ(Joined(Line("AT+HEARTDT?\r\n")), "\r\n+HEARTDT:6162AB\r\n\r\nOK\r\n");
    EXPECT_EQ(Joined(Line("AT+UART?\r\n")), "\r\n+UART:9600,8,1,EVEN,NFC\r\n\r\nOK\r\n");
    // A refused value leaves the old one.
    (void)Line("AT+UART=9601,8,1,EVEN\r\n");
    EXPECT_EQ(model.Store().Get("UART"), "9600,8,1,EVEN,NFC");
}

TEST_F(CommandModeTest, EchoLeadsTheAnswerInTheSameBurst)
{
    const auto out = Line("AT+WKMOD?\r\n");
    ASSERT_EQ(out.size(), 1U);
    EXPECT_EQ(out[0].bytes, "AT+WKMOD?\r\n\r\n+WKMOD:NET\r\n\r\nOK\r\n");
}

TEST_F(CommandModeTest, LineEndsMayBeSplitOrLoneCarriageReturns)
{
    model.Store().Put("E", "OFF");
    now += milliseconds(100);
    EXPECT_TRUE(model.Receive("AT+WK", now).empty());
    EXPECT_TRUE(model.Receive("MOD?\r", now + milliseconds(300)).size() == 1);
    // The LF that completes the pair is swallowed, not taken for an empty line.
    EXPECT_TRUE(model.Receive("\n", now + milliseconds(310)).empty());
    EXPECT_EQ(Joined(model.Receive("AT+E?\rAT+VER?\r\n", now + milliseconds(400))),
              "\r\n+E:OFF\r\n\r\nOK\r\n\r\n+VER:V2.1.5\r\n\r\nOK\r\n");
    EXPECT_EQ(model.Trace(),
              (std::vector<std::string>{"+++", "a", "AT+WKMOD?", "AT+E?", "AT+VER?"}));
}

TEST_F(CommandModeTest, RestartAnswersOkThenPrintsTheStartMessageInDataMode)
{
    model.Store().Put("STMSG", "HELLO");
    EXPECT_EQ(Joined(Line("AT+Z\r\n")), "AT+Z\r\n\r\nOK\r\n\r\n");
    EXPECT_EQ(model.Mode(), DeviceMode::Restarting);
    EXPECT_TRUE(model.Receive("AT+VER?\r\n", now + milliseconds(100)).empty());
    const auto start = model.Tick(now + milliseconds(500));
    ASSERT_EQ(start.size(), 1U);
    EXPECT_EQ(start[0].bytes, "\r\nHELLO\r\n");
    EXPECT_EQ(model.Mode(), DeviceMode::DataTransfer);
    // The line sent during the restart was lost, not queued.
    EXPECT_TRUE(model.Tick(now + milliseconds(2000)).empty());

    (void)model.Receive("+++", now + milliseconds(3000));
    (void)model.Tick(now + milliseconds(3050));
    (void)model.Receive("a", now + milliseconds(3100));
    EXPECT_EQ(Joined(model.Receive("AT+REBOOT\r\n", now + milliseconds(3200))),
              "AT+REBOOT\r\n\r\nOK\r\n\r\n");
    EXPECT_EQ(model.Mode(), DeviceMode::Restarting);
}

TEST_F(CommandModeTest, EntmReturnsToDataTransferAndRestOfBurstIsData)
{
    model.Store().Put("E", "OFF");
    EXPECT_EQ(Joined(Line("AT+ENTM\r\nxyz")), "\r\nOK\r\n\r\n");
    EXPECT_EQ(model.Mode(), DeviceMode::DataTransfer);
    EXPECT_EQ(Joined(model.Tick(now + milliseconds(60))), "xyz");
}

TEST_F(CommandModeTest, ClearRestoresFactoryAndReldRestoresUserDefaults)
{
    model.Store().Put("E", "OFF");
    (void)Line("AT+WKMOD=SMS\r\n");
    (void)Line("AT+CFGTF\r\n");
    (void)Line("AT+WKMOD=UDC\r\n");
    (void)Line("AT+RELD\r\n");
    EXPECT_EQ(model.Store().Get("WKMOD"), "SMS");
    EXPECT_EQ(Joined(Line("AT+CLEAR\r\n")), "\r\nOK\r\n\r\n");
    EXPECT_EQ(model.Store().Get("WKMOD"), "NET");
    EXPECT_EQ(model.Store().Get("E"), "ON");
}

TEST_F(CommandModeTest, HelpIsOneRecognisableAnswer)
{
    const std::string out = Joined(Line("AT+H\r\n"));
    EXPECT_TRUE(out.starts_with("AT+H\r\n\r\n+H:"));
    EXPECT_TRUE(out.ends_with("\r\n\r\nOK\r\n"));
    // Only the end carries a blank line, so a reader cuts the value there.
    EXPECT_EQ(out.find("\r\n\r\n", 8), out.size() - 8);
}

TEST_F(CommandModeTest, PlusPlusPlusInCommandModeIsAnsweredAgain)
{
    now += milliseconds(500);
    EXPECT_TRUE(model.Receive("+++", now).empty());
    EXPECT_EQ(Joined(model.Tick(now + milliseconds(50))), "a");
    EXPECT_EQ(Joined(model.Receive("a", now + milliseconds(100))), "+ok\r\n");
    EXPECT_EQ(model.Mode(), DeviceMode::Command);
    // A "+++" that starts a line with no guard before it is just part of that line.
    (void)model.Receive("AT", now + milliseconds(200));
    EXPECT_FALSE(model.NextDeadline().has_value());
}

TEST_F(CommandModeTest, OverlongLineIsRefusedNotStored)
{
    model.Store().Put("E", "OFF");
    const std::string line = "AT+STMSG=" + std::string(5000, 'x') + "\r\n";
    EXPECT_EQ(Joined(Line(line)), "\r\n+ERR:-1\r\n\r\n");
    EXPECT_EQ(model.Store().Get("STMSG"), "[ZLM-M845]");
}

ModelOptions FaultOptions()
{
    ModelOptions options;
    options.errCommands = {"WKMOD"};
    options.splitCommands = {"VER"};
    options.ignoreCommands = {"SOCKATO"};
    return options;
}

class FaultTest : public CommandModeTest
{
protected:
    FaultTest()
        : CommandModeTest(FaultOptions())
    {}
};

TEST_F(FaultTest, ErrCommandIsRefusedWhateverTheForm)
{
    EXPECT_EQ(Joined(Line("AT+WKMOD?\r\n")), "AT+WKMOD?\r\n\r\n+ERR:-5\r\n\r\n");
    EXPECT_EQ(Joined(Line("AT+WKMOD=NET\r\n")), "AT+WKMOD=NET\r\n\r\n+ERR:-5\r\n\r\n");
    EXPECT_EQ(Joined(Line("AT+E?\r\n")), "AT+E?\r\n\r\n+E:ON\r\n\r\nOK\r\n");
}

TEST_F(FaultTest, IgnoredSetIsAnsweredOkAndTheOldValueStays)
{
    model.Store().Put("E", "OFF");
    const std::string before = model.Store().Get("SOCKATO");
    EXPECT_EQ(Joined(Line("AT+SOCKATO=99\r\n")), "\r\nOK\r\n\r\n");
    EXPECT_EQ(Joined(Line("AT+SOCKATO?\r\n")), "\r\n+SOCKATO:" + before + "\r\n\r\nOK\r\n");
    EXPECT_EQ(Joined(Line("AT+SOCKBTO=99\r\n")), "\r\nOK\r\n\r\n");
    EXPECT_EQ(model.Store().Get("SOCKBTO"), "99");
}

TEST_F(FaultTest, SplitAnswerLeavesInTwoBurstsAGapApart)
{
    const auto out = Line("AT+VER?\r\n");
    ASSERT_EQ(out.size(), 2U);
    EXPECT_EQ(out[0].bytes + out[1].bytes, "AT+VER?\r\n\r\n+VER:V2.1.5\r\n\r\nOK\r\n");
    EXPECT_FALSE(out[0].bytes.empty());
    EXPECT_EQ(out[1].at - out[0].at, milliseconds(100));
}

} // namespace
} // namespace m845::devsim

namespace m845::devsim {
namespace {

using std::chrono::milliseconds;
using test::Joined;

ModelOptions SignalOptions()
{
    ModelOptions options;
    options.csqWalk = true;
    options.seed = 7;
    options.linkDelay = milliseconds(3000);
    options.linkDropEvery = milliseconds(20000);
    return options;
}

class SignalTest : public CommandModeTest
{
protected:
    SignalTest()
        : CommandModeTest(SignalOptions())
    {}

    std::string LinkA(TimePoint at)
    {
        now = at;
        const std::string answer = Joined(model.Receive("AT+SOCKALK?\r\n", at));
        return answer.substr(answer.find(':') + 1, answer.find("\r\n\r\n") - answer.find(':') - 1);
    }
};

// Powered at T0, in command mode without echo at T0 + 600 ms.
void EnterCommandMode(DeviceModel &model)
{
    model.Store().Put("E", "OFF");
    (void)model.PowerOn(test::T0);
    (void)model.Receive("+++", test::T0 + milliseconds(500));
    (void)model.Tick(test::T0 + milliseconds(550));
    (void)model.Receive("a", test::T0 + milliseconds(600));
}

// The CSQ answers of a device with the given options, in command mode.
std::vector<std::string> CsqAnswers(const ModelOptions &options, int count)
{
    DeviceModel model(options);
    EnterCommandMode(model);
    std::vector<std::string> answers;
    for (int i = 0; i < count; ++i) {
        const std::string answer
            = Joined(model.Receive("AT+CSQ\r\n", test::T0 + milliseconds(700 + 100 * i)));
        answers.push_back(answer.substr(answer.find(':') + 1, answer.find(",99\r\n") - 7));
    }
    return answers;
}

TEST(DeviceModelSignal, TheSignalWandersAFewStepsAtATimeTheSameForTheSameSeed)
{
    const std::vector<std::string> walk = CsqAnswers(SignalOptions(), 300);
    EXPECT_EQ(CsqAnswers(SignalOptions(), 300), walk);
    ModelOptions other = SignalOptions();
    other.seed = 8;
    EXPECT_NE(CsqAnswers(other, 300), walk);
    int last = 24;
    int lost = 0;
    for (const std::string &answer : walk) {
        const int csq = std::stoi(answer);
        if (csq == 99) {
            ++lost;
            continue;
        }
        EXPECT_LE(std::abs(csq - last), 3);
        EXPECT_GE(csq, 0);
        EXPECT_LE(csq, 31);
        last = csq;
    }
    EXPECT_GT(lost, 0);
    EXPECT_LT(lost, 40);
}

TEST(DeviceModelSignal, AListIsAnsweredInTurn)
{
    ModelOptions options;
    options.csqList = {31, 5, 99};
    DeviceModel model(options);
    EnterCommandMode(model);
    std::string answers;
    for (int i = 0; i < 4; ++i)
        answers += Joined(model.Receive("AT+CSQ?\r\n", test::T0 + milliseconds(700 + 100 * i)));
    EXPECT_EQ(answers, "\r\n+CSQ:31,99\r\n\r\nOK\r\n\r\n+CSQ:5,99\r\n\r\nOK\r\n"
                       "\r\n+CSQ:99,99\r\n\r\nOK\r\n\r\n+CSQ:31,99\r\n\r\nOK\r\n");
    EXPECT_EQ(model.Store().Get("CSQ"), "31,99");
}

TEST_F(SignalTest, ALinkComesUpAfterTheDelayAndDropsNowAndThen)
{
    model.Store().Put("E", "OFF");
    // Socket A is enabled from the factory: its link counts from the start at T0.
    EXPECT_EQ(LinkA(test::T0 + milliseconds(2900)), "OFF");
    EXPECT_EQ(LinkA(test::T0 + milliseconds(3000)), "ON");
    // Switched off and on again: down at once, up again after the delay.
    EXPECT_EQ(Joined(Line("AT+SOCKAEN=OFF\r\n")), "\r\nOK\r\n\r\n");
    EXPECT_EQ(LinkA(now + milliseconds(100)), "OFF");
    EXPECT_EQ(Joined(Line("AT+SOCKAEN=ON\r\n")), "\r\nOK\r\n\r\n");
    const TimePoint enabled = now;
    EXPECT_EQ(LinkA(enabled + milliseconds(2999)), "OFF");
    EXPECT_EQ(LinkA(enabled + milliseconds(3000)), "ON");
    // Over ten minutes, second by second: it drops and comes back, but is mostly up.
    int up = 0;
    int drops = 0;
    bool wasUp = true;
    for (int s = 4; s < 600; ++s) {
        const bool isUp = LinkA(enabled + milliseconds(1000 * s)) == "ON";
        up += isUp ? 1 : 0;
        drops += wasUp && !isUp ? 1 : 0;
        wasUp = isUp;
    }
    EXPECT_GE(drops, 15);
    EXPECT_LE(drops, 60);
    EXPECT_GT(up, 400);
    EXPECT_EQ(Joined(model.Receive("AT+SOCKBLK?\r\n", now + milliseconds(1))),
              "\r\n+SOCKBLK:OFF\r\n\r\nOK\r\n")
        << "socket B is not enabled";
}

} // namespace
} // namespace m845::devsim

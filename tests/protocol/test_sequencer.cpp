#include "protocol/sequencer.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/fake_panel.h"
#include "lang/langlist.h"
#include "protocol/commands.h"
#include "protocol/fakes.h"
#include "protocol/reply.h"

namespace m845::test {
namespace {

using namespace std::string_literals;

std::string Query(std::string_view name)
{
    return "AT+" + std::string(name) + "?\r\n";
}

std::string Reply(std::string_view name, std::string_view value)
{
    return "\r\n+" + std::string(name) + ":" + std::string(value) + "\r\n\r\nOK\r\n";
}

const std::string kOk = "\r\nOK\r\n\r\n";

// The read-all order after VER, written out apart from the code's table.
const std::vector<std::string> kRestNames = {
    "E",        "WKMOD",   "CMDPW",   "STMSG",   "RSTIM",   "SN",      "ICCID",   "IMEI",
    "UART",     "UARTFT",  "UARTFL",  "APN",     "SOCKA",   "SOCKB",   "SOCKAEN", "SOCKBEN",
    "SOCKASL",  "SOCKBSL", "SOCKALK", "SOCKBLK", "SOCKATO", "SOCKBTO", "SOCKIND", "SOCKRSTIM",
    "REGEN",    "REGTP",   "REGDT",   "REGSND",  "CLOUD",   "ID",      "HEARTEN", "HEARTDT",
    "HEARTSND", "HEARTTM", "HTPTP",   "HTPURL",  "HTPSV",   "HTPHD",   "HTPTO",   "HTPFLT",
};

class SequencerTest : public ::testing::Test, protected TSequencerRig
{
protected:
    SequencerTest()
    {
        rcv.SetInterval(5000);
        QueueClear();
        seq.SetClock([this] { return now; });
    }

    // Ends the running pause; the queued line goes out.
    void EndPause()
    {
        ASSERT_TRUE(seq.Pausing());
        ASSERT_EQ(pause.Interval(), seq.CommandDelay());
        now += pause.Interval();
        ASSERT_TRUE(pause.Fire());
    }
    [[nodiscard]] std::string LastSent() const { return link.sent.empty() ? "" : link.sent.back(); }

    std::int64_t now = 1000;
};

TEST_F(SequencerTest, ReadAllFromDataTransferFollowsTheWorkedExample)
{
    seq.btnDoClick(TagAskAll);
    EXPECT_EQ(seq.OperationMode(), TOperationMode::ReadAll);
    EXPECT_TRUE(link.sent.empty()) << "nothing goes out before the pause ends";
    EndPause();
    EXPECT_EQ(link.sent, std::vector{Query("VER")});
    EXPECT_TRUE(rcv.IsActive());

    // Silence: the entry pair goes in before the query, "+++" leaves at once, timed once more.
    ASSERT_TRUE(rcv.Fire());
    EXPECT_EQ(LastSent(), "+++");
    EXPECT_TRUE(rcv.IsActive());
    EXPECT_FALSE(seq.Pausing());
    ASSERT_EQ(QueueCount(), 3);
    EXPECT_EQ(QueueEntry(0), "+++");
    EXPECT_EQ(QueueEntry(1), "a");
    EXPECT_EQ(QueueEntry(2), Query("VER"));
    EXPECT_EQ(QueueCursor, 0);

    seq.DispatchReceived("a");
    EXPECT_EQ(progress.shown.back(), std::make_pair(0, 2));
    EXPECT_EQ(LastSent(), "a") << "the second step is not paused";
    EXPECT_TRUE(rcv.IsActive());

    seq.DispatchReceived("+ok\r\n");
    EXPECT_EQ(progress.shown.back(), std::make_pair(1, 2));
    EXPECT_EQ(LastSent(), "a");
    EndPause();
    EXPECT_EQ(LastSent(), Query("VER"));

    seq.DispatchReceived(Reply("VER", "V2.0.0"));
    EXPECT_EQ(QueueCount(), 43);
    EXPECT_EQ(progress.shown.back(), std::make_pair(2, 42));
    EndPause();
    EXPECT_EQ(LastSent(), Query("E"));

    for (std::size_t i = 0; i < kRestNames.size(); ++i) {
        ASSERT_EQ(LastSent(), Query(kRestNames[i])) << i;
        seq.DispatchReceived(Reply(kRestNames[i], "1"));
        if (i + 1 < kRestNames.size())
            EndPause();
    }
    EXPECT_FALSE(seq.Pausing());
    EXPECT_FALSE(progress.visible);
    EXPECT_EQ(progress.hides, 1);
    EXPECT_EQ(QueueCursor, 42);
    ASSERT_FALSE(log.entries.empty());
    EXPECT_EQ(log.entries.back(), (TLogEntry{TEntryKind::Info, LangText("info_DoOver")}));
    EXPECT_EQ(link.sent.size(), 1 + 1 + 1 + 1 + 40U);
}

TEST_F(SequencerTest, ReadAllAsksForMeidOnAnAlderDevice)
{
    seq.btnDoClick(TagAskAll);
    EndPause();
    seq.DispatchReceived(Reply("HDVER", "1.0.5"));
    EXPECT_EQ(applier.IdentityCmd(), TCmd::MEID);
    EXPECT_EQ(QueueEntry(8), Query("MEID"));
}

TEST_F(SequencerTest, ErrorRepliesAreLoggedAndSkipped)
{
    seq.btnDoClick(TagAskAll);
    EndPause();
    seq.DispatchReceived(Reply("VER", "V1"));
    EndPause();
    ASSERT_EQ(LastSent(), Query("E"));
    const std::string refused = "\r\n+ERR:-2\r\n";
    seq.DispatchReceived(refused);
    EXPECT_EQ(log.Of(TEntryKind::Warn), std::vector{refused});
    EXPECT_TRUE(log.Of(TEntryKind::Rx).size() == 1) << "a refused block is not parsed";
    EXPECT_EQ(QueueCursor, 2);
    EndPause();
    EXPECT_EQ(LastSent(), Query("WKMOD"));
}

TEST_F(SequencerTest, ARefusedEntryPairIsSkippedWhole)
{
    seq.btnDoClick(TagAskAll);
    EndPause();
    ASSERT_TRUE(rcv.Fire());
    ASSERT_EQ(LastSent(), "+++");
    seq.DispatchReceived("ERROR +ERR:-1\r\n");
    EXPECT_EQ(QueueCursor, 2) << "\"+++\" and the \"a\" after it are skipped";
    EndPause();
    EXPECT_EQ(LastSent(), Query("VER"));
}

TEST_F(SequencerTest, AnErrorOnTheLastEntryEndsTheRunSilently)
{
    seq.btnDoClick(TagVER);
    EndPause();
    seq.DispatchReceived("+ERR:-5");
    EndPause();
    EXPECT_EQ(link.sent.size(), 1U) << "past the end nothing is sent";
    EXPECT_FALSE(rcv.IsActive());
    EXPECT_TRUE(log.Of(TEntryKind::Info).empty());
}

TEST_F(SequencerTest, SilenceMidRunInsertsThePairBeforeTheUnansweredQuery)
{
    seq.btnDoClick(TagAskAll);
    EndPause();
    seq.DispatchReceived(Reply("VER", "V1"));
    EndPause();
    seq.DispatchReceived(Reply("E", "ON"));
    EndPause();
    ASSERT_EQ(LastSent(), Query("WKMOD"));
    ASSERT_TRUE(rcv.Fire());
    EXPECT_EQ(LastSent(), "+++");
    EXPECT_EQ(QueueEntry(2), "+++");
    EXPECT_EQ(QueueEntry(3), "a");
    EXPECT_EQ(QueueEntry(4), Query("WKMOD"));
    EXPECT_EQ(QueueCount(), 43);

    // Exactly one attempt: a second silence only says so, once.
    ASSERT_TRUE(rcv.Fire());
    EXPECT_EQ(LastSent(), "+++");
    EXPECT_EQ(log.Of(TEntryKind::Warn), std::vector{LangText("info_NoAnswer")});
    EXPECT_FALSE(rcv.Fire());

    seq.DispatchReceived("a");
    EXPECT_EQ(LastSent(), "a");
    seq.DispatchReceived("a+ok\r\n");
    EndPause();
    EXPECT_EQ(LastSent(), Query("WKMOD")) << "the unanswered query goes out again";
}

TEST_F(SequencerTest, ATimeoutWithThePairAlreadyInPlaceAddsNothing)
{
    seq.btnDoClick(TagPPPA);
    ASSERT_EQ(LastSent(), "+++");
    seq.DispatchReceived("a");
    ASSERT_EQ(LastSent(), "a");
    ASSERT_TRUE(rcv.Fire());
    EXPECT_EQ(QueueCount(), 3);
    EXPECT_EQ(QueueEntry(1), "+++");
    EXPECT_EQ(QueueEntry(2), "a");
    EXPECT_EQ(LastSent(), "+++");
}

TEST_F(SequencerTest, EnterCommandModeCompletes)
{
    seq.btnDoClick(TagPPPA);
    EXPECT_EQ(link.sent, std::vector{"+++"s});
    EXPECT_FALSE(seq.Pausing());
    seq.DispatchReceived("a");
    EXPECT_EQ(progress.shown, (std::vector<std::pair<int, int>>{{0, 1}}));
    EXPECT_EQ(link.sent, (std::vector{"+++"s, "a"s}));
    seq.DispatchReceived("+ok\r\n");
    EXPECT_EQ(log.Of(TEntryKind::Info), std::vector{LangText("info_DoOver")});
    EXPECT_EQ(link.sent.size(), 2U);
}

TEST_F(SequencerTest, QueryVersionAsksOnlyForTheVersion)
{
    seq.btnDoClick(TagAskAll);
    EndPause();
    seq.btnDoClick(TagVER);
    EXPECT_EQ(seq.OperationMode(), TOperationMode::None);
    EndPause();
    seq.DispatchReceived(Reply("VER", "V3.1.2"));
    EXPECT_EQ(QueueCount(), 1);
    EXPECT_FALSE(seq.Pausing());
    EXPECT_EQ(log.Of(TEntryKind::Info), std::vector{LangText("info_DoOver")});
    EXPECT_EQ(link.sent, (std::vector{Query("VER"), Query("VER")}));
}

TEST_F(SequencerTest, SingleCommandsGoOutAtOnceAndTouchNoQueue)
{
    const struct
    {
        int tag;
        const char *line;
    } rows[] = {{TagH, "AT+H\r\n"},
                {TagZ, "AT+Z\r\n"},
                {TagCFGTF, "AT+CFGTF\r\n"},
                {TagRELD, "AT+RELD\r\n"},
                {TagCLEAR, "AT+CLEAR\r\n"},
                {TagCSQ, "AT+CSQ\r\n"},
                {TagSysRestart, "AT+REBOOT\r\n"}};
    QueueAdd("keep");
    for (const auto &row : rows) {
        seq.btnDoClick(row.tag);
        EXPECT_EQ(LastSent(), row.line);
        EXPECT_FALSE(rcv.IsActive());
        EXPECT_FALSE(seq.Pausing());
    }
    EXPECT_EQ(QueueCount(), 1);
    const auto sentBefore = link.sent.size();
    seq.btnDoClick(TagCNUM);
    seq.btnDoClick(99);
    EXPECT_EQ(link.sent.size(), sentBefore);

    seq.btnDoClick(TagENTM);
    EXPECT_EQ(LastSent(), "AT+ENTM\r\n");
    EXPECT_EQ(QueueCount(), 0);
}

TEST_F(SequencerTest, ASingleCommandsAnswerAdvancesARestingRun)
{
    seq.btnDoClick(TagAskAll);
    EndPause();
    seq.DispatchReceived(Reply("VER", "V1"));
    EndPause();
    seq.DispatchReceived("\r\n+E:O"); // half a reply: the run rests
    EXPECT_EQ(log.Of(TEntryKind::RxOther), std::vector{"\r\n+E:O"s});
    EXPECT_FALSE(rcv.IsActive());
    EXPECT_FALSE(seq.Pausing());
    seq.DispatchReceived("N\r\n\r\nOK\r\n");
    EXPECT_EQ(log.Of(TEntryKind::RxOther).size(), 2U);
    EXPECT_EQ(QueueCursor, 1);

    seq.btnDoClick(TagCSQ);
    EXPECT_EQ(LastSent(), "AT+CSQ\r\n");
    seq.DispatchReceived(Reply("CSQ", "20,99"));
    EXPECT_EQ(QueueCursor, 2);
    EndPause();
    EXPECT_EQ(LastSent(), Query("WKMOD"));
}

TEST_F(SequencerTest, ASingleCommandsAnswerAfterTheRunLogsCompletionAgain)
{
    seq.btnDoClick(TagENTM);
    seq.DispatchReceived(kOk);
    seq.btnDoClick(TagZ);
    seq.DispatchReceived(Reply("Z", ""));
    EXPECT_EQ(log.Of(TEntryKind::Info),
              (std::vector{LangText("info_DoOver"), LangText("info_Restarting"),
                           LangText("info_DoOver")}));
}

TEST_F(SequencerTest, AClosedPortWarnsTwiceOneIntervalApartThenRests)
{
    link.open = false;
    seq.btnDoClick(TagAskAll);
    EndPause();
    EXPECT_EQ(log.Of(TEntryKind::Warn).size(), 1U);
    EXPECT_TRUE(rcv.IsActive()) << "a queued send arms the timer even with the port closed";
    ASSERT_TRUE(rcv.Fire());
    EXPECT_EQ(log.Of(TEntryKind::Warn).size(), 2U);
    EXPECT_FALSE(rcv.IsActive());
    EXPECT_FALSE(seq.Pausing());
    EXPECT_FALSE(rcv.Fire());
    EXPECT_FALSE(pause.Fire());
    EXPECT_EQ(log.Of(TEntryKind::Warn).size(), 2U);
    EXPECT_TRUE(link.sent.empty());
}

TEST_F(SequencerTest, APortThatClosesMidRunLeavesTheRunResting)
{
    seq.btnDoClick(TagAskAll);
    EndPause();
    seq.DispatchReceived(Reply("VER", "V1"));
    link.open = false;
    EndPause();
    ASSERT_TRUE(rcv.Fire());
    EXPECT_EQ(log.Of(TEntryKind::Warn).size(), 2U);
    EXPECT_FALSE(rcv.IsActive());
    EXPECT_FALSE(seq.Pausing());
}

TEST_F(SequencerTest, BlocksDuringThePauseWaitForTheLineAndKeepTheirOrder)
{
    seq.btnDoClick(TagAskAll);
    EndPause();
    seq.DispatchReceived(Reply("VER", "V1"));
    ASSERT_TRUE(seq.Pausing());
    const auto logged = log.entries.size();
    seq.DispatchReceived("noise");
    seq.DispatchReceived(Reply("E", "ON"));
    seq.DispatchReceived("+ERR:-3");
    EXPECT_EQ(log.entries.size(), logged) << "held blocks are not handled before the send";
    EXPECT_EQ(LastSent(), Query("VER"));

    EndPause();
    // AT+E? first, then the three blocks in arrival order; the E reply starts the next pause,
    // which holds the error block until AT+WKMOD? has gone out.
    ASSERT_EQ(log.entries.size(), logged + 4);
    EXPECT_EQ(log.entries[logged], (TLogEntry{TEntryKind::Tx, Query("E")}));
    EXPECT_EQ(log.entries[logged + 1], (TLogEntry{TEntryKind::RxOther, "noise"}));
    EXPECT_EQ(log.entries[logged + 2],
              (TLogEntry{TEntryKind::Warn, LangText("info_NotUnderstood")}));
    EXPECT_EQ(log.entries[logged + 3], (TLogEntry{TEntryKind::Rx, Reply("E", "ON")}));
    EXPECT_TRUE(panel.Checked(PanelCheck::E));
    ASSERT_TRUE(seq.Pausing());

    EndPause();
    ASSERT_EQ(log.entries.size(), logged + 6);
    EXPECT_EQ(log.entries[logged + 4], (TLogEntry{TEntryKind::Tx, Query("WKMOD")}));
    EXPECT_EQ(log.entries[logged + 5], (TLogEntry{TEntryKind::Warn, "+ERR:-3"}));
    EXPECT_EQ(QueueCursor, 3);
    EndPause();
    EXPECT_EQ(LastSent(), Query("CMDPW"));
}

TEST_F(SequencerTest, ATimeoutDuringThePauseComesAfterTheLine)
{
    seq.btnDoClick(TagAskAll);
    EndPause();
    // The echo of the query does not stop the reply timer; the run then rests on it.
    seq.DispatchReceived(Query("VER"));
    ASSERT_TRUE(rcv.IsActive());
    seq.btnDoClick(TagSetAll);
    ASSERT_TRUE(seq.Pausing());
    ASSERT_TRUE(rcv.Fire());
    EXPECT_EQ(LastSent(), Query("VER"));
    EndPause();
    ASSERT_GE(link.sent.size(), 2U);
    EXPECT_TRUE(QueueEntry(2).starts_with("AT+UART="));
    EXPECT_EQ(link.sent[link.sent.size() - 2], QueueEntry(2));
    EXPECT_EQ(LastSent(), "+++");
    EXPECT_EQ(QueueEntry(0), "+++");
    EXPECT_EQ(QueueEntry(1), "a");
}

TEST_F(SequencerTest, AButtonDuringThePauseWaitsForTheLine)
{
    seq.btnDoClick(TagAskAll);
    ASSERT_TRUE(seq.Pausing());
    seq.DispatchReceived("late");
    seq.btnDoClick(TagPPPA);
    EXPECT_TRUE(link.sent.empty()) << "nothing goes out before the pause ends";
    EndPause();
    // The due line first, then the held block, then the press, which starts afresh.
    EXPECT_EQ(link.sent, (std::vector{Query("VER"), "+++"s}));
    EXPECT_EQ(log.Of(TEntryKind::RxOther), std::vector{"late"s});
    EXPECT_EQ(QueueCount(), 2);
    EXPECT_EQ(QueueCursor, 0);
    EXPECT_FALSE(seq.Pausing());
}

TEST_F(SequencerTest, HeldAnswersAndPressesAreHandledInArrivalOrder)
{
    seq.btnDoClick(TagPPPA);
    seq.DispatchReceived("a");
    seq.DispatchReceived("+ok\r\n");
    ASSERT_EQ(link.sent.size(), 2U);
    seq.btnDoClick(TagVER);
    ASSERT_TRUE(seq.Pausing());
    seq.DispatchReceived("a"); // a stray answer: it completes the one-line run
    seq.btnDoClick(TagCSQ);
    EXPECT_EQ(link.sent.size(), 2U);
    EndPause();
    EXPECT_EQ(link.sent, (std::vector{"+++"s, "a"s, Query("VER"), "AT+CSQ\r\n"s}));
    EXPECT_EQ(seq.OperationMode(), TOperationMode::None);
    EXPECT_FALSE(seq.Pausing());
}

TEST_F(SequencerTest, TerminalSendsDuringThePauseKeepTheirPlaceInLine)
{
    seq.btnDoClick(TagAskAll);
    EndPause();
    seq.DispatchReceived(Reply("VER", "V1"));
    ASSERT_TRUE(seq.Pausing());
    // The reply to E arrives during the pause, then the technician sends from the terminal,
    // which also ends the operation.
    seq.DispatchReceived("stray");
    seq.RunAfterPause([&] {
        seq.SetOperationMode(TOperationMode::None);
        link.SendData("typed");
    });
    EXPECT_EQ(link.sent.size(), 1U) << "nothing typed overtakes the queued line";
    EXPECT_EQ(seq.OperationMode(), TOperationMode::ReadAll);
    EndPause();
    EXPECT_EQ(link.sent, (std::vector{Query("VER"), Query("E"), "typed"s}));
    EXPECT_EQ(log.Of(TEntryKind::RxOther), std::vector{"stray"s});
    EXPECT_EQ(seq.OperationMode(), TOperationMode::None);
    // Outside a pause the action runs at once.
    seq.RunAfterPause([&] { link.SendData("now"); });
    EXPECT_EQ(LastSent(), "now");
}

TEST_F(SequencerTest, ErrorRepliesReachTheLogAsUtf8)
{
    seq.btnDoClick(TagPPPA);
    seq.DispatchReceived("a");
    seq.DispatchReceived("\r\n+ERR:\xB4\xED\xCE\xF3\r\n"); // 错误 in GBK
    EXPECT_EQ(log.Of(TEntryKind::Warn), std::vector{"\r\n+ERR:\xE9\x94\x99\xE8\xAF\xAF\r\n"s});
}

TEST_F(SequencerTest, AnEchoKeepsTheTimerAndIsOtherData)
{
    seq.btnDoClick(TagPPPA);
    seq.DispatchReceived("+++");
    EXPECT_TRUE(rcv.IsActive());
    EXPECT_EQ(log.Of(TEntryKind::RxOther), std::vector{"+++"s});
    EXPECT_EQ(QueueCursor, 0);
}

TEST_F(SequencerTest, HostileBlocksAreLoggedAndNeverCrash)
{
    seq.btnDoClick(TagAskAll);
    EndPause();
    std::mt19937 random(845);
    std::string binary(4096, '\0');
    for (char &c : binary)
        c = static_cast<char>(random() & 0xFF);
    // No line ends, so no recognised form can slip in by chance.
    for (std::size_t i = 0; i + 1 < binary.size(); ++i)
        if (binary[i] == '\r' && binary[i + 1] == '\n')
            binary[i] = '.';
    std::string withNul("\0\0a\0"s);
    for (const std::string &block : {binary, withNul, std::string(4096, '+')})
        seq.DispatchReceived(block);
    EXPECT_EQ(log.Of(TEntryKind::RxOther).size(), 3U);
    EXPECT_EQ(log.Of(TEntryKind::RxOther)[1], withNul) << "NUL bytes reach the log";

    // Recognised, but too many "+" to be parsed: the run still moves on.
    seq.DispatchReceived("\r\n+VER:+++++\r\n\r\nOK\r\n");
    EXPECT_EQ(QueueCount(), 1) << "not parsed, so nothing appended";
    EXPECT_EQ(log.Of(TEntryKind::Info), std::vector{LangText("info_DoOver")});
}

// With the echo on, the query's line end leaves a blank line before the "+": the first part of
// an answer cut in two is no whole answer, so no cut value reaches the panel.
TEST_F(SequencerTest, AnEchoedAnswerCutInTwoAppliesNothingAndSaysSo)
{
    panel.SetEditText(PanelEdit::StMsg, "kept");
    seq.btnDoClick(TagAskAll);
    EndPause();
    seq.DispatchReceived(Reply("VER", "V1"));
    EndPause();
    seq.DispatchReceived(Query("STMSG") + "\r\n+STMSG:[ZL");
    EXPECT_EQ(panel.EditText(PanelEdit::StMsg), "kept");
    EXPECT_EQ(log.Of(TEntryKind::Warn), std::vector{LangText("info_NotUnderstood")});
    EXPECT_EQ(QueueCursor, 1);
    // The rest is no answer either: the run rests, and the warning is not repeated.
    seq.DispatchReceived("M845]\r\n\r\nOK\r\n");
    EXPECT_EQ(panel.EditText(PanelEdit::StMsg), "kept");
    EXPECT_EQ(QueueCursor, 1);
    EXPECT_EQ(log.Of(TEntryKind::Warn).size(), 1U);
}

TEST_F(SequencerTest, WriteAllSendsTheBuiltListAndCompletes)
{
    panel.SetRadioChecked(PanelRadio::NetTran, true);
    panel.SetChecked(PanelCheck::RegEn, true);
    panel.SetComboIndex(PanelCombo::RegTp, 1);
    applier.SetHardwareSign(THdVerSign::HdAlder);
    seq.btnDoClick(TagSetAll);
    EXPECT_EQ(seq.OperationMode(), TOperationMode::WriteAll);
    EXPECT_EQ(applier.HardwareSign(), THdVerSign::HdCedar);
    const int count = QueueCount();
    ASSERT_GT(count, 5);
    bool sawIdentity = false;
    for (int i = 0; i < count; ++i) {
        EndPause();
        ASSERT_EQ(LastSent(), QueueEntry(i));
        sawIdentity = sawIdentity || LastSent() == "AT+REGTP=IMEI\r\n";
        seq.DispatchReceived(kOk);
    }
    EXPECT_TRUE(sawIdentity);
    EXPECT_EQ(log.Of(TEntryKind::Info), std::vector{LangText("info_DoOver")});
    EXPECT_FALSE(seq.Pausing());
}

TEST_F(SequencerTest, AnEarlyTickDoesNotCutThePauseShort)
{
    seq.btnDoClick(TagAskAll);
    now += seq.CommandDelay() - 8; // a coarse timer may wake up to 5 % early
    ASSERT_TRUE(pause.Fire());
    EXPECT_TRUE(link.sent.empty());
    EXPECT_TRUE(seq.Pausing());
    EXPECT_EQ(pause.Interval(), 8);
    now += 8;
    ASSERT_TRUE(pause.Fire());
    EXPECT_EQ(link.sent, std::vector{Query("VER")});
}

TEST_F(SequencerTest, ZeroDelaySendsWithoutAPause)
{
    seq.SetCommandDelay(0);
    seq.btnDoClick(TagAskAll);
    EXPECT_FALSE(seq.Pausing());
    EXPECT_EQ(link.sent, std::vector{Query("VER")});
    seq.SetCommandDelay(-5);
    EXPECT_EQ(seq.CommandDelay(), 0);
}

TEST_F(SequencerTest, TheFirmwareHookSeesBlocksFirst)
{
    struct THook final : IReceiveHook
    {
        bool TakeBlock(std::string_view rx) override
        {
            seen.emplace_back(rx);
            return rx.starts_with("\r\n'F'");
        }
        // What the hook held back of the burst comes first.
        std::string_view Untaken(std::string_view rx) const override
        {
            return rx == "ME" ? std::string_view("WELCOME") : rx;
        }
        std::vector<std::string> seen;
    } hook;
    seq.SetReceiveHook(&hook);
    seq.btnDoClick(TagPPPA);
    seq.DispatchReceived("\r\n'F': update firmware\r\n");
    EXPECT_TRUE(rcv.IsActive()) << "a claimed block is no command traffic";
    EXPECT_TRUE(log.entries.size() == 1U);
    seq.DispatchReceived("a");
    EXPECT_EQ(hook.seen.size(), 2U);
    EXPECT_EQ(LastSent(), "a");
    seq.DispatchReceived("ME");
    EXPECT_EQ(log.Of(TEntryKind::RxOther).back(), "WELCOME");
    seq.SetReceiveHook(nullptr);
}

struct TSmsCase
{
    const char *number;
    const char *text;
    const char *line; // nullptr: nothing sent
};

class SendSmsTest : public SequencerTest, public ::testing::WithParamInterface<TSmsCase>
{
};

TEST_P(SendSmsTest, CleansAndSends)
{
    const auto &c = GetParam();
    seq.SendSms(c.number, c.text);
    if (c.line == nullptr) {
        EXPECT_TRUE(link.sent.empty());
        EXPECT_TRUE(log.entries.empty());
    } else {
        EXPECT_EQ(link.sent, std::vector{std::string(c.line)});
    }
    EXPECT_FALSE(rcv.IsActive());
}

INSTANTIATE_TEST_SUITE_P(
    Sms, SendSmsTest,
    ::testing::Values(TSmsCase{"86 138 0000 0000", "hello", "AT+SMSEND=8613800000000,hello\r\n"},
                      TSmsCase{"10086", "a\r\nb\rc\nd\r\n", "AT+SMSEND=10086,ab\rc\nd\r\n"},
                      TSmsCase{"10086", "\xE4\xBD\xA0\xE5\xA5\xBD",
                               "AT+SMSEND=10086,\xC4\xE3\xBA\xC3\r\n"},
                      TSmsCase{"  ", "hello", nullptr}, TSmsCase{"10086", "\r\n\r\n", nullptr},
                      TSmsCase{"", "", nullptr}));

} // namespace
} // namespace m845::test

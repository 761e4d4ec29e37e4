// The firmware upgrade driven by hand: received blocks, timer ticks and a set clock, with real
// firmware files in a scratch folder. Texts are their keys (no language list is loaded).

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "common/fake_fwwindow.h"
#include "devsim/devsim_testutil.h"
#include "firmware/firmwareupgrade.h"
#include "fw_fakes.h"
#include "protocol/fakes.h"

namespace m845::test {
namespace {

namespace fs = std::filesystem;
using State = TXmodemState;

const std::string kMenu
    = "\r\n'F': update firmware\r\n'G': run application\r\n'R': restart module\r\n>";
const std::string kConfirm = "F\r\nSure to update, 'Y' or 'N'\r\n>";
const std::string kAck = "\x06";
const std::string kNak = "\x15";
const std::string kStart = "C";
const std::string kEot = "\x04";
const std::string kFinal = "\x06\r\n>";
const std::string kTick = "tick";

std::string RandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (char &c : out)
        c = static_cast<char>(random());
    return out;
}

// Everything the upgrade talks to, fresh for each run.
struct TRig
{
    TRig()
    {
        fw.SetClock([this] { return now; });
        // The plain protocol unless a case is about the fast path.
        fw.SetFastPath(false);
    }

    void Choose(const std::string &path)
    {
        window.answer = path;
        fw.ChooseFirmwareFile();
    }
    void Boot()
    {
        ASSERT_TRUE(fw.TakeBlock(kMenu));
        ASSERT_TRUE(fw.TakeBlock(kConfirm));
        ASSERT_TRUE(fw.TakeBlock("Y\r\n"));
    }
    // A tick, or a block from the device.
    void Feed(const std::string &input)
    {
        if (input == kTick)
            timer.Fire();
        else
            EXPECT_TRUE(fw.TakeBlock(input));
    }
    // Acknowledges every transmission until the end byte has gone out.
    void AckUntilEnd()
    {
        for (int guard = 0; guard < 100000 && fw.XmodemState() != State::EndSent; ++guard)
            Feed(fw.XmodemState() == State::Due ? kTick : kAck);
    }
    [[nodiscard]] std::vector<std::string> Warnings() const { return log.Of(TEntryKind::Warn); }

    TFakeLog log;
    TFwFakeLink link{log};
    TFakeTimer timer;
    TFakeProgress progress;
    TFakeFirmwareWindow window;
    std::int64_t now = 5000;
    TFirmwareUpgrade fw{link, link, log, timer, progress, window};
};

class FirmwareTest : public testing::Test
{
protected:
    void SetUp() override
    {
        dir = fs::path(testing::TempDir())
              / ("m845-fw-" + std::to_string(::getpid()) + "-"
                 + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string WriteFile(const std::string &content, const std::string &name = "fw.bin") const
    {
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(content.data(), static_cast<std::streamsize>(content.size()));
        return path.string();
    }
    // File chosen, boot menu answered, start request received: block 1 is due.
    void Start(TRig &rig, const std::string &content) const
    {
        rig.Choose(WriteFile(content));
        rig.Boot();
        rig.Feed(kStart);
        ASSERT_EQ(rig.fw.XmodemState(), State::Due);
    }

    fs::path dir;
};

// --- Boot-menu dialogue -------------------------------------------------------------------

struct BootRow
{
    const char *name;
    std::string rx;
    std::string lastSent;
    bool taken;
    std::string sends; // empty: nothing
    State state;
};

class BootDialogueTest : public FirmwareTest, public testing::WithParamInterface<BootRow>
{
};

TEST_P(BootDialogueTest, AnswersWhatItRecognisesOnly)
{
    const BootRow &row = GetParam();
    TRig rig;
    rig.link.lastSent = row.lastSent;
    EXPECT_EQ(rig.fw.TakeBlock(row.rx), row.taken);
    EXPECT_EQ(rig.log.Of(TEntryKind::RxOther),
              row.taken ? std::vector<std::string>{row.rx} : std::vector<std::string>{});
    EXPECT_EQ(rig.link.events, row.sends.empty() ? std::vector<std::string>{}
                                                 : std::vector<std::string>{"text " + row.sends});
    EXPECT_EQ(rig.fw.XmodemState(), row.state);
    EXPECT_EQ(rig.timer.IsActive(), row.state == State::Waiting);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BootDialogueTest,
    testing::Values(BootRow{"MenuAmidOtherText", "\r\n[ZLM-M845 boot]" + kMenu, "", true, "F",
                            State::Idle},
                    BootRow{"ConfirmAfterF", kConfirm, "F", true, "Y", State::Idle},
                    BootRow{"ConfirmAfterOther", kConfirm, "AT+VER?\r\n", false, "", State::Idle},
                    BootRow{"EchoAfterY", "Y\r\n", "Y", true, "", State::Waiting},
                    BootRow{"EchoAfterOther", "Y\r\n", "F", false, "", State::Idle},
                    BootRow{"EchoNotExact", "Y\r\n>", "Y", false, "", State::Idle}),
    [](const testing::TestParamInfo<BootRow> &info) { return info.param.name; });

TEST_F(FirmwareTest, MenuIsAnsweredWithoutAFileAndEachStartRequestThenWarns)
{
    TRig rig;
    rig.Boot();
    EXPECT_EQ(rig.link.events, (std::vector<std::string>{"text F", "text Y"}));
    for (int i = 0; i < 2; ++i)
        rig.Feed(kStart);
    EXPECT_EQ(rig.log.Of(TEntryKind::Info),
              (std::vector<std::string>{"info_ModuleRTS", "info_ModuleRTS"}));
    EXPECT_EQ(rig.Warnings(), (std::vector<std::string>{"info_AbsentFwFlie", "info_AbsentFwFlie"}));
    EXPECT_TRUE(rig.link.writes.empty());
    EXPECT_EQ(rig.fw.XmodemState(), State::Waiting);
}

// --- Whole transfers by file size ---------------------------------------------------------

struct SizeRow
{
    std::size_t size;
    std::size_t blocks;
    int total;
};

class FileSizeTest : public FirmwareTest, public testing::WithParamInterface<SizeRow>
{
};

TEST_P(FileSizeTest, SendsPaddedBlocksThenTheEndByteAndFinishes)
{
    const SizeRow &row = GetParam();
    const std::string content = RandomBytes(row.size, static_cast<unsigned>(row.size));
    TRig rig;
    Start(rig, content);
    rig.AckUntilEnd();

    std::vector<std::string> expected = devsim::test::Blocks(content);
    ASSERT_EQ(expected.size(), row.blocks);
    expected.push_back(kEot);
    EXPECT_EQ(rig.link.writes, expected);
    ASSERT_FALSE(rig.progress.shown.empty());
    EXPECT_EQ(rig.progress.shown.front(), std::make_pair(0, row.total));
    EXPECT_EQ(rig.progress.shown.back().first, static_cast<int>(row.blocks));
    if (row.blocks >= 256) {
        EXPECT_EQ(static_cast<unsigned char>(rig.link.writes[255][1]), 0);
        EXPECT_EQ(static_cast<unsigned char>(rig.link.writes[255][2]), 255);
    }

    rig.link.writes.clear();
    rig.Feed(kFinal);
    EXPECT_EQ(rig.fw.XmodemState(), State::Idle);
    EXPECT_EQ(rig.link.writes, std::vector<std::string>{"R"});
    EXPECT_FALSE(rig.timer.IsActive());
    EXPECT_FALSE(rig.progress.visible);
    EXPECT_FALSE(rig.fw.HasFirmwareFile());
    const std::vector<std::string> infos = rig.log.Of(TEntryKind::Info);
    EXPECT_EQ(std::vector<std::string>(infos.end() - 3, infos.end()),
              (std::vector<std::string>{"info_FwUpOver", "info_FwUpTime0",
                                        "-------------------------------"}));
    EXPECT_EQ(rig.log.Of(TEntryKind::RxOther).back(), kFinal);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FileSizeTest,
                         testing::Values(SizeRow{256, 2, 3}, SizeRow{300, 3, 3}, SizeRow{0, 0, 1},
                                         SizeRow{256 * 128 + 1, 257, 257}));

// --- The state table ----------------------------------------------------------------------

struct StateRow
{
    const char *name;
    State from;
    std::string input;
    State to;
    // What goes out: "" nothing, "block1", "eot", "R".
    std::string written;
};

class StateTableTest : public FirmwareTest, public testing::WithParamInterface<StateRow>
{
};

TEST_P(StateTableTest, InputMovesTheStateAsTheTableSays)
{
    const StateRow &row = GetParam();
    const std::string content = RandomBytes(300, 7);
    TRig rig;
    rig.Choose(WriteFile(content));
    rig.Boot();
    if (row.from >= State::Due)
        rig.Feed(kStart);
    if (row.from == State::BlockSent)
        rig.Feed(kTick);
    if (row.from == State::EndSent)
        rig.AckUntilEnd();
    ASSERT_EQ(rig.fw.XmodemState(), row.from);
    rig.link.writes.clear();
    const bool progressShown = rig.progress.visible;

    rig.Feed(row.input);
    EXPECT_EQ(rig.fw.XmodemState(), row.to);
    const std::string expected = row.written == "block1" ? devsim::test::Blocks(content)[0]
                                 : row.written == "eot"  ? kEot
                                                         : row.written;
    EXPECT_EQ(rig.link.writes,
              expected.empty() ? std::vector<std::string>{} : std::vector<std::string>{expected});
    if (row.to == State::Idle && row.input.size() != 4) {
        // Dropped without a word: the timer idles on, the bar keeps its state.
        EXPECT_TRUE(rig.timer.IsActive());
        EXPECT_EQ(rig.progress.visible, progressShown);
        EXPECT_TRUE(rig.Warnings().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StateTableTest,
    testing::Values(StateRow{"WaitingTick", State::Waiting, kTick, State::Waiting, ""},
                    StateRow{"WaitingNak", State::Waiting, kNak, State::Waiting, ""},
                    StateRow{"WaitingAck", State::Waiting, kAck, State::Waiting, ""},
                    StateRow{"WaitingStart", State::Waiting, kStart, State::Due, ""},
                    StateRow{"WaitingThreeBytes", State::Waiting, "\r\n>", State::Idle, ""},
                    StateRow{"DueTick", State::Due, kTick, State::BlockSent, "block1"},
                    StateRow{"DueAck", State::Due, kAck, State::Due, ""},
                    StateRow{"DueNak", State::Due, kNak, State::Due, ""},
                    StateRow{"SentAck", State::BlockSent, kAck, State::Due, ""},
                    StateRow{"SentNak", State::BlockSent, kNak, State::Due, ""},
                    StateRow{"SentStart", State::BlockSent, kStart, State::Due, ""},
                    StateRow{"SentTick", State::BlockSent, kTick, State::BlockSent, ""},
                    StateRow{"SentFinalReply", State::BlockSent, kFinal, State::BlockSent, ""},
                    StateRow{"SentTwoAcks", State::BlockSent, "\x06\x06", State::Idle, ""},
                    StateRow{"EndAck", State::EndSent, kAck, State::EndSent, ""},
                    StateRow{"EndNak", State::EndSent, kNak, State::Due, ""},
                    StateRow{"EndStart", State::EndSent, kStart, State::Due, ""},
                    StateRow{"EndOtherFour", State::EndSent, "ABCD", State::EndSent, ""},
                    StateRow{"EndSplitReply", State::EndSent, "\r\n>", State::Idle, ""},
                    StateRow{"EndFinalReply", State::EndSent, kFinal, State::Idle, "R"}),
    [](const testing::TestParamInfo<StateRow> &info) { return info.param.name; });

// --- Repetition, restart, time, options ---------------------------------------------------

TEST_F(FirmwareTest, NakRepeatsTheLastTransmissionAndARestartForgetsIt)
{
    const std::string content = RandomBytes(300, 3);
    const std::vector<std::string> blocks = devsim::test::Blocks(content);
    TRig rig;
    Start(rig, content);
    for (const std::string &input : {kTick, kAck, kTick, kNak, kTick})
        rig.Feed(input);
    EXPECT_EQ(rig.link.writes, (std::vector<std::string>{blocks[0], blocks[1], blocks[1]}));

    rig.AckUntilEnd();
    rig.link.writes.clear();
    rig.Feed(kNak);
    rig.Feed(kTick);
    EXPECT_EQ(rig.link.writes, std::vector<std::string>{kEot});
    EXPECT_EQ(rig.fw.XmodemState(), State::EndSent);

    // A start request between a NAK and the tick that would repeat: block 1, not the old one.
    rig.Feed(kNak);
    rig.Feed(kStart);
    rig.Feed(kTick);
    EXPECT_EQ(rig.link.writes.back(), blocks[0]);
}

TEST_F(FirmwareTest, StartRequestMidwayRestartsWithNewProgressAndTime)
{
    const std::string content = RandomBytes(300, 5);
    TRig rig;
    Start(rig, content);
    for (const std::string &input : {kTick, kAck, kTick})
        rig.Feed(input);
    rig.now += 7000;
    rig.Feed(kStart);
    EXPECT_EQ(rig.progress.shown.back(), std::make_pair(0, 3));
    EXPECT_EQ(rig.fw.XmodemBlockNo(), 1);
    EXPECT_EQ(rig.fw.XmodemBlocksSent(), 1);
    rig.Feed(kTick);
    EXPECT_EQ(rig.link.writes.back(), devsim::test::Blocks(content)[0]);

    rig.AckUntilEnd();
    rig.now += 59999;
    rig.Feed(kFinal);
    const std::vector<std::string> infos = rig.log.Of(TEntryKind::Info);
    EXPECT_EQ(infos[infos.size() - 2], "info_FwUpTime59");
    EXPECT_EQ(rig.fw.LastTransferMilliseconds(), 59999);
}

TEST_F(FirmwareTest, WithoutTheRestartOptionNothingFollowsTheFinalReply)
{
    TRig rig;
    rig.window.overRestart = false;
    Start(rig, RandomBytes(100, 1));
    rig.AckUntilEnd();
    const std::size_t before = rig.link.writes.size();
    rig.Feed(kFinal);
    EXPECT_EQ(rig.link.writes.size(), before);
    EXPECT_EQ(rig.fw.XmodemState(), State::Idle);
}

TEST_F(FirmwareTest, DataStreamTracesEveryByteBothWays)
{
    const std::string content = RandomBytes(100, 2);
    TRig rig;
    rig.window.showDataStream = true;
    Start(rig, content);
    rig.AckUntilEnd();
    rig.Feed(kFinal);
    const std::string block = devsim::test::Blocks(content)[0];
    std::string blockHex;
    for (const char c : block) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(c));
        blockHex += digits;
    }
    EXPECT_EQ(
        rig.log.Of(TEntryKind::Rx),
        (std::vector<std::string>{"[ Rcv ]:", "43", "[ Rcv ]:", "06", "[ Rcv ]:", "060D0A3E"}));
    EXPECT_EQ(
        rig.log.Of(TEntryKind::Tx),
        (std::vector<std::string>{"[ Send ]:", blockHex, "[ Send ]:", "04", "[ Send ]:", "52"}));
}

// --- Fast path ----------------------------------------------------------------------------

TEST_F(FirmwareTest, FastPathSendsOnAckAndShortensTheIntervalOnlyForDataBlocks)
{
    const std::string content = RandomBytes(300, 11);
    TRig rig;
    rig.fw.SetFastPath(true);
    Start(rig, content);
    rig.Feed(kTick);
    for (int i = 0; i < 3; ++i)
        rig.Feed(kAck); // each answer sends the next transmission at once, no tick
    std::vector<std::string> expected = devsim::test::Blocks(content);
    expected.push_back(kEot);
    EXPECT_EQ(rig.link.writes, expected);
    // Every data block leaves with the short interval set, the end byte with the normal one.
    bool isShort = false;
    for (const std::string &event : rig.link.events) {
        if (event == "short" || event == "normal")
            isShort = event == "short";
        if (event == "write 133" || event == "write 1") {
            EXPECT_EQ(isShort, event == "write 133");
        }
    }
    rig.Feed(kFinal);
    EXPECT_EQ(rig.fw.XmodemState(), State::Idle);
    EXPECT_FALSE(rig.link.isShort);
}

TEST_F(FirmwareTest, FastPathRestoresTheNormalIntervalAtEveryOtherExit)
{
    const std::string content = RandomBytes(300, 13);
    const std::vector<std::string> exits = {kNak, kStart, "\x06\x06", kMenu, "Y\r\n", "portlost"};
    for (const std::string &exit : exits) {
        SCOPED_TRACE(exit);
        TRig rig;
        rig.fw.SetFastPath(true);
        rig.link.lastSent = "Y";
        Start(rig, content);
        rig.Feed(kTick);
        ASSERT_TRUE(rig.link.isShort);
        if (exit == "portlost") {
            rig.link.open = false;
            rig.Feed(kTick);
        } else {
            rig.link.lastSent = "Y";
            rig.Feed(exit);
        }
        EXPECT_FALSE(rig.link.isShort);
    }
}

TEST_F(FirmwareTest, WithoutTheFastPathAnAckWaitsForTheTickAndTheIntervalStays)
{
    TRig rig;
    Start(rig, RandomBytes(300, 17));
    rig.Feed(kTick);
    rig.Feed(kAck);
    EXPECT_EQ(rig.link.writes.size(), 1U);
    rig.AckUntilEnd();
    for (const std::string &event : rig.link.events)
        EXPECT_NE(event, "short");
}

// --- Files and faults ---------------------------------------------------------------------

TEST_F(FirmwareTest, ChoosingNeedsAnOpenPortAndLogsTheFileAndRemembersItsFolder)
{
    TRig rig;
    rig.link.open = false;
    rig.Choose(WriteFile("x"));
    EXPECT_EQ(rig.Warnings(), std::vector<std::string>{"info_ComNoOpen"});
    EXPECT_TRUE(rig.window.asked.empty());

    rig.link.open = true;
    const std::string path = WriteFile(RandomBytes(300, 1));
    rig.Choose(path);
    EXPECT_EQ(rig.log.Of(TEntryKind::Info),
              (std::vector<std::string>{"info_SlctFwFile", "", "[ File name ]: " + path,
                                        "[ File size ]: 300 Bytes", "info_ReloadRepower"}));
    ASSERT_EQ(rig.window.asked.size(), 1U);
    const TFileDialogRequest &first = rig.window.asked[0];
    EXPECT_EQ(first.title, "info_SlctFwFile");
    EXPECT_EQ(first.filters, (std::vector<std::string>{"info_FwFile(*.bin)", "info_AllFile(*.*)"}));
    EXPECT_EQ(first.defaultSuffix, "bin");
    EXPECT_EQ(first.folder, fs::current_path().string());
    rig.Choose(path);
    EXPECT_EQ(rig.window.asked.back().folder, dir.string());
}

TEST_F(FirmwareTest, CancelKeepsTheFileAndABadChoiceLeavesNone)
{
    const std::string content = RandomBytes(200, 19);
    TRig rig;
    rig.Choose(WriteFile(content));
    rig.window.answer.reset();
    rig.fw.ChooseFirmwareFile();
    EXPECT_TRUE(rig.fw.HasFirmwareFile());
    rig.Boot();
    rig.Feed(kStart);
    rig.Feed(kTick);
    EXPECT_EQ(rig.link.writes.back(), devsim::test::Blocks(content)[0]);

    const std::vector<std::pair<std::string, std::string>> bad = {
        {(dir / "missing.bin").string(), "info_FwFileOpenFail"},
        {dir.string(), "info_FwFileNotFile"},
    };
    for (const auto &[path, warning] : bad) {
        TRig other;
        other.Choose(WriteFile(content));
        other.Choose(path);
        EXPECT_EQ(other.Warnings(), std::vector<std::string>{warning});
        EXPECT_FALSE(other.fw.HasFirmwareFile());
    }
}

TEST_F(FirmwareTest, AFileThatChangesMidwayStopsTheTransfer)
{
    const std::string content = RandomBytes(1000, 23);
    const std::vector<std::string> changes = {"shrink", "remove", "rewrite"};
    for (const std::string &change : changes) {
        SCOPED_TRACE(change);
        TRig rig;
        Start(rig, content);
        rig.Feed(kTick);
        rig.Feed(kAck);
        const fs::path path = dir / "fw.bin";
        if (change == "shrink") {
            fs::resize_file(path, 200);
        } else if (change == "remove") {
            fs::remove(path);
        } else {
            const auto stamp = fs::last_write_time(path);
            std::fstream(path, std::ios::in | std::ios::out | std::ios::binary).write("XY", 2);
            fs::last_write_time(path, stamp + std::chrono::seconds(1));
        }
        rig.Feed(kTick);
        EXPECT_EQ(rig.link.writes.size(), 1U);
        EXPECT_EQ(rig.Warnings(), std::vector<std::string>{"info_FwFileChanged"});
        EXPECT_EQ(rig.fw.XmodemState(), State::Waiting);
        EXPECT_FALSE(rig.fw.HasFirmwareFile());
        EXPECT_FALSE(rig.progress.visible);
    }
}

TEST_F(FirmwareTest, ALostPortStopsTheTransferAndALaterStartRequestBeginsAgain)
{
    const std::string content = RandomBytes(1000, 29);
    for (const bool refusedWrite : {false, true}) {
        SCOPED_TRACE(refusedWrite ? "write refused" : "port closed");
        TRig rig;
        rig.fw.SetFastPath(true);
        Start(rig, content);
        rig.Feed(kTick);
        (refusedWrite ? rig.link.writable : rig.link.open) = false;
        rig.Feed(refusedWrite ? kAck : kTick);
        EXPECT_EQ(rig.Warnings(), std::vector<std::string>{"info_FwPortLost"});
        EXPECT_EQ(rig.fw.XmodemState(), State::Waiting);
        EXPECT_FALSE(rig.link.isShort);
        EXPECT_TRUE(rig.fw.HasFirmwareFile());

        rig.link.open = rig.link.writable = true;
        rig.link.writes.clear();
        rig.Feed(kStart);
        rig.Feed(kTick);
        EXPECT_EQ(rig.link.writes, std::vector<std::string>{devsim::test::Blocks(content)[0]});
    }
}

TEST_F(FirmwareTest, ChoosingAnotherFileDuringATransferStopsItAndTheNextRunSendsTheNewOne)
{
    const std::string second = RandomBytes(300, 31);
    TRig rig;
    Start(rig, RandomBytes(1000, 37));
    rig.Feed(kTick);
    rig.Choose(WriteFile(second, "second.bin"));
    EXPECT_EQ(rig.Warnings(), std::vector<std::string>{"info_FwFileSwitched"});
    EXPECT_EQ(rig.fw.XmodemState(), State::Waiting);
    rig.Feed(kStart);
    rig.Feed(kTick);
    EXPECT_EQ(rig.link.writes.back(), devsim::test::Blocks(second)[0]);
}

} // namespace
} // namespace m845::test
